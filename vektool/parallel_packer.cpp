#include "parallel_packer.h"

#include <algorithm>

ParallelPacker::ParallelPacker(ArchiveBuilder& builder, unsigned jobs)
    : builder(builder), jobs(std::max(1u, jobs)), batchSize(4 * size_t{this->jobs}) {}

ParallelPacker::~ParallelPacker() {
    for (std::thread& thread : threads) thread.join();
}

void ParallelPacker::Add(std::vector<uint8_t> topDownPixels, uint32_t showings) {
    filling.push_back({std::move(topDownPixels), showings, {}});
    if (filling.size() < batchSize) return;
    HandOnRunning();
    StartRunning();
}

void ParallelPacker::Finish() {
    HandOnRunning();
    StartRunning();
    HandOnRunning();
}

void ParallelPacker::StartRunning() {
    running.swap(filling);
    filling.clear();
    nextItem = 0;
    if (jobs == 1) {
        CompressRunning();
        return;
    }
    const size_t count = std::min<size_t>(jobs, running.size());
    for (size_t i = 0; i < count; ++i) threads.emplace_back([this] { CompressRunning(); });
}

void ParallelPacker::CompressRunning() {
    for (size_t i = nextItem++; i < running.size(); i = nextItem++) {
        Item& item = running[i];
        try {
            item.stream =
                FrameStream(item.pixels, builder.Width(), builder.Height(), builder.Level());
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failureLock);
            if (!failure) failure = std::current_exception();
        }
        item.pixels = {};
    }
}

void ParallelPacker::HandOnRunning() {
    for (std::thread& thread : threads) thread.join();
    threads.clear();
    if (failure) std::rethrow_exception(failure);
    for (const Item& item : running) {
        builder.AddStream(item.stream);
        builder.RepeatLastFrame(item.showings - 1);
    }
    running.clear();
}

unsigned DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}
