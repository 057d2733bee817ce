// Input as the main loop sees it: presses and releases replayed in order, even after the loop
// went idle; the wheel routed to the view it belongs to; the zoom holding the row under the
// pointer; vertical scroll with Ctrl or the middle button; drags that settle.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

#include "analysis/lap_model.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/viewer/app_fixture.h"
#include "viewer/frame.h"
#include "viewer/input.h"
#include "viewer/key_commands.h"
#include "viewer/lap_list.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/sub_view.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

using LoopInput = ViewerApp;

void SendMouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(RenderMainWindow(), &event);
}

void SendKey(QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(RenderMainWindow(), &event);
}

TEST_F(LoopInput, ShortClicksAndKeyTapsBetweenIdlePassesAreSeen) {
    WriteRecording(dir_ + "/laps.qvd", 6, 3);
    WriteFile("QVTK2.ini", "[ModeSet]\r\nModifyFileName=0\r\nAnimeMode=0\r\n");
    Start();
    ASSERT_TRUE(OpenFileIntoSlot(0, dir_ + "/laps.qvd"));
    g_view.KeyHelpCounter = 0;
    g_view.RedrawCountdown = 1;
    RunMainPass(); // the picture freezes: the loop rests between passes
    ASSERT_EQ(g_view.RedrawCountdown, 0);
    const LapListColumn list = LapListColumnOf(MakeGraphFrame(), 0);
    ASSERT_GE(list.lapRows, 3);
    const QPoint row(list.left + 10, list.lineTop[2] + 3);
    // Pressed and released before the next pass, as a short tap on a touchpad is.
    SendMouse(QEvent::MouseButtonPress, row, Qt::LeftButton, Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, row, Qt::LeftButton, Qt::NoButton);
    SendKey(QEvent::KeyPress, Qt::Key_F1);
    SendKey(QEvent::KeyRelease, Qt::Key_F1);
    SendMouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton); // gone again
    RunMainPass();
    EXPECT_EQ(g_view.ScrollTarget[0], LapMark(0, 2 * MarksPerLap(0)));
    RunMainPass(); // the release has a pass of its own, and F1 with it
    EXPECT_EQ(g_view.MouseButtons, 0);
    EXPECT_GT(g_view.KeyHelpCounter, kKeyHelpStart - 4);
}

class PassInput : public ::testing::Test {
protected:
    static constexpr int kWidth = 800, kHeight = 600;
    void SetUp() override {
        GuiApp();
        RenderReset();
        ResetViewState();
        ResetViewerResources();
        ASSERT_EQ(RenderOpenOffscreen(kWidth, kHeight), 0);
        g_view.ViewZoom = 1.0f;
        g_view.KeyHelpCounter = 0;
        g_view.SubViewOn = 0;
    }
    void TearDown() override { RenderReset(); }
    void Pass(int x, int y, int buttons = 0, int wheel = 0) {
        RenderSetMouse(x, y, buttons);
        if (wheel) RenderAddWheel(wheel, 0);
        PollInput();
    }
    static float RowUnder(float y) { return (y + g_view.VScroll) / g_view.ViewZoom; }
};

TEST_F(PassInput, TheWheelBelongsToTheAfMapAndXyPlotViewsWhileTheyAreOn) {
    for (int ViewState::*view : {&ViewState::AfMapView, &ViewState::XyPlotView}) {
        ResetViewState();
        g_view.*view = 1;
        Pass(500, 300, 0, 360);
        g_view.*view = 0;
        for (int i = 0; i < 5; ++i) Pass(500, 300);
        EXPECT_EQ(g_view.ZoomSpan, kZoomSpanFirst);
    }
}

TEST_F(PassInput, WheelZoomHoldsTheRowUnderThePointerAndZoomsBackToTheSamePicture) {
    Pass(500, 450);
    Pass(500, 450, 0, 120);
    for (int i = 0; i < 40; ++i) {
        Pass(500, 450);
        ASSERT_NEAR(RowUnder(450), 450, 0.01) << "pass " << i;
    }
    // A second notch higher up holds the row under it then.
    const float row = RowUnder(200);
    Pass(500, 200, 0, 120);
    for (int i = 0; i < 40; ++i) {
        Pass(500, 200);
        ASSERT_NEAR(RowUnder(200), row, 0.01) << "pass " << i;
    }
    EXPECT_GT(g_view.ViewZoom, 2.5f);
    Pass(500, 200, 0, -120);
    float before = g_view.VScroll;
    for (int i = 0; i < 150 && g_view.ViewZoom >= 1.001f; ++i) {
        Pass(500, 200);
        ASSERT_LE(g_view.VScroll, before + 0.01f); // glides back without a jump
        before = g_view.VScroll;
    }
    EXPECT_LT(g_view.ViewZoom, 1.001f);
    EXPECT_EQ(g_view.VScroll, 0);
}

TEST_F(PassInput, CtrlOrTheMiddleButtonScrollVerticallyWhileZoomed) {
    g_view.ZoomSpan = 30000;
    for (int i = 0; i < 150; ++i) Pass(500, 300);
    const float zoom = g_view.ViewZoom, most = kHeight * (zoom - 1);
    RenderSetKeyHeld(RenderKey::Ctrl, true);
    Pass(500, 0);
    EXPECT_NEAR(g_view.VScroll, 0, 0.5);
    Pass(500, kHeight - 1);
    EXPECT_NEAR(g_view.VScroll, most, 0.5);
    RenderSetKeyHeld(RenderKey::Ctrl, false);
    Pass(500, 100);
    EXPECT_NEAR(g_view.VScroll, most, 0.5); // the place stays when Ctrl is let go
    Pass(500, 150, kMouseMiddle);
    EXPECT_NEAR(g_view.VScroll, most * 150 / (kHeight - 1), 0.5);
    Pass(500, 150);
    g_view.ZoomSpan = kZoomSpanFirst; // not zoomed: nothing to scroll
    for (int i = 0; i < 200; ++i) Pass(500, 0, kMouseMiddle);
    EXPECT_EQ(g_view.VScroll, 0);
}

TEST_F(PassInput, RightDragScalingSettlesWhenThePointerStands) {
    Pass(500, 300);
    Pass(500, 300, kMouseRight);
    float last = 0;
    for (int i = 0; i < 300; ++i) {
        last = g_view.HorizontalCompression;
        Pass(500, 309, kMouseRight);
    }
    // Each pass adds (pointer - anchor) x 0.1 %, and the anchor comes 5 % nearer: the sum of
    // the distances is 9 x 20 pixels.
    EXPECT_NEAR(g_view.HorizontalCompression, 5.0f * std::exp(0.18f), 0.05f);
    EXPECT_NEAR(g_view.HorizontalCompression, last, 1e-4f);
    Pass(500, 309);

    // The sub view's elements scale by the same rule and settle too.
    g_view.SubViewOn = 1;
    g_settings.Meter_X = 500, g_settings.Meter_Y = 300, g_settings.Meter_Z = 1.0f;
    Pass(500, 300, kMouseRight);
    for (int i = 0; i < 300; ++i) Pass(500, 309, kMouseRight);
    EXPECT_NEAR(g_settings.Meter_Z, std::exp(-0.0005f * 180), 0.01f);
    EXPECT_NEAR(g_view.HorizontalCompression, 5.0f * std::exp(0.18f), 0.05f); // not the graphs
}

} // namespace
} // namespace qvtk::test
