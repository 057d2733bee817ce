// The family-3 reader on recordings built byte by byte: dispatch, version rules, header,
// value conversions of every version, the voltage rules, lap marks, distances, variable
// records and damaged files.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "tests/data/family3_fixture.h"

namespace qvtk::test {
namespace {

enum { kNe, kTps, kVfw, kVrw, kFr, kRr, kLaf1, kLaf2, kVb, kAux1, kAux2 };

class Family3ReaderTest : public ProgramTest {
protected:
    // Stroke values are checked exactly, so the moving average stays off.
    void SetUp() override {
        ProgramTest::SetUp();
        g_settings.SmoothingSTD = 0;
    }
};

FileSlot LoadQvd(const Family3File& f, FileSlot slot = 0) {
    return Load(slot, "ride.qvd", f.bytes());
}
int32_t At(int column, int32_t i, FileSlot slot = 0) {
    return SampleAt(slot, column, i);
}

// A file of `records` identical samples with marker pulses at the given samples.
Family3File WithPulses(int version, int records, std::vector<int> pulses, Family3Sample s = {}) {
    Family3File f(version);
    for (int i = 1; i <= records; ++i) {
        s.marker = std::find(pulses.begin(), pulses.end(), i) != pulses.end();
        f.Append(s);
    }
    return f;
}

// A loaded slot whatever the bytes were: the end entries hold SampleCount, marks ascend.
void ExpectConsistent(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    ASSERT_GE(s.sampleCount, 1);
    ASSERT_LT(s.sampleCount, s.capacity);
    const int32_t n = s.laps.count;
    ASSERT_GE(n, 1);
    ASSERT_LE(n, kLastPulseEntry + 1);
    for (int k = 1; k < n; ++k) EXPECT_LT(s.laps.marks[k - 1], s.laps.marks[k]);
    for (int k = n; k <= n + 2; ++k) EXPECT_EQ(s.laps.marks[k], s.sampleCount);
}

TEST_F(Family3ReaderTest, DispatchesByExtensionInAnyCaseAndFirstByte) {
    Family3File f(2);
    f.Append({}, 3);
    for (const char* path : {"a.qvd", "b.QVD", "c.QvL", "dir.x/d.qvl"}) {
        ResetProgram();
        EXPECT_EQ(Load(1, path, f.bytes()), 1) << path;
        EXPECT_EQ(SlotOf(1).file.fileKind, kFileFamily3) << path;
        EXPECT_EQ(SlotOf(1).sampleCount, 4) << path;
    }
    Family3File other = f;
    other.Set(0, 'Z');
    const std::pair<const char*, const Family3File*> rejected[] = {
        {"e.txt", &f}, {"dir.qvd/noext", &f}, {"f.qvd.bak", &f}, {"g.qvd", &other}};
    for (auto [path, file] : rejected) {
        ClearRecordedMessages();
        FileSlot slot = 1;
        EXPECT_EQ(LoadLogFile(slot, path, file->bytes()), kLoadNotSupported) << path;
        EXPECT_TRUE(SawMessage("File Error", "Not support File Type")) << path;
        EXPECT_EQ(SlotOf(1).file.fileKind, kFileFamily3) << path; // the slot keeps its file
        EXPECT_EQ(SlotOf(1).sampleCount, 4) << path;
    }
}

TEST_F(Family3ReaderTest, VersionRulesOverridesAndRejections) {
    for (int v : {0, 1, 2, 3, 4, 32}) {
        LoadQvd(Family3File(v).Append({}, 2));
        EXPECT_EQ(SlotOf(0).file.logVersion, v);
        EXPECT_EQ(SlotOf(0).sampleCount, 3) << v;
    }
    for (int v : {5, 31, 33, 255}) {
        LoadQvd(Family3File(2).Append({}, 2), 1);
        ClearRecordedMessages();
        LoadQvd(Family3File(2).Set(15, uint8_t(v)).Append({}, 2), 1);
        EXPECT_TRUE(SawMessage("File Error!!", "File Error.")) << v;
        ExpectClosed(1);
    }
    // Early loggers wrote a higher version byte over fixed records.
    auto version = [](std::string_view firmware, std::vector<uint8_t> nibbles, int byte15) {
        Family3File f(2);
        f.Firmware(firmware).Set(15, uint8_t(byte15)).Append({}, 2);
        for (size_t i = 0; i < nibbles.size(); ++i) f.Set(11 + i, nibbles[i]);
        LoadQvd(f);
        return Loaded(0) ? SlotOf(0).file.logVersion : -1;
    };
    EXPECT_EQ(version("QVLogV9.001.", {}, 7), 2);
    EXPECT_EQ(SlotOf(0).header.headerVersion, 7);
    EXPECT_EQ(SlotOf(0).sampleCount, 3); // fixed 16-byte records
    EXPECT_EQ(version("QVLogV9.01.0", {}, 40), 2);
    EXPECT_EQ(version("QVLogV9.002.", {}, 7), -1);
    EXPECT_EQ(version("QVLogger V", {0, 0, 1, 15}, 9), 2); // 0x001F = 31
    EXPECT_EQ(version("QVLogger V", {0, 0, 2, 0}, 9), -1); // 0x0020 = 32
    EXPECT_EQ(version("QVLogger V", {0, 0, 2, 0}, 4), 4);

    // A .QVL of exactly 1024 bytes with a version byte below 3 is a bare 512-byte header.
    Family3File f(2);
    f.Append({}, 32);
    EXPECT_EQ(SlotOf(Load(0, "x.QVL", f.bytes())).sampleCount, 1);
    EXPECT_EQ(SlotOf(Load(0, "x.qvd", f.bytes())).sampleCount, 33);
    f.Append({});
    EXPECT_EQ(SlotOf(Load(0, "x.QVL", f.bytes())).sampleCount, 34);
}

TEST_F(Family3ReaderTest, VersionThreeAndAboveSetTheVariableRecordFlag) {
    LoadQvd(Family3File(2).Append({}));
    EXPECT_EQ(g_settings.CompressFile, 0);
    LoadQvd(Family3File(3).Append({}));
    EXPECT_TRUE(g_session.variableRecords);
    EXPECT_EQ(g_settings.CompressFile, 1);
    ResetProgram();
    g_settings.SmoothingSTD = 0;
    LoadQvd(Family3File(32).Append({})); // the rule reads v >= 3, which 32 is
    EXPECT_TRUE(g_session.variableRecords);
    EXPECT_EQ(g_settings.CompressFile, 1);
}

TEST_F(Family3ReaderTest, HeaderValuesOfFile1) {
    Family3File f(2);
    f.Firmware("ZARazA9.01.10").NePulses(0).Wheels(0, 50, 4, 1980).Sprockets(15, 42);
    f.MarksPerLap(2).LinkRatio(85).FrontSensor(0, 403).RearSensor(1, 201, -1500);
    f.LapThreshold(115).GearTeeth({80, 40, 30, 10, 30, 15, 28, 16, 26, 18, 24, 20, 22, 22});
    f.InputType(0, 2).InputGainOffset(0, -3, 250);
    f.InputType(1, 3).InputTable(
        1, {1, 14, 37, 51, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255},
        {-100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7});
    f.InputType(2, 1).InputGainOffset(2, 9, 9); // voltage inputs carry no calibration
    f.Memo("Test memo").Text(330, "junk");
    LoadQvd(f.Append({.pulses = 3000}));
    const LogHeader& h = SlotOf(0).header;
    EXPECT_EQ(g_session.firmware, "ZARazA9.01.10");
    EXPECT_EQ(At(kNe, 1), 6000000); // 0 pulses per revolution: Ne = 3000 x 2
    EXPECT_EQ(h.pulsesFront, 1);
    EXPECT_EQ(h.tireFront, 100);
    EXPECT_EQ(h.pulsesRear, 4);
    EXPECT_EQ(h.tireRear, 1980);
    EXPECT_EQ(h.sprocketFront, 15);
    EXPECT_EQ(h.sprocketRear, 42);
    EXPECT_EQ(SlotOf(0).laps.divisor, 2);
    EXPECT_EQ(g_session.linkRatio, 235);
    EXPECT_EQ(h.susZeroFront, 403); // 100 x 4 + top bits 11 of 0xC0
    EXPECT_EQ(h.susZeroRear, 201);
    EXPECT_EQ(h.strokeRear, -1500);
    EXPECT_EQ(h.lapThreshold, 901); // 115 x 2000 / 255 = 901.96
    const int gears[7] = {2000, 6000, 2500, 1875, 1597, 1322, 1100};
    for (int g = 0; g < 7; ++g) EXPECT_EQ(h.gearThresholds[g], gears[g]) << g;
    EXPECT_EQ(h.inputs[0].gain, -3);
    EXPECT_EQ(h.inputs[0].offset, 250);
    // Table inputs in millivolts, rounded: 1 -> 19.6, 14 -> 274.5, 37 -> 725.5, 51 -> 1000.
    const int mv[4] = {20, 275, 725, 1000};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(h.inputs[1].tableIn[k], mv[k]) << k;
    EXPECT_EQ(h.inputs[1].tableOut[0], -100);
    EXPECT_EQ(h.inputs[1].tableOut[15], 7);
    EXPECT_EQ(h.inputs[2].gain, 0);
    EXPECT_EQ(h.inputs[2].offset, 0);
    EXPECT_STREQ(h.memo, "Test memo");
    EXPECT_STREQ(SlotOf(0).channels[11].name, "Slip%");
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(IsPresent(SlotOf(0), c), c <= 13) << c;

    // Second load: defaults for a zero drive count, 0 link ratio, odd sprockets and lap count.
    Family3File g(2);
    g.LinkRatio(0).Sprockets(9, 40).MarksPerLap(4).GearTeeth({76, 0}).Text(320,
                                                                           std::string(192, 'A'));
    LoadQvd(g.Append({}));
    const int defaults[7] = {2111, 5500, 2375, 1833, 1555, 1374, 1256};
    for (int k = 0; k < 7; ++k) EXPECT_EQ(h.gearThresholds[k], defaults[k]) << k;
    EXPECT_EQ(g_session.linkRatio, 229);
    EXPECT_EQ(h.sprocketFront, 1);
    EXPECT_EQ(h.sprocketRear, 1);
    EXPECT_EQ(SlotOf(0).laps.divisor, 2); // 4 keeps the previous divisor
    EXPECT_EQ(std::strlen(h.memo), 189u);
}

TEST_F(Family3ReaderTest, File2KeepsLoggerWideValuesAndNamesColumnsLikeFile1) {
    LoadQvd(Family3File(2).Sprockets(40, 9).Append({}), 1); // File 1 holds nothing yet
    EXPECT_EQ(SlotOf(1).header.sprocketFront, 1);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(IsPresent(SlotOf(1), c), c <= 13) << c;
    EXPECT_STREQ(SlotOf(1).channels[4].name, "FrSUS");

    LoadQvd(Family3File(2).Firmware("FIRST").LinkRatio(10).Append({}));
    LoadQvd(Family3File(2).Firmware("SECOND").LinkRatio(20).Append({}), 1);
    EXPECT_EQ(g_session.firmware, "FIRST");
    EXPECT_EQ(g_session.linkRatio, 160);
}

TEST_F(Family3ReaderTest, ThrottleVoltageAndInputsByVersion) {
    struct Case {
        int version;
        Family3Sample s;
        uint16_t lowThrottle;
        int32_t tps, tpsLow, laf1, laf2, aux1, aux2, vb;
    };
    // Closed 20, open 220 (gain 25 for 0/32); input types 0, 1, 2, 2 with gain 100, offset -5.
    const Family3Sample narrow{.throttle = 120, .laf1 = 100, .laf2 = 200, .aux1 = 200, .aux2 = 200};
    Family3Sample old = narrow, wide = narrow;
    old.laf2 = 100;
    wide = {.throttle = 30720, .laf1 = 25700, .laf2 = 51200, .aux1 = 51200, .aux2 = 51200};
    wide.vb = 40000;
    const Case cases[] = {
        // 100 x 1000 / 200; 100000/283 + 900; 100000/255; (10000127/255 - 500) / 100;
        // AUX2 adds its offset as it is: (39216 - 5) / 100; 400000 / 255.
        {1, narrow, 10, 50000, -5000, 12530, 3920, 3870, 3920, 15680},
        {2, narrow, 10, 50000, -5000, 12530, 3920, 3870, 3920, 15680},
        // /256: 100000/256 = 390; 10000127/256 = 39062.
        {3, narrow, 10, 50000, -5000, 12530, 3900, 3850, 3900, 15680},
        // 16-bit raws, throttle range x 256: (30720 - 5120) x 1000 / 51200; 25700000/72448 =
        // 354; 25600000/65536 = 390; 2560032768/65536 = 39062; 80000000/65536 = 1220.
        {4, wide, 2560, 50000, -5000, 12540, 3900, 3850, 3900, 12200},
        // (120 - 20) x 25 / 10 tenths; (13 - 20) x 25 / 10 = -17.5; 100000/285 + 900; no VB
        // and no AUX in these records.
        {0, old, 13, 25000, -1700, 12500, 12500, 0, 0, 0},
        {32, old, 13, 25000, -1700, 12500, 12500, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Family3File f(c.version);
        f.Throttle(20, 220, 25).InputType(1, 1).InputType(2, 2).InputType(3, 2);
        f.InputGainOffset(2, 100, -5).InputGainOffset(3, 100, -5);
        Family3Sample low = c.s;
        low.throttle = c.lowThrottle;
        LoadQvd(f.Append(c.s).Append(low));
        EXPECT_EQ(At(kTps, 0), 0); // sample 0 stays zero
        EXPECT_EQ(At(kTps, 1), c.tps);
        EXPECT_EQ(At(kTps, 2), c.tpsLow);
        EXPECT_EQ(At(kLaf1, 2), c.laf1);
        EXPECT_EQ(At(kLaf2, 2), c.laf2);
        EXPECT_EQ(At(kAux1, 2), c.aux1);
        EXPECT_EQ(At(kAux2, 2), c.aux2);
        EXPECT_EQ(At(kVb, 2), c.vb);
    }
    for (int v : {2, 4}) { // open = closed reads 0 rather than dividing by zero
        LoadQvd(Family3File(v).Throttle(50, 50).Append({.throttle = 200, .vb = 40000}));
        EXPECT_EQ(At(kTps, 1), 0) << v;
    }
}

TEST_F(Family3ReaderTest, StrokesByVersionAndSensor) {
    struct Case {
        int version, frontType, frontS, rearType, rearS;
        uint16_t front, rear;
        int32_t expFront, expRear;
    };
    // Zero points 400 (front) and 200 (rear); R = 18768 front, 12500 rear.
    const Case cases[] = {
        // 18768 - 1223 x 18768 / 1023; 12000 - 1523 x 12000 / 1023 = 12000 - 17865
        {1, 0, 0, 1, 1200, 600, 700, -36690, -58650},
        // 1223 x -15000 / 1023 = -17932.5; 12500 - 1523 x 12500 / 1023 = 12500 - 18609
        {2, 1, -1500, 0, 0, 600, 700, -179320, -61090},
        // 15000 - 18345000 / 1024; -12000 + 18276000 / 1024 (17847); type 2: no stroke
        {3, 1, 1500, 1, -1200, 600, 700, -29150, 58470},
        {3, 2, 0, 0, 0, 600, 700, 0, -61090},
        // zero x 64: 18768 - 78335 x 18768 / 65535; 12000 - 97535 x 12000 / 65536
        {4, 0, 0, 1, 1200, 38400, 44800, -36650, -58590},
        // type not consulted, top bits of 41/42 ignored
        {0, 1, 1500, 2, 0, 600, 700, -36690, -61090},
        // 18768 - 600 x 18768 / 1024 - 400 x 25; 12500 - 8544 - 200 x 25
        {32, 0, 0, 0, 0, 600, 700, -22280, -10440},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Family3File f(c.version);
        f.FrontSensor(c.frontType, 400, c.frontS).RearSensor(c.rearType, 200, c.rearS);
        if (c.version == 0 || c.version == 32) f.Set(41, 0xC0).Set(42, 0x40);
        LoadQvd(f.Append({.front = c.front, .rear = c.rear, .vb = 40000}));
        EXPECT_EQ(At(kFr, 1), c.expFront);
        EXPECT_EQ(At(kRr, 1), c.expRear);
    }
}

TEST_F(Family3ReaderTest, TableInputsInterpolateSignedOutputs) {
    // 1000..5000 mV at bytes 51..255; outputs -500, 0, 1000, 1500, then 3000.
    const std::vector<int> in = {51,  102, 153, 204, 255, 255, 255, 255,
                                 255, 255, 255, 255, 255, 255, 255, 255};
    const std::vector<int> out = {-500, 0,    1000, 1500, 3000, 3000, 3000, 3000,
                                  3000, 3000, 3000, 3000, 3000, 3000, 3000, 3000};
    auto load = [&](int v, std::vector<uint16_t> raws) {
        Family3File f(v);
        f.InputType(0, 3).InputTable(0, in, out);
        for (uint16_t b : raws) f.Append({.laf1 = b, .vb = 40000});
        LoadQvd(f);
    };
    // 0 mV: below input 0; 77 -> 1510 mV: -500 + 500 x 510 / 1000; 230 -> 4510 mV:
    // 1500 + 1500 x 510 / 1000; 255 -> 5000 mV: output 15.
    load(2, {0, 77, 230, 255});
    EXPECT_EQ(At(kLaf1, 1), -5000);
    EXPECT_EQ(At(kLaf1, 2), -2450);
    EXPECT_EQ(At(kLaf1, 3), 22650);
    EXPECT_EQ(At(kLaf1, 4), 30000);
    load(3, {77}); // 385127 / 256 = 1504 mV: -500 + 252
    EXPECT_EQ(At(kLaf1, 1), -2480);
    load(4, {19712}); // (19712 x 5000 + 32768) / 65536 = 1504 mV
    EXPECT_EQ(At(kLaf1, 1), -2480);
}

TEST_F(Family3ReaderTest, LowVoltageClearsThrottleAndStrokesAfterSample200) {
    struct Case {
        int version;
        uint16_t low, fine, throttle;
    };
    // At or below 9.00 V: 114 -> 894, 115 -> 901 hundredths; 29523 -> 900, 29524 -> 901.
    // Versions 1 and 2 compare thousandths with 900: 11 -> 860, 12 -> 940.
    const Case cases[] = {{1, 11, 12, 120},         {2, 11, 12, 120}, {3, 114, 115, 120},
                          {4, 29523, 29524, 30720}, {0, 0, 0, 120},   {32, 0, 0, 120}};
    for (const Case& c : cases) {
        Family3Sample s{.vfw = 900, .throttle = c.throttle, .front = 600, .rear = 700, .laf1 = 1};
        for (int keep : {0, 1}) {
            for (uint16_t vb : {c.low, c.fine}) {
                SCOPED_TRACE(testing::Message() << c.version << " vb " << vb << " keep " << keep);
                g_settings.VBerrexp = keep;
                Family3File f(c.version);
                f.Throttle(20, 220, 25).FrontSensor(0, 400).RearSensor(0, 200);
                s.vb = vb;
                f.Append(s, 300);
                LoadQvd(f);
                const bool wiped = vb == c.low && !keep && c.version != 0 && c.version != 32;
                EXPECT_NE(At(kTps, 200), 0);
                EXPECT_NE(At(kFr, 200), 0);
                EXPECT_EQ(At(kTps, 201), wiped ? 0 : At(kTps, 200));
                EXPECT_EQ(At(kFr, 201), wiped ? 0 : At(kFr, 200));
                EXPECT_EQ(At(kRr, 300), wiped ? 0 : At(kRr, 200));
                EXPECT_EQ(At(kVfw, 300), At(kVfw, 1)); // other channels stay
                EXPECT_EQ(At(kLaf1, 300), At(kLaf1, 200));
            }
        }
    }
}

TEST_F(Family3ReaderTest, RawExtremesForTheCorrectiveTools) {
    // 700 records: extremes count over samples 201..501 while the voltage is fine.
    Family3File f(2);
    for (int i = 1; i <= 700; ++i) {
        Family3Sample s{.throttle = 124, .front = 300};
        if (i == 50) s.front = 900;   // overwritten by the first 200 samples
        if (i == 100) s.throttle = 5; // too early
        if (i == 300) s.throttle = 60;
        if (i == 350) s.front = 500;
        if (i == 400) s = {.throttle = 2, .front = 800, .vb = 11}; // 0.86 V: not counted
        if (i == 501) s.throttle = 200;
        if (i == 502) s = {.throttle = 250, .front = 1000}; // too late
        f.Append(s);
    }
    LoadQvd(f);
    EXPECT_EQ(SlotOf(0).header.throttleRawMin, 60);
    EXPECT_EQ(SlotOf(0).header.throttleRawMax, 200);
    EXPECT_EQ(SlotOf(0).header.strokeRawMaxFront, 500);

    // Without a battery voltage in the records, every sample counts.
    Family3File old(0);
    old.Append({.throttle = 124}, 300)
        .Append({.throttle = 3, .vb = 0})
        .Append({.throttle = 124}, 300);
    LoadQvd(old);
    EXPECT_EQ(SlotOf(0).header.throttleRawMin, 3);
}

TEST_F(Family3ReaderTest, LapMarkSpacingAndTheStartOfTheRecording) {
    const Family3File f = WithPulses(2, 2000, {600, 601, 1201, 1202});
    LoadQvd(f);
    const LapMarkTable& t = SlotOf(0).laps;
    ASSERT_EQ(t.count, 3);
    const int32_t marks[6] = {0, 601, 1202, 2001, 2001, 2001};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(t.marks[k], marks[k]) << k;

    g_settings.Debug = 1; // every pulse counts
    LoadQvd(f);
    ASSERT_EQ(t.count, 5);
    EXPECT_EQ(t.marks[1], 600);
    EXPECT_EQ(t.marks[4], 1202);
}

TEST_F(Family3ReaderTest, LapMarkerVoltageThreshold) {
    // One pulse at sample 700 with the given VB raw; returns whether it became a mark.
    auto taken = [](int version, int threshold, uint16_t vb) {
        Family3File f(version);
        f.LapThreshold(threshold).Append({}, 699).Append({.marker = true, .vb = vb});
        LoadQvd(f.Append({}, 300));
        return SlotOf(0).laps.count == 2;
    };
    // T = 255 x 2000 / 255 = 2000: version 2 compares thousandths (25 -> 1960, 26 -> 2030).
    EXPECT_FALSE(taken(2, 255, 25));
    EXPECT_TRUE(taken(2, 255, 26));
    EXPECT_TRUE(taken(1, 255, 200));  // 15680 thousandths > 2000
    EXPECT_FALSE(taken(3, 255, 200)); // 1568 hundredths < 2000
    // T = 100 x 2000 / 255 = 784: 100 -> 784 is not above it, 101 -> 792 is.
    EXPECT_FALSE(taken(3, 100, 100));
    EXPECT_TRUE(taken(3, 100, 101));
    EXPECT_TRUE(taken(0, 255, 0)); // no voltage: every pulse counts
    EXPECT_TRUE(taken(32, 255, 0));
}

TEST_F(Family3ReaderTest, LapMarksAtTheEndOfTheRecordingAndTheLastEntry) {
    LoadQvd(WithPulses(2, 1000, {950})); // 1001 - 950 = 51 samples before the end
    EXPECT_EQ(SlotOf(0).laps.count, 2);
    LoadQvd(WithPulses(2, 1000, {952})); // 49: dropped
    EXPECT_EQ(SlotOf(0).laps.count, 1);
    EXPECT_EQ(SlotOf(0).laps.marks[1], 1001);
    LoadQvd(WithPulses(2, 1000, {951})); // exactly 50 before the end: kept
    EXPECT_EQ(SlotOf(0).laps.count, 2);

    g_settings.Debug = 1;
    std::vector<int> every(600);
    for (int i = 0; i < 600; ++i) every[i] = i + 1;
    LoadQvd(WithPulses(2, 600, every));
    const LapMarkTable& t = SlotOf(0).laps;
    EXPECT_EQ(t.count, 510);
    EXPECT_EQ(t.marks[509], 509);
    for (int k = 510; k <= 512; ++k) EXPECT_EQ(t.marks[k], 601);
}

TEST_F(Family3ReaderTest, RunningDistancesAndTheLapDivisor) {
    // 100.0 km/h front and 50.0 km/h rear: 1000 and 500 units of 1/7200 m per sample.
    Family3File f = WithPulses(2, 2000, {601, 1202, 1803}, {.vfw = 1000, .vrw = 500});
    f.MarksPerLap(2);
    LoadQvd(f);
    const DistanceTrack& d = SlotOf(0).distance;
    EXPECT_EQ(At(kVfw, 5), 100000);
    EXPECT_EQ(d.front[2000], 2000000u);
    EXPECT_EQ(d.front[2001], 2000000u); // the last value once more
    EXPECT_EQ(d.rear[2000], 1000000u);
    EXPECT_EQ(d.selected[601], 601000u); // mark 1 of 2: no restart
    EXPECT_EQ(d.selected[1202], 0u);
    EXPECT_EQ(d.selected[1203], 1000u);
    EXPECT_EQ(d.selected[1803], 601000u);
    EXPECT_EQ(d.selected[2001], 798000u);

    g_settings.CoursePosSource = 1; // the rear wheel
    LoadQvd(f);
    EXPECT_EQ(d.selected[1201], 600500u);
    EXPECT_EQ(d.selected[2000], 399000u);

    // Versions 0 and 32: speeds x 10, distance / 1000: 12340 / 1000 = 12 per sample.
    LoadQvd(Family3File(0).Append({.vfw = 1234, .vrw = 20000}, 10));
    EXPECT_EQ(At(kVfw, 10), 12340);
    EXPECT_EQ(At(kVrw, 10), 200000);
    EXPECT_EQ(d.front[10], 120u);
    EXPECT_EQ(d.front[11], 120u);
    EXPECT_EQ(d.rear[10], 2000u);
}

TEST_F(Family3ReaderTest, VariableRecordsVersion3) {
    g_settings.Debug = 1; // lets the marker at sample 3 count
    Family3File f(3);
    // Linear sensors with zero 1023 and stroke 102.4 mm: value = 10240 - 10 x raw.
    f.NePulses(2).Throttle(20, 220).FrontSensor(1, 1023, 1024).RearSensor(1, 1023, 1024);
    // VRW word: front low bits 01 (bits 14-15), rear 10 (bits 12-13), speed 1000.
    f.AppendVariable({.ne = 6000,
                      .vfw = 0x7FFE,
                      .vrw = 0x6000 | 1000,
                      .throttle = 120,
                      .front = 150,
                      .rear = 100,
                      .vb = 200,
                      .status = 0x80});
    f.AppendVariable({.neDelta = -6, .vfwDelta = 1, .vrwDelta = 3});
    // VFW 0x7FFF + 1 carries into the marker bit; new low stroke bits 11 and 00.
    f.AppendVariable({.vfwDelta = 1,
                      .vrw = 0xC000 | 500,
                      .status = 0x00,
                      .reserved1 = true,
                      .reserved2 = true,
                      .reserved4 = true});
    f.AppendVariable({.vfwDelta = -1, .bit15 = true});
    for (int i = 0; i < 100; ++i) f.AppendVariable({});
    const size_t whole = f.bytes().size();
    f.AppendVariable({.throttle = 0}); // cut off below: 2 + 3 + 1 bytes needed
    f.bytes().resize(whole + 5);
    LoadQvd(f);
    const Slot& s = SlotOf(0);
    EXPECT_EQ(s.sampleCount, 105);
    const int32_t ne[] = {3000000, 2997000, 2997000, 2997000}; // 6000/2, then -6/2
    const int32_t vfw[] = {3276600, 3276700, 0, 3276700};
    const int32_t vrw[] = {100000, 100300, 50000, 50000};
    const int32_t front[] = {42300, 42300, 42100, 42100}; // raws 601, 601, 603, 603
    const int32_t rear[] = {62200, 62200, 62400, 62400};  // raws 402, 402, 400, 400
    const uint8_t marks[] = {1, 1, 0, 0};
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(At(kNe, i), ne[i - 1]);
        EXPECT_EQ(At(kVfw, i), vfw[i - 1]);
        EXPECT_EQ(At(kVrw, i), vrw[i - 1]);
        EXPECT_EQ(At(kFr, i), front[i - 1]);
        EXPECT_EQ(At(kRr, i), rear[i - 1]);
        EXPECT_EQ(At(kTps, i), 50000);
        EXPECT_EQ(At(kVb, i), 15680);
        EXPECT_EQ(s.sampleMarks[i], marks[i - 1]);
    }
    EXPECT_EQ(At(kVrw, 104), 50000);
    ASSERT_EQ(s.laps.count, 2);
    EXPECT_EQ(s.laps.marks[1], 3);
}

TEST_F(Family3ReaderTest, VariableRecordsVersion4AndFixedSampleMarks) {
    Family3File f(4); // 0 pulses per revolution: Ne = pulses x 2, deltas x 2
    f.Throttle(20, 220);
    f.AppendVariable(
        {.ne = 3000, .vfw = 500, .vrw = 300, .throttle = 30720, .aux2 = 7, .vb = 40000});
    f.AppendVariable({.neDelta = 5, .vfwDelta = -1});
    f.Append({});
    f.bytes().pop_back(); // a full record one byte short
    LoadQvd(f);
    EXPECT_EQ(SlotOf(0).sampleCount, 3);
    EXPECT_EQ(At(kNe, 1), 6000000);
    EXPECT_EQ(At(kNe, 2), 6010000);
    EXPECT_EQ(At(kVfw, 2), 49900);
    EXPECT_EQ(At(kVrw, 2), 30000);
    EXPECT_EQ(At(kTps, 2), 50000);
    EXPECT_EQ(At(kVb, 2), 12200);

    for (int v : {1, 2}) { // byte 14 bit 7 marks samples in version 2 only
        LoadQvd(Family3File(v).Append({.mark = true}).Append({}));
        EXPECT_EQ(SlotOf(0).sampleMarks[1], v == 2 ? 1 : 0) << v;
        EXPECT_EQ(SlotOf(0).sampleMarks[2], 0) << v;
    }
}

TEST_F(Family3ReaderTest, ShortCorruptAndHugeFilesEndCleanly) {
    std::vector<uint8_t> tiny(511, 0);
    tiny[0] = '3';
    tiny[15] = 2;
    Load(0, "t.qvd", tiny);
    EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
    ExpectClosed(0);
    tiny.resize(520); // half a record
    Load(0, "t.qvd", tiny);
    EXPECT_EQ(SlotOf(0).sampleCount, 1);

    std::mt19937 rng(7);
    for (int v : {0, 1, 2, 3, 4, 32}) {
        for (int round = 0; round < 30; ++round) {
            Family3File f(v);
            const size_t tail = rng() % 4000;
            for (size_t i = 0; i < tail; ++i) f.bytes().push_back(uint8_t(rng()));
            g_settings.Debug = int(round % 2);
            SCOPED_TRACE(testing::Message() << "version " << v << " tail " << tail);
            ASSERT_EQ(LoadQvd(f), 0);
            ASSERT_TRUE(Loaded(0));
            if (v != 3 && v != 4) {
                EXPECT_EQ(SlotOf(0).sampleCount, int32_t(tail / 16 + 1));
            }
            ExpectConsistent(0);
        }
    }
    for (int round = 0; round < 200; ++round) { // random headers too
        std::vector<uint8_t> b(512 + rng() % 3000);
        for (auto& x : b) x = uint8_t(rng());
        b[0] = '3';
        ClearRecordedMessages();
        Load(1, "r.qvl", b);
        if (Loaded(1))
            ExpectConsistent(1);
        else
            EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
    }

    // More samples than memory: the allocation fails and the slot is closed.
    Family3File big(2);
    big.Append({}, 20000);
    FailAllocationsAfterBytesForTesting(100000);
    ClearRecordedMessages();
    LoadQvd(big);
    EXPECT_TRUE(SawMessage("Memory Error!!", "Memory Ensure Error.(Data Main buffers)"));
    ExpectClosed(0);
    FailAllocationsAfterBytesForTesting(0);

    // A length no sample counter can hold: rejected from the header alone, nothing past the
    // real bytes is read.
    FileSlot slot = 0;
    ClearRecordedMessages();
    LoadLogFile(slot, "huge.qvd", Bytes(big.bytes().data(), (size_t(1) << 35) + 512));
    EXPECT_FALSE(RecordedMessages().empty());
    ExpectClosed(0);
}

} // namespace
} // namespace qvtk::test
