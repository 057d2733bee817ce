// The rows of a dense curve's values, four at a time: the same rows as rounding each value's
// y on its own.
#include "viewer/value_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace qvtk {
namespace {

// floor(y + 0.5) of the value's y as a float, kept far outside any window.
int ReferenceRow(const RowMapping& m, int32_t v) {
    const double y = double(float(m.zeroY - double(v) * m.factor * m.perUnit));
    return int(std::floor(std::clamp(y, -1.0e7, 1.0e7) + 0.5));
}

TEST(ValueRows, EveryValueGetsTheRowOfItsOwnY) {
    std::mt19937 random(11);
    const RowMapping mappings[] = {
        {300.5, 0.2, 0.001},     // a band of a few hundred rows, zero on a half row
        {512.0, -0.35, 0.001},   // an inverted band
        {40.25, 3.0e4, 0.001},   // values far beyond the window on both sides
        {0.0, 1.0, 1.0},         // rows that are the values themselves
        {99.5, 1.0 / 3, 0.0125}, // rounding at every half row
    };
    for (const RowMapping& m : mappings) {
        ASSERT_TRUE(AllRowsFinite(m));
        for (int count = 0; count <= 67; ++count) {
            std::vector<int32_t> values(static_cast<size_t>(count));
            for (int32_t& v : values)
                v = random() % 4 == 0 ? int32_t(random()) : int32_t(random() % 2000001) - 1000000;
            if (count > 2) values[1] = INT32_MIN, values[2] = INT32_MAX;
            std::vector<int32_t> rows(values.size(), -7);
            ValueRows(m, values.data(), count, rows.data());
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(rows[size_t(k)], ReferenceRow(m, values[size_t(k)]))
                    << values[size_t(k)] << " of " << count;
            // In place, as the curves ask.
            ValueRows(m, values.data(), count, values.data());
            EXPECT_EQ(values, rows);
        }
    }
    EXPECT_FALSE(AllRowsFinite({0.0, 1.0e35, 1.0})); // beyond a float
    EXPECT_FALSE(AllRowsFinite({0.0, std::numeric_limits<double>::infinity(), 0.001}));
}

} // namespace
} // namespace qvtk
