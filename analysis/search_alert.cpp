#include "analysis/search_alert.h"

#include <algorithm>

#include "analysis/channel_list.h"

namespace qvtk {

std::vector<SampleSpan> FindSearchSpans(FileSlot slot, int column, int32_t min, int32_t max) {
    std::vector<SampleSpan> spans;
    const Slot& s = SlotOf(slot);
    if (s.file.fileKind == kFileNone || !UsableColumn(slot, column) || max < min) return spans;
    const int32_t n = std::min(s.sampleCount, s.capacity);
    const int32_t* x = s.samples[column];
    int32_t start = -1;
    for (int32_t i = 0; i < n; ++i) {
        const bool in = x[i] >= min && x[i] <= max;
        if (in && start < 0) start = i;
        if (!in && start >= 0) {
            spans.push_back({start, i});
            start = -1;
        }
    }
    if (start >= 0) spans.push_back({start, n});
    return spans;
}

bool SpansMeet(const std::vector<SampleSpan>& spans, int32_t from, int32_t to) {
    auto it = std::upper_bound(spans.begin(), spans.end(), from,
                               [](int32_t v, const SampleSpan& s) { return v < s.to; });
    return it != spans.end() && it->from < to;
}

} // namespace qvtk
