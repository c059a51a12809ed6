#include "input_stream.h"

#include <algorithm>
#include <cstring>

InputStream::InputStream(std::FILE* file) : file(file) {}

InputStream::InputStream(std::span<const uint8_t> bytes) : held(bytes.begin(), bytes.end()) {}

std::span<const uint8_t> InputStream::Peek(size_t count) {
    if (at > 0) {
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(at));
        at = 0;
    }
    while (file != nullptr && held.size() < count) {
        const size_t old = held.size();
        held.resize(count);
        const size_t got = std::fread(held.data() + old, 1, count - old, file);
        held.resize(old + got);
        if (got == 0) break;
    }
    return std::span<const uint8_t>(held).first(std::min(count, held.size()));
}

size_t InputStream::Read(void* buffer, size_t count) {
    const size_t fromHeld = std::min(count, held.size() - at);
    if (fromHeld > 0) std::memcpy(buffer, held.data() + at, fromHeld);
    at += fromHeld;
    if (fromHeld == count || file == nullptr) return fromHeld;
    return fromHeld +
           std::fread(static_cast<uint8_t*>(buffer) + fromHeld, 1, count - fromHeld, file);
}

int InputStream::Get() {
    if (at < held.size()) return held[at++];
    return file != nullptr ? std::fgetc(file) : EOF;
}

std::vector<uint8_t> InputStream::ReadRest() {
    std::vector<uint8_t> rest(held.begin() + static_cast<std::ptrdiff_t>(at), held.end());
    held.clear();
    at = 0;
    if (file == nullptr) return rest;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        rest.insert(rest.end(), chunk, chunk + got);
    }
    return rest;
}

bool InputStream::AtEnd() {
    return Peek(1).empty();
}
