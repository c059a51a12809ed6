#include "linux/settings_dialog.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <clocale>
#include <map>
#include <string>

#include "noctiva_dialog_texts.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"
#include "settings/settings_form.h"

namespace {

// Dialog units to pixels for the template's 8-point font, as Windows converts them.
constexpr double kPixelsPerUnitX = 1.5;
constexpr int kRowSpacing = 6;
// The push buttons' ids, as the Windows dialog manager knows them.
constexpr int32_t kRunId = 1;
constexpr int32_t kQuitId = 2;

struct DialogState {
    const DialogTexts* texts = nullptr;
    PlaybackSettings* settings = nullptr;
    SettingsForm form;
    GtkWidget* dialog = nullptr;
    std::map<int32_t, GtkWidget*> widgets;
};

GtkWidget* Widget(DialogState& state, int32_t id) {
    const auto found = state.widgets.find(id);
    return found == state.widgets.end() ? nullptr : found->second;
}

void ShowSliderValue(DialogState& state, int32_t labelId, int position) {
    if (GtkWidget* frame = Widget(state, labelId)) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(frame));
        gtk_label_set_text(GTK_LABEL(label), std::to_string(position).c_str());
    }
}

void OnSliderMoved(GtkRange* range, gpointer data) {
    auto& state = *static_cast<DialogState*>(data);
    const int position = int(gtk_range_get_value(range)) & 0xFF;
    if (GTK_WIDGET(range) == Widget(state, IDC_SHADOW_TRACKBAR)) {
        ShowSliderValue(state, IDC_SHADOW_VALUE, position);
        state.settings->shadowOpacity = SliderToOpacity(position);
    } else {
        ShowSliderValue(state, IDC_BACKGROUND_VALUE, position);
        state.settings->backgroundOpacity = SliderToOpacity(position);
    }
}

void OnToggled(GtkToggleButton* button, gpointer data) {
    auto& state = *static_cast<DialogState*>(data);
    const auto id = int32_t(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "control-id")));
    const bool on = gtk_toggle_button_get_active(button);
    PlaybackSettings& settings = *state.settings;
    switch (id) {
        case IDC_SHOW_FPS:
            settings.showFps = on;
            return;
        case IDC_LIMIT_FPS:
            settings.limitFps = on;
            return;
        case IDC_EXIT_ON_KEY:
            settings.exitOnKey = on;
            return;
        default:
            break;
    }
    if (!on) return;  // of a radio group only the newly selected button counts
    ChooseStacking(settings, state.form, id);
    ChooseDisplayMode(settings, state.form, id);
    if (GtkWidget* combo = Widget(state, IDC_MONITOR_COMBO)) {
        gtk_widget_set_sensitive(combo, state.form.monitorChoiceEnabled);
    }
}

void OnMonitorChosen(GtkComboBox* combo, gpointer data) {
    auto& state = *static_cast<DialogState*>(data);
    ChooseMonitor(*state.settings, state.form, gtk_combo_box_get_active(combo));
}

void OnButton(GtkButton* button, gpointer data) {
    auto& state = *static_cast<DialogState*>(data);
    const auto id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "control-id"));
    gtk_dialog_response(GTK_DIALOG(state.dialog), id);
}

// Enter starts playback wherever the focus is, except on "終了" (the default push button's
// rule); Esc ends the program.
gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto& state = *static_cast<DialogState*>(data);
    if (event->keyval == GDK_KEY_Escape) {
        gtk_dialog_response(GTK_DIALOG(state.dialog), kQuitId);
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(state.dialog));
        const bool onQuit = focus && focus == Widget(state, kQuitId);
        gtk_dialog_response(GTK_DIALOG(state.dialog), onQuit ? kQuitId : kRunId);
        return TRUE;
    }
    return FALSE;
}

GtkWidget* MakeSlider(DialogState& state, const DialogControl& control) {
    GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
    gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
    gtk_range_set_increments(GTK_RANGE(scale), 1, 10);
    for (int mark = 0; mark <= 100; mark += 10) {
        gtk_scale_add_mark(GTK_SCALE(scale), mark, GTK_POS_BOTTOM, nullptr);
    }
    const int position =
        control.id == IDC_SHADOW_TRACKBAR ? state.form.shadowSlider : state.form.backgroundSlider;
    gtk_range_set_value(GTK_RANGE(scale), position);
    gtk_widget_set_size_request(scale, int(control.width * kPixelsPerUnitX), -1);
    gtk_widget_set_hexpand(scale, TRUE);
    g_signal_connect(scale, "value-changed", G_CALLBACK(OnSliderMoved), &state);
    return scale;
}

bool InitiallyChecked(const DialogState& state, int32_t id) {
    const PlaybackSettings& s = *state.settings;
    switch (id) {
        case IDC_SHOW_FPS:
            return s.showFps;
        case IDC_LIMIT_FPS:
            return s.limitFps;
        case IDC_EXIT_ON_KEY:
            return s.exitOnKey;
        default:
            return id == state.form.stackingButton || id == state.form.modeButton;
    }
}

GtkWidget* MakeToggle(DialogState& state, const DialogControl& control, GtkWidget*& group) {
    const std::string caption = MnemonicCaption(control.caption);
    GtkWidget* button = nullptr;
    if (control.kind == ControlKind::RadioButton) {
        if (control.groupStart) group = nullptr;
        button = gtk_radio_button_new_with_mnemonic_from_widget(
            group ? GTK_RADIO_BUTTON(group) : nullptr, caption.c_str());
        group = button;
        const bool modeButton =
            control.id >= IDC_MODE_WHOLE_DESKTOP && control.id <= IDC_MODE_CHOSEN_MONITOR;
        if (modeButton) gtk_widget_set_sensitive(button, state.form.modeChoiceEnabled);
    } else {
        button = gtk_check_button_new_with_mnemonic(caption.c_str());
    }
    g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(control.id));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), InitiallyChecked(state, control.id));
    return button;
}

GtkWidget* MakeCombo(DialogState& state) {
    GtkWidget* combo = gtk_combo_box_text_new();
    for (const std::string& label : state.form.monitorLabels) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), label.c_str());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), state.form.shownMonitor);
    gtk_widget_set_sensitive(combo, FALSE);
    g_signal_connect(combo, "changed", G_CALLBACK(OnMonitorChosen), &state);
    return combo;
}

GtkWidget* MakeButton(DialogState& state, const DialogControl& control) {
    GtkWidget* button = gtk_button_new_with_mnemonic(MnemonicCaption(control.caption).c_str());
    g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(control.id));
    gtk_widget_set_size_request(button, int(control.width * kPixelsPerUnitX) + 20, -1);
    g_signal_connect(button, "clicked", G_CALLBACK(OnButton), &state);
    if (control.kind == ControlKind::DefaultButton) {
        gtk_widget_set_can_default(button, TRUE);
        gtk_style_context_add_class(gtk_widget_get_style_context(button), "suggested-action");
    }
    return button;
}

GtkWidget* MakeValueLabel(DialogState& state, const DialogControl& control) {
    const int position =
        control.id == IDC_SHADOW_VALUE ? state.form.shadowSlider : state.form.backgroundSlider;
    GtkWidget* label = gtk_label_new(std::to_string(position).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 1.0f);
    gtk_label_set_width_chars(GTK_LABEL(label), 4);
    GtkWidget* frame = gtk_frame_new(nullptr);  // the sunken edge of the template's label
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(frame), label);
    gtk_widget_set_valign(frame, GTK_ALIGN_CENTER);
    return frame;
}

GtkWidget* MakeControl(DialogState& state, const DialogControl& control, GtkWidget*& group) {
    switch (control.kind) {
        case ControlKind::Trackbar:
            return MakeSlider(state, control);
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            return MakeToggle(state, control, group);
        case ControlKind::ComboBox:
            return MakeCombo(state);
        case ControlKind::DefaultButton:
        case ControlKind::Button:
            return MakeButton(state, control);
        case ControlKind::ValueLabel:
            return MakeValueLabel(state, control);
        case ControlKind::Label: {
            GtkWidget* label = gtk_label_new(control.caption);
            gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
            return label;
        }
    }
    return gtk_label_new("");
}

// The rows of the template, each a box of its controls from left to right; the tooltip of a
// control is the string with its id.
void BuildControls(DialogState& state, GtkWidget* content) {
    // Radio groups follow the template order, not the rows: make every control first.
    GtkWidget* group = nullptr;
    std::map<const DialogControl*, GtkWidget*> made;
    for (const DialogControl& control : state.texts->controls) {
        GtkWidget* widget = MakeControl(state, control, group);
        made[&control] = widget;
        if (control.id > 0) state.widgets[control.id] = widget;
        const std::string_view tip = FindResourceString(state.texts->strings, control.id);
        if (control.id > 0 && !tip.empty()) {
            gtk_widget_set_tooltip_text(widget, UnixLineBreaks(tip).c_str());
        }
    }
    for (const auto& row : ControlRows(state.texts->controls)) {
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        const bool buttons = row.front().kind == ControlKind::DefaultButton ||
                             row.front().kind == ControlKind::Button;
        if (buttons) gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
        for (const DialogControl& control : row) {
            for (const auto& [source, widget] : made) {
                if (source->id == control.id && source->x == control.x && source->y == control.y) {
                    gtk_box_pack_start(GTK_BOX(box), widget, FALSE, FALSE, 0);
                    if (control.kind == ControlKind::Trackbar) {
                        gtk_box_set_child_packing(GTK_BOX(box), widget, TRUE, TRUE, 0,
                                                  GTK_PACK_START);
                    }
                }
            }
        }
        gtk_box_pack_start(GTK_BOX(content), box, FALSE, FALSE, 0);
    }
    // The first tab stop of the template, the shadow trackbar, has the focus at the start.
    if (GtkWidget* first = Widget(state, IDC_SHADOW_TRACKBAR)) gtk_widget_grab_focus(first);
}

void ConnectToggles(DialogState& state) {
    for (const auto& [id, widget] : state.widgets) {
        if (GTK_IS_TOGGLE_BUTTON(widget)) {
            g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), &state);
        }
    }
}

}  // namespace

int RunSettingsDialog(PlaybackSettings& settings, const std::vector<DisplayEntry>& displays) {
    if (!gtk_init_check(nullptr, nullptr)) return -1;
    DialogState state;
    // The language of the user's messages, as the C library has it after setlocale.
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    state.texts = &DialogTextsForLocale(messages ? messages : "");
    state.settings = &settings;
    state.form = OpenSettingsForm(settings, displays);

    state.dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(state.dialog), state.texts->caption);
    gtk_window_set_modal(GTK_WINDOW(state.dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(state.dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(state.dialog), FALSE);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(state.dialog));
    gtk_box_set_spacing(GTK_BOX(content), kRowSpacing);
    gtk_container_set_border_width(GTK_CONTAINER(content), 10);
    BuildControls(state, content);
    ConnectToggles(state);
    g_signal_connect(state.dialog, "key-press-event", G_CALLBACK(OnKey), &state);

    gtk_widget_show_all(state.dialog);
    const int response = gtk_dialog_run(GTK_DIALOG(state.dialog));
    gtk_widget_destroy(state.dialog);
    while (gtk_events_pending()) gtk_main_iteration();
    return response == kRunId ? kRunId : kQuitId;
}
