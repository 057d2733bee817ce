// The value conversions a reader applies to the family-3 raw fields, written out per
// version; the writer inverts them through RawCodec.
#include "tools/sim/family3_format.h"

#include <cstdint>

namespace qvtk::sim {

namespace {

constexpr int64_t kStandardRange[2] = {18768, 12500}; // front, rear: hundredths of a mm

RawCodec ThrottleCodec(const Family3Setup& s) {
    int64_t closed = s.throttleClosed, open = s.throttleOpen;
    switch (s.version) {
    case 0:
    case 32:
        return MakeRawCodec(255, [=](uint32_t r) { return (r - closed) * s.throttleGain / 10; });
    case 4:
        return MakeRawCodec(65535, [=](uint32_t r) -> int64_t {
            if (open == closed) return 0;
            return (r - closed * 256) * 1000 / ((open - closed) * 256);
        });
    default:
        return MakeRawCodec(255, [=](uint32_t r) -> int64_t {
            if (open == closed) return 0;
            return (r - closed) * 1000 / (open - closed);
        });
    }
}

// Versions 0 and 32 keep one byte, four times the reading.
RawCodec OldStrokeCodec(const Family3Setup& s, int side) {
    int64_t range = kStandardRange[side], z = s.zero[side];
    if (s.version == 0)
        return MakeRawCodec(
            255, [=](uint32_t b) { return range - (int64_t{b} * 4 - z + 1023) * range / 1023; });
    return MakeRawCodec(255,
                        [=](uint32_t b) { return range - int64_t{b} * 4 * range / 1024 - z * 25; });
}

RawCodec StrokeCodec(const Family3Setup& s, int side) {
    if (s.version == 0 || s.version == 32) return OldStrokeCodec(s, side);
    int64_t range = kStandardRange[side], z = s.zero[side];
    int64_t full = int64_t{s.linearStroke[side]} * 10;
    bool linear = s.sensorType[side] == 1;
    if (s.version == 4) {
        if (linear)
            return MakeRawCodec(
                65535, [=](uint32_t r) { return full - (r - z * 64 + 65535) * full / 65536; });
        return MakeRawCodec(
            65535, [=](uint32_t r) { return range - (r - z * 64 + 65535) * range / 65535; });
    }
    if (!linear)
        return MakeRawCodec(1023,
                            [=](uint32_t r) { return range - (r - z + 1023) * range / 1023; });
    if (s.version == 3)
        return MakeRawCodec(1023, [=](uint32_t r) { return full - (r - z + 1023) * full / 1024; });
    if (full >= 0)
        return MakeRawCodec(1023, [=](uint32_t r) { return full - (r - z + 1023) * full / 1023; });
    return MakeRawCodec(1023, [=](uint32_t r) { return (r - z + 1023) * full / 1023; });
}

// The LAF sensor's reading as the standard LAF conversion shows it.
RawCodec AirFuelCodec(int version) {
    switch (version) {
    case 0:
    case 32:
        return MakeRawCodec(255, [](uint32_t b) { return int64_t{b} * 1000 / 285 + 900; });
    case 4:
        return MakeRawCodec(65535,
                            [](uint32_t b) { return int64_t{b} * 1000 / (283 * 256) + 900; });
    default:
        return MakeRawCodec(255, [](uint32_t b) { return int64_t{b} * 1000 / 283 + 900; });
    }
}

// An AUX input's reading as the voltage conversion shows it.
RawCodec VoltageCodec(int version) {
    switch (version) {
    case 3:
        return MakeRawCodec(255, [](uint32_t b) { return int64_t{b} * 500 / 256; });
    case 4:
        return MakeRawCodec(65535, [](uint32_t b) { return int64_t{b} * 500 / 65536; });
    default:
        return MakeRawCodec(255, [](uint32_t b) { return int64_t{b} * 500 / 255; });
    }
}

RawCodec BatteryCodec(int version) {
    if (version == 4)
        return MakeRawCodec(65535, [](uint32_t r) { return int64_t{r} * 2000 / 65536; });
    return MakeRawCodec(255, [](uint32_t r) { return int64_t{r} * 2000 / 255; });
}

} // namespace

Family3Codecs MakeFamily3Codecs(const Family3Setup& setup) {
    Family3Codecs c;
    c.throttle = ThrottleCodec(setup);
    for (int side = 0; side < 2; ++side) {
        c.stroke[side] = StrokeCodec(setup, side);
        c.airFuel[side] = AirFuelCodec(setup.version);
        c.aux[side] = VoltageCodec(setup.version);
    }
    c.vb = BatteryCodec(setup.version);
    return c;
}

} // namespace qvtk::sim
