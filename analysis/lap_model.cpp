#include "analysis/lap_model.h"

#include "data/settings.h"

namespace qvtk {

LapModel g_lapModel;

void ResetLapModel() {
    g_lapModel = LapModel();
}

int MarksPerLap(FileSlot slot) {
    int m = SlotOf(slot).laps.divisor;
    return m < 1 ? 1 : (m > 3 ? 3 : m);
}

void SetMarksPerLap(FileSlot slot, int marksPerLap) {
    const int before = MarksPerLap(slot);
    SlotOf(slot).laps.divisor = marksPerLap < 1 ? 1 : (marksPerLap > 3 ? 3 : marksPerLap);
    if (MarksPerLap(slot) != before) ApplyMarksPerLapToSectors(slot);
}

void ApplyMarksPerLapToSectors(FileSlot slot) {
    int32_t* sec = LapStateOf(slot).sectors.sec;
    const int m = MarksPerLap(slot);
    if (m == 1) {
        for (int s = 1; s < kSectorEntries; ++s) sec[s] = g_lapModel.courseSectors.sec[s];
        sec[0] = 0;
        return;
    }
    // Only their being set matters: m sectors exist.
    for (int s = 0; s < kSectorEntries; ++s) sec[s] = s < m ? s + 1 : kSectorUnset;
}

int32_t LapMark(FileSlot slot, int k) {
    const Slot& s = SlotOf(slot);
    if (k < 0) return 0;
    // Entries past the end entries are not kept up to date; they all mean "end of data".
    if (k > s.laps.count + 2 || k >= kLapMarkEntries) return s.sampleCount;
    return s.laps.marks[k];
}

int32_t SegmentDistance(FileSlot slot, int k) {
    if (k < 0 || k >= kLapMarkEntries) return 0;
    return SlotOf(slot).laps.lapDistance[k];
}

int32_t LapDuration(FileSlot slot, int k) {
    return LapMark(slot, k + MarksPerLap(slot)) - LapMark(slot, k);
}

LapDistanceSteps LapDistanceStepsOf(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    LapDistanceSteps steps;
    switch (s.lapDistanceSource) {
    case LapDistanceSource::kFrontWheel:
        steps.track = s.distance.front;
        break;
    case LapDistanceSource::kRearWheel:
        steps.track = s.distance.rear;
        break;
    case LapDistanceSource::kGpsSpeed: {
        const int column = FindColumnByCode(slot, kCodeGpsSpeed);
        if (HasFullBuffer(s, column))
            steps.speed = s.samples[column];
        else
            steps.track = s.distance.front;
        break;
    }
    case LapDistanceSource::kChosenWheel:
        steps.track = g_settings.CoursePosSource == 1 ? s.distance.rear : s.distance.front;
        break;
    }
    return steps;
}

void ComputeSegments(FileSlot slot) {
    Slot& s = SlotOf(slot);
    LapMarkTable& t = s.laps;
    for (int32_t& d : t.lapDistance) d = 0;
    if (s.capacity < 1 || !s.distance.selected) return;
    uint32_t* since = s.distance.selected;
    since[0] = 0;
    const int32_t n = s.sampleCount < s.capacity ? s.sampleCount : s.capacity;
    if (n < 2) return;
    // Each format measures its laps its own way (the reader built the track by the same rule).
    const LapDistanceSteps steps = LapDistanceStepsOf(slot);
    const int m = MarksPerLap(slot);
    int k = 1;
    for (int32_t i = 1; i < n; ++i) {
        const uint32_t d = steps.At(i);
        t.lapDistance[k] = int32_t(uint32_t(t.lapDistance[k]) + d); // wraps, never traps
        since[i] = since[i - 1] + d;
        // The increment of the mark sample still belongs to the segment ending there.
        if (i == t.marks[k] && k < kLapMarkEntries - 1) {
            if (k % m == 0) since[i] = 0;
            ++k;
        }
    }
}

void ResetLapChecks(FileSlot slot) {
    LapState& st = LapStateOf(slot);
    const int32_t count = SlotOf(slot).laps.count;
    const int m = MarksPerLap(slot);
    for (int k = 0; k < kLapEntries; ++k) st.lapChecked[k] = k != 0 && k < count - m;
    if (count < 2) st.lapChecked[0] = true;
}

} // namespace qvtk
