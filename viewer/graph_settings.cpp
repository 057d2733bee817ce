#include "viewer/graph_settings.h"

#include <algorithm>
#include <cmath>

#include "data/settings.h"
#include "viewer/view_state.h"

namespace qvtk {

GraphSettings g_graph;

namespace {

float ClampScale(float scale) {
    return std::clamp(scale, kGraphScaleMin, kGraphScaleMax);
}

// The row of the value 0 for a band whose lower edge shows GraphMin; 400 when it would not
// be on the screen's side of the top.
int32_t ZeroRow(int32_t bottom, int32_t min, float scale) {
    int32_t zero = bottom - int32_t(-0.001 * double(min) / double(scale));
    return zero < 1 ? 400 : zero;
}

} // namespace

void ResetGraphSettings() {
    g_graph = GraphSettings();
}

void LimitGraphSettings(GraphCodeSettings& g) {
    auto limit = [](int32_t& v, int32_t lo, int32_t hi) { v = std::clamp(v, lo, hi); };
    limit(g.GraphMin, -kGraphValueLimitUnits, kGraphValueLimitUnits);
    limit(g.GraphMax, -kGraphValueLimitUnits, kGraphValueLimitUnits);
    if (g.GraphStep >= 2) limit(g.GraphStep, kGraphStepMinUnits, kGraphValueLimitUnits);
    limit(g.GraphTop, -kGraphRowLimit, kGraphRowLimit);
    limit(g.GraphBottom, -kGraphRowLimit, kGraphRowLimit);
    limit(g.GraphZero, -kGraphRowLimit, kGraphRowLimit);
    g.GraphScale = std::isfinite(g.GraphScale) ? ClampScale(g.GraphScale) : 10.0f;
    for (int32_t* switched : {&g.GraphAuto, &g.GridShown, &g.GraphClip, &g.PlotType})
        *switched = *switched != 0;
    for (int32_t* color : {&g.ColorFile1, &g.ColorOnlyFile1, &g.ColorFile2, &g.ColorFile3})
        if (*color < 0 || *color >= kPaletteSize) *color = kPaletteSize - 1;
}

void DeriveBandFromScale(GraphCodeSettings& g) {
    g.GraphScale = ClampScale(g.GraphScale);
    if (g.GraphZero < 1) g.GraphZero = 400;
    g.GraphBottom = g.GraphZero - int32_t(double(g.GraphMin) * 0.001 / double(g.GraphScale));
    g.GraphTop = g.GraphZero - int32_t(double(g.GraphMax) * 0.001 / double(g.GraphScale));
    if (int64_t(g.GraphBottom) - g.GraphTop < 1) g.GraphBottom = g.GraphTop + 50;
}

void DeriveScaleFromBand(GraphCodeSettings& g) {
    // Edges from a layout may lie anywhere: the difference is taken in 64 bits.
    if (int64_t(g.GraphBottom) - g.GraphTop < 10) g.GraphBottom = g.GraphTop + 10;
    g.GraphScale = ClampScale(
        float((double(g.GraphMax) - g.GraphMin) / ((double(g.GraphBottom) - g.GraphTop) * 1000.0)));
    g.GraphZero = ZeroRow(g.GraphBottom, g.GraphMin, g.GraphScale);
}

void NormalizeGraphRange(GraphCodeSettings& g) {
    if (int64_t(g.GraphMax) - g.GraphMin < 1000) g.GraphClip = 0;
    if (g.GraphStep < 2) g.GraphStep = 1000;
}

bool LightScheme() {
    return g_settings.colortype == 1;
}

RenderColorValue SchemeTextColor() {
    return LightScheme() ? RenderColor(0, 0, 0) : RenderColor(255, 255, 255);
}

RenderColorValue PaletteColor(int index) {
    static constexpr RenderColorValue kDark[kPaletteSize] = {
        RenderColor(0, 255, 0),   RenderColor(0, 255, 192),   RenderColor(255, 0, 0),
        RenderColor(255, 0, 192), RenderColor(192, 168, 0),   RenderColor(192, 255, 0),
        RenderColor(0, 150, 0),   RenderColor(140, 140, 140), RenderColor(255, 255, 255)};
    static constexpr RenderColorValue kLight[kPaletteSize] = {
        RenderColor(0, 0, 255),   RenderColor(0, 192, 255),   RenderColor(255, 0, 0),
        RenderColor(255, 0, 192), RenderColor(192, 168, 0),   RenderColor(128, 128, 0),
        RenderColor(0, 150, 0),   RenderColor(100, 100, 100), RenderColor(10, 10, 10)};
    int i = index >= 0 && index < kPaletteSize ? index : kPaletteSize - 1;
    return LightScheme() ? kLight[i] : kDark[i];
}

RenderColorValue Brightened(RenderColorValue color, int brightness) {
    auto part = [&](int shift) { return ((color >> shift) & 0xFF) * uint32_t(brightness) / 255; };
    return (color & 0xFF000000u) | part(16) << 16 | part(8) << 8 | part(0);
}

void ChooseFile1Colors() {
    bool othersShown = false;
    for (int s = 1; s < kSlotCount; ++s)
        if (SlotOf(s).active && !g_view.FileDimmed[s]) othersShown = true;
    g_graph.file1Exclusive = g_settings.ExclusiveF1Color && !othersShown;
}

int CurvePaletteIndex(FileSlot slot, ChannelCode code) {
    const GraphCodeSettings& g = GraphOf(code);
    switch (slot) {
    case 0:
        return g_graph.file1Exclusive ? g.ColorOnlyFile1 : g.ColorFile1;
    case 1:
        return g.ColorFile2;
    default:
        return g.ColorFile3;
    }
}

bool ColumnDrawn(FileSlot slot, int column) {
    const Slot& s = SlotOf(slot);
    if (column < 0 || column >= kColumnCount) return false;
    uint32_t both = kChannelPresent | kChannelShown;
    return (s.channelFlags[column] & both) == both && s.channels[column].kind != 0 &&
           g_graph.GraphVisible[slot][column];
}

} // namespace qvtk
