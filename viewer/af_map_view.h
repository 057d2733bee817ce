#pragma once
// The A/F map view: in place of the graphs, File 1's and File 2's air-fuel points of the
// checked laps over engine speed and the Y channel, coloured below, inside or above a window
// the user moves with the mouse buttons and widens with the wheel.
#include "analysis/af_map.h"

namespace qvtk {

struct AfMapViewState {
    int windowLow = kAfWindowLowStart;     // A/F x 100
    int windowWidth = kAfWindowWidthStart; // A/F x 100
    int fade = 0;                          // 0..255; the points come at 255
    int heldPasses = 0;                    // passes a window button has been held
    AfMapCounts counts[2];                 // of the last drawn frame, per panel
};

extern AfMapViewState g_afMapView;

void ResetAfMapView();

// Key S and the lap table's " LAF  Histogram": the view comes on and fades in.
void EnterAfMapView();
// Key S again, the toolbar's AFM: back to the graphs.
void LeaveAfMapView();

// The options the view draws with now: settings, window, switch direction, delay, Shift/Ctrl.
AfMapOptions CurrentAfMapOptions();

// One pass of the view; c is half the client width.
void DrawAfMapView(int clientWidth);

// Left button: window low + 10, right: - 10; a held button repeats every pass after 7 passes.
void AfMapViewButtons(int buttons);
// Wheel notches (either wheel): window width + 5 each.
void AfMapViewWheel(int notches);

// The view is fully shown: the main loop paces it at 100 ms.
bool AfMapFullyShown();

} // namespace qvtk
