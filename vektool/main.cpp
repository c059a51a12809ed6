// vektool: makes and checks the player's frame archives.

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "dropped_files.h"
#include "file_names.h"
#include "interrupt_cleanup.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool COMMAND ...   (vektool --version prints the version)\n"
    "  info ARCHIVE                    size, frame count and stream sizes\n"
    "  check ARCHIVE                   decode every frame, list the bad ones\n"
    "  dump ARCHIVE N [-o FILE]        frame N as a binary PGM\n"
    "  pack [-o ARCHIVE] [--size WxH|source] [--fps N] [--invert] [--threshold N]\n"
    "       [--jobs N] [--level 0-9] [--dedupe] [--keep-previous] INPUT...\n"
    "                                  videos (through ffmpeg), GIFs, PNG, JPEG, BMP, TGA or\n"
    "                                  PGM files, folders of them, YUV4MPEG2 (- for stdin),\n"
    "                                  at 30 frames a second\n"
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
    PrintText(stderr,
              std::string("vektool: unknown command '") + argv[1] + "' (try vektool --help)\n");
    // Started by a drop that is none (a shortcut, a file that went away meanwhile): the line
    // must stay readable.
    if (HasOwnConsoleWindow()) {
        std::fputs("Press any key to close this window.\n", stderr);
        WaitForKeyPress();
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    InstallInterruptCleanup();
    std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& argument : arguments) utf8Argv.push_back(argument.data());
    utf8Argv.push_back(nullptr);
    try {
        return Run(static_cast<int>(arguments.size()), utf8Argv.data());
    } catch (const ToolError& error) {
        PrintText(stderr, "vektool: " + error.message + "\n");
        return error.exitCode;
    } catch (const std::bad_alloc&) {
        std::fputs("vektool: out of memory\n", stderr);
        return kExitBadInput;
    } catch (const std::exception& error) {
        PrintText(stderr, std::string("vektool: ") + error.what() + "\n");
        return kExitBadInput;
    }
}
