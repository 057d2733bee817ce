#include "viewer/background.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

constexpr int kNamePanelWidth = 80;

// A colour with `count` layers of the grid fill over it, as alpha blending lays them.
RenderColorValue UnderFill(RenderColorValue color, int count) {
    const RenderColorValue fill = GridFillColor();
    for (int i = 0; i < count; ++i) {
        auto mix = [&](int shift) {
            const int d = int((color >> shift) & 0xFF), s = int((fill >> shift) & 0xFF);
            return uint32_t((s * kGridFillAlpha + d * (255 - kGridFillAlpha) + 127) / 255);
        };
        color = 0xFF000000u | mix(16) << 16 | mix(8) << 8 | mix(0);
    }
    return color;
}

// The rows of the picture covered by [top, bottom): those whose centres lie inside.
void CoveredRows(float top, float bottom, int height, int& first, int& end) {
    first = std::clamp(int(std::ceil(top - 0.5f)), 0, height);
    end = std::clamp(int(std::ceil(bottom - 0.5f)), 0, height);
}

} // namespace

void DrawBackground(const GraphFrame& f, bool translucent) {
    const int w = f.clientWidth, h = f.clientHeight;
    if (w <= 0 || h <= 0) return;
    const BackgroundColors colors = BackgroundColorsNow();
    const int shift = int(std::lround(g_view.VScroll));
    const bool strip = g_res.columnStrip > 0, panel = g_res.namePanel > 0;
    const int panelX = SlotOf(2).active ? 325 : 220;
    // Grid fill layers per row.
    static std::vector<int> fills;
    fills.assign(size_t(h), 0);
    float tops[kColumnCount], bottoms[kColumnCount];
    const bool graphs = NormalGraphView() || g_view.GraphPositionMode;
    const int bands = graphs ? GridFillBands(f, tops, bottoms) : 0;
    for (int i = 0; i < bands; ++i) {
        int first, end;
        CoveredRows(tops[i], bottoms[i], h, first, end);
        for (int y = first; y < end; ++y) ++fills[size_t(y)];
    }
    const int fillX = std::clamp(GraphAreaLeft() - kNamePanelWidth, 0, w);
    // Column edges where the colour may change within a row.
    int edges[] = {0, std::clamp(panelX, 0, w), std::clamp(panelX + kNamePanelWidth, 0, w), fillX,
                   w};
    std::sort(std::begin(edges), std::end(edges));
    auto rowColors = [&](int y, RenderColorValue out[4]) {
        const int stripRow = y + shift; // the strip and the panel scroll with the picture
        const bool inStrip = strip && stripRow >= 0 && stripRow < g_res.screenHeight;
        const RenderColorValue base = !inStrip                            ? colors.clear
                                      : stripRow % kStripLineSpacing == 0 ? colors.stripLine
                                                                          : colors.strip;
        const bool inPanel = panel && stripRow >= 0 && stripRow < g_res.screenHeight;
        for (int k = 0; k < 4; ++k) {
            const int x = edges[k];
            RenderColorValue c =
                inPanel && x >= panelX && x < panelX + kNamePanelWidth ? colors.namePanel : base;
            if (x >= fillX) c = UnderFill(c, fills[size_t(y)]);
            out[k] = c;
        }
    };
    RenderSetBlend(translucent ? BlendMode::Alpha : BlendMode::None, translucent ? 64 : 255);
    RenderColorValue run[4], now[4];
    int runStart = 0;
    rowColors(0, run);
    auto flush = [&](int end) {
        for (int k = 0; k < 4; ++k)
            if (edges[k] < edges[k + 1])
                RenderBox(float(edges[k]), float(runStart), float(edges[k + 1]), float(end), run[k],
                          true);
    };
    for (int y = 1; y <= h; ++y) {
        if (y < h) rowColors(y, now);
        if (y == h || !std::equal(now, now + 4, run)) {
            flush(y);
            runStart = y;
            std::copy(now, now + 4, run);
        }
    }
}

} // namespace qvtk
