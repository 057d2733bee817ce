// The CAN logger's channel table: descriptors written and read back by the recording reader,
// the in-place rewrite of a recorded ride, and the edit rules of the channel dialogs.
#include <climits>

#include "logger/can_setup_file.h"
#include "logger/channel_edit.h"
#include "logger/channel_functions.h"
#include "logger/channel_table_file.h"
#include "tests/data/family4_fixture.h"
#include "tests/logger/can_fixture.h"

namespace qvtk {
namespace {

using test::CanLoggerTest;

ChannelSetting Channel(uint8_t mode, uint16_t function, uint8_t conversion, int32_t a1 = 0,
                       int32_t a2 = 0, int32_t b = 0) {
    ChannelSetting c;
    c.mode = mode;
    c.function = function;
    c.conversion = conversion;
    c.a1 = a1;
    c.a2 = a2;
    c.b = b;
    return c;
}

TEST_F(CanLoggerTest, DescriptorsOfEveryConversionAreReadBackAsWritten) {
    ChannelSettingTable& t = g_channelSettings.slots[0];
    t[0] = Channel(1, 3, 0);
    t[1] = Channel(1, 4, 1, 400000, 3600000, 777); // b is no part of a percentage
    t[2] = Channel(0, 6, 2, 5, 0, 1);              // disabled: not in a setup file
    t[3] = Channel(1, 300, 2, 5, 1000, -2500);     // a file-named function
    t[3].signedRaw = t[3].bitDepth = t[3].extendId = t[3].lock = t[3].extraFlag = 1;
    t[3].canId = 0x1FFFFFFF;
    t[3].sampleTime = 8;
    t[3].canPort = 1;
    t[3].bitShift = 63;
    t[3].dataMask = 0x0FF0;
    t[3].decimals = 3;
    TypeChannelText(t[3].name, "BRAKE12");
    TypeChannelText(t[3].unit, "bar");
    t[4] = Channel(1, 9, 3, 1500, -250, 100);
    t[5] = Channel(1, 24, 4, 9, 9, 9);
    t[6] = Channel(3, 66, 5);
    for (int k = 0; k < 10; ++k) {
        t[6].tableX[k] = -1000 + 300 * k;
        t[6].tableY[k] = k * k * 1000 - 7;
    }
    t[7] = Channel(2, 19, 0);
    ASSERT_TRUE(SaveCanSetupFile(Path("SETUP.QVL"), {}, {"track.crs", {}}));
    const std::vector<uint8_t> file = Contents(Path("SETUP.QVL"));
    ASSERT_EQ(file.size(), 8192u);
    // Conversions 0 and 4 carry 1, 1, 0; a percentage carries no b; then zeros to the end.
    const std::vector<uint8_t> none = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 512 + 32, file.begin() + 512 + 48), none);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 560 + 40, file.begin() + 560 + 44),
              std::vector<uint8_t>(4, 0));
    EXPECT_EQ(file[608 + 1], 0); // function 300
    EXPECT_EQ(file[608 + 12], 7);
    const size_t end = 512 + 6 * 48 + 112;
    EXPECT_EQ(std::count(file.begin() + end, file.end(), 0), ptrdiff_t(8192 - end));

    const ChannelSettingTable written = t; // loading the file replaces File 1's table
    ClearRecordedMessages();
    test::Load(0, "SETUP.QVL", file);
    EXPECT_FALSE(test::SawMessage("File Error!!", "File Error."));
    const Slot& s = SlotOf(0);
    struct Expect {
        int column, setting;
        int kind, code, calA, calB, calOffset;
    };
    const Expect expected[] = {{0, 0, 1, 3, 1000, 1000, 0},    {1, 1, 1, 4, 400000, 3600000, 0},
                               {2, 3, 1, 256, 5, 1000, -2500}, {3, 4, 1, 9, 1500, -250, 100},
                               {4, 5, 1, 24, 1000, 1000, 0},   {5, 6, 3, 66, 1000, 1000, 0},
                               {6, 7, 2, 19, 1000, 1000, 0}};
    for (const Expect& e : expected) {
        const ChannelInfo& c = s.channels[e.column];
        const ChannelSetting& w = written[size_t(e.setting)];
        EXPECT_EQ(std::tuple(int(c.kind), int(c.code), c.calA, c.calB, c.calOffset),
                  std::tuple(e.kind, e.code, e.calA, e.calB, e.calOffset))
            << e.column;
        EXPECT_EQ(std::tuple(c.conversion, c.sampleTimeIndex, c.canPort, c.canId, c.dataMask,
                             c.bitDepth, c.bitShift, c.extendId, c.flag1, c.lock, c.decimals,
                             c.signedRaw, std::string(c.name), std::string(c.unit)),
                  std::tuple(w.conversion, w.sampleTime, w.canPort, w.canId, w.dataMask, w.bitDepth,
                             w.bitShift, w.extendId, w.extraFlag, w.lock, w.decimals, w.signedRaw,
                             std::string(w.name), std::string(w.unit)))
            << e.column;
    }
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(std::tuple(s.channels[5].tableIn[k], s.channels[5].tableOut[k]),
                  std::tuple(written[6].tableX[k], written[6].tableY[k]));
    EXPECT_FALSE(IsPresent(s, 7));
}

TEST_F(CanLoggerTest, SixtyFourTableChannelsFitAndNoChannelLeavesTheHeaderAlone) {
    for (ChannelSetting& c : g_channelSettings.slots[0]) c = Channel(1, 3, 5);
    EXPECT_TRUE(SaveCanSetupFile(Path("full.QVL"), {}, {}));
    EXPECT_EQ(Contents(Path("full.QVL"))[512 + 63 * 112], 1);
    for (ChannelSetting& c : g_channelSettings.slots[0]) c.mode = 0;
    EXPECT_TRUE(SaveCanSetupFile(Path("empty.QVL"), {}, {}));
    const std::vector<uint8_t> empty = Contents(Path("empty.QVL"));
    ASSERT_EQ(empty.size(), 8192u);
    EXPECT_EQ(std::count(empty.begin() + 512, empty.end(), 0), 8192 - 512);
}

// What the rewrite may change: the table from 512 on.
std::vector<uint8_t> OutsideTheTable(std::vector<uint8_t> file) {
    std::fill(file.begin() + 512, file.begin() + 8192, 0);
    return file;
}

TEST_F(CanLoggerTest, OverwritingARecordedTableKeepsEveryRecordedColumn) {
    const std::string path = OpenSimulatedRide();
    const std::vector<uint8_t> before = Contents(path);
    const Slot& s = SlotOf(0);
    ASSERT_EQ(std::string(s.channels[5].name), "FrSUS");
    ASSERT_EQ(s.channels[5].conversion, 5);
    std::vector<std::vector<int32_t>> samples(kColumnCount);
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c) && s.channels[c].kind != 2)
            samples[size_t(c)].assign(s.samples[c], s.samples[c] + s.sampleCount);

    BeginChannelEditing();
    g_workingChannels[2].mode = kModeDisable;            // TPS, a middle channel
    g_workingChannels[7].mode = kModeDisable;            // the GPS positions: 17-byte items skipped
    g_workingChannels[5] = Channel(1, 9, 2, 1000, 0, 0); // the table of 112 bytes becomes 48
    TypeChannelText(g_workingChannels[4].name, "REAR");
    CommitChannelTable();
    ASSERT_TRUE(OverwriteChannelTableInLogFile(g_channelSettings.slots[0]));
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));

    const std::vector<uint8_t> after = Contents(path);
    EXPECT_EQ(OutsideTheTable(after), OutsideTheTable(before));
    const size_t end = 512 + 63 * 48 + 112; // one ten-point table is left
    EXPECT_EQ(std::count(after.begin() + end, after.begin() + 8192, 0), ptrdiff_t(8192 - end));
    EXPECT_EQ(std::tuple(after[512 + 2 * 48], after[512 + 2 * 48 + 1]), std::tuple(0, 4));

    // File 1 is the rewritten file again: the disabled column is gone, all others as recorded.
    EXPECT_EQ(s.file.filePath, path);
    EXPECT_FALSE(IsPresent(s, 2));
    EXPECT_EQ(std::string(s.channels[4].name), "REAR");
    EXPECT_EQ(s.channels[5].conversion, 2);
    for (int c = 0; c < kColumnCount; ++c) {
        if (samples[size_t(c)].empty() || c == 2 || c == 5 || c == 7) continue;
        ASSERT_TRUE(std::equal(samples[size_t(c)].begin(), samples[size_t(c)].end(), s.samples[c]))
            << "column " << c;
    }
    EXPECT_FALSE(IsPresent(s, 7));
    const ChannelInfo& coolant = s.channels[18]; // locked, extended identifier: kept
    EXPECT_EQ(std::tuple(coolant.lock, coolant.extendId, coolant.canId),
              std::tuple(1, 1, 0x18FF0010u));
}

TEST_F(CanLoggerTest, ARewriteThatWouldChangeItemLengthsIsRefused) {
    const std::string path = OpenSimulatedRide();
    const std::vector<uint8_t> before = Contents(path);
    for (auto [column, function] : {std::pair{7, 3}, std::pair{1, 65}, std::pair{40, 64}}) {
        BeginChannelEditing();
        g_workingChannels[size_t(column)].function = uint16_t(function);
        ClearRecordedMessages();
        EXPECT_FALSE(OverwriteChannelTableInLogFile(g_workingChannels));
        EXPECT_TRUE(test::SawMessage("Error !", "CH" + std::to_string(column) +
                                                    " GPS function can not be changed in a "
                                                    "recorded file. Not saved !"));
        EXPECT_EQ(Contents(path), before);
    }
}

TEST_F(CanLoggerTest, FailedWritesLeaveEveryFileAsItWas) {
    const std::string path = OpenSimulatedRide();
    const std::vector<uint8_t> before = Contents(path);
    WriteFile("SETUP.QVL", "previous setup");
    BeginChannelEditing();
    TypeChannelText(g_workingChannels[1].name, "X");
    {
        test::FileSizeLimit limit(4096);
        EXPECT_FALSE(OverwriteChannelTableInLogFile(g_workingChannels));
        EXPECT_FALSE(OverwriteMemoInCanLog("new memo"));
        EXPECT_FALSE(SaveCanSetupFile(Path("SETUP.QVL"), {}, {}));
    }
    EXPECT_TRUE(test::SawMessage("Error !", "File write error. Not saved !"));
    EXPECT_TRUE(test::SawMessage("Error !!", "SetUp failed to save !!"));
    EXPECT_FALSE(test::SawMessage("Save", "File saved !"));
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(Contents(Path("SETUP.QVL")),
              std::vector<uint8_t>(
                  {'p', 'r', 'e', 'v', 'i', 'o', 'u', 's', ' ', 's', 'e', 't', 'u', 'p'}));
    EXPECT_NE(std::string(SlotOf(0).header.memo), "new memo");
}

TEST_F(CanLoggerTest, OnlyACanLoggerRecordingTakesATableOrAMemo) {
    EXPECT_FALSE(OverwriteMemoInCanLog("memo"));
    EXPECT_TRUE(test::SawMessage("Error !", "File read error. Not saved !"));
    test::Family4File f;
    f.Channel(0, {.code = 3}).Group({test::Value(0, 1)});
    const std::vector<uint8_t> bytes = f.bytes();
    WriteFile("short.qvd", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8000));
    const std::string path = OpenAsFile1(bytes);
    SlotOf(0).file.filePath = Path("short.qvd"); // the file shrank since it was opened
    ClearRecordedMessages();
    EXPECT_FALSE(OverwriteChannelTableInLogFile(g_channelSettings.slots[0]));
    EXPECT_TRUE(test::SawMessage("Error !", "File type error. Not saved !"));
    SlotOf(0).file.filePath = path;
    ASSERT_TRUE(OverwriteMemoInCanLog(std::string(300, 'm')));
    const std::vector<uint8_t> file = Contents(path);
    EXPECT_EQ(std::count(file.begin() + 256, file.begin() + 510, 'm'), 254);
    EXPECT_EQ(file[510], 0);
    EXPECT_EQ(std::string(SlotOf(0).header.memo), std::string(254, 'm'));
}

TEST(ChannelEdit, SetTakesTheSpanWithinTheFrame) {
    struct Case {
        int depth, startByte, startBit, endByte, endBit;
        int shift;
        uint16_t mask;
        int backStartByte, backEndByte; // the edits as written back
    };
    const Case cases[] = {
        {0, 0, 4, 1, 3, 4, 0x00FF, 0, 1},    // 8 bits from byte 0 bit 4
        {1, 0, 0, 3, 7, 0, 0xFFFF, 0, 3},    // 32 bits: the mask holds 16
        {2, 0, 7, 1, 0, 48, 0xFFFF, 0, 1},   // 16(HL), 16 bits
        {2, 0, 3, 1, 0, 48, 0x0FFF, 0, 1},   // 12 bits
        {2, 0, 7, 2, 0, 40, 0xFFFF, 0, 2},   // 24 bits
        {2, 0, 0, 0, 2, 58, 0x0000, 0, 0},   // ends before it starts
        {0, 9, 9, -3, 12, 63, 0x0000, 7, 0}, // edits beyond a frame: 7/7 - 0/7
        {2, 9, 0, -1, 9, 63, 0x0000, 7, 0},
    };
    for (const Case& k : cases) {
        ChannelSetting c;
        c.bitDepth = uint8_t(k.depth);
        FrameBits bits{k.startByte, k.startBit, k.endByte, k.endBit, false, true, true};
        PressSet(c, bits);
        EXPECT_EQ(std::tuple(int(c.bitShift), c.dataMask, bits.startByte, bits.endByte),
                  std::tuple(k.shift, k.mask, k.backStartByte, k.backEndByte))
            << k.depth << " " << k.startByte << "/" << k.startBit << "-" << k.endByte << "/"
            << k.endBit;
        EXPECT_TRUE(bits.startBit >= 0 && bits.startBit <= 7 && bits.endBit >= 0 &&
                    bits.endBit <= 7);
    }
    // Nothing changed since the last "Set": the whole mask; the mask typed last: that mask.
    ChannelSetting c;
    c.dataMask = 0x0F0F;
    FrameBits unchanged;
    PressSet(c, unchanged);
    EXPECT_EQ(c.dataMask, 0xFFFF);
    c.dataMask = 0x0F0F;
    FrameBits typed{1, 0, 1, 7, true, true, false};
    PressSet(c, typed);
    EXPECT_EQ(std::tuple(c.dataMask, int(c.bitShift)), std::tuple(0x0F0F, 8));
}

TEST(ChannelEdit, TypedFieldsKeepWhatTheirFieldsHold) {
    EXPECT_EQ(GridBitShift(2, 1, 3), 51);
    EXPECT_EQ(GridBitShift(1, 1, 3), 11);
    ChannelSetting c;
    c.extendId = 1;
    TypeCanId(c, "1FFFFFFF");
    EXPECT_EQ(c.canId, 0x1FFFFFFFu);
    TypeCanId(c, "0x3FFFFFFF");
    EXPECT_EQ(c.canId, 0x1FFFFFFFu);
    EXPECT_EQ(CanIdShown(5, c), "0x1FFFFFFF");
    TypeCanId(c, "zz"); // no digits: unchanged
    EXPECT_EQ(c.canId, 0x1FFFFFFFu);
    c.extendId = 0;
    c.canId = 0x1234;
    EXPECT_EQ(CanIdShown(5, c), "0x234");
    EXPECT_EQ(c.canId, 0x234u);
    TypeBitShift(c, "70");
    TypeDataMask(c, "123FF");
    EXPECT_EQ(std::tuple(BitShiftShown(5, c), DataMaskShown(5, c)), std::tuple("6", "0x023FF"));
    EXPECT_EQ(CanIdShown(0, c), "----");
    c.lock = 1;
    EXPECT_EQ(DataMaskShown(5, c), "----");
    std::string why;
    EXPECT_FALSE(EditChannelField(5, c, "CANID", "100", why));
    EXPECT_FALSE(EditChannelField(5, c, "LOCK", "0", why));
    TypeChannelText(c.name, "ABCDEFGHIJ");
    EXPECT_EQ(std::string(c.name), "ABCDEFG");
    EXPECT_EQ(ParseThousandths("-1.23456"), -1234);
    EXPECT_EQ(ParseThousandths("9999999999"), INT32_MAX);
}

TEST(ChannelEdit, TheFunctionListsOfferWhatTheLoggerTakes) {
    ResetSettings();
    FillChannelFunctionTable();
    EXPECT_EQ(FunctionListPosition(21), -1);
    ChannelSetting c;
    c.function = 3;
    EXPECT_FALSE(ChooseFunction(c, 1)); // "Sys V"
    EXPECT_FALSE(ChooseFunction(c, 21));
    EXPECT_EQ(c.function, 3);
    g_settings.Debug = 1;
    FillChannelFunctionTable();
    EXPECT_TRUE(ChooseFunction(c, 22));
    for (int code : SelectableFunctions())
        EXPECT_EQ(FunctionAtListPosition(FunctionListPosition(code)), code);
    EXPECT_EQ(FunctionName(135), "MSG7");
    ResetSettings();
    FillChannelFunctionTable();
}

TEST(ChannelEdit, CommitMakesGpsFunctionsGpsChannelsButLeavesDisabledOnes) {
    const int cases[][3] = {{1, 66, 3}, {3, 3, 1}, {0, 66, 0}, {2, 64, 3}, {1, 3, 1}, {3, 65, 3}};
    ResetChannelEditing();
    for (size_t k = 0; k < std::size(cases); ++k) {
        g_workingChannels[k].mode = uint8_t(cases[k][0]);
        g_workingChannels[k].function = uint16_t(cases[k][1]);
    }
    CommitChannelTable();
    for (size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(g_channelSettings.slots[0][k].mode, cases[k][2]) << k;
    ResetChannelSettings();
    ResetChannelEditing();
}

class ZeroOffset : public test::Family4Test {};

TEST_F(ZeroOffset, TakesTheReadingAwayOnceAndOnlyWhereBCounts) {
    test::Family4File f;
    f.Channel(0, {.code = 9, .conversion = 2, .calA = 1000}).Group({test::Value(0, 500)});
    LoadF4(f);
    SlotOf(0).cursorPos = 100; // sample 1: FrSUS reads 500
    ChannelSetting c = Channel(1, 9, 2, 1000, 0, 0);
    AdjustZeroOffset(0, c);
    AdjustZeroOffset(0, c);
    EXPECT_EQ(c.b, -500000);
    std::string why;
    ASSERT_TRUE(EditChannelField(0, c, "B", "1", why)); // set by hand: the reading counts again
    AdjustZeroOffset(0, c);
    EXPECT_EQ(c.b, 1000 - 500000);
    c = Channel(1, 9, 3, 1000, 0, INT32_MIN + 5);
    AdjustZeroOffset(0, c);
    EXPECT_EQ(c.b, INT32_MIN);
    EXPECT_TRUE(ZeroOffsetOffered(Channel(1, 25, 3)));
    EXPECT_FALSE(ZeroOffsetOffered(Channel(1, 25, 1)));
    EXPECT_FALSE(ZeroOffsetOffered(Channel(1, 3, 2)));

    // Zero Position Adjust of a setup file: the adjusted b reaches the table only with the
    // file; the throttle readings the file does not hold stay as they were.
    SetWaitHook([](int) {});
    g_setupValues.throttleClosed = g_setupValues.throttleOpen = 120;
    EXPECT_FALSE(SaveCanSetupFile(dir_ + "/none/SETUP.QVL", {.frSus = true}, {}));
    EXPECT_EQ(g_channelSettings.slots[0][0].b, 0);
    ASSERT_TRUE(SaveCanSetupFile(dir_ + "/SETUP.QVL", {.frSus = true}, {}));
    EXPECT_EQ(g_channelSettings.slots[0][0].b, -500000);
    std::ifstream in(dir_ + "/SETUP.QVL", std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(I32At(Bytes(file.data(), file.size()), 512 + 40), -500000);
    EXPECT_EQ(std::tuple(g_setupValues.throttleClosed, g_setupValues.throttleOpen),
              std::tuple(120, 120));
    SetWaitHook(nullptr);
}

} // namespace
} // namespace qvtk
