// The CAN frame reader on frame files built byte by byte: columns by identifier, the values of
// the four known identifiers, the sample range, and files with few or many identifiers.
#include "tests/data/family3_fixture.h"

namespace qvtk::test {
namespace {

using CanReaderTest = ProgramTest;

// One 16-byte frame: time stamp, identifier, words A and B, byte C, three unused bytes.
void AppendFrame(std::vector<uint8_t>& b, uint32_t stamp, uint32_t id, uint16_t a = 0,
                 uint16_t wordB = 0, uint8_t c = 0) {
    AppendU32(b, stamp);
    AppendU32(b, id);
    AppendU16(b, a);
    AppendU16(b, wordB);
    b.insert(b.end(), {c, 0, 0, 0});
}

TEST_F(CanReaderTest, ColumnsFollowFirstAppearanceAndAlwaysFillFile1) {
    ASSERT_EQ(Load(2, "ride.qvd", Family3File(2).Append({}, 4).bytes()), 2);
    std::vector<uint8_t> b;
    for (uint32_t id : {533, 521, 597, 517, 0x300, 574, 521, 596, 512}) AppendFrame(b, 10, id);
    EXPECT_EQ(Load(2, "x.Can", b), 0);
    const Slot& s = SlotOf(0);
    EXPECT_EQ(std::tuple(s.file.fileKind, s.sampleCount), std::tuple(kFileCan, 9 + 16));
    // Identifiers from 597 on get no column; names in hexadecimal.
    const char* names[] = {"215", "209", "205", "23E", "254", "200"};
    const uint32_t canIds[] = {533, 521, 517, 574, 596, 512};
    for (int c = 0; c < 6; ++c) {
        EXPECT_STREQ(s.channels[c].name, names[c]) << c;
        EXPECT_EQ(std::tuple(s.channels[c].canId, s.channelFlags[c]),
                  std::tuple(canIds[c], kChannelPresent | kChannelShown))
            << c;
    }
    for (int c = 6; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(s, c)) << c;
    // The slot asked for is untouched.
    EXPECT_EQ(std::tuple(SlotOf(2).file.fileKind, SlotOf(2).sampleCount),
              std::tuple(kFileFamily3, 5));
    b.clear(); // at most 64 columns
    for (uint32_t id = 0; id < 70; ++id) AppendFrame(b, 0, id);
    Load(0, "many.can", b);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_TRUE(IsPresent(s, c)) << c;
    EXPECT_EQ(std::tuple(std::string(s.channels[63].name), s.channels[63].canId),
              std::tuple("3F", 63u));
}

TEST_F(CanReaderTest, ValuesOfTheKnownIdentifiersWithinTheSampleCount) {
    std::vector<uint8_t> b;
    AppendFrame(b, 50, 517, 12, 34);
    AppendFrame(b, 50, 521, 7000, 0, 7);
    AppendFrame(b, 59, 533, 65535); // 59 / 10: also sample 5
    AppendFrame(b, 50, 574, 0xFF00);
    AppendFrame(b, 0, 100, 999, 999, 3); // no samples for other identifiers
    AppendFrame(b, 0, 101, 999, 999, 3);
    AppendFrame(b, 250, 521, 42, 0, 2); // sample 25: the last of 10 + 16
    AppendFrame(b, 260, 521, 43, 0, 1); // sample 26: beyond SampleCount
    AppendFrame(b, 2600, 533, 44);      // beyond the buffers too
    AppendFrame(b, 0xFFFFFFFF, 517, 1, 1);
    b.insert(b.end(), 8, 0x55); // half a frame does not count
    Load(0, "log.CAN", b);
    const Slot& s = SlotOf(0);
    ASSERT_EQ(s.sampleCount, 26);
    // 517: A, B; 521: A, C modulo 4; 533: A; 574: A / 256 (0xFF00 / 256 = 255); x 1000.
    EXPECT_EQ(std::tuple(At(2, 5), At(3, 5), At(0, 5), At(5, 5), At(1, 5), At(4, 5), At(4, 0)),
              std::tuple(12000, 34000, 7000000, 3000, 65535000, 255000, 0));
    EXPECT_EQ(std::tuple(At(0, 25), At(5, 25)), std::tuple(42000, 2000));
    ASSERT_TRUE(HasFullBuffer(s, 0) && HasFullBuffer(s, 5) && s.capacity > 26);
    EXPECT_EQ(std::tuple(s.samples[0][26], s.samples[5][26]), std::tuple(0, 0));
    EXPECT_EQ(s.laps.count, 1); // frames carry no lap marker
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(s.laps.marks[k], 26);

    // With fewer than six identifiers only their own columns are written.
    b.clear();
    AppendFrame(b, 10, 521, 5, 0, 6); // column 5 has no buffer
    AppendFrame(b, 10, 574, 512);     // nor column 4
    for (int i = 0; i < 40; ++i) AppendFrame(b, 20 + 10 * uint32_t(i), 521, uint16_t(i));
    Load(0, "two.can", b);
    EXPECT_EQ(std::string(s.channels[0].name) + " " + s.channels[1].name, "209 23E");
    for (int c = 2; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(s, c)) << c;
    // 574 writes column 4, not its own.
    EXPECT_EQ(std::tuple(At(0, 1), At(0, 41), At(5, 1), At(4, 1), At(1, 1)),
              std::tuple(5000, 39000, 0, 0, 0));
}

} // namespace
} // namespace qvtk::test
