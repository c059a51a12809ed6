// Videos through Media Foundation, for Windows computers without ffmpeg. On Windows the source
// reader loads the system's decoder transforms; under Wine it decodes through GStreamer.

#include <windows.h>
// windows.h first: the Media Foundation headers need its types.
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>
#include <optional>

#include "file_names.h"
#include "system_video_reader.h"
#include "tool_error.h"
#include "video_frames.h"

const char* const kMediaFoundationMissing =
    "Media Foundation is missing (Windows N needs the Media Feature Pack), or ffmpeg.exe can be "
    "put beside vektool.exe";

const char* const kInstallFfmpeg =
    "vektool needs ffmpeg for this: download ffmpeg.exe (ffmpeg.org) and put it beside "
    "vektool.exe or in a folder on PATH";

namespace {

// Owns one reference to a COM object.
template <class T>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T** Out() {
        Reset();
        return &object;
    }
    T* operator->() const { return object; }
    T* Get() const { return object; }
    explicit operator bool() const { return object != nullptr; }
    void Reset() {
        if (object != nullptr) object->Release();
        object = nullptr;
    }

  private:
    T* object = nullptr;
};

std::string HexCode(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

[[noreturn]] void FailUnreadable(const std::string& path, const std::string& what, HRESULT result) {
    FailInput(path + ": Media Foundation cannot read it (" + what + ", " + HexCode(result) +
              "); ffmpeg reads more kinds of video: put ffmpeg.exe beside vektool.exe or in a "
              "folder on PATH");
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The few functions of Media Foundation's DLLs that vektool calls. The DLLs are loaded at the
// first video read without ffmpeg and stay until the process ends: the other commands start
// without them, and still run on Windows editions that have no Media Foundation.
struct MediaFoundation {
    decltype(&MFStartup) startup = nullptr;
    decltype(&MFShutdown) shutdown = nullptr;
    decltype(&MFCreateAttributes) createAttributes = nullptr;
    decltype(&MFCreateMediaType) createMediaType = nullptr;
    decltype(&MFCreateSourceReaderFromURL) createSourceReaderFromURL = nullptr;
};

template <class Function>
bool Find(HMODULE library, const char* name, Function& function) {
    function =
        library == nullptr
            ? nullptr
            : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// Null when this Windows has no Media Foundation.
const MediaFoundation* LoadMediaFoundation() {
    static const std::optional<MediaFoundation> loaded = []() -> std::optional<MediaFoundation> {
        // From the system folder only, never from the current folder or vektool's own.
        const HMODULE platform =
            LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const HMODULE readWrite =
            LoadLibraryExW(L"mfreadwrite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        MediaFoundation functions;
        if (Find(platform, "MFStartup", functions.startup) &&
            Find(platform, "MFShutdown", functions.shutdown) &&
            Find(platform, "MFCreateAttributes", functions.createAttributes) &&
            Find(platform, "MFCreateMediaType", functions.createMediaType) &&
            Find(readWrite, "MFCreateSourceReaderFromURL", functions.createSourceReaderFromURL)) {
            return functions;
        }
        return std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

// COM and Media Foundation for the time of one video.
class MediaFoundationSession {
  public:
    explicit MediaFoundationSession(const std::string& path) : mf(LoadMediaFoundation()) {
        if (mf == nullptr) {
            // Windows N and KN editions lack it until the Media Feature Pack is installed.
            FailInput(path + ": " + kMediaFoundationMissing);
        }
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comStarted = SUCCEEDED(com);
        const HRESULT started = mf->startup(MF_VERSION, MFSTARTUP_LITE);
        if (FAILED(started)) {
            if (comStarted) CoUninitialize();
            FailUnreadable(path, "Media Foundation does not start", started);
        }
    }
    ~MediaFoundationSession() {
        mf->shutdown();
        if (comStarted) CoUninitialize();
        // Workaround for Wine 8: in some runs its media threads crash the process as it exits;
        // half a second for them to wind down avoided that in every trial.
        if (RunningUnderWine()) Sleep(500);
    }
    MediaFoundationSession(const MediaFoundationSession&) = delete;
    MediaFoundationSession& operator=(const MediaFoundationSession&) = delete;

    const MediaFoundation& Functions() const { return *mf; }

  private:
    const MediaFoundation* mf;
    bool comStarted = false;
};

std::wstring FullWidePath(const std::string& path) {
    const std::wstring wide = WideOf(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    full.resize(written);
    return full;
}

// What the reader hands out: the layout, the coded size, the part to show and the levels.
struct VideoFormat {
    LumaLayout layout = LumaLayout::Nv12;
    uint32_t codedWidth = 0, codedHeight = 0;
    uint32_t left = 0, top = 0, width = 0, height = 0;
    int64_t stride = 0;  // 0: not told
    bool limitedRange = true;
    uint32_t rotation = 0;                             // degrees clockwise to show it upright
    int64_t frameDuration = 10'000'000 / kPlayerRate;  // 100 ns units
};

void ChooseVisibleArea(IMFMediaType* type, VideoFormat& format) {
    format.left = format.top = 0;
    format.width = format.codedWidth;
    format.height = format.codedHeight;
    // Decoders on Windows give whole macroblocks (1088 rows for 1080p) and name the rows to
    // show in the aperture.
    MFVideoArea area{};
    if (FAILED(type->GetBlob(MF_MT_MINIMUM_DISPLAY_APERTURE, reinterpret_cast<UINT8*>(&area),
                             sizeof area, nullptr))) {
        return;
    }
    const int64_t left = area.OffsetX.value, top = area.OffsetY.value;
    if (left < 0 || top < 0 || area.Area.cx <= 0 || area.Area.cy <= 0 ||
        left + area.Area.cx > format.codedWidth || top + area.Area.cy > format.codedHeight) {
        return;
    }
    format.left = uint32_t(left);
    format.top = uint32_t(top);
    format.width = uint32_t(area.Area.cx);
    format.height = uint32_t(area.Area.cy);
}

VideoFormat CurrentFormat(IMFSourceReader* reader, const std::string& path) {
    ComRef<IMFMediaType> type;
    HRESULT result = reader->GetCurrentMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM, type.Out());
    if (FAILED(result)) FailUnreadable(path, "no frame format", result);
    VideoFormat format;
    GUID subtype{};
    type->GetGUID(MF_MT_SUBTYPE, &subtype);
    format.layout = subtype == MFVideoFormat_YUY2 ? LumaLayout::Yuy2 : LumaLayout::Nv12;
    UINT32 width = 0, height = 0;
    result = MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &width, &height);
    if (FAILED(result) || width == 0 || height == 0) {
        FailUnreadable(path, "no frame size", FAILED(result) ? result : E_FAIL);
    }
    format.codedWidth = width;
    format.codedHeight = height;
    ChooseVisibleArea(type.Get(), format);
    UINT32 stride = 0;
    if (SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
        format.stride = static_cast<INT32>(stride);
    }
    // A phone video held upright is stored on its side with a rotation to apply, which ffmpeg
    // applies by itself.
    format.rotation = MFGetAttributeUINT32(type.Get(), MF_MT_VIDEO_ROTATION, 0);
    format.limitedRange = MFGetAttributeUINT32(type.Get(), MF_MT_VIDEO_NOMINAL_RANGE,
                                               MFNominalRange_Unknown) != MFNominalRange_0_255;
    UINT32 rateNumerator = 0, rateDenominator = 0;
    if (SUCCEEDED(
            MFGetAttributeRatio(type.Get(), MF_MT_FRAME_RATE, &rateNumerator, &rateDenominator)) &&
        rateNumerator > 0 && rateDenominator > 0) {
        format.frameDuration = int64_t(10'000'000) * rateDenominator / rateNumerator;
    }
    return format;
}

void OpenReader(const MediaFoundation& mf, const std::string& path,
                ComRef<IMFSourceReader>& reader) {
    ComRef<IMFAttributes> attributes;
    if (SUCCEEDED(mf.createAttributes(attributes.Out(), 1))) {
        // Lets the reader turn a decoder's own layout into the NV12 or YUY2 we ask for.
        attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE);
    }
    const std::wstring url = FullWidePath(path);
    const HRESULT result =
        mf.createSourceReaderFromURL(url.c_str(), attributes.Get(), reader.Out());
    if (FAILED(result)) FailUnreadable(path, "no decoder for this file", result);
}

void SelectFirstVideo(IMFSourceReader* reader, const std::string& path) {
    reader->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE);
    const HRESULT result = reader->SetStreamSelection(MF_SOURCE_READER_FIRST_VIDEO_STREAM, TRUE);
    if (result == MF_E_INVALIDSTREAMNUMBER) FailInput(path + ": the file holds no video");
    if (FAILED(result)) FailUnreadable(path, "no video stream", result);
}

// NV12 first, the usual decoder output; YUY2 otherwise. Neither needs a colour conversion, and
// Wine refuses RGB.
void AskForLuma(const MediaFoundation& mf, IMFSourceReader* reader, const std::string& path) {
    HRESULT result = E_FAIL;
    for (const GUID& subtype : {MFVideoFormat_NV12, MFVideoFormat_YUY2}) {
        ComRef<IMFMediaType> type;
        result = mf.createMediaType(type.Out());
        if (FAILED(result)) break;
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        type->SetGUID(MF_MT_SUBTYPE, subtype);
        result =
            reader->SetCurrentMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM, nullptr, type.Get());
        if (SUCCEEDED(result)) return;
    }
    FailUnreadable(path, "no decoder for its video", result);
}

// Locks a media buffer for reading and unlocks it when done, through IMF2DBuffer when the
// buffer offers it (its pitch is then exact) and as plain bytes otherwise.
class LockedBuffer {
  public:
    LockedBuffer(IMFMediaBuffer* buffer, const VideoFormat& format, const std::string& path)
        : buffer(buffer) {
        if (SUCCEEDED(
                buffer->QueryInterface(IID_IMF2DBuffer, reinterpret_cast<void**>(twoD.Out())))) {
            BYTE* firstRow = nullptr;
            LONG pitch = 0;
            if (SUCCEEDED(twoD->Lock2D(&firstRow, &pitch))) {
                view = {firstRow, pitch, format.layout};
                return;
            }
            twoD.Reset();
        }
        BYTE* data = nullptr;
        DWORD length = 0;
        const HRESULT result = buffer->Lock(&data, nullptr, &length);
        if (FAILED(result)) FailUnreadable(path, "a frame's buffer cannot be read", result);
        locked = true;
        // Wine's decoders tell no stride: their padding shows only in the buffer's length.
        int64_t pitch = format.stride != 0 ? format.stride
                                           : PitchFromLength(length, format.codedWidth,
                                                             format.codedHeight, format.layout);
        const uint32_t rows = format.top + format.height;
        const uint32_t columns = format.left + format.width;
        if (pitch == 0 || LumaBytesNeeded(pitch, columns, rows, format.layout) > length) {
            buffer->Unlock();
            FailInput(path + ": Media Foundation gave a frame of " + std::to_string(length) +
                      " bytes, too short for " + std::to_string(format.codedWidth) + "x" +
                      std::to_string(format.codedHeight));
        }
        const uint8_t* first = pitch > 0 ? data : data + uint64_t(-pitch) * (rows - 1);
        view = {first, pitch, format.layout};
    }
    ~LockedBuffer() {
        if (twoD) twoD->Unlock2D();
        if (locked) buffer->Unlock();
    }
    LockedBuffer(const LockedBuffer&) = delete;
    LockedBuffer& operator=(const LockedBuffer&) = delete;

    const DecodedBuffer& View() const { return view; }

  private:
    IMFMediaBuffer* buffer;
    ComRef<IMF2DBuffer> twoD;
    bool locked = false;
    DecodedBuffer view;
};

GreyPicture LumaOfSample(IMFSample* sample, const VideoFormat& format, const std::string& path) {
    ComRef<IMFMediaBuffer> buffer;
    DWORD count = 0;
    sample->GetBufferCount(&count);
    const HRESULT result = count == 1 ? sample->GetBufferByIndex(0, buffer.Out())
                                      : sample->ConvertToContiguousBuffer(buffer.Out());
    if (FAILED(result)) FailUnreadable(path, "a frame without pixels", result);
    const LockedBuffer locked(buffer.Get(), format, path);
    return RotateClockwise(LumaOf(locked.View(), format.left, format.top, format.width,
                                  format.height, format.limitedRange),
                           format.rotation);
}

uint64_t ReadFrames(IMFSourceReader* reader, const std::string& path, const SizeRule& rule,
                    FrameSink& sink) {
    VideoFormat format = CurrentFormat(reader, path);
    SampleTimeline timeline(rule, sink, path);
    int64_t lastDuration = format.frameDuration;
    for (uint64_t n = 0;; ++n) {
        DWORD flags = 0;
        LONGLONG time = 0;
        ComRef<IMFSample> sample;
        const HRESULT result = reader->ReadSample(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, nullptr,
                                                  &flags, &time, sample.Out());
        if (FAILED(result) || (flags & MF_SOURCE_READERF_ERROR) != 0) {
            FailUnreadable(path, "decoding stopped at frame " + std::to_string(n),
                           FAILED(result) ? result : E_FAIL);
        }
        if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0) {
            format = CurrentFormat(reader, path);
        }
        if (sample) {
            timeline.Add(LumaOfSample(sample.Get(), format, path), time);
            LONGLONG duration = 0;
            lastDuration = SUCCEEDED(sample->GetSampleDuration(&duration)) && duration > 0
                               ? duration
                               : format.frameDuration;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) break;
    }
    return timeline.Finish(lastDuration);
}

}  // namespace

bool UseSystemVideoReader() {
    // The places CreateProcess looks in for "ffmpeg", the program's own folder first. With no
    // room for the result SearchPathW still tells whether it found one (by the size needed).
    wchar_t found[1];
    return SearchPathW(nullptr, L"ffmpeg", L".exe", 1, found, nullptr) == 0;
}

uint64_t ReadVideoWithSystemReader(const std::string& path, const SizeRule& rule, FrameSink& sink) {
    const MediaFoundationSession session(path);
    ComRef<IMFSourceReader> reader;
    OpenReader(session.Functions(), path, reader);
    SelectFirstVideo(reader.Get(), path);
    AskForLuma(session.Functions(), reader.Get(), path);
    const uint64_t frames = ReadFrames(reader.Get(), path, rule, sink);
    if (frames == 0) FailInput(path + ": the video holds no frames");
    return frames;
}
