#pragma once
// The 512 x 512 course map picture: the course layout coloured by a channel with its sector
// boundaries, or the GPS track of each file's selected lap with the control line; a click on
// the map turned into cursor positions; the time and distance box; a new control line placed
// on the GPS map.
#include <cstdint>
#include <string>

#include "analysis/course_points.h"
#include "analysis/gps_frame.h"
#include "data/session.h"
#include "render/render.h"

namespace qvtk {

constexpr int kCourseMapSize = 512;
constexpr int kGpsIncrementSamples = 6000; // samples a slot's track advances per pass

// What the picture shows now and how far the GPS track is drawn.
struct CourseMapPicture {
    int32_t gpsLastSample[kSlotCount] = {};    // next sample of the slot's track to draw
    int32_t gpsLap[kSlotCount] = {-1, -1, -1}; // lap-start mark the track was drawn for
    int32_t gpsPrevX[kSlotCount] = {};         // last projected fix, for the joining lines
    int32_t gpsPrevY[kSlotCount] = {};
    bool gpsHavePrev[kSlotCount] = {};
    bool gpsPending = false;     // a track is not yet drawn to its lap end
    bool layoutDirty = true;     // the course layout must be drawn again
    uint64_t shownSignature = 0; // inputs of the picture last drawn
    std::string label;           // "File %d:%s" while a colouring channel is set
    int finishLineSetting = 0;   // 0 off, 1 waiting for point A, 2 waiting for point B
    GpsFix finishLineA;
    bool sectorEditing = false; // a click on the course layout edits a sector boundary
    // Which 32 x 32 cells of the picture the drawn track touches (bit x of row y), so that
    // the time and distance box can be put where it hides none of it.
    uint16_t trackCells[kCourseMapSize / 32] = {};
    int imageColumn = -1;       // saving pictures: File 1's colouring column, 0 (Ne) included
};

extern CourseMapPicture g_mapPicture;

// Marks the cells of `trackCells` that a mark of `radius` pixels at (x, y) covers.
void MarkTrack(float x, float y, float radius);

void ResetCourseMapPicture();

// The map shows File 1's GPS track instead of the course layout.
bool MapShowsGps();

// The slot's selected lap: the 1-based segment v with marks[v-1] <= cursor < marks[v].
int32_t SelectedLap(FileSlot slot);

// Entry of the 256-colour palette for a value of a column of the slot, by the channel's range:
// limited to 0 .. `top` (255 for the course layout, 254 for the GPS track).
int PaletteEntry(FileSlot slot, int column, int32_t value, int top);
RenderColorValue MapPaletteColor(int entry);

// Colours of the scheme.
RenderColorValue MapBackgroundColor();
RenderColorValue MapMarkerColor();
RenderColorValue ControlLineColor();

// Redraws the course layout picture (hands over to the GPS track while it is shown).
void DrawCourseLayout();
// 2: frame File 1's track and redraw; 1: full redraw with the control line; 0: increments.
void DrawGpsTrack(int mode);
// After a boundary edit: File 1's boundaries to File 2, the picture without colouring.
void RedrawSectorMarks();
// Brings the picture up to date with the lap, channel and course; draws GPS increments.
void RefreshCourseMapPicture();

// Moves the cursors to the clicked map position (screen pixels with the map's zoom and pan).
// True when any cursor moved.
bool MapClickToCursor(float mouseX, float mouseY, const CourseMapView& view);

// The finish line setting: the next two left clicks on the GPS map give points A and B.
void BeginFinishLineSetting();
// Map clicks that edit (graph position mode): the finish line on a GPS map, sector boundaries
// on a course layout; off again returns clicks to moving the cursors.
void SetMapEditing(bool on);
// A click while the finish line setting is on. True when it was taken.
bool FinishLineClick(float mouseX, float mouseY, const CourseMapView& view);

// Time and distance since the lap start of the cursor on the 120 x 80 box surface.
void DrawLapDistanceBox();
// Whether the drawn track touches the picture's rectangle (picture pixels, right and bottom
// exclusive).
bool TrackTouches(float left, float top, float right, float bottom);

// The map pixel of course point p, and the course point at the slot's cursor.
void CoursePointPixel(int32_t p, float& x, float& y);
int32_t CoursePointAtCursor(FileSlot slot);

} // namespace qvtk
