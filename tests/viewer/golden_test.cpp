// The curves of a simulated recording against a stored picture, with a small tolerance: a
// change in the mapping, the envelope or the rasterizer shows up here. Set
// QVTK_UPDATE_GOLDEN=1 to write the picture anew after an intended change.
#include <QImage>
#include <cstdlib>
#include <string>

#include "render/render_qt.h"
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

const std::string kGolden = std::string(QVTK_SOURCE_DIR) + "/tests/golden/graph_view.png";

QImage DrawSimulatedCurves() {
    sim::RideOptions options;
    options.seed = 3;
    options.laps = 1;
    sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(options.seed), options);
    Load(0, "golden.qvd", sim::WriteFamily3(ride, 2));
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
    QImage drawn = DrawSimulatedCurves();
    if (std::getenv("QVTK_UPDATE_GOLDEN")) {
        ASSERT_TRUE(drawn.save(QString::fromStdString(kGolden)));
        GTEST_SKIP() << "wrote " << kGolden;
    }
    QImage golden(QString::fromStdString(kGolden));
    ASSERT_FALSE(golden.isNull()) << kGolden << " is missing";
    golden = golden.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(golden.size(), drawn.size());
    int differing = 0, lit = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            QRgb a = drawn.pixel(x, y), b = golden.pixel(x, y);
            lit += (b & 0xFFFFFF) != 0;
            int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
            differing += d > 16;
        }
    EXPECT_GT(lit, 2000); // the picture holds curves at all
    EXPECT_LE(differing, drawn.width() * drawn.height() / 200) << "pixels off the stored picture";
}

} // namespace
} // namespace qvtk::test
