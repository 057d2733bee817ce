// The family-3 reader on recordings built byte by byte: dispatch, version rules, header,
// value conversions of every version, the voltage rules, lap marks, distances, variable
// records and damaged files.
#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "tests/data/family3_fixture.h"

namespace qvtk::test {
namespace {

enum { kNe, kTps, kVfw, kVrw, kFr, kRr, kLaf1, kLaf2, kVb, kAux1, kAux2 };

// Stroke values are checked exactly, so the moving average stays off.
class Family3ReaderTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        g_settings.SmoothingSTD = 0;
    }
};

FileSlot LoadQvd(const Family3File& f, FileSlot slot = 0) {
    return Load(slot, "ride.qvd", f.bytes());
}

TEST_F(Family3ReaderTest, DispatchesByExtensionInAnyCaseAndFirstByte) {
    Family3File f(2), other(2);
    EXPECT_EQ(SlotOf(Load(1, "dir.x/b.QvL", f.Append({}, 3).bytes())).sampleCount, 4);
    const std::pair<const char*, const Family3File*> rejected[] = {
        {"e.txt", &f}, {"dir.qvd/noext", &f}, {"f.qvd.bak", &f}, {"g.qvd", &other.Set(0, 'Z')}};
    for (auto [path, file] : rejected) {
        ClearRecordedMessages();
        FileSlot slot = 1;
        EXPECT_EQ(LoadLogFile(slot, path, file->bytes()), kLoadNotSupported) << path;
        EXPECT_TRUE(SawMessage("File Error", "Not support File Type")) << path;
        EXPECT_EQ(SlotOf(1).sampleCount, 4) << path; // the slot keeps its file
    }
}

TEST_F(Family3ReaderTest, VersionRulesOverridesAndRejections) {
    for (int v : {0, 1, 2, 3, 4, 32}) { // 3 and above (32 too) set the variable-record flag
        ResetProgram();
        LoadQvd(Family3File(v).Append({}, 2));
        EXPECT_EQ(std::tuple(SlotOf(0).file.logVersion, SlotOf(0).sampleCount,
                             g_session.variableRecords, g_settings.CompressFile),
                  std::tuple(v, 3, v >= 3, int(v >= 3)));
    }
    // Bytes 1-14 (the firmware, its number in nibbles 11-14) and the version byte 15: early
    // loggers wrote a higher version byte over fixed records. The header keeps the byte.
    const std::tuple<std::string, int, int> cases[] = {
        {"", 5, -1}, // rejected
        {"", 31, -1},
        {"", 33, -1},
        {"QVLogV9.001.", 7, 2},
        {"QVLogV9.01.0", 40, 2},
        {"QVLogV9.002.", 7, -1},
        {std::string("QVLogger V\0\0\1\x0F", 14), 9, 2}, // 0x001F = 31
        {std::string("QVLogger V\0\0\2\0", 14), 9, -1},  // 0x0020 = 32
        {std::string("QVLogger V\0\0\2\0", 14), 4, 4}};
    for (const auto& [firmware, byte15, version] : cases) {
        LoadQvd(Family3File(2).Append({}, 2), 1);
        ClearRecordedMessages();
        LoadQvd(Family3File(2).Text(1, firmware).Set(15, uint8_t(byte15)).Append({}, 2), 1);
        const Slot& s = SlotOf(1);
        SCOPED_TRACE(testing::Message() << firmware.c_str() << " " << byte15);
        if (version < 0) {
            EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
            ExpectClosed(1);
        } else {
            EXPECT_EQ(std::tuple(s.file.logVersion, s.header.headerVersion, s.sampleCount),
                      std::tuple(version, byte15, version == 2 ? 3 : 1)); // 2 fixed records
        }
    }
    // A .QVL of exactly 1024 bytes with a version byte below 3 is a bare 512-byte header.
    Family3File f(2);
    f.Append({}, 32);
    EXPECT_EQ(SlotOf(Load(0, "x.QVL", f.bytes())).sampleCount, 1);
    EXPECT_EQ(SlotOf(Load(0, "x.qvd", f.bytes())).sampleCount, 33);
    EXPECT_EQ(SlotOf(Load(0, "x.QVL", f.Append({}).bytes())).sampleCount, 34);
}

TEST_F(Family3ReaderTest, HeaderValuesAndWhatOnlyFile1Sets) {
    Family3File f(2);
    f.Text(1, "ZARazA9.01.10").Set16(18, 50).Set(21, 4).Set16(22, 1980).Fill(25, {15, 42, 2});
    f.Set(31, 85).Sensor(0, 0, 403).Sensor(1, 1, 201, -1500).Set(47, 115);
    f.Fill(64, {80, 40, 30, 10, 30, 15, 28, 16, 26, 18, 24, 20, 22, 22});
    f.InputType(0, 2).InputGainOffset(0, -3, 250);
    f.InputType(1, 3).InputTable(1, {1, 14, 37, 51, 255}, {-100, 7});
    f.InputType(2, 1).InputGainOffset(2, 9, 9); // voltage inputs carry no calibration
    LoadQvd(f.Text(320, "Test memo").Text(330, "junk").Append({.pulses = 3000}));
    const LogHeader& h = SlotOf(0).header;
    EXPECT_EQ(g_session.firmware, "ZARazA9.01.10");
    EXPECT_EQ(At(kNe, 1), 6000000); // 0 pulses per revolution: Ne = 3000 x 2
    // Wheel pulses at least 1, tyres at least 100; marks per lap; link ratio 85 + 150.
    EXPECT_EQ(std::tuple(h.pulsesFront, h.tireFront, h.pulsesRear, h.tireRear, h.sprocketFront,
                         h.sprocketRear, SlotOf(0).laps.divisor, g_session.linkRatio),
              std::tuple(1, 100, 4, 1980, 15, 42, 2, 235));
    // Zero 100 x 4 + the top bits 11 of 0xC0; lap threshold 115 x 2000 / 255 = 901.96.
    EXPECT_EQ(std::tuple(h.susZeroFront, h.susZeroRear, h.strokeRear, h.lapThreshold),
              std::tuple(403, 201, -1500, 901));
    EXPECT_EQ(std::vector<int>(h.gearThresholds, h.gearThresholds + 7),
              (std::vector<int>{2000, 6000, 2500, 1875, 1597, 1322, 1100}));
    // Table inputs in millivolts, rounded: 1 -> 19.6, 14 -> 274.5, 37 -> 725.5, 51 -> 1000.
    const InputCalibration* in = h.inputs;
    EXPECT_EQ(std::vector<int>(in[1].tableIn, in[1].tableIn + 4),
              (std::vector<int>{20, 275, 725, 1000}));
    EXPECT_EQ(std::tuple(in[1].tableOut[0], in[1].tableOut[15], in[0].gain, in[0].offset,
                         in[2].gain, in[2].offset),
              std::tuple(-100, 7, -3, 250, 0, 0));
    EXPECT_STREQ(h.memo, "Test memo");

    // Defaults for a zero drive count and link ratio 0; a sprocket below 10 makes both 1;
    // 4 marks per lap keep the previous divisor; the memo stops at 189 characters.
    Family3File g(2);
    g.Text(1, "FIRST").Fill(25, {9, 40, 4}).Fill(64, {76, 0}).Text(320, std::string(192, 'A'));
    LoadQvd(g.Append({}));
    EXPECT_EQ(std::vector<int>(h.gearThresholds, h.gearThresholds + 7),
              (std::vector<int>{2111, 5500, 2375, 1833, 1555, 1374, 1256}));
    EXPECT_EQ(std::tuple(g_session.linkRatio, h.sprocketFront, h.sprocketRear,
                         SlotOf(0).laps.divisor, std::strlen(h.memo)),
              std::tuple(229, 1, 1, 2, size_t(189)));
    // The firmware and the link ratio are File 1's.
    LoadQvd(Family3File(2).Text(1, "SECOND").Set(31, 20).Append({}), 1);
    EXPECT_EQ(std::tuple(g_session.firmware, g_session.linkRatio), std::tuple("FIRST", 229));
}

TEST_F(Family3ReaderTest, ValuesByVersionAndSensor) {
    // Throttle closed 20, open 220 (gain 25 for 0/32); input types 0, 1, 2, 2 with gain 100,
    // offset -5; stroke zero points 400 (front) and 200 (rear), full ranges 18768 and 12500.
    struct Case {
        int version, frontType, frontS, rearType, rearS;
        uint16_t front, rear, throttle;
        int32_t tps, laf1, laf2, aux1, aux2, vb, expFront, expRear;
    } const cases[] = {
        // (10 - 20) x 1000 / 200; 100000/283 + 900; 100000/255; (10000127/255 - 500) / 100;
        // AUX2 adds its offset as it is: (39216 - 5) / 100; 400000 / 255. Strokes (low bits
        // 01 and 10): 1224 x -15000 / 1023 = -17947.2; 12000 - 1525 x 12000 / 1023.
        {2, 1, -1500, 1, 1200, 601, 702, 10, -5000, 12530, 3920, 3870, 3920, 15680, -179470,
         -58880},
        // /256: 100000/256 = 390; 10000127/256 = 39062. Strokes: 15000 - 18345000 / 1024;
        // -12000 + 18276000 / 1024 (17847); sensor type 2: no stroke.
        {3, 1, 1500, 1, -1200, 600, 700, 10, -5000, 12530, 3900, 3850, 3900, 15680, -29150, 58470},
        {3, 2, 0, 0, 0, 600, 700, 10, -5000, 12530, 3900, 3850, 3900, 15680, 0, -61090},
        // 16-bit raws, throttle range x 256: (2560 - 5120) x 1000 / 51200; 25700000/72448 =
        // 354; 25600000/65536 = 390; 2560032768/65536 = 39062; 80000000/65536 = 1220. Zero
        // x 64: 18768 - 78335 x 18768 / 65535; 12000 - 97535 x 12000 / 65536.
        {4, 0, 0, 1, 1200, 38400, 44800, 2560, -5000, 12540, 3900, 3850, 3900, 12200, -36650,
         -58590},
        // (13 - 20) x 25 / 10 = -17.5 tenths; 100000/285 + 900; no VB and no AUX in these
        // records. Stroke type not consulted, top bits of 41/42 ignored; version 32:
        // 18768 - 600 x 18768 / 1024 - 400 x 25; 12500 - 8544 - 200 x 25.
        {0, 1, 1500, 2, 0, 600, 700, 13, -1700, 12500, 12500, 0, 0, 0, -36690, -61090},
        {32, 0, 0, 0, 0, 600, 700, 13, -1700, 12500, 12500, 0, 0, 0, -22280, -10440},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Family3File f(c.version);
        f.Throttle(20, 220, 25).InputType(1, 1).InputType(2, 2).InputType(3, 2);
        f.InputGainOffset(2, 100, -5).InputGainOffset(3, 100, -5);
        f.Sensor(0, c.frontType, 400, c.frontS).Sensor(1, c.rearType, 200, c.rearS);
        if (c.version == 0 || c.version == 32) f.Set(41, 0xC0).Set(42, 0x40);
        const bool wide = c.version == 4;
        Family3Sample s{.throttle = c.throttle, .front = c.front, .rear = c.rear};
        s.laf1 = wide ? 25700 : 100;
        s.laf2 = wide ? 51200 : c.version % 32 == 0 ? 100 : 200;
        s.aux1 = s.aux2 = wide ? 51200 : 200;
        s.vb = wide ? 40000 : 200;
        LoadQvd(f.Append(s));
        EXPECT_EQ(std::tuple(At(kTps, 0), At(kTps, 1), At(kFr, 1), At(kRr, 1)),
                  std::tuple(0, c.tps, c.expFront, c.expRear)); // sample 0 stays zero
        EXPECT_EQ(std::tuple(At(kLaf1, 1), At(kLaf2, 1), At(kAux1, 1), At(kAux2, 1), At(kVb, 1)),
                  std::tuple(c.laf1, c.laf2, c.aux1, c.aux2, c.vb));
    }
    for (int v : {2, 4}) { // open = closed reads 0 rather than dividing by zero
        LoadQvd(Family3File(v).Throttle(50, 50).Append({.throttle = 200, .vb = 40000}));
        EXPECT_EQ(At(kTps, 1), 0) << v;
    }
}

TEST_F(Family3ReaderTest, TableInputsInterpolateSignedOutputs) {
    // 1000..5000 mV at bytes 51..255; outputs -500, 0, 1000, 1500, then 3000. 0 mV: below
    // input 0; 77 -> 1510 mV: -500 + 500 x 510 / 1000; 230 -> 4510 mV: 1500 + 1500 x 510 /
    // 1000; 255 -> 5000 mV: output 15. Version 3: 385127 / 256 = 1504 mV; version 4:
    // (19712 x 5000 + 32768) / 65536 = 1504 mV.
    const std::tuple<int, uint16_t, int32_t> cases[] = {{2, 0, -5000},   {2, 77, -2450},
                                                        {2, 230, 22650}, {2, 255, 30000},
                                                        {3, 77, -2480},  {4, 19712, -2480}};
    for (auto [version, raw, value] : cases) {
        Family3File f(version);
        f.InputType(0, 3).InputTable(0, {51, 102, 153, 204, 255}, {-500, 0, 1000, 1500, 3000});
        LoadQvd(f.Append({.laf1 = raw, .vb = 40000}));
        EXPECT_EQ(At(kLaf1, 1), value) << version << " " << raw;
    }
}

TEST_F(Family3ReaderTest, LowVoltageClearsThrottleAndStrokesAfterSample200) {
    // At or below 9.00 V: 114 -> 894, 115 -> 901 hundredths; 29523 -> 900, 29524 -> 901.
    // Versions 1 and 2 compare thousandths with 900: 11 -> 860, 12 -> 940.
    const std::tuple<int, uint16_t, uint16_t> cases[] = {
        {1, 11, 12}, {2, 11, 12}, {3, 114, 115}, {4, 29523, 29524}, {0, 0, 0}, {32, 0, 0}};
    for (auto [version, low, fine] : cases) {
        for (int keep : {0, 1}) {
            for (uint16_t vb : {low, fine}) {
                SCOPED_TRACE(testing::Message() << version << " vb " << vb << " keep " << keep);
                g_settings.VBerrexp = keep;
                Family3File f(version);
                f.Throttle(20, 220, 25).Sensor(0, 0, 400).Sensor(1, 0, 200);
                Family3Sample s{.vfw = 900, .throttle = 120, .front = 600, .rear = 700, .laf1 = 1};
                s.throttle = version == 4 ? 30720 : 120;
                s.vb = vb;
                LoadQvd(f.Append(s, 300));
                const bool wiped = vb == low && !keep && version != 0 && version != 32;
                ASSERT_TRUE(At(kTps, 200) != 0 && At(kFr, 200) != 0);
                EXPECT_EQ(std::tuple(At(kTps, 201), At(kFr, 201), At(kRr, 300)),
                          wiped ? std::tuple(0, 0, 0)
                                : std::tuple(At(kTps, 200), At(kFr, 200), At(kRr, 200)));
                // Other channels stay.
                EXPECT_EQ(std::tuple(At(kVfw, 300), At(kLaf1, 300)),
                          std::tuple(At(kVfw, 1), At(kLaf1, 200)));
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
    const LogHeader& h = SlotOf(0).header;
    EXPECT_EQ(std::tuple(h.throttleRawMin, h.throttleRawMax, h.strokeRawMaxFront),
              std::tuple(60, 200, 500));
    // Without a battery voltage in the records, every sample counts.
    Family3File old(0);
    old.Append({.throttle = 124}, 300).Append({.throttle = 3});
    LoadQvd(old.Append({.throttle = 124}, 300));
    EXPECT_EQ(h.throttleRawMin, 3);
}

TEST_F(Family3ReaderTest, LapMarkerVoltageThreshold) {
    // One pulse at sample 700 with the given VB raw: whether it becomes a mark. T = 255 x 2000
    // / 255 = 2000: versions 1 and 2 compare thousandths (25 -> 1960, 26 -> 2030, 200 ->
    // 15680), version 3 hundredths (200 -> 1568). T = 100 x 2000 / 255 = 784: 100 -> 784 is
    // not above it, 101 -> 792 is. Without a voltage every pulse counts.
    const std::tuple<int, int, uint16_t, bool> cases[] = {
        {2, 255, 25, false},  {2, 255, 26, true},  {1, 255, 200, true}, {3, 255, 200, false},
        {3, 100, 100, false}, {3, 100, 101, true}, {0, 255, 0, true},   {32, 255, 0, true}};
    for (auto [version, threshold, vb, taken] : cases) {
        Family3File f(version);
        f.Set(47, uint8_t(threshold)).Append({}, 699).Append({.marker = true, .vb = vb});
        LoadQvd(f.Append({}, 300));
        EXPECT_EQ(SlotOf(0).laps.count == 2, taken) << version << " " << vb;
    }
}

TEST_F(Family3ReaderTest, LapMarksDistancesAndTheLapDivisor) {
    // 100.0 km/h front and 50.0 km/h rear: 1000 and 500 units of 1/7200 m per sample; two
    // marks per lap. Pulses at 600 and 1201 are not more than 600 samples after a mark.
    Family3File f(2);
    f.Set(27, 2);
    for (int i = 1; i <= 2000; ++i) {
        const bool pulse = i == 600 || i == 601 || i == 1201 || i == 1202 || i == 1803;
        f.Append({.marker = pulse, .vfw = 1000, .vrw = 500});
    }
    LoadQvd(f);
    const LapMarkTable& t = SlotOf(0).laps;
    EXPECT_EQ(std::vector<int32_t>(t.marks, t.marks + t.count + 3),
              (std::vector<int32_t>{0, 601, 1202, 1803, 2001, 2001, 2001}));
    const DistanceTrack& d = SlotOf(0).distance;
    // The last value once more at 2001; mark 1 of 2 does not restart the selected track.
    EXPECT_EQ(std::tuple(At(kVfw, 5), d.front[2000], d.front[2001], d.rear[2000]),
              std::tuple(100000, 2000000u, 2000000u, 1000000u));
    EXPECT_EQ(std::tuple(d.selected[601], d.selected[1202], d.selected[1203], d.selected[1803],
                         d.selected[2001]),
              std::tuple(601000u, 0u, 1000u, 601000u, 798000u));
    g_settings.CoursePosSource = 1; // the rear wheel
    LoadQvd(f);
    EXPECT_EQ(std::tuple(d.selected[1201], d.selected[2000]), std::tuple(600500u, 399000u));

    // Versions 0 and 32 store speeds x 10 and travel stored / 100 like every other version:
    // 12340 / 100 = 123 per sample.
    LoadQvd(Family3File(0).Append({.vfw = 1234, .vrw = 20000}, 10));
    EXPECT_EQ(std::tuple(At(kVfw, 10), At(kVrw, 10), d.front[10], d.front[11], d.rear[10]),
              std::tuple(12340, 200000, 1230u, 1230u, 20000u));
}

TEST_F(Family3ReaderTest, VariableRecords) {
    g_settings.Debug = 1; // lets the marker at sample 3 count
    Family3File f(3);
    // Linear sensors with zero 1023 and stroke 102.4 mm: value = 10240 - 10 x raw.
    f.Set(16, 2).Throttle(20, 220).Sensor(0, 1, 1023, 1024).Sensor(1, 1, 1023, 1024);
    // Ne, VFW, VRW, throttle, strokes, VB and status. VRW word: front low bits 01 (bits
    // 14-15), rear 10 (bits 12-13), speed 1000.
    f.Variable(0x7E18, {6000, 0x7FFE, 0x6000 | 1000, 120, 150, 100, 200, 0x80});
    f.Variable(0, {-6, 1, 3}); // deltas
    // VFW 0x7FFF + 1 carries into the marker bit; new low stroke bits 11 and 00; a status
    // byte of 0 and all three reserved fields.
    f.Variable(0x100F, {0, 1, 0xC000 | 500, 0x00});
    f.Variable(0x8000, {0, -1, 0}); // bit 15 means nothing
    for (int i = 0; i < 100; ++i) f.Variable(0, {0, 0, 0});
    const size_t whole = f.bytes().size();
    f.Variable(0x0800, {0, 0, 0, 0}); // cut off below: 2 + 3 + 1 bytes needed
    f.bytes().resize(whole + 5);
    LoadQvd(f);
    const Slot& s = SlotOf(0);
    EXPECT_EQ(s.sampleCount, 105);
    // Ne 6000 / 2, then -6 / 2; front raws 601, 601, 603, 603; rear 402, 402, 400, 400.
    const std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t, int> expected[] = {
        {3000000, 3276600, 100000, 42300, 62200, 1},
        {2997000, 3276700, 100300, 42300, 62200, 1},
        {2997000, 0, 50000, 42100, 62400, 0},
        {2997000, 3276700, 50000, 42100, 62400, 0}};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(std::tuple(At(kNe, i), At(kVfw, i), At(kVrw, i), At(kFr, i), At(kRr, i),
                             int(s.sampleMarks[i])),
                  expected[i - 1])
            << i;
        EXPECT_EQ(std::tuple(At(kTps, i), At(kVb, i)), std::tuple(50000, 15680)) << i;
    }
    EXPECT_EQ(std::tuple(At(kVrw, 104), s.laps.count, s.laps.marks[1]), std::tuple(50000, 2, 3));

    // Version 4: 16-bit fields; 0 pulses per revolution: Ne = pulses x 2, deltas x 2.
    Family3File w(4);
    w.Throttle(20, 220).Variable(0x7830, {3000, 500, 300, 30720, 7, 40000});
    w.Variable(0, {5, -1, 0}).Append({});
    w.bytes().pop_back(); // a full record one byte short
    LoadQvd(w);
    EXPECT_EQ(std::tuple(s.sampleCount, At(kNe, 1), At(kNe, 2), At(kVfw, 2), At(kVrw, 2),
                         At(kTps, 2), At(kVb, 2)),
              std::tuple(3, 6000000, 6010000, 49900, 30000, 50000, 12200));
    for (int v : {1, 2}) { // in fixed records byte 14 bit 7 marks samples in version 2 only
        LoadQvd(Family3File(v).Append({.mark = true}).Append({}));
        EXPECT_EQ(std::tuple(int(s.sampleMarks[1]), int(s.sampleMarks[2])), std::tuple(v == 2, 0))
            << v;
    }
}

TEST_F(Family3ReaderTest, ShortCorruptAndHugeFilesEndCleanly) {
    std::vector<uint8_t> tiny = Family3File(2).bytes();
    tiny.pop_back();
    Load(0, "t.qvd", tiny);
    EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
    ExpectClosed(0);
    tiny.resize(520); // a header and half a record
    EXPECT_EQ(SlotOf(Load(0, "t.qvd", tiny)).sampleCount, 1);

    // Random records after a valid header, then random headers too: a clean rejection or a
    // consistent slot (marks ascend, the end entries hold SampleCount).
    std::mt19937 rng(7);
    for (int round = 0; round < 380; ++round) {
        Family3File f(round % 6 == 5 ? 32 : round % 6);
        std::vector<uint8_t>& b = f.bytes();
        for (size_t n = rng() % 4000; n > 0; --n) b.push_back(uint8_t(rng()));
        if (round >= 180) std::generate(b.begin() + 1, b.begin() + 512, rng);
        g_settings.Debug = round % 2;
        ClearRecordedMessages();
        Load(1, round < 180 ? "r.qvd" : "r.qvl", b);
        const Slot& s = SlotOf(1);
        if (!Loaded(1)) {
            EXPECT_TRUE(round >= 180 && SawMessage("File Error!!", "File Error.")) << round;
            continue;
        }
        ASSERT_TRUE(s.sampleCount >= 1 && s.sampleCount < s.capacity) << round;
        ASSERT_TRUE(s.laps.count >= 1 && s.laps.count <= kLastPulseEntry + 1) << round;
        for (int k = 1; k < s.laps.count; ++k) EXPECT_LT(s.laps.marks[k - 1], s.laps.marks[k]);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s.laps.marks[s.laps.count + k], s.sampleCount);
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
