#include "app/failure_notice_gtk.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "noctiva_dialog_texts.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"

namespace {

// A display for the dialog: GTK's default one, or a new connection when the settings dialog's
// was closed after use.
bool OpenDisplay() {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    GdkDisplay* display = gdk_display_get_default();
    if (display && !gdk_display_is_closed(display)) return true;
    display = gdk_display_open(nullptr);
    if (!display) return false;
    gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
    return true;
}

std::string MessageText(const DialogTexts& texts, const PlayerFailure& failure) {
    const std::string pattern =
        UnixLineBreaks(FindResourceString(texts.strings, FailureMessageId(failure.kind)));
    return FillFailureMessage<char>(pattern, failure.file, failure.reason);
}

}  // namespace

void TellFailure(const PlayerFailure& failure) {
    std::fprintf(stderr, "noctiva: %s\n", FailureLine(failure).c_str());
    std::fflush(stderr);
    if (!OpenDisplay()) return;

    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    const DialogTexts& texts = DialogTextsForLocale(messages ? messages : "");
    const std::string text = MessageText(texts, failure);
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                               GTK_BUTTONS_OK, "%s", text.c_str());
    const std::string title(FindResourceString(texts.strings, IDS_WINDOW_TITLE));
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) gtk_main_iteration();
}
