// The family-4 reader on recordings built byte by byte: header checks, the descriptor table,
// conversions, the item stream, GPS records, lap marks, distances, appending, File 2 columns,
// fail codes from "status.ini" and the course and GPS laps after a load.
#include <string>
#include <tuple>
#include <vector>

#include "tests/data/family4_fixture.h"

namespace qvtk::test {
namespace {

using Marks = std::vector<int32_t>;

// The lap mark count and the entries up to the last end entry.
Marks LapMarks(FileSlot slot = 0) {
    const LapMarkTable& t = SlotOf(slot).laps;
    Marks m = {t.count};
    m.insert(m.end(), t.marks, t.marks + t.count + 3);
    return m;
}

// Engine speed in column 0, two samples.
Family4File Basic() {
    Family4File f;
    f.Channel(0, {.code = 3, .name = "Ne"});
    return f.Group({Value(0, 5)}).Group({Value(0, 6)}); // column 0 again: a new group
}

TEST_F(Family4Test, HeaderChecksRejectTheFileUnlessInDebugMode) {
    LoadF4(Basic());
    EXPECT_EQ(std::tuple(SlotOf(0).sampleCount, At(0, 2)), std::tuple(3, 6000)); // 0 stays empty
    const std::vector<Family4File> bad = {
        Basic().Set(16, 1), Basic().Set(17, 64), Basic().Set(18, 5),
        Basic().Set(20, 5), Basic().NoMagic(1),  Basic().Channel(1, {.code = 7, .bitDepth = 3})};
    for (size_t k = 0; k < bad.size(); ++k) {
        LoadF4(Basic());
        ClearRecordedMessages();
        LoadF4(bad[k]);
        EXPECT_TRUE(SawMessage("File Error!!", "File Error.")) << k;
        ExpectClosed(0);
    }
    // The CAN bit rates are checked for File 1 only.
    EXPECT_TRUE(Loaded(LoadF4(Basic().Set(18, 5).Set(20, 5), 1)));
    for (const Family4File& f : {Basic().Set(17, 63), Basic().Set(18, 4).Set(20, 4),
                                 Basic().Channel(1, {.code = 7, .bitDepth = 2})})
        EXPECT_TRUE(Loaded(LoadF4(f)));
    // Without the magic, a version byte of 0 reads like the magic.
    LoadF4(Basic().NoMagic(0));
    EXPECT_EQ(std::tuple(SlotOf(0).file.logVersion, At(0, 1)), std::tuple(0, 5000));
    g_settings.Debug = 1;
    for (size_t k = 0; k < bad.size(); ++k) {
        LoadF4(bad[k]);
        EXPECT_EQ(std::tuple(SlotOf(0).file.logVersion, At(0, 2)), std::tuple(k == 4, 6000)) << k;
    }
}

TEST_F(Family4Test, DescriptorsGiveKindsCodesAndFields) {
    Descriptor a{.code = 3, .decimals = 3, .signedRaw = true, .bitDepth = 1, .calA = 5};
    a.calB = 6, a.calOffset = 7, a.name = "Engine12", a.unit = "rpm", a.sampleTime = 9;
    a.canPort = 2, a.bitShift = 0xC5, a.flags = 0x05, a.canId = 0x12345678, a.dataMask = 0xFFF0;
    Family4File f;
    f.Channel(0, a).Channel(2, {.mode = 2}).Channel(3, {.mode = 3});
    f.Channel(4, {.mode = 4, .code = 130}).Channel(5, {.code = 133}).Channel(6, {.code = 128});
    f.Channel(7, {.code = 135}).Channel(11, {.code = 15});
    f.Channel(8, {.code = 40,
                  .conversion = 5,
                  .in = {-5},
                  .out = {0, 0, 0, 0, 0, 0, 0, 0, 0, 99},
                  .name = "Table"});
    // Read after the 112 bytes of column 8.
    f.Channel(9, {.code = 41, .conversion = 1, .calA = 11, .calB = 22, .calOffset = 33});
    LoadF4(f.Group({Value(0, 1)}));
    // "kind:code" of present and shown columns, "kind-code" of absent ones. Modes 1-3 are
    // present; code 0 takes the next file-named number (256), codes 128-134 the next status
    // number (128); absent columns take none.
    const Slot& s = SlotOf(0);
    std::string kinds;
    for (int c = 0; c < 8; ++c) {
        const uint32_t on = s.channelFlags[c];
        const char* mark = on == (kChannelPresent | kChannelShown) ? ":" : on ? "?" : "-";
        kinds +=
            std::to_string(s.channels[c].kind) + mark + std::to_string(s.channels[c].code) + " ";
    }
    EXPECT_EQ(kinds, "1:3 0-0 2:256 3:257 0-130 1:128 1:129 1:135 ");
    const ChannelInfo &r = s.channels[0], &c8 = s.channels[8], &c9 = s.channels[9];
    EXPECT_EQ(std::string(r.name) + "|" + r.unit + "|" + c8.name, "Engine12|rpm|Table");
    // bitShift: 0xC5 & 63; flags 5: extend ID and lock.
    EXPECT_EQ(std::tuple(r.decimals, r.signedRaw, r.bitDepth, r.sampleTimeIndex, r.canPort, r.canId,
                         r.dataMask, r.bitShift, r.flags, r.extendId, r.flag1, r.lock),
              std::tuple(3, 1, 1, 9, 2, 0x12345678u, 0xFFF0, 5, 5, 1, 0, 1));
    // Calibration values only for conversions 1-3; ten-point tables for 5.
    EXPECT_EQ(std::tuple(r.calA, r.calB, r.calOffset, c9.calA, c9.calB, c9.calOffset, c8.tableIn[0],
                         c8.tableOut[9]),
              std::tuple(1000, 1000, 0, 11, 22, 33, -5, 99));
    EXPECT_EQ(std::tuple(g_session.channelIndexByCode[256], g_session.channelIndexByCode[3],
                         s.gearInputColumn),
              std::tuple(2, 0, 11));
    LoadF4(Basic());
    EXPECT_EQ(SlotOf(0).gearInputColumn, kColumnNotPresent);

    // 64 ten-point tables (64 x 112 bytes end at 7680) still fit before the data.
    Family4File t;
    for (int c = 0; c < 64; ++c)
        t.Channel(c, {.conversion = 5, .in = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, .out = {c}});
    LoadF4(t.Group({Value(63, 5)})); // 63 + (0 - 63) x 5 / 10
    EXPECT_EQ(std::tuple(SlotOf(0).channels[63].code, At(63, 1)), std::tuple(256 + 63, 32));
}

TEST_F(Family4Test, RawFormsAndConversions) {
    Family4File f;
    f.Channel(0, {.conversion = 1, .calA = 0, .calB = 3000})
        .Channel(1, {.conversion = 1, .calA = 1000, .calB = 3000})
        .Channel(2, {.conversion = 1, .calA = 2000, .calB = 2000})
        .Channel(3, {.conversion = 2, .calA = 250, .calOffset = -7})
        .Channel(4, {.conversion = 3, .calA = 3, .calB = 400, .calOffset = 10})
        .Channel(5, {.conversion = 3, .calA = 3, .calB = 0, .calOffset = 10})
        .Channel(6, {.conversion = 3, .signedRaw = true, .calA = 3, .calB = 400, .calOffset = 10})
        .Channel(7, {.conversion = 0, .signedRaw = true, .bitDepth = 2})
        .Channel(8, {.conversion = 0, .signedRaw = true})
        .Channel(9, {.conversion = 7});
    const std::initializer_list<Item> group = {
        Value(0, 1),      Value(1, 0),      Value(2, 5),      Value(3, 4),      Value(4, 7),
        Value(5, 7),      Value(6, 0x00F9), Value(7, 0xFF38), Value(8, 0xFF38), Value(9, 0xFF38)};
    LoadF4(f.Group(group));
    const int32_t expected[] = {
        33333,    // 100000 / 3000 x (1 x 1000 - 0) = 33333.3
        -50000,   // 100000 / 2000 x (0 - 1000)
        0,        // cal A = cal B
        993,      // 250 x 4 - 7
        62,       // 3 x 7 x (1000 / 400) + 10 = 62.5
        31,       // cal B 0: 3 x 7 + 10
        -42,      // i8 0xF9 = -7: -52.5 + 10 = -42.5
        -200000,  // i16 0xFF38 = -200, x 1000
        56000,    // i8 of the second byte 0x38 = 56, x 1000
        65336000, // u16 0xFF38 = 65336, x 1000
    };
    for (int c = 0; c < 10; ++c) EXPECT_EQ(At(c, 1), expected[c]) << c;
    // Columns with many items are converted through a table of every item word: the same.
    for (int k = 0; k < 20000; ++k) f.Group(group);
    LoadF4(f);
    for (int c = 0; c < 10; ++c) EXPECT_EQ(At(c, 20001), expected[c]) << c;

    // The table conversion: below the first input; -1000 + 2000 x 50 / 100; on an input;
    // 2000 + 3 x 50 / 100; 3000 - 3000 x 50 / 100; at and beyond the last input.
    ChannelInfo t;
    t.conversion = 5;
    const int32_t in[10] = {-100, 0, 100, 200, 300, 400, 500, 600, 700, 800};
    const int32_t out[10] = {-1000, 1000, 2000, 2003, 3000, 0, 0, 0, 0, 9999};
    std::copy(in, in + 10, t.tableIn);
    std::copy(out, out + 10, t.tableOut);
    const std::pair<int32_t, int32_t> points[] = {
        {-101, -1000}, {-50, 0}, {100, 2000}, {150, 2001}, {350, 1500}, {800, 9999}, {5000, 9999}};
    for (auto [raw, value] : points) EXPECT_EQ(Family4Convert(t, raw), value) << raw;
    // Table points from a damaged file span the whole 32-bit range: the line between them is
    // still followed (the middle of the inputs maps to the middle of INT32_MIN + 1 .. INT32_MAX).
    t.tableIn[0] = INT32_MIN;
    t.tableIn[1] = INT32_MAX;
    t.tableOut[0] = INT32_MIN + 1;
    t.tableOut[1] = INT32_MAX;
    EXPECT_EQ(Family4Convert(t, 0), 0);
    // Raw forms of an item: u16, i8 of the second byte, i16.
    ChannelInfo u, i8, i16;
    i8.signedRaw = i16.signedRaw = i16.bitDepth = 1;
    const Item item = Value(0, 0x00C8);
    EXPECT_EQ(
        std::tuple(Family4RawValue(u, item), Family4RawValue(i8, item), Family4RawValue(i16, item)),
        std::tuple(200, -56, 200));
}

TEST_F(Family4Test, RepeatBytesAndTheEndsOfASampleGroup) {
    Family4File f;
    f.Channel(0, {.code = 3}).Channel(2, {.code = 4}).Channel(5, {.code = 11});
    f.Group({Value(0, 1), Value(2, 2)}) // s1
        .Raw({0x80})                    // s2: one repeated sample
        .Group({Value(2, 3)})           // s3
        .Group({Value(0, 4)})           // s4: a lower column starts a group
        .Group({Value(0, 5)})           // s5: so does the same column
        .Raw({127})                     // ends s5 and is consumed
        .Group({Value(5, 6)})           // s6
        .Raw({127, 127})                // ends s6; an empty group s7
        .Raw({0x85})                    // s8-s13: six repeated samples
        .Group({Value(0, 9)});          // s14
    LoadF4(f);
    ASSERT_EQ(SlotOf(0).sampleCount, 15);
    std::string values; // the digits of columns 0, 2 and 5 (/ 1000) per sample
    for (int i = 0; i < 15; ++i)
        values += std::to_string(At(0, i) / 10 + At(2, i) / 100 + At(5, i) / 1000) + " ";
    EXPECT_EQ(values, "0 120 120 130 430 530 536 536 536 536 536 536 536 536 936 ");
}

TEST_F(Family4Test, ItemsTheDecoderDoesNotFillAreSkippedAndCutItemsEndTheStream) {
    // Items of a computed column (mode 2), of absent columns (17 bytes for an absent GPS
    // column) and of a column beyond the table are passed over whole: their payload bytes
    // 0x05 would read as column 5 otherwise.
    Family4File f;
    f.Channel(0, {.code = 3}).Channel(1, {.mode = 2, .code = 200});
    f.Channel(3, {.mode = 0, .code = 65}).Channel(5, {.code = 11});
    f.Group({Value(0, 1), Value(1, 0x0505), Value(2, 0x0505), OneByte(3, 5), Value(5, 2),
             Value(100, 0x0505)});
    LoadF4(f.Group({Value(0, 3)}));
    ASSERT_EQ(SlotOf(0).sampleCount, 3);
    EXPECT_EQ(std::tuple(At(0, 1), At(5, 1), At(0, 2), At(5, 2), At(1, 1)),
              std::tuple(1000, 2000, 3000, 2000, 0)); // column 1 is left to the derived channels

    Family4File cut, cutGps;
    cut.Channel(0, {.code = 3}).Channel(2, {.code = 4}).Channel(4, {.code = 64});
    cutGps = cut;
    LoadF4(cut.Group({Value(0, 1)}).Group({Value(0, 2), Value(2, 3)}).Raw({0, 0, 4, 2, 0}));
    ASSERT_EQ(SlotOf(0).sampleCount, 4); // the cut item ends the stream inside sample 3
    EXPECT_EQ(std::tuple(At(0, 3), At(2, 3)), std::tuple(4000, 3000));
    Item gps = Position(4, '1', 1, 1);
    gps.resize(10);
    LoadF4(cutGps.Group({Value(0, 1)}).Group({Value(0, 5), gps}));
    EXPECT_EQ(std::tuple(SlotOf(0).sampleCount, At(0, 2), SlotOf(0).gps.status[2]),
              std::tuple(3, 5000, 0));
}

TEST_F(Family4Test, GpsRecordsAndTheOneByteAndSpeedItems) {
    Family4File f;
    f.Channel(0, {.code = 3}).Channel(1, {.code = 64}).Channel(2, {.code = 65});
    f.Channel(3, {.code = 66});
    f.Group({Value(0, 1), Position(1, '3', -2100000, -8400000, 0x1234), OneByte(2, 42),
             Value(3, 3600)})                                        // s1
        .Repeat(2)                                                   // s2, s3
        .Group({Value(0, 2), Position(1, '5', 2100001, 8400001, 7)}) // s4
        .Group({Value(0, 3)})                                        // s5
        .Group({Value(0, 3), Position(1, '6', 5, 6)});               // s6: fix outside '0'-'5'
    LoadF4(f);
    const GpsTrack& g = SlotOf(0).gps;
    ASSERT_EQ(SlotOf(0).sampleCount, 7);
    // Status, position, extra and the position column (the sample's own fix x 1000); between
    // records the last position with status 0. The one-byte value and the speed x 10 stay.
    const std::tuple<int, int32_t, int32_t, int32_t, int32_t> fixes[] = {
        {3, -2100000, -8400000, 0x1234, 3000}, {0, -2100000, -8400000, 0x1234, 0},
        {0, -2100000, -8400000, 0x1234, 0},    {5, 2100001, 8400001, 7, 5000},
        {0, 2100001, 8400001, 7, 0},           {0, 5, 6, 0, 0}};
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(std::tuple(int(g.status[i]), g.lat[i], g.lon[i], g.extra[i], At(1, i)),
                  fixes[i - 1])
            << i;
        EXPECT_EQ(std::tuple(At(2, i), At(3, i)), std::tuple(42000, 36000)) << i;
    }
}

// VFW from sample 1 and the lap-marker column (code 1) pulsing at the given samples; the last
// sample is end - 1.
Family4File WithPulses(const std::vector<int>& pulses, int end, uint16_t vfw = 36) {
    Family4File f;
    f.Channel(0, {.code = 6}).Channel(1, {.code = 1, .conversion = 2, .calA = 7});
    f.Group({Value(0, vfw), Value(1, 0x1236)});
    for (int p : pulses) f.RepeatTo(p).Group({Value(1, 1)});
    return f.RepeatTo(end);
}

TEST_F(Family4Test, LapMarkerColumnGivesMarksUnderTheSpacingRules) {
    LoadF4(WithPulses({600, 601, 1201, 1202, 1300, 1851}, 1901).Set(34, 2));
    const Slot& s = SlotOf(0);
    // The raw with the low 4 bits cleared, not converted.
    EXPECT_EQ(std::tuple(At(1, 1), s.laps.divisor), std::tuple(0x1230, 2));
    // 600 and 1201 are not more than 600 samples after a mark; 1901 - 1851 = 50 keeps 1851.
    EXPECT_EQ(LapMarks(), (Marks{4, 0, 601, 1202, 1851, 1901, 1901, 1901}));
    // 36 km/h = 36000 / 100 = 360 per sample; the selected track restarts at even marks; the
    // last value repeats once after the end.
    const DistanceTrack& d = s.distance;
    EXPECT_EQ(std::tuple(d.front[1202], d.selected[601], d.selected[1202], d.selected[1203],
                         d.front[1901]),
              std::tuple(360u * 1202, 360u * 601, 0u, 360u, 360u * 1900));

    LoadF4(WithPulses({601, 1851}, 1900).Set(34, 5)); // 1900 - 1851 = 49: dropped
    EXPECT_EQ(std::tuple(s.laps.divisor, d.selected[601]), std::tuple(1, 0u));
    EXPECT_EQ(LapMarks(), (Marks{2, 0, 601, 1900, 1900, 1900}));

    g_settings.Debug = 1; // any spacing, but entry 509 is the last
    std::vector<int> every2;
    for (int k = 1; k <= 520; ++k) every2.push_back(2 * k);
    LoadF4(WithPulses(every2, 1100));
    EXPECT_EQ(std::tuple(s.laps.count, s.laps.marks[1], s.laps.marks[509], s.laps.marks[512]),
              std::tuple(510, 2, 1018, 1100));
}

TEST_F(Family4Test, DistancesTakeGpsSpeedWhenTheFileHasItElseVfwAndStrokeMaxima) {
    g_settings.CoursePosSource = 1; // the wheel choice plays no part here
    for (bool gpsItems : {true, false}) {
        Family4File f; // a GPS speed column, with items or without
        f.Channel(0, {.code = 6}).Channel(1, {.code = 7}).Channel(2, {.code = 66});
        if (gpsItems) f.Group({Value(0, 36), Value(1, 72), Value(2, 1800)});
        if (!gpsItems) f.Group({Value(0, 36), Value(1, 72)});
        LoadF4(f.Repeat(2));
        const DistanceTrack& d = SlotOf(0).distance;
        // Per sample: VFW 36000 / 100 = 360, VRW 720, GPS speed 1800 x 10 / 100 = 180. The
        // lap (the whole recording) is as long as the selected track says.
        const uint32_t selected = gpsItems ? 180 : 360;
        EXPECT_EQ(std::tuple(d.front[3], d.rear[3], d.selected[1], d.selected[3], d.selected[4],
                             SlotOf(0).laps.lapDistance[1]),
                  std::tuple(1080u, 2160u, selected, selected * 3, selected * 3, 3 * selected));
    }
    // Stroke maxima count only after sample 200: samples 201-203 hold 30, 40, 10 (front).
    Family4File f;
    f.Channel(0, {.code = 9}).Channel(1, {.code = 10});
    f.Group({Value(0, 90), Value(1, 80)}).RepeatTo(200).Group({Value(0, 95), Value(1, 85)});
    LoadF4(f.Group({Value(0, 30), Value(1, 20)}).Group({Value(0, 40)}).Group({Value(0, 10)}));
    EXPECT_EQ(std::tuple(SlotOf(0).header.strokeRawMaxFront, SlotOf(0).header.strokeRawMaxRear),
              std::tuple(40000, 20000));
}

TEST_F(Family4Test, AppendedFileContinuesTheRecording) {
    g_loadOptions.appendFamily4 = true;
    LoadF4(WithPulses({601}, 701)); // an empty slot: a normal load
    ASSERT_EQ(SlotOf(0).sampleCount, 701);
    LoadF4(WithPulses({700}, 801, 72)); // 800 samples, the first lands on sample 701
    const Slot& s = SlotOf(0);
    ASSERT_EQ(s.sampleCount, 701 + 800);
    EXPECT_GE(s.capacity, 1501 + 16);
    EXPECT_EQ(std::tuple(At(0, 700), At(0, 701), At(0, 1500)), std::tuple(36000, 72000, 72000));
    EXPECT_EQ(LapMarks(), (Marks{3, 0, 601, 1400, 1501, 1501, 1501})); // 700 + local 700
    // Distances go on; so does the lap from 601.
    const DistanceTrack& d = s.distance;
    EXPECT_EQ(std::tuple(d.front[700], d.front[1500], d.selected[701], d.selected[1400]),
              std::tuple(360u * 700, 360u * 700 + 720 * 800, 360u * 99 + 720, 0u));

    ClearRecordedMessages();
    LoadF4(WithPulses({10}, 20).Set(16, 1));
    EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
    // The recording stays as it was.
    EXPECT_EQ(std::tuple(s.file.fileKind, s.sampleCount, At(0, 1500)),
              std::tuple(kFileFamily4, 1501, 72000));
}

TEST_F(Family4Test, File2KeepsFile1sPresentColumnsWithKindZero) {
    Family4File one, two;
    one.Channel(0, {.code = 3, .name = "Ne"}).Channel(3, {.code = 200, .name = "Oil"});
    LoadF4(one.Group({Value(0, 1), Value(3, 2)}));
    LoadF4(two.Channel(0, {.code = 3, .name = "Ne"}).Group({Value(0, 5)}), 1);
    const Slot& s = SlotOf(1);
    EXPECT_EQ(std::tuple(IsPresent(s, 3), s.channels[3].kind, HasFullBuffer(s, 3), At(3, 1, 1),
                         IsPresent(s, 4), At(0, 1, 1)),
              std::tuple(true, 0, true, 0, false, 5000));
}

TEST_F(Family4Test, StatusIniFailCodesAreReportedForFile1) {
    WriteFile("status.ini", "[ECU]\r\nwarning=1\r\nD7=Throttle sensor open\r\nD255=never\r\n"
                            "D1=0123456789012345678901234567890123456789\r\n"
                            "[ABS]\r\nwarning=0\r\nD7=quiet\r\n");
    // The texts of the warnings after a load with the ECU column at `ecu`.
    auto report = [&](uint16_t ecu, FileSlot slot = 0) {
        Family4File f;
        f.Channel(0, {.code = 3}).Channel(2, {.code = 130, .name = "ECU"});
        f.Channel(5, {.code = 128, .name = "ABS"});
        ClearRecordedMessages();
        LoadF4(f.Group({Value(0, 1), Value(2, ecu), Value(5, 7)}).Repeat(3), slot);
        std::string texts;
        for (const Message& m : RecordedMessages())
            if (m.caption == "Warning!") texts += m.text + "|";
        return texts;
    };
    const std::string head = "CH2 Fail code was found. Fail code\n\n  no.";
    EXPECT_EQ(report(7), head + "7 - Throttle sensor open|"); // ABS asks for no warning
    EXPECT_EQ(std::tuple(SlotOf(0).channels[2].code, SlotOf(0).channels[5].code),
              std::tuple(128, 129));
    EXPECT_EQ(report(263), head + "7 - Throttle sensor open|");            // 263000 / 1000 % 256
    EXPECT_EQ(report(255) + report(9), head + "255 - |" + head + "9 - |"); // no text
    EXPECT_EQ(report(1), head + "1 - 01234567890123456789012345678901|");  // 32 characters
    EXPECT_EQ(report(0) + report(7, 1), "");                               // no code; File 2
}

// Engine speed and GPS positions crossing the line from latitude 34.5 deg, longitude 136.25 to
// 136.375 (x 6 000 000) at its middle, at samples 300, 400 and 6390 of 6400.
Family4File GpsRide() {
    const int32_t lat = 207000000, lon = 817875000;
    Family4File f;
    f.Text(112, "Suzuka.old").Line(lat, 817500000, lat, 818250000).Set(32, 2);
    f.Channel(0, {.code = 3}).Channel(1, {.code = 64});
    f.Group({Value(0, 1), Position(1, '1', lat - 500, lon)});
    f.RepeatTo(300).Group({Position(1, '1', lat + 500, lon)});
    f.RepeatTo(400).Group({Position(1, '1', lat - 500, lon)});
    f.RepeatTo(6390).Group({Position(1, '1', lat + 500, lon)});
    return f.RepeatTo(6400);
}

TEST_F(Family4Test, RecordedCourseAndLapsFromTheRecordedLine) {
    const std::string line =
        "[Suzuka.crs]\r\nCL_LAT_A=34.5\r\nCL_LON_A=136.25\r\nCL_LAT_B=34.5\r\n";
    WriteFile("gps_p.ini", line + "CL_LON_B=136.375\r\n");
    LoadF4(GpsRide());
    EXPECT_EQ(g_session.courseName + " " + g_settings.CourseFile_name, "Suzuka.crs Suzuka.crs");
    // Crossings halfway between fixes: 200 + 100 / 2 and 300 + 100 / 2; the one at
    // 400 + 5990 / 2 = 3395 lies within 6000 samples of the end.
    const Marks laps = {3, 0, 250, 350, 6400, 6400, 6400};
    EXPECT_EQ(LapMarks(), laps);

    ResetProgram();
    g_session.programDirectory = dir_;
    WriteFile("gps_p.ini", line + "CL_LON_B=136.5\r\n");
    LoadF4(GpsRide());
    EXPECT_EQ(g_session.courseName + " " + g_settings.CourseFile_name, " vorela.crs");
    EXPECT_EQ(LapMarks(), laps); // laps still come from the recording's own line

    // A recording that names no course (and whose line is 0,0 as a missing section reads)
    // leaves the course as it was.
    ResetProgram();
    g_session.programDirectory = dir_;
    std::filesystem::remove(dir_ + "/gps_p.ini");
    LoadF4(GpsRide().Text(112, std::string(16, '\0')).Line(0, 0, 0, 0));
    EXPECT_EQ(std::tuple(g_session.courseKnown, g_settings.CourseFile_name),
              std::tuple(false, "vorela.crs"));

    // File 2 with GPS laps from its own line leaves the laps of File 1 alone.
    for (const Family4File& file1 : {GpsRide().Set(32, 0), GpsRide().Set(32, 0).Line(0, 0, 0, 0)}) {
        LoadF4(file1);
        LoadF4(GpsRide(), 1);
        EXPECT_EQ(LapMarks(1), laps);
        EXPECT_EQ(LapMarks(0), (Marks{1, 0, 6400, 6400, 6400}));
    }
}

} // namespace
} // namespace qvtk::test
