#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "command_line.h"
#include "commands.h"
#include "tool_error.h"

namespace {

struct ArchiveSummary {
    uint64_t dataSize = 0;
    uint32_t smallestFrame = 0;
    uint32_t largestFrame = 0;
    uint32_t sharedEntries = 0;  // entries naming exactly the bytes of an earlier entry
};

ArchiveSummary Summarize(const ImageUnpacker& unpacker, uint64_t fileSize) {
    ArchiveSummary summary;
    summary.dataSize = fileSize - unpacker.DataStart();
    const auto& index = unpacker.Index();
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> seen;
    for (uint32_t n = 0; n < index.size(); ++n) {
        if (index[n].packedSize < index[summary.smallestFrame].packedSize)
            summary.smallestFrame = n;
        if (index[n].packedSize > index[summary.largestFrame].packedSize) summary.largestFrame = n;
        if (!seen.emplace(std::make_pair(index[n].offset, index[n].packedSize), n).second) {
            ++summary.sharedEntries;
        }
    }
    return summary;
}

}  // namespace

int InfoCommand(int argc, char** argv) {
    if (argc != 2) FailUsage("usage: vektool info ARCHIVE");
    const std::string path = argv[1];
    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, path);
    uint64_t fileSize = 0;
    if (!unpacker.FileSize(fileSize)) FailInput(path + ": cannot measure the file");
    const ArchiveSummary summary = Summarize(unpacker, fileSize);
    const auto& index = unpacker.Index();

    std::printf("width: %u\n", unpacker.Width());
    std::printf("height: %u\n", unpacker.Height());
    std::printf("frames: %u\n", unpacker.FrameCount());
    std::printf("data size: %llu bytes\n", static_cast<unsigned long long>(summary.dataSize));
    if (index.empty()) {
        std::printf("smallest stream: none\nlargest stream: none\n");
    } else {
        std::printf("smallest stream: %u bytes (frame %u)\n",
                    index[summary.smallestFrame].packedSize, summary.smallestFrame);
        std::printf("largest stream: %u bytes (frame %u)\n", index[summary.largestFrame].packedSize,
                    summary.largestFrame);
    }
    std::printf("shared streams: %u\n", summary.sharedEntries);
    return 0;
}
