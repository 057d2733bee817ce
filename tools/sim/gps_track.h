#pragma once

#include "tools/sim/ride.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvtk::sim {

// Where the course's metre grid (x east, y north) lies on the earth: its (0, 0).
struct GeoOrigin {
    double latDeg = 39.5; // a plain in central Spain, well inland
    double lonDeg = -3.0;
};

// A position in 1/100000 minute of arc (degrees x 6 000 000), south and west negative.
struct GpsPoint {
    int32_t lat = 0, lon = 0;
};

// The start/finish line: a short segment across the track at the course start.
struct GpsLine {
    GpsPoint a, b;
};

constexpr double kUnitsPerDegree = 6000000;
constexpr double kLineHalfLength = 10; // m either side of the track's centre line
constexpr double kPitLaneOffset = 15;  // m from the main straight, outside the line's reach

GpsPoint ToGps(const GeoOrigin& origin, double x, double y);

// The line of a ride's course, its points chosen so that "%.6f" degrees read back from a
// course's control-line file give exactly the same units.
GpsLine StartFinishLine(const GeoOrigin& origin, double x, double y, double heading);
GpsLine StartFinishLine(const GeoOrigin& origin, const SimRide& ride);
GpsLine StartFinishLine(const GeoOrigin& origin, const SimCourse& course);

// Units as the control-line file stores them: decimal degrees with six decimals.
std::string DegreesText(int32_t units);

// One receiver fix per sample of a ride (the writers pick the samples they record): the
// position with a little receiver noise, the pit lane beside the main straight, and a
// short loss of fix away from the line.
struct GpsFix {
    GpsPoint at;
    uint8_t status = '3'; // '0' no fix, '3' 3-D fix
    uint8_t satellites = 0;
    float speedKmh = 0; // over the ground
};

struct GpsTrackOptions {
    GeoOrigin origin;
    int lossRecords = 12; // records without a fix, at 10 Hz; 0: the fix never drops
};

constexpr size_t kGpsPeriod = 20; // samples between receiver fixes: 10 Hz

// Fixes at every kGpsPeriod-th sample (index k is sample k x kGpsPeriod).
std::vector<GpsFix> SimulateGpsTrack(const SimRide& ride, const GpsTrackOptions& options);

} // namespace qvtk::sim
