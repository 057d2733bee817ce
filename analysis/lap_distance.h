#pragma once
// The distance base of lap comparison: for every lap of every loaded file, the distance from
// the lap's start at each of its samples. With GPS fixes and a known line, the fixes are
// projected onto the path the reference lap rode; otherwise the lap's running distance is
// taken. Every lap is then measured in the reference lap's length, so that the start/finish
// line and every corner meet however long each lap measured.
#include <cstdint>
#include <vector>

#include "analysis/lap_model.h"

namespace qvtk {

// A lap of a file: its slot and the index of its first lap mark.
struct LapRef {
    FileSlot slot = 0;
    int32_t lap = -1; // -1: no lap
    bool Valid() const { return lap >= 0; }
    bool operator==(const LapRef&) const = default;
};

enum class DistanceBase : uint8_t { kRunning, kGps };

struct SlotLapDistances {
    std::vector<float> metres;      // each sample's distance from its lap's start, m
    float length[kLapEntries] = {}; // each lap's own length, m, by its first mark
    DistanceBase base[kLapEntries] = {};
    uint64_t signature = 0; // the recording, laps and reference it was built from
    uint32_t version = 0;   // counts the rebuilds, so that users of it notice one
};

struct LapDistances {
    SlotLapDistances slots[kSlotCount];
    LapRef reference;          // the lap whose path the fixes were projected onto
    std::vector<double> pathX; // that path in metres east and north of its first fix
    std::vector<double> pathY;
    std::vector<double> pathAt; // distance along the path to each point
};

extern LapDistances g_lapDistances;

void ResetLapDistances();

// Builds the distance base of every slot holding a recording again where its recording, its
// laps or the reference lap changed since the last build.
void UpdateLapDistances(const LapRef& reference);

// Seconds per sample of a slot.
double SampleSeconds(FileSlot slot);

// The first sample of a lap and the first of the next one (its end).
int32_t LapStart(const LapRef& lap);
int32_t LapEnd(const LapRef& lap);
// The lap (its first mark) that holds a sample; samples past the end belong to the last lap.
int32_t LapOfSample(FileSlot slot, int32_t sample);
// A lap's position among the laps of its file (0 for the first), and the lap at a position
// (-1 outside the file).
int32_t LapOrdinal(FileSlot slot, int32_t lap);
int32_t LapAtOrdinal(FileSlot slot, int32_t ordinal);

// A lap's own length (m) and how it was measured.
double LapLengthMetres(const LapRef& lap);
DistanceBase LapDistanceBase(const LapRef& lap);

// The distance of a (fractional) sample of a lap, measured in `length` metres a lap: the lap's
// end sample lies at `length`.
double AlignedDistance(const LapRef& lap, double sample, double length);
// The first (fractional) sample of a lap whose aligned distance reaches `distance`.
double SampleAtAlignedDistance(const LapRef& lap, double distance, double length);

// The lap's distances at each of its samples and at its end, measured in `length` metres.
void AlignedLapDistances(const LapRef& lap, double length, std::vector<float>& out);

} // namespace qvtk
