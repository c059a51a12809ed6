#include "child_process.h"

#include "tool_error.h"

ChildProcess::ChildProcess(const std::vector<std::string>& command, bool feedInput,
                           const std::string& howToInstall) {
    switch (StartProcess(command, feedInput, process)) {
        case StartResult::Started:
            break;
        case StartResult::NotFound:
            FailInput(command[0] + " is not on PATH; " + howToInstall);
        case StartResult::Failed:
            FailInput("cannot start " + command[0]);
    }
    errorReader = std::thread([this] {
        char chunk[4096];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, process.errors)) > 0) {
            errorText.append(chunk, got);
        }
    });
}

ChildProcess::~ChildProcess() {
    if (finished) return;
    // Ended by an error on our side: the program's work is no longer wanted.
    KillProcess(process.id);
    Finish();
}

int ChildProcess::Finish() {
    if (finished) return exitStatus;
    if (process.stream != nullptr) std::fclose(process.stream);
    process.stream = nullptr;
    exitStatus = WaitForProcess(process.id);
    errorReader.join();
    std::fclose(process.errors);
    finished = true;
    return exitStatus;
}

std::string ChildProcess::LastErrorLine() const {
    const size_t end = errorText.find_last_not_of("\r\n \t");
    if (end == std::string::npos) return "";
    const size_t newline = errorText.find_last_of("\r\n", end);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    return errorText.substr(start, end + 1 - start);
}
