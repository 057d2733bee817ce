// The percentage tool: bands in the dialog's units, the channel found by its code, the lap scope
// with several marks per lap, the limits and the texts of both boxes.
#include "analysis/percentage.h"

#include <gtest/gtest.h>

#include "analysis/lap_model.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class PercentageTest : public ProgramTest {
protected:
    // A recording of n samples in one segment.
    static Slot& Rec(FileSlot slot, int32_t n, const std::vector<TestChannel>& channels) {
        Slot& s = MakeRecording(slot, n, channels);
        s.laps.count = 1;
        s.laps.marks[1] = s.laps.marks[2] = s.laps.marks[3] = n;
        return s;
    }
    // One lap mark at `mark`: segment 0 is 0 .. mark - 1, segment 1 the rest.
    static void OneMark(FileSlot slot, int32_t mark) {
        LapMarkTable& t = SlotOf(slot).laps;
        t.count = 2;
        t.marks[1] = mark;
        t.marks[2] = t.marks[3] = t.marks[4] = SlotOf(slot).sampleCount;
    }
    static void Put(FileSlot slot, int column, std::initializer_list<int32_t> values) {
        int32_t i = 0;
        for (int32_t v : values) SlotOf(slot).samples[column][i++] = v;
    }
};

TEST_F(PercentageTest, SamplesFallIntoTheBandOfTheirValueInTheDialogsUnits) {
    // Throttle in thousandths of a percent, bands of 5 % from 10 % to 20 %.
    Rec(0, 8, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
    Put(0, 1, {9999, 10000, 14999, 15000, 19999, 20000, 20001, 95000});
    const BandSettings b{10, 20, 5};
    const Histogram h = ComputeHistogram(0, 1, b, false);
    EXPECT_EQ(h.total, 8);
    EXPECT_EQ(h.entries, (std::vector<int64_t>{1, 2, 2, 3})); // the last band takes all above
    // Engine speed in thousandths of rpm, with the simulated final drive applied.
    Rec(1, 4, {{0, kCodeNe, "Ne"}});
    Put(1, 0, {5999000, 6000000, 8000000, 8300000});
    const BandSettings ne{6000, 16000, 500};
    EXPECT_EQ(ComputeHistogram(1, 0, ne, false).entries[0], 1);
    EXPECT_EQ(ComputeHistogram(1, 0, ne, false).entries[5], 2); // 8000 .. 8499 rpm
    SlotOf(1).engineSpeedScale = 1.5f;                          // 12000 and 12450 rpm
    EXPECT_EQ(ComputeHistogram(1, 0, ne, false).entries[13], 2);
}

TEST_F(PercentageTest, EachFileFindsTheChannelByItsCode) {
    // A CAN logger recording: battery voltage in column 0, engine speed in column 3.
    Rec(0, 4, {{0, kCodeVB, "VB"}, {3, kCodeNe, "Ne"}});
    Fill(0, 0, 12000);
    Fill(0, 3, 9000000);
    const BandSettings ne{6000, 16000, 500};
    EXPECT_EQ(ComputeHistogram(0, 0, ne, false).entries[7], 4); // 9000 rpm
    // A file without the channel shows the heading and zeros (its total counts as 1).
    Rec(1, 4, {{0, kCodeNe, "Ne"}});
    const Distribution d = AnalyzeDistribution(2, {0, 10, 5}, false); // FrSUS
    EXPECT_EQ(d.text[1],
              "- mm - \t - % - \r\n 0 -\t 0.000 \r\n 5 -\t 0.000 \r\n 10 -\t 0.000 \r\n");
}

TEST_F(PercentageTest, CheckedLapsCountWithEverySegmentOfTheLap) {
    Rec(0, 40, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
    SetMarksPerLap(0, 2);
    LapMarkTable& t = SlotOf(0).laps;
    const int32_t marks[] = {0, 10, 20, 30, 40, 40, 40};
    t.count = 4;
    for (int k = 0; k < 7; ++k) t.marks[k] = marks[k];
    for (int32_t i = 0; i < 40; ++i) SlotOf(0).samples[1][i] = (i / 10) * 10000; // 0,10,20,30 %
    LapStateOf(0).lapChecked[2] = true; // the lap of segments 2 and 3
    const Histogram h = ComputeHistogram(0, 1, {0, 30, 10}, true);
    EXPECT_EQ(h.total, 20);
    EXPECT_EQ(h.entries, (std::vector<int64_t>{0, 0, 0, 10, 10}));
    LapStateOf(0).lapChecked[2] = false;
    const Distribution none = AnalyzeDistribution(1, {0, 30, 10}, true);
    EXPECT_EQ(none.text[0], "- Th% - \t - % - \r\n 0 -\t 0.000 \r\n 10 -\t 0.000 \r\n 20 -\t "
                            "0.000 \r\n 30 -\t 0.000 \r\n");
}

TEST_F(PercentageTest, TheBelowLineOnlyAboveZeroAndSharesOfEachFilesTotal) {
    Rec(0, 4, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
    Put(0, 1, {0, 5000, 60000, 61000});
    OneMark(0, 2);
    Rec(1, 2, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
    Put(1, 1, {70000, 70000});
    const Distribution d = AnalyzeDistribution(1, {50, 60, 10}, false);
    EXPECT_EQ(d.text[0],
              "- Th% - \t - % - \r\n- 50 \t 50.000 \r\n 50 -\t 0.000 \r\n 60 -\t 50.000 \r\n");
    EXPECT_EQ(d.text[1],
              "- Th% - \t - % - \r\n- 50 \t 0.000 \r\n 50 -\t 0.000 \r\n 60 -\t 100.000 \r\n");
}

TEST_F(PercentageTest, LimitsKeepTheBandsFewAndPositive) {
    struct Case {
        int channel;
        BandSettings in, out;
    } cases[] = {
        {0, {-2000000000, 16000, 500}, {0, 16000, 500}}, // no hundreds of millions of bands
        {0, {6000, 90000, 1}, {6000, 20000, 10}},
        {0, {8000, 7000, 50000}, {8000, 8000, 10000}}, // max at least min
        {1, {0, 300, 0}, {0, 200, 1}},
        {3, {500, 100, 300}, {200, 200, 200}},
    };
    for (const Case& c : cases) {
        BandSettings b = c.in;
        ClampBands(c.channel, b);
        EXPECT_EQ(b.min, c.out.min) << c.channel;
        EXPECT_EQ(b.max, c.out.max) << c.channel;
        EXPECT_EQ(b.step, c.out.step) << c.channel;
    }
}

} // namespace
} // namespace qvtk::test
