// The Linux player's entry: the settings dialog (GTK), then the X11 overlay and its worker.
#include <X11/Xlib.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_file.h"
#include "linux/failure_notice.h"
#include "linux/playback_worker.h"
#include "linux/settings_dialog.h"
#include "linux/x11/gtk_display.h"
#include "linux/x11/monitor_list.h"
#include "linux/x11/picture_presenter.h"
#include "linux/x11/presentation_loop.h"
#include "playback/archive_argument.h"

namespace {

// `noctiva [ARCHIVE]`: the archive named, from the current directory when relative, or the
// first of `places` that exists (empty when none does).
ArchiveChoice<char> ArchiveFromCommandLine(int argc, char** argv,
                                           const std::vector<std::string>& places) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    char directory[PATH_MAX] = {};
    const std::string current = getcwd(directory, sizeof directory) ? directory : "";
    const auto exists = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
    };
    return ChooseArchive<char>(arguments, current, FirstExistingArchive(places, exists));
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");  // the label's decimal separator and the texts' language
    if (ShowRequestedFailureNotice()) return 0;  // this process only tells a failure
    const std::string userArchive =
        UserArchivePath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    const std::vector<std::string> places =
        ArchivePlaces(ArchivePathBesideExecutable(), userArchive);
    const ArchiveChoice<char> archive = ArchiveFromCommandLine(argc, argv, places);
    if (archive.tooMany) {
        TellFailure(ArgumentsFailure(archive.count));
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        TellFailure(PlaybackFailure("cannot open the X display"));
        return 1;
    }
    std::vector<DisplayEntry> displays = EnumerateX11Displays(display);
    PlaybackSettings settings;
    // A dialog that cannot be shown leaves the default settings, as on Windows.
    if (RunSettingsDialog(settings, displays) == 2) {
        XCloseDisplay(display);
        return 0;
    }
    PlayerFailure failure;
    if (archive.path.empty()) failure = NoArchiveFailure(userArchive, places);
    if (archive.path.empty() ||
        !ArchiveCanBeOpened(WidePathFromNative(archive.path).c_str(), archive.path, failure)) {
        XCloseDisplay(display);
        TellFailure(failure);
        return 1;
    }
    // Installed after the dialog: GTK keeps a handler of its own for its connection.
    TolerateProtocolErrors();
    // The overlay plays on GTK's connection where there is one, so that it is read.
    Display* gtkDisplay = GtkXDisplay();
    if (gtkDisplay) XCloseDisplay(std::exchange(display, gtkDisplay));
    // Listed again: monitors may have come or gone while the dialog was open.
    const int status =
        RunPlayback(display, settings, EnumerateX11Displays(display), archive.path, failure);
    if (!gtkDisplay) XCloseDisplay(display);
    // Told once the overlay, the worker and the archive are gone.
    if (status != 0) TellFailure(failure);
    return status;
}
