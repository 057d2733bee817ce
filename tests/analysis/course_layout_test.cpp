// Course files, their marker lines, the course offset and "Sector.ini".
#include "platform/private_profile.h"
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

int g_redraws = 0;

class CourseLayoutTest : public LapFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        g_settings.CourseFile_name = "test.crs";
        g_redraws = 0;
        SetCourseMapRedrawHook([] { ++g_redraws; });
    }
    static std::vector<int32_t> Sec(FileSlot slot) { return Row(LapStateOf(slot).sectors.sec, 5); }
    std::string SectorIni(const char* key) const {
        return ProfileGetString("test.crs", key, "-", dir_ + "/Sector.ini");
    }
    static constexpr int32_t U = kSectorUnset;
    const CourseLayout& c = g_courseLayout;
};

TEST_F(CourseLayoutTest, MarkerLinesStartSectorsAtTheNextPoint) {
    WriteFile("test.crs", "0,0\r\n30,40\r\n1024,0\r\n30,0\r\n\r\n");
    WriteFile("Sector.ini", "[test.crs]\r\nSec1=7\r\nSec2=0\r\nSec3=150\r\n");
    EXPECT_TRUE(LoadCourseLayout());
    EXPECT_EQ(c.pointCount, 3);
    EXPECT_EQ(Row(c.pointX, 4), (std::vector<float>{0, 30, 30, 0})); // closed by point 0
    EXPECT_EQ(Row(c.pathLength, 5), (std::vector<float>{0, 50, 90, 120, 120}));
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) // the marker wins; "0" is no boundary
        EXPECT_EQ(Sec(slot), (std::vector<int32_t>{0, 2, U, 150, U}));
    EXPECT_EQ(g_redraws, 1);

    WriteFile("test.crs", "2000,5\n1024,0\n20,10\n1024,0\n1,1\n");
    EXPECT_TRUE(LoadCourseLayout());
    EXPECT_EQ(c.pointCount, 3);
    EXPECT_EQ(c.pointX[0], 2000.0f); // the first line is always a point
    EXPECT_EQ(Sec(2), (std::vector<int32_t>{0, 1, 2, 150, U}));
}

TEST_F(CourseLayoutTest, At3000PointsReadingStopsWithAMessage) {
    std::string text;
    for (int i = 0; i < 3005; ++i) text += std::to_string(i / 4.0) + ",0\n";
    WriteFile("test.crs", text);
    EXPECT_TRUE(LoadCourseLayout());
    EXPECT_EQ(c.pointCount, 3000);
    EXPECT_EQ(Row(c.pathLength + 2999, 3), (std::vector<float>{749.75f, 1499.5f, 1499.5f}));
    EXPECT_TRUE(SawMessage("QVTK", "CourseData Fail ! #003"));
    ClearRecordedMessages();
    text.resize(text.find("749.750000")); // 2999 points
    WriteFile("test.crs", text);
    EXPECT_TRUE(LoadCourseLayout());
    EXPECT_EQ(c.pointCount, 2999);
    EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(CourseLayoutTest, MissingOrUnreadableCourseTurnsTheLayoutOff) {
    g_settings.CourseFile_name = "";
    EXPECT_FALSE(LoadCourseLayout());
    EXPECT_TRUE(RecordedMessages().empty());
    g_settings.CourseFile_name = "none.crs";
    g_courseLayout.pointCount = 40;
    EXPECT_FALSE(LoadCourseLayout());
    EXPECT_TRUE(SawMessage("QVTK", "Not Found Course Layout File !"));
    EXPECT_TRUE(!c.courseLayoutOn && g_settings.CourseLayout_on == 0 && c.pointCount == 1);
    // A folder opens but cannot be read; the sector file was read before that.
    std::filesystem::create_directory(dir_ + "/dir.crs");
    WriteFile("Sector.ini", "[dir.crs]\r\nSec1=300\r\nOffset=4\r\n");
    g_settings.CourseFile_name = "dir.crs";
    EXPECT_FALSE(LoadCourseLayout());
    EXPECT_TRUE(SawMessage("QVTK", "Course Layout File Erroe!"));
    EXPECT_EQ(Sec(1)[1], 300);
    EXPECT_EQ(c.courseOffset, 4);
}

TEST_F(CourseLayoutTest, OffsetRotatesTheCourseAndWraps) {
    WriteFile("test.crs", "0,0\n10,0\n10,10\n0,10\n");
    WriteFile("Sector.ini", "[test.crs]\r\nOffset=7\r\n");
    EXPECT_TRUE(LoadCourseLayout());
    EXPECT_EQ(c.courseOffset, 0); // beyond the 4 points
    g_courseLayout.courseOffset = 1;
    EXPECT_TRUE(ApplyCourseOffset());
    EXPECT_EQ(Row(c.pointX, 6), (std::vector<float>{10, 10, 0, 0, 0, 10}));
    EXPECT_EQ(Row(c.pointY, 6), (std::vector<float>{0, 10, 10, 0, 0, 0}));
    EXPECT_EQ(Row(c.pathLength, 6), (std::vector<float>{0, 10, 20, 30, 30, 40}));
    g_courseLayout.courseOffset = 4; // the closing copy of point 0 is the start
    EXPECT_TRUE(ApplyCourseOffset());
    EXPECT_EQ(Row(c.pointX, 6), (std::vector<float>{0, 0, 10, 10, 0, 0}));

    const int redraws = g_redraws;
    g_courseLayout.courseOffset = 5;
    EXPECT_FALSE(ApplyCourseOffset());
    EXPECT_EQ(c.courseOffset, 0);
    g_courseLayout.courseOffset = -1;
    EXPECT_FALSE(ApplyCourseOffset());
    EXPECT_EQ(c.courseOffset, 4);
    EXPECT_EQ(c.pointX[2], 10.0f); // not rotated
    EXPECT_EQ(g_redraws, redraws);
}

TEST_F(CourseLayoutTest, SectorFileKeepsSetBoundariesAndTheOffset) {
    WriteFile("Sector.ini", "[test.crs]\r\nSec1=5\r\nSec3=999\r\nSec7=12\r\n");
    g_courseLayout.courseName = "test.crs";
    g_courseLayout.courseOffset = 3;
    int32_t* sec = LapStateOf(0).sectors.sec;
    sec[1] = 120, sec[2] = 4999;
    EXPECT_TRUE(SaveSectorFile());
    EXPECT_EQ(SectorIni("Sec1") + SectorIni("Sec2") + SectorIni("Sec3") + SectorIni("Sec7"),
              "1204999--");
    EXPECT_EQ(SectorIni("Offset"), "3");
    SetMarksPerLap(0, 2); // boundaries then come from the marks: nothing is written
    g_courseLayout.courseOffset = 9;
    EXPECT_FALSE(SaveSectorFile());
    EXPECT_EQ(SectorIni("Offset"), "3");
}

} // namespace
} // namespace qvtk::test
