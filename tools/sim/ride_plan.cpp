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

// A slowed corner as the plan applies it on the flying laps.
struct SlowArc {
    double from = 0, to = 0; // course distances of the arc
    SlowCorner corner;
    double boost = 1;    // braking on the approach, as a share of the usual
    double approach = 0; // m before the arc in which that braking is done
};

// Whether a course distance lies within from .. to, measured along the course from `from`.
bool Within(const SimCourse& course, double at, double from, double to) {
    return WrapCourseDistance(course, at - from) <= to - from;
}

// The speed each grid point allows on its own (corners, zones, slowed corners) and the
// braking there.
void Limits(const SimCourse& course, const RidePlan& plan, const std::vector<SlowArc>& arcs,
            std::vector<float>& limits, std::vector<float>& braking) {
    const size_t count = limits.size();
    size_t zone = 0;
    for (size_t g = 0; g < count; ++g) {
        double r = static_cast<double>(g) * plan.gridStep;
        zone = ZoneAt(plan, r, zone);
        const PaceZone& z = plan.zones[zone];
        double limit = z.topSpeed, brake = Braking(z);
        const double at = plan.startAt + r;
        double k = std::fabs(CourseAt(course, at).curvature);
        if (k > 0) limit = std::min(limit, std::sqrt(z.grip * kLateralGrip / k));
        for (size_t a = 0; z.flying && a < arcs.size(); ++a) {
            if (Within(course, at, arcs[a].from, arcs[a].to)) limit *= arcs[a].corner.apexSpeed;
            if (Within(course, at, arcs[a].from - arcs[a].approach, arcs[a].from))
                brake *= arcs[a].boost;
        }
        limits[g] = static_cast<float>(limit);
        braking[g] = static_cast<float>(brake);
    }
    limits[count - 1] = 0; // the ride ends standing in the pit box
}

// From the end backwards: no point faster than the braking for what lies ahead allows.
void BrakeBackwards(const RidePlan& plan, const std::vector<float>& braking,
                    std::vector<float>& envelope) {
    for (size_t g = envelope.size() - 1; g-- > 0;) {
        double reach =
            std::sqrt(double(envelope[g + 1]) * envelope[g + 1] + 2 * braking[g] * plan.gridStep);
        envelope[g] = static_cast<float>(std::min<double>(envelope[g], reach));
    }
}

// Metres before a slowed corner's arc at which the braking for it begins on the first flying
// lap: where the speed the rider reaches under full throttle first meets the envelope.
double BrakingDistance(const SimCourse& course, const RidePlan& plan, const SlowArc& arc) {
    const std::vector<float>& envelope = plan.envelope;
    size_t entry = 0, zone = 0;
    std::vector<float> reach(envelope.size()); // full throttle from the speed actually ridden
    double v = 0;
    for (size_t g = 0; g + 1 < envelope.size() && entry == 0; ++g) {
        const double r = static_cast<double>(g) * plan.gridStep;
        zone = ZoneAt(plan, r, zone);
        if (plan.zones[zone].flying && Within(course, plan.startAt + r, arc.from, arc.to))
            entry = g;
        const double a = std::max(FullThrottleAccel(plan.zones[zone], v), 0.0);
        reach[g + 1] = static_cast<float>(std::sqrt(v * v + 2 * a * plan.gridStep));
        v = std::min<double>(reach[g + 1], envelope[g + 1]);
    }
    size_t g = entry;
    while (g > 0 && envelope[g - 1] < reach[g - 1]) --g;
    return static_cast<double>(entry - g) * plan.gridStep;
}

void BuildEnvelope(const SimCourse& course, RidePlan& plan,
                   const std::vector<SlowCorner>& slowCorners) {
    size_t count = static_cast<size_t>(std::ceil(plan.length / plan.gridStep)) + 1;
    std::vector<SlowArc> arcs;
    for (const SlowCorner& c : slowCorners) {
        SlowArc arc;
        arc.corner = c;
        arc.corner.apexSpeed = std::clamp(c.apexSpeed, 0.5, 1.0);
        arc.corner.brakeLater = std::clamp(c.brakeLater, 0.0, 100.0);
        if (FindCorner(course, c.at, arc.from, arc.to)) arcs.push_back(arc);
    }
    std::vector<float> limits(count), braking(count);
    auto build = [&](const std::vector<SlowArc>& with) {
        Limits(course, plan, with, limits, braking);
        plan.envelope = limits;
        BrakeBackwards(plan, braking, plan.envelope);
    };
    // A later braking point than the rider's who takes the corner well: harder braking, in the
    // ratio of the braking distance the slower corner needs to the one left.
    std::vector<double> usual;
    build({});
    for (const SlowArc& arc : arcs) usual.push_back(BrakingDistance(course, plan, arc));
    build(arcs);
    bool boosted = false;
    for (size_t a = 0; a < arcs.size(); ++a) {
        if (arcs[a].corner.brakeLater <= 0 || usual[a] <= 0) continue;
        const double slow = BrakingDistance(course, plan, arcs[a]);
        arcs[a].boost = slow / std::max(usual[a] - arcs[a].corner.brakeLater, 0.25 * usual[a]);
        arcs[a].approach = usual[a] + 20; // its own braking, none for the corner before
        boosted = true;
    }
    if (boosted) build(arcs);
}

} // namespace

bool FindCorner(const SimCourse& course, double at, double& from, double& to) {
    const size_t n = course.curvature.size();
    if (n == 0) return false;
    const size_t start = static_cast<size_t>(WrapCourseDistance(course, at) / course.spacing) % n;
    // The nearest point on a corner, searching both ways.
    size_t found = n;
    for (size_t step = 0; step <= n / 2 && found == n; ++step)
        for (size_t i : {(start + step) % n, (start + n - step) % n})
            if (course.curvature[i] != 0) {
                found = i;
                break;
            }
    if (found == n) return false;
    const bool left = course.curvature[found] > 0;
    auto same = [&](size_t i) {
        return course.curvature[i] != 0 && (course.curvature[i] > 0) == left;
    };
    size_t first = found, steps = 0;
    while (same((first + n - 1) % n) && steps++ < n) first = (first + n - 1) % n;
    size_t span = 0;
    while (span + 1 < n && same((found + span + 1) % n)) ++span;
    from = static_cast<double>(first) * course.spacing;
    to = static_cast<double>(found + span) * course.spacing;
    if (to < from) to += course.length;
    return true;
}

RidePlan PlanRide(const SimCourse& course, int laps, int marksPerLap, double pace, SimRng& rng,
                  const std::vector<SlowCorner>& slowCorners) {
    RidePlan plan;
    plan.startAt = course.pitBox;
    plan.length = (laps + 2) * course.length;
    AddZones(course, laps, std::clamp(pace, 0.8, 1.1), rng, plan);
    AddBeacons(course, marksPerLap, plan);
    BuildEnvelope(course, plan, slowCorners);
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
