#pragma once
// Four premultiplied pixels blended at once with the arithmetic of the one-pixel routines
// (c x a / 255 rounded as (t + (t >> 8)) >> 8 with t = c x a + 128, then a 32-bit add), so
// the pictures stay the same to the bit. Built where the instruction set has SSE2 (every
// x86-64); elsewhere the one-pixel routines do all.
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvtk::blend4 {

#if defined(__SSE2__)
constexpr bool kAvailable = true;

// Each 16-bit lane c x a / 255, rounded.
inline __m128i ScaleLanes(__m128i c, __m128i a) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(c, a), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// The four pixels of `p`, each channel times its own pixel's factor in `a` (0..255 in each
// 32-bit lane) / 255.
inline __m128i ScalePixels(__m128i p, __m128i a) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i pair = _mm_or_si128(a, _mm_slli_epi32(a, 16)); // the factor in both halves
    const __m128i lo = ScaleLanes(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi32(pair, pair));
    const __m128i hi = ScaleLanes(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi32(pair, pair));
    return _mm_packus_epi16(lo, hi);
}

// s over d for four pixels: s + d x (255 - alpha of s) / 255.
inline __m128i Over(__m128i d, __m128i s) {
    const __m128i inverse = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(s, 24));
    return _mm_add_epi32(s, ScalePixels(d, inverse));
}

inline __m128i Gather(const uint32_t* row, const int* x) {
    return _mm_set_epi32(int(row[x[3]]), int(row[x[2]]), int(row[x[1]]), int(row[x[0]]));
}

inline void Scatter(uint32_t* row, const int* x, __m128i v) {
    row[x[0]] = uint32_t(_mm_cvtsi128_si32(v));
    row[x[1]] = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(v, 1)));
    row[x[2]] = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(v, 2)));
    row[x[3]] = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(v, 3)));
}
#else
constexpr bool kAvailable = false;
#endif

} // namespace qvtk::blend4
