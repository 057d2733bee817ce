// The final simulation: the scale from recorded and simulated sprockets and tyres, the limits,
// the start from the recorded values, and the sprockets and tyres the header cannot give.
#include "analysis/final_simulation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class FinalSimulationTest : public ProgramTest {
protected:
    static void Recorded(int front, int rear, int tyre, const char* path = "a.qvd") {
        Slot& s = MakeRecording(0, 4, {{0, kCodeNe, "Ne"}});
        s.header.sprocketFront = front;
        s.header.sprocketRear = rear;
        s.header.tireRear = tyre;
        s.file.filePath = path;
        s.engineSpeedScale = 1.0f; // as every load leaves it
    }
    static float Scale() { return SlotOf(0).engineSpeedScale; }
};

TEST_F(FinalSimulationTest, TheScaleFollowsSprocketsAndTyre) {
    Recorded(15, 43, 1950);
    OpenFinalSimulation();
    struct Case {
        int front, rear, tyre;
        float scale;
    } cases[] = {
        {15, 43, 1950, 1.0f},
        {16, 43, 1950, 15.0f / 16.0f},
        {15, 45, 1950, 45.0f / 43.0f},
        {15, 43, 5, 1950.0f / 10.0f},      // the tyre is kept at 10 mm at least
        {15, 43, 4000, 1950.0f / 3000.0f}, // and 3000 mm at most
    };
    for (const Case& c : cases) {
        ChooseSimulatedFront(c.front - kSimFrontFirst);
        ChooseSimulatedRear(c.rear - kSimRearFirst);
        SetSimulatedTyre(c.tyre);
        EXPECT_NEAR(Scale(), c.scale, 1e-5) << c.front << "/" << c.rear << " " << c.tyre;
    }
    EXPECT_EQ(g_finalSimulation.tyre, 3000);
    EXPECT_EQ(RecordedRatioText(), "2.867");
    EXPECT_EQ(SimulatedRatioText(), "2.867");
    ResetSimulatedValues();
    EXPECT_EQ(Scale(), 1.0f);
    EXPECT_EQ(g_finalSimulation.tyre, 1950);
}

TEST_F(FinalSimulationTest, TheFirstOpeningAndAReloadStartFromTheRecordedValues) {
    Recorded(16, 41, 2000);
    OpenFinalSimulation();
    ChooseSimulatedRear(44 - kSimRearFirst); // before any "Reset": a finite scale
    EXPECT_NEAR(Scale(), 44.0f / 41.0f, 1e-5);
    OpenFinalSimulation(); // File 1 unchanged: the choice stays
    EXPECT_EQ(g_finalSimulation.rear, 44);
    Recorded(16, 41, 2000); // reloaded: unsimulated again
    OpenFinalSimulation();
    EXPECT_EQ(g_finalSimulation.rear, 41);
    EXPECT_EQ(g_finalSimulation.tyre, 2000);
    EXPECT_EQ(Scale(), 1.0f);
}

TEST_F(FinalSimulationTest, HeadersWithoutSprocketsOrTyreLeaveThoseOut) {
    Recorded(8, 43, 1950); // fewer than 10 teeth: no sprockets recorded
    OpenFinalSimulation();
    ChooseSimulatedFront(2);
    EXPECT_EQ(g_finalSimulation.front, 1);
    EXPECT_EQ(Scale(), 1.0f);
    Recorded(15, 43, 1, "import.csv"); // a CSV import's 1 mm tyre
    OpenFinalSimulation();
    EXPECT_FALSE(TyreSimulated());
    SetSimulatedTyre(1950);
    ChooseSimulatedFront(16 - kSimFrontFirst);
    EXPECT_NEAR(Scale(), 15.0f / 16.0f, 1e-6);
    EXPECT_TRUE(std::isfinite(Scale()));
}

TEST_F(FinalSimulationTest, TheArrowsWrapAroundTheListsRanges) {
    Recorded(22, 70, 1950);
    OpenFinalSimulation();
    StepRecordedFront(+1);
    StepRecordedRear(+1);
    EXPECT_EQ(g_finalSimulation.recordedFront, kSimFrontFirst);
    EXPECT_EQ(g_finalSimulation.recordedRear, kSimRearFirst);
    StepRecordedFront(-1);
    StepRecordedRear(-1);
    EXPECT_EQ(g_finalSimulation.recordedFront, kSimFrontLast);
    EXPECT_EQ(g_finalSimulation.recordedRear, kSimRearLast);
}

} // namespace
} // namespace qvtk::test
