#include "tools/sim/raw_codec.h"

#include <algorithm>

namespace qvtk::sim {

RawCodec MakeRawCodec(uint32_t maxRaw, const std::function<int64_t(uint32_t)>& convert) {
    std::vector<std::pair<int64_t, uint32_t>> table;
    table.reserve(maxRaw + 1);
    for (uint32_t raw = 0; raw <= maxRaw; ++raw) table.emplace_back(convert(raw), raw);
    std::sort(table.begin(), table.end());
    RawCodec codec;
    for (const auto& [value, raw] : table) {
        int32_t v = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
        // Of raws that give the same value the lowest is kept.
        if (!codec.values.empty() && codec.values.back() == v) continue;
        codec.values.push_back(v);
        codec.raws.push_back(static_cast<uint16_t>(raw));
    }
    return codec;
}

uint16_t EncodeRaw(const RawCodec& codec, int64_t target) {
    auto it = std::lower_bound(codec.values.begin(), codec.values.end(), target);
    size_t i = static_cast<size_t>(it - codec.values.begin());
    if (i == codec.values.size()) return codec.raws.back();
    if (i > 0 && target - codec.values[i - 1] <= codec.values[i] - target) --i;
    return codec.raws[i];
}

} // namespace qvtk::sim
