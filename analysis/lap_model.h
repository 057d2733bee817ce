#pragma once
// The lap and sector model: per slot, which laps count, the best laps, the sector times and the
// sector boundaries, plus the lap segments rebuilt from the lap marks. Laps are identified by
// the index k of their first mark; lap k spans marks[k] .. marks[k + MarksPerLap].
#include <cstdint>

#include "data/session.h"

namespace qvtk {

constexpr int kLapEntries = 512;        // laps per slot, indexed by lap-start mark index
constexpr int kSectorCount = 8;         // sectors 0 .. 7
constexpr int kSectorEntries = 9;       // sec[0 .. 8]
constexpr int32_t kSectorUnset = 5000;  // larger than any course point index
constexpr int32_t kNoLap = 510;         // bestLap and friends when no lap qualifies
constexpr int32_t kNoTime = 0x7FFFFFFF; // sectorTime without a time
constexpr int kMaxMarkCount = 510;      // count, so that the three end entries fit

// Course point indices where sectors begin; with 2 or 3 marks per lap they only say which
// sectors exist.
struct SectorPoints {
    int32_t sec[kSectorEntries] = {0,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset,
                                   kSectorUnset};
};

struct LapState {
    bool lapChecked[kLapEntries] = {}; // the lap counts for bests, averages, ideal time
    int32_t bestLap = kNoLap;          // lap-start mark index of the fastest lap
    int32_t secondBestLap = kNoLap;
    int32_t sectorTime[kLapEntries][kSectorCount]; // samples, kNoTime when not reached
    int32_t bestSectorLap[kSectorCount];
    int32_t secondBestSectorLap[kSectorCount];
    SectorPoints sectors;

    LapState() {
        for (auto& lap : sectorTime)
            for (int32_t& t : lap) t = kNoTime;
        for (int s = 0; s < kSectorCount; ++s) bestSectorLap[s] = secondBestSectorLap[s] = kNoLap;
    }
};

struct LapModel {
    LapState slots[kSlotCount];
    // The course's own boundaries (course file markers, "Sector.ini", edits on the map): what a
    // slot takes when it goes back to 1 mark per lap.
    SectorPoints courseSectors;
};

extern LapModel g_lapModel;

inline LapState& LapStateOf(FileSlot slot) {
    return g_lapModel.slots[slot];
}

// Back to the start of the program: no checks, no bests, no sector boundaries.
void ResetLapModel();

// Marker pulses per lap (1 .. 3). It is the slot's lap divisor, the value the loader takes
// from the recording's header, so there is one place that holds it.
int MarksPerLap(FileSlot slot);
// A change also sets the slot's sector boundaries anew (ApplyMarksPerLapToSectors).
void SetMarksPerLap(FileSlot slot, int marksPerLap);

// The slot's sectors for its marks per lap: the course's boundaries with 1 mark per lap; with
// 2 or 3 the mark-to-mark segments. Run whenever a slot's marks per lap change, so that no
// sectors of the one setting stay under the other.
void ApplyMarksPerLapToSectors(FileSlot slot);

// marks[k], reading every entry beyond the end entries as the end of the recording.
int32_t LapMark(FileSlot slot, int k);
// segmentDistance[k] (the slot's lapDistance table); 0 outside the table.
int32_t SegmentDistance(FileSlot slot, int k);
// T(k) = marks[k + M] - marks[k], in samples.
int32_t LapDuration(FileSlot slot, int k);

// The distance a slot's recording covers in each sample (1/7200 m), measured the way its laps
// are measured: the chosen wheel, a fixed wheel or the GPS speed, by its format.
struct LapDistanceSteps {
    const uint32_t* track = nullptr; // a cumulative wheel track, or
    const int32_t* speed = nullptr;  // the GPS speed column
    // From sample i - 1 to sample i (i >= 1, below the slot's capacity).
    uint32_t At(int32_t i) const {
        return track ? track[i] - track[i - 1] : uint32_t(speed[i] / 100);
    }
};
LapDistanceSteps LapDistanceStepsOf(FileSlot slot);

// Rebuilds segmentDistance and the distance since lap start from the marks, measured as
// LapDistanceStepsOf measures them.
void ComputeSegments(FileSlot slot);

// The lap table's default checks: the out lap and the in lap are left out.
void ResetLapChecks(FileSlot slot);

} // namespace qvtk
