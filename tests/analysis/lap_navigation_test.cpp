// Stepping the synchronised files from lap to lap, and zooming onto one lap.
#include "analysis/lap_navigation.h"
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

class LapNavigationTest : public LapFixture {
protected:
    // Laps of 500, 1000, 1000 and 990 distance units starting at samples 0, 100, 200, 300.
    static void Laps(FileSlot slot) {
        Recording(slot, 400, [](int32_t i) { return i <= 100 ? 5u : 10u; });
        SetMarks(slot, {100, 200, 300});
        ComputeSegments(slot);
    }
    static LapNavigation At(int32_t lap, int32_t sample) {
        LapNavigation v;
        for (FileSlot slot = 0; slot < kSlotCount; ++slot)
            v.selectedLap[slot] = lap, v.displayPosition[slot] = sample * 100, v.cursor[slot] = -7;
        return v;
    }
};

TEST_F(LapNavigationTest, StepKeepsTheShareOfTheLap) {
    Laps(0);
    const LapNavigation v = At(2, 150); // half of lap 2
    EXPECT_EQ(StepToLap(v, -1).cursor[0], 250);
    EXPECT_EQ(StepToLap(v, 1).cursor[0], 50); // half of the 500 long lap
    EXPECT_EQ(StepToLap(v, 5).cursor[0], 50);
    EXPECT_EQ(StepToLap(v, -5).cursor[0], 400); // past the last lap: the end
    EXPECT_TRUE(StepToLap(v, -1).redraw);
    EXPECT_EQ(StepToLap(v, -1).cursor[1], -7); // File 2 holds no recording
}

TEST_F(LapNavigationTest, StepStopsPastTheLapEndAndSkipsUnsyncedFiles) {
    Laps(0);
    Laps(1);
    LapNavigation v = At(1, 160); // 600 into a lap of 500
    v.selectedLap[1] = 2;
    EXPECT_EQ(StepToLap(v, -1).cursor[1], -7); // the later files are left too
    v.sync[0] = false;
    EXPECT_EQ(StepToLap(v, -1).cursor[1], 260);
    v.sync[0] = true;
    v.selectedLap[0] = 0; // no lap: no length, skipped
    EXPECT_EQ(StepToLap(v, -1).cursor[0], -7);
    EXPECT_EQ(StepToLap(v, -1).cursor[1], 260);
}

TEST_F(LapNavigationTest, WholeLapFillsTheGraphs) {
    Recording(0, 10000);
    SetMarks(0, {1000, 3000, 6000});
    LapNavigation v;
    v.firstListedLap[0] = 1;
    v.displayPosition[0] = 55;
    LapNavigation w = ShowWholeLap(v, 0, 1); // 3000 .. 6000 over 1024 - 10 - 105 pixels
    EXPECT_FLOAT_EQ(w.samplesPerPixel, 3000.0f / 909.0f);
    EXPECT_EQ(w.cursor[0], 4500 - 173);
    EXPECT_EQ(w.displayPosition[0], 55);
    EXPECT_TRUE(w.redraw);
    v.ctrlHeld = true;
    w = ShowWholeLap(v, 0, 2); // the in lap 6000 .. 10000
    EXPECT_EQ(w.cursor[0], 8000 - 231);
    EXPECT_EQ(w.displayPosition[0], 776900);
    v.firstListedLap[0] = 20; // past the marks: an empty lap at the end
    w = ShowWholeLap(v, 0, 0);
    EXPECT_FLOAT_EQ(w.samplesPerPixel, 0.001f);
    EXPECT_EQ(w.cursor[0], 10000);
    EXPECT_EQ(w.displayPosition[0], 999999);
    // Two marks per lap: a row of the list is a whole lap, 3000 .. the end at 10000.
    SetMarksPerLap(0, 2);
    v.firstListedLap[0] = 0;
    v.ctrlHeld = false;
    w = ShowWholeLap(v, 0, 1);
    EXPECT_FLOAT_EQ(w.samplesPerPixel, 7000.0f / 909.0f);
}

} // namespace
} // namespace qvtk::test
