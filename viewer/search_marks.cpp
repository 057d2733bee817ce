#include "viewer/search_marks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/lap_model.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

SearchAlertState g_searchAlert;

namespace {

// What the spans of a slot were found from.
struct SpanKey {
    int column = -1;
    int32_t min = 0, max = 0;
    const int32_t* samples = nullptr;
    int32_t count = -1;
    std::string path;
    bool operator==(const SpanKey&) const = default;
};

struct SpanCache {
    SpanKey key;
    std::vector<SampleSpan> spans;
};

SpanCache g_cache[kSlotCount];

SpanKey KeyOf(FileSlot slot) {
    const LayoutExtras& e = g_layoutExtras;
    const Slot& s = SlotOf(slot);
    SpanKey k;
    k.column = e.SAxchn;
    k.min = e.SAxmin;
    k.max = e.SAxmax;
    k.samples = k.column >= 0 && k.column < kColumnCount ? s.samples[k.column] : nullptr;
    k.count = s.file.fileKind == kFileNone ? -1 : s.sampleCount;
    k.path = s.file.filePath;
    return k;
}

} // namespace

void ResetSearchMarks() {
    g_searchAlert = SearchAlertState();
    for (SpanCache& c : g_cache) c = SpanCache();
}

bool SearchMarksShown() {
    return g_searchAlert.on && g_view.SearchValueOn;
}

const std::vector<SampleSpan>& SearchSpansOf(FileSlot slot) {
    SpanCache& c = g_cache[slot];
    const SpanKey key = KeyOf(slot);
    if (!(key == c.key)) {
        c.key = key;
        c.spans = FindSearchSpans(slot, key.column, key.min, key.max);
    }
    return c.spans;
}

bool SearchMarksLap(FileSlot slot, int32_t k) {
    if (k < 0 || k >= SlotOf(slot).laps.count) return false;
    return SpansMeet(SearchSpansOf(slot), LapMark(slot, k), LapMark(slot, k + MarksPerLap(slot)));
}

void DrawSearchMarks(const GraphFrame& f) {
    if (!SearchMarksShown()) return;
    // Under the curves, clear of the value and name columns.
    const float top = float(g_res.smallFontSize + 3), bottom = float(f.clientHeight);
    const double left = GraphAreaLeft();
    for (FileSlot slot = kSlotCount - 1; slot >= 0; --slot) {
        if (!SlotOf(slot).active || SlotOf(slot).file.fileKind == kFileNone) continue;
        const std::vector<SampleSpan>& spans = SearchSpansOf(slot);
        if (spans.empty()) continue;
        const int64_t first = SampleAtX(f, slot, 0), last = SampleAtX(f, slot, f.clientWidth) + 1;
        auto it = std::upper_bound(spans.begin(), spans.end(), first,
                                   [](int64_t v, const SampleSpan& s) { return v < s.to; });
        RenderSetBlend(BlendMode::Alpha, 56);
        const RenderColorValue color = FileColor(slot);
        // Spans that share pixels are drawn as one box: at most one box per pixel column.
        double boxLeft = 0, boxRight = -1e9;
        for (; it != spans.end() && it->from <= last; ++it) {
            const double x0 = std::floor(SampleX(f, slot, it->from));
            const double x1 = std::max(std::ceil(SampleX(f, slot, it->to)), x0 + 1);
            if (x0 <= boxRight) {
                boxRight = std::max(boxRight, x1);
                continue;
            }
            if (boxRight > boxLeft)
                RenderBox(float(boxLeft), top, float(boxRight), bottom, color, true);
            boxLeft = std::max(x0, left), boxRight = x1;
        }
        if (boxRight > boxLeft)
            RenderBox(float(boxLeft), top, float(boxRight), bottom, color, true);
    }
    RenderSetBlend(BlendMode::Alpha, 255);
}

} // namespace qvtk
