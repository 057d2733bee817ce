// The typed-key commands, one by one, against the view state they must change.
#include "viewer/key_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "logger/program.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "viewer/input.h"
#include "viewer/view_state.h"

namespace qvtk {
namespace {

class KeyCommands : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiApp();
        ResetProgram();
        ResetViewState();
        RenderReset(); // no keys held, nothing queued
    }
    void Press(int c) {
        RenderPushChar(c);
        PollInput();
    }
    void Shifted(int c) {
        RenderSetKeyHeld(RenderKey::Shift, true);
        Press(c);
        RenderSetKeyHeld(RenderKey::Shift, false);
        PollInput(); // Shift goes up
    }
};

struct Toggle {
    int key;
    int ViewState::*field;
};

TEST_F(KeyCommands, TogglesFlipTheirFlagInBothCases) {
    const Toggle toggles[] = {
        {'b', &ViewState::ScrollBarOn},       {'h', &ViewState::PopupHintOn},
        {'r', &ViewState::SearchValueOn},     {'v', &ViewState::ChannelNameColumnOn},
        {'w', &ViewState::StatusViewOn},      {'e', &ViewState::SubViewOn},
        {'c', &ViewState::GraphPositionMode}, {'s', &ViewState::AfMapView},
        {'a', &ViewState::RealTimePlay},
    };
    for (const Toggle& t : toggles) {
        SCOPED_TRACE(char(t.key));
        ResetViewState();
        int before = g_view.*t.field;
        ExecuteKey(t.key);
        EXPECT_EQ(g_view.*t.field, !before);
        ExecuteKey(std::toupper(t.key));
        EXPECT_EQ(g_view.*t.field, before);
    }
}

TEST_F(KeyCommands, RedrawCountdownAfterCommands) {
    g_view.RedrawCountdown = 0;
    ExecuteKey('h');
    EXPECT_EQ(g_view.RedrawCountdown, kRedrawCommand);
    for (int key : {'b', 'w', 'q'}) {
        g_view.RedrawCountdown = 0;
        ExecuteKey(key);
        EXPECT_EQ(g_view.RedrawCountdown, kRedrawShort) << char(key);
    }
    g_view.RedrawCountdown = 0;
    ExecuteKey('y'); // no command
    ExecuteKey(200); // outside the table
    ExecuteKey(8);
    EXPECT_EQ(g_view.RedrawCountdown, 0);
}

TEST_F(KeyCommands, ViewsAreExclusive) {
    ExecuteKey('c');
    EXPECT_TRUE(g_view.GraphPositionMode);
    ExecuteKey('s'); // A/F map switches graph position mode off
    EXPECT_TRUE(g_view.AfMapView);
    EXPECT_FALSE(g_view.GraphPositionMode);
    ExecuteKey('a'); // replay ends the A/F map and turns the sub view on
    g_view.SubViewOn = 0;
    ExecuteKey('a');
    ExecuteKey('a');
    EXPECT_TRUE(g_view.RealTimePlay);
    EXPECT_TRUE(g_view.SubViewOn);
    EXPECT_FALSE(g_view.AfMapView);
    g_view.XyPlotView = 1;
    g_view.AlignType = 2;
    ExecuteKey('c');
    EXPECT_TRUE(g_view.GraphPositionMode);
    EXPECT_FALSE(g_view.RealTimePlay);
    EXPECT_FALSE(g_view.XyPlotView);
    EXPECT_EQ(g_view.AlignType, 1);
    ExecuteKey(kCharEsc);
    EXPECT_TRUE(NormalGraphView());
    EXPECT_FALSE(g_view.RealTimePlay);
}

TEST_F(KeyCommands, ZoomSpanCyclesAndValueModeRespectsExpertLevel) {
    int seen[5];
    for (int& s : seen) {
        s = g_view.ZoomSpan;
        ExecuteKey('n');
    }
    EXPECT_EQ(std::vector<int>(seen, seen + 5),
              (std::vector<int>{10000, 20000, 40000, 80000, 10000}));

    g_settings.CursolValueMode = 0;
    std::vector<int> modes;
    for (int i = 0; i < 5; ++i) {
        ExecuteKey('m');
        modes.push_back(g_settings.CursolValueMode);
    }
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 3, 0, 1}));
    Shifted('m');
    EXPECT_EQ(g_settings.CursolValueMode, 5);
    Shifted('M');
    EXPECT_EQ(g_settings.CursolValueMode, 1);

    g_settings.ExpertMode = 1;
    ExecuteKey('m');
    EXPECT_EQ(g_settings.CursolValueMode, 0);
    ExecuteKey('m');
    EXPECT_EQ(g_settings.CursolValueMode, 1);
    Shifted('m');
    EXPECT_EQ(g_settings.CursolValueMode, 1); // bit 2 is not kept below level 2
}

TEST_F(KeyCommands, LafDelayOffsetStaysWithinItsRange) {
    for (int i = 0; i < 50; ++i) ExecuteKey('.');
    EXPECT_EQ(g_view.LafDelayOffset, kLafDelayMax);
    EXPECT_EQ(g_view.RedrawCountdown, kRedrawFull);
    EXPECT_GT(g_view.LafDelayReadout, 0);
    ExecuteKey(',');
    EXPECT_EQ(g_view.LafDelayOffset, 195);
    for (int i = 0; i < 50; ++i) ExecuteKey('<');
    EXPECT_EQ(g_view.LafDelayOffset, 0);
    ExecuteKey('>');
    EXPECT_EQ(g_view.LafDelayOffset, 5);
    EXPECT_EQ(g_view.GpsOffset, 0); // only in debug mode
    g_settings.Debug = 1;
    ExecuteKey('.');
    EXPECT_EQ(g_view.GpsOffset, 1);

    g_settings.ExpertMode = 1;
    ExecuteKey('.');
    EXPECT_EQ(g_view.LafDelayOffset, 10);

    // In the A/F map the arrows move the offset, within the same range.
    g_view.AfMapView = 1;
    for (int i = 0; i < 60; ++i) ExecuteKey(kCharRight);
    EXPECT_EQ(g_view.LafDelayOffset, kLafDelayMax);
    for (int i = 0; i < 60; ++i) ExecuteKey(kCharLeft);
    EXPECT_EQ(g_view.LafDelayOffset, 0);
}

TEST_F(KeyCommands, DebugGates) {
    g_settings.SusVSampleNum = 3;
    ExecuteKey('9');
    EXPECT_EQ(g_settings.SusVSampleNum, 3);
    g_settings.Debug = 1;
    for (int i = 0; i < 30; ++i) ExecuteKey('9');
    EXPECT_EQ(g_settings.SusVSampleNum, 20);
    for (int i = 0; i < 30; ++i) ExecuteKey('0');
    EXPECT_EQ(g_settings.SusVSampleNum, 0);
}

TEST_F(KeyCommands, ArrowsStepLapsScrollOrMoveGraphPosition) {
    ExecuteKey(kCharRight);
    ExecuteKey(kCharRight);
    ExecuteKey(kCharLeft);
    EXPECT_EQ(g_view.LapStepRequest, -1);

    // Shift scrolls the loaded files whose move flag is on.
    SlotOf(0).active = true;
    SlotOf(0).cursorPos = 100 * 100;
    SlotOf(1).active = true;
    SlotOf(1).cursorPos = 5000 * 100;
    g_view.FileMoveFlag[1] = 0;
    RenderSetKeyHeld(RenderKey::Shift, true);
    Press(kCharLeft);
    EXPECT_EQ(g_view.ScrollTarget[0], 0); // never below the first sample
    EXPECT_EQ(g_view.ScrollTarget[1], -1);
    int32_t from = CursorSample(0); // the view glides toward its target meanwhile
    Press(kCharRight);
    EXPECT_EQ(g_view.ScrollTarget[0], from + 40 * 5);
    RenderSetKeyHeld(RenderKey::Ctrl, true);
    from = CursorSample(0);
    Press(kCharRight);
    EXPECT_EQ(g_view.ScrollTarget[0], from + 80 * 5);
    RenderSetKeyHeld(RenderKey::Ctrl, false);
    RenderSetKeyHeld(RenderKey::Shift, false);

    // Graph position mode positions the baseline.
    g_view.GraphPositionMode = 1;
    ExecuteKey(kCharUp);
    ExecuteKey(kCharRight);
    EXPECT_EQ(g_settings.BaseLinePos, 11);
    ExecuteKey(kCharDown);
    ExecuteKey(kCharDown);
    EXPECT_EQ(g_settings.BaseLinePos, -9);
    ExecuteKey('z');
    EXPECT_EQ(g_settings.BaseLinePos, 0);
    EXPECT_TRUE(g_view.FileMoveFlag[0]); // Z in this mode leaves the move flag
}

TEST_F(KeyCommands, MoveFlagsAndCurrentFile) {
    ExecuteKey('z');
    EXPECT_FALSE(g_view.FileMoveFlag[0]);
    ExecuteKey('x');
    EXPECT_FALSE(g_view.FileMoveFlag[1]);
    Shifted('x');
    EXPECT_FALSE(g_view.FileMoveFlag[2]);
    g_settings.ExpertMode = 1;
    Shifted('X'); // File 3 needs level 2: File 2 instead
    EXPECT_TRUE(g_view.FileMoveFlag[1]);
    EXPECT_FALSE(g_view.FileMoveFlag[2]);
    Shifted(' '); // Space reaches File 3 from level 1
    EXPECT_TRUE(g_view.FileMoveFlag[2]);
    EXPECT_EQ(g_view.CurrentFile, 1);
    ExecuteKey(' ');
    EXPECT_FALSE(g_view.FileMoveFlag[1]);
    EXPECT_EQ(g_view.CurrentFile, 0);

    g_view.AfMapView = 1; // Space flips the A/F map's switch direction instead
    ExecuteKey(' ');
    EXPECT_TRUE(g_view.AfSwitchReversed);
    EXPECT_EQ(g_view.CurrentFile, 0);
}

TEST_F(KeyCommands, HeldKeysAndTheirSideEffects) {
    g_view.KeyHelpCounter = 0;
    RenderSetKeyHeld(RenderKey::F1, true);
    PollInput();
    EXPECT_EQ(g_view.KeyHelpCounter, kKeyHelpStart);
    RenderSetKeyHeld(RenderKey::F1, false);
    g_view.KeyHelpCounter = 0;
    ExecuteKey('-');
    EXPECT_EQ(g_view.KeyHelpCounter, kKeyHelpStart);

    g_view.RedrawCountdown = 0;
    RenderSetKeyHeld(RenderKey::Ctrl, true);
    PollInput();
    EXPECT_TRUE(g_view.CtrlHeld);
    EXPECT_EQ(g_view.RedrawCountdown, kRedrawCommand - 1); // less the pass's own step
    RenderSetKeyHeld(RenderKey::Ctrl, false);

    RenderSetKeyHeld(RenderKey::Shift, true);
    PollInput();
    EXPECT_TRUE(g_view.ToolbarShowsFile3);
    RenderSetKeyHeld(RenderKey::Shift, false);
    PollInput();
    EXPECT_FALSE(g_view.ToolbarShowsFile3);

    // L toggles the cursor value width between 0 and 80.
    ExecuteKey('l');
    EXPECT_EQ(g_settings.CslValWidth, 80);
    ExecuteKey('L');
    EXPECT_EQ(g_settings.CslValWidth, 0);

    // Q alternates the alignment type.
    ExecuteKey('q');
    EXPECT_EQ(g_view.AlignType, 2);
    ExecuteKey('Q');
    EXPECT_EQ(g_view.AlignType, 1);
}

TEST_F(KeyCommands, TabFlashesFile1sMarkedSamples) {
    Press('\t');
    EXPECT_EQ(g_view.MarkerFlash, 255);
}

TEST_F(KeyCommands, TypedKeysAreDroppedWhileTheAfMapIsShown) {
    ExecuteKey('s');
    RenderPushChar('h');
    RenderPushChar('b');
    ExecuteKey('r'); // any key empties the queue in this view
    EXPECT_EQ(RenderInputChar(), 0);
}

TEST_F(KeyCommands, CourseColourChannelWalksShownColumns) {
    Slot& s = SlotOf(0);
    for (int c : {0, 3, 7}) s.channelFlags[c] = kChannelPresent | kChannelShown;
    s.channelFlags[5] = kChannelPresent; // not shown: passed over
    ExecuteKey('o');
    EXPECT_EQ(g_view.CourseColorChannel[0], 3);
    ExecuteKey('o');
    EXPECT_EQ(g_view.CourseColorChannel[0], 7);
    ExecuteKey('o'); // the last one: it stays
    EXPECT_EQ(g_view.CourseColorChannel[0], 7);
    Shifted('o');
    EXPECT_EQ(g_view.CourseColorChannel[0], 3);
    g_settings.ColorMap = 0;
    ExecuteKey('o');
    EXPECT_EQ(g_view.CourseColorChannel[0], 3);
}

} // namespace
} // namespace qvtk
