// The CAN frame reader on frame files built byte by byte: columns by identifier, the values of
// the four known identifiers, the sample range, and files with few or many identifiers.
#include "tests/data/family3_fixture.h"

namespace qvtk::test {
namespace {

using CanReaderTest = ProgramTest;

int32_t At(int column, int32_t i) {
    return SampleAt(0, column, i);
}

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
    std::vector<uint8_t> file3 = Family3File(2).Append({}, 4).bytes();
    ASSERT_EQ(Load(2, "ride.qvd", file3), 2);

    std::vector<uint8_t> b;
    const uint32_t ids[] = {533, 521, 597, 517, 0x300, 574, 521, 596, 512};
    for (uint32_t id : ids) AppendFrame(b, 10, id);
    for (const char* path : {"log.can", "LOG.CAN", "x.Can"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Load(2, path, b), 0);
        const Slot& s = SlotOf(0);
        EXPECT_EQ(s.file.fileKind, kFileCan);
        EXPECT_EQ(s.sampleCount, 9 + 16);
        const char* names[] = {"215", "209", "205", "23E", "254", "200"};
        const uint32_t canIds[] = {533, 521, 517, 574, 596, 512};
        for (int c = 0; c < 6; ++c) {
            EXPECT_STREQ(s.channels[c].name, names[c]) << c;
            EXPECT_EQ(s.channels[c].canId, canIds[c]) << c;
            EXPECT_EQ(s.channelFlags[c], kChannelPresent | kChannelShown) << c;
        }
        for (int c = 6; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(s, c)) << c;
        EXPECT_EQ(SlotOf(2).file.fileKind, kFileFamily3); // the slot asked for is untouched
        EXPECT_EQ(SlotOf(2).sampleCount, 5);
    }
}

TEST_F(CanReaderTest, ValuesOfTheKnownIdentifiersWithinTheSampleCount) {
    std::vector<uint8_t> b;
    AppendFrame(b, 50, 517, 12, 34);
    AppendFrame(b, 50, 521, 7000, 0, 7);
    AppendFrame(b, 59, 533, 65535); // 59 / 10: also sample 5
    AppendFrame(b, 50, 574, 0x1234);
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
    EXPECT_EQ(At(2, 5), 12000);
    EXPECT_EQ(At(3, 5), 34000);
    EXPECT_EQ(At(0, 5), 7000000);
    EXPECT_EQ(At(5, 5), 3000); // 7 modulo 4
    EXPECT_EQ(At(1, 5), 65535000);
    EXPECT_EQ(At(4, 5), 18000); // 0x1234 / 256 = 18
    EXPECT_EQ(At(4, 0), 0);
    EXPECT_EQ(At(0, 25), 42000);
    EXPECT_EQ(At(5, 25), 2000);
    ASSERT_TRUE(HasFullBuffer(s, 0));
    ASSERT_GT(s.capacity, 26);
    EXPECT_EQ(s.samples[0][26], 0);
    EXPECT_EQ(s.samples[5][26], 0);
    EXPECT_EQ(s.laps.count, 1); // frames carry no lap marker
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(s.laps.marks[k], 26);
}

TEST_F(CanReaderTest, AtMost64Columns) {
    std::vector<uint8_t> b;
    for (uint32_t id = 0; id < 70; ++id) AppendFrame(b, 0, id);
    Load(0, "many.can", b);
    const Slot& s = SlotOf(0);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_TRUE(IsPresent(s, c)) << c;
    EXPECT_STREQ(s.channels[10].name, "A");
    EXPECT_STREQ(s.channels[63].name, "3F");
    EXPECT_EQ(s.channels[63].canId, 63u);
    EXPECT_EQ(s.sampleCount, 70 + 16);
}

TEST_F(CanReaderTest, FewerThanSixIdentifiersWriteOnlyTheirColumns) {
    std::vector<uint8_t> b;
    AppendFrame(b, 10, 521, 5, 0, 6); // column 5 has no buffer
    AppendFrame(b, 10, 574, 512);     // nor column 4
    for (int i = 0; i < 40; ++i) AppendFrame(b, 20 + 10 * uint32_t(i), 521, uint16_t(i));
    Load(0, "two.can", b);
    const Slot& s = SlotOf(0);
    EXPECT_STREQ(s.channels[0].name, "209");
    EXPECT_STREQ(s.channels[1].name, "23E");
    for (int c = 2; c < kColumnCount; ++c) EXPECT_FALSE(IsPresent(s, c)) << c;
    EXPECT_EQ(At(0, 1), 5000);
    EXPECT_EQ(At(0, 41), 39000);
    EXPECT_EQ(At(5, 1), 0);
    EXPECT_EQ(At(4, 1), 0);
    EXPECT_EQ(At(1, 1), 0); // 574 writes column 4, not its own
}

} // namespace
} // namespace qvtk::test
