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
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/key_commands.h"
#include "viewer/lap_compare_view.h"
#include "viewer/lap_list.h"
#include "viewer/layout_tabs.h"
#include "viewer/resources.h"
#include "viewer/sub_view.h"
#include "viewer/tool_views.h"
#include "viewer/toolbar.h"
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
    if (g_view.TabArrowUnderMouse != 0) {
        ScrollLayoutTabs(g_view.TabArrowUnderMouse);
        return;
    }
    if (g_view.TabUnderMouse > 0 && g_view.TabUnderMouse <= g_layoutList.count) {
        LoadLayout(2, g_layoutList.names[g_view.TabUnderMouse - 1]);
        ZoomOff();
        RequestRedraw(kRedrawFull);
        return;
    }
    int slot = FileLabelAt(g_view.MouseX, g_view.MouseY);
    if (slot >= 0) {
        g_view.FileDimmed[slot] = !g_view.FileDimmed[slot];
        ChooseFile1Colors(); // File 1 may now be shown alone, or no longer
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

void FollowReplay() {
    if (!g_view.RealTimePlay) return;
    // Real time: 200 samples a second at a sample rate factor of 1, in hundredths of a sample.
    const int64_t elapsed = std::max<int64_t>(RenderNowMs() - g_view.RealTimePlayStart, 0);
    auto reached = [&](int s) {
        return g_view.RealTimePlayFrom[s] +
               int64_t(double(elapsed) * 20.0 * SlotOf(s).sampleRateFactor);
    };
    for (int s = 0; s < kSlotCount; ++s) {
        Slot& slot = SlotOf(s);
        if (!slot.active || !g_view.FileMoveFlag[s]) continue;
        slot.cursorPos = std::min(reached(s), int64_t(slot.sampleCount - 1) * 100);
        g_view.ScrollTarget[s] = -1;
    }
    const Slot& first = SlotOf(0);
    if (!first.active || reached(0) >= int64_t(first.sampleCount - 1) * 100) {
        g_view.RealTimePlay = 0; // File 1 has ended
        SyncToolbar();
    }
    RequestRedraw(kRedrawFull); // frames while it runs, in the background too
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

namespace {

// The buttons and held keys of this pass, replayed from the queued changes in their order: a
// pass takes changes until one would undo a change it has already taken, so every press and
// every release is seen by a pass of its own, however short the click. The pointer is where
// the last button change taken happened; with none, where it is now. True when a change was
// taken.
bool ReplayInput() {
    int buttons = g_view.MouseButtons, keys = g_view.KeysHeld;
    int changedButtons = 0, changedKeys = 0;
    bool took = false;
    RenderMousePos(g_view.MouseX, g_view.MouseY);
    RenderInputEvent e;
    while (RenderPeekInputEvent(e)) {
        const int db = e.buttons ^ buttons, dk = e.keys ^ keys;
        if ((db & changedButtons) || (dk & changedKeys)) break;
        RenderPopInputEvent();
        changedButtons |= db;
        changedKeys |= dk;
        buttons = e.buttons;
        keys = e.keys;
        if (db) g_view.MouseX = e.x, g_view.MouseY = e.y;
        took = true;
    }
    if (!took) {
        // Nothing queued: the state as it stands (which also mends a change the full queue
        // had to drop).
        buttons = RenderMouseButtons();
        keys = RenderHeldKeys();
    }
    g_view.MouseButtons = buttons;
    g_view.KeysHeld = keys;
    return took;
}

// The wheel of this pass: in the A/F map and X-Y plot views it belongs to that view; over the
// course map it chooses the map's colour channel; over the tab strip it scrolls the tabs;
// elsewhere on the graphs it zooms. Notches never wait for another view.
void RouteWheel(int notches, const GraphFrame& frame) {
    // The A/F map and X-Y plot took theirs; nothing is kept for the graphs.
    if (notches == 0 || g_view.AfMapView || g_view.XyPlotView) return;
    if (LayoutTabsWheel(notches)) return;
    if (CourseMapWheel(notches)) return;
    if (NormalGraphView() || g_view.GraphPositionMode)
        WheelZoom(notches, g_view.MouseY, frame.clientHeight);
}

} // namespace

void PollInput() {
    g_view.PrevMouseX = g_view.MouseX;
    g_view.PrevMouseY = g_view.MouseY;
    int previousButtons = g_view.MouseButtons;
    const bool replayed = ReplayInput();
    int wheel = 0, hwheel = 0;
    RenderWheel(wheel, hwheel);
    int notches = TakeNotches(g_view.WheelRemainder, wheel);
    int hnotches = TakeNotches(g_view.HWheelRemainder, hwheel);
    ToolViewWheel(notches, hnotches); // what the A/F map or X-Y plot takes, the graphs never see
    g_view.LapStepRequest -= hnotches;

    bool foreground = RenderIsForeground();
    bool moved = g_view.MouseX != g_view.PrevMouseX || g_view.MouseY != g_view.PrevMouseY;
    g_view.Idle = !ScrollTargetPending() && !g_view.ForceRedraw && !g_view.RealTimePlay && !moved &&
                  !replayed && g_view.MouseButtons == 0 && wheel == 0 && hwheel == 0;
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
    RouteWheel(notches, frame);
    StepZoom();
    ToolViewButtons(g_view.MouseButtons);
    int pressed = g_view.MouseButtons & ~previousButtons;
    // Any click puts the key instructions away.
    if (pressed) g_view.KeyHelpCounter = 0;
    // The sub view's elements and the course map lie over the graphs and take the mouse first.
    // The tab strip, once the pointer has brought it in, lies over them all.
    const bool onTabs =
        (pressed & kMouseLeft) && (g_view.TabUnderMouse || g_view.TabArrowUnderMouse);
    // The zones of the lap compare are drawn over the sub view.
    const bool zones = !onTabs && SlipZonesClick(frame, pressed);
    const bool subView = !onTabs && !zones && SubViewMouse(frame, pressed);
    if (!onTabs && (zones || subView || CourseMapMouse(pressed) || LapListClick(frame, pressed) ||
                    ValueColumnClick(frame, pressed) || RangeMarkClick(frame, pressed)))
        pressed = 0;
    MouseClicks(pressed);
    GraphPositionMouse(frame, pressed);
    if (!subView) GraphMouse(frame);
    FollowReplay();
    FollowScrollTargets();
    ConsumeLapSteps();
    FollowByDistance();
}

} // namespace qvtk
