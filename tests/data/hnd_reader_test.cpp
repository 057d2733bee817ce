// The hnd reader on files built bit by bit: header fields, the delta codes, channel periods,
// the stored formulas, lap marks from the lap channel, distances, early ends and the
// settings-driven smoothing after the load.
#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

enum { kNe, kTps, kVfw, kVrw, kFr, kRr, kLaf1, kLaf2, kVb, kAux1, kAux2 };
// Header offsets of the recording periods (ms).
constexpr size_t pNe = 7, pTps = 9, pVfw = 11, pVrw = 13, pAux1 = 15, pAux2 = 17, pVb = 19;
constexpr size_t pFr = 21, pRr = 23, pLaf1 = 25, pLaf2 = 27;

// An hnd header (1152 bytes) and its bit stream, most significant bit first. The last byte is
// padded with 1 bits: an unfinished prefix, so the padding decodes as nothing.
class HndFile {
public:
    HndFile() : bytes_(1152, 0) { Blocks(1); }
    HndFile& Set(size_t at, uint8_t v) {
        bytes_.at(at) = v;
        return *this;
    }
    HndFile& Set16(size_t at, unsigned v) {
        PutU16(bytes_, at, v);
        return *this;
    }
    HndFile& Text(size_t at, const std::string& t) {
        for (size_t i = 0; i < t.size(); ++i) Set(at + i, uint8_t(t[i]));
        return *this;
    }
    HndFile& Blocks(uint32_t n) { return Set(84, uint8_t(n >> 16)).Set16(85, n & 0xFFFF); }
    HndFile& Bits(const std::string& s) {
        for (char c : s)
            if (c == '0' || c == '1') bits_.push_back(c == '1');
        return *this;
    }
    HndFile& Zeros(int n) { return Bits(std::string(size_t(n), '0')); }
    // A 31-bit code: a 16-bit prefix (15 ones, a zero) and a 15-bit absolute value.
    HndFile& Absolute(unsigned v) {
        Bits("1111111111111110");
        for (int b = 14; b >= 0; --b) bits_.push_back(v >> b & 1);
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> b = bytes_;
        for (size_t i = 0; i < bits_.size(); i += 8) {
            uint8_t byte = 0;
            for (size_t k = 0; k < 8; ++k)
                byte = uint8_t(byte << 1 | (i + k < bits_.size() ? bits_[i + k] : 1));
            b.push_back(byte);
        }
        return b;
    }

private:
    std::vector<uint8_t> bytes_;
    std::vector<bool> bits_;
};

// Its own program directory, and no moving average unless a test asks for one.
class HndReaderTest : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        g_settings.SmoothingSample = 100000;
    }
};

FileSlot LoadHnd(const HndFile& f) {
    return Load(0, "ride.hnd", f.bytes());
}

TEST_F(HndReaderTest, HeaderFieldsBlockCountsAndTheDebugMemo) {
    HndFile f;
    f.Set(6, 0x02).Set16(39, 195).Set16(41, 203).Set16(47, 0x123).Set16(49, 0x321);
    f.Set16(51, 700).Set16(53, 600).Set(79, 0x02).Blocks(0x000102).Text(115, "QV1234");
    LoadHnd(f.Text(89, "AB C").Text(151, "xyz").Text(167, "W9").Set16(pNe, 5));
    const Slot& s = SlotOf(0);
    EXPECT_EQ(std::tuple(s.file.fileKind, s.sampleCount, s.sampleRateFactor),
              std::tuple(kFileHnd, 258 * 200, 1.0f));
    const LogHeader& h = s.header;
    // Tires are stored / 10; flag bit 0 clear: a linear front sensor.
    EXPECT_EQ(std::tuple(h.tireFront, h.tireRear, h.throttleClosed, h.throttleOpen, h.susZeroFront,
                         h.susZeroRear, h.susTypeFront, h.susTypeRear),
              std::tuple(1950, 2030, 0x123, 0x321, 700, 600, 1, 0));
    // LAF1 voltage, LAF2 sensor, AUX voltage; sprockets and teeth 1.
    EXPECT_EQ(std::vector<int>(h.inputTypes, h.inputTypes + 4), (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(std::tuple(h.sprocketFront, h.sprocketRear, h.gearTeeth[0], h.gearTeeth[13]),
              std::tuple(1, 1, 1, 1));
    EXPECT_EQ(std::tuple(g_session.firmware, std::string(h.memo)), std::tuple("QV1234", ""));

    g_settings.Debug = 1;
    LoadHnd(f);
    const std::string memo = SlotOf(0).header.memo;
    const std::string head = "ABC\r\nQV1234\r\nxyz\r\nW9\r\n"; // printable characters only
    ASSERT_GT(memo.size(), head.size());
    EXPECT_EQ(memo.substr(0, head.size()), head);
    EXPECT_TRUE(std::isdigit(uint8_t(memo[head.size()])));

    LoadHnd(HndFile().Blocks(0)); // one sample
    EXPECT_EQ(std::tuple(Loaded(0), s.sampleCount, s.laps.count, s.laps.marks[1]),
              std::tuple(true, 1, 1, 1));
    ClearRecordedMessages();
    LoadHnd(HndFile().Blocks(28801)); // 5 760 200 samples
    const std::vector<Message>& m = RecordedMessages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(std::tuple(m[0].caption, m[0].text, m[1].caption, m[1].text),
              std::tuple("File Error!!", "Data file is corrupted.", "File Error!!", "5760200"));
    ExpectClosed(0);
    // Exactly 5 760 000 samples are allowed: the reader goes on to allocate them.
    ClearRecordedMessages();
    FailAllocationsAfterBytesForTesting(1);
    LoadHnd(HndFile().Blocks(28800));
    ASSERT_FALSE(RecordedMessages().empty());
    EXPECT_EQ(RecordedMessages()[0].text, "Memory Ensure Error.(Data Main buffers)");
    EXPECT_FALSE(SawMessage("File Error!!", "Data file is corrupted."));
}

TEST_F(HndReaderTest, DeltaCodesAndChannelPeriods) {
    HndFile f;
    f.Set16(pNe, 5).Absolute(500); // sample 2 = 500
    f.Bits("1000").Bits("1001");   // +1, -1
    f.Bits("110 1").Bits("0");     // -3, 0
    f.Bits("1100");                // +3
    f.Bits("1110 1011");           // v = 01011 = 11, odd: -(5) - 4 = -9
    f.Bits("1111110 0");           // v = 11100 = 28, even: 14 + 4 = 18
    f.Bits("11111110 10000000");   // v = 0 1000 0000 = 128: 64 + 19 = 83
    f.Bits("11111111111111 0 1");  // v = 1 1111 1101 = 509: -(254) - 19 = -273
    f.Bits(std::string(31, '1'));  // filler
    f.Bits("0");                   // 0
    // A 17-bit prefix leaves 14 value bits; the low 16 bits are "10" and those: 32768 + 5.
    LoadHnd(f.Bits("1111111111111111 0 00000000000101").Bits("0"));
    // Sample s + 1 holds the sum of the codes up to sample s, x 20 (Ne), x 1000.
    const std::vector<int32_t> sums = {0,   0,   500, 501, 500, 497, 497,
                                       500, 491, 509, 592, 319, 319, 32773};
    for (int s = 1; s < 14; ++s) EXPECT_EQ(At(kNe, s), sums[size_t(s)] * 20000) << s;

    // A 10 ms channel takes a code every second sample (2, 4, 6, 8) and holds it.
    LoadHnd(HndFile().Set16(pNe, 10).Absolute(100).Bits("1000").Bits("1001").Bits("0"));
    const std::vector<int32_t> held = {0, 0, 0, 100, 100, 101, 101, 100, 100};
    for (int s = 1; s <= 8; ++s) EXPECT_EQ(At(kNe, s), held[size_t(s)] * 20000) << s;
}

// Every channel at 5 ms: sample 1's codes set sample 2, sample 2's zero Ne and throttle, and
// zero deltas follow to the end.
HndFile AllChannels(uint8_t sensorFlags, uint8_t lafFlags) {
    HndFile f;
    f.Set(6, sensorFlags).Set(79, lafFlags).Set16(47, 100).Set16(49, 900);
    f.Set16(51, 700).Set16(53, 600);
    for (size_t p : {pNe, pTps, pVfw, pVrw, pAux1, pAux2, pVb, pFr, pRr, pLaf1, pLaf2})
        f.Set16(p, 5);
    for (unsigned v : {600, 36, 72, 123, 125, 500, 400, 600, 600, 77, 88}) f.Absolute(v);
    f.Absolute(0).Zeros(2).Absolute(0).Zeros(7);
    return f.Zeros(11 * 197);
}

TEST_F(HndReaderTest, StoredFormulasOfEveryChannelAndTheSmoothingAfterTheLoad) {
    LoadHnd(AllChannels(0x03, 0x01)); // standard stroke sensors, LAF1 sensor, LAF2 voltage
    EXPECT_EQ(At(kNe, 2), 12000000);  // 600 x 20, x 1000
    EXPECT_EQ(std::tuple(At(kVfw, 2), At(kVrw, 2)), std::tuple(36000, 72000)); // x 10, x 100
    EXPECT_EQ(At(kTps, 2), 49000);  // (123 x 4 - 100) x 1000 / 800 = 490, x 100
    EXPECT_EQ(At(kTps, 1), -12500); // (0 - 100) x 1000 / 800
    EXPECT_EQ(At(kVb, 2), 12500);   // 125 x 10, x 10
    EXPECT_EQ(At(kFr, 2), 36660);   // 18769 - 824 x 18769 / 1024 = 18769 - 15103
    EXPECT_EQ(At(kFr, 1), 128310);  // 18769 - 324 x 18769 / 1024 = 18769 - 5938
    EXPECT_EQ(At(kRr, 2), 24440);   // 12500 - 823 x 12500 / 1023 = 12500 - 10056
    EXPECT_EQ(At(kLaf1, 2), 14260); // 600 x 1000 / 1140 + 900 = 1426
    EXPECT_EQ(At(kLaf2, 2), 2930);  // 600 x 500 / 1023 = 293
    // Sample 2's codes zero Ne and throttle; AUX values are not stored.
    EXPECT_EQ(std::tuple(At(kNe, 3), At(kTps, 199), At(kLaf1, 1), At(kAux1, 2), At(kAux2, 199)),
              std::tuple(0, -12500, 9000, 0, 0));

    LoadHnd(AllChannels(0x00, 0x02)); // linear stroke sensors, LAF1 voltage, LAF2 sensor
    // 500 x 500 / 1023 = 244; 400 x 500 / 1023 = 195.
    EXPECT_EQ(std::tuple(At(kFr, 2), At(kRr, 2), At(kLaf1, 2), At(kLaf2, 2)),
              std::tuple(2440, 1950, 2930, 14260));

    g_settings.SmoothingSample = 1; // by the settings, column 0 always
    LoadHnd(AllChannels(0x03, 0x01));
    // The first w + 2 samples keep their values; (49000 - 12500 - 12500) / 3; 12000000 / 3.
    EXPECT_EQ(std::tuple(At(kTps, 2), At(kTps, 3), At(kNe, 3)), std::tuple(49000, 8000, 4000000));
}

TEST_F(HndReaderTest, LapMarksFromTheLapChannel) {
    const std::vector<std::string> laps = {
        "1100",     // s60: +3, mark 57
        "0",        // s120: zero delta, none
        "",         // s180: an absolute 30 follows, mark 150
        "1011",     // s240: -2, none
        "11101010", // s300: v = 01010 = 10: +9, mark 291
        "",         // s360: an absolute 100, 260 is not after 291
    };
    HndFile f;
    f.Blocks(2).Set(6, 0x13).Set16(pVfw, 5).Absolute(36);
    for (int s = 2; s < 400; ++s) {
        f.Zeros(1);
        if (s == 180) f.Absolute(30);
        if (s == 360) f.Absolute(100);
        if (s % 60 == 0) f.Bits(laps.at(size_t(s / 60 - 1)));
    }
    LoadHnd(HndFile(f).Set(6, 0x03)); // no lap flag: the same codes are VFW codes
    EXPECT_EQ(std::tuple(SlotOf(0).laps.count, SlotOf(0).laps.marks[1]), std::tuple(1, 400));
    LoadHnd(f);
    const Slot& s = SlotOf(0);
    ASSERT_EQ(s.laps.count, 4);
    EXPECT_EQ(std::vector<int32_t>(s.laps.marks, s.laps.marks + 7),
              (std::vector<int32_t>{0, 57, 150, 291, 400, 400, 400}));
    // Sample k adds VFW[k - 1] / 100 = 360 from k = 3.
    EXPECT_EQ(std::tuple(s.laps.lapDistance[1], s.laps.lapDistance[2], s.laps.lapDistance[3]),
              std::tuple(360 * 55, 360 * (150 - 57), 360 * (291 - 150)));
    EXPECT_EQ(std::tuple(s.distance.selected[57], s.distance.selected[58], s.distance.front[399]),
              std::tuple(0u, 360u, 360u * 397));
}

TEST_F(HndReaderTest, DistancesFromTheRecordedWheels) {
    // VFW 36 km/h and / or VRW 72 km/h from sample 2 over 400 samples, no lap channel.
    auto ride = [](bool vfw, bool vrw) {
        HndFile f;
        f.Blocks(2).Set(6, 0x03);
        if (vfw) f.Set16(pVfw, 5).Absolute(36);
        if (vrw) f.Set16(pVrw, 5).Absolute(72);
        return f.Zeros((int(vfw) + int(vrw)) * 398);
    };
    const DistanceTrack& d = SlotOf(0).distance;
    const int32_t& lap = SlotOf(0).laps.lapDistance[1]; // the whole recording is one lap
    LoadHnd(ride(false, true)); // only VRW: it feeds the selected track and the lap
    EXPECT_EQ(std::tuple(d.rear[10], d.selected[10], d.front[10], lap),
              std::tuple(720u * 8, 720u * 8, 0u, 720 * 397));
    g_settings.CoursePosSource = 1; // the front wheel still, as it is recorded
    LoadHnd(ride(true, true));
    EXPECT_EQ(std::tuple(d.front[10], d.rear[10], d.selected[10], d.selected[2], lap),
              std::tuple(360u * 8, 720u * 8, 360u * 8, 0u, 360 * 397));
}

TEST_F(HndReaderTest, AStreamEndingEarlyEndsCleanly) {
    LoadHnd(HndFile().Set16(pNe, 5).Absolute(500).Bits("1000").Bits("11101")); // the last is cut
    ASSERT_TRUE(Loaded(0));
    EXPECT_EQ(std::tuple(SlotOf(0).sampleCount, At(kNe, 2), SlotOf(0).laps.marks[1]),
              std::tuple(200, 10000000, 200));

    std::vector<uint8_t> shortHeader = HndFile().Set16(pNe, 5).bytes();
    shortHeader.resize(600); // the stream would start at 1152
    Load(0, "x.hnd", shortHeader);
    ASSERT_TRUE(Loaded(0));
    EXPECT_EQ(std::tuple(SlotOf(0).sampleCount, At(kNe, 100)), std::tuple(200, 0));
}

} // namespace
} // namespace qvtk::test
