// Settings, GPS line and layout files that are FIFOs, and a course that is an endless device:
// read at once as absent, never waited on.
#include <chrono>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "tests/late_fifo.h"
#include "tests/test_support.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/settings_file.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

using Clock = std::chrono::steady_clock;

class FifoAndDeviceFilesTest : public TempProgramDirectory {
protected:
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
};

TEST_F(FifoAndDeviceFilesTest, AFifoInPlaceOfASettingsOrLayoutFileIsReadAsAbsentAtOnce) {
    {
        LateFifo fifo(Path("QVTK2.ini"));
        g_settings.Debug = 1;
        const auto start = Clock::now();
        LoadSettings(dir_);
        EXPECT_LT(SecondsSince(start), 1.0);
        EXPECT_EQ(g_settings.Debug, 0); // every key at its default
    }
    {
        LateFifo fifo(Path("gps_p.ini"));
        const auto start = Clock::now();
        const ControlLine line = ReadControlLine("vorela.crs");
        EXPECT_LT(SecondsSince(start), 1.0);
        EXPECT_EQ(std::tuple(line.latA, line.lonA, line.latB, line.lonB), std::tuple(0, 0, 0, 0));
    }
    {
        ResetGraphSettings();
        ResetGraphLayouts();
        ResetViewState();
        MakeRecording(0, 400, {{0, kCodeNe, "Ne"}});
        LateFifo fifo(Path("pipe.lay"));
        const auto start = Clock::now();
        EXPECT_FALSE(LoadLayoutFile(Path("pipe.lay")));
        EXPECT_LT(SecondsSince(start), 1.0);
    }
}

TEST_F(FifoAndDeviceFilesTest, ACourseThatIsAnEndlessDeviceIsRefusedAtOnce) {
    ASSERT_EQ(symlink("/dev/zero", Path("zero.crs").c_str()), 0);
    g_settings.CourseFile_name = "zero.crs";
    const auto start = Clock::now();
    EXPECT_FALSE(LoadCourseLayout());
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_FALSE(g_courseLayout.courseLayoutOn);
}

} // namespace
} // namespace qvtk::test
