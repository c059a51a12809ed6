#pragma once

#include <functional>
#include <string>

// An interrupted vektool (Ctrl+C, Ctrl+Break, the console window closed; SIGINT, SIGTERM,
// SIGHUP) removes the scratch and temporary files it made and leaves every archive as it was.
// A process killed outright cannot: its files carry names that a later pack recognises
// (leftover_files.h).

// Catches the interrupts. Called once at the start, before any other thread is made (POSIX
// threads inherit the signal mask that keeps the interrupts off them).
void InstallInterruptCleanup();

// A file that an interrupt removes until the object ends.
class RemovedIfInterrupted {
  public:
    explicit RemovedIfInterrupted(std::string path);
    ~RemovedIfInterrupted();
    RemovedIfInterrupted(const RemovedIfInterrupted&) = delete;
    RemovedIfInterrupted& operator=(const RemovedIfInterrupted&) = delete;

  private:
    std::string path;
};

// Runs `step` whole: an interrupt that comes meanwhile takes effect after it. For moves that
// put a finished archive in place.
void RunUninterrupted(const std::function<void()>& step);

// The interrupt's own work, on the thread that caught it: removes the registered files and
// keeps every uninterrupted step from starting. It does not return the lock, so that nothing is
// put in place between it and the end of the process.
void RemoveFilesOfInterruptedRun();
