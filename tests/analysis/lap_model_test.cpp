// Lap segments, the distance since lap start and the lap table's default checks.
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

using V = std::vector<int32_t>;
using U = std::vector<uint32_t>;

class LapModelTest : public LapFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        // The front wheel covers 5, 10, 15, ... 45 in samples 1 .. 9.
        Recording(0, 10, [](int32_t i) { return uint32_t(5 * i); });
    }
    static U Since() { return Row(SlotOf(0).distance.selected, 10); }
    static V Segments() { return Row(SlotOf(0).laps.lapDistance, 5); }
};

TEST_F(LapModelTest, SegmentsRestartOnlyAtLapStartMarks) {
    SetMarks(0, {4, 7});
    ComputeSegments(0);
    EXPECT_EQ(Segments(), (V{0, 50, 90, 85, 0}));
    EXPECT_EQ(Since(), (U{0, 5, 15, 30, 0, 25, 55, 0, 40, 85}));
    SetMarksPerLap(0, 2); // mark 1 only splits the lap
    ComputeSegments(0);
    EXPECT_EQ(Segments(), (V{0, 50, 90, 85, 0}));
    EXPECT_EQ(Since(), (U{0, 5, 15, 30, 50, 75, 105, 0, 40, 85}));
    SetMarks(0, {2, 4, 6});
    SetMarksPerLap(0, 3);
    ComputeSegments(0);
    EXPECT_EQ(Segments(), (V{0, 15, 35, 55, 120}));
    EXPECT_EQ(Since(), (U{0, 5, 15, 30, 50, 75, 0, 35, 75, 120}));
}

TEST_F(LapModelTest, NoMarksIsOneLapOnTheChosenWheel) {
    SetMarks(0, {});
    g_settings.CoursePosSource = 1; // the rear wheel covers twice the front's distance
    ComputeSegments(0);
    EXPECT_EQ(LapDuration(0, 0), 10);
    EXPECT_EQ(Segments(), (V{0, 450, 0, 0, 0}));
    EXPECT_EQ(Since()[9], 450u);
    EXPECT_EQ(LapMark(0, 400), 10); // far past the end entries
    SetMarksPerLap(0, 7);
    EXPECT_EQ(MarksPerLap(0), 3);
    EXPECT_EQ(SlotOf(0).laps.divisor, 3); // the loader's lap divisor is the same value
}

TEST_F(LapModelTest, DefaultChecksLeaveOutTheOutLapAndTheInLap) {
    const bool* c = LapStateOf(0).lapChecked;
    SetMarks(0, {1, 2, 3, 4});
    ResetLapChecks(0);
    EXPECT_EQ(Row(c, 6), (std::vector<bool>{false, true, true, true, false, false}));
    SetMarks(0, {1, 2, 3, 4, 5, 6});
    SetMarksPerLap(0, 2); // laps 0, 2, 4, 6; lap 6 is the in lap
    ResetLapChecks(0);
    EXPECT_TRUE(c[2] && c[4] && !c[0] && !c[6]);
    SetMarks(0, {}); // a single lap stays checked
    ResetLapChecks(0);
    EXPECT_TRUE(c[0] && !c[1]);
}

} // namespace
} // namespace qvtk::test
