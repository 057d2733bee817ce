// The rasterizer's pictures: images stretched or turned onto the target, coverage masks (the
// glyphs of text) and layers, and one pixel through a blend.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <type_traits>

#include "render/blend4.h"
#include "render/raster_ops.h"
#include "render/rasterizer.h"

namespace qvtk {

using namespace raster;

namespace {

template <class Op, bool Transparent, bool ColorKey, bool Scaled>
void ImageRows(const RasterTarget& target, const RasterImage& image, int i0, int i1, int j0, int j1,
               double x, double y, double width, double height) {
    uint32_t alpha = uint32_t(BlendAlpha(target));
    double su = image.width / width, sv = image.height / height;
    // Texel steps in 16.16, bounded so that absurd sizes cannot overflow.
    int64_t du = int64_t(std::llround(std::min(su * 65536.0, 1e12)));
    int64_t uStart = int64_t(std::clamp(std::floor((i0 + 0.5 - x) * su * 65536.0), 0.0, 1e15));
    for (int j = j0; j < j1; ++j) {
        double tv = std::clamp(std::floor((j + 0.5 - y) * sv), 0.0, image.height - 1.0);
        const uint32_t* row = image.pixels + ptrdiff_t(tv) * image.stride;
        uint32_t* p = target.pixels + ptrdiff_t(j) * target.stride + i0;
        int64_t u = uStart;
        int i = i0;
#if defined(__SSE2__)
        if constexpr (std::is_same_v<Op, OpOver>) // four pixels at once, the same arithmetic
            for (; i + 4 <= i1; i += 4, p += 4, u += 4 * du) {
                auto texel = [&](int64_t at) {
                    return int(row[std::min(int64_t(at >> 16), int64_t(image.width - 1))]);
                };
                __m128i s = _mm_set_epi32(texel(u + 3 * du), texel(u + 2 * du), texel(u + du),
                                          texel(u));
                if constexpr (!Transparent) {
                    s = _mm_or_si128(s, _mm_set1_epi32(int(0xFF000000u)));
                } else if constexpr (ColorKey) { // the key colour: as clear, over changes nothing
                    const __m128i rgb = _mm_and_si128(s, _mm_set1_epi32(0x00FFFFFF));
                    s = _mm_andnot_si128(_mm_cmpeq_epi32(rgb, _mm_setzero_si128()), s);
                }
                __m128i* at = reinterpret_cast<__m128i*>(p);
                if constexpr (Transparent) { // clear texels leave the pixels as they are
                    if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) == 0xFFFF)
                        continue;
                }
                if constexpr (!Scaled) { // opaque texels cover: what over would give
                    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
                    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, opaque), opaque)) ==
                        0xFFFF) {
                        _mm_storeu_si128(at, s);
                        continue;
                    }
                }
                if constexpr (Scaled) s = blend4::ScalePixels(s, _mm_set1_epi32(int(alpha)));
                _mm_storeu_si128(at, blend4::Over(_mm_loadu_si128(at), s));
            }
#endif
        for (; i < i1; ++i, ++p, u += du) {
            uint32_t s = row[std::min(int64_t(u >> 16), int64_t(image.width - 1))];
            if constexpr (!Transparent) {
                s |= 0xFF000000u;
            } else if constexpr (ColorKey) {
                if ((s & 0x00FFFFFFu) == 0) continue;
            } else {
                if (s == 0) continue; // clear: nothing to blend (most of a course map)
            }
            if constexpr (Transparent && !Scaled && std::is_same_v<Op, OpOver>) {
                if (s >= 0xFF000000u) { // an opaque texel covers: what over would give
                    *p = s;
                    continue;
                }
            }
            if constexpr (Scaled) s = Scale(s, alpha);
            *p = Op::Apply(*p, s);
        }
    }
}

} // namespace

void RasterDrawImage(const RasterTarget& target, const RasterImage& image, double x, double y,
                     double width, double height, bool transparent) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !image.pixels || image.width <= 0 || image.height <= 0) return;
    if (!std::isfinite(x) || !std::isfinite(y) || !(width > 0) || !(height > 0) ||
        !std::isfinite(width) || !std::isfinite(height))
        return;
    int i0, i1, j0, j1;
    CoveredRange(x, x + width, clip.l, clip.r, i0, i1);
    CoveredRange(y, y + height, clip.t, clip.b, j0, j1);
    if (i0 >= i1 || j0 >= j1) return;
    bool scaled = BlendAlpha(target) != 255;
    auto rows = [&]<class Op, bool T, bool K, bool S>() {
        ImageRows<Op, T, K, S>(target, image, i0, i1, j0, j1, x, y, width, height);
    };
    // Without blending the pixels are copied; a transparent copy still lets the alpha through.
    if (target.mode == BlendMode::None) {
        if (!transparent)
            rows.template operator()<OpReplace, false, false, false>();
        else if (image.colorKey)
            rows.template operator()<OpOver, true, true, false>();
        else
            rows.template operator()<OpOver, true, false, false>();
        return;
    }
    WithOp(target.mode, [&]<class Op>() {
        auto pick = [&]<bool T, bool K>() {
            if (scaled)
                rows.template operator()<Op, T, K, true>();
            else
                rows.template operator()<Op, T, K, false>();
        };
        if (!transparent)
            pick.template operator()<false, false>();
        else if (image.colorKey)
            pick.template operator()<true, true>();
        else
            pick.template operator()<true, false>();
    });
}

void RasterDrawImageTurned(const RasterTarget& target, const RasterImage& image, double x, double y,
                           double pivotX, double pivotY, double radians, double scale) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !image.pixels || image.width <= 0 || image.height <= 0) return;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(pivotX) ||
        !std::isfinite(pivotY) || !std::isfinite(radians) || !(scale > 1e-3) || !(scale < 1e3))
        return;
    // The turned image's bounding box, from its four corners.
    const double c = std::cos(radians), s = std::sin(radians);
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    for (double u : {0.0, double(image.width)})
        for (double v : {0.0, double(image.height)}) {
            const double dx = (u - pivotX) * scale, dy = (v - pivotY) * scale;
            const double px = x + dx * c - dy * s, py = y + dx * s + dy * c;
            lo[0] = std::min(lo[0], px), hi[0] = std::max(hi[0], px);
            lo[1] = std::min(lo[1], py), hi[1] = std::max(hi[1], py);
        }
    int i0, i1, j0, j1;
    CoveredRange(lo[0], hi[0], clip.l, clip.r, i0, i1);
    CoveredRange(lo[1], hi[1], clip.t, clip.b, j0, j1);
    const uint32_t alpha = uint32_t(BlendAlpha(target));
    const BlendMode mode = target.mode == BlendMode::None ? BlendMode::Alpha : target.mode;
    WithOp(mode, [&]<class Op>() {
        for (int j = j0; j < j1; ++j) {
            uint32_t* p = target.pixels + ptrdiff_t(j) * target.stride;
            for (int i = i0; i < i1; ++i) {
                // Back from the pixel centre to the image, turning the other way.
                const double dx = i + 0.5 - x, dy = j + 0.5 - y;
                const double u = (dx * c + dy * s) / scale + pivotX;
                const double v = (-dx * s + dy * c) / scale + pivotY;
                if (!(u >= 0 && v >= 0 && u < image.width && v < image.height)) continue;
                uint32_t src = image.pixels[ptrdiff_t(v) * image.stride + ptrdiff_t(u)];
                if (image.colorKey) {
                    if ((src & 0x00FFFFFFu) == 0) continue;
                    src |= 0xFF000000u;
                }
                if (alpha != 255) src = Scale(src, alpha);
                p[i] = Op::Apply(p[i], src);
            }
        }
    });
}

void RasterDrawMask(const RasterTarget& target, const uint8_t* mask, int maskStride, int x, int y,
                    int width, int height, uint32_t color) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !mask || width <= 0 || height <= 0) return;
    const int i0 = std::max(x, clip.l), i1 = std::min(x + width, clip.r);
    const int j0 = std::max(y, clip.t), j1 = std::min(y + height, clip.b);
    if (i0 >= i1 || j0 >= j1) return;
    const bool replace = target.mode == BlendMode::None;
    const uint32_t strength = Div255((color >> 24) * uint32_t(replace ? 255 : BlendAlpha(target)));
    // The premultiplied colour at each coverage, kept for the next call: the glyphs of a text
    // come one call each, in one colour.
    thread_local uint32_t shade[256], shadeColor = 0, shadeStrength = 256;
    if (color != shadeColor || strength != shadeStrength) {
        for (uint32_t c = 0; c < 256; ++c) shade[c] = Premultiply(color, Div255(strength * c));
        shadeColor = color;
        shadeStrength = strength;
    }
    auto rows = [&]<class Op>() {
        for (int j = j0; j < j1; ++j) {
            const uint8_t* m = mask + ptrdiff_t(j - y) * maskStride + (i0 - x);
            uint32_t* p = target.pixels + ptrdiff_t(j) * target.stride + i0;
            for (int i = i0; i < i1; ++i, ++p, ++m)
                if (*m) *p = Op::Apply(*p, shade[*m]);
        }
    };
    if (replace)
        rows.template operator()<OpOver>();
    else
        WithOp(target.mode, rows);
}

void RasterCompositeLayer(const RasterTarget& target, const uint32_t* layer, int layerStride, int x,
                          int y, int width, int height) {
    ClipBox clip = ClipOf(target);
    if (clip.Empty() || !layer || width <= 0 || height <= 0) return;
    int i0 = std::max(clip.l, x), i1 = std::min(clip.r, x + width);
    int j0 = std::max(clip.t, y), j1 = std::min(clip.b, y + height);
    if (i0 >= i1 || j0 >= j1) return;
    uint32_t alpha = target.mode == BlendMode::None ? 255u : uint32_t(BlendAlpha(target));
    BlendMode mode = target.mode == BlendMode::None ? BlendMode::Alpha : target.mode;
    WithOp(mode, [&]<class Op>() {
        for (int j = j0; j < j1; ++j) {
            const uint32_t* s = layer + ptrdiff_t(j - y) * layerStride + (i0 - x);
            uint32_t* p = target.pixels + ptrdiff_t(j) * target.stride + i0;
            for (int i = i0; i < i1; ++i, ++p, ++s)
                if (*s) *p = Op::Apply(*p, alpha == 255 ? *s : Scale(*s, alpha));
        }
    });
}

uint32_t RasterBlendPixel(const RasterTarget& target, uint32_t dst, uint32_t src) {
    uint32_t out = dst;
    uint32_t alpha = uint32_t(BlendAlpha(target));
    WithOp(target.mode, [&]<class Op>() {
        out = std::is_same_v<Op, OpReplace> ? src : Op::Apply(dst, Scale(src, alpha));
    });
    return target.opaque ? out | 0xFF000000u : out;
}

} // namespace qvtk
