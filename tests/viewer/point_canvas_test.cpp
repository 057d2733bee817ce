// The point picture against plain painting: squares painted one after the other in order and
// lines drawn pixel by pixel must give the same pixels as the one-store-per-point picture with
// its squares grown at the end and its lines drawn a row run at a time.
#include "viewer/point_canvas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace qvtk::test {
namespace {

constexpr int kLeft = 40, kTop = 30, kW = 150, kH = 90;

struct Plain {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kW) * kH, 0);
    void Set(int x, int y, uint32_t color) {
        if (x >= kLeft && x < kLeft + kW && y >= kTop && y < kTop + kH)
            pixels[size_t(y - kTop) * kW + size_t(x - kLeft)] = color;
    }
    void Square(int x, int y, int side, uint32_t color) {
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i) Set(x + i, y + j, color);
    }
    // Bresenham from end to end, both included.
    void Line(int x0, int y0, int x1, int y1, uint32_t color) {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        for (int err = dx + dy;;) {
            Set(x0, y0, color);
            if (x0 == x1 && y0 == y1) return;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }
};

std::vector<uint32_t> Colors() {
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < 300; ++i) colors.push_back(0xFF000000u | (i * 0x010203u + 7));
    return colors;
}

int Differing(const PointCanvas& c, const Plain& p) {
    int n = 0;
    for (size_t i = 0; i < p.pixels.size(); ++i) n += c.pixels[i] != p.pixels[i];
    return n;
}

TEST(PointCanvas, SquaresOfEverySizeLieInOrderAsIfPaintedOneByOne) {
    const std::vector<uint32_t> colors = Colors();
    std::mt19937 random(3);
    std::vector<int32_t> xs, ys, entries;
    for (int i = 0; i < 5000; ++i) {
        // Crowded near the edges, a few far away.
        xs.push_back(kLeft - 12 + int32_t(random() % (kW + 24)));
        ys.push_back(kTop - 12 + int32_t(random() % (kH + 24)));
        entries.push_back(int(random() % 300));
    }
    xs[7] = -2000000000, ys[9] = 2000000000;
    for (int side = 1; side <= kCanvasMargin; ++side) {
        for (int offset : {0, -side / 2, -side}) {
            // File 2's points below, File 1's over them.
            PointCanvas top, below;
            Plain plain;
            BeginCanvas(below, kLeft, kTop, kW, kH, side, colors);
            BeginCanvas(top, kLeft, kTop, kW, kH, side, colors);
            const PointMapping mapping{0, 1, 0, 1, offset};
            const int half = int(xs.size()) / 2;
            PaintRun(below, mapping, {xs.data(), ys.data(), nullptr, 0, 0, 5}, half);
            for (int i = 0; i < half; ++i)
                plain.Square(xs[i] + offset, ys[i] + offset, side, colors[5]);
            {
                PointBatch batch(top, mapping);
                for (size_t i = size_t(half); i < xs.size(); ++i) {
                    batch.Add(xs[i], ys[i], entries[i]);
                    plain.Square(xs[i] + offset, ys[i] + offset, side, colors[size_t(entries[i])]);
                }
            }
            FinishCanvas(top, below);
            EXPECT_EQ(Differing(top, plain), 0) << "side " << side << " offset " << offset;
        }
    }
}

TEST(PointCanvas, ConnectedLinesLightBresenhamsPixelsInOrder) {
    const std::vector<uint32_t> colors = Colors();
    std::mt19937 random(5);
    std::vector<int32_t> xs{kLeft + 3}, ys{kTop + 3}, zs{0};
    // Steps of every kind: still, to a neighbour, along a row, across two rows, long and flat,
    // steep; more than one block of points.
    const int kinds[][2] = {{0, 0}, {1, 1}, {31, 0}, {62, 1}, {40, 1}, {90, 3}, {3, 40}, {7, 2}};
    for (int i = 0; i < 3000; ++i) {
        const int* k = kinds[random() % 8];
        const int dx = k[0] ? int(random() % unsigned(k[0] + 1)) : 0;
        const int dy = k[1] ? int(random() % unsigned(k[1] + 1)) : 0;
        int x = xs.back() + (random() % 2 ? dx : -dx), y = ys.back() + (random() % 2 ? dy : -dy);
        x = std::clamp(x, kLeft - 1, kLeft + kW), y = std::clamp(y, kTop - 1, kTop + kH);
        xs.push_back(x), ys.push_back(y), zs.push_back(int32_t(random() % 256));
    }
    PointCanvas canvas;
    BeginCanvas(canvas, kLeft, kTop, kW, kH, 1, colors);
    PaintPolyline(canvas, {0, 1, 0, 1, 0}, {xs.data(), ys.data(), zs.data(), 0, 1, 0},
                  int32_t(xs.size()));
    FinishCanvas(canvas);
    Plain plain;
    plain.Set(xs[0], ys[0], colors[0]);
    for (size_t i = 1; i < xs.size(); ++i)
        plain.Line(xs[i - 1], ys[i - 1], xs[i], ys[i], colors[size_t(zs[i])]);
    EXPECT_EQ(Differing(canvas, plain), 0);
}

TEST(PointCanvas, LinesLeavingThePictureStopAtItsEdge) {
    PointCanvas canvas;
    BeginCanvas(canvas, kLeft, kTop, kW, kH, 1, {0xFFFF0000u});
    const int32_t y = kTop + 10;
    const int32_t xs[] = {kLeft + 20, 100000000, -5000, -6000, kLeft + 5};
    const int32_t ys[] = {y, y, -5000, -6000, kTop + 5};
    // Out to the right, wholly outside, back in from far away.
    PaintPolyline(canvas, {0, 1, 0, 1, 0}, {xs, ys, nullptr, 0, 0, 0}, 5);
    FinishCanvas(canvas);
    int lit = 0;
    for (uint32_t p : canvas.pixels) lit += p != 0;
    for (int x = kLeft + 20; x < kLeft + kW; ++x)
        EXPECT_NE(canvas.pixels[size_t(y - kTop) * kW + size_t(x - kLeft)], 0u) << x;
    EXPECT_NE(canvas.pixels[size_t(5) * kW + 5], 0u);
    EXPECT_LT(lit, kW - 20 + 15); // the row, and the few pixels of the way back in
}

} // namespace
} // namespace qvtk::test
