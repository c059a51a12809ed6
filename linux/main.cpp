// The Linux player's entry: the settings dialog (GTK), then the overlay that suits the desktop
// (Wayland's layer shell or X11) and its worker.
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
#include "linux/overlay_backend.h"
#include "linux/playback_worker.h"
#include "linux/settings_dialog.h"
#include "linux/wayland/wayland_backend.h"
#include "linux/x11/x11_backend.h"
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
    // Wayland's layer shell first: where it is offered, an X11 overlay would take every click.
    std::string reasons;
    const OverlayBackend* backend = OpenOverlayBackend({&kWaylandBackend, &kX11Backend}, reasons);
    if (!backend) {
        TellFailure(PlaybackFailure("no overlay can run here: " + reasons));
        return 1;
    }
    PlaybackSettings settings;
    // A dialog that cannot be shown leaves the default settings, as on Windows.
    if (RunSettingsDialog(settings, backend->listDisplays()) == 2) {
        backend->close();
        return 0;
    }
    PlayerFailure failure;
    if (archive.path.empty()) failure = NoArchiveFailure(userArchive, places);
    if (archive.path.empty() ||
        !ArchiveCanBeOpened(WidePathFromNative(archive.path).c_str(), archive.path, failure)) {
        backend->close();
        TellFailure(failure);
        return 1;
    }
    const int status = backend->play(settings, archive.path, failure);
    backend->close();
    // Told once the overlay, the worker and the archive are gone.
    if (status != 0) TellFailure(failure);
    return status;
}
