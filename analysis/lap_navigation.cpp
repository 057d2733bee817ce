#include "analysis/lap_navigation.h"

#include "analysis/lap_model.h"

namespace qvtk {

namespace {

// The last sample the slot's buffers hold, or -1.
int32_t LastSample(const Slot& s) {
    return (s.sampleCount < s.capacity ? s.sampleCount : s.capacity) - 1;
}

int64_t LapLength(FileSlot slot, int32_t v) {
    const int m = MarksPerLap(slot);
    if (m == 1) return SegmentDistance(slot, v);
    const int32_t first = v - (v - 1) % m;
    int64_t length = 0;
    for (int j = 0; j < m; ++j) length += SegmentDistance(slot, first + j);
    return length;
}

} // namespace

LapNavigation StepToLap(const LapNavigation& view, int32_t lapSteps) {
    LapNavigation out = view;
    out.redraw = true;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        const Slot& s = SlotOf(slot);
        if (s.file.fileKind == kFileNone || !view.sync[slot]) continue;
        const int32_t v = view.selectedLap[slot];
        const int32_t count = s.laps.count;
        int64_t target = int64_t(v) - lapSteps - 1;
        if (target < 0) target = 0;
        if (target > count - 1) target = count;
        const int32_t t = int32_t(target);

        const int32_t last = LastSample(s);
        if (last < 0) continue;
        int64_t position = view.displayPosition[slot] / 100;
        if (position < 0) position = 0;
        if (position > last) position = last; // SampleCount itself holds no sample
        const int64_t d = s.distance.selected[position];
        const int64_t length = LapLength(slot, v);
        if (length < 1) continue;
        const double share = double(d) / double(length);
        if (share > 1.0) break; // past the lap's end: leave this and the later files

        const auto wanted = int64_t(double(SegmentDistance(slot, t + 1)) * share);
        int32_t found = LapMark(slot, t + 1);
        const int32_t to = found < last ? found : last;
        for (int32_t i = LapMark(slot, t); i <= to; ++i) {
            if (int64_t(s.distance.selected[i]) >= wanted) {
                found = i;
                break;
            }
        }
        out.cursor[slot] = found;
    }
    return out;
}

LapNavigation ShowWholeLap(const LapNavigation& view, FileSlot slot, int32_t row) {
    LapNavigation out = view;
    const Slot& s = SlotOf(slot);
    // The list shows laps, so with 2 or 3 marks per lap its rows are MarksPerLap marks apart.
    const int32_t m = MarksPerLap(slot);
    const int32_t f = view.firstListedLap[slot];
    const int32_t start = row + 1 > s.sampleCount ? 0 : LapMark(slot, (f + row) * m);
    const int32_t end = LapMark(slot, (f + row + 1) * m);
    int32_t width = 2 * view.graphHalfWidth - 10 - view.valueColumnWidth;
    if (width < 1) width = 1; // a window too narrow for graphs must not divide by zero
    float scale = float(end - start) / float(width);
    if (scale < 0.001f) scale = 0.001f;
    out.samplesPerPixel = scale;
    const int64_t cursor =
        (int64_t(start) + end) / 2 - int64_t(view.valueColumnWidth * scale * 0.5);
    out.cursor[slot] = int32_t(cursor);
    if (view.ctrlHeld) {
        int64_t position = cursor * 100;
        const int64_t limit = int64_t(s.sampleCount) * 100;
        if (position >= limit) position = limit - 1;
        out.displayPosition[slot] = int32_t(position);
    }
    out.redraw = true;
    return out;
}

} // namespace qvtk
