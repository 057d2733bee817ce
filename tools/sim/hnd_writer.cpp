#include "tools/sim/hnd_writer.h"

#include "tools/sim/bytes.h"
#include "tools/sim/raw_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qvtk::sim {

namespace {

constexpr size_t kBlockSamples = 200;
constexpr int32_t kMaxAbsolute = 32767; // one value bit short of the prefix: a plain code
constexpr int kMaxDelta = 273;

// Header offsets.
constexpr size_t kFlags = 6;
constexpr size_t kWheelSetting = 37, kTires = 39, kThrottlePoints = 47, kZeroPoints = 51;
constexpr size_t kLafTypes = 79, kBlocks = 84;
constexpr size_t kNameText = 89, kIdText = 115, kSeedText = 151, kVersionText = 167;
constexpr uint8_t kStandardSensors = 0x03, kLapFlag = 0x10;

// The channels in the order the stream visits them for every sample.
enum Channel {
    Ne,
    FrontWheel,
    RearWheel,
    Throttle,
    Vb,
    FrontStroke,
    RearStroke,
    Laf1,
    Laf2,
    Aux1,
    Aux2,
    LapMarker,
    kChannels
};

// Header offset of each channel's period (the lap marker has none).
constexpr size_t kPeriodAt[kChannels] = {7, 11, 13, 9, 19, 21, 23, 25, 27, 15, 17, 0};

struct BitWriter {
    std::vector<uint8_t>& out;
    uint64_t acc = 0;
    int bits = 0;
};

// Bits go out from the most significant bit of each byte downwards.
void PutBits(BitWriter& w, uint32_t value, int length) {
    w.acc = (w.acc << length) | (value & ((1ull << length) - 1));
    w.bits += length;
    while (w.bits >= 8) {
        w.out.push_back(static_cast<uint8_t>(w.acc >> (w.bits - 8)));
        w.bits -= 8;
    }
    w.acc &= (1ull << w.bits) - 1;
}

// The last byte is filled with zero bits: zero deltas past the end of the recording.
void FinishBits(BitWriter& w) {
    if (w.bits > 0) PutBits(w, 0, 8 - w.bits);
}

// Codes by size: "0"; 1 + 3 bits; 111 + 5 bits; 1111111 + 9 bits. The value bits are an
// even number for a positive step and odd for a negative one.
void PutDelta(BitWriter& w, int delta) {
    if (delta == 0) return PutBits(w, 0, 1);
    uint32_t sign = delta < 0 ? 1 : 0;
    uint32_t size = static_cast<uint32_t>(std::abs(delta));
    if (size <= 3) return PutBits(w, 0x8 | (2 * (size - 1) + sign), 4);
    if (size <= 18) return PutBits(w, 0xE0 | (2 * (size - 4) + sign), 8);
    PutBits(w, 0xFE00 | (2 * (size - 19) + sign), 16);
}

// Fifteen 1 bits, a 0 and fifteen value bits.
void PutAbsolute(BitWriter& w, int32_t value) {
    PutBits(w, 0x7FFF0000u | static_cast<uint32_t>(value), 31);
}

void PutFiller(BitWriter& w) {
    PutBits(w, 0x7FFFFFFF, 31);
}

struct Track {
    int period = 0; // samples
    int32_t code = 0;
    long codes = 0;
};

struct Codecs {
    RawCodec throttle, frontStroke, rearStroke, laf;
};

Codecs MakeCodecs(const HndOptions& o) {
    int64_t closed = o.throttleClosed, span = o.throttleOpen - o.throttleClosed;
    int64_t fz = o.frontZero, rz = o.rearZero;
    Codecs c;
    c.throttle = MakeRawCodec(1023, [=](uint32_t r) -> int64_t {
        return span == 0 ? 0 : (int64_t{r} * 4 - closed) * 1000 / span;
    });
    c.frontStroke = MakeRawCodec(
        1023, [=](uint32_t r) { return 18769 - (int64_t{r} + 1024 - fz) * 18769 / 1024; });
    c.rearStroke = MakeRawCodec(
        1023, [=](uint32_t r) { return 12500 - (int64_t{r} + 1023 - rz) * 12500 / 1023; });
    c.laf = MakeRawCodec(2047, [](uint32_t r) { return int64_t{r} * 1000 / 1140 + 900; });
    return c;
}

int32_t Hundredths(float value) {
    return static_cast<int32_t>(std::lround(double(value) * 100));
}

// The code (raw value over the channel's scale) that stands for sample j.
int32_t TargetCode(const SimRide& r, const Codecs& c, int channel, size_t j) {
    switch (channel) {
    case Ne:
        return static_cast<int32_t>(std::lround(r.rpm[j] / 20.0));
    case FrontWheel:
        return static_cast<int32_t>(std::lround(r.frontSpeed[j]));
    case RearWheel:
        return static_cast<int32_t>(std::lround(r.rearSpeed[j]));
    case Throttle:
        return EncodeRaw(c.throttle, std::lround(double(r.throttle[j]) * 10));
    case Vb:
        return static_cast<int32_t>(std::lround(r.vb[j] * 10.0));
    case FrontStroke:
        return EncodeRaw(c.frontStroke, Hundredths(r.frontStroke[j]));
    case RearStroke:
        return EncodeRaw(c.rearStroke, Hundredths(r.rearStroke[j]));
    case Laf1:
        return EncodeRaw(c.laf, Hundredths(r.laf1[j]));
    case Laf2:
        return EncodeRaw(c.laf, Hundredths(r.laf2[j]));
    case Aux1:
        return static_cast<int32_t>(std::lround(r.aux1[j] * 1023 / 5.0));
    case Aux2:
        return static_cast<int32_t>(std::lround(r.aux2[j] * 1023 / 5.0));
    default:
        return 0;
    }
}

void PutValue(BitWriter& w, Track& t, int32_t target, int absoluteEvery) {
    target = std::clamp(target, 0, kMaxAbsolute);
    int delta = target - t.code;
    bool refresh = absoluteEvery > 0 && t.codes % absoluteEvery == 0;
    ++t.codes;
    t.code = target;
    if (refresh || std::abs(delta) > kMaxDelta) return PutAbsolute(w, target);
    PutDelta(w, delta);
}

// A lap-marker code at sample s: how many samples ago the pulse began, or nothing.
void PutLapMarker(BitWriter& w, const std::vector<uint32_t>& pulses, size_t& next, size_t s) {
    while (next < pulses.size() && pulses[next] + kHndLapPeriod < s) ++next;
    if (next < pulses.size() && pulses[next] < s) {
        PutAbsolute(w, static_cast<int32_t>(s - pulses[next++]));
        return;
    }
    PutDelta(w, 0);
}

void WriteHeader(const SimRide& ride, const HndOptions& o, const int (&periods)[kChannels],
                 size_t blocks, std::vector<uint8_t>& h) {
    h[kFlags] = kStandardSensors | (o.lapMarkers ? kLapFlag : 0);
    for (int c = 0; c < LapMarker; ++c)
        SetU16(h, kPeriodAt[c], static_cast<uint16_t>(std::max(periods[c], 0)));
    h[kWheelSetting] = 20;
    h[kWheelSetting + 1] = 4;
    SetU16(h, kTires, static_cast<uint16_t>(ride.bike.frontTireMm / 10));
    SetU16(h, kTires + 2, static_cast<uint16_t>(ride.bike.rearTireMm / 10));
    SetU16(h, kThrottlePoints, static_cast<uint16_t>(o.throttleClosed));
    SetU16(h, kThrottlePoints + 2, static_cast<uint16_t>(o.throttleOpen));
    SetU16(h, kZeroPoints, static_cast<uint16_t>(o.frontZero));
    SetU16(h, kZeroPoints + 2, static_cast<uint16_t>(o.rearZero));
    h[kLafTypes] = 0x03; // both standard LAF sensors
    h[kBlocks] = static_cast<uint8_t>(blocks >> 16);
    SetU16(h, kBlocks + 1, static_cast<uint16_t>(blocks & 0xFFFF));
    SetText(h, kNameText, 26, "QVTK simulated ride");
    SetText(h, kIdText, 6, o.loggerId);
    SetText(h, kSeedText, 16, "seed " + std::to_string(ride.seed));
    SetText(h, kVersionText, 6, "V1.00");
}

} // namespace

std::vector<uint8_t> WriteHnd(const SimRide& ride, const HndOptions& o) {
    const int periods[kChannels] = {o.nePeriod,         o.frontWheelPeriod, o.rearWheelPeriod,
                                    o.throttlePeriod,   o.vbPeriod,         o.frontStrokePeriod,
                                    o.rearStrokePeriod, o.laf1Period,       o.laf2Period,
                                    o.aux1Period,       o.aux2Period,       0};
    size_t n = RideSamples(ride);
    size_t blocks = n / kBlockSamples;
    size_t count = blocks * kBlockSamples;
    std::vector<uint8_t> out(kHndStreamStart, 0);
    WriteHeader(ride, o, periods, blocks, out);
    out.reserve(kHndStreamStart + count * 4);
    Track tracks[kChannels];
    for (int c = 0; c < LapMarker; ++c) tracks[c].period = std::max(periods[c], 0) / 5;
    tracks[LapMarker].period = o.lapMarkers ? kHndLapPeriod : 0;
    Codecs codecs = MakeCodecs(o);
    BitWriter w{out};
    size_t nextPulse = 0;
    // The code met at sample s gives the channel's value of sample s + 1.
    for (size_t s = 1; s < count; ++s) {
        if (o.fillerEvery > 0 && s % static_cast<size_t>(o.fillerEvery) == 0) PutFiller(w);
        size_t j = std::min(s + 1, n - 1);
        for (int c = 0; c < kChannels; ++c) {
            Track& t = tracks[c];
            if (t.period == 0 || s % static_cast<size_t>(t.period) != 0) continue;
            if (c == LapMarker)
                PutLapMarker(w, ride.lapPulseStarts, nextPulse, s);
            else
                PutValue(w, t, TargetCode(ride, codecs, c, j), o.absoluteEvery);
        }
    }
    FinishBits(w);
    return out;
}

} // namespace qvtk::sim
