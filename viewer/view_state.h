#pragma once
// The viewer's state: which view is active, what the main loop is doing, and the per-file
// flags of the commands. One program-wide record, reset at start and by every test.
#include <cstdint>

#include "data/session.h"
#include "render/render.h"

namespace qvtk {

constexpr int kRedrawFull = 150;    // passes redrawn after a change that needs it all
constexpr int kRedrawCommand = 100; // after most commands
constexpr int kRedrawShort = 55;    // after the lighter ones
constexpr int kKeyHelpStart = 512;
constexpr int kLafDelayMax = 200;
constexpr int kLafDelayStep = 5;
constexpr int kZoomSpanFirst = 10000;
constexpr int kZoomSpanLast = 80000;
constexpr int kMaxLayoutTabs = 32;

struct ViewState {
    int RedrawCountdown = kRedrawFull; // passes still redrawn; 0 = picture frozen
    int ExitRequest = 0;               // 1 quit requested, 2 the toolbar was destroyed
    int ResumeState = 0;               // 0 normal, 1 suspend queried, 2 suspended, 3 resumed
    int GraphPositionMode = 0;
    int AlignType = 1; // graph alignment type the next Q applies (1 or 2)
    int AfMapView = 0;
    int AfSwitchReversed = 0; // switch filter direction of the A/F map
    int XyPlotView = 0;
    int RealTimePlay = 0;
    int64_t RealTimePlayStart = 0;             // ms
    int64_t RealTimePlayFrom[kSlotCount] = {}; // each file's CursorPos when the replay began
    int SubViewOn = 1;
    int StatusViewOn = 1;
    int SubViewRefresh = 0; // the sub view must rebuild its pictures
    int PopupHintOn = 0;
    int SearchValueOn = 0;
    int ScrollBarOn = 1;
    int ScrollSlide = 0; // 0..32, the scroll bar's growth while the pointer is near it
    int ChannelNameColumnOn = 0;
    int FileMoveFlag[kSlotCount] = {1, 1, 1};
    int32_t ScrollTarget[kSlotCount] = {-1, -1, -1};
    int CurrentFile = 0;
    int CourseColorChannel[kSlotCount] = {}; // column that colours the course map
    int FileDimmed[kSlotCount] = {};         // the file's curves drawn dimmed
    int LafDelayOffset = 0;
    int LafDelayReadout = 0; // passes the offset read-out stays shown
    int GpsOffset = 0;       // GPS time offset, samples (debug keys)
    int ZoomSpan = kZoomSpanFirst;
    float HorizontalCompression = 5.0f; // samples per pixel of the time graphs
    // The zoom keeps one row of the unzoomed picture, ZoomAnchor, on the client row ZoomAnchorY:
    // VScroll = ZoomAnchor x ViewZoom - ZoomAnchorY at every step of the zoom.
    float ZoomAnchor = 0;
    float ZoomAnchorY = 0;
    float ViewZoom = 50.0f; // starts zoomed in and settles: the opening animation
    float VScroll = 0;      // vertical scroll while zoomed, pixels
    int FileBrightness[kSlotCount] = {255, 255, 255}; // 96 dimmed .. 255
    int GuideFade = 0;         // the time guide lines around the pointer, 4..32
    float ScalingAnchorY = -1; // right-button time scaling: the anchor row, -1 when idle
    int ScrollBarDrag = 0;     // a left drag that started on the scroll bar
    int ShiftHeld = 0, CtrlHeld = 0;
    int KeyHelpCounter = kKeyHelpStart;
    int MarkerFlash = 0; // fade level of the Tab marker flash, 0 = off
    int MouseX = 0, MouseY = 0, MouseButtons = 0;
    int KeysHeld = 0; // F1, Shift and Ctrl as replayed this pass, bit 1 << RenderKey
    int PrevMouseX = 0, PrevMouseY = 0;
    int WheelRemainder = 0, HWheelRemainder = 0; // raw deltas short of a notch
    int LapStepRequest = 0;
    int64_t FrameStart = 0, FrameTime = 0;
    bool Idle = false; // the last pass saw no input
    bool ForceRedraw = false;
    // Fading info panels: 0 = fully shown, 20 = gone.
    int SummaryPanelCounter = 20;
    int MemoPanelCounter = 20;
    // Layout tab strip.
    int TabSlide = 0;           // 0..32 pixels shown
    int LapListHover = 0;       // 0..32, rises while the mouse is over a lap row
    int TabUnderMouse = 0;      // 1-based, 0 = none
    int TabFirst = 0;           // the first tab shown: the strip scrolls when the tabs outrun it
    int TabArrowUnderMouse = 0; // -1 the strip's left arrow, +1 its right one, 0 none
    // The Shift state the toolbar's File 2/3 button shows.
    int ToolbarShowsFile3 = 0;
    // The CSV export's range: marked in the graphs after "Range Select" (a left click ends it).
    int rangePending = 0;
    int RangeRate = 1;             // the output rate chosen before the marking
    int32_t RangeEnds[2] = {0, 0}; // File 1 samples under the baseline and the click
    int CsvOutputRequested = 0;    // the lap table's "   CSV     Output" was pressed
};

extern ViewState g_view;

void ResetViewState();

// Sets the countdown to at least `passes`.
void RequestRedraw(int passes);

// Switches between the exclusive views, shared by the keys and the toolbar.
void ShowGraphView();               // A/F map, graph position mode, replay and X-Y plot off
void SetGraphPositionMode(bool on); // also ends the other views and resets the alignment
void EndGraphPositionMode();        // however it is left: map editing ends with it
void SetSubView(bool on);           // ends replay and the other views
void SetRealTimePlay(bool on);      // the sub view comes on with it

// The sample under the baseline of a file.
inline int32_t CursorSample(FileSlot slot) {
    return int32_t(SlotOf(slot).cursorPos / 100);
}

// The normal graph view is active: no graph position mode, A/F map or X-Y plot.
inline bool NormalGraphView() {
    return !g_view.GraphPositionMode && !g_view.AfMapView && !g_view.XyPlotView;
}

} // namespace qvtk
