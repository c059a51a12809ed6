#include "linux/wayland/layer_overlay.h"

#include <gdk/gdkwayland.h>
#include <glib-unix.h>
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "linux/playback_worker.h"
#include "linux/rate_label_drawing.h"
#include "linux/wayland/surface_buffers.h"
#include "noctiva_dialog_texts.h"
#include "playback/rate_label.h"
#include "render/overlay_layout.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"

namespace {

// The several notices of one output change arrive within a few milliseconds: the layout waits
// this long after the last of them, as on X11.
constexpr guint kLayoutSettleMs = 100;
// A picture that has waited this long for a frame callback means the compositor shows none of
// the surfaces: the worker stops decoding.
constexpr gint64 kStalledUs = 1'000'000;
constexpr guint kStallCheckMs = 250;

GtkLayerShellLayer LayerFor(const PlaybackSettings& settings) {
    if (settings.keepOnTop) return GTK_LAYER_SHELL_LAYER_OVERLAY;
    if (settings.keepAtBottom) return GTK_LAYER_SHELL_LAYER_BOTTOM;
    return GTK_LAYER_SHELL_LAYER_TOP;
}

uint32_t MillisecondsNow() {
    return uint32_t(g_get_monotonic_time() / 1000);
}

class LayerOverlay;

// One output's layer surface and the part of the picture it shows. GTK draws it when it is
// mapped or resized; the pictures after that go in buffers of its own.
struct LayerSurface {
    LayerOverlay* overlay = nullptr;
    GtkWidget* window = nullptr;
    PixelRect crop;
    std::unique_ptr<SurfaceBuffers> buffers;
};

class LayerOverlay {
  public:
    LayerOverlay(const PlaybackSettings& settings, std::string archivePath)
        : settings_(settings), archivePath_(std::move(archivePath)) {}
    ~LayerOverlay();

    int Run();
    PlayerFailure failure;

  private:
    static gboolean OnWake(gint, GIOCondition, gpointer self);
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer surface);
    static gboolean OnKey(GtkWidget*, GdkEvent*, gpointer surface);
    static gboolean OnFocusLeft(GtkWidget*, GdkEvent*, gpointer surface);
    static void OnSurfaceMade(GtkWidget* window, gpointer);
    static gboolean OnClosed(GtkWidget*, GdkEvent*, gpointer surface);
    static void OnOutputsChanged(GdkDisplay*, GdkMonitor*, gpointer self);
    static void OnOutputChanged(GObject*, GParamSpec*, gpointer self);
    static gboolean OnLayoutDue(gpointer self);
    static gboolean OnStallCheck(gpointer self);
    static gboolean OnSignal(gpointer self);

    void LayOut();
    void MakeSurface(GdkMonitor* monitor, const WaylandOutput& output);
    void DestroySurfaces();
    void ForgetMonitors();
    void FollowOutputs();
    void TakePicture();
    void Draw(LayerSurface& surface, cairo_t* cr);
    void Present(LayerSurface& surface);
    void FrameShown();
    void End(int status);

    PlaybackSettings settings_;
    std::string archivePath_;
    std::string title_;
    GdkDisplay* display_ = nullptr;
    GMainLoop* loop_ = nullptr;
    int status_ = 0;
    std::atomic<bool> failed_{false};
    PictureHandover handover_;
    std::unique_ptr<PlaybackThread> worker_;
    std::unique_ptr<ShmGlobal> shm_;
    std::vector<std::unique_ptr<LayerSurface>> surfaces_;
    std::vector<GdkMonitor*> watchedMonitors_;
    // The worker's picture (under the hand-over's lock) and the one the surfaces draw from.
    std::vector<uint32_t> picture_;
    std::vector<uint32_t> shown_;
    OverlayLayout layout_;  // in picture pixels
    int32_t scale_ = 1;
    RateLabelState rate_;
    bool drawnSinceTaken_ = true;
    bool stalled_ = false;
    bool keyboardKept_ = false;  // the surfaces ask for the keyboard
    long presented_ = 0;         // pictures the compositor was given
    guint layoutTimer_ = 0;
    std::vector<guint> sources_;
};

LayerOverlay::~LayerOverlay() {
    if (worker_) worker_->Stop();
    DestroySurfaces();
    ForgetMonitors();
    if (display_) g_signal_handlers_disconnect_by_data(display_, this);
    if (layoutTimer_) g_source_remove(layoutTimer_);
    for (guint source : sources_) g_source_remove(source);
    if (loop_) g_main_loop_unref(loop_);
}

void LayerOverlay::End(int status) {
    status_ = status;
    g_main_loop_quit(loop_);
}

// Every surface is made with an empty input region, so that every click goes to the window
// beneath; a surface made again (an output back, a lock ended) starts with the default region,
// so it is set on each one.
void LayerOverlay::OnSurfaceMade(GtkWidget* window, gpointer) {
    cairo_region_t* nothing = cairo_region_create();
    gtk_widget_input_shape_combine_region(window, nothing);
    cairo_region_destroy(nothing);
}

void LayerOverlay::MakeSurface(GdkMonitor* monitor, const WaylandOutput& output) {
    auto surface = std::make_unique<LayerSurface>();
    surface->overlay = this;
    surface->crop = OutputCrop(output, layout_, scale_);
    if (surface->crop.Empty()) return;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    surface->window = window;
    gtk_window_set_title(GTK_WINDOW(window), title_.c_str());
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_widget_set_app_paintable(window, TRUE);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) {
        gtk_widget_set_visual(window, rgba);
    }
    GtkWindow* layer = GTK_WINDOW(window);
    gtk_layer_init_for_window(layer);
    gtk_layer_set_namespace(layer, "noctiva");
    gtk_layer_set_layer(layer, LayerFor(settings_));
    gtk_layer_set_monitor(layer, monitor);
    for (GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                   GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
        gtk_layer_set_anchor(layer, edge, TRUE);
    }
    gtk_layer_set_exclusive_zone(layer, -1);
    gtk_layer_set_keyboard_mode(layer, keyboardKept_ ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND
                                                     : GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    OnSurfaceMade(window, nullptr);
    g_signal_connect(window, "realize", G_CALLBACK(OnSurfaceMade), nullptr);
    g_signal_connect(window, "map", G_CALLBACK(OnSurfaceMade), nullptr);
    g_signal_connect(window, "draw", G_CALLBACK(OnDraw), surface.get());
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), surface.get());
    g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocusLeft), surface.get());
    g_signal_connect(window, "delete-event", G_CALLBACK(OnClosed), surface.get());
    gtk_widget_show(window);
    surfaces_.push_back(std::move(surface));
}

void LayerOverlay::ForgetMonitors() {
    for (GdkMonitor* monitor : watchedMonitors_) {
        g_signal_handlers_disconnect_by_data(monitor, this);
        g_object_unref(monitor);
    }
    watchedMonitors_.clear();
}

void LayerOverlay::DestroySurfaces() {
    for (auto& surface : surfaces_) {
        surface->buffers.reset();  // before the wl_surface goes
        gtk_widget_destroy(surface->window);
    }
    surfaces_.clear();
}

// The outputs as they are now: the picture laid out at the largest scale, one surface on each
// output that the layout reaches, and the worker told.
void LayerOverlay::LayOut() {
    std::vector<GdkMonitor*> monitors;
    const std::vector<WaylandOutput> outputs = ListWaylandOutputs(display_, &monitors);
    scale_ = PictureScale(outputs);
    const std::vector<DisplayEntry> displays = ScaledDisplays(outputs, scale_);
    layout_ = LayOutOverlay(settings_, displays, BoundingScreen(displays), 0, 0);
    {
        std::lock_guard<std::mutex> hold(handover_.Lock());
        const size_t words = size_t(layout_.width) * size_t(layout_.height);
        picture_.assign(words, 0);
        shown_.assign(words, 0);
        handover_.SetTargetLocked(picture_.data(), layout_.width, layout_.height);
    }
    DestroySurfaces();
    for (size_t i = 0; i < outputs.size(); ++i) MakeSurface(monitors[i], outputs[i]);
    ForgetMonitors();
    watchedMonitors_ = monitors;
    for (GdkMonitor* monitor : watchedMonitors_) {
        // Held: GDK lets go of a monitor whose output was removed before the layout follows.
        g_object_ref(monitor);
        g_signal_connect(monitor, "notify::geometry", G_CALLBACK(OnOutputChanged), this);
        g_signal_connect(monitor, "notify::scale-factor", G_CALLBACK(OnOutputChanged), this);
    }
    if (worker_) worker_->ChangeDisplays(displays);
}

void LayerOverlay::FollowOutputs() {
    if (layoutTimer_) g_source_remove(layoutTimer_);
    layoutTimer_ = g_timeout_add(kLayoutSettleMs, OnLayoutDue, this);
}

gboolean LayerOverlay::OnLayoutDue(gpointer self) {
    auto* overlay = static_cast<LayerOverlay*>(self);
    overlay->layoutTimer_ = 0;
    overlay->LayOut();
    return G_SOURCE_REMOVE;
}

void LayerOverlay::OnOutputsChanged(GdkDisplay*, GdkMonitor*, gpointer self) {
    static_cast<LayerOverlay*>(self)->FollowOutputs();
}

void LayerOverlay::OnOutputChanged(GObject*, GParamSpec*, gpointer self) {
    static_cast<LayerOverlay*>(self)->FollowOutputs();
}

// The compositor closed a surface (its output went away, or the session was locked): a new set
// is made, with its input region set again.
gboolean LayerOverlay::OnClosed(GtkWidget*, GdkEvent*, gpointer surface) {
    static_cast<LayerSurface*>(surface)->overlay->FollowOutputs();
    return TRUE;
}

// The worker's new picture becomes the shown one; every surface is told only where it changed.
void LayerOverlay::TakePicture() {
    PixelRect changed;
    {
        std::lock_guard<std::mutex> hold(handover_.Lock());
        if (picture_.empty()) return;
        changed = ChangedArea(shown_.data(), picture_.data(), layout_.width, layout_.height);
        // The worker writes whole pictures: the old one becomes its target, uncopied.
        shown_.swap(picture_);
        handover_.SetTargetLocked(picture_.data(), layout_.width, layout_.height);
    }
    if (settings_.showFps) {
        if (rate_.firstPicture) rate_.shownRate = rate_.meter.rate;
        const RateLabelBox box = DrawRateLabel(shown_.data(), layout_.width, layout_.height,
                                               RateLabelText(rate_.shownRate));
        const PixelRect label{0, 0, box.width, box.height};
        // The old label's pixels differ from the picture and are in `changed` already.
        changed = Union(changed, Intersection(label, {0, 0, layout_.width, layout_.height}));
    }
    if (changed.Empty()) return;
    drawnSinceTaken_ = false;
    const gint64 now = g_get_monotonic_time();
    for (const auto& surface : surfaces_) {
        const PixelRect inside = Intersection(changed, surface->crop);
        if (inside.Empty()) continue;
        if (!surface->buffers) {
            // Not drawn by GTK yet: its first drawing shows the picture.
            const PixelRect damage = SurfaceDamage(inside, surface->crop, scale_);
            gtk_widget_queue_draw_area(surface->window, damage.left, damage.top, damage.width,
                                       damage.height);
            continue;
        }
        surface->buffers->NoteChanged({inside.left - surface->crop.left,
                                       inside.top - surface->crop.top, inside.width, inside.height},
                                      now);
        Present(*surface);
    }
}

void LayerOverlay::Present(LayerSurface& surface) {
    const uint32_t* corner =
        shown_.data() + size_t(surface.crop.top) * layout_.width + surface.crop.left;
    if (surface.buffers->Present(corner, layout_.width) && !drawnSinceTaken_) {
        drawnSinceTaken_ = true;
        NotePicturePresented(rate_, MillisecondsNow());
        ++presented_;
    }
}

// The compositor showed a picture: the surfaces are seen, and decoding goes on if it had stopped.
void LayerOverlay::FrameShown() {
    if (!stalled_) return;
    stalled_ = false;
    rate_.meter.Start();
    worker_->SetPaused(false);
}

gboolean LayerOverlay::OnWake(gint, GIOCondition, gpointer self) {
    auto* overlay = static_cast<LayerOverlay*>(self);
    if (!overlay->handover_.TakeWakeUp()) return G_SOURCE_CONTINUE;
    if (overlay->failed_) {
        overlay->End(1);
        return G_SOURCE_CONTINUE;
    }
    overlay->TakePicture();
    return G_SOURCE_CONTINUE;
}

// GTK's drawing of a surface that was mapped or resized: the whole picture, in GTK's buffer. The
// surface's own buffers take over from the next picture on.
void LayerOverlay::Draw(LayerSurface& surface, cairo_t* cr) {
    if (shown_.empty()) return;
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(shown_.data()), CAIRO_FORMAT_ARGB32, layout_.width,
        layout_.height, layout_.width * 4);
    cairo_surface_set_device_scale(image, scale_, scale_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, -double(surface.crop.left) / scale_,
                             -double(surface.crop.top) / scale_);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_FAST);
    cairo_paint(cr);
    cairo_surface_destroy(image);

    wl_surface* wlSurface =
        gdk_wayland_window_get_wl_surface(gtk_widget_get_window(surface.window));
    if (!surface.buffers && shm_->Get() && wlSurface) {
        surface.buffers = std::make_unique<SurfaceBuffers>(
            shm_->Get(), wlSurface, surface.crop.width, surface.crop.height, scale_);
        surface.buffers->onFrame = [this, &surface] {
            FrameShown();
            Present(surface);
        };
    }
    FrameShown();
    if (!drawnSinceTaken_) {
        drawnSinceTaken_ = true;
        NotePicturePresented(rate_, MillisecondsNow());
        ++presented_;
    }
}

gboolean LayerOverlay::OnDraw(GtkWidget*, cairo_t* cr, gpointer surface) {
    auto* layerSurface = static_cast<LayerSurface*>(surface);
    layerSurface->overlay->Draw(*layerSurface, cr);
    return TRUE;
}

// A change that has waited a second for a frame callback: the compositor shows none of the
// surfaces (hidden behind a full-screen window on the top layer, or the outputs off).
gboolean LayerOverlay::OnStallCheck(gpointer self) {
    auto* overlay = static_cast<LayerOverlay*>(self);
    if (overlay->stalled_) return G_SOURCE_CONTINUE;
    const gint64 now = g_get_monotonic_time();
    for (const auto& surface : overlay->surfaces_) {
        if (surface->buffers && surface->buffers->Waiting() &&
            now - surface->buffers->WaitingSince() >= kStalledUs) {
            overlay->stalled_ = true;
            overlay->worker_->SetPaused(true);
            break;
        }
    }
    return G_SOURCE_CONTINUE;
}

gboolean LayerOverlay::OnKey(GtkWidget*, GdkEvent*, gpointer surface) {
    LayerOverlay* overlay = static_cast<LayerSurface*>(surface)->overlay;
    if (overlay->settings_.exitOnKey) overlay->End(0);
    return TRUE;
}

// The keyboard is asked for on demand: sway gives it to a surface mapped on the top or overlay
// layer, so a key at start ends the player. But sway 1.7 gives it back to the surface after every
// click on another window (tried), which would hold every key while it plays: once the keyboard
// has gone elsewhere, the surfaces stop asking for it, and sway hands it to the window clicked.
gboolean LayerOverlay::OnFocusLeft(GtkWidget*, GdkEvent*, gpointer surface) {
    LayerOverlay* overlay = static_cast<LayerSurface*>(surface)->overlay;
    if (!overlay->keyboardKept_) return FALSE;
    overlay->keyboardKept_ = false;
    for (const auto& each : overlay->surfaces_) {
        gtk_layer_set_keyboard_mode(GTK_WINDOW(each->window), GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    }
    return FALSE;
}

gboolean LayerOverlay::OnSignal(gpointer self) {
    static_cast<LayerOverlay*>(self)->End(0);
    return G_SOURCE_CONTINUE;
}

int LayerOverlay::Run() {
    display_ = gdk_display_get_default();
    loop_ = g_main_loop_new(nullptr, FALSE);
    keyboardKept_ = settings_.exitOnKey;
    title_ = std::string(FindResourceString(kStringTable, IDS_WINDOW_TITLE));
    shm_ = std::make_unique<ShmGlobal>(gdk_wayland_display_get_wl_display(display_));
    LayOut();
    g_signal_connect(display_, "monitor-added", G_CALLBACK(OnOutputsChanged), this);
    g_signal_connect(display_, "monitor-removed", G_CALLBACK(OnOutputsChanged), this);
    // The worker's run ends on a failure; the loop then ends too and the failure is told.
    worker_ = std::make_unique<PlaybackThread>(archivePath_, settings_, handover_,
                                               [this](const PlayerFailure& reason) {
                                                   failure = reason;
                                                   failed_ = true;
                                                   handover_.WakeUp();
                                               });
    sources_.push_back(g_unix_fd_add(handover_.WakeDescriptor(), G_IO_IN, OnWake, this));
    sources_.push_back(g_timeout_add(kStallCheckMs, OnStallCheck, this));
    sources_.push_back(g_unix_signal_add(SIGINT, OnSignal, this));
    sources_.push_back(g_unix_signal_add(SIGTERM, OnSignal, this));
#if !defined(NOCTIVA_MEASURE)
    // The whole player yields to every other program, as the Windows one runs at idle priority.
    setpriority(PRIO_PROCESS, 0, 19);
#endif
    const std::vector<DisplayEntry> displays = ScaledDisplays(ListWaylandOutputs(display_), scale_);
    worker_->Start(displays);
    rate_.meter.Start();
#if defined(NOCTIVA_MEASURE)
    const gint64 started = g_get_monotonic_time();
#endif
    g_main_loop_run(loop_);
    worker_->Stop();
#if defined(NOCTIVA_MEASURE)
    // Measurement build only, as the X11 loop reports it.
    std::fprintf(stderr, "measure: presented=%ld seconds=%.3f\n", presented_,
                 double(g_get_monotonic_time() - started) / 1e6);
#endif
    return failed_ ? 1 : status_;
}

}  // namespace

std::vector<WaylandOutput> ListWaylandOutputs(GdkDisplay* display,
                                              std::vector<GdkMonitor*>* monitors) {
    std::vector<WaylandOutput> outputs;
    const int count = display ? gdk_display_get_n_monitors(display) : 0;
    for (int i = 0; i < count; ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        GdkRectangle area{};
        gdk_monitor_get_geometry(monitor, &area);
        if (area.width <= 0 || area.height <= 0) continue;
        outputs.push_back({area.x, area.y, area.width, area.height,
                           std::max(1, gdk_monitor_get_scale_factor(monitor)),
                           bool(gdk_monitor_is_primary(monitor))});
        if (monitors) monitors->push_back(monitor);
    }
    return outputs;
}

int RunLayerOverlay(const PlaybackSettings& settings, const std::string& archivePath,
                    PlayerFailure& failure) {
    LayerOverlay overlay(settings, archivePath);
    const int status = overlay.Run();
    failure = overlay.failure;
    return status;
}
