// Our own rasterizer on plain pixel buffers: line and triangle coverage, Gouraud colours, the
// blend arithmetic, clipping and vertices far outside the buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "render/rasterizer.h"

namespace qvtk {
namespace {

constexpr uint32_t kGuard = 0xDEADBEEFu;

// A buffer with a guard frame of foreign pixels around it: drawing must never touch them.
struct Buffer {
    static constexpr int kPad = 8;
    int width, height, stride;
    std::vector<uint32_t> memory;
    RasterTarget target;

    Buffer(int w, int h, uint32_t fill = 0xFF000000u)
        : width(w), height(h), stride(w + 2 * kPad),
          memory(size_t(stride) * (h + 2 * kPad), kGuard) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) At(x, y) = fill;
        target.pixels = &memory[size_t(kPad) * stride + kPad];
        target.width = w;
        target.height = h;
        target.stride = stride;
        target.opaque = true;
        target.clipRight = w;
        target.clipBottom = h;
        target.mode = BlendMode::None;
        target.alpha = 255;
    }
    void Clip(int l, int t, int r, int b, BlendMode mode, int alpha) {
        target.clipLeft = l, target.clipTop = t, target.clipRight = r, target.clipBottom = b;
        target.mode = mode;
        target.alpha = alpha;
    }
    uint32_t& At(int x, int y) { return memory[size_t(y + kPad) * stride + x + kPad]; }
    int Red(int x, int y) { return int(At(x, y) >> 16 & 0xFF); }
    bool GuardIntact() const {
        for (int y = 0; y < height + 2 * kPad; ++y)
            for (int x = 0; x < stride; ++x) {
                bool inside = x >= kPad && x < kPad + width && y >= kPad && y < kPad + height;
                if (!inside && memory[size_t(y) * stride + x] != kGuard) return false;
            }
        return true;
    }
    int CountLit() {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += (At(x, y) & 0xFFFFFF) != 0;
        return n;
    }
};

// Opaque, blended and additive trials in turn.
BlendMode ModeOfTrial(int trial) {
    return trial % 3 == 0   ? BlendMode::None
           : trial % 3 == 1 ? BlendMode::Alpha
                            : BlendMode::Additive;
}

RenderVertex V(float x, float y, uint32_t color = 0xFFFF0000u) {
    RenderVertex v;
    v.x = x;
    v.y = y;
    v.color = color;
    return v;
}

// Each line lights the pixel nearest to it in every column (shallow) or row (steep), both
// ends included; a line list draws pairs and ignores an odd last vertex.
TEST(Rasterizer, LinesLightTheNearestPixelOfEachStep) {
    struct Case {
        std::vector<RenderVertex> v;
        std::vector<std::pair<int, int>> lit; // exactly these pixels
    };
    const Case cases[] = {
        {{V(0, 0), V(9, 3)},
         {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 3}, {9, 3}}},
        {{V(3, 7), V(0, 0)}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}, {3, 6}, {3, 7}}},
        {{V(2.4f, 5.49f), V(2.4f, 5.49f)}, {{2, 5}}}, // a point at a pixel centre
        {{V(0, 0), V(2, 0), V(0, 5), V(2, 5), V(0, 10)},
         {{0, 0}, {1, 0}, {2, 0}, {0, 5}, {1, 5}, {2, 5}}},
    };
    for (const Case& c : cases) {
        Buffer b(16, 12);
        RasterLineList(b.target, c.v.data(), int(c.v.size()));
        for (auto [x, y] : c.lit) EXPECT_EQ(b.Red(x, y), 255) << x << "," << y;
        EXPECT_EQ(b.CountLit(), int(c.lit.size())) << c.v.size();
    }
    // A strip blends the end points it shares once, and draws its last one.
    Buffer b(24, 24);
    b.target.mode = BlendMode::Additive;
    const uint32_t c = 0xFF640000u;
    RenderVertex strip[] = {V(2, 2, c), V(12, 2, c), V(12, 14, c), V(3, 20, c)};
    RasterLineStrip(b.target, strip, 4);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) EXPECT_LE(b.Red(x, y), 100) << x << "," << y;
    for (const RenderVertex& v : strip) EXPECT_EQ(b.Red(int(v.x), int(v.y)), 100);
}

// Colours run between the vertices; a vertex alpha scales the blend alpha.
TEST(Rasterizer, GouraudColoursAndVertexAlpha) {
    Buffer line(16, 4);
    RenderVertex v[] = {V(0, 1, 0xFF000000u), V(10, 1, 0xFFC80000u)};
    RasterLineList(line.target, v, 2);
    EXPECT_EQ(std::tuple(line.Red(0, 1), line.Red(10, 1)), std::tuple(0, 200));
    EXPECT_NEAR(line.Red(5, 1), 100, 1);
    // Two triangles sharing an edge cover each pixel of their square once.
    Buffer b(16, 16);
    b.target.mode = BlendMode::Additive;
    const uint32_t k = 0xFF000000u, r = 0xFFC80000u;
    RenderVertex quad[] = {V(0, 0, k), V(10, 0, r),  V(10, 10, r),
                           V(0, 0, k), V(10, 10, r), V(0, 10, k)};
    RasterTriangleList(b.target, quad, 6);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (x >= 10 || y >= 10) EXPECT_EQ(b.Red(x, y), 0) << x << "," << y;
    EXPECT_NEAR(b.Red(5, 3), 100, 1);
    EXPECT_NEAR(b.Red(5, 8), 100, 1);
    EXPECT_NEAR(b.Red(9, 5), 180, 1);
    for (int alpha : {255, 0}) {
        Buffer grey(8, 4, 0xFF646464u);
        grey.target.mode = BlendMode::Alpha;
        grey.target.alpha = alpha;
        RenderVertex half[] = {V(0, 1, 0x80C80000u), V(4, 1, 0x80C80000u)};
        RasterLineList(grey.target, half, 2);
        // 100 + (200 - 100) x 128/255; a blend alpha of 0 draws nothing
        EXPECT_NEAR(grey.Red(2, 1), alpha ? 150 : 100, 1) << alpha;
    }
}

TEST(Rasterizer, FanWithFractionalVerticesCoversNoPixelTwice) {
    Buffer b(48, 48);
    b.target.mode = BlendMode::Additive;
    uint32_t c = 0xFF640000u;
    std::vector<RenderVertex> list;
    const float cx = 23.37f, cy = 21.71f;
    const int n = 13;
    for (int i = 0; i < n; ++i) {
        double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        float r0 = 15.3f + float(i % 3), r1 = 15.3f + float((i + 1) % 3);
        list.push_back(V(cx, cy, c));
        list.push_back(V(cx + r0 * float(std::cos(a0)), cy + r0 * float(std::sin(a0)), c));
        list.push_back(V(cx + r1 * float(std::cos(a1)), cy + r1 * float(std::sin(a1)), c));
    }
    // And a strip of thin slivers sharing long edges, as graph fills are.
    for (int i = 0; i < 20; ++i) {
        float x0 = 2.25f + i * 0.61f, x1 = x0 + 0.61f;
        float y0 = 40.1f - (i % 5) * 0.77f, y1 = 40.1f - ((i + 1) % 5) * 0.77f;
        list.push_back(V(x0, y0, c));
        list.push_back(V(x1, y1, c));
        list.push_back(V(x1, 46.5f, c));
        list.push_back(V(x0, y0, c));
        list.push_back(V(x1, 46.5f, c));
        list.push_back(V(x0, 46.5f, c));
    }
    RasterTriangleList(b.target, list.data(), int(list.size()));
    int lit = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            int r = b.Red(x, y);
            EXPECT_TRUE(r == 0 || r == 100) << x << "," << y << " = " << r;
            lit += r == 100;
        }
    EXPECT_GT(lit, 600);
    // No hole inside the fan: the pixels near the centre are all covered.
    for (int y = 16; y < 28; ++y)
        for (int x = 18; x < 29; ++x) EXPECT_EQ(b.Red(x, y), 100) << x << "," << y;
}

TEST(Rasterizer, BlendArithmetic) {
    RasterTarget t;
    t.opaque = true;
    const uint32_t dst = 0xFF646464u, src = 0xFFC8C8C8u; // 100 and 200
    const std::tuple<BlendMode, int, uint32_t, uint32_t, int> cases[] = {
        {BlendMode::None, 77, dst, src, 200},         {BlendMode::Additive, 255, dst, src, 255},
        {BlendMode::Additive, 128, dst, src, 200},    {BlendMode::Subtractive, 255, dst, src, 0},
        {BlendMode::Subtractive, 128, src, dst, 150}, {BlendMode::Alpha, 128, dst, src, 150},
        {BlendMode::Alpha, 255, dst, src, 200},       {BlendMode::Alpha, 0, dst, src, 100},
        {BlendMode::Translucent, 128, dst, src, 150}, {BlendMode::Alpha, 999, dst, src, 200},
    };
    for (const auto& [mode, alpha, d, s, red] : cases) {
        t.mode = mode;
        t.alpha = alpha;
        const uint32_t out = RasterBlendPixel(t, d, s);
        EXPECT_EQ(int(out >> 16 & 0xFF), red) << int(mode) << " " << alpha;
        EXPECT_EQ(out >> 24, 0xFFu); // an opaque target stays opaque
    }
}

TEST(Rasterizer, BoxBlendsOnTheBuffer) {
    Buffer b(8, 8, 0xFF646464u);
    b.target.mode = BlendMode::Additive;
    b.target.alpha = 128;
    RasterFillBox(b.target, 1, 1, 3, 3, 0xFFC8C8C8u);
    EXPECT_EQ(b.Red(1, 1), 200);
    EXPECT_EQ(b.Red(2, 2), 200);
    EXPECT_EQ(b.Red(3, 3), 100);
    b.target.mode = BlendMode::Subtractive;
    b.target.alpha = 255;
    RasterFillBox(b.target, 1, 1, 3, 3, 0xFFC8C8C8u);
    EXPECT_EQ(b.Red(1, 1), 0);
    EXPECT_EQ(b.At(1, 1) >> 24, 0xFFu);
}

TEST(Rasterizer, AlphaTargetKeepsPremultipliedPixels) {
    Buffer b(4, 4, 0);
    b.target.opaque = false;
    RasterFillBox(b.target, 0, 0, 2, 2, 0x80FF0000u); // None: written as it is
    EXPECT_EQ(b.At(0, 0), 0x80800000u);
    b.target.mode = BlendMode::Alpha;
    RasterFillBox(b.target, 2, 2, 4, 4, 0xFF00FF00u);
    EXPECT_EQ(b.At(3, 3), 0xFF00FF00u);
    b.target.mode = BlendMode::Additive;
    RasterFillBox(b.target, 0, 0, 1, 1, 0x80FF0000u);
    EXPECT_EQ(b.At(0, 0), 0xFFFF0000u);
}

TEST(Rasterizer, ClipKeepsEveryPixelOutsideUnchanged) {
    Buffer b(32, 32);
    b.target.clipLeft = 5;
    b.target.clipTop = 6;
    b.target.clipRight = 15;
    b.target.clipBottom = 16;
    RenderVertex tri[] = {V(-10, -10), V(50, -5), V(10, 60)};
    RasterTriangleList(b.target, tri, 3);
    RenderVertex lines[] = {V(0, 0), V(31, 31), V(31, 0), V(0, 31), V(10, -3), V(10, 40)};
    RasterLineList(b.target, lines, 6);
    RasterFillBox(b.target, -100, -100, 100, 100, 0xFF00FF00u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            bool inside = x >= 5 && x < 15 && y >= 6 && y < 16;
            EXPECT_EQ((b.At(x, y) & 0xFFFFFF) != 0, inside) << x << "," << y;
        }
    EXPECT_TRUE(b.GuardIntact());
}

// Opaque line lists of vertical spans at neighbouring columns (a dense curve) are filled as
// runs; every pixel must match the spans drawn one by one, clipped or not.
// Opaque runs of neighbouring columns, and blended runs at any columns (lap marks, the same
// column twice), against each segment drawn alone.
TEST(Rasterizer, RunsOfVerticalSpansMatchTheSpansDrawnOneByOne) {
    uint32_t seed = 12345;
    auto next = [&](int n) { return int((seed = seed * 1103515245u + 12345u) >> 8) % n; };
    for (int trial = 0; trial < 120; ++trial) {
        const BlendMode mode = ModeOfTrial(trial);
        Buffer together(48, 40, 0xFF203040u), alone(48, 40, 0xFF203040u);
        for (Buffer* b : {&together, &alone}) b->Clip(3, 5, 44, 33, mode, 170);
        std::vector<RenderVertex> v;
        float x = float(next(10)) - 6.0f; // runs start left of the clip and end right of it
        for (int k = 0; k < 50; ++k) {
            if (mode == BlendMode::None)
                x += next(8) == 0 ? 2.0f : 1.0f; // a gap now and then breaks the run
            else
                x += float(next(5) - 1); // anywhere near, back or on the same column
            const uint32_t color = next(12) == 0 ? 0xFF00FF00u : 0xFFFF0000u;
            const float y0 = float(next(60)) - 10.0f + float(next(4)) * 0.25f;
            const float y1 = next(3) == 0 ? y0 : float(next(60)) - 10.0f + 0.5f;
            v.push_back(V(x, y0, color));
            v.push_back(V(x, y1, color));
            if (next(9) == 0) { // a slanted segment between the spans
                v.push_back(V(x, y1, color));
                v.push_back(V(x + 1.0f, y0, color));
            }
        }
        RasterLineList(together.target, v.data(), int(v.size()));
        for (size_t i = 0; i + 1 < v.size(); i += 2) RasterLineList(alone.target, &v[i], 2);
        ASSERT_EQ(together.memory, alone.memory) << "trial " << trial;
        EXPECT_TRUE(together.GuardIntact());
    }
}

// Lap marks: blended spans over the same rows at many columns, some columns taken twice or
// more (each pixel must see its spans one after the other), in translucent colours of every
// alpha, against each span drawn alone.
TEST(Rasterizer, MarksOverTheSameRowsMatchTheMarksDrawnOneByOne) {
    uint32_t seed = 99;
    auto next = [&](int n) { return int((seed = seed * 1103515245u + 12345u) >> 8) % n; };
    for (int trial = 0; trial < 40; ++trial) {
        Buffer together(90, 12, 0xFF000000u | uint32_t(next(1 << 24))), alone(90, 12);
        alone.memory = together.memory;
        for (Buffer* b : {&together, &alone}) b->Clip(0, 0, 90, 12, BlendMode::Alpha, 255);
        std::vector<RenderVertex> v;
        int x = 0;
        for (int k = 0; k < 37 + trial; ++k) {
            x += next(4) == 0 ? 0 : 1 + next(3); // now and then the same column again
            const uint32_t color = uint32_t(next(256)) << 24 | uint32_t(next(1 << 24));
            v.push_back(V(float(x % 90), -3.0f, color));
            v.push_back(V(float(x % 90), 20.0f, color));
        }
        RasterLineList(together.target, v.data(), int(v.size()));
        for (size_t i = 0; i + 1 < v.size(); i += 2) RasterLineList(alone.target, &v[i], 2);
        ASSERT_EQ(together.memory, alone.memory) << "trial " << trial;
    }
}

// An image drawn across a row is the image drawn a pixel column at a time (where each column
// is drawn alone): with alpha or a colour key, opaque or translucent texels, at full strength
// or faded, at its size, twice it or half it.
TEST(Rasterizer, ImageRowsMatchTheImageDrawnAColumnAtATime) {
    uint32_t seed = 4242;
    auto next = [&](int n) { return int((seed = seed * 1103515245u + 12345u) >> 8) % n; };
    std::vector<uint32_t> texels(size_t(23) * 7);
    for (int trial = 0; trial < 36; ++trial) {
        const bool colorKey = trial % 3 == 2, transparent = trial % 3 != 0;
        for (uint32_t& t : texels) {
            const uint32_t a = next(3) == 0 ? 0u : next(2) ? 255u : uint32_t(next(256));
            const uint32_t c = next(5) == 0 ? 0u : uint32_t(next(1 << 24));
            // Premultiplied: no channel above its alpha (colour-keyed images have none).
            t = colorKey ? 0xFF000000u | c
                         : a << 24 | (((c >> 16 & 0xFF) * a / 255) << 16) |
                               (((c >> 8 & 0xFF) * a / 255) << 8) | ((c & 0xFF) * a / 255);
        }
        const RasterImage image{texels.data(), 23, 7, 23, colorKey};
        const double size[3] = {1.0, 2.0, 0.5};
        const double w = 23 * size[trial % 9 / 3], h = 7 * size[trial % 9 / 3];
        const int alpha = trial < 18 ? 255 : 90;
        Buffer row(60, 20, 0xFF000000u | uint32_t(next(1 << 24))), columns(60, 20);
        columns.memory = row.memory;
        row.Clip(0, 0, 60, 20, BlendMode::Alpha, alpha);
        RasterDrawImage(row.target, image, 3, 2, w, h, transparent);
        for (int x = 0; x < 60; ++x) {
            columns.Clip(x, 0, x + 1, 20, BlendMode::Alpha, alpha);
            RasterDrawImage(columns.target, image, 3, 2, w, h, transparent);
        }
        ASSERT_EQ(row.memory, columns.memory) << "trial " << trial;
    }
}

// A glyph's pixels depend on its own colour and strength only, whatever was drawn before it
// (the glyphs of texts in other colours, or at another strength).
TEST(Rasterizer, AMaskIsDrawnInItsOwnColourWhateverCameBefore) {
    const uint8_t mask[4] = {255, 170, 60, 1};
    const uint32_t colors[3] = {0xFFFF8000u, 0x80FF8000u, 0xFF2060C0u};
    const int alphas[2] = {255, 100};
    auto draw = [&](Buffer& b, int color, int alpha, int y) {
        b.Clip(0, 0, 4, 3, BlendMode::Alpha, alphas[alpha]);
        RasterDrawMask(b.target, mask, 4, 0, y, 4, 1, colors[color]);
    };
    for (int color = 0; color < 3; ++color)
        for (int alpha = 0; alpha < 2; ++alpha) {
            std::vector<std::vector<uint32_t>> results;
            for (int before = 0; before < 6; ++before) {
                Buffer b(4, 3, 0xFF102030u);
                draw(b, before / 2, before % 2, 0);
                draw(b, color, alpha, 2);
                results.emplace_back(b.memory.end() - b.stride * (b.kPad + 1), b.memory.end());
            }
            for (const auto& r : results) ASSERT_EQ(r, results[0]) << color << " " << alpha;
        }
}

// A blended box is the box drawn a pixel column at a time, in every blend, over pixels of
// every colour (a subtraction floors each channel at 0 and keeps the alpha).
TEST(Rasterizer, BoxesMatchTheBoxesDrawnAColumnAtATime) {
    uint32_t seed = 31337;
    auto next = [&](int n) { return int((seed = seed * 1103515245u + 12345u) >> 8) % n; };
    const BlendMode modes[4] = {BlendMode::Alpha, BlendMode::Subtractive, BlendMode::Translucent,
                                BlendMode::Additive};
    for (int trial = 0; trial < 40; ++trial) {
        Buffer whole(37, 6), columns(37, 6);
        for (uint32_t& p : whole.memory) p = 0xFF000000u | uint32_t(next(1 << 24));
        columns.memory = whole.memory;
        const uint32_t color = uint32_t(next(256)) << 24 | uint32_t(next(1 << 24));
        const BlendMode mode = modes[trial % 4];
        const int alpha = trial % 8 < 4 ? 255 : 1 + next(255);
        const double left = next(5), right = 37 - next(5);
        whole.Clip(0, 0, 37, 6, mode, alpha);
        RasterFillBox(whole.target, left, 1, right, 5, color);
        for (int x = 0; x < 37; ++x) {
            columns.Clip(x, 0, x + 1, 6, mode, alpha);
            RasterFillBox(columns.target, left, 1, right, 5, color);
        }
        ASSERT_EQ(whole.memory, columns.memory) << "trial " << trial;
    }
}

// Spans handed over as such (the dense curves) light the pixels their vertical segments light
// in a line list: runs of neighbours, lone ones, colours that change, spans far above and
// below the buffer, columns beside the clip, in every blend.
TEST(Rasterizer, SpansLightWhatTheirVerticalSegmentsLight) {
    uint32_t seed = 777;
    auto next = [&](int n) { return int((seed = seed * 1103515245u + 12345u) >> 8) % n; };
    for (int trial = 0; trial < 60; ++trial) {
        const BlendMode mode = ModeOfTrial(trial);
        Buffer spans(40, 30, 0xFF102030u), segments(40, 30, 0xFF102030u);
        for (Buffer* b : {&spans, &segments}) b->Clip(2, 4, 37, 26, mode, 200);
        std::vector<RenderSpan> list;
        int x = next(6) - 4;
        for (int k = 0; k < 45; ++k) {
            x += next(7) == 0 ? 3 : 1;
            int top = next(40) - 5, bottom = top + next(25);
            if (next(10) == 0) top = -4000000; // a value far outside the band
            if (next(10) == 0) bottom = 9000000;
            list.push_back({x, top, bottom, next(5) == 0 ? 0xFF00FF00u : 0xFFFF0000u});
        }
        RasterSpans(spans.target, list.data(), int(list.size()));
        for (const RenderSpan& r : list) {
            RenderVertex v[2] = {V(float(r.x), float(r.top), r.color),
                                 V(float(r.x), float(r.bottom), r.color)};
            RasterLineList(segments.target, v, 2);
        }
        ASSERT_EQ(spans.memory, segments.memory) << "trial " << trial;
        EXPECT_TRUE(spans.GuardIntact());
    }
}

// Runs of spans that begin left of the buffer and end right of it, over its full height, on a
// buffer with nothing around it: the row-by-row fill must not touch a column outside (the
// sanitizer build sees any such access).
TEST(Rasterizer, SpanRunsAcrossTheEdgesStayInsideTheBuffer) {
    constexpr int kW = 64, kH = 16;
    std::vector<uint32_t> pixels(size_t(kW) * kH, 0xFF000000u);
    RasterTarget t;
    t.pixels = pixels.data();
    t.width = t.stride = t.clipRight = kW;
    t.height = t.clipBottom = kH;
    t.opaque = true;
    t.mode = BlendMode::None;
    t.alpha = 255;
    std::vector<RenderVertex> v;
    for (int x = -20; x < kW + 24; ++x) {
        v.push_back(V(float(x), -5.0f));
        v.push_back(V(float(x), kH + 5.0f));
    }
    RasterLineList(t, v.data(), int(v.size()));
    for (int y : {0, kH - 1})
        for (int x : {0, kW / 2, kW - 1}) EXPECT_EQ(pixels[size_t(y) * kW + x], 0xFFFF0000u);
}

// A turned image: a quarter turn about its top-left corner puts source pixel (u, v) at
// (x - v - 1, y + u); its pure black stays transparent and a half turn mirrors both ways.
TEST(Rasterizer, TurnedImageLandsWhereTheTurnTakesEachPixel) {
    const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
    const uint32_t pixels[] = {red, green, 0xFF000000u, blue, blue, blue, blue, blue};
    RasterImage image{pixels, 4, 2, 4, true};
    Buffer b(32, 32, 0xFF101010u);
    RasterDrawImageTurned(b.target, image, 10, 10, 0, 0, float(M_PI / 2), 1.0);
    EXPECT_EQ(b.At(9, 10), red);         // (0, 0)
    EXPECT_EQ(b.At(9, 11), green);       // (1, 0)
    EXPECT_EQ(b.At(9, 12), 0xFF101010u); // (2, 0) is black: left as it was
    EXPECT_EQ(b.At(8, 13), blue);        // (3, 1)
    Buffer c(32, 32, 0xFF101010u);
    RasterDrawImageTurned(c.target, image, 10, 10, 2, 1, float(M_PI), 2.0); // pivot mid-image
    EXPECT_EQ(c.At(13, 11), red);   // (0, 0) two pixels per pixel, mirrored
    EXPECT_EQ(c.At(11, 11), green); // (1, 0)
    EXPECT_EQ(c.At(7, 8), blue);    // (3, 1)
    EXPECT_TRUE(b.GuardIntact() && c.GuardIntact());
}

TEST(Rasterizer, FarAndBrokenVerticesNeverWriteOutside) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = std::numeric_limits<float>::max();
    const float far[] = {-1e30f, -1e9f, -70000.5f, -1.5f, 0,    7.5f, 31.49f, 32,
                         40000,  3e9f,  1e30f,     big,   -big, nan,  inf,    -inf};
    Buffer b(32, 24);
    for (BlendMode mode : {BlendMode::None, BlendMode::Additive}) {
        b.target.mode = mode;
        std::vector<RenderVertex> v;
        for (float x : far)
            for (float y : far) v.push_back(V(x, y, 0xFF102030u));
        // Every pair and triple of them, as lines and triangles.
        for (size_t i = 0; i + 1 < v.size(); ++i) {
            for (size_t j = i + 1; j < v.size(); j += 7) {
                RenderVertex seg[] = {v[i], v[j]};
                RasterLineList(b.target, seg, 2);
                RenderVertex tri[] = {v[i], v[j], v[(i * 31 + j * 17) % v.size()]};
                RasterTriangleList(b.target, tri, 3);
            }
        }
        RasterLineStrip(b.target, v.data(), int(v.size()));
        RasterTriangleList(b.target, v.data(), int(v.size()));
        RasterFillBox(b.target, -1e30, nan, 1e30, 10, 0xFFFFFFFFu);
        RasterFillBox(b.target, -1e30, -1e30, 1e30, 1e30, 0xFF010101u);
    }
    EXPECT_TRUE(b.GuardIntact());
}

TEST(Rasterizer, HugeTriangleStillCoversTheBuffer) {
    Buffer b(32, 24);
    RenderVertex tri[] = {V(-1e9f, -1e9f), V(1e9f, -1e9f), V(0, 1e9f)};
    RasterTriangleList(b.target, tri, 3);
    EXPECT_EQ(b.CountLit(), 32 * 24);
    Buffer d(32, 24);
    RenderVertex diagonal[] = {V(-1e6f, -1e6f), V(1e6f, 1e6f)};
    RasterLineList(d.target, diagonal, 2);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(d.Red(i, i), 255) << i;
    EXPECT_EQ(d.CountLit(), 24);
    EXPECT_TRUE(b.GuardIntact());
    EXPECT_TRUE(d.GuardIntact());
}

TEST(Rasterizer, ImageStretchAndColorKey) {
    Buffer b(16, 16, 0xFF0000FFu);
    uint32_t src[4] = {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF000000u}; // 2 x 2
    RasterImage image{src, 2, 2, 2, true};
    RasterDrawImage(b.target, image, 4, 4, 8, 8, true);
    EXPECT_EQ(b.At(4, 4), 0xFF0000FFu); // black is the key: the background stays
    EXPECT_EQ(b.At(8, 4), 0xFFFF0000u); // stretched 4x
    EXPECT_EQ(b.At(11, 7), 0xFFFF0000u);
    EXPECT_EQ(b.At(5, 9), 0xFF00FF00u);
    EXPECT_EQ(b.At(12, 12), 0xFF0000FFu);
    RasterDrawImage(b.target, image, 4, 4, 8, 8, false);
    EXPECT_EQ(b.At(4, 4), 0xFF000000u);
    RasterDrawImage(b.target, image, -1e30, 3, 1e31, 1e-30, true);
    RasterDrawImage(b.target, image, 0.4, 0.6, 1e-30, 1e30, true);
    EXPECT_TRUE(b.GuardIntact());
}

} // namespace
} // namespace qvtk
