#include "viewer/layout_tabs.h"

#include <algorithm>

#include "data/settings.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

int TabCount() {
    return std::min(g_layoutList.count, kMaxLayoutTabs);
}

bool PointerNearTop() {
    return g_view.MouseY < 32;
}

float TabHeight() {
    return float(g_res.mainFontSize + 8);
}

void DrawArrow(float x, float top, bool left, bool hover) {
    const float h = TabHeight();
    RenderSetBlend(BlendMode::Alpha, hover ? 230 : 170);
    RenderBox(x, top, x + kTabArrowWidth, top + h,
              hover ? RenderColor(70, 110, 170) : RenderColor(40, 48, 64), true);
    RenderSetBlend(BlendMode::Alpha, 255);
    const float cx = x + kTabArrowWidth / 2.0f, cy = top + h / 2;
    const float tip = left ? cx - 5 : cx + 5, back = left ? cx + 4 : cx - 4;
    const RenderColorValue c = RenderColor(230, 230, 230);
    RenderLine(back, cy - 6, tip, cy, c, 2);
    RenderLine(tip, cy, back, cy + 6, c, 2);
}

} // namespace

void ScrollLayoutTabs(int steps) {
    g_view.TabFirst = std::clamp(g_view.TabFirst + steps, 0, std::max(TabCount() - 1, 0));
    RequestRedraw(kRedrawFull);
}

bool LayoutTabsWheel(int notches) {
    if (notches == 0 || g_view.TabSlide == 0 || TabCount() == 0 || !PointerNearTop() ||
        !NormalGraphView())
        return false;
    ScrollLayoutTabs(-notches);
    return true;
}

void DrawLayoutTabs(int clientWidth) {
    const bool near = PointerNearTop();
    g_view.TabSlide = std::clamp(g_view.TabSlide + (near ? 2 : -1), 0, 32);
    g_view.TabUnderMouse = 0;
    g_view.TabArrowUnderMouse = 0;
    const int count = TabCount();
    g_view.TabFirst = std::clamp(g_view.TabFirst, 0, std::max(count - 1, 0));
    if (g_view.TabSlide == 0 || count == 0) return;
    const float top = float(g_view.TabSlide - 32);
    const float height = TabHeight();
    const int mx = g_view.MouseX, my = g_view.MouseY;
    auto under = [&](float x, float w) {
        return near && mx >= x && mx < x + w && my >= top &&
               my < top + height + 32 - g_view.TabSlide;
    };
    float x = kTabStripLeft;
    if (g_view.TabFirst > 0) {
        const bool hover = under(x, kTabArrowWidth);
        if (hover) g_view.TabArrowUnderMouse = -1;
        DrawArrow(x, top, true, hover);
        x += kTabArrowWidth;
    }
    const float right = float(clientWidth - kTabArrowWidth);
    for (int i = g_view.TabFirst; i < count; ++i) {
        const char* name = g_layoutList.names[i].c_str();
        const float w = float(RenderTextWidth(g_res.mainFont, "   %s   ", name)) + 8;
        // A tab that would be cut leaves its place to the arrow; the first one shown is drawn
        // however wide it is.
        if (x + w > right && i > g_view.TabFirst) {
            const float ax = std::max(x, right);
            const bool hover = under(ax, kTabArrowWidth);
            if (hover) g_view.TabArrowUnderMouse = +1;
            DrawArrow(ax, top, false, hover);
            break;
        }
        const bool hover = under(x, w);
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

} // namespace qvtk
