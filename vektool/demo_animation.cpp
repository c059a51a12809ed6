#include "demo_animation.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <vector>

namespace {

constexpr float kTau = 6.2831853f;

struct Vec {
    float x, y;
};

Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, float k) {
    return {a.x * k, a.y * k};
}
float Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
float Length(Vec a) {
    return std::sqrt(Dot(a, a));
}

// Signed distances: negative inside the shape.
float CapsuleDistance(Vec p, Vec a, Vec b, float radius) {
    const Vec pa = p - a, ba = b - a;
    const float t = std::clamp(Dot(pa, ba) / std::max(Dot(ba, ba), 1e-6f), 0.0f, 1.0f);
    return Length(pa - ba * t) - radius;
}

// The distance to an ellipse, exact to a fraction of a pixel (a few steps towards the nearest
// point of the outline), so that the edge is equally sharp all round and blocks of pixels can
// be judged from their centre.
float EllipseDistance(Vec p, Vec centre, float rx, float ry) {
    const float px = std::abs(p.x - centre.x), py = std::abs(p.y - centre.y);
    float tx = 0.70710678f, ty = 0.70710678f;
    for (int step = 0; step < 3; ++step) {
        const float ex = (rx * rx - ry * ry) * tx * tx * tx / rx;
        const float ey = (ry * ry - rx * rx) * ty * ty * ty / ry;
        const float r = Length({rx * tx - ex, ry * ty - ey});
        const float q = std::max(Length({px - ex, py - ey}), 1e-6f);
        tx = std::clamp(((px - ex) * r / q + ex) / rx, 0.0f, 1.0f);
        ty = std::clamp(((py - ey) * r / q + ey) / ry, 0.0f, 1.0f);
        const float t = std::max(Length({tx, ty}), 1e-6f);
        tx /= t;
        ty /= t;
    }
    const float distance = Length({px - rx * tx, py - ry * ty});
    const bool inside = (px * px) / (rx * rx) + (py * py) / (ry * ry) < 1.0f;
    return inside ? -distance : distance;
}

// A tube along a polyline whose radius changes smoothly from point to point: with many short
// segments along a smooth curve, one smooth tapering stroke.
float TubeDistance(Vec p, const std::vector<Vec>& points, const std::vector<float>& radii) {
    float best = 1e9f;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const Vec pa = p - points[i], ba = points[i + 1] - points[i];
        const float t = std::clamp(Dot(pa, ba) / std::max(Dot(ba, ba), 1e-6f), 0.0f, 1.0f);
        const float radius = radii[i] + (radii[i + 1] - radii[i]) * t;
        best = std::min(best, Length(pa - ba * t) - radius);
    }
    return best;
}

Vec Bezier(Vec a, Vec b, Vec c, Vec d, float t) {
    const float u = 1.0f - t;
    return a * (u * u * u) + b * (3 * u * u * t) + c * (3 * u * t * t) + d * (t * t * t);
}

struct Box {
    int left, top, right, bottom;  // right and bottom exclusive
};

class Canvas {
  public:
    Canvas(uint32_t width, uint32_t height, float softness)
        : width(static_cast<int>(width)),
          height(static_cast<int>(height)),
          softness(softness),
          values(size_t{width} * height, 255.0f) {}

    // Paints `grey` where the distance function is negative, fading over the soft edge. Blocks
    // of pixels far from the edge are decided from their centre alone: the distances change by
    // at most one per pixel.
    void Paint(Box box, float grey, const std::function<float(Vec)>& distance) {
        constexpr int kBlock = 8;
        const float margin = 0.71f * kBlock + softness + 2.0f;
        const int left = std::max(box.left, 0), right = std::min(box.right, width);
        const int top = std::max(box.top, 0), bottom = std::min(box.bottom, height);
        for (int by = top; by < bottom; by += kBlock) {
            for (int bx = left; bx < right; bx += kBlock) {
                const int ex = std::min(bx + kBlock, right), ey = std::min(by + kBlock, bottom);
                const float centre = distance({0.5f * (bx + ex), 0.5f * (by + ey)});
                if (centre > margin) continue;
                const bool solid = centre < -margin;
                for (int y = by; y < ey; ++y) {
                    float* row = values.data() + size_t(y) * width;
                    for (int x = bx; x < ex; ++x) {
                        Blend(row[x], grey,
                              solid ? 1.0f : Coverage(distance({x + 0.5f, y + 0.5f})));
                    }
                }
            }
        }
    }

    // Paints `grey` below a ground line given per column.
    void PaintBelow(const std::vector<float>& ground, float grey) {
        for (int x = 0; x < width; ++x) {
            const int first = std::max(0, static_cast<int>(ground[x] - softness) - 1);
            for (int y = first; y < height; ++y) {
                float& value = values[size_t(y) * width + x];
                Blend(value, grey, Coverage(ground[x] - (y + 0.5f)));
            }
        }
    }

    GreyPicture Finish() const {
        GreyPicture picture{static_cast<uint32_t>(width), static_cast<uint32_t>(height), {}};
        picture.pixels.resize(values.size());
        std::transform(values.begin(), values.end(), picture.pixels.begin(), [](float v) {
            return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        });
        return picture;
    }

  private:
    // The share of a pixel inside the outline, from its centre's distance to it.
    float Coverage(float distance) const {
        return std::clamp(0.5f - distance / softness, 0.0f, 1.0f);
    }
    static void Blend(float& value, float grey, float coverage) {
        value += (grey - value) * coverage;
    }

    int width, height;
    float softness;
    std::vector<float> values;
};

Box Around(Vec centre, float halfWidth, float halfHeight) {
    return {static_cast<int>(centre.x - halfWidth), static_cast<int>(centre.y - halfHeight),
            static_cast<int>(centre.x + halfWidth) + 2,
            static_cast<int>(centre.y + halfHeight) + 2};
}

// A hill line made of waves that all drift `speed` widths per loop, so the whole ridge slides
// rigidly and is back where it began when the loop ends.
struct Ridge {
    float base;          // fraction of the height
    float amplitude[3];  // fractions of the height
    int waves[3];        // waves across the width
    float phase[3];
    int speed;  // widths per loop
};

float RidgeHeight(const Ridge& ridge, float x, float width, float height, float loop) {
    float y = ridge.base;
    for (int i = 0; i < 3; ++i) {
        const float k = static_cast<float>(ridge.waves[i]);
        y += ridge.amplitude[i] *
             std::sin(kTau * (k * x / width + k * ridge.speed * loop) + ridge.phase[i]);
    }
    return y * height;
}

std::vector<float> RidgeLine(const Ridge& ridge, int width, int height, float loop) {
    std::vector<float> line(width);
    for (int x = 0; x < width; ++x) {
        line[x] = RidgeHeight(ridge, x + 0.5f, float(width), float(height), loop);
    }
    return line;
}

constexpr Ridge kFarHills{0.64f, {0.05f, 0.025f, 0.008f}, {1, 3, 9}, {0.3f, 1.7f, 0.4f}, 1};
constexpr Ridge kNearHills{0.83f, {0.035f, 0.015f, 0.003f}, {2, 5, 11}, {2.1f, 0.2f, 1.1f}, 2};

// A moon that opens into a five-petalled flower and closes again, turning slowly.
void PaintMoonFlower(Canvas& canvas, float width, float height, float scale, float loop) {
    const Vec centre{0.78f * width, 0.23f * height};
    const float radius = 34.0f * scale;
    const float bloom = 0.5f - 0.5f * std::cos(kTau * 2.0f * loop);
    const float depth = 0.32f * bloom * bloom;
    const float turn = kTau * loop / 5.0f;
    canvas.Paint(Around(centre, radius * 1.4f, radius * 1.4f), 185.0f, [&](Vec p) {
        const Vec d = p - centre;
        const float r = Length(d);
        const float angle = std::atan2(d.y, d.x);
        const float edge = radius * (1.0f - depth + depth * std::cos(5.0f * (angle - turn)));
        // Divided by the gradient of r - edge(angle), so that the petals' sides stay sharp.
        const float slope =
            5.0f * radius * depth * std::sin(5.0f * (angle - turn)) / std::max(r, 1.0f);
        return (r - edge) / std::sqrt(1.0f + slope * slope);
    });
}

// Shapes made of ellipses, triangles, capsules and tubes that overlap where they join: the
// plain union of their outlines, so a join is as sharp as any other edge. All geometry is
// fixed before painting, so that the per-pixel work is only distances.
struct Capsule {
    Vec a, b;
    float radius;
};

struct Ellipse {
    Vec centre;
    float rx, ry;
};

struct Triangle {
    Vec a, b, c;
};

struct Tube {
    std::vector<Vec> points;
    std::vector<float> radii;
};

float TriangleDistance(Vec p, const Triangle& t) {
    // Exact signed distance to a triangle.
    const Vec e0 = t.b - t.a, e1 = t.c - t.b, e2 = t.a - t.c;
    const Vec v0 = p - t.a, v1 = p - t.b, v2 = p - t.c;
    const Vec pq0 = v0 - e0 * std::clamp(Dot(v0, e0) / Dot(e0, e0), 0.0f, 1.0f);
    const Vec pq1 = v1 - e1 * std::clamp(Dot(v1, e1) / Dot(e1, e1), 0.0f, 1.0f);
    const Vec pq2 = v2 - e2 * std::clamp(Dot(v2, e2) / Dot(e2, e2), 0.0f, 1.0f);
    const float orientation = e0.x * e2.y - e0.y * e2.x;
    const float d = std::min({Dot(pq0, pq0), Dot(pq1, pq1), Dot(pq2, pq2)});
    const float s0 = orientation * (v0.x * e0.y - v0.y * e0.x);
    const float s1 = orientation * (v1.x * e1.y - v1.y * e1.x);
    const float s2 = orientation * (v2.x * e2.y - v2.y * e2.x);
    const bool inside = s0 >= 0 && s1 >= 0 && s2 >= 0;
    return inside ? -std::sqrt(d) : std::sqrt(d);
}

struct Figure {
    std::vector<Ellipse> ellipses;
    std::vector<Triangle> triangles;
    std::vector<Capsule> capsules;
    std::vector<Tube> tubes;

    float Distance(Vec p) const {
        float d = 1e9f;
        for (const Ellipse& e : ellipses) d = std::min(d, EllipseDistance(p, e.centre, e.rx, e.ry));
        for (const Triangle& t : triangles) d = std::min(d, TriangleDistance(p, t));
        for (const Capsule& c : capsules) d = std::min(d, CapsuleDistance(p, c.a, c.b, c.radius));
        for (const Tube& t : tubes) d = std::min(d, TubeDistance(p, t.points, t.radii));
        return d;
    }
};

// A bird flying from right to left with flapping, bent wings.
void PaintBird(Canvas& canvas, float width, float height, float scale, float loop, int index) {
    const float crossings = index == 1 ? 2.0f : 1.0f;
    const float offset = 0.37f * index;
    const float along = std::fmod(crossings * loop + offset, 1.0f);
    const float margin = 40.0f * scale;
    const Vec body{width + margin - (width + 2 * margin) * along,
                   (0.12f + 0.1f * index) * height +
                       9.0f * scale * std::sin(kTau * (3.0f * loop + 0.3f * index))};
    const float flap = std::sin(kTau * (30.0f * loop + 0.33f * index));
    const float span = (12.0f - 2.0f * index) * scale;
    Figure bird;
    bird.ellipses.push_back({body, 0.5f * span, 0.22f * span});
    for (const float side : {-1.0f, 1.0f}) {
        // Each wing one tapering stroke, bent at the elbow by a curve rather than a kink.
        const Vec elbow = body + Vec{side * span, -0.7f * span * flap};
        const Vec tip = elbow + Vec{side * 0.9f * span, 0.3f * span - 0.6f * span * flap};
        Tube wing;
        for (int i = 0; i <= 8; ++i) {
            const float t = i / 8.0f;
            wing.points.push_back(Bezier(body, elbow, elbow, tip, t));
            wing.radii.push_back((0.2f - 0.12f * t) * span);
        }
        bird.tubes.push_back(std::move(wing));
    }
    canvas.Paint(Around(body, 2.3f * span, 1.6f * span), 55.0f,
                 [&](Vec p) { return bird.Distance(p); });
}

// A cat walking left to right along the near hills, tail swaying and back arching.
void PaintCat(Canvas& canvas, float width, float height, float scale, float loop) {
    const float s = 1.25f * scale;
    const float margin = 110.0f * s;
    const float cx = -margin + (width + 2 * margin) * loop;
    const float stride = 70.0f * s;
    const float steps = std::max(1.0f, std::round((width + 2 * margin) / stride));
    const float walk = kTau * steps * loop;
    const float ground = 0.5f * (RidgeHeight(kNearHills, cx - 30.0f * s, width, height, loop) +
                                 RidgeHeight(kNearHills, cx + 30.0f * s, width, height, loop)) +
                         5.0f * s;
    const float legLength = 34.0f * s;
    const float arch = 0.5f - 0.5f * std::cos(kTau * 3.0f * loop);
    const float bob = 1.5f * s * std::sin(2.0f * walk);
    const Vec body{cx, ground - legLength - 10.0f * s - 4.0f * s * arch + bob};
    const Vec head{cx + 46.0f * s, body.y - 20.0f * s};

    Figure cat;
    cat.ellipses.push_back({body, 42.0f * s, (17.0f + 5.0f * arch) * s});
    // The chest and the rump: rounder than the ellipse's ends, so the legs meet a full body.
    cat.ellipses.push_back({body + Vec{27.0f * s, 2.0f * s}, 16.0f * s, 16.0f * s});
    cat.ellipses.push_back({body + Vec{-28.0f * s, 1.0f * s}, 16.0f * s, 15.0f * s});
    cat.ellipses.push_back({head, 16.0f * s, 14.0f * s});
    cat.capsules.push_back({body + Vec{28 * s, -4 * s}, head + Vec{-4 * s, 4 * s}, 11.0f * s});
    cat.capsules.push_back({head + Vec{10 * s, 4 * s}, head + Vec{17 * s, 6 * s}, 5.0f * s});
    for (const float ear : {-1.0f, 1.0f}) {
        const Vec root = head + Vec{ear * 7.0f * s, -9.0f * s};
        cat.triangles.push_back({root + Vec{-6.0f * s, 2.0f * s}, root + Vec{6.0f * s, 2.0f * s},
                                 root + Vec{(ear + 1.0f) * 2.0f * s, -13.0f * s}});
    }
    // Legs: diagonal pairs swing together.
    const float hipX[4] = {-30.0f, -22.0f, 26.0f, 34.0f};
    const float phase[4] = {0.0f, 0.5f, 0.5f, 0.0f};
    for (int leg = 0; leg < 4; ++leg) {
        const float swing = 0.45f * std::sin(walk + kTau * phase[leg]);
        const Vec hip{cx + hipX[leg] * s, body.y + 4.0f * s};
        const Vec foot = hip + Vec{std::sin(swing), std::cos(swing)} * legLength;
        cat.capsules.push_back({hip, foot, 4.5f * s});
    }
    // Tail: one curve that leaves the back, rises and sways at its tip, tapering as it goes.
    const float sway = std::sin(kTau * 4.0f * loop);
    const float lift = std::sin(kTau * 4.0f * loop - 0.9f);
    const Vec root{cx - 36.0f * s, body.y - 6.0f * s};
    const Vec tip = root + Vec{(-30.0f + 10.0f * sway) * s, (-46.0f + 4.0f * lift) * s};
    Tube tail;
    for (int i = 0; i <= 16; ++i) {
        const float t = i / 16.0f;
        tail.points.push_back(Bezier(root, root + Vec{-22.0f * s, -2.0f * s},
                                     root + Vec{(-36.0f - 8.0f * sway) * s, -22.0f * s}, tip, t));
        tail.radii.push_back((4.6f - 2.0f * t) * s);
    }
    cat.tubes.push_back(std::move(tail));
    canvas.Paint(Around({cx, body.y - 10.0f * s}, 110.0f * s, 70.0f * s), 0.0f,
                 [&](Vec p) { return cat.Distance(p); });
}

}  // namespace

GreyPicture RenderDemoFrame(uint32_t width, uint32_t height, uint32_t frame, uint32_t frameCount) {
    const float loop = frameCount == 0 ? 0.0f : float(frame % frameCount) / float(frameCount);
    const float w = float(width), h = float(height);
    const float scale = std::min(w / 480.0f, h / 360.0f);
    // Edges fade over one pixel: sharp outlines that still do not stair-step.
    Canvas canvas(width, height, 1.0f);

    canvas.PaintBelow(RidgeLine(kFarHills, int(width), int(height), loop), 200.0f);
    PaintMoonFlower(canvas, w, h, scale, loop);
    for (int bird = 0; bird < 3; ++bird) PaintBird(canvas, w, h, scale, loop, bird);
    canvas.PaintBelow(RidgeLine(kNearHills, int(width), int(height), loop), 120.0f);
    PaintCat(canvas, w, h, scale, loop);
    return canvas.Finish();
}
