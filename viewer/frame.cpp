#include "viewer/frame.h"

#include <algorithm>
#include <cmath>

#include "data/settings.h"
#include "viewer/af_map_view.h"
#include "viewer/background.h"
#include "viewer/course_map_window.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/info_panels.h"
#include "viewer/lap_compare_view.h"
#include "viewer/lap_list.h"
#include "viewer/layout_tabs.h"
#include "viewer/popup_hint.h"
#include "viewer/resources.h"
#include "viewer/sub_view.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace qvtk {

const KeyHelpLine kKeyHelpLines[] = {
    {1, "Key Instructions [F1]"},
    {3, "[1][2][3]       - File Open"},
    {4, "[5][6]          - Load,Save GraphLayout"},
    {6, "[Q]             - Align graph    Type 1/2"},
    {7, "[Shift]+[Q]                    + Auto scale"},
    {8, "[W]             - Status View    On,Off"},
    {9, "[E]             - Sub View       On,Off"},
    {10, "[R]             - Search Value   On,Off"},
    {11, "[J]             - Channel Order"},
    {12, "[A]             - RealTimePlay"},
    {13, "[S]             - A/F MapView"},
    {14, "[D]             - Analysis Tools"},
    {15, "[F]             - Setup"},
    {16, "[H]             - Popup Hint     On,Off"},
    {17, "[K]             - Fuel used"},
    {18, "[L]             - Cursol Value width"},
    {19, "[U]             - Lap compare    By distance, time slip On,Off"},
    {20, "[Z][X]          - File1,2 Move   On,Off"},
    {21, "[Shift]+[X]     - File3   Move   On,Off"},
    {22, "[C]             - GraphPos.ADJ.  On,Off"},
    {23, "[V]             - CH Name column On,Off"},
    {24, "[B]             - Scroll Bar     On,Off"},
    {25, "[N]             - Zoom Change"},
    {26, "[M]             - Value View     Mode Change"},
    {27, "[,][.]          - TimeOffset     LAF(-/+) "},
    {28, "[T]             - Reference lap  File 1 cursor lap, [Shift]+[T] fastest"},
    {29, "[Shift]         - Difference Value"},
    {30, "[Ctrl]          - View GraphName , Vertical scroll (During zoom)"},
    {31, "[I]             - Time lost      Zones of the lap compare On,Off"},
    {32, "[left][right]   - Move Lap (previous/next)"},
    {33, "[up][down]      - Vertical scroll (During zoom)"},
    {35, "Mouse"},
    {36, "[Left   button] - Move"},
    {37, "[Right  button] - Scaling"},
    {38, "[Middle button] - GraphName , Vertical scroll (During zoom)"},
    {39, "[Scroll Wheel ] - Zoom"},
    {41, "GraphPos.ADJ. [C]"},
    {42, "[left][right]   - Baseline       -1/+1 dot,  [up][down] +10/-10, [Z] Center"},
    {43, "[Shift]+arrows  - Course start   -1/+1 point, [up][down] +10/-10, [Shift]+[Z] 0"},
};
const int kKeyHelpLineCount = int(sizeof kKeyHelpLines / sizeof kKeyHelpLines[0]);

namespace {

// Overlays brighten a dark picture and darken a light one.
BlendMode OverlayBlend() {
    return LightScheme() ? BlendMode::Subtractive : BlendMode::Additive;
}

// The time scaling drag asks for a translucent background: the last frames show through,
// so the eye sees how the picture is being stretched.
bool TranslucentBackground() {
    return g_view.ScalingAnchorY >= 0 && NormalGraphView();
}

void DrawKeyHelp() {
    if (g_view.KeyHelpCounter <= 0) return;
    RenderSetBlend(OverlayBlend(), std::min(g_view.KeyHelpCounter, 255));
    RenderColorValue color = RenderColor(200, 200, 200);
    for (int i = 0; i < kKeyHelpLineCount; ++i)
        RenderText(300, float(64 + kKeyHelpLines[i].row * g_res.mainFontSize), color,
                   g_res.mainFont, "%s", kKeyHelpLines[i].text);
    --g_view.KeyHelpCounter;
    if (g_view.KeyHelpCounter < 10) g_view.KeyHelpCounter = 0;
    // The overlay fades at the pace frames are drawn: the loop keeps drawing until it is gone.
    if (g_view.KeyHelpCounter > 0) g_view.RedrawCountdown = std::max(g_view.RedrawCountdown, 2);
}

void DrawFileLabels() {
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int s = 0; s < kSlotCount; ++s) {
        const SlotFile& f = SlotOf(s).file;
        if (f.fileName.empty()) continue;
        RenderColorValue color = FileColor(s);
        if (g_view.FileDimmed[s]) color = (color & 0x00FFFFFF) | 0x60000000;
        RenderText(float(f.labelRect.left), float(f.labelRect.top), color, g_res.mainFont, "%s",
                   f.fileName.c_str());
        if (s == g_view.CurrentFile)
            RenderLine(float(f.labelRect.left), float(f.labelRect.bottom),
                       float(f.labelRect.right - 10), float(f.labelRect.bottom), color);
    }
}

void DrawDebugLine() {
    if (!DebugMode()) return;
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderText(4, 0, RenderColor(255, 255, 0), g_res.smallFont,
               "frame %3lld ms  redraw %3d  gps offset %d  laf %d  keys %d",
               (long long)g_view.FrameTime, g_view.RedrawCountdown, g_view.GpsOffset,
               g_view.LafDelayOffset, g_view.KeyHelpCounter);
}

// Shown at the pointer while the , and . keys move the offset, fading out.
void DrawLafDelayReadout() {
    if (g_view.LafDelayReadout <= 0) return;
    --g_view.LafDelayReadout;
    RenderSetBlend(BlendMode::Alpha, 2 * g_view.LafDelayReadout + 55);
    RenderText(float(g_view.MouseX), float(g_view.MouseY), SchemeTextColor(), g_res.mainFont,
               "LAF Delay %4.2f sec", g_view.LafDelayOffset * 0.005);
}

} // namespace

RenderColorValue FileColor(int slot) {
    static constexpr RenderColorValue kDark[kSlotCount] = {
        RenderColor(255, 230, 90), RenderColor(90, 210, 255), RenderColor(255, 120, 200)};
    static constexpr RenderColorValue kLight[kSlotCount] = {
        RenderColor(170, 110, 0), RenderColor(0, 100, 170), RenderColor(170, 30, 110)};
    int i = slot < 0 ? 0 : slot >= kSlotCount ? kSlotCount - 1 : slot;
    return LightScheme() ? kLight[i] : kDark[i];
}

int FileLabelAt(int x, int y) {
    for (int s = 0; s < kSlotCount; ++s) {
        const SlotFile& f = SlotOf(s).file;
        if (f.fileName.empty()) continue;
        const LabelRect& r = f.labelRect;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return s;
    }
    return -1;
}

void DrawFrame() {
    int w = 0, h = 0;
    RenderClientSize(w, h);
    g_res.clientWidth = w;
    g_res.clientHeight = h;
    RenderSetTarget(kBackBuffer);
    RenderClipReset();
    const bool graphs = !g_view.AfMapView && !g_view.XyPlotView;
    DrawBackground(MakeGraphFrame(), TranslucentBackground() && graphs);
    DrawKeyHelp();
    if (g_view.GraphPositionMode) {
        const GraphFrame frame = MakeGraphFrame();
        DrawGraphView(frame);
        DrawFileLabels();
        DrawCourseMapWindow(w, h);
        DrawPopupHint(frame);
    } else if (g_view.AfMapView) {
        DrawAfMapView(w);
    } else if (!g_view.XyPlotView) {
        // Bottom to top: the graphs with their read-outs and lap times, the course map, the
        // scroll bar, the sub view, the popup hint, the fading info panels, the zones of the lap
        // compare. The layout tabs, which slide in only while the pointer is at the top edge, lie
        // over the map there.
        const GraphFrame frame = MakeGraphFrame();
        DrawGraphView(frame);
        DrawLapHeader(frame);
        DrawFileLabels();
        DrawLapLists(frame);
        DrawLafDelayReadout();
        DrawCourseMapWindow(w, h);
        DrawLayoutTabs(w);
        DrawScrollBar(frame);
        DrawSubView(frame);
        DrawPopupHint(frame);
        DrawInfoPanels(w, h);
        DrawSlipZonesPanel(frame); // asked for: over the panels that fade in
    } else {
        DrawXyPlotView(w, h);
    }
    DrawDebugLine();
    RenderSetBlend(BlendMode::None, 255);
}

} // namespace qvtk
