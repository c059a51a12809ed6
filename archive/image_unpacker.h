#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_format.h"

// Why Open did not succeed.
enum class OpenStatus : uint8_t {
    Ok,
    CannotOpen,      // missing, unreadable, not a file, or held by a writer
    HeaderCutShort,  // fewer than 16 bytes, or the read failed
    TooManyFrames,   // frameCount above kMaxFrameCount
    IndexBeyondEnd,  // the header promises an index larger than the file
    IndexCutShort,   // the index read failed or came up short
    OutOfMemory,
    PositionUnknown,  // the file position after the index could not be taken
};

// Why a frame could not be decoded; None when it could.
enum class FrameError : uint8_t {
    None,
    NotOpen,
    NumberOutOfRange,
    EmptyPicture,           // width × height is 0
    PictureTooLarge,        // width × height does not fit in 32 bits
    StreamStartOutOfRange,  // dataStart + offset beyond 2^31 - 1
    EmptyStream,            // packedSize 0
    BeyondEndOfFile,        // the stream lies partly or wholly beyond the end of the file
    SeekFailed,
    ReadFailed,
    OutOfMemory,
    InflateInitFailed,
    NeedsDictionary,
    Damaged,   // zlib found the stream invalid; zlibMessage says how
    TooLong,   // the stream holds more than width × height bytes
    CutShort,  // the stream's bytes end before the stream does
    InflateFailed,
    InflateEndFailed,
};

struct FrameStatus {
    FrameError error = FrameError::None;
    const char* zlibMessage = nullptr;  // zlib's own text, a static string, when it gave one

    bool Ok() const { return error == FrameError::None; }
};

std::string DescribeOpenStatus(OpenStatus status);
std::string DescribeFrameStatus(const FrameStatus& status);

// Memory for zlib's inflate state and window, kept from one stream to the next: every frame
// still gets a stream of its own, but once the first one has ended, the next ones take their
// blocks from here instead of the heap.
class InflateMemory {
  public:
    // A free kept block of at least `bytes`, or a new one; nullptr when none can be had.
    void* Take(size_t bytes) noexcept;
    // Gives a block back for later streams; pointers this memory did not hand out are ignored.
    void Give(void* block) noexcept;
    size_t BlockCount() const { return blocks.size(); }

  private:
    struct Block {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size = 0;
        bool taken = false;
    };
    std::vector<Block> blocks;
};

// Inflates one zlib stream into the output area, which it may fill only partly; the rest keeps
// what it held. Fails when the stream is invalid, cut short or longer than the area. zlib's
// memory comes from `memory` when one is given, else from the heap.
FrameStatus TryInflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                            uint32_t outputLength, InflateMemory* memory = nullptr);

// TryInflateFrame for the player: any failure ends the process with exit status 0.
void InflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t outputLength);

class ImagePackerBase {
  public:
    ImagePackerBase() = default;
    ImagePackerBase(const ImagePackerBase&) = delete;
    ImagePackerBase& operator=(const ImagePackerBase&) = delete;
    virtual ~ImagePackerBase();
};

// Reader of a frame archive: keeps the file open, the header and the index in memory, and
// decodes any one frame on request.
class ImageUnpacker : public ImagePackerBase {
  public:
    ImageUnpacker() noexcept = default;
    ~ImageUnpacker() override;

    // True when the header and the whole index were read.
    bool Open(const wchar_t* path);
    bool Open(const std::wstring& path) { return Open(path.c_str()); }
    OpenStatus TryOpen(const wchar_t* path);
    // Gives the file back and forgets the header and index, as a reader that never opened.
    void Close() { Reset(); }

    uint32_t Width() const { return header.width; }
    uint32_t Height() const { return header.height; }
    uint32_t FrameCount() const { return header.frameCount; }

    // For inspection tools: the header and index as read (index empty unless open).
    const ArchiveHeader& Header() const { return header; }
    const std::vector<FrameIndexEntry>& Index() const { return index; }
    uint32_t DataStart() const { return dataStart; }
    bool IsOpen() const { return opened; }
    bool FileSize(uint64_t& size) const;

    // Frame n, Width() × Height() grey bytes, bottom row first. A frame that cannot be read
    // ends the process with exit status 0.
    std::vector<uint8_t> ReadFrame(uint32_t n);
    // The same into the caller's vector, reusing its storage: a caller that keeps one vector
    // makes reading allocate nothing after the first frame.
    void ReadFrame(uint32_t n, std::vector<uint8_t>& frame);

    // ReadFrame that reports instead of ending the process; `frame` is empty on failure.
    FrameStatus TryReadFrame(uint32_t n, std::vector<uint8_t>& frame);

  private:
    void Reset();
    OpenStatus Fail(OpenStatus status);

    ArchiveFileHandle fileHandle = kInvalidArchiveFile;
    uint32_t dataStart = 0;
    bool opened = false;
    ArchiveHeader header{};
    std::vector<FrameIndexEntry> index;
    std::vector<uint8_t> packedBuffer;
    uint32_t largestStream = 0;  // the largest packedSize whose stream lies within the file
    InflateMemory inflateMemory;
};
