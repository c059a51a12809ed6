#include "settings/dialog_template.h"

#include <algorithm>

std::string_view FindResourceString(std::span<const ResourceString> table, int32_t id) {
    for (const ResourceString& entry : table) {
        if (entry.id == id) return entry.text;
    }
    return {};
}

std::string MnemonicCaption(std::string_view caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '_') {
            out += "__";
        } else if (c == '&' && i + 1 < caption.size() && caption[i + 1] == '&') {
            out += '&';
            ++i;
        } else {
            out += c == '&' ? '_' : c;
        }
    }
    return out;
}

std::string UnixLineBreaks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::vector<std::vector<DialogControl>> ControlRows(std::span<const DialogControl> controls) {
    std::vector<DialogControl> sorted(controls.begin(), controls.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const DialogControl& a, const DialogControl& b) { return a.y < b.y; });
    std::vector<std::vector<DialogControl>> rows;
    for (const DialogControl& control : sorted) {
        if (rows.empty() || control.y - rows.back().front().y >= kRowSpan) rows.emplace_back();
        rows.back().push_back(control);
    }
    for (auto& row : rows) {
        std::stable_sort(row.begin(), row.end(),
                         [](const DialogControl& a, const DialogControl& b) { return a.x < b.x; });
    }
    return rows;
}

bool IsJapaneseLocale(std::string_view locale) {
    if (locale.starts_with("Japanese")) return true;
    // The language code ends at the territory, the code set or the modifier.
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "ja";
}
