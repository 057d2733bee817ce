#include "viewer/xy_plot_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/channel_list.h"
#include "analysis/xy_plot.h"
#include "data/settings.h"
#include "platform/parallel.h"
#include "viewer/course_map_picture.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/point_canvas.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

XyPlotViewState g_xyPlotView;

namespace {

constexpr double kZoomStep = 1.25, kZoomMax = 1000;
constexpr double kDegreeUnits = 6000000.0; // GPS positions are in 1/100000 minute

PointCanvas g_canvas[2]; // File 1, File 2: painted on two threads

// The plot's mapping of one drawing: value units to pixels.
struct XyMapping {
    bool gps = false;
    int x = -1, y = -1, z = -1;            // columns (unused with gps, z always)
    XyScale sx, sy, sz;                    // full ranges
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1; // visible ranges
    XyPlotBox box;
    double PixelX(double v) const {
        return box.left + (v - x0) * (box.right - box.left) / (x1 - x0);
    }
    double PixelY(double v) const {
        return box.bottom - (v - y0) * (box.bottom - box.top) / (y1 - y0);
    }
};

bool UsableFix(const Slot& s, int32_t i) {
    return s.gps.status && i >= 0 && i < std::min(s.sampleCount, s.capacity) &&
           s.gps.status[i] >= 1 && s.gps.status[i] <= 5;
}

// The range of the GPS fixes of File 1 and File 2, longitude scaled to the latitude's metres.
bool GpsRanges(XyScale& sx, XyScale& sy) {
    double lonMin = 0, lonMax = 0, latMin = 0, latMax = 0;
    bool any = false;
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Slot& s = SlotOf(slot);
        if (s.file.fileKind == kFileNone || !s.gps.status) continue;
        const int32_t n = std::min(s.sampleCount, s.capacity);
        for (int32_t i = 0; i < n; ++i) {
            if (s.gps.status[i] < 1 || s.gps.status[i] > 5) continue;
            const double lon = s.gps.lon[i], lat = s.gps.lat[i];
            lonMin = any ? std::min(lonMin, lon) : lon;
            lonMax = any ? std::max(lonMax, lon) : lon;
            latMin = any ? std::min(latMin, lat) : lat;
            latMax = any ? std::max(latMax, lat) : lat;
            any = true;
        }
    }
    if (!any) return false;
    sx = {lonMin, std::max(lonMax, lonMin + 1), 0, true};
    sy = {latMin, std::max(latMax, latMin + 1), 0, true};
    return true;
}

XyMapping MakeMapping(int clientWidth, int clientHeight) {
    XyMapping m;
    m.box = XyPlotBoxFor(clientWidth, clientHeight);
    m.gps = g_xyPlot.gpsMap && MapShowsGps();
    const LayoutExtras& e = g_layoutExtras;
    m.z = g_settings.XYPlot_Zch;
    m.sz = ResolveXyScale({e.Gzmin, e.Gzmax, e.Gzstp}, m.z);
    if (m.gps && !GpsRanges(m.sx, m.sy)) m.gps = false; // no fix to show: the channels then
    if (m.gps) {
        // Equal metres per pixel across and down: the longitude shrinks with the latitude.
        const double lat = 0.5 * (m.sy.min + m.sy.max) / kDegreeUnits * M_PI / 180.0;
        const double k = std::max(std::cos(lat), 0.01);
        const double w = (m.sx.max - m.sx.min) * k, h = m.sy.max - m.sy.min;
        const double bw = std::max(m.box.right - m.box.left, 1),
                     bh = std::max(m.box.bottom - m.box.top, 1);
        const double perPixel = std::max(w / bw, h / bh);
        const double cx = 0.5 * (m.sx.min + m.sx.max), cy = 0.5 * (m.sy.min + m.sy.max);
        m.sx.min = cx - perPixel * bw / k / 2, m.sx.max = cx + perPixel * bw / k / 2;
        m.sy.min = cy - perPixel * bh / 2, m.sy.max = cy + perPixel * bh / 2;
    } else {
        m.x = g_settings.XYPlot_Xch;
        m.y = g_settings.XYPlot_Ych;
        m.sx = ResolveXyScale({e.Gxmin, e.Gxmax, e.Gxstp}, m.x);
        m.sy = ResolveXyScale({e.Gymin, e.Gymax, e.Gystp}, m.y);
    }
    const double zoom = std::clamp(g_xyPlotView.zoom, 1.0, kZoomMax);
    const double hw = (m.sx.max - m.sx.min) / (2 * zoom), hh = (m.sy.max - m.sy.min) / (2 * zoom);
    const double cx = zoom > 1 ? g_xyPlotView.centerX : 0.5 * (m.sx.min + m.sx.max);
    const double cy = zoom > 1 ? g_xyPlotView.centerY : 0.5 * (m.sy.min + m.sy.max);
    m.x0 = cx - hw, m.x1 = cx + hw, m.y0 = cy - hh, m.y1 = cy + hh;
    return m;
}

// The canvas's colour table: the 256 palette colours of the colour channel, then File 1's and
// File 2's own colours for a file without it.
constexpr int kPlainColor = 256;

std::vector<uint32_t> CanvasColors() {
    std::vector<uint32_t> colors(258);
    for (int i = 0; i < 256; ++i) colors[size_t(i)] = MapPaletteColor(i) | 0xFF000000u;
    for (int f = 0; f < 2; ++f) colors[size_t(kPlainColor + f)] = FileColor(f) | 0xFF000000u;
    return colors;
}

// Colour channel values to palette entries: (z - min) x perUnit, limited to 0 .. 255.
struct ZEntries {
    double min = 0, perUnit = 0;
};

ZEntries MakeZEntries(const XyMapping& m) {
    return {m.sz.min, 255.0 / std::max(m.sz.max - m.sz.min, 1.0)};
}

// Value units to pixels as one multiply and add per axis.
struct Affine {
    double x0, kx, y0, ky;
    Affine(const XyMapping& m)
        : x0(m.box.left - m.x0 * (m.box.right - m.box.left) / (m.x1 - m.x0)),
          kx((m.box.right - m.box.left) / (m.x1 - m.x0)),
          y0(m.box.bottom + m.y0 * (m.box.bottom - m.box.top) / (m.y1 - m.y0)),
          ky(-(m.box.bottom - m.box.top) / (m.y1 - m.y0)) {}
};

uint64_t Mix(uint64_t h, uint64_t v) {
    return (h ^ v) * 1099511628211ull;
}
uint64_t MixDouble(uint64_t h, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return Mix(h, bits);
}

uint64_t Signature(const XyMapping& m) {
    uint64_t h = 14695981039346656037ull;
    for (double v : {m.x0, m.x1, m.y0, m.y1, m.sz.min, m.sz.max}) h = MixDouble(h, v);
    for (int v : {m.box.left, m.box.top, m.box.right, m.box.bottom, m.x, m.y, m.z, int(m.gps),
                  int(g_xyPlot.connectedLine), g_xyPlot.pointSize, g_settings.colortype})
        h = Mix(h, uint64_t(uint32_t(v)));
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Slot& s = SlotOf(slot);
        h = Mix(Mix(Mix(h, uint64_t(s.file.fileKind)), uint64_t(s.sampleCount)), s.laps.count);
        for (int c : {m.x, m.y, m.z})
            h = Mix(h, c >= 0 && c < kColumnCount ? uint64_t(uintptr_t(s.samples[c])) : 0);
        h = Mix(Mix(h, uint64_t(uintptr_t(s.gps.lon))), uint64_t(uintptr_t(s.gps.lat)));
        const LapState& laps = LapStateOf(slot);
        for (int k = 0; k < kLapEntries; ++k) h = Mix(h, laps.lapChecked[k]);
        h = Mix(h, uint64_t(MarksPerLap(slot)));
    }
    return h;
}

// Paints runs of consecutive samples of one file as squares or as one connected line.
void PaintSamples(PointCanvas& canvas, const PointMapping& mapping, const PointRun& run,
                  int32_t from, int32_t to) {
    PointRun r = run;
    r.x += from, r.y += from;
    if (r.colorValues) r.colorValues += from;
    if (g_xyPlot.connectedLine)
        PaintPolyline(canvas, mapping, r, to - from);
    else
        PaintRun(canvas, mapping, r, to - from);
}

// The points of one file's checked laps; a GPS line breaks where the fix is lost.
void PlotFileOf(FileSlot slot, const XyMapping& m) {
    const Slot& s = SlotOf(slot);
    if (s.file.fileKind == kFileNone) return;
    const ZEntries ze = MakeZEntries(m);
    const Affine a(m);
    const int size = g_xyPlot.connectedLine ? 0 : std::clamp(g_xyPlot.pointSize, 0, 3);
    const PointMapping mapping{a.x0, a.kx, a.y0, a.ky, -size};
    const int32_t* zv = UsableColumn(slot, m.z) ? s.samples[m.z] : nullptr;
    PointCanvas& canvas = g_canvas[slot];
    if (m.gps) {
        if (!s.gps.status) return;
        const PointRun run{s.gps.lon, s.gps.lat, zv, ze.min, ze.perUnit, kPlainColor + slot};
        const uint8_t* status = s.gps.status;
        ForEachCheckedLap(slot, [&](int32_t from, int32_t to) {
            for (int32_t i = from; i < to;) {
                while (i < to && (status[i] < 1 || status[i] > 5)) ++i;
                const int32_t first = i;
                while (i < to && status[i] >= 1 && status[i] <= 5) ++i;
                if (first < i) PaintSamples(canvas, mapping, run, first, i);
            }
        });
        return;
    }
    if (!UsableColumn(slot, m.x) || !UsableColumn(slot, m.y)) return;
    const PointRun run{s.samples[m.x], s.samples[m.y], zv, ze.min, ze.perUnit, kPlainColor + slot};
    ForEachCheckedLap(
        slot, [&](int32_t from, int32_t to) { PaintSamples(canvas, mapping, run, from, to); });
}

void DrawPoints(const XyMapping& m) {
    const XyPlotBox& b = m.box;
    const int side = g_xyPlot.connectedLine ? 1 : 2 * std::clamp(g_xyPlot.pointSize, 0, 3) + 1;
    const std::vector<uint32_t> colors = CanvasColors();
    // Each file on a thread of its own; File 1 then lies over File 2, as in the graphs.
    ParallelFor(2, [&](int slot) {
        BeginCanvas(g_canvas[slot], b.left, b.top, b.right - b.left, b.bottom - b.top, side,
                    colors);
        PlotFileOf(slot, m);
    });
    FinishCanvas(g_canvas[0], g_canvas[1]);
}

const char* ValueFormat(int decimals) {
    static const char* const formats[] = {"%7.0f", "%7.1f", "%7.2f", "%7.3f"};
    return formats[std::clamp(decimals, 0, 3)];
}

int Decimals(int column) {
    return column >= 0 && column < kColumnCount ? SlotOf(0).channels[column].decimals : 0;
}

const char* Name(int column) {
    return column >= 0 && column < kColumnCount ? SlotOf(0).channels[column].name : "";
}

// A grid step for the visible span: the axis's own step, doubled or halved to give 4 .. 25 lines.
double VisibleStep(double step, double span) {
    if (!(step > 0) || !std::isfinite(step)) step = RoundStep(span, 10);
    for (int i = 0; i < 60 && span / step > 25; ++i) step *= 2;
    for (int i = 0; i < 60 && span / step < 4 && step > 1e-3; ++i) step /= 2;
    return step;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void DrawGrid(const XyMapping& m) {
    const XyPlotBox& b = m.box;
    const RenderColorValue text = SchemeTextColor();
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderBox(float(b.left), float(b.top), float(b.right), float(b.bottom), text, false);
    if (m.gps) {
        RenderText(float(b.left), float(b.bottom + 8), text, g_res.smallFont, "%.5f",
                   m.x0 / kDegreeUnits);
        RenderText(float(b.right - 70), float(b.bottom + 8), text, g_res.smallFont, "%.5f",
                   m.x1 / kDegreeUnits);
        RenderText(float(b.left - 90), float(b.top), text, g_res.smallFont, "%.5f",
                   m.y1 / kDegreeUnits);
        RenderText(float(b.left - 90), float(b.bottom - 12), text, g_res.smallFont, "%.5f",
                   m.y0 / kDegreeUnits);
        RenderText(float((b.left + b.right) / 2 - 30), float(b.bottom + 30), text, g_res.mainFont,
                   "GPS Map");
        return;
    }
    const double xs = VisibleStep(m.sx.step, m.x1 - m.x0), ys = VisibleStep(m.sy.step, m.y1 - m.y0);
    const char* xf = ValueFormat(Decimals(m.x));
    const char* yf = ValueFormat(Decimals(m.y));
    // At most a few dozen lines, however the values round.
    int lines = 0;
    for (double v = std::ceil(m.x0 / xs) * xs; v <= m.x1 && lines < 64; v += xs, ++lines) {
        const float x = float(m.PixelX(v));
        RenderSetBlend(BlendMode::Alpha, 60);
        RenderLine(x, float(b.top), x, float(b.bottom), text);
        RenderSetBlend(BlendMode::Alpha, 255);
        RenderText(x - 30, float(b.bottom + 6), text, g_res.smallFont, xf, v * 0.001);
    }
    lines = 0;
    for (double v = std::ceil(m.y0 / ys) * ys; v <= m.y1 && lines < 64; v += ys, ++lines) {
        const float y = float(m.PixelY(v));
        RenderSetBlend(BlendMode::Alpha, 60);
        RenderLine(float(b.left), y, float(b.right), y, text);
        RenderSetBlend(BlendMode::Alpha, 255);
        RenderText(float(b.left - 64), y - 7, text, g_res.smallFont, yf, v * 0.001);
    }
    RenderText(float((b.left + b.right) / 2), float(b.bottom + 26), text, g_res.mainFont, "%s",
               Name(m.x));
    RenderText(float(b.left - 64), float(b.top - 24), text, g_res.mainFont, "%s", Name(m.y));
}

void DrawLegend(const XyMapping& m) {
    if (!UsableColumn(0, m.z) && !UsableColumn(1, m.z)) return;
    const XyPlotBox& b = m.box;
    const float x = float(b.right + 12), top = float(b.top + 20);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int i = 0; i < 256; i += 2) {
        const float y = top + float(255 - i) * 0.75f;
        RenderBox(x, y, x + 14, y + 1.5f, MapPaletteColor(i), true);
    }
    const RenderColorValue text = SchemeTextColor();
    const char* zf = ValueFormat(Decimals(m.z));
    RenderText(x - 4, top - 20, text, g_res.smallFont, "%s", Name(m.z));
    RenderText(x + 12, top + 186, text, g_res.smallFont, zf, m.sz.min * 0.001);
    RenderText(x + 12, top - 6, text, g_res.smallFont, zf, m.sz.max * 0.001);
}
#pragma GCC diagnostic pop

bool SamplePoint(const XyMapping& m, FileSlot slot, int32_t i, double& x, double& y) {
    const Slot& s = SlotOf(slot);
    if (s.file.fileKind == kFileNone || i < 0 || i >= std::min(s.sampleCount, s.capacity))
        return false;
    if (m.gps) {
        if (!UsableFix(s, i)) return false;
        x = m.PixelX(s.gps.lon[i]), y = m.PixelY(s.gps.lat[i]);
        return true;
    }
    if (!UsableColumn(slot, m.x) || !UsableColumn(slot, m.y)) return false;
    x = m.PixelX(s.samples[m.x][i]), y = m.PixelY(s.samples[m.y][i]);
    return true;
}

void DrawCursors(const XyMapping& m) {
    RenderClip(m.box.left, m.box.top, m.box.right, m.box.bottom);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (FileSlot slot = 1; slot >= 0; --slot) {
        double x, y;
        if (!SamplePoint(m, slot, CursorSample(slot), x, y)) continue;
        const RenderColorValue c = FileColor(slot);
        RenderCircle(float(x), float(y), 7, c, false, 2);
        RenderLine(float(x) - 12, float(y), float(x) - 4, float(y), c, 2);
        RenderLine(float(x) + 4, float(y), float(x) + 12, float(y), c, 2);
        RenderLine(float(x), float(y) - 12, float(x), float(y) - 4, c, 2);
        RenderLine(float(x), float(y) + 4, float(x), float(y) + 12, c, 2);
    }
    RenderClipReset();
}

void DrawFileNames(const XyMapping& m) {
    RenderSetBlend(BlendMode::Alpha, 255);
    float x = float(m.box.left);
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Slot& s = SlotOf(slot);
        if (s.file.fileName.empty()) continue;
        RenderText(x, 8, FileColor(slot), g_res.mainFont, "File %d %s", slot + 1,
                   s.file.fileName.c_str());
        x += float(
            RenderTextWidth(g_res.mainFont, "File %d %s", slot + 1, s.file.fileName.c_str()) + 24);
    }
}

} // namespace

void ResetXyPlotView() {
    g_xyPlotView = XyPlotViewState();
}

int& XyPlotChannel(int axis) {
    return axis == 0   ? g_settings.XYPlot_Xch
           : axis == 1 ? g_settings.XYPlot_Ych
                       : g_settings.XYPlot_Zch;
}

int32_t& XyPlotRangeValue(int axis, int field) {
    LayoutExtras& e = g_layoutExtras;
    int32_t* const table[3][3] = {{&e.Gxmin, &e.Gxmax, &e.Gxstp},
                                  {&e.Gymin, &e.Gymax, &e.Gystp},
                                  {&e.Gzmin, &e.Gzmax, &e.Gzstp}};
    return *table[std::clamp(axis, 0, 2)][std::clamp(field, 0, 2)];
}

void LoadXyAxisFromChannel(int axis) {
    const int column = XyPlotChannel(axis);
    if (column < 0 || column >= kColumnCount) return;
    const ChannelCode code = SlotOf(0).channels[column].code;
    if (code >= kCodeTableSize) return;
    XyPlotRangeValue(axis, 0) = SlotOf(0).range.minByCode[code];
    XyPlotRangeValue(axis, 1) = SlotOf(0).range.maxByCode[code];
    XyPlotRangeValue(axis, 2) = GraphOf(code).GraphStep;
}

XyPlotBox XyPlotBoxFor(int clientWidth, int clientHeight) {
    XyPlotBox b;
    b.left = 110;
    b.top = 56;
    b.right = std::max(b.left + 64, clientWidth - 90);
    b.bottom = std::max(b.top + 64, clientHeight - 70);
    return b;
}

void DrawXyPlotView(int clientWidth, int clientHeight) {
    const XyMapping m = MakeMapping(clientWidth, clientHeight);
    const uint64_t signature = Signature(m);
    // The cloud changes only with what it is made of; the cursors move over it every frame.
    if (signature != g_xyPlotView.drawnSignature || g_canvas[0].pixels.empty()) {
        DrawPoints(m);
        g_xyPlotView.drawnSignature = signature;
    }
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(float(m.box.left), float(m.box.top), float(m.box.right), float(m.box.bottom),
              LightScheme() ? RenderColor(255, 255, 255) : RenderColor(16, 20, 28), true);
    DrawGrid(m);
    RenderSetBlend(BlendMode::Alpha, 255);
    DrawCanvas(g_canvas[0]);
    DrawLegend(m);
    DrawCursors(m);
    DrawFileNames(m);
}

void XyPlotWheel(int notches, int mouseX, int mouseY) {
    if (notches == 0) return;
    int w = 0, h = 0;
    RenderClientSize(w, h);
    const XyMapping m = MakeMapping(w, h);
    XyPlotViewState& v = g_xyPlotView;
    const bool inside = mouseX >= m.box.left && mouseX < m.box.right && mouseY >= m.box.top &&
                        mouseY < m.box.bottom;
    // The value under the pointer stays under it.
    const double ax =
        inside ? m.x0 + (mouseX - m.box.left) * (m.x1 - m.x0) / (m.box.right - m.box.left)
               : 0.5 * (m.x0 + m.x1);
    const double ay =
        inside ? m.y0 + (m.box.bottom - mouseY) * (m.y1 - m.y0) / (m.box.bottom - m.box.top)
               : 0.5 * (m.y0 + m.y1);
    const double old = std::clamp(v.zoom, 1.0, kZoomMax);
    const double zoom = std::clamp(old * std::pow(kZoomStep, notches), 1.0, kZoomMax);
    if (zoom <= 1.0) {
        v = XyPlotViewState{1.0, 0, 0, v.drawnSignature};
    } else {
        const double cx = 0.5 * (m.x0 + m.x1), cy = 0.5 * (m.y0 + m.y1);
        v.centerX = ax + (cx - ax) * old / zoom;
        v.centerY = ay + (cy - ay) * old / zoom;
        v.zoom = zoom;
    }
    RequestRedraw(kRedrawCommand);
}

bool XyPlotPixel(int slot, int32_t sample, int clientWidth, int clientHeight, double& x,
                 double& y) {
    return SamplePoint(MakeMapping(clientWidth, clientHeight), slot, sample, x, y);
}

} // namespace qvtk
