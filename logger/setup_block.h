#pragma once
// The setup block the logger reads from its memory card, built from the setup values: 512
// bytes, or 1024 for the compressed log format with the launch-control values.
#include <cstdint>
#include <vector>

#include "data/setup_values.h"

namespace qvtk {

// "Position Adjust": bytes taken from what File 1's recording saw instead of the calibration.
struct PositionAdjust {
    bool throttle = false;
    bool front = false;
    bool rear = false;
};

// What File 1 saw: the lowest and highest throttle readings and the suspension readings.
struct ObservedReadings {
    int throttleLowest = 0, throttleHighest = 0;
    int front = 0, rear = 0; // 10-bit
};

// Makes the values fit for the logger, in memory: equal throttle readings become 0 and 255,
// pulse counts at least 1, tire circumferences at least 100 mm.
void NormaliseSetupValues(SetupValues& v);

// Input k's conversion type and data into the block.
void WriteInputTables(uint8_t* block, int input, const SetupValues& v);

// The whole block. `compressed` makes the 1024-byte form. Launch control not in use (the
// `LC` and `Debug` settings and LC itself off) is written as off with 65535 everywhere, and
// so set in `v`.
std::vector<uint8_t> BuildSetupBlock(SetupValues& v, bool compressed, const PositionAdjust& adjust,
                                     const ObservedReadings& seen);

} // namespace qvtk
