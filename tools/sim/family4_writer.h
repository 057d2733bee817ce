#pragma once

#include "tools/sim/gps_track.h"
#include "tools/sim/ride.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvtk::sim {

struct Family4Options {
    // Laps from crossings of the GPS start/finish line instead of the lap-marker bit.
    bool gpsLaps = false;
    std::string courseName = "vorela"; // without ".crs", which readers append
    std::string memo;                  // empty: "QVTK simulated ride seed <seed>"
    GpsTrackOptions gps;
    int ecuFailCode = 0; // 1-255: the ECU reports this fail code for two seconds mid-ride
    int canBitRate = 2;  // 0-4, both buses
};

// A family-4 (CAN logger) recording: the header with the start/finish line, the channel
// descriptor table, and from offset 8192 one sample group (or a share of a repeat byte)
// per sample from sample 1 on. Channels are recorded at their own rates and sent when
// they change; the GPS gives a position and speed at 10 Hz.
std::vector<uint8_t> WriteFamily4(const SimRide& ride, const Family4Options& options = {});

} // namespace qvtk::sim
