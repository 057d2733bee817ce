#include "tools/sim/csv_writer.h"

#include "tools/sim/rng.h"

#include <cstdio>
#include <string>

namespace qvtk::sim {

namespace {

constexpr size_t kEvery = 10; // samples of the ride between two lines: 20 lines a second

} // namespace

std::vector<uint8_t> WriteLapTimerCsv(const SimRide& ride) {
    std::string text = "\xEF\xBB\xBF"
                       "Format,QVTK ride simulator lap timer,,,,\r\n"
                       "Venue,vorela,,,,\r\n"
                       "Rate,20 Hz,,,,\r\n"
                       "\r\n"
                       "Time,Lap,Lap Distance,Speed,Engine Speed,Throttle\r\n"
                       "s,,m,km/h,rpm,%\r\n";
    SimRng rng = MakeRng(ride.seed, 7);
    size_t pulse = 0;
    char line[160];
    for (size_t i = 0; i < RideSamples(ride); i += kEvery) {
        while (pulse < ride.lapPulseStarts.size() && ride.lapPulseStarts[pulse] <= i) ++pulse;
        const double jitter = double(int(NextU64(rng) % 5) - 2) * 0.001;
        const double t = i == 0 ? 0.0 : double(i) * kSampleSeconds + jitter;
        std::snprintf(line, sizeof line, "%.3f,%zu,%.1f,%.1f,%.0f,%.1f\r\n", t, pulse + 1,
                      ride.distance[i], ride.frontSpeed[i], ride.rpm[i], ride.throttle[i]);
        text += line;
    }
    return std::vector<uint8_t>(text.begin(), text.end());
}

} // namespace qvtk::sim
