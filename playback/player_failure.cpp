#include "playback/player_failure.h"

#include "archive/archive_failure.h"
#include "archive/image_unpacker.h"
#include "playback/archive_argument.h"
#include "resources/resource.h"

PlayerFailure ArchiveFailure(std::string file, std::string reason) {
    return {FailureKind::Archive, std::move(file), std::move(reason)};
}

PlayerFailure PlaybackFailure(std::string reason) {
    return {FailureKind::Playback, {}, std::move(reason)};
}

PlayerFailure ArgumentsFailure(int archiveCount) {
    return {FailureKind::Arguments,
            {},
            std::to_string(archiveCount) + " archives given; at most one can be played"};
}

PlayerFailure NoArchiveFailure(const std::string& userArchive,
                               const std::vector<std::string>& places) {
    const std::string shown = !userArchive.empty() || places.empty() ? userArchive : places.front();
    return ArchiveFailure(shown, NoArchiveFoundReason(places));
}

bool ArchiveCanBeOpened(const wchar_t* path, const std::string& shownPath, PlayerFailure& failure) {
    ImageUnpacker unpacker;
    const OpenStatus status = unpacker.TryOpen(path);
    if (status != OpenStatus::Ok) {
        failure = ArchiveFailure(shownPath, OpenFailureReasonFor(path, status));
        return false;
    }
    if (unpacker.FrameCount() == 0) {
        failure = ArchiveFailure(shownPath, kNoFramesReason);
        return false;
    }
    return true;
}

std::string FailureLine(const PlayerFailure& failure) {
    return failure.file.empty() ? failure.reason : failure.file + ": " + failure.reason;
}

const char* FailureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::Archive:
            return "archive";
        case FailureKind::Arguments:
            return "arguments";
        case FailureKind::Playback:
            break;
    }
    return "playback";
}

bool FailureKindFromName(std::string_view name, FailureKind& kind) {
    for (FailureKind known :
         {FailureKind::Archive, FailureKind::Playback, FailureKind::Arguments}) {
        if (name == FailureKindName(known)) {
            kind = known;
            return true;
        }
    }
    return false;
}

int32_t FailureMessageId(FailureKind kind) {
    switch (kind) {
        case FailureKind::Archive:
            return IDS_FAILURE_ARCHIVE;
        case FailureKind::Arguments:
            return IDS_FAILURE_ARGUMENTS;
        case FailureKind::Playback:
            break;
    }
    return IDS_FAILURE_PLAYBACK;
}
