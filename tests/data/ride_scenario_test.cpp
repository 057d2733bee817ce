// Whole rides from the simulator through every family-3 version and the CAN frame file: the
// loaded samples must match the ride that was simulated, within what each format can hold.
#include <cmath>

#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "tests/test_support.h"
#include "tools/sim/can_writer.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace qvtk::test {
namespace {

const sim::SimRide& Ride() {
    static const sim::SimRide ride = [] {
        sim::RideOptions options;
        options.seed = 11;
        options.laps = 2;
        return sim::SimulateRide(sim::MakeCourse(options.seed), options);
    }();
    return ride;
}

// Lap marks the loader should take: pulses more than 600 samples apart, none in the last 50.
std::vector<int32_t> ExpectedMarks(const sim::SimRide& ride) {
    std::vector<int32_t> marks;
    int32_t previous = 0;
    for (uint32_t start : ride.lapPulseStarts)
        if (int32_t(start) - previous > 600) marks.push_back(previous = int32_t(start));
    if (!marks.empty() && int32_t(sim::RideSamples(ride)) - marks.back() < 50) marks.pop_back();
    return marks;
}

double Value(FileSlot slot, int column, int32_t i) {
    return SampleAt(slot, column, i) / 1000.0;
}

// The largest difference between a loaded column and the truth over the ride.
double WorstError(FileSlot slot, int column, const std::vector<float>& truth) {
    double worst = 0;
    for (int32_t i = 1; i < SlotOf(slot).sampleCount; ++i)
        worst = std::max(worst, std::fabs(Value(slot, column, i) - truth[size_t(i)]));
    return worst;
}

class RideScenarioTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(RideScenarioTest, EveryVersionLoadsTheRideItRecorded) {
    const int version = GetParam();
    const bool old = version == 0 || version == 32;
    const sim::SimRide& ride = Ride();
    g_settings.SmoothingSTD = 0; // compare the strokes as recorded
    Load(0, "ride.qvd", sim::WriteFamily3(ride, version));
    ASSERT_TRUE(Loaded(0));
    const Slot& s = SlotOf(0);
    EXPECT_EQ(s.file.logVersion, version);
    EXPECT_EQ(size_t(s.sampleCount), sim::RideSamples(ride));

    EXPECT_LE(WorstError(0, 0, ride.rpm), 1.0);                       // whole rpm
    EXPECT_LE(WorstError(0, 2, ride.frontSpeed), old ? 0.011 : 0.11); // one raw step
    EXPECT_LE(WorstError(0, 3, ride.rearSpeed), old ? 0.011 : 0.11);
    EXPECT_LE(WorstError(0, 1, ride.throttle), old ? 1.1 : 0.6);
    EXPECT_LE(WorstError(0, 4, ride.frontStroke), old ? 0.8 : 0.25);
    EXPECT_LE(WorstError(0, 5, ride.rearStroke), old ? 0.6 : 0.2);
    EXPECT_LE(WorstError(0, 6, ride.laf1), 0.05);
    if (!old) {
        EXPECT_LE(WorstError(0, 8, ride.vb), 0.08);
    }

    const std::vector<int32_t> marks = ExpectedMarks(ride);
    ASSERT_EQ(s.laps.count, int32_t(marks.size()) + 1);
    for (size_t k = 0; k < marks.size(); ++k) EXPECT_EQ(s.laps.marks[k + 1], marks[k]) << k;
    EXPECT_EQ(s.laps.marks[s.laps.count], s.sampleCount);

    // Each flying lap covers the course once, by the front wheel, in every version.
    const double lap = ride.courseLength;
    for (int k = 2; k < s.laps.count; ++k)
        EXPECT_NEAR(s.laps.lapDistance[k] / 7200.0, lap, lap * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Versions, RideScenarioTest, ::testing::Values(0, 1, 2, 3, 4, 32));

TEST_F(ProgramTest, FlyingLapsOfTheRideAreTimedAndTheFastestIsBest) {
    const sim::SimRide& ride = Ride();
    Load(0, "ride.qvd", sim::WriteFamily3(ride, 3));
    ComputeSegments(0);
    ResetLapChecks(0);
    ComputeLapStatistics();
    const std::vector<int32_t> marks = ExpectedMarks(ride);
    ASSERT_EQ(marks.size(), 3u); // out-lap, two flying laps, in-lap
    const int32_t first = marks[1] - marks[0], second = marks[2] - marks[1];
    EXPECT_EQ(LapStateOf(0).bestLap, first < second ? 1 : 2);
    EXPECT_EQ(LapStateOf(0).secondBestLap, first < second ? 2 : 1);
    EXPECT_EQ(AverageLapTime(0), (first + second) / 2);
}

TEST_F(ProgramTest, FileTwoOfAnotherVersionLinesUpWithFileOne) {
    const sim::SimRide& ride = Ride();
    Load(0, "one.qvd", sim::WriteFamily3(ride, 2));
    Load(1, "two.qvd", sim::WriteFamily3(ride, 4));
    ASSERT_TRUE(Loaded(1));
    for (int c = 0; c < 14; ++c) {
        EXPECT_STREQ(SlotOf(1).channels[c].name, SlotOf(0).channels[c].name);
        EXPECT_EQ(IsPresent(SlotOf(1), c), IsPresent(SlotOf(0), c));
    }
    // Same ride, so File 2's engine speed matches File 1's sample for sample.
    for (int32_t i = 1; i < SlotOf(0).sampleCount; i += 997)
        EXPECT_EQ(SampleAt(1, 0, i), SampleAt(0, 0, i));
}

TEST_F(ProgramTest, CanFramesOfTheRideFillFileOne) {
    const sim::SimRide& ride = Ride();
    // Asked for File 3, a CAN file still fills File 1.
    EXPECT_EQ(Load(2, "ride.CAN", sim::WriteCanFrames(ride)), 0);
    ASSERT_TRUE(Loaded(0));
    EXPECT_FALSE(Loaded(2));
    const Slot& s = SlotOf(0);
    // Engine speed (identifier 521) arrives in column 0 wherever a frame sets it.
    int compared = 0;
    for (int32_t i = 1; i < s.sampleCount && size_t(i) < sim::RideSamples(ride); ++i) {
        if (SampleAt(0, 0, i) == 0) continue;
        EXPECT_NEAR(Value(0, 0, i), ride.rpm[size_t(i)], 60.0) << i;
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}

} // namespace
} // namespace qvtk::test
