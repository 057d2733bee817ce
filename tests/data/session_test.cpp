// The file slots: closing, buffers, column bookkeeping, ranges, alignment with File 1 and the
// fixed channel table.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/fixed_channels.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class SessionModelTest : public ProgramTest {};

// Declares column c of a slot as a present logged channel (before the buffers are allocated).
void Define(FileSlot slot, int c, const char* name, ChannelCode code, uint8_t kind = 1) {
    Slot& s = SlotOf(slot);
    s.channelFlags[c] = kChannelPresent | kChannelShown;
    s.channels[c].code = code;
    s.channels[c].kind = kind;
    std::snprintf(s.channels[c].name, sizeof s.channels[c].name, "%s", name);
}

// Allocates the slot for `count` samples plus the spare entries, as a reader does.
void Allocate(FileSlot slot, int32_t count) {
    ASSERT_TRUE(AllocateSlotBuffers(slot, count + kSpareSamples));
    Slot& s = SlotOf(slot);
    s.sampleCount = count;
    s.file.fileKind = kFileFamily3;
    s.active = true;
}

void Fill(FileSlot slot, int c, int32_t value) {
    for (int32_t i = 0; i < SlotOf(slot).sampleCount; ++i) SlotOf(slot).samples[c][i] = value;
}

// "max min minCopy" of a column, for compact comparisons.
std::string Range(FileSlot slot, int c) {
    const ChannelRange& r = SlotOf(slot).range;
    return std::to_string(r.max[c]) + " " + std::to_string(r.min[c]) + " " +
           std::to_string(r.minCopy[c]);
}
std::string RangeByCode(FileSlot slot, int code) {
    const ChannelRange& r = SlotOf(slot).range;
    return std::to_string(r.maxByCode[code]) + " " + std::to_string(r.minByCode[code]);
}

// "name|unit|code|kind|decimals" of a column.
std::string Describe(FileSlot slot, int c) {
    const ChannelInfo& i = SlotOf(slot).channels[c];
    return std::string(i.name) + "|" + i.unit + "|" + std::to_string(i.code) + "|" +
           std::to_string(i.kind) + "|" + std::to_string(i.decimals);
}

TEST_F(SessionModelTest, EmptyAndClosedSlotsAreConsistent) {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        ExpectClosed(slot);
        EXPECT_EQ(SlotOf(slot).capacity, kSpareSamples);
        for (int c = 0; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(SlotOf(slot), c));
    }
    EXPECT_TRUE(SlotOf(0).active);
    EXPECT_FALSE(SlotOf(1).active);

    Define(1, 2, "VFW", kCodeVFW);
    Allocate(1, 3000);
    Slot& s = SlotOf(1);
    s.laps.marks[1] = 1200;
    s.laps.marks[2] = s.laps.marks[3] = 3000;
    s.laps.count = 2;
    s.cursorPosition = 700;
    CloseSlot(1);
    ExpectClosed(1);
    EXPECT_EQ(s.capacity, kSpareSamples);
    EXPECT_FALSE(s.active);
    EXPECT_EQ(s.cursorPosition, 0);
    CloseSlot(1); // closing again changes nothing
    ExpectClosed(1);
    EXPECT_EQ(s.capacity, kSpareSamples);

    CloseSlot(0);
    EXPECT_TRUE(SlotOf(0).active);
}

TEST_F(SessionModelTest, ClosingForgetsTheFirstLapsDistance) {
    Define(0, 2, "VFW", kCodeVFW);
    Allocate(0, 3000);
    SlotOf(0).laps.lapDistance[1] = 50000; // entry k holds the lap that ends at mark k
    CloseSlot(0);
    EXPECT_EQ(SlotOf(0).laps.lapDistance[0], 0);
    EXPECT_EQ(SlotOf(0).laps.lapDistance[1], 0);
}

TEST_F(SessionModelTest, AllocationFailureReportsAndTheCloseLeavesAConsistentSlot) {
    Define(1, 0, "Ne", kCodeNe);
    Allocate(1, 10);
    Fill(1, 0, 4321);
    for (int c = 0; c < 14; ++c) Define(0, c, "x", ChannelCode(c + 1));

    FailAllocationsAfterBytesForTesting(1000);
    EXPECT_FALSE(AllocateSlotBuffers(0, 1000000));
    EXPECT_TRUE(SawMessage("Memory Error!!", "Memory Ensure Error.(Data Main buffers)"));
    FailAllocationsAfterBytesForTesting(0);
    CloseSlot(0);
    ExpectClosed(0);
    EXPECT_EQ(SlotOf(0).capacity, kSpareSamples);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(SlotOf(0), c)) << c;
    EXPECT_EQ(SampleAt(1, 0, 9), 4321); // the other slot is untouched

    // Memory still short while closing: no column may claim a full buffer it does not own.
    FailAllocationsAfterBytesForTesting(1);
    CloseSlot(0);
    ExpectClosed(0);
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_TRUE(!IsPresent(SlotOf(0), c) || HasFullBuffer(SlotOf(0), c)) << c;
    EXPECT_EQ(SampleAt(0, 0, 0), 0);
}

TEST_F(SessionModelTest, GrowKeepsContentsAndClearZeroes) {
    Define(0, 2, "VRW", kCodeVRW);
    ASSERT_TRUE(AllocateSlotBuffers(0, 10));
    Slot& s = SlotOf(0);
    for (int i = 0; i < 10; ++i) {
        s.samples[2][i] = 100 + i;
        s.gps.lat[i] = -7 * i;
        s.distance.front[i] = 3u * i;
    }
    ASSERT_TRUE(GrowSlotBuffers(0, 20));
    EXPECT_EQ(s.capacity, 20);
    EXPECT_TRUE(HasFullBuffer(s, 2));
    EXPECT_EQ(s.samples[2][9], 109);
    EXPECT_EQ(s.gps.lat[9], -63);
    EXPECT_EQ(s.distance.front[9], 27u);
    for (int i = 10; i < 20; ++i) EXPECT_EQ(s.samples[2][i] | s.gps.lat[i], 0);

    s.samples[5][0] = 9; // column 5 is absent: only its placeholder entry is cleared
    s.gps.status[3] = 2;
    s.sampleMarks[3] = 1;
    s.distance.selected[3] = 44;
    ClearSlotBuffers(0, 6);
    EXPECT_EQ(s.samples[5][0], 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.samples[2][i], 0);
    EXPECT_EQ(s.samples[2][6], 106);
    EXPECT_EQ(s.gps.status[3] + s.sampleMarks[3] + s.gps.lat[5], 0);
    EXPECT_EQ(s.distance.selected[3] + s.distance.front[5], 0u);
}

TEST_F(SessionModelTest, SwapLookupAndIndexByCode) {
    Define(0, 1, "VFW", kCodeVFW);
    Define(0, 3, "Oil", 300);
    Define(0, 4, "VFW2", kCodeVFW);
    Define(0, 6, "Last", 318);
    SlotOf(0).channels[2].code = kCodeVRW; // named but absent
    Define(1, 0, "LAF1", kCodeLAF1);
    Allocate(0, 40);
    Fill(0, 1, 61000);
    BuildChannelIndexByCode();
    const uint8_t* index = g_session.channelIndexByCode;
    EXPECT_EQ(index[kCodeVFW], 1); // the first column with the code wins
    EXPECT_EQ(index[300], 3);
    EXPECT_EQ(index[318], 6);
    EXPECT_EQ(index[kCodeVRW], kColumnNotPresent);
    EXPECT_EQ(index[kCodeLAF1], kColumnNotPresent); // only File 1 counts
    EXPECT_EQ(FindColumnByCode(0, kCodeVFW), 1);
    EXPECT_EQ(FindColumnByCode(0, kCodeVFW, 2), 4);
    EXPECT_EQ(FindColumnByCode(0, kCodeVRW), -1);
    EXPECT_EQ(SampleAt(0, 1, 39), 61000);
    EXPECT_EQ(SampleAt(0, 1, 40), 0);
    EXPECT_EQ(SampleAt(0, 1, -1), 0);
}

TEST_F(SessionModelTest, SwapMovesBufferRecordAndFlagsTogether) {
    Define(0, 1, "VFW", kCodeVFW);
    Allocate(0, 40);
    Fill(0, 1, 61000);
    SwapColumns(0, 1, 5); // column 5 has only a placeholder
    Slot& s = SlotOf(0);
    EXPECT_FALSE(IsPresent(s, 1));
    EXPECT_FALSE(HasFullBuffer(s, 1));
    ASSERT_TRUE(IsPresent(s, 5));
    EXPECT_TRUE(HasFullBuffer(s, 5));
    EXPECT_STREQ(s.channels[5].name, "VFW");
    EXPECT_EQ(SampleAt(0, 5, 39), 61000);
}

TEST_F(SessionModelTest, RangesOfShortRecordingsKeepSampleK) {
    Define(0, 0, "Ne", kCodeNe);
    Define(0, 2, "TPS", kCodeTPS);
    Define(0, 4, "VFW", kCodeVFW);
    SlotOf(0).channels[7].code = kCodeVFW; // an absent column with a present column's code
    SlotOf(0).channels[8].code = kCodeLAF2;
    Allocate(0, 50);
    Slot& s = SlotOf(0);
    for (int i = 0; i < 50; ++i) {
        s.samples[0][i] = 12000000;
        s.samples[2][i] = 10 * i;
        s.samples[4][i] = -i;
    }
    ComputeChannelRanges(0); // k = 50 / 2 = 25
    EXPECT_EQ(Range(0, 2), "250 250 250");
    EXPECT_EQ(RangeByCode(0, kCodeTPS), "250 250");
    EXPECT_EQ(RangeByCode(0, kCodeVFW), "-25 -25");
    EXPECT_EQ(Range(0, 7), "100000 0 0");
    EXPECT_EQ(RangeByCode(0, kCodeLAF2), "100000 0");

    Define(0, 2, "TPS", kCodeTPS);
    Allocate(0, 199); // k = 100, and no scan below 200 samples
    for (int i = 0; i < 199; ++i) {
        s.samples[0][i] = 12000000;
        s.samples[2][i] = 10 * i;
    }
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(0, 2), "1000 1000 1000");
}

TEST_F(SessionModelTest, RangesCountOnlySamplesWithTheEngineRunning) {
    Define(0, 0, "Ne", kCodeNe);
    Define(0, 2, "FrSUS", kCodeFrSUS);
    Define(0, 3, "Spare", kCodeAUX1, 0); // kind 0: never scanned
    Allocate(0, 400);                    // scan 100..299
    Slot& s = SlotOf(0);
    Fill(0, 0, 12000);
    Fill(0, 2, 500);
    Fill(0, 3, 7);
    s.samples[2][99] = -5000;  // before the scan
    s.samples[2][100] = 100;   // first scanned sample
    s.samples[2][299] = 900;   // last scanned sample
    s.samples[2][300] = 88888; // after the scan
    s.samples[0][150] = 9000;  // engine speed at 9000 is not above it
    s.samples[2][150] = 99999;
    s.samples[0][200] = 15000;
    s.samples[3][200] = 70000;
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(0, 2), "900 100 100");
    EXPECT_EQ(RangeByCode(0, kCodeFrSUS), "900 100");
    EXPECT_EQ(Range(0, 0), "15000 12000 12000");
    EXPECT_EQ(Range(0, 3), "7 7 7");

    // Without column 0 no sample counts: every column keeps sample 100.
    s.channelFlags[0] = 0;
    ComputeChannelRanges(0);
    EXPECT_EQ(Range(0, 2), "100 100 100");
}

TEST_F(SessionModelTest, AutoDisplayNeedsMoreThan2000SamplesAndTheSetting) {
    Define(0, 0, "Ne", kCodeNe);
    Define(0, 2, "VFW", kCodeVFW);
    Define(0, 3, "VB", kCodeVB);
    Allocate(0, 2000);
    Slot& s = SlotOf(0);
    Fill(0, 0, 12000);
    Fill(0, 3, 12500);
    for (int i = 0; i < 2000; ++i) s.samples[2][i] = i;
    ComputeChannelRanges(0);
    EXPECT_EQ(s.autoDisplay[2], 0);

    s.sampleCount = 2001;
    ComputeChannelRanges(0);
    EXPECT_EQ(s.autoDisplay[2], 1);
    EXPECT_EQ(s.autoDisplay[3], 0); // constant
    EXPECT_EQ(s.autoDisplay[5], 0); // absent (100000 / 0)

    g_settings.AutoOnOffLoad = 0;
    s.autoDisplay[3] = 1;
    s.samples[2][500] = 0; // still varies, but the flags are left as they are
    ComputeChannelRanges(0);
    EXPECT_EQ(s.autoDisplay[3], 1);
}

TEST_F(SessionModelTest, File2IsShownInFile1sColumnOrder) {
    const struct {
        int column;
        const char* name;
        ChannelCode code;
    } file1[] = {{0, "Ne", 3},     {1, "TPS", 4},    {2, "VFW", 6},   {3, "Oil", 17},
                 {4, "Temp", 300}, {5, "Gear", 255}, {8, "Lean", 280}},
      file2[] = {{0, "VFW", 6},   {1, "Rpm", 3},   {2, "TPS", 4},   {3, "G", 255},
                 {4, "Brake", 5}, {6, "Oil", 300}, {7, "Temp", 260}};
    for (const auto& c : file1) Define(0, c.column, c.name, c.code);
    for (const auto& c : file2) Define(1, c.column, c.name, c.code);
    Allocate(0, 20);
    Allocate(1, 20);
    for (const auto& c : file2) Fill(1, c.column, 1000 + c.column);

    AlignColumnsWithFile1(1);
    const Slot& s = SlotOf(1);
    // name, code and the column the data came from; "Gear" (255) is never matched by code.
    const char* expected[] = {"Rpm 3 1001",  "TPS 4 1002",    "VFW 6 1000",
                              "Oil 17 1006", "Temp 300 1007", "absent",
                              "G 255 1003",  "Brake 5 1004",  "absent"};
    for (int c = 0; c < 9; ++c) {
        std::string got = IsPresent(s, c) ? std::string(s.channels[c].name) + " " +
                                                std::to_string(s.channels[c].code) + " " +
                                                std::to_string(SampleAt(1, c, 19))
                                          : "absent";
        EXPECT_EQ(got, expected[c]) << c;
    }
    EXPECT_EQ(s.channels[8].code, 280); // File 1's file-named code reaches every column
}

TEST_F(SessionModelTest, AlignmentMovesAChannelIntoAColumnWithoutData) {
    Define(0, 0, "Ne", kCodeNe);
    Define(0, 1, "VFW", kCodeVFW);
    Define(1, 0, "Ne", kCodeNe);
    Define(1, 5, "Front", kCodeVFW);
    Allocate(0, 20);
    Allocate(1, 20);
    Fill(1, 5, 88000);
    AlignColumnsWithFile1(1);
    const Slot& s = SlotOf(1);
    EXPECT_STREQ(s.channels[1].name, "Front");
    EXPECT_TRUE(HasFullBuffer(s, 1));
    EXPECT_EQ(SampleAt(1, 1, 19), 88000);
    EXPECT_FALSE(IsPresent(s, 5));
    EXPECT_FALSE(HasFullBuffer(s, 5));
}

TEST_F(SessionModelTest, FixedChannelTable) {
    NameFixedChannels(0);
    const char* table[] = {
        "Ne|rpm|3|1|0",       "TPS|%  |4|1|1",      "VFW|km/h|6|1|1",  "VRW|km/h|7|1|1",
        "FrSUS|mm  |9|1|1",   "RrSUS|mm  |10|1|1",  "LAF1|A/F|11|1|2", "LAF2|A/F|12|1|2",
        "VB|V  |1|1|2",       "AUX1||17|1|2",       "AUX2||18|1|2",    "Slip%|%|8|1|2",
        "VFrSUS|mm/s|19|2|2", "VRrSUS|mm/s|20|2|2", "14||0|0|0"}; // 14 outside debug mode
    const Slot& s = SlotOf(0);
    for (int c = 0; c < 15; ++c) {
        EXPECT_EQ(Describe(0, c), table[c]);
        EXPECT_EQ(s.channelFlags[c], c < 14 ? kChannelPresent | kChannelShown : 0u) << c;
    }
    EXPECT_STREQ(s.channels[63].name, "63");

    g_settings.Debug = 1;
    NameFixedChannels(0);
    EXPECT_EQ(Describe(0, 14), "ReducRat| |23|2|3");
    EXPECT_EQ(s.channelFlags[14], kChannelPresent | kChannelShown);
    EXPECT_EQ(s.channels[10].code, kCodeShifter);

    // File 2 while File 1 is empty: named as File 1 would be.
    g_settings.Debug = 0;
    g_settings.Shifter = 1;
    NameFixedChannels(1);
    EXPECT_EQ(SlotOf(1).channels[10].code, kCodeAUX2); // the shifter code is File 1's only
    EXPECT_EQ(SlotOf(1).channelFlags[13], kChannelPresent | kChannelShown);

    // With File 1 loaded, File 2 has a column exactly where File 1 has either flag.
    NameFixedChannels(0);
    EXPECT_EQ(s.channels[10].code, kCodeShifter);
    Slot& base = SlotOf(0);
    base.file.fileKind = kFileFamily3;
    base.channelFlags[3] = kChannelShown;
    base.channelFlags[4] = kChannelPresent;
    base.channelFlags[5] = 0;
    NameFixedChannels(1);
    EXPECT_EQ(SlotOf(1).channelFlags[3], kChannelPresent | kChannelShown);
    EXPECT_EQ(SlotOf(1).channelFlags[4], kChannelPresent | kChannelShown);
    EXPECT_EQ(SlotOf(1).channelFlags[5], 0u);
    EXPECT_STREQ(SlotOf(1).channels[5].name, "RrSUS");
}

} // namespace
} // namespace qvtk::test
