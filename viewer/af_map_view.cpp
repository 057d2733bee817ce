#include "viewer/af_map_view.h"

#include <algorithm>
#include <cmath>

#include "data/settings.h"
#include "platform/parallel.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/point_canvas.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

AfMapViewState g_afMapView;

namespace {

constexpr int kHalfWidth = 450, kTop = 50, kBottom = 600;
constexpr int kPanelBase[2] = {301, 551}; // y of Y value 0 in each panel
constexpr int kRepeatAfter = 7;
constexpr int kFadeStep = 17;

PointCanvas g_canvas[2]; // a panel each, painted on two threads

const uint32_t kClassColor[3] = {0xFF2080FFu, 0xFF20E020u, 0xFFFF4040u}; // under, inside, over
const char* const kClassName[3] = {"Under", "Inside", "Over"};

void DrawAxes(int c) {
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int panel = 0; panel < 2; ++panel) {
        const RenderColorValue color = FileColor(panel);
        const int base = kPanelBase[panel] - 9;
        for (int i = 0; i < 3; ++i)
            RenderText(float(c - 210 - 8 * i), float(base - 100 * i), color, g_res.smallFont, "%d",
                       50 * i);
        // Faint lines at the labelled values help reading the points.
        for (int i = 0; i <= 2; ++i) {
            const float y = float(kPanelBase[panel] - 100 * i);
            RenderSetBlend(BlendMode::Alpha, 60);
            RenderLine(float(c - 198), y, float(c + 300), y, SchemeTextColor());
            RenderSetBlend(BlendMode::Alpha, 255);
        }
        for (int rpm = 0; rpm <= 15000; rpm += 5000) {
            const float x = float(c - 198 + rpm * 1000 * 0.0000303);
            RenderSetBlend(BlendMode::Alpha, 60);
            RenderLine(x, float(kPanelBase[panel] - 200), x, float(kPanelBase[panel]),
                       SchemeTextColor());
            RenderSetBlend(BlendMode::Alpha, 255);
        }
    }
    const int xs[4] = {c - 200, c - 57, c + 87, c + 238};
    for (int i = 0; i < 4; ++i)
        RenderText(float(xs[i]), 316, SchemeTextColor(), g_res.smallFont, "%d", 5000 * i);
    RenderText(float(c + 330), 316, SchemeTextColor(), g_res.smallFont, "Ne");
}

void DrawPoints(int c, const AfMapOptions& o) {
    static const std::vector<uint32_t> colors(kClassColor, kClassColor + 3);
    // Each panel on a thread of its own; File 2's points then lie over File 1's.
    ParallelFor(2, [&](int panel) {
        PointCanvas& canvas = g_canvas[panel];
        BeginCanvas(canvas, c - kHalfWidth, kTop, 2 * kHalfWidth, kBottom - kTop, 3, colors);
        // x = c - 198 + Ne x 0.0000303, y = base - 2 x Y / 1000; the box ends at (x, y).
        PointBatch batch(canvas,
                         {double(c - 198), 0.0000303, double(kPanelBase[panel]), -0.002, -3});
        g_afMapView.counts[panel] = WalkAfMap(
            panel, o, [&](int32_t, int32_t ne, int32_t y, AfClass cls) { batch.Add(ne, y, cls); });
    });
    FinishCanvas(g_canvas[1], g_canvas[0]);
    RenderSetBlend(BlendMode::Alpha, 255);
    DrawCanvas(g_canvas[1]);
}

void DrawReadouts(int c, const AfMapOptions& o) {
    RenderSetBlend(BlendMode::Alpha, 255);
    const RenderColorValue text = SchemeTextColor();
    float y = float(kTop + 6);
    const float x = float(c - kHalfWidth + 10);
    const Slot& first = SlotOf(0);
    if (o.switchColumn > 0 && o.switchColumn < kColumnCount) {
        RenderText(x, y, text, g_res.mainFont, o.reversed ? "%s < %3.2f" : "%s > %3.2f",
                   first.channels[o.switchColumn].name, double(o.threshold));
        y += float(g_res.mainFontSize);
    }
    RenderText(x, y, text, g_res.mainFont, "A/F %4.2f - %4.2f", o.windowLow / 100.0,
               (o.windowLow + o.windowWidth) / 100.0);
    y += float(g_res.mainFontSize);
    RenderText(x, y, text, g_res.mainFont, "Senser Delay %+4.2f Sec",
               g_view.LafDelayOffset * 0.005);
    for (int panel = 0; panel < 2; ++panel) {
        const Slot& s = SlotOf(panel);
        const float top = float(kPanelBase[panel] - 200);
        const RenderColorValue color = FileColor(panel);
        if (!s.file.fileName.empty())
            RenderText(float(c + 250), top, color, g_res.smallFont, "File %d %s", panel + 1,
                       s.file.fileName.c_str());
        const AfMapCounts& n = g_afMapView.counts[panel];
        const double total = double(std::max<int64_t>(n.Total(), 1));
        for (int k = 0; k < 3; ++k) {
            const int cls = 2 - k; // over on top, as on the A/F axis
            const float y = top + 18 + 18 * k;
            RenderBox(float(c + 250), y + 4, float(c + 260), y + 14, kClassColor[cls], true);
            RenderText(float(c + 266), y, color, g_res.mainFont, "%-6s %5d-%5.1f%%",
                       kClassName[cls], int(std::min<int64_t>(n.count[cls], 99999999)),
                       100.0 * double(n.count[cls]) / total);
        }
    }
}

} // namespace

void ResetAfMapView() {
    g_afMapView = AfMapViewState();
}

void EnterAfMapView() {
    // Never chosen (both 0: engine speed against itself) would be an empty map.
    if (g_settings.AFmap_YCH == 0 && g_settings.AFmap_AFCH == 0) SetAfMapEasyDefaults();
    g_view.AfMapView = 1;
    g_view.GraphPositionMode = 0;
    g_view.RealTimePlay = 0;
    g_view.XyPlotView = 0;
    g_afMapView.fade = 0;
    g_afMapView.heldPasses = 0;
    RequestRedraw(kRedrawFull);
}

void LeaveAfMapView() {
    g_view.AfMapView = 0;
    RequestRedraw(kRedrawFull);
}

AfMapOptions CurrentAfMapOptions() {
    AfMapOptions o = AfMapOptionsFromSettings();
    o.reversed = g_view.AfSwitchReversed != 0;
    o.lafDelay = g_settings.ExpertMode >= 2 ? g_view.LafDelayOffset : 0;
    o.dropDecelerating = g_view.ShiftHeld != 0;
    o.dropAccelerating = g_view.CtrlHeld != 0;
    o.windowLow = g_afMapView.windowLow;
    o.windowWidth = g_afMapView.windowWidth;
    return o;
}

void DrawAfMapView(int clientWidth) {
    g_view.XyPlotView = 0;
    g_view.ZoomSpan = kZoomSpanFirst;
    const int c = clientWidth / 2;
    g_afMapView.fade = std::min(g_afMapView.fade + kFadeStep, 255);
    RenderSetBlend(BlendMode::Alpha, g_afMapView.fade);
    RenderBox(float(c - kHalfWidth), kTop, float(c + kHalfWidth), kBottom,
              LightScheme() ? RenderColor(255, 255, 255) : RenderColor(16, 20, 28), true);
    DrawAxes(c);
    const AfMapOptions o = CurrentAfMapOptions();
    if (g_afMapView.fade >= 255) DrawPoints(c, o);
    DrawReadouts(c, o);
}

void AfMapViewButtons(int buttons) {
    const int step = (buttons & kMouseLeft) ? 10 : (buttons & kMouseRight) ? -10 : 0;
    if (step == 0) {
        g_afMapView.heldPasses = 0;
        return;
    }
    // The first pass of a press acts, then the button must be held 7 passes to repeat.
    if (g_afMapView.heldPasses == 0 || g_afMapView.heldPasses > kRepeatAfter)
        g_afMapView.windowLow = ClampAfWindowLow(g_afMapView.windowLow + step);
    ++g_afMapView.heldPasses;
    RequestRedraw(kRedrawCommand);
}

void AfMapViewWheel(int notches) {
    if (notches == 0) return;
    g_afMapView.windowWidth = ClampAfWindowWidth(g_afMapView.windowWidth + 5 * notches);
    RequestRedraw(kRedrawCommand);
}

bool AfMapFullyShown() {
    return g_view.AfMapView && g_afMapView.fade >= 255;
}

} // namespace qvtk
