#include "tools/sim/can_writer.h"

#include "tools/sim/bytes.h"

#include <algorithm>
#include <cmath>

namespace qvtk::sim {

namespace {

constexpr uint32_t kStampsPerSample = 10;

struct Frame {
    uint32_t id = 0;
    uint32_t a = 0, b = 0, c = 0;
};

// How often each message goes out (in samples) and where in the 5 ms it sits on the bus.
struct Schedule {
    uint32_t id;
    size_t period;
    uint32_t slot;
};

constexpr Schedule kSchedule[] = {
    {kCanWheelSpeeds, 2, 1}, {kCanEngine, 2, 3},      {kCanThrottle, 10, 5},
    {kCanCoolant, 40, 6},    {kCanBodyStatus, 40, 7}, {kCanAlive, 200, 8},
};

uint32_t Word(double value) {
    return static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 65535L));
}

Frame MakeFrame(const SimRide& ride, uint32_t id, size_t i) {
    Frame f{id};
    switch (id) {
    case kCanWheelSpeeds:
        f.a = Word(ride.frontSpeed[i]);
        f.b = Word(ride.rearSpeed[i]);
        break;
    case kCanEngine:
        f.a = Word(ride.rpm[i]);
        f.c = ride.gear[i];
        break;
    case kCanThrottle:
        f.a = Word(ride.throttle[i]);
        break;
    case kCanCoolant:
        f.a = Word(ride.waterTemp[i] * 256.0);
        break;
    case kCanBodyStatus:
        f.a = Word(ride.vb[i] * 100.0);
        break;
    default:
        f.a = static_cast<uint32_t>(i / 200) & 0xFFFF;
        break;
    }
    return f;
}

void AppendFrame(const Frame& f, uint32_t stamp, std::vector<uint8_t>& out) {
    PutU32(out, stamp);
    PutU32(out, f.id);
    PutU16(out, f.a);
    PutU16(out, f.b);
    out.push_back(static_cast<uint8_t>(f.c));
    out.insert(out.end(), 3, 0);
}

} // namespace

std::vector<uint8_t> WriteCanFrames(const SimRide& ride) {
    std::vector<uint8_t> out;
    size_t n = RideSamples(ride);
    out.reserve(n * 16 * 6 / 5);
    for (size_t i = 0; i < n; ++i) {
        uint32_t base = static_cast<uint32_t>(i) * kStampsPerSample;
        for (const Schedule& s : kSchedule)
            if (i % s.period == 0) AppendFrame(MakeFrame(ride, s.id, i), base + s.slot, out);
    }
    return out;
}

} // namespace qvtk::sim
