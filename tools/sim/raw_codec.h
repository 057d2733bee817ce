#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace qvtk::sim {

// Turns a physical value back into the raw reading the logger would store. It is built
// from the conversion that a reader applies (raw -> value): every raw of the range is
// converted once and the nearest value is looked up, so the inverse is exact for any
// integer formula, truncations and quirks included, without solving it by hand.
struct RawCodec {
    std::vector<int32_t> values; // converted values, ascending
    std::vector<uint16_t> raws;  // the raw giving each value
};

// `maxRaw` is the largest raw the field can hold; `convert` gives the reader's value.
RawCodec MakeRawCodec(uint32_t maxRaw, const std::function<int64_t(uint32_t)>& convert);

// The raw whose converted value is nearest to `target` (the lowest such raw on a tie).
uint16_t EncodeRaw(const RawCodec& codec, int64_t target);

} // namespace qvtk::sim
