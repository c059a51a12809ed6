// Why an archive cannot be used, in the words that vektool and both players print, so that a
// player's message and `vektool check FILE` name the same reason.
#pragma once

#include <cstdint>
#include <string>

#include "archive/image_unpacker.h"

// An archive that opens but holds no frame at all.
inline constexpr const char* kNoFramesReason = "archive holds no frames";

// "not found" when nothing is at the path; "not a frame archive (...)" when the header or the
// index is not one; otherwise the reader's own words.
std::string OpenFailureReason(OpenStatus status, bool fileExists);

// OpenFailureReason for a path that TryOpen refused, looking whether anything is there.
std::string OpenFailureReasonFor(const wchar_t* path, OpenStatus status);

// "frame N cannot be decoded: REASON".
std::string FrameFailureReason(uint32_t frame, const FrameStatus& status);
