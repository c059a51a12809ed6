#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "file_names.h"
#include "platform_tools.h"

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

namespace {

// One argument quoted so that the C runtime's parser gives it back unchanged.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

// A pipe whose child end is inherited and whose end of ours is not.
bool OpenPipe(HANDLE& read, HANDLE& write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) return false;
    SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

std::FILE* StreamOf(HANDLE handle, bool write) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                           (write ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
    return descriptor < 0 ? nullptr : _fdopen(descriptor, write ? "wb" : "rb");
}

}  // namespace

StartResult StartProcess(const std::vector<std::string>& command, bool feedInput,
                         StartedProcess& process) {
    HANDLE dataRead = nullptr, dataWrite = nullptr, errorRead = nullptr, errorWrite = nullptr;
    if (!OpenPipe(dataRead, dataWrite, feedInput)) return StartResult::Failed;
    if (!OpenPipe(errorRead, errorWrite, false)) {
        CloseHandle(dataRead);
        CloseHandle(dataWrite);
        return StartResult::Failed;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE null =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);

    std::wstring line;
    for (const std::string& arg : command) {
        if (!line.empty()) line += L' ';
        AppendQuoted(line, WideOf(arg));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = feedInput ? dataRead : null;
    startup.hStdOutput = feedInput ? null : dataWrite;
    startup.hStdError = errorWrite;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    const DWORD error = GetLastError();
    CloseHandle(feedInput ? dataRead : dataWrite);
    CloseHandle(errorWrite);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    HANDLE ours = feedInput ? dataWrite : dataRead;
    if (!started) {
        CloseHandle(ours);
        CloseHandle(errorRead);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? StartResult::NotFound
                   : StartResult::Failed;
    }
    CloseHandle(info.hThread);
    process.id = reinterpret_cast<intptr_t>(info.hProcess);
    process.stream = StreamOf(ours, feedInput);
    process.errors = StreamOf(errorRead, false);
    return StartResult::Started;
}

int WaitForProcess(intptr_t id) {
    HANDLE process = reinterpret_cast<HANDLE>(id);
    WaitForSingleObject(process, INFINITE);
    DWORD status = 0;
    const bool known = GetExitCodeProcess(process, &status) != 0;
    CloseHandle(process);
    return known ? static_cast<int>(status) : -1;
}

void KillProcess(intptr_t id) {
    TerminateProcess(reinterpret_cast<HANDLE>(id), 1);
}
