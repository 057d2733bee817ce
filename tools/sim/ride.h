#pragma once

#include "tools/sim/bike.h"
#include "tools/sim/course.h"
#include "tools/sim/ride_plan.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk::sim {

constexpr double kSampleSeconds = 0.005; // the logger samples at 200 Hz
constexpr int kLapPulseSamples = 10;     // a beacon pulse lasts 50 ms
constexpr int kMarkSamples = 40;         // the mark button is held 0.2 s

struct RideOptions {
    uint32_t seed = 1;
    int laps = 5;        // flying laps between the out-lap and the in-lap
    double minutes = 0;  // when > 0: the recording lasts exactly this long, overriding laps
    int marksPerLap = 1; // lap-marker beacons around the course, 1-3
    double pace = 1.0;   // the rider's grip and drive on the flying laps, 0.8-1.1
    std::vector<SlowCorner> slowCorners; // corners taken worse on every flying lap
    SimBike bike;
};

// The physical truth of a ride, one entry per 5 ms sample. Sample 0 is the first sample
// of the recording. Floats keep a three-hour ride within a few hundred megabytes.
struct SimRide {
    uint32_t seed = 0;
    int marksPerLap = 1;
    SimBike bike;
    double courseLength = 0;                    // m
    double lineX = 0, lineY = 0;                // course start, where the line crosses, m
    double lineHeading = 0;                     // direction of travel there, rad from +x
    std::vector<float> rpm;                     // engine speed
    std::vector<float> throttle;                // %
    std::vector<float> frontSpeed, rearSpeed;   // wheel speeds, km/h
    std::vector<float> frontStroke, rearStroke; // suspension, mm compressed from full extension
    std::vector<float> laf1, laf2;              // air-fuel ratio
    std::vector<float> vb;                      // battery, V
    std::vector<float> aux1;                    // coolant temperature sender, V
    std::vector<float> aux2;                    // brake pressure sender, V
    std::vector<float> waterTemp;               // coolant, degrees C (sent on the CAN bus)
    std::vector<float> x, y;                    // position, m
    std::vector<float> distance;                // along the course from the line, m
    std::vector<uint8_t> gear;                  // 0 = neutral
    std::vector<uint8_t> pitLane;               // 1 while in the pit lane or the pit box
    std::vector<uint8_t> lapPulse;              // 1 while the lap-marker pulse is high
    std::vector<uint8_t> sampleMark;            // 1 while the mark button is held
    std::vector<uint32_t> lapPulseStarts;       // first sample of every lap-marker pulse
};

inline size_t RideSamples(const SimRide& ride) {
    return ride.rpm.size();
}

SimRide SimulateRide(const SimCourse& course, const RideOptions& options);

} // namespace qvtk::sim
