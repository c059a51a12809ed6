#pragma once

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform_tools.h"

// A helper program such as ffmpeg running beside vektool. It owns the process, our end of its
// pipe and a thread that collects its error output, so that the program never stalls on a
// full error pipe while we wait on the other one.
class ChildProcess {
  public:
    // Starts command[0] from PATH without a shell; when it is not there, fails with one line
    // that names it and says `howToInstall`.
    ChildProcess(const std::vector<std::string>& command, bool feedInput,
                 const std::string& howToInstall);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The program's standard output to read, or its standard input to write.
    std::FILE* Stream() const { return process.stream; }

    // Closes our end of the pipe and waits for the program: its exit status.
    int Finish();

    // The last line that the program wrote to its error output, once it has finished.
    std::string LastErrorLine() const;
    // All that the program wrote to its error output, once it has finished.
    const std::string& ErrorOutput() const { return errorText; }

  private:
    StartedProcess process;
    std::thread errorReader;
    std::string errorText;
    bool finished = false;
    int exitStatus = -1;
};
