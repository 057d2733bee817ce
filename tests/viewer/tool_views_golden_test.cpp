// The A/F map and the X-Y plot of a simulated ride against stored pictures (drawn without
// text, so that only the points, axes and marks count). Set QVTK_UPDATE_GOLDEN=1 to write the
// pictures anew after an intended change.
#include <QImage>

#include "analysis/lap_model.h"
#include "analysis/xy_plot.h"
#include "render/render_qt.h"
#include "tests/golden_support.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/af_map_view.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace qvtk::test {
namespace {

constexpr int kWidth = 960, kHeight = 620;

class GoldenToolViews : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        sim::RideOptions options;
        options.seed = 7;
        options.laps = 2;
        const sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(options.seed), options);
        Load(0, "golden.qvd", sim::WriteFamily3(ride, 2));
        options.seed = 8;
        const sim::SimRide other = sim::SimulateRide(sim::MakeCourse(7), options);
        Load(1, "other.qvd", sim::WriteFamily3(other, 2));
        for (FileSlot slot = 0; slot < 2; ++slot) ResetLapChecks(slot);
        ResetViewState();
        ResetGraphSettings();
        ResetGraphLayouts();
        ResetViewerResources();
        ResetAfMapView();
        ResetXyPlotView();
        ASSERT_EQ(RenderOpenOffscreen(kWidth, kHeight), 0);
        RenderSetTarget(kBackBuffer);
        RenderClearTarget(0xFF000000u);
    }
    void TearDown() override {
        RenderClose();
        ProgramTest::TearDown();
    }
    static QImage Picture() {
        return RenderTargetImage(kBackBuffer)->convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(GoldenToolViews, AfMapOfTwoSimulatedRides) {
    g_settings.AFmap_YCH = 1;  // TPS
    g_settings.AFmap_AFCH = 6; // LAF1
    EnterAfMapView();
    g_afMapView.fade = 255;
    g_afMapView.windowLow = 1280;
    DrawAfMapView(kWidth);
    EXPECT_GT(g_afMapView.counts[1].Total(), 1000);
    ExpectGolden(Picture(), "af_map.png", 20000);
}

TEST_F(GoldenToolViews, XyPlotOfTwoSimulatedRides) {
    g_settings.XYPlot_Xch = 1;                                          // TPS
    g_settings.XYPlot_Ych = 3;                                          // VRW
    g_settings.XYPlot_Zch = 0;                                          // Ne
    for (int axis = 0; axis < 3; ++axis) XyPlotRangeValue(axis, 2) = 0; // from the data
    g_xyPlot.pointSize = 1;
    SlotOf(0).cursorPos = int64_t(SlotOf(0).laps.marks[1] + 3000) * 100;
    DrawXyPlotView(kWidth, kHeight);
    ExpectGolden(Picture(), "xy_plot.png", 10000);
}

} // namespace
} // namespace qvtk::test
