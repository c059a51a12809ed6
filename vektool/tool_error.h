#pragma once

#include <string>

// A failure that ends a vektool command: main prints the message as one line on stderr and
// exits with the code.
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

struct ToolError {
    int exitCode;
    std::string message;
};

[[noreturn]] inline void FailInput(std::string message) {
    throw ToolError{kExitBadInput, std::move(message)};
}

[[noreturn]] inline void FailUsage(std::string message) {
    throw ToolError{kExitUsage, std::move(message)};
}
