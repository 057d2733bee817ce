#include "tools/sim/ride_plan.h"

#include <algorithm>
#include <cmath>

namespace qvtk::sim {

namespace {

constexpr double kLateralGrip = 1.2 * kGravity;
constexpr double kBraking = 1.2 * kGravity;
constexpr double kPitBraking = 0.35 * kGravity;
constexpr double kDrive = 0.95 * kGravity;
constexpr double kBikeTopSpeed = 255 / 3.6;
constexpr double kPitDrive = 0.35;
// The in-lap pace begins a little after the line, so the last flying lap is not spoiled.
constexpr double kCoolDownAfter = 150;

double Braking(const PaceZone& zone) {
    return zone.pitLane ? kPitBraking : zone.grip * kBraking;
}

void AddZones(const SimCourse& course, int laps, double riderPace, SimRng& rng, RidePlan& plan) {
    double lap = course.length;
    double toLine = lap - course.pitBox;
    PaceZone pit{0, 1, kPitDrive, kPitSpeedLimit, true, false};
    plan.zones.push_back(pit);
    // The out-lap brings the tyres and brakes up to temperature.
    plan.zones.push_back({toLine + course.pitLaneOut, 0.9, 0.85, 230 / 3.6, false, false});
    for (int k = 0; k < laps; ++k) {
        // Lap times differ a little: a rider never matches his pace exactly.
        double pace = riderPace * std::clamp(1.0 + 0.012 * NextGauss(rng), 0.97, 1.03);
        double start = toLine + (k + 1) * lap;
        plan.zones.push_back({start, pace, pace, kBikeTopSpeed, false, true});
        plan.markPress.push_back(start + NextRange(rng, 0.1, 0.9) * lap);
    }
    // The in-lap cools them down again.
    plan.zones.push_back(
        {toLine + (laps + 1) * lap + kCoolDownAfter, 0.85, 0.75, 190 / 3.6, false, false});
    pit.start = plan.length - (course.pitBox - course.pitLaneIn);
    plan.zones.push_back(pit);
}

void AddBeacons(const SimCourse& course, int marksPerLap, RidePlan& plan) {
    double lap = course.length;
    double onTrackFrom = plan.zones[1].start, onTrackTo = plan.zones.back().start;
    for (int j = 0; j < marksPerLap; ++j) {
        double first = WrapCourseDistance(course, j * lap / marksPerLap - plan.startAt);
        for (double r = first; r < plan.length; r += lap)
            if (r >= onTrackFrom && r < onTrackTo) plan.beacons.push_back(r);
    }
    std::sort(plan.beacons.begin(), plan.beacons.end());
}

void BuildEnvelope(const SimCourse& course, RidePlan& plan) {
    size_t count = static_cast<size_t>(std::ceil(plan.length / plan.gridStep)) + 1;
    plan.envelope.assign(count, 0.0f);
    std::vector<float> braking(count);
    size_t zone = 0;
    for (size_t g = 0; g < count; ++g) {
        double r = static_cast<double>(g) * plan.gridStep;
        zone = ZoneAt(plan, r, zone);
        const PaceZone& z = plan.zones[zone];
        double limit = z.topSpeed;
        double k = std::fabs(CourseAt(course, plan.startAt + r).curvature);
        if (k > 0) limit = std::min(limit, std::sqrt(z.grip * kLateralGrip / k));
        plan.envelope[g] = static_cast<float>(limit);
        braking[g] = static_cast<float>(Braking(z));
    }
    plan.envelope[count - 1] = 0; // the ride ends standing in the pit box
    for (size_t g = count - 1; g-- > 0;) {
        double reach = std::sqrt(double(plan.envelope[g + 1]) * plan.envelope[g + 1] +
                                 2 * braking[g] * plan.gridStep);
        plan.envelope[g] = static_cast<float>(std::min<double>(plan.envelope[g], reach));
    }
}

} // namespace

RidePlan PlanRide(const SimCourse& course, int laps, int marksPerLap, double pace, SimRng& rng) {
    RidePlan plan;
    plan.startAt = course.pitBox;
    plan.length = (laps + 2) * course.length;
    AddZones(course, laps, std::clamp(pace, 0.8, 1.1), rng, plan);
    AddBeacons(course, marksPerLap, plan);
    BuildEnvelope(course, plan);
    return plan;
}

double EnvelopeAt(const RidePlan& plan, double rideDistance) {
    double at = std::max(0.0, rideDistance / plan.gridStep);
    size_t i = static_cast<size_t>(at);
    if (i + 1 >= plan.envelope.size()) return 0;
    double f = at - static_cast<double>(i);
    return plan.envelope[i] + (plan.envelope[i + 1] - plan.envelope[i]) * f;
}

double FullThrottleAccel(const PaceZone& zone, double speed) {
    double ratio = speed / kBikeTopSpeed;
    return kDrive * (zone.drive - ratio * ratio);
}

double ThrottleShare(double accel, double speed) {
    double ratio = speed / kBikeTopSpeed;
    return std::clamp(accel / kDrive + ratio * ratio, 0.0, 1.0);
}

size_t ZoneAt(const RidePlan& plan, double rideDistance, size_t hint) {
    size_t z = hint;
    while (z + 1 < plan.zones.size() && rideDistance >= plan.zones[z + 1].start) ++z;
    return z;
}

} // namespace qvtk::sim
