#pragma once

#include "tools/sim/ride.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvtk::sim {

// How the logger converts one analog input (LAF1, LAF2, AUX1, AUX2). The recorded raw
// readings do not depend on it: the sensor gives the same voltage however it is shown.
struct InputCalibration {
    uint8_t type = 0;         // 0 standard LAF sensor, 1 voltage, 2 gain and offset, 3 table
    int16_t gain = 0;         // type 2
    int16_t offset = 0;       // type 2
    uint8_t tableIn[16] = {}; // type 3: breakpoints in ADC counts (x 5000 / 255 = mV)
    uint16_t tableOut[16] = {};
};

struct Family3Options {
    std::string firmware; // empty: "SimLog <version>.00"
    std::string memo;     // empty: "QVTK simulated ride seed <seed>"
    int enginePulses = 2; // per revolution; 0: the logger counts one pulse per two revolutions
    int frontWheelPulses = 20;
    int rearWheelPulses = 4;
    int throttleClosed = 20; // raw readings at closed and at full throttle
    int throttleOpen = 220;
    bool frontLinear = false; // linear stroke sensors instead of the standard ones
    bool rearLinear = false;
    int frontLinearStroke = 2000; // 0.1 mm over 0-5 V
    int rearLinearStroke = 1000;
    int frontZero = -1; // 10-bit zero readings; -1: 1000 front, 1010 rear (4 for version 32)
    int rearZero = -1;
    // Lap-marker voltage threshold raw: 64 x 2000 / 255 = 5.01 V (versions 1 and 2 compare
    // it with the battery voltage in thousandths, so there it is 0.50 V).
    int lapThreshold = 64;
    int linkRatio = 229; // x 100
    InputCalibration inputs[4] = {{0}, {0}, {1}, {1}};
    // Variable records carry every field absolute this often, so a reader that lost
    // track (or a person with a hex viewer) finds firm ground again.
    int refreshRecords = 200;
    // Variable records carry the reserved fields every this many records (0: never);
    // readers must skip them.
    int reservedEvery = 0;
};

// A family-3 log file of version 0, 1, 2, 3, 4 or 32: the header, then one record per
// sample from sample 1 on (sample 0 of a recording has no record).
std::vector<uint8_t> WriteFamily3(const SimRide& ride, int version,
                                  const Family3Options& options = {});

} // namespace qvtk::sim
