#pragma once
// Arithmetic helpers for values that come from files: the results the logger's tools get on
// their machines, without undefined behaviour when a corrupt file pushes a value out of range.
#include <cstdint>

namespace qvtk {

// Truncation toward zero; a value outside the 32-bit range gives INT32_MIN, as the
// processor's own conversion does.
inline int32_t TruncToInt32(double d) {
    const bool inRange = d > -2147483649.0 && d < 2147483648.0; // written without branches
    const int32_t v = int32_t(inRange ? d : 0.0);                // so that loops vectorize
    return inRange ? v : INT32_MIN;
}
// The same for a float, written without branches so that loops over samples vectorize.
inline int32_t TruncToInt32(float f) {
    const bool inRange = f >= -2147483648.0f && f < 2147483648.0f;
    const int32_t v = int32_t(inRange ? f : 0.0f);
    return inRange ? v : INT32_MIN;
}

// Two's complement wrap-around multiplication and addition.
inline int32_t WrapMul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
inline int32_t WrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

} // namespace qvtk
