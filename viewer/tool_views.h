#pragma once
// The mouse in the views that replace the graphs: the A/F map and the X-Y plot.
namespace qvtk {

// Takes the wheel notches the active view uses (setting them to 0); the rest stay for the
// graphs and the lap steps.
void ToolViewWheel(int& notches, int& hnotches);

// The buttons held this pass, for the view that uses them.
void ToolViewButtons(int buttons);

} // namespace qvtk
