#include "progress.h"

#include <cstdio>

#include "platform_tools.h"

ProgressLine::ProgressLine(std::string label) : label(std::move(label)) {
    // In a log a line that rewrites itself is only noise.
    if (!StandardErrorIsTerminal()) started = Clock::time_point::max();
}

ProgressLine::~ProgressLine() {
    Finish();
}

void ProgressLine::Finish() {
    if (shown) std::fputc('\n', stderr);
    shown = false;
    started = Clock::time_point::max();
}

void ProgressLine::Update(uint64_t frames) {
    const Clock::time_point now = Clock::now();
    if (now < started || now - started < std::chrono::seconds(1)) return;
    if (shown && now - lastShown < std::chrono::milliseconds(250)) return;
    std::fprintf(stderr, "\r%s: %llu frames", label.c_str(),
                 static_cast<unsigned long long>(frames));
    std::fflush(stderr);
    lastShown = now;
    shown = true;
}
