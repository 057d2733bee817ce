#pragma once
// Where the samples of a dense curve land on the screen: each value's row, as the curve's
// vertices would be rounded, for a whole column of values at a time.
#include <algorithm>
#include <cstdint>

namespace qvtk {

// The pixel of a coordinate: floor(v + 0.5), v clamped far beyond any window (the pixels
// inside stay the same).
inline int CoordinatePixel(float v) {
    // Without the library's floor, slow on the baseline instruction set: shifted to positive
    // numbers, where conversion truncates to the floor. Exact for any float: v + 0.5 lies at
    // least 2^-25 from the next whole number above, far more than the sum's rounding.
    constexpr double kFar = 1.0e7, kShift = 16777216.0; // 2^24 > kFar
    const double d = std::max(std::min(double(v), kFar), -kFar);
    return int(d + (0.5 + kShift)) - int(kShift);
}

// A value's y: zeroY - (value x factor) x perUnit, as a float.
struct RowMapping {
    double zeroY = 0, perUnit = 0, factor = 0;
    float Y(int32_t value) const { return float(zeroY - double(value) * factor * perUnit); }
};

// Whether every 32-bit value has a finite y (the y of a value is monotonic in it: the
// extremes tell).
bool AllRowsFinite(const RowMapping& m);

// rows[k] = CoordinatePixel(m.Y(values[k])) for k < count; rows may be values.
void ValueRows(const RowMapping& m, const int32_t* values, int count, int32_t* rows);

} // namespace qvtk
