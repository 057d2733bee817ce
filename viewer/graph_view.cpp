// The graph view around the curves: grid bands, names, the baseline, cursor values, the span
// read-out at the pointer, the scroll bar, and the mouse on the graphs.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/lap_compare.h"
#include "analysis/time_slip.h"
#include "data/settings.h"
#include "viewer/course_map_window.h"
#include "viewer/frame.h"
#include "viewer/graph_labels.h"
#include "viewer/graph_setting_dialog.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/lap_compare_view.h"
#include "viewer/resources.h"
#include "viewer/search_marks.h"
#include "viewer/view_state.h"

namespace qvtk {

int ValueColumnX(int slot) {
    return 10 + slot * (g_res.valueColumnWidth + g_settings.CslValWidth);
}

namespace {

int LoadedFiles() {
    int n = 1;
    for (int s = 1; s < kSlotCount; ++s)
        if (SlotOf(s).active) n = s + 1;
    return n;
}

int ScrollBarHeight(const GraphFrame&) {
    return g_view.ScrollBarOn ? 13 + g_view.ScrollSlide / 3 : 0;
}

int GraphBottomRow(const GraphFrame& f) {
    return f.clientHeight - (g_view.ScrollBarOn ? 24 : 0);
}

int NamePanelX() {
    return ValueColumnX(LoadedFiles() >= 3 ? 3 : 2);
}

ChannelCode CodeOf(int column) {
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active && IsPresent(SlotOf(s), column))
            return SlotOf(s).channels[column].code;
    return 0;
}

// Grid lines every GraphStep inside the band, filled bands with GridFill.
void DrawGrid(const GraphFrame& f) {
    bool done[kGraphCodes] = {};
    for (int i = 0; i < g_graphList.count; ++i) {
        ChannelCode code = CodeOf(g_graphList.column[i]);
        if (code >= kGraphCodes || done[code]) continue;
        done[code] = true;
        const GraphCodeSettings& g = GraphOf(code);
        if (!g.GridShown) continue;
        // (The bands' fill, GridFill, is part of the background.)
        RenderSetBlend(BlendMode::Alpha, 90);
        int64_t step = std::max<int64_t>(g.GraphStep, 1);
        int64_t lines = (int64_t(g.GraphMax) - g.GraphMin) / step;
        if (lines > 64) continue; // too dense to read
        for (int64_t v = g.GraphMin; v <= g.GraphMax; v += step) {
            float y = float(ValueY(f, code, double(v) * 0.001));
            RenderLine(float(NamePanelX()), y, float(f.clientWidth), y,
                       LightScheme() ? RenderColor(150, 150, 170) : RenderColor(70, 80, 110));
        }
    }
}

} // namespace

RenderColorValue GridFillColor() {
    return LightScheme() ? RenderColor(0, 0, 64) : RenderColor(60, 70, 110);
}

int GridFillBands(const GraphFrame& f, float* tops, float* bottoms) {
    if (!g_settings.GridFill) return 0;
    bool done[kGraphCodes] = {};
    int n = 0;
    for (int i = 0; i < g_graphList.count; ++i) {
        ChannelCode code = CodeOf(g_graphList.column[i]);
        if (code >= kGraphCodes || done[code]) continue;
        done[code] = true;
        const GraphCodeSettings& g = GraphOf(code);
        if (!g.GridShown) continue;
        tops[n] = float(ValueY(f, code, g.GraphMax * 0.001));
        bottoms[n] = float(ValueY(f, code, g.GraphMin * 0.001));
        if (bottoms[n] < tops[n]) std::swap(tops[n], bottoms[n]);
        ++n;
    }
    return n;
}

namespace {

double CursorValue(FileSlot slot, int column, int64_t sample) {
    return SampleAt(slot, column,
                    int32_t(std::clamp<int64_t>(sample, 0, SlotOf(slot).sampleCount - 1))) *
           ValueFactor(slot, column);
}

// Names in the name panel and each file's value at its cursor (or the difference to the
// sample under the pointer while Shift is held).
void DrawNamesAndValues(const GraphFrame& f) {
    RenderSetBlend(BlendMode::Alpha, 255);
    float tops[kColumnCount];
    ValueRowTops(f, tops);
    for (int i = 0; i < g_graphList.count; ++i) {
        int c = g_graphList.column[i];
        ChannelCode code = CodeOf(c);
        const float y = tops[i];
        if (y < -20 || y > f.clientHeight) continue;
        for (int s = 0; s < kSlotCount; ++s) {
            if (!SlotOf(s).active || !IsPresent(SlotOf(s), c)) continue;
            // Ctrl shows the value smoothed as the strokes are drawn with it held.
            int32_t at = CursorSample(s) + CurveSampleOffset(s, c);
            double v = g_view.CtrlHeld ? SmoothedValue(s, c, at) : CursorValue(s, c, at);
            if (g_view.ShiftHeld)
                v -= CursorValue(s, c,
                                 int32_t(SampleAtX(f, s, g_view.MouseX)) + CurveSampleOffset(s, c));
            RenderColorValue color = Brightened(FileColor(s), g_view.FileBrightness[s]);
            if (!g_graph.GraphVisible[s][c]) color = Brightened(color, 90); // hidden curve
            RenderText(float(ValueColumnX(s)), y, color, g_res.valueFont, "%s",
                       CursorValueText(s, c, v, g_view.ShiftHeld).c_str());
        }
        const char* name = SlotOf(0).active && IsPresent(SlotOf(0), c) ? SlotOf(0).channels[c].name
                                                                       : SlotOf(1).channels[c].name;
        // The name column (key V); a channel without a name goes by its column number.
        float nameX = float(NamePanelX() + 4);
        if (g_view.ChannelNameColumnOn) {
            if (name[0])
                RenderText(nameX, y, SchemeTextColor(), g_res.smallFont, "%8.8s", name);
            else
                RenderText(nameX, y, SchemeTextColor(), g_res.smallFont, "%6.2d", c);
        }
        if (DebugMode()) // column and channel code, under the name
            RenderText(nameX, y + float(g_res.smallFontSize), SchemeTextColor(), g_res.smallFont,
                       "%d:%d", c, int(code));
        // Graph position mode names the bands at the baseline itself.
        if (!g_view.GraphPositionMode && (g_view.CtrlHeld || (g_view.MouseButtons & kMouseMiddle)))
            RenderText(float(f.baseX + 12), y, SchemeTextColor(), g_res.mainFont, "%s", name);
    }
}

void DrawBaseline(const GraphFrame& f) {
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderLine(f.baseX, float(g_res.smallFontSize + 3), f.baseX,
               float(f.clientHeight - ScrollBarHeight(f)),
               LightScheme() ? RenderColor(200, 0, 0) : RenderColor(255, 80, 80));
}

void DrawTimeSpan(const GraphFrame& f) {
    const SpanReadout r = SpanReadoutAt(f);
    for (int i = 0; i < r.count; ++i)
        RenderText(r.x[i], 0, r.color[i], g_res.smallFont, "%s", r.text[i].c_str());
}

// Guide lines at 400-sample spacing (wider at strong compression) around the pointer.
void DrawGuideLines(const GraphFrame& f, int bottom) {
    float c = g_view.HorizontalCompression;
    int w = int(400 * f.zoom / c);
    if (c > 50)
        w = int(24000 * f.zoom / c);
    else if (c > 15)
        w = int(4000 * f.zoom / c);
    int h = w / 2, q = h / 2, mx = g_view.MouseX, g = g_view.GuideFade;
    RenderSetBlend(LightScheme() ? BlendMode::Alpha : BlendMode::Additive,
                   LightScheme() ? 2 * g : 4 * g);
    RenderColorValue major = LightScheme() ? RenderColor(64, 64, 64) : RenderColor(0, 0, 200);
    RenderColorValue minor = LightScheme() ? RenderColor(190, 190, 190) : RenderColor(0, 0, 92);
    for (int x : {mx - w, mx + w, mx - h, mx + h})
        RenderLine(float(x), 14, float(x), float(bottom), major);
    for (int x : {mx - (h + q), mx + (h + q), mx - q, mx + q})
        RenderLine(float(x), 14, float(x), float(bottom), minor);
}

void DrawSpanReadout(const GraphFrame& f) {
    if (g_view.RealTimePlay) return;
    int fs = g_res.smallFontSize, top = fs + 3;
    int bottom = f.clientHeight - ScrollBarHeight(f);
    int bx = int(f.baseX), mx = g_view.MouseX;
    if (g_view.ShiftHeld || g_view.rangePending) {
        RenderSetBlend(BlendMode::Alpha, 40);
        RenderBox(float(std::min(bx, mx)), float(top), float(std::max(bx, mx)), float(bottom),
                  SchemeTextColor(), true);
    }
    RenderSetBlend(LightScheme() ? BlendMode::None : BlendMode::Additive, 255);
    RenderLine(float(mx), float(top), float(bx), float(top), SchemeTextColor());
    if (mx - bx > 20) {
        RenderLine(float(mx - 8), float(fs), float(mx), float(top), SchemeTextColor());
        RenderLine(float(bx + 8), float(fs), float(bx), float(top), SchemeTextColor());
    } else if (bx - mx > 20) {
        RenderLine(float(mx + 8), float(fs), float(mx), float(top), SchemeTextColor());
        RenderLine(float(bx - 8), float(fs), float(bx), float(top), SchemeTextColor());
    }
    RenderLine(float(mx), float(top), float(mx), float(bottom), SchemeTextColor());
    DrawTimeSpan(f);
    bool dragging = g_view.MouseButtons & (kMouseLeft | kMouseRight);
    g_view.GuideFade = std::clamp(g_view.GuideFade + (dragging ? -1 : 1), 4, 32);
    DrawGuideLines(f, bottom);
}

void DrawLapMarks(const GraphFrame& f) {
    // The marks of every file in one line list, in the order of their pixel columns, so that
    // the rasterizer passes down the rows once for all files, not once per file. On a column
    // that marks of several files share they keep the files' order.
    struct Mark {
        int column;
        float x;
        RenderColorValue color;
    };
    static std::vector<Mark> marks;
    static std::vector<RenderVertex> lines;
    marks.clear();
    for (int s = 0; s < kSlotCount; ++s) {
        const Slot& slot = SlotOf(s);
        if (!slot.active) continue;
        const RenderColorValue color = FileColor(s);
        for (int k = 1; k < slot.laps.count; ++k) {
            float x = float(SampleX(f, s, slot.laps.marks[k]));
            if (x < 0 || x >= f.clientWidth) continue;
            marks.push_back({int(std::floor(double(x) + 0.5)), x, color});
        }
    }
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Mark& a, const Mark& b) { return a.column < b.column; });
    lines.clear();
    for (const Mark& m : marks) {
        RenderVertex a, b;
        a.x = b.x = m.x;
        a.y = 20;
        b.y = float(GraphBottomRow(f));
        a.color = b.color = m.color;
        lines.push_back(a);
        lines.push_back(b);
    }
    RenderSetBlend(BlendMode::Alpha, 160);
    if (!lines.empty()) RenderPrimitives(lines.data(), int(lines.size()), PrimitiveKind::LineList);
}

} // namespace

// The bar grows while the pointer is near the bottom edge; its thumb is File 1's place in
// its recording.
void DrawScrollBar(const GraphFrame& f) {
    if (!g_view.ScrollBarOn) return;
    const bool near = g_view.MouseY >= f.clientHeight - 24;
    int& slide = g_view.ScrollSlide;
    slide = std::clamp(slide + (near ? 2 : -1), 0, 32);
    const float bottom = float(f.clientHeight), width = float(f.clientWidth);
    RenderSetBlend(BlendMode::Translucent, 5 * slide + 48);
    RenderBox(0, bottom - float(slide / 3) - 13, width, bottom,
              LightScheme() ? RenderColor(120, 120, 130) : RenderColor(60, 66, 90), true);
    const Slot& file1 = SlotOf(0);
    if (!file1.active || file1.sampleCount < 1) return;
    const double count = file1.sampleCount;
    const float x = float(CursorSample(0) / count * width);
    const float half = float(5.0 * (f.baseX * width / count));
    const float top = bottom - float(slide / 3) - 11, low = bottom - 3;
    const RenderColorValue thumb =
        LightScheme() ? RenderColor(90, 110, 160) : RenderColor(150, 170, 220);
    RenderSetBlend(BlendMode::Alpha, 2 * slide + 92);
    RenderBox(x - half, top, x + half, low, thumb, true);
    RenderSetBlend(BlendMode::Alpha, LightScheme() ? 255 : std::min(2 * slide + 152, 255));
    RenderBox(x - half, top, x + half, low, SchemeTextColor(), false);
}

SpanReadout SpanReadoutAt(const GraphFrame& f) {
    SpanReadout r;
    const int bx = int(f.baseX), mx = g_view.MouseX, mid = (bx + mx) / 2;
    char text[64];
    auto dt = int64_t(std::abs(bx - mx) * 5.0 * g_view.HorizontalCompression / f.zoom);
    float timeX = 0;
    if (dt < 60000) {
        std::snprintf(text, sizeof text, DebugMode() ? "%.3fsec" : "%.2fsec", double(dt) * 0.001);
        timeX = float(mid - 20);
    } else {
        std::snprintf(text, sizeof text, "%dm%02ds", int(dt / 1000 / 60), int(dt / 1000 % 60));
        timeX = float(mid - 16);
    }
    auto add = [&](float x, RenderColorValue color) {
        r.x[r.count] = x;
        r.color[r.count] = color;
        r.text[r.count++] = text;
    };
    auto width = [&] { return float(RenderTextWidth(g_res.smallFont, "%s", text)); };
    const float gap = 6;
    add(timeX, SchemeTextColor());
    float right = timeX + width() + gap; // where the next text to the right may start
    static const int kOffsets[kSlotCount] = {-136, 40, 160};
    for (int s = 0; s < kSlotCount; ++s) {
        const Slot& slot = SlotOf(s);
        if (s > 0 && !slot.active) continue;
        if (!slot.distance.front || !slot.distance.rear) continue;
        int64_t c = slot.cursorPos / 100;
        auto m = int64_t((mx - bx) * g_view.HorizontalCompression * slot.sampleRateFactor / f.zoom +
                         double(c));
        m = std::clamp<int64_t>(m, 0, slot.sampleCount - 1);
        c = std::clamp<int64_t>(c, 0, slot.sampleCount - 1);
        double unit = 7200.0 * slot.sampleRateFactor;
        auto front =
            int64_t((double(slot.distance.front[m]) - double(slot.distance.front[c])) / unit);
        auto rear = int64_t((double(slot.distance.rear[m]) - double(slot.distance.rear[c])) / unit);
        RenderColorValue color =
            s == 0 ? (LightScheme() ? RenderColor(20, 20, 128) : RenderColor(200, 255, 200))
                   : FileColor(s);
        std::snprintf(text, sizeof text, "(%5dm:F%5dm:R)", int(front), int(rear));
        // At their own places where they fit; pushed aside where the texts would touch.
        if (s == 0) {
            add(std::min(float(mid + kOffsets[0]), timeX - gap - width()), color);
        } else {
            const float x = std::max(float(mid + kOffsets[s]), right);
            add(x, color);
            right = x + width() + gap;
        }
    }
    return r;
}

int GraphAreaLeft() {
    return NamePanelX() + 80;
}

int ValueColumnsRight() {
    return ValueColumnX(3) + 80;
}

namespace {

bool OverRegion(const GraphFrame& f) {
    int x = g_view.MouseX, y = g_view.MouseY;
    if (CourseMapHoldsMouse() || SlipZonesPanelHoldsMouse()) return true; // they float over
    if (x < GraphAreaLeft()) return true; // value and name columns, lap lists
    if (y < 32 && g_view.TabSlide > 0) return true;
    return g_view.ScrollBarOn && y >= f.clientHeight - 24;
}

// Left held: every file that follows moves scrolls by a step that grows with the distance
// from the centre; steps of files at other rates keep them on one time scale.
void ContinuousScroll(const GraphFrame& f) {
    double d = g_view.MouseX - f.clientWidth / 2;
    double c = g_view.HorizontalCompression, z = f.zoom;
    double r[kSlotCount];
    for (int s = 0; s < kSlotCount; ++s) r[s] = SlotOf(s).sampleRateFactor;
    auto own = [&](double rate) { return int64_t(rate * 100 * c / z * d * 0.05 + 0.025); };
    int64_t step[kSlotCount];
    if (r[1] >= r[0]) {
        step[0] = own(r[0]);
        step[1] = int64_t(r[1] / r[0]) * step[0];
        step[2] = int64_t(r[2] / r[0]) * step[0];
    } else {
        step[1] = own(r[1]);
        step[0] = int64_t(r[0] / r[1]) * step[1];
        step[2] = own(r[2]);
    }
    for (int s = 0; s < kSlotCount; ++s) {
        Slot& slot = SlotOf(s);
        if (!slot.active || !g_view.FileMoveFlag[s]) continue;
        slot.cursorPos =
            std::clamp<int64_t>(slot.cursorPos + step[s], 0, int64_t(slot.sampleCount - 1) * 100);
        g_view.ScrollTarget[s] = -1;
    }
}

void ScrollBarJump(const GraphFrame& f) {
    const Slot& first = SlotOf(0);
    if (!first.active || f.clientWidth < 1) return;
    int64_t target1 = int64_t(g_view.MouseX) * first.sampleCount / f.clientWidth;
    target1 = std::clamp<int64_t>(target1, 0, first.sampleCount - 1);
    int32_t cursor1 = CursorSample(0);
    g_view.ScrollTarget[0] = int32_t(target1);
    for (int s = 1; s < kSlotCount; ++s) {
        const Slot& slot = SlotOf(s);
        if (!slot.active && !g_view.FileMoveFlag[s]) continue;
        double t = double(target1 - cursor1) * slot.sampleRateFactor / first.sampleRateFactor +
                   CursorSample(s);
        g_view.ScrollTarget[s] = int32_t(std::clamp<int64_t>(int64_t(t), 0, slot.sampleCount));
    }
}

// The drawn column whose value row holds y, or -1.
int ValueRowAt(const GraphFrame& f, int y) {
    float tops[kColumnCount];
    ValueRowTops(f, tops);
    for (int i = 0; i < g_graphList.count; ++i)
        if (y >= tops[i] && y < tops[i] + ValueRowHeight()) return g_graphList.column[i];
    return -1;
}

void ToggleAll(int32_t* flags, int count, int32_t from) {
    for (int i = 0; i < count; ++i) flags[i] = !from;
}

} // namespace

std::string CursorValueText(FileSlot slot, int column, double value, bool difference) {
    const Slot& s = SlotOf(slot);
    const ChannelInfo& ch = s.channels[column];
    if (ch.code == kCodeTimeSlip) return TimeSlipText(value);
    char text[64];
    bool laf = s.file.fileKind == kFileFamily3 && (ch.code == 11 || ch.code == 12);
    if (laf) {
        // The air-fuel inputs show the unit of their sensor type.
        int type = s.header.inputTypes[ch.code - 11];
        const char* unit = type == 0 ? "A/F" : type == 1 ? "V" : "";
        std::snprintf(text, sizeof text, difference ? "%+7.2f%s" : "%7.2f%s", value, unit);
    } else if (difference) {
        std::snprintf(text, sizeof text, "%+7.2f%s", value, ch.unit);
    } else {
        static const char* const kFormats[4] = {"%7.0f%s", "%7.1f%s", "%7.2f%s", "%7.3f%s"};
        std::snprintf(text, sizeof text, kFormats[std::min<int>(ch.decimals, 3)], value, ch.unit);
    }
    return text;
}

int ValueColumnAt(const GraphFrame& f, int x, int y, int& column) {
    int slot = -1;
    for (int s = 0; s < kSlotCount; ++s) {
        int left = ValueColumnX(s);
        if (SlotOf(s).active && x >= left &&
            x < left + g_res.valueColumnWidth + g_settings.CslValWidth)
            slot = s;
    }
    column = slot < 0 ? -1 : ValueRowAt(f, y);
    return column < 0 ? -1 : slot;
}

bool ValueColumnClick(const GraphFrame& f, int pressed) {
    bool positionMode = g_view.GraphPositionMode != 0;
    if (!pressed || !(NormalGraphView() || positionMode)) return false;
    int c = -1;
    const int slot = ValueColumnAt(f, g_view.MouseX, g_view.MouseY, c);
    if (slot < 0) return false;
    ChannelCode code = CodeOf(c);
    int32_t* visible = g_graph.GraphVisible[slot];
    if (pressed & kMouseLeft) {
        if (g_view.CtrlHeld) {
            for (int s = 0; s < kSlotCount; ++s) SlotOf(s).channelFlags[c] &= ~kChannelShown;
        } else if (g_view.ShiftHeld) {
            ToggleAll(visible, kColumnCount, visible[c]);
        } else {
            visible[c] = !visible[c];
        }
    } else if (positionMode && (pressed & kMouseRight)) {
        GraphCodeSettings& g = GraphOf(code); // to the upper fixed rows
        g.GraphTop = 16;
        g.GraphBottom = 48;
        DeriveScaleFromBand(g);
    } else if (positionMode && (pressed & kMouseMiddle)) {
        g_graph.GraphOrder[c] = c; // its own band again
    } else if (pressed & kMouseRight) {
        if (g_view.CtrlHeld) {
            OpenGraphSettingDialog(c);
        } else if (g_view.ShiftHeld) {
            int32_t from = GraphOf(code).GridShown;
            for (GraphCodeSettings& g : g_graph.code) g.GridShown = !from;
        } else {
            GraphOf(code).GridShown = !GraphOf(code).GridShown;
        }
    } else if (pressed & kMouseMiddle) {
        g_view.CourseColorChannel[slot] = c;
    }
    RebuildGraphList();
    RequestRedraw(kRedrawFull);
    return true;
}

// The Tab flash: File 1's marked samples as points on its drawn curves, fading from 255 and
// gone below 100. Dense marks give one point per pixel column.
void DrawMarkerFlash(const GraphFrame& f) {
    int& level = g_view.MarkerFlash;
    if (level < 100) {
        level = 0;
        return;
    }
    const Slot& s = SlotOf(0);
    RenderSetBlend(BlendMode::Alpha, 255);
    const RenderColorValue color = (MarkHighlightColor() & 0x00FFFFFFu) | uint32_t(level) << 24;
    const double step = std::max<double>(f.pixelsPerSample[0], 1.0);
    int64_t prev = SampleAtX(f, 0, -step);
    for (double x = 0; s.active && x <= f.clientWidth; x += step) {
        const int64_t si = std::min<int64_t>(SampleAtX(f, 0, x), s.sampleCount - 1);
        if (si <= prev) continue;
        const bool marked = SamplesMarked(0, prev + 1, si);
        prev = si;
        if (!marked) continue;
        const float px = float(SampleX(f, 0, double(si)));
        for (int i = 0; i < g_graphList.count; ++i) {
            const int c = g_graphList.column[i];
            if (!ColumnDrawn(0, c)) continue;
            const float y = float(ValueY(f, CodeOf(c), CursorValue(0, c, si)));
            RenderBox(px - 2, y - 2, px + 2, y + 2, color, true);
        }
    }
    level -= 6;
    RequestRedraw(kRedrawShort); // the fade runs to its end
}

void DrawGraphView(const GraphFrame& frame) {
    DrawGrid(frame);
    DrawSearchMarks(frame);
    DrawCurves(frame);
    DrawMarkerFlash(frame);
    DrawGridValueLabels(frame);
    if (!g_view.GraphPositionMode) DrawLapMarks(frame);
    DrawBaseline(frame);
    if (g_view.GraphPositionMode) DrawBaselineLabels(frame);
    if (NormalGraphView()) DrawSpanReadout(frame);
    DrawNamesAndValues(frame);
}

void GraphMouse(const GraphFrame& frame) {
    int buttons = g_view.MouseButtons;
    if (!(buttons & kMouseLeft)) g_view.ScrollBarDrag = 0;
    if (!(buttons & kMouseRight)) g_view.ScalingAnchorY = -1;
    if (!NormalGraphView()) return;
    bool onBar =
        g_view.ScrollBarOn && g_view.MouseY >= frame.clientHeight - 24 && !CourseMapHoldsMouse();
    if ((buttons & kMouseLeft) && (onBar || g_view.ScrollBarDrag)) {
        g_view.ScrollBarDrag = 1;
        ScrollBarJump(frame);
        return;
    }
    if (OverRegion(frame)) return;
    if (buttons & kMouseLeft) ContinuousScroll(frame);
    if (buttons & kMouseRight) {
        // The anchor is kept exact: it reaches the pointer, and the scaling settles.
        float& anchor = g_view.ScalingAnchorY;
        if (anchor < 0) anchor = float(g_view.MouseY);
        float& c = g_view.HorizontalCompression;
        c = std::clamp(c + (float(g_view.MouseY) - anchor) * c * 0.001f, 0.1f, 1000.0f);
        anchor += (float(g_view.MouseY) - anchor) * 0.05f;
    }
}

} // namespace qvtk
