// The A/F map view as a user drives it: key S, the wheels and buttons through the main pass
// (the graphs never see them), and the points where the samples put them.
#include "viewer/af_map_view.h"

#include <gtest/gtest.h>

#include "render/render_qt.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/frame.h"
#include "viewer/input.h"
#include "viewer/key_commands.h"
#include "viewer/resources.h"
#include "viewer/xy_plot_view.h"

namespace qvtk::test {
namespace {

constexpr int kWidth = 1024, kHeight = 700;

class AfMapViewTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        OpenViewer(kWidth, kHeight);
        ResetAfMapView();
        // Every sample at 10000 rpm, half throttle, A/F 12.80.
        Slot& s = MakeRecording(0, 200,
                                {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}, {6, kCodeLAF1, "LAF1"}});
        Fill(0, 0, 10000000);
        Fill(0, 1, 50000);
        Fill(0, 6, 12800);
        s.laps.count = 1;
        s.laps.marks[1] = s.laps.marks[2] = s.laps.marks[3] = 200;
        LapStateOf(0).lapChecked[0] = true;
        g_settings.AFmap_YCH = 1;
        g_settings.AFmap_AFCH = 6;
        RenderSetMouse(500, 400, 0);
    }
    static void Pass(int buttons = 0, int wheel = 0, int hwheel = 0) {
        RenderSetMouse(500, 400, buttons);
        if (wheel || hwheel) RenderAddWheel(wheel, hwheel);
        PollInput();
    }
    static uint32_t Pixel(int x, int y) {
        return RenderTargetImage(kBackBuffer)->pixel(x, y) | 0xFF000000u;
    }
};

TEST_F(AfMapViewTest, TheWheelsWidenTheWindowAndNeverZoomTheGraphs) {
    ExecuteKey('s');
    ASSERT_TRUE(g_view.AfMapView);
    Pass(0, 2 * 120);
    EXPECT_EQ(g_afMapView.windowWidth, kAfWindowWidthStart + 10);
    Pass(0, 0, -120); // sideways: the width too, not a lap step
    EXPECT_EQ(g_afMapView.windowWidth, kAfWindowWidthStart + 5);
    EXPECT_EQ(g_view.LapStepRequest, 0);
    Pass(0, -100 * 120);
    EXPECT_EQ(g_afMapView.windowWidth, 0);
    ExecuteKey('s'); // back in the graphs no notch is left to zoom them
    Pass();
    EXPECT_EQ(g_view.ZoomSpan, kZoomSpanFirst);
}

TEST_F(AfMapViewTest, AHeldButtonRepeatsAfterSevenPasses) {
    ExecuteKey('s');
    for (int i = 0; i < 10; ++i) Pass(kMouseLeft);
    EXPECT_EQ(g_afMapView.windowLow, kAfWindowLowStart + 30); // passes 1, 9 and 10
    Pass();
    Pass(kMouseRight);
    EXPECT_EQ(g_afMapView.windowLow, kAfWindowLowStart + 20);
    g_afMapView.windowLow = 1595;
    Pass();
    Pass(kMouseLeft);
    EXPECT_EQ(g_afMapView.windowLow, kAfWindowLowMax);
}

TEST_F(AfMapViewTest, PointsLieAtTheirEngineSpeedAndThrottleInTheirClass) {
    EnterAfMapView();
    g_afMapView.fade = 255;
    const int c = kWidth / 2;
    // 10000 rpm: x = c - 198 + 303; 50 %: y = 301 - 100; the box ends a pixel short of both.
    const int x = c - 198 + 303 - 2, y = 201 - 2;
    DrawFrame();
    EXPECT_EQ(Pixel(x, y), 0xFF20E020u); // inside 12.50 .. 13.00
    EXPECT_EQ(g_afMapView.counts[0].count[kAfInside], 200);
    g_afMapView.windowWidth = 20; // 12.50 .. 12.70: the points are over it
    DrawFrame();
    EXPECT_EQ(Pixel(x, y), 0xFFFF4040u);
    LapStateOf(0).lapChecked[0] = false;
    DrawFrame();
    EXPECT_NE(Pixel(x, y), 0xFFFF4040u);
    EXPECT_EQ(g_afMapView.counts[0].Total(), 0);
}

// The key instructions are drawn in every view before the view itself: the A/F map's box and
// the X-Y plot's cover them, and what lies outside those boxes still shows, as in the graphs.
TEST_F(AfMapViewTest, TheKeyInstructionsLieUnderTheToolViews) {
    LoadResources(); // the fonts
    g_settings.XYPlot_Xch = 1, g_settings.XYPlot_Ych = 0;
    const XyPlotBox xy = XyPlotBoxFor(kWidth, kHeight);
    const struct {
        bool afMap;
        int left, top, right, bottom; // the view's box
    } views[] = {{true, kWidth / 2 - 450, 50, kWidth / 2 + 450, 600},
                 {false, xy.left, xy.top, xy.right, xy.bottom}};
    for (const auto& v : views) {
        QImage drawn[2];
        for (int shown = 0; shown < 2; ++shown) {
            if (v.afMap) {
                EnterAfMapView();
                g_afMapView.fade = 255;
            } else {
                g_view.AfMapView = 0;
                g_view.XyPlotView = 1;
            }
            g_view.KeyHelpCounter = shown ? kKeyHelpStart : 0;
            DrawFrame();
            drawn[shown] = RenderTargetImage(kBackBuffer)->copy();
            if (shown) EXPECT_EQ(g_view.KeyHelpCounter, kKeyHelpStart - 1);
        }
        int inside = 0, outside = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool differs = drawn[0].pixel(x, y) != drawn[1].pixel(x, y);
                const bool in = x >= v.left && x < v.right && y >= v.top && y < v.bottom;
                (in ? inside : outside) += differs;
            }
        EXPECT_EQ(inside, 0) << (v.afMap ? "A/F map" : "X-Y plot");
        EXPECT_GT(outside, 50) << (v.afMap ? "A/F map" : "X-Y plot");
    }
}

} // namespace
} // namespace qvtk::test
