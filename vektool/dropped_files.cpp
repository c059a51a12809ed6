#include "dropped_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <new>

#include "commands.h"
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

bool FileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) std::fclose(file);
    return file != nullptr;
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

std::string PreviousArchiveName(const std::function<bool(const std::string&)>& taken) {
    for (unsigned n = 1;; ++n) {
        const std::string name =
            n == 1 ? "vek (previous).bin" : "vek (previous " + std::to_string(n) + ").bin";
        if (!taken(name)) return name;
    }
}

bool LooksLikeDroppedFiles(int argc, char** argv) {
    if (argc < 2) return false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' || !FileExists(argv[i])) return false;
    }
    return true;
}

std::string PackKeepingPrevious(const std::vector<std::string>& packArguments,
                                const std::string& folder) {
    const std::string archive = InFolder(folder, kArchiveName);
    std::string previous;
    if (FileExists(archive)) {
        previous = PreviousArchiveName(
            [&](const std::string& name) { return FileExists(InFolder(folder, name)); });
        if (std::rename(archive.c_str(), InFolder(folder, previous).c_str()) != 0) {
            FailInput("cannot keep the previous " + archive + " as " + previous +
                      ": nothing was packed");
        }
    }
    std::vector<std::string> args = {"pack", "-o", archive};
    args.insert(args.end(), packArguments.begin(), packArguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    try {
        PackCommand(static_cast<int>(args.size()), argv.data());
    } catch (...) {
        // A failed pack writes nothing: the previous archive goes back in place.
        if (!previous.empty()) std::rename(InFolder(folder, previous).c_str(), archive.c_str());
        throw;
    }
    return previous;
}

void PackDroppedFiles(std::vector<std::string> files, const std::string& folder) {
    std::sort(files.begin(), files.end(), NameOrderLess);
    const std::string previous = PackKeepingPrevious(files, folder);
    if (!previous.empty()) {
        std::fprintf(stderr, "vektool: the previous %s is kept as %s\n", kArchiveName,
                     previous.c_str());
    }
    std::fprintf(stderr, "vektool: start noctiva.exe to play the new %s\n", kArchiveName);
}

int DropCommand(int argc, char** argv) {
    const bool ownWindow = HasOwnConsoleWindow();
    int status = 0;
    try {
        PackDroppedFiles(std::vector<std::string>(argv + 1, argv + argc), ProgramFolder());
    } catch (const ToolError& error) {
        std::fprintf(stderr, "vektool: %s\n", error.message.c_str());
        status = error.exitCode;
    } catch (const std::bad_alloc&) {
        std::fputs("vektool: out of memory\n", stderr);
        status = kExitBadInput;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vektool: %s\n", error.what());
        status = kExitBadInput;
    }
    if (ownWindow) {
        std::fputs("Press any key to close this window.\n", stderr);
        WaitForKeyPress();
    }
    return status;
}
