#pragma once
// Family-3 recordings built byte by byte for the tests: the header at the offsets the loggers
// write, then records in the fixed 16-byte layout (versions 0, 1, 2, 32) or the variable
// mask-word layout (versions 3, 4). Nothing here goes through a writer of ours, so a reader
// and a writer cannot share one misunderstanding.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tests/test_support.h"

// The records below are written with designated initializers that name only the fields a test
// cares about; the rest keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qvtk::test {

// One sample in raw record units.
struct Family3Sample {
    uint16_t pulses = 0;   // engine pulse count
    bool marker = false;   // lap-marker bit
    uint16_t vfw = 0;      // 0.1 km/h: 12 bits (versions 1, 2), 15 bits (0, 32, 3, 4)
    uint16_t vrw = 0;      // 0.1 km/h: 12 bits (15 bits in versions 0, 32)
    uint16_t throttle = 0; // 8-bit raw (version 4: 16-bit)
    uint16_t front = 0;    // stroke raw: 10-bit (versions 0, 32: multiple of 4; 4: 16-bit)
    uint16_t rear = 0;
    uint16_t laf1 = 0, laf2 = 0, aux1 = 0, aux2 = 0; // 8-bit (version 4: 16-bit)
    uint16_t vb = 200; // 15.68 V in 8 bits, clear of every voltage rule (version 4: 16-bit)
    bool mark = false; // sample mark: byte 14 (version 2), status byte (3, 4)
};

// A variable record field by field. An absent Ne/VFW/VRW word is written as its i8 delta;
// any other absent field is left out (the reader repeats the previous value).
struct VariableRecord {
    std::optional<uint16_t> ne; // u16 absolutes, mask bits 14-12
    int8_t neDelta = 0;
    std::optional<uint16_t> vfw;
    int8_t vfwDelta = 0;
    std::optional<uint16_t> vrw;
    int8_t vrwDelta = 0;
    std::optional<uint16_t> throttle, front, rear, laf1, laf2, aux1, aux2, vb; // bits 11-4
    std::optional<uint8_t> status;                                             // bit 3
    bool reserved1 = false, reserved2 = false, reserved4 = false;              // bits 2, 1, 0
    bool bit15 = false;                                                        // unused mask bit
};

class Family3File {
public:
    // A header of zeros with the '3' and the version byte; 1024 bytes for versions 3 and 4.
    explicit Family3File(int version)
        : version_(version), bytes_(version == 3 || version == 4 ? 1024 : 512, 0) {
        bytes_[0] = '3';
        bytes_[15] = uint8_t(version);
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

    // --- header -------------------------------------------------------------------------
    Family3File& Set(size_t offset, uint8_t v) {
        bytes_.at(offset) = v;
        return *this;
    }
    Family3File& Set16(size_t offset, int v) {
        PutU16(bytes_, offset, unsigned(v) & 0xFFFF);
        return *this;
    }
    Family3File& Text(size_t offset, std::string_view text) {
        for (size_t i = 0; i < text.size(); ++i) bytes_.at(offset + i) = uint8_t(text[i]);
        return *this;
    }
    Family3File& Firmware(std::string_view text) { return Text(1, text); } // offsets 1-14
    Family3File& NePulses(int n) { return Set(16, uint8_t(n)); }
    Family3File& Wheels(int frontPulses, int frontTire, int rearPulses, int rearTire) {
        Set(17, uint8_t(frontPulses)).Set16(18, frontTire);
        return Set(21, uint8_t(rearPulses)).Set16(22, rearTire);
    }
    Family3File& Sprockets(int front, int rear) {
        return Set(25, uint8_t(front)).Set(26, uint8_t(rear));
    }
    Family3File& MarksPerLap(int n) { return Set(27, uint8_t(n)); }
    Family3File& LinkRatio(int v) { return Set(31, uint8_t(v)); }
    Family3File& Throttle(int closed, int open, int gain = 0) {
        return Set(32, uint8_t(closed)).Set(33, uint8_t(open)).Set16(34, gain);
    }
    // Sensor type, 10-bit zero point (bits 9-2 in 39/40, bits 1-0 in the top of 41/42) and the
    // linear stroke constant in 0.1 mm.
    Family3File& FrontSensor(int type, int zero, int linearStroke = 0) {
        Set(36, uint8_t(type)).Set(39, uint8_t(zero >> 2)).Set(41, uint8_t((zero & 3) << 6));
        return Set16(43, linearStroke);
    }
    Family3File& RearSensor(int type, int zero, int linearStroke = 0) {
        Set(37, uint8_t(type)).Set(40, uint8_t(zero >> 2)).Set(42, uint8_t((zero & 3) << 6));
        return Set16(45, linearStroke);
    }
    Family3File& LapThreshold(int v) { return Set(47, uint8_t(v)); }
    Family3File& GearTeeth(const std::vector<int>& teeth) { // 14 counts from offset 64
        for (size_t i = 0; i < teeth.size(); ++i) Set(64 + i, uint8_t(teeth[i]));
        return *this;
    }
    // Input 0-3 = LAF1, LAF2, AUX1, AUX2; each has 48 calibration bytes from 112.
    Family3File& InputType(int input, int type) { return Set(108 + size_t(input), uint8_t(type)); }
    Family3File& InputGainOffset(int input, int gain, int offset) {
        const size_t base = 112 + 48 * size_t(input);
        return Set16(base, gain).Set16(base + 16, offset);
    }
    Family3File& InputTable(int input, const std::vector<int>& inBytes,
                            const std::vector<int>& outputs) {
        const size_t base = 112 + 48 * size_t(input);
        for (size_t k = 0; k < 16; ++k) {
            Set(base + k, uint8_t(inBytes.at(k)));
            Set16(base + 16 + 2 * k, outputs.at(k));
        }
        return *this;
    }
    Family3File& Memo(std::string_view text) { return Text(320, text); }

    // --- records ------------------------------------------------------------------------
    // A fixed record in this version's layout, or a variable record with every field present.
    Family3File& Append(const Family3Sample& s, int times = 1) {
        for (int n = 0; n < times; ++n) {
            if (version_ == 3 || version_ == 4)
                AppendFull(s);
            else
                AppendFixed(s);
        }
        return *this;
    }

    Family3File& AppendVariable(const VariableRecord& r) {
        const bool wide = version_ == 4;
        const std::optional<uint16_t>* fields[] = {&r.throttle, &r.front, &r.rear, &r.laf1,
                                                   &r.laf2,     &r.aux1,  &r.aux2, &r.vb};
        unsigned mask = (r.bit15 ? 0x8000 : 0) | (r.ne ? 0x4000 : 0) | (r.vfw ? 0x2000 : 0) |
                        (r.vrw ? 0x1000 : 0) | (r.status ? 0x0008 : 0) | (r.reserved1 ? 4 : 0) |
                        (r.reserved2 ? 2 : 0) | (r.reserved4 ? 1 : 0);
        for (int k = 0; k < 8; ++k)
            if (*fields[k]) mask |= 0x0800u >> k;
        AppendU16(bytes_, mask);
        auto word = [&](const std::optional<uint16_t>& v, int8_t delta) {
            if (v)
                AppendU16(bytes_, *v);
            else
                bytes_.push_back(uint8_t(delta));
        };
        word(r.ne, r.neDelta);
        word(r.vfw, r.vfwDelta);
        word(r.vrw, r.vrwDelta);
        for (const auto* f : fields) {
            if (!*f) continue;
            if (wide)
                AppendU16(bytes_, **f);
            else
                bytes_.push_back(uint8_t(**f));
        }
        if (r.status) bytes_.push_back(*r.status);
        // Reserved bytes of 0xFF: read as anything but padding they would derail the records.
        bytes_.insert(bytes_.end(),
                      (r.reserved1 ? 1 : 0) + (r.reserved2 ? 2 : 0) + (r.reserved4 ? 4 : 0), 0xFF);
        return *this;
    }

private:
    void AppendFixed(const Family3Sample& s) {
        uint8_t r[16] = {};
        r[0] = uint8_t(s.pulses >> 8);
        r[1] = uint8_t(s.pulses);
        r[3] = uint8_t(s.vfw);
        r[5] = uint8_t(s.vrw);
        r[6] = uint8_t(s.throttle);
        r[9] = uint8_t(s.laf1);
        r[10] = uint8_t(s.laf2);
        if (version_ == 0 || version_ == 32) { // 15-bit speeds, 8-bit strokes, no VB or AUX
            r[2] = uint8_t((s.marker ? 0x80 : 0) | (s.vfw >> 8 & 0x7F));
            r[4] = uint8_t(s.vrw >> 8 & 0x7F);
            r[7] = uint8_t(s.front / 4);
            r[8] = uint8_t(s.rear / 4);
        } else {
            r[2] = uint8_t((s.marker ? 0x80 : 0) | (s.vfw >> 8 & 0x0F));
            r[4] = uint8_t((s.front & 3) << 6 | (s.rear & 3) << 4 | (s.vrw >> 8 & 0x0F));
            r[7] = uint8_t(s.front >> 2);
            r[8] = uint8_t(s.rear >> 2);
            r[11] = uint8_t(s.aux1);
            r[12] = uint8_t(s.aux2);
            r[13] = uint8_t(s.vb);
            r[14] = s.mark ? 0x80 : 0;
        }
        bytes_.insert(bytes_.end(), r, r + 16);
    }

    void AppendFull(const Family3Sample& s) {
        const bool wide = version_ == 4;
        // Version 3 keeps the low two bits of the 10-bit strokes in the top of the VRW word.
        const uint16_t lowBits = wide ? 0 : uint16_t((s.front & 3) << 14 | (s.rear & 3) << 12);
        AppendVariable({.ne = s.pulses,
                        .vfw = uint16_t((s.marker ? 0x8000 : 0) | (s.vfw & 0x7FFF)),
                        .vrw = uint16_t(lowBits | (s.vrw & 0x0FFF)),
                        .throttle = s.throttle,
                        .front = wide ? s.front : uint16_t(s.front >> 2),
                        .rear = wide ? s.rear : uint16_t(s.rear >> 2),
                        .laf1 = s.laf1,
                        .laf2 = s.laf2,
                        .aux1 = s.aux1,
                        .aux2 = s.aux2,
                        .vb = s.vb,
                        .status = uint8_t(s.mark ? 0x80 : 0)});
    }

    int version_;
    std::vector<uint8_t> bytes_;
};

} // namespace qvtk::test
