#include "interrupt_cleanup.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "file_names.h"

namespace {

std::mutex& CleanupLock() {
    static std::mutex lock;
    return lock;
}

std::vector<std::string>& RegisteredFiles() {
    static std::vector<std::string> files;
    return files;
}

}  // namespace

RemovedIfInterrupted::RemovedIfInterrupted(std::string path) : path(std::move(path)) {
    const std::lock_guard hold(CleanupLock());
    RegisteredFiles().push_back(this->path);
}

RemovedIfInterrupted::~RemovedIfInterrupted() {
    const std::lock_guard hold(CleanupLock());
    std::vector<std::string>& files = RegisteredFiles();
    const auto found = std::find(files.begin(), files.end(), path);
    if (found != files.end()) files.erase(found);
}

void RunUninterrupted(const std::function<void()>& step) {
    const std::lock_guard hold(CleanupLock());
    step();
}

void RemoveFilesOfInterruptedRun() {
    CleanupLock().lock();
    for (const std::string& file : RegisteredFiles()) RemoveFile(file);
}
