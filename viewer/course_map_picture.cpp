#include "viewer/course_map_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/settings.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/slip_map.h"
#include "viewer/view_state.h"

namespace qvtk {

CourseMapPicture g_mapPicture;

namespace {

constexpr int kBatchVertices = 4092; // whole triangles and whole line pairs
constexpr int32_t kFirstFixSearch = 3000;

RenderVertex g_batch[kBatchVertices];
int g_batchCount = 0;
PrimitiveKind g_batchKind = PrimitiveKind::TriangleList;

void FlushBatch() {
    if (g_batchCount > 0) RenderPrimitives(g_batch, g_batchCount, g_batchKind);
    g_batchCount = 0;
}

void AddVertex(float x, float y, RenderColorValue color) {
    RenderVertex& v = g_batch[g_batchCount++];
    v.x = x;
    v.y = y;
    v.color = color;
}

// Room for `n` more vertices of a kind; a full or different batch is sent first.
void Reserve(int n, PrimitiveKind kind) {
    if (g_batchKind != kind || g_batchCount + n > kBatchVertices) FlushBatch();
    g_batchKind = kind;
}

// Samples whose buffers can be read.
int32_t ReadableSamples(const Slot& s) {
    return std::max(0, std::min(s.sampleCount, s.capacity));
}

int32_t FirstSegmentOfLap(FileSlot slot, int32_t v) {
    return v - (v - 1) % MarksPerLap(slot);
}

bool HasFixes(const Slot& s) {
    return s.active && s.gps.status && s.gps.lon && s.gps.lat;
}

uint64_t Mix(uint64_t h, int64_t v) {
    return (h ^ uint64_t(v)) * 0x100000001B3ull;
}

// The column that colours the map, -1 for none (the view's choice 0 is none).
int ColouringColumn(FileSlot slot) {
    if (slot == 0 && g_mapPicture.imageColumn >= 0 &&
        IsPresent(SlotOf(0), g_mapPicture.imageColumn))
        return g_mapPicture.imageColumn;
    int c = g_view.CourseColorChannel[slot];
    return c > 0 && IsPresent(SlotOf(slot), c) ? c : -1;
}

void BuildLabel() {
    const int file = g_view.CurrentFile;
    const int c = ColouringColumn(file);
    if (c < 0) {
        g_mapPicture.label.clear();
        return;
    }
    char text[48];
    std::snprintf(text, sizeof text, "File %d:%.15s", file + 1, SlotOf(file).channels[c].name);
    g_mapPicture.label = text;
}

// Course map drawing goes translucent onto a surface with alpha, additive onto one without.
void TranslucentBlend(int alpha) {
    RenderSetBlend(g_res.courseMapNoAlpha ? BlendMode::Additive : BlendMode::Translucent, alpha);
}
void OpaqueBlend() {
    RenderSetBlend(g_res.courseMapNoAlpha ? BlendMode::Additive : BlendMode::Alpha, 255);
}

void ClearPicture() {
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(g_res.courseMapNoAlpha ? 0xFF000000u : 0u);
    for (uint16_t& row : g_mapPicture.trackCells) row = 0;
}

void DrawLayoutPicture(bool coloured) {
    if (g_res.courseMap <= 0) return;
    const CourseLayout& c = g_courseLayout;
    const int32_t n = std::clamp(c.pointCount, 1, kMaxCoursePoints);
    RenderSetTarget(g_res.courseMap);
    ClearPicture();
    RenderSetBlend(BlendMode::Alpha, 255);
    float x = 0, y = 0;
    for (int32_t i = 0; i <= n; ++i) { // a halo keeps the points readable over the curves
        CoursePointPixel(i, x, y);
        RenderCircle(x, y, 6, MapBackgroundColor(), true);
        MarkTrack(x, y, 7);
    }
    const int file = g_view.CurrentFile;
    const int column = coloured ? ColouringColumn(file) : -1;
    static int32_t samples[kCoursePointEntries];
    if (column >= 0) CoursePointsToSamples(file, SelectedLap(file), n + 1, samples);
    const int32_t* sec = LapStateOf(0).sectors.sec;
    const bool boundaries = MarksPerLap(0) == 1;
    TranslucentBlend(127);
    int j = 1;
    for (int32_t i = 0; i <= n; ++i) {
        CoursePointPixel(i, x, y);
        if (boundaries && i == sec[j]) {
            OpaqueBlend();
            RenderCircle(x, y, 6, MapMarkerColor(), true);
            TranslucentBlend(127);
            j = std::min(j + 1, 8);
            continue;
        }
        RenderColorValue color = MapMarkerColor();
        if (column >= 0)
            color = MapPaletteColor(
                PaletteEntry(file, column, SampleAt(file, column, samples[i]), 255));
        RenderCircle(x, y, 4, color, true);
    }
    OpaqueBlend();
    CoursePointPixel(0, x, y);
    RenderCircle(x, y, 7, MapMarkerColor(), true);
    RenderSetTarget(kBackBuffer);
    BuildLabel();
    g_mapPicture.layoutDirty = false;
}

void DrawControlLine() {
    const ControlLine& line = SlotOf(0).controlLine;
    const MapPixel a = ProjectGpsFix(g_gpsFrame, line.lonA, line.latA);
    const MapPixel b = ProjectGpsFix(g_gpsFrame, line.lonB, line.latB);
    OpaqueBlend();
    if (a.x != b.x || a.y != b.y)
        RenderLine(float(a.x), float(a.y), float(b.x), float(b.y), ControlLineColor(), 3);
    else
        RenderCircle(float(a.x), float(a.y), 3, ControlLineColor(), true);
}

// Restarts every slot's track at the start of its selected lap.
void RestartTracks() {
    ClearPicture();
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        const int32_t f = FirstSegmentOfLap(s, SelectedLap(s));
        g_mapPicture.gpsLap[s] = SlotOf(s).active ? f : -1;
        g_mapPicture.gpsLastSample[s] = LapMark(s, f - 1);
        g_mapPicture.gpsHavePrev[s] = false;
    }
}

// Draws the next increment of a slot's track: lines in the file's colour when several files
// are loaded, otherwise triangles coloured by File 1's colouring channel. True when it drew.
bool DrawTrackIncrement(FileSlot slot, bool lines) {
    const Slot& s = SlotOf(slot);
    if (!HasFixes(s)) return false;
    const int32_t v = SelectedLap(slot);
    const int32_t f = FirstSegmentOfLap(slot, v);
    const int32_t end = std::min(LapMark(slot, f - 1 + MarksPerLap(slot)), ReadableSamples(s) - 1);
    int32_t from = std::max(g_mapPicture.gpsLastSample[slot], 0);
    if (from > end) return false;
    bool& havePrev = g_mapPicture.gpsHavePrev[slot];
    int32_t& px = g_mapPicture.gpsPrevX[slot];
    int32_t& py = g_mapPicture.gpsPrevY[slot];
    if (!havePrev) {
        const int32_t limit = std::min(end, from + kFirstFixSearch);
        while (from < limit && s.gps.status[from] == 0) ++from;
    }
    const int32_t stop = std::min<int64_t>(int64_t(end) + 1, int64_t(from) + kGpsIncrementSamples);
    const int column = ColouringColumn(0);
    const RenderColorValue fileColor = FileColor(slot);
    RenderColorValue prevColor = 0;
    if (lines)
        TranslucentBlend(255);
    else
        OpaqueBlend();
    for (int32_t i = from; i < stop; ++i) {
        const MapPixel p = ProjectGpsFix(g_gpsFrame, s.gps.lon[i], s.gps.lat[i]);
        if (!p.inside) {
            havePrev = false;
            continue;
        }
        if (!havePrev || p.x != px || p.y != py) MarkTrack(float(p.x), float(p.y), 6);
        if (lines) {
            if (havePrev && (p.x != px || p.y != py)) {
                // Width 2: the segment and its neighbour one pixel across the main direction.
                const bool steep = std::abs(p.y - py) > std::abs(p.x - px);
                const float ox = steep ? 1.0f : 0.0f, oy = steep ? 0.0f : 1.0f;
                Reserve(4, PrimitiveKind::LineList);
                AddVertex(float(px), float(py), fileColor);
                AddVertex(float(p.x), float(p.y), fileColor);
                AddVertex(float(px) + ox, float(py) + oy, fileColor);
                AddVertex(float(p.x) + ox, float(p.y) + oy, fileColor);
            }
        } else {
            const RenderColorValue color =
                column >= 0 ? MapPaletteColor(PaletteEntry(0, column, SampleAt(0, column, i), 254))
                            : fileColor;
            // Samples between GPS records repeat the position: the same triangle again.
            if (!havePrev || p.x != px || p.y != py || color != prevColor) {
                Reserve(3, PrimitiveKind::TriangleList);
                AddVertex(float(p.x), float(p.y) - 5.5f, color);
                AddVertex(float(p.x) - 4.0f, float(p.y) + 2.5f, color);
                AddVertex(float(p.x) + 4.0f, float(p.y) + 2.5f, color);
                prevColor = color;
            }
        }
        px = p.x;
        py = p.y;
        havePrev = true;
    }
    FlushBatch();
    g_mapPicture.gpsLastSample[slot] = stop;
    if (stop <= end) g_mapPicture.gpsPending = true;
    return true;
}

uint64_t PictureSignature() {
    uint64_t h = 0xCBF29CE484222325ull;
    h = Mix(h, MapShowsGps());
    h = Mix(h, g_settings.colortype);
    h = Mix(h, g_res.courseMap);
    for (const Slot& s : g_session.slots) h = Mix(Mix(h, s.active), s.sampleCount);
    if (MapShowsGps()) {
        const ControlLine& l = SlotOf(0).controlLine;
        h = Mix(Mix(Mix(Mix(h, l.latA), l.lonA), l.latB), l.lonB);
        h = Mix(Mix(Mix(h, g_gpsFrame.lonMin), g_gpsFrame.nlatMin), g_gpsFrame.halfX);
        h = Mix(h, ColouringColumn(0));
        return h;
    }
    const int file = g_view.CurrentFile;
    // The lap matters only to the colours: a plain course is not drawn again on every lap.
    const int column = ColouringColumn(file);
    h = Mix(Mix(Mix(h, file), column), column >= 0 ? SelectedLap(file) : 0);
    h = Mix(Mix(h, g_courseLayout.courseOffset), g_courseLayout.pointCount);
    for (int32_t b : LapStateOf(0).sectors.sec) h = Mix(h, b);
    return Mix(h, MarksPerLap(0));
}

void MarkLayoutDirty() {
    g_mapPicture.layoutDirty = true;
}

} // namespace

void MarkTrack(float x, float y, float radius) {
    constexpr int kCells = kCourseMapSize / 32;
    const int x0 = std::clamp(int(x - radius) / 32, 0, kCells - 1);
    const int x1 = std::clamp(int(x + radius) / 32, 0, kCells - 1);
    const int y0 = std::clamp(int(y - radius) / 32, 0, kCells - 1);
    const int y1 = std::clamp(int(y + radius) / 32, 0, kCells - 1);
    for (int cy = y0; cy <= y1; ++cy)
        for (int cx = x0; cx <= x1; ++cx) g_mapPicture.trackCells[cy] |= uint16_t(1u << cx);
}

void ResetCourseMapPicture() {
    g_mapPicture = CourseMapPicture();
    SetCourseMapRedrawHook(MarkLayoutDirty);
}

bool MapShowsGps() {
    return g_session.file1HasGps;
}

int32_t SelectedLap(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    const int32_t cursor = CursorSample(slot);
    int32_t v = 1;
    while (v < s.laps.count && s.laps.marks[v] <= cursor) ++v;
    return v;
}

int PaletteEntry(FileSlot slot, int column, int32_t value, int top) {
    const Slot& s = SlotOf(slot);
    const ChannelCode code = s.channels[column].code;
    if (code >= kCodeTableSize) return 0;
    const int64_t lo = s.range.minByCode[code], hi = s.range.maxByCode[code];
    const int64_t entry = (int64_t(value) - lo) * top / std::max<int64_t>(hi - lo, 1);
    return int(std::clamp<int64_t>(entry, 0, top));
}

RenderColorValue MapPaletteColor(int entry) {
    // Blue through cyan, green and yellow to red: low values cool, high values hot.
    static const auto table = [] {
        struct Table {
            RenderColorValue c[256];
        } t{};
        for (int i = 0; i < 256; ++i) {
            const int q = i / 64, r = (i % 64) * 4;
            int red = 0, green = 0, blue = 0;
            switch (q) {
            case 0:
                green = r, blue = 255;
                break;
            case 1:
                green = 255, blue = 255 - r;
                break;
            case 2:
                red = r, green = 255;
                break;
            default:
                red = 255, green = 255 - r;
                break;
            }
            t.c[i] = RenderColor(red, green, blue);
        }
        return t;
    }();
    return table.c[std::clamp(entry, 0, 255)];
}

RenderColorValue MapBackgroundColor() {
    return LightScheme() ? RenderColor(244, 244, 240) : RenderColor(0, 0, 0);
}

RenderColorValue MapMarkerColor() {
    return LightScheme() ? RenderColor(40, 40, 40) : RenderColor(230, 230, 230);
}

RenderColorValue ControlLineColor() {
    return LightScheme() ? RenderColor(220, 0, 0) : RenderColor(255, 60, 60);
}

void CoursePointPixel(int32_t p, float& x, float& y) {
    const CourseLayout& c = g_courseLayout;
    p = std::clamp(p, 0, kCoursePointEntries - 1);
    x = float(int32_t(0.96f * c.pointX[p] + 256.0f));
    y = float(int32_t(0.96f * c.pointY[p] + 256.0f));
}

int32_t CoursePointAtCursor(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    const int32_t cursor = CursorSample(slot);
    if (!s.active || !s.distance.selected || cursor < 0 || cursor >= ReadableSamples(s)) return -1;
    const int32_t n = std::max(g_courseLayout.pointCount, 1);
    const int32_t f = FirstSegmentOfLap(slot, SelectedLap(slot));
    int64_t step = 0; // distance per course point, as CoursePointToSample counts it
    for (int j = 0; j < MarksPerLap(slot); ++j) step += SegmentDistance(slot, f + j) / n;
    if (step < 1) return -1;
    return int32_t(std::min<int64_t>(s.distance.selected[cursor] / step, n));
}

void DrawCourseLayout() {
    if (MapShowsGps()) {
        DrawGpsTrack(1);
        return;
    }
    DrawLayoutPicture(true);
}

void DrawGpsTrack(int mode) {
    if (mode == 2) {
        PrepareGpsFrame();
        mode = 1;
    }
    if (g_res.courseMap <= 0 || SlotOf(0).sampleCount < 10) return;
    RenderSetTarget(g_res.courseMap);
    bool restart = mode == 1;
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        const int32_t lap = SlotOf(s).active ? FirstSegmentOfLap(s, SelectedLap(s)) : -1;
        if (lap != g_mapPicture.gpsLap[s]) restart = true;
    }
    // A cleared picture holds no track of any file, so every file starts again.
    if (restart) RestartTracks();
    const bool lines = SlotOf(1).active || SlotOf(2).active;
    g_mapPicture.gpsPending = false;
    bool drew = false;
    for (FileSlot s = 0; s < kSlotCount; ++s) drew = DrawTrackIncrement(s, lines) || drew;
    if (restart || drew) DrawControlLine(); // kept on top of the track
    RenderSetTarget(kBackBuffer);
    BuildLabel();
    g_mapPicture.layoutDirty = false;
}

void RedrawSectorMarks() {
    int32_t* file1 = LapStateOf(0).sectors.sec;
    int32_t* file2 = LapStateOf(1).sectors.sec;
    for (int s = 1; s <= 7; ++s) file2[s] = file1[s];
    file1[0] = file2[0] = 0;
    if (MapShowsGps()) {
        DrawGpsTrack(1);
        return;
    }
    DrawLayoutPicture(false);
    g_mapPicture.shownSignature = PictureSignature();
}

void RefreshCourseMapPicture() {
    if (RefreshSlipMapPicture()) return; // the lap comparison colours the map
    const uint64_t signature = PictureSignature();
    const bool changed = signature != g_mapPicture.shownSignature || g_mapPicture.layoutDirty;
    g_mapPicture.shownSignature = signature;
    if (MapShowsGps()) {
        DrawGpsTrack(changed ? 1 : 0);
        // The rest of the track comes in the next passes.
        if (g_mapPicture.gpsPending && g_view.RedrawCountdown < kRedrawShort)
            RequestRedraw(kRedrawShort);
    } else if (changed) {
        DrawLayoutPicture(true);
    }
}

bool MapClickToCursor(float mouseX, float mouseY, const CourseMapView& view) {
    bool moved = false;
    if (!MapShowsGps()) {
        const int32_t p = NearestCoursePoint(mouseX, mouseY, view);
        if (p < 0) return false;
        for (FileSlot s = 0; s < kSlotCount; ++s) {
            if (!SlotOf(s).active || !g_view.FileMoveFlag[s]) continue;
            // Within the lap the file shows: a point near the start never leads into another.
            const int32_t sample = CoursePointToLapSample(p, s, SelectedLap(s));
            SlotOf(s).cursorPos = int64_t(sample) * 100;
            g_view.ScrollTarget[s] = -1;
            moved = true;
        }
    } else {
        for (FileSlot s = 0; s < kSlotCount; ++s) {
            const Slot& slot = SlotOf(s);
            if (!HasFixes(slot)) continue;
            const int32_t v = SelectedLap(s);
            const int32_t from = std::max(LapMark(s, v - 1), 0);
            const int32_t to = std::min(LapMark(s, v), ReadableSamples(slot) - 1);
            float best = 16.0f * view.zoom;
            int32_t found = -1;
            for (int32_t i = from; i <= to; ++i) {
                if (slot.gps.status[i] < 1 || slot.gps.status[i] > 5) continue;
                const MapPixel p = ProjectGpsFix(g_gpsFrame, slot.gps.lon[i], slot.gps.lat[i]);
                const float dx = float(p.x) * view.zoom + view.panX - mouseX;
                const float dy = float(p.y) * view.zoom + view.panY - mouseY;
                const float d = std::sqrt(dx * dx + dy * dy);
                if (d < best) {
                    best = d;
                    found = i;
                    if (d < 2.0f) break;
                }
            }
            if (found < 0) continue;
            SlotOf(s).cursorPos = int64_t(found) * 100;
            g_view.ScrollTarget[s] = -1;
            moved = true;
        }
    }
    if (moved) RequestRedraw(kRedrawFull);
    return moved;
}

void BeginFinishLineSetting() {
    g_mapPicture.finishLineSetting = MapShowsGps() ? 1 : 0;
}

void SetMapEditing(bool on) {
    if (on) {
        BeginFinishLineSetting();
    } else {
        g_mapPicture.finishLineSetting = 0;
    }
    // Sector boundaries are course points: only a course layout with one mark a lap has them.
    g_mapPicture.sectorEditing = on && !MapShowsGps() && MarksPerLap(0) == 1;
}

bool FinishLineClick(float mouseX, float mouseY, const CourseMapView& view) {
    if (!g_mapPicture.finishLineSetting || !MapShowsGps() || !(view.zoom > 0)) return false;
    const float x = (mouseX - view.panX) / view.zoom, y = (mouseY - view.panY) / view.zoom;
    const GpsFix fix = GpsFixFromPixel(g_gpsFrame, x, y);
    if (g_mapPicture.finishLineSetting == 1) {
        g_mapPicture.finishLineA = fix;
        g_mapPicture.finishLineSetting = 2;
        return true;
    }
    const GpsFix a = g_mapPicture.finishLineA;
    for (Slot& s : g_session.slots) s.controlLine = ControlLine{a.lat, a.lon, fix.lat, fix.lon};
    g_mapPicture.finishLineSetting = 0;
    DetectGpsLaps();
    for (FileSlot s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).active) ResetLapChecks(s);
    ComputeLapStatistics();
    RequestRedraw(kRedrawFull);
    return true;
}

bool TrackTouches(float left, float top, float right, float bottom) {
    constexpr int kCells = kCourseMapSize / 32;
    const int x0 = std::clamp(int(std::floor(left)) / 32, 0, kCells - 1);
    const int x1 = std::clamp(int(std::ceil(right) - 1) / 32, 0, kCells - 1);
    const int y0 = std::clamp(int(std::floor(top)) / 32, 0, kCells - 1);
    const int y1 = std::clamp(int(std::ceil(bottom) - 1) / 32, 0, kCells - 1);
    for (int cy = y0; cy <= y1; ++cy)
        for (int cx = x0; cx <= x1; ++cx)
            if (g_mapPicture.trackCells[cy] >> cx & 1) return true;
    return false;
}

namespace {

// A line of the box, moved left from x = 16 as far as it needs to end inside the box.
void BoxLine(float y, RenderColorValue color, const char* format, double time, double length) {
    char text[64];
    std::snprintf(text, sizeof text, format, time, length);
    const int width = RenderTextWidth(g_res.smallFont, "%s", text);
    RenderText(float(std::clamp(118 - width, 1, 16)), y, color, g_res.smallFont, "%s", text);
}

} // namespace

void DrawLapDistanceBox() {
    if (g_res.lapBox <= 0) return;
    RenderSetTarget(g_res.lapBox);
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(0, 0, 120, 80, MapBackgroundColor(), true);
    RenderSetBlend(BlendMode::Alpha, 255);
    const int lh = g_res.smallFontSize;
    RenderText(16, 10, SchemeTextColor(), g_res.smallFont, "  Time       Length");
    double time[2] = {}, length[2] = {};
    for (FileSlot f = 0; f < 2; ++f) {
        const Slot& s = SlotOf(f);
        if (f > 0 && !s.active) break;
        const int32_t cursor = std::clamp(CursorSample(f), 0, std::max(ReadableSamples(s) - 1, 0));
        const int32_t lapStart = LapMark(f, FirstSegmentOfLap(f, SelectedLap(f)) - 1);
        time[f] = double(cursor - lapStart) * 0.005;
        length[f] = s.distance.selected && ReadableSamples(s) > 0
                        ? double(s.distance.selected[cursor]) / 7200.0
                        : 0.0;
        BoxLine(float(f == 0 ? lh + 12 : 2 * lh + 14), FileColor(f), "%6.2fs    %5.0fm", time[f],
                length[f]);
        if (f == 1)
            BoxLine(float(3 * lh + 16), SchemeTextColor(), "%+6.2fs    %+5.1fm",
                    std::fabs(time[0]) - std::fabs(time[1]),
                    std::fabs(length[0]) - std::fabs(length[1]));
    }
    RenderSetTarget(kBackBuffer);
}

} // namespace qvtk
