// vektool: makes and checks the player's frame archives.

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "commands.h"
#include "dropped_files.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool COMMAND ...   (vektool --version prints the version)\n"
    "  info ARCHIVE                    size, frame count and stream sizes\n"
    "  check ARCHIVE                   decode every frame, list the bad ones\n"
    "  dump ARCHIVE N [-o FILE]        frame N as a binary PGM\n"
    "  pack [-o ARCHIVE] [--size WxH|source] [--fps N] [--invert] [--threshold N]\n"
    "       [--jobs N] [--level 0-9] [--dedupe] INPUT...\n"
    "                                  videos (through ffmpeg), GIFs, PGM or PNG files,\n"
    "                                  YUV4MPEG2 (- for stdin), at 30 frames a second\n"
    "  unpack ARCHIVE DIR              every frame as DIR/frame-00000.png, ...\n"
    "  demo -o ARCHIVE [--size WxH] [--frames N]\n"
    "                                  the built-in demo animation\n"
    "  render ...                      play an archive into pictures\n"
    "  preview ARCHIVE -o OUT.mp4 ...  the overlay as a video (also .webm, .gif)\n";

struct Command {
    const char* name;
    int (*run)(int, char**);
};

constexpr Command kCommands[] = {
    {"info", InfoCommand},     {"check", CheckCommand},     {"dump", DumpCommand},
    {"pack", PackCommand},     {"demo", DemoCommand},       {"render", RenderCommand},
    {"unpack", UnpackCommand}, {"preview", PreviewCommand},
};

int Run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        // Opened with a double click: the window would close before its text could be read.
        if (HasOwnConsoleWindow()) {
            std::fputs(
                "\nDrop a video, a GIF or pictures onto vektool.exe to make vek.bin.\n"
                "Press any key to close this window.\n",
                stderr);
            WaitForKeyPress();
        }
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("vektool %s\n", NOCTIVA_VERSION);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 1, argv + 1);
    }
    if (!ProgramFolder().empty() && LooksLikeDroppedFiles(argc, argv)) {
        return DropCommand(argc, argv);
    }
    std::fprintf(stderr, "vektool: unknown command '%s' (try vektool --help)\n", argv[1]);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const ToolError& error) {
        std::fprintf(stderr, "vektool: %s\n", error.message.c_str());
        return error.exitCode;
    } catch (const std::bad_alloc&) {
        std::fputs("vektool: out of memory\n", stderr);
        return kExitBadInput;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vektool: %s\n", error.what());
        return kExitBadInput;
    }
}
