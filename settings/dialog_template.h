// The settings dialog as the resource script describes it, for platforms that build the dialog
// themselves: its controls in template order and the string table, both extracted from
// resources/noctiva.rc at build time (resources/extract_dialog_texts.py), texts in UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ControlKind : uint8_t {
    Trackbar,
    CheckBox,
    RadioButton,  // groupStart opens a group of buttons that exclude one another
    ComboBox,
    DefaultButton,
    Button,
    ValueLabel,  // a trackbar's number
    Label,
};

struct DialogControl {
    int32_t id = 0;  // -1 for a control that the code never addresses
    ControlKind kind = ControlKind::Label;
    const char* caption = "";  // with '&' before the access key, as Windows writes it
    bool groupStart = false;
    // Position and size in dialog units.
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ResourceString {
    int32_t id = 0;
    const char* text = "";  // lines broken by CR LF
};

// The dialog's texts in one language.
struct DialogTexts {
    const char* caption = "";
    std::span<const DialogControl> controls;
    std::span<const ResourceString> strings;
};

// True for the C library's names of a Japanese locale ("ja_JP.UTF-8", "ja_JP", "ja") and the
// Windows runtime's ("Japanese_Japan.932"); false for "C", "POSIX", "" and every other language.
bool IsJapaneseLocale(std::string_view locale);

// The string with `id`, or "" when the table has none.
std::string_view FindResourceString(std::span<const ResourceString> table, int32_t id);

// A caption with its access key in the GTK manner: "&F" becomes "_F", "&&" a plain '&', and a
// '_' of the caption itself is doubled so it stays text.
std::string MnemonicCaption(std::string_view caption);

// CR LF pairs as single line feeds.
std::string UnixLineBreaks(std::string_view text);

// Controls sorted into rows as they stand in the template: a control joins the row whose first
// control's top lies less than kRowSpan dialog units above its own; rows go top to bottom and
// controls left to right within a row.
inline constexpr int32_t kRowSpan = 8;
std::vector<std::vector<DialogControl>> ControlRows(std::span<const DialogControl> controls);
