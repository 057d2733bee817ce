#include "viewer/frame.h"

#include <algorithm>
#include <cmath>

#include "data/settings.h"
#include "viewer/course_map_window.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/info_panels.h"
#include "viewer/lap_list.h"
#include "viewer/popup_hint.h"
#include "viewer/resources.h"
#include "viewer/sub_view.h"
#include "viewer/view_state.h"

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
    {12, "[A]             - RealTimePlay"},
    {13, "[S]             - A/F MapView"},
    {14, "[D]             - Analysis Tools"},
    {15, "[F]             - Setup"},
    {16, "[H]             - Popup Hint     On,Off"},
    {17, "[K]             - Fuel used"},
    {18, "[L]             - Cursol Value width"},
    {20, "[Z][X]          - File1,2 Move   On,Off"},
    {21, "[Shift]+[X]     - File3   Move   On,Off"},
    {22, "[C]             - GraphPos.ADJ.  On,Off"},
    {23, "[V]             - CH Name column On,Off"},
    {24, "[B]             - Scroll Bar     On,Off"},
    {25, "[N]             - Zoom Change"},
    {26, "[M]             - Value View     Mode Change"},
    {27, "[,][.]          - TimeOffset     LAF(-/+) "},
    {29, "[Shift]         - Difference Value"},
    {30, "[Ctrl]          - View GraphName , Vertical scroll (During zoom)"},
    {32, "[left][right]   - Move Lap (previous/next)"},
    {33, "[up][down]      - Vertical scroll (During zoom)"},
    {35, "Mouse"},
    {36, "[Left   button] - Move"},
    {37, "[Right  button] - Scaling"},
    {38, "[Middle button] - GraphName , Vertical scroll (During zoom)"},
    {39, "[Scroll Wheel ] - Zoom"},
};
const int kKeyHelpLineCount = int(sizeof kKeyHelpLines / sizeof kKeyHelpLines[0]);

namespace {

// Overlays brighten a dark picture and darken a light one.
BlendMode OverlayBlend() {
    return LightScheme() ? BlendMode::Subtractive : BlendMode::Additive;
}

void DrawBackground(int clientWidth) {
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(LightScheme() ? RenderColor(244, 244, 240) : RenderColor(0, 0, 0));
    float shift = -g_view.VScroll;
    if (g_res.columnStrip > 0)
        RenderImage(g_res.columnStrip, 0, shift, float(clientWidth), float(g_res.screenHeight));
    int panelX = SlotOf(2).active ? 325 : 220;
    if (g_res.namePanel > 0) RenderImage(g_res.namePanel, float(panelX), shift);
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

// The layout tabs slide in while the mouse is near the top edge.
void DrawLayoutTabs() {
    bool near = g_view.MouseY < 32;
    g_view.TabSlide = std::clamp(g_view.TabSlide + (near ? 2 : -1), 0, 32);
    g_view.TabUnderMouse = 0;
    if (g_view.TabSlide == 0 || g_layoutList.count == 0) return;
    float top = float(g_view.TabSlide - 32);
    float height = float(g_res.mainFontSize + 8);
    float x = 320;
    for (int i = 0; i < g_layoutList.count && i < kMaxLayoutTabs; ++i) {
        const char* name = g_layoutList.names[i].c_str();
        float w = float(RenderTextWidth(g_res.mainFont, "   %s   ", name)) + 8;
        bool hover = g_view.MouseX >= x && g_view.MouseX < x + w && g_view.MouseY >= top &&
                     g_view.MouseY < top + height + 32 - g_view.TabSlide && near;
        if (hover) g_view.TabUnderMouse = i + 1;
        RenderSetBlend(BlendMode::Alpha, hover ? 220 : 150);
        RenderBox(x, top, x + w, top + height,
                  hover ? RenderColor(70, 110, 170) : RenderColor(40, 48, 64), true);
        RenderSetBlend(BlendMode::Alpha, 255);
        RenderBox(x, top, x + w, top + height, RenderColor(120, 130, 150), false, 4);
        RenderText(x + 4, top + 4, RenderColor(230, 230, 230), g_res.mainFont, "   %s   ", name);
        x += w;
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
    DrawBackground(w);
    DrawKeyHelp();
    if (g_view.GraphPositionMode) {
        const GraphFrame frame = MakeGraphFrame();
        DrawGraphView(frame);
        DrawFileLabels();
        DrawCourseMapWindow(w, h);
        DrawPopupHint(frame);
    } else if (g_view.AfMapView) {
        // The A/F map view draws here once it exists.
    } else if (!g_view.XyPlotView) {
        const GraphFrame frame = MakeGraphFrame();
        DrawGraphView(frame);
        DrawLapHeader(frame);
        DrawLapLists(frame);
        DrawSubView(frame);
        DrawFileLabels();
        DrawLafDelayReadout();
        DrawLayoutTabs();
        DrawCourseMapWindow(w, h);
        DrawInfoPanels(w, h);
        DrawPopupHint(frame);
    }
    DrawDebugLine();
    RenderSetBlend(BlendMode::None, 255);
}

} // namespace qvtk
