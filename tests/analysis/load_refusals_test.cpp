// Files the program must refuse quickly and say why: special files given as recordings or named
// as the course, files larger than the memory, recordings that claim more samples than any ride.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "analysis/course_layout.h"
#include "platform/file_read.h"
#include "tests/data/family3_fixture.h"
#include "tests/data/family4_fixture.h"
#include "tests/late_fifo.h"

namespace qvtk::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class LoadRefusalTest : public TempProgramDirectory {
protected:
    void TearDown() override {
        SetAvailableMemoryForTesting(0);
        TempProgramDirectory::TearDown();
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteFile(name, std::string(bytes.begin(), bytes.end()));
        return Path(name);
    }
};

TEST_F(LoadRefusalTest, ReadFailuresSayWhyOnASecondLine) {
    Family3File ride(2);
    for (int i = 0; i < 100; ++i) ride.Append({.vfw = 100});
    const std::string recording = Write("ride.qvd", ride.bytes());
    mkdir(Path("folder.qvd").c_str(), 0755);
    symlink("/dev/zero", Path("zero.qvd").c_str());
    LateFifo fifo(Path("pipe.qvd"));
    struct Case {
        std::string path;
        uint64_t memory; // what the machine pretends to have free; 0: the real figure
        const char* reason;
    };
    const Case cases[] = {
        {Path("missing.qvd"), 0, "not found"},       {Path("folder.qvd"), 0, "not a regular file"},
        {Path("zero.qvd"), 0, "not a regular file"}, {Path("pipe.qvd"), 0, "not a regular file"},
        {recording, 1000, "too large for memory"},
    };
    for (const Case& c : cases) {
        ClearRecordedMessages();
        SetAvailableMemoryForTesting(c.memory);
        FileSlot slot = 1;
        const auto start = Clock::now();
        EXPECT_FALSE(LoadFileIntoSlot(slot, c.path)) << c.path;
        EXPECT_LT(SecondsSince(start), 1.0) << c.path; // nothing waited on a writer
        EXPECT_TRUE(SawMessage("File Error", "Load file error " + c.path + "\n" + c.reason))
            << c.path;
        ExpectClosed(1);
    }
    if (geteuid() != 0) { // the superuser reads whatever the mode bits say
        chmod(recording.c_str(), 0);
        ClearRecordedMessages();
        FileSlot slot = 1;
        EXPECT_FALSE(LoadFileIntoSlot(slot, recording));
        EXPECT_TRUE(
            SawMessage("File Error", "Load file error " + recording + "\npermission denied"));
    }
}

TEST_F(LoadRefusalTest, SlotBuffersBeyondTheFreeMemoryAreTheMemoryMessage) {
    Family3File ride(2);
    for (int i = 0; i < 20000; ++i) ride.Append({.vfw = 100}); // about 1.6 MB of sample tables
    const std::string path = Write("ride.qvd", ride.bytes());
    SetAvailableMemoryForTesting(1 << 20);
    FileSlot slot = 0;
    EXPECT_FALSE(LoadFileIntoSlot(slot, path));
    EXPECT_TRUE(SawMessage("Memory Error!!", "Memory Ensure Error.(Data Main buffers)"));
    ExpectClosed(0);
    SetAvailableMemoryForTesting(64 << 20);
    EXPECT_TRUE(LoadFileIntoSlot(slot, path));
    EXPECT_EQ(SlotOf(0).sampleCount, 20001);
}

TEST_F(LoadRefusalTest, Family4RepeatBytesBeyondEightHoursAreACorruptedFile) {
    // One repeat byte stands for 64 samples: 90 000 of them, a group and sample 0 make
    // 5 760 002 samples, just over eight hours at 200 Hz.
    Family4File f;
    f.Channel(0, {.code = 6, .name = "VFW"}).Group({Value(0, 10)});
    for (int k = 0; k < 90000; ++k) f.Raw({0xBF});
    Load(0, "long.QVL", f.bytes());
    EXPECT_TRUE(SawMessage("File Error!!", "Data file is corrupted."));
    EXPECT_TRUE(SawMessage("File Error!!", "5760002"));
    ExpectClosed(0);
    // An appended file past the limit leaves the recording in the slot as it was.
    Family4File shortRide;
    shortRide.Channel(0, {.code = 6, .name = "VFW"}).Group({Value(0, 10)}).Repeat(99);
    Load(0, "short.QVL", shortRide.bytes());
    ASSERT_EQ(SlotOf(0).sampleCount, 101);
    g_loadOptions.appendFamily4 = true;
    Load(0, "long.QVL", f.bytes());
    EXPECT_EQ(std::tuple(SlotOf(0).file.fileKind, SlotOf(0).sampleCount),
              std::tuple(kFileFamily4, 101));
}

TEST_F(LoadRefusalTest, ACourseNamedInTheSettingsIsReadOnlyWhenItIsARegularFile) {
    WriteFile("Sector.ini", "[pipe.crs]\r\nSec1=300\r\n");
    LateFifo fifo(Path("pipe.crs"));
    g_settings.CourseFile_name = "pipe.crs";
    const auto start = Clock::now();
    EXPECT_FALSE(LoadCourseLayout());
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_TRUE(SawMessage("QVTK", "Course Layout File Erroe!"));
    EXPECT_EQ(g_courseLayout.pointCount, 1);
    EXPECT_FALSE(g_courseLayout.courseLayoutOn);
}

TEST_F(LoadRefusalTest, AStatusFileThatIsAFifoDoesNotHoldALoad) {
    LateFifo fifo(Path("status.ini"));
    Family4File f;
    f.Channel(0, {.code = 3}).Channel(2, {.code = 130, .name = "ECU"});
    const auto start = Clock::now();
    Load(0, "ride.qvd", f.Group({Value(0, 1), Value(2, 7)}).Repeat(3).bytes());
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_TRUE(Loaded(0));
}

} // namespace
} // namespace qvtk::test
