#pragma once
// Lap-marker pulses and running distances, collected while a binary reader walks its samples.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

struct LapMarkerState {
    int32_t lapEntry = 1; // lapDistance entry the current lap accumulates into
};

// Empties the lap mark table before decoding (the divisor is kept).
void BeginLapMarks(Slot& s);

// Adds one sample's wheel travel (already divided to 1/7200 m) to the tracks and the lap.
inline void AddDistance(Slot& s, LapMarkerState& st, int32_t i, uint32_t front, uint32_t rear,
                        uint32_t selected) {
    uint32_t prevFront = i > 0 ? s.distance.front[i - 1] : 0;
    uint32_t prevRear = i > 0 ? s.distance.rear[i - 1] : 0;
    uint32_t prevSel = i > 0 ? s.distance.selected[i - 1] : 0;
    s.distance.front[i] = prevFront + front;
    s.distance.rear[i] = prevRear + rear;
    s.distance.selected[i] = prevSel + selected;
    s.laps.lapDistance[st.lapEntry] += int32_t(selected);
}

// A marker pulse at sample i: becomes the next lap mark when the entry is free and it is more
// than 600 samples after the previous mark (any spacing in debug mode).
void TakeLapPulse(Slot& s, LapMarkerState& st, int32_t i);

// After the last sample: drops a mark in the last 50 samples, writes the end entries and lets
// each distance track repeat its last value once.
void FinishLapMarks(Slot& s);

} // namespace qvtk
