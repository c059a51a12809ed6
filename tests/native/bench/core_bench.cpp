// Frames per second of the playback core's stages, each next to the memory-bandwidth floor of
// its output (a plain memset and memcpy of the same size), measured in one run.
// Run it with scripts/bench.sh.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/image_unpacker.h"
#include "archive_writer.h"
#include "demo_animation.h"
#include "parallel_packer.h"
#include "render/compose.h"
#include "render/placement.h"
#include "render/software_renderer.h"

namespace {

constexpr uint32_t kDemoFrames = 8;

struct Size {
    int32_t width;
    int32_t height;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
    size_t Pixels() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

constexpr Size kFrameSizes[] = {{480, 360}, {1920, 1080}};
constexpr Size kTargetSizes[] = {{1920, 1080}, {3840, 2160}};

// Demo archives of a few frames at each frame size, written once into a temporary directory.
class DemoArchives {
  public:
    DemoArchives() {
        directory = std::filesystem::temp_directory_path() / "noctiva_core_bench";
        std::filesystem::create_directories(directory);
        for (const Size& size : kFrameSizes) {
            ArchiveBuilder builder(size.width, size.height, PackOptions{6, false});
            for (uint32_t n = 0; n < kDemoFrames; ++n) {
                // Frames spread over the animation so that they differ.
                builder.AddFrame(RenderDemoFrame(size.width, size.height, n * 37, 360).pixels);
            }
            const std::string path = (directory / (size.Name() + ".vek")).string();
            WriteFileReplacing(path, builder.Serialize());
            auto unpacker = std::make_unique<ImageUnpacker>();
            if (!unpacker->Open(WidePathFromNative(path))) {
                std::fprintf(stderr, "core_bench: cannot open %s\n", path.c_str());
                std::exit(1);
            }
            unpackers[size.width] = std::move(unpacker);
        }
    }
    ~DemoArchives() { std::filesystem::remove_all(directory); }

    ImageUnpacker& For(const Size& size) { return *unpackers.at(size.width); }

  private:
    std::filesystem::path directory;
    std::map<int32_t, std::unique_ptr<ImageUnpacker>> unpackers;
};

DemoArchives* g_archives = nullptr;

void ReadFrame(benchmark::State& state, Size size) {
    ImageUnpacker& unpacker = g_archives->For(size);
    uint32_t n = 0;
    for (auto _ : state) {
        std::vector<uint8_t> frame = unpacker.ReadFrame(n);
        benchmark::DoNotOptimize(frame.data());
        n = (n + 1) % kDemoFrames;
    }
}

void Compose(benchmark::State& state, Size size) {
    const std::vector<uint8_t> frame = g_archives->For(size).ReadFrame(3);
    std::vector<uint32_t> shadow(size.Pixels());
    std::vector<uint32_t> cutout(size.Pixels());
    for (auto _ : state) {
        ComposeFrame(frame.data(), size.width, size.height, 200, shadow.data(), cutout.data());
        benchmark::DoNotOptimize(shadow.data());
        benchmark::DoNotOptimize(cutout.data());
        benchmark::ClobberMemory();
    }
}

void Render(benchmark::State& state, Size target) {
    const Size frameSize = kFrameSizes[0];
    const std::vector<uint8_t> frame = g_archives->For(frameSize).ReadFrame(3);
    const std::vector<Placement> placements =
        BuildPlacements(EachMonitor, 0, {{0, 0, target.width, target.height}}, frameSize.width,
                        frameSize.height, {0, 0, target.width, target.height});
    SoftwareRenderer renderer(frameSize.width, frameSize.height, target.width, target.height,
                              placements);
    std::vector<uint32_t> pixels(target.Pixels());
    for (auto _ : state) {
        renderer.Render(frame.data(), 200, 40, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}

// Frames that vektool pack compresses in one iteration: enough for every thread to have work.
constexpr uint32_t kPackFrames = 24;

void Pack(benchmark::State& state, Size size, unsigned jobs) {
    std::vector<std::vector<uint8_t>> pictures;
    for (uint32_t n = 0; n < kPackFrames; ++n) {
        pictures.push_back(RenderDemoFrame(size.width, size.height, n * 15, 360).pixels);
    }
    for (auto _ : state) {
        ArchiveBuilder builder(size.width, size.height, PackOptions{});
        ParallelPacker packer(builder, jobs);
        for (const std::vector<uint8_t>& picture : pictures) packer.Add(picture, 1);
        packer.Finish();
        benchmark::DoNotOptimize(builder.FrameCount());
    }
}

std::string PackName(const Size& size, unsigned jobs) {
    return "Pack/" + size.Name() + " " + std::to_string(jobs) + (jobs == 1 ? " job" : " jobs");
}

void Memset(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> buffer(bytes, 1);
    int value = 0;
    for (auto _ : state) {
        std::memset(buffer.data(), value++ & 0xFF, bytes);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
}

void Memcpy(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// One line of the summary: a stage and the floor that its output size sets.
struct Stage {
    std::string name;
    std::string memsetName;
    std::string memcpyName;
};

std::vector<Stage> RegisterAll() {
    std::vector<Stage> stages;
    for (const Size& size : kFrameSizes) {
        const std::string n = size.Name();
        const size_t frameBytes = size.Pixels();
        const size_t composedBytes = 2 * size.Pixels() * 4;
        benchmark::RegisterBenchmark(("ReadFrame/" + n).c_str(), ReadFrame, size);
        benchmark::RegisterBenchmark(("Memset/frame " + n).c_str(), Memset, frameBytes);
        benchmark::RegisterBenchmark(("Memcpy/frame " + n).c_str(), Memcpy, frameBytes);
        stages.push_back({"ReadFrame/" + n, "Memset/frame " + n, "Memcpy/frame " + n});
        benchmark::RegisterBenchmark(("ComposeFrame/" + n).c_str(), Compose, size);
        benchmark::RegisterBenchmark(("Memset/2 buffers " + n).c_str(), Memset, composedBytes);
        benchmark::RegisterBenchmark(("Memcpy/2 buffers " + n).c_str(), Memcpy, composedBytes);
        stages.push_back({"ComposeFrame/" + n, "Memset/2 buffers " + n, "Memcpy/2 buffers " + n});
    }
    for (const Size& size : kFrameSizes) {
        for (const unsigned jobs : {1u, DefaultJobs()}) {
            benchmark::RegisterBenchmark(PackName(size, jobs).c_str(), Pack, size, jobs)
                ->UseRealTime();
            if (DefaultJobs() == 1) break;
        }
    }
    for (const Size& target : kTargetSizes) {
        const std::string n = target.Name();
        const size_t targetBytes = target.Pixels() * 4;
        benchmark::RegisterBenchmark(("SoftwareRenderer/480x360 into " + n).c_str(), Render,
                                     target);
        benchmark::RegisterBenchmark(("Memset/target " + n).c_str(), Memset, targetBytes);
        benchmark::RegisterBenchmark(("Memcpy/target " + n).c_str(), Memcpy, targetBytes);
        stages.push_back(
            {"SoftwareRenderer/480x360 into " + n, "Memset/target " + n, "Memcpy/target " + n});
    }
    return stages;
}

// Keeps each benchmark's real time per iteration, in seconds, beside the usual console table.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions, the median of them stands for the benchmark.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.iterations > 0;
            if (median || (single && !medians.count(run.run_name.str()))) {
                seconds[run.run_name.str()] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
            if (median) {
                medians.insert(run.run_name.str());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> seconds;
    std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    DemoArchives archives;
    g_archives = &archives;
    const std::vector<Stage> stages = RegisterAll();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-36s %12s %12s %14s %14s\n", "stage", "frames/s", "ms/frame", "x memset",
                "x memcpy");
    for (const Stage& stage : stages) {
        const auto it = reporter.seconds.find(stage.name);
        const auto set = reporter.seconds.find(stage.memsetName);
        const auto copy = reporter.seconds.find(stage.memcpyName);
        if (it == reporter.seconds.end() || set == reporter.seconds.end() ||
            copy == reporter.seconds.end()) {
            continue;  // filtered out
        }
        std::printf("%-36s %12.1f %12.3f %14.2f %14.2f\n", stage.name.c_str(), 1.0 / it->second,
                    it->second * 1e3, it->second / set->second, it->second / copy->second);
    }

    // vektool pack: one compressing thread next to one per core, in frames per second.
    std::printf("\n%-36s %12s %12s %14s\n", "vektool pack (level 9)", "1 job", "all jobs",
                "all / 1");
    for (const Size& size : kFrameSizes) {
        // Timed by the clock on the wall: the work runs on other threads.
        const auto one = reporter.seconds.find(PackName(size, 1) + "/real_time");
        const auto all = reporter.seconds.find(PackName(size, DefaultJobs()) + "/real_time");
        if (one == reporter.seconds.end() || all == reporter.seconds.end()) continue;
        std::printf("%-36s %12.1f %12.1f %14.2f   (%u jobs)\n", ("frames/s " + size.Name()).c_str(),
                    kPackFrames / one->second, kPackFrames / all->second, one->second / all->second,
                    DefaultJobs());
    }
    benchmark::Shutdown();
    return 0;
}
