// The player's device: an Ex device where Direct3DCreate9Ex exists, the plain one where it does
// not, and both render the same. The other renderer tests run on the Ex device.
#include <gtest/gtest.h>

#include <algorithm>

#include "render/device_win32.h"
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

}  // namespace
