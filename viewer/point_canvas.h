#pragma once
// A picture of millions of small square points drawn in order, as the A/F map and the X-Y
// plot draw them: a later point lies over the earlier ones. Painting a point costs one store
// whatever its size: the buffer keeps, per pixel, a key of the last point whose square has its
// top-left corner there (its order and colour entry); the squares grow out of those corners
// when the picture is finished, each pixel taking the latest point whose square covers it.
// Points far outside the picture cost no more than the others: one check each, no branch in
// the painting. Connected lines are painted pixel by pixel into the same buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk {

constexpr int kCanvasMargin = 8;    // the largest square side
constexpr int kCanvasEntryBits = 9; // colour table entries 0 .. 510
constexpr uint32_t kCanvasMaxOrder = (1u << (32 - kCanvasEntryBits)) - 1;

struct PointCanvas {
    int left = 0, top = 0, width = 0, height = 0; // the client pixels the picture covers
    int side = 1;                                 // squares of side x side pixels, 1 .. 8
    int stride = 0;                               // keys per buffer row, margins included
    std::vector<uint32_t> colors;                 // the colour table, 0xAARRGGBB
    // Per buffer pixel, 0 or (order << kCanvasEntryBits) | (colour entry + 1). The corner
    // pixel (0, 0) of the margin takes the points no square of which reaches the picture.
    std::vector<uint32_t> keys;
    // Order of the next point; past kCanvasMaxOrder (eleven hours of samples) later points
    // share the last order, and where their squares overlap the higher entry lies on top.
    uint32_t order = 0;
    std::vector<uint32_t> pixels; // the finished picture, width x height
};

// Starts an empty picture with its colour table; the buffers are kept from frame to frame.
void BeginCanvas(PointCanvas& canvas, int left, int top, int width, int height, int side,
                 const std::vector<uint32_t>& colors);

// Points in value units to pixels: pixel = origin + value x scale, floored (limited to
// +/- 1000000), plus the offset of the square's top-left corner from the point.
struct PointMapping {
    double x0 = 0, kx = 1, y0 = 0, ky = 1;
    int offset = 0;
};

// n consecutive samples at once: their x and y values, and either their colour values mapped
// to table entries 0 .. 255 as (v - colorMin) x colorPerUnit, limited, or one entry for all.
struct PointRun {
    const int32_t* x;
    const int32_t* y;
    const int32_t* colorValues; // nullptr: `color` for every point
    double colorMin = 0, colorPerUnit = 0;
    int color = 0;
};

// The squares of n points, in order.
void PaintRun(PointCanvas& canvas, const PointMapping& mapping, const PointRun& run, int32_t n);

// A line of single pixels through n points in order (each segment ends included, in the colour
// of its later point); the first point alone when n is 1. Wants a canvas of side 1.
void PaintPolyline(PointCanvas& canvas, const PointMapping& mapping, const PointRun& run,
                   int32_t n);

// Points given one by one (as a walk over the samples finds them), painted a block at a time.
class PointBatch {
public:
    PointBatch(PointCanvas& canvas, const PointMapping& mapping)
        : canvas_(canvas), mapping_(mapping) {}
    ~PointBatch() { Flush(); }
    PointBatch(const PointBatch&) = delete;
    PointBatch& operator=(const PointBatch&) = delete;

    void Add(int32_t x, int32_t y, int color) {
        xs_[n_] = x, ys_[n_] = y, colors_[n_] = color;
        if (++n_ == kBlock) Flush();
    }
    void Flush();

private:
    static constexpr int kBlock = 1024;
    PointCanvas& canvas_;
    PointMapping mapping_;
    int n_ = 0;
    int32_t xs_[kBlock], ys_[kBlock];
    int colors_[kBlock];
};

// Makes `pixels`; pixels no square covers are transparent (0).
void FinishCanvas(PointCanvas& canvas);
// The same for two canvases of one place, side and colour table painted apart (on two
// threads): `top`'s squares over `below`'s, as if all were painted into one, below's first.
// The pixels go to `top`.
void FinishCanvas(PointCanvas& top, const PointCanvas& below);

// Draws the finished picture at its place on the current target.
void DrawCanvas(const PointCanvas& canvas);

// floor(v) as an int, for coordinates well inside the int range.
inline int FloorToInt(double v) {
    const int i = int(v);
    return i - (v < double(i));
}

} // namespace qvtk
