#include "viewer/graphs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "data/sample_envelope.h"
#include "data/settings.h"
#include "platform/parallel.h"
#include "viewer/graph_settings.h"
#include "viewer/lap_compare_view.h"
#include "viewer/resources.h"
#include "viewer/value_rows.h"
#include "viewer/view_state.h"

namespace qvtk {

GraphList g_graphList;

int32_t CurveSampleOffset(FileSlot slot, int column) {
    const Slot& s = SlotOf(slot);
    if (column < 0 || column >= kColumnCount) return 0;
    ChannelCode code = s.channels[column].code;
    bool expert = g_settings.ExpertMode >= 2;
    int32_t offset = 0;
    if (s.file.fileKind == kFileFamily4 && code >= 11 && code <= 14) {
        offset = g_view.LafDelayOffset;
    } else if (s.file.fileKind == kFileFamily3 && expert) {
        // The analog inputs 6, 7, 9 and 10 (LAF1, LAF2, AUX1, AUX2) are delayed when their
        // input is a standard air-fuel sensor (input type 0).
        static const int kInputColumns[4] = {6, 7, 9, 10};
        for (int k = 0; k < 4; ++k)
            if (column == kInputColumns[k] && s.header.inputTypes[k] == 0)
                offset = g_view.LafDelayOffset;
    }
    if (code == 66 && expert) offset = g_view.GpsOffset;
    return offset;
}

double ValueFactor(FileSlot slot, int column) {
    const Slot& s = SlotOf(slot);
    const bool engine = column >= 0 && column < kColumnCount && s.channels[column].code == kCodeNe;
    return engine ? 0.001 * double(s.engineSpeedScale) : 0.001;
}

int ChannelSampleStep(FileSlot slot, int column) {
    // A CAN logger channel is stored every sample but measured every 5, 10, 20, 25, 40, 50,
    // 100, 500 or 1000 ms; the file's samples are 5 ms apart.
    static const int kSteps[] = {1, 2, 4, 5, 8, 10, 20, 100, 200};
    const Slot& s = SlotOf(slot);
    if (s.file.fileKind != kFileFamily4 || column < 0 || column >= kColumnCount) return 1;
    const unsigned index = s.channels[column].sampleTimeIndex;
    return index < std::size(kSteps) ? kSteps[index] : 1;
}

// Mean over +/- SusFilter_n samples; samples outside the file count as 0.
double SmoothedValue(FileSlot slot, int column, int64_t s) {
    int n = g_settings.SusFilter_n;
    int64_t sum = 0;
    for (int64_t i = s - n; i <= s + n; ++i)
        if (i >= 0 && i < SlotOf(slot).sampleCount) sum += SampleAt(slot, column, int32_t(i));
    return double(sum) / double(2 * n + 1) * ValueFactor(slot, column);
}

namespace {

constexpr ChannelCode kCodeFrontStroke = 9, kCodeRearStroke = 10;

// The pool is flushed a little before it is full, so a column's vertices always fit.
// A column adds at most six vertices.
int PoolLimit() {
    return int(g_res.linePool.size()) - 8;
}

RenderColorValue CurveColor(FileSlot slot, ChannelCode code) {
    // Blue at least 63 keeps dark palette colours visible on the dark background.
    return PaletteColor(CurvePaletteIndex(slot, code)) | 63u;
}

bool Smoothed(ChannelCode code) {
    return g_view.CtrlHeld && (code == kCodeFrontStroke || code == kCodeRearStroke);
}

struct CurveEmitter {
    RenderVertex* pool;
    int count = 0;
    PrimitiveKind kind;
    int64_t emitted = 0;

    void Add(float x, float y, RenderColorValue color) {
        RenderVertex& v = pool[count++];
        v.x = x;
        v.y = y;
        v.color = color;
        ++emitted;
    }
    void Flush(bool keepLast) {
        if (count > 0) RenderPrimitives(pool, count, kind);
        if (keepLast && kind == PrimitiveKind::LineStrip && count > 0) {
            pool[0] = pool[count - 1];
            count = 1;
        } else {
            count = 0;
        }
    }
};

} // namespace

GraphFrame MakeGraphFrame() {
    GraphFrame f;
    RenderClientSize(f.clientWidth, f.clientHeight);
    int half = f.clientWidth / 2;
    if (half >= 10)
        g_settings.BaseLinePos = std::clamp(g_settings.BaseLinePos, 10 - half, half - 10);
    f.baseX = float(half + g_settings.BaseLinePos);
    f.zoom = g_view.ViewZoom;
    f.vscroll = g_view.VScroll;
    for (int s = 0; s < kSlotCount; ++s)
        f.pixelsPerSample[s] =
            f.zoom / (SlotOf(s).sampleRateFactor * std::max(0.1f, g_view.HorizontalCompression));
    PrepareAlignedFrame(f);
    return f;
}

double SampleX(const GraphFrame& frame, FileSlot slot, double sample) {
    if (frame.aligned[slot]) return AlignedSampleX(frame, slot, sample);
    return (sample * 100.0 - double(SlotOf(slot).cursorPos)) * frame.pixelsPerSample[slot] / 100.0 +
           frame.baseX;
}

int64_t SampleAtX(const GraphFrame& frame, FileSlot slot, double x) {
    if (frame.aligned[slot]) return AlignedSampleAtX(frame, slot, x);
    double p = frame.pixelsPerSample[slot];
    double hundredths = (x - frame.baseX) * 100.0 / p + double(SlotOf(slot).cursorPos);
    return int64_t(std::floor(hundredths / 100.0));
}

ValueMapping MappingOf(const GraphFrame& frame, ChannelCode code) {
    const GraphCodeSettings& g = GraphOf(code);
    return {double(g.GraphZero) * frame.zoom - frame.vscroll + 0.5,
            double(frame.zoom) / double(g.GraphScale)};
}

double ValueY(const GraphFrame& frame, ChannelCode code, double value) {
    return MappingOf(frame, code).Y(value);
}

void RebuildGraphList() {
    g_graphList = GraphList();
    bool used[kColumnCount] = {};
    for (int position = 0; position < kColumnCount; ++position) {
        int c = g_graph.GraphOrder[position];
        if (c < 0 || c >= kColumnCount || used[c]) continue;
        // A row stays listed while a file hides it, so its value can be clicked on again.
        bool shown = false;
        for (int s = 0; s < kSlotCount; ++s) {
            const Slot& slot = SlotOf(s);
            uint32_t both = kChannelPresent | kChannelShown;
            shown = shown || (slot.active && (slot.channelFlags[c] & both) == both &&
                              slot.channels[c].kind != 0);
        }
        if (!shown) continue;
        used[c] = true;
        g_graphList.column[g_graphList.count++] = c;
    }
}

namespace {

// The row of the unzoomed picture now under client row y.
float UnzoomedRow(float y) {
    return (y + g_view.VScroll) / std::max(g_view.ViewZoom, 1.0f);
}

bool VerticalScrollHeld() {
    return g_view.CtrlHeld || (g_view.MouseButtons & kMouseMiddle);
}

} // namespace

void StepZoom() {
    if (g_view.GraphPositionMode) g_view.ZoomSpan = kZoomSpanFirst;
    g_view.ViewZoom += (float(g_view.ZoomSpan) - g_view.ViewZoom * 10000.0f) * 0.0000125f;
    if (g_view.ViewZoom < 1.001f) {
        g_view.VScroll = 0;
        g_view.ZoomAnchor = g_view.ZoomAnchorY = 0;
        return;
    }
    if (VerticalScrollHeld() && NormalGraphView()) {
        // Ctrl or the middle button: the pointer's height chooses the part of the zoomed
        // picture shown, its top at the window's top edge down to its bottom at the bottom edge.
        int w = 0, h = 0;
        RenderClientSize(w, h);
        const float y = std::clamp(float(g_view.MouseY), 0.0f, float(std::max(h - 1, 1)));
        g_view.VScroll = y / float(std::max(h - 1, 1)) * float(h) * (g_view.ViewZoom - 1.0f);
        // The anchor takes the place, so that the picture stays when the key is let go.
        g_view.ZoomAnchor = UnzoomedRow(g_view.ZoomAnchorY);
        return;
    }
    g_view.VScroll = g_view.ZoomAnchor * g_view.ViewZoom - g_view.ZoomAnchorY;
}

void ZoomOff() {
    g_view.ZoomSpan = kZoomSpanFirst;
    // The row that lies at the same place zoomed and unzoomed is held: the picture shrinks
    // back smoothly and ends with no vertical scroll.
    const float zoom = g_view.ViewZoom;
    const float row = zoom > 1.001f ? g_view.VScroll / (zoom - 1.0f) : 0.0f;
    g_view.ZoomAnchor = g_view.ZoomAnchorY = row;
}

void WheelZoom(int notches, int mouseY, int clientHeight) {
    (void)clientHeight;
    if (notches > 0) {
        int most = DebugMode() ? 160000 : kZoomSpanLast;
        g_view.ZoomSpan = std::clamp(g_view.ZoomSpan + notches * 10000, kZoomSpanFirst, most);
        // The row under the pointer stays under it while the zoom settles.
        g_view.ZoomAnchor = UnzoomedRow(float(mouseY));
        g_view.ZoomAnchorY = float(mouseY);
    } else if (notches < 0) {
        ZoomOff();
    }
}

namespace {

// The range of a column becomes the range of its data in the loaded files, with one grid step.
void AutoScaleColumn(int c) {
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int s = 0; s < kSlotCount; ++s) {
        if (!SlotOf(s).active || !IsPresent(SlotOf(s), c)) continue;
        lo = std::min(lo, SlotOf(s).range.min[c]);
        hi = std::max(hi, SlotOf(s).range.max[c]);
    }
    if (lo > hi) return;
    GraphCodeSettings& g = GraphOf(SlotOf(0).channels[c].code);
    g.GraphMin = lo;
    g.GraphMax = hi == lo ? lo + 1000 : hi;
    g.GridShown = 1;
    g.GraphStep = g.GraphMax - g.GraphMin;
}

// The rows the stacked bands share: from 20 to 40 above the client bottom.
void StackRows(int bands, int& top, int& bottom) {
    int w = 0, h = 0;
    RenderClientSize(w, h);
    if (h <= 0) h = 768; // no window yet: the size it opens with
    top = 20;
    bottom = std::max(top + 10 * std::max(bands, 1), h - 40);
}

} // namespace

void StackUnplacedBands(const std::vector<int>& columns) {
    constexpr int kLeast = 24, kMost = 80; // rows of a band placed this way
    std::vector<int> own;                  // one column per code
    for (int c : columns) {
        const ChannelCode code = SlotOf(0).channels[c].code;
        if (std::none_of(own.begin(), own.end(),
                         [&](int o) { return SlotOf(0).channels[o].code == code; }))
            own.push_back(c);
    }
    if (own.empty()) return;
    int top = 0, bottom = 0;
    StackRows(int(own.size()), top, bottom);
    // The rows taken: the bands of the placed channels drawn in their own position.
    std::vector<std::pair<int, int>> taken;
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(SlotOf(0), c) || !(SlotOf(0).channelFlags[c] & kChannelShown)) continue;
        if (g_graph.GraphOrder[c] != c) continue;
        const ChannelCode code = SlotOf(0).channels[c].code;
        if (std::any_of(own.begin(), own.end(),
                        [&](int o) { return SlotOf(0).channels[o].code == code; }))
            continue;
        const GraphCodeSettings& g = GraphOf(code);
        taken.push_back({std::min(g.GraphTop, g.GraphBottom), std::max(g.GraphTop, g.GraphBottom)});
    }
    std::sort(taken.begin(), taken.end());
    std::vector<std::pair<int, int>> gaps; // free rows, top to bottom
    int y = top;
    for (const auto& [from, to] : taken) {
        if (from > y) gaps.push_back({y, std::min(from, bottom)});
        y = std::max(y, to + 1);
        if (y >= bottom) break;
    }
    if (y < bottom) gaps.push_back({y, bottom});
    int freeRows = 0;
    for (const auto& [from, to] : gaps) freeRows += std::max(to - from, 0);
    const int n = int(own.size());
    const int rows = std::min(kMost, freeRows / n);
    std::vector<std::pair<int, int>> bands;
    for (const auto& [from, to] : gaps)
        for (int at = from; rows >= kLeast && at + rows <= to && int(bands.size()) < n; at += rows)
            bands.push_back({at, at + rows - 4});
    if (int(bands.size()) < n) {
        // No room left among the placed bands: stacked over the whole height, as a first run
        // stacks every band, still one under another.
        bands.clear();
        for (int i = 0; i < n; ++i)
            bands.push_back({top + (bottom - top) * i / n, top + (bottom - top) * (i + 1) / n - 4});
    }
    for (int i = 0; i < n; ++i) {
        AutoScaleColumn(own[size_t(i)]);
        GraphCodeSettings& g = GraphOf(SlotOf(0).channels[own[size_t(i)]].code);
        g.GraphTop = bands[size_t(i)].first;
        g.GraphBottom = bands[size_t(i)].second;
        DeriveScaleFromBand(g);
    }
}

void AlignGraphs(int type, bool autoScale, bool ctrl) {
    RebuildGraphList();
    if (autoScale)
        for (int i = 0; i < g_graphList.count; ++i) AutoScaleColumn(g_graphList.column[i]);
    int w = 0, h = 0;
    RenderClientSize(w, h);
    int n = std::max(1, g_graphList.count);
    int top = 0, bottom = 0;
    StackRows(n, top, bottom);
    for (int i = 0; i < g_graphList.count; ++i) {
        GraphCodeSettings& g = GraphOf(SlotOf(0).channels[g_graphList.column[i]].code);
        if (type == 1) {
            // Stacked: each band gets its share of the height, with a small gap.
            g.GraphTop = top + (bottom - top) * i / n;
            g.GraphBottom = top + (bottom - top) * (i + 1) / n - 4;
        } else {
            g.GraphTop = ctrl ? 120 : 16;
            g.GraphBottom = ctrl ? h - 60 : 48;
            if (int64_t(g.GraphMax) - g.GraphMin < 1000) g.GraphMax = g.GraphMin + 1000;
        }
        DeriveScaleFromBand(g);
    }
}

namespace {

// The pixel columns of one curve: where each is drawn and the last sample it holds; column k
// holds the samples after column k-1's last (the first one from `first`).
struct CurveColumns {
    std::vector<float> x;
    std::vector<int32_t> last;
    int32_t first = 0;
    int count = 0;
};

// One curve of a frame: its pixel columns and, once asked, the extremes of their samples.
struct CurvePlan {
    FileSlot slot = 0;
    int column = 0;
    CurveColumns own;                     // its columns, when it does not share its file's
    const CurveColumns* shared = nullptr; // its file's columns, read by every curve alike
    const MinMax* runs = nullptr; // the envelope's extremes of each column; null: none asked
    const CurveColumns& Cols() const { return shared ? *shared : own; }
    // A dense curve (a pixel column or more per sample, drawn opaque) is its spans, left to
    // right, drawn later with the other dense curves; clipped to its band's rows when asked.
    std::vector<RenderSpan> spans;
    std::vector<int32_t> lowRows, highRows, ends; // a dense curve's columns, while it is made
    bool spansInOrder = false;                    // known to go left to right
    bool clipped = false;
    int clipTop = 0, clipBottom = 0, clipRight = 0;
};
// One plan per curve a frame can hold; their arrays keep their size from frame to frame.
std::vector<CurvePlan> g_curvePlans(size_t(kSlotCount) * kColumnCount);

// Walks the pixel columns in steps of max(p, 1) pixels from 20 steps left of the window to 20
// steps right of it; a column counts once its sample differs from the one before and both
// lie inside the recording. False when no column holds a sample.
bool CollectGridColumns(const GraphFrame& frame, FileSlot slot, CurveColumns& cols);

bool CollectColumns(const GraphFrame& frame, FileSlot slot, int32_t offset, int sampleStep,
                    CurveColumns& cols) {
    const Slot& s = SlotOf(slot);
    double p = frame.pixelsPerSample[slot];
    if (p < 1.0 && offset == 0 && sampleStep == 1 && !frame.aligned[slot])
        return CollectGridColumns(frame, slot, cols);
    double step = std::max(p, 1.0);
    double left = -20 * step, right = frame.clientWidth + 20 * step;
    size_t most = size_t((right - left) / step) + 2;
    if (cols.x.size() < most) { // grows only when the window does
        cols.x.resize(most);
        cols.last.resize(most);
    }
    cols.count = 0;
    int64_t prev = -1;
    for (double x = left; x <= right; x += step) {
        int64_t si = SampleAtX(frame, slot, x);
        if (si >= s.sampleCount) break;
        if (si < 1 || prev < 1) {
            prev = si;
            continue;
        }
        // A channel measured every n samples moves on only with a new measurement; the
        // samples of the columns passed over go to the next column's run.
        if (si / sampleStep == prev / sampleStep) continue;
        // A shifted read never leaves the recording: near its ends the columns keep to the
        // samples that are there.
        int32_t at = int32_t(std::clamp<int64_t>(si + offset, 0, s.sampleCount - 1));
        int32_t from = int32_t(std::clamp<int64_t>(prev + 1 + offset, 0, s.sampleCount - 1));
        prev = si;
        if (cols.count > 0 ? at <= cols.last[size_t(cols.count - 1)] : at < from) continue;
        if (cols.count == 0) cols.first = from;
        cols.x[size_t(cols.count)] = p > 1 ? float(SampleX(frame, slot, double(si))) : float(x);
        cols.last[size_t(cols.count)] = at;
        ++cols.count;
    }
    return cols.count > 0;
}

// Several samples a pixel, read without offset: the same walk with the pixel columns anchored
// to the recording instead of the window. Column k holds the samples up to trunc(k x samples
// per pixel) and lies at its own, fractional, x; scrolling moves every column by the same
// amount and keeps their runs of samples, so the envelope's answers of the last frame serve
// again. (The window-anchored walk gives every column other runs after any scroll.)
bool CollectGridColumns(const GraphFrame& frame, FileSlot slot, CurveColumns& cols) {
    const Slot& s = SlotOf(slot);
    const double p = frame.pixelsPerSample[slot], spp = 1.0 / p;
    const double origin = double(s.cursorPos) / 100.0 * p - double(frame.baseX); // x = k - origin
    const int64_t k0 = int64_t(std::floor(origin - 20.0)),
                  k1 = int64_t(std::ceil(origin + frame.clientWidth + 20.0));
    const size_t most = size_t(k1 - k0) + 2;
    if (cols.x.size() < most) {
        cols.x.resize(most);
        cols.last.resize(most);
    }
    cols.count = 0;
    int64_t prev = int64_t(std::floor(double(k0 - 1) * spp));
    for (int64_t k = k0; k <= k1; ++k) {
        const int64_t si = int64_t(std::floor(double(k) * spp));
        if (si >= s.sampleCount) break;
        if (si < 1 || prev < 1 || si == prev) {
            prev = si;
            continue;
        }
        if (cols.count == 0) cols.first = int32_t(prev + 1);
        cols.x[size_t(cols.count)] = float(double(k) - origin);
        cols.last[size_t(cols.count)] = int32_t(si);
        ++cols.count;
        prev = si;
    }
    return cols.count > 0;
}

// Whether File 1's marked samples are drawn in the highlight colour.
bool HighlightsMarks(FileSlot slot) {
    return slot == 0 && SlotOf(0).sampleMarks && (g_settings.Shifter != 0 || DebugMode());
}

} // namespace

bool SamplesMarked(FileSlot slot, int64_t from, int64_t to) {
    const Slot& s = SlotOf(slot);
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, int64_t(s.sampleCount) - 1);
    if (!s.sampleMarks || from > to) return false;
    return std::memchr(s.sampleMarks + from, 1, size_t(to - from + 1)) != nullptr;
}

RenderColorValue MarkHighlightColor() {
    return LightScheme() ? RenderColor(255, 128, 0) : RenderColor(255, 255, 0);
}

namespace {

// The pixel columns of a curve that is drawn and in view; false for any other. Curves read
// without offset and at every sample share their file's columns, walked once per frame into
// `shared` (its count is -1 until then).
bool PrepareCurve(const GraphFrame& frame, FileSlot slot, int column, CurvePlan& plan,
                  CurveColumns* shared = nullptr) {
    const Slot& s = SlotOf(slot);
    if (!s.active || !ColumnDrawn(slot, column) || s.sampleCount < 2) return false;
    if (g_res.linePool.size() < 16) return false; // no pool to draw through
    double step = std::max(double(frame.pixelsPerSample[slot]), 1.0);
    double left = -20 * step, right = frame.clientWidth + 20 * step;
    if (SampleAtX(frame, slot, right) < 1 || SampleAtX(frame, slot, left) >= s.sampleCount)
        return false; // nothing of the file is in view
    plan.slot = slot;
    plan.column = column;
    plan.runs = nullptr;
    const int32_t offset = CurveSampleOffset(slot, column);
    const int sampleStep = ChannelSampleStep(slot, column);
    plan.shared = nullptr;
    if (!shared || offset != 0 || sampleStep != 1)
        return CollectColumns(frame, slot, offset, sampleStep, plan.own);
    if (shared->count < 0 && !CollectColumns(frame, slot, 0, 1, *shared)) shared->count = 0;
    plan.shared = shared;
    return shared->count > 0;
}

// The extremes of every pixel column (the smoothed strokes need none). Touches only the plan
// and its column's envelope, so that plans of different curves can be asked at once.
void QueryCurve(CurvePlan& plan) {
    const CurveColumns& cols = plan.Cols();
    plan.runs = Smoothed(SlotOf(plan.slot).channels[plan.column].code)
                    ? nullptr
                    : EnvelopeMinMaxRunsInPlace(plan.slot, plan.column, cols.first,
                                                cols.last.data(), cols.count);
}

bool FilledCurve(const CurvePlan& plan) {
    const ChannelCode code = SlotOf(plan.slot).channels[plan.column].code;
    return GraphOf(code).PlotType != 0 || Smoothed(code);
}

// Where a pixel column holds one or more samples, each column is one vertical span from the
// previous column's end through its own extremes: the same picture as a strip, with each
// pixel drawn once. Zoomed in, the samples are joined by a strip.
bool DenseCurve(const GraphFrame& frame, const CurvePlan& plan) {
    return !FilledCurve(plan) && frame.pixelsPerSample[plan.slot] <= 1.0;
}

// The pixels a vertical segment from (x, top) down to (x, bottom) lights in a line list.
void AddSpan(std::vector<RenderSpan>& spans, float x, float top, float bottom,
             RenderColorValue color) {
    if (!std::isfinite(x) || !std::isfinite(top) || !std::isfinite(bottom)) return;
    spans.push_back({CoordinatePixel(x), CoordinatePixel(top), CoordinatePixel(bottom), color});
}

// The spans of a dense curve whose values all have finite rows: the pixels the loop of
// EmitCurve gives, with the rows of a column's extremes found for all columns at once. Rows
// are as monotonic as the coordinates they round, so the extremes of rows are the rows of the
// extremes.
void EmitDenseSpans(CurvePlan& plan, const RowMapping& rows, RenderColorValue curveColor,
                    bool highlights, RenderColorValue highlight) {
    const FileSlot slot = plan.slot;
    const int column = plan.column;
    const CurveColumns& cols = plan.Cols();
    const int n = cols.count;
    plan.lowRows.resize(size_t(n));
    plan.highRows.resize(size_t(n));
    plan.ends.resize(size_t(n));
    int32_t* low = plan.lowRows.data();
    int32_t* high = plan.highRows.data();
    int32_t* ends = plan.ends.data();
    const MinMax* runs = plan.runs;
    for (int k = 0; k < n; ++k) {
        if (runs && runs[k].min <= runs[k].max) {
            low[k] = runs[k].min, high[k] = runs[k].max, ends[k] = runs[k].last;
        } else {
            low[k] = high[k] = ends[k] = SampleAt(slot, column, cols.last[size_t(k)]);
        }
    }
    ValueRows(rows, low, n, low);
    ValueRows(rows, high, n, high);
    plan.spans.resize(size_t(n)); // the spans of the last frame's curve mostly stay
    RenderSpan* out = plan.spans.data();
    int32_t prevEnd = SampleAt(slot, column, cols.first - 1);
    int prevRow = 0;
    bool inOrder = true;
    for (int k = 0; k < n; ++k) {
        const int lowRow = low[k], highRow = high[k];
        const float x = cols.x[size_t(k)];
        if (std::isfinite(x)) {
            const int from = k > 0 ? prevRow : lowRow; // the column joins the one before
            const int top = std::min(highRow, std::min(from, lowRow));
            const int bottom = std::max(lowRow, std::max(from, highRow));
            const bool marked =
                highlights &&
                SamplesMarked(slot, k == 0 ? cols.first : cols.last[size_t(k) - 1] + 1,
                              cols.last[size_t(k)]);
            const int pixelX = CoordinatePixel(x);
            inOrder = inOrder && (out == plan.spans.data() || pixelX >= out[-1].x);
            *out++ = {pixelX, top, bottom, marked ? highlight : curveColor};
        }
        // The curve goes on from the maximum when it rose, from the minimum when it fell.
        const bool rising = ends[k] >= prevEnd;
        prevEnd = ends[k];
        prevRow = rising ? highRow : lowRow;
    }
    plan.spans.resize(size_t(out - plan.spans.data()));
    plan.spansInOrder = inOrder;
}

// The clip of a dense curve's strip of columns x0 .. x1 - 1.
void ClipStrip(const CurvePlan& plan, int x0, int x1) {
    constexpr int kAllRows = 1 << 29;
    if (plan.clipped)
        RenderClip(x0, plan.clipTop, std::min(x1, plan.clipRight), plan.clipBottom);
    else
        RenderClip(x0, -kAllRows, x1, kAllRows);
}

// Columns of the back buffer whose rows fit the cache together (1 MB at 1080 rows).
constexpr int kStripColumns = 256;

// Dense curves, in the order given, a strip of columns at a time: each pixel is written by
// the same spans in the same order as when the curves are drawn one after another, while the
// rows of a strip stay in the cache for all of them.
void DrawDenseCurves(const std::vector<CurvePlan*>& curves) {
    if (curves.empty()) return;
    int right = 0;
    bool leftToRight = true;
    for (const CurvePlan* plan : curves) {
        const std::vector<RenderSpan>& spans = plan->spans;
        if (plan->spansInOrder) {
            if (!spans.empty()) right = std::max(right, spans.back().x + 1);
            continue;
        }
        for (size_t k = 0; k < spans.size(); ++k) {
            right = std::max(right, spans[k].x + 1);
            if (k > 0 && spans[k].x < spans[k - 1].x) leftToRight = false;
        }
    }
    const int width = leftToRight ? kStripColumns : std::max(right, 1);
    std::vector<size_t> at(curves.size(), 0);
    RenderSetBlend(BlendMode::None, 255);
    for (int x0 = 0; x0 < right; x0 += width) {
        const int x1 = x0 + width;
        for (size_t c = 0; c < curves.size(); ++c) {
            const std::vector<RenderSpan>& spans = curves[c]->spans;
            const size_t from = at[c];
            size_t to = from;
            while (to < spans.size() && spans[to].x < x1) ++to;
            at[c] = to;
            if (to == from) continue;
            ClipStrip(*curves[c], x0, x1);
            RenderSpans(spans.data() + from, int(to - from));
        }
    }
    RenderClipReset();
}

// Draws the curve, or for a dense curve fills its spans (to be drawn by DrawDenseCurves).
// Returns the vertices it stands for (a span stands for two).
int64_t EmitCurve(const GraphFrame& frame, CurvePlan& plan) {
    const FileSlot slot = plan.slot;
    const int column = plan.column;
    const Slot& s = SlotOf(slot);
    ChannelCode code = s.channels[column].code;
    const GraphCodeSettings& g = GraphOf(code);
    const bool spans = DenseCurve(frame, plan);

    // A band narrower than 1000 units is never clipped, however its range was set.
    plan.clipped = g.GraphClip && int64_t(g.GraphMax) - g.GraphMin >= 1000;
    plan.clipTop = int(ValueY(frame, code, g.GraphMax * 0.001)) - 2;
    plan.clipBottom = int(ValueY(frame, code, g.GraphMin * 0.001)) + 3;
    plan.clipRight = frame.clientWidth;
    if (!spans && plan.clipped) // a dense curve's strips set its clip
        RenderClip(0, plan.clipTop, plan.clipRight, plan.clipBottom);
    else
        RenderClipReset();

    bool filled = FilledCurve(plan);
    int brightness = g_view.FileBrightness[slot];
    RenderColorValue curveColor = (Brightened(CurveColor(slot, code), brightness) & 0x00FFFFFFu) |
                                  (filled ? 191u : 255u) << 24;
    RenderColorValue fillColor = (uint32_t(95) << 24) | (((curveColor >> 16) & 0xFF) / 3) << 16 |
                                 (((curveColor >> 8) & 0xFF) / 3) << 8 | 127u;
    bool spansZero = g.GraphMin < 0 && g.GraphMax > 0;
    float fillY =
        float(ValueY(frame, code, spansZero ? 0.0 : g.GraphMin * 0.001) + (spansZero ? 0 : 1.5));

    CurveEmitter out{g_res.linePool.data(), 0,
                     filled ? PrimitiveKind::TriangleList : PrimitiveKind::LineStrip};
    // Opaque lines need no blending.
    RenderSetBlend(filled ? BlendMode::Alpha : BlendMode::None, 255);
    const CurveColumns& cols = plan.Cols();
    const double factor = ValueFactor(slot, column);
    const ValueMapping mapping = MappingOf(frame, code);
    bool smoothed = Smoothed(code);
    const bool highlights = HighlightsMarks(slot);
    const RenderColorValue highlight =
        (Brightened(MarkHighlightColor(), brightness) & 0x00FFFFFFu) | (curveColor & 0xFF000000u);
    if (spans) { // never smoothed, never filled
        const RowMapping rows{mapping.zeroY, mapping.perUnit, factor};
        if (AllRowsFinite(rows)) {
            EmitDenseSpans(plan, rows, curveColor, highlights, highlight);
            return 2 * int64_t(plan.spans.size());
        }
    }
    plan.spans.clear();
    plan.spansInOrder = false;
    float prevX = 0, prevY = 0;
    int32_t prevEnd = SampleAt(slot, column, cols.first - 1);
    for (int k = 0; k < cols.count; ++k) {
        float px = cols.x[k];
        int32_t at = cols.last[k];
        bool havePoint = k > 0;
        const RenderColorValue color =
            highlights && SamplesMarked(slot, k == 0 ? cols.first : cols.last[k - 1] + 1, at)
                ? highlight
                : curveColor;
        if (smoothed) {
            float y = float(mapping.Y(SmoothedValue(slot, column, at)));
            if (havePoint) {
                out.Add(prevX, prevY, color), out.Add(px, y, color),
                    out.Add(prevX, fillY, fillColor);
                out.Add(px, y, color), out.Add(px, fillY, fillColor),
                    out.Add(prevX, fillY, fillColor);
            }
            prevX = px, prevY = y;
        } else {
            const bool haveRun = plan.runs && plan.runs[k].min <= plan.runs[k].max;
            int32_t end = haveRun ? plan.runs[k].last : SampleAt(slot, column, at);
            int32_t lo = haveRun ? plan.runs[k].min : end, hi = haveRun ? plan.runs[k].max : end;
            // The whole column range is drawn, ending at the maximum when the curve rises
            // and at the minimum when it falls: a single-sample spike is never lost.
            bool rising = end >= prevEnd;
            prevEnd = end;
            float yLo = float(mapping.Y(lo * factor));
            float yHi = float(mapping.Y(hi * factor));
            float yEnd = rising ? yHi : yLo;
            if (filled) {
                if (havePoint) {
                    out.Add(prevX, prevY, color), out.Add(px, yEnd, color),
                        out.Add(prevX, fillY, fillColor);
                    out.Add(px, yEnd, color), out.Add(px, fillY, fillColor),
                        out.Add(prevX, fillY, fillColor);
                }
            } else if (spans) {
                float top = std::min(yHi, havePoint ? std::min(prevY, yLo) : yLo);
                float bottom = std::max(yLo, havePoint ? std::max(prevY, yHi) : yHi);
                AddSpan(plan.spans, px, top, bottom, color);
            } else {
                if (lo != hi) out.Add(px, rising ? yLo : yHi, color);
                out.Add(px, yEnd, color);
            }
            prevX = px, prevY = yEnd;
        }
        if (out.count >= PoolLimit()) out.Flush(true);
    }
    out.Flush(false);
    RenderClipReset();
    return out.emitted + 2 * int64_t(plan.spans.size());
}

} // namespace

int64_t DrawCurve(const GraphFrame& frame, FileSlot slot, int column) {
    CurvePlan& plan = g_curvePlans[0];
    if (!PrepareCurve(frame, slot, column, plan)) return 0;
    QueryCurve(plan);
    const int64_t emitted = EmitCurve(frame, plan);
    if (DenseCurve(frame, plan)) DrawDenseCurves({&plan});
    return emitted;
}

int64_t DrawCurves(const GraphFrame& frame) {
    for (int s = 0; s < kSlotCount; ++s) {
        int& b = g_view.FileBrightness[s];
        b = g_view.FileDimmed[s] ? std::max(96, b - 6) : std::min(255, b + 6);
    }
    int order[kSlotCount] = {2, 1, 0};
    if (g_view.FileDimmed[0]) std::reverse(order, order + kSlotCount);
    RenderSetBlend(BlendMode::Alpha, 255);
    // The columns of every curve first, then their extremes on two cores (the memory-bound
    // part of a frame of a long recording), each curve drawn, in the files' order, as soon
    // as its extremes are there.
    static CurveColumns shared[kSlotCount]; // each file's, read by its curves until drawn
    int curves = 0;
    for (int slot : order) {
        if (g_view.GraphPositionMode && slot != 0) continue;
        if (!SlotOf(slot).active) continue;
        shared[slot].count = -1;
        for (int c = 0; c < kColumnCount; ++c)
            if (PrepareCurve(frame, slot, c, g_curvePlans[size_t(curves)], &shared[slot])) ++curves;
    }
    // Dense curves wait until a curve of another kind (or the end) to be drawn together.
    std::vector<CurvePlan*> dense;
    int64_t emitted = 0;
    ParallelPipeline(
        curves, [](int i) { QueryCurve(g_curvePlans[size_t(i)]); },
        [&](int i) {
            CurvePlan& plan = g_curvePlans[size_t(i)];
            if (!DenseCurve(frame, plan)) {
                DrawDenseCurves(dense);
                dense.clear();
            } else {
                dense.push_back(&plan);
            }
            emitted += EmitCurve(frame, plan);
        });
    DrawDenseCurves(dense);
    return emitted;
}

} // namespace qvtk
