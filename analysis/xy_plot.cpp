#include "analysis/xy_plot.h"

#include <cmath>

#include "analysis/channel_list.h"

namespace qvtk {

XyPlotState g_xyPlot;

namespace {

constexpr int kMaxGridLines = 50;

// The data range of a column over the loaded files among File 1 and File 2.
bool DataRange(int column, double& lo, double& hi) {
    bool any = false;
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Slot& s = SlotOf(slot);
        if (s.file.fileKind == kFileNone || !UsableColumn(slot, column)) continue;
        const double a = s.range.min[column], b = s.range.max[column];
        lo = any ? std::min(lo, a) : a;
        hi = any ? std::max(hi, b) : b;
        any = true;
    }
    return any;
}

// Whether the stored range shows a useful part of the data: at least a hundredth of its span
// (or, for a constant channel, its value). The layout's start range 0 .. 0.1 shows nothing of
// most channels.
bool RangeShowsData(const XyAxis& axis, double lo, double hi) {
    const double from = std::max<double>(axis.min, lo), to = std::min<double>(axis.max, hi);
    if (hi <= lo) return from <= to;
    return to - from >= (hi - lo) / 100;
}

} // namespace

void ResetXyPlot() {
    g_xyPlot = XyPlotState();
}

double RoundStep(double span, int lines) {
    if (!(span > 0) || !std::isfinite(span) || lines < 1) return 1000;
    const double raw = span / lines;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (f * power >= raw) return f * power;
    return 10 * power;
}

XyScale ResolveXyScale(const XyAxis& axis, int column) {
    XyScale s;
    double lo = 0, hi = 0;
    const bool data = DataRange(column, lo, hi);
    s.automatic = axis.step <= 0 || axis.max <= axis.min || (data && !RangeShowsData(axis, lo, hi));
    if (s.automatic) {
        if (!data) lo = 0, hi = 100000;
        if (hi <= lo) hi = lo + 1000;
        s.min = lo;
        s.max = hi;
        s.step = RoundStep(hi - lo, 10);
    } else {
        s.min = axis.min;
        s.max = axis.max;
        s.step = axis.step;
    }
    while ((s.max - s.min) / s.step > kMaxGridLines) s.step *= 2;
    return s;
}

} // namespace qvtk
