#include "analysis/lap_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/course_layout.h"
#include "data/sample_envelope.h"
#include "data/settings.h"
#include "platform/sample_memory.h"

namespace qvtk {

LapCompareState g_lapCompare;

namespace {

constexpr int kFirstFreeColumn = 16; // the fixed channel table ends before it
constexpr char kSlipName[] = "TimeSlip";

bool Loaded(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    return s.active && s.file.fileKind != kFileNone;
}

bool ValidLap(FileSlot slot, int32_t lap) {
    const Slot& s = SlotOf(slot);
    return lap >= 0 && lap < s.laps.count && lap < kLapEntries && lap % MarksPerLap(slot) == 0 &&
           LapEnd({slot, lap}) > LapStart({slot, lap});
}

// The lap of the file with the smallest duration other than `besides`; the later of equals.
LapRef ShortestLap(FileSlot slot, int32_t besides) {
    LapRef best{slot, -1};
    for (int32_t k = 0; k < SlotOf(slot).laps.count && k < kLapEntries; k += MarksPerLap(slot))
        if (k != besides && ValidLap(slot, k) &&
            (!best.Valid() || LapDuration(slot, k) <= LapDuration(slot, best.lap)))
            best.lap = k;
    return best;
}

// Where each of a lap's grid points lies in it: its fractional samples.
void GridSamples(const LapRef& lap, const LapTrace& trace, const std::vector<double>& grid,
                 std::vector<double>& out) {
    out.resize(grid.size());
    TimesAtDistances(trace, grid.data(), int(grid.size()), out.data());
    const double start = LapStart(lap);
    for (double& t : out) t = start + t / trace.secondsPerSample;
}

LapComparison Compare(const LapRef& ref, const LapRef& cmp, double threshold, LapTrace& r,
                      LapTrace& k) {
    LapComparison c;
    c.reference = ref;
    c.compared = cmp;
    c.length = LapLengthMetres(ref);
    c.referenceBase = LapDistanceBase(ref);
    c.comparedBase = LapDistanceBase(cmp);
    if (!ref.Valid() || !cmp.Valid() || c.length < 1) return c;
    r = MakeLapTrace(ref, c.length);
    k = MakeLapTrace(cmp, c.length);
    c.referenceSeconds = r.Seconds();
    c.comparedSeconds = k.Seconds();
    SlipOnGrid(r, k, kSlipGridStep, c.slip);
    std::vector<double> grid(c.slip.size());
    for (size_t g = 0; g < grid.size(); ++g) grid[g] = std::min(g * kSlipGridStep, c.length);
    LapOnGrid onRef, onCmp;
    onRef.slot = ref.slot;
    onCmp.slot = cmp.slot;
    GridSamples(ref, r, grid, onRef.sample);
    GridSamples(cmp, k, grid, onCmp.sample);
    ReadLapChannels(onRef);
    ReadLapChannels(onCmp);
    c.zones = FindSlipZones(c.slip, kSlipGridStep, onRef, onCmp, threshold);
    for (SlipZone& z : c.zones) z.sector = SectorAtDistance(ref, z.from);
    return c;
}

bool IsSlipColumn(FileSlot slot, int c) {
    const Slot& s = SlotOf(slot);
    return IsPresent(s, c) && s.channels[c].code == kCodeTimeSlip &&
           std::strcmp(s.channels[c].name, kSlipName) == 0;
}

void ToPlaceholder(Slot& s, int c) {
    FreeBlock(s.samples[c]);
    s.samples[c] = static_cast<int32_t*>(AllocateZeroed(kPlaceholderSamples * sizeof(int32_t)));
    s.columnCapacity[c] = s.samples[c] ? kPlaceholderSamples : 0;
}

bool RemoveSlipColumns() {
    bool removed = false;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        Slot& s = SlotOf(slot);
        for (int c = 0; c < kColumnCount; ++c) {
            if (!IsSlipColumn(slot, c)) continue;
            s.channelFlags[c] = 0;
            s.channels[c] = ChannelInfo();
            ToPlaceholder(s, c);
            RebuildColumnEnvelope(slot, c); // drops its envelope
            removed = true;
        }
    }
    g_lapCompare.slipColumn = -1;
    for (bool& written : g_lapCompare.written) written = false;
    return removed;
}

bool SlipColumnHolds(int c) {
    if (c < 0) return false;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot)
        if (Loaded(slot) && (!IsSlipColumn(slot, c) || !HasFullBuffer(SlotOf(slot), c)))
            return false;
    return true;
}

bool AddSlipColumn(FileSlot slot, int c) {
    Slot& s = SlotOf(slot);
    FreeBlock(s.samples[c]);
    s.samples[c] = static_cast<int32_t*>(AllocateZeroed(size_t(s.capacity) * sizeof(int32_t)));
    if (!s.samples[c]) {
        ToPlaceholder(s, c);
        return false;
    }
    s.columnCapacity[c] = s.capacity;
    ChannelInfo& info = s.channels[c];
    info = ChannelInfo();
    info.kind = 2;
    info.source = 1;
    info.code = kCodeTimeSlip;
    info.decimals = 3;
    std::snprintf(info.name, sizeof info.name, "%s", kSlipName);
    std::snprintf(info.unit, sizeof info.unit, "s");
    s.channelFlags[c] = kChannelPresent | kChannelShown;
    s.autoDisplay[c] = 1;
    s.fileColumn[c] = uint8_t(c);
    s.fileCode[c] = kCodeTimeSlip;
    return true;
}

// The slip channel in the same free column of every loaded file. False when it cannot be had.
bool PlaceSlipColumn(int& change) {
    if (SlipColumnHolds(g_lapCompare.slipColumn)) return true;
    if (RemoveSlipColumns()) change |= kSlipColumns;
    int column = -1;
    for (int c = kColumnCount - 1; c >= kFirstFreeColumn && column < 0; --c) {
        bool free = true;
        for (FileSlot slot = 0; slot < kSlotCount; ++slot)
            free = free && !IsPresent(SlotOf(slot), c) && SlotOf(slot).channels[c].kind == 0;
        if (free) column = c;
    }
    if (column < 0) return false;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        if (Loaded(slot) && !AddSlipColumn(slot, column)) {
            RemoveSlipColumns();
            return false;
        }
        g_lapCompare.writtenFrom[slot] = g_lapCompare.writtenTo[slot] = 0;
        g_lapCompare.written[slot] = false;
    }
    g_lapCompare.slipColumn = column;
    change |= kSlipColumns;
    return true;
}

// Writes a file's slip channel for the lap at its cursor (zero elsewhere).
void WriteSlip(FileSlot slot, const LapRef& ref, const LapRef& lap) {
    LapCompareState& st = g_lapCompare;
    Slot& s = SlotOf(slot);
    const int c = st.slipColumn;
    int32_t* out = s.samples[c];
    const int32_t n = std::min(s.sampleCount, s.capacity);
    std::fill(out + std::clamp(st.writtenFrom[slot], 0, n),
              out + std::clamp(st.writtenTo[slot], 0, n), 0);
    st.writtenFrom[slot] = st.writtenTo[slot] = 0;
    st.compared[slot] = ref.Valid() && lap.Valid() && !(lap == ref);
    st.comparison[slot] = LapComparison();
    int32_t lo = 0, hi = 0;
    if (st.compared[slot]) {
        LapTrace r, k;
        st.comparison[slot] = Compare(ref, lap, SlipZoneThreshold(), r, k);
        std::vector<double> slip;
        if (!r.distance.empty()) SlipPerSample(r, k, slip);
        const int32_t start = LapStart(lap);
        const int32_t count = std::min<int32_t>(int32_t(slip.size()) - 1, n - start);
        for (int32_t j = 0; j < count; ++j) {
            const auto v = int32_t(std::lround(slip[size_t(j)] * 1000.0));
            out[start + j] = v;
            lo = std::min(lo, v), hi = std::max(hi, v);
        }
        st.writtenFrom[slot] = start;
        st.writtenTo[slot] = start + std::max(count, 0);
    }
    s.range.min[c] = s.range.minCopy[c] = s.range.minByCode[kCodeTimeSlip] = lo;
    s.range.max[c] = s.range.maxByCode[kCodeTimeSlip] = hi;
    RebuildColumnEnvelope(slot, c);
}

} // namespace

LapComparison CompareLaps(const LapRef& reference, const LapRef& compared, double threshold) {
    LapTrace r, k;
    return Compare(reference, compared, threshold, r, k);
}

int SectorAtDistance(const LapRef& reference, double metres) {
    const int m = MarksPerLap(reference.slot);
    const double length = LapLengthMetres(reference);
    int sector = 1;
    if (m == 1) {
        const int32_t n = g_courseLayout.pointCount;
        const int32_t* sec = LapStateOf(reference.slot).sectors.sec;
        for (int s = 1; s < kSectorCount && n > 1; ++s)
            if (sec[s] < kSectorUnset && double(sec[s]) * length / n <= metres) sector = s + 1;
        return sector;
    }
    for (int j = 1; j < m; ++j)
        if (AlignedDistance(reference, LapMark(reference.slot, reference.lap + j), length) <=
            metres)
            sector = j + 1;
    return sector;
}

LapRef FastestLapOf(FileSlot slot) {
    const int32_t best = LapStateOf(slot).bestLap;
    return ValidLap(slot, best) ? LapRef{slot, best} : ShortestLap(slot, -1);
}

LapRef SecondFastestLapOf(FileSlot slot) {
    const int32_t second = LapStateOf(slot).secondBestLap;
    if (ValidLap(slot, second) && second != FastestLapOf(slot).lap) return {slot, second};
    return ShortestLap(slot, FastestLapOf(slot).lap);
}

double SlipZoneThreshold() {
    return std::clamp(g_settings.SlipZoneMs, 10, 10000) * 0.001;
}

void ResetLapCompare() {
    g_lapCompare = LapCompareState();
}

LapRef ReferenceLap() {
    if (!Loaded(0)) return LapRef();
    if (ValidLap(0, g_lapCompare.pickedReference)) return {0, g_lapCompare.pickedReference};
    return FastestLapOf(0);
}

void PickReferenceLap(int32_t lap) {
    g_lapCompare.pickedReference = lap;
}

LapRef LapAtCursor(FileSlot slot) {
    if (!Loaded(slot)) return LapRef();
    const Slot& s = SlotOf(slot);
    const int32_t cursor =
        std::clamp(int32_t(s.cursorPos / 100), 0, std::max(s.sampleCount - 1, 0));
    const LapRef lap{slot, LapOfSample(slot, cursor)};
    return ValidLap(slot, lap.lap) ? lap : LapRef{slot, -1};
}

int UpdateSlipChannels(bool on) {
    LapCompareState& st = g_lapCompare;
    int change = kSlipSame;
    if (!on) {
        if (RemoveSlipColumns()) change |= kSlipColumns;
        for (bool& c : st.compared) c = false;
        return change;
    }
    const LapRef ref = ReferenceLap();
    UpdateLapDistances(ref);
    if (!PlaceSlipColumn(change)) return change;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        if (!Loaded(slot)) {
            st.compared[slot] = false;
            st.written[slot] = false;
            continue;
        }
        const LapRef lap = LapAtCursor(slot);
        const uint32_t version = g_lapDistances.slots[slot].version;
        const uint32_t refVersion = g_lapDistances.slots[ref.slot].version;
        if (st.written[slot] && st.shown[slot] == lap && st.shownAgainst[slot] == ref &&
            st.shownVersion[slot] == version && st.shownReferenceVersion[slot] == refVersion)
            continue;
        WriteSlip(slot, ref, lap);
        st.written[slot] = true;
        st.shown[slot] = lap;
        st.shownAgainst[slot] = ref;
        st.shownVersion[slot] = version;
        st.shownReferenceVersion[slot] = refVersion;
        change |= kSlipValues;
    }
    return change;
}

const LapComparison* ComparisonOf(FileSlot slot) {
    if (slot < 0 || slot >= kSlotCount || !g_lapCompare.compared[slot]) return nullptr;
    const LapComparison& c = g_lapCompare.comparison[slot];
    return c.slip.empty() ? nullptr : &c;
}

} // namespace qvtk
