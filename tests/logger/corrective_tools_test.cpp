// The corrective tools on recordings built byte by byte: LapMark, Adj, and the save of the
// marks and calibration back into fixed and variable records, reloaded through the open flow
// and compared sample for sample; a failing save leaves the recording as it was.
#include "logger/corrective_tools.h"

#include <filesystem>

#include "analysis/lap_model.h"
#include "data/channel_codes.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::Family3File;
using test::Family3Sample;

constexpr int kRecords = 3000;

// Every field of sample k varies, so that a record read from the wrong offset shows.
Family3Sample SampleAt(int k, int version) {
    const bool wide = version == 4;
    return {.pulses = uint16_t(k % 700),
            .marker = k == 1000 || k == 2000,
            .vfw = uint16_t(500 + k % 300),
            .vrw = uint16_t(400 + k % 250),
            .throttle = uint16_t(wide ? 0x1000 + 16 * (k % 2000) : 1 + k % 200),
            .front = uint16_t(wide ? 0x2000 + k % 9000 : k % 1000),
            .rear = uint16_t(wide ? 0x3000 + k % 7000 : (k * 3) % 1000),
            .laf1 = uint16_t(k % 97),
            .vb = uint16_t(wide                   ? 200 << 8
                           : k > 2600 && k < 2700 ? 5
                                                  : 200)};
}

// Fixed records (versions 1, 2, 32), or variable records (3, 4) that keep the VFW field a
// one-byte difference except where a mark sits.
Family3File Ride(int version) {
    Family3File f(version);
    f.Throttle(10, 240).Set(47, 100); // lap marks need the battery above 0.78 V
    if (version != 3 && version != 4) {
        for (int k = 1; k <= kRecords; ++k) f.Append(SampleAt(k, version));
        return f;
    }
    uint16_t vfw = 0;
    for (int k = 1; k <= kRecords; ++k) {
        const Family3Sample s = SampleAt(k, version);
        const uint16_t word = uint16_t((s.marker ? 0x8000 : 0) | s.vfw);
        const int delta = int16_t(uint16_t(word - vfw));
        if (k == 1 || delta < -128 || delta > 127)
            f.Variable(0x7810, {s.pulses, word, s.vrw, s.throttle, s.vb});
        else
            f.Variable(0x5810, {s.pulses, delta, s.vrw, s.throttle, s.vb});
        vfw = word;
    }
    return f;
}

class CorrectiveToolsTest : public test::LoggerTest {
protected:
    std::string Path() const { return dir_ + "/ride.qvd"; }
    void Open(const std::vector<uint8_t>& bytes) {
        WriteFile("ride.qvd", bytes);
        FileSlot slot = 0;
        ASSERT_TRUE(LoadFileIntoSlot(slot, Path()));
    }
    static std::vector<int32_t> Marks() {
        const LapMarkTable& t = SlotOf(0).laps;
        return std::vector<int32_t>(t.marks + 1, t.marks + t.count);
    }
    // Every column of every sample of File 1.
    static std::vector<int32_t> AllSamples() {
        std::vector<int32_t> all;
        for (int c = 0; c < kColumnCount; ++c)
            for (int32_t i = 0; i < SlotOf(0).sampleCount; ++i) all.push_back(test::At(c, i));
        return all;
    }
};

TEST_F(CorrectiveToolsTest, LapMarkDeletesNearAndInsertsWhereTheLoaderKeepsIt) {
    Open(Ride(2).bytes());
    ASSERT_EQ(Marks(), (std::vector<int32_t>{1000, 2000}));
    struct Case {
        int32_t p;
        bool debug;
        LapMarkResult result;
        std::vector<int32_t> marks;
    } cases[] = {
        {150, false, LapMarkResult::kNothing, {1000, 2000}},
        {1150, false, LapMarkResult::kDeleted, {2000}},
        {1850, false, LapMarkResult::kDeleted, {}},
        {1850, false, LapMarkResult::kInserted, {1850}},
        {2300, false, LapMarkResult::kTooClose, {1850}},
        {2300, true, LapMarkResult::kInserted, {1850, 2300}},
        {2650, true, LapMarkResult::kLowVoltage, {1850, 2300}},
        {kRecords - 20, false, LapMarkResult::kNearEnd, {1850, 2300}},
    };
    for (const Case& c : cases) {
        g_settings.Debug = c.debug;
        ClearRecordedMessages();
        EXPECT_EQ(LapMarkAt(c.p), c.result) << c.p;
        EXPECT_EQ(Marks(), c.marks) << c.p;
        EXPECT_EQ(SlotOf(0).laps.marks[SlotOf(0).laps.count], SlotOf(0).sampleCount);
        const bool refused = c.result == LapMarkResult::kTooClose ||
                             c.result == LapMarkResult::kNearEnd ||
                             c.result == LapMarkResult::kLowVoltage;
        EXPECT_EQ(RecordedMessages().size(), refused ? 1u : 0u) << c.p;
    }
}

TEST_F(CorrectiveToolsTest, LapMarkStopsAtTheCountThatLeavesRoomForTheEndEntries) {
    Slot& s = test::MakeRecording(0, 600000, {{0, kCodeVB, "VB"}});
    LapMarkTable& t = s.laps;
    for (int i = 0; i < kMaxMarkCount; ++i) t.marks[i] = 1000 * i;
    t.count = kMaxMarkCount - 1;
    t.marks[t.count] = t.marks[t.count + 1] = t.marks[t.count + 2] = s.sampleCount;
    EXPECT_EQ(LapMarkAt(1000 * (kMaxMarkCount - 1) + 500), LapMarkResult::kInserted);
    EXPECT_EQ(t.count, kMaxMarkCount);
    EXPECT_EQ(LapMarkAt(1000 * kMaxMarkCount + 500), LapMarkResult::kFull);
    EXPECT_EQ(t.count, kMaxMarkCount);
    EXPECT_EQ(t.marks[kMaxMarkCount + 2], s.sampleCount);
    EXPECT_EQ(LapMarkAt(1000 * 7 + 100), LapMarkResult::kDeleted);
    EXPECT_EQ(t.count, kMaxMarkCount - 1);
}

TEST_F(CorrectiveToolsTest, AdjIsLimitedAndSaturates) {
    test::MakeRecording(0, 4, {{0, kCodeFrSUS, "FrSUS"}, {1, kCodeRrSUS, "RrSUS"}});
    SlotOf(0).samples[0][3] = INT32_MAX - 5;
    struct Case {
        AdjChannel channel;
        const char* text;
        double mm;
        int32_t front0, rear0;
    } cases[] = {
        {AdjChannel::kFrontSus, "1.5", 1.5, 1500, 0},
        {AdjChannel::kRearSus, "-2.25", -2.25, 1500, -2250},
        {AdjChannel::kTps, "9", 9, 1500, -2250},
        {AdjChannel::kFrontSus, "99999", 1000, 1001500, -2250},
        {AdjChannel::kRearSus, "nonsense", 0, 1001500, -2250},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(AdjustStrokes(c.channel, c.text), c.mm) << c.text;
        EXPECT_EQ(std::tuple(test::At(0, 0), test::At(1, 0)), std::tuple(c.front0, c.rear0));
    }
    EXPECT_EQ(test::At(0, 3), INT32_MAX);
}

// Saved, reloaded: the marks are where they were moved to, every sample as before.
class SaveRoundTrip : public CorrectiveToolsTest, public ::testing::WithParamInterface<int> {};

TEST_P(SaveRoundTrip, MarksMoveOnlyWhereAskedAndEverySampleStays) {
    const int version = GetParam();
    Open(Ride(version).bytes());
    const std::vector<int32_t> before = AllSamples();
    ASSERT_EQ(Marks(), (std::vector<int32_t>{1000, 2000}));
    ASSERT_EQ(LapMarkAt(1100), LapMarkResult::kDeleted);
    ASSERT_EQ(LapMarkAt(1300), LapMarkResult::kInserted);
    ASSERT_TRUE(SaveCorrectedLogFile());
    EXPECT_TRUE(test::SawMessage("Saved", "File Is Saved."));
    FileSlot slot = 0;
    ASSERT_TRUE(LoadFileIntoSlot(slot, Path()));
    EXPECT_EQ(Marks(), (std::vector<int32_t>{1300, 2000}));
    EXPECT_EQ(AllSamples(), before);
    if (version == 2) { // the lap bit of record k sits at 512 + 16 (k - 1)
        const std::string bytes = test::ReadWholeFile(Path());
        for (int k = 1; k <= kRecords; ++k)
            EXPECT_EQ(uint8_t(bytes[512 + 16 * size_t(k - 1) + 2]) >> 7, k == 1300 || k == 2000)
                << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, SaveRoundTrip, ::testing::Values(1, 2, 3, 4, 32));

TEST_F(CorrectiveToolsTest, ReencodingWidensOnlyTheVfwFieldsThatNoLongerFit) {
    Family3File f(3);
    f.Variable(0x7010, {1, 1000, 0, 200});
    f.Variable(0x5010, {1, 120, 0, 200}); // record 2: a difference of 120
    f.Variable(0x5010, {1, 5, 0, 200});   // record 3
    f.bytes().insert(f.bytes().end(), {0x70, 0x10, 1});
    LapMarkTable t;
    t.marks[1] = 2;
    t.count = 2;
    std::vector<uint8_t> out;
    int32_t records = 0;
    ASSERT_EQ(ReencodeLapMarks(f.bytes(), 3, t, out, records), ReencodeResult::kDone);
    EXPECT_EQ(records, 3);
    std::vector<uint8_t> expected(f.bytes().begin(), f.bytes().begin() + 1024 + 9);
    expected.insert(expected.end(), {0x70, 0x10, 0, 1, 0x84, 0x60, 0, 0, 200}); // 1120 | lap bit
    expected.insert(expected.end(), {0x70, 0x10, 0, 1, 0x04, 0x65, 0, 0, 200}); // 1125
    expected.insert(expected.end(), {0x70, 0x10, 1});                           // kept as it was
    EXPECT_EQ(out, expected);
    t.count = 1; // no marks: the record of 120 stays one byte
    ASSERT_EQ(ReencodeLapMarks(f.bytes(), 3, t, out, records), ReencodeResult::kDone);
    EXPECT_EQ(out, f.bytes());
    EXPECT_EQ(ReencodeLapMarks(f.bytes(), 2, t, out, records), ReencodeResult::kBadVersion);
}

TEST_F(CorrectiveToolsTest, TheLoadedVersionChoosesTheRecordFormat) {
    // An early logger's text with version byte 3: the loader reads fixed records.
    Family3File f = Ride(2);
    f.Text(0, "3QVLogV9.001.").Set(15, 3);
    Open(f.bytes());
    ASSERT_EQ(SlotOf(0).file.logVersion, 2);
    const std::vector<int32_t> before = AllSamples();
    ASSERT_EQ(LapMarkAt(1100), LapMarkResult::kDeleted);
    ASSERT_TRUE(SaveCorrectedLogFile());
    EXPECT_EQ(test::ReadWholeFile(Path()).size(), f.bytes().size());
    FileSlot slot = 0;
    ASSERT_TRUE(LoadFileIntoSlot(slot, Path()));
    EXPECT_EQ(Marks(), std::vector<int32_t>{2000});
    EXPECT_EQ(AllSamples(), before);
}

TEST_F(CorrectiveToolsTest, HeaderCalibrationTakesTheHeadersUnits) {
    struct Case {
        int version;
        bool adjust;
        int closed, open;
        std::vector<int> bytes; // 32, 33, 39, 41
    } cases[] = {
        {2, false, 90, 90, {0, 255, 0x40, 0x80}},
        {2, false, 20, 220, {20, 220, 0x40, 0x80}},
        {2, true, 20, 220, {1, 199, 0x40, 0x80}},
        // 16-bit observed readings become the header's 8-bit ones: 0x1000 .. 0x8CF0
        {4, true, 20, 220, {0x10, 0x8B, 0x40, 0x80}},
    };
    for (const Case& c : cases) {
        Family3File f = Ride(c.version);
        f.Throttle(c.closed, c.open).Sensor(0, 0, 258);
        Open(f.bytes());
        g_correctiveTools.positionAdjust = c.adjust;
        ASSERT_TRUE(SaveCorrectedLogFile());
        const std::string b = test::ReadWholeFile(Path());
        EXPECT_EQ(
            std::vector<int>({uint8_t(b[32]), uint8_t(b[33]), uint8_t(b[39]), uint8_t(b[41])}),
            c.bytes)
            << c.version << c.adjust << c.closed;
        EXPECT_FALSE(g_correctiveTools.positionAdjust);
    }
}

TEST_F(CorrectiveToolsTest, AFailedSaveLeavesTheRecordingByteForByte) {
    for (int version : {2, 3}) {
        Open(Ride(version).bytes());
        const std::string before = test::ReadWholeFile(Path());
        ASSERT_EQ(LapMarkAt(1100), LapMarkResult::kDeleted);
        ClearRecordedMessages();
        {
            test::FileSizeLimit limit(4096);
            EXPECT_FALSE(SaveCorrectedLogFile());
        }
        EXPECT_TRUE(test::SawMessage("Error !", "File Save is error !"));
        EXPECT_FALSE(test::SawMessage("Saved", "File Is Saved."));
        EXPECT_EQ(test::ReadWholeFile(Path()), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
    }
    // A file changed on disk since it was loaded, or one of another family, is left alone.
    std::filesystem::resize_file(Path(), 1024 + 3000);
    EXPECT_FALSE(SaveCorrectedLogFile());
    EXPECT_EQ(test::ReadWholeFile(Path()).size(), 1024u + 3000u);
    SlotOf(0).file.fileKind = kFileNone;
    Open(Ride(2).bytes());
    SlotOf(0).file.fileKind = kFileFamily4;
    ClearRecordedMessages();
    EXPECT_FALSE(SaveCorrectedLogFile());
    EXPECT_TRUE(test::SawMessage("File Error!!", "This file type is not Support!!"));
}

} // namespace
} // namespace qvtk
