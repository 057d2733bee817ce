#pragma once
// Where a compared lap lost (or gained) its time: the stretches of the reference lap over which
// the slip grows or shrinks by at least a threshold, and what differed between the two laps in
// each: braking point, lowest speed, throttle pick-up, gear at the apex, engine speed at the
// exit. Everything runs on a grid of the reference lap's distance.
#include <cstdint>
#include <vector>

#include "data/session.h"

namespace qvtk {

// One lap read at the grid points of the reference lap's distance.
struct LapOnGrid {
    FileSlot slot = 0;
    std::vector<double> sample;   // the lap's (fractional) sample at each grid point
    std::vector<double> speed;    // km/h: front wheel, else rear wheel, else GPS speed
    std::vector<double> throttle; // %, empty without a throttle channel
    std::vector<double> rpm;      // empty without engine speed
};

// Reads a lap's channels at its samples of the grid points.
void ReadLapChannels(LapOnGrid& lap);

// A quantity in both laps; `known` when both have it.
struct ZoneValue {
    bool known = false;
    double reference = 0, compared = 0;
};

struct SlipZone {
    double from = 0, to = 0;  // m of the reference lap
    int sector = 1;           // of the reference lap at `from`, 1-based
    double timeLost = 0;      // s; negative where the compared lap gained
    ZoneValue brakingPoint;   // m where the front wheel speed starts to fall before the apex
    ZoneValue lowestSpeed;    // km/h
    ZoneValue throttlePickUp; // m where the throttle opens again after the braking
    ZoneValue apexGear;
    ZoneValue exitEngineSpeed; // rpm at `to`
};

// The grid points where a rider starts braking: speed maxima followed by a fall of at least
// `drop` (km/h) before the speed rises by `drop` again.
std::vector<int32_t> BrakingPoints(const std::vector<double>& speed, double drop);

// A stretch of grid points over which the slip moves one way.
struct SlipLeg {
    int32_t from = 0, to = 0;
};

// The slip between each two neighbouring boundaries (ascending grid points, the first 0 and
// the last the final point) cut into stretches that rise or fall; a move back smaller than
// `hysteresis` (s) does not end a stretch.
std::vector<SlipLeg> SlipLegs(const std::vector<double>& slip, const std::vector<int32_t>& bounds,
                              double hysteresis);

// Where the laps are cut into corners: from where either rider starts braking for one to where
// either starts braking for the next.
std::vector<int32_t> CornerBounds(const LapOnGrid& reference, const LapOnGrid& compared,
                                  double step);

// The zones (slip moving by at least `threshold` s in one stretch) of a compared lap, ordered
// by time lost, the largest loss first; sectors are left at 1.
std::vector<SlipZone> FindSlipZones(const std::vector<double>& slip, double step,
                                    const LapOnGrid& reference, const LapOnGrid& compared,
                                    double threshold);

} // namespace qvtk
