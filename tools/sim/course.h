#pragma once

#include <cstdint>
#include <vector>

namespace qvtk::sim {

// A closed race course: straights joined by circular corners, sampled every `spacing`
// metres in driving order. Point 0 lies on the start line, where the lap marker stands.
struct SimCourse {
    uint32_t seed = 0;
    double length = 0;             // m, one lap
    double spacing = 1;            // m between neighbouring points
    std::vector<double> x, y;      // m
    std::vector<double> curvature; // 1/m, positive when turning left, 0 on straights
    // The pit lane runs beside the main straight; these are course distances (m).
    double pitBox = 0;     // where a ride starts and ends, a little before the line
    double pitLaneIn = 0;  // where the in-lap leaves the track, before the pit box
    double pitLaneOut = 0; // where the out-lap joins the track, after the line
    // Bumps and kerbs the suspension feels on every pass.
    std::vector<double> bumpAt;     // course distance, m
    std::vector<double> bumpHeight; // mm
};

struct CoursePoint {
    double x = 0, y = 0, curvature = 0;
};

// A plausible track of 2.5 to 5 km, the same for the same seed.
SimCourse MakeCourse(uint32_t seed);

// Position and curvature at a course distance; any distance is wrapped onto one lap.
CoursePoint CourseAt(const SimCourse& course, double distance);

// Direction of travel at a course distance, radians from the +x axis.
double CourseHeading(const SimCourse& course, double distance);

// The distance wrapped into [0, length).
double WrapCourseDistance(const SimCourse& course, double distance);

} // namespace qvtk::sim
