#include "viewer/point_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/parallel.h"
#include "render/render.h"

namespace qvtk {

void BeginCanvas(PointCanvas& c, int left, int top, int width, int height, int side,
                 const std::vector<uint32_t>& colors) {
    c.left = left;
    c.top = top;
    c.width = std::max(width, 0);
    c.height = std::max(height, 0);
    c.side = std::clamp(side, 1, kCanvasMargin);
    c.colors = colors;
    c.stride = c.width + 2 * kCanvasMargin;
    c.entry.assign(size_t(c.stride) * size_t(c.height + 2 * kCanvasMargin), 0);
}

namespace {

// Liang-Barsky: cuts the segment to the box; false when nothing of it lies inside.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top,
                 double right, double bottom) {
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx, y1 = y0 + t1 * dy;
    x0 = ax, y0 = ay;
    return true;
}

} // namespace

void PlotLine(SquarePainter& painter, int x0, int y0, int x1, int y1, int color) {
    const PointCanvas& c = painter.Canvas();
    auto inside = [&c](int x, int y) {
        return x >= c.left - 1 && x <= c.left + c.width && y >= c.top - 1 && y <= c.top + c.height;
    };
    // Most segments join neighbouring samples inside the picture: only the others are cut.
    if (!inside(x0, y0) || !inside(x1, y1)) {
        double ax = x0, ay = y0, bx = x1, by = y1;
        if (!ClipSegment(ax, ay, bx, by, c.left - 1, c.top - 1, c.left + c.width, c.top + c.height))
            return;
        x0 = int(std::lround(ax)), y0 = int(std::lround(ay));
        x1 = int(std::lround(bx)), y1 = int(std::lround(by));
    }
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        painter.Square(x0, y0, color);
        if (x0 == x1 && y0 == y1) return;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void FinishCanvas(PointCanvas& c) {
    FinishCanvas(c, c);
}

void FinishCanvas(PointCanvas& top, const PointCanvas& below) {
    PointCanvas& c = top;
    c.pixels.resize(size_t(c.width) * size_t(c.height));
    const bool same = below.stride == c.stride && below.entry.size() == c.entry.size() &&
                      below.colors == c.colors;
    const size_t n = c.colors.size();
    // Bands of rows on both threads.
    constexpr int kBands = 8;
    ParallelPipeline(
        kBands,
        [&](int band) {
            const int from = c.height * band / kBands, to = c.height * (band + 1) / kBands;
            for (int y = from; y < to; ++y) {
                const size_t at = size_t(y + kCanvasMargin) * size_t(c.stride) + kCanvasMargin;
                const uint16_t* row = &c.entry[at];
                const uint16_t* under = same ? &below.entry[at] : row;
                uint32_t* out = &c.pixels[size_t(y) * size_t(c.width)];
                for (int x = 0; x < c.width; ++x) {
                    const size_t e = row[x] ? row[x] : under[x];
                    out[x] = e && e <= n ? c.colors[e - 1] : 0;
                }
            }
        },
        [](int) {});
}

// Values come from integers and finite scales: no NaN, so the limits may be vector min/max.
__attribute__((target_clones("avx2", "default"),
               optimize("finite-math-only", "no-signed-zeros"))) void
MapToPixels(const int32_t* v, int n, double origin, double scale, int32_t* out) {
    for (int i = 0; i < n; ++i) {
        double p = origin + double(v[i]) * scale;
        p = p < -1.0e6 ? -1.0e6 : (p > 1.0e6 ? 1.0e6 : p);
        out[i] = int32_t(p + 1.0e6) - 1000000; // truncating a positive number floors it
    }
}

__attribute__((target_clones("avx2", "default"),
               optimize("finite-math-only", "no-signed-zeros"))) void
MapToEntries(const int32_t* v, int n, double min, double perUnit, int* out) {
    for (int i = 0; i < n; ++i) {
        double e = (double(v[i]) - min) * perUnit;
        e = e < 0 ? 0 : (e > 255 ? 255 : e);
        out[i] = int(e);
    }
}

void PaintRun(SquarePainter& painter, const PointMapping& m, const PointRun& run, int32_t n) {
    constexpr int kBlock = 1024;
    int32_t px[kBlock], py[kBlock];
    int colors[kBlock];
    for (int32_t at = 0; at < n; at += kBlock) {
        const int k = int(std::min<int32_t>(kBlock, n - at));
        MapToPixels(run.x + at, k, m.x0, m.kx, px);
        MapToPixels(run.y + at, k, m.y0, m.ky, py);
        if (run.colorValues)
            MapToEntries(run.colorValues + at, k, run.colorMin, run.colorPerUnit, colors);
        else
            std::fill(colors, colors + k, run.color);
        for (int i = 0; i < k; ++i) painter.Square(px[i] + m.offset, py[i] + m.offset, colors[i]);
    }
}

void PointBatch::Flush() {
    MapToPixels(xs_, n_, mapping_.x0, mapping_.kx, px_);
    MapToPixels(ys_, n_, mapping_.y0, mapping_.ky, py_);
    for (int i = 0; i < n_; ++i)
        painter_.Square(px_[i] + mapping_.offset, py_[i] + mapping_.offset, colors_[i]);
    n_ = 0;
}

void DrawCanvas(const PointCanvas& c) {
    if (c.pixels.empty()) return;
    RenderPixels(c.pixels.data(), c.width, c.height, c.width, float(c.left), float(c.top));
}

} // namespace qvtk
