#pragma once

#include "tools/sim/course.h"
#include "tools/sim/rng.h"

#include <cstddef>
#include <vector>

namespace qvtk::sim {

constexpr double kGravity = 9.81;
constexpr double kPitSpeedLimit = 60 / 3.6; // m/s

// How hard the rider goes over one stretch of the ride.
struct PaceZone {
    double start = 0;    // ride distance where the zone begins, m
    double grip = 1;     // share of the best cornering and braking
    double drive = 1;    // share of full-throttle acceleration
    double topSpeed = 0; // m/s the rider allows himself here
    bool pitLane = false;
    bool flying = false; // a timed lap at full pace
};

// The ride laid out along its distance, measured from the pit box: out through the pit
// lane, one out-lap, the flying laps, one in-lap and back into the pit box.
struct RidePlan {
    double startAt = 0;            // course distance of the pit box
    double length = 0;             // ride distance from the pit box back to it, m
    std::vector<PaceZone> zones;   // ascending start, the first at 0
    std::vector<double> beacons;   // ride distances of the lap-marker beacons passed on track
    std::vector<double> markPress; // ride distances where the rider presses the mark button
    double gridStep = 0.5;         // m
    // Highest speed (m/s) at each grid point from which every corner and the stop ahead can
    // still be made with the zone's braking.
    std::vector<float> envelope;
};

// A corner the rider takes worse than he could on every flying lap: he brakes later and
// harder, runs in too deep and comes through the apex slower.
struct SlowCorner {
    double at = 0;          // course distance (m) within the corner, or near it
    double apexSpeed = 0.9; // share of the corner speed he keeps, 0.5-1
    double brakeLater = 0;  // metres his braking point moves towards the corner, 0-100
};

// The corner nearest to a course distance: where its arc begins and ends (course distances,
// m; the end may lie past the course length when the corner wraps over the line). False for
// a course without corners.
bool FindCorner(const SimCourse& course, double at, double& from, double& to);

// Beacons stand at the line and, with more than one mark per lap, evenly between. `pace`
// scales the rider's grip and drive on the flying laps (1: the standard rider; a lower pace
// is a rider uniformly slower, his speed scaled by its square root everywhere).
RidePlan PlanRide(const SimCourse& course, int laps, int marksPerLap, double pace, SimRng& rng,
                  const std::vector<SlowCorner>& slowCorners = {});

double EnvelopeAt(const RidePlan& plan, double rideDistance);

// Acceleration (m/s^2) at full throttle for the zone's pace; aerodynamic drag takes it to
// zero near the top speed of the bike.
double FullThrottleAccel(const PaceZone& zone, double speed);

// Share of full throttle (0-1) that gives an acceleration at a speed.
double ThrottleShare(double accel, double speed);

// Index of the zone holding a ride distance, searching onwards from `hint`.
size_t ZoneAt(const RidePlan& plan, double rideDistance, size_t hint);

} // namespace qvtk::sim
