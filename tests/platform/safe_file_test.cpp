#include "platform/safe_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/test_support.h"

namespace qvtk {
namespace {

class SafeFileTest : public test::TempProgramDirectory {
protected:
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    long Entries() const { return std::distance(std::filesystem::directory_iterator(dir_), {}); }
};

TEST_F(SafeFileTest, ALinkIsWrittenThroughAndStaysALink) {
    WriteFile("real.ini", "old");
    ASSERT_EQ(symlink("real.ini", Path("link.ini").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(Path("link.ini"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.ini")));
    EXPECT_EQ(Contents(Path("real.ini")), "new");
    EXPECT_EQ(Entries(), 2);
}

TEST_F(SafeFileTest, RefusedWritesLeaveTheFileAndSayWhy) {
    WriteFile("ro.ini", "keep");
    ASSERT_EQ(chmod(Path("ro.ini").c_str(), 0444), 0);
    EXPECT_FALSE(WriteWholeFile(Path("ro.ini"), "new"));
    EXPECT_EQ(LastWriteFailure(), "permission denied");
    EXPECT_EQ(Contents(Path("ro.ini")), "keep");

    std::filesystem::create_directory(Path("folder"));
    EXPECT_FALSE(WriteWholeFile(Path("folder"), "x"));
    EXPECT_EQ(LastWriteFailure(), "not a regular file");
    EXPECT_EQ(Entries(), 2);
}

TEST_F(SafeFileTest, AFailedStreamedWriteLeavesTheEarlierFileWhole) {
    WriteFile("export.csv", "earlier");
    {
        test::FileSizeLimit limit(4096);
        SafeFile f;
        ASSERT_TRUE(BeginSafeFile(f, Path("export.csv")));
        bool ok = true;
        for (int i = 0; i < 100 && ok; ++i) ok = WriteSafeFile(f, std::string(1000, 'x'));
        EXPECT_FALSE(CommitSafeFile(f));
    }
    EXPECT_FALSE(LastWriteFailure().empty());
    EXPECT_EQ(Contents(Path("export.csv")), "earlier");
    EXPECT_EQ(Entries(), 1);

    // Abandoned (the user cancelled): no trace.
    {
        SafeFile f;
        ASSERT_TRUE(BeginSafeFile(f, Path("export.csv")));
        WriteSafeFile(f, "partial");
    }
    EXPECT_EQ(Contents(Path("export.csv")), "earlier");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(SafeFileTest, ReplacedBytesAreCheckedAndStayInsideTheFile) {
    WriteFile("rec.qvd", "0123456789");
    ASSERT_TRUE(ReplaceFileBytes(Path("rec.qvd"), 2, "ab"));
    EXPECT_EQ(Contents(Path("rec.qvd")), "01ab456789");
    EXPECT_FALSE(ReplaceFileBytes(Path("rec.qvd"), 9, "xy"));
    EXPECT_FALSE(ReplaceFileBytes(Path("rec.qvd"), 11, ""));
    EXPECT_EQ(Contents(Path("rec.qvd")), "01ab456789");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(SafeFileTest, OnlyOldTemporaryFilesOfOursAreRemoved) {
    WriteFile("QVTK2.ini.tmp-aB3dE9", "left by a killed exit");
    WriteFile("Sector.ini.tmp-Zz0000", "fresh: a write may be running");
    WriteFile("notes.tmp-1", "not ours");
    WriteFile("QVTK2.ini", "settings");
    utimbuf old{1000, 1000};
    ASSERT_EQ(utime(Path("QVTK2.ini.tmp-aB3dE9").c_str(), &old), 0);
    ASSERT_EQ(utime(Path("notes.tmp-1").c_str(), &old), 0);
    EXPECT_EQ(RemoveStaleTempFiles(dir_), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("QVTK2.ini.tmp-aB3dE9")));
    EXPECT_EQ(Entries(), 3);
}

} // namespace
} // namespace qvtk
