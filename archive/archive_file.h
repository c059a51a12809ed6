#pragma once

#include <cstdint>
#include <string>

// The archive's file layer: the few file operations the reader needs, with the effects of the
// Win32 calls it was designed around. archive_file_win32.cpp uses those calls;
// archive_file_posix.cpp maps them onto POSIX.

// An open file: a Win32 HANDLE or a POSIX descriptor, widened to one integer type.
using ArchiveFileHandle = std::intptr_t;
inline constexpr ArchiveFileHandle kInvalidArchiveFile = -1;  // INVALID_HANDLE_VALUE, or fd -1

// Opens an existing file for reading; others may read it but not write or delete it while it is
// open (as far as the platform allows). kInvalidArchiveFile on failure.
ArchiveFileHandle OpenArchiveFile(const wchar_t* path);

// Reads up to `size` bytes at the current position; false when the read fails. `bytesRead` is
// what arrived, fewer than `size` only at the end of the file.
bool ReadArchiveFile(ArchiveFileHandle file, void* buffer, uint32_t size, uint32_t& bytesRead);

// Moves to `position` bytes from the start of the file.
bool SeekArchiveFile(ArchiveFileHandle file, int32_t position);

// The current position, as a 32-bit value (the reader never goes beyond 2^31 - 1).
bool TellArchiveFile(ArchiveFileHandle file, uint32_t& position);

// The file's current size in bytes.
bool ArchiveFileSize(ArchiveFileHandle file, uint64_t& size);

void CloseArchiveFile(ArchiveFileHandle file);

// True when anything (a file, a folder) is at the path, readable or not: tells a missing archive
// from one that cannot be opened.
bool ArchiveFileExists(const wchar_t* path);

// A path from the command line or the C library (UTF-8 natively, the ANSI code page on
// Windows) as the wide string that OpenArchiveFile takes.
std::wstring WidePathFromNative(const std::string& path);
