#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "command_line.h"
#include "commands.h"
#include "picture_io.h"
#include "platform_tools.h"
#include "progress.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage = "usage: vektool pack -o ARCHIVE [--level 0-9] [--dedupe] INPUT...";

struct PackArguments {
    std::string output;
    PackOptions options;
    std::vector<std::string> inputs;
};

PackArguments ParsePackArguments(int argc, char** argv) {
    PackArguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--level") && i + 1 >= argc) FailUsage(kUsage);
        if (arg == "-o") {
            args.output = argv[++i];
        } else if (arg == "--level") {
            args.options.level = static_cast<int>(ParseNumber(argv[++i], 0, 9, "--level"));
        } else if (arg == "--dedupe") {
            args.options.dedupe = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            FailUsage("pack: unknown option " + arg);
        } else {
            args.inputs.push_back(arg);
        }
    }
    if (args.output.empty() || args.inputs.empty()) FailUsage(kUsage);
    return args;
}

// Adds pictures to one archive, taking its size from the first and naming the first that
// differs.
class FrameCollector {
  public:
    explicit FrameCollector(PackOptions options) : options(options) {}

    void Add(const GreyPicture& picture, const std::string& source) {
        if (!builder) {
            builder = std::make_unique<ArchiveBuilder>(picture.width, picture.height, options);
            firstSource = source;
            width = picture.width;
            height = picture.height;
        } else if (picture.width != width || picture.height != height) {
            FailInput(source + " is " + SizeText(picture.width, picture.height) + ", but " +
                      firstSource + " is " + SizeText(width, height) +
                      ": all frames must share one size");
        }
        builder->AddFrame(picture.pixels);
        progress.Update(builder->FrameCount());
    }

    bool Empty() const { return !builder; }
    void Finish() { progress.Finish(); }
    const ArchiveBuilder& Result() const { return *builder; }

  private:
    static std::string SizeText(uint32_t w, uint32_t h) {
        return std::to_string(w) + "x" + std::to_string(h);
    }

    PackOptions options;
    std::unique_ptr<ArchiveBuilder> builder;
    std::string firstSource;
    uint32_t width = 0;
    uint32_t height = 0;
    ProgressLine progress{"vektool: pack"};
};

void AddStandardInput(FrameCollector& collector) {
    UseBinaryStandardStreams();
    Y4mReader reader(stdin, "standard input");
    GreyPicture picture;
    for (uint64_t n = 0; reader.Next(picture); ++n) {
        collector.Add(picture, "frame " + std::to_string(n) + " of standard input");
    }
}

}  // namespace

int PackCommand(int argc, char** argv) {
    const PackArguments args = ParsePackArguments(argc, argv);
    FrameCollector collector(args.options);
    for (const std::string& input : args.inputs) {
        if (input == "-") {
            AddStandardInput(collector);
        } else {
            collector.Add(ReadPictureFile(input), input);
        }
    }
    collector.Finish();
    if (collector.Empty()) FailInput("pack: the input holds no frames");
    const ArchiveBuilder& result = collector.Result();
    const std::vector<uint8_t> archive = result.Serialize();
    WriteFileReplacing(args.output, archive);
    std::fprintf(stderr, "vektool: pack: %s: %u frames, %zu streams, %zu bytes\n",
                 args.output.c_str(), result.FrameCount(), result.StoredStreams(), archive.size());
    return 0;
}
