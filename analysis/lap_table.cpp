#include "analysis/lap_table.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

#include "analysis/lap_statistics.h"

namespace qvtk {

LapTableState g_lapTable;
LapChannelStats g_lapChannelStats[kSlotCount];

namespace {

bool HoldsRecording(FileSlot slot) {
    return SlotOf(slot).file.fileKind != kFileNone;
}

void ResetOrder(LapTablePanel& p) {
    for (int i = 0; i < kLapOrderEntries; ++i) p.lapOrder[i] = i;
}

// Gated extremes, sum and count of x[from..to). Branch-free so that it vectorizes: the table
// walks every sample of three recordings for twelve columns on every change.
struct GatedPass {
    int32_t hi = INT32_MIN, lo = INT32_MAX;
    int64_t sum = 0;
    int32_t n = 0;
};

__attribute__((target_clones("avx2", "default"))) GatedPass
RunGatedPass(const int32_t* gate, const int32_t* x, int32_t from, int32_t to) {
    int32_t hi = INT32_MIN, lo = INT32_MAX, n = 0;
    int64_t sum = 0;
    for (int32_t i = from; i < to; ++i) {
        const int32_t v = x[i];
        const int32_t on = -int32_t(gate[i] > kEngineGate); // all ones for a counted sample
        hi = std::max(hi, (v & on) | (INT32_MIN & ~on));
        lo = std::min(lo, (v & on) | (INT32_MAX & ~on));
        sum += v & on;
        n -= on;
    }
    return {hi, lo, sum, n};
}

// First counted sample holding v; the pass found one, so the scan ends inside the range.
int32_t FirstCounted(const int32_t* gate, const int32_t* x, int32_t from, int32_t to, int32_t v) {
    for (int32_t i = from; i < to; ++i)
        if (gate[i] > kEngineGate && x[i] == v) return i;
    return -1;
}

// A value for the "largest first" comparisons, safe to truncate.
int64_t Truncated(double v) {
    if (!(v > -9.0e18)) return INT64_MIN;
    if (!(v < 9.0e18)) return INT64_MAX;
    return int64_t(v);
}

std::string ValueText(double raw, int decimals) {
    static const char* const formats[] = {"%7.0f", "%7.1f", "%7.2f", "%7.3f"};
    if (decimals < 0 || decimals > 3) return {};
    char text[48];
    std::snprintf(text, sizeof text, formats[decimals], raw * 0.001);
    return text;
}

struct RowLap {
    int32_t k = -1;
    bool lap = false, average = false;
};

RowLap LapOfRow(int panel, int row) {
    const FileSlot slot = PanelSlot(panel);
    RowLap r;
    if (!HoldsRecording(slot) || row < 0 || row >= kTableRows) return r;
    const LapTablePanel& p = g_lapTable.panels[panel];
    const int32_t pos = MarksPerLap(slot) * row + p.scroll;
    if (pos < 0 || pos >= kLapOrderEntries) return r;
    const int32_t k = p.lapOrder[pos];
    const int32_t count = SlotOf(slot).laps.count;
    if (k >= count + MarksPerLap(slot)) return r;
    r.k = k;
    r.lap = k < count;
    r.average = !r.lap;
    return r;
}

bool LapTimeIsBest(FileSlot slot, int32_t k) {
    const int32_t best = LapStateOf(slot).bestLap;
    return best != kNoLap && LapDuration(slot, k) == LapDuration(slot, best);
}

// Sector times as the sector view shows them: lap 0 with one mark per lap has none.
int32_t ShownSectorTime(FileSlot slot, int32_t k, int s) {
    if (k < 0 || k >= kLapEntries || (k == 0 && MarksPerLap(slot) == 1)) return kNoTime;
    const int32_t t = LapStateOf(slot).sectorTime[k][s];
    return t == 0 ? kNoTime : t;
}

// True when the lap at a should come before the lap at b.
bool Before(FileSlot slot, int key, int32_t a, int32_t b) {
    if (key == 1) return LapDuration(slot, a) < LapDuration(slot, b);
    if (g_lapTable.sectorView) {
        // Each sector heading sorts by its own sector, fastest first; no time sorts last.
        const int s = key - 2;
        if (s < 0 || s >= 7) return false;
        return ShownSectorTime(slot, a, s) < ShownSectorTime(slot, b, s);
    }
    if (key < 2 || key > 13) return false;
    // The heading belongs to a column of the page on show: sort by what it heads.
    const int c = g_lapTable.page * kPageColumns + (key - 2) / 2;
    const LapColumnValues& va = g_lapChannelStats[slot].laps[c][a];
    const LapColumnValues& vb = g_lapChannelStats[slot].laps[c][b];
    // A lap without a counted sample has no value: it goes below every lap that has one.
    if (!va.counted) return false;
    if (!vb.counted) return true;
    return key % 2 == 0 ? Truncated(va.lapMin) > Truncated(vb.lapMin)
                        : Truncated(va.lapMax) > Truncated(vb.lapMax);
}

void ClampScroll(int panel) {
    int32_t& scroll = g_lapTable.panels[panel].scroll;
    scroll = std::max(0, std::min(scroll, ScrollLimit(PanelSlot(panel))));
}

} // namespace

void ResetLapTable() {
    g_lapTable = LapTableState();
    for (LapChannelStats& st : g_lapChannelStats) {
        for (auto& column : st.laps)
            for (LapColumnValues& v : column) v = LapColumnValues();
        for (int c = 0; c < kTableColumns; ++c) {
            st.bestMinLap[c] = st.bestMaxLap[c] = kNoLap;
            st.meanMin[c] = st.meanMax[c] = st.meanAvg[c] = 0;
            st.decimals[c] = 0;
            st.column[c] = c;
        }
    }
}

FileSlot PanelSlot(int panel) {
    return panel == 0 ? 0 : (g_lapTable.lowerSlot == 2 ? 2 : 1);
}

void ComputeColumnLapValues(FileSlot slot, int column, LapColumnValues laps[kLapEntries]) {
    for (int k = 0; k < kLapEntries; ++k) laps[k] = LapColumnValues();
    if (!HoldsRecording(slot)) return;
    const Slot& s = SlotOf(slot);
    const int m = MarksPerLap(slot);
    const int32_t count = s.laps.count;
    const bool present = IsPresent(s, column) && HasFullBuffer(s, column);
    const bool gated = IsPresent(s, 0) && HasFullBuffer(s, 0);
    const int32_t limit = std::min(s.sampleCount, s.capacity);
    const double scale =
        s.channels[column < 0 || column >= kColumnCount ? kColumnCount : column].code == kCodeNe
            ? double(s.engineSpeedScale)
            : 1.0;
    for (int32_t k = 0; k <= count - m && k < kLapEntries; k += m) {
        LapColumnValues& v = laps[k];
        if (!present) { // an absent channel shows zeros
            v.counted = true;
            continue;
        }
        if (!gated) continue;
        const int32_t start = LapMark(slot, k);
        const int32_t from = std::max(start == 0 ? 1 : start, 0);
        const int32_t to = std::min(LapMark(slot, k + m) + 1, limit);
        if (from >= to) continue;
        const int32_t* gate = s.samples[0];
        const int32_t* x = s.samples[column];
        const GatedPass g = RunGatedPass(gate, x, from, to);
        if (g.n == 0) continue; // the engine never ran: no value, never a best
        v.counted = true;
        v.lapMin = double(g.lo) * scale;
        v.lapMax = double(g.hi) * scale;
        v.lapAvg = double(g.sum) * scale / g.n;
        v.lapMinAt = FirstCounted(gate, x, from, to, g.lo);
        v.lapMaxAt = FirstCounted(gate, x, from, to, g.hi);
        if (scale < 0) {
            std::swap(v.lapMin, v.lapMax);
            std::swap(v.lapMinAt, v.lapMaxAt);
        }
    }
}

void ComputeLapChannelStats(const TableColumns& columns) {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        LapChannelStats& st = g_lapChannelStats[slot];
        for (int c = 0; c < kTableColumns; ++c) {
            const int32_t column = columns[slot][c];
            st.column[c] = column;
            const bool valid = column >= 0 && column < kColumnCount;
            st.decimals[c] = valid ? SlotOf(slot).channels[column].decimals : 0;
            ComputeColumnLapValues(slot, valid ? column : kColumnCount, st.laps[c]);
        }
    }
    UpdateLapTableBests();
    for (int panel = 0; panel < kPanelCount; ++panel) SortLaps(panel);
}

void UpdateLapTableBests() {
    ComputeLapStatistics();
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        LapChannelStats& st = g_lapChannelStats[slot];
        const LapState& laps = LapStateOf(slot);
        const int m = MarksPerLap(slot);
        const int32_t count = SlotOf(slot).laps.count;
        for (int c = 0; c < kTableColumns; ++c) {
            // The zeros of an absent channel are no values to be best at.
            const bool present = IsPresent(SlotOf(slot), st.column[c]);
            int32_t bestMin = kNoLap, bestMax = kNoLap, n = 0;
            double sumMin = 0, sumMax = 0, sumAvg = 0;
            for (int32_t k = 0; k <= count - m && k < kLapEntries; k += m) {
                const LapColumnValues& v = st.laps[c][k];
                if (!laps.lapChecked[k] || !v.counted) continue;
                sumMin += v.lapMin;
                sumMax += v.lapMax;
                sumAvg += v.lapAvg;
                ++n;
                // Strictly better only: of equal values the earlier lap stays the best.
                if (!present) continue;
                if (bestMin == kNoLap || v.lapMin < st.laps[c][bestMin].lapMin) bestMin = k;
                if (bestMax == kNoLap || v.lapMax > st.laps[c][bestMax].lapMax) bestMax = k;
            }
            st.bestMinLap[c] = bestMin;
            st.bestMaxLap[c] = bestMax;
            st.meanMin[c] = n ? sumMin / n : 0;
            st.meanMax[c] = n ? sumMax / n : 0;
            st.meanAvg[c] = n ? sumAvg / n : 0;
        }
    }
}

void SortLaps(int panel) {
    LapTablePanel& p = g_lapTable.panels[panel];
    ResetOrder(p);
    const FileSlot slot = PanelSlot(panel);
    if (!HoldsRecording(slot) || p.sortKey < 1 || p.sortKey > 13) return;
    const int m = MarksPerLap(slot);
    const int32_t count = std::min(SlotOf(slot).laps.count, kLapEntries);
    const int32_t last = ((count - 1) / m) * m;
    // An exchange sort that only swaps on strictly better: equal laps keep their order.
    for (int32_t i = 0; i < count; i += m)
        for (int32_t j = last; j > i; j -= m)
            if (Before(slot, p.sortKey, p.lapOrder[j], p.lapOrder[j - m]))
                std::swap(p.lapOrder[j], p.lapOrder[j - m]);
}

int32_t ScrollLimit(FileSlot slot) {
    const int m = MarksPerLap(slot);
    return std::max(0, m * (SlotOf(slot).laps.count / m) - 6 * m);
}

void ScrollPanel(int panel, TableScroll action, int32_t thumb) {
    const FileSlot slot = PanelSlot(panel);
    const int m = MarksPerLap(slot);
    int32_t& scroll = g_lapTable.panels[panel].scroll;
    switch (action) {
    case TableScroll::LineUp:
        scroll -= m;
        break;
    case TableScroll::LineDown:
        scroll += m;
        break;
    case TableScroll::PageUp:
        scroll -= 4 * m;
        break;
    case TableScroll::PageDown:
        scroll += 4 * m;
        break;
    case TableScroll::Thumb:
        scroll = m * (thumb / m);
        break;
    case TableScroll::Top:
        scroll = 0;
        break;
    case TableScroll::Bottom:
        scroll = m * ((SlotOf(slot).laps.count - 1) / m);
        break;
    }
    ClampScroll(panel);
}

void OpenLapTable(const TableColumns& columns) {
    g_lapTable.lowerSlot = 1;
    g_lapTable.page = 0;
    g_lapTable.sectorView = 0;
    g_lapTable.jumpRequest = false;
    for (int32_t& t : g_lapTable.jumpTarget) t = -1;
    for (LapTablePanel& p : g_lapTable.panels) p.selectState = p.sortKey = 0;
    if (!g_lapTable.keepChecks)
        for (FileSlot slot = 0; slot < kSlotCount; ++slot) ResetLapChecks(slot);
    // Both panels open at the first lap: the out lap is a lap of the file too.
    for (LapTablePanel& p : g_lapTable.panels) p.scroll = 0;
    ComputeLapChannelStats(columns);
    for (int panel = 0; panel < kPanelCount; ++panel)
        g_lapTable.panels[panel].highlightLap = LapStateOf(PanelSlot(panel)).bestLap;
}

LapTablePanelView FillPanel(int panel) {
    LapTablePanelView view;
    const FileSlot slot = PanelSlot(panel);
    const LapState& laps = LapStateOf(slot);
    const LapChannelStats& st = g_lapChannelStats[slot];
    const int m = MarksPerLap(slot);
    const int32_t highlight = g_lapTable.panels[panel].highlightLap;
    for (int r = 0; r < kTableRows; ++r) {
        LapTableRow& row = view.rows[r];
        const RowLap at = LapOfRow(panel, r);
        if (at.k < 0) continue;
        const int32_t k = at.k;
        row.lap = k;
        row.average = at.average;
        row.highlighted = highlight != kNoLap && k == highlight;
        row.checkable = at.lap;
        row.checked = at.lap && k < kLapEntries && laps.lapChecked[k];
        LapTableCell* cells = row.cells;
        if (at.average) {
            cells[0].text = "Avr.";
        } else if (g_lapTable.sectorView || m == 1 || k % m == 0) {
            cells[0].text = FormatLapTime(LapDuration(slot, k), slot);
            cells[0].red = LapTimeIsBest(slot, k);
        } else {
            cells[0].text = "- -";
        }
        if (g_lapTable.sectorView) {
            for (int s = 0; s < 7 && at.lap; ++s) {
                const int32_t t = ShownSectorTime(slot, k, s);
                if (t == kNoTime) continue;
                cells[s + 1].text = FormatSectorTime(t, slot);
                const int32_t best = laps.bestSectorLap[s];
                cells[s + 1].red = best != kNoLap && t == laps.sectorTime[best][s];
            }
            if (r == 0) {
                cells[11].text = FormatLapTimePadded(IdealTime(slot), slot);
                cells[12].text = FormatLapTimePadded(AverageLapTime(slot), slot);
            }
            continue;
        }
        const bool avr = g_lapTable.averageView;
        for (int j = 0; j < kPageColumns; ++j) {
            const int c = g_lapTable.page * kPageColumns + j;
            LapTableCell& first = cells[1 + 2 * j];
            LapTableCell& second = cells[2 + 2 * j];
            if (at.average) {
                first.text = ValueText(avr ? st.meanAvg[c] : st.meanMin[c], st.decimals[c]);
                if (!avr) second.text = ValueText(st.meanMax[c], st.decimals[c]);
                continue;
            }
            if (k >= kLapEntries) continue;
            const LapColumnValues& v = st.laps[c][k];
            if (!v.counted) continue; // no sample passed the engine gate
            first.text = ValueText(avr ? v.lapAvg : v.lapMin, st.decimals[c]);
            if (avr) continue;
            second.text = ValueText(v.lapMax, st.decimals[c]);
            const int32_t bestMin = st.bestMinLap[c], bestMax = st.bestMaxLap[c];
            first.red = bestMin != kNoLap && v.lapMin == st.laps[c][bestMin].lapMin;
            second.red = bestMax != kNoLap && v.lapMax == st.laps[c][bestMax].lapMax;
        }
    }
    return view;
}

void TableHeadings(std::string out[kRowCells]) {
    out[0] = "LapTime";
    for (int i = 1; i < kRowCells; ++i) {
        if (g_lapTable.sectorView)
            out[i] = i <= 7    ? "Sec" + std::to_string(i)
                     : i == 11 ? "Ideal time"
                     : i == 12 ? "Lap  Avr. "
                               : "";
        else if (g_lapTable.averageView)
            out[i] = i % 2 ? "avr" : "";
        else
            out[i] = i % 2 ? "min" : "max";
    }
}

const char* SelectHeading(int panel) {
    switch (g_lapTable.panels[panel].selectState) {
    case 1:
        return "ALL off";
    case 2:
        return "ALL on";
    default:
        return "Select";
    }
}

void ClickHeading(int panel, int heading, const TableColumns& columns) {
    if (g_lapTable.averageView || heading < 0 || heading >= kRowCells) return;
    g_lapTable.panels[panel].sortKey = heading + 1;
    g_lapTable.panels[panel].scroll = 0;
    ComputeLapChannelStats(columns);
}

bool ToggleRowCheck(int panel, int row) {
    const RowLap at = LapOfRow(panel, row);
    if (!at.lap || at.k >= kLapEntries) return false;
    g_lapTable.panels[panel].selectState = 0;
    bool& checked = LapStateOf(PanelSlot(panel)).lapChecked[at.k];
    checked = !checked;
    UpdateLapTableBests();
    return true;
}

void ClickSelect(int panel) {
    int& state = g_lapTable.panels[panel].selectState;
    state = state == 1 ? 2 : 1;
    const FileSlot slot = PanelSlot(panel);
    const int32_t count = SlotOf(slot).laps.count;
    for (int k = 0; k < kLapEntries; ++k) LapStateOf(slot).lapChecked[k] = state == 2 && k < count;
    UpdateLapTableBests();
}

CellClick ClickCell(int panel, int row, int cell) {
    const RowLap at = LapOfRow(panel, row);
    if (!at.lap || cell < 0 || cell >= kRowCells || at.k >= kLapEntries) return CellClick::Nothing;
    const FileSlot slot = PanelSlot(panel);
    const int32_t k = at.k;
    int32_t& target = g_lapTable.jumpTarget[slot];
    if (cell == 0) g_lapTable.panels[panel].highlightLap = k;
    if (!g_lapTable.sectorView) {
        if (g_lapTable.averageView) return cell == 0 ? CellClick::Highlight : CellClick::Nothing;
        if (cell == 0) {
            target = LapMark(slot, k); // remembered; the cursor stays until a value is clicked
            return CellClick::Highlight;
        }
        const LapColumnValues& v =
            g_lapChannelStats[slot].laps[g_lapTable.page * kPageColumns + (cell - 1) / 2][k];
        if (!v.counted) return CellClick::Nothing; // an empty cell
        target = cell % 2 ? v.lapMinAt : v.lapMaxAt;
    } else {
        if (cell > 7) return CellClick::Nothing;
        int64_t at = LapMark(slot, k);
        for (int s = 0; s + 1 < cell; ++s) at += LapStateOf(slot).sectorTime[k][s];
        target = at > SlotOf(slot).sampleCount ? -1 : int32_t(at);
    }
    g_lapTable.jumpSlot = slot;
    g_lapTable.jumpRequest = true;
    return CellClick::Jump;
}

void SwitchLowerSlot(const TableColumns& columns) {
    g_lapTable.lowerSlot = g_lapTable.lowerSlot == 1 ? 2 : 1;
    g_lapTable.panels[1].scroll = 0; // at its first lap, as when opening
    ComputeLapChannelStats(columns);
    g_lapTable.panels[1].highlightLap = LapStateOf(PanelSlot(1)).bestLap;
}

} // namespace qvtk
