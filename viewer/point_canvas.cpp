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
    c.keys.assign(size_t(c.stride) * size_t(c.height + 2 * kCanvasMargin) + 32, 0);
    c.order = 0;
}

namespace {

constexpr int kBlock = 1024;
constexpr uint32_t kEntryMask = (1u << kCanvasEntryBits) - 1;

// The vector loops: for each, a copy for processors with AVX-512, one with AVX2 and a plain
// one, chosen when the program starts.
#define QVTK_VECTOR_LOOP __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
// Values come from integers and finite scales: no NaN, so the limits may be vector min/max.
#define QVTK_FINITE_MATH __attribute__((optimize("finite-math-only", "no-signed-zeros")))

// floor(origin + v x scale) for a block of values, limited to +/- 1000000.
QVTK_VECTOR_LOOP QVTK_FINITE_MATH void MapToPixels(const int32_t* __restrict v, int n,
                                                   double origin, double scale,
                                                   int32_t* __restrict out) {
    for (int i = 0; i < n; ++i) {
        double p = origin + double(v[i]) * scale;
        p = p < -1.0e6 ? -1.0e6 : (p > 1.0e6 ? 1.0e6 : p);
        out[i] = int32_t(p + 1.0e6) - 1000000; // truncating a positive number floors it
    }
}

// Table entries 0 .. 255 of a block of values: (v - min) x perUnit, limited.
QVTK_VECTOR_LOOP QVTK_FINITE_MATH void MapToEntries(const int32_t* __restrict v, int n, double min,
                                                    double perUnit, int* __restrict out) {
    for (int i = 0; i < n; ++i) {
        double e = (double(v[i]) - min) * perUnit;
        e = e < 0 ? 0 : (e > 255 ? 255 : e);
        out[i] = int(e);
    }
}

// Where the points of a block go: the pixel mapping and the buffer cells of the squares'
// top-left corners.
struct BlockPlace {
    double x0, kx, y0, ky;
    int32_t shiftX, shiftY;  // corner pixel + shift: 0 for the first corner that reaches in
    uint32_t reachX, reachY; // shifted corners from 0 to reach - 1 reach the picture
    int32_t first, stride;   // buffer column (and row) of shifted corner 0; keys per row
    BlockPlace(const PointCanvas& c, const PointMapping& m)
        : x0(m.x0), kx(m.kx), y0(m.y0), ky(m.ky), shiftX(m.offset - c.left + c.side - 1),
          shiftY(m.offset - c.top + c.side - 1), reachX(uint32_t(c.width + c.side - 1)),
          reachY(uint32_t(c.height + c.side - 1)), first(kCanvasMargin - (c.side - 1)),
          stride(c.stride) {}
};

// The cell and key of each point of a block: cell 0 for a square that misses the picture.
QVTK_VECTOR_LOOP QVTK_FINITE_MATH void
PlaceBlock(const BlockPlace& place, const int32_t* __restrict xs, const int32_t* __restrict ys,
           const int* __restrict entries, int n, uint32_t order, int32_t* __restrict cells,
           uint32_t* __restrict keys) {
    const BlockPlace p = place;
    for (int i = 0; i < n; ++i) {
        double fx = p.x0 + double(xs[i]) * p.kx, fy = p.y0 + double(ys[i]) * p.ky;
        fx = fx < -1.0e6 ? -1.0e6 : (fx > 1.0e6 ? 1.0e6 : fx);
        fy = fy < -1.0e6 ? -1.0e6 : (fy > 1.0e6 ? 1.0e6 : fy);
        const uint32_t gx = uint32_t(int32_t(fx + 1.0e6) - 1000000 + p.shiftX);
        const uint32_t gy = uint32_t(int32_t(fy + 1.0e6) - 1000000 + p.shiftY);
        const bool in = gx < p.reachX && gy < p.reachY;
        cells[i] = in ? (int32_t(gy) + p.first) * p.stride + int32_t(gx) + p.first : 0;
        keys[i] = (std::min(order + uint32_t(i), kCanvasMaxOrder) << kCanvasEntryBits) |
                  uint32_t(entries[i] + 1);
    }
}

// Stores the keys of a block in order; the later of two points on one corner keeps it.
void PaintBlock(PointCanvas& c, const PointMapping& m, const int32_t* xs, const int32_t* ys,
                const int* entries, int n) {
    int32_t cells[kBlock];
    uint32_t keys[kBlock];
    PlaceBlock(BlockPlace(c, m), xs, ys, entries, n, c.order, cells, keys);
    c.order = std::min(c.order + uint32_t(n), kCanvasMaxOrder);
    uint32_t* grid = c.keys.data();
    for (int i = 0; i < n; ++i) grid[cells[i]] = keys[i];
}

void BlockColors(const PointRun& run, int32_t at, int n, int* colors) {
    if (run.colorValues)
        MapToEntries(run.colorValues + at, n, run.colorMin, run.colorPerUnit, colors);
    else
        std::fill(colors, colors + n, run.color);
}

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

// Lines keep to the picture and the one pixel around it, which lies in the margin. Their
// keys rise with their order, so a pixel must end with the highest key laid on it: the long
// segments of a block are drawn first (plain stores, over lower keys only), then the ends of
// all its segments keep the higher key.
struct LinePainter {
    const PointCanvas& c;
    uint32_t* keys;
    int left, top, right, bottom; // the pixels a line may light, inclusive
    explicit LinePainter(PointCanvas& canvas)
        : c(canvas), keys(canvas.keys.data()), left(canvas.left - 1), top(canvas.top - 1),
          right(canvas.left + canvas.width), bottom(canvas.top + canvas.height) {}

    bool Inside(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    uint32_t& At(int x, int y) const {
        return keys[ptrdiff_t(y - c.top + kCanvasMargin) * c.stride + (x - c.left + kCanvasMargin)];
    }
    static void Lay(uint32_t& k, uint32_t key) { k = std::max(k, key); }

    // The first n of the 32 keys from p take the key, the others keep theirs: one fixed loop
    // without branches (the buffer has room for it past its end).
    static void Fill32(uint32_t* p, int n, uint32_t key) {
        for (int j = 0; j < 32; ++j) p[j] = j < n ? key : p[j];
    }

    // Both ends included.
    void Segment(int x0, int y0, int x1, int y1, uint32_t key) const {
        if (!Inside(x0, y0) || !Inside(x1, y1)) {
            double ax = x0, ay = y0, bx = x1, by = y1;
            if (!ClipSegment(ax, ay, bx, by, left, top, right, bottom)) return;
            x0 = int(std::lround(ax)), y0 = int(std::lround(ay));
            x1 = int(std::lround(bx)), y1 = int(std::lround(by));
        }
        if (std::abs(x1 - x0) >= std::abs(y1 - y0))
            Flat(x0, y0, x1, y1, key);
        else
            Steep(x0, y0, x1, y1, key);
    }

    // Bresenham's pixels (error dx - dy, a step across when twice the error is at most dx) of
    // a line more across than down, a row at a time: the pixels of a row are one run.
    void Flat(int x0, int y0, int x1, int y1, uint32_t key) const {
        const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const ptrdiff_t down = y0 < y1 ? c.stride : -c.stride;
        uint32_t* row = &At(x0, y0) - (x0 - c.left);
        // Most are one row, or two rows split in the middle, of at most 32 pixels each.
        if (dy <= 1 && dx <= (dy ? 62 : 31)) {
            const int first = dy ? (dx - 1) >> 1 : dx; // steps before the step down
            Fill32(row + ((sx > 0 ? x0 : x0 - first) - c.left), first + 1, key);
            Fill32(row + (dy ? down : 0) + ((sx > 0 ? x0 + first + 1 : x1) - c.left),
                   dy ? dx - first : 0, key);
            return;
        }
        int err = dx - dy;
        for (int x = x0;;) {
            const int remaining = std::abs(x1 - x);
            // Steps along the row before the line steps down.
            int steps = remaining;
            if (dy > 0)
                steps = std::min(steps, std::max(0, (2 * err - dx + 2 * dy - 1) / (2 * dy)));
            uint32_t* run = row + ((sx > 0 ? x : x - steps) - c.left);
            std::fill_n(run, steps + 1, key);
            if (steps == remaining) return;
            x += sx * (steps + 1);
            err += dx - (steps + 1) * dy;
            row += down;
        }
    }

    // The same, a pixel at a time, of a line more down than across: a step down every pixel.
    void Steep(int x0, int y0, int x1, int y1, uint32_t key) const {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const ptrdiff_t down = y0 < y1 ? c.stride : -c.stride;
        uint32_t* p = &At(x0, y0);
        int err = dx + dy;
        for (int left = -dy;; --left) {
            *p = key;
            if (left == 0) return;
            if (2 * err >= dy) err += dy, p += sx;
            err += dx, p += down;
        }
    }
};

// Where the pixels of a block of line points go: their pixels, the buffer cell of each point
// that a line may light (0 for the others), whether the segment that ends there is more than
// its two ends, and its key.
struct LinePlace {
    double x0, kx, y0, ky;
    int32_t offset;
    int32_t left, top;       // the first pixel a line may light, across and down
    uint32_t reachX, reachY; // pixels from there a line may light
    int32_t first, stride;   // its buffer column and row; keys per row
    LinePlace(const PointCanvas& c, const PointMapping& m)
        : x0(m.x0), kx(m.kx), y0(m.y0), ky(m.ky), offset(m.offset), left(c.left - 1),
          top(c.top - 1), reachX(uint32_t(c.width + 2)), reachY(uint32_t(c.height + 2)),
          first(kCanvasMargin - 1), stride(c.stride) {}
};

// px, py, cells hold n + 1 entries: the block's points follow the last point before it, which
// the caller gives.
QVTK_VECTOR_LOOP QVTK_FINITE_MATH void
PlaceLineBlock(const LinePlace& place, const int32_t* __restrict xs, const int32_t* __restrict ys,
               const int* __restrict entries, int n, uint32_t order, int32_t* __restrict px,
               int32_t* __restrict py, int32_t* __restrict cells, uint8_t* __restrict longer,
               uint32_t* __restrict keys) {
    const LinePlace p = place;
    for (int i = 0; i < n; ++i) {
        double fx = p.x0 + double(xs[i]) * p.kx, fy = p.y0 + double(ys[i]) * p.ky;
        fx = fx < -1.0e6 ? -1.0e6 : (fx > 1.0e6 ? 1.0e6 : fx);
        fy = fy < -1.0e6 ? -1.0e6 : (fy > 1.0e6 ? 1.0e6 : fy);
        px[i + 1] = int32_t(fx + 1.0e6) - 1000000 + p.offset;
        py[i + 1] = int32_t(fy + 1.0e6) - 1000000 + p.offset;
        keys[i] = (std::min(order + uint32_t(i), kCanvasMaxOrder) << kCanvasEntryBits) |
                  uint32_t(entries[i] + 1);
    }
    for (int i = 1; i <= n; ++i) {
        const uint32_t gx = uint32_t(px[i] - p.left), gy = uint32_t(py[i] - p.top);
        const bool in = gx < p.reachX && gy < p.reachY;
        cells[i] = in ? (int32_t(gy) + p.first) * p.stride + int32_t(gx) + p.first : 0;
        const uint32_t ax = uint32_t(px[i] - px[i - 1] + 1), ay = uint32_t(py[i] - py[i - 1] + 1);
        longer[i] = !(in && ax <= 2 && ay <= 2);
    }
}

// Each key grows into its square to the right and down: a pixel takes the highest key among
// the side x side corners above and left of it, first along the rows, then down the columns.

// out[j] = the highest of in[j - side + 1 .. j].
template <int S>
__attribute__((always_inline)) inline void GrowRowOf(const uint32_t* __restrict in,
                                                     uint32_t* __restrict out, int count) {
    in += S - 1;
    for (int j = 0; j < count; ++j) {
        uint32_t m = in[j];
        for (int k = 1; k < S; ++k) m = std::max(m, in[j - k]);
        out[j] = m;
    }
}

QVTK_VECTOR_LOOP void GrowRow(const uint32_t* in, uint32_t* out, int count, int side) {
    switch (side) {
    case 2:
        return GrowRowOf<2>(in, out, count);
    case 3:
        return GrowRowOf<3>(in, out, count);
    case 4:
        return GrowRowOf<4>(in, out, count);
    case 5:
        return GrowRowOf<5>(in, out, count);
    case 6:
        return GrowRowOf<6>(in, out, count);
    case 7:
        return GrowRowOf<7>(in, out, count);
    default:
        return GrowRowOf<8>(in, out, count);
    }
}

// out[j] = the highest of rows[0 .. S - 1][j].
template <int S>
__attribute__((always_inline)) inline void MaxOfRowsOf(const uint32_t* const* rows,
                                                       uint32_t* __restrict out, int count) {
    const uint32_t* r[S];
    for (int k = 0; k < S; ++k) r[k] = rows[k];
#pragma GCC ivdep
    for (int j = 0; j < count; ++j) {
        uint32_t m = r[0][j];
        for (int k = 1; k < S; ++k) m = std::max(m, r[k][j]);
        out[j] = m;
    }
}

QVTK_VECTOR_LOOP void MaxOfRows(const uint32_t* const* rows, int side, uint32_t* out, int count) {
    switch (side) {
    case 2:
        return MaxOfRowsOf<2>(rows, out, count);
    case 3:
        return MaxOfRowsOf<3>(rows, out, count);
    case 4:
        return MaxOfRowsOf<4>(rows, out, count);
    case 5:
        return MaxOfRowsOf<5>(rows, out, count);
    case 6:
        return MaxOfRowsOf<6>(rows, out, count);
    case 7:
        return MaxOfRowsOf<7>(rows, out, count);
    default:
        return MaxOfRowsOf<8>(rows, out, count);
    }
}

// A picture row: the top canvas's key where it has one, else the lower one's, through the
// colour table.
QVTK_VECTOR_LOOP void PixelRow(const uint32_t* __restrict top, const uint32_t* __restrict below,
                               const uint32_t* __restrict table, uint32_t* __restrict out,
                               int count) {
    for (int j = 0; j < count; ++j) out[j] = table[(top[j] ? top[j] : below[j]) & kEntryMask];
}

// Picture rows [from, to): each canvas row is grown along once, into a ring of the last side
// rows, and the picture row is made from the ring.
void FinishRows(PointCanvas& c, const PointCanvas& below, bool two, const uint32_t* table, int from,
                int to) {
    const int side = c.side, width = c.width;
    thread_local std::vector<uint32_t> scratch; // the ring of each canvas, then its column max
    scratch.resize(size_t(2 * side + 2) * size_t(width));
    const uint32_t* rows[2][kCanvasMargin] = {};
    for (int y = from - (side - 1); y < to; ++y) {
        const int slot = (y - from + side - 1) % side;
        const uint32_t* keys[2] = {};
        for (int k = 0; k < (two ? 2 : 1); ++k) {
            const PointCanvas& canvas = k == 0 ? c : below;
            const uint32_t* row = canvas.keys.data() +
                                  size_t(y + kCanvasMargin) * size_t(canvas.stride) + kCanvasMargin;
            if (side == 1) {
                keys[k] = row;
                continue;
            }
            uint32_t* grown = &scratch[size_t(k * side + slot) * size_t(width)];
            GrowRow(row - (side - 1), grown, width, side);
            rows[k][slot] = grown;
            if (y < from) continue;
            uint32_t* max = &scratch[size_t(2 * side + k) * size_t(width)];
            MaxOfRows(rows[k], side, max, width);
            keys[k] = max;
        }
        if (y >= from)
            PixelRow(keys[0], two ? keys[1] : keys[0], table, &c.pixels[size_t(y) * size_t(width)],
                     width);
    }
}

} // namespace

void PaintRun(PointCanvas& c, const PointMapping& m, const PointRun& run, int32_t n) {
    int colors[kBlock];
    for (int32_t at = 0; at < n; at += kBlock) {
        const int k = int(std::min<int32_t>(kBlock, n - at));
        BlockColors(run, at, k, colors);
        PaintBlock(c, m, run.x + at, run.y + at, colors, k);
    }
}

QVTK_VECTOR_LOOP void PaintPolyline(PointCanvas& c, const PointMapping& m, const PointRun& run,
                                    int32_t n) {
    if (n <= 0) return;
    const LinePainter line(c);
    const LinePlace place(c, m);
    uint32_t* grid = c.keys.data();
    // Entry 0 of each array: the last point of the block before.
    int32_t px[kBlock + 1], py[kBlock + 1], cells[kBlock + 1];
    uint8_t longer[kBlock + 1];
    uint32_t keys[kBlock];
    int entries[kBlock], longs[kBlock];
    for (int32_t at = 0; at < n; at += kBlock) {
        const int k = int(std::min<int32_t>(kBlock, n - at));
        BlockColors(run, at, k, entries);
        if (at == 0) {
            // The first point: a segment to itself.
            MapToPixels(run.x, 1, m.x0, m.kx, px);
            MapToPixels(run.y, 1, m.y0, m.ky, py);
            px[0] += m.offset, py[0] += m.offset;
        }
        PlaceLineBlock(place, run.x + at, run.y + at, entries, k, c.order, px, py, cells, longer,
                       keys);
        if (at == 0) cells[0] = cells[1];
        c.order = std::min(c.order + uint32_t(k), kCanvasMaxOrder);
        // The segments that are more than their two ends, in order, over what earlier blocks
        // laid; then the ends of every segment (cell 0 for an end outside), each keeping the
        // higher key: a point between two segments takes the later one's.
        int count = 0;
        for (int i = 0; i < k; ++i) {
            longs[count] = i;
            count += longer[i + 1];
        }
        for (int j = 0; j < count; ++j) {
            const int i = longs[j];
            line.Segment(px[i], py[i], px[i + 1], py[i + 1], keys[i]);
        }
        for (int i = 0; i < k; ++i) LinePainter::Lay(grid[cells[i]], keys[i]);
        LinePainter::Lay(grid[cells[k]], keys[k - 1]);
        px[0] = px[k], py[0] = py[k], cells[0] = cells[k];
    }
}

void PointBatch::Flush() {
    if (n_ > 0) PaintBlock(canvas_, mapping_, xs_, ys_, colors_, n_);
    n_ = 0;
}

void FinishCanvas(PointCanvas& c) {
    FinishCanvas(c, c);
}

void FinishCanvas(PointCanvas& top, const PointCanvas& below) {
    PointCanvas& c = top;
    c.pixels.resize(size_t(c.width) * size_t(c.height));
    const bool two = &below != &top && below.stride == c.stride &&
                     below.keys.size() == c.keys.size() && below.side == c.side;
    // Entry + 1 to colour; 0 (no point) is transparent.
    uint32_t table[kEntryMask + 1] = {};
    for (size_t e = 0; e < c.colors.size() && e < kEntryMask; ++e) table[e + 1] = c.colors[e];
    // Bands of rows on both threads.
    constexpr int kBands = 8;
    ParallelFor(kBands, [&](int band) {
        FinishRows(c, below, two, table, c.height * band / kBands, c.height * (band + 1) / kBands);
    });
}

void DrawCanvas(const PointCanvas& c) {
    if (c.pixels.empty()) return;
    RenderPixels(c.pixels.data(), c.width, c.height, c.width, float(c.left), float(c.top));
}

} // namespace qvtk
