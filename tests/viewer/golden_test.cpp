// The curves of a simulated recording against a stored picture, with a small tolerance: a
// change in the mapping, the envelope or the rasterizer shows up here. Set
// QVTK_UPDATE_GOLDEN=1 to write the picture anew after an intended change.
#include <QImage>
#include <cstdlib>
#include <string>

#include "render/render_qt.h"
#include "tests/golden_support.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

QImage DrawSimulatedCurves() {
    Load(0, "golden.qvd", sim::WriteFamily3(SimulatedRide(3, 1), 2));
    ResetViewState();
    ResetGraphSettings();
    ResetViewerResources();
    EXPECT_EQ(RenderOpenOffscreen(320, 200), 0);
    g_res.screenWidth = 320;
    EXPECT_TRUE(AllocateVertexPools());
    g_view.ViewZoom = 1.0f;
    g_view.HorizontalCompression = 40.0f;
    SlotOf(0).cursorPos = int64_t(SlotOf(0).sampleCount / 2) * 100;
    AlignGraphs(1, true, false);
    RenderSetTarget(kBackBuffer);
    RenderClearTarget(0xFF000000u);
    DrawCurves(MakeGraphFrame());
    QImage image = RenderTargetImage(kBackBuffer)->convertToFormat(QImage::Format_RGB32);
    RenderClose();
    return image;
}

class GoldenPicture : public ProgramTest {};

TEST_F(GoldenPicture, CurvesOfASimulatedRecording) {
    GuiApp();
    ExpectGolden(DrawSimulatedCurves(), "graph_view.png", 2000);
}

} // namespace
} // namespace qvtk::test
