#include "windows/textured_quad.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "render/software_renderer.h"

namespace {

// Makes the quad's staging surface and writes the whole top level through it once, transparent
// black: the texels beyond UploadedRect() keep this for the quad's life.
HRESULT CreateStagingAndClearLevel(TexturedQuad* quad) {
    const D3DSURFACE_DESC& desc = quad->levelDesc;
    HRESULT hr = quad->device->CreateOffscreenPlainSurface(
        desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &quad->staging, nullptr);
    D3DLOCKED_RECT locked{};
    if (hr == S_OK) hr = quad->staging->LockRect(&locked, nullptr, 0);
    if (hr == S_OK) {
        const size_t rowBytes = std::min<size_t>(size_t(locked.Pitch), size_t(desc.Width) * 4);
        auto* base = static_cast<uint8_t*>(locked.pBits);
        for (UINT row = 0; row < desc.Height; ++row) {
            std::memset(base + size_t(row) * size_t(locked.Pitch), 0, rowBytes);
        }
        hr = quad->staging->UnlockRect();
    }
    IDirect3DSurface9* level = nullptr;
    if (hr == S_OK) hr = quad->texture->GetSurfaceLevel(0, &level);
    if (hr == S_OK) hr = quad->device->UpdateSurface(quad->staging, nullptr, level, nullptr);
    if (level != nullptr) level->Release();
    return hr;
}

}  // namespace

TexturedQuad* CreateTexturedQuad(IDirect3DDevice9* device, int32_t imageWidth,
                                 int32_t imageHeight) {
    auto* quad = new (std::nothrow) TexturedQuad{};
    if (quad == nullptr) return nullptr;

    IDirect3DTexture9* texture = nullptr;
    HRESULT hr = device->CreateTexture(TextureSide(imageWidth), TextureSide(imageHeight), 0, 0,
                                       D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr);
    D3DSURFACE_DESC desc{};
    if (hr == S_OK) hr = texture->GetLevelDesc(0, &desc);
    if (hr != S_OK) {
        if (texture != nullptr) texture->Release();
        delete quad;
        return nullptr;
    }

    quad->texture = texture;
    quad->levelDesc = desc;
    device->AddRef();
    quad->device = device;
    quad->imageWidth = imageWidth;
    quad->imageHeight = imageHeight;
    quad->flipVertical = false;
    SetQuadTexCoords(quad);
    if (CreateStagingAndClearLevel(quad) != S_OK) {
        ReleaseTexturedQuad(quad);
        return nullptr;
    }
    return quad;
}

void SetQuadTexCoords(TexturedQuad* quad) {
    const float uMax = static_cast<float>(static_cast<double>(quad->imageWidth) /
                                          static_cast<double>(quad->levelDesc.Width));
    const float vMax = static_cast<float>(static_cast<double>(quad->imageHeight) /
                                          static_cast<double>(quad->levelDesc.Height));
    const float vTop = quad->flipVertical ? vMax : 0.0f;
    const float vBottom = quad->flipVertical ? 0.0f : vMax;
    QuadVertex* v = quad->vertices;
    v[0].u = 0.0f, v[0].v = vTop;
    v[1].u = uMax, v[1].v = vTop;
    v[2].u = 0.0f, v[2].v = vBottom;
    v[3].u = uMax, v[3].v = vBottom;
}

RECT UploadedRect(const TexturedQuad& quad) {
    if (quad.imageWidth <= 0 || quad.imageHeight <= 0) return RECT{0, 0, 0, 0};
    const int64_t right = std::min<int64_t>(int64_t{quad.imageWidth} + 1, quad.levelDesc.Width);
    const int64_t bottom = std::min<int64_t>(int64_t{quad.imageHeight} + 1, quad.levelDesc.Height);
    return RECT{0, 0, LONG(right), LONG(bottom)};
}

namespace {

// Writes the image into the locked UploadedRect() of the staging surface, with the column right
// of it and the row below it repeating its last column and last row where the level has room.
void CopyImageWithEdge(const TexturedQuad& quad, const uint32_t* words, const RECT& rect,
                       const D3DLOCKED_RECT& lr) {
    auto* base = static_cast<uint8_t*>(lr.pBits);
    const int64_t pitch = lr.Pitch;
    const int64_t rowBytes = std::min<int64_t>(pitch, int64_t{quad.imageWidth} * 4);
    const int64_t imageTexels = rowBytes / 4;
    const bool edgeColumn = rect.right > imageTexels && (imageTexels + 1) * 4 <= pitch;
    for (int64_t row = 0; row < quad.imageHeight; ++row) {
        uint8_t* dest = base + row * pitch;
        const auto* src = reinterpret_cast<const uint8_t*>(words) + row * quad.imageWidth * 4;
        std::memcpy(dest, src, static_cast<size_t>(rowBytes));
        if (edgeColumn) std::memcpy(dest + rowBytes, dest + rowBytes - 4, 4);
    }
    if (rect.bottom > quad.imageHeight) {
        const uint8_t* lastRow = base + int64_t{quad.imageHeight - 1} * pitch;
        std::memcpy(base + int64_t{quad.imageHeight} * pitch, lastRow,
                    static_cast<size_t>(rowBytes + (edgeColumn ? 4 : 0)));
    }
}

}  // namespace

HRESULT UploadPixels(TexturedQuad* quad, const uint32_t* words) {
    const RECT rect = UploadedRect(*quad);
    if (rect.right == 0 || rect.bottom == 0) return S_OK;  // the level keeps creation's black
    D3DLOCKED_RECT locked{};
    HRESULT hr = quad->staging->LockRect(&locked, &rect, 0);
    if (hr == S_OK) {
        CopyImageWithEdge(*quad, words, rect, locked);
        hr = quad->staging->UnlockRect();
    }
    IDirect3DSurface9* level = nullptr;
    if (hr == S_OK) hr = quad->texture->GetSurfaceLevel(0, &level);
    const POINT corner{0, 0};
    if (hr == S_OK) hr = quad->device->UpdateSurface(quad->staging, &rect, level, &corner);
    if (level != nullptr) level->Release();
    return hr;
}

HRESULT DrawQuad(TexturedQuad* quad, int32_t x, int32_t y, int32_t width, int32_t height) {
    const float left = static_cast<float>(x);
    const float top = static_cast<float>(y);
    const float right = static_cast<float>(int64_t{x} + width);
    const float bottom = static_cast<float>(int64_t{y} + height);
    QuadVertex* v = quad->vertices;
    v[0].x = left, v[0].y = top;
    v[1].x = right, v[1].y = top;
    v[2].x = left, v[2].y = bottom;
    v[3].x = right, v[3].y = bottom;
    for (QuadVertex& corner : quad->vertices) corner.z = 0.5f, corner.rhw = 1.0f;

    IDirect3DDevice9* device = quad->device;
    HRESULT hr = device->SetTexture(0, quad->texture);
    if (hr == S_OK) hr = device->SetFVF(kQuadVertexFormat);
    if (hr == S_OK) {
        hr = device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad->vertices, sizeof(QuadVertex));
    }
    if (hr == S_OK) hr = device->SetTexture(0, nullptr);
    return hr;
}

void ReleaseTexturedQuad(TexturedQuad* quad) {
    if (quad == nullptr) return;
    if (quad->staging != nullptr) quad->staging->Release();
    if (quad->device != nullptr) quad->device->Release();
    if (quad->texture != nullptr) quad->texture->Release();
    delete quad;
}
