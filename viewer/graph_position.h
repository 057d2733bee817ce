#pragma once
// Graph position mode gestures on the bands and the baseline.
#include "data/channel_codes.h"
#include "viewer/graphs.h"

namespace qvtk {

constexpr ChannelCode kNoBand = 0xFFFF;

// The drag in progress: the band (by code) or the baseline it took hold of.
struct GraphPositionDrag {
    ChannelCode code = kNoBand;
    bool baseline = false;
    int lastY = 0;
};
extern GraphPositionDrag g_positionDrag;

// The code of the first listed band whose rows hold y, or kNoBand.
ChannelCode BandCodeAt(const GraphFrame& frame, int y);

// One pass of the mouse in graph position mode: left drag moves a band (with Shift on its
// fixed grid: the curve slides through the rows), right drag scales it (with Shift on the
// fixed grid), middle toggles its clipping; on the baseline left drags it and right centres it.
// `pressed` holds the buttons that went down this pass.
void GraphPositionMouse(const GraphFrame& frame, int pressed);

} // namespace qvtk
