#include "archive/image_unpacker.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

// zlib's stream record takes its lengths as uInt.
static_assert(sizeof(uInt) >= sizeof(uint32_t));

FrameStatus Failed(FrameError error, const char* zlibMessage = nullptr) {
    return FrameStatus{error, zlibMessage};
}

FrameStatus ClassifyInflateResult(int result, const z_stream& stream) {
    switch (result) {
        case Z_NEED_DICT:
            return Failed(FrameError::NeedsDictionary);
        case Z_DATA_ERROR:
            return Failed(FrameError::Damaged, stream.msg);
        case Z_BUF_ERROR:
            return Failed(FrameError::CutShort);
        default:
            return Failed(FrameError::InflateFailed, stream.msg);
    }
}

// The output area is full but the stream has not ended: a failure either way. Let zlib go one
// byte further to tell a stream with more data from one whose trailer is missing or wrong.
FrameStatus ClassifyFullOutput(z_stream& stream) {
    uint8_t scratch = 0;
    stream.next_out = &scratch;
    stream.avail_out = 1;
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_out == 0 || result == Z_OK || result == Z_STREAM_END) {
        return Failed(FrameError::TooLong);
    }
    return ClassifyInflateResult(result, stream);
}

voidpf TakeInflateMemory(voidpf memory, uInt items, uInt size) {
    return static_cast<InflateMemory*>(memory)->Take(size_t{items} * size);
}

void GiveInflateMemory(voidpf memory, voidpf block) {
    static_cast<InflateMemory*>(memory)->Give(block);
}

}  // namespace

void* InflateMemory::Take(size_t bytes) noexcept {
    for (Block& block : blocks) {
        if (!block.taken && block.size >= bytes) {
            block.taken = true;
            return block.bytes.get();
        }
    }
    try {
        blocks.push_back(Block{std::make_unique<uint8_t[]>(bytes), bytes, true});
    } catch (const std::exception&) {
        return nullptr;  // zlib reports Z_MEM_ERROR
    }
    return blocks.back().bytes.get();
}

void InflateMemory::Give(void* block) noexcept {
    for (Block& kept : blocks) {
        if (kept.bytes.get() == block) kept.taken = false;
    }
}

FrameStatus TryInflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                            uint32_t outputLength, InflateMemory* memory) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);  // zero allocators select zlib's own
    if (memory != nullptr) {
        stream.zalloc = TakeInflateMemory;
        stream.zfree = GiveInflateMemory;
        stream.opaque = memory;
    }
    if (inflateInit(&stream) != Z_OK) return Failed(FrameError::InflateInitFailed);
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = inputLength;
    stream.next_out = output;
    stream.avail_out = outputLength;

    FrameStatus status;
    for (;;) {
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) break;
        if (result != Z_OK) {
            status = ClassifyInflateResult(result, stream);
            break;
        }
        if (stream.avail_out == 0) {
            status = ClassifyFullOutput(stream);
            break;
        }
    }
    // The player ends the process on a failure without releasing the stream; this path is
    // also used by tools that go on, so release it every time.
    if (inflateEnd(&stream) != Z_OK && status.Ok()) status = Failed(FrameError::InflateEndFailed);
    return status;
}

void InflateFrame(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                  uint32_t outputLength) {
    if (!TryInflateFrame(input, inputLength, output, outputLength).Ok()) std::exit(0);
}

ImagePackerBase::~ImagePackerBase() = default;

ImageUnpacker::~ImageUnpacker() {
    CloseArchiveFile(fileHandle);
}

void ImageUnpacker::Reset() {
    header = ArchiveHeader{};
    index.clear();
    packedBuffer.clear();
    largestStream = 0;
    opened = false;
    CloseArchiveFile(fileHandle);
    fileHandle = kInvalidArchiveFile;
}

OpenStatus ImageUnpacker::Fail(OpenStatus status) {
    CloseArchiveFile(fileHandle);
    fileHandle = kInvalidArchiveFile;
    index.clear();
    return status;
}

bool ImageUnpacker::Open(const wchar_t* path) {
    return TryOpen(path) == OpenStatus::Ok;
}

OpenStatus ImageUnpacker::TryOpen(const wchar_t* path) {
    Reset();
    fileHandle = OpenArchiveFile(path);
    if (fileHandle == kInvalidArchiveFile) return OpenStatus::CannotOpen;

    uint32_t got = 0;
    if (!ReadArchiveFile(fileHandle, &header, sizeof header, got) || got < sizeof header) {
        return Fail(OpenStatus::HeaderCutShort);
    }
    // Check the promised index against the file before allocating room for it.
    if (header.frameCount > kMaxFrameCount) return Fail(OpenStatus::TooManyFrames);
    const uint32_t indexBytes = header.frameCount * kIndexEntrySize;
    uint64_t fileSize = 0;
    if (!ArchiveFileSize(fileHandle, fileSize) || DataAreaStart(header.frameCount) > fileSize) {
        return Fail(OpenStatus::IndexBeyondEnd);
    }
    try {
        index.resize(header.frameCount);
    } catch (const std::exception&) {
        return Fail(OpenStatus::OutOfMemory);
    }
    // An empty index is a read of nothing, which cannot fail; skip handing the platform a null
    // buffer.
    if (indexBytes > 0 &&
        (!ReadArchiveFile(fileHandle, index.data(), indexBytes, got) || got < indexBytes)) {
        return Fail(OpenStatus::IndexCutShort);
    }
    if (!TellArchiveFile(fileHandle, dataStart)) return Fail(OpenStatus::PositionUnknown);
    for (const FrameIndexEntry& entry : index) {
        if (uint64_t{dataStart} + entry.offset + entry.packedSize <= fileSize) {
            largestStream = std::max(largestStream, entry.packedSize);
        }
    }
    opened = true;
    return OpenStatus::Ok;
}

bool ImageUnpacker::FileSize(uint64_t& size) const {
    return opened && ArchiveFileSize(fileHandle, size);
}

std::vector<uint8_t> ImageUnpacker::ReadFrame(uint32_t n) {
    std::vector<uint8_t> frame;
    ReadFrame(n, frame);
    return frame;
}

void ImageUnpacker::ReadFrame(uint32_t n, std::vector<uint8_t>& frame) {
    if (!TryReadFrame(n, frame).Ok()) std::exit(0);
}

FrameStatus ImageUnpacker::TryReadFrame(uint32_t n, std::vector<uint8_t>& frame) {
    frame.clear();
    if (!opened) return Failed(FrameError::NotOpen);
    if (n >= header.frameCount) return Failed(FrameError::NumberOutOfRange);
    if (header.width == 0 || header.height == 0) return Failed(FrameError::EmptyPicture);
    const uint64_t frameSize = DecodedFrameSize(header.width, header.height);
    if (frameSize == 0) return Failed(FrameError::PictureTooLarge);

    const FrameIndexEntry entry = index[n];
    const uint64_t start = uint64_t{dataStart} + entry.offset;
    if (start > kMaxStreamStart) return Failed(FrameError::StreamStartOutOfRange);
    if (entry.packedSize == 0) return Failed(FrameError::EmptyStream);
    // A stream that cannot be read whole fails anyway; finding out first spares allocating
    // room for a packedSize that the file cannot back.
    uint64_t fileSize = 0;
    if (ArchiveFileSize(fileHandle, fileSize) && start + entry.packedSize > fileSize) {
        return Failed(FrameError::BeyondEndOfFile);
    }

    try {
        frame.assign(frameSize, 0);  // keeps the caller's storage when it is large enough
        // Room for the largest stream at once, so that a larger frame later on does not
        // allocate again.
        if (packedBuffer.capacity() < entry.packedSize) {
            packedBuffer.reserve(std::max(entry.packedSize, largestStream));
        }
        packedBuffer.resize(entry.packedSize);
    } catch (const std::exception&) {
        frame = {};
        return Failed(FrameError::OutOfMemory);
    }

    FrameStatus status;
    uint32_t got = 0;
    if (!SeekArchiveFile(fileHandle, static_cast<int32_t>(start))) {
        status = Failed(FrameError::SeekFailed);
    } else if (!ReadArchiveFile(fileHandle, packedBuffer.data(), entry.packedSize, got)) {
        status = Failed(FrameError::ReadFailed);
    } else if (got < entry.packedSize) {
        status = Failed(FrameError::BeyondEndOfFile);
    } else {
        status = TryInflateFrame(packedBuffer.data(), entry.packedSize, frame.data(),
                                 static_cast<uint32_t>(frameSize), &inflateMemory);
    }
    if (!status.Ok()) frame.clear();
    return status;
}

std::string DescribeOpenStatus(OpenStatus status) {
    switch (status) {
        case OpenStatus::Ok:
            return "ok";
        case OpenStatus::CannotOpen:
            return "cannot open the file for reading";
        case OpenStatus::HeaderCutShort:
            return "file shorter than its 16-byte header";
        case OpenStatus::TooManyFrames:
            return "frame count above 536870911";
        case OpenStatus::IndexBeyondEnd:
            return "index reaches beyond the end of the file";
        case OpenStatus::IndexCutShort:
            return "index cut short";
        case OpenStatus::OutOfMemory:
            return "not enough memory for the index";
        case OpenStatus::PositionUnknown:
            return "cannot take the file position";
    }
    return "unknown failure";
}

std::string DescribeFrameStatus(const FrameStatus& status) {
    const std::string zlibText = status.zlibMessage ? status.zlibMessage : "";
    switch (status.error) {
        case FrameError::None:
            return "ok";
        case FrameError::NotOpen:
            return "no archive open";
        case FrameError::NumberOutOfRange:
            return "frame number beyond the last frame";
        case FrameError::EmptyPicture:
            return "width or height is 0";
        case FrameError::PictureTooLarge:
            return "width x height does not fit in 32 bits";
        case FrameError::StreamStartOutOfRange:
            return "stream starts beyond 2 GiB";
        case FrameError::EmptyStream:
            return "stream is empty (packed size 0)";
        case FrameError::BeyondEndOfFile:
            return "stream reaches beyond end of file";
        case FrameError::SeekFailed:
            return "cannot move to the stream";
        case FrameError::ReadFailed:
            return "cannot read the stream";
        case FrameError::OutOfMemory:
            return "not enough memory for the frame";
        case FrameError::InflateInitFailed:
            return "zlib failed to start";
        case FrameError::NeedsDictionary:
            return "stream needs a preset dictionary";
        case FrameError::Damaged:
            if (zlibText == "incorrect header check" || zlibText == "unknown compression method" ||
                zlibText == "invalid window size") {
                return "wrong zlib header (" + zlibText + ")";
            }
            if (zlibText == "incorrect data check") return "wrong Adler-32 checksum";
            return "damaged stream (" + (zlibText.empty() ? "invalid data" : zlibText) + ")";
        case FrameError::TooLong:
            return "stream too long: decodes to more than width x height bytes";
        case FrameError::CutShort:
            return "stream cut short";
        case FrameError::InflateFailed:
            return "zlib failed" + (zlibText.empty() ? "" : " (" + zlibText + ")");
        case FrameError::InflateEndFailed:
            return "zlib failed to finish";
    }
    return "unknown failure";
}
