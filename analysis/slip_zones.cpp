#include "analysis/slip_zones.h"

#include <algorithm>
#include <cmath>

#include "analysis/gear_position.h"

namespace qvtk {

namespace {

constexpr int kSpeedSmoothing = 5;      // grid points either side
constexpr double kBrakingDrop = 10;     // km/h a braking must take off
constexpr double kPairing = 150;        // m between the two laps' braking points of one corner
constexpr double kLeastCorner = 20;     // m between two cuts
constexpr double kBrakingLookBack = 30; // m before the cut a braking point may lie
constexpr double kThrottleOpening = 10; // % above the closed throttle that counts as opened

// A column's value at a fractional sample, joined linearly between samples.
double ValueAt(FileSlot slot, int column, double sample, double factor) {
    const auto i = int32_t(std::floor(sample));
    const double a = SampleAt(slot, column, i), b = SampleAt(slot, column, i + 1);
    return (a + (b - a) * (sample - i)) * factor;
}

std::vector<double> Read(const LapOnGrid& lap, int column, double factor) {
    std::vector<double> out(lap.sample.size());
    for (size_t g = 0; g < out.size(); ++g)
        out[g] = ValueAt(lap.slot, column, lap.sample[g], factor);
    return out;
}

std::vector<double> Smoothed(const std::vector<double>& x, int half) {
    std::vector<double> out(x.size());
    const auto n = int64_t(x.size());
    double sum = 0;
    int64_t lo = 0, hi = -1; // the window's samples, lo .. hi
    for (int64_t g = 0; g < n; ++g) {
        while (hi < std::min(g + half, n - 1)) sum += x[size_t(++hi)];
        while (lo < g - half) sum -= x[size_t(lo++)];
        out[size_t(g)] = sum / double(hi - lo + 1);
    }
    return out;
}

int32_t ArgExtreme(const std::vector<double>& x, int32_t from, int32_t to, bool highest) {
    int32_t at = from;
    for (int32_t g = from + 1; g <= to; ++g)
        if (highest ? x[size_t(g)] > x[size_t(at)] : x[size_t(g)] < x[size_t(at)]) at = g;
    return at;
}

// What one lap did in a corner: its braking point, apex and throttle pick-up (grid points;
// -1 where there is none).
struct CornerMarks {
    int32_t braking = -1, apex = -1, pickUp = -1;
};

CornerMarks MarkCorner(const LapOnGrid& lap, int32_t from, int32_t to, double step) {
    CornerMarks m;
    if (lap.speed.empty() || to <= from) return m;
    m.apex = ArgExtreme(lap.speed, from, to, false);
    const int32_t back = std::max(0, from - int32_t(kBrakingLookBack / step));
    const int32_t top = ArgExtreme(lap.speed, back, m.apex, true);
    if (lap.speed[size_t(top)] - lap.speed[size_t(m.apex)] >= kBrakingDrop) m.braking = top;
    if (!lap.throttle.empty()) {
        const int32_t closed =
            ArgExtreme(lap.throttle, m.braking >= 0 ? m.braking : from, to, false);
        const double open = lap.throttle[size_t(closed)] + kThrottleOpening;
        for (int32_t g = closed + 1; g <= to && m.pickUp < 0; ++g)
            if (lap.throttle[size_t(g)] >= open) m.pickUp = g;
    }
    return m;
}

ZoneValue Both(bool known, double reference, double compared) {
    ZoneValue v;
    v.known = known;
    if (known) v.reference = reference, v.compared = compared;
    return v;
}

void DescribeZone(SlipZone& z, const LapOnGrid& ref, const LapOnGrid& cmp, int32_t from, int32_t to,
                  int32_t end, double step) {
    const CornerMarks r = MarkCorner(ref, from, to, step), c = MarkCorner(cmp, from, to, step);
    z.brakingPoint = Both(r.braking >= 0 && c.braking >= 0, r.braking * step, c.braking * step);
    z.lowestSpeed = Both(r.apex >= 0 && c.apex >= 0, r.apex >= 0 ? ref.speed[size_t(r.apex)] : 0,
                         c.apex >= 0 ? cmp.speed[size_t(c.apex)] : 0);
    z.throttlePickUp = Both(r.pickUp >= 0 && c.pickUp >= 0, r.pickUp * step, c.pickUp * step);
    if (r.apex >= 0 && c.apex >= 0)
        z.apexGear = Both(true, GearAt(ref.slot, int32_t(std::lround(ref.sample[size_t(r.apex)]))),
                          GearAt(cmp.slot, int32_t(std::lround(cmp.sample[size_t(c.apex)]))));
    z.exitEngineSpeed =
        Both(!ref.rpm.empty() && !cmp.rpm.empty(), ref.rpm.empty() ? 0 : ref.rpm[size_t(end)],
             cmp.rpm.empty() ? 0 : cmp.rpm[size_t(end)]);
}

// A stretch begins where the slip leaves its level and ends where it reaches its last one:
// the flat runs at its ends (within `tolerance`) are not part of it.
void TrimFlatEnds(const std::vector<double>& slip, SlipLeg& leg, double tolerance) {
    const double start = slip[size_t(leg.from)], end = slip[size_t(leg.to)];
    while (leg.from + 1 < leg.to && std::fabs(slip[size_t(leg.from + 1)] - start) < tolerance)
        ++leg.from;
    while (leg.to - 1 > leg.from && std::fabs(slip[size_t(leg.to - 1)] - end) < tolerance) --leg.to;
}

} // namespace

void ReadLapChannels(LapOnGrid& lap) {
    const Slot& s = SlotOf(lap.slot);
    int speed = -1;
    for (ChannelCode code : {kCodeVFW, kCodeVRW, kCodeGpsSpeed})
        if (speed < 0) speed = FindColumnByCode(lap.slot, code);
    lap.speed =
        speed >= 0 ? Smoothed(Read(lap, speed, 0.001), kSpeedSmoothing) : std::vector<double>();
    const int tps = FindColumnByCode(lap.slot, kCodeTPS), ne = FindColumnByCode(lap.slot, kCodeNe);
    lap.throttle = tps >= 0 ? Read(lap, tps, 0.001) : std::vector<double>();
    lap.rpm = ne >= 0 ? Read(lap, ne, 0.001 * s.engineSpeedScale) : std::vector<double>();
}

std::vector<int32_t> BrakingPoints(const std::vector<double>& speed, double drop) {
    std::vector<int32_t> points;
    const auto n = int32_t(speed.size());
    bool rising = true; // looking for the next maximum
    int32_t hi = 0, lo = 0;
    for (int32_t g = 1; g < n; ++g) {
        const double v = speed[size_t(g)];
        if (rising) {
            if (v > speed[size_t(hi)]) hi = g;
            if (v <= speed[size_t(hi)] - drop) {
                points.push_back(hi);
                rising = false;
                lo = g;
            }
        } else {
            if (v < speed[size_t(lo)]) lo = g;
            if (v >= speed[size_t(lo)] + drop) {
                rising = true;
                hi = g;
            }
        }
    }
    return points;
}

std::vector<SlipLeg> SlipLegs(const std::vector<double>& slip, const std::vector<int32_t>& bounds,
                              double hysteresis) {
    std::vector<SlipLeg> legs;
    for (size_t b = 0; b + 1 < bounds.size(); ++b) {
        const int32_t from = bounds[b], to = bounds[b + 1];
        int32_t pivot = from, hi = from, lo = from;
        int direction = 0; // +1 rising, -1 falling, 0 not yet known
        for (int32_t g = from + 1; g <= to; ++g) {
            const double v = slip[size_t(g)];
            if (v > slip[size_t(hi)]) hi = g;
            if (v < slip[size_t(lo)]) lo = g;
            if (direction >= 0 && hi != pivot && v <= slip[size_t(hi)] - hysteresis) {
                legs.push_back({pivot, hi});
                pivot = hi, lo = g, direction = -1;
            } else if (direction <= 0 && lo != pivot && v >= slip[size_t(lo)] + hysteresis) {
                legs.push_back({pivot, lo});
                pivot = lo, hi = g, direction = 1;
            }
        }
        const int32_t last = direction > 0   ? hi
                             : direction < 0 ? lo
                             : std::fabs(slip[size_t(hi)] - slip[size_t(from)]) >=
                                     std::fabs(slip[size_t(lo)] - slip[size_t(from)])
                                 ? hi
                                 : lo;
        if (last != pivot) legs.push_back({pivot, last});
    }
    return legs;
}

std::vector<int32_t> CornerBounds(const LapOnGrid& reference, const LapOnGrid& compared,
                                  double step) {
    const auto last = int32_t(reference.sample.size()) - 1;
    std::vector<int32_t> bounds{0};
    if (last <= 0) return {0, std::max(last, 0)};
    const std::vector<int32_t> ref = reference.speed.empty()
                                         ? std::vector<int32_t>()
                                         : BrakingPoints(reference.speed, kBrakingDrop);
    const std::vector<int32_t> cmp = compared.speed.empty()
                                         ? std::vector<int32_t>()
                                         : BrakingPoints(compared.speed, kBrakingDrop);
    const auto pairing = int32_t(kPairing / step), least = int32_t(std::ceil(kLeastCorner / step));
    for (int32_t r : ref) {
        int32_t cut = r, nearest = pairing + 1;
        for (int32_t c : cmp)
            if (std::abs(c - r) < nearest) nearest = std::abs(c - r), cut = std::min(r, c);
        if (cut - bounds.back() >= least && last - cut >= least) bounds.push_back(cut);
    }
    bounds.push_back(last);
    return bounds;
}

std::vector<SlipZone> FindSlipZones(const std::vector<double>& slip, double step,
                                    const LapOnGrid& reference, const LapOnGrid& compared,
                                    double threshold) {
    std::vector<SlipZone> zones;
    if (slip.size() < 2 || reference.sample.size() != slip.size() ||
        compared.sample.size() != slip.size())
        return zones;
    const std::vector<int32_t> bounds = CornerBounds(reference, compared, step);
    // Noise a fifth of the threshold does not break a stretch.
    for (SlipLeg leg : SlipLegs(slip, bounds, threshold / 5)) {
        TrimFlatEnds(slip, leg, threshold / 50);
        const double change = slip[size_t(leg.to)] - slip[size_t(leg.from)];
        if (std::fabs(change) < threshold) continue;
        SlipZone z;
        z.from = leg.from * step;
        z.to = leg.to * step;
        z.timeLost = change;
        // The corner the zone lies in, for what the riders did there.
        size_t b = 1;
        while (b + 1 < bounds.size() && bounds[b] <= leg.from) ++b;
        DescribeZone(z, reference, compared, bounds[b - 1], bounds[b], leg.to, step);
        zones.push_back(z);
    }
    std::stable_sort(zones.begin(), zones.end(),
                     [](const SlipZone& a, const SlipZone& b) { return a.timeLost > b.timeLost; });
    return zones;
}

} // namespace qvtk
