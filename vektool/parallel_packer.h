#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "archive_writer.h"

// Compresses pictures on several threads while the next ones are read, and hands the streams
// to the builder in the order the pictures came, so that the archive is the same for any
// number of threads.
class ParallelPacker {
  public:
    ParallelPacker(ArchiveBuilder& builder, unsigned jobs);
    ~ParallelPacker();
    ParallelPacker(const ParallelPacker&) = delete;
    ParallelPacker& operator=(const ParallelPacker&) = delete;

    // Queues a picture of the builder's size, top row first, shown `showings` times (at least
    // once).
    void Add(std::vector<uint8_t> topDownPixels, uint32_t showings);

    // Waits for every queued picture to reach the builder.
    void Finish();

  private:
    struct Item {
        std::vector<uint8_t> pixels;
        uint32_t showings;
        std::vector<uint8_t> stream;
    };

    void StartRunning();
    void CompressRunning();
    void HandOnRunning();

    ArchiveBuilder& builder;
    unsigned jobs;
    size_t batchSize;
    std::vector<Item> filling;
    std::vector<Item> running;
    std::vector<std::thread> threads;
    std::atomic<size_t> nextItem{0};
    std::mutex failureLock;
    std::exception_ptr failure;
};

// The number of threads that `--jobs` means by default: one per core.
unsigned DefaultJobs();
