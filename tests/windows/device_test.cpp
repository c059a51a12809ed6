// The player's device: an Ex device where Direct3DCreate9Ex exists, the plain one where it does
// not, and both render the same. The other renderer tests run on the Ex device.
#include "windows/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/windows/render_test_env.h"

namespace {

bool Answers(IUnknown* object, REFIID interfaceId) {
    IUnknown* answered = nullptr;
    if (FAILED(object->QueryInterface(interfaceId, reinterpret_cast<void**>(&answered)))) {
        return false;
    }
    answered->Release();
    return true;
}

TEST(Direct3DDevice, ExWhereTheEntryPointExistsPlainOtherwise) {
    ASSERT_NE(FindDirect3DCreate9Ex(), nullptr) << "d3d9.dll without Direct3DCreate9Ex";
    const struct {
        const char* name;
        bool plain;
    } cases[] = {{"Direct3DCreate9Ex found", false}, {"entry point missing", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDevice made = CreateTestDevice(16, 8, c.plain);
        ASSERT_NE(made.device, nullptr);
        EXPECT_EQ(Answers(made.device, __uuidof(IDirect3DDevice9Ex)), !c.plain);
        EXPECT_EQ(Answers(made.direct3D, __uuidof(IDirect3D9Ex)), !c.plain);
        // Both kinds fill and copy back a render target alike.
        DrawTarget target = CreateDrawTarget(made.device, 16, 8);
        ASSERT_NE(target.picture, nullptr);
        ASSERT_EQ(made.device->ColorFill(target.renderTarget, nullptr, 0x40112233u), D3D_OK);
        const std::vector<uint32_t> pixels = ReadDrawTarget(made.device, target);
        ASSERT_EQ(pixels.size(), 16u * 8u);
        EXPECT_TRUE(
            std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == 0x40112233u; }))
            << std::hex << "first pixel " << pixels.front();
        ReleaseDrawTarget(target);
        ReleaseTestDevice(made);
    }
}

// The player's behaviour on either path: software vertex processing, multithreaded, FPU kept.
TEST(Direct3DDevice, CreatedWithFlags0x26OnBothPaths) {
    for (bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain" : "Ex");
        TestDevice made = CreateTestDevice(16, 8, plain);
        ASSERT_NE(made.device, nullptr);
        D3DDEVICE_CREATION_PARAMETERS parameters{};
        ASSERT_EQ(made.device->GetCreationParameters(&parameters), D3D_OK);
        EXPECT_EQ(parameters.BehaviorFlags, 0x26u) << std::hex << parameters.BehaviorFlags;
        EXPECT_EQ(parameters.DeviceType, D3DDEVTYPE_HAL);
        EXPECT_EQ(parameters.hFocusWindow, made.window);
        ReleaseTestDevice(made);
    }
}

// An Ex object whose CreateDeviceEx refuses, as a driver of the older model may: its method
// table copied with that one entry replaced (IUnknown 3, IDirect3D9 14, then the Ex methods).
constexpr size_t kCreateDeviceExSlot = 20;
constexpr size_t kExSlots = 22;
void* g_refusingTable[kExSlots];
int g_refusingObjects = 0;

HRESULT STDMETHODCALLTYPE RefuseDeviceEx(IDirect3D9Ex*, UINT, D3DDEVTYPE, HWND, DWORD,
                                         D3DPRESENT_PARAMETERS*, D3DDISPLAYMODEEX*,
                                         IDirect3DDevice9Ex** device) {
    *device = nullptr;
    return D3DERR_NOTAVAILABLE;
}

HRESULT WINAPI CreateRefusingEx(UINT version, IDirect3D9Ex** out) {
    const HRESULT hr = FindDirect3DCreate9Ex()(version, out);
    if (FAILED(hr)) return hr;
    void*** object = reinterpret_cast<void***>(*out);
    std::memcpy(g_refusingTable, *object, sizeof g_refusingTable);
    g_refusingTable[kCreateDeviceExSlot] = reinterpret_cast<void*>(&RefuseDeviceEx);
    *object = g_refusingTable;
    ++g_refusingObjects;
    return hr;
}

TEST(Direct3DDevice, ARefusedExDeviceFallsBackToThePlainOne) {
    TestDevice window = CreateTestDevice(16, 8, true);
    ASSERT_NE(window.window, nullptr);
    D3DPRESENT_PARAMETERS parameters{};
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window.window;
    parameters.Windowed = TRUE;
    g_refusingObjects = 0;
    const PlayerDevice made = CreatePlayerDevice(window.window, parameters, CreateRefusingEx);
    EXPECT_EQ(g_refusingObjects, 1) << "the Ex path was not tried first";
    ASSERT_NE(made.device, nullptr) << "no device after the Ex device was refused";
    ASSERT_NE(made.direct3D, nullptr);
    EXPECT_FALSE(Answers(made.device, __uuidof(IDirect3DDevice9Ex)));
    D3DDEVICE_CREATION_PARAMETERS creation{};
    ASSERT_EQ(made.device->GetCreationParameters(&creation), D3D_OK);
    EXPECT_EQ(creation.BehaviorFlags, 0x26u);
    made.device->Release();
    made.direct3D->Release();
    ReleaseTestDevice(window);
}

}  // namespace
