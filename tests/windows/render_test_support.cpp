#include "tests/windows/render_test_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "windows/app_state.h"
#include "windows/device.h"

namespace {

const wchar_t kWindowClass[] = L"NoctivaRenderTest";

void RegisterWindowClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    registered = RegisterClassExW(&wc) != 0;
}

}  // namespace

TestDevice CreateTestDevice(int32_t width, int32_t height, bool plain) {
    RegisterWindowClass();
    TestDevice result;
    // Like the overlay: a click-through layered popup, here never shown.
    result.window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW,
                                    kWindowClass, L"render test", WS_POPUP, 0, 0, width, height,
                                    nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (result.window == nullptr) return result;
    D3DPRESENT_PARAMETERS parameters{};
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = result.window;
    parameters.Windowed = TRUE;
    const PlayerDevice made =
        CreatePlayerDevice(result.window, parameters, plain ? nullptr : FindDirect3DCreate9Ex());
    result.direct3D = made.direct3D;
    result.device = made.device;
    return result;
}

void StandOnOneDisplay(int32_t width, int32_t height) {
    g_app.playback.displays = {DisplayEntry{0, 0, width, height, true}};
    g_app.playback.virtualScreen = VirtualScreen{0, 0, width, height};
}

void ReleaseTestDevice(TestDevice& device) {
    if (device.device != nullptr) device.device->Release();
    if (device.direct3D != nullptr) device.direct3D->Release();
    if (device.window != nullptr) DestroyWindow(device.window);
    device = {};
}

IDirect3DSurface9* CreatePictureSurface(IDirect3DDevice9* device, int32_t width, int32_t height) {
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, &surface, nullptr))) {
        return nullptr;
    }
    return surface;
}

std::vector<uint32_t> ReadSurface(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->GetDesc(&desc)) ||
        FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        return {};
    }
    std::vector<uint32_t> pixels(size_t(desc.Width) * desc.Height);
    for (UINT row = 0; row < desc.Height; ++row) {
        std::memcpy(&pixels[size_t(row) * desc.Width],
                    static_cast<const uint8_t*>(locked.pBits) + size_t(row) * locked.Pitch,
                    size_t(desc.Width) * 4);
    }
    surface->UnlockRect();
    return pixels;
}

bool WriteArchive(const std::wstring& path, int32_t W, int32_t H,
                  const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<int32_t> sequence(frames.size());
    for (size_t i = 0; i < sequence.size(); ++i) sequence[i] = int32_t(i);
    return WriteArchive(path, W, H, frames, sequence);
}

bool WriteArchive(const std::wstring& path, int32_t W, int32_t H,
                  const std::vector<std::vector<uint8_t>>& pictures,
                  const std::vector<int32_t>& sequence) {
    std::vector<uint8_t> data;
    std::vector<std::pair<uint32_t, uint32_t>> streams;  // offset and size of each picture
    for (const std::vector<uint8_t>& picture : pictures) {
        uLongf packedSize = compressBound(picture.size());
        std::vector<uint8_t> packed(packedSize);
        if (compress(packed.data(), &packedSize, picture.data(), picture.size()) != Z_OK) {
            return false;
        }
        streams.emplace_back(uint32_t(data.size()), uint32_t(packedSize));
        data.insert(data.end(), packed.begin(), packed.begin() + packedSize);
    }
    std::vector<uint32_t> index;
    for (int32_t picture : sequence) {
        index.push_back(streams.at(size_t(picture)).first);
        index.push_back(streams.at(size_t(picture)).second);
    }
    const uint32_t header[4] = {uint32_t(W), uint32_t(H), uint32_t(sequence.size()), 0};
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, header, sizeof(header), &written, nullptr) != 0;
    if (ok && !index.empty()) {
        ok = WriteFile(file, index.data(), DWORD(index.size() * 4), &written, nullptr) != 0;
    }
    if (ok && !data.empty()) {
        ok = WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) != 0;
    }
    CloseHandle(file);
    return ok;
}

std::wstring MakeTempDirectory(const std::wstring& tag) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        std::wstring path = std::wstring(base) + L"noctiva-" + tag + L"-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path + L"\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

int RunChild(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs,
             std::string* output) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return -1;
    }
    // Read until the child and every inheritor of the pipe are gone; the timeout is checked
    // between reads, which come at least when the child ends.
    const DWORD start = GetTickCount();
    std::string text;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof(buffer)), &got,
                          nullptr)) {
                break;
            }
            text.append(buffer, got);
            continue;
        }
        if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) {
            // Drain what is left.
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) &&
                   available > 0) {
                char buffer[4096];
                DWORD got = 0;
                if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof(buffer)), &got,
                              nullptr)) {
                    break;
                }
                text.append(buffer, got);
            }
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
            CloseHandle(readEnd);
            if (output != nullptr) *output = text;
            return -1;
        }
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    if (output != nullptr) *output = text;
    return int(status);
}
