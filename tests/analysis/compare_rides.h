#pragma once
// Simulated riders with known differences on one course: the best ride, a ride slower in two
// chosen corners, and a ride uniformly slower; and where each truly was.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "tools/sim/course.h"
#include "tools/sim/ride.h"

namespace qvtk::test {

constexpr uint32_t kCompareSeed = 21;
constexpr int kCompareLaps = 2;
constexpr double kUniformPace = 0.92;

enum Variant { kBest, kSlowCorners, kUniform };

inline const sim::SimCourse& Course() {
    static const sim::SimCourse course = sim::MakeCourse(kCompareSeed);
    return course;
}

// The two tightest corners away from the line (and from each other): the slow rider takes
// them at 85 % of their speed, braking 15 m later.
inline const std::vector<double>& SlowedCorners() {
    static const std::vector<double> corners = [] {
        const sim::SimCourse& c = Course();
        std::vector<std::pair<double, double>> arcs; // curvature, centre
        for (double at = 0; at < c.length; at += 5) {
            double from = 0, to = 0;
            if (!sim::FindCorner(c, at, from, to)) continue;
            const double centre = std::fmod((from + to) / 2, c.length);
            const double k = std::fabs(sim::CourseAt(c, centre).curvature);
            if (centre > 400 && centre < c.length - 400 &&
                std::none_of(arcs.begin(), arcs.end(),
                             [&](auto& a) { return std::fabs(a.second - centre) < 1; }))
                arcs.push_back({k, centre});
        }
        std::sort(arcs.rbegin(), arcs.rend());
        std::vector<double> out{arcs[0].second};
        for (auto& a : arcs)
            if (std::fabs(a.second - out[0]) > 500) {
                out.push_back(a.second);
                break;
            }
        return out;
    }();
    return corners;
}

inline const sim::SimRide& Ride(Variant v) {
    static std::map<Variant, sim::SimRide> rides;
    auto [at, fresh] = rides.try_emplace(v);
    if (fresh) {
        sim::RideOptions o;
        o.seed = kCompareSeed;
        o.laps = kCompareLaps;
        if (v == kUniform) o.pace = kUniformPace;
        if (v == kSlowCorners)
            for (double c : SlowedCorners()) o.slowCorners.push_back({c, 0.85, 15});
        at->second = sim::SimulateRide(Course(), o);
    }
    return at->second;
}

// The time (s from the lap's first sample) at which the ride truly reached a course distance
// in the lap between two samples.
inline double TrueTime(const sim::SimRide& ride, int32_t from, int32_t to, double d) {
    double prev = 0;
    for (int32_t i = from; i < to; ++i) {
        double at = ride.distance[size_t(i)];
        if (i - from < 200 && at > Course().length / 2) at -= Course().length; // before the line
        if (at >= d && i > from) {
            const double f = (d - prev) / std::max(at - prev, 1e-9);
            return (i - 1 - from + f) * 0.005;
        }
        prev = at;
    }
    return (to - from) * 0.005;
}

} // namespace qvtk::test
