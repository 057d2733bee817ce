// Best laps, sector times, ideal and average times, and the time texts.
#include "analysis/lap_statistics.h"
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

using V = std::vector<int32_t>;

class LapStatisticsTest : public LapFixture {
protected:
    static LapState& St() { return LapStateOf(0); }
    static V Times(int k, int n) { return Row(St().sectorTime[k], n); }
    static void CheckOnly(std::vector<int> laps) {
        std::fill(std::begin(St().lapChecked), std::end(St().lapChecked), false);
        for (int k : laps) St().lapChecked[k] = true;
    }
};

TEST_F(LapStatisticsTest, LaterOfEqualLapsIsBestAndCheckedOutLapCounts) {
    Recording(0, 10000);
    SetMarks(0, {1000, 2500, 4000, 6000}); // laps of 1000, 1500, 1500, 2000, 4000
    ResetLapChecks(0);
    ComputeLapStatistics();
    EXPECT_EQ(V({St().bestLap, St().secondBestLap}), V({2, 1}));
    EXPECT_EQ(LapStateOf(1).bestLap, kNoLap); // no recording
    St().lapChecked[0] = true;
    ComputeLapStatistics();
    EXPECT_EQ(V({St().bestLap, St().secondBestLap}), V({0, 2}));
    SetMarks(0, {1000, 1801, 2903});
    CheckOnly({1, 2});
    EXPECT_EQ(AverageLapTime(0), 951); // (801 + 1102) / 2
    CheckOnly({});
    EXPECT_EQ(AverageLapTime(0), 0);
}

TEST_F(LapStatisticsTest, SectorTimesFromCoursePoints) {
    Recording(0, 4000); // 10 distance units per sample
    SetMarks(0, {1000, 1800, 3000});
    ComputeSegments(0);
    g_courseLayout.pointCount = 100;
    St().sectors.sec[1] = 25;
    St().sectors.sec[2] = 60;
    ResetLapChecks(0); // laps 1 and 2
    ComputeLapStatistics();
    EXPECT_EQ(Times(0, 4), (V{250, 350, 400, kNoTime}));
    EXPECT_EQ(Times(1, 3), (V{200, 280, 320}));
    EXPECT_EQ(Times(2, 3), (V{300, 420, 480}));
    EXPECT_EQ(Times(3, 3), (V{248, 346, 405})); // 9990 long: steps of 99
    EXPECT_EQ(V({St().bestSectorLap[0], St().secondBestSectorLap[0]}), V({1, 2}));
    EXPECT_EQ(IdealTime(0), 800);
    EXPECT_EQ(AverageLapTime(0), 1000);
    CheckOnly({0, 1, 2, 3});
    ComputeLapStatistics();
    EXPECT_EQ(V({St().secondBestSectorLap[0], St().secondBestSectorLap[2]}), V({3, 0}));

    St().sectors.sec[2] = 150; // beyond the course: its end is never reached
    CheckOnly({0});
    ComputeLapStatistics();
    EXPECT_EQ(Times(0, 3), (V{250, kNoTime, 750}));
    EXPECT_EQ(IdealTime(0), 1000);
}

TEST_F(LapStatisticsTest, SectorTimesFromMarksWithTwoAndThreeMarksPerLap) {
    Recording(0, 5000);
    SetMarks(0, {300, 700, 1000, 1500, 1700, 2300});
    SetMarksPerLap(0, 2);
    St().sectors.sec[3] = 700;
    ResetLapChecks(0); // laps 2 and 4
    ComputeLapStatistics();
    EXPECT_EQ(Times(0, 2), (V{300, 400}));
    EXPECT_EQ(Times(2, 3), (V{300, 500, kNoTime}));
    EXPECT_EQ(Times(4, 2), (V{200, 600}));
    EXPECT_EQ(V({St().bestSectorLap[0], St().bestSectorLap[1]}), V({4, 2}));
    EXPECT_EQ(V({St().bestLap, St().secondBestLap}), V({4, 2})); // 800 each
    EXPECT_EQ(IdealTime(0), 700);
    EXPECT_EQ(Row(St().sectors.sec, 4), (V{1, 2, kSectorUnset, kSectorUnset}));
    SetMarks(0, {100, 300, 600, 700, 1000, 1300});
    SetMarksPerLap(0, 3);
    CheckOnly({0, 3});
    ComputeLapStatistics();
    EXPECT_EQ(Times(3, 3), (V{100, 300, 300}));
    EXPECT_EQ(V({St().bestSectorLap[0], St().secondBestSectorLap[0]}), V({3, 0}));
    EXPECT_EQ(IdealTime(0), 600); // 100 + 200 + 300
    EXPECT_EQ(Row(St().sectors.sec, 4), (V{1, 2, 3, kSectorUnset}));
}

TEST_F(LapStatisticsTest, TimeTexts) {
    EXPECT_EQ(FormatLapTime(21064, 0), "01'45.32");
    EXPECT_EQ(FormatLapTime(3, 0), "00'00.01"); // 1.5 hundredths truncated
    EXPECT_EQ(FormatLapTime(1440000, 0), "120'00.00");
    EXPECT_EQ(FormatLapTimePadded(2000, 0) + FormatLapTimePadded(130000, 0), " 0'10.0010'50.00");
    EXPECT_EQ(FormatSectorTime(1234, 0), " 6.17");
    SlotOf(1).sampleRateFactor = 0.5f; // 10 ms samples
    EXPECT_EQ(FormatLapTime(10532, 1), "01'45.32");
    EXPECT_EQ(FormatLapTime(3, 1), "00'00.03");
    EXPECT_EQ(FormatSectorTime(1234, 1), "12.34");
    SlotOf(2).sampleRateFactor = 0.25f;
    EXPECT_EQ(SamplesToHundredths(7, 2), 14);
}

} // namespace
} // namespace qvtk::test
