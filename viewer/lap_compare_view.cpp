#include "viewer/lap_compare_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/slip_map.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk {

LapCompareView g_compareView;

namespace {

constexpr int32_t kLeastSlipReach = 500; // ms either way the slip band shows at least
constexpr int kSlipBandRows = 80;        // the slip band's height where the layout has no room

bool Loaded(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    return s.active && s.file.fileKind != kFileNone;
}

double ReferenceLength() {
    return LapLengthMetres(ReferenceLap());
}

int32_t LapHolding(FileSlot slot, double sample) {
    return LapOfSample(slot, int32_t(std::floor(sample)));
}

// File 1's sample at the distance a following file's sample has, in File 1's paired lap.
bool ToFile1(FileSlot slot, double sample, double length, double& out) {
    const LapRef lap{slot, LapHolding(slot, sample)};
    const int32_t k1 = LapAtOrdinal(0, LapOrdinal(slot, lap.lap) - g_compareView.pairing[slot]);
    if (k1 < 0) return false;
    out = SampleAtAlignedDistance({0, k1}, AlignedDistance(lap, sample, length), length);
    return true;
}

// A following file's sample at the distance of File 1's sample; `before` tells which end a
// failure lies at.
bool FromFile1(FileSlot slot, double s1, double length, double& out, bool& before) {
    const LapRef lap{0, LapHolding(0, s1)};
    const int32_t ordinal = LapOrdinal(0, lap.lap) + g_compareView.pairing[slot];
    const int32_t k = LapAtOrdinal(slot, ordinal);
    before = ordinal < 0;
    if (k < 0) return false;
    out = SampleAtAlignedDistance({slot, k}, AlignedDistance(lap, s1, length), length);
    return true;
}

double File1SampleAt(const GraphFrame& f, double x) {
    return ((x - f.baseX) * 100.0 / f.pixelsPerSample[0] + double(SlotOf(0).cursorPos)) / 100.0;
}

double File1X(const GraphFrame& f, double sample) {
    return (sample * 100.0 - double(SlotOf(0).cursorPos)) * f.pixelsPerSample[0] / 100.0 + f.baseX;
}

// Which lap of each following file goes with File 1's, from where the cursors stand.
void PairWithFile1(FileSlot slot) {
    const int32_t c1 = CursorSample(0), c = CursorSample(slot);
    g_compareView.pairing[slot] =
        LapOrdinal(slot, LapOfSample(slot, c)) - LapOrdinal(0, LapOfSample(0, c1));
}

bool Follows(FileSlot slot) {
    return slot != 0 && Loaded(slot) && g_view.FileMoveFlag[slot];
}

// The bands drawn in their own rows, one per code, the slip band's aside.
std::vector<ChannelCode> PlacedBands() {
    std::vector<ChannelCode> codes;
    const Slot& s = SlotOf(0);
    for (int c = 0; c < kColumnCount; ++c) {
        const ChannelCode code = s.channels[c].code;
        if (!IsPresent(s, c) || !(s.channelFlags[c] & kChannelShown) ||
            g_graph.GraphOrder[c] != c || IsComputedColumn(c) ||
            std::find(codes.begin(), codes.end(), code) != codes.end())
            continue;
        codes.push_back(code);
    }
    return codes;
}

// No rows were free: every band is moved into the rows above `limit`, in the same order and
// proportions, as stacking shares the height, so that none lies under the slip band.
void SqueezeBandsAbove(int32_t limit) {
    const std::vector<ChannelCode> codes = PlacedBands();
    int32_t first = INT32_MAX, last = INT32_MIN;
    for (ChannelCode code : codes) {
        const GraphCodeSettings& g = GraphOf(code);
        first = std::min({first, g.GraphTop, g.GraphBottom});
        last = std::max({last, g.GraphTop, g.GraphBottom});
    }
    if (codes.empty() || last <= limit || limit - first < 10 * int32_t(codes.size())) return;
    auto squeeze = [&](int32_t y) {
        return first + int32_t(int64_t(y - first) * (limit - first) / (last - first));
    };
    for (ChannelCode code : codes) {
        GraphCodeSettings& g = GraphOf(code);
        LapCompareView::SqueezedBand b{code, g.GraphTop, g.GraphBottom, g.GraphZero, g.GraphScale};
        g.GraphTop = squeeze(g.GraphTop);
        g.GraphBottom = squeeze(g.GraphBottom);
        DeriveScaleFromBand(g);
        b.squeezedTop = g.GraphTop;
        b.squeezedBottom = g.GraphBottom;
        g_compareView.squeezed.push_back(b);
    }
}

// Comparing stops: the bands get their own rows back, and the slip band is placed anew the
// next time.
void UnsqueezeBands() {
    for (const LapCompareView::SqueezedBand& b : g_compareView.squeezed) {
        GraphCodeSettings& g = GraphOf(b.code);
        if (g.GraphTop != b.squeezedTop || g.GraphBottom != b.squeezedBottom) continue;
        g.GraphTop = b.top;
        g.GraphBottom = b.bottom;
        g.GraphZero = b.zero;
        g.GraphScale = b.scale;
    }
    g_compareView.squeezed.clear();
    GraphOf(kCodeTimeSlip) = GraphCodeSettings();
}

// The slip band where the layout has none: in rows the other bands leave free, even about 0.
void PlaceSlipBand(int column) {
    GraphCodeSettings& g = GraphOf(kCodeTimeSlip);
    const GraphCodeSettings unplaced;
    if (g.GraphTop != unplaced.GraphTop || g.GraphBottom != unplaced.GraphBottom ||
        g.GraphMin != unplaced.GraphMin || g.GraphMax != unplaced.GraphMax)
        return;
    StackUnplacedBands({column});
    // With no rows free it was stacked over the whole height, over every band: it takes rows
    // of its own near the bottom, clear of the zones panel below them, and the other bands
    // move up out of them.
    const bool noRoom = g.GraphBottom - g.GraphTop > kSlipBandRows;
    const int panel = (kZoneRows + 1) * (g_res.smallFontSize + 3) + 16;
    if (g.GraphBottom - g.GraphTop > kSlipBandRows + panel) g.GraphBottom -= panel;
    if (g.GraphBottom - g.GraphTop > kSlipBandRows) g.GraphTop = g.GraphBottom - kSlipBandRows;
    if (noRoom) SqueezeBandsAbove(g.GraphTop - 6);
    int32_t reach = kLeastSlipReach;
    for (FileSlot s = 0; s < kSlotCount; ++s)
        if (Loaded(s))
            reach = std::max({reach, std::abs(SlotOf(s).range.min[column]),
                              std::abs(SlotOf(s).range.max[column])});
    reach = (reach + kLeastSlipReach - 1) / kLeastSlipReach * kLeastSlipReach;
    g.GraphMin = -reach;
    g.GraphMax = reach;
    g.GraphStep = reach;
    g.GridShown = 1;
    DeriveScaleFromBand(g);
}

// The lap table's channel boxes may show the slip channel; once it is gone they go back to
// their own columns, so that no box keeps a column that now holds nothing.
void ForgetSlipColumn(int column) {
    if (column < 0 || column == g_lapCompare.slipColumn) return;
    for (auto& set : g_layoutExtras.An_CH)
        for (int i = 0; i < kAnalysisItems; ++i)
            if (set[i] == column) set[i] = i;
}

void RefreshSlipChannels() {
    const int before = g_lapCompare.slipColumn;
    const int change = UpdateSlipChannels(g_compareView.on);
    if (change & kSlipColumns) {
        ForgetSlipColumn(before);
        RebuildGraphList();
        if (g_lapCompare.slipColumn >= 0) PlaceSlipBand(g_lapCompare.slipColumn);
    }
    if (change) RequestRedraw(kRedrawFull);
}

std::string Pair(const ZoneValue& v, const char* format) {
    if (!v.known) return "-";
    char a[24], b[24];
    std::snprintf(a, sizeof a, format, v.reference);
    std::snprintf(b, sizeof b, format, v.compared);
    return std::string(a) + "/" + b;
}

std::string ZoneText(int n, const SlipZone& z) {
    char text[256];
    std::snprintf(
        text, sizeof text,
        "%d %5.0f-%-5.0fm Sec%d %+.3fs  brake %sm  min %skm/h  gas %sm  gear %s  exit %srpm", n,
        z.from, z.to, z.sector, z.timeLost, Pair(z.brakingPoint, "%.0f").c_str(),
        Pair(z.lowestSpeed, "%.0f").c_str(), Pair(z.throttlePickUp, "%.0f").c_str(),
        Pair(z.apexGear, "%.0f").c_str(), Pair(z.exitEngineSpeed, "%.0f").c_str());
    return text;
}

// The five zones that moved the slip most, ordered by time lost.
int LargestZones(const LapComparison& c, SlipZone* out) {
    std::vector<SlipZone> zones = c.zones;
    std::stable_sort(zones.begin(), zones.end(), [](const SlipZone& a, const SlipZone& b) {
        return std::fabs(a.timeLost) > std::fabs(b.timeLost);
    });
    if (zones.size() > size_t(kZoneRows)) zones.resize(kZoneRows);
    std::stable_sort(zones.begin(), zones.end(),
                     [](const SlipZone& a, const SlipZone& b) { return a.timeLost > b.timeLost; });
    std::copy(zones.begin(), zones.end(), out);
    return int(zones.size());
}

void GoToZone(FileSlot slot, const SlipZone& zone, const GraphFrame& frame) {
    const LapComparison& c = g_lapCompare.comparison[slot];
    const double length = c.length;
    const LapRef shown = c.compared.slot == 0 ? c.compared : c.reference;
    const double from = SampleAtAlignedDistance(shown, zone.from, length);
    const double to = SampleAtAlignedDistance(shown, zone.to, length);
    auto place = [](FileSlot s, double sample) {
        SlotOf(s).cursorPos = std::clamp<int64_t>(std::llround(sample * 100.0), 0,
                                                  int64_t(SlotOf(s).sampleCount - 1) * 100);
        g_view.ScrollTarget[s] = -1;
    };
    place(0, from);
    if (c.compared.slot != 0)
        place(c.compared.slot, SampleAtAlignedDistance(c.compared, zone.from, length));
    // The other following files to the same place of the laps they show.
    for (FileSlot s = 1; s < kSlotCount; ++s) {
        if (s == c.compared.slot || !Follows(s)) continue;
        place(s, SampleAtAlignedDistance({s, LapOfSample(s, CursorSample(s))}, zone.from, length));
    }
    for (FileSlot s = 1; s < kSlotCount; ++s) PairWithFile1(s);
    for (FileSlot s = 0; s < kSlotCount; ++s) g_compareView.lastCursor[s] = SlotOf(s).cursorPos;
    // The zone fills the graphs right of the baseline.
    const double width = std::max(double(frame.clientWidth) - frame.baseX - 30.0, 50.0);
    const double samples = std::max(to - from, 1.0);
    g_view.HorizontalCompression = std::clamp(
        float(samples * frame.zoom / (SlotOf(0).sampleRateFactor * width)), 0.1f, 1000.0f);
    RequestRedraw(kRedrawFull);
}

} // namespace

void ResetLapCompareView() {
    g_compareView = LapCompareView();
    ResetSlipMap();
}

void SetLapComparison(bool on) {
    if (g_compareView.on == on) return;
    g_compareView.on = on;
    for (int64_t& c : g_compareView.lastCursor) c = -1;
    if (on) {
        FollowByDistance();
    } else {
        RefreshSlipChannels();
        UnsqueezeBands();
    }
    RequestRedraw(kRedrawFull);
    SyncToolbar();
}

void UserBandRows(ChannelCode code, int32_t& top, int32_t& bottom) {
    const GraphCodeSettings& g = GraphOf(code);
    top = g.GraphTop;
    bottom = g.GraphBottom;
    for (const LapCompareView::SqueezedBand& b : g_compareView.squeezed)
        if (b.code == code && g.GraphTop == b.squeezedTop && g.GraphBottom == b.squeezedBottom)
            top = b.top, bottom = b.bottom;
}

void PlaceSlipBandAfterLayout() {
    g_compareView.squeezed.clear();
    GraphOf(kCodeTimeSlip) = GraphCodeSettings();
    if (g_lapCompare.slipColumn >= 0) PlaceSlipBand(g_lapCompare.slipColumn);
}

void PickReference(int32_t lap) {
    PickReferenceLap(lap);
    RequestRedraw(kRedrawFull);
}

void PickReferenceAtCursor(bool fastest) {
    PickReference(fastest ? -1 : LapAtCursor(0).lap);
}

void FollowByDistance() {
    LapCompareView& v = g_compareView;
    if (!v.on) return;
    UpdateLapDistances(ReferenceLap());
    const double length = ReferenceLength();
    if (!Loaded(0) || length < 1) return;
    const int64_t c1 = SlotOf(0).cursorPos;
    const bool first = v.lastCursor[0] < 0, moved = c1 != v.lastCursor[0];
    for (FileSlot s = 1; s < kSlotCount; ++s) {
        if (!Follows(s)) {
            v.lastCursor[s] = SlotOf(s).cursorPos;
            continue;
        }
        // Moved on its own (or just joined): it keeps the lap it went to.
        if (first || v.lastCursor[s] < 0 || (!moved && SlotOf(s).cursorPos != v.lastCursor[s]))
            PairWithFile1(s);
        double sample = 0;
        bool before = false;
        if ((first || moved) && FromFile1(s, double(c1) / 100.0, length, sample, before)) {
            SlotOf(s).cursorPos = std::clamp<int64_t>(std::llround(sample * 100.0), 0,
                                                      int64_t(SlotOf(s).sampleCount - 1) * 100);
            g_view.ScrollTarget[s] = -1;
        }
        v.lastCursor[s] = SlotOf(s).cursorPos;
    }
    v.lastCursor[0] = c1;
    RefreshSlipChannels(); // a file may have moved into another lap
}

const LapComparison* ShownComparison(FileSlot* slot) {
    const FileSlot order[] = {FileSlot(g_view.CurrentFile), 1, 2, 0};
    for (FileSlot s : order) {
        if (const LapComparison* c = ComparisonOf(s)) {
            if (slot) *slot = s;
            return c;
        }
    }
    return nullptr;
}

void PrepareAlignedFrame(GraphFrame& frame) {
    const double length = g_compareView.on ? ReferenceLength() : 0;
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        frame.aligned[s] = false;
        frame.alignShift[s] = 0;
        double s1 = 0;
        if (s == 0 || length < 1 || !Follows(s) || !Loaded(0) ||
            !ToFile1(s, double(SlotOf(s).cursorPos) / 100.0, length, s1))
            continue;
        frame.aligned[s] = true;
        frame.alignLength = length;
        // Its cursor on the baseline, wherever it went on its own.
        frame.alignShift[s] = frame.baseX - File1X(frame, s1);
    }
}

double AlignedSampleX(const GraphFrame& frame, FileSlot slot, double sample) {
    double s1 = 0;
    if (!ToFile1(slot, sample, frame.alignLength, s1))
        return (sample * 100.0 - double(SlotOf(slot).cursorPos)) * frame.pixelsPerSample[slot] /
                   100.0 +
               frame.baseX;
    return File1X(frame, s1) + frame.alignShift[slot];
}

int64_t AlignedSampleAtX(const GraphFrame& frame, FileSlot slot, double x) {
    const double s1 = File1SampleAt(frame, x - frame.alignShift[slot]);
    const int32_t n = SlotOf(slot).sampleCount;
    if (s1 < 0) return -1;
    if (s1 >= SlotOf(0).sampleCount) return n;
    double sample = 0;
    bool before = false;
    if (!FromFile1(slot, s1, frame.alignLength, sample, before)) return before ? -1 : n;
    return int64_t(std::floor(sample));
}

void DrawSlipZonesPanel(const GraphFrame& frame) {
    LapCompareView& v = g_compareView;
    v.rows = 0;
    v.panelShown = false;
    if (!v.on || !v.zonesPanel || !NormalGraphView()) return;
    FileSlot slot = 0;
    const LapComparison* c = ShownComparison(&slot);
    const LapRef ref = ReferenceLap();
    char header[160];
    if (c)
        std::snprintf(header, sizeof header,
                      "Time lost: File %d lap %d against File 1 lap %d  %+.3f s  (%d zones)",
                      c->compared.slot + 1, c->compared.lap, c->reference.lap,
                      c->comparedSeconds - c->referenceSeconds, int(c->zones.size()));
    else
        std::snprintf(header, sizeof header, "Time lost: no lap against File 1 lap %d", ref.lap);
    std::string lines[kZoneRows];
    const int rows = c ? LargestZones(*c, v.rowZone) : 0;
    for (int i = 0; i < rows; ++i) lines[i] = ZoneText(i + 1, v.rowZone[i]);
    int width = RenderTextWidth(g_res.smallFont, "%s", header);
    for (int i = 0; i < rows; ++i)
        width = std::max(width, RenderTextWidth(g_res.smallFont, "%s", lines[i].c_str()));
    const float lh = float(g_res.smallFontSize + 3);
    const float right = float(frame.clientWidth - 10), left = right - float(width) - 12;
    const float bottom = float(frame.clientHeight - (g_view.ScrollBarOn ? 24 : 0) - 8);
    const float top = bottom - lh * float(rows + 1) - 8;
    RenderSetBlend(BlendMode::Alpha, 180);
    RenderBox(left, top, right, bottom,
              LightScheme() ? RenderColor(245, 245, 240) : RenderColor(10, 12, 20), true);
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderText(left + 6, top + 4, FileColor(c ? c->compared.slot : 0), g_res.smallFont, "%s",
               header);
    v.panelShown = true;
    v.panelLeft = left;
    v.panelRight = right;
    v.panelTop = top;
    v.panelBottom = bottom;
    v.rowSlot = slot;
    for (int i = 0; i < rows; ++i) {
        const float y = top + 4 + lh * float(i + 1);
        v.rowTop[i] = y;
        v.rowBottom[i] = y + lh;
        const bool hover = g_view.MouseX >= left && g_view.MouseX < right && g_view.MouseY >= y &&
                           g_view.MouseY < y + lh;
        if (hover) {
            RenderSetBlend(BlendMode::Alpha, 60);
            RenderBox(left + 2, y, right - 2, y + lh, SchemeTextColor(), true);
            RenderSetBlend(BlendMode::Alpha, 255);
        }
        const bool lost = v.rowZone[i].timeLost >= 0;
        const RenderColorValue color =
            LightScheme() ? (lost ? RenderColor(170, 20, 20) : RenderColor(10, 120, 30))
                          : (lost ? RenderColor(255, 120, 110) : RenderColor(120, 235, 130));
        RenderText(left + 6, y, color, g_res.smallFont, "%s", lines[i].c_str());
    }
    v.rows = rows;
}

bool SlipZonesClick(const GraphFrame& frame, int pressed) {
    const LapCompareView& v = g_compareView;
    if (!(pressed & kMouseLeft) || !NormalGraphView() || !SlipZonesPanelHoldsMouse()) return false;
    const float y = float(g_view.MouseY);
    for (int i = 0; i < v.rows; ++i)
        if (y >= v.rowTop[i] && y < v.rowBottom[i] && ComparisonOf(v.rowSlot))
            GoToZone(v.rowSlot, v.rowZone[i], frame);
    return true; // the panel takes the click, on a zone or not
}

bool SlipZonesPanelHoldsMouse() {
    const LapCompareView& v = g_compareView;
    const float x = float(g_view.MouseX), y = float(g_view.MouseY);
    return v.on && v.panelShown && x >= v.panelLeft && x < v.panelRight && y >= v.panelTop &&
           y < v.panelBottom;
}

} // namespace qvtk
