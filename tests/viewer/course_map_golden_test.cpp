// The course map of a simulated ride with GPS against a stored picture, with a small
// tolerance: a change in the framing, the projection, the palette or the increments shows up
// here. Set QVTK_UPDATE_GOLDEN=1 to write the picture anew after an intended change.
#include <QImage>
#include <cstdlib>
#include <string>

#include "render/render_qt.h"
#include "tests/golden_support.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/ride.h"
#include "viewer/course_map_picture.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

QImage DrawSimulatedMap() {
    Load(0, "golden.qvd", sim::WriteFamily4(SimulatedRide(5, 2)));
    EXPECT_TRUE(g_session.file1HasGps);
    ResetViewState();
    ResetViewerResources();
    EXPECT_EQ(RenderOpenOffscreen(kCourseMapSize, kCourseMapSize), 0);
    g_res.courseMap = RenderCreateSurface(kCourseMapSize, kCourseMapSize, true);
    // The second lap, coloured by the throttle.
    const Slot& s = SlotOf(0);
    EXPECT_GE(s.laps.count, 3);
    SlotOf(0).cursorPos = int64_t(s.laps.marks[1] + 10) * 100;
    g_view.CourseColorChannel[0] = std::max(FindColumnByCode(0, 4), 0);
    DrawGpsTrack(2);
    while (g_mapPicture.gpsPending) DrawGpsTrack(0);
    QImage image = RenderTargetImage(g_res.courseMap)->convertToFormat(QImage::Format_RGB32);
    RenderClose();
    return image;
}

class GoldenMap : public ProgramTest {};

TEST_F(GoldenMap, GpsTrackOfASimulatedRide) {
    GuiApp();
    ExpectGolden(DrawSimulatedMap(), "course_map.png", 3000);
}

} // namespace
} // namespace qvtk::test
