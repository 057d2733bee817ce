// Smoothing and the computed channels, on slots built in memory.
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class DerivedChannelsTest : public ProgramTest {};

// Makes `slot` a loaded recording of `count` samples with the given (column, code) channels
// present; every sample starts at 0.
void Build(FileSlot slot, int32_t count, std::initializer_list<std::pair<int, ChannelCode>> cols) {
    Slot& s = SlotOf(slot);
    for (int c = 0; c < kColumnCount; ++c) s.channelFlags[c] = 0;
    for (auto [c, code] : cols) {
        s.channelFlags[c] = kChannelPresent | kChannelShown;
        s.channels[c].code = code;
        s.channels[c].kind = 1;
    }
    ASSERT_TRUE(AllocateSlotBuffers(slot, count + kSpareSamples));
    s.sampleCount = count;
    s.sampleRateFactor = 1.0f;
    s.file.fileKind = kFileFamily3;
    s.active = true;
}

void Set(FileSlot slot, int c, const std::vector<int32_t>& v) {
    std::memcpy(SlotOf(slot).samples[c], v.data(), v.size() * sizeof(int32_t));
}
void Fill(FileSlot slot, int c, int32_t value) {
    for (int32_t i = 0; i < SlotOf(slot).sampleCount; ++i) SlotOf(slot).samples[c][i] = value;
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
    Build(0, 20, {{1, kCodeTPS}});
    Set(0, 1, {0, 0, 45, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, -72, 0, 0});
    SmoothColumn(0, 1);
    // 6: (45 + 90) / 9 = 15; 7..12: 90 / 9 = 10; 13: (90 - 72) / 9 = 2
    EXPECT_EQ(Column(0, 1), (std::vector<int32_t>{0,  0,  45, 0, 0, 0, 15, 10,  10, 10,
                                                  10, 10, 10, 2, 0, 0, 0,  -72, 0,  0}));

    g_settings.SmoothingSample = 1; // samples 3..4 of 8
    Build(0, 8, {{1, kCodeTPS}});
    Set(0, 1, {0, 0, 0, -2, 0, 5, 0, 0});
    SmoothColumn(0, 1);
    // 3: (0 - 2 + 0) / 3 = -0.67 -> 0, not -1; 4: (-2 + 0 + 5) / 3 = 1
    EXPECT_EQ(Column(0, 1), (std::vector<int32_t>{0, 0, 0, 0, 1, 5, 0, 0}));

    // w = 4 needs w + 2 < count - w - 2: 12 samples are too few, 13 smooth sample 6 only.
    g_settings.SmoothingSample = 4;
    std::vector<int32_t> spike(13, 0);
    spike[6] = 90;
    Build(0, 12, {{1, kCodeTPS}});
    Set(0, 1, std::vector<int32_t>(spike.begin(), spike.end() - 1));
    SmoothColumn(0, 1);
    EXPECT_EQ(At(0, 1, 6), 90);
    Build(0, 13, {{1, kCodeTPS}});
    Set(0, 1, spike);
    SmoothColumn(0, 1);
    EXPECT_EQ(At(0, 1, 6), 10);
    EXPECT_EQ(At(0, 1, 7), 0);

    g_settings.SmoothingSample = -1; // a negative window smooths nothing
    Set(0, 1, spike);
    SmoothColumn(0, 1);
    SmoothColumn(0, 2);  // absent
    SmoothColumn(0, 64); // beyond the table
    EXPECT_EQ(At(0, 1, 6), 90);
}

TEST_F(DerivedChannelsTest, SmoothingPasses) {
    auto spikes = [](FileSlot slot) {
        for (int c = 0; c < 6; ++c) {
            if (!IsPresent(SlotOf(slot), c)) continue;
            Fill(slot, c, 0);
            SlotOf(slot).samples[c][10] = 90;
        }
    };
    // Binary logs: by code and setting, column 0 never. Defaults smooth the strokes only.
    Build(0, 20, {{0, kCodeNe}, {1, kCodeNe}, {2, kCodeVFW}, {3, kCodeFrSUS}, {4, kCodeTPS}});
    spikes(0);
    g_settings.smoothingNE = 1;
    SmoothBinaryLog(0);
    EXPECT_EQ(At(0, 0, 10), 90);
    EXPECT_EQ(At(0, 1, 10), 10);
    EXPECT_EQ(At(0, 2, 10), 90);
    EXPECT_EQ(At(0, 3, 10), 10);
    EXPECT_EQ(At(0, 4, 10), 90);
    spikes(0);
    ResetSettings();
    g_settings.smoothingVW = 1;
    g_settings.SmoothingSTD = 0;
    SmoothBinaryLog(0);
    EXPECT_EQ(At(0, 1, 10), 90);
    EXPECT_EQ(At(0, 2, 10), 10);
    EXPECT_EQ(At(0, 3, 10), 90);

    // hnd and CSV files, in File 2 while File 1 is empty: the slot's own columns count.
    ResetSettings();
    Build(1, 20,
          {{0, kCodeLAF1},
           {1, kCodeNe},
           {2, kCodeSlipInputX},
           {3, kCodeSlip},
           {4, kCodeRrSUS},
           {5, kCodeVFW},
           {6, kCodeVRW}});
    spikes(1);
    Fill(1, 6, 777);
    SmoothBySettings(1);
    EXPECT_EQ(At(1, 6, 0), 777); // no copy without "VFWCopyVRW"
    EXPECT_EQ(At(1, 0, 10), 10); // column 0 always
    EXPECT_EQ(At(1, 1, 10), 90); // "smoothingNE" off
    EXPECT_EQ(At(1, 2, 10), 10); // codes 5, 8 and 10 with "SmoothingSTD"
    EXPECT_EQ(At(1, 3, 10), 10);
    EXPECT_EQ(At(1, 4, 10), 10);
    EXPECT_EQ(At(1, 5, 10), 90);

    spikes(1);
    SlotOf(1).file.fileKind = kFileFamily4;
    g_settings.smoothingNE = 1;
    g_settings.VFWCopyVRW = 1;
    Fill(1, 6, 777);
    SmoothBySettings(1);
    EXPECT_EQ(At(1, 0, 10), 10);
    EXPECT_EQ(At(1, 1, 10), 90);
    EXPECT_EQ(At(1, 4, 10), 90);
    EXPECT_EQ(Column(1, 6), Column(1, 5)); // the front wheel copied over the rear
}

TEST_F(DerivedChannelsTest, SuspensionSpeed) {
    // h = 3, n = 7, differences count for 2 <= a < 20 - 3; a stroke rising 1 mm per sample.
    Build(0, 20, {{4, kCodeFrSUS}, {12, kCodeVFrSUS}, {13, kCodeVRrSUS}});
    for (int i = 0; i < 20; ++i) SlotOf(0).samples[4][i] = 1000 * i;
    SlotOf(0).samples[4][0] = 777777; // x[1] - x[0] never counts
    Fill(0, 13, 5);
    ComputeSuspensionSpeed(0);
    // k mm over 7 samples: k x 1000 x 200 / 7, i.e. 7 -> 200000, 6 -> 171428.57, 5 -> 142857.14,
    // 4 -> 114285.71, 3 -> 85714.29, 2 -> 57142.86, 1 -> 28571.43
    EXPECT_EQ(Column(0, 12),
              (std::vector<int32_t>{85714,  114285, 142857, 171428, 200000, 200000, 200000,
                                    200000, 200000, 200000, 200000, 200000, 200000, 171428,
                                    142857, 114285, 85714,  57142,  28571,  0}));
    EXPECT_EQ(SlotOf(0).channels[12].source, 1);
    EXPECT_EQ(At(0, 13, 10), 5); // no rear stroke: the rear speed is left alone

    // 10 ms samples: h = int(3 x 0.5) = 1, n = 3, but the end limit stays 20 - 3.
    SlotOf(0).sampleRateFactor = 0.5f;
    ComputeSuspensionSpeed(0);
    EXPECT_EQ(At(0, 12, 10), 100000); // 3000 x 200 x 0.5 / 3
    EXPECT_EQ(At(0, 12, 15), 66666);  // x16 - x14 = 2000: 2000 x 200 x 0.5 / 3 = 66666.67

    // A 175.005 mm step: 35001000 / 7 = 5000142.86, which single precision rounds to
    // 5000143.0 (its steps are 0.5 there) before the truncation.
    Build(0, 30, {{5, kCodeRrSUS}, {13, kCodeVRrSUS}});
    for (int i = 10; i < 30; ++i) SlotOf(0).samples[5][i] = 175005;
    ComputeSuspensionSpeed(0);
    EXPECT_EQ(At(0, 13, 5), 0);
    for (int i = 6; i <= 12; ++i) EXPECT_EQ(At(0, 13, i), 5000143) << i;
    EXPECT_EQ(At(0, 13, 13), 0);
}

TEST_F(DerivedChannelsTest, SlipRatio) {
    Build(0, 6, {{2, kCodeVFW}, {3, kCodeVRW}, {11, kCodeSlip}});
    Set(0, 2, {5000, 5001, 30000, 100000, 0, -6000});
    Set(0, 3, {9000, 6000, 29999, 112345, 9000, 9000});
    Fill(0, 11, 777);
    ComputeSlipRatio(0);
    // 999 x 100000 / 5001 = 19976.005; -1 x 100000 / 30000 = -3.33 -> -3;
    // 12345 x 100000 / 100000 = 12345; at or below 5 km/h the sample stays.
    EXPECT_EQ(Column(0, 11), (std::vector<int32_t>{777, 19976, -3, 12345, 777, 777}));

    // A front wheel speed in column 0 counts as missing, even with another one further on.
    Build(0, 6, {{0, kCodeVFW}, {2, kCodeVFW}, {3, kCodeVRW}, {11, kCodeSlip}});
    Fill(0, 0, 50000);
    Fill(0, 2, 50000);
    Fill(0, 11, 777);
    ComputeSlipRatio(0);
    EXPECT_EQ(At(0, 11, 3), 777);
}

TEST_F(DerivedChannelsTest, GpsSlipWithLag) {
    Build(0, 6, {{2, kCodeVFW}, {5, kCodeGpsSpeed}, {6, kCodeFrontGpsSlip}, {7, kCodeRearGpsSlip}});
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
    Build(0, 210, {{0, kCodeNe}, {3, kCodeVRW}, {14, kCodeReducRat}});
    Fill(0, 0, 9000000);
    Fill(0, 3, 70000);
    SlotOf(0).samples[3][205] = 20000; // not above 20 km/h
    SlotOf(0).samples[14][210] = 4242; // first spare entry past the end
    SlotOf(0).header.tireRear = 1900;
    // 1900 x -0.06 = -114; -114 / 70000 x 9000000 = -14657.14 -> -14657
    for (int lag : {200, 300}) { // 300 is held at 200
        Fill(0, 14, 777);
        g_derivedState.reductionRatioLag = lag;
        ComputeReductionRatio(0);
        EXPECT_EQ(At(0, 14, 0), 777);
        EXPECT_EQ(At(0, 14, 199), 777);
        EXPECT_EQ(At(0, 14, 200), -14657);
        EXPECT_EQ(At(0, 14, 205), 0);
        EXPECT_EQ(At(0, 14, 209), -14657);
        EXPECT_EQ(At(0, 14, 210), 4242);
    }
    g_derivedState.reductionRatioLag = 0;
    ComputeReductionRatio(0);
    EXPECT_EQ(At(0, 14, 0), -14657);
}

TEST_F(DerivedChannelsTest, SlipTrigger) {
    Build(0, 10,
          {{0, kCodeSlipTrigger},
           {3, kCodeSlipInputX},
           {4, kCodeSlipInputY},
           {6, kCodeSlipTrigger},
           {8, 300}});
    Slot& s = SlotOf(0);
    std::strcpy(s.channels[8].name, "SLIPTRG");
    Fill(0, 0, 999); // column 0 is never the target
    Fill(0, 3, 55000);
    Fill(0, 4, -42000);
    Fill(0, 6, 999);
    g_derivedState.slipTriggerMap = 4;
    ComputeSlipTrigger(0, 0);
    EXPECT_EQ(Column(0, 6), std::vector<int32_t>(10, 0)); // every map holds zeros
    EXPECT_STREQ(s.channels[6].name, "sSLIPTRG");
    EXPECT_STREQ(s.channels[6].unit, "%-5");
    EXPECT_EQ(s.channels[6].code, kCodeSlipTrigger);
    EXPECT_EQ(s.channels[6].conversion, 2);
    EXPECT_EQ(s.channels[6].decimals, 1);
    EXPECT_EQ(s.channelFlags[6], kChannelPresent | kChannelShown);
    EXPECT_EQ(g_derivedState.slipTriggerSource[0], 8);
    EXPECT_EQ(At(0, 0, 5), 999);

    // Input X only in column 0 counts as missing: the target is cleared and keeps its name.
    Build(0, 10, {{0, kCodeSlipInputX}, {4, kCodeSlipInputY}, {6, kCodeSlipTrigger}});
    std::strcpy(s.channels[6].name, "Trg");
    Fill(0, 6, 999);
    ComputeSlipTrigger(0, 6);
    EXPECT_EQ(Column(0, 6), std::vector<int32_t>(10, 0));
    EXPECT_STREQ(s.channels[6].name, "Trg");

    ComputeSlipTrigger(0, 9); // a column without a full buffer is never a target
    EXPECT_EQ(s.channelFlags[9], 0u);
}

} // namespace
} // namespace qvtk::test
