#include "tools/sim/family4_writer.h"

#include "tools/sim/bytes.h"
#include "tools/sim/family4_format.h"
#include "tools/sim/raw_codec.h"
#include "tools/sim/ride_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace qvtk::sim {

namespace {

constexpr uint8_t kGroupEnd = 127;
constexpr uint8_t kRepeat = 0x80;
constexpr size_t kMaxRepeat = 64;
constexpr size_t kRefreshSamples = 200; // every channel is sent at least once a second
constexpr size_t kFailSamples = 400;

// What the stream last carried for a column.
struct Sent {
    bool any = false;
    int32_t raw = 0;
    size_t at = 0;
};

struct Context {
    const SimRide& ride;
    const Family4Options& options;
    std::vector<GpsFix> gps;
    RawCodec throttle, frontStroke, rearStroke;
    size_t failFrom = 0, failTo = 0;
};

int32_t Clamp(double value, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(std::clamp<long long>(std::llround(value), lo, hi));
}

RawCodec CodecFor(F4Source source) {
    for (const F4Channel& c : Family4Channels())
        if (c.source == source)
            return MakeRawCodec(
                4095, [&c](uint32_t r) { return ConvertFamily4(c, static_cast<int32_t>(r)); });
    return {};
}

bool Marker(const Context& x, size_t i) {
    return !x.options.gpsLaps && x.ride.lapPulse[i] != 0;
}

// Longitudinal acceleration from the front wheel over 40 ms, in g.
double AccelG(const SimRide& r, size_t i) {
    size_t lo = i >= 4 ? i - 4 : 0, hi = std::min(i + 4, RideSamples(r) - 1);
    if (hi == lo) return 0;
    double dv = (r.frontSpeed[hi] - r.frontSpeed[lo]) / 3.6;
    // The wheel stops within a sample as the bike rolls into the pit box; the chassis
    // feels no more than the hardest braking.
    return std::clamp(dv / (static_cast<double>(hi - lo) * kSampleSeconds) / kGravity, -1.5, 1.5);
}

// Lean from the turn rate of the path over 100 ms and the speed, degrees, right positive.
double LeanDeg(const SimRide& r, size_t i) {
    size_t n = RideSamples(r);
    if (i < 10 || i + 10 >= n) return 0;
    double x0 = r.x[i - 10], y0 = r.y[i - 10], x1 = r.x[i], y1 = r.y[i];
    double x2 = r.x[i + 10], y2 = r.y[i + 10];
    if (std::hypot(x1 - x0, y1 - y0) < 0.5 || std::hypot(x2 - x1, y2 - y1) < 0.5) return 0;
    double turn = std::atan2(y2 - y1, x2 - x1) - std::atan2(y1 - y0, x1 - x0);
    turn = std::remainder(turn, 2 * std::numbers::pi);
    double v = std::hypot(x2 - x0, y2 - y0) / (20 * kSampleSeconds);
    double yawRate = turn / (10 * kSampleSeconds);
    return -std::atan(v * yawRate / kGravity) * 180 / std::numbers::pi;
}

int32_t RawValue(const Context& x, const F4Channel& c, size_t i) {
    const SimRide& r = x.ride;
    switch (c.source) {
    case F4Source::Battery: {
        // Readers clear the low four bits, which carry the marker: 16 mV steps.
        int32_t mv = Clamp(r.vb[i] * 1000 + 8, 0, 65535) & ~15;
        return mv | (Marker(x, i) ? 1 : 0);
    }
    case F4Source::Engine:
        return Clamp(r.rpm[i], 0, 65535);
    case F4Source::Throttle:
        return EncodeRaw(x.throttle, std::llround(r.throttle[i] * 1000.0));
    case F4Source::FrontSpeed:
        return Clamp(r.frontSpeed[i] * 20.0, 0, 65535);
    case F4Source::RearSpeed:
        return Clamp(r.rearSpeed[i] * 20.0, 0, 65535);
    case F4Source::FrontStroke:
        return EncodeRaw(x.frontStroke, std::llround(r.frontStroke[i] * 1000.0));
    case F4Source::RearStroke:
        return EncodeRaw(x.rearStroke, std::llround(r.rearStroke[i] * 1000.0));
    case F4Source::GpsSpeed:
        return Clamp(x.gps[i / kGpsPeriod].speedKmh * 100.0, 0, 65535);
    case F4Source::Brake:
        return Clamp(r.aux2[i] * 1000.0, 0, 65535);
    case F4Source::AccelX:
        return Clamp(AccelG(r, i) * 1000, -32768, 32767);
    case F4Source::Lean:
        return Clamp(LeanDeg(r, i), -127, 127);
    case F4Source::Gear:
        return r.gear[i];
    case F4Source::EcuStatus:
        return i >= x.failFrom && i < x.failTo ? x.options.ecuFailCode : 0;
    case F4Source::Coolant: // warms from 40 to 90 degrees over the first ten minutes
        return 800 + int32_t(std::min<size_t>(i, 120000) / 240);
    default:
        return 0;
    }
}

bool GpsRecorded(const Context& x, size_t i) {
    return i % kGpsPeriod == 0 && i / kGpsPeriod < x.gps.size();
}

void PutGpsItem(const GpsFix& fix, uint8_t column, std::vector<uint8_t>& out) {
    out.push_back(column);
    out.push_back(0);
    out.push_back(fix.status);
    PutU32(out, static_cast<uint32_t>(std::abs(fix.at.lat)));
    out.push_back(fix.at.lat < 0 ? 'S' : 'N');
    PutU32(out, static_cast<uint32_t>(std::abs(fix.at.lon)));
    out.push_back(fix.at.lon < 0 ? 'W' : 'E');
    out.push_back(0);
    out.push_back(0);
    PutU16(out, fix.satellites);
}

// Appends the column's item to the group when the logger sends it at sample i.
void AddItem(const Context& x, const F4Channel& c, uint8_t column, size_t i, Sent& sent,
             std::vector<uint8_t>& group) {
    if (c.period == 0) return;
    if (c.source == F4Source::GpsPosition) {
        if (GpsRecorded(x, i)) PutGpsItem(x.gps[i / kGpsPeriod], column, group);
        return;
    }
    if (c.source == F4Source::GpsSpeed) {
        // Without a fix the receiver has no speed to give.
        if (!GpsRecorded(x, i) || x.gps[i / kGpsPeriod].status == '0') return;
    } else {
        bool markerEdge = c.source == F4Source::Battery && Marker(x, i) != Marker(x, i - 1);
        if (i % c.period != 0 && !markerEdge) return;
    }
    int32_t raw = RawValue(x, c, i);
    if (sent.any && std::abs(raw - sent.raw) <= c.deadband && i - sent.at < kRefreshSamples) return;
    sent = {true, raw, i};
    group.push_back(column);
    PutU16(group, static_cast<uint32_t>(raw) & 0xFFFF);
}

void FlushRepeats(size_t& repeat, std::vector<uint8_t>& out) {
    while (repeat > 0) {
        size_t k = std::min(repeat, kMaxRepeat);
        out.push_back(static_cast<uint8_t>(kRepeat | (k - 1)));
        repeat -= k;
    }
}

} // namespace

std::vector<uint8_t> WriteFamily4(const SimRide& ride, const Family4Options& options) {
    size_t n = RideSamples(ride);
    Context x{ride,
              options,
              SimulateGpsTrack(ride, options.gps),
              CodecFor(F4Source::Throttle),
              CodecFor(F4Source::FrontStroke),
              CodecFor(F4Source::RearStroke)};
    if (options.ecuFailCode > 0) {
        x.failFrom = n * 3 / 10;
        x.failTo = x.failFrom + kFailSamples;
    }
    std::vector<uint8_t> out =
        WriteFamily4Header(ride, options, StartFinishLine(options.gps.origin, ride));
    out.reserve(out.size() + n * 20);
    const std::vector<F4Channel>& channels = Family4Channels();
    std::vector<Sent> sent(channels.size());
    std::vector<uint8_t> group;
    size_t repeat = 0;
    int lastColumn = -1; // of the group just written; -1 after a repeat byte
    for (size_t i = 1; i < n; ++i) {
        group.clear();
        int first = -1, last = -1;
        for (size_t c = 0; c < channels.size(); ++c) {
            size_t before = group.size();
            AddItem(x, channels[c], static_cast<uint8_t>(c), i, sent[c], group);
            if (group.size() == before) continue;
            if (first < 0) first = static_cast<int>(c);
            last = static_cast<int>(c);
        }
        if (group.empty()) {
            ++repeat; // nothing changed: the previous sample repeats
            continue;
        }
        if (repeat > 0) {
            FlushRepeats(repeat, out);
            lastColumn = -1;
        }
        // A group ends by itself where the next begins at a column not above its last.
        if (lastColumn >= 0 && first > lastColumn) out.push_back(kGroupEnd);
        out.insert(out.end(), group.begin(), group.end());
        lastColumn = last;
    }
    FlushRepeats(repeat, out);
    return out;
}

} // namespace qvtk::sim
