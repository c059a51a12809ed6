#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform_tools.h"

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    // rename() refuses to replace an existing file on Windows.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
