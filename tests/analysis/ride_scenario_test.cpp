// Simulated rides in every format, opened as the program opens a file: the samples, the laps
// and their lengths, the summary panel and the gear thresholds must be the ride that was
// recorded, within what each format can hold.
#include <cmath>
#include <functional>

#include "analysis/course_layout.h"
#include "analysis/file_summary.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
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

using Bytes = std::vector<uint8_t>;

struct Format {
    const char* name;
    const char* file;
    std::function<Bytes(const sim::SimRide&)> write;
    FileKind kind;
    double ne, speed, tps; // the resolution of each, as the format stores it
    int lag;               // samples a reading may trail the ride (recording rates)
    bool gpsLaps = false;
    double aux = 0;     // the AUX1 sender's voltage, where the format records it
    double auxMean = 0; // and how far off it is on the whole
};

std::ostream& operator<<(std::ostream& os, const Format& f) {
    return os << f.name;
}

Bytes Family4(const sim::SimRide& ride, bool gpsLaps) {
    sim::Family4Options options;
    options.gpsLaps = gpsLaps;
    return sim::WriteFamily4(ride, options);
}

const Format kFormats[] = {
    {"v0", "ride.qvd", [](auto& r) { return sim::WriteFamily3(r, 0); }, kFileFamily3, 1, 0.011, 1.1,
     0},
    {"v1", "ride.qvd", [](auto& r) { return sim::WriteFamily3(r, 1); }, kFileFamily3, 1, 0.11, 0.6,
     0, false, 0.025, -0.005},
    {"v2", "ride.QVL", [](auto& r) { return sim::WriteFamily3(r, 2); }, kFileFamily3, 1, 0.11, 0.6,
     0, false, 0.025, -0.005},
    {"v3", "ride.qvd", [](auto& r) { return sim::WriteFamily3(r, 3); }, kFileFamily3, 1, 0.11, 0.6,
     0, false, 0.025, -0.005},
    {"v4", "ride.qvd", [](auto& r) { return sim::WriteFamily3(r, 4); }, kFileFamily3, 1, 0.11, 0.6,
     0, false, 0.025, 0},
    {"v32", "ride.qvd", [](auto& r) { return sim::WriteFamily3(r, 32); }, kFileFamily3, 1, 0.011,
     1.1, 0},
    {"f4", "ride.qvd", [](auto& r) { return Family4(r, false); }, kFileFamily4, 9, 0.06, 0.2, 2},
    {"f4gps", "ride.qvd", [](auto& r) { return Family4(r, true); }, kFileFamily4, 9, 0.06, 0.2, 2,
     true},
    {"hnd", "ride.hnd", [](auto& r) { return sim::WriteHnd(r); }, kFileHnd, 20, 1, 0.2, 2},
};

// Lap marks the loader should take: pulses more than 600 samples apart, none in the last 50.
std::vector<int32_t> ExpectedMarks(const sim::SimRide& ride, int32_t count, bool hnd) {
    std::vector<int32_t> marks;
    int32_t previous = 0;
    for (uint32_t start : ride.lapPulseStarts)
        if (int32_t(start) - previous > 600 && int32_t(start) < count)
            marks.push_back(previous = int32_t(start));
    // hnd files carry their marks as they are; the others drop one at the very end.
    if (!hnd && !marks.empty() && count - marks.back() < 50) marks.pop_back();
    return marks;
}

// The largest difference between a loaded channel and the ride, each sample compared with the
// nearest of the ride's values over the last `lag` samples (and only once the first reading
// can have arrived).
double WorstError(FileSlot slot, ChannelCode code, const std::vector<float>& truth, int lag) {
    const int column = FindColumnByCode(slot, code);
    EXPECT_GE(column, 0) << code;
    double worst = 0;
    for (int32_t i = 1 + lag; i < SlotOf(slot).sampleCount; ++i) {
        double nearest = 1e9;
        for (int32_t j = std::max(0, i - lag); j <= i; ++j)
            nearest =
                std::min(nearest, std::fabs(SampleAt(slot, column, i) / 1000.0 - truth[size_t(j)]));
        worst = std::max(worst, nearest);
    }
    return worst;
}

// The mean difference between a loaded channel and the ride.
double MeanError(FileSlot slot, ChannelCode code, const std::vector<float>& truth) {
    const int column = FindColumnByCode(slot, code);
    double sum = 0;
    for (int32_t i = 1; i < SlotOf(slot).sampleCount; ++i)
        sum += SampleAt(slot, column, i) / 1000.0 - truth[size_t(i)];
    return sum / SlotOf(slot).sampleCount;
}

class RideScenario : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        const sim::SimCourse course = sim::MakeCourse(kSeed);
        WriteFile("vorela.crs", sim::WriteCourseLayout(course));
        WriteFile("gps_p.ini",
                  sim::WriteGpsLineIni("vorela", sim::StartFinishLine(sim::GeoOrigin{}, course)));
        WriteFile("Sector.ini", sim::WriteSectorIni("vorela", sim::SectorStartPoints()));
        // Compare the samples as recorded: no moving average (its window is wider than a ride).
        g_settings.SmoothingSTD = 0;
        g_settings.SmoothingSample = 10000000;
    }
    static constexpr uint32_t kSeed = 11;
};

class EveryFormat : public RideScenario, public ::testing::WithParamInterface<Format> {};

TEST_P(EveryFormat, OpensTheRideItRecorded) {
    const Format& f = GetParam();
    const sim::SimRide& ride = SimulatedRide(kSeed, 2);
    Load(0, f.file, f.write(ride));
    ASSERT_EQ(SlotOf(0).file.fileKind, f.kind);
    const Slot& s = SlotOf(0);
    const int32_t samples = int32_t(sim::RideSamples(ride));
    // hnd files hold whole blocks of 200 samples.
    EXPECT_EQ(s.sampleCount, f.kind == kFileHnd ? samples / 200 * 200 : samples);

    EXPECT_LE(WorstError(0, kCodeNe, ride.rpm, f.lag), f.ne);
    EXPECT_LE(WorstError(0, kCodeVFW, ride.frontSpeed, f.lag), f.speed);
    EXPECT_LE(WorstError(0, kCodeVRW, ride.rearSpeed, f.lag), f.speed);
    EXPECT_LE(WorstError(0, kCodeTPS, ride.throttle, f.lag), f.tps);
    if (f.aux > 0) {
        EXPECT_LE(WorstError(0, kCodeAUX1, ride.aux1, f.lag), f.aux);
        // Versions 1-3 keep hundredths of a volt, truncated: half a hundredth low on the
        // whole. Version 4 resolves finer.
        EXPECT_NEAR(MeanError(0, kCodeAUX1, ride.aux1), f.auxMean, 0.002);
    }

    // Marks at the pulses; a lap from the GPS line lies within a fix (20 samples) of them.
    std::vector<int32_t> marks = ExpectedMarks(ride, s.sampleCount, f.kind == kFileHnd);
    if (f.gpsLaps) {
        while (!marks.empty() && s.sampleCount - marks.back() <= 6000) marks.pop_back();
    }
    ASSERT_EQ(s.laps.count, int32_t(marks.size()) + 1);
    for (size_t k = 0; k < marks.size(); ++k)
        EXPECT_NEAR(s.laps.marks[k + 1], marks[k], f.gpsLaps ? 20 : 0) << k;
    EXPECT_EQ(s.laps.marks[s.laps.count], s.sampleCount);

    // Every flying lap is one course long, however the format measures it, and runs through
    // each sector of the course.
    for (int k = 2; k < s.laps.count; ++k)
        EXPECT_NEAR(s.laps.lapDistance[k] / 7200.0, ride.courseLength, ride.courseLength * 0.02)
            << k;
    ResetLapChecks(0);
    ComputeLapStatistics();
    for (int k = 1; k + 1 < s.laps.count; ++k) {
        const int32_t* times = LapStateOf(0).sectorTime[k];
        EXPECT_EQ(
            std::count_if(times, times + kSectorCount, [](int32_t t) { return t != kNoTime; }),
            int(sim::SectorStartPoints().size()) + 1)
            << k;
    }

    // The summary: the distance of the recorded part of the ride, laps and time.
    const FileSummary summary = BuildFileSummary();
    double km = 0;
    for (int32_t i = 0; i < s.sampleCount; ++i)
        km += ride.frontSpeed[size_t(i)] / 3600.0 * sim::kSampleSeconds;
    EXPECT_NEAR(std::stod(summary.rows[6].file1), km, km * 0.02 + 0.01);
    EXPECT_EQ(std::stoi(summary.rows[7].file1), s.laps.count);
    char time[16];
    std::snprintf(time, sizeof time, "%3d'%02d\"", s.sampleCount / 200 / 60,
                  s.sampleCount / 200 % 60);
    EXPECT_EQ(summary.rows[8].file1, time);

    // The gear read-out's thresholds from the gearbox teeth: worked out by hand for the
    // simulated bike (76/36 primary, gears 33/12 .. 29/24); hnd files carry teeth of 1.
    const std::vector<int> bike = {2111, 5500, 2375, 1833, 1555, 1374, 1256};
    const std::vector<int> ones = {1000, 2000, 1000, 1000, 1000, 1000, 1000};
    EXPECT_EQ(std::vector<int>(s.header.gearThresholds, s.header.gearThresholds + 7),
              f.kind == kFileHnd ? ones : bike);
    EXPECT_TRUE(RecordedMessages().empty()) << RecordedMessages().front().text;
}

INSTANTIATE_TEST_SUITE_P(Rides, EveryFormat, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RideScenario, CanFramesOfTheRideFillFileOne) {
    const sim::SimRide& ride = SimulatedRide(kSeed, 2);
    // Asked for File 3, a CAN file still fills File 1.
    EXPECT_EQ(Load(2, "ride.CAN", sim::WriteCanFrames(ride)), 0);
    ASSERT_EQ(SlotOf(0).file.fileKind, kFileCan);
    EXPECT_FALSE(Loaded(2));
    // Engine speed (identifier 521) arrives in column 0 wherever a frame sets it.
    int compared = 0;
    for (int32_t i = 1; i < SlotOf(0).sampleCount && size_t(i) < sim::RideSamples(ride); ++i) {
        if (SampleAt(0, 0, i) == 0) continue;
        EXPECT_NEAR(SampleAt(0, 0, i) / 1000.0, ride.rpm[size_t(i)], 60.0) << i;
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}

TEST_F(RideScenario, FlyingLapsAreTimedAndTheFastestIsBest) {
    const sim::SimRide& ride = SimulatedRide(kSeed, 2);
    Load(0, "ride.qvd", sim::WriteFamily3(ride, 3));
    ResetLapChecks(0);
    ComputeLapStatistics();
    const std::vector<int32_t> marks = ExpectedMarks(ride, SlotOf(0).sampleCount, false);
    ASSERT_EQ(marks.size(), 3u); // out-lap, two flying laps, in-lap
    const int32_t first = marks[1] - marks[0], second = marks[2] - marks[1];
    EXPECT_EQ(LapStateOf(0).bestLap, first < second ? 1 : 2);
    EXPECT_EQ(LapStateOf(0).secondBestLap, first < second ? 2 : 1);
    EXPECT_EQ(AverageLapTime(0), (first + second) / 2);
}

// Sector times of File 2's first flying lap, as the lap table shows them.
std::vector<int32_t> File2Sectors() {
    ResetLapChecks(1);
    ComputeLapStatistics();
    const int k = MarksPerLap(1);
    std::vector<int32_t> times;
    for (int32_t t : LapStateOf(1).sectorTime[k])
        if (t != kNoTime) times.push_back(t);
    return times;
}

TEST_F(RideScenario, SectorsFollowTheMarksPerLapOfEachRecording) {
    ASSERT_TRUE(LoadCourseLayout());
    Load(0, "one.qvd", sim::WriteFamily3(SimulatedRide(kSeed, 2), 2));
    // Two beacons per lap: the two halves of the lap are its sectors.
    Load(1, "two.qvd", sim::WriteFamily3(SimulatedRide(kSeed, 2, 2), 2));
    ASSERT_EQ(MarksPerLap(1), 2);
    EXPECT_EQ(File2Sectors().size(), 2u);
    // One beacon again: the course's four sectors, which add up to the lap.
    Load(1, "two.qvd", sim::WriteFamily3(SimulatedRide(kSeed, 2), 2));
    ASSERT_EQ(MarksPerLap(1), 1);
    const std::vector<int32_t> sectors = File2Sectors();
    ASSERT_EQ(sectors.size(), sim::SectorStartPoints().size() + 1);
    int32_t sum = 0;
    for (int32_t t : sectors) sum += t;
    EXPECT_NEAR(sum, LapDuration(1, 1), 2);
    // And the same when the marks per lap are set by hand.
    SetMarksPerLap(1, 3);
    EXPECT_EQ(std::vector<int32_t>(LapStateOf(1).sectors.sec, LapStateOf(1).sectors.sec + 4),
              (std::vector<int32_t>{1, 2, 3, kSectorUnset}));
    SetMarksPerLap(1, 1);
    EXPECT_EQ(File2Sectors(), sectors);
}

// A recording whose last record was cut off (the logger lost power while writing) loads up to
// there and says so, once.
TEST_F(RideScenario, CutOffRecordingsLoadAndSaySoOnce) {
    const sim::SimRide& ride = SimulatedRide(kSeed, 0);
    auto dropLast = [](Bytes b, size_t n) {
        b.resize(b.size() - n);
        return b;
    };
    const std::pair<const char*, Bytes> cut[] = {
        {"a.qvd", dropLast(sim::WriteFamily3(ride, 2), 3)},
        {"a.qvd", dropLast(sim::WriteFamily3(ride, 3), 1)},
        {"a.qvd", dropLast(sim::WriteFamily3(ride, 0), 15)},
        {"a.hnd", dropLast(sim::WriteHnd(ride), sim::WriteHnd(ride).size() / 4)},
        {"a.CAN", dropLast(sim::WriteCanFrames(ride), 5)},
    };
    for (const auto& [name, bytes] : cut) {
        ClearRecordedMessages();
        Load(0, name, bytes);
        EXPECT_TRUE(Loaded(0)) << name;
        ASSERT_EQ(RecordedMessages().size(), 1u) << name;
        EXPECT_EQ(RecordedMessages()[0].text, kCutOffText);
        EXPECT_EQ(RecordedMessages()[0].caption, "Warning!");
    }
    // A family-4 file whose last item is cut after its column byte and one of its two bytes.
    Bytes f4 = Family4(ride, false);
    f4.insert(f4.end(), {0x01, 0x12});
    ClearRecordedMessages();
    Load(0, "a.qvd", f4);
    EXPECT_EQ(RecordedMessages().size(), 1u);
    EXPECT_TRUE(Loaded(0));
}

} // namespace
} // namespace qvtk::test
