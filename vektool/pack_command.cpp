#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "command_line.h"
#include "commands.h"
#include "dropped_files.h"
#include "file_names.h"
#include "interrupt_cleanup.h"
#include "leftover_files.h"
#include "pack_inputs.h"
#include "pack_output.h"
#include "parallel_packer.h"
#include "picture_io.h"
#include "platform_tools.h"
#include "progress.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool pack [-o ARCHIVE] [--size WxH|source] [--fps N] [--invert] [--threshold N] "
    "[--jobs N] [--level 0-9] [--dedupe] [--keep-previous] [--] INPUT...";

// How the grey of each frame becomes the shadow.
struct Silhouette {
    bool invert = false;
    int threshold = -1;  // none
};

struct PackArguments {
    std::string output;
    PackOptions options;
    SizeRule size;
    Silhouette silhouette;
    uint32_t pictureRate = kPlayerRate;
    unsigned jobs = DefaultJobs();
    bool keepPrevious = false;
    std::vector<std::string> inputs;
};

SizeRule ParseSizeRule(const std::string& text) {
    if (text == "source") return {SizeRule::Source, 0, 0};
    SizeRule rule{SizeRule::Exact, 0, 0};
    ParseSize(text, "pack: --size", rule.width, rule.height);
    return rule;
}

PackArguments ParsePackArguments(int argc, char** argv) {
    PackArguments args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
            args.inputs.push_back(arg);
            continue;
        }
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) FailUsage("pack: " + arg + " needs a value; " + kUsage);
            return argv[++i];
        };
        if (arg == "--") {
            options = false;  // what follows are inputs, even when named like options
        } else if (arg == "-o") {
            args.output = value();
        } else if (arg == "--level") {
            args.options.level = static_cast<int>(ParseNumber(value(), 0, 9, "--level"));
        } else if (arg == "--keep-previous") {
            args.keepPrevious = true;
        } else if (arg == "--dedupe") {
            args.options.dedupe = true;
        } else if (arg == "--size") {
            args.size = ParseSizeRule(value());
        } else if (arg == "--fps") {
            args.pictureRate = ParseNumber(value(), 1, 1000, "pack: --fps");
        } else if (arg == "--invert") {
            args.silhouette.invert = true;
        } else if (arg == "--threshold") {
            args.silhouette.threshold =
                static_cast<int>(ParseNumber(value(), 0, 255, "pack: --threshold"));
        } else if (arg == "--jobs") {
            args.jobs = ParseNumber(value(), 1, 1024, "pack: --jobs");
        } else {
            FailUsage("pack: unknown option " + arg);
        }
    }
    if (args.inputs.empty()) FailUsage(kUsage);
    if (args.output.empty() && DefaultPackFolder().empty()) {
        FailUsage(std::string("pack: -o ARCHIVE is needed (only an installed vektool has a "
                              "default); ") +
                  kUsage);
    }
    return args;
}

void ApplySilhouette(std::vector<uint8_t>& pixels, const Silhouette& silhouette) {
    if (silhouette.threshold >= 0) {
        for (uint8_t& v : pixels) v = v < silhouette.threshold ? 0 : 255;
    }
    if (silhouette.invert) {
        for (uint8_t& v : pixels) v = static_cast<uint8_t>(255 - v);
    }
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(PathOf(path), error);
}

std::string SizeText(uint32_t w, uint32_t h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// Adds frames to one archive, taking its size from the first and naming the first that
// differs.
class FrameCollector : public FrameSink {
  public:
    FrameCollector(const PackArguments& args, ArchivePlacement placement)
        : args(args), placement(std::move(placement)) {}

    void Add(GreyPicture picture, uint32_t showings, const std::string& source) override {
        if (!builder) {
            builder = std::make_unique<ArchiveBuilder>(picture.width, picture.height, args.options,
                                                       args.output);
            packer = std::make_unique<ParallelPacker>(*builder, args.jobs);
            firstSource = source;
        } else if (picture.width != builder->Width() || picture.height != builder->Height()) {
            FailInput(source + " is " + SizeText(picture.width, picture.height) + ", but " +
                      firstSource + " is " + SizeText(builder->Width(), builder->Height()) +
                      ": all frames must share one size" +
                      (args.size.kind == SizeRule::Exact ? "" : " (--size WxH scales them)"));
        }
        ApplySilhouette(picture.pixels, args.silhouette);
        packer->Add(std::move(picture.pixels), showings);
        frames += showings;
        progress.Update(frames);
    }

    bool Empty() const { return !builder; }

    // Writes the archive in the place of the output.
    const ArchiveBuilder& Finish() {
        packer->Finish();
        progress.Finish();
        builder->Commit(placement);
        return *builder;
    }

  private:
    const PackArguments& args;
    ArchivePlacement placement;
    std::unique_ptr<ArchiveBuilder> builder;
    std::unique_ptr<ParallelPacker> packer;
    std::string firstSource;
    uint64_t frames = 0;
    ProgressLine progress{"vektool: pack"};
};

using FileCloser = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A video from a pipe or a FIFO, copied to a file beside the archive as it is read: the pipe
// gives its bytes once, and ffmpeg may have to seek (an MP4's index often comes last).
struct ScratchCopy {
    ScratchCopy(InputStream& input, const std::string& name, const std::string& beside) {
        std::FILE* out = CreateScratchBeside(beside, ".input", path);
        guard = std::make_unique<RemovedIfInterrupted>(path);
        std::vector<uint8_t> chunk(1 << 20);
        bool written = true;
        for (size_t got; written && (got = input.Read(chunk.data(), chunk.size())) > 0;) {
            written = std::fwrite(chunk.data(), 1, got, out) == got;
        }
        written = std::fclose(out) == 0 && written;
        if (!input.Failed() && written) return;
        RemoveFile(path);
        FailInput(input.Failed() ? name + ": read error" : path + ": write error");
    }
    ~ScratchCopy() { RemoveFile(path); }
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;

    std::string path;
    std::unique_ptr<RemovedIfInterrupted> guard;
};

void AddInput(const std::string& input, const PackArguments& args, RateConverter& pictureRate,
              FrameCollector& collector) {
    const bool standardInput = input == "-";
    const std::string name = standardInput ? "standard input" : input;
    if (standardInput) UseBinaryStandardStreams();
    FileCloser file(standardInput ? stdin : OpenFile(input, "rb"),
                    standardInput ? +[](std::FILE*) { return 0; } : &std::fclose);
    if (!file) FailInput(input + ": cannot open: " + std::strerror(errno));
    // Read once: a pipe or a FIFO gives its bytes only one time.
    InputStream stream(file.get());
    InputKind kind = KindOfInput(stream, name);
    if (stream.Failed()) FailInput(name + ": cannot read: " + std::strerror(errno));
    // Nothing at all on standard input is an empty YUV4MPEG2 stream, as it always was.
    if (standardInput && kind == InputKind::Video && stream.AtEnd()) kind = InputKind::Y4m;
    switch (kind) {
        case InputKind::Picture: {
            const uint32_t showings = pictureRate.Next(1);
            const std::vector<uint8_t> bytes = stream.ReadRest();
            if (stream.Failed()) FailInput(name + ": read error");
            GreyPicture picture = SizedPicture(DecodePicture(bytes, name), args.size, false);
            if (showings > 0) collector.Add(std::move(picture), showings, name);
            return;
        }
        case InputKind::Gif: {
            const std::vector<uint8_t> bytes = stream.ReadRest();
            if (stream.Failed()) FailInput(name + ": read error");
            ReadGif(bytes, name, args.size, collector);
            return;
        }
        case InputKind::Y4m:
            if (ReadY4mStream(stream, name, args.size, collector) == 0) {
                FailInput(name +
                          (standardInput ? " holds no frames" : ": the stream holds no frames"));
            }
            return;
        case InputKind::Video:
            if (IsRegularFile(input)) {
                file.reset();
                ReadVideoFile(input, args.size, collector);
            } else {
                const ScratchCopy copy(stream, name, args.output);
                ReadVideoFile(copy.path, name, args.size, collector);
            }
            return;
    }
}

void PrintSummary(const std::string& output, const ArchiveBuilder& result, size_t bytes) {
    const double seconds = double(result.FrameCount()) / kPlayerRate;
    const double megabytesPerMinute = seconds > 0 ? bytes / 1e6 * 60.0 / seconds : 0.0;
    char figures[200];
    std::snprintf(figures, sizeof figures,
                  "%u frames (%.1f s at %u frames a second), %zu streams, %zu bytes, %.1f MB per "
                  "minute\n",
                  result.FrameCount(), seconds, kPlayerRate, result.StoredStreams(), bytes,
                  megabytesPerMinute);
    PrintText(stderr, "vektool: pack: " + output + ": " +
                          SizeText(result.Width(), result.Height()) + ", " + figures);
}

// The files that an interrupted pack into the same folder left, once nothing writes them.
void RemoveLeftoversBeside(const std::string& output) {
    const std::string folder = Utf8Of(PathOf(output).parent_path());
    if (const size_t removed = RemoveLeftoverFiles(folder)) {
        PrintText(stderr, "vektool: pack: removed " + std::to_string(removed) +
                              " file(s) left by an interrupted pack\n");
    }
}

// An installed vektool without -o: vek.bin in the user's own folder, which the installed player
// plays, keeping the one that was there as a dropped file's pack does.
int PackIntoUserFolder(int argc, char** argv) {
    const std::string folder = DefaultPackFolder();
    std::error_code error;
    std::filesystem::create_directories(PathOf(folder), error);
    if (error) FailInput("cannot create " + folder + ": " + error.message());
    const std::string archive = Utf8Of(PathOf(folder) / kArchiveName);
    std::vector<std::string> args = {"pack", "--keep-previous", "-o", archive};
    args.insert(args.end(), argv + 1, argv + argc);
    std::vector<char*> packArgv;
    for (std::string& arg : args) packArgv.push_back(arg.data());
    packArgv.push_back(nullptr);
    PackCommand(static_cast<int>(args.size()), packArgv.data());
    PrintText(stderr, "vektool: wrote " + archive + ", which noctiva plays when given no archive\n");
    return 0;
}

}  // namespace

int PackCommand(int argc, char** argv) {
    PackArguments args = ParsePackArguments(argc, argv);
    if (args.output.empty()) return PackIntoUserFolder(argc, argv);
    args.inputs = ExpandFolders(args.inputs);
    RemoveLeftoversBeside(args.output);
    std::string previous;
    const ArchivePlacement keep = [&](const std::string& finished, const std::string& archive) {
        KeepPreviousArchive(finished, archive, previous);
    };
    FrameCollector collector(args, args.keepPrevious ? keep : ArchivePlacement(ReplaceArchive));
    RateConverter pictureRate(args.pictureRate);
    for (const std::string& input : args.inputs) AddInput(input, args, pictureRate, collector);
    if (collector.Empty()) FailInput("pack: the input holds no frames");
    const ArchiveBuilder& result = collector.Finish();
    PrintSummary(args.output, result, result.FileSize());
    if (!previous.empty()) {
        PrintText(stderr, "vektool: pack: the previous " + Utf8Of(PathOf(args.output).filename()) +
                              " is kept as " + previous + "\n");
    }
    return 0;
}
