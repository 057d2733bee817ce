#pragma once
// The search alert: where a channel lies inside a band of values. The graphs shade those spans
// and the lap table colours the laps that hold one.
#include <cstdint>
#include <vector>

#include "data/session.h"

namespace qvtk {

constexpr double kSearchValueLimit = 100000; // typed band edges, in the channel's units

// Samples from .. to - 1.
struct SampleSpan {
    int32_t from = 0, to = 0;
};

// The runs of samples of a column with min <= sample <= max (sample units). None for an
// absent column.
std::vector<SampleSpan> FindSearchSpans(FileSlot slot, int column, int32_t min, int32_t max);

// Whether some span meets samples from .. to - 1 (the spans in order, as found).
bool SpansMeet(const std::vector<SampleSpan>& spans, int32_t from, int32_t to);

} // namespace qvtk
