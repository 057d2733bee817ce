#include "viewer/lap_list.h"

#include <algorithm>
#include <cmath>

#include "analysis/lap_model.h"
#include "analysis/lap_navigation.h"
#include "analysis/lap_statistics.h"
#include "data/settings.h"
#include "viewer/frame.h"
#include "viewer/graph_labels.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

constexpr const char* kListEnd = "- - - -";
constexpr const char* kListCut = "   \u25BD   ";

bool ListsShown() {
    return (g_settings.CursolValueMode & 2) == 0;
}

int LineHeight() {
    return g_res.mainFontSize;
}

// The tops of up to `wanted` lines from `top` down to the lowest edge the lists may reach,
// each below any cursor value row it would cross.
std::vector<int> PlaceLines(const GraphFrame& frame, int top, int wanted) {
    float rows[kColumnCount];
    ValueRowTops(frame, rows);
    const int lh = LineHeight(), vh = ValueRowHeight(), limit = frame.clientHeight - 48;
    std::vector<int> lines;
    int y = top;
    while (int(lines.size()) < wanted) {
        bool moved = true;
        while (moved) {
            moved = false;
            for (int i = 0; i < g_graphList.count; ++i) {
                const int top = int(std::floor(rows[i])), bottom = int(std::ceil(rows[i] + vh));
                if (top < y + lh && bottom > y) y = bottom, moved = true;
            }
        }
        if (y + lh > limit) break;
        lines.push_back(y);
        y += lh;
    }
    return lines;
}

// The lap-start mark of the cursor's lap.
int32_t CursorLapStart(FileSlot slot) {
    const int m = MarksPerLap(slot);
    const int32_t cursor = CursorSample(slot);
    int32_t start = 0;
    for (int k = 0; k < ListedLapCount(slot); ++k)
        if (LapMark(slot, k * m) <= cursor) start = LapMark(slot, k * m);
    return start;
}

} // namespace

int ListedLapCount(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    const int m = MarksPerLap(slot);
    if (!s.active || s.laps.count < m) return 0;
    return (s.laps.count - m) / m + 1;
}

LapListColumn LapListColumnOf(const GraphFrame& frame, FileSlot slot) {
    LapListColumn c;
    c.left = ValueColumnX(slot) + 5;
    c.right = ValueColumnX(slot) + g_res.valueColumnWidth - 20;
    c.top = 20 * LineHeight();
    const int laps = std::max(ListedLapCount(slot) - c.firstLap, 0);
    // Every lap and the end line, as far as they fit; a list cut by the window gives its last
    // line to the down mark.
    c.lineTop = PlaceLines(frame, c.top, laps + 1);
    const int lines = int(c.lineTop.size());
    c.lapRows = lines > laps ? laps : std::max(lines - 1, 0);
    c.bottom = lines ? c.lineTop.back() + LineHeight() : c.top;
    return c;
}

std::vector<std::string> LapListLines(const GraphFrame& frame, FileSlot slot) {
    std::vector<std::string> lines;
    if (!SlotOf(slot).active) return lines;
    const LapListColumn c = LapListColumnOf(frame, slot);
    const int m = MarksPerLap(slot);
    for (int row = 0; row < c.lapRows; ++row)
        lines.push_back(FormatLapTime(LapDuration(slot, (c.firstLap + row) * m), slot));
    const bool cut = c.firstLap + c.lapRows < ListedLapCount(slot);
    if (int(c.lineTop.size()) > c.lapRows) lines.push_back(cut ? kListCut : kListEnd);
    return lines;
}

bool LapListRowAt(const GraphFrame& frame, int x, int y, FileSlot& slot, int& row) {
    if (!ListsShown() || !NormalGraphView()) return false;
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        if (!SlotOf(s).active) continue;
        const LapListColumn c = LapListColumnOf(frame, s);
        if (x < c.left || x >= c.right || y < c.top) continue;
        for (int r = 0; r < c.lapRows; ++r) {
            if (y < c.lineTop[r] || y >= c.lineTop[r] + LineHeight()) continue;
            slot = s;
            row = r;
            return true;
        }
    }
    return false;
}

std::string CursorLapTime(FileSlot slot) {
    return FormatLapTime(CursorSample(slot) - CursorLapStart(slot), slot);
}

std::string CursorFileTime(FileSlot slot) {
    return FormatLapTime(CursorSample(slot), slot);
}

void DrawLapHeader(const GraphFrame& frame) {
    if (g_settings.CursolValueMode & 4) return;
    RenderSetBlend(BlendMode::Alpha, 255);
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        if (!SlotOf(s).active) continue;
        const float x = float(frame.clientWidth / 2 - 80 + 120 * s);
        const RenderColorValue color = Brightened(FileColor(s), g_view.FileBrightness[s]);
        RenderText(x, 20, color, g_res.smallFont, "%s", CursorLapTime(s).c_str());
        RenderText(x, float(LineHeight() + 20), color, g_res.smallFont, "%s",
                   CursorFileTime(s).c_str());
    }
}

void DrawLapLists(const GraphFrame& frame) {
    if (!ListsShown()) return;
    FileSlot hoverSlot = 0;
    int hoverRow = 0;
    const bool hover = LapListRowAt(frame, g_view.MouseX, g_view.MouseY, hoverSlot, hoverRow);
    g_view.LapListHover = std::clamp(g_view.LapListHover + (hover ? 2 : -2), 0, 32);
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        if (!SlotOf(s).active) continue;
        const LapListColumn c = LapListColumnOf(frame, s);
        const std::vector<std::string> lines = LapListLines(frame, s);
        // The lines darken what lies under them; hovering lights them up. Runs of adjoining
        // lines share one box.
        const int lh = LineHeight();
        for (size_t i = 0; i < lines.size();) {
            size_t j = i + 1;
            while (j < lines.size() && c.lineTop[j] == c.lineTop[j - 1] + lh) ++j;
            const float top = float(c.lineTop[i]), bottom = float(c.lineTop[j - 1] + lh);
            RenderSetBlend(BlendMode::Subtractive, 210);
            RenderBox(float(c.left), top, float(c.right), bottom, RenderColor(110, 110, 110), true);
            if (g_view.LapListHover > 0) {
                RenderSetBlend(BlendMode::Additive, 130 - 4 * (32 - g_view.LapListHover));
                RenderBox(float(c.left), top, float(c.right), bottom, RenderColor(60, 60, 90),
                          true);
            }
            i = j;
        }
        RenderSetBlend(BlendMode::Alpha, 255);
        const RenderColorValue color = Brightened(FileColor(s), g_view.FileBrightness[s]);
        for (size_t i = 0; i < lines.size(); ++i)
            RenderText(float(c.left + 4), float(c.lineTop[i]),
                       i < size_t(c.lapRows) ? color : SchemeTextColor(), g_res.mainFont, "%s",
                       lines[i].c_str());
    }
}

bool LapListClick(const GraphFrame& frame, int pressed) {
    if (!(pressed & (kMouseLeft | kMouseRight))) return false;
    FileSlot slot = 0;
    int row = 0;
    if (!LapListRowAt(frame, g_view.MouseX, g_view.MouseY, slot, row)) return false;
    const LapListColumn c = LapListColumnOf(frame, slot);
    Slot& s = SlotOf(slot);
    if (pressed & kMouseLeft) {
        g_view.ScrollTarget[slot] = LapMark(slot, (c.firstLap + row) * MarksPerLap(slot));
    } else {
        // The lap fills the graphs right of the value and name columns.
        LapNavigation nav;
        nav.firstListedLap[slot] = c.firstLap;
        nav.graphHalfWidth = frame.clientWidth / 2;
        nav.valueColumnWidth = GraphAreaLeft();
        nav.ctrlHeld = g_view.CtrlHeld;
        const LapNavigation out = ShowWholeLap(nav, slot, row);
        const float rate = s.sampleRateFactor > 0 ? s.sampleRateFactor : 1.0f;
        g_view.HorizontalCompression = out.samplesPerPixel * frame.zoom / rate;
        s.cursorPos = int64_t(std::clamp(out.cursor[slot], 0, s.sampleCount - 1)) * 100;
        g_view.ScrollTarget[slot] = -1;
    }
    RequestRedraw(kRedrawFull);
    return true;
}

} // namespace qvtk
