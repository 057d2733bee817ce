#pragma once
// Arithmetic helpers for values that come from files: the results the logger's tools get on
// their machines, without undefined behaviour when a corrupt file pushes a value out of range.
#include <cstdint>

namespace qvtk {

// Truncation toward zero; a value outside the 32-bit range gives INT32_MIN, as the
// processor's own conversion does.
inline int32_t TruncToInt32(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return INT32_MIN;
    return int32_t(d);
}
inline int32_t TruncToInt32(float f) { return TruncToInt32(double(f)); }

// Two's complement wrap-around multiplication and addition.
inline int32_t WrapMul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
inline int32_t WrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

} // namespace qvtk
