#include "windows/textured_quad.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/windows/render_test_env.h"

namespace {

ULONG DeviceReferences(IDirect3DDevice9* device) {
    device->AddRef();
    return device->Release();
}

TEST(TexturedQuad, TextureSizeAndCoordinatesCoverTheImage) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        int32_t width, height;
        UINT levelWidth, levelHeight;
        float uMax, vMax;
        LONG uploadedWidth, uploadedHeight;
    };
    const Case cases[] = {
        {480, 360, 512, 512, 0.9375f, 0.703125f, 481, 361},
        {7, 5, 8, 8, 0.875f, 0.625f, 8, 6},
        {1, 1, 1, 1, 1.0f, 1.0f, 1, 1},
        {3, 1, 4, 1, 0.75f, 1.0f, 4, 1},
        {512, 513, 512, 1024, 1.0f, 0.5009765625f, 512, 514},
        {0, 0, 1, 1, 0.0f, 0.0f, 0, 0},
        {0, 5, 1, 8, 0.0f, 0.625f, 0, 0},
        {1920, 1080, 2048, 2048, 0.9375f, 0.52734375f, 1921, 1081},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        // What the texture alone holds on the device, as the platform counts it.
        const ULONG before = DeviceReferences(device);
        IDirect3DTexture9* bare = nullptr;
        ASSERT_EQ(device->CreateTexture(c.levelWidth, c.levelHeight, 0, 0, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &bare, nullptr),
                  S_OK);
        IDirect3DSurface9* bareStaging = nullptr;
        ASSERT_EQ(device->CreateOffscreenPlainSurface(c.levelWidth, c.levelHeight, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_SYSTEMMEM, &bareStaging, nullptr),
                  S_OK);
        const ULONG resourceShare = DeviceReferences(device) - before;
        bareStaging->Release();
        bare->Release();

        TexturedQuad* quad = CreateTexturedQuad(device, c.width, c.height);
        ASSERT_NE(quad, nullptr);
        EXPECT_EQ(DeviceReferences(device), before + resourceShare + 1)
            << "the quad holds its texture, its staging surface and one device reference";
        ASSERT_NE(quad->staging, nullptr);
        D3DSURFACE_DESC staging{};
        ASSERT_EQ(quad->staging->GetDesc(&staging), S_OK);
        EXPECT_EQ(staging.Width, c.levelWidth);
        EXPECT_EQ(staging.Height, c.levelHeight);
        EXPECT_EQ(staging.Pool, D3DPOOL_SYSTEMMEM);
        const RECT uploaded = UploadedRect(*quad);
        EXPECT_EQ(uploaded.left, 0);
        EXPECT_EQ(uploaded.top, 0);
        EXPECT_EQ(uploaded.right, c.uploadedWidth) << "the image and the column beyond it";
        EXPECT_EQ(uploaded.bottom, c.uploadedHeight) << "the image and the row below it";
        EXPECT_EQ(quad->device, device);
        EXPECT_EQ(quad->levelDesc.Width, c.levelWidth);
        EXPECT_EQ(quad->levelDesc.Height, c.levelHeight);
        EXPECT_EQ(quad->levelDesc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(quad->levelDesc.Pool, D3DPOOL_DEFAULT);
        EXPECT_EQ(quad->imageWidth, c.width);
        EXPECT_EQ(quad->imageHeight, c.height);
        EXPECT_FALSE(quad->flipVertical);
        const QuadVertex* v = quad->vertices;
        // top-left, top-right, bottom-left, bottom-right
        const float expectedU[4] = {0, c.uMax, 0, c.uMax};
        const float expectedV[4] = {0, 0, c.vMax, c.vMax};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(v[i].u, expectedU[i]) << "corner " << i;
            EXPECT_EQ(v[i].v, expectedV[i]) << "corner " << i;
        }
        quad->flipVertical = true;
        SetQuadTexCoords(quad);
        const float flippedV[4] = {c.vMax, c.vMax, 0, 0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(v[i].u, expectedU[i]) << "flipped corner " << i;
            EXPECT_EQ(v[i].v, flippedV[i]) << "flipped corner " << i;
        }
        ReleaseTexturedQuad(quad);
        EXPECT_EQ(DeviceReferences(device), before) << "the release gives the reference back";
    }
    ReleaseTexturedQuad(nullptr);  // nothing to release
}

TEST(TexturedQuad, NoneWhenTheDeviceRefusesTheTexture) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    const ULONG before = DeviceReferences(device);
    const int32_t sides[][2] = {{1 << 20, 1}, {-1, 4}, {4, 1 << 20}};
    for (const auto& side : sides) {
        EXPECT_EQ(CreateTexturedQuad(device, side[0], side[1]), nullptr)
            << side[0] << " x " << side[1];
    }
    EXPECT_EQ(DeviceReferences(device), before) << "nothing is kept of a failed quad";
}

// Blending off, so that a draw stores the filtered texel as it is.
void SetPlainDrawing(IDirect3DDevice9* device) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

struct Rect {
    int32_t x, y, w, h;
};

TEST(TexturedQuad, WhiteQuadSamplesWhiteOverExactlyItsRectangle) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    const int32_t size = 24;
    DrawTarget target = CreateDrawTarget(device, size, size);
    ASSERT_NE(target.picture, nullptr);
    TexturedQuad* white = CreateTexturedQuad(device, 1, 1);
    ASSERT_NE(white, nullptr);
    const uint32_t texel = 0xFFFFFFFFu;
    ASSERT_EQ(UploadPixels(white, &texel), S_OK);
    SetPlainDrawing(device);
    ASSERT_EQ(device->SetRenderTarget(0, target.renderTarget), S_OK);
    D3DVIEWPORT9 viewport{0, 0, UINT(size), UINT(size), 0.0f, 0.0f};
    device->SetViewport(&viewport);

    const Rect rects[] = {{0, 0, 24, 24}, {3, 2, 5, 7},     {0, 0, 1, 1},
                          {23, 23, 1, 1}, {-4, -6, 40, 13}, {10, 0, 1, 24}};
    for (const Rect& r : rects) {
        SCOPED_TRACE(testing::Message()
                     << "rect " << r.x << "," << r.y << " " << r.w << "x" << r.h);
        ASSERT_EQ(device->ColorFill(target.renderTarget, nullptr, 0x00000000), S_OK);
        ASSERT_EQ(device->BeginScene(), S_OK);
        ASSERT_EQ(DrawQuad(white, r.x, r.y, r.w, r.h), S_OK);
        ASSERT_EQ(device->EndScene(), S_OK);
        const std::vector<uint32_t> pixels = ReadDrawTarget(device, target);
        ASSERT_EQ(pixels.size(), size_t(size * size));
        int wrong = 0;
        for (int32_t y = 0; y < size; ++y) {
            for (int32_t x = 0; x < size; ++x) {
                // Pixel centres lie at integer coordinates: [x, x + w) is covered.
                const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                const uint32_t expected = inside ? 0xFFFFFFFFu : 0u;
                if (pixels[y * size + x] != expected && ++wrong <= 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                                  << pixels[y * size + x] << ", expected " << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    ReleaseTexturedQuad(white);
    ReleaseDrawTarget(target);
}

// Reads every texel of a quad's top level: drawn at twice its size, the pixel centre 2k + 1
// falls exactly on texel centre k, so bilinear filtering returns the texel itself.
std::vector<uint32_t> ReadTexels(IDirect3DDevice9* device, TexturedQuad* quad) {
    const int32_t w = int32_t(quad->levelDesc.Width);
    const int32_t h = int32_t(quad->levelDesc.Height);
    DrawTarget target = CreateDrawTarget(device, 2 * w, 2 * h);
    if (target.picture == nullptr) return {};
    const float u[4] = {0, 1, 0, 1};
    const float v[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) quad->vertices[i].u = u[i], quad->vertices[i].v = v[i];
    SetPlainDrawing(device);
    device->SetRenderTarget(0, target.renderTarget);
    D3DVIEWPORT9 viewport{0, 0, UINT(2 * w), UINT(2 * h), 0.0f, 0.0f};
    device->SetViewport(&viewport);
    device->BeginScene();
    const HRESULT drawn = DrawQuad(quad, 0, 0, 2 * w, 2 * h);
    device->EndScene();
    SetQuadTexCoords(quad);
    std::vector<uint32_t> texels;
    if (drawn == S_OK) {
        const std::vector<uint32_t> pixels = ReadDrawTarget(device, target);
        for (int32_t y = 0; y < h && !pixels.empty(); ++y) {
            for (int32_t x = 0; x < w; ++x)
                texels.push_back(pixels[(2 * y + 1) * 2 * w + 2 * x + 1]);
        }
    }
    ReleaseDrawTarget(target);
    return texels;
}

std::vector<uint32_t> RandomImage(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint32_t> image(size_t(width) * height);
    uint32_t state = seed * 2654435761u;
    for (uint32_t& word : image) {
        state = state * 1664525u + 1013904223u;
        word = state | 0x01000000u;  // never fully transparent, so holes would show
    }
    return image;
}

TEST(TexturedQuad, UploadWritesTheImageAndItsEdgeAndLeavesTheRestBlack) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        int32_t width, height;
    };
    // Sizes below, at and just above a power of two, and a flat one.
    const Case cases[] = {{5, 3}, {7, 5}, {8, 4}, {1, 1}, {9, 2}, {3, 17}, {4, 1}};
    for (const Case& c : cases) {
        TexturedQuad* quad = CreateTexturedQuad(device, c.width, c.height);
        ASSERT_NE(quad, nullptr);
        const RECT edge = UploadedRect(*quad);
        // Two images through the same quad: the second must replace the first's edge as well.
        for (uint32_t seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " seed " << seed);
            const std::vector<uint32_t> image = RandomImage(c.width, c.height, seed);
            ASSERT_EQ(UploadPixels(quad, image.data()), S_OK);
            const std::vector<uint32_t> texels = ReadTexels(device, quad);
            const int32_t w = int32_t(quad->levelDesc.Width);
            const int32_t h = int32_t(quad->levelDesc.Height);
            ASSERT_EQ(texels.size(), size_t(w) * h);
            int wrong = 0;
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const int32_t sx = std::min(x, c.width - 1);
                    const int32_t sy = std::min(y, c.height - 1);
                    const bool written = x < edge.right && y < edge.bottom;
                    const uint32_t expected = written ? image[size_t(sy) * c.width + sx] : 0u;
                    if (texels[size_t(y) * w + x] != expected && ++wrong <= 5) {
                        ADD_FAILURE() << "texel " << x << "," << y << " is " << std::hex
                                      << texels[size_t(y) * w + x] << ", expected " << expected
                                      << (written ? " (image texel " : " (beyond the edge ")
                                      << std::dec << sx << "," << sy << ")";
                    }
                }
            }
            EXPECT_EQ(wrong, 0);
        }
        ReleaseTexturedQuad(quad);
    }
}

// Per upload: one copy of the image and its edge to the level's corner, and nothing created.
TEST(TexturedQuad, UploadsReuseTheStagingSurface) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        int32_t width, height;
        uint64_t columns, rows;
    };
    const Case cases[] = {{480, 360, 481, 361}, {7, 5, 8, 6}, {8, 3, 8, 4}, {1, 1, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        TexturedQuad* quad = CreateTexturedQuad(device, c.width, c.height);
        ASSERT_NE(quad, nullptr);
        IDirect3DSurface9* const staging = quad->staging;
        std::vector<DeviceCall> recorded;
        {
            DeviceCallRecorder recorder(device);
            for (uint32_t seed = 1; seed <= 3; ++seed) {
                const std::vector<uint32_t> image = RandomImage(c.width, c.height, seed);
                ASSERT_EQ(UploadPixels(quad, image.data()), S_OK);
            }
            recorded = recorder.calls;
        }
        EXPECT_EQ(quad->staging, staging);
        ASSERT_EQ(recorded.size(), 3u) << CallNames(recorded);
        const std::vector<uint64_t> expected = {1, 1, 0, 0, c.columns, c.rows, 0, 0};
        for (const DeviceCall& call : recorded) {
            EXPECT_EQ(call.name, "UpdateSurface");
            EXPECT_EQ(call.args, expected);
        }
        ReleaseTexturedQuad(quad);
    }
}

}  // namespace
