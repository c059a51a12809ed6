#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The little that vektool needs from the platform beyond the C++ library.

// Makes stdin and stdout carry bytes unchanged (Windows would otherwise translate line ends).
void UseBinaryStandardStreams();

// True when stderr shows on a terminal, where a progress line that rewrites itself helps.
bool StandardErrorIsTerminal();

// A program started without a shell: one of its standard streams is a pipe to us, its error
// output another; the remaining stream is the null device.
struct StartedProcess {
    intptr_t id = 0;              // the process id on POSIX, the process handle on Windows
    std::FILE* stream = nullptr;  // the program's standard output, or its standard input
    std::FILE* errors = nullptr;  // the program's standard error
};

enum class StartResult { Started, NotFound, Failed };

// Starts command[0], looked up on PATH, with the rest as its arguments. With `feedInput` the
// pipe is the program's standard input, which we write; otherwise its standard output.
StartResult StartProcess(const std::vector<std::string>& command, bool feedInput,
                         StartedProcess& process);

// Waits for the program to end: its exit status, or -1 when it was killed.
int WaitForProcess(intptr_t id);

// Ends the program at once; WaitForProcess must still follow.
void KillProcess(intptr_t id);
