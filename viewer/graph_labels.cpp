#include "viewer/graph_labels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "data/sample_envelope.h"
#include "data/settings.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

ChannelCode CodeOfColumn(int column) {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && IsPresent(SlotOf(s), column))
            return SlotOf(s).channels[column].code;
    return 0;
}

int DecimalsOfColumn(int column) {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && IsPresent(SlotOf(s), column))
            return std::min<int>(SlotOf(s).channels[column].decimals, 3);
    return 0;
}

const char* NameOfColumn(int column) {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && IsPresent(SlotOf(s), column))
            return SlotOf(s).channels[column].name;
    return "";
}

RenderColorValue LabelColor() {
    return LightScheme() ? RenderColor(70, 70, 90) : RenderColor(150, 160, 190);
}

// The first listed column of each band, so that a band shared by several channels is labelled
// once.
template <class Each> void ForEachBand(Each&& each) {
    bool done[kGraphCodes] = {};
    for (int i = 0; i < g_graphList.count; ++i) {
        const int c = g_graphList.column[i];
        const ChannelCode code = CodeOfColumn(c);
        if (code >= kGraphCodes || done[code]) continue;
        done[code] = true;
        each(c, code, GraphOf(code));
    }
}

} // namespace

int ValueRowHeight() {
    return g_res.valueFontSize + 2;
}

void ValueRowTops(const GraphFrame& f, float tops[kColumnCount]) {
    const int n = g_graphList.count;
    const float h = float(ValueRowHeight());
    float labelsTop = std::numeric_limits<float>::max(), labelsBottom = -labelsTop;
    for (int s = 0; s < kSlotCount; ++s) {
        const SlotFile& file = SlotOf(s).file;
        if (file.fileName.empty()) continue;
        labelsTop = std::min(labelsTop, float(file.labelRect.top));
        labelsBottom = std::max(labelsBottom, float(file.labelRect.bottom));
    }
    int order[kColumnCount];
    for (int i = 0; i < n; ++i) {
        const ChannelCode code = CodeOfColumn(g_graphList.column[i]);
        const GraphCodeSettings& g = GraphOf(code);
        tops[i] = float(ValueY(f, code, (double(g.GraphMin) + g.GraphMax) * 0.0005)) - 6;
        order[i] = i;
    }
    std::stable_sort(order, order + n, [&](int a, int b) { return tops[a] < tops[b]; });
    float movedBottom = -std::numeric_limits<float>::max();
    for (int k = 0; k < n; ++k) {
        float& y = tops[order[k]];
        bool moved = false;
        if (y < labelsBottom && y + h > labelsTop) y = labelsBottom, moved = true;
        if (y < movedBottom) y = movedBottom, moved = true; // under a row moved before it
        if (moved) movedBottom = y + h;
    }
}

void DrawGridValueLabels(const GraphFrame& f) {
    const int x = GraphAreaLeft() + 2;
    const int fs = g_res.smallFontSize;
    // The labels share one column: one that would touch a label drawn before is left out (the
    // lower edge of a band and the upper edge of the next lie a few rows apart).
    std::vector<float> taken;
    ForEachBand([&](int column, ChannelCode code, const GraphCodeSettings& g) {
        if (!g.GridShown) return;
        const int64_t step = std::max<int64_t>(g.GraphStep, 1);
        if ((int64_t(g.GraphMax) - g.GraphMin) / step > 64) return; // no lines drawn
        const ValueMapping m = MappingOf(f, code);
        // Labels closer than a line of text are thinned out.
        const double pixelsPerLine = std::fabs(double(step) * 0.001 * m.perUnit);
        const int64_t every =
            pixelsPerLine >= fs ? 1 : int64_t(std::ceil(fs / std::max(pixelsPerLine, 0.01)));
        const int decimals = DecimalsOfColumn(column);
        RenderSetBlend(BlendMode::Alpha, 200);
        int64_t k = 0;
        for (int64_t v = g.GraphMin; v <= g.GraphMax; v += step, ++k) {
            if (k % every) continue;
            const float y = float(m.Y(double(v) * 0.001));
            if (y < 0 || y > f.clientHeight) continue;
            const float top = y - float(fs) - 1;
            if (std::any_of(taken.begin(), taken.end(),
                            [&](float t) { return std::fabs(t - top) < float(fs); }))
                continue;
            taken.push_back(top);
            RenderText(float(x), top, LabelColor(), g_res.smallFont, "%.*f", decimals,
                       double(v) * 0.001);
        }
    });
}

void DrawBaselineLabels(const GraphFrame& f) {
    const float x = f.baseX + 4;
    const int fs = g_res.smallFontSize;
    RenderSetBlend(BlendMode::Alpha, 255);
    ForEachBand([&](int column, ChannelCode code, const GraphCodeSettings& g) {
        const ValueMapping m = MappingOf(f, code);
        const float top = float(m.Y(g.GraphMax * 0.001));
        const float bottom = float(m.Y(g.GraphMin * 0.001));
        if (bottom < 0 || top > f.clientHeight) return;
        const int decimals = DecimalsOfColumn(column);
        RenderText(x, top, LabelColor(), g_res.smallFont, "%.*f", decimals, g.GraphMax * 0.001);
        if (bottom - top > 2 * fs)
            RenderText(x, bottom - float(fs) - 1, LabelColor(), g_res.smallFont, "%.*f", decimals,
                       g.GraphMin * 0.001);
        const char* name = NameOfColumn(column);
        RenderText(x + 8, (top + bottom) / 2 - float(g_res.mainFontSize) / 2, SchemeTextColor(),
                   g_res.mainFont, "%s", name[0] ? name : "-");
    });
}

} // namespace qvtk
