#include "viewer/point_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/render.h"

namespace qvtk {

void BeginCanvas(PointCanvas& c, int left, int top, int width, int height, int side) {
    c.left = left;
    c.top = top;
    c.width = std::max(width, 0);
    c.height = std::max(height, 0);
    c.side = std::clamp(side, 1, 16);
    c.gridWidth = c.width + c.side - 1;
    c.gridHeight = c.height + c.side - 1;
    c.next = 1;
    const size_t anchors = size_t(c.gridWidth) * size_t(c.gridHeight);
    c.order.assign(anchors, 0);
    c.color.resize(anchors);
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

void PlotLine(PointCanvas& c, int x0, int y0, int x1, int y1, uint32_t color) {
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (!ClipSegment(ax, ay, bx, by, c.left - c.side, c.top - c.side, c.left + c.width + 1,
                     c.top + c.height + 1))
        return;
    x0 = int(std::lround(ax)), y0 = int(std::lround(ay));
    x1 = int(std::lround(bx)), y1 = int(std::lround(by));
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        PlotSquare(c, x0, y0, color);
        if (x0 == x1 && y0 == y1) return;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void FinishCanvas(PointCanvas& c) {
    const int side = c.side, gw = c.gridWidth;
    c.pixels.assign(size_t(c.width) * size_t(c.height), 0);
    if (c.width == 0 || c.height == 0) return;
    // Across: for every anchor row, the last point over each pixel column.
    c.rowOrder.assign(size_t(c.width) * size_t(c.gridHeight), 0);
    c.rowColor.resize(c.rowOrder.size());
    for (int gy = 0; gy < c.gridHeight; ++gy) {
        const uint32_t* order = &c.order[size_t(gy) * gw];
        const uint32_t* color = &c.color[size_t(gy) * gw];
        uint32_t* outOrder = &c.rowOrder[size_t(gy) * c.width];
        uint32_t* outColor = &c.rowColor[size_t(gy) * c.width];
        for (int x = 0; x < c.width; ++x) {
            uint32_t best = 0, bestColor = 0;
            for (int k = 0; k < side; ++k) // anchors x .. x + side - 1 of the grid cover pixel x
                if (order[x + k] > best) best = order[x + k], bestColor = color[x + k];
            outOrder[x] = best;
            outColor[x] = bestColor;
        }
    }
    // Down: the last over each pixel of the picture.
    for (int y = 0; y < c.height; ++y) {
        uint32_t* out = &c.pixels[size_t(y) * c.width];
        for (int x = 0; x < c.width; ++x) {
            uint32_t best = 0, bestColor = 0;
            for (int k = 0; k < side; ++k) {
                const size_t i = size_t(y + k) * c.width + x;
                if (c.rowOrder[i] > best) best = c.rowOrder[i], bestColor = c.rowColor[i];
            }
            out[x] = best ? bestColor : 0;
        }
    }
}

void DrawCanvas(const PointCanvas& c) {
    if (c.pixels.empty()) return;
    RenderPixels(c.pixels.data(), c.width, c.height, c.width, float(c.left), float(c.top));
}

} // namespace qvtk
