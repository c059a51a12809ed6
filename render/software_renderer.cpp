#include "render/software_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

uint32_t TextureSide(int32_t imageSide) {
    uint32_t side = 1;
    while (side < static_cast<uint32_t>(imageSide) && side < 0x80000000u) {
        side *= 2;
    }
    return side;
}

float TexCoordMax(int32_t imageSide) {
    return static_cast<float>(imageSide) / static_cast<float>(TextureSide(imageSide));
}

TexelPair SampleTexels(int64_t pixel, int64_t pictureStart, int64_t pictureSize,
                       int32_t imageSize) {
    // Texel-space position of the pixel's sample point: u * textureSide - 0.5, where
    // u * textureSide = imageSize * (pixel + centre - pictureStart) / pictureSize.
    const double offset = static_cast<double>(pixel - pictureStart) + kPixelCentreHalfPixels * 0.5;
    const double position =
        static_cast<double>(imageSize) * offset / static_cast<double>(pictureSize) - 0.5;
    const int32_t last = imageSize - 1;
    if (!(position > 0.0)) {
        return {0, 0, 0};
    }
    if (position >= last) {
        return {last, last, 0};
    }
    const int64_t fixed = static_cast<int64_t>(std::floor(position * kSubtexelSteps + 0.5));
    const int32_t first = static_cast<int32_t>(fixed >> kSubtexelBits);
    const uint32_t weight = static_cast<uint32_t>(fixed & (kSubtexelSteps - 1));
    return {first, std::min(first + 1, last), weight};
}

namespace {

// ---- Shared pieces ----------------------------------------------------------------------------

// The part of the target a placement draws into: its picture rectangle clipped to its viewport
// and to the target. Empty when right <= left or bottom <= top.
struct DrawRegion {
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = 0;
    int64_t bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
};

DrawRegion RegionOf(const Placement& placement, int32_t targetWidth, int32_t targetHeight) {
    const Viewport& viewport = placement.viewport;
    DrawRegion region;
    region.left = std::max<int64_t>({0, viewport.X, placement.pictureLeft});
    region.top = std::max<int64_t>({0, viewport.Y, placement.pictureTop});
    region.right = std::min<int64_t>({targetWidth, int64_t{viewport.X} + viewport.Width,
                                      int64_t{placement.pictureLeft} + placement.pictureWidth});
    region.bottom = std::min<int64_t>({targetHeight, int64_t{viewport.Y} + viewport.Height,
                                       int64_t{placement.pictureTop} + placement.pictureHeight});
    return region;
}

bool Drawable(const Placement& placement, int32_t W, int32_t H) {
    return W > 0 && H > 0 && placement.pictureWidth > 0 && placement.pictureHeight > 0;
}

bool Overlap(const DrawRegion& a, const DrawRegion& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// An 8-bit channel from an exact blend result: round to nearest, halves up.
uint32_t Store8(double value) {
    const double rounded = std::floor(value + 0.5);
    return static_cast<uint32_t>(std::clamp(rounded, 0.0, 255.0));
}

uint32_t Alpha(uint32_t word) {
    return word >> 24;
}

void Fill(uint32_t* target, int32_t targetWidth, int32_t targetHeight, uint8_t B) {
    const size_t count = static_cast<size_t>(targetWidth) * static_cast<size_t>(targetHeight);
    std::fill(target, target + count, uint32_t{B} << 24);
}

// ---- The oracle: one draw after another, each texture sampled on its own ---------------------

struct Colour {
    double a = 0, r = 0, g = 0, b = 0;  // 0..255, not rounded
};

enum class Factor { Zero, SrcAlpha, InvSrcAlpha, DestAlpha };

double FactorValue(Factor factor, const Colour& source, uint32_t destination) {
    switch (factor) {
        case Factor::Zero:
            return 0.0;
        case Factor::SrcAlpha:
            return source.a / 255.0;
        case Factor::InvSrcAlpha:
            return 1.0 - source.a / 255.0;
        case Factor::DestAlpha:
            return Alpha(destination) / 255.0;
    }
    return 0.0;
}

// result = source * sourceFactor + destination * destinationFactor, channel by channel, the same
// factors for alpha as for colour, stored at 8 bits.
uint32_t Blend(const Colour& source, uint32_t destination, Factor sourceFactor,
               Factor destinationFactor) {
    const double fs = FactorValue(sourceFactor, source, destination);
    const double fd = FactorValue(destinationFactor, source, destination);
    auto channel = [&](double s, int shift) {
        return Store8(s * fs + ((destination >> shift) & 0xFF) * fd) << shift;
    };
    return channel(source.a, 24) | channel(source.r, 16) | channel(source.g, 8) |
           channel(source.b, 0);
}

// Bilinear sample of a W x H texture of words (rows top first), all four channels.
Colour SampleBilinear(const uint32_t* texels, int32_t W, const TexelPair& column,
                      const TexelPair& row) {
    const double wx = static_cast<double>(column.weight) / kSubtexelSteps;
    const double wy = static_cast<double>(row.weight) / kSubtexelSteps;
    const uint32_t* top = texels + static_cast<size_t>(row.first) * static_cast<size_t>(W);
    const uint32_t* bottom = texels + static_cast<size_t>(row.second) * static_cast<size_t>(W);
    auto channel = [&](int shift) {
        auto at = [&](const uint32_t* line, int32_t x) {
            return static_cast<double>((line[x] >> shift) & 0xFF);
        };
        const double upper = at(top, column.first) * (1 - wx) + at(top, column.second) * wx;
        const double lower = at(bottom, column.first) * (1 - wx) + at(bottom, column.second) * wx;
        return upper * (1 - wy) + lower * wy;
    };
    return {channel(24), channel(16), channel(8), channel(0)};
}

}  // namespace

void RenderReference(const uint32_t* shadowBuffer, const uint32_t* cutoutBuffer, int32_t W,
                     int32_t H, uint8_t B, const std::vector<Placement>& placements,
                     uint32_t* target, int32_t targetWidth, int32_t targetHeight) {
    if (targetWidth <= 0 || targetHeight <= 0) {
        return;
    }
    Fill(target, targetWidth, targetHeight, B);
    // The white quad is a 1 x 1 texture of opaque white: every sample of it is white.
    const Colour white{255, 255, 255, 255};
    for (const Placement& placement : placements) {
        if (!Drawable(placement, W, H)) {
            continue;
        }
        const DrawRegion region = RegionOf(placement, targetWidth, targetHeight);
        // The three draws of a placement each cover the whole region before the next begins;
        // per pixel that is the same as doing all three on one pixel after another.
        for (int64_t y = region.top; y < region.bottom; ++y) {
            const TexelPair row = SampleTexels(y, placement.pictureTop, placement.pictureHeight, H);
            uint32_t* line = target + static_cast<size_t>(y) * static_cast<size_t>(targetWidth);
            for (int64_t x = region.left; x < region.right; ++x) {
                const TexelPair column =
                    SampleTexels(x, placement.pictureLeft, placement.pictureWidth, W);
                uint32_t pixel = line[x];
                pixel = Blend(SampleBilinear(cutoutBuffer, W, column, row), pixel, Factor::Zero,
                              Factor::InvSrcAlpha);
                pixel = Blend(white, pixel, Factor::DestAlpha, Factor::Zero);
                pixel = Blend(SampleBilinear(shadowBuffer, W, column, row), pixel, Factor::SrcAlpha,
                              Factor::InvSrcAlpha);
                line[x] = pixel;
            }
        }
    }
}

// ---- The fast path -----------------------------------------------------------------------------
//
// The three draws of a placement leave a pixel that depends only on the alpha it had before (the
// white draw replaces the colour by the alpha) and on the two filtered samples, which both follow
// from the bilinearly filtered grey value g: cut-out = 255 - g, shadow = the shadow texels'
// truncated S * (255 - v) / 255 interpolated at g. So the grey frame is resampled once per pixel
// (a vertical pass into a row cache, then a horizontal pass), to 1/16 of a grey level, and mapped
// through a table of finished pixels for the fill alpha B. A placement that overlaps an earlier
// one finds other alphas than B there; it samples both textures exactly, pixel by pixel, so
// that the earlier placement's rounding is not compounded by the table's.

namespace {

constexpr int kGreyFractionBits = 4;
constexpr int kGreyLevels = 255 * (1 << kGreyFractionBits) + 1;
// A filtered grey value carries 8 + 2 * kSubtexelBits bits; the table index keeps 8 + 4 of them.
constexpr int kIndexShift = 2 * kSubtexelBits - kGreyFractionBits;

using ShadowTexels = std::array<uint32_t, 256>;

ShadowTexels ShadowTexelsFor(uint8_t S) {
    ShadowTexels texels{};
    for (uint32_t v = 0; v < 256; ++v) {
        texels[v] = S * (255 - v) / 255;
    }
    return texels;
}

// The three draws on one pixel whose alpha was `destinationAlpha`, from the filtered cut-out
// and shadow alphas (0..255, unrounded).
uint32_t FinishPixel(uint32_t destinationAlpha, double cutout, double shadow) {
    // cut-out draw (ZERO, INVSRCALPHA) then white draw (DESTALPHA, ZERO): colour = alpha.
    const uint32_t kept = Store8(destinationAlpha * (1 - cutout / 255.0));
    // shadow draw (SRCALPHA, INVSRCALPHA) of a black texel with alpha `shadow`.
    const uint32_t alpha = Store8(shadow * shadow / 255.0 + kept * (1 - shadow / 255.0));
    const uint32_t colour = Store8(kept * (1 - shadow / 255.0));
    return alpha << 24 | colour << 16 | colour << 8 | colour;
}

// The finished pixel over alpha `destinationAlpha` for a filtered grey index (grey * 16). The
// shadow sample is the shadow texels interpolated at that grey: exact where the four texels
// agree, within one level of the true mix elsewhere.
uint32_t TablePixel(uint32_t destinationAlpha, uint32_t greyIndex, const ShadowTexels& shadow) {
    const double grey = static_cast<double>(greyIndex) / (1 << kGreyFractionBits);
    const uint32_t lower = greyIndex >> kGreyFractionBits;
    const uint32_t upper = std::min<uint32_t>(lower + 1, 255);
    const double fraction = grey - lower;
    const double s = shadow[lower] * (1 - fraction) + shadow[upper] * fraction;
    return FinishPixel(destinationAlpha, 255.0 - grey, s);
}

// What one placement needs per frame, worked out once.
struct PlacementPlan {
    DrawRegion region;
    bool overlapsEarlier = false;
    // Per target column of the region: first source column relative to `sourceLeft` (the second
    // is the next one) and the weight of the second.
    std::vector<uint32_t> columnFirst;
    std::vector<uint16_t> columnWeight;
    int32_t sourceLeft = 0;
    int32_t sourceRight = 0;  // exclusive, without the padding column
    // Per target row of the region: the two source rows (top first) and the second's weight.
    std::vector<TexelPair> rows;
};

PlacementPlan PlanPlacement(const Placement& placement, const DrawRegion& region, int32_t W,
                            int32_t H) {
    PlacementPlan plan;
    plan.region = region;
    const size_t width = static_cast<size_t>(region.right - region.left);
    std::vector<TexelPair> columns(width);
    for (size_t i = 0; i < width; ++i) {
        columns[i] = SampleTexels(region.left + static_cast<int64_t>(i), placement.pictureLeft,
                                  placement.pictureWidth, W);
    }
    plan.sourceLeft = columns.front().first;
    plan.sourceRight = columns.front().second + 1;
    for (const TexelPair& column : columns) {
        plan.sourceLeft = std::min(plan.sourceLeft, column.first);
        plan.sourceRight = std::max(plan.sourceRight, column.second + 1);
    }
    plan.columnFirst.resize(width);
    plan.columnWeight.resize(width);
    for (size_t i = 0; i < width; ++i) {
        // first == second only at the image's edges, where the weight is 0: reading the next
        // cache entry (the padding at the right end) then adds nothing.
        plan.columnFirst[i] = static_cast<uint32_t>(columns[i].first - plan.sourceLeft);
        plan.columnWeight[i] = static_cast<uint16_t>(columns[i].weight);
    }
    const size_t height = static_cast<size_t>(region.bottom - region.top);
    plan.rows.resize(height);
    for (size_t j = 0; j < height; ++j) {
        plan.rows[j] = SampleTexels(region.top + static_cast<int64_t>(j), placement.pictureTop,
                                    placement.pictureHeight, H);
    }
    return plan;
}

}  // namespace

struct SoftwareRenderer::Impl {
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t targetWidth = 0;
    int32_t targetHeight = 0;
    std::vector<PlacementPlan> plans;
    std::vector<uint16_t> rowCache;

    // Finished pixels over a fill of alpha B, for the opacities last used.
    std::vector<uint32_t> table = std::vector<uint32_t>(kGreyLevels);
    ShadowTexels shadowTexels{};
    int tableS = -1;
    int tableB = -1;

    void PrepareTable(uint8_t S, uint8_t B) {
        if (S == tableS && B == tableB) {
            return;
        }
        shadowTexels = ShadowTexelsFor(S);
        for (uint32_t index = 0; index < static_cast<uint32_t>(kGreyLevels); ++index) {
            table[index] = TablePixel(B, index, shadowTexels);
        }
        tableS = S;
        tableB = B;
    }

    // Vertical pass: the rows' mix, times kSubtexelSteps, for the source columns the placement
    // reads, plus one padding entry repeating the last.
    void FillRowCache(const uint8_t* frame, const PlacementPlan& plan, const TexelPair& row) {
        const size_t W = static_cast<size_t>(frameWidth);
        const size_t H = static_cast<size_t>(frameHeight);
        // Texture rows are top first; the frame is stored bottom row first.
        const uint8_t* upper = frame + (H - 1 - static_cast<size_t>(row.first)) * W;
        const uint8_t* lower = frame + (H - 1 - static_cast<size_t>(row.second)) * W;
        const uint32_t wl = row.weight;
        const uint32_t wu = kSubtexelSteps - wl;
        const size_t begin = static_cast<size_t>(plan.sourceLeft);
        const size_t count = static_cast<size_t>(plan.sourceRight - plan.sourceLeft);
        uint16_t* cache = rowCache.data();
        for (size_t i = 0; i < count; ++i) {
            cache[i] = static_cast<uint16_t>(upper[begin + i] * wu + lower[begin + i] * wl);
        }
        cache[count] = cache[count - 1];
    }

    uint32_t GreyIndex(size_t column, const PlacementPlan& plan) const {
        const uint16_t* cache = rowCache.data() + plan.columnFirst[column];
        const uint32_t w = plan.columnWeight[column];
        const uint32_t sum = cache[0] * (kSubtexelSteps - w) + cache[1] * w;
        return (sum + (1u << (kIndexShift - 1))) >> kIndexShift;
    }

    void DrawPlacement(const uint8_t* frame, const PlacementPlan& plan, uint32_t* target) {
        const size_t width = plan.columnFirst.size();
        for (size_t j = 0; j < plan.rows.size(); ++j) {
            uint32_t* line = target +
                             static_cast<size_t>(plan.region.top + static_cast<int64_t>(j)) *
                                 static_cast<size_t>(targetWidth) +
                             static_cast<size_t>(plan.region.left);
            if (!plan.overlapsEarlier) {
                FillRowCache(frame, plan, plan.rows[j]);
                for (size_t i = 0; i < width; ++i) {
                    line[i] = table[GreyIndex(i, plan)];
                }
                continue;
            }
            const TexelPair& row = plan.rows[j];
            const size_t W = static_cast<size_t>(frameWidth);
            const size_t H = static_cast<size_t>(frameHeight);
            const uint8_t* upper = frame + (H - 1 - static_cast<size_t>(row.first)) * W;
            const uint8_t* lower = frame + (H - 1 - static_cast<size_t>(row.second)) * W;
            for (size_t i = 0; i < width; ++i) {
                const size_t first = plan.sourceLeft + plan.columnFirst[i];
                const size_t second = std::min(first + 1, W - 1);
                const uint32_t wx = plan.columnWeight[i];
                const uint32_t wy = row.weight;
                const uint32_t weights[4] = {(kSubtexelSteps - wx) * (kSubtexelSteps - wy),
                                             wx * (kSubtexelSteps - wy), (kSubtexelSteps - wx) * wy,
                                             wx * wy};
                const uint8_t greys[4] = {upper[first], upper[second], lower[first], lower[second]};
                uint32_t cutout = 0;
                uint32_t shadow = 0;
                for (int k = 0; k < 4; ++k) {
                    cutout += weights[k] * (255u - greys[k]);
                    shadow += weights[k] * shadowTexels[greys[k]];
                }
                constexpr double kScale = 1.0 / (kSubtexelSteps * kSubtexelSteps);
                line[i] = FinishPixel(Alpha(line[i]), cutout * kScale, shadow * kScale);
            }
        }
    }
};

SoftwareRenderer::SoftwareRenderer(int32_t frameWidth, int32_t frameHeight, int32_t targetWidth,
                                   int32_t targetHeight, std::vector<Placement> placements)
    : impl_(new Impl) {
    impl_->frameWidth = frameWidth;
    impl_->frameHeight = frameHeight;
    impl_->targetWidth = std::max(targetWidth, 0);
    impl_->targetHeight = std::max(targetHeight, 0);
    std::vector<DrawRegion> drawn;
    size_t widestSource = 0;
    for (const Placement& placement : placements) {
        if (!Drawable(placement, frameWidth, frameHeight)) {
            continue;
        }
        const DrawRegion region = RegionOf(placement, impl_->targetWidth, impl_->targetHeight);
        if (region.Empty()) {
            continue;
        }
        PlacementPlan plan = PlanPlacement(placement, region, frameWidth, frameHeight);
        plan.overlapsEarlier = std::any_of(drawn.begin(), drawn.end(),
                                           [&](const DrawRegion& r) { return Overlap(r, region); });
        widestSource =
            std::max(widestSource, static_cast<size_t>(plan.sourceRight - plan.sourceLeft));
        drawn.push_back(region);
        impl_->plans.push_back(std::move(plan));
    }
    impl_->rowCache.resize(widestSource + 1);
}

SoftwareRenderer::~SoftwareRenderer() {
    delete impl_;
}

void SoftwareRenderer::Render(const uint8_t* frame, uint8_t S, uint8_t B, uint32_t* target) {
    Fill(target, impl_->targetWidth, impl_->targetHeight, B);
    if (impl_->plans.empty()) {
        return;
    }
    impl_->PrepareTable(S, B);
    for (const PlacementPlan& plan : impl_->plans) {
        impl_->DrawPlacement(frame, plan, target);
    }
}
