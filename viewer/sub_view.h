#pragma once
// The sub view beside the graphs: the machine's body with its suspension moving to File 1's
// strokes at the cursor, the rev counter with the gear and the wheel speed difference, and the
// stroke histograms of the cursor's lap. Each element is dragged with the left button and
// scaled with the right one; positions and scales live in the settings.
#include <cstdint>

#include "analysis/gear_position.h"
#include "viewer/graphs.h"

namespace qvtk {

enum class SubElement { kNone, kBody, kMeter, kSusgram };

// An element's box on the screen: its centre kept where the whole box shows.
struct SubBox {
    float cx = 0, cy = 0, halfWidth = 0, halfHeight = 0;
    bool Contains(int x, int y) const;
};
SubBox SubElementBox(SubElement element, int clientWidth, int clientHeight);
// Whether the element is drawn now.
bool SubElementShown(SubElement element);
// The shown element under a point, the one drawn last first.
SubElement SubElementAt(int x, int y, int clientWidth, int clientHeight);

// Front minus rear wheel speed at a sample, km/h.
double WheelSpeedDifference(FileSlot slot, int32_t sample);

void DrawSubView(const GraphFrame& frame);
// Drags the elements. True while the mouse belongs to the sub view (the graphs then leave it).
bool SubViewMouse(const GraphFrame& frame, int pressed);

} // namespace qvtk
