#include "platform/private_profile.h"
#include "platform/safe_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "tests/test_support.h"
#include <iterator>
#include <utility>

namespace qvtk {
namespace {

class PrivateProfileTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::MakeTempDir(); }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Put(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Contents(const std::string& path) { return test::ReadWholeFile(path); }
    long EntriesInDir() const {
        return std::distance(std::filesystem::directory_iterator(dir_), {});
    }

    std::string dir_;
};

TEST_F(PrivateProfileTest, ReadsHandWrittenSpacingQuotesAndOddLines) {
    std::string path = Put("a.ini", "\xEF\xBB\xBF[ Course ]\n  Key =  value  \n\tTab\t=\t7\t\n"
                                    "Quoted= \"  a b \" \nSingle='x'\nMixed=\"x'\nEmpty=\n"
                                    "; Hidden=1\nNoEquals\nLast=end");
    const std::pair<const char*, const char*> cases[] = {
        {"KEY", "value"}, {"tab", "7"},    {"Quoted", "  a b "}, {"Single", "x"}, {"Mixed", "\"x'"},
        {"Empty", ""},    {"Hidden", "d"}, {"NoEquals", "d"},    {"Last", "end"}};
    for (auto [key, want] : cases)
        EXPECT_EQ(ProfileGetString("course", key, "d", path), want) << key;
}

TEST_F(PrivateProfileTest, FirstSectionAndFirstKeyWinInCrLfFile) {
    std::string path = Put("dup.ini", "Orphan=1\r\n[A]\r\nK=first\r\nk=second\r\n[B]\r\nK=b\r\n"
                                      "[a]\r\nK=third\r\nOnly=later\r\n");
    EXPECT_EQ(ProfileGetString("A", "K", "d", path), "first");
    EXPECT_EQ(ProfileGetString("A", "Only", "d", path), "d");
    EXPECT_EQ(ProfileGetString("B", "K", "d", path), "b");
    EXPECT_EQ(ProfileGetString("A", "Orphan", "d", path), "d");
}

// Only ASCII letters fold, up to their last ones: the neighbours of 'A'-'Z' and the bytes of a
// Shift-JIS name must match exactly.
TEST_F(PrivateProfileTest, OnlyAsciiLettersFoldInNames) {
    std::string path = Put("f.ini", "[Az@[]\r\nZed=1\r\n[\x82\xA0]\r\nk=2\r\n");
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"aZ@[", "zED", "1"},   {"AZ`[", "Zed", "d"},   {"AZ@{", "Zed", "d"},
        {"\x82\xA0", "K", "2"}, {"\x82\x80", "k", "d"}, {"\xA2\xA0", "k", "d"},
    };
    for (auto [section, key, want] : cases)
        EXPECT_EQ(ProfileGetString(section, key, "d", path), want) << section << " " << key;
}

TEST_F(PrivateProfileTest, MissingFileSectionOrKeyGivesDefault) {
    std::string path = Put("s.ini", "[S]\nk=1\n");
    EXPECT_EQ(ProfileGetString("S", "k", "d", dir_ + "/none.ini"), "d");
    EXPECT_EQ(ProfileGetString("S", "k", "d", path + "/under-a-file.ini"), "d");
    EXPECT_EQ(ProfileGetString("T", "k", "d", path), "d");
    EXPECT_EQ(ProfileGetInt("S", "j", 5, path), 5);
    EXPECT_EQ(ProfileGetInt("S", "k", 5, dir_), 5);
}

TEST_F(PrivateProfileTest, ReadsIntegersLikeTheProgramExpects) {
    std::string path =
        Put("i.ini", "[N]\na=-12\nb=+7\nc=12abc\nd=abc\ne=\nf=\" -3\"\n"
                     "g=18446744073709551617\nh=-18446744073709551617\ni=- 3\nj=010\n");
    const std::pair<const char*, int> cases[] = {
        {"a", -12},     {"b", 7},       {"c", 12}, {"d", 0},  {"e", 0},      {"f", -3},
        {"g", INT_MAX}, {"h", INT_MIN}, {"i", 0},  {"j", 10}, {"missing", 5}};
    for (auto [key, want] : cases) EXPECT_EQ(ProfileGetInt("n", key, 5, path), want) << key;
}

TEST_F(PrivateProfileTest, ReplacingAKeyChangesOnlyItsLine) {
    std::string path = Put("r.ini", "; settings\r\n[Main]\r\n  speed = 1 \r\nother=2\n\n"
                                    "[Next]\r\nspeed=9");
    ASSERT_TRUE(ProfileWriteString("main", "SPEED", "42", path));
    EXPECT_EQ(Contents(path), "; settings\r\n[Main]\r\nSPEED=42\r\nother=2\n\n[Next]\r\nspeed=9");
    EXPECT_EQ(ProfileGetInt("Next", "speed", 0, path), 9);
}

TEST_F(PrivateProfileTest, NewKeyGoesAfterTheSectionsLastLineNotIntoTheNext) {
    std::string path = Put("n.ini", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(ProfileWriteString("A", "z", "3", path));
    EXPECT_EQ(Contents(path), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");

    std::string open = Put("o.ini", "[A]\nx=1");
    ASSERT_TRUE(ProfileWriteString("A", "y", "2", open));
    EXPECT_EQ(Contents(open), "[A]\nx=1\r\ny=2\r\n");

    std::string halfEnded = Put("h.ini", "[A]\r\nx=1\r");
    ASSERT_TRUE(ProfileWriteString("A", "y", "2", halfEnded));
    EXPECT_EQ(Contents(halfEnded), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST_F(PrivateProfileTest, CreatesSectionAndFile) {
    std::string path = dir_ + "/new.ini";
    ASSERT_TRUE(ProfileWriteString("S", "k", "v", path));
    EXPECT_EQ(Contents(path), "[S]\r\nk=v\r\n");

    std::string open = Put("o.ini", "a=1\n[T]\nb=2");
    ASSERT_TRUE(ProfileWriteString("S", "k", "v", open));
    EXPECT_EQ(Contents(open), "a=1\n[T]\nb=2\r\n\r\n[S]\r\nk=v\r\n");
}

TEST_F(PrivateProfileTest, RefusesNamesThatWouldNotReadBack) {
    std::string path = Put("x.ini", "[S]\r\nk=1\r\n");
    EXPECT_FALSE(ProfileWriteString("S", "a=b", "1", path));
    EXPECT_FALSE(ProfileWriteString("S", "k", "1\r\nk2=2", path));
    EXPECT_FALSE(ProfileWriteString("S", " ", "1", path));
    EXPECT_FALSE(ProfileWriteString("S]", "k", "1", path));
    EXPECT_EQ(Contents(path), "[S]\r\nk=1\r\n");
}

TEST_F(PrivateProfileTest, DeleteKeyRemovesEveryMatchInThatSectionOnly) {
    std::string path = Put("d.ini", "[A]\r\nk=1\r\nm=2\r\n K =3\r\n[B]\r\nk=4\r\n");
    ASSERT_TRUE(ProfileDeleteKey("a", "K", path));
    EXPECT_EQ(Contents(path), "[A]\r\nm=2\r\n[B]\r\nk=4\r\n");
    ASSERT_TRUE(ProfileDeleteKey("C", "k", path));
    EXPECT_EQ(Contents(path), "[A]\r\nm=2\r\n[B]\r\nk=4\r\n");

    std::string none = dir_ + "/none.ini";
    EXPECT_TRUE(ProfileDeleteKey("A", "k", none));
    EXPECT_TRUE(ProfileDeleteSection("A", none));
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(PrivateProfileTest, DeleteSectionRemovesAllItsOccurrencesAndNothingElse) {
    std::string path = Put("s.ini", "[A]\r\na=1\r\n[B]\r\n; c\r\nb=2\r\n\r\n[C]\r\nc=3\r\n"
                                    "[ b ]\r\nb=9\r\n");
    ASSERT_TRUE(ProfileDeleteSection("b", path));
    EXPECT_EQ(Contents(path), "[A]\r\na=1\r\n[C]\r\nc=3\r\n");
    EXPECT_EQ(ProfileGetString("B", "b", "d", path), "d");
}

TEST_F(PrivateProfileTest, FailedWritesLeaveTheOldFileAndNoTemporary) {
    std::string notFolder = Put("plain", "x");
    EXPECT_FALSE(WriteWholeFile(notFolder + "/a.ini", "data"));
    EXPECT_FALSE(ProfileWriteString("S", "k", "v", notFolder + "/a.ini"));
    std::filesystem::create_directory(dir_ + "/folder.ini");
    EXPECT_FALSE(WriteWholeFile(dir_ + "/folder.ini", "data"));
    EXPECT_FALSE(ProfileWriteString("S", "k", "v", dir_ + "/folder.ini"));
    EXPECT_EQ(EntriesInDir(), 2);

    // A file size limit makes the write itself fail, even for root.
    std::string path = Put("old.ini", "[S]\r\nk=old\r\n");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = ProfileWriteString("S", "k", std::string(200, 'v'), path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Contents(path), "[S]\r\nk=old\r\n");
    EXPECT_EQ(EntriesInDir(), 3);
}

TEST_F(PrivateProfileTest, ReplacedFileKeepsItsPermissions) {
    std::string path = Put("p.ini", "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(ProfileWriteString("S", "k", "2", path));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
} // namespace qvtk
