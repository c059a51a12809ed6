#include "dropped_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>

#include "commands.h"
#include "file_names.h"
#include "tool_error.h"

namespace {

size_t NameStart(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Compares a run of digits by value: without its leading zeros, the longer run is larger.
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const size_t startA = i, startB = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    if (i - startA != j - startB) return i - startA < j - startB ? -1 : 1;
    const int order = a.compare(startA, i - startA, b, startB, j - startB);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int CompareNames(const std::string& a, size_t i, const std::string& b, size_t j) {
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            if (const int order = CompareNumbers(a, i, b, j)) return order;
            continue;
        }
        const int left = std::tolower(static_cast<unsigned char>(a[i++]));
        const int right = std::tolower(static_cast<unsigned char>(b[j++]));
        if (left != right) return left < right ? -1 : 1;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return 0;
}

// What a dropped folder gives to pack: pictures, GIFs, YUV4MPEG2 and videos, known by their
// ending; the rest of a folder (Thumbs.db, notes) is left alone.
bool IsPackableName(const std::string& name) {
    static const char* const kEndings[] = {
        ".png",  ".pgm", ".gif", ".jpg",  ".jpeg", ".jpe", ".bmp", ".tga", ".y4m",
        ".mp4",  ".m4v", ".mov", ".mkv",  ".webm", ".avi", ".wmv", ".asf", ".mpg",
        ".mpeg", ".ts",  ".mts", ".m2ts", ".flv",  ".3gp", ".ogv"};
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string ending : kEndings) {
        if (lower.size() > ending.size() &&
            lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0) {
            return true;
        }
    }
    return false;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == '/' || last == '\\') return folder + name;
    return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + name;
}

}  // namespace

bool NameOrderLess(const std::string& a, const std::string& b) {
    if (const int order = CompareNames(a, NameStart(a), b, NameStart(b))) return order < 0;
    if (const int order = CompareNames(a, 0, b, 0)) return order < 0;
    return a < b;
}

std::string PreviousArchiveName(const std::string& archiveName,
                                const std::function<bool(const std::string&)>& taken) {
    const size_t dot = archiveName.find_last_of('.');
    const bool hasEnding = dot != std::string::npos && dot > 0;
    const std::string stem = hasEnding ? archiveName.substr(0, dot) : archiveName;
    const std::string ending = hasEnding ? archiveName.substr(dot) : "";
    for (unsigned n = 1;; ++n) {
        const std::string name =
            stem + (n == 1 ? " (previous)" : " (previous " + std::to_string(n) + ")") + ending;
        if (!taken(name)) return name;
    }
}

bool LooksLikeDroppedFiles(int argc, char** argv) {
    if (argc < 2) return false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' || !PathExists(argv[i])) return false;
    }
    return true;
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    std::filesystem::directory_iterator entries(PathOf(folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = Utf8Of(entries->path().filename());
        if (entries->is_regular_file(error) && IsPackableName(name)) {
            files.push_back(Utf8Of(entries->path()));
        }
    }
    if (error) FailInput(folder + ": cannot list: " + error.message());
    if (files.empty()) FailInput(folder + ": the folder holds no pictures or videos");
    std::sort(files.begin(), files.end(), NameOrderLess);
    return files;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    for (const std::string& input : inputs) {
        if (input == "-" || !IsFolder(input)) {
            files.push_back(input);
            continue;
        }
        const std::vector<std::string> inside = FilesInFolder(input);
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

void KeepPreviousArchive(const std::string& finished, const std::string& archive,
                         std::string& previous) {
    const std::string folder = Utf8Of(PathOf(archive).parent_path());
    const std::string name = Utf8Of(PathOf(archive).filename());
    if (!PathExists(archive)) {
        if (!ReplaceFileAtomically(finished, archive)) FailInput(archive + ": cannot write it");
        return;
    }
    previous = PreviousArchiveName(name, [&](const std::string& candidate) {
        return PathExists(InFolder(folder, candidate));
    });
    if (!ReplaceKeepingBackup(finished, archive, InFolder(folder, previous))) {
        FailInput("cannot keep the previous " + archive + " as " + previous +
                  ": it stays as it was");
    }
}

void PackDroppedFiles(std::vector<std::string> files, const std::string& folder) {
    std::sort(files.begin(), files.end(), NameOrderLess);
    const std::string archive = InFolder(folder, kArchiveName);
    std::vector<std::string> args = {"pack", "--keep-previous", "-o", archive, "--"};
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    PackCommand(static_cast<int>(args.size()), argv.data());
    PrintText(stderr,
              std::string("vektool: start noctiva.exe to play the new ") + kArchiveName + "\n");
}

int DropCommand(int argc, char** argv) {
    const bool ownWindow = HasOwnConsoleWindow();
    int status = 0;
    try {
        PackDroppedFiles(std::vector<std::string>(argv + 1, argv + argc), ProgramFolder());
    } catch (const ToolError& error) {
        PrintText(stderr, "vektool: " + error.message + "\n");
        status = error.exitCode;
    } catch (const std::bad_alloc&) {
        std::fputs("vektool: out of memory\n", stderr);
        status = kExitBadInput;
    } catch (const std::exception& error) {
        PrintText(stderr, std::string("vektool: ") + error.what() + "\n");
        status = kExitBadInput;
    }
    if (ownWindow) {
        std::fputs("Press any key to close this window.\n", stderr);
        WaitForKeyPress();
    }
    return status;
}
