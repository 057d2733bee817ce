// The ride simulator: determinism, physical sanity of the ride, and the written files
// checked byte by byte against the format tables (a few fields decoded by hand).
#include "tools/sim/can_writer.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace qvtk::sim;

namespace {

constexpr uint32_t kSeed = 6;
constexpr int kLaps = 2;

const SimCourse& TestCourse() {
    static const SimCourse course = MakeCourse(kSeed);
    return course;
}

const SimRide& TestRide() {
    static const SimRide ride = [] {
        RideOptions o;
        o.seed = kSeed;
        o.laps = kLaps;
        return SimulateRide(TestCourse(), o);
    }();
    return ride;
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] << 8 | b[at + 1];
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) << 16 | U16(b, at + 2);
}

// Engine revolutions per rear wheel revolution with the default teeth, worked out here
// rather than taken from the simulator.
double DefaultRatio(int gear) {
    const double box[6] = {33.0 / 12, 32.0 / 16, 30.0 / 18, 26.0 / 18, 30.0 / 23, 29.0 / 24};
    return 76.0 / 36 * box[gear - 1] * 41.0 / 16;
}

// Record length from the mask word, as the format table gives it.
size_t MaskRecordLength(uint32_t mask, int version) {
    auto bit = [&](int b) { return static_cast<size_t>((mask >> b) & 1); };
    size_t n = 2 + (bit(14) ? 2 : 1) + (bit(13) ? 2 : 1) + (bit(12) ? 2 : 1);
    for (int b = 11; b >= 4; --b) n += bit(b) * (version == 4 ? 2 : 1);
    return n + bit(3) + bit(2) + 2 * bit(1) + 4 * bit(0);
}

} // namespace

TEST(SimDeterminism, SameSeedGivesSameBytesAndAnotherSeedOthers) {
    RideOptions o;
    o.seed = kSeed;
    o.laps = kLaps;
    SimRide again = SimulateRide(MakeCourse(kSeed), o);
    EXPECT_EQ(WriteFamily3(TestRide(), 3), WriteFamily3(again, 3));
    EXPECT_EQ(WriteCanFrames(TestRide()), WriteCanFrames(again));
    EXPECT_EQ(WriteCourseLayout(TestCourse()), WriteCourseLayout(MakeCourse(kSeed)));

    o.seed = kSeed + 1;
    SimCourse other = MakeCourse(kSeed + 1);
    EXPECT_NE(WriteCourseLayout(TestCourse()), WriteCourseLayout(other));
    EXPECT_NE(WriteFamily3(TestRide(), 3), WriteFamily3(SimulateRide(other, o), 3));
}

TEST(SimCourse, ClosedTracksOfPlausibleLength) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SimCourse c = MakeCourse(seed);
        SCOPED_TRACE(seed);
        EXPECT_GE(c.length, 2500);
        EXPECT_LE(c.length, 5000);
        size_t n = c.x.size();
        ASSERT_EQ(n, c.curvature.size());
        // The loop closes with an ordinary step, and a simple loop turns once round.
        EXPECT_NEAR(std::hypot(c.x[0] - c.x[n - 1], c.y[0] - c.y[n - 1]), c.spacing, 0.05);
        double turned = 0;
        for (double k : c.curvature) turned += k * c.spacing;
        EXPECT_NEAR(std::fabs(turned), 2 * 3.14159265, 0.1);
        EXPECT_LT(c.pitLaneOut, c.pitLaneIn);
        EXPECT_LT(c.pitLaneIn, c.pitBox);
        EXPECT_LT(c.pitBox, c.length);
    }
}

TEST(SimRide, SpeedsAccelerationsAndSensorsArePhysical) {
    const SimRide& r = TestRide();
    size_t n = RideSamples(r);
    float top = 0;
    for (size_t i = 0; i < n; ++i) {
        ASSERT_GE(r.frontSpeed[i], 0);
        ASSERT_LT(r.rearSpeed[i], 330);
        ASSERT_GE(r.throttle[i], 0);
        ASSERT_LE(r.throttle[i], 100);
        ASSERT_GE(r.frontStroke[i], 0);
        ASSERT_LT(r.frontStroke[i], 187.68);
        ASSERT_LT(r.rearStroke[i], 125);
        ASSERT_GT(r.laf1[i], 10);
        ASSERT_LT(r.laf2[i], 17.5);
        ASSERT_NEAR(r.vb[i], 13.5, 0.6);
        ASSERT_LE(r.gear[i], 6);
        top = std::max(top, r.rearSpeed[i]);
    }
    EXPECT_GT(top, 150);
    // From standstill in the pit box back to standstill, in neutral.
    EXPECT_EQ(r.frontSpeed.front(), 0);
    EXPECT_EQ(r.frontSpeed.back(), 0);
    EXPECT_EQ(r.gear.front(), 0);
    EXPECT_EQ(r.gear.back(), 0);
    // Over half a second the front wheel shows the bike's acceleration and braking.
    double maxAccel = 0, maxBrake = 0;
    for (size_t i = 100; i < n; i += 10) {
        double g = (r.frontSpeed[i] - r.frontSpeed[i - 100]) / 3.6 / 0.5 / 9.81;
        maxAccel = std::max(maxAccel, g);
        maxBrake = std::max(maxBrake, -g);
    }
    EXPECT_GT(maxAccel, 0.5);
    EXPECT_LT(maxAccel, 1.05);
    EXPECT_GT(maxBrake, 1.0);
    EXPECT_LT(maxBrake, 1.35);
}

TEST(SimRide, EngineSpeedFollowsGearAndRearWheel) {
    const SimRide& r = TestRide();
    std::set<int> used;
    float highest = 0;
    for (size_t i = 0; i < RideSamples(r); ++i) {
        highest = std::max(highest, r.rpm[i]);
        if (r.gear[i] == 0 || r.rearSpeed[i] < 60) continue;
        used.insert(r.gear[i]);
        double expected = r.rearSpeed[i] / 3.6 / 2.0 * 60 * DefaultRatio(r.gear[i]);
        ASSERT_NEAR(r.rpm[i], expected, expected * 0.01) << "sample " << i;
    }
    EXPECT_EQ(used.size(), 6u);
    EXPECT_GT(highest, 12000);
    EXPECT_LT(highest, 14000);
}

TEST(SimRide, LapPulsesOncePerLapAtTheLine) {
    const SimRide& r = TestRide();
    const auto& p = r.lapPulseStarts;
    ASSERT_EQ(p.size(), size_t{kLaps + 1});
    size_t high = 0;
    for (uint8_t f : r.lapPulse) high += f;
    EXPECT_EQ(high, p.size() * kLapPulseSamples);
    for (size_t k = 0; k < p.size(); ++k) {
        float d = r.distance[p[k]];
        EXPECT_TRUE(d < 5 || d > r.courseLength - 5) << "pulse " << k << " at " << d;
        EXPECT_EQ(r.lapPulse[p[k]], 1);
        EXPECT_EQ(r.lapPulse[p[k] - 1], 0);
    }
    // The loader ignores pulses within 600 samples of the start or of each other, and
    // within 50 of the end.
    EXPECT_GT(p.front(), 600u);
    EXPECT_GT(RideSamples(r) - p.back(), 50u);
    uint32_t lap1 = p[1] - p[0], lap2 = p[2] - p[1];
    EXPECT_NEAR(double(lap1), double(lap2), lap1 * 0.05);
    EXPECT_GT(p[0], lap1 * 1.05);                      // the out-lap from the pit box is slower
    EXPECT_GT(RideSamples(r) - p.back(), lap1 * 1.05); // and so is the in-lap
}

TEST(SimRide, IntermediateBeaconsAndFixedDuration) {
    RideOptions o;
    o.seed = kSeed;
    o.laps = 1;
    o.marksPerLap = 3;
    SimRide r = SimulateRide(TestCourse(), o);
    // Out-lap, one flying lap and the in-lap up to the pit lane pass every beacon but the
    // line on the way in.
    ASSERT_EQ(r.lapPulseStarts.size(), 3u * 2 + 2);
    for (size_t k = 0; k < r.lapPulseStarts.size(); ++k) {
        double share = r.distance[r.lapPulseStarts[k]] / r.courseLength;
        double beacon = ((k + 1) % 3) / 3.0;
        EXPECT_NEAR(std::fmod(share - beacon + 1.5, 1.0), 0.5, 0.002) << "pulse " << k;
    }

    o.marksPerLap = 1;
    o.minutes = 2.5;
    EXPECT_EQ(RideSamples(SimulateRide(TestCourse(), o)), 30000u); // cut short mid-ride
    o.minutes = 15;
    SimRide longer = SimulateRide(TestCourse(), o);
    ASSERT_EQ(RideSamples(longer), 180000u);
    ASSERT_GE(longer.lapPulseStarts.size(), 3u);
    // Back in the pit box before the time is up, and another lap would not have fitted.
    size_t lastMoving = 0;
    for (size_t i = 0; i < RideSamples(longer); ++i)
        if (longer.frontSpeed[i] > 0) lastMoving = i;
    EXPECT_LT(lastMoving, RideSamples(longer) - 1);
    EXPECT_GT(lastMoving + longer.lapPulseStarts[2] - longer.lapPulseStarts[1] + 2000, 180000u);
}

TEST(SimFamily3, FixedRecordsFollowTheByteTable) {
    const SimRide& r = TestRide();
    size_t n = RideSamples(r);
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> f = WriteFamily3(r, version);
        ASSERT_EQ((f.size() - 512) % 16, 0u);
        ASSERT_EQ((f.size() - 512) / 16 + 1, n); // record k is sample k
        EXPECT_EQ(f[0], '3');
        EXPECT_EQ(f[15], version);
        EXPECT_EQ(f[16], 2);
        EXPECT_EQ(U16(f, 18), 1940u);
        EXPECT_EQ(U16(f, 22), 2000u);
        EXPECT_EQ(f[25], 16);
        EXPECT_EQ(f[26], 41);
        EXPECT_EQ(f[27], 1);
        EXPECT_EQ(f[39] * 4 + (f[41] >> 6), 1000);
        EXPECT_EQ(f[40] * 4 + (f[42] >> 6), 1010);
        EXPECT_EQ(f[47] * 2000 / 255, 501); // threshold in hundredths of a volt
        const uint8_t teeth[14] = {76, 36, 33, 12, 32, 16, 30, 18, 26, 18, 30, 23, 29, 24};
        EXPECT_TRUE(std::equal(teeth, teeth + 14, f.begin() + 64));
        EXPECT_EQ(f[108] | f[109] << 8 | f[110] << 16 | f[111] << 24, 0x01010000);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[320])),
                  "QVTK simulated ride seed " + std::to_string(kSeed));

        size_t lapRecords = 0, markRecords = 0;
        for (size_t k = 1; k < n; ++k) {
            const uint8_t* rec = &f[512 + (k - 1) * 16];
            ASSERT_EQ((rec[2] >> 7) != 0, r.lapPulse[k] != 0) << "sample " << k;
            lapRecords += rec[2] >> 7;
            markRecords += rec[14] >> 7;
            ASSERT_NEAR((rec[0] << 8 | rec[1]) / 2.0, r.rpm[k], 0.51);
            ASSERT_NEAR(((rec[2] & 15) << 8 | rec[3]) / 10.0, r.frontSpeed[k], 0.051);
            ASSERT_NEAR(((rec[4] & 15) << 8 | rec[5]) / 10.0, r.rearSpeed[k], 0.051);
            ASSERT_NEAR((rec[6] - 20) * 1000 / 200, r.throttle[k] * 10, 5.01);
            int front = rec[7] * 4 + (rec[4] >> 6);
            ASSERT_NEAR(18768 - (front - 1000 + 1023) * 18768 / 1023, r.frontStroke[k] * 100, 10);
            int rear = rec[8] * 4 + (rec[4] >> 4 & 3);
            ASSERT_NEAR(12500 - (rear - 1010 + 1023) * 12500 / 1023, r.rearStroke[k] * 100, 7);
            ASSERT_NEAR(rec[9] * 1000 / 283 + 900, r.laf1[k] * 100, 2.5);
            ASSERT_NEAR(rec[11] * 500 / 255, r.aux1[k] * 100, 2.5);
            ASSERT_NEAR(rec[13] * 2000 / 255, r.vb[k] * 100, 5);
        }
        EXPECT_EQ(lapRecords, r.lapPulseStarts.size() * kLapPulseSamples);
        size_t marks = 0;
        for (size_t k = 1; k < n; ++k) marks += r.sampleMark[k];
        EXPECT_GT(marks, 0u);
        EXPECT_EQ(markRecords, version == 2 ? marks : 0); // only version 2 keeps them
    }
}

TEST(SimFamily3, OldRecordsKeepFifteenBitSpeedsAndNoBattery) {
    const SimRide& r = TestRide();
    Family3Options o;
    o.frontLinear = true; // unknown to the oldest loggers
    for (int version : {0, 32}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> f = WriteFamily3(r, version, o);
        ASSERT_EQ((f.size() - 512) / 16 + 1, RideSamples(r));
        EXPECT_EQ(f[36], 0);
        EXPECT_EQ(U16(f, 34), 50u); // throttle gain: 200 raw counts span 100 %
        for (size_t k = 1; k < RideSamples(r); k += 7) {
            const uint8_t* rec = &f[512 + (k - 1) * 16];
            ASSERT_NEAR(((rec[2] & 0x7F) << 8 | rec[3]) / 100.0, r.frontSpeed[k], 0.0051);
            ASSERT_NEAR(((rec[4] & 0x7F) << 8 | rec[5]) / 100.0, r.rearSpeed[k], 0.0051);
            ASSERT_NEAR((rec[6] - 20) * 50 / 10, r.throttle[k] * 10, 3.01);
            ASSERT_NEAR(rec[9] * 1000 / 285 + 900, r.laf1[k] * 100, 2.5);
            for (int b = 11; b < 16; ++b) ASSERT_EQ(rec[b], 0);
        }
    }
    // Version 32 measures the stroke from a small zero offset.
    std::vector<uint8_t> f = WriteFamily3(r, 32);
    int z = f[39] * 4;
    for (size_t k = 1; k < RideSamples(r); k += 7) {
        int raw = f[512 + (k - 1) * 16 + 7] * 4;
        ASSERT_NEAR(18768 - raw * 18768 / 1024 - z * 25, r.frontStroke[k] * 100, 40);
    }
}

TEST(SimFamily3, VariableRecordsFollowTheMaskRule) {
    const SimRide& r = TestRide();
    size_t n = RideSamples(r);
    Family3Options o;
    o.reservedEvery = 97;
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> f = WriteFamily3(r, version, o);
        EXPECT_EQ(f[15], version);
        EXPECT_EQ(f[512], 0);
        EXPECT_EQ(U16(f, 513), 0xFFFFu);
        size_t pos = 1024, records = 0, reserved = 0;
        uint32_t ne = 0, front = 0;
        while (pos + 2 <= f.size()) {
            uint32_t mask = U16(f, pos);
            size_t k = ++records;
            ASSERT_EQ(mask & 0x8000, 0u);
            if (k == 1) {
                EXPECT_EQ(mask & 0x7FF8, 0x7FF8u) << "the first record is absolute";
            }
            reserved += (mask & 7) == 7;
            // Engine pulses and the front word lead the record; follow their deltas.
            size_t at = pos + 2;
            ne = mask & 0x4000 ? U16(f, at) : (ne + int8_t(f[at])) & 0xFFFF;
            at += mask & 0x4000 ? 2 : 1;
            front = mask & 0x2000 ? U16(f, at) : (front + int8_t(f[at])) & 0xFFFF;
            ASSERT_LT(k, n);
            ASSERT_NEAR(ne / 2.0, r.rpm[k], 0.51) << "record " << k;
            ASSERT_EQ((front >> 15) != 0, r.lapPulse[k] != 0) << "record " << k;
            ASSERT_NEAR((front & 0x7FFF) / 10.0, r.frontSpeed[k], 0.051) << "record " << k;
            pos += MaskRecordLength(mask, version);
        }
        EXPECT_EQ(pos, f.size());
        EXPECT_EQ(records, n - 1);
        EXPECT_EQ(reserved, (n - 1) / 97);
    }
}

TEST(SimFamily3, SetupOptionsReachTheHeader) {
    const SimRide& r = TestRide();
    Family3Options o;
    o.frontLinear = o.rearLinear = true;
    o.inputs[2].type = 3; // AUX1 by table
    for (int k = 0; k < 16; ++k) {
        o.inputs[2].tableIn[k] = static_cast<uint8_t>(k * 17);
        o.inputs[2].tableOut[k] = static_cast<uint16_t>(12000 - 500 * k);
    }
    o.inputs[3] = {2, -250, 1200}; // AUX2 by gain and offset
    std::vector<uint8_t> f = WriteFamily3(r, 2, o);
    EXPECT_EQ(f[36], 1);
    EXPECT_EQ(f[37], 1);
    EXPECT_EQ(U16(f, 43), 2000u);
    EXPECT_EQ(U16(f, 45), 1000u);
    EXPECT_EQ(f[110], 3);
    EXPECT_EQ(f[111], 2);
    EXPECT_EQ(f[208 + 15], 255);
    EXPECT_EQ(U16(f, 224), 12000u);
    EXPECT_EQ(U16(f, 224 + 30), 4500u);
    EXPECT_EQ(U16(f, 256), 0x10000u - 250);
    EXPECT_EQ(U16(f, 272), 1200u);
    for (size_t at = 112; at < 208; ++at) ASSERT_EQ(f[at], 0) << "LAF calibration " << at;
    for (size_t k = 1; k < RideSamples(r); k += 11) {
        const uint8_t* rec = &f[512 + (k - 1) * 16];
        int raw = rec[7] * 4 + (rec[4] >> 6);
        ASSERT_NEAR(20000 - (raw - 1000 + 1023) * 20000 / 1023, r.frontStroke[k] * 100, 11);
        // The sensor voltage is recorded however the input is shown.
        ASSERT_NEAR(rec[11] * 500 / 255, r.aux1[k] * 100, 2.5);
    }
    // The oldest versions know neither linear sensors nor input calculations.
    std::vector<uint8_t> old = WriteFamily3(r, 0, o);
    EXPECT_EQ(old[36] | old[37] | old[110] | old[111] | old[223], 0);
    EXPECT_THROW(WriteFamily3(r, 5), std::invalid_argument);
}

TEST(SimCan, FramesInTimeOrderCarryTheRide) {
    const SimRide& r = TestRide();
    std::vector<uint8_t> f = WriteCanFrames(r);
    ASSERT_EQ(f.size() % 16, 0u);
    // A reader counts one sample per frame: there must be enough frames for the ride.
    EXPECT_GE(f.size() / 16, RideSamples(r));
    std::set<uint32_t> ids;
    uint32_t last = 0;
    for (size_t at = 0; at < f.size(); at += 16) {
        uint32_t stamp = U32(f, at), id = U32(f, at + 4), a = U16(f, at + 8), b = U16(f, at + 10);
        size_t k = stamp / 10;
        ASSERT_GE(stamp, last);
        ASSERT_LT(k, RideSamples(r));
        ASSERT_EQ(f[at + 13] | f[at + 14] | f[at + 15], 0);
        last = stamp;
        ids.insert(id);
        if (id == 517) {
            ASSERT_NEAR(a, r.frontSpeed[k], 0.5);
            ASSERT_NEAR(b, r.rearSpeed[k], 0.5);
        } else if (id == 521) {
            ASSERT_NEAR(a, r.rpm[k], 0.5);
            ASSERT_EQ(f[at + 12], r.gear[k]);
        } else if (id == 574) {
            ASSERT_NEAR(a / 256.0, r.waterTemp[k], 0.01);
        }
    }
    EXPECT_TRUE(ids.count(517) && ids.count(521) && ids.count(533) && ids.count(574));
    EXPECT_LT(*ids.begin(), 517u);  // an identifier without samples below 597
    EXPECT_GT(*ids.rbegin(), 597u); // and one above
}

TEST(SimCourseLayout, FitsTheMapWithSectorMarkers) {
    std::vector<uint8_t> bytes = WriteCourseLayout(TestCourse());
    std::string text(bytes.begin(), bytes.end());
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::istringstream lines(text);
    std::string line;
    std::vector<std::pair<float, float>> points;
    std::vector<size_t> sectors;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.back(), '\r');
        float x = 0, y = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%f,%f", &x, &y), 2) << line;
        if (x >= 1024 || y >= 1024) {
            EXPECT_EQ(line, "1024.0,0.0\r");
            ASSERT_FALSE(points.empty()); // the first line is always a point
            sectors.push_back(points.size());
            continue;
        }
        EXPECT_LE(std::fabs(x), 240);
        EXPECT_LE(std::fabs(y), 240);
        points.emplace_back(x, y);
    }
    EXPECT_EQ(points.size(), 1000u);
    EXPECT_EQ(sectors, (std::vector<size_t>{250, 500, 750}));
    // Evenly spaced along the lap, so a point index is a share of the lap distance.
    auto step = [&](size_t i) {
        auto [x0, y0] = points[i];
        auto [x1, y1] = points[(i + 1) % points.size()];
        return std::hypot(x1 - x0, y1 - y0);
    };
    double expected = step(0);
    for (size_t i = 0; i < points.size(); ++i) ASSERT_NEAR(step(i), expected, expected * 0.3);
}

#ifdef QVTK_SIM_PATH
TEST(SimProgram, RejectsBadArgumentsAndWritesTheDemoSet) {
    namespace fs = std::filesystem;
    std::string sim = QVTK_SIM_PATH;
    auto run = [&](const std::string& args) {
        int status = std::system((sim + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    fs::path dir = fs::temp_directory_path() / ("qvtk_sim_test_" + std::to_string(::getpid()));
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(run("fly --out x"), 1);
    EXPECT_EQ(run("ride --format v5 --out " + (dir / "x.qvd").string()), 1);
    EXPECT_EQ(run("ride --format v2"), 1);
    EXPECT_EQ(run("ride --format v2 --laps -1 --out " + (dir / "x.qvd").string()), 1);
    EXPECT_EQ(run("ride --format v2 --marks-per-lap 4 --out " + (dir / "x.qvd").string()), 1);
    EXPECT_EQ(run("ride --format crs --out /nonexistent-dir/x.crs"), 1);
    EXPECT_EQ(run("ride --format f5 --out " + (dir / "x.qvd").string()), 1);
    EXPECT_FALSE(fs::exists(dir / "x.qvd"));

    ASSERT_EQ(run("demo --out " + dir.string()), 0);
    uintmax_t total = 0;
    for (const char* name :
         {"demo_v0.qvd", "demo_v1.qvd", "demo_v2.qvd", "demo_v3.qvd", "demo_v4.qvd", "demo_v32.qvd",
          "demo_f4.qvd", "demo.hnd", "demo.CAN", "vorela.crs", "gps_p.ini", "Sector.ini"}) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        total += fs::file_size(dir / name);
    }
    EXPECT_LT(total, 9'000'000u);
    EXPECT_EQ((fs::file_size(dir / "demo_v2.qvd") - 512) % 16, 0u);
    fs::remove_all(dir);
}
#endif
