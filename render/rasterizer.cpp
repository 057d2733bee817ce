#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <type_traits>

#include "render/blend4.h"
#include "render/raster_ops.h"

namespace qvtk {

using namespace raster;

namespace {

bool Finite(const RenderVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// ---- Lines ------------------------------------------------------------------------------

// Colour channels a, r, g, b as doubles, for interpolation.
struct Channels {
    double c[4];
};
Channels ChannelsOf(uint32_t color) {
    return {{double(color >> 24), double(color >> 16 & 0xFF), double(color >> 8 & 0xFF),
             double(color & 0xFF)}};
}
Channels Lerp(const Channels& a, const Channels& b, double t) {
    Channels r;
    for (int k = 0; k < 4; ++k) r.c[k] = a.c[k] + (b.c[k] - a.c[k]) * t;
    return r;
}

// 16.16 fixed-point channels stepping along a line or a span.
struct ChannelStepper {
    int32_t v[4], d[4];
    void Setup(const Channels& from, const Channels& to, int steps) {
        for (int k = 0; k < 4; ++k) {
            int32_t a = int32_t(std::lround(std::clamp(from.c[k], 0.0, 255.0) * 65536.0));
            int32_t b = int32_t(std::lround(std::clamp(to.c[k], 0.0, 255.0) * 65536.0));
            v[k] = a;
            d[k] = steps > 0 ? (b - a) / steps : 0;
        }
    }
    uint32_t Color() const {
        return uint32_t(v[0] >> 16) << 24 | uint32_t(v[1] >> 16) << 16 | uint32_t(v[2] >> 16) << 8 |
               uint32_t(v[3] >> 16);
    }
    void Step() {
        for (int k = 0; k < 4; ++k) v[k] += d[k];
    }
};

// Liang-Barsky: the part of the segment inside the box, as parameters t0..t1.
bool ClipSegment(double x0, double y0, double x1, double y1, double xmin, double xmax, double ymin,
                 double ymax, double& t0, double& t1) {
    double dx = x1 - x0, dy = y1 - y0;
    t0 = 0;
    t1 = 1;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
        return true;
    };
    return edge(-dx, x0 - xmin) && edge(dx, xmax - x0) && edge(-dy, y0 - ymin) &&
           edge(dy, ymax - y0) && t0 <= t1;
}

// The pixel of a point (centre at integer coordinates), kept within the box.
inline int PixelOf(double v, double lo, double hi) {
    return int(std::floor(std::clamp(v, lo, hi) + 0.5));
}

// Integer Bresenham from (x0, y0) to (x1, y1), both included (the first one skipped when asked).
template <class Op, bool Gouraud, bool Checked>
void PlotLine(const RasterTarget& target, const ClipBox& clip, const ColorSource& source, int x0,
              int y0, int x1, int y1, bool skipFirst, uint32_t src, ChannelStepper color) {
    int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    bool xMajor = dx >= dy;
    int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    ptrdiff_t stride = target.stride;
    ptrdiff_t stepMajor = xMajor ? sx : sy * stride, stepMinor = xMajor ? sy * stride : sx;
    int majorX = xMajor ? sx : 0, majorY = xMajor ? 0 : sy;
    int minorX = xMajor ? 0 : sx, minorY = xMajor ? sy : 0;
    int err = 2 * minor - major;
    ptrdiff_t off = ptrdiff_t(y0) * stride + x0;
    int x = x0, y = y0;
    uint32_t* pixels = target.pixels;
    for (int k = 0; k <= major; ++k) {
        if (!(Checked && !clip.Contains(x, y)) && !(k == 0 && skipFirst)) {
            uint32_t s = Gouraud ? source(color.Color()) : src;
            pixels[off] = Op::Apply(pixels[off], s);
        }
        if (err > 0) {
            off += stepMinor;
            if constexpr (Checked) x += minorX, y += minorY;
            err -= 2 * major;
        }
        err += 2 * minor;
        off += stepMajor;
        if constexpr (Checked) x += majorX, y += majorY;
        if constexpr (Gouraud) color.Step();
    }
}

// A vertical run of one colour, the common segment of dense graphs: straight down a column.
template <class Op>
void PlotColumn(const RasterTarget& target, const ClipBox& clip, int x, int y0, int y1,
                bool skipFirst, uint32_t src) {
    if (x < clip.l || x >= clip.r) return;
    int top = std::min(y0, y1), bottom = std::max(y0, y1);
    if (skipFirst) (y0 <= y1 ? top : bottom) += y0 <= y1 ? 1 : -1;
    top = std::max(top, clip.t);
    bottom = std::min(bottom, clip.b - 1);
    // The stride in a local: the pixel stores could alias the target's fields otherwise.
    const ptrdiff_t stride = target.stride;
    uint32_t* p = target.pixels + ptrdiff_t(top) * stride + x;
    for (int y = top; y <= bottom; ++y, p += stride) *p = Op::Apply(*p, src);
}

// Draws one segment; `last` is the pixel the previous segment of a strip ended on (updated).
template <class Op>
void DrawSegment(const RasterTarget& target, const ClipBox& clip, const ColorSource& source,
                 const RenderVertex& a, const RenderVertex& b, bool strip, bool& hasLast,
                 int& lastX, int& lastY) {
    if (!Finite(a) || !Finite(b)) {
        hasLast = false;
        return;
    }
    // A margin of a pixel around the clip keeps the rounded end points of clipped lines on
    // the same path as unclipped ones near the edge.
    double xmin = clip.l - 1.0, xmax = clip.r, ymin = clip.t - 1.0, ymax = clip.b;
    double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y, t0 = 0, t1 = 1;
    int px0, py0, px1, py1;
    if (x0 >= clip.l && x0 < clip.r - 1 && x1 >= clip.l && x1 < clip.r - 1 && y0 >= clip.t &&
        y0 < clip.b - 1 && y1 >= clip.t && y1 < clip.b - 1) {
        // The common case: the whole segment inside, nothing to clip.
        px0 = int(x0 + 0.5), py0 = int(y0 + 0.5), px1 = int(x1 + 0.5), py1 = int(y1 + 0.5);
    } else {
        if (!ClipSegment(x0, y0, x1, y1, xmin, xmax, ymin, ymax, t0, t1)) {
            hasLast = false;
            return;
        }
        double dx = x1 - x0, dy = y1 - y0;
        double cx0 = t0 > 0 ? x0 + dx * t0 : x0, cy0 = t0 > 0 ? y0 + dy * t0 : y0;
        double cx1 = t1 < 1 ? x1 - dx * (1 - t1) : x1, cy1 = t1 < 1 ? y1 - dy * (1 - t1) : y1;
        px0 = PixelOf(cx0, xmin, xmax), py0 = PixelOf(cy0, ymin, ymax);
        px1 = PixelOf(cx1, xmin, xmax), py1 = PixelOf(cy1, ymin, ymax);
    }
    bool skipFirst = strip && hasLast && px0 == lastX && py0 == lastY;
    hasLast = true;
    lastX = px1;
    lastY = py1;
    bool checked = !clip.Contains(px0, py0) || !clip.Contains(px1, py1);
    ChannelStepper color{};
    if (a.color == b.color) {
        uint32_t src = source(a.color);
        if (px0 == px1) {
            PlotColumn<Op>(target, clip, px0, py0, py1, skipFirst, src);
            return;
        }
        if (checked)
            PlotLine<Op, false, true>(target, clip, source, px0, py0, px1, py1, skipFirst, src,
                                      color);
        else
            PlotLine<Op, false, false>(target, clip, source, px0, py0, px1, py1, skipFirst, src,
                                       color);
        return;
    }
    Channels ca = ChannelsOf(a.color), cb = ChannelsOf(b.color);
    int steps = std::max(std::abs(px1 - px0), std::abs(py1 - py0));
    color.Setup(t0 > 0 ? Lerp(ca, cb, t0) : ca, t1 < 1 ? Lerp(ca, cb, t1) : cb, steps);
    if (checked)
        PlotLine<Op, true, true>(target, clip, source, px0, py0, px1, py1, skipFirst, 0, color);
    else
        PlotLine<Op, true, false>(target, clip, source, px0, py0, px1, py1, skipFirst, 0, color);
}

// ---- Runs of vertical spans ----------------------------------------------------------------
// The curves of a dense recording are one vertical span per pixel column. Drawn column by
// column every pixel lands on another cache line; a run of neighbouring columns is filled row
// by row instead, with the same pixels as DrawSegment gives each span.

constexpr int kSpanRunMax = 32;

// Rows top..bottom before clipping; `at` is its first vertex in a vertex list.
struct VerticalSpan : RenderSpan {
    int at = -1;
};

// A segment that is a vertical span of one colour (at coordinates a pixel row can hold).
bool AsVerticalSpan(const RenderVertex& a, const RenderVertex& b, VerticalSpan& span) {
    constexpr float kFar = 1.0e7f;
    if (a.color != b.color || a.x != b.x || !(std::fabs(a.x) < kFar) || !(std::fabs(a.y) < kFar) ||
        !(std::fabs(b.y) < kFar))
        return false;
    span.x = int(std::floor(double(a.x) + 0.5));
    span.top = int(std::floor(double(std::min(a.y, b.y)) + 0.5));
    span.bottom = int(std::floor(double(std::max(a.y, b.y)) + 0.5));
    span.color = a.color;
    return true;
}

// Spans of one colour at columns x0, x0 + 1, ... The select of the row loop is twice as wide
// where the processor has AVX2.
__attribute__((target_clones("avx2", "default"))) void FillSpanRun(const RasterTarget& target,
                                                                   const ClipBox& clip,
                                                                   const VerticalSpan* spans, int n,
                                                                   uint32_t src) {
    // Every span lies in a column inside the clip (the caller leaves the others out).
    int top[kSpanRunMax], bottom[kSpanRunMax];
    int lo = clip.b, hi = clip.t - 1;
    int64_t filled = 0;
    for (int j = 0; j < n; ++j) {
        top[j] = std::max(spans[j].top, clip.t);
        bottom[j] = std::min(spans[j].bottom, clip.b - 1);
        if (top[j] > bottom[j]) continue;
        lo = std::min(lo, top[j]);
        hi = std::max(hi, bottom[j]);
        filled += bottom[j] - top[j] + 1;
    }
    if (lo > hi) return;
    const ptrdiff_t stride = target.stride;
    const int x0 = spans[0].x;
    if (filled * 4 < int64_t(hi - lo + 1) * n) { // sparse: short spans far apart
        for (int j = 0; j < n; ++j) {
            uint32_t* p = target.pixels + ptrdiff_t(top[j]) * stride + x0 + j;
            for (int y = top[j]; y <= bottom[j]; ++y, p += stride) *p = src;
        }
        return;
    }
    constexpr int kAhead = 6; // rows: each row lies on another page, beyond the prefetchers
    for (int y = lo; y <= hi; ++y) {
        uint32_t* row = target.pixels + ptrdiff_t(y) * stride + x0;
        if (y + kAhead <= hi) {
            __builtin_prefetch(row + kAhead * stride, 1);
            __builtin_prefetch(row + kAhead * stride + n - 1, 1);
        }
        for (int j = 0; j < n; ++j) // a select, not a branch: span edges are unpredictable
            row[j] = ((y >= top[j]) & (y <= bottom[j])) ? src : row[j];
    }
}

// Opaque vertical spans gathered into runs of neighbouring columns of one colour; `single`
// draws a span that has no neighbour.
template <class Single> struct OpaqueRuns {
    const RasterTarget& target;
    const ClipBox& clip;
    const ColorSource& source;
    Single single;
    VerticalSpan run[kSpanRunMax]{};
    int n = 0;

    void Add(const VerticalSpan& span) {
        // A column beside the clip draws nothing; kept out of runs, whose row-by-row fill
        // touches every column of the run on every row.
        if (span.x < clip.l || span.x >= clip.r) return;
        if (n > 0 &&
            (n == kSpanRunMax || span.x != run[n - 1].x + 1 || span.color != run[n - 1].color))
            Flush();
        run[n++] = span;
    }
    void Flush() {
        if (n == 1)
            single(run[0]);
        else if (n > 1)
            FillSpanRun(target, clip, run, n, source(run[0].color));
        n = 0;
    }
};

// Segments i, i + 2, ... of a line list; runs of opaque vertical spans are filled together.
void DrawOpaqueList(const RasterTarget& target, const ClipBox& clip, const ColorSource& source,
                    const RenderVertex* v, int count) {
    auto segment = [&](int i) {
        bool hasLast = false;
        int lastX = 0, lastY = 0;
        DrawSegment<OpReplace>(target, clip, source, v[i], v[i + 1], false, hasLast, lastX, lastY);
    };
    auto single = [&](const VerticalSpan& one) { segment(one.at); };
    OpaqueRuns<decltype(single)> runs{target, clip, source, single};
    for (int i = 0; i + 1 < count; i += 2) {
        VerticalSpan span;
        if (!AsVerticalSpan(v[i], v[i + 1], span)) {
            runs.Flush();
            segment(i);
            continue;
        }
        span.at = i;
        runs.Add(span);
    }
    runs.Flush();
}

// Blended runs are long: the lap marks of a whole window are one pass down the rows, each row
// from left to right, as the memory lies.
constexpr int kBlendRunMax = 1024;

#if defined(__SSE2__)
// A row that every span of a blended run covers, four spans at a time where they lie in four
// different columns (a column that two spans share sees them one after the other).
struct CommonRowsOver4 {
    bool apart[kBlendRunMax / 4];
    __m128i source[kBlendRunMax / 4];

    void Prepare(const int* x, const uint32_t* src, int n) {
        for (int g = 0; g < n / 4; ++g) {
            const int* q = x + 4 * g;
            apart[g] = q[0] != q[1] && q[0] != q[2] && q[0] != q[3] && q[1] != q[2] &&
                       q[1] != q[3] && q[2] != q[3];
            source[g] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * g));
        }
    }
    void Blend(uint32_t* row, const int* x, const uint32_t* src, int n) const {
        int j = 0;
        for (int g = 0; g < n / 4; ++g, j += 4) {
            if (apart[g]) {
                blend4::Scatter(row, x + j, blend4::Over(blend4::Gather(row, x + j), source[g]));
                continue;
            }
            for (int k = j; k < j + 4; ++k) row[x[k]] = OpOver::Apply(row[x[k]], src[k]);
        }
        for (; j < n; ++j) row[x[j]] = OpOver::Apply(row[x[j]], src[j]);
    }
};
#endif

// Blended vertical spans at any columns (lap marks, guide lines), row by row: column by column
// each pixel would be a cache line of its own. Each span keeps its own colour, and on every
// row the spans are blended in list order, so a pixel that several cover sees them in the
// order the list gives.
template <class Op>
void BlendSpanRun(const RasterTarget& target, const ClipBox& clip, const VerticalSpan* spans, int n,
                  const uint32_t* src) {
    int top[kBlendRunMax], bottom[kBlendRunMax], x[kBlendRunMax];
    int lo = clip.b, hi = clip.t - 1;
    int commonTop = clip.t - 1, commonBottom = clip.b; // rows every span covers
    for (int j = 0; j < n; ++j) {
        x[j] = spans[j].x;
        top[j] = std::max(spans[j].top, clip.t);
        bottom[j] = std::min(spans[j].bottom, clip.b - 1);
        commonTop = std::max(commonTop, top[j]);
        commonBottom = std::min(commonBottom, bottom[j]);
        if (top[j] > bottom[j]) continue;
        lo = std::min(lo, top[j]);
        hi = std::max(hi, bottom[j]);
    }
#if defined(__SSE2__)
    CommonRowsOver4 four;
    if constexpr (std::is_same_v<Op, OpOver>) four.Prepare(x, src, n);
#endif
    for (int y = lo; y <= hi; ++y) {
        uint32_t* row = target.pixels + ptrdiff_t(y) * target.stride;
        if (y >= commonTop && y <= commonBottom) { // lap marks: every span, no test
#if defined(__SSE2__)
            if constexpr (std::is_same_v<Op, OpOver>) {
                four.Blend(row, x, src, n);
                continue;
            }
#endif
            for (int j = 0; j < n; ++j) row[x[j]] = Op::Apply(row[x[j]], src[j]);
            continue;
        }
        for (int j = 0; j < n; ++j)
            if (y >= top[j] && y <= bottom[j]) row[x[j]] = Op::Apply(row[x[j]], src[j]);
    }
}

// A blended line list; runs of vertical spans are drawn together, whatever their colours.
template <class Op>
void DrawBlendedList(const RasterTarget& target, const ClipBox& clip, const ColorSource& source,
                     const RenderVertex* v, int count) {
    VerticalSpan run[kBlendRunMax];
    uint32_t src[kBlendRunMax];
    int n = 0;
    auto segment = [&](int i) {
        bool hasLast = false;
        int lastX = 0, lastY = 0;
        DrawSegment<Op>(target, clip, source, v[i], v[i + 1], false, hasLast, lastX, lastY);
    };
    auto flush = [&] {
        if (n == 1)
            segment(run[0].at);
        else if (n > 1)
            BlendSpanRun<Op>(target, clip, run, n, src);
        n = 0;
    };
    for (int i = 0; i + 1 < count; i += 2) {
        VerticalSpan span;
        if (!AsVerticalSpan(v[i], v[i + 1], span)) {
            flush();
            segment(i);
            continue;
        }
        if (span.x < clip.l || span.x >= clip.r) continue;
        span.at = i;
        if (n == kBlendRunMax) flush();
        src[n] = n > 0 && span.color == run[n - 1].color ? src[n - 1] : source(span.color);
        run[n++] = span;
    }
    flush();
}

void DrawLines(const RasterTarget& target, const RenderVertex* v, int count, bool strip) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !v || count < 2) return;
    ColorSource source = SourceOf(target);
    if (!strip && target.mode == BlendMode::None) {
        DrawOpaqueList(target, clip, source, v, count);
        return;
    }
    if (!strip) {
        WithOp(target.mode,
               [&]<class Op>() { DrawBlendedList<Op>(target, clip, source, v, count); });
        return;
    }
    WithOp(target.mode, [&]<class Op>() {
        bool hasLast = false;
        int lastX = 0, lastY = 0;
        if (strip) {
            for (int i = 0; i + 1 < count; ++i)
                DrawSegment<Op>(target, clip, source, v[i], v[i + 1], true, hasLast, lastX, lastY);
        } else {
            for (int i = 0; i + 1 < count; i += 2)
                DrawSegment<Op>(target, clip, source, v[i], v[i + 1], false, hasLast, lastX, lastY);
        }
    });
}

// ---- Triangles --------------------------------------------------------------------------

// An edge as a function of the row: x(y) = px + (y - py) slope. The end points are put in
// one order first, so that two triangles sharing the edge compute the very same crossings and
// split its pixels exactly.
struct Edge {
    double px = 0, py = 0, slope = 0;
    Edge(const RenderVertex* p, const RenderVertex* q) {
        if (q->y < p->y || (q->y == p->y && q->x < p->x)) std::swap(p, q);
        px = p->x;
        py = p->y;
        double height = double(q->y) - py;
        slope = height != 0 ? (double(q->x) - px) / height : 0;
    }
    double X(double y) const { return px + (y - py) * slope; }
};

// One colour channel in 16.16 fixed point, clamped on the way out (steps may stray a little
// beyond the vertex values at the span ends).
inline uint32_t Channel(int64_t v) {
    return uint32_t(std::clamp<int64_t>(v >> 16, 0, 255));
}

template <class Op>
void FillTriangle(const RasterTarget& target, const ClipBox& clip, const ColorSource& source,
                  const RenderVertex& a, const RenderVertex& b, const RenderVertex& c) {
    if (!Finite(a) || !Finite(b) || !Finite(c)) return;
    const RenderVertex* v[3] = {&a, &b, &c};
    std::sort(v, v + 3, [](const RenderVertex* p, const RenderVertex* q) { return p->y < q->y; });
    double y1 = v[1]->y;
    int rowBegin = CeilWithin(v[0]->y, clip.t, clip.b),
        rowEnd = CeilWithin(v[2]->y, clip.t, clip.b);
    if (rowBegin >= rowEnd) return;
    Edge longEdge(v[0], v[2]), upper(v[0], v[1]), lower(v[1], v[2]);

    bool flat = a.color == b.color && a.color == c.color;
    uint32_t src = flat ? source(a.color) : 0;
    // Colour planes c(x, y) = c0 + gx (x - ax) + gy (y - ay) of the Gouraud triangle.
    double ax = a.x, ay = a.y, gx[4] = {}, gy[4] = {};
    Channels c0 = ChannelsOf(a.color);
    int64_t step[4] = {};
    if (!flat) {
        double bx = double(b.x) - ax, by = double(b.y) - ay;
        double cx = double(c.x) - ax, cy = double(c.y) - ay;
        double det = bx * cy - cx * by;
        if (det == 0) return; // no area, no pixels
        Channels cb = ChannelsOf(b.color), cc = ChannelsOf(c.color);
        for (int k = 0; k < 4; ++k) {
            double db = cb.c[k] - c0.c[k], dc = cc.c[k] - c0.c[k];
            gx[k] = (db * cy - dc * by) / det;
            gy[k] = (dc * bx - db * cx) / det;
            step[k] = int64_t(std::clamp(gx[k], -255.0, 255.0) * 65536.0);
        }
    }

    ptrdiff_t stride = target.stride;
    for (int j = rowBegin; j < rowEnd; ++j) {
        double xa = longEdge.X(j);
        double xb = j < y1 ? upper.X(j) : lower.X(j);
        int i0 = CeilWithin(std::min(xa, xb), clip.l, clip.r);
        int i1 = CeilWithin(std::max(xa, xb), clip.l, clip.r);
        if (i0 >= i1) continue;
        uint32_t* p = target.pixels + ptrdiff_t(j) * stride + i0;
        uint32_t* end = p + (i1 - i0);
        if (flat) {
            if constexpr (std::is_same_v<Op, OpReplace>) {
                std::fill(p, end, src);
            } else {
                for (; p < end; ++p) *p = Op::Apply(*p, src);
            }
            continue;
        }
        int64_t value[4];
        for (int k = 0; k < 4; ++k) {
            double start = c0.c[k] + gx[k] * (i0 - ax) + gy[k] * (j - ay);
            value[k] = int64_t(std::clamp(start, 0.0, 255.0) * 65536.0 + 0.5);
        }
        for (; p < end; ++p) {
            uint32_t color = Channel(value[0]) << 24 | Channel(value[1]) << 16 |
                             Channel(value[2]) << 8 | Channel(value[3]);
            *p = Op::Apply(*p, source(color));
            for (int k = 0; k < 4; ++k) value[k] += step[k];
        }
    }
}

// ---- Boxes, images, layers --------------------------------------------------------------

template <class Op>
void FillRows(const RasterTarget& target, int l, int t, int r, int b, uint32_t src) {
    for (int j = t; j < b; ++j) {
        uint32_t* p = target.pixels + ptrdiff_t(j) * target.stride + l;
        uint32_t* end = p + (r - l);
        if constexpr (std::is_same_v<Op, OpReplace>) {
            std::fill(p, end, src);
            continue;
        }
#if defined(__SSE2__)
        // Four pixels at once, the same arithmetic: over, and the subtraction that floors each
        // colour channel at 0 and keeps the destination's alpha.
        if constexpr (std::is_same_v<Op, OpOver> || std::is_same_v<Op, OpSub>) {
            const __m128i s = std::is_same_v<Op, OpOver> ? _mm_set1_epi32(int(src))
                                                         : _mm_set1_epi32(int(src & 0x00FFFFFFu));
            for (; end - p >= 4; p += 4) {
                __m128i* at = reinterpret_cast<__m128i*>(p);
                const __m128i d = _mm_loadu_si128(at);
                _mm_storeu_si128(at, std::is_same_v<Op, OpOver> ? blend4::Over(d, s)
                                                                : _mm_subs_epu8(d, s));
            }
        }
#endif
        for (; p < end; ++p) *p = Op::Apply(*p, src);
    }
}

} // namespace

void RasterLineStrip(const RasterTarget& target, const RenderVertex* vertices, int count) {
    DrawLines(target, vertices, count, true);
}

void RasterLineList(const RasterTarget& target, const RenderVertex* vertices, int count) {
    DrawLines(target, vertices, count, false);
}

void RasterSpans(const RasterTarget& target, const RenderSpan* spans, int count) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !spans || count < 1) return;
    ColorSource source = SourceOf(target);
    if (target.mode == BlendMode::None) {
        auto single = [&](const VerticalSpan& one) {
            FillSpanRun(target, clip, &one, 1, source(one.color));
        };
        OpaqueRuns<decltype(single)> runs{target, clip, source, single};
        for (int i = 0; i < count; ++i) runs.Add(VerticalSpan{spans[i]});
        runs.Flush();
        return;
    }
    WithOp(target.mode, [&]<class Op>() {
        VerticalSpan run[kBlendRunMax];
        uint32_t src[kBlendRunMax];
        int n = 0;
        for (int i = 0; i < count; ++i) {
            if (spans[i].x < clip.l || spans[i].x >= clip.r) continue;
            run[n] = VerticalSpan{spans[i]};
            src[n] = source(spans[i].color);
            if (++n == kBlendRunMax) {
                BlendSpanRun<Op>(target, clip, run, n, src);
                n = 0;
            }
        }
        if (n > 0) BlendSpanRun<Op>(target, clip, run, n, src);
    });
}

void RasterTriangleList(const RasterTarget& target, const RenderVertex* vertices, int count) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !vertices || count < 3) return;
    ColorSource source = SourceOf(target);
    WithOp(target.mode, [&]<class Op>() {
        for (int i = 0; i + 2 < count; i += 3)
            FillTriangle<Op>(target, clip, source, vertices[i], vertices[i + 1], vertices[i + 2]);
    });
}

void RasterFillBox(const RasterTarget& target, double left, double top, double right, double bottom,
                   uint32_t color) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) ||
        !std::isfinite(bottom))
        return;
    int l, r, t, b;
    CoveredRange(left, right, clip.l, clip.r, l, r);
    CoveredRange(top, bottom, clip.t, clip.b, t, b);
    if (l >= r || t >= b) return;
    uint32_t src = SourceOf(target)(color);
    WithOp(target.mode, [&]<class Op>() { FillRows<Op>(target, l, t, r, b, src); });
}

void RasterClear(const RasterTarget& target, uint32_t color) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty()) return;
    uint32_t src = target.opaque ? color | 0xFF000000u : Premultiply(color, color >> 24);
    FillRows<OpReplace>(target, clip.l, clip.t, clip.r, clip.b, src);
}

} // namespace qvtk
