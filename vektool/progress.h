#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Shows "label: N frames" on a terminal's stderr once a job has run longer than a moment,
// refreshed a few times a second; quick jobs print nothing.
class ProgressLine {
  public:
    explicit ProgressLine(std::string label);
    ~ProgressLine();

    void Update(uint64_t frames);
    // Ends the line, if one was shown, so that later messages start on their own line.
    void Finish();

  private:
    using Clock = std::chrono::steady_clock;
    std::string label;
    Clock::time_point started = Clock::now();
    Clock::time_point lastShown{};
    bool shown = false;
};
