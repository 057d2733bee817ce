// The summary rows, the tire and final lines and the memo typed out line by line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include "analysis/file_open.h"
#include "analysis/file_summary.h"
#include "tests/test_support.h"
#include "tools/sim/family3_writer.h"

namespace qvtk::test {
namespace {

class FileSummaryTest : public TempProgramDirectory {};

TEST_F(FileSummaryTest, RowsOfABuiltRecording) {
    Slot& s = MakeRecording(0, 12345, {});
    int32_t* max = s.range.maxByCode;
    std::tie(max[kCodeNe], max[kCodeFrSUS], max[kCodeRrSUS], max[kCodeVFW], max[kCodeVRW]) =
        std::tuple(12345678, 45600, 12340, 123456, 99960);
    s.laps.count = 7;
    s.laps.divisor = 2;
    // 1234.9 m up to and including the end entry; the entry after it does not count.
    s.laps.lapDistance[0] = 7200 * 1000;
    s.laps.lapDistance[7] = 7200 * 234 + 7199;
    s.laps.lapDistance[8] = 7200 * 5000;
    const FileSummary summary = BuildFileSummary();
    const std::tuple<std::string, std::string> rows[kSummaryRows] = {
        {"Max Ne", "12345 rpm"},     {"Max FSUS", "45.60 mm"},  {"Max RSUS", "12.34 mm"},
        {"Max VFW", "123.5 km/h"},   {"Max VRW", "100.0 km/h"}, {"", ""},
        {"Run Distance", "1.23 km"}, {"Total Lap", "  3 Lap"},  {"Logging Time", "  1'01\""},
    };
    for (int row = 0; row < kSummaryRows; ++row) {
        const SummaryRow& r = summary.rows[row];
        EXPECT_EQ(std::tuple(std::string(r.label), r.file1, r.file2),
                  std::tuple_cat(rows[row], std::tuple(std::string())));
    }
    // At 10 ms per sample each metre of distance is two; the logging time stays 5 ms a sample.
    s.sampleRateFactor = 0.5f;
    EXPECT_EQ(std::tuple(SummaryValue(0, 6), SummaryValue(0, 8)),
              std::tuple("2.47 km", "  1'01\""));
    // Lap distances past 32 bits still add up.
    s.laps.lapDistance[1] = s.laps.lapDistance[2] = int32_t(3600000000u);
    s.sampleRateFactor = 1.0f;
    EXPECT_EQ(SummaryValue(0, 6), "1001.23 km");
}

TEST_F(FileSummaryTest, SimulatedRideInBothFiles) {
    const sim::SimRide& ride = SimulatedRide(5, 1);
    WriteFile("ride.qvd", sim::WriteFamily3(ride, 2));
    g_settings.ModifyFileName = 0;
    auto width = [](const std::string&) { return 50; };
    ASSERT_EQ(LoadRequestedFile(0, dir_ + "/ride.qvd", 14, width), kOpenLoaded);
    EXPECT_EQ(BuildFileSummary().rows[0].file2, ""); // File 2 is not loaded
    ASSERT_EQ(LoadRequestedFile(1, dir_ + "/ride.qvd", 14, width), kOpenLoaded);

    const FileSummary summary = BuildFileSummary();
    for (const SummaryRow& r : summary.rows) EXPECT_EQ(r.file1, r.file2) << r.label;
    const int32_t* max = SlotOf(1).range.maxByCode;
    EXPECT_EQ(std::stoi(summary.rows[0].file1), max[kCodeNe] / 1000);
    EXPECT_NEAR(std::stod(summary.rows[3].file1), max[kCodeVFW] / 1000.0, 0.05);
    // Distance, laps and time of every format: the ride scenario tests.
    const float topRpm = *std::max_element(ride.rpm.begin(), ride.rpm.end());
    EXPECT_NEAR(std::stod(summary.rows[0].file1), topRpm, topRpm * 0.01);
}

TEST_F(FileSummaryTest, TireAndFinalLines) {
    EXPECT_EQ(BuildTireLines().tire[0], ""); // nothing loaded, nothing to say
    MakeRecording(0, 100, {});
    LogHeader& h = SlotOf(0).header;
    std::tie(h.tireFront, h.tireRear, h.sprocketFront, h.sprocketRear) =
        std::tuple(1940, 2000, 16, 41);
    TireLines lines = BuildTireLines();
    EXPECT_EQ(std::tuple(lines.tire[0], lines.finalRatio[0], lines.tire[1]),
              std::tuple("Tire Size F:1940mm R:2000mm", "Final 16-41(2.562)", ""));
    MakeRecording(1, 100, {});
    SlotOf(1).header.tireFront = 620; // sprockets of 1: no final line
    lines = BuildTireLines();
    EXPECT_EQ(std::tuple(lines.tire[1], lines.finalRatio[1]),
              std::tuple("TireSize F: 620mm R: 100mm", ""));
}

// Types the whole memo and returns its lines.
std::vector<std::string> Typed(const std::string& memo) {
    MemoTyping t;
    for (size_t steps = 0; TypeNextMemoCharacter(t, memo.c_str(), kMemoReadBytes); ++steps)
        EXPECT_LT(steps, memo.size());
    std::vector<std::string> lines;
    for (int i = 0; i <= t.line; ++i) lines.emplace_back(MemoLine(t, i));
    return lines;
}

TEST_F(FileSummaryTest, MemoLines) {
    const std::string a27(27, 'a'), kana = "\x82\xa0";
    using Lines = std::vector<std::string>;
    std::tuple<std::string, Lines> cases[] = {
        {std::string(31, 'a'), {std::string(29, 'a'), "aa"}},
        {"ab\r\ncd\re", {"ab", "cd", "e"}},
        {"a" + a27 + kana + "b", {"a" + a27, kana + "b"}}, // the pair is not split
        {a27 + kana + "b", {a27 + kana, "b"}},             // the pair fills the line
        {"ab\x82", {"ab"}},                                // a lead byte at the end
        {std::string(12, '\r') + "x", Lines(10, "")},      // at most 10 lines
        // A lead byte as the last byte read is not paired with the byte after the limit.
        {std::string(188, 'a') + kana, Lines(7, std::string(29, 'a'))},
    };
    std::get<1>(cases[6]).back().resize(188 - 6 * 29);
    for (const auto& [memo, lines] : cases) EXPECT_EQ(Typed(memo), lines) << memo;
}

TEST_F(FileSummaryTest, MemoPanelStartsOverWhileHidden) {
    std::strcpy(SlotOf(0).header.memo, "File 1");
    std::strcpy(SlotOf(1).header.memo, "File 2");
    StepMemoPanel(10);
    EXPECT_EQ(MemoLine(g_memoPanel.file[0], 0), ""); // File 1 holds no recording
    MakeRecording(0, 100, {});
    for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(StepMemoPanel(10));
    EXPECT_EQ(std::tuple(MemoLine(g_memoPanel.file[0], 0), MemoLine(g_memoPanel.file[1], 0)),
              std::tuple("Fil", "")); // File 2 is not loaded
    EXPECT_TRUE(StepMemoPanel(19));
    MakeRecording(1, 100, {});
    StepMemoPanel(18);
    EXPECT_EQ(std::tuple(MemoLine(g_memoPanel.file[0], 0), MemoLine(g_memoPanel.file[1], 0)),
              std::tuple("F", "F"));
}

} // namespace
} // namespace qvtk::test
