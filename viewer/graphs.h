#pragma once
// The time graphs: one band per shown channel, the loaded files drawn over each other under
// the baseline, with grid, names, cursor values, the span read-out and the zoom.
#include <cstdint>
#include <string>
#include <vector>

#include "data/session.h"
#include "render/render.h"

namespace qvtk {

// What one pass of drawing needs, computed once per pass.
struct GraphFrame {
    int clientWidth = 0, clientHeight = 0;
    float baseX = 0;                        // the baseline
    float zoom = 1.0f;                      // ViewZoom
    float vscroll = 0;                      // VScroll
    float pixelsPerSample[kSlotCount] = {}; // p of each file
    // Files drawn by distance (lap comparison): equal distance at equal x with File 1.
    bool aligned[kSlotCount] = {};
    double alignShift[kSlotCount] = {}; // x that puts an aligned file's cursor on the baseline
    double alignLength = 0;             // m every lap is measured in
};

GraphFrame MakeGraphFrame();

// x of sample s of a file; every file's cursor sample lies on the baseline.
double SampleX(const GraphFrame& frame, FileSlot slot, double sample);
// The sample under pixel column x (truncated toward minus infinity).
int64_t SampleAtX(const GraphFrame& frame, FileSlot slot, double x);
// y of an engineering value of a channel code.
double ValueY(const GraphFrame& frame, ChannelCode code, double value);
// The same mapping taken once for a loop over many values.
struct ValueMapping {
    double zeroY;   // y of the value 0, with the pixel centre
    double perUnit; // pixels per engineering unit, upward
    double Y(double value) const { return zeroY - value * perUnit; }
};
ValueMapping MappingOf(const GraphFrame& frame, ChannelCode code);

// Samples a column is read later than the cursor: the LAF delay for air-fuel inputs, the GPS
// offset for GPS speed (at expert level 2). Reads are kept inside the recording.
int32_t CurveSampleOffset(FileSlot slot, int column);

// Engineering units per sample unit of a column: 0.001, with engine speed further scaled by
// the file's simulated final drive.
double ValueFactor(FileSlot slot, int column);
// Samples between the measurements of a channel (a CAN logger channel measured slower than its
// file); 1 for every other channel.
int ChannelSampleStep(FileSlot slot, int column);

// Whether a sample from..to (inclusive, clamped to the recording) carries a marker; the colour
// marked samples of File 1 are drawn in (with the shifter option or in debug mode).
bool SamplesMarked(FileSlot slot, int64_t from, int64_t to);
RenderColorValue MarkHighlightColor();

// Mean of a column over +/- SusFilter_n samples around s (outside the file counts as 0), in
// engineering units: the Ctrl view of the strokes.
double SmoothedValue(FileSlot slot, int column, int64_t s);

// The drawn columns in display order (for the alignment and the name column).
struct GraphList {
    int column[kColumnCount];
    int count = 0;
};
extern GraphList g_graphList;
void RebuildGraphList();

// Zoom toward ZoomSpan and the vertical scroll, once per pass.
void StepZoom();
// Wheel over the graphs: forward zooms in by notches with the row under the pointer held
// there, backward zooms off.
void WheelZoom(int notches, int mouseY, int clientHeight);
// Back to zoom 1 with no vertical scroll, gliding there.
void ZoomOff();

// Aligns the bands: type 1 stacks the shown bands, type 2 gives them all the same rows; with
// `autoScale` the ranges first become the channels' data ranges.
void AlignGraphs(int type, bool autoScale, bool ctrl);
// Channels a layout does not place: each scaled to its data and stacked into rows the placed
// bands leave free (over the whole height when none are left), one under another.
void StackUnplacedBands(const std::vector<int>& columns);

// The curves of every file. Returns the number of vertices emitted (for tests and benchmarks).
int64_t DrawCurves(const GraphFrame& frame);
// The curve of one column of one file.
int64_t DrawCurve(const GraphFrame& frame, FileSlot slot, int column);

void DrawGraphView(const GraphFrame& frame);
// The grid fill (GridFill) of the bands whose grid is shown: their rows, top and bottom (at
// most kColumnCount), and the colour laid over them at kGridFillAlpha.
constexpr int kGridFillAlpha = 24;
int GridFillBands(const GraphFrame& frame, float* tops, float* bottoms);
RenderColorValue GridFillColor();
// The scroll bar at the bottom (normal view, key B), drawn over the course map.
void DrawScrollBar(const GraphFrame& frame);
// Left edge of a file's cursor value column.
int ValueColumnX(int slot);
// Where the curves begin to be free of the value and name columns.
int GraphAreaLeft();
// The right edge of the value and name columns with three files loaded.
int ValueColumnsRight();

// The span read-out at the top of the graphs: the time between the baseline and the pointer,
// then each file's distance over it, placed where none touches another.
struct SpanReadout {
    int count = 0;
    float x[1 + kSlotCount] = {};
    RenderColorValue color[1 + kSlotCount] = {};
    std::string text[1 + kSlotCount];
};
SpanReadout SpanReadoutAt(const GraphFrame& frame);

// The cursor value as its column shows it: the channel's decimals and unit, the air-fuel
// inputs in the unit of their sensor type, "%+" for a difference (Shift).
std::string CursorValueText(FileSlot slot, int column, double value, bool difference);

// The file whose cursor value column holds (x, y), with the channel column of that row; -1
// when none does.
int ValueColumnAt(const GraphFrame& frame, int x, int y, int& column);

// A click on a file's cursor value column: graph, grids and display on/off, the Graph Setting
// dialog, the course map colour channel. True when the click hit a value.
bool ValueColumnClick(const GraphFrame& frame, int pressed);

// Per-pass mouse actions on the graphs: continuous scrolling (left) and time scaling (right).
void GraphMouse(const GraphFrame& frame);

} // namespace qvtk
