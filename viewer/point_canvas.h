#pragma once
// A picture of millions of small square points drawn in order, as the A/F map and the X-Y
// plot draw them: each point paints its square with an entry of a small colour table into a
// buffer of entries (the last point over a pixel keeps it), and the buffer becomes pixels in
// one pass. The buffer has a margin as wide as the largest square, so a square that leaves the
// picture is painted without cutting it: one check per point, and no branch in the painting.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk {

constexpr int kCanvasMargin = 8; // the largest square side

struct PointCanvas {
    int left = 0, top = 0, width = 0, height = 0; // the client pixels the picture covers
    int side = 1;                                 // squares of side x side pixels, 1 .. 8
    int stride = 0;                               // entries per buffer row, margins included
    std::vector<uint32_t> colors;                 // the colour table, 0xAARRGGBB
    std::vector<uint16_t> entry;                  // 0 none, else table entry + 1
    std::vector<uint32_t> pixels;                 // the finished picture, width x height
};

// Starts an empty picture with its colour table; the buffers are kept from frame to frame.
void BeginCanvas(PointCanvas& canvas, int left, int top, int width, int height, int side,
                 const std::vector<uint32_t>& colors);

// Paints squares into a canvas, keeping what it needs in locals so that a loop over millions
// of points runs in registers.
class SquarePainter {
public:
    explicit SquarePainter(PointCanvas& c)
        : canvas_(c),
          origin_(c.entry.data() + size_t(kCanvasMargin) * size_t(c.stride) + kCanvasMargin),
          left_(c.left), top_(c.top), stride_(c.stride), reachX_(unsigned(c.width)),
          reachY_(unsigned(c.height)), side_(c.side) {}

    const PointCanvas& Canvas() const { return canvas_; }

    // The square whose top-left pixel is (x, y), in table entry `color`. Squares that lie
    // wholly outside the picture are left out.
    void Square(int x, int y, int color) {
        // Anchors from side - 1 before the picture to its last pixel can touch it; they all
        // fit in the margins.
        const unsigned gx = unsigned(x - left_ + side_ - 1), gy = unsigned(y - top_ + side_ - 1);
        if (gx >= reachX_ + unsigned(side_ - 1) || gy >= reachY_ + unsigned(side_ - 1)) return;
        uint16_t* p = origin_ + ptrdiff_t(y - top_) * stride_ + (x - left_);
        const uint16_t e = uint16_t(color + 1);
        switch (side_) {
        case 1:
            p[0] = e;
            return;
        case 3:
            Fill<3>(p, e);
            return;
        case 5:
            Fill<5>(p, e);
            return;
        case 7:
            Fill<7>(p, e);
            return;
        default:
            for (int r = 0; r < side_; ++r)
                for (int k = 0; k < side_; ++k) p[r * stride_ + k] = e;
        }
    }

private:
    template <int S> void Fill(uint16_t* p, uint16_t e) const {
        for (int r = 0; r < S; ++r)
            for (int k = 0; k < S; ++k) p[r * stride_ + k] = e;
    }

    PointCanvas& canvas_;
    uint16_t* origin_; // the entry of the picture's top-left pixel
    int left_, top_, stride_;
    unsigned reachX_, reachY_;
    int side_;
};

// Points in value units, mapped to pixels a block at a time (one loop the compiler turns into
// vector instructions) and painted as squares: pixel = origin + value x scale, floored, plus
// the offset of the square's top-left corner from the point. Values far outside the picture
// land far outside it and are left out.
struct PointMapping {
    double x0 = 0, kx = 1, y0 = 0, ky = 1;
    int offset = 0;
};

class PointBatch {
public:
    PointBatch(SquarePainter& painter, const PointMapping& mapping)
        : painter_(painter), mapping_(mapping) {}
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
    SquarePainter& painter_;
    PointMapping mapping_;
    int n_ = 0;
    int32_t xs_[kBlock], ys_[kBlock], px_[kBlock], py_[kBlock];
    int colors_[kBlock];
};

// floor(origin + v x scale) for a block of values, limited to +/- 1000000.
void MapToPixels(const int32_t* v, int n, double origin, double scale, int32_t* out);
// Table entries 0 .. 255 of a block of values: (v - min) x perUnit, limited.
void MapToEntries(const int32_t* v, int n, double min, double perUnit, int* out);

// n consecutive samples at once: their x and y values, and either their colour values mapped
// through MapToEntries (colorValues) or one colour entry for all.
struct PointRun {
    const int32_t* x;
    const int32_t* y;
    const int32_t* colorValues; // nullptr: `color` for every point
    double colorMin = 0, colorPerUnit = 0;
    int color = 0;
};
void PaintRun(SquarePainter& painter, const PointMapping& mapping, const PointRun& run, int32_t n);

// A line of single pixels from (x0, y0) to (x1, y1), both ends included.
void PlotLine(SquarePainter& painter, int x0, int y0, int x1, int y1, int color);

// Makes `pixels`; pixels no square covers are transparent (0).
void FinishCanvas(PointCanvas& canvas);
// The same for two canvases of one place painted apart (on two threads): `top`'s squares over
// `below`'s, as if all were painted into one, below's first. The pixels go to `top`.
void FinishCanvas(PointCanvas& top, const PointCanvas& below);

// Draws the finished picture at its place on the current target.
void DrawCanvas(const PointCanvas& canvas);

// floor(v) as an int, for coordinates well inside the int range.
inline int FloorToInt(double v) {
    const int i = int(v);
    return i - (v < double(i));
}

} // namespace qvtk
