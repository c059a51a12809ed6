#pragma once

#include <string>

// The little that vektool needs from the platform beyond the C++ library.

// Makes stdin and stdout carry bytes unchanged (Windows would otherwise translate line ends).
void UseBinaryStandardStreams();

// True when stderr shows on a terminal, where a progress line that rewrites itself helps.
bool StandardErrorIsTerminal();

// Puts the finished file `from` in the place of `to` in one step, replacing any file there.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);
