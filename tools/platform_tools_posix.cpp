#include <unistd.h>

#include <cstdio>

#include "platform_tools.h"

void UseBinaryStandardStreams() {}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
