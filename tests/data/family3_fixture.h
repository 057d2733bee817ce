#pragma once
// Family-3 recordings built byte by byte for the tests: the header at the offsets the loggers
// write, then records in the fixed 16-byte layout (versions 0, 1, 2, 32) or the variable
// mask-word layout (versions 3, 4). Nothing here goes through a writer of ours, so a reader
// and a writer cannot share one misunderstanding.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "tests/test_support.h"

// Samples are written with designated initializers that name only the fields a test cares
// about; the rest keep their defaults on purpose.
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

class Family3File {
public:
    // A header of zeros with the '3' and the version byte; 1024 bytes for versions 3 and 4.
    // One-byte header fields: 1-14 firmware text, 16 engine pulses per revolution, 17/21 wheel
    // pulses, 18/22 tyres (u16), 25/26 sprockets, 27 marks per lap, 31 link ratio, 47 lap
    // threshold, 64-77 gear teeth, 108-111 input types, 320 memo.
    explicit Family3File(int version)
        : version_(version), bytes_(version == 3 || version == 4 ? 1024 : 512, 0) {
        bytes_[0] = '3';
        bytes_[15] = uint8_t(version);
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

    Family3File& Set(size_t offset, uint8_t v) {
        bytes_.at(offset) = v;
        return *this;
    }
    Family3File& Set16(size_t offset, int v) {
        PutU16(bytes_, offset, unsigned(v) & 0xFFFF);
        return *this;
    }
    Family3File& Fill(size_t offset, const std::vector<int>& values) {
        for (size_t i = 0; i < values.size(); ++i) Set(offset + i, uint8_t(values[i]));
        return *this;
    }
    Family3File& Text(size_t offset, std::string_view text) {
        return Fill(offset, std::vector<int>(text.begin(), text.end()));
    }
    Family3File& Throttle(int closed, int open, int gain = 0) {
        return Set(32, uint8_t(closed)).Set(33, uint8_t(open)).Set16(34, gain);
    }
    // Sensor 0 = front, 1 = rear: type, 10-bit zero point (bits 9-2 in 39/40, bits 1-0 in the
    // top of 41/42) and the linear stroke constant in 0.1 mm.
    Family3File& Sensor(int which, int type, int zero, int linearStroke = 0) {
        Set(36 + which, uint8_t(type)).Set(39 + which, uint8_t(zero >> 2));
        return Set(41 + which, uint8_t((zero & 3) << 6)).Set16(43 + 2 * which, linearStroke);
    }
    // Input 0-3 = LAF1, LAF2, AUX1, AUX2; each has 48 calibration bytes from 112: 16 input
    // bytes or the gain, then 16 outputs or the offset.
    Family3File& InputType(int input, int type) { return Set(108 + size_t(input), uint8_t(type)); }
    Family3File& InputGainOffset(int input, int gain, int offset) {
        return Set16(112 + 48 * size_t(input), gain).Set16(128 + 48 * size_t(input), offset);
    }
    // Table points beyond the lists given repeat the last one.
    Family3File& InputTable(int input, const std::vector<int>& in, const std::vector<int>& out) {
        for (size_t k = 0; k < 16; ++k) {
            Set(112 + 48 * size_t(input) + k, uint8_t(in[std::min(k, in.size() - 1)]));
            Set16(128 + 48 * size_t(input) + 2 * k, out[std::min(k, out.size() - 1)]);
        }
        return *this;
    }

    // A fixed record in this version's layout, or a variable record with every field present.
    Family3File& Append(const Family3Sample& s, int times = 1) {
        for (int n = 0; n < times; ++n)
            version_ == 3 || version_ == 4 ? AppendFull(s) : AppendFixed(s);
        return *this;
    }

    // A variable record: the mask word, then a value for Ne, VFW and VRW (u16 when their mask
    // bit 14-12 is set, else an i8 delta) and for every other field whose bit is set: bits
    // 11-4 throttle, strokes, inputs and VB (u16 in version 4), bit 3 the status byte. Bits
    // 2-0 add 1, 2 and 4 reserved bytes of 0xFF: read as anything but padding they would
    // derail the records.
    Family3File& Variable(unsigned mask, std::initializer_list<int> values) {
        AppendU16(bytes_, mask);
        auto v = values.begin();
        for (unsigned bit = 0x4000; bit >= 0x8; bit >>= 1) {
            const bool present = mask & bit;
            if (bit < 0x1000 && !present) continue; // only Ne, VFW and VRW are never left out
            const bool word = bit >= 0x1000 ? present : bit >= 0x10 && version_ == 4;
            word ? AppendU16(bytes_, unsigned(*v++)) : bytes_.push_back(uint8_t(*v++));
        }
        bytes_.insert(bytes_.end(), (mask & 4 ? 1 : 0) + (mask & 2 ? 2 : 0) + (mask & 1 ? 4 : 0),
                      0xFF);
        return *this;
    }

private:
    void AppendFixed(const Family3Sample& s) {
        uint8_t r[16] = {uint8_t(s.pulses >> 8), uint8_t(s.pulses)};
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

    // Every field present; version 3 keeps the low two bits of the 10-bit strokes in the top
    // of the VRW word.
    void AppendFull(const Family3Sample& s) {
        const bool wide = version_ == 4;
        const int low = wide ? 0 : (s.front & 3) << 14 | (s.rear & 3) << 12;
        Variable(0x7FF8,
                 {s.pulses, (s.marker ? 0x8000 : 0) | (s.vfw & 0x7FFF), low | (s.vrw & 0x0FFF),
                  s.throttle, wide ? s.front : s.front >> 2, wide ? s.rear : s.rear >> 2, s.laf1,
                  s.laf2, s.aux1, s.aux2, s.vb, s.mark ? 0x80 : 0});
    }

    int version_;
    std::vector<uint8_t> bytes_;
};

} // namespace qvtk::test
