#pragma once

#include "tools/sim/family4_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk::sim {

constexpr size_t kFamily4TableStart = 512;
constexpr size_t kFamily4DataStart = 8192;
constexpr int kFamily4Columns = 64;

// Where a column's readings come from.
enum class F4Source {
    Battery, // also carries the lap-marker bit
    Engine,
    Throttle,
    FrontSpeed,
    RearSpeed,
    FrontStroke,
    RearStroke,
    GpsPosition,
    GpsSpeed,
    Brake,
    AccelX,
    Lean,
    Gear,
    EcuStatus,
    Coolant,  // a sensor of another maker's ECU: extended 29-bit identifier, channel locked
    Computed, // worked out by the viewer from other columns; never in the data
};

// One channel descriptor and how the logger records it.
struct F4Channel {
    F4Source source;
    uint8_t mode; // 1 CAN, 2 calculated, 3 GPS
    uint8_t code;
    const char* name;
    const char* unit;
    uint8_t decimals;
    bool signedRaw;
    uint8_t bitDepth; // 1: 16-bit raw, 0: 8-bit
    uint8_t conversion;
    int32_t calA, calB, calOffset;
    uint8_t period;    // samples between readings; 0 for calculated channels
    uint16_t deadband; // raw counts a reading must move by before it is sent again
    uint8_t canPort;
    uint32_t canId;
    uint8_t bitShift;
    uint16_t dataMask;
    uint8_t flags = 0; // descriptor byte 12: bit 0 extended identifier, bit 2 locked
};

struct F4Table {
    int32_t in[10], out[10];
};

// The logger's channel table, column 0 first.
const std::vector<F4Channel>& Family4Channels();

// The ten-point tables of the two stroke sensors (raw ADC counts to mm x 1000).
const F4Table& StrokeTable(F4Source source);

// The stored value of a raw reading by the channel's conversion, truncated as readers do.
int64_t ConvertFamily4(const F4Channel& channel, int32_t raw);

// The 8192 bytes before the data: header, descriptor table, zeros.
std::vector<uint8_t> WriteFamily4Header(const SimRide& ride, const Family4Options& options,
                                        const GpsLine& line);

} // namespace qvtk::sim
