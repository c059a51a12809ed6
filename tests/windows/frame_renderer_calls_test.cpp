// The device calls of the set-up, of one frame and of the hand-over, as the device sees them.
#include <gtest/gtest.h>

#include <sstream>

#include "render/compose.h"
#include "tests/windows/render_test_env.h"
#include "windows/frame_renderer.h"

namespace {

// "Name arg arg ..." of a recorded call.
std::string Describe(const DeviceCall& call) {
    std::ostringstream text;
    text << call.name;
    for (uint64_t arg : call.args) text << ' ' << arg;
    return text.str();
}

std::string Expect(const char* name, std::initializer_list<uint64_t> args = {}) {
    DeviceCall call;
    call.name = name;
    call.args = args;
    return Describe(call);
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

std::vector<std::string> Described(const std::vector<DeviceCall>& calls) {
    std::vector<std::string> lines;
    for (const DeviceCall& call : calls) lines.push_back(Describe(call));
    return lines;
}

// Calls that CreateTexturedQuad makes for a level of w x h texels: the texture, its staging
// surface and one write of the whole level.
void ExpectQuad(std::vector<std::string>& calls, UINT w, UINT h) {
    calls.push_back(Expect("CreateTexture", {w, h, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, 0}));
    calls.push_back(Expect("CreateOffscreenPlainSurface",
                           {w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, /*shared*/ 0}));
    calls.push_back(Expect("UpdateSurface", {/*whole source*/ 0, /*at the corner*/ 0}));
}

// The call that one UploadPixels makes: the image and its edge, rows x columns texels, copied
// to the level's corner.
void ExpectUpload(std::vector<std::string>& calls, UINT columns, UINT rows) {
    calls.push_back(Expect("UpdateSurface", {1, 1, 0, 0, columns, rows, 0, 0}));
}

// Calls that one DrawQuad makes.
void ExpectDraw(std::vector<std::string>& calls) {
    calls.push_back(Expect("SetTexture", {0}));
    calls.push_back(Expect("SetFVF", {0x104}));
    calls.push_back(Expect("DrawPrimitiveUP", {D3DPT_TRIANGLESTRIP, 2, 24}));
    calls.push_back(Expect("SetTexture", {0}));
}

void ExpectBlend(std::vector<std::string>& calls, uint64_t source, uint64_t destination) {
    calls.push_back(Expect("SetRenderState", {D3DRS_SRCBLEND, source}));
    calls.push_back(Expect("SetRenderState", {D3DRS_DESTBLEND, destination}));
}

TEST(FrameRendererCalls, SetUpMakesTheResourcesAndStatesInOrder) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        int32_t W, H, targetWidth, targetHeight;
        UINT levelWidth, levelHeight;
    };
    const Case cases[] = {{480, 360, 200, 100, 512, 512}, {7, 5, 33, 17, 8, 8}, {1, 1, 4, 4, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.W << "x" << c.H << ", target "
                                        << c.targetWidth << "x" << c.targetHeight);
        TestPictureOutput out(device, c.targetWidth, c.targetHeight);
        FrameResources resources;
        std::vector<DeviceCall> recorded;
        {
            DeviceCallRecorder recorder(device);
            resources = SetUpFrameResources(out.output, c.W, c.H);
            recorded = recorder.calls;
        }
        std::vector<std::string> expected;
        for (int quad = 0; quad < 2; ++quad) ExpectQuad(expected, c.levelWidth, c.levelHeight);
        expected.push_back(
            Expect("CreateRenderTarget", {UINT(c.targetWidth), UINT(c.targetHeight),
                                          D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, 0}));
        expected.push_back(Expect("SetRenderTarget", {0}));
        expected.push_back(Expect("SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}));
        ExpectBlend(expected, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        expected.push_back(Expect("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}));
        expected.push_back(Expect("SetSamplerState", {0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}));
        expected.push_back(Expect("SetSamplerState", {0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR}));
        expected.push_back(Expect("SetSamplerState", {0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}));
        expected.push_back(Expect("SetSamplerState", {0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP}));
        ExpectQuad(expected, 1, 1);
        ExpectUpload(expected, 1, 1);

        const std::vector<std::string> actual = Described(recorded);
        EXPECT_EQ(actual, expected) << "device calls:\n" << Lines(actual);
        ASSERT_GE(recorded.size(), 8u);
        EXPECT_EQ(recorded[7].object, resources.renderTarget)
            << "the render target made is the one set";
        EXPECT_EQ(resources.shadowBuffer.size(), size_t(c.W) * c.H);
        EXPECT_EQ(resources.cutoutBuffer.size(), size_t(c.W) * c.H);
        ReleaseFrameResources(resources);
    }
}

TEST(FrameRendererCalls, EveryPlacementDrawsItsThreeQuadsAfterOneFill) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        const char* name;
        std::vector<Placement> placements;
        uint8_t B;
    };
    const int32_t W = 7, H = 5, tw = 90, th = 40;
    const Case cases[] = {
        {"none", {}, 0},
        {"one", {PlaceArea(0, 0, tw, th, W, H)}, 200},
        {"two side by side", {PlaceArea(0, 0, 40, th, W, H), PlaceArea(40, 0, 50, th, W, H)}, 1},
        {"three",
         {PlaceArea(0, 0, 30, 40, W, H), PlaceArea(30, 5, 30, 20, W, H),
          PlaceArea(60, 0, 30, 40, W, H)},
         255},
    };
    TestPictureOutput out(device, tw, th);
    FrameResources resources = SetUpFrameResources(out.output, W, H);
    const std::vector<uint8_t> frame(size_t(W) * H, 90);
    ComposeFrame(frame.data(), W, H, 180, resources.shadowBuffer.data(),
                 resources.cutoutBuffer.data());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << ", B " << int(c.B));
        std::vector<DeviceCall> recorded;
        {
            DeviceCallRecorder recorder(device);
            RenderFrame(resources, device, c.placements, c.B);
            HandOverFrame(resources, out.output);
            recorded = recorder.calls;
        }
        std::vector<std::string> expected;
        ExpectUpload(expected, 8, 6);  // shadow: 7 x 5 and its edge; nothing is created
        ExpectUpload(expected, 8, 6);  // cut-out
        expected.push_back(Expect("ColorFill", {/*whole surface*/ 0, uint64_t(c.B) << 24}));
        expected.push_back(Expect("BeginScene"));
        for (size_t i = 0; i < c.placements.size(); ++i) {
            expected.push_back(Expect("SetViewport"));
            ExpectBlend(expected, D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA);
            ExpectDraw(expected);
            ExpectBlend(expected, D3DBLEND_DESTALPHA, D3DBLEND_ZERO);
            ExpectDraw(expected);
            ExpectBlend(expected, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            ExpectDraw(expected);
        }
        expected.push_back(Expect("EndScene"));
        expected.push_back(Expect("GetRenderTargetData"));
        const std::vector<std::string> actual = Described(recorded);
        ASSERT_EQ(actual, expected) << "device calls:\n" << Lines(actual);

        // The objects and geometry behind the calls.
        auto level = [](TexturedQuad* quad) {
            IDirect3DSurface9* surface = nullptr;
            quad->texture->GetSurfaceLevel(0, &surface);
            surface->Release();  // the texture keeps it alive
            return static_cast<const void*>(surface);
        };
        EXPECT_EQ(recorded[0].object, level(resources.shadowQuad)) << "shadow uploaded first";
        EXPECT_EQ(recorded[1].object, level(resources.cutoutQuad));
        EXPECT_EQ(recorded[2].object, resources.renderTarget) << "the fill's surface";
        EXPECT_EQ(recorded.back().object, out.output.pictureSurface) << "the copy's target";
        const TexturedQuad* order[3] = {resources.cutoutQuad, resources.whiteQuad,
                                        resources.shadowQuad};
        size_t at = 4;
        for (const Placement& p : c.placements) {
            const DeviceCall& viewport = recorded[at];
            EXPECT_EQ(viewport.viewport.X, p.viewport.X);
            EXPECT_EQ(viewport.viewport.Y, p.viewport.Y);
            EXPECT_EQ(viewport.viewport.Width, p.viewport.Width);
            EXPECT_EQ(viewport.viewport.Height, p.viewport.Height);
            EXPECT_EQ(viewport.viewport.MinZ, 0.0f);
            EXPECT_EQ(viewport.viewport.MaxZ, 0.0f);
            for (int draw = 0; draw < 3; ++draw) {
                const size_t first = at + 1 + draw * 6 + 2;  // after the two blend states
                EXPECT_EQ(recorded[first].object, order[draw]->texture) << "draw " << draw;
                EXPECT_EQ(recorded[first + 3].object, nullptr) << "texture unset after draw";
                const std::vector<float>& v = recorded[first + 2].vertices;
                ASSERT_EQ(v.size(), 24u);
                const float x0 = float(p.pictureLeft), y0 = float(p.pictureTop);
                const float x1 = float(p.pictureLeft + p.pictureWidth);
                const float y1 = float(p.pictureTop + p.pictureHeight);
                const float uMax = order[draw]->vertices[3].u, vMax = order[draw]->vertices[3].v;
                const float corners[4][6] = {{x0, y0, 0.5f, 1.0f, 0, 0},
                                             {x1, y0, 0.5f, 1.0f, uMax, 0},
                                             {x0, y1, 0.5f, 1.0f, 0, vMax},
                                             {x1, y1, 0.5f, 1.0f, uMax, vMax}};
                for (int corner = 0; corner < 4; ++corner) {
                    for (int k = 0; k < 6; ++k) {
                        EXPECT_EQ(v[corner * 6 + k], corners[corner][k])
                            << "draw " << draw << ", corner " << corner << ", component " << k;
                    }
                }
            }
            at += 1 + 3 * 6;
        }
    }
    ReleaseFrameResources(resources);
}

}  // namespace
