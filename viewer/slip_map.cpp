#include "viewer/slip_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/course_layout.h"
#include "analysis/gps_frame.h"
#include "data/settings.h"
#include "viewer/course_map_picture.h"
#include "viewer/graph_settings.h"
#include "viewer/lap_compare_view.h"
#include "viewer/resources.h"

namespace qvtk {

namespace {

constexpr int kSlopeHalf = 5;        // grid points either side of a slope
constexpr double kLeastScale = 0.05; // ms/m at full colour, at least
constexpr float kBarLeft = 490, kBarRight = 502, kBarTop = 40, kBarBottom = 200;

struct SlipMapState {
    bool shown = false;
    uint64_t signature = 0;
};
SlipMapState g_slipMap;

uint64_t Mix(uint64_t h, int64_t v) {
    return (h ^ uint64_t(v)) * 0x100000001B3ull;
}

uint64_t Signature(const LapComparison& c, FileSlot slot) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (int64_t v :
         {int64_t(slot), int64_t(c.reference.lap), int64_t(c.compared.slot),
          int64_t(c.compared.lap), int64_t(g_lapDistances.slots[0].version),
          int64_t(g_lapDistances.slots[c.compared.slot].version), int64_t(g_settings.colortype),
          int64_t(g_res.courseMap), int64_t(MapShowsGps()), int64_t(g_courseLayout.courseOffset),
          int64_t(g_courseLayout.pointCount), int64_t(c.slip.size()),
          int64_t(std::llround(c.comparedSeconds * 1000))})
        h = Mix(h, v);
    return h;
}

RenderColorValue ColorAt(const std::vector<double>& slopes, double scale, double metres) {
    if (slopes.empty()) return SlopeColor(0);
    const auto g = size_t(
        std::clamp<int64_t>(std::llround(metres / kSlipGridStep), 0, int64_t(slopes.size()) - 1));
    return SlopeColor(slopes[g] / scale);
}

void DrawCourse(const LapComparison& c, const std::vector<double>& slopes, double scale) {
    const int32_t n = std::clamp(g_courseLayout.pointCount, 1, kMaxCoursePoints);
    float x = 0, y = 0;
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int32_t i = 0; i <= n; ++i) {
        CoursePointPixel(i, x, y);
        RenderCircle(x, y, 6, MapBackgroundColor(), true);
        MarkTrack(x, y, 7);
    }
    // Course point p lies at p / n of the lap, as the sectors place it.
    for (int32_t i = 0; i <= n; ++i) {
        CoursePointPixel(i, x, y);
        RenderCircle(x, y, 4, ColorAt(slopes, scale, c.length * i / n), true);
    }
    CoursePointPixel(0, x, y);
    RenderCircle(x, y, 7, MapMarkerColor(), true);
}

// The reference lap's track, each stretch in the colour of the slope there.
void DrawTrack(const LapComparison& c, const std::vector<double>& slopes, double scale) {
    const Slot& s = SlotOf(c.reference.slot);
    if (!s.gps.status || !s.gps.lon || !s.gps.lat) return;
    const int32_t from = LapStart(c.reference);
    const int32_t to = std::min(LapEnd(c.reference), std::min(s.sampleCount, s.capacity) - 1);
    RenderSetBlend(BlendMode::Alpha, 255);
    bool have = false;
    MapPixel prev;
    for (int32_t i = from; i <= to; ++i) {
        if (s.gps.status[i] < 1 || s.gps.status[i] > 5) continue;
        const MapPixel p = ProjectGpsFix(g_gpsFrame, s.gps.lon[i], s.gps.lat[i]);
        if (!p.inside) {
            have = false;
            continue;
        }
        if (have && (p.x != prev.x || p.y != prev.y)) {
            const double metres = AlignedDistance(c.reference, i, c.length);
            RenderLine(float(prev.x), float(prev.y), float(p.x), float(p.y),
                       ColorAt(slopes, scale, metres), 4);
            MarkTrack(float(p.x), float(p.y), 4);
        }
        prev = p;
        have = true;
    }
}

void DrawColorBar(double scale) {
    char lose[32], gain[32];
    std::snprintf(lose, sizeof lose, "lose %+.2f ms/m", scale);
    std::snprintf(gain, sizeof gain, "gain %+.2f ms/m", -scale);
    const float w = float(std::max(RenderTextWidth(g_res.smallFont, "%s", lose),
                                   RenderTextWidth(g_res.smallFont, "%s", gain)));
    const float textLeft = kBarLeft - 4 - w, fs = float(g_res.smallFontSize);
    // One backing under the bar and its labels, so that the graphs behind stay out of them.
    RenderSetBlend(BlendMode::Alpha, 200);
    RenderBox(kBarLeft - 2, kBarTop - 2, kBarRight + 2, kBarBottom + 2, MapBackgroundColor(), true);
    RenderBox(textLeft - 2, kBarTop - 3, kBarLeft - 2, kBarTop + fs + 1, MapBackgroundColor(),
              true);
    RenderBox(textLeft - 2, kBarBottom - fs - 1, kBarLeft - 2, kBarBottom + 3, MapBackgroundColor(),
              true);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (float y = kBarTop; y <= kBarBottom; y += 1) {
        const double share = 1.0 - 2.0 * (y - kBarTop) / (kBarBottom - kBarTop);
        RenderLine(kBarLeft, y, kBarRight, y, SlopeColor(share));
    }
    RenderText(textLeft, kBarTop - 2, SchemeTextColor(), g_res.smallFont, "%s", lose);
    RenderText(textLeft, kBarBottom - fs, SchemeTextColor(), g_res.smallFont, "%s", gain);
    for (float x : {textLeft, kBarRight})
        for (float y : {kBarTop, kBarBottom}) MarkTrack(x, y, 8);
}

void DrawSlipMap(const LapComparison& c) {
    RenderSetTarget(g_res.courseMap);
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(g_res.courseMapNoAlpha ? 0xFF000000u : 0u);
    for (uint16_t& row : g_mapPicture.trackCells) row = 0;
    const std::vector<double> slopes = SlipSlopes(c.slip, kSlipGridStep);
    const double scale = SlopeScale(slopes);
    if (MapShowsGps())
        DrawTrack(c, slopes, scale);
    else
        DrawCourse(c, slopes, scale);
    DrawColorBar(scale);
    RenderSetTarget(kBackBuffer);
    char label[64];
    std::snprintf(label, sizeof label, "Time slip: File %d lap %d", c.compared.slot + 1,
                  c.compared.lap);
    g_mapPicture.label = label;
}

} // namespace

std::vector<double> SlipSlopes(const std::vector<double>& slip, double step) {
    const auto n = int64_t(slip.size());
    std::vector<double> out(slip.size(), 0.0);
    for (int64_t g = 0; g < n; ++g) {
        const int64_t lo = std::max<int64_t>(g - kSlopeHalf, 0);
        const int64_t hi = std::min<int64_t>(g + kSlopeHalf, n - 1);
        if (hi > lo)
            out[size_t(g)] =
                (slip[size_t(hi)] - slip[size_t(lo)]) * 1000.0 / (double(hi - lo) * step);
    }
    return out;
}

double SlopeScale(const std::vector<double>& slopes) {
    if (slopes.empty()) return kLeastScale;
    std::vector<double> size(slopes.size());
    for (size_t i = 0; i < slopes.size(); ++i) size[i] = std::fabs(slopes[i]);
    const size_t at = size.size() * 9 / 10;
    std::nth_element(size.begin(), size.begin() + std::ptrdiff_t(at), size.end());
    return std::max(size[at], kLeastScale);
}

RenderColorValue SlopeColor(double share) {
    const double t = std::clamp(share, -1.0, 1.0), a = std::fabs(t);
    const int grey = LightScheme() ? 160 : 110;
    const int r = t > 0 ? 255 : 30, g = t > 0 ? 40 : 210, b = t > 0 ? 30 : 60;
    auto mix = [&](int to) { return int(std::lround(grey + (to - grey) * a)); };
    return RenderColor(mix(r), mix(g), mix(b));
}

void ResetSlipMap() {
    g_slipMap = SlipMapState();
}

bool RefreshSlipMapPicture() {
    FileSlot slot = 0;
    const LapComparison* c = LapComparisonOn() ? ShownComparison(&slot) : nullptr;
    if (!c || g_res.courseMap <= 0) {
        if (g_slipMap.shown) {
            // The usual picture takes the map back.
            g_mapPicture.layoutDirty = true;
            g_mapPicture.shownSignature = 0;
        }
        g_slipMap.shown = false;
        return false;
    }
    const uint64_t signature = Signature(*c, slot);
    if (!g_slipMap.shown || signature != g_slipMap.signature) DrawSlipMap(*c);
    g_slipMap.shown = true;
    g_slipMap.signature = signature;
    return true;
}

} // namespace qvtk
