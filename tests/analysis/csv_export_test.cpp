// File 1's CSV export: the number text, the lines at every rate and time base, the checked
// laps, a write that fails, and a ride exported and imported again.
#include "analysis/csv_export.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analysis/lap_model.h"
#include "data/csv_import.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace qvtk::test {
namespace {

class CsvExportTest : public TempProgramDirectory {
protected:
    std::string Out() const { return dir_ + "/out.csv"; }
    std::string Export(ExportMode mode, int rate, int32_t a = 0, int32_t b = 0) {
        ExportRequest request;
        request.mode = mode;
        request.rate = rate;
        request.rangeA = a;
        request.rangeB = b;
        std::filesystem::remove(Out());
        if (!ExportCsv(Out(), request, {})) return "(not saved)";
        std::ifstream in(Out(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A recording whose engine speed is the sample number in rpm, with lap marks.
    static void Numbered(int32_t count, std::vector<int32_t> marks, float factor = 1.0f) {
        Slot& s = MakeRecording(0, count, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "T,\"P\""}});
        s.sampleRateFactor = factor;
        for (int32_t i = 0; i < count; ++i) s.samples[0][i] = i * 1000;
        s.laps.count = int32_t(marks.size()) + 1;
        for (size_t k = 0; k < marks.size(); ++k) s.laps.marks[k + 1] = marks[k];
        for (int k = s.laps.count; k <= s.laps.count + 2; ++k) s.laps.marks[k] = count;
    }
};

TEST(ExportValueText, IsWhatPrintfGivesForTheSingleSample) {
    auto check = [](int32_t sample) {
        char want[32], got[32];
        std::snprintf(want, sizeof want, "%g", double(float(sample) * 0.001f));
        got[FormatExportValue(sample, got)] = 0;
        ASSERT_STREQ(got, want) << sample;
    };
    for (int32_t s = -1200000; s <= 1200000; ++s) check(s);
    for (int64_t s = INT32_MIN; s <= INT32_MAX; s += 7919) check(int32_t(s));
    for (int32_t s : {INT32_MAX, INT32_MIN, 999999500, 999999000, 123456000, -100000000, 1234565,
                      12345650, 12345600, -999999999})
        check(s);
}

TEST_F(CsvExportTest, EveryRateWritesItsLinesAndTheLastSampleNever) {
    Numbered(4, {2}); // samples 0-3, a lap mark at sample 2
    const std::string header = "Time,Lap,Ne,T__P_\r\n";
    EXPECT_EQ(Export(kExportAll, 1), header + "0.000,0,0,0\r\n0.005,0,1,0\r\n0.010,1,2,0\r\n");
    EXPECT_EQ(Export(kExportAll, 2), header + "0.000,0,0,0\r\n0.010,1,2,0\r\n");
    const std::string ms = Export(kExportAll, 0);
    EXPECT_EQ(std::count(ms.begin(), ms.end(), '\n'), 1 + 15); // five lines a sample but the last
    EXPECT_NE(ms.find("\r\n0.004,0,0,0\r\n0.005,0,1,0\r\n"), std::string::npos);
    EXPECT_NE(ms.find("\r\n0.014,1,2,0\r\n"), std::string::npos);
    EXPECT_EQ(Export(kExportAll, 5), header + "0.000,0,0,0\r\n");
    Numbered(300, {});
    EXPECT_EQ(Export(kExportAll, 5), header + "0.000,0,0,0\r\n1.000,0,200,0\r\n");
    Numbered(1, {});
    EXPECT_EQ(Export(kExportAll, 1), header);
    EXPECT_TRUE(SawMessage("Saved", "Done."));
}

TEST_F(CsvExportTest, ARecordingAtAnotherRateKeepsItsOwnTime) {
    Numbered(4, {}, 0.5f);                       // 10 ms a sample
    SlotOf(0).channelFlags[1] &= ~kChannelShown; // not shown: not exported
    EXPECT_EQ(Export(kExportAll, 1), "Time,Lap,Ne\r\n0.000,0,0\r\n0.005,0,0\r\n0.010,0,1\r\n"
                                     "0.015,0,1\r\n0.020,0,2\r\n0.025,0,2\r\n");
    // A range is ordered and kept inside the recording.
    EXPECT_EQ(Export(kExportRange, 1, 3, 1),
              "Time,Lap,Ne\r\n0.000,0,1\r\n0.005,0,1\r\n0.010,0,2\r\n0.015,0,2\r\n");
}

TEST_F(CsvExportTest, CheckedLapsAreTheLapsTheTableChecksAndTheLapCountRunsOn) {
    Numbered(14, {3, 6, 9, 12});
    SetMarksPerLap(0, 2); // laps start at marks 0, 2 and 4
    for (bool& c : LapStateOf(0).lapChecked) c = false;
    LapStateOf(0).lapChecked[2] = true; // the lap from mark 2 (sample 6) to mark 4
    SlotOf(0).channelFlags[1] &= ~kChannelShown;
    // Samples 7-9 and 10-12; the rows run on, so the second span keeps the 5 ms rhythm.
    EXPECT_EQ(Export(kExportSelectedLaps, 1), "Time,Lap,Ne\r\n0.000,0,7\r\n0.005,0,8\r\n"
                                              "0.010,1,9\r\n0.015,1,10\r\n0.020,1,11\r\n");
}

TEST_F(CsvExportTest, AWriteThatFailsKeepsTheEarlierFileAndSaysSo) {
    Numbered(2000, {});
    WriteFile("out.csv", "earlier");
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(ExportCsv(Out(), ExportRequest{}, {}));
    }
    EXPECT_TRUE(SawMessage("Error !!", "Not Saved !!"));
    std::ifstream in(Out());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1); // no leftovers
    EXPECT_FALSE(ExportCsv("", ExportRequest{}, {})); // the save dialog was cancelled
}

TEST_F(CsvExportTest, ARideExportedAndImportedAgainKeepsItsValuesAndLaps) {
    sim::RideOptions options;
    options.seed = 3;
    options.laps = 1;
    const std::vector<uint8_t> ride =
        sim::WriteFamily3(sim::SimulateRide(sim::MakeCourse(options.seed), options), 2);
    std::ofstream(dir_ + "/ride.qvd", std::ios::binary)
        .write(reinterpret_cast<const char*>(ride.data()), std::streamsize(ride.size()));
    FileSlot slot = 0;
    ASSERT_TRUE(LoadFileIntoSlot(slot, dir_ + "/ride.qvd"));
    for (int c = 11; c < kColumnCount; ++c) SlotOf(0).channelFlags[c] &= ~kChannelShown;
    ASSERT_TRUE(ExportCsv(Out(), ExportRequest{}, {}));
    const Slot original = SlotOf(0); // the record only; its buffers stay with slot 0
    std::vector<std::vector<int32_t>> columns(11);
    for (int c = 0; c < 11; ++c)
        columns[size_t(c)].assign(original.samples[c], original.samples[c] + original.sampleCount);

    g_settings.SmoothingSample = -1; // no moving average: the values as the file holds them
    WriteFile("csvlabel.ini", "[Time]\n0=Time\n[Ne]\n0=Ne\n[TH]\n0=TPS\n[VFW]\n0=VFW\n[VRW]\n"
                              "0=VRW\n[FRSUS]\n0=FrSUS\n[RRSUS]\n0=RrSUS\n[LAF1]\n0=LAF1\n[LAF2]\n"
                              "0=LAF2\n[VB]\n0=VB\n[AUX1]\n0=AUX1\n[AUX2]\n0=AUX2\n[LAP]\n0=Lap\n");
    LoadCsvLabels(dir_);
    slot = 1;
    ASSERT_TRUE(LoadFileIntoSlot(slot, Out()));
    const Slot& back = SlotOf(1);
    // The import keeps its sample 0 empty, as every reader does: line 1 is sample 1.
    ASSERT_EQ(back.sampleCount, original.sampleCount);
    for (int c = 0; c < 11; ++c)
        for (int32_t i = 0; i + 1 < back.sampleCount; ++i) {
            const double want = columns[size_t(c)][size_t(i)];
            const double tolerance = (c == 0 ? 1000 : 1) + std::fabs(want) * 5e-6;
            ASSERT_NEAR(back.samples[c][i + 1], want, tolerance) << "column " << c << " " << i;
        }
    ASSERT_EQ(back.laps.count, original.laps.count);
    for (int k = 1; k < back.laps.count; ++k)
        EXPECT_EQ(back.laps.marks[k], original.laps.marks[k] + 1);
}

} // namespace
} // namespace qvtk::test
