// Graph position mode: the bands are moved and scaled with the mouse, with or without their
// grid, clipping is switched per band, and the baseline is moved.
#include "viewer/graph_position.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "data/settings.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/view_state.h"

namespace qvtk {

GraphPositionDrag g_positionDrag;

namespace {

constexpr int kBaselineGrip = 4; // pixels either side of the baseline that pick it up

ChannelCode CodeOfColumn(int column) {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && IsPresent(SlotOf(s), column))
            return SlotOf(s).channels[column].code;
    return 0;
}

// The range shown between the band's rows after its zero or scale changed.
void RangeFromRows(GraphCodeSettings& g) {
    g.GraphMin = int32_t(std::lround(double(g.GraphZero - g.GraphBottom) * g.GraphScale * 1000.0));
    g.GraphMax = int32_t(std::lround(double(g.GraphZero - g.GraphTop) * g.GraphScale * 1000.0));
}

void MoveBand(GraphCodeSettings& g, int dy, bool fixedGrid) {
    g.GraphZero += dy;
    if (fixedGrid)
        RangeFromRows(g); // the rows stay, the curve slides through them
    else
        g.GraphTop += dy, g.GraphBottom += dy;
}

void ScaleBand(GraphCodeSettings& g, int dy, bool fixedGrid) {
    // Dragging down enlarges the curve (fewer units per pixel).
    float factor = std::clamp(1.0f - float(dy) * 0.01f, 0.5f, 2.0f);
    g.GraphScale = std::clamp(g.GraphScale * factor, kGraphScaleMin, kGraphScaleMax);
    if (fixedGrid) {
        RangeFromRows(g);
    } else {
        // The band keeps its range and grows or shrinks around its zero row.
        g.GraphBottom = g.GraphZero - int32_t(double(g.GraphMin) * 0.001 / g.GraphScale);
        g.GraphTop = g.GraphZero - int32_t(double(g.GraphMax) * 0.001 / g.GraphScale);
        if (g.GraphBottom - g.GraphTop < 1) g.GraphBottom = g.GraphTop + 1;
    }
}

} // namespace

ChannelCode BandCodeAt(const GraphFrame& frame, int y) {
    for (int i = 0; i < g_graphList.count; ++i) {
        ChannelCode code = CodeOfColumn(g_graphList.column[i]);
        const GraphCodeSettings& g = GraphOf(code);
        double top = ValueY(frame, code, g.GraphMax * 0.001);
        double bottom = ValueY(frame, code, g.GraphMin * 0.001);
        if (y >= top && y <= bottom) return code;
    }
    return kNoBand;
}

void GraphPositionMouse(const GraphFrame& frame, int pressed) {
    GraphPositionDrag& d = g_positionDrag;
    int buttons = g_view.MouseButtons, y = g_view.MouseY;
    if (!(buttons & (kMouseLeft | kMouseRight))) d = GraphPositionDrag();
    if (!g_view.GraphPositionMode) return;
    bool onBaseline = std::abs(g_view.MouseX - int(frame.baseX)) <= kBaselineGrip;
    if (pressed & (kMouseLeft | kMouseRight)) {
        d.baseline = onBaseline;
        d.code = onBaseline ? kNoBand : BandCodeAt(frame, y);
        d.lastY = y;
        if (onBaseline && (pressed & kMouseRight)) g_settings.BaseLinePos = 0; // to the centre
    }
    if ((pressed & kMouseMiddle) && !onBaseline) {
        ChannelCode code = BandCodeAt(frame, y);
        if (code != kNoBand) GraphOf(code).GraphClip = !GraphOf(code).GraphClip;
    }
    if (d.baseline && (buttons & kMouseLeft)) {
        g_settings.BaseLinePos = g_view.MouseX - frame.clientWidth / 2;
        RequestRedraw(kRedrawFull);
        return;
    }
    if (d.code == kNoBand) return;
    // Rows are in the unzoomed picture; the band follows the pointer at any zoom.
    int dy = int(std::lround((y - d.lastY) / std::max(1.0f, frame.zoom)));
    if (dy == 0) return;
    d.lastY = y;
    GraphCodeSettings& g = GraphOf(d.code);
    bool fixedGrid = g_view.ShiftHeld;
    if (buttons & kMouseLeft)
        MoveBand(g, dy, fixedGrid);
    else if (buttons & kMouseRight)
        ScaleBand(g, dy, fixedGrid);
    RequestRedraw(kRedrawFull);
}

} // namespace qvtk
