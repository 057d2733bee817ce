// The ride simulator: determinism, the physics of the ride, and its files opened by the
// program's own readers: what they load must be the ride and the options it was written with.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "tests/test_support.h"
#include "tools/sim/can_writer.h"
#include "tools/sim/course_ini.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/gps_track.h"
#include "tools/sim/hnd_writer.h"

namespace qvtk::test {
namespace {

using namespace sim;

constexpr uint32_t kSeed = 6;
constexpr int kLaps = 2;

const SimRide& TestRide() {
    return SimulatedRide(kSeed, kLaps);
}

// Engine revolutions per rear wheel revolution with the default teeth, worked out here
// rather than taken from the simulator.
double DefaultRatio(int gear) {
    const double box[6] = {33.0 / 12, 32.0 / 16, 30.0 / 18, 26.0 / 18, 30.0 / 23, 29.0 / 24};
    return 76.0 / 36 * box[gear - 1] * 41.0 / 16;
}

TEST(SimDeterminism, SameSeedGivesSameBytesAndAnotherSeedOthers) {
    RideOptions o;
    o.seed = kSeed;
    o.laps = kLaps;
    const SimRide again = SimulateRide(MakeCourse(kSeed), o);
    auto files = [](const SimRide& r) {
        return std::vector{WriteFamily3(r, 3), WriteFamily4(r), WriteHnd(r), WriteCanFrames(r)};
    };
    EXPECT_EQ(files(TestRide()), files(again));
    EXPECT_EQ(WriteCourseLayout(MakeCourse(kSeed)), WriteCourseLayout(MakeCourse(kSeed)));
    o.seed = kSeed + 1;
    const std::vector<std::vector<uint8_t>> other = files(SimulateRide(MakeCourse(kSeed + 1), o));
    for (size_t k = 0; k < other.size(); ++k) EXPECT_NE(files(TestRide())[k], other[k]) << k;
}

TEST(SimCourse, ClosedTracksOfPlausibleLength) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        const SimCourse c = MakeCourse(seed);
        SCOPED_TRACE(seed);
        EXPECT_GE(c.length, 2500);
        EXPECT_LE(c.length, 5000);
        const size_t n = c.x.size();
        ASSERT_EQ(n, c.curvature.size());
        // The loop closes with an ordinary step, and a simple loop turns once round.
        EXPECT_NEAR(std::hypot(c.x[0] - c.x[n - 1], c.y[0] - c.y[n - 1]), c.spacing, 0.05);
        double turned = 0;
        for (double k : c.curvature) turned += k * c.spacing;
        EXPECT_NEAR(std::fabs(turned), 2 * M_PI, 0.1);
        EXPECT_TRUE(c.pitLaneOut < c.pitLaneIn && c.pitLaneIn < c.pitBox && c.pitBox < c.length);
    }
}

TEST(SimRide, SpeedsAccelerationsAndSensorsArePhysical) {
    const SimRide& r = TestRide();
    const size_t n = RideSamples(r);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_TRUE(r.frontSpeed[i] >= 0 && r.rearSpeed[i] < 330) << i;
        ASSERT_TRUE(r.throttle[i] >= 0 && r.throttle[i] <= 100) << i;
        ASSERT_TRUE(r.frontStroke[i] >= 0 && r.frontStroke[i] < 187.68 && r.rearStroke[i] < 125);
        ASSERT_TRUE(r.laf1[i] > 10 && r.laf2[i] < 17.5 && std::fabs(r.vb[i] - 13.5) < 0.6) << i;
    }
    EXPECT_GT(*std::max_element(r.rearSpeed.begin(), r.rearSpeed.end()), 150);
    // From standstill in the pit box back to standstill, in neutral.
    EXPECT_EQ(std::tuple(r.frontSpeed.front(), r.frontSpeed.back(), r.gear.front(), r.gear.back()),
              std::tuple(0.0f, 0.0f, 0, 0));
    // Over half a second the front wheel shows the bike's acceleration and braking.
    double maxAccel = 0, maxBrake = 0;
    for (size_t i = 100; i < n; i += 10) {
        const double g = (r.frontSpeed[i] - r.frontSpeed[i - 100]) / 3.6 / 0.5 / 9.81;
        maxAccel = std::max(maxAccel, g);
        maxBrake = std::max(maxBrake, -g);
    }
    EXPECT_TRUE(maxAccel > 0.5 && maxAccel < 1.05) << maxAccel;
    EXPECT_TRUE(maxBrake > 1.0 && maxBrake < 1.35) << maxBrake;
}

TEST(SimRide, EngineSpeedFollowsGearAndRearWheel) {
    const SimRide& r = TestRide();
    std::set<int> used;
    for (size_t i = 0; i < RideSamples(r); ++i) {
        if (r.gear[i] == 0 || r.rearSpeed[i] < 60) continue;
        used.insert(r.gear[i]);
        const double expected = r.rearSpeed[i] / 3.6 / 2.0 * 60 * DefaultRatio(r.gear[i]);
        ASSERT_NEAR(r.rpm[i], expected, expected * 0.01) << "sample " << i;
    }
    EXPECT_EQ(used.size(), 6u);
    const float highest = *std::max_element(r.rpm.begin(), r.rpm.end());
    EXPECT_TRUE(highest > 12000 && highest < 14000) << highest;
}

TEST(SimRide, LapPulsesAtTheBeaconsAndSlowerOutAndInLaps) {
    const SimRide& r = TestRide();
    const auto& p = r.lapPulseStarts;
    ASSERT_EQ(p.size(), size_t{kLaps + 1});
    for (size_t k = 0; k < p.size(); ++k) {
        const float d = r.distance[p[k]];
        EXPECT_TRUE(d < 5 || d > r.courseLength - 5) << "pulse " << k << " at " << d;
    }
    const uint32_t lap1 = p[1] - p[0], lap2 = p[2] - p[1];
    EXPECT_NEAR(double(lap1), double(lap2), lap1 * 0.05);
    EXPECT_GT(p[0], lap1 * 1.05);                      // the out-lap from the pit box
    EXPECT_GT(RideSamples(r) - p.back(), lap1 * 1.05); // and the in-lap
    // Three beacons: out-lap, one flying lap and the in-lap up to the pit lane pass every
    // beacon but the line on the way in.
    const SimRide& three = SimulatedRide(kSeed, 1, 3);
    ASSERT_EQ(three.lapPulseStarts.size(), 3u * 2 + 2);
    for (size_t k = 0; k < three.lapPulseStarts.size(); ++k) {
        const double share = three.distance[three.lapPulseStarts[k]] / three.courseLength;
        EXPECT_NEAR(std::fmod(share - ((k + 1) % 3) / 3.0 + 1.5, 1.0), 0.5, 0.002) << k;
    }
}

TEST(SimRide, FixedDurationAndAFasterRider) {
    RideOptions o;
    o.seed = kSeed;
    o.minutes = 2.5;
    EXPECT_EQ(RideSamples(SimulateRide(MakeCourse(kSeed), o)), 30000u); // cut short mid-ride
    o.minutes = 15;
    const SimRide longer = SimulateRide(MakeCourse(kSeed), o);
    ASSERT_EQ(RideSamples(longer), 180000u);
    // Back in the pit box before the time is up, and another lap would not have fitted.
    size_t lastMoving = 0;
    for (size_t i = 0; i < RideSamples(longer); ++i)
        if (longer.frontSpeed[i] > 0) lastMoving = i;
    const auto& p = longer.lapPulseStarts;
    ASSERT_GE(p.size(), 3u);
    EXPECT_LT(lastMoving, RideSamples(longer) - 1);
    EXPECT_GT(lastMoving + p[2] - p[1] + 2000, 180000u);
    // A faster rider on the same course is quicker on every flying lap.
    o.minutes = 0;
    o.laps = kLaps;
    o.pace = 1.05;
    const SimRide fast = SimulateRide(MakeCourse(kSeed), o);
    for (size_t k = 1; k <= kLaps; ++k)
        EXPECT_LT(fast.lapPulseStarts[k] - fast.lapPulseStarts[k - 1],
                  TestRide().lapPulseStarts[k] - TestRide().lapPulseStarts[k - 1])
            << k;
}

// The files opened by the program's readers, in a program directory of their own.
class SimFiles : public TempProgramDirectory {};

TEST_F(SimFiles, Family3HeaderAndOptionsLoadAsWritten) {
    const SimRide& r = TestRide();
    Family3Options o;
    o.frontLinear = o.rearLinear = true;
    g_settings.SmoothingSTD = 0; // the strokes as recorded
    Load(0, "ride.qvd", WriteFamily3(r, 2, o));
    const Slot& s = SlotOf(0);
    const LogHeader& h = s.header;
    EXPECT_EQ(std::tuple(h.tireFront, h.tireRear, h.sprocketFront, h.sprocketRear, h.neDivisor,
                         h.susTypeFront, h.susTypeRear, std::string(h.memo)),
              std::tuple(1940, 2000, 16, 41, 2, 1, 1,
                         "QVTK simulated ride seed " + std::to_string(kSeed)));
    // Linear sensors give the ride's strokes; version 2 keeps the mark button's samples.
    for (size_t i = 1; i < RideSamples(r); i += 7) {
        ASSERT_NEAR(SampleAt(0, 4, int32_t(i)) / 1000.0, r.frontStroke[i], 0.25) << i;
        ASSERT_EQ(s.sampleMarks[i], r.sampleMark[i]) << i;
    }
    // The oldest versions know no linear sensors: the writer keeps the standard ones there.
    Load(0, "old.qvd", WriteFamily3(r, 0, o));
    EXPECT_EQ(std::tuple(h.susTypeFront, h.susTypeRear), std::tuple(0, 0));
    EXPECT_THROW(WriteFamily3(r, 5), std::invalid_argument);
}

TEST_F(SimFiles, Family4GpsTrackFailCodeAndCourseLoadAsWritten) {
    const SimRide& r = SimulatedRide(5, 1);
    WriteFile("status.ini", "[ECUSTAT]\r\nwarning=1\r\nD7=Throttle sensor\r\n");
    WriteFile("gps_p.ini", WriteGpsLineIni("vorela", StartFinishLine(GeoOrigin{}, MakeCourse(5))));
    for (GeoOrigin origin : {GeoOrigin{}, GeoOrigin{-31.9, 115.9}}) {
        Family4Options o;
        o.gps.origin = origin;
        o.ecuFailCode = 7;
        ClearRecordedMessages();
        Load(0, "ride.qvd", WriteFamily4(r, o));
        const Slot& s = SlotOf(0);
        // Fixes at 10 Hz, south and west negative, a short loss of fix mid-ride.
        int fixes = 0, lost = 0;
        for (int32_t i = 1; i < s.sampleCount; ++i) {
            if (i % 20 != 0) {
                ASSERT_EQ(s.gps.status[i], 0) << i;
                continue;
            }
            ++fixes;
            lost += s.gps.status[i] == 0;
            ASSERT_NEAR(s.gps.lat[i] / 6e6, origin.latDeg, 0.05) << i;
            ASSERT_NEAR(s.gps.lon[i] / 6e6, origin.lonDeg, 0.05) << i;
        }
        EXPECT_EQ(std::tuple(fixes, lost), std::tuple((s.sampleCount - 1) / 20, 12));
        // The fail code the ECU reported, with the text "status.ini" gives it.
        const int column = FindColumnByCode(0, kCodeStatusFirst);
        EXPECT_TRUE(SawMessage("Warning!", "CH" + std::to_string(column) +
                                               " Fail code was found. Fail code\n\n  no.7 - "
                                               "Throttle sensor"));
        // The header's line is the one "gps_p.ini" lists for the course: it is known there.
        EXPECT_EQ(g_session.courseKnown, origin.latDeg == GeoOrigin{}.latDeg);
    }
}

TEST_F(SimFiles, HndHeaderAndOptionsLoadAsWritten) {
    const SimRide& r = TestRide();
    Load(0, "ride.hnd", WriteHnd(r));
    const LogHeader& h = SlotOf(0).header;
    EXPECT_EQ(std::tuple(h.tireFront, h.tireRear, h.throttleClosed, h.throttleOpen, h.susZeroFront,
                         h.susZeroRear, g_session.firmware),
              std::tuple(1940, 2000, 400, 3600, 1000, 1010, "SIMHND"));
    EXPECT_EQ(SlotOf(0).laps.count, int32_t(r.lapPulseStarts.size()) + 1);
    HndOptions o;
    o.lapMarkers = false;
    o.vbPeriod = 0;
    Load(0, "ride.hnd", WriteHnd(r, o));
    EXPECT_EQ(SlotOf(0).laps.count, 1);
    EXPECT_EQ(SlotOf(0).range.max[8], 0); // no battery voltage recorded
}

TEST_F(SimFiles, CourseFilesLoadAsTheCourseIs) {
    const SimCourse& course = MakeCourse(kSeed);
    WriteFile("vorela.crs", WriteCourseLayout(course));
    WriteFile("Sector.ini", WriteSectorIni("vorela", SectorStartPoints()));
    ASSERT_TRUE(LoadCourseLayout());
    const CourseLayout& c = g_courseLayout;
    ASSERT_EQ(c.pointCount, 1000);
    EXPECT_EQ(std::vector<int32_t>(LapStateOf(0).sectors.sec, LapStateOf(0).sectors.sec + 5),
              (std::vector<int32_t>{0, 250, 500, 750, kSectorUnset}));
    // Within the map and evenly spaced, so a point index is a share of the lap distance.
    const float step = c.pathLength[1];
    for (int i = 0; i < c.pointCount; ++i) {
        ASSERT_TRUE(std::fabs(c.pointX[i]) <= 240 && std::fabs(c.pointY[i]) <= 240) << i;
        ASSERT_NEAR(c.pathLength[i + 1] - c.pathLength[i], step, step * 0.3) << i;
    }
    // The control line reads back to the points the recordings carry, anywhere on earth.
    for (GeoOrigin origin : {GeoOrigin{}, GeoOrigin{-33.87, 151.2}, GeoOrigin{47.1, 8.3}}) {
        const GpsLine line = StartFinishLine(origin, course);
        WriteFile("gps_p.ini", WriteGpsLineIni("vorela", line));
        const ControlLine read = ReadControlLine("vorela.crs");
        EXPECT_EQ(std::tuple(read.latA, read.lonA, read.latB, read.lonB),
                  std::tuple(line.a.lat, line.a.lon, line.b.lat, line.b.lon));
    }
}

int RunSim(const std::string& args) {
    const int status =
        std::system((std::string(QVTK_SIM_PATH) + " " + args + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SimFiles, ProgramRejectsBadArgumentsAndWritesTwoRidesForTheDemo) {
    const std::string out = " --out " + dir_ + "/x.qvd";
    for (const char* bad :
         {"", "fly --out x", "ride --format v5", "ride --format v2 --laps -1",
          "ride --format v2 --marks-per-lap 4", "ride --format v2 --pace 2", "ride --format f5"})
        EXPECT_EQ(RunSim(std::string(bad) + out), 1) << bad;
    EXPECT_EQ(RunSim("ride --format v2"), 1); // no --out
    EXPECT_EQ(RunSim("ride --format crs --out /nonexistent-dir/x.crs"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/x.qvd"));

    ASSERT_EQ(RunSim("demo --out " + dir_), 0);
    for (const char* name : {"demo_v0.qvd", "demo_v1.qvd", "demo_v3.qvd", "demo_v4.qvd",
                             "demo_v32.qvd", "demo_f4.qvd", "demo.hnd", "demo.CAN", "QVTK2.ini"})
        EXPECT_TRUE(std::filesystem::exists(dir_ + "/" + name)) << name;
    // `make run` opens a rider and a faster rival on the same course: two lap lists with
    // different times, two curves that part.
    FileSlot slot = 0;
    ASSERT_TRUE(LoadFileIntoSlot(slot, dir_ + "/demo_v2.qvd"));
    slot = 1;
    ASSERT_TRUE(LoadFileIntoSlot(slot, dir_ + "/demo_rival.qvd"));
    ASSERT_EQ(SlotOf(0).laps.count, SlotOf(1).laps.count);
    ASSERT_GE(SlotOf(0).laps.count, 4); // out-lap, flying laps, in-lap
    for (int k = 1; k + 1 < SlotOf(0).laps.count; ++k) {
        EXPECT_LT(LapDuration(1, k), LapDuration(0, k)) << k;
        EXPECT_NEAR(SlotOf(1).laps.lapDistance[k + 1], SlotOf(0).laps.lapDistance[k + 1],
                    SlotOf(0).laps.lapDistance[k + 1] * 0.01);
    }
    int differ = 0;
    for (int32_t i = 1; i < 30000; ++i) differ += SampleAt(0, 0, i) != SampleAt(1, 0, i);
    EXPECT_GT(differ, 20000);
}

} // namespace
} // namespace qvtk::test
