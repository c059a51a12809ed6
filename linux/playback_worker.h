// The playback worker of the Linux player: a thread that reads, renders and hands over each
// frame with the software renderer, and the hand-over it shares with the presentation loop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/player_failure.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// The window-sized picture that the presentation loop shows, and the wake-up that tells it a new
// one is there. The worker copies under the lock; the loop holds the lock while it reads.
class PictureHandover {
  public:
    PictureHandover();  // an eventfd; when none can be made the worker's pictures go unnoticed
    ~PictureHandover();
    PictureHandover(const PictureHandover&) = delete;
    PictureHandover& operator=(const PictureHandover&) = delete;

    // The descriptor that becomes readable when a picture has been handed over.
    int WakeDescriptor() const { return wakeFd_; }
    std::mutex& Lock() { return lock_; }

    // Main thread, holding Lock(): where pictures go from now on. A picture of another size
    // (rendered before a display change) is dropped.
    void SetTargetLocked(uint32_t* pixels, int32_t width, int32_t height);

    // Worker: copies the picture into the target under the lock, then wakes the loop.
    void HandOver(const uint32_t* picture, int32_t width, int32_t height);

    // Main thread: true when pictures were handed over since the last call. Counts nothing.
    bool TakeWakeUp();

    // Wakes the loop without a picture (the worker's run has ended on a failure).
    void WakeUp();

  private:
    std::mutex lock_;
    uint32_t* target_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int wakeFd_ = -1;
};

// Prints "noctiva: FILE: REASON" on standard error and ends the process with status 1 at once.
[[noreturn]] void EndPlayerForArchive(const PlayerFailure& failure);

class PlaybackThread {
  public:
    // Called on the worker when the archive cannot be read or memory runs out, with the reason
    // in vektool's words. The default is EndPlayerForArchive; a handler that returns ends the
    // worker's run, which gives the archive back.
    using FailureHandler = std::function<void(const PlayerFailure&)>;

    PlaybackThread(std::string archivePath, const PlaybackSettings& settings,
                   PictureHandover& handover, FailureHandler onFailure = EndPlayerForArchive);
    ~PlaybackThread();  // stops and joins
    PlaybackThread(const PlaybackThread&) = delete;
    PlaybackThread& operator=(const PlaybackThread&) = delete;

    void Start(std::vector<DisplayEntry> displays);
    // The displays changed: the next turn lays the picture out anew and renders even a frame
    // that repeats the one shown.
    void ChangeDisplays(std::vector<DisplayEntry> displays);
    // Ends the run after the current turn and its pacing, and waits for the thread.
    void Stop();
    // While paused the worker reads and renders nothing and waits without a timer; it goes on
    // from the frame reached, its pace started anew.
    void SetPaused(bool paused);

    // Pictures rendered and handed over so far; read after Stop, or as a rough count.
    uint64_t PicturesHandedOver() const { return handedOver_.load(); }
    // Turns taken so far, repeated frames included.
    uint64_t TurnsTaken() const { return turns_.load(); }

  private:
    void Run();
    bool TakeDisplays(std::vector<DisplayEntry>& displays);
    // Waits while paused; true when it waited.
    bool WaitWhilePaused();

    std::string archivePath_;  // as the C library gives it, UTF-8
    PlaybackSettings settings_;
    PictureHandover& handover_;
    FailureHandler onFailure_;
    std::atomic<bool> running_{true};
    std::atomic<uint64_t> handedOver_{0};
    std::atomic<uint64_t> turns_{0};
    std::mutex displaysLock_;
    std::vector<DisplayEntry> displays_;
    bool displaysChanged_ = false;
    std::mutex pauseLock_;
    std::condition_variable pauseChanged_;
    bool paused_ = false;
    std::thread thread_;
};

// The archive beside the running executable: its directory followed by "vek.bin".
std::string ArchivePathBesideExecutable();
