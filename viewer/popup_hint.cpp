#include "viewer/popup_hint.h"

#include <algorithm>
#include <cstdlib>

#include "viewer/course_map_picture.h"
#include "viewer/graph_position.h"
#include "viewer/graph_settings.h"
#include "viewer/lap_list.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

struct HintFade {
    HintRegion shown = HintRegion::kNone; // the lines drawn, kept while they fade out
    int counter = 20;                     // 20: invisible, 0: fully in
};
HintFade g_hint;

} // namespace

HintRegion HintRegionAt(const GraphFrame& frame, int x, int y, bool finishLine) {
    FileSlot slot = 0;
    int row = 0, column = -1;
    const bool overValues = !finishLine && ValueColumnAt(frame, x, y, column) >= 0;
    if (g_view.GraphPositionMode) {
        if (overValues) return HintRegion::kPositionValueColumn;
        if (finishLine) return HintRegion::kFinishLine;
        if (std::abs(x - int(frame.baseX)) <= 4) return HintRegion::kPositionBaseline;
        if (x >= GraphAreaLeft() && BandCodeAt(frame, y) != kNoBand)
            return HintRegion::kPositionBand;
        return HintRegion::kNone;
    }
    if (!NormalGraphView()) return HintRegion::kNone;
    if (LapListRowAt(frame, x, y, slot, row)) return HintRegion::kLapList;
    if (overValues) return HintRegion::kValueColumn;
    return HintRegion::kNone;
}

const std::vector<const char*>& HintLines(HintRegion region) {
    static const std::vector<const char*> kNone;
    static const std::vector<const char*> kLapList = {"        [left]  - Move Top of Lap ", "",
                                                      "        [Right] - Full display of one lap",
                                                      "", "        [H] key - This hint On,Off"};
    static const std::vector<const char*> kValueColumn = {
        "        [left]   - Graph On,Off",
        "[Shift]+[left]   - Graph On,Off (All CH)",
        " [Ctrl]+[left]   - Display Off",
        "",
        "        [Right]  - Grid On.Off",
        "[Shift]+[Right]  - Grid On.Off (All CH)",
        " [Ctrl]+[Right]  - Open Graph Property",
        "",
        "        [Middle] - Course diagram color choice",
        "",
        "        [H] key  - This hint On,Off"};
    static const std::vector<const char*> kPositionValueColumn = {
        "        [Left]   - Graph On,Off",
        "[Shift]+[Left]   - Graph On,Off(All CH)",
        " [Ctrl]+[left]   - Display Off",
        "",
        "        [Right]  - Move to upper fixed position",
        "",
        "        [Middle] - Release the synchronization of graph",
        "",
        "        [H] key  - This hint On,Off"};
    static const std::vector<const char*> kPositionBaseline = {
        "        [left]   - Move Baseline", "        [Right]  - Baseline set to Center ", "",
        "        [H] key  - This hint On,Off"};
    static const std::vector<const char*> kPositionBand = {
        "        [left]   - Move the graph with grid",
        "[Shift]+[left]   - Move the graph fixed grid ",
        "",
        "        [Right]  - Graph Scale with grid",
        "[Shift]+[Right]  - Graph scale fixed grid",
        "",
        "        [Middle] - Graph Clipping On,Off",
        "",
        "        [H] key  - This hint On,Off"};
    static const std::vector<const char*> kFinishLine = {
        "  [left]  - (First time)  Start Finishline", "             - (Second time) End Finishline",
        "", "  [H] key - This hint On,Off"};
    switch (region) {
    case HintRegion::kLapList:
        return kLapList;
    case HintRegion::kValueColumn:
        return kValueColumn;
    case HintRegion::kPositionValueColumn:
        return kPositionValueColumn;
    case HintRegion::kPositionBaseline:
        return kPositionBaseline;
    case HintRegion::kPositionBand:
        return kPositionBand;
    case HintRegion::kFinishLine:
        return kFinishLine;
    case HintRegion::kNone:
        break;
    }
    return kNone;
}

void DrawPopupHint(const GraphFrame& frame) {
    if (!g_view.PopupHintOn) {
        g_hint = HintFade();
        return;
    }
    const HintRegion region =
        HintRegionAt(frame, g_view.MouseX, g_view.MouseY, g_mapPicture.finishLineSetting != 0);
    if (region != HintRegion::kNone && region != g_hint.shown) {
        g_hint.shown = region; // a new region's hint fades in from nothing
        g_hint.counter = 20;
    }
    // In over 20 passes while the pointer stays; out again over a region without a hint.
    g_hint.counter = std::clamp(g_hint.counter + (region == HintRegion::kNone ? 1 : -1), 0, 20);
    if (g_hint.counter >= 20) g_hint.shown = HintRegion::kNone;
    const std::vector<const char*>& lines = HintLines(g_hint.shown);
    if (lines.empty()) return;
    if (g_hint.counter > 0) RequestRedraw(kRedrawShort); // the fade runs to its end

    const int line = g_res.mainFontSize;
    int widest = 0;
    for (const char* text : lines)
        widest = std::max(widest, RenderTextWidth(g_res.mainFont, "%s", text));
    const float x = float(g_view.MouseX), top = float(g_view.MouseY - int(lines.size()) * line / 2);
    const float bottom = top + float(int(lines.size()) * line);
    const int alpha = 11 * (20 - g_hint.counter);
    RenderSetBlend(BlendMode::Alpha, alpha);
    RenderBox(x + 96, top - 2, x + 100 + float(widest) + 4, bottom + 2,
              LightScheme() ? RenderColor(255, 255, 225) : RenderColor(36, 40, 56), true);
    RenderBox(x + 96, top - 2, x + 100 + float(widest) + 4, bottom + 2,
              LightScheme() ? RenderColor(90, 90, 90) : RenderColor(150, 160, 190), false);
    for (size_t i = 0; i < lines.size(); ++i)
        RenderText(x + 100, top + float(int(i) * line), SchemeTextColor(), g_res.mainFont, "%s",
                   lines[i]);
    RenderSetBlend(BlendMode::Alpha, 255);
}

} // namespace qvtk
