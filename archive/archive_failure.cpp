#include "archive/archive_failure.h"

#include "archive/archive_file.h"

std::string OpenFailureReason(OpenStatus status, bool fileExists) {
    switch (status) {
        case OpenStatus::CannotOpen:
            return fileExists ? DescribeOpenStatus(status) : "not found";
        case OpenStatus::HeaderCutShort:
        case OpenStatus::TooManyFrames:
        case OpenStatus::IndexBeyondEnd:
        case OpenStatus::IndexCutShort:
            return "not a frame archive (" + DescribeOpenStatus(status) + ")";
        default:
            return DescribeOpenStatus(status);
    }
}

std::string OpenFailureReasonFor(const wchar_t* path, OpenStatus status) {
    const bool exists = status != OpenStatus::CannotOpen || ArchiveFileExists(path);
    return OpenFailureReason(status, exists);
}

std::string FrameFailureReason(uint32_t frame, const FrameStatus& status) {
    return "frame " + std::to_string(frame) + " cannot be decoded: " + DescribeFrameStatus(status);
}
