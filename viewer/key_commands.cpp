#include "viewer/key_commands.h"

#include <algorithm>
#include <cctype>

#include "analysis/course_layout.h"
#include "viewer/lap_table_dialog.h"
#include "analysis/fuel_used.h"
#include "data/derived_channels.h"
#include "data/sample_envelope.h"
#include "data/settings.h"
#include "logger/realtime_monitor_dialog.h"
#include "logger/setup_dialog.h"
#include "render/render_qt.h"
#include "viewer/af_map_view.h"
#include "viewer/channel_order_dialog.h"
#include "viewer/corrective_tools_dialog.h"
#include "viewer/course_map_picture.h"
#include "viewer/course_map_images.h"
#include "viewer/course_map_window.h"
#include "viewer/graph_layout.h"
#include "viewer/graphs.h"
#include "viewer/lap_compare_view.h"
#include "viewer/lap_table_dialog.h"
#include "viewer/open_file.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

bool Expert(int level) {
    return g_settings.ExpertMode >= level;
}

void OffsetLafDelay(int step) {
    g_view.LafDelayOffset = std::clamp(g_view.LafDelayOffset + step, 0, kLafDelayMax);
}

// Keys , and . : the LAF offset (and in debug mode the GPS offset) with their channels.
void StepTimeOffsets(int direction) {
    if (!Expert(2)) return;
    OffsetLafDelay(direction * kLafDelayStep);
    g_view.LafDelayReadout = 100;
    if (DebugMode()) {
        g_view.GpsOffset += direction;
        g_derivedState.gpsSlipLag = g_view.GpsOffset;
        ComputeGpsSlip(0);
    }
    g_derivedState.reductionRatioLag = g_view.LafDelayOffset;
    ComputeReductionRatio(0);
    BuildSlotEnvelope(0); // the graphs draw the rewritten columns
    RequestRedraw(kRedrawFull);
}

// Keys 0 and 9 in debug mode: the suspension speed window.
void StepSuspensionSamples(int step) {
    if (!DebugMode()) return;
    g_settings.SusVSampleNum = std::clamp(g_settings.SusVSampleNum + step, 0, 20);
    ComputeSuspensionSpeed(0);
    ComputeSuspensionSpeed(1);
    BuildSlotEnvelope(0);
    BuildSlotEnvelope(1);
}

void ScrollLoadedFiles(int direction) {
    int step = ScrollStepSamples();
    for (int s = 0; s < kSlotCount; ++s) {
        if (!SlotOf(s).active || !g_view.FileMoveFlag[s]) continue;
        g_view.ScrollTarget[s] = std::max(0, CursorSample(s) + direction * step);
    }
}

// Graph position mode with the course layout on the map: Shift with the arrows moves the
// course start, where the lap marks are, along the course points.
bool CourseOffsetKeys() {
    return g_view.GraphPositionMode && g_view.ShiftHeld && CourseMapShown() && !MapShowsGps() &&
           g_courseLayout.courseLayoutOn;
}

void StepCourseOffset(int step) {
    int32_t& offset = g_courseLayout.courseOffset;
    offset = step == 0 ? 0 : offset + step;
    // Past either end the offset wraps, and is applied again from there.
    if (!ApplyCourseOffset()) ApplyCourseOffset();
    RequestRedraw(kRedrawFull);
}

// Graph position mode positions the baseline: the arrows move it by 1 and 10 pixels.
void MoveBaseline(int pixels) {
    g_settings.BaseLinePos += pixels;
    MakeGraphFrame(); // keeps it inside the window
}

void HorizontalArrow(int direction) {
    if (CourseOffsetKeys()) {
        StepCourseOffset(direction);
    } else if (g_view.GraphPositionMode) {
        MoveBaseline(direction);
    } else if (g_view.AfMapView) {
        OffsetLafDelay(direction * kLafDelayStep);
    } else if (g_view.ShiftHeld) {
        ScrollLoadedFiles(direction);
    } else {
        g_view.LapStepRequest -= direction; // a negative request steps forward
    }
}

// Up is -1, down +1: up raises the graph position and moves the zoom anchor up.
void VerticalArrow(int direction) {
    if (CourseOffsetKeys()) {
        StepCourseOffset(-10 * direction);
        return;
    }
    if (g_view.GraphPositionMode) {
        MoveBaseline(-10 * direction);
        return;
    }
    int w = 0, h = 0;
    RenderClientSize(w, h);
    // The picture moves by a sixteenth of the half height, zoomed: the held row moves up.
    g_view.ZoomAnchorY -= float(direction) * float(h / 2) * g_view.ViewZoom / 16.0f;
}

void ToggleMoveFlagOfFile2Or3(bool file3) {
    int slot = file3 ? 2 : 1;
    g_view.FileMoveFlag[slot] = !g_view.FileMoveFlag[slot];
    g_view.ToolbarShowsFile3 = file3;
}

void CycleValueMode() {
    int& mode = g_settings.CursolValueMode;
    if (g_view.ShiftHeld)
        mode ^= 4;
    else
        mode = (mode & 4) | ((mode + 1) & 3);
    if (!Expert(2)) mode &= 1;
}

// Letters and digits; returns false for a character without a command.
bool ExecuteLetter(int c) {
    switch (c) {
    case '1':
        OpenFileIntoSlot(0, kOpenWithDialog);
        break;
    case '2':
        OpenFileIntoSlot(1, kOpenWithDialog);
        break;
    case '3':
        if (Expert(2)) OpenFileIntoSlot(2, kOpenWithDialog);
        break;
    case '4':
        if (DebugMode() && g_settings.CourseLayout_on) SaveCourseMapImagesWithDialog();
        break;
    case '5':
        LoadLayout(1);
        RebuildGraphList();
        break;
    case '6':
        SaveLayout(1);
        break;
    case '0':
        StepSuspensionSamples(-1);
        break;
    case '9':
        StepSuspensionSamples(+1);
        break;
    case '-':
        g_view.KeyHelpCounter = kKeyHelpStart;
        break;
    case ',':
    case '<':
        StepTimeOffsets(-1);
        return true;
    case '.':
    case '>':
        StepTimeOffsets(+1);
        return true;
    case 'a':
        SetRealTimePlay(!g_view.RealTimePlay);
        break;
    case 'b':
        g_view.ScrollBarOn = !g_view.ScrollBarOn;
        RequestRedraw(kRedrawShort);
        return true;
    case 'c':
        SetGraphPositionMode(!g_view.GraphPositionMode);
        break;
    case 'd':
        OpenAnalysisTools();
        break;
    case 'e':
        SetSubView(!g_view.SubViewOn);
        break;
    case 'f':
        OpenLoggerSetup();
        break;
    case 'p':
        if (DebugMode()) OpenRealTimeMonitor(RenderMainWindow());
        break;
    case 'g':
        OpenCorrectiveTools();
        break;
    case 'j':
        ShowChannelOrder();
        break;
    case 'k':
        ShowFuelUsed();
        break;
    case 'h':
        g_view.PopupHintOn = !g_view.PopupHintOn;
        break;
    case 'i':
        g_compareView.zonesPanel = !g_compareView.zonesPanel;
        break;
    case 't':
        PickReferenceAtCursor(g_view.ShiftHeld);
        break;
    case 'u':
        SetLapComparison(!LapComparisonOn());
        break;
    case 'l':
        g_settings.CslValWidth = g_settings.CslValWidth ? 0 : 80;
        break;
    case 'm':
        CycleValueMode();
        break;
    case 'n':
        g_view.ZoomSpan = g_view.ZoomSpan >= kZoomSpanLast ? kZoomSpanFirst : g_view.ZoomSpan * 2;
        break;
    case 'o':
        if (g_settings.ColorMap || DebugMode()) StepMapColorChannel(g_view.ShiftHeld ? -1 : +1);
        break;
    case 'q':
        AlignGraphs(g_view.AlignType, g_view.ShiftHeld, g_view.CtrlHeld);
        g_view.AlignType = g_view.AlignType == 1 ? 2 : 1;
        RequestRedraw(kRedrawShort);
        return true;
    case 'r':
        g_view.SearchValueOn = !g_view.SearchValueOn;
        break;
    case 's':
        EndGraphPositionMode();
        g_view.RealTimePlay = 0;
        if (g_view.AfMapView)
            LeaveAfMapView();
        else
            EnterAfMapView();
        break;
    case 'v':
        g_view.ChannelNameColumnOn = !g_view.ChannelNameColumnOn;
        break;
    case 'w':
        g_view.StatusViewOn = !g_view.StatusViewOn;
        RequestRedraw(kRedrawShort);
        return true;
    case 'x':
        ToggleMoveFlagOfFile2Or3(g_view.ShiftHeld && Expert(2));
        break;
    case 'z':
        if (CourseOffsetKeys())
            StepCourseOffset(0);
        else if (g_view.GraphPositionMode)
            g_settings.BaseLinePos = 0;
        else
            g_view.FileMoveFlag[0] = !g_view.FileMoveFlag[0];
        break;
    default:
        return false;
    }
    RequestRedraw(kRedrawCommand);
    return true;
}

void ExecuteControl(int c) {
    switch (c) {
    case kCharTab:
        g_view.MarkerFlash = 255;
        break;
    case kCharEsc:
        ShowGraphView();
        break;
    case kCharRight:
        HorizontalArrow(+1);
        break;
    case kCharLeft:
        HorizontalArrow(-1);
        break;
    case kCharUp:
        VerticalArrow(-1);
        break;
    case kCharDown:
        VerticalArrow(+1);
        break;
    case ' ':
        if (g_view.AfMapView) {
            g_view.AfSwitchReversed = !g_view.AfSwitchReversed;
        } else {
            ToggleMoveFlagOfFile2Or3(g_view.ShiftHeld && Expert(1));
            g_view.CurrentFile = g_view.CurrentFile == 0 ? 1 : 0;
        }
        break;
    default:
        return;
    }
    RequestRedraw(kRedrawCommand);
}

bool Held(RenderKey key) {
    return (g_view.KeysHeld >> int(key)) & 1;
}

void SampleHeldKeys() {
    if (Held(RenderKey::F1)) {
        g_view.KeyHelpCounter = kKeyHelpStart;
        g_view.ForceRedraw = true;
    }
    g_view.CtrlHeld = Held(RenderKey::Ctrl);
    if (g_view.CtrlHeld) RequestRedraw(kRedrawCommand);
    int shift = Held(RenderKey::Shift);
    if (shift != g_view.ShiftHeld) {
        g_view.ShiftHeld = shift;
        // The File 2 button turns into the File 3 button while Shift is down.
        g_view.ToolbarShowsFile3 = shift && Expert(2);
        RequestRedraw(kRedrawCommand);
    }
}

} // namespace

int ScrollStepSamples() {
    return int((g_view.CtrlHeld ? 80 : 40) * g_view.HorizontalCompression);
}

void ExecuteKey(int character) {
    if (character < 9 || character > 122) return;
    if (character <= kCharDown || character == ' ') {
        ExecuteControl(character);
    } else {
        ExecuteLetter(std::tolower(character));
    }
    if (g_view.AfMapView) RenderClearInput();
    SyncToolbar();
}

void OpenLoggerSetup() {
    QWidget* owner = RenderMainWindow();
    if (g_settings.Model == 1 && g_setupDialogHooks.openCanLoggerSetting)
        g_setupDialogHooks.openCanLoggerSetting(owner);
    else
        OpenSetupDialog(owner);
    RequestRedraw(kRedrawFull);
    SyncToolbar();
}

void DispatchKey() {
    int c = RenderInputChar();
    if (c) {
        // Any key puts the key instructions away (- and F1 bring them back) and ends a replay;
        // A, which would start it again, only ends it.
        g_view.KeyHelpCounter = 0;
        if (g_view.RealTimePlay) {
            g_view.RealTimePlay = 0;
            RequestRedraw(kRedrawCommand);
            if (std::tolower(c) == 'a') c = 0;
        }
    }
    SampleHeldKeys();
    if (c)
        ExecuteKey(c); // which brings the toolbar up to date
    else
        SyncToolbar(); // Shift may have changed the File 2/3 button
}

} // namespace qvtk
