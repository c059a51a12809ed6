#include <signal.h>
#include <unistd.h>

#include <thread>

#include "interrupt_cleanup.h"

namespace {

sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
    return signals;
}

// The signal is taken by a thread of its own with sigwait, not by a handler: the clean-up may
// then take a lock and free memory like any other code.
[[noreturn]] void WaitForInterrupt(sigset_t signals) {
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
    RemoveFilesOfInterruptedRun();
    // Ends as the signal would have ended it, so that a shell sees which one.
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
}

}  // namespace

void InstallInterruptCleanup() {
    const sigset_t signals = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(WaitForInterrupt, signals).detach();
}
