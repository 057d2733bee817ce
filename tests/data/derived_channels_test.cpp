// Smoothing and the computed channels, on slots built in memory.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

using DerivedChannelsTest = ProgramTest;

void Set(FileSlot slot, int c, const std::vector<int32_t>& v) {
    std::memcpy(SlotOf(slot).samples[c], v.data(), v.size() * sizeof(int32_t));
}
std::vector<int32_t> Column(FileSlot slot, int c) {
    const Slot& s = SlotOf(slot);
    return std::vector<int32_t>(s.samples[c], s.samples[c] + s.sampleCount);
}
int32_t At(FileSlot slot, int c, int i) {
    return SlotOf(slot).samples[c][i];
}

TEST_F(DerivedChannelsTest, MovingAverageKeepsTheEdgesAndTruncatesTowardZero) {
    // w = 4 (default): samples 6..13 of 20 take the mean of 9; 0-5 and 14-19 stay.
    MakeRecording(0, 20, {{1, kCodeTPS}});
    Set(0, 1, {0, 0, 45, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, -100, 0, 0});
    SmoothColumn(0, 1);
    // 6: (45 + 90) / 9 = 15; 7..12: 90 / 9 = 10; 13: (90 - 100) / 9 = -1.11 -> -1, not -2
    EXPECT_EQ(Column(0, 1), (std::vector<int32_t>{0,  0,  45, 0,  0, 0, 15, 10,   10, 10,
                                                  10, 10, 10, -1, 0, 0, 0,  -100, 0,  0}));

    // w = 4 needs w + 2 < count - w - 2: 12 samples are too few, 13 smooth sample 6 only.
    std::vector<int32_t> spike(13, 0);
    spike[6] = 90;
    MakeRecording(0, 12, {{1, kCodeTPS}});
    Set(0, 1, std::vector<int32_t>(spike.begin(), spike.end() - 1));
    SmoothColumn(0, 1);
    EXPECT_EQ(At(0, 1, 6), 90);
    MakeRecording(0, 13, {{1, kCodeTPS}});
    Set(0, 1, spike);
    SmoothColumn(0, 1);
    EXPECT_EQ(std::tuple(At(0, 1, 6), At(0, 1, 7)), std::tuple(10, 0));

    g_settings.SmoothingSample = -1; // a negative window smooths nothing
    Set(0, 1, spike);
    SmoothColumn(0, 1);
    SmoothColumn(0, 2);  // absent
    SmoothColumn(0, 64); // beyond the table
    EXPECT_EQ(At(0, 1, 6), 90);
}

// The moving average reads every window from the samples as they were before it, whatever
// the window's width: the mean of the original samples, truncated toward zero.
TEST_F(DerivedChannelsTest, EveryWindowAveragesTheOriginalSamples) {
    std::mt19937 random(5);
    for (int w : {0, 1, 4, 7, 31, 200}) {
        const int count = 1000 + int(random() % 7);
        std::vector<int32_t> original(static_cast<size_t>(count));
        for (int32_t& v : original)
            v = random() % 9 == 0 ? int32_t(random()) : int32_t(random() % 20001) - 10000;
        MakeRecording(0, count, {{1, kCodeTPS}});
        Set(0, 1, original);
        g_settings.SmoothingSample = w;
        SmoothColumn(0, 1);
        std::vector<int32_t> expected = original;
        for (int i = w + 2; i <= count - w - 3; ++i) {
            int64_t sum = 0;
            for (int j = i - w; j <= i + w; ++j) sum += original[size_t(j)];
            expected[size_t(i)] = int32_t(double(sum) / double(2 * w + 1));
        }
        EXPECT_EQ(Column(0, 1), expected) << "w " << w;
    }
}

TEST_F(DerivedChannelsTest, SmoothingPassesByCodeAndSetting) {
    // A spike of 90 at sample 10 of every present column 0-5; which ones it was smoothed in
    // (to 90 / 9 = 10): 's' smoothed, '-' not, ' ' absent.
    auto smoothed = [](FileSlot slot, auto pass) {
        for (int c = 0; c < 6; ++c) {
            if (!IsPresent(SlotOf(slot), c)) continue;
            Fill(slot, c, 0);
            SlotOf(slot).samples[c][10] = 90;
        }
        pass(slot);
        std::string r;
        for (int c = 0; c < 6; ++c)
            r += !IsPresent(SlotOf(slot), c) ? ' ' : At(slot, c, 10) == 10 ? 's' : '-';
        return r;
    };
    // Binary logs: by code and setting, column 0 never. Defaults smooth the strokes only.
    MakeRecording(0, 20,
                  {{0, kCodeNe}, {1, kCodeNe}, {2, kCodeVFW}, {3, kCodeFrSUS}, {4, kCodeTPS}});
    g_settings.smoothingNE = 1;
    EXPECT_EQ(smoothed(0, SmoothBinaryLog), "-s-s- ");
    ResetSettings();
    g_settings.smoothingVW = 1;
    g_settings.SmoothingSTD = 0;
    EXPECT_EQ(smoothed(0, SmoothBinaryLog), "--s-- ");

    // hnd and CSV files, in File 2 while File 1 is empty: the slot's own columns count. Column
    // 0 always; Ne and the wheels by their settings; codes 5, 8 and 10 with "SmoothingSTD".
    ResetSettings();
    const std::vector<TestChannel> columns = {{0, kCodeLAF1}, {1, kCodeNe},    {2, kCodeSlipInputX},
                                              {3, kCodeSlip}, {4, kCodeRrSUS}, {5, kCodeVFW},
                                              {6, kCodeVRW}};
    MakeRecording(1, 20, columns);
    Fill(1, 6, 777);
    EXPECT_EQ(smoothed(1, SmoothBySettings), "s-sss-");
    EXPECT_EQ(At(1, 6, 0), 777); // no copy without "VFWCopyVRW"
    g_settings.SmoothingSTD = 0;
    EXPECT_EQ(smoothed(1, SmoothBySettings), "s-----");
    // Family 4: column 0 only, whatever the settings; "VFWCopyVRW" copies the front wheel
    // over the rear.
    SlotOf(1).file.fileKind = kFileFamily4;
    g_settings.smoothingNE = g_settings.smoothingVW = g_settings.VFWCopyVRW = 1;
    g_settings.SmoothingSTD = 2;
    EXPECT_EQ(smoothed(1, SmoothBySettings), "s-----");
    EXPECT_EQ(Column(1, 6), Column(1, 5));
}

TEST_F(DerivedChannelsTest, SuspensionSpeed) {
    // h = 3, n = 7, differences count for 2 <= a < 20 - 3; a stroke rising 1 mm per sample.
    Slot& s = MakeRecording(0, 20, {{4, kCodeFrSUS}, {12, kCodeVFrSUS}, {13, kCodeVRrSUS}});
    for (int i = 0; i < 20; ++i) s.samples[4][i] = 1000 * i;
    s.samples[4][0] = 777777; // x[1] - x[0] never counts
    Fill(0, 13, 5);
    ComputeSuspensionSpeed(0);
    // k mm over 7 samples: k x 1000 x 200 / 7, i.e. 7 -> 200000, 6 -> 171428.57, 5 -> 142857.14,
    // 4 -> 114285.71, 3 -> 85714.29, 2 -> 57142.86, 1 -> 28571.43
    EXPECT_EQ(Column(0, 12),
              (std::vector<int32_t>{85714,  114285, 142857, 171428, 200000, 200000, 200000,
                                    200000, 200000, 200000, 200000, 200000, 200000, 171428,
                                    142857, 114285, 85714,  57142,  28571,  0}));
    EXPECT_EQ(s.channels[12].source, 1);
    EXPECT_EQ(At(0, 13, 10), 5); // no rear stroke: the rear speed is left alone

    // 10 ms samples: h = int(3 x 0.5) = 1, n = 3, but the end limit stays 20 - 3.
    s.sampleRateFactor = 0.5f;
    ComputeSuspensionSpeed(0);
    // 3000 x 200 x 0.5 / 3; x16 - x14 = 2000: 2000 x 200 x 0.5 / 3 = 66666.67
    EXPECT_EQ(std::tuple(At(0, 12, 10), At(0, 12, 15)), std::tuple(100000, 66666));

    // A 175.005 mm step: 35001000 / 7 = 5000142.86, which single precision rounds to
    // 5000143.0 (its steps are 0.5 there) before the truncation.
    MakeRecording(0, 30, {{5, kCodeRrSUS}, {13, kCodeVRrSUS}});
    for (int i = 10; i < 30; ++i) s.samples[5][i] = 175005;
    ComputeSuspensionSpeed(0);
    EXPECT_EQ(std::tuple(At(0, 13, 5), At(0, 13, 13)), std::tuple(0, 0));
    for (int i = 6; i <= 12; ++i) EXPECT_EQ(At(0, 13, i), 5000143) << i;
}

TEST_F(DerivedChannelsTest, SlipRatioAgainstTheFrontWheelAndTheGps) {
    MakeRecording(0, 6, {{2, kCodeVFW}, {3, kCodeVRW}, {11, kCodeSlip}});
    Set(0, 2, {5000, 5001, 30000, 100000, 0, -6000});
    Set(0, 3, {9000, 6000, 29999, 112345, 9000, 9000});
    Fill(0, 11, 777);
    ComputeSlipRatio(0);
    // 999 x 100000 / 5001 = 19976.005; -1 x 100000 / 30000 = -3.33 -> -3;
    // 12345 x 100000 / 100000 = 12345; at or below 5 km/h the sample stays.
    EXPECT_EQ(Column(0, 11), (std::vector<int32_t>{777, 19976, -3, 12345, 777, 777}));

    // A front wheel speed in column 0 counts as missing, even with another one further on.
    MakeRecording(0, 6, {{0, kCodeVFW}, {2, kCodeVFW}, {3, kCodeVRW}, {11, kCodeSlip}});
    Fill(0, 0, 50000);
    Fill(0, 2, 50000);
    Fill(0, 11, 777);
    ComputeSlipRatio(0);
    EXPECT_EQ(At(0, 11, 3), 777);

    MakeRecording(
        0, 6, {{2, kCodeVFW}, {5, kCodeGpsSpeed}, {6, kCodeFrontGpsSlip}, {7, kCodeRearGpsSlip}});
    Set(0, 2, {0, 30000, 45000, 39999, 0, 0});
    Set(0, 5, {0, 0, 20000, 20001, 50000, 40000});
    Fill(0, 6, 777);
    Fill(0, 7, 777);
    g_derivedState.gpsSlipLag = 2;
    ComputeGpsSlip(0);
    // Sample i against GPS speed i + 2: 20000 is not above 20 km/h -> 0;
    // 9999 x 100000 / 20001 = 49992.5; -5000 x 100000 / 50000 = -10000;
    // -1 x 100000 / 40000 = -2.5 -> -2; i + 2 beyond the end leaves the sample.
    EXPECT_EQ(Column(0, 6), (std::vector<int32_t>{0, 49992, -10000, -2, 777, 777}));
    EXPECT_EQ(At(0, 7, 1), 777); // no rear wheel speed: only the front is written
}

TEST_F(DerivedChannelsTest, ReductionRatioWithLag) {
    Slot& s = MakeRecording(0, 210, {{0, kCodeNe}, {3, kCodeVRW}, {14, kCodeReducRat}});
    Fill(0, 0, 9000000);
    Fill(0, 3, 70000);
    s.samples[3][205] = 20000; // not above 20 km/h
    s.samples[14][210] = 4242; // first spare entry past the end
    s.header.tireRear = 1900;
    // 1900 x -0.06 = -114; -114 / 70000 x 9000000 = -14657.14 -> -14657
    for (int lag : {200, 300}) { // 300 is held at 200
        Fill(0, 14, 777);
        g_derivedState.reductionRatioLag = lag;
        ComputeReductionRatio(0);
        EXPECT_EQ(std::tuple(At(0, 14, 0), At(0, 14, 199), At(0, 14, 200), At(0, 14, 205),
                             At(0, 14, 209), At(0, 14, 210)),
                  std::tuple(777, 777, -14657, 0, -14657, 4242))
            << lag;
    }
    g_derivedState.reductionRatioLag = 0;
    ComputeReductionRatio(0);
    EXPECT_EQ(At(0, 14, 0), -14657);
}

TEST_F(DerivedChannelsTest, SlipTrigger) {
    const std::vector<TestChannel> columns = {{0, kCodeSlipTrigger},
                                              {3, kCodeSlipInputX},
                                              {4, kCodeSlipInputY},
                                              {6, kCodeSlipTrigger},
                                              {8, 300, "SLIPTRG"}};
    Slot& s = MakeRecording(0, 10, columns);
    Fill(0, 0, 999); // column 0 is never the target
    Fill(0, 3, 55000);
    Fill(0, 4, -42000);
    Fill(0, 6, 999);
    g_derivedState.slipTriggerMap = 4;
    ComputeSlipTrigger(0, 0);
    EXPECT_EQ(Column(0, 6), std::vector<int32_t>(10, 0)); // every map holds zeros
    const ChannelInfo& t = s.channels[6];
    EXPECT_EQ(std::string(t.name) + " " + t.unit, "sSLIPTRG %-5");
    EXPECT_EQ(std::tuple(t.code, t.conversion, t.decimals, s.channelFlags[6]),
              std::tuple(kCodeSlipTrigger, 2, 1, kChannelPresent | kChannelShown));
    EXPECT_EQ(std::tuple(g_derivedState.slipTriggerSource[0], At(0, 0, 5)), std::tuple(8, 999));

    // Input X only in column 0 counts as missing: the target is cleared and keeps its name.
    MakeRecording(0, 10,
                  {{0, kCodeSlipInputX}, {4, kCodeSlipInputY}, {6, kCodeSlipTrigger, "Trg"}});
    Fill(0, 6, 999);
    ComputeSlipTrigger(0, 6);
    EXPECT_EQ(Column(0, 6), std::vector<int32_t>(10, 0));
    EXPECT_STREQ(s.channels[6].name, "Trg");

    ComputeSlipTrigger(0, 9); // a column without a full buffer is never a target
    EXPECT_EQ(s.channelFlags[9], 0u);
}

} // namespace
} // namespace qvtk::test
