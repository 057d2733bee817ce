// The family-4 reader on recordings built byte by byte: header checks, the descriptor table,
// conversions, the item stream, GPS records, lap marks, distances, appending, File 2 columns,
// fail codes from "status.ini" and the course and GPS laps after a load.
#include <string>
#include <tuple>
#include <vector>

#include "data/status_channels.h"
#include "tests/data/family4_fixture.h"

namespace qvtk::test {
namespace {

using Marks = std::vector<int32_t>;

int32_t At(int column, int32_t i, FileSlot slot = 0) {
    return SampleAt(slot, column, i);
}
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
    f.Group({Value(0, 5)}).Group({Value(0, 6)}); // column 0 again: a new group
    return f;
}

TEST_F(Family4Test, HeaderChecksRejectTheFileUnlessInDebugMode) {
    LoadF4(Basic());
    EXPECT_EQ(SlotOf(0).file.fileKind, kFileFamily4);
    EXPECT_EQ(SlotOf(0).sampleCount, 3); // sample 0 stays empty
    EXPECT_EQ(At(0, 2), 6000);
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
    LoadF4(Basic().Set(18, 5).Set(20, 5), 1);
    EXPECT_EQ(SlotOf(1).file.fileKind, kFileFamily4);
    const std::vector<Family4File> good = {Basic().Set(17, 63), Basic().Set(18, 4).Set(20, 4),
                                           Basic().Channel(1, {.code = 7, .bitDepth = 2})};
    for (const Family4File& f : good) EXPECT_TRUE(Loaded(LoadF4(f)));
    // Without the magic, a version byte of 0 reads like the magic.
    LoadF4(Basic().NoMagic(0));
    EXPECT_EQ(SlotOf(0).file.logVersion, 0);
    EXPECT_EQ(At(0, 1), 5000);

    g_settings.Debug = 1;
    for (size_t k = 0; k < bad.size(); ++k) {
        LoadF4(bad[k]);
        EXPECT_TRUE(Loaded(0)) << k;
        EXPECT_EQ(At(0, 2), 6000) << k;
    }
    EXPECT_EQ(SlotOf(0).file.logVersion, 0);
    LoadF4(Basic().NoMagic(1));
    EXPECT_EQ(SlotOf(0).file.logVersion, 1);
}

TEST_F(Family4Test, DescriptorsGiveKindsCodesAndFields) {
    Descriptor a{.code = 3, .decimals = 3, .signedRaw = true, .bitDepth = 1, .calA = 5};
    a.calB = 6, a.calOffset = 7, a.name = "Engine12", a.unit = "rpm", a.sampleTime = 9;
    a.canPort = 2, a.bitShift = 0xC5, a.flags = 0x05, a.canId = 0x12345678, a.dataMask = 0xFFF0;
    Family4File f;
    f.Channel(0, a);
    f.Channel(1, {.mode = 0, .code = 0});   // absent: takes no file-named number
    f.Channel(2, {.mode = 2, .code = 0});   // 256
    f.Channel(3, {.mode = 3, .code = 0});   // 257
    f.Channel(4, {.mode = 4, .code = 130}); // absent: takes no status number
    f.Channel(5, {.code = 133});            // 128
    f.Channel(6, {.code = 128});            // 129
    f.Channel(7, {.code = 135});            // not renumbered
    f.Channel(8, {.code = 40, .conversion = 5, .in = {-5}, .out = {0, 0, 0, 0, 0, 0, 0, 0, 0, 99}});
    // Read after the 112 bytes of column 8.
    f.Channel(9, {.code = 41, .conversion = 1, .calA = 11, .calB = 22, .calOffset = 33});
    f.Channel(10, {.code = 42, .conversion = 6, .calA = 11, .calB = 22, .calOffset = 33});
    f.Channel(11, {.code = 15});
    LoadF4(f.Group({Value(0, 1)}));
    const Slot& s = SlotOf(0);
    const int kinds[] = {1, 0, 2, 3, 0, 1, 1, 1};
    const int codes[] = {3, 0, 256, 257, 130, 128, 129, 135};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(s.channels[c].kind, kinds[c]) << c;
        EXPECT_EQ(s.channelFlags[c], kinds[c] ? kChannelPresent | kChannelShown : 0u) << c;
        EXPECT_TRUE(!kinds[c] || s.channels[c].code == codes[c]) << c;
    }
    const ChannelInfo& r = s.channels[0];
    EXPECT_STREQ(r.name, "Engine12");
    EXPECT_STREQ(r.unit, "rpm");
    // bitShift: 0xC5 & 63; flags 5: extend ID and lock.
    EXPECT_EQ(std::tuple(r.decimals, r.signedRaw, r.bitDepth, r.sampleTimeIndex, r.canPort, r.canId,
                         r.dataMask, r.bitShift, r.flags, r.extendId, r.flag1, r.lock),
              std::tuple(3, 1, 1, 9, 2, 0x12345678u, 0xFFF0, 5, 5, 1, 0, 1));
    auto cal = [&](int c) {
        return std::tuple(s.channels[c].calA, s.channels[c].calB, s.channels[c].calOffset);
    };
    EXPECT_EQ(cal(0), std::tuple(1000, 1000, 0)); // conversions other than 1-3
    EXPECT_EQ(cal(10), std::tuple(1000, 1000, 0));
    EXPECT_EQ(cal(9), std::tuple(11, 22, 33));
    EXPECT_EQ(s.channels[8].tableIn[0], -5);
    EXPECT_EQ(s.channels[8].tableOut[9], 99);
    EXPECT_EQ(g_session.channelIndexByCode[256], 2);
    EXPECT_EQ(g_session.channelIndexByCode[3], 0);
    EXPECT_EQ(s.gearInputColumn, 11);
    LoadF4(Basic());
    EXPECT_EQ(SlotOf(0).gearInputColumn, kColumnNotPresent);
}

TEST_F(Family4Test, SixtyFourTableDescriptorsFitBeforeTheData) {
    Family4File f;
    for (int c = 0; c < 64; ++c) {
        std::string name = "T";
        name.append(std::to_string(c));
        f.Channel(c, {.conversion = 5,
                      .in = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90},
                      .out = {0, 0, 0, 0, 0, 0, 0, 0, 0, c},
                      .name = name});
    }
    LoadF4(f.Group({Value(63, 95)})); // 64 x 112 bytes end at 7680
    ASSERT_TRUE(Loaded(0));
    const ChannelInfo& last = SlotOf(0).channels[63];
    EXPECT_STREQ(last.name, "T63");
    EXPECT_EQ(last.code, 256 + 63);
    EXPECT_EQ(last.tableIn[9], 90);
    EXPECT_EQ(At(63, 1), 63); // 95 >= the last input
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
    LoadF4(f.Group({Value(0, 1), Value(1, 0), Value(2, 5), Value(3, 4), Value(4, 7), Value(5, 7),
                    Value(6, 0x00F9), Value(7, 0xFF38), Value(8, 0xFF38), Value(9, 0xFF38)}));
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

    ChannelInfo t;
    t.conversion = 5;
    const int32_t in[10] = {-100, 0, 100, 200, 300, 400, 500, 600, 700, 800};
    const int32_t out[10] = {-1000, 1000, 2000, 2003, 3000, 0, 0, 0, 0, 9999};
    std::copy(in, in + 10, t.tableIn);
    std::copy(out, out + 10, t.tableOut);
    EXPECT_EQ(Family4Convert(t, -101), -1000); // below the first input
    EXPECT_EQ(Family4Convert(t, -50), 0);      // -1000 + 2000 x 50 / 100
    EXPECT_EQ(Family4Convert(t, 100), 2000);   // on an input
    EXPECT_EQ(Family4Convert(t, 150), 2001);   // 2000 + 3 x 50 / 100
    EXPECT_EQ(Family4Convert(t, 350), 1500);   // 3000 - 3000 x 50 / 100
    EXPECT_EQ(Family4Convert(t, 800), 9999);   // at the last input
    EXPECT_EQ(Family4Convert(t, 5000), 9999);
    for (int conversion : {0, 4, 6, 7}) {
        t.conversion = uint8_t(conversion);
        EXPECT_EQ(Family4Convert(t, -3), -3000) << conversion;
    }
    ChannelInfo r;
    const Item item = Value(0, 0x00C8);
    EXPECT_EQ(Family4RawValue(r, item), 200);
    r.signedRaw = 1;
    EXPECT_EQ(Family4RawValue(r, item), -56); // i8 0xC8
    r.bitDepth = 1;
    EXPECT_EQ(Family4RawValue(r, item), 200);
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
    const std::vector<int32_t> c0 = {0, 1, 1, 1, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 9};
    const std::vector<int32_t> c2 = {0, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
    const std::vector<int32_t> c5 = {0, 0, 0, 0, 0, 0, 6, 6, 6, 6, 6, 6, 6, 6, 6};
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(At(0, i), c0[i] * 1000) << i;
        EXPECT_EQ(At(2, i), c2[i] * 1000) << i;
        EXPECT_EQ(At(5, i), c5[i] * 1000) << i;
    }
}

TEST_F(Family4Test, ItemsTheDecoderDoesNotFillAreSkippedAndCutItemsEndTheStream) {
    Family4File f;
    f.Channel(0, {.code = 3})
        .Channel(1, {.mode = 2, .code = 200})
        .Channel(3, {.mode = 0, .code = 65}) // absent, but its items are 17 bytes
        .Channel(5, {.code = 11});
    // Payload bytes 0x05 would read as column 5 if an item were not skipped whole.
    f.Group({Value(0, 1), Value(1, 0x0505), Value(2, 0x0505), OneByte(3, 5), Value(5, 2),
             Value(100, 0x0505)})
        .Group({Value(0, 3)});
    LoadF4(f);
    ASSERT_EQ(SlotOf(0).sampleCount, 3);
    EXPECT_EQ(At(0, 1), 1000);
    EXPECT_EQ(At(5, 1), 2000);
    EXPECT_EQ(At(0, 2), 3000);
    EXPECT_EQ(At(5, 2), 2000);
    EXPECT_EQ(At(1, 1), 0); // computed columns are left to the derived channels

    Family4File cut;
    cut.Channel(0, {.code = 3}).Channel(2, {.code = 4}).Channel(4, {.code = 64});
    cut.Group({Value(0, 1)}).Group({Value(0, 2), Value(2, 3)}).Raw({0, 0, 4, 2, 0});
    LoadF4(cut);
    ASSERT_EQ(SlotOf(0).sampleCount, 4); // the cut item ends the stream inside sample 3
    EXPECT_EQ(At(0, 3), 4000);
    EXPECT_EQ(At(2, 3), 3000);
    Family4File cutGps;
    cutGps.Channel(0, {.code = 3}).Channel(4, {.code = 64});
    Item gps = Position(4, '1', 1, 1);
    gps.resize(10);
    LoadF4(cutGps.Group({Value(0, 1)}).Group({Value(0, 5), gps}));
    ASSERT_EQ(SlotOf(0).sampleCount, 3);
    EXPECT_EQ(At(0, 2), 5000);
    EXPECT_EQ(SlotOf(0).gps.status[2], 0);
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
        .Group({Value(0, 3), Position(1, 'A', 5, 6)})                // s6
        .Group({Value(0, 3), Position(1, '6', 5, 6)});               // s7
    LoadF4(f);
    const GpsTrack& g = SlotOf(0).gps;
    ASSERT_EQ(SlotOf(0).sampleCount, 8);
    auto fix = [&](int i) { return std::tuple(int(g.status[i]), g.lat[i], g.lon[i], g.extra[i]); };
    EXPECT_EQ(fix(1), std::tuple(3, -2100000, -8400000, 0x1234));
    EXPECT_EQ(fix(4), std::tuple(5, 2100001, 8400001, 7));
    for (int i : {2, 3, 5}) { // between records: the last position, status 0
        EXPECT_EQ(g.status[i], 0) << i;
        EXPECT_EQ(g.lat[i], i == 5 ? 2100001 : -2100000) << i;
        EXPECT_EQ(g.lon[i], i == 5 ? 8400001 : -8400000) << i;
        EXPECT_EQ(At(2, i), 42000) << i; // the one-byte value 42 and the speed 3600 x 10
        EXPECT_EQ(At(3, i), 36000) << i;
    }
    EXPECT_EQ(At(1, 1), 3000);
    EXPECT_EQ(At(1, 4), 5000);
    for (int i : {6, 7}) { // fix characters outside '0'-'5'
        EXPECT_EQ(std::tuple(int(g.status[i]), g.lat[i], At(1, i)), std::tuple(0, 5, 0)) << i;
    }
}

// VFW 36 km/h from sample 1 and the lap-marker column (code 1) pulsing at the given samples;
// the last sample is end - 1.
Family4File WithPulses(const std::vector<int>& pulses, int end) {
    Family4File f;
    f.Channel(0, {.code = 6}).Channel(1, {.code = 1, .conversion = 2, .calA = 7});
    f.Group({Value(0, 36), Value(1, 0x1236)});
    for (int p : pulses) f.RepeatTo(p).Group({Value(1, 1)});
    return f.RepeatTo(end);
}

TEST_F(Family4Test, LapMarkerColumnGivesMarksUnderTheSpacingRules) {
    LoadF4(WithPulses({600, 601, 1201, 1202, 1300, 1851}, 1901).Set(34, 2));
    const Slot& s = SlotOf(0);
    EXPECT_EQ(At(1, 1), 0x1230); // raw with the low 4 bits cleared, not converted
    EXPECT_EQ(s.laps.divisor, 2);
    // 600 and 1201 are not more than 600 samples after a mark; 1901 - 1851 = 50 keeps 1851.
    EXPECT_EQ(LapMarks(), (Marks{4, 0, 601, 1202, 1851, 1901, 1901, 1901}));
    // 36 km/h = 36000 / 100 = 360 per sample; the selected track restarts at even marks.
    EXPECT_EQ(s.distance.front[1202], 360u * 1202);
    EXPECT_EQ(s.distance.selected[601], 360u * 601);
    EXPECT_EQ(s.distance.selected[1202], 0u);
    EXPECT_EQ(s.distance.selected[1203], 360u);
    EXPECT_EQ(s.distance.front[1901], s.distance.front[1900]); // repeats once after the end

    LoadF4(WithPulses({601, 1851}, 1900).Set(34, 5)); // 1900 - 1851 = 49: dropped
    EXPECT_EQ(SlotOf(0).laps.divisor, 1);
    EXPECT_EQ(LapMarks(), (Marks{2, 0, 601, 1900, 1900, 1900}));
    EXPECT_EQ(SlotOf(0).distance.selected[601], 0u);

    g_settings.Debug = 1; // any spacing, but entry 509 is the last
    std::vector<int> every2;
    for (int k = 1; k <= 520; ++k) every2.push_back(2 * k);
    LoadF4(WithPulses(every2, 1100));
    ASSERT_EQ(SlotOf(0).laps.count, 510);
    EXPECT_EQ(SlotOf(0).laps.marks[1], 2);
    EXPECT_EQ(SlotOf(0).laps.marks[509], 1018);
    EXPECT_EQ(SlotOf(0).laps.marks[512], 1100);
}

TEST_F(Family4Test, DistancesTakeGpsSpeedWhenTheFileHasItElseVfw) {
    g_settings.CoursePosSource = 1; // the wheel choice plays no part here
    for (int variant = 0; variant < 3; ++variant) {
        Family4File f;
        f.Channel(0, {.code = 6}).Channel(1, {.code = 7}).Channel(2, {.code = 66});
        if (variant == 0) f.Group({Value(0, 36), Value(1, 72), Value(2, 1800)});
        if (variant == 1) f.Group({Value(0, 36), Value(1, 72)}); // a speed column, no items
        if (variant == 2) f.Channel(2, {.mode = 0}).Group({Value(0, 36), Value(1, 72)});
        LoadF4(f.Repeat(2));
        const DistanceTrack& d = SlotOf(0).distance;
        // Per sample: VFW 36000 / 100 = 360, VRW 720, GPS speed 1800 x 10 / 100 = 180.
        const uint32_t selected = variant == 0 ? 180 : 360;
        for (uint32_t i = 1; i <= 3; ++i) {
            EXPECT_EQ(d.front[i], 360 * i) << variant;
            EXPECT_EQ(d.rear[i], 720 * i) << variant;
            EXPECT_EQ(d.selected[i], selected * i) << variant;
        }
        EXPECT_EQ(d.selected[4], selected * 3) << variant;
    }
}

TEST_F(Family4Test, StrokeMaximaCountOnlyAfterSample200) {
    Family4File f;
    f.Channel(0, {.code = 9}).Channel(1, {.code = 10});
    f.Group({Value(0, 90), Value(1, 80)}).RepeatTo(200).Group({Value(0, 95), Value(1, 85)});
    LoadF4(f.Group({Value(0, 30), Value(1, 20)}).Group({Value(0, 40)}).Group({Value(0, 10)}));
    EXPECT_EQ(SlotOf(0).header.strokeRawMaxFront, 40000); // samples 201-203: 30, 40, 10
    EXPECT_EQ(SlotOf(0).header.strokeRawMaxRear, 20000);
}

// VFW and the lap marker; a pulse at `pulse`, the last sample end - 1.
Family4File Piece(uint16_t vfw, int pulse, int end) {
    Family4File f;
    f.Channel(0, {.code = 6}).Channel(1, {.code = 1});
    f.Group({Value(0, vfw), Value(1, 0)});
    return f.RepeatTo(pulse).Group({Value(1, 1)}).RepeatTo(end);
}

TEST_F(Family4Test, AppendedFileContinuesTheRecording) {
    g_loadOptions.appendFamily4 = true;
    LoadF4(Piece(36, 601, 701)); // an empty slot: a normal load
    ASSERT_EQ(SlotOf(0).sampleCount, 701);
    LoadF4(Piece(72, 700, 801)); // 800 samples, the first lands on sample 701
    const Slot& s = SlotOf(0);
    ASSERT_EQ(s.sampleCount, 701 + 800);
    EXPECT_GE(s.capacity, 1501 + 16);
    EXPECT_EQ(At(0, 700), 36000);
    EXPECT_EQ(At(0, 701), 72000);
    EXPECT_EQ(At(0, 1500), 72000);
    EXPECT_EQ(LapMarks(), (Marks{3, 0, 601, 1400, 1501, 1501, 1501})); // 700 + local 700
    EXPECT_EQ(s.distance.front[700], 360u * 700);
    EXPECT_EQ(s.distance.front[701], 360u * 700 + 720);
    EXPECT_EQ(s.distance.front[1500], 360u * 700 + 720 * 800);
    EXPECT_EQ(s.distance.selected[701], 360u * 99 + 720); // the lap from 601 goes on
    EXPECT_EQ(s.distance.selected[1400], 0u);

    ClearRecordedMessages();
    LoadF4(Piece(5, 10, 20).Set(16, 1));
    EXPECT_TRUE(SawMessage("File Error!!", "File Error."));
    EXPECT_EQ(SlotOf(0).file.fileKind, kFileFamily4); // the recording stays as it was
    EXPECT_EQ(SlotOf(0).sampleCount, 1501);
    EXPECT_EQ(At(0, 1500), 72000);
}

TEST_F(Family4Test, File2KeepsFile1sPresentColumnsWithKindZero) {
    Family4File one;
    one.Channel(0, {.code = 3, .name = "Ne"}).Channel(3, {.code = 200, .name = "Oil"});
    LoadF4(one.Group({Value(0, 1), Value(3, 2)}));
    Family4File two;
    two.Channel(0, {.code = 3, .name = "Ne"});
    LoadF4(two.Group({Value(0, 5)}), 1);
    const Slot& s = SlotOf(1);
    EXPECT_TRUE(IsPresent(s, 3));
    EXPECT_EQ(s.channels[3].kind, 0);
    EXPECT_TRUE(HasFullBuffer(s, 3));
    EXPECT_EQ(At(3, 1, 1), 0);
    EXPECT_FALSE(IsPresent(s, 4));
    EXPECT_EQ(At(0, 1, 1), 5000);
}

TEST_F(Family4Test, StatusIniFailCodesAreReportedForFile1) {
    WriteFile("status.ini", "[ECU]\r\nwarning=1\r\nD7=Throttle sensor open\r\nD255=never\r\n"
                            "D1=0123456789012345678901234567890123456789\r\n"
                            "[ABS]\r\nwarning=0\r\nD7=quiet\r\n");
    auto file = [](uint16_t ecu, uint16_t abs) {
        Family4File f;
        f.Channel(0, {.code = 3}).Channel(2, {.code = 130, .name = "ECU"});
        f.Channel(5, {.code = 128, .name = "ABS"});
        return f.Group({Value(0, 1), Value(2, ecu), Value(5, abs)}).Repeat(3);
    };
    auto report = [&](uint16_t ecu, FileSlot slot = 0) {
        ClearRecordedMessages();
        LoadF4(file(ecu, 7), slot);
        std::vector<std::string> texts;
        for (const Message& m : RecordedMessages())
            if (m.caption == "Warning!") texts.push_back(m.text);
        return texts;
    };
    const std::string head = "CH2 Fail code was found. Fail code\n\n  no.";
    using Texts = std::vector<std::string>;
    EXPECT_EQ(report(7), Texts{head + "7 - Throttle sensor open"}); // ABS asks for no warning
    EXPECT_EQ(SlotOf(0).channels[2].code, 128);
    EXPECT_EQ(SlotOf(0).channels[5].code, 129);
    EXPECT_EQ(report(263), Texts{head + "7 - Throttle sensor open"}); // 263000 / 1000 % 256
    EXPECT_EQ(report(255), Texts{head + "255 - "});
    EXPECT_EQ(report(9), Texts{head + "9 - "});
    EXPECT_EQ(report(1), Texts{head + "1 - 01234567890123456789012345678901"});
    EXPECT_EQ(report(0), Texts{});
    EXPECT_EQ(report(7, 1), Texts{});
}

// Engine speed and GPS positions crossing the line from latitude 34.5 deg, longitude 136.25 to
// 136.375 (x 6 000 000) at its middle, at samples 300, 400 and 6390 of 6400.
Family4File GpsRide() {
    const int32_t lat = 207000000, lon = 817875000;
    Family4File f;
    f.Course("Suzuka.old").Line(lat, 817500000, lat, 818250000).Set(32, 2);
    f.Channel(0, {.code = 3}).Channel(1, {.code = 64});
    f.Group({Value(0, 1), Position(1, '1', lat - 500, lon)});
    f.RepeatTo(300).Group({Position(1, '1', lat + 500, lon)});
    f.RepeatTo(400).Group({Position(1, '1', lat - 500, lon)});
    f.RepeatTo(6390).Group({Position(1, '1', lat + 500, lon)});
    return f.RepeatTo(6400);
}

TEST_F(Family4Test, RecordedCourseAndLapsFromTheRecordedLine) {
    const std::string line = "CL_LAT_A=34.5\r\nCL_LON_A=136.25\r\nCL_LAT_B=34.5\r\nCL_LON_B=";
    WriteFile("gps_p.ini", "[Suzuka.crs]\r\n" + line + "136.375\r\n");
    LoadF4(GpsRide());
    EXPECT_EQ(g_session.courseName, "Suzuka.crs");
    EXPECT_EQ(g_settings.CourseFile_name, "Suzuka.crs");
    // Crossings halfway between fixes: 200 + 100 / 2 and 300 + 100 / 2; the one at
    // 400 + 5990 / 2 = 3395 lies within 6000 samples of the end.
    const Marks laps = {3, 0, 250, 350, 6400, 6400, 6400};
    EXPECT_EQ(LapMarks(), laps);

    ResetProgram();
    g_session.programDirectory = dir_;
    g_settings.SmoothingSample = 100000;
    WriteFile("gps_p.ini", "[Suzuka.crs]\r\n" + line + "136.5\r\n");
    LoadF4(GpsRide());
    EXPECT_EQ(g_session.courseName, "");
    EXPECT_EQ(g_settings.CourseFile_name, "vorela.crs");
    EXPECT_EQ(LapMarks(), laps); // laps still come from the recording's own line

    // A recording that names no course (and whose line is 0,0 as a missing section reads)
    // leaves the course as it was.
    ResetProgram();
    g_session.programDirectory = dir_;
    std::remove((dir_ + "/gps_p.ini").c_str());
    LoadF4(GpsRide().Course(std::string(16, '\0')).Line(0, 0, 0, 0));
    EXPECT_FALSE(g_session.courseKnown);
    EXPECT_EQ(g_settings.CourseFile_name, "vorela.crs");

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
