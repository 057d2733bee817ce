#pragma once
// Laps from GPS: crossings of the control line (points A and B) by the GPS track, and the
// control line of the course from "gps_p.ini".
#include <cstdint>
#include <string_view>

#include "data/session.h"

namespace qvtk {

// The fix the crossing test compares the next one with, per slot.
struct PreviousFix {
    int32_t lon = 0;
    int32_t lat = 0;
    int32_t index = 0; // its sample index
};

struct GpsLapState {
    PreviousFix previous[kSlotCount];
};

extern GpsLapState g_gpsLaps;

void ResetGpsLaps();

// Interpolated sample index at which the track from the previous fix to sample i's fix crosses
// the slot's control line, or -1. Call with i ascending from 0: the first 201 samples only
// seed the previous fix.
int32_t FindLineCrossing(FileSlot slot, int32_t i);

// Replaces the lap marks of every slot holding a recording by its control-line crossings and
// rebuilds the segments.
void DetectGpsLaps();
// The same for one slot (a recording loaded with laps from its own line).
void DetectGpsLapsInSlot(FileSlot slot);
// The control line of a course as "gps_p.ini" gives it (0,0 to 0,0 when missing).
ControlLine ReadControlLine(std::string_view course);

// Reads the control line of the course from "gps_p.ini" into all three slots, then detects the
// laps again.
void LoadControlLine();

// A "gps_p.ini" value in decimal degrees as GPS units (1/100000 minute), truncated.
int32_t DegreesTextToGpsUnits(std::string_view text);

} // namespace qvtk
