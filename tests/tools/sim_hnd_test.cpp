// The hnd writer: the header fields, and the bit stream walked code by code in the
// channel order with each channel's period, read back against the ride.
#include "tools/sim/hnd_writer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qvtk::sim;

namespace {

const SimRide& Ride() {
    static const SimRide ride = [] {
        RideOptions o;
        o.seed = 9;
        o.laps = 1;
        return SimulateRide(MakeCourse(9), o);
    }();
    return ride;
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] << 8 | b[at + 1];
}

struct Code {
    int prefix = 0, length = 0;
    uint32_t bits = 0;
    bool filler = false, absolute = false;
    int32_t value = 0; // the delta, or the absolute value
};

// One code: a prefix up to the first 0 bit (at most 31 bits), then the rest of its length.
Code NextCode(const std::vector<uint8_t>& f, size_t& bit) {
    auto take = [&] {
        uint32_t b = bit < f.size() * 8 ? f[bit / 8] >> (7 - bit % 8) & 1 : 0;
        ++bit;
        return b;
    };
    Code c;
    for (uint32_t b = 1; b && c.prefix < 31; ++c.prefix) c.bits = c.bits << 1 | (b = take());
    int n = c.prefix;
    c.length = n == 1 ? 1 : n <= 3 ? 4 : n <= 7 ? 8 : n <= 15 ? 16 : 31;
    for (int k = n; k < c.length; ++k) c.bits = c.bits << 1 | take();
    auto delta = [](uint32_t v, int base) {
        return v % 2 ? -int(v / 2) - base : int(v / 2) + base;
    };
    c.filler = n == 31;
    c.absolute = n >= 16 && n <= 30;
    c.value = n == 1    ? 0
              : n <= 3  ? delta(c.bits & 7, 1)
              : n <= 7  ? delta(c.bits & 31, 4)
              : n <= 15 ? delta(c.bits & 511, 19)
                        : int32_t(c.bits & 0xFFFF);
    return c;
}

// Walk order: Ne, VFW, VRW, throttle, VB, strokes, LAF1, LAF2, AUX1, AUX2, lap marker.
constexpr size_t kPeriodAt[11] = {7, 11, 13, 9, 19, 21, 23, 25, 27, 15, 17};

} // namespace

TEST(SimHnd, HeaderFieldsAndBlockCount) {
    const SimRide& r = Ride();
    std::vector<uint8_t> f = WriteHnd(r);
    EXPECT_EQ(f[6], 0x13); // standard stroke sensors, lap markers
    const uint32_t periods[11] = {5, 10, 10, 10, 100, 5, 5, 20, 20, 50, 0};
    for (int c = 0; c < 11; ++c) EXPECT_EQ(U16(f, kPeriodAt[c]), periods[c]) << c;
    EXPECT_EQ(U16(f, 39), 194u);
    EXPECT_EQ(U16(f, 41), 200u);
    EXPECT_EQ(U16(f, 47), 400u);
    EXPECT_EQ(U16(f, 49), 3600u);
    EXPECT_EQ(U16(f, 51), 1000u);
    EXPECT_EQ(U16(f, 53), 1010u);
    EXPECT_EQ(f[79], 3);
    EXPECT_EQ(size_t(f[84]) << 16 | U16(f, 85), RideSamples(r) / 200);
    EXPECT_EQ(std::string(f.begin() + 115, f.begin() + 121), "SIMHND");

    HndOptions o;
    o.lapMarkers = false;
    o.vbPeriod = 0;
    f = WriteHnd(r, o);
    EXPECT_EQ(f[6], 0x03);
    EXPECT_EQ(U16(f, 19), 0u);
}

TEST(SimHnd, FirstCodesAreAbsoluteValuesOfSampleTwo) {
    const SimRide& r = Ride();
    std::vector<uint8_t> f = WriteHnd(r);
    size_t bit = kHndStreamStart * 8;
    // Sample 1: only the 5 ms channels are due (Ne, front and rear stroke).
    Code ne = NextCode(f, bit), front = NextCode(f, bit), rear = NextCode(f, bit);
    for (const Code& c : {ne, front, rear}) {
        EXPECT_EQ(c.prefix, 16);
        EXPECT_EQ(c.length, 31);
        EXPECT_TRUE(c.absolute);
    }
    EXPECT_NEAR(ne.value * 20, r.rpm[2], 10);
    EXPECT_NEAR(18769 - (front.value + 1024 - 1000) * 18769 / 1024, r.frontStroke[2] * 100, 10);
    EXPECT_NEAR(12500 - (rear.value + 1023 - 1010) * 12500 / 1023, r.rearStroke[2] * 100, 7);
}

TEST(SimHnd, StreamHoldsExactlyTheCodesOfTheChannelWalk) {
    const SimRide& r = Ride();
    HndOptions o;
    o.fillerEvery = 5000;
    std::vector<uint8_t> f = WriteHnd(r, o);
    size_t count = (size_t(f[84]) << 16 | U16(f, 85)) * 200;
    int period[12];
    for (int c = 0; c < 11; ++c) period[c] = int(U16(f, kPeriodAt[c])) / 5;
    period[11] = f[6] & 0x10 ? 60 : 0;
    int32_t raw[12] = {};
    const int32_t scale[12] = {20, 10, 10, 1, 10, 1, 1, 1, 1, 1, 1, 1};
    size_t bit = kHndStreamStart * 8, fillers = 0, absolutes = 0, codes = 0;
    std::vector<size_t> marks;
    for (size_t s = 1; s < count; ++s) {
        for (int c = 0; c < 12; ++c) {
            if (period[c] == 0 || s % period[c] != 0) continue;
            Code code = NextCode(f, bit);
            for (; code.filler; code = NextCode(f, bit)) ++fillers;
            ASSERT_LE(bit, f.size() * 8) << "stream ends early at sample " << s;
            ++codes;
            absolutes += code.absolute;
            raw[c] = code.absolute ? code.value * scale[c] : raw[c] + code.value * scale[c];
            if (c == 11 && code.value > 0) marks.push_back(s - code.value);
        }
        size_t j = std::min(s + 1, RideSamples(r) - 1);
        ASSERT_NEAR(raw[0], r.rpm[j], 10.01) << s;
        if (s % 2 == 0) {
            ASSERT_NEAR(raw[1], r.frontSpeed[j] * 10, 5.01) << s;
        }
        ASSERT_NEAR(12500 - (raw[6] + 1023 - 1010) * 12500 / 1023, r.rearStroke[j] * 100, 7) << s;
        if (s % 4 == 0) {
            ASSERT_NEAR(raw[7] * 1000 / 1140 + 900, r.laf1[j] * 100, 1) << s;
        }
    }
    // What is left is the zero padding of the last byte.
    EXPECT_EQ((bit + 7) / 8, f.size());
    for (; bit < f.size() * 8; ++bit) ASSERT_EQ(f[bit / 8] >> (7 - bit % 8) & 1, 0);
    EXPECT_EQ(fillers, (count - 1) / 5000);
    EXPECT_GT(absolutes, codes / 300); // the periodic refresh
    std::vector<size_t> pulses(r.lapPulseStarts.begin(), r.lapPulseStarts.end());
    EXPECT_EQ(marks, pulses);
}
