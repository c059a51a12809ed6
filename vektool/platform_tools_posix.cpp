#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>

#include "platform_tools.h"

extern char** environ;

void UseBinaryStandardStreams() {}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

namespace {

// The pipes' ends stay ours only: a second program started later must not inherit them, or
// the first would never see the end of its input.
bool OpenPipe(int ends[2]) {
    return pipe2(ends, O_CLOEXEC) == 0;
}

void CloseAll(std::initializer_list<int> descriptors) {
    for (const int d : descriptors) {
        if (d >= 0) close(d);
    }
}

}  // namespace

StartResult StartProcess(const std::vector<std::string>& command, bool feedInput,
                         StartedProcess& process) {
    int data[2] = {-1, -1}, errors[2] = {-1, -1};
    if (!OpenPipe(data) || !OpenPipe(errors)) {
        CloseAll({data[0], data[1], errors[0], errors[1]});
        return StartResult::Failed;
    }
    // A program that ends early must give a write error, not end vektool by SIGPIPE.
    if (feedInput) signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int childEnd = feedInput ? data[0] : data[1];
    const int childSlot = feedInput ? STDIN_FILENO : STDOUT_FILENO;
    const int otherSlot = feedInput ? STDOUT_FILENO : STDIN_FILENO;
    posix_spawn_file_actions_adddup2(&actions, childEnd, childSlot);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, otherSlot, "/dev/null",
                                     feedInput ? O_WRONLY : O_RDONLY, 0);

    // The program gets no part of our signal mask: vektool keeps its interrupts for one thread.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failure = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    CloseAll({childEnd, errors[1]});
    const int ourEnd = feedInput ? data[1] : data[0];
    if (failure != 0) {
        CloseAll({ourEnd, errors[0]});
        return failure == ENOENT ? StartResult::NotFound : StartResult::Failed;
    }
    process.id = pid;
    process.stream = fdopen(ourEnd, feedInput ? "wb" : "rb");
    process.errors = fdopen(errors[0], "rb");
    return StartResult::Started;
}

int WaitForProcess(intptr_t id) {
    int status = 0;
    while (waitpid(static_cast<pid_t>(id), &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void KillProcess(intptr_t id) {
    kill(static_cast<pid_t>(id), SIGKILL);
}
