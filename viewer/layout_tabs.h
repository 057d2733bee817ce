#pragma once
// The layout tab strip at the top of the graphs: one tab per layout of the list, sliding in
// while the pointer is near the top edge. When the tabs outrun the window the strip scrolls,
// with the wheel over it or the arrows at its ends, so that every tab can be reached.
namespace qvtk {

constexpr int kTabStripLeft = 320;
constexpr int kTabArrowWidth = 20;

void DrawLayoutTabs(int clientWidth);

// The first tab shown moves by `steps` (negative: toward the first tab), within the tabs.
void ScrollLayoutTabs(int steps);

// The wheel over the shown strip scrolls it: forward toward the first tab. True when the
// notches were taken.
bool LayoutTabsWheel(int notches);

} // namespace qvtk
