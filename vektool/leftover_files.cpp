#include "leftover_files.h"

#include <random>
#include <system_error>

#include "file_names.h"
#include "tool_error.h"

namespace {

constexpr std::string_view kMark = ".vektool-";
constexpr std::string_view kSuffixes[] = {".partial", ".streams", ".input"};

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "NAME.vektool-NNNNNN.SUFFIX"
bool IsScratchName(std::string_view name) {
    for (const std::string_view suffix : kSuffixes) {
        if (!EndsWith(name, suffix)) continue;
        const std::string_view stem = name.substr(0, name.size() - suffix.size());
        const size_t mark = stem.rfind(kMark);
        return mark != std::string_view::npos && mark > 0 &&
               stem.size() - mark - kMark.size() == 6 &&
               AllDigits(stem.substr(mark + kMark.size()));
    }
    return false;
}

// "NAME.bin.tmpN", "NAME.bin.tmpN.streams", "NAME.bin.tmpN.input", from earlier versions.
bool IsEarlierScratchName(std::string_view name) {
    for (const std::string_view suffix :
         {std::string_view(".streams"), std::string_view(".input"), std::string_view("")}) {
        if (!EndsWith(name, suffix)) continue;
        const std::string_view stem = name.substr(0, name.size() - suffix.size());
        const size_t mark = stem.rfind(".bin.tmp");
        if (mark == std::string_view::npos || mark == 0) continue;
        const std::string_view digits = stem.substr(mark + 8);
        if (digits.size() <= 6 && AllDigits(digits)) return true;
    }
    return false;
}

}  // namespace

std::FILE* CreateScratchBeside(const std::string& path, const std::string& suffix,
                               std::string& name) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string number = std::to_string(random() % 1000000);
        number.insert(0, 6 - number.size(), '0');
        name = path + std::string(kMark) + number + suffix;
        if (std::FILE* file = CreateScratchFile(name)) return file;
        if (!PathExists(name)) break;  // not a clash of names: the folder refuses
    }
    FailInput(path + ": cannot create " + name);
}

bool IsLeftoverName(std::string_view fileName) {
    return IsScratchName(fileName) || IsEarlierScratchName(fileName);
}

size_t RemoveLeftoverFiles(const std::string& folder, double minimumAge) {
    std::error_code error;
    std::filesystem::directory_iterator entries(PathOf(folder.empty() ? "." : folder), error);
    size_t removed = 0;
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (!entries->is_regular_file(error)) continue;
        if (!IsLeftoverName(Utf8Of(entries->path().filename()))) continue;
        const std::string path = Utf8Of(entries->path());
        // A pack still running holds its files open and writes them as it goes.
        const double age = SecondsSinceWritten(path);
        if (age < minimumAge || FileInUse(path)) continue;
        if (RemoveFile(path)) ++removed;
    }
    return removed;
}
