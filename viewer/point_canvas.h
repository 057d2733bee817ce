#pragma once
// A picture of millions of small square points drawn in order, as the A/F map and the X-Y
// plot draw them. Each point is noted once at its anchor with its place in the order; the
// picture is then made in one pass in which every pixel takes the colour of the last point
// whose square covers it: the same picture as drawing every square, at the cost of one store
// per point.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk {

struct PointCanvas {
    int left = 0, top = 0, width = 0, height = 0; // the client pixels the picture covers
    int side = 1;                                 // squares of side x side pixels
    int gridWidth = 0, gridHeight = 0;            // anchors, reaching side - 1 beyond the picture
    uint32_t next = 1;                            // order of the next point; 0 marks none
    std::vector<uint32_t> order, color;           // per anchor: the last point noted there
    std::vector<uint32_t> rowOrder, rowColor;     // scratch of the finishing pass
    std::vector<uint32_t> pixels;                 // the finished picture, 0xAARRGGBB
};

// Starts an empty picture; the buffers are kept from frame to frame.
void BeginCanvas(PointCanvas& canvas, int left, int top, int width, int height, int side);

// A square whose top-left pixel is (x, y), in an opaque colour. Points outside are left out.
inline void PlotSquare(PointCanvas& c, int x, int y, uint32_t color) {
    const unsigned gx = unsigned(x - c.left + c.side - 1), gy = unsigned(y - c.top + c.side - 1);
    if (gx >= unsigned(c.gridWidth) || gy >= unsigned(c.gridHeight)) return;
    const size_t i = size_t(gy) * size_t(c.gridWidth) + gx;
    c.order[i] = c.next++;
    c.color[i] = color;
}

// A line of single pixels from (x0, y0) to (x1, y1), both ends included.
void PlotLine(PointCanvas& canvas, int x0, int y0, int x1, int y1, uint32_t color);

// Makes `pixels`; pixels no square covers are transparent (0).
void FinishCanvas(PointCanvas& canvas);

// Draws the finished picture at its place on the current target.
void DrawCanvas(const PointCanvas& canvas);

} // namespace qvtk
