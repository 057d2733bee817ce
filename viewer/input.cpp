#include "viewer/input.h"

#include <algorithm>
#include <cstdlib>

#include "analysis/lap_navigation.h"
#include "data/settings.h"
#include "viewer/course_map_window.h"
#include "viewer/export_dialog.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_position.h"
#include "viewer/graphs.h"
#include "viewer/key_commands.h"
#include "viewer/lap_list.h"
#include "viewer/resources.h"
#include "viewer/sub_view.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

bool ScrollTargetPending() {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && g_view.ScrollTarget[s] >= 0) return true;
    return false;
}

// Raw wheel deltas become whole notches; what is left over waits for the next turn.
int TakeNotches(int& remainder, int raw) {
    remainder += raw;
    int notches = remainder / 120;
    remainder -= notches * 120;
    return notches;
}

void ClampMouseToClient() {
    int w = 0, h = 0;
    RenderClientSize(w, h);
    g_view.MouseX = std::clamp(g_view.MouseX, 0, std::max(0, w - 1));
    g_view.MouseY = std::clamp(g_view.MouseY, 0, std::max(0, h - 1));
}

// Buttons that act once per press: the 4th and 5th buttons and left clicks on labels/tabs.
void MouseClicks(int pressed) {
    if (pressed & kMouseBack) g_view.LapStepRequest += 1;
    if (pressed & kMouseForward) g_view.LapStepRequest -= 1;
    if (!(pressed & kMouseLeft) || !NormalGraphView()) return;
    if (g_view.TabUnderMouse > 0 && g_view.TabUnderMouse <= g_layoutList.count) {
        LoadLayout(2, g_layoutList.names[g_view.TabUnderMouse - 1]);
        g_view.ZoomSpan = kZoomSpanFirst;
        g_view.ZoomAnchor = 0;
        RequestRedraw(kRedrawFull);
        return;
    }
    int slot = FileLabelAt(g_view.MouseX, g_view.MouseY);
    if (slot >= 0) {
        g_view.FileDimmed[slot] = !g_view.FileDimmed[slot];
        RequestRedraw(kRedrawFull);
    }
}

// The 1-based lap segment v (marks[v-1] <= sample < marks[v]) that holds a sample.
int32_t SegmentOfSample(const Slot& s, int32_t sample) {
    int32_t v = 1;
    while (v < s.laps.count && s.laps.marks[v] <= sample) ++v;
    return v;
}

} // namespace

void FollowScrollTargets() {
    // The view glides: a quarter of the way per pass (at least one sample), so the eye can
    // follow where it went.
    for (int s = 0; s < kSlotCount; ++s) {
        int32_t& target = g_view.ScrollTarget[s];
        if (target < 0) continue;
        Slot& slot = SlotOf(s);
        if (!slot.active) {
            target = -1;
            continue;
        }
        int64_t goal = int64_t(std::clamp(target, 0, slot.sampleCount - 1)) * 100;
        int64_t rest = goal - slot.cursorPos;
        if (std::abs(rest) <= 100) {
            slot.cursorPos = goal;
            target = -1;
        } else {
            int64_t step = rest / 4;
            slot.cursorPos += std::abs(step) < 100 ? (rest > 0 ? 100 : -100) : step;
        }
    }
}

void ConsumeLapSteps() {
    if (g_view.LapStepRequest == 0) return;
    LapNavigation nav;
    for (int s = 0; s < kSlotCount; ++s) {
        nav.sync[s] = g_view.FileMoveFlag[s] != 0;
        int32_t sample = CursorSample(s);
        nav.cursor[s] = sample;
        nav.selectedLap[s] = SegmentOfSample(SlotOf(s), sample);
        nav.displayPosition[s] = int32_t(SlotOf(s).cursorPos);
    }
    nav.samplesPerPixel = g_view.HorizontalCompression;
    nav.ctrlHeld = g_view.CtrlHeld;
    nav.valueColumnWidth = g_res.valueColumnWidth;
    LapNavigation out = StepToLap(nav, g_view.LapStepRequest);
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active) SlotOf(s).cursorPos = int64_t(out.cursor[s]) * 100;
    g_view.LapStepRequest = 0;
    RequestRedraw(kRedrawFull);
}

void PollInput() {
    g_view.PrevMouseX = g_view.MouseX;
    g_view.PrevMouseY = g_view.MouseY;
    int previousButtons = g_view.MouseButtons;
    RenderMousePos(g_view.MouseX, g_view.MouseY);
    g_view.MouseButtons = RenderMouseButtons();
    int wheel = 0, hwheel = 0;
    RenderWheel(wheel, hwheel);
    int notches = TakeNotches(g_view.WheelRemainder, wheel);
    g_view.WheelNotches += notches;
    g_view.LapStepRequest -= TakeNotches(g_view.HWheelRemainder, hwheel);

    bool foreground = RenderIsForeground();
    bool moved = g_view.MouseX != g_view.PrevMouseX || g_view.MouseY != g_view.PrevMouseY;
    g_view.Idle = !ScrollTargetPending() && !g_view.ForceRedraw && !g_view.RealTimePlay && !moved &&
                  g_view.MouseButtons == 0 && wheel == 0 && hwheel == 0;
    if (foreground) ClampMouseToClient();
    g_view.ForceRedraw = false;

    DispatchKey();

    if (!g_view.Idle && foreground) {
        g_view.RedrawCountdown = kRedrawFull;
    } else if (g_view.RedrawCountdown > 0) {
        bool animating = g_view.RedrawCountdown <= 60 && g_view.SubViewOn && g_view.SubViewRefresh;
        if (!animating) --g_view.RedrawCountdown;
        if (g_view.RedrawCountdown == 0 && g_view.Idle) return;
    }

    GraphFrame frame = MakeGraphFrame();
    // The wheel over the course map chooses its colour channel and never zooms.
    if (CourseMapWheel(g_view.WheelNotches)) g_view.WheelNotches = 0;
    if (g_view.WheelNotches != 0 && (NormalGraphView() || g_view.GraphPositionMode)) {
        WheelZoom(g_view.WheelNotches, g_view.MouseY, frame.clientHeight);
        g_view.WheelNotches = 0;
    }
    StepZoom();
    int pressed = g_view.MouseButtons & ~previousButtons;
    // The sub view's elements and the course map lie over the graphs and take the mouse first.
    const bool subView = SubViewMouse(frame, pressed);
    if (subView || CourseMapMouse(pressed) || LapListClick(frame, pressed) ||
        ValueColumnClick(frame, pressed) || RangeMarkClick(frame, pressed))
        pressed = 0;
    MouseClicks(pressed);
    GraphPositionMouse(frame, pressed);
    if (!subView) GraphMouse(frame);
    FollowScrollTargets();
    ConsumeLapSteps();
}

} // namespace qvtk
