#include "analysis/lap_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"

namespace qvtk {

namespace {

bool HoldsRecording(FileSlot slot) {
    return SlotOf(slot).file.fileKind != kFileNone;
}

// The bests use "at or below" so that of two equal times the later lap wins. "No lap yet" is
// beaten by any checked lap.
void TakeBest(int32_t k, int32_t time, int32_t& best, int32_t& second, int32_t bestTime,
              int32_t secondTime) {
    if (best == kNoLap || time <= bestTime) {
        second = best;
        best = k;
    } else if (k != best && (second == kNoLap || time <= secondTime)) {
        second = k;
    }
}

void TakeBestSector(LapState& st, int32_t k, int s) {
    int32_t& best = st.bestSectorLap[s];
    int32_t& second = st.secondBestSectorLap[s];
    TakeBest(k, st.sectorTime[k][s], best, second, st.sectorTime[best][s],
             st.sectorTime[second][s]);
}

// Sectors from course points: sector s ends where the rider has covered the share of the lap's
// length that its end point has of the course. The distance is measured as the lap's length
// is (a lap measured by the GPS speed would otherwise never reach its end by the wheel).
void CourseSectorTimes(FileSlot slot, LapState& st, int32_t k) {
    const Slot& s = SlotOf(slot);
    const int32_t pointCount = g_courseLayout.pointCount < 1 ? 1 : g_courseLayout.pointCount;
    const int64_t lapLength = SegmentDistance(slot, k + 1);
    const int64_t step = lapLength / pointCount;
    const int32_t base = LapMark(slot, k);
    const int32_t span = LapMark(slot, k + 1) - base + 1;
    const int32_t last = (s.sampleCount < s.capacity ? s.sampleCount : s.capacity) - 1;
    const LapDistanceSteps steps = LapDistanceStepsOf(slot);
    if ((!steps.track && !steps.speed) || base < 0 || base > last) return;
    const int32_t* sec = st.sectors.sec;
    // The first j at which the distance since the lap's first mark reaches `end`, or 0. A
    // wheel track is read directly; the GPS speed is added up.
    const int32_t stop = std::min(span, last - base);
    auto reach = [&](int64_t end) -> int32_t {
        if (steps.track) {
            const uint32_t* f = steps.track + base;
            for (int32_t j = 1; j <= stop; ++j)
                if (int64_t(f[j] - f[0]) >= end) return j;
            return 0;
        }
        uint32_t covered = 0; // wraps as the tracks do
        for (int32_t j = 1; j <= stop; ++j) {
            covered += steps.At(base + j);
            if (int64_t(covered) >= end) return j;
        }
        return 0;
    };
    int32_t previous = 0;
    for (int sector = 0; sector < kSectorCount; ++sector) {
        if (sec[sector] >= kSectorUnset) continue;
        const int64_t end = sec[sector + 1] < kSectorUnset ? step * sec[sector + 1] : lapLength;
        const int32_t j = reach(end);
        if (j == 0) continue; // not reached
        st.sectorTime[k][sector] = j - previous;
        previous = j;
        if (st.lapChecked[k]) TakeBestSector(st, k, sector);
    }
}

// Sectors from the marks of a lap with 2 or 3 marks.
void MarkSectorTimes(FileSlot slot, LapState& st, int32_t k, int m) {
    for (int sector = 0; sector < m; ++sector) {
        int32_t t = LapMark(slot, k + sector + 1) - LapMark(slot, k + sector);
        if (t <= 0) continue;
        st.sectorTime[k][sector] = t;
        if (st.lapChecked[k]) TakeBestSector(st, k, sector);
    }
}

void ComputeSlotStatistics(FileSlot slot) {
    LapState& st = LapStateOf(slot);
    st.bestLap = st.secondBestLap = kNoLap;
    for (int s = 0; s < kSectorCount; ++s) st.bestSectorLap[s] = st.secondBestSectorLap[s] = kNoLap;
    for (auto& lap : st.sectorTime)
        for (int32_t& t : lap) t = kNoTime;
    const int m = MarksPerLap(slot);
    int32_t* sec = st.sectors.sec;
    if (m != 1)
        for (int s = 1; s <= 7; ++s) sec[s] = kSectorUnset;
    const bool recording = HoldsRecording(slot);
    if (recording && m != 1) {
        for (int s = 0; s < m; ++s) sec[s] = s + 1;
        sec[m] = kSectorUnset;
    }
    const int32_t count = SlotOf(slot).laps.count;
    for (int32_t k = 0; k <= count - m && k < kNoLap; k += m) {
        if (st.lapChecked[k]) {
            const int32_t t = LapDuration(slot, k);
            TakeBest(k, t, st.bestLap, st.secondBestLap, LapDuration(slot, st.bestLap),
                     LapDuration(slot, st.secondBestLap));
        }
        if (!recording) continue;
        if (m == 1)
            CourseSectorTimes(slot, st, k);
        else
            MarkSectorTimes(slot, st, k, m);
    }
}

std::string Format(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

} // namespace

void ComputeLapStatistics() {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) ComputeSlotStatistics(slot);
}

int32_t IdealTime(FileSlot slot) {
    const LapState& st = LapStateOf(slot);
    int64_t sum = 0;
    for (int s = 0; s < kSectorCount; ++s) {
        if (st.sectors.sec[s] >= kSectorUnset) continue;
        int32_t lap = st.bestSectorLap[s];
        if (lap < 0 || lap >= kLapEntries) continue;
        int32_t t = st.sectorTime[lap][s];
        if (t != kNoTime) sum += t;
    }
    return sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

int32_t AverageLapTime(FileSlot slot) {
    const LapState& st = LapStateOf(slot);
    const int m = MarksPerLap(slot);
    const int32_t count = SlotOf(slot).laps.count;
    int64_t sum = 0;
    int32_t laps = 0;
    for (int32_t k = 0; k < count && k < kLapEntries; k += m) {
        if (!st.lapChecked[k]) continue;
        sum += LapDuration(slot, k);
        ++laps;
    }
    return int32_t(sum / (laps < 1 ? 1 : laps));
}

int32_t SamplesToHundredths(int32_t samples, FileSlot slot) {
    float factor = SlotOf(slot).sampleRateFactor;
    if (!(factor > 0.0f)) factor = 1.0f; // a broken rate must not divide by zero
    float h = float(samples) / factor * 0.5f;
    if (!(std::fabs(h) < 2.0e9f)) return h < 0 ? INT32_MIN : INT32_MAX;
    return int32_t(h);
}

std::string FormatLapTime(int32_t samples, FileSlot slot) {
    int32_t h = SamplesToHundredths(samples, slot);
    return Format("%02d'%05.2f", h / 6000, (h % 6000) * 0.01);
}

std::string FormatLapTimePadded(int32_t samples, FileSlot slot) {
    int32_t h = SamplesToHundredths(samples, slot);
    return Format("%2d'%05.2f", h / 6000, (h % 6000) * 0.01);
}

std::string FormatSectorTime(int32_t samples, FileSlot slot) {
    float factor = SlotOf(slot).sampleRateFactor;
    if (!(factor > 0.0f)) factor = 1.0f;
    return Format("%5.2f", float(samples) / factor * 0.005);
}

} // namespace qvtk
