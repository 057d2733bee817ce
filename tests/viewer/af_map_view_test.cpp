// The A/F map view as a user drives it: key S, the wheels and buttons through the main pass
// (the graphs never see them), and the points where the samples put them.
#include "viewer/af_map_view.h"

#include <gtest/gtest.h>

#include "render/render_qt.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/frame.h"
#include "viewer/input.h"
#include "viewer/key_commands.h"

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

} // namespace
} // namespace qvtk::test
