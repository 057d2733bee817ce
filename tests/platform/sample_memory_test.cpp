#include "platform/sample_memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/test_support.h"

namespace qvtk {
namespace {

class FileBytesTest : public test::TempProgramDirectory {};

// Large files are read in pieces on two cores: every byte must land where it belongs, at the
// piece boundaries and in a short last piece alike.
TEST_F(FileBytesTest, EveryByteOfAFileOfAnySizeIsReadIntoItsPlace) {
    constexpr size_t kMB = 1u << 20;
    for (size_t size :
         {size_t(0), size_t(1), 8 * kMB - 1, 8 * kMB, 8 * kMB + 1, 21 * kMB + 12345}) {
        std::string text(size, '\0');
        uint32_t x = uint32_t(size) | 1;
        for (char& c : text) c = char((x = x * 1103515245u + 12345u) >> 23);
        WriteFile("whole.bin", text);
        FileBytes file;
        ReadFailure why = ReadFailure::kReadError;
        ASSERT_TRUE(ReadFileBytes(dir_ + "/whole.bin", file, &why)) << size;
        EXPECT_EQ(why, ReadFailure::kNone);
        ASSERT_EQ(file.size, size);
        EXPECT_TRUE(size == 0 || std::memcmp(file.data, text.data(), size) == 0) << size;
    }
    FileBytes missing;
    ReadFailure why = ReadFailure::kNone;
    EXPECT_FALSE(ReadFileBytes(dir_ + "/none.bin", missing, &why));
    EXPECT_EQ(why, ReadFailure::kNotFound);
    EXPECT_EQ(missing.data, nullptr);
}

} // namespace
} // namespace qvtk
