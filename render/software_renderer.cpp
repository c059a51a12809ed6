#include "render/software_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// (each source row once across the target's columns, then two such rows mixed per target row),
// to 1/16 of a grey level, and mapped through a table of finished pixels for the fill alpha B. A
// placement that overlaps an earlier one finds other alphas than B there; it samples both textures
// exactly, pixel by pixel, so that the earlier placement's rounding is not compounded by the
// table's.

namespace {

constexpr int kGreyFractionBits = 4;
constexpr int kGreyLevels = 255 * (1 << kGreyFractionBits) + 1;
// A filtered grey value carries 8 + 2 * kSubtexelBits fraction bits. The horizontal pass drops
// one of them so that its values fit in signed 16 bits; the vertical pass keeps the table's 4.
constexpr int kResampledDrop = 1;
constexpr int kMixShift = 2 * kSubtexelBits - kResampledDrop - kGreyFractionBits;
static_assert((255u * kSubtexelSteps >> kResampledDrop) <= 32767);

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
    // Per target column of the region: the two source columns and the second's weight.
    std::vector<uint32_t> columnFirst;
    std::vector<uint32_t> columnSecond;
    std::vector<uint16_t> columnWeight;
    // Per target row of the region: the two source rows (top first) and the second's weight.
    std::vector<TexelPair> rows;
};

PlacementPlan PlanPlacement(const Placement& placement, const DrawRegion& region, int32_t W,
                            int32_t H) {
    PlacementPlan plan;
    plan.region = region;
    const size_t width = static_cast<size_t>(region.right - region.left);
    plan.columnFirst.resize(width);
    plan.columnSecond.resize(width);
    plan.columnWeight.resize(width);
    for (size_t i = 0; i < width; ++i) {
        const TexelPair column = SampleTexels(region.left + static_cast<int64_t>(i),
                                              placement.pictureLeft, placement.pictureWidth, W);
        plan.columnFirst[i] = static_cast<uint32_t>(column.first);
        plan.columnSecond[i] = static_cast<uint32_t>(column.second);
        plan.columnWeight[i] = static_cast<uint16_t>(column.weight);
    }
    const size_t height = static_cast<size_t>(region.bottom - region.top);
    plan.rows.resize(height);
    for (size_t j = 0; j < height; ++j) {
        plan.rows[j] = SampleTexels(region.top + static_cast<int64_t>(j), placement.pictureTop,
                                    placement.pictureHeight, H);
    }
    return plan;
}

// Source rows resampled across the region's columns (times kSubtexelSteps), two at a time: the
// pair that the current target row mixes. Moving down a picture mostly keeps one of them.
class ResampledRows {
  public:
    void Reset(size_t width) {
        for (Slot& slot : slots) {
            slot.values.resize(width);
            slot.textureRow = -1;
        }
    }

    // The pair for target row `row`: the upper and the lower source row.
    std::pair<const uint16_t*, const uint16_t*> Pair(const TexelPair& row, const uint8_t* frame,
                                                     int32_t W, int32_t H,
                                                     const PlacementPlan& plan) {
        const int upper = Ensure(row.first, -1, frame, W, H, plan);
        const int lower = Ensure(row.second, row.first, frame, W, H, plan);
        return {slots[upper].values.data(), slots[lower].values.data()};
    }

  private:
    struct Slot {
        std::vector<uint16_t> values;
        int64_t textureRow = -1;
    };

    // The slot holding texture row `wanted`, filling one that does not hold `keep` if need be.
    int Ensure(int32_t wanted, int32_t keep, const uint8_t* frame, int32_t W, int32_t H,
               const PlacementPlan& plan) {
        for (int k = 0; k < 2; ++k) {
            if (slots[k].textureRow == wanted) {
                return k;
            }
        }
        const int k = slots[0].textureRow == keep ? 1 : 0;
        // Texture rows are top first; the frame is stored bottom row first.
        const uint8_t* source =
            frame + static_cast<size_t>(H - 1 - wanted) * static_cast<size_t>(W);
        uint16_t* out = slots[k].values.data();
        const size_t width = slots[k].values.size();
        for (size_t i = 0; i < width; ++i) {
            const uint32_t w = plan.columnWeight[i];
            out[i] = static_cast<uint16_t>((source[plan.columnFirst[i]] * (kSubtexelSteps - w) +
                                            source[plan.columnSecond[i]] * w) >>
                                           kResampledDrop);
        }
        slots[k].textureRow = wanted;
        return k;
    }

    Slot slots[2];
};

// The vertical mix of two resampled rows, looked up in the table of finished pixels.
void MixRowsIntoPixels(const uint16_t* __restrict upper, const uint16_t* __restrict lower,
                       uint32_t weight, size_t width, const uint32_t* __restrict table,
                       uint32_t* __restrict line) {
    const uint32_t upperWeight = kSubtexelSteps - weight;
    constexpr uint32_t kRounding = 1u << (kMixShift - 1);
    size_t i = 0;
#if defined(__SSE2__)
    // Eight pixels at a time: the resampled values fit in signed 16 bits, so one multiply-add
    // of (upper, lower) pairs by (upperWeight, weight) gives the 32-bit sums.
    const __m128i weights = _mm_set1_epi32(static_cast<int>(weight << 16 | upperWeight));
    const __m128i rounding = _mm_set1_epi32(kRounding);
    for (; i + 8 <= width; i += 8) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + i));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + i));
        __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(u, l), weights);
        __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(u, l), weights);
        low = _mm_srli_epi32(_mm_add_epi32(low, rounding), kMixShift);
        high = _mm_srli_epi32(_mm_add_epi32(high, rounding), kMixShift);
        const __m128i index = _mm_packs_epi32(low, high);
        line[i + 0] = table[_mm_extract_epi16(index, 0)];
        line[i + 1] = table[_mm_extract_epi16(index, 1)];
        line[i + 2] = table[_mm_extract_epi16(index, 2)];
        line[i + 3] = table[_mm_extract_epi16(index, 3)];
        line[i + 4] = table[_mm_extract_epi16(index, 4)];
        line[i + 5] = table[_mm_extract_epi16(index, 5)];
        line[i + 6] = table[_mm_extract_epi16(index, 6)];
        line[i + 7] = table[_mm_extract_epi16(index, 7)];
    }
#endif
    for (; i < width; ++i) {
        const uint32_t sum = upper[i] * upperWeight + lower[i] * weight;
        line[i] = table[(sum + kRounding) >> kMixShift];
    }
}

}  // namespace

struct SoftwareRenderer::Impl {
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t targetWidth = 0;
    int32_t targetHeight = 0;
    std::vector<PlacementPlan> plans;
    ResampledRows resampled;

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

    uint32_t* Line(const PlacementPlan& plan, size_t j, uint32_t* target) const {
        return target +
               static_cast<size_t>(plan.region.top + static_cast<int64_t>(j)) *
                   static_cast<size_t>(targetWidth) +
               static_cast<size_t>(plan.region.left);
    }

    // The fill, except where a placement drawn from the table overwrites every pixel anyway.
    // Those placements overlap no other placement drawn before them, and none drawn after them
    // reads their pixels before they are written, so skipping the fill there changes nothing.
    void FillAroundTablePlans(uint8_t B, uint32_t* target) const {
        const uint32_t fill = uint32_t{B} << 24;
        std::vector<std::pair<int64_t, int64_t>> spans;
        for (int64_t y = 0; y < targetHeight; ++y) {
            spans.clear();
            for (const PlacementPlan& plan : plans) {
                if (!plan.overlapsEarlier && plan.region.top <= y && y < plan.region.bottom) {
                    spans.emplace_back(plan.region.left, plan.region.right);
                }
            }
            std::sort(spans.begin(), spans.end());
            uint32_t* line = target + static_cast<size_t>(y) * static_cast<size_t>(targetWidth);
            int64_t x = 0;
            for (const auto& [left, right] : spans) {
                std::fill(line + x, line + left, fill);
                x = right;
            }
            std::fill(line + x, line + targetWidth, fill);
        }
    }

    // Over the fill alone: resample the grey once per pixel and look the pixel up.
    void DrawFromTable(const uint8_t* frame, const PlacementPlan& plan, uint32_t* target) {
        const size_t width = plan.columnFirst.size();
        resampled.Reset(width);
        for (size_t j = 0; j < plan.rows.size(); ++j) {
            const auto [upper, lower] =
                resampled.Pair(plan.rows[j], frame, frameWidth, frameHeight, plan);
            MixRowsIntoPixels(upper, lower, plan.rows[j].weight, width, table.data(),
                              Line(plan, j, target));
        }
    }

    // Over an earlier placement: both textures sampled exactly, pixel by pixel.
    void DrawExactly(const uint8_t* frame, const PlacementPlan& plan, uint32_t* target) const {
        const size_t width = plan.columnFirst.size();
        const size_t W = static_cast<size_t>(frameWidth);
        const size_t H = static_cast<size_t>(frameHeight);
        for (size_t j = 0; j < plan.rows.size(); ++j) {
            const TexelPair& row = plan.rows[j];
            const uint8_t* upper = frame + (H - 1 - static_cast<size_t>(row.first)) * W;
            const uint8_t* lower = frame + (H - 1 - static_cast<size_t>(row.second)) * W;
            uint32_t* line = Line(plan, j, target);
            for (size_t i = 0; i < width; ++i) {
                const uint32_t first = plan.columnFirst[i];
                const uint32_t second = plan.columnSecond[i];
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
    : impl_(std::make_unique<Impl>()) {
    impl_->frameWidth = frameWidth;
    impl_->frameHeight = frameHeight;
    impl_->targetWidth = std::max(targetWidth, 0);
    impl_->targetHeight = std::max(targetHeight, 0);
    std::vector<DrawRegion> drawn;
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
        drawn.push_back(region);
        impl_->plans.push_back(std::move(plan));
    }
}

SoftwareRenderer::~SoftwareRenderer() = default;

void SoftwareRenderer::Render(const uint8_t* frame, uint8_t S, uint8_t B, uint32_t* target) {
    impl_->FillAroundTablePlans(B, target);
    if (impl_->plans.empty()) {
        return;
    }
    impl_->PrepareTable(S, B);
    for (const PlacementPlan& plan : impl_->plans) {
        if (plan.overlapsEarlier) {
            impl_->DrawExactly(frame, plan, target);
        } else {
            impl_->DrawFromTable(frame, plan, target);
        }
    }
}
