#pragma once

#include "tools/sim/ride.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvtk::sim {

struct HndOptions {
    // Recording period of each channel in ms, a multiple of 5; 0: not recorded.
    int nePeriod = 5;
    int frontWheelPeriod = 10, rearWheelPeriod = 10;
    int throttlePeriod = 10;
    int vbPeriod = 100;
    int frontStrokePeriod = 5, rearStrokePeriod = 5;
    int laf1Period = 20, laf2Period = 20;
    int aux1Period = 50, aux2Period = 0;
    bool lapMarkers = true;
    int throttleClosed = 400, throttleOpen = 3600; // four times the raw reading
    int frontZero = 1000, rearZero = 1010;         // stroke readings at full extension
    int absoluteEvery = 256; // every this many codes of a channel is an absolute value
    int fillerEvery = 20000; // samples between filler codes; 0: none
    std::string loggerId = "SIMHND";
};

constexpr size_t kHndStreamStart = 1152;
constexpr int kHndLapPeriod = 60; // samples between lap-marker codes

// An hnd recording: the header, then from offset 1152 a bit stream of variable-length
// delta codes, each channel at its own period. The recording holds whole 200-sample
// blocks of the ride; the rest is cut off.
std::vector<uint8_t> WriteHnd(const SimRide& ride, const HndOptions& options = {});

} // namespace qvtk::sim
