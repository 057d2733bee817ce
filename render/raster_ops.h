#pragma once
// What the rasterizer's routines share: the exact blend arithmetic on premultiplied pixels,
// the blend operations, the clip, and the source colour of a blend. For render/ only.
#include <algorithm>
#include <cstdint>

#include "render/rasterizer.h"

namespace qvtk::raster {

// Exact rounded t / 255 for t <= 65025.
inline uint32_t Div255(uint32_t t) {
    t += 128;
    return (t + (t >> 8)) >> 8;
}

// All four channels times a / 255, rounded; two channels per 32-bit lane pair.
inline uint32_t Scale(uint32_t p, uint32_t a) {
    uint32_t rb = (p & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((p >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// A colour (0xAARRGGBB, not premultiplied) premultiplied by alpha a.
inline uint32_t Premultiply(uint32_t color, uint32_t a) {
    return Scale(color | 0xFF000000u, a);
}

// The blend operations on premultiplied pixels; `s` is already scaled by the blend alpha.
struct OpReplace {
    static uint32_t Apply(uint32_t, uint32_t s) { return s; }
};
struct OpOver {
    static uint32_t Apply(uint32_t d, uint32_t s) { return s + Scale(d, 255 - (s >> 24)); }
};
struct OpAdd {
    static uint32_t Apply(uint32_t d, uint32_t s) {
        uint32_t rb = (d & 0x00FF00FFu) + (s & 0x00FF00FFu);
        uint32_t ag = ((d >> 8) & 0x00FF00FFu) + ((s >> 8) & 0x00FF00FFu);
        rb |= ((rb >> 8) & 0x00010001u) * 0xFFu;
        ag |= ((ag >> 8) & 0x00010001u) * 0xFFu;
        return (rb & 0x00FF00FFu) | ((ag & 0x00FF00FFu) << 8);
    }
};
// Subtracts the colour channels, floored at 0; the destination keeps its alpha.
struct OpSub {
    static uint32_t Apply(uint32_t d, uint32_t s) {
        uint32_t rb = ((d & 0x00FF00FFu) | 0x01000100u) - (s & 0x00FF00FFu);
        rb &= ((rb >> 8) & 0x00010001u) * 0xFFu;
        uint32_t g = (((d >> 8) & 0xFFu) | 0x100u) - ((s >> 8) & 0xFFu);
        g &= ((g >> 8) & 1u) * 0xFFu;
        return (d & 0xFF000000u) | rb | g << 8;
    }
};

// The clip rectangle within the buffer.
struct ClipBox {
    int l, t, r, b;
    bool Empty() const { return l >= r || t >= b; }
    bool Contains(int x, int y) const {
        return unsigned(x - l) < unsigned(r - l) && unsigned(y - t) < unsigned(b - t);
    }
};

inline ClipBox ClipOf(const RasterTarget& target) {
    ClipBox c{std::max(0, target.clipLeft), std::max(0, target.clipTop),
              std::min(target.width, target.clipRight), std::min(target.height, target.clipBottom)};
    if (!target.pixels || c.Empty()) c = {0, 0, 0, 0};
    return c;
}

inline int BlendAlpha(const RasterTarget& target) {
    return std::clamp(target.alpha, 0, 255);
}

// The premultiplied source of a colour in the target's blend.
struct ColorSource {
    bool replace, opaque;
    uint32_t alpha;
    uint32_t operator()(uint32_t color) const {
        if (replace) return opaque ? color | 0xFF000000u : Premultiply(color, color >> 24);
        return Premultiply(color, Div255((color >> 24) * alpha));
    }
};

inline ColorSource SourceOf(const RasterTarget& target) {
    return {target.mode == BlendMode::None, target.opaque, uint32_t(BlendAlpha(target))};
}

// Calls f.template operator()<Op>() with the operation of the target's mode.
template <class F> void WithOp(BlendMode mode, F&& f) {
    switch (mode) {
    case BlendMode::None:
        f.template operator()<OpReplace>();
        break;
    case BlendMode::Alpha:
    case BlendMode::Translucent:
        f.template operator()<OpOver>();
        break;
    case BlendMode::Additive:
        f.template operator()<OpAdd>();
        break;
    case BlendMode::Subtractive:
        f.template operator()<OpSub>();
        break;
    }
}

// The first pixel index i with i >= x (a left edge that includes its pixels), within lo..hi.
inline int CeilWithin(double x, int lo, int hi) {
    if (!(x > lo)) return lo;
    if (x >= hi) return hi;
    int i = int(x); // x > lo >= 0 here: truncation is floor, and no call to ceil
    return i + (i < x);
}

// The pixels whose centres lie in [lo, hi) along one axis, within the clip.
inline void CoveredRange(double lo, double hi, int clipLo, int clipHi, int& first, int& end) {
    if (hi < lo) std::swap(lo, hi);
    first = CeilWithin(lo - 0.5, clipLo, clipHi);
    end = CeilWithin(hi - 0.5, clipLo, clipHi);
}

} // namespace qvtk::raster
