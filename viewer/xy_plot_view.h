#pragma once
// The X-Y plot view: in place of the graphs, the samples of the checked laps of File 1 and
// File 2 as points (or a connected line) of the X channel against the Y channel, or of the GPS
// position, coloured by the colour channel through the course map's palette, within the
// layout's XYP ranges; the cursors' samples marked. The wheel zooms at the pointer.
#include <cstdint>

namespace qvtk {

struct XyPlotViewState {
    double zoom = 1.0;               // 1: the whole range
    double centerX = 0, centerY = 0; // value units at the middle of the box while zoomed
    uint64_t drawnSignature = 0;     // inputs of the point picture last made
};

extern XyPlotViewState g_xyPlotView;

void ResetXyPlotView();

// The plot's settings by axis (0 X, 1 Y, 2 colour): the channel (XYPlot_Xch ...) and the
// layout's min, max and step (field 0, 1, 2).
int& XyPlotChannel(int axis);
int32_t& XyPlotRangeValue(int axis, int field);
// The axis's min and max from its channel's range by code, its step from the graphs' step of
// that code: what choosing the channel in the settings dialog does.
void LoadXyAxisFromChannel(int axis);

// The box the points are drawn in, client pixels.
struct XyPlotBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};
XyPlotBox XyPlotBoxFor(int clientWidth, int clientHeight);

// One pass of the view.
void DrawXyPlotView(int clientWidth, int clientHeight);

// Wheel forward zooms in at the pointer, backward out until the whole range shows again.
void XyPlotWheel(int notches, int mouseX, int mouseY);

// Where a sample of a file lands in the box (for tests); false when the plot has no place for it
// (no usable channel, no GPS fix).
bool XyPlotPixel(int slot, int32_t sample, int clientWidth, int clientHeight, double& x, double& y);

} // namespace qvtk
