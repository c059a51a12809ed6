// A failure that ends a player, told to the user in words before the player ends with status 1.
// The reason is in vektool's words (English, as `vektool check` prints it); the sentence around
// it comes from the string table, in the user's language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class FailureKind : uint8_t {
    Archive,    // the archive is missing, not one, or a frame cannot be decoded
    Playback,   // the graphics device, the X server or the memory gave out
    Arguments,  // the command line names more than one archive
};

struct PlayerFailure {
    FailureKind kind = FailureKind::Playback;
    std::string file;    // UTF-8; empty when no file is concerned
    std::string reason;  // one line, UTF-8
};

PlayerFailure ArchiveFailure(std::string file, std::string reason);
PlayerFailure PlaybackFailure(std::string reason);
PlayerFailure ArgumentsFailure(int archiveCount);
// None of the places a player given no archive looks in holds one: the failure names the user's
// own archive (which `vektool pack` makes), or the first place when there is none, and its
// reason lists every place.
PlayerFailure NoArchiveFailure(const std::string& userArchive,
                               const std::vector<std::string>& places);

// Opens the archive once before anything is shown and gives it back: false, with the failure,
// when it does not open or holds no frame. `shownPath` names it in the failure (UTF-8).
bool ArchiveCanBeOpened(const wchar_t* path, const std::string& shownPath, PlayerFailure& failure);

// The line for standard error: "FILE: REASON", or the reason alone.
std::string FailureLine(const PlayerFailure& failure);

// A kind's name ("archive", "playback", "arguments") and back; false for an unknown name.
const char* FailureKindName(FailureKind kind);
bool FailureKindFromName(std::string_view name, FailureKind& kind);

// The string-table entry of the message for a kind of failure.
int32_t FailureMessageId(FailureKind kind);

// A message pattern with every %1 replaced by the file and every %2 by the reason; %% is a
// percent sign, and any other % stays as it is.
template <typename Char>
std::basic_string<Char> FillFailureMessage(std::basic_string_view<Char> pattern,
                                           std::basic_string_view<Char> file,
                                           std::basic_string_view<Char> reason) {
    std::basic_string<Char> text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const Char next = i + 1 < pattern.size() ? pattern[i + 1] : Char(0);
        if (pattern[i] == Char('%') && (next == Char('1') || next == Char('2'))) {
            text += next == Char('1') ? file : reason;
            ++i;
        } else if (pattern[i] == Char('%') && next == Char('%')) {
            text += Char('%');
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}
