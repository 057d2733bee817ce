// The file slots: closing, buffers, column bookkeeping, ranges, alignment with File 1 and the
// fixed channel table.
#include <string>
#include <tuple>

#include "data/fixed_channels.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

using SessionModelTest = ProgramTest;

// "max min minCopy" of a column, "max min" of a code, for compact comparisons.
std::string Range(int c) {
    const ChannelRange& r = SlotOf(0).range;
    return std::to_string(r.max[c]) + " " + std::to_string(r.min[c]) + " " +
           std::to_string(r.minCopy[c]);
}
std::string RangeByCode(int code) {
    const ChannelRange& r = SlotOf(0).range;
    return std::to_string(r.maxByCode[code]) + " " + std::to_string(r.minByCode[code]);
}

TEST_F(SessionModelTest, EmptyAndClosedSlotsAreConsistent) {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        ExpectClosed(slot);
        EXPECT_EQ(std::tuple(SlotOf(slot).capacity, SlotOf(slot).active),
                  std::tuple(kSpareSamples, slot == 0));
        for (int c = 0; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(SlotOf(slot), c));
    }
    Slot& s = MakeRecording(1, 3000, {{2, kCodeVFW}});
    s.laps.marks[1] = 1200;
    s.laps.marks[2] = s.laps.marks[3] = 3000;
    s.laps.count = 2;
    s.laps.lapDistance[1] = 50000; // entry k holds the lap that ends at mark k
    s.cursorPos = 700;
    for (int round = 0; round < 2; ++round) { // closing again changes nothing
        CloseSlot(1);
        ExpectClosed(1);
        EXPECT_EQ(std::tuple(s.capacity, s.active, s.cursorPos, s.laps.lapDistance[1]),
                  std::tuple(kSpareSamples, false, int64_t(0), 0));
    }
    CloseSlot(0);
    EXPECT_TRUE(SlotOf(0).active);
}

TEST_F(SessionModelTest, AllocationFailureReportsAndTheCloseLeavesAConsistentSlot) {
    MakeRecording(1, 10, {{0, kCodeNe}});
    Fill(1, 0, 4321);
    Slot& s = SlotOf(0);
    for (int c = 0; c < 14; ++c) s.channelFlags[c] = kChannelPresent | kChannelShown;
    FailAllocationsAfterBytesForTesting(1000);
    EXPECT_FALSE(AllocateSlotBuffers(0, 1000000));
    EXPECT_TRUE(SawMessage("Memory Error!!", "Memory Ensure Error.(Data Main buffers)"));
    FailAllocationsAfterBytesForTesting(0);
    CloseSlot(0);
    ExpectClosed(0);
    EXPECT_EQ(s.capacity, kSpareSamples);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(s, c)) << c;
    EXPECT_EQ(SampleAt(1, 0, 9), 4321); // the other slot is untouched

    // Memory still short while closing: no column may claim a full buffer it does not own.
    FailAllocationsAfterBytesForTesting(1);
    CloseSlot(0);
    ExpectClosed(0);
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_TRUE(!IsPresent(s, c) || HasFullBuffer(s, c)) << c;
    EXPECT_EQ(SampleAt(0, 0, 0), 0);
}

TEST_F(SessionModelTest, GrowKeepsContentsAndClearZeroes) {
    Slot& s = SlotOf(0);
    s.channelFlags[2] = kChannelPresent;
    ASSERT_TRUE(AllocateSlotBuffers(0, 10));
    for (int i = 0; i < 10; ++i) {
        s.samples[2][i] = 100 + i;
        s.gps.lat[i] = -7 * i;
        s.distance.front[i] = 3u * i;
    }
    ASSERT_TRUE(GrowSlotBuffers(0, 20));
    EXPECT_EQ(std::tuple(s.capacity, HasFullBuffer(s, 2)), std::tuple(20, true));
    EXPECT_EQ(std::tuple(s.samples[2][9], s.gps.lat[9], s.distance.front[9]),
              std::tuple(109, -63, 27u));
    for (int i = 10; i < 20; ++i) EXPECT_EQ(s.samples[2][i] | s.gps.lat[i], 0);

    s.samples[5][0] = 9; // column 5 is absent: only its placeholder entry is cleared
    s.gps.status[3] = 2;
    s.sampleMarks[3] = 1;
    s.distance.selected[3] = 44;
    ClearSlotBuffers(0, 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.samples[2][i], 0);
    EXPECT_EQ(std::tuple(s.samples[5][0], s.samples[2][6]), std::tuple(0, 106));
    EXPECT_EQ(s.gps.status[3] + s.sampleMarks[3] + s.gps.lat[5], 0);
    EXPECT_EQ(s.distance.selected[3] + s.distance.front[5], 0u);
}

TEST_F(SessionModelTest, LookupByCodeAndSwapMovesBufferRecordAndFlagsTogether) {
    MakeRecording(1, 5, {{0, kCodeLAF1}});
    Slot& s = MakeRecording(0, 40, {{1, kCodeVFW, "VFW"}, {3, 300}, {4, kCodeVFW}, {6, 318}});
    s.channels[2].code = kCodeVRW; // named but absent
    Fill(0, 1, 61000);
    BuildChannelIndexByCode();
    const uint8_t* index = g_session.channelIndexByCode;
    // The first column with a code wins; only File 1 counts.
    EXPECT_EQ(
        std::tuple(index[kCodeVFW], index[300], index[318], index[kCodeVRW], index[kCodeLAF1]),
        std::tuple(1, 3, 6, kColumnNotPresent, kColumnNotPresent));
    EXPECT_EQ(std::tuple(FindColumnByCode(0, kCodeVFW), FindColumnByCode(0, kCodeVFW, 2),
                         FindColumnByCode(0, kCodeVRW)),
              std::tuple(1, 4, -1));
    EXPECT_EQ(std::tuple(SampleAt(0, 1, 39), SampleAt(0, 1, 40), SampleAt(0, 1, -1)),
              std::tuple(61000, 0, 0));

    SwapColumns(0, 1, 5); // column 5 has only a placeholder
    EXPECT_EQ(
        std::tuple(IsPresent(s, 1), HasFullBuffer(s, 1), IsPresent(s, 5), HasFullBuffer(s, 5)),
        std::tuple(false, false, true, true));
    EXPECT_STREQ(s.channels[5].name, "VFW");
    EXPECT_EQ(SampleAt(0, 5, 39), 61000);
}

TEST_F(SessionModelTest, RangesKeepSampleKScanOnlyWithTheEngineRunningAndSetAutoDisplay) {
    // Below 200 samples no scan: sample k = count / 2 (at most 100).
    Slot& s = MakeRecording(0, 50, {{0, kCodeNe}, {2, kCodeTPS}, {4, kCodeVFW}});
    s.channels[7].code = kCodeVFW; // an absent column with a present column's code
    s.channels[8].code = kCodeLAF2;
    Fill(0, 0, 12000000);
    for (int i = 0; i < 50; ++i) s.samples[2][i] = 10 * i, s.samples[4][i] = -i;
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(2) + " / " + Range(7), "250 250 250 / 100000 0 0");
    EXPECT_EQ(RangeByCode(kCodeTPS) + " / " + RangeByCode(kCodeVFW) + " / " +
                  RangeByCode(kCodeLAF2),
              "250 250 / -25 -25 / 100000 0");
    MakeRecording(0, 199, {{0, kCodeNe}, {2, kCodeTPS}});
    Fill(0, 0, 12000000);
    for (int i = 0; i < 199; ++i) s.samples[2][i] = 10 * i;
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(2), "1000 1000 1000");

    // 2001 samples: the scan covers samples 100..1900 where the engine runs above 9000.
    MakeRecording(0, 2001, {{0, kCodeNe}, {2, kCodeFrSUS}, {3, kCodeAUX1, "Spare", 0}});
    Fill(0, 0, 12000);
    Fill(0, 2, 500);
    Fill(0, 3, 7);
    s.samples[2][99] = -5000;   // before the scan
    s.samples[2][100] = 100;    // first scanned sample
    s.samples[2][1900] = 900;   // last scanned sample
    s.samples[2][1901] = 88888; // after the scan
    s.samples[0][150] = 9000;   // engine speed at 9000 is not above it
    s.samples[2][150] = 99999;
    s.samples[0][200] = 15000;
    s.samples[3][200] = 70000; // kind 0: never scanned
    s.sampleCount = 2000;      // shown automatically only above 2000 samples
    ComputeChannelRanges(0);
    EXPECT_EQ(s.autoDisplay[2], 0);
    s.sampleCount = 2001;
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(2) + " / " + RangeByCode(kCodeFrSUS), "900 100 100 / 900 100");
    EXPECT_EQ(Range(0) + " / " + Range(3), "15000 12000 12000 / 7 7 7");
    // A column that varies is shown, not a constant or an absent one (100000 / 0).
    EXPECT_EQ(std::tuple(s.autoDisplay[2], s.autoDisplay[3], s.autoDisplay[5]),
              std::tuple(1, 0, 0));
    g_settings.AutoOnOffLoad = 0;
    s.autoDisplay[3] = 1; // without the setting the flags are left as they are
    ComputeChannelRanges(0);
    EXPECT_EQ(s.autoDisplay[3], 1);
    s.channelFlags[0] = 0; // without column 0 no sample counts: every column keeps sample 100
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(2), "100 100 100");
}

TEST_F(SessionModelTest, File2IsShownInFile1sColumnOrder) {
    const std::vector<TestChannel> file1 = {{0, 3, "Ne"},     {1, 4, "TPS"},    {2, 6, "VFW"},
                                            {3, 17, "Oil"},   {4, 300, "Temp"}, {5, 255, "Gear"},
                                            {8, 280, "Lean"}, {9, 290, "Pit"}};
    const std::vector<TestChannel> file2 = {{0, 6, "VFW"},    {1, 3, "Rpm"},    {2, 4, "TPS"},
                                            {3, 255, "G"},    {4, 5, "Brake"},  {6, 300, "Oil"},
                                            {7, 260, "Temp"}, {10, 281, "Lean"}};
    MakeRecording(0, 20, file1);
    const Slot& s = MakeRecording(1, 20, file2);
    for (int c : {0, 1, 2, 3, 4, 6, 7, 10}) Fill(1, c, 1000 + c);
    AlignColumnsWithFile1(1);
    // Name, code and the column the data came from: matched by name, else by code ("Gear",
    // 255, never by code); "Lean" moves into a column without data and leaves none behind.
    const char* expected[] = {"Rpm 3 1001",    "TPS 4 1002", "VFW 6 1000", "Oil 17 1006",
                              "Temp 300 1007", "absent",     "G 255 1003", "Brake 5 1004",
                              "Lean 280 1010", "absent",     "absent"};
    for (int c = 0; c < 11; ++c) {
        std::string got = IsPresent(s, c) ? std::string(s.channels[c].name) + " " +
                                                std::to_string(s.channels[c].code) + " " +
                                                std::to_string(SampleAt(1, c, 19))
                                          : "absent";
        EXPECT_EQ(got, expected[c]) << c;
    }
    EXPECT_FALSE(HasFullBuffer(s, 10));
    EXPECT_EQ(s.channels[9].code, 290); // File 1's file-named code reaches every column
}

TEST_F(SessionModelTest, FixedChannelTable) {
    NameFixedChannels(0);
    const char* table[] = {
        "Ne|rpm|3|1|0",       "TPS|%  |4|1|1",      "VFW|km/h|6|1|1",  "VRW|km/h|7|1|1",
        "FrSUS|mm  |9|1|1",   "RrSUS|mm  |10|1|1",  "LAF1|A/F|11|1|2", "LAF2|A/F|12|1|2",
        "VB|V  |1|1|2",       "AUX1||17|1|2",       "AUX2||18|1|2",    "Slip%|%|8|1|2",
        "VFrSUS|mm/s|19|2|2", "VRrSUS|mm/s|20|2|2", "14||0|0|0"}; // 14 outside debug mode
    const Slot& s = SlotOf(0);
    // "name|unit|code|kind|decimals" of a column.
    auto describe = [](FileSlot slot, int c) {
        const ChannelInfo& i = SlotOf(slot).channels[c];
        return std::string(i.name) + "|" + i.unit + "|" + std::to_string(i.code) + "|" +
               std::to_string(i.kind) + "|" + std::to_string(i.decimals);
    };
    for (int c = 0; c < 15; ++c) {
        EXPECT_EQ(describe(0, c), table[c]);
        EXPECT_EQ(s.channelFlags[c], c < 14 ? kChannelPresent | kChannelShown : 0u) << c;
    }
    EXPECT_STREQ(s.channels[63].name, "63");

    g_settings.Debug = 1;
    NameFixedChannels(0);
    EXPECT_EQ(describe(0, 14), "ReducRat| |23|2|3");
    EXPECT_EQ(std::tuple(s.channelFlags[14], s.channels[10].code),
              std::tuple(kChannelPresent | kChannelShown, kCodeShifter));

    // File 2 while File 1 is empty: named as File 1 would be, but the shifter code is File 1's.
    g_settings.Debug = 0;
    g_settings.Shifter = 1;
    NameFixedChannels(1);
    EXPECT_EQ(std::tuple(SlotOf(1).channels[10].code, SlotOf(1).channelFlags[13]),
              std::tuple(kCodeAUX2, kChannelPresent | kChannelShown));

    // With File 1 loaded, File 2 has a column exactly where File 1 has either flag.
    NameFixedChannels(0);
    EXPECT_EQ(s.channels[10].code, kCodeShifter);
    Slot& base = SlotOf(0);
    base.file.fileKind = kFileFamily3;
    base.channelFlags[3] = kChannelShown;
    base.channelFlags[4] = kChannelPresent;
    base.channelFlags[5] = 0;
    NameFixedChannels(1);
    EXPECT_EQ(
        std::tuple(SlotOf(1).channelFlags[3], SlotOf(1).channelFlags[4], SlotOf(1).channelFlags[5]),
        std::tuple(kChannelPresent | kChannelShown, kChannelPresent | kChannelShown, 0u));
    EXPECT_STREQ(SlotOf(1).channels[5].name, "RrSUS");
}

} // namespace
} // namespace qvtk::test
