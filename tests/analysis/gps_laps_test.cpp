// Control-line crossings, GPS lap marks and the control line of "gps_p.ini".
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

class GpsLapsTest : public LapFixture {
protected:
    static void Fix(int32_t i, int32_t lon, int32_t lat, uint8_t status = 1) {
        GpsTrack& g = SlotOf(0).gps;
        g.lon[i] = lon, g.lat[i] = lat, g.status[i] = status;
    }
    // Seeds the previous fix with sample 200, then tests sample i.
    static int32_t Cross(int32_t lon0, int32_t lat0, int32_t i, int32_t lon1, int32_t lat1) {
        Fix(200, lon0, lat0);
        Fix(i, lon1, lat1);
        FindLineCrossing(0, 200);
        return FindLineCrossing(0, i);
    }
    // A line along the latitude axis at longitude 1000, from latitude 0 to 2000.
    static constexpr ControlLine kLine{0, 1000, 2000, 1000};
};

TEST_F(GpsLapsTest, CrossingIsInterpolatedWithinTheSegment) {
    Recording(0, 60000);
    SlotOf(0).controlLine = kLine;
    EXPECT_EQ(Cross(900, 1000, 300, 1300, 1000), 225); // east, den < 0: a quarter on
    EXPECT_EQ(Cross(1300, 1000, 300, 900, 1000), 275); // west, den > 0
    EXPECT_EQ(Cross(900, 1000, 300, 1000, 1000), 300); // ends on the line
    EXPECT_EQ(Cross(1000, 1000, 300, 1100, 1000), -1); // starts on it, den < 0: t = 0 is out
    EXPECT_EQ(Cross(1000, 1000, 300, 900, 1000), 200); // starts on it, den > 0: t = 0 is in
    EXPECT_EQ(Cross(900, 0, 300, 1100, 0), -1);        // through A, den < 0: u = 0 is out
    EXPECT_EQ(Cross(1100, 0, 300, 900, 0), 250);       // through A, den > 0
    EXPECT_EQ(Cross(1000, 500, 300, 1000, 1500), -1);  // parallel
    EXPECT_EQ(Cross(900, 3000, 300, 1100, 3000), -1);  // beyond B
    EXPECT_EQ(Cross(900, 1000, 300, 900, 1000), -1);   // no movement
    // Coordinates a third of a degree apart: the products need 64 bits.
    SlotOf(0).controlLine = {-1000000, 0, 1000000, 0};
    EXPECT_EQ(Cross(-1000000, 0, 50200, 1000000, 0), 25200);
    SlotOf(0).controlLine = {5, 5, 5, 5}; // A = B never crosses
    EXPECT_EQ(Cross(0, 0, 300, 10, 10), -1);
}

TEST_F(GpsLapsTest, FixesWithoutStatusAndTheFirst201SamplesGiveNoCrossing) {
    Recording(0, 2000);
    SlotOf(0).controlLine = kLine;
    Fix(200, 900, 1000);
    Fix(250, 5000, 5000, 0);
    Fix(300, 1300, 1000, 6);
    Fix(400, 1300, 1000);
    FindLineCrossing(0, 200);
    EXPECT_EQ(FindLineCrossing(0, 250), -1);
    EXPECT_EQ(FindLineCrossing(0, 300), -1);
    EXPECT_EQ(FindLineCrossing(0, 400), 250); // from sample 200's fix
    Fix(199, 900, 1000);
    Fix(200, 1100, 1000);
    FindLineCrossing(0, 199);
    EXPECT_EQ(FindLineCrossing(0, 200), -1);
}

TEST_F(GpsLapsTest, DetectedMarksSkipTheLast6000SamplesAndStopAt509) {
    Recording(0, 20000, [](int32_t) { return 1u; });
    SlotOf(0).controlLine = kLine;
    SetMarks(1, {50}); // File 2 holds no recording
    for (int32_t i = 0; i < 20000; ++i)
        Fix(i, (i >= 150 && i < 5000) || (i >= 9000 && i < 15000) ? 1100 : 900, 1000);
    // Out and back over the line at 13999 and 14000: a crossing exactly 6000 samples before the
    // end is not a mark, one a sample earlier is.
    Fix(14000, 900, 1000);
    DetectGpsLaps();
    const LapMarkTable& t = SlotOf(0).laps;
    EXPECT_EQ(Row(t.marks, 7), (std::vector<int32_t>{0, 4999, 8999, 13999, 20000, 20000, 20000}));
    EXPECT_EQ(t.count, 4);
    EXPECT_EQ(t.lapDistance[2], 4000);
    EXPECT_EQ(SlotOf(0).distance.selected[9000], 1u);
    EXPECT_EQ(SlotOf(1).laps.marks[1], 50);

    Recording(0, 8000);
    for (int32_t i = 0; i < 8000; ++i) Fix(i, i % 2 ? 1100 : 900, 1000);
    DetectGpsLaps();
    EXPECT_EQ(t.count, 510);
    EXPECT_EQ(t.marks[509], 708);
    EXPECT_EQ(t.marks[512], 8000);
}

TEST_F(GpsLapsTest, ControlLineFileInDegrees) {
    EXPECT_EQ(DegreesTextToGpsUnits("34.5"), 207000000);
    EXPECT_EQ(DegreesTextToGpsUnits(" -0.25"), -1500000);
    EXPECT_EQ(DegreesTextToGpsUnits("0.0000001"), 0); // 0.6 truncated
    Recording(0, 10000);
    for (int32_t i = 0; i < 10000; ++i) Fix(i, i < 1000 ? 2999000 : 3001000, 3000000);
    WriteFile("gps_p.ini", "[vorela.crs]\r\nCL_LAT_A=0.25\r\nCL_LON_A=0.5\r\n"
                           "CL_LAT_B=0.75\r\nCL_LON_B=0.5\r\n");
    LoadControlLine();
    for (const Slot& s : g_session.slots)
        EXPECT_TRUE(s.controlLine.latA == 1500000 && s.controlLine.lonB == 3000000 &&
                    s.controlLine.latB == 4500000);
    EXPECT_EQ(SlotOf(0).laps.marks[1], 999);
    WriteFile("gps_p.ini", "[other.crs]\r\nCL_LAT_A=0.25\r\n"); // no section: no line
    LoadControlLine();
    EXPECT_EQ(SlotOf(2).controlLine.latA, 0);
    EXPECT_EQ(SlotOf(0).laps.count, 1);
    EXPECT_EQ(SlotOf(0).laps.marks[1], 10000);
}

} // namespace
} // namespace qvtk::test
