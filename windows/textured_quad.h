// A Direct3D 9 texture with what it takes to draw it as one screen-aligned rectangle.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>

// Pre-transformed position plus one texture coordinate: D3DFVF_XYZRHW | D3DFVF_TEX1.
struct QuadVertex {
    float x;
    float y;
    float z;
    float rhw;
    float u;
    float v;
};

constexpr DWORD kQuadVertexFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;
static_assert(kQuadVertexFormat == 0x104);
static_assert(sizeof(QuadVertex) == 24);

struct TexturedQuad {
    IDirect3DTexture9* texture;  // owned; both sides powers of two
    IDirect3DDevice9* device;    // owned (AddRef'd); the texture's device
    D3DSURFACE_DESC levelDesc;   // the texture's top level as the device reports it
    int32_t imageWidth;
    int32_t imageHeight;
    QuadVertex vertices[4];  // top-left, top-right, bottom-left, bottom-right
    bool flipVertical;
    // owned; system memory of the level's size, kept so that an upload allocates nothing
    IDirect3DSurface9* staging;
};

// The part of the top level that every upload rewrites: the image plus one texel to its right
// and one below it, as far as the level reaches; empty for an empty image.
RECT UploadedRect(const TexturedQuad& quad);

// A quad for an image of imageWidth x imageHeight texels in a texture whose sides are
// TextureSide() of the image's (render/software_renderer.h), with its staging surface; the
// whole level starts transparent black. nullptr when the device cannot make the texture or
// the staging surface.
TexturedQuad* CreateTexturedQuad(IDirect3DDevice9* device, int32_t imageWidth, int32_t imageHeight);

// Texture coordinates that cover exactly the image in the top-left corner of the texture.
void SetQuadTexCoords(TexturedQuad* quad);

// Copies imageWidth x imageHeight words (rows top-down, imageWidth words apart) into the top
// level through the staging surface, and only UploadedRect(): the texel column right of the
// image and the row below it repeat its last column and last row, so that filtering at the
// image's right and bottom edges sees the image's own edge. Filtering never reaches further, so
// the texels beyond keep what creation wrote.
HRESULT UploadPixels(TexturedQuad* quad, const uint32_t* words);

// Draws the image stretched over the rectangle (x, y, width, height) in render-target pixels.
HRESULT DrawQuad(TexturedQuad* quad, int32_t x, int32_t y, int32_t width, int32_t height);

// Releases in the reverse order of creation: the staging surface, the device reference, the
// texture; then frees the record. nullptr is ignored.
void ReleaseTexturedQuad(TexturedQuad* quad);
