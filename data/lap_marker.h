#pragma once
// Lap-marker pulses and running distances, collected while a binary reader walks its samples.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

// The running distances of a decode, kept in registers and written to the tracks per sample.
struct DistanceRun {
    uint32_t front = 0, rear = 0, selected = 0; // cumulative, 1/7200 m
    int32_t lapEntry = 1;  // lapDistance entry the current lap accumulates into
    uint32_t lapSum = 0;   // distance of the current lap not yet added to that entry
};

// Empties the lap mark table before decoding (the divisor is kept).
void BeginLapMarks(Slot& s);

// Carries on after sample i - 1 of a slot that already holds samples (appending).
DistanceRun ContinueDistances(const Slot& s, int32_t i);

// Adds one sample's wheel travel (already divided to 1/7200 m) to the tracks and the lap.
inline void AddDistance(Slot& s, DistanceRun& d, int32_t i, uint32_t front, uint32_t rear,
                        uint32_t selected) {
    d.front += front;
    d.rear += rear;
    d.selected += selected;
    d.lapSum += selected;
    s.distance.front[i] = d.front;
    s.distance.rear[i] = d.rear;
    s.distance.selected[i] = d.selected;
}

// A marker pulse at sample i: becomes the next lap mark when the entry is free and it is more
// than 600 samples after the previous mark (any spacing in debug mode).
void TakeLapPulse(Slot& s, DistanceRun& d, int32_t i);

// After the last sample: drops a mark in the last 50 samples, writes the end entries and lets
// each distance track repeat its last value once.
void FinishLapMarks(Slot& s, DistanceRun& d);

} // namespace qvtk
