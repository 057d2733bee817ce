// The viewer as a program on the offscreen platform: start-up with a recording, toolbar
// buttons, the main loop's redraw countdown, and the settings kept across runs.
#include "viewer/app.h"

#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <fstream>

#include "analysis/file_open.h"
#include "platform/ini_text.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tests/viewer/app_fixture.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/frame.h"
#include "viewer/graphs.h"
#include "viewer/info_panels.h"
#include "viewer/input.h"
#include "viewer/key_commands.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

using Viewer = ViewerApp;

TEST_F(Viewer, TitleAndStartUpWithRecordingsOnTheCommandLine) {
    EXPECT_EQ(WindowTitle(), "QVTK Ver 2.04.10_e _210123");
    WriteRecording(dir_ + "/first.qvd", 3, 1);
    WriteRecording(dir_ + "/second.qvd", 4, 1);
    WriteFile("QVTK2.ini", "[ModeSet]\r\nModifyFileName=0\r\nAnimeMode=0\r\n");
    Start();
    EXPECT_EQ(RenderMainWindow()->windowTitle().toStdString(), WindowTitle());
    EXPECT_FALSE(g_view.SubViewOn); // from AnimeMode
    EXPECT_TRUE(OpenFileIntoSlot(0, dir_ + "/first.qvd"));
    EXPECT_TRUE(OpenFileIntoSlot(1, dir_ + "/second.qvd"));
    EXPECT_EQ(SlotOf(0).file.fileName, "first.qvd");
    EXPECT_EQ(SlotOf(1).file.fileName, "second.qvd");
    const LabelRect& r = SlotOf(1).file.labelRect;
    EXPECT_EQ(r.top, 16 + g_res.mainFontSize);
    EXPECT_GT(r.right, 20);
    // Each file's label and values have a colour of their own: in the summary panel File 1's
    // values stand from x 108 and File 2's from x 180.
    EXPECT_NE(FileColor(0), FileColor(1));
    EXPECT_NE(FileColor(1), FileColor(2));
    RefreshSummary();
    const QImage* panel = RenderTargetImage(g_res.summaryPanel);
    ASSERT_NE(panel, nullptr);
    auto inColour = [panel](int from, int to, FileSlot slot) {
        const QColor want(FileColor(slot));
        int n = 0;
        for (int y = 0; y < panel->height(); ++y)
            for (int x = from; x < to; ++x) {
                const QColor c = panel->pixelColor(x, y);
                n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                         std::abs(c.blue() - want.blue()) <
                     30;
            }
        return n;
    };
    EXPECT_GT(inColour(108, 175, 0), 20);
    EXPECT_EQ(inColour(108, 175, 1), 0);
    EXPECT_GT(inColour(180, 256, 1), 20);
    EXPECT_EQ(inColour(180, 256, 0), 0);
    EXPECT_TRUE(RunMainPass());
    EXPECT_EQ(g_view.KeyHelpCounter, kKeyHelpStart - 1); // the overlay drew once
}

TEST_F(Viewer, WindowBeyondTheDesktopStartsAtZeroAndSettingsSurviveARun) {
    WriteFile("QVTK2.ini", "[Window]\r\nx=99999\r\ny=40\r\n[ModeSet]\r\nExpertMode=010\r\n"
                           "[ZUDEriraz]\r\nDebug = 0x0\r\nVSync=0\r\n");
    Start();
    EXPECT_EQ(RenderMainWindow()->x(), 0);
    EXPECT_EQ(g_settings.ExpertMode, 8); // octal, as the settings file reads it
    g_settings.CslValWidth = 80;
    ExitProgram();
    std::string text = *ReadTextFile(dir_ + "/QVTK2.ini");
    EXPECT_NE(text.find("CslValWidth=80\r\n"), std::string::npos);
    EXPECT_NE(text.find("Debug = 0x0"), std::string::npos); // read-only keys stay as written
    EXPECT_NE(text.find("VSync=0"), std::string::npos);
}

TEST_F(Viewer, ToolbarButtonsFollowAndSetTheViewState) {
    Start();
    EXPECT_TRUE(ToolbarChecked(kBtnCheck1));
    EXPECT_TRUE(ToolbarChecked(kBtnCheck2));
    EXPECT_TRUE(ToolbarChecked(kBtnMoveM));
    Click("Check1");
    EXPECT_FALSE(g_view.FileMoveFlag[0]);
    Click("GPM");
    EXPECT_TRUE(g_view.GraphPositionMode);
    EXPECT_TRUE(ToolbarChecked(kBtnGPM));
    EXPECT_FALSE(ToolbarChecked(kBtnMoveM));
    Click("MoveM");
    EXPECT_FALSE(g_view.GraphPositionMode);
    EXPECT_TRUE(ToolbarChecked(kBtnMoveM));
    Click("Play");
    EXPECT_TRUE(g_view.RealTimePlay);
    EXPECT_TRUE(g_view.SubViewOn);
    Click("ANM"); // sub view off, replay off
    EXPECT_FALSE(g_view.SubViewOn);
    EXPECT_FALSE(g_view.RealTimePlay);
    EXPECT_FALSE(ToolbarChecked(kBtnPlay));
    QString opened;
    QTimer::singleShot(0, [&opened] { // unchecked: the lap table, never the A/F map
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        opened = dialog->windowTitle();
        dialog->close();
    });
    Click("AFM");
    EXPECT_EQ(opened, "Analysis tools");
    EXPECT_FALSE(g_view.AfMapView);
    EXPECT_FALSE(ToolbarChecked(kBtnAFM));
    ExecuteKey('s');
    EXPECT_TRUE(ToolbarChecked(kBtnAFM));
    Click("AFM"); // checked: leaves the A/F map view
    EXPECT_FALSE(g_view.AfMapView);
    EXPECT_TRUE(ToolbarChecked(kBtnMoveM));

    // With Shift at expert level 2 the File 2 button works on File 3.
    RenderSetKeyHeld(RenderKey::Shift, true);
    RunMainPass();
    Click("Check2");
    RenderSetKeyHeld(RenderKey::Shift, false);
    RunMainPass();
    EXPECT_FALSE(g_view.FileMoveFlag[2]);
    EXPECT_TRUE(g_view.FileMoveFlag[1]);
}

TEST_F(Viewer, CloseButtonsCloseFile2And3OrOnlyFile3) {
    WriteRecording(dir_ + "/a.qvd", 5, 1);
    Start();
    g_settings.ModifyFileName = 0;
    for (int s = 0; s < 3; ++s) ASSERT_TRUE(OpenFileIntoSlot(s, dir_ + "/a.qvd"));
    g_view.ShiftHeld = 1;
    Click("Close2");
    EXPECT_TRUE(SlotOf(1).active);
    EXPECT_FALSE(SlotOf(2).active);
    EXPECT_EQ(SlotOf(2).sampleCount, 1);
    g_view.ShiftHeld = 0;
    Click("Close2");
    EXPECT_FALSE(SlotOf(1).active);
    EXPECT_TRUE(SlotOf(0).active);
}

TEST_F(Viewer, RejectedFileClearsItsLabelAndTheLoopGoesIdle) {
    WriteFile("short.qvd", std::string(300, '3'));
    Start();
    EXPECT_FALSE(OpenFileIntoSlot(0, dir_ + "/short.qvd"));
    ASSERT_FALSE(RecordedMessages().empty());
    EXPECT_EQ(RecordedMessages().back().text, "Load file error " + dir_ + "/short.qvd");
    EXPECT_EQ(SlotOf(0).file.fileName, "");
    // Without input the countdown runs out and the picture freezes.
    RenderSetMouse(10, 10, 0);
    for (int i = 0; i < 200 && g_view.RedrawCountdown > 0; ++i) PollInput();
    EXPECT_EQ(g_view.RedrawCountdown, 0);
    RenderSetMouse(40, 40, 0); // any movement redraws again
    PollInput();
    EXPECT_EQ(g_view.RedrawCountdown, kRedrawFull);
}

TEST_F(Viewer, ExtraMouseButtonsAndSidewaysWheelStepLaps) {
    WriteRecording(dir_ + "/laps.qvd", 6, 3);
    Start();
    g_settings.ModifyFileName = 0;
    ASSERT_TRUE(OpenFileIntoSlot(0, dir_ + "/laps.qvd"));
    const LapMarkTable& laps = SlotOf(0).laps;
    ASSERT_GE(laps.count, 4);
    SlotOf(0).cursorPos = int64_t(laps.marks[2] + 100) * 100;
    RenderSetMouse(5, 5, kMouseForward); // one lap forward
    PollInput();
    EXPECT_GT(CursorSample(0), laps.marks[3]);
    RenderSetMouse(5, 5, 0);
    PollInput();
    RenderAddWheel(0, -120); // a notch to the left steps one lap back
    PollInput();
    EXPECT_GT(CursorSample(0), laps.marks[2]);
    EXPECT_LT(CursorSample(0), laps.marks[3]);
    EXPECT_EQ(g_view.LapStepRequest, 0);
    // The wheel zooms: three notches forward add three steps, one back returns to 1.0.
    RenderAddWheel(360, 0);
    PollInput();
    EXPECT_EQ(g_view.ZoomSpan, 40000);
    RenderAddWheel(-60, 0);
    PollInput();
    EXPECT_EQ(g_view.ZoomSpan, 40000); // half a notch is not a notch yet
    RenderAddWheel(-60, 0);
    PollInput();
    EXPECT_EQ(g_view.ZoomSpan, 10000);
    for (int i = 0; i < 300 && g_view.ViewZoom >= 1.001f; ++i) PollInput();
    EXPECT_EQ(g_view.VScroll, 0);
}

TEST_F(Viewer, AVertexPoolThatCannotBeHadIsReportedOnceAndEndsTheStart) {
    FailVertexPoolsForTesting(true);
    EXPECT_EQ(AppMain(dir_, {}), -1);
    FailVertexPoolsForTesting(false);
    int memory = 0, device = 0;
    for (const auto& m : RecordedMessages()) {
        memory += m.text == "Memory Error." && m.caption == "Error";
        device += m.text == "DiretX Error.";
    }
    EXPECT_EQ(memory, 1);
    EXPECT_EQ(device, 0);
}

TEST_F(Viewer, ToolbarTipsSayWhatTheButtonsDoAndItStartsClearOfTheValues) {
    Start();
    for (const char* name : {"Check1", "GPM", "Play", "Close2"}) {
        auto* b = ToolbarWidget()->findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->toolTip(), QString(name));
        EXPECT_GT(b->toolTip().size(), 12) << name;
    }
    const QRect bar = ToolbarWidget()->frameGeometry();
    const QRect main = RenderMainWindow()->normalGeometry();
    if (bar.left() >= main.left()) { // not pushed back by the screen's edge
        EXPECT_GE(bar.left() - main.left(), ValueColumnsRight());
    }
}

TEST_F(Viewer, ToolbarIsKeptOnTheScreen) {
    Start();
    QWidget* bar = ToolbarWidget();
    QRect screen = bar->screen()->geometry();
    bar->move(screen.right() + 500, screen.bottom() + 500);
    RestoreToolbarPlacement(false);
    EXPECT_TRUE(screen.contains(bar->frameGeometry())) << bar->frameGeometry().x();
    bar->move(screen.left() - 900, screen.top() - 900);
    RestoreToolbarPlacement(false);
    EXPECT_TRUE(screen.contains(bar->frameGeometry()));
}

TEST(MemoText, TwoByteCharactersAreDecodedFromShiftJis) {
    GuiApp();
    // "ｱ" (one byte, half width) and "日本" (two bytes each) between ASCII letters.
    EXPECT_EQ(DecodeMemo("A\xB1\x93\xFA\x96\x7Bz"), "A\uFF71\u65E5\u672Cz");
}

} // namespace
} // namespace qvtk::test
