#pragma once
// Lap navigation over the time graphs: stepping every synchronised file to the same point of
// another lap, and zooming the graphs onto one lap of a file's lap list. The viewer hands in
// its cursor and view values and takes the new ones back.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

struct LapNavigation {
    int32_t selectedLap[kSlotCount] = {};       // 1-based segment number, 0 = none
    bool sync[kSlotCount] = {true, true, true}; // the file follows lap steps
    int32_t displayPosition[kSlotCount] = {};   // sample under the baseline x 100 (CursorPos)
    int32_t cursor[kSlotCount] = {};            // cursor sample the view moves to
    int32_t firstListedLap[kSlotCount] = {};    // first lap shown in the file's lap list
    float samplesPerPixel = 5.0f;               // HorizontalCompression
    int32_t graphHalfWidth = 512;
    int32_t valueColumnWidth = 105;
    bool ctrlHeld = false; // CtrlHeld
    bool redraw = false;   // set when the graphs must be redrawn
};

// Moves the cursor of every synchronised file that holds a recording by lapSteps laps
// (negative = forward) to the same share of the lap's distance.
LapNavigation StepToLap(const LapNavigation& view, int32_t lapSteps);

// Zooms the graphs so that the lap in `row` of the slot's lap list fills them, and centres
// the slot's cursor on it (and the display position too while Ctrl is held).
LapNavigation ShowWholeLap(const LapNavigation& view, FileSlot slot, int32_t row);

} // namespace qvtk
