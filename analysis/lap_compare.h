#pragma once
// Comparing laps where they happen: the reference lap (File 1's fastest, or the one the user
// picked), the lap each file shows at its cursor compared with it, the time-slip channel each
// file carries for that lap, and the zones where the time was lost.
#include <cstdint>
#include <vector>

#include "analysis/lap_distance.h"
#include "analysis/slip_zones.h"
#include "analysis/time_slip.h"

namespace qvtk {

constexpr ChannelCode kCodeTimeSlip = 90; // a code no logger channel carries
constexpr double kSlipGridStep = 1.0;     // m between the points the zones are found on

// A lap compared with the reference lap.
struct LapComparison {
    LapRef reference, compared;
    double referenceSeconds = 0, comparedSeconds = 0;
    double length = 0; // m, the reference lap's
    DistanceBase referenceBase = DistanceBase::kRunning, comparedBase = DistanceBase::kRunning;
    std::vector<double> slip; // s every kSlipGridStep m of the reference lap, the last at its end
    std::vector<SlipZone> zones; // ordered by time lost, the largest loss first
};

// Compares a lap with the reference lap, measured by the distance base as it stands; zones
// move the slip by at least `threshold` s.
LapComparison CompareLaps(const LapRef& reference, const LapRef& compared, double threshold);

// The sector (1-based) of the reference lap at a distance (m) of it.
int SectorAtDistance(const LapRef& reference, double metres);

// A file's fastest and second fastest laps (lap statistics, else by duration); invalid when
// the file has no such lap.
LapRef FastestLapOf(FileSlot slot);
LapRef SecondFastestLapOf(FileSlot slot);

// The zone threshold of the settings, in seconds.
double SlipZoneThreshold();

struct LapCompareState {
    int32_t pickedReference = -1;  // File 1's lap the user chose; -1: its fastest
    int slipColumn = -1;           // the column of the slip channel in every file, -1: none
    bool written[kSlotCount] = {}; // the file's channel holds the slip of `shown`
    LapRef shown[kSlotCount];      // the lap whose slip a file's channel holds
    LapRef shownAgainst[kSlotCount];
    uint32_t shownVersion[kSlotCount] = {};
    uint32_t shownReferenceVersion[kSlotCount] = {};
    int32_t writtenFrom[kSlotCount] = {}, writtenTo[kSlotCount] = {}; // samples holding slip
    bool compared[kSlotCount] = {};       // the file's lap is compared with the reference
    LapComparison comparison[kSlotCount]; // of the lap at each file's cursor
};

extern LapCompareState g_lapCompare;

// The slip channel's column while it exists. It is made while comparing and goes with it:
// tools may show its values, but nothing exports it, saves it into a layout or moves it.
inline bool IsComputedColumn(int column) {
    return column >= 0 && column == g_lapCompare.slipColumn;
}

void ResetLapCompare();

// File 1's picked lap while it still is one, else its fastest.
LapRef ReferenceLap();
// Makes one of File 1's laps the reference; -1 goes back to the fastest.
void PickReferenceLap(int32_t lap);
// The lap holding a file's cursor.
LapRef LapAtCursor(FileSlot slot);

enum SlipChange : int {
    kSlipSame = 0,
    kSlipValues = 1,  // values of the channel changed
    kSlipColumns = 2, // the channel came or went: the graph list must follow
};

// With `on`, brings the slip channel of every loaded file up to date with the reference lap
// and the lap at the file's cursor; without, takes the channel out of the files. Returns the
// SlipChange bits of what happened.
int UpdateSlipChannels(bool on);

// The comparison of the lap at a file's cursor, or null when that lap is the reference or the
// file has none.
const LapComparison* ComparisonOf(FileSlot slot);

} // namespace qvtk
