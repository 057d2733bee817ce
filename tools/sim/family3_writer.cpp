#include "tools/sim/family3_writer.h"

#include "tools/sim/bytes.h"
#include "tools/sim/family3_format.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace qvtk::sim {

namespace {

constexpr size_t kFixedRecordSize = 16;

// One sample as the logger stores it.
struct Raws {
    uint16_t ne = 0;
    uint16_t frontSpeed = 0, rearSpeed = 0;
    bool lap = false, mark = false;
    uint16_t throttle = 0;
    uint16_t stroke[2] = {0, 0};
    uint16_t airFuel[2] = {0, 0};
    uint16_t aux[2] = {0, 0};
    uint16_t vb = 0;
};

int64_t Hundredths(float value) {
    return std::llround(double(value) * 100);
}

uint16_t PulseCount(int enginePulses, float rpm) {
    if (enginePulses == 0)
        return static_cast<uint16_t>(std::clamp<long>(std::lround(rpm / 2), 0, 65535));
    // A whole number of revolutions per minute times the pulses, so a delta is always a
    // whole multiple of the pulses and divides exactly.
    long revs = std::clamp<long>(std::lround(rpm), 0, 65535 / enginePulses);
    return static_cast<uint16_t>(revs * enginePulses);
}

uint16_t Speed(float kmh, double perKmh, long maxRaw) {
    return static_cast<uint16_t>(std::clamp<long>(std::lround(kmh * perKmh), 0, maxRaw));
}

Raws EncodeSample(const SimRide& ride, size_t i, const Family3Setup& setup,
                  const Family3Codecs& c) {
    Raws r;
    bool old = setup.version == 0 || setup.version == 32;
    r.ne = PulseCount(setup.enginePulses, ride.rpm[i]);
    // Old loggers keep 15 bits of 0.01 km/h, later ones 12 bits (front: 15 bits in
    // variable records) of 0.1 km/h.
    double perKmh = old ? 100 : 10;
    r.frontSpeed = Speed(ride.frontSpeed[i], perKmh, old || setup.version >= 3 ? 32767 : 4095);
    r.rearSpeed = Speed(ride.rearSpeed[i], perKmh, old ? 32767 : 4095);
    r.lap = ride.lapPulse[i] != 0;
    r.mark = ride.sampleMark[i] != 0;
    r.throttle = EncodeRaw(c.throttle, std::llround(double(ride.throttle[i]) * 10));
    r.stroke[0] = EncodeRaw(c.stroke[0], Hundredths(ride.frontStroke[i]));
    r.stroke[1] = EncodeRaw(c.stroke[1], Hundredths(ride.rearStroke[i]));
    r.airFuel[0] = EncodeRaw(c.airFuel[0], Hundredths(ride.laf1[i]));
    r.airFuel[1] = EncodeRaw(c.airFuel[1], Hundredths(ride.laf2[i]));
    r.aux[0] = EncodeRaw(c.aux[0], Hundredths(ride.aux1[i]));
    r.aux[1] = EncodeRaw(c.aux[1], Hundredths(ride.aux2[i]));
    r.vb = EncodeRaw(c.vb, Hundredths(ride.vb[i]));
    return r;
}

uint8_t Byte(uint32_t v) {
    return static_cast<uint8_t>(v);
}

void WriteRecordV1V2(const Raws& r, int version, uint8_t* p) {
    p[0] = Byte(r.ne >> 8);
    p[1] = Byte(r.ne);
    p[2] = Byte((r.lap ? 0x80 : 0) | (r.frontSpeed >> 8));
    p[3] = Byte(r.frontSpeed);
    p[4] = Byte((r.stroke[0] & 3) << 6 | (r.stroke[1] & 3) << 4 | (r.rearSpeed >> 8));
    p[5] = Byte(r.rearSpeed);
    p[6] = Byte(r.throttle);
    p[7] = Byte(r.stroke[0] >> 2);
    p[8] = Byte(r.stroke[1] >> 2);
    p[9] = Byte(r.airFuel[0]);
    p[10] = Byte(r.airFuel[1]);
    p[11] = Byte(r.aux[0]);
    p[12] = Byte(r.aux[1]);
    p[13] = Byte(r.vb);
    p[14] = version == 2 && r.mark ? 0x80 : 0;
    p[15] = 0;
}

// Versions 0 and 32: no battery, AUX inputs or sample marks; stroke raws are one byte.
void WriteRecordOld(const Raws& r, uint8_t* p) {
    p[0] = Byte(r.ne >> 8);
    p[1] = Byte(r.ne);
    p[2] = Byte((r.lap ? 0x80 : 0) | (r.frontSpeed >> 8));
    p[3] = Byte(r.frontSpeed);
    p[4] = Byte(r.rearSpeed >> 8);
    p[5] = Byte(r.rearSpeed);
    p[6] = Byte(r.throttle);
    p[7] = Byte(r.stroke[0]);
    p[8] = Byte(r.stroke[1]);
    p[9] = Byte(r.airFuel[0]);
    p[10] = Byte(r.airFuel[1]);
    std::fill(p + 11, p + 16, 0);
}

// Mask bits of the variable record.
constexpr int kBitNe = 14, kBitFront = 13, kBitRear = 12, kBitThrottle = 11;
constexpr int kBitStroke = 10, kBitAirFuel = 8, kBitAux = 6, kBitVb = 4, kBitStatus = 3;

size_t VariableRecordLength(uint16_t mask, int version) {
    auto bit = [&](int b) { return static_cast<size_t>((mask >> b) & 1); };
    size_t wide = version == 4 ? 2 : 1;
    size_t n = 2 + 1 + bit(14) + 1 + bit(13) + 1 + bit(12);
    for (int b = 11; b >= 4; --b) n += wide * bit(b);
    return n + bit(3) + bit(2) + 2 * bit(1) + 4 * bit(0);
}

uint16_t FrontWord(const Raws& r) {
    return static_cast<uint16_t>((r.lap ? 0x8000 : 0) | r.frontSpeed);
}

// Version 3 carries the low two bits of each stroke in the rear speed word.
uint16_t RearWord(const Raws& r, int version) {
    if (version == 4) return r.rearSpeed;
    return static_cast<uint16_t>((r.stroke[0] & 3) << 14 | (r.stroke[1] & 3) << 12 | r.rearSpeed);
}

// A word the reader follows by signed byte deltas, or absolute when the step is too big.
void PutTracked(uint16_t now, uint16_t before, bool absolute, int bit, uint16_t& mask,
                std::vector<uint8_t>& out) {
    int delta = int{now} - int{before};
    if (absolute || delta < -128 || delta > 127) {
        mask |= uint16_t(1u << bit);
        PutU16(out, now);
    } else {
        out.push_back(static_cast<uint8_t>(static_cast<int8_t>(delta)));
    }
}

// A field the reader repeats until the record carries a new value.
void PutChanged(uint16_t now, uint16_t before, bool wide, bool always, int bit, uint16_t& mask,
                std::vector<uint8_t>& out) {
    if (!always && now == before) return;
    mask |= uint16_t(1u << bit);
    if (wide)
        PutU16(out, now);
    else
        out.push_back(Byte(now));
}

void AppendVariableRecord(const Raws& now, const Raws& before, bool refresh, bool reserved,
                          int version, std::vector<uint8_t>& out) {
    size_t start = out.size();
    out.resize(start + 2);
    uint16_t mask = 0;
    bool wide = version == 4;
    PutTracked(now.ne, before.ne, refresh, kBitNe, mask, out);
    PutTracked(FrontWord(now), FrontWord(before), refresh, kBitFront, mask, out);
    PutTracked(RearWord(now, version), RearWord(before, version), refresh, kBitRear, mask, out);
    PutChanged(now.throttle, before.throttle, wide, refresh, kBitThrottle, mask, out);
    for (int side = 0; side < 2; ++side) {
        // Version 3 stores the top 8 of the 10 stroke bits here; the rear word has the rest.
        uint16_t n = wide ? now.stroke[side] : now.stroke[side] >> 2;
        uint16_t b = wide ? before.stroke[side] : before.stroke[side] >> 2;
        PutChanged(n, b, wide, refresh, kBitStroke - side, mask, out);
    }
    for (int k = 0; k < 2; ++k)
        PutChanged(now.airFuel[k], before.airFuel[k], wide, refresh, kBitAirFuel - k, mask, out);
    for (int k = 0; k < 2; ++k)
        PutChanged(now.aux[k], before.aux[k], wide, refresh, kBitAux - k, mask, out);
    PutChanged(now.vb, before.vb, wide, refresh, kBitVb, mask, out);
    PutChanged(now.mark ? 0x80 : 0, before.mark ? 0x80 : 0, false, refresh, kBitStatus, mask, out);
    if (reserved) {
        mask |= 0x7;
        out.insert(out.end(), 7, 0);
    }
    SetU16(out, start, mask);
    if (out.size() - start != VariableRecordLength(mask, version))
        throw std::logic_error("variable record length does not follow its mask");
}

} // namespace

std::vector<uint8_t> WriteFamily3(const SimRide& ride, int version, const Family3Options& options) {
    if (version != 0 && version != 1 && version != 2 && version != 3 && version != 4 &&
        version != 32)
        throw std::invalid_argument("family 3 has no version " + std::to_string(version));
    Family3Setup setup = MakeFamily3Setup(version, options);
    Family3Codecs codecs = MakeFamily3Codecs(setup);
    std::vector<uint8_t> out = WriteFamily3Header(ride, setup, options);
    size_t header = out.size();
    size_t n = RideSamples(ride);
    if (!IsVariableRecordVersion(version)) {
        out.resize(header + (n > 0 ? n - 1 : 0) * kFixedRecordSize);
        for (size_t i = 1; i < n; ++i) {
            uint8_t* record = out.data() + header + (i - 1) * kFixedRecordSize;
            Raws now = EncodeSample(ride, i, setup, codecs);
            if (version == 1 || version == 2)
                WriteRecordV1V2(now, version, record);
            else
                WriteRecordOld(now, record);
        }
        return out;
    }
    out.reserve(header + n * 20);
    Raws before;
    for (size_t i = 1; i < n; ++i) {
        Raws now = EncodeSample(ride, i, setup, codecs);
        size_t record = i - 1;
        bool refresh =
            record == 0 || (options.refreshRecords > 0 && record % options.refreshRecords == 0);
        bool reserved = options.reservedEvery > 0 && i % options.reservedEvery == 0;
        AppendVariableRecord(now, before, refresh, reserved, version, out);
        before = now;
    }
    return out;
}

} // namespace qvtk::sim
