#include "viewer/value_rows.h"

#include <climits>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvtk {

bool AllRowsFinite(const RowMapping& m) {
    return std::isfinite(m.Y(INT32_MIN)) && std::isfinite(m.Y(INT32_MAX));
}

void ValueRows(const RowMapping& m, const int32_t* values, int count, int32_t* rows) {
    int k = 0;
#if defined(__SSE2__)
    // Two values per double lane pair, the same operations in the same order as Y and
    // CoordinatePixel, so the same rounding at every step.
    const __m128d factor = _mm_set1_pd(m.factor), perUnit = _mm_set1_pd(m.perUnit);
    const __m128d zeroY = _mm_set1_pd(m.zeroY);
    const __m128d far = _mm_set1_pd(1.0e7), nearFar = _mm_set1_pd(-1.0e7);
    const __m128d shifted = _mm_set1_pd(0.5 + 16777216.0);
    const __m128i shift = _mm_set1_epi32(16777216);
    auto two = [&](__m128i v) {
        const __m128d value = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(v), factor), perUnit);
        const __m128d y = _mm_cvtps_pd(_mm_cvtpd_ps(_mm_sub_pd(zeroY, value)));
        const __m128d d = _mm_max_pd(_mm_min_pd(y, far), nearFar);
        return _mm_sub_epi32(_mm_cvttpd_epi32(_mm_add_pd(d, shifted)), shift);
    };
    for (; k + 4 <= count; k += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + k));
        const __m128i low = two(v), high = two(_mm_shuffle_epi32(v, 0xEE));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows + k), _mm_unpacklo_epi64(low, high));
    }
#endif
    for (; k < count; ++k) rows[k] = CoordinatePixel(m.Y(values[k]));
}

} // namespace qvtk
