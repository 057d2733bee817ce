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

// Beacons stand at the line and, with more than one mark per lap, evenly between. `pace`
// scales the rider's grip and drive on the flying laps (1: the standard rider).
RidePlan PlanRide(const SimCourse& course, int laps, int marksPerLap, double pace, SimRng& rng);

double EnvelopeAt(const RidePlan& plan, double rideDistance);

// Acceleration (m/s^2) at full throttle for the zone's pace; aerodynamic drag takes it to
// zero near the top speed of the bike.
double FullThrottleAccel(const PaceZone& zone, double speed);

// Share of full throttle (0-1) that gives an acceleration at a speed.
double ThrottleShare(double accel, double speed);

// Index of the zone holding a ride distance, searching onwards from `hint`.
size_t ZoneAt(const RidePlan& plan, double rideDistance, size_t hint);

} // namespace qvtk::sim
