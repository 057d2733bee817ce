#pragma once
// The X-Y plot: the samples of the checked laps of File 1 and File 2 as points (or a line) of
// one channel against another, coloured by a third, within the axis ranges of the layout.
// What the plot needs beyond the layout's ranges and the channel settings lives here.
#include <algorithm>
#include <cstdint>

#include "analysis/lap_model.h"
#include "data/session.h"

namespace qvtk {

constexpr int kXyPointSizes = 4;         // "Size" 0 .. 3
constexpr double kXyValueLimit = 100000; // typed range values, in the channel's units

struct XyPlotState {
    bool gpsMap = false;        // "GPS Map": the GPS position instead of X and Y
    bool connectedLine = false; // "PlotType ConnectedLine"
    int pointSize = 1;          // 0 .. 3
};

extern XyPlotState g_xyPlot;

void ResetXyPlot();

// One axis as the layout stores it, in sample units (value x 1000).
struct XyAxis {
    int32_t min = 0, max = 100, step = 10;
};

// An axis ready for drawing: the range and the grid step, in sample units.
struct XyScale {
    double min = 0, max = 1000, step = 100;
    bool automatic = false; // taken from the data
};

// A zero (or negative) step, max <= min, or a range that shows less than a hundredth of the
// column's data in File 1 and File 2 (the layout's start range 0 .. 0.1 before a channel was
// chosen), scales the axis to that data; the grid step is then a round one. What the layout
// stores is left as it is. The grid never has more than 50 lines.
XyScale ResolveXyScale(const XyAxis& axis, int column);

// A round step (1, 2 or 5 times a power of ten) giving about `lines` grid lines over span.
double RoundStep(double span, int lines);

// Calls range(from, to) for the sample runs of the checked laps of a file, in order.
template <class Range> void ForEachCheckedLap(FileSlot slot, Range&& range) {
    const Slot& s = SlotOf(slot);
    if (s.file.fileKind == kFileNone) return;
    const int32_t n = std::min(s.sampleCount, s.capacity);
    const int m = MarksPerLap(slot);
    const LapState& laps = LapStateOf(slot);
    for (int k = 0; k <= s.laps.count - m && k < kLapEntries; k += m) {
        if (!laps.lapChecked[k]) continue;
        const int32_t from = std::max(LapMark(slot, k), 0);
        const int32_t to = std::min(LapMark(slot, k + m), n);
        if (from < to) range(from, to);
    }
}

} // namespace qvtk
