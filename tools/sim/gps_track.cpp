#include "tools/sim/gps_track.h"

#include "tools/sim/rng.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace qvtk::sim {

namespace {

constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180; // mean earth radius
constexpr double kNoiseMetres = 0.4;
constexpr double kNoiseKeep = 0.9;     // per fix: the error drifts rather than jumps
constexpr double kPitMergeSeconds = 2; // the lane joins and leaves the track gradually

// True when the text reads back as exactly these units however a reader multiplies.
bool ReadsBackExactly(int32_t units) {
    double d = std::strtod(DegreesText(units).c_str(), nullptr);
    auto same = [&](double product) { return static_cast<int64_t>(product) == units; };
    return same(d * 100000 * 60) && same(d * 6000000) && same(d * 60 * 100000);
}

// Units on the micro-degree grid of the file, stepped outwards until they read back
// exactly: a step moves the point about a decimetre.
int32_t SnapForIni(int32_t units) {
    int64_t micro = std::llround(units / 6.0);
    int64_t step = micro < 0 ? -1 : 1;
    for (int tries = 0; tries < 16; ++tries, micro += step)
        if (ReadsBackExactly(static_cast<int32_t>(micro * 6))) break;
    return static_cast<int32_t>(micro * 6);
}

double Wander(double current, SimRng& rng) {
    return kNoiseKeep * current +
           kNoiseMetres * std::sqrt(1 - kNoiseKeep * kNoiseKeep) * NextGauss(rng);
}

double GroundSpeedKmh(const SimRide& ride, size_t i) {
    size_t n = RideSamples(ride);
    size_t lo = i > 0 ? i - 1 : i, hi = i + 1 < n ? i + 1 : i;
    if (hi == lo) return 0;
    double d = ride.distance[hi] - ride.distance[lo];
    if (d < -ride.courseLength / 2) d += ride.courseLength; // crossed the line
    if (d > ride.courseLength / 2) d -= ride.courseLength;
    return std::max(0.0, d / (static_cast<double>(hi - lo) * kSampleSeconds) * 3.6);
}

// The first fix of the drop-out: past the middle of the ride, far from the line and out
// of the pit lane, so that no lap and no pit stop depends on it.
size_t LossStart(const SimRide& ride, size_t fixes) {
    for (size_t k = fixes * 11 / 20; k < fixes; ++k) {
        size_t i = k * kGpsPeriod;
        double share = ride.distance[i] / ride.courseLength;
        if (share > 0.3 && share < 0.7 && !ride.pitLane[i]) return k;
    }
    return fixes;
}

} // namespace

GpsPoint ToGps(const GeoOrigin& origin, double x, double y) {
    double lat = origin.latDeg + y / kMetresPerDegree;
    double lon =
        origin.lonDeg + x / (kMetresPerDegree * std::cos(origin.latDeg * std::numbers::pi / 180));
    return {static_cast<int32_t>(std::llround(lat * kUnitsPerDegree)),
            static_cast<int32_t>(std::llround(lon * kUnitsPerDegree))};
}

std::string DegreesText(int32_t units) {
    int64_t micro = std::llround(units / 6.0);
    int64_t mag = micro < 0 ? -micro : micro;
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%06lld", micro < 0 ? "-" : "",
                  static_cast<long long>(mag / 1000000), static_cast<long long>(mag % 1000000));
    return text;
}

GpsLine StartFinishLine(const GeoOrigin& origin, double x, double y, double heading) {
    // Across the track: the heading turned by a right angle.
    double ax = -std::sin(heading) * kLineHalfLength, ay = std::cos(heading) * kLineHalfLength;
    GpsPoint a = ToGps(origin, x + ax, y + ay), b = ToGps(origin, x - ax, y - ay);
    return {{SnapForIni(a.lat), SnapForIni(a.lon)}, {SnapForIni(b.lat), SnapForIni(b.lon)}};
}

GpsLine StartFinishLine(const GeoOrigin& origin, const SimRide& ride) {
    return StartFinishLine(origin, ride.lineX, ride.lineY, ride.lineHeading);
}

GpsLine StartFinishLine(const GeoOrigin& origin, const SimCourse& course) {
    return StartFinishLine(origin, course.x[0], course.y[0], CourseHeading(course, 0));
}

std::vector<GpsFix> SimulateGpsTrack(const SimRide& ride, const GpsTrackOptions& options) {
    size_t n = RideSamples(ride);
    size_t fixes = (n + kGpsPeriod - 1) / kGpsPeriod;
    size_t lossFrom = options.lossRecords > 0 ? LossStart(ride, fixes) : fixes;
    size_t lossTo = lossFrom + static_cast<size_t>(std::max(options.lossRecords, 0));
    // The pit lane lies to the right of the main straight.
    double rightX = std::sin(ride.lineHeading), rightY = -std::cos(ride.lineHeading);
    SimRng rng = MakeRng(ride.seed, 11);
    double pit = n > 0 && ride.pitLane[0] ? kPitLaneOffset : 0, noiseX = 0, noiseY = 0;
    std::vector<GpsFix> track;
    track.reserve(fixes);
    for (size_t i = 0; i < n; ++i) {
        double target = ride.pitLane[i] ? kPitLaneOffset : 0;
        pit += (target - pit) * (kSampleSeconds / (kPitMergeSeconds + kSampleSeconds));
        if (i % kGpsPeriod != 0) continue;
        size_t k = i / kGpsPeriod;
        noiseX = Wander(noiseX, rng);
        noiseY = Wander(noiseY, rng);
        GpsFix fix;
        fix.satellites = static_cast<uint8_t>(9 + (k / 300) % 4);
        fix.speedKmh = static_cast<float>(GroundSpeedKmh(ride, i));
        if (k >= lossFrom && k < lossTo && !track.empty()) {
            // Without a fix the receiver repeats its last position.
            fix.at = track.back().at;
            fix.status = '0';
            fix.satellites = 3;
        } else {
            fix.at = ToGps(options.origin, ride.x[i] + pit * rightX + noiseX,
                           ride.y[i] + pit * rightY + noiseY);
        }
        track.push_back(fix);
    }
    return track;
}

} // namespace qvtk::sim
