#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// An input read exactly once, from the start: a file, a pipe, a FIFO or bytes in memory. What
// is looked at to tell the kind of an input comes back from here, not from a second open, so
// that pipes and FIFOs lose nothing.
class InputStream {
  public:
    explicit InputStream(std::FILE* file);  // not owned
    explicit InputStream(std::span<const uint8_t> bytes);

    // Up to `count` bytes from the current position, which they do not move; fewer at the end.
    std::span<const uint8_t> Peek(size_t count);

    // Reads up to `count` bytes: how many arrived (fewer only at the end or on an error).
    size_t Read(void* buffer, size_t count);
    // The next byte, or EOF.
    int Get();
    // Everything that is left.
    std::vector<uint8_t> ReadRest();

    // True once the file gave a read error rather than its end.
    bool Failed() const { return file != nullptr && std::ferror(file) != 0; }
    // True when everything has been read.
    bool AtEnd();

  private:
    std::FILE* file = nullptr;
    std::vector<uint8_t> held;  // peeked bytes, or all of them for memory
    size_t at = 0;              // next byte of `held`
};
