#pragma once

#include "tools/sim/ride.h"

#include <cstdint>
#include <vector>

namespace qvtk::sim {

// The ride as a phone lap timer exports it: a UTF-8 byte order mark, session lines padded with
// commas, a blank line, the column names with a units line under them, CR LF line ends, and a
// line every 50 ms whose time stamp jitters by up to 2 ms (the phone's clock, not the logger's).
std::vector<uint8_t> WriteLapTimerCsv(const SimRide& ride);

} // namespace qvtk::sim
