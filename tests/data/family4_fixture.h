#pragma once
// Family-4 recordings built byte by byte for the tests: the 512-byte header, the channel
// descriptor table from offset 512 (48 bytes, 112 for a ten-point table) and the item stream
// from offset 8192. Nothing here goes through a writer of ours.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "data/family4_reader.h"
#include "tests/test_support.h"

// Descriptors are written with designated initializers that name only the fields a test
// cares about; the rest keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qvtk::test {

using Item = std::vector<uint8_t>;

// One channel descriptor; mode 0 = absent.
struct Descriptor {
    uint8_t mode = 1, code = 0, conversion = 0, decimals = 0;
    bool signedRaw = false;
    uint8_t bitDepth = 0;
    int32_t calA = 0, calB = 0, calOffset = 0;
    std::array<int32_t, 10> in{}, out{}; // conversion 5
    std::string name, unit;
    uint8_t sampleTime = 0, canPort = 0, bitShift = 0, flags = 0;
    uint32_t canId = 0;
    uint16_t dataMask = 0;
};

class Family4File {
public:
    // Header bytes: 16-20 checked by the reader, 32 laps from the GPS (2), 34 marks per lap,
    // 48-63 the control line, 112-127 the course name.
    Family4File() : header_(512, 0), table_(64, Descriptor{.mode = 0}) {
        std::memcpy(header_.data(), "4KZL V0002   ", 13);
    }
    Family4File& Set(size_t offset, uint8_t v) {
        header_.at(offset) = v;
        return *this;
    }
    Family4File& Text(size_t offset, const std::string& text) {
        std::copy(text.begin(), text.end(), header_.begin() + ptrdiff_t(offset));
        return *this;
    }
    Family4File& NoMagic(uint8_t versionByte) {
        std::memset(header_.data(), 0, 16);
        header_[0] = '4';
        return Set(15, versionByte);
    }
    Family4File& Line(int32_t latA, int32_t lonA, int32_t latB, int32_t lonB) {
        const int32_t v[4] = {latA, lonA, latB, lonB};
        for (size_t k = 0; k < 4; ++k) PutU32(header_, 48 + 4 * k, uint32_t(v[k]));
        return *this;
    }
    Family4File& Channel(int column, const Descriptor& d) {
        table_.at(size_t(column)) = d;
        return *this;
    }

    // One sample group of the given items, in the order given (no end byte).
    Family4File& Group(std::initializer_list<Item> items) {
        for (const Item& i : items) data_.insert(data_.end(), i.begin(), i.end());
        ++next_;
        return *this;
    }
    // Repeat bytes of up to 64 samples each until the next sample written is `sample`.
    Family4File& RepeatTo(int sample) {
        for (int n = sample - next_; n > 0; n -= 64)
            data_.push_back(uint8_t(0x80 | (std::min(n, 64) - 1)));
        next_ = std::max(next_, sample);
        return *this;
    }
    Family4File& Repeat(int n) { return RepeatTo(next_ + n); }
    Family4File& Raw(std::initializer_list<uint8_t> bytes) {
        data_.insert(data_.end(), bytes);
        return *this;
    }

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> b = header_;
        b.resize(8192, 0);
        size_t at = 512;
        for (const Descriptor& d : table_) at += Write(b, at, d);
        b.insert(b.end(), data_.begin(), data_.end());
        return b;
    }

private:
    static size_t Write(std::vector<uint8_t>& b, size_t at, const Descriptor& d) {
        b.at(at) = d.mode;
        b.at(at + 1) = d.code;
        b.at(at + 2) = d.sampleTime;
        b.at(at + 3) = d.canPort;
        PutU32(b, at + 4, d.canId);
        PutU16(b, at + 8, d.dataMask);
        b.at(at + 10) = d.bitDepth;
        b.at(at + 11) = d.bitShift;
        b.at(at + 12) = d.flags;
        b.at(at + 14) = uint8_t(d.decimals | (d.signedRaw ? 4 : 0));
        b.at(at + 15) = d.conversion;
        for (size_t i = 0; i < d.name.size() && i < 8; ++i) b.at(at + 16 + i) = uint8_t(d.name[i]);
        for (size_t i = 0; i < d.unit.size() && i < 8; ++i) b.at(at + 24 + i) = uint8_t(d.unit[i]);
        if (d.conversion == 5) {
            for (size_t k = 0; k < 10; ++k) {
                PutU32(b, at + 32 + 4 * k, uint32_t(d.in[k]));
                PutU32(b, at + 72 + 4 * k, uint32_t(d.out[k]));
            }
            return 112;
        }
        PutU32(b, at + 32, uint32_t(d.calA));
        PutU32(b, at + 36, uint32_t(d.calB));
        PutU32(b, at + 40, uint32_t(d.calOffset));
        return 48;
    }

    std::vector<uint8_t> header_;
    std::vector<Descriptor> table_;
    std::vector<uint8_t> data_;
    int next_ = 1; // sample 0 stays empty
};

// A channel item: column index, then the raw u16.
inline Item Value(int column, uint16_t raw) {
    return {uint8_t(column), uint8_t(raw >> 8), uint8_t(raw)};
}
// A GPS position item (code 64); negative latitude / longitude are written as 'S' / 'W'.
inline Item Position(int column, char status, int32_t lat, int32_t lon, uint16_t extra = 0) {
    Item i(17, 0);
    i[0] = uint8_t(column);
    i[2] = uint8_t(status);
    PutU32(i, 3, uint32_t(std::abs(lat)));
    i[7] = lat < 0 ? 'S' : 'N';
    PutU32(i, 8, uint32_t(std::abs(lon)));
    i[12] = lon < 0 ? 'W' : 'E';
    PutU16(i, 15, extra);
    return i;
}
// A GPS one-byte item (code 65): 17 bytes, the value in byte 2.
inline Item OneByte(int column, uint8_t v) {
    Item i(17, 0xEE);
    i[0] = uint8_t(column);
    i[2] = v;
    return i;
}

// A clean program with its own program directory (for "status.ini" and "gps_p.ini"), and a
// moving-average window too wide for these short files so that samples are checked exactly.
class Family4Test : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        g_settings.SmoothingSample = 100000;
    }
    static FileSlot LoadF4(const Family4File& f, FileSlot slot = 0) {
        return Load(slot, "ride.qvd", f.bytes());
    }
};

} // namespace qvtk::test
