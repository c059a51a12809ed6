#include "render/textured_quad_win32.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "render/software_renderer.h"

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

namespace {

// Writes the image into a locked surface of the level's size and repeats its last column and
// last row over the texels beyond it. An empty image leaves the whole level transparent black.
void CopyImageWithEdges(const TexturedQuad& quad, const uint32_t* words, const D3DLOCKED_RECT& lr) {
    auto* base = static_cast<uint8_t*>(lr.pBits);
    const int32_t pitch = lr.Pitch;
    const int64_t rowBytes = std::min<int64_t>(pitch, int64_t{quad.imageWidth} * 4);
    const int64_t levelRowBytes = std::min<int64_t>(pitch, int64_t{quad.levelDesc.Width} * 4);
    const int64_t levelRows = quad.levelDesc.Height;

    if (quad.imageWidth <= 0 || quad.imageHeight <= 0 || rowBytes <= 0) {
        for (int64_t row = 0; row < levelRows; ++row) {
            std::memset(base + row * pitch, 0, static_cast<size_t>(levelRowBytes));
        }
        return;
    }

    const int64_t texelsInRow = levelRowBytes / 4;
    const int64_t imageTexels = rowBytes / 4;
    for (int64_t row = 0; row < quad.imageHeight; ++row) {
        uint8_t* dest = base + row * pitch;
        const auto* src = reinterpret_cast<const uint8_t*>(words) + row * quad.imageWidth * 4;
        std::memcpy(dest, src, static_cast<size_t>(rowBytes));
        uint32_t last;
        std::memcpy(&last, dest + (imageTexels - 1) * 4, 4);
        for (int64_t x = imageTexels; x < texelsInRow; ++x) std::memcpy(dest + x * 4, &last, 4);
    }
    const uint8_t* lastRow = base + int64_t{quad.imageHeight - 1} * pitch;
    for (int64_t row = quad.imageHeight; row < levelRows; ++row) {
        std::memcpy(base + row * pitch, lastRow, static_cast<size_t>(levelRowBytes));
    }
}

}  // namespace

HRESULT UploadPixels(TexturedQuad* quad, const uint32_t* words) {
    const D3DSURFACE_DESC& desc = quad->levelDesc;
    IDirect3DSurface9* staging = nullptr;
    IDirect3DSurface9* level = nullptr;
    HRESULT hr = quad->device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                           D3DPOOL_SYSTEMMEM, &staging, nullptr);
    D3DLOCKED_RECT locked{};
    if (hr == S_OK) hr = staging->LockRect(&locked, nullptr, 0);
    if (hr == S_OK) {
        CopyImageWithEdges(*quad, words, locked);
        hr = staging->UnlockRect();
    }
    if (hr == S_OK) hr = quad->texture->GetSurfaceLevel(0, &level);
    if (hr == S_OK) hr = quad->device->UpdateSurface(staging, nullptr, level, nullptr);
    if (level != nullptr) level->Release();
    if (staging != nullptr) staging->Release();
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
    if (quad->device != nullptr) quad->device->Release();
    if (quad->texture != nullptr) quad->texture->Release();
    delete quad;
}
