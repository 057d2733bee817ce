#pragma once
// The course map window floating over the graphs: placed and scaled from Curse_X, Curse_Y and
// Curse_Z, faded in under the mouse, moved with a left drag, resized with a right drag, its
// colour channel chosen with the wheel; a left click without a drag acts on the picture.
#include "analysis/course_points.h"

namespace qvtk {

struct CourseMapWindow {
    int centreX = 0, centreY = 0; // after clamping into the client area
    int half = 128;               // half the side, trunc(256 x Curse_Z)
    bool hover = false;
    int hoverFade = 0;   // 0..32
    int backingFade = 0; // 0..200
    int grab = 0;        // 0 none, 1 left drag (move), 2 right drag (resize)
    int grabMouseX = 0, grabMouseY = 0;
    int grabCentreX = 0, grabCentreY = 0;
    bool grabMoved = false; // the left drag moved: no click at the release
    float anchorY = 0;      // right drag: follows the mouse at 5 % per pass
};

extern CourseMapWindow g_mapWindow;

void ResetCourseMapWindow();

// The map is drawn in the current view.
bool CourseMapShown();

// Step 1: the half size and the centre clamped so that the whole map is in the client area.
void PlaceCourseMapWindow(int clientWidth, int clientHeight);

// (x, y) lies on the placed map.
bool OverCourseMap(int x, int y);
// The mouse belongs to the map: over it, or dragging it.
bool CourseMapHoldsMouse();

// Zoom and pan of the map as drawn now.
CourseMapView CourseMapViewNow();

// Where the 120 x 80 time and distance box goes over the map: a corner the track leaves free,
// or, with none, under the track and the cursor marks, translucent.
constexpr int kLapBoxWidth = 120, kLapBoxHeight = 80;
struct LapBoxPlace {
    float x = 0, y = 0;
    bool underTrack = false;
};
LapBoxPlace LapBoxPlacement();

// Places, fades and draws the map with its label, the cursor marks and the time and distance
// box.
void DrawCourseMapWindow(int clientWidth, int clientHeight);

// The wheel over the map chooses its colour channel. True when the notches were taken.
bool CourseMapWheel(int notches);

// The colour channel of CurrentFile one step on (+1) or back (-1) among the present and shown
// channels, within 0..63 (0 = none).
void StepMapColorChannel(int direction);

// Drags and clicks on the map, each pass. True when the mouse acted on the map, so that the
// press goes nowhere else.
bool CourseMapMouse(int pressed);

} // namespace qvtk
