#include "viewer/sub_view.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/lap_model.h"
#include "data/channel_codes.h"
#include "data/settings.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

// Where things are in our own pictures (pixels of Body.BMP, 256 square; Needle.BMP).
constexpr float kBodyImage = 256, kTireImage = 96;
constexpr float kHeadX = 96, kHeadY = 92; // top of the fork
constexpr float kFrontAxleX = 62, kFrontAxleY = 190;
constexpr float kPivotX = 150, kPivotY = 150; // swing arm pivot
constexpr float kRearAxleX = 196, kRearAxleY = 190;
constexpr float kShockTopX = 164, kShockTopY = 112;
constexpr float kPixelsPerMm = 0.4f; // suspension travel in picture pixels
constexpr float kNeedlePivotX = 8, kNeedlePivotY = 104;
constexpr double kDialStart = -225.0, kDialSweep = 270.0, kDialTop = 15000.0; // rpm
constexpr int kHistogramBins = 64;

struct SubDrag {
    SubElement element = SubElement::kNone;
    int button = 0;
    int grabX = 0, grabY = 0;     // the mouse when it took hold
    float startX = 0, startY = 0; // the element's centre then
    float anchorY = 0;            // right button: the scaling anchor, kept exact
};
SubDrag g_subDrag;

// What the histograms show, so that they are rebuilt only when it changes: the lap, and the
// recording (a newly loaded File 1 may have a lap with the same ends).
struct HistogramState {
    int lapStart = -1, lapEnd = -1;
    const int32_t* front = nullptr;
    const int32_t* rear = nullptr;
    int32_t samples = 0;

    bool operator==(const HistogramState&) const = default;
};
HistogramState g_histograms;

const int32_t* StrokeSamples(ChannelCode code) {
    const int column = FindColumnByCode(0, code);
    return column < 0 ? nullptr : SlotOf(0).samples[column];
}

struct ElementSettings {
    int* x;
    int* y;
    float* scale;
    float minScale, maxScale;
    float halfWidth, halfHeight; // at scale 1
};

ElementSettings SettingsOf(SubElement element) {
    Settings& s = g_settings;
    switch (element) {
    case SubElement::kBody:
        return {&s.MC_X, &s.MC_Y, &s.MC_Z, 0.3f, 1.5f, 256, 256};
    case SubElement::kMeter:
        return {&s.Meter_X, &s.Meter_Y, &s.Meter_Z, 0.5f, 1.5f, 128, 128};
    case SubElement::kSusgram:
        // The front histogram's box, the rear one right under it.
        return {&s.Susgram_X, &s.Susgram_Y, &s.Susgram_Z, 0.5f, 1.5f, 128, 128};
    case SubElement::kNone:
        break;
    }
    return {nullptr, nullptr, nullptr, 1, 1, 0, 0};
}

// A file's sample of a channel code at a sample, in engineering units; 0 without the channel.
double ValueOf(FileSlot slot, ChannelCode code, int32_t sample) {
    const Slot& s = SlotOf(slot);
    const int column = FindColumnByCode(slot, code);
    if (column < 0 || !s.active || s.sampleCount < 1) return 0;
    return SampleAt(slot, column, std::clamp(sample, 0, s.sampleCount - 1)) * 0.001;
}

void DrawTire(const SubBox& b, float k, float x, float y) {
    const float size = kTireImage * k;
    RenderImage(g_res.tire, b.cx - b.halfWidth + x * k - size / 2,
                b.cy - b.halfHeight + y * k - size / 2, size, size, true);
}

void DrawBody(const SubBox& b) {
    const int32_t at = CursorSample(0);
    const float k = 2 * b.halfWidth / kBodyImage;
    const float front = float(std::max(0.0, ValueOf(0, kCodeFrSUS, at))) * kPixelsPerMm;
    const float rear = float(std::max(0.0, ValueOf(0, kCodeRrSUS, at))) * kPixelsPerMm;
    // The front axle slides up the fork; the rear one rises with the swing arm.
    const float fx = kHeadX - kFrontAxleX, fy = kHeadY - kFrontAxleY;
    const float fork = std::hypot(fx, fy);
    const float ax = kFrontAxleX + fx / fork * front, ay = kFrontAxleY + fy / fork * front;
    const float rx = kRearAxleX, ry = kRearAxleY - rear;
    auto X = [&](float px) { return b.cx - b.halfWidth + px * k; };
    auto Y = [&](float py) { return b.cy - b.halfHeight + py * k; };
    const RenderColorValue metal = PaletteColor(g_settings.Color_body);
    RenderSetBlend(BlendMode::Alpha, 255);
    DrawTire(b, k, ax, ay);
    DrawTire(b, k, rx, ry);
    RenderLine(X(kHeadX), Y(kHeadY), X(ax), Y(ay), metal, 4 * k);
    RenderLine(X(kPivotX), Y(kPivotY), X(rx), Y(ry), metal, 5 * k);
    const float sx = kPivotX + (rx - kPivotX) * 0.4f, sy = kPivotY + (ry - kPivotY) * 0.4f;
    RenderLine(X(kShockTopX), Y(kShockTopY), X(sx), Y(sy), RenderColor(230, 200, 40), 3 * k);
    RenderImage(g_res.body, b.cx - b.halfWidth, b.cy - b.halfHeight, 2 * b.halfWidth,
                2 * b.halfHeight, true);
}

void DrawMeter(const SubBox& b) {
    const int32_t at = CursorSample(0);
    const float k = b.halfWidth / 128;
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderImage(g_res.meter, b.cx - b.halfWidth, b.cy - b.halfHeight, 2 * b.halfWidth,
                2 * b.halfHeight, true);
    const double rpm = std::clamp(ValueOf(0, kCodeNe, at), 0.0, kDialTop);
    const double degrees = kDialStart + kDialSweep * rpm / kDialTop + 90.0; // the needle points up
    RenderImageTurned(g_res.needle, b.cx, b.cy, kNeedlePivotX, kNeedlePivotY,
                      float(degrees * std::numbers::pi / 180.0), k);
    const RenderColorValue text = RenderColor(235, 235, 240);
    RenderText(b.cx - 26 * k, b.cy + 66 * k, text, g_res.mainFont, "Gear %1d", GearAt(0, at));
    RenderText(b.cx - 40 * k, b.cy + 84 * k, text, g_res.smallFont, "%+5.1fkm/h",
               WheelSpeedDifference(0, at));
}

// The start and end samples of the lap that holds File 1's cursor.
void CursorLap(int32_t& start, int32_t& end) {
    const Slot& s = SlotOf(0);
    const int32_t cursor = CursorSample(0);
    start = 0;
    end = s.sampleCount;
    const int m = MarksPerLap(0);
    for (int k = 0; k + m <= s.laps.count; k += m)
        if (LapMark(0, k) <= cursor) start = LapMark(0, k), end = LapMark(0, k + m);
}

// One stroke's histogram over samples [start, end) on its surface: how often the stroke stood
// in each of 64 bands from 0 to the file's largest stroke.
void FillHistogram(RenderHandle surface, ChannelCode code, int32_t start, int32_t end,
                   RenderColorValue color) {
    if (surface < 0) return;
    RenderSetTarget(surface);
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(0);
    const Slot& s = SlotOf(0);
    const int column = FindColumnByCode(0, code);
    if (column >= 0 && s.active && s.range.max[column] > 0) {
        int64_t counts[kHistogramBins] = {};
        const double top = s.range.max[column];
        for (int32_t i = std::max(start, 0); i < std::min(end, s.sampleCount); ++i) {
            const int bin =
                int(std::clamp(SampleAt(0, column, i) / top, 0.0, 0.999) * kHistogramBins);
            ++counts[bin];
        }
        const int64_t most =
            std::max<int64_t>(1, *std::max_element(counts, counts + kHistogramBins));
        for (int b = 0; b < kHistogramBins; ++b) {
            const float h = float(double(counts[b]) / double(most) * 120.0);
            RenderBox(float(b * 4), 126 - h, float(b * 4 + 3), 126, color, true);
        }
        RenderLine(0, 127, 255, 127, RenderColor(200, 200, 210));
    }
    RenderSetTarget(kBackBuffer);
}

void DrawHistograms(const SubBox& b) {
    HistogramState now;
    CursorLap(now.lapStart, now.lapEnd);
    now.front = StrokeSamples(kCodeFrSUS);
    now.rear = StrokeSamples(kCodeRrSUS);
    now.samples = SlotOf(0).sampleCount;
    if (g_view.SubViewRefresh || !(now == g_histograms)) {
        FillHistogram(g_res.susgram[0], kCodeFrSUS, now.lapStart, now.lapEnd,
                      RenderColor(90, 220, 120));
        FillHistogram(g_res.susgram[1], kCodeRrSUS, now.lapStart, now.lapEnd,
                      RenderColor(240, 160, 60));
        g_histograms = now;
    }
    const float w = 2 * b.halfWidth, h = b.halfHeight; // each histogram: half the box's height
    RenderSetBlend(BlendMode::Alpha, 200);
    RenderBox(b.cx - b.halfWidth, b.cy - b.halfHeight, b.cx + b.halfWidth, b.cy + b.halfHeight,
              RenderColor(16, 18, 26), true);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int side = 0; side < 2; ++side)
        if (g_res.susgram[side] >= 0)
            RenderImage(g_res.susgram[side], b.cx - b.halfWidth, b.cy - b.halfHeight + side * h, w,
                        h, true);
    RenderText(b.cx - b.halfWidth + 4, b.cy - b.halfHeight + 2, RenderColor(200, 200, 210),
               g_res.smallFont, "FrSUS");
    RenderText(b.cx - b.halfWidth + 4, b.cy + 2, RenderColor(200, 200, 210), g_res.smallFont,
               "RrSUS");
}

} // namespace

bool SubBox::Contains(int x, int y) const {
    return std::abs(float(x) - cx) < halfWidth && std::abs(float(y) - cy) < halfHeight;
}

SubBox SubElementBox(SubElement element, int clientWidth, int clientHeight) {
    const ElementSettings e = SettingsOf(element);
    if (!e.x) return {};
    SubBox b;
    b.halfWidth = e.halfWidth * *e.scale;
    b.halfHeight = e.halfHeight * *e.scale;
    // A stored place outside the window (another screen, a smaller window) shows the element
    // whole at the nearest place, and the value and name columns stay readable beside it.
    const float left = float(GraphAreaLeft()) + b.halfWidth;
    b.cx = std::clamp(float(*e.x), left, std::max(left, clientWidth - b.halfWidth));
    b.cy =
        std::clamp(float(*e.y), b.halfHeight, std::max(b.halfHeight, clientHeight - b.halfHeight));
    return b;
}

bool SubElementShown(SubElement element) {
    if (!g_view.SubViewOn || !NormalGraphView()) return false;
    switch (element) {
    case SubElement::kBody:
        return g_settings.BodyDisplay != 0;
    case SubElement::kMeter:
        return true;
    case SubElement::kSusgram:
        return g_view.StatusViewOn && g_settings.ExpertMode > 0;
    case SubElement::kNone:
        break;
    }
    return false;
}

SubElement SubElementAt(int x, int y, int clientWidth, int clientHeight) {
    for (SubElement e : {SubElement::kSusgram, SubElement::kMeter, SubElement::kBody})
        if (SubElementShown(e) && SubElementBox(e, clientWidth, clientHeight).Contains(x, y))
            return e;
    return SubElement::kNone;
}

double WheelSpeedDifference(FileSlot slot, int32_t sample) {
    return ValueOf(slot, kCodeVFW, sample) - ValueOf(slot, kCodeVRW, sample);
}

void DrawSubView(const GraphFrame& frame) {
    const int w = frame.clientWidth, h = frame.clientHeight;
    if (SlotOf(0).active) {
        if (SubElementShown(SubElement::kBody)) DrawBody(SubElementBox(SubElement::kBody, w, h));
        if (SubElementShown(SubElement::kMeter)) DrawMeter(SubElementBox(SubElement::kMeter, w, h));
        if (SubElementShown(SubElement::kSusgram))
            DrawHistograms(SubElementBox(SubElement::kSusgram, w, h));
    }
    // Rebuilt: the main loop may go idle again.
    if (g_view.SubViewOn) g_view.SubViewRefresh = 0;
}

bool SubViewMouse(const GraphFrame& frame, int pressed) {
    SubDrag& d = g_subDrag;
    const int buttons = g_view.MouseButtons;
    if (d.element != SubElement::kNone && !(buttons & d.button)) d.element = SubElement::kNone;
    if (d.element == SubElement::kNone && (pressed & (kMouseLeft | kMouseRight))) {
        const SubElement e =
            SubElementAt(g_view.MouseX, g_view.MouseY, frame.clientWidth, frame.clientHeight);
        if (e == SubElement::kNone) return false;
        const SubBox b = SubElementBox(e, frame.clientWidth, frame.clientHeight);
        d = {e,
             (pressed & kMouseLeft) ? kMouseLeft : kMouseRight,
             g_view.MouseX,
             g_view.MouseY,
             b.cx,
             b.cy,
             float(g_view.MouseY)};
    }
    if (d.element == SubElement::kNone) return false;
    const ElementSettings e = SettingsOf(d.element);
    if (d.button == kMouseLeft) {
        *e.x = int(std::lround(d.startX)) + g_view.MouseX - d.grabX;
        *e.y = int(std::lround(d.startY)) + g_view.MouseY - d.grabY;
    } else {
        // Dragging up grows the element, down shrinks it; the anchor follows slowly.
        float& z = *e.scale;
        z = std::clamp(z - (float(g_view.MouseY) - d.anchorY) * z * 0.0005f, e.minScale,
                       e.maxScale);
        d.anchorY += (float(g_view.MouseY) - d.anchorY) * 0.05f;
    }
    RequestRedraw(kRedrawShort);
    return true;
}

} // namespace qvtk
