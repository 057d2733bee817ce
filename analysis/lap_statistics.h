#pragma once
// Lap times, best and second-best laps, sector times, the ideal time and the average lap, and
// the texts the program shows them with.
#include <cstdint>
#include <string>

#include "data/session.h"

namespace qvtk {

// Durations, bests and sector times of every slot, from the marks, the checks and the sector
// boundaries. With 2 or 3 marks per lap the sectors are the mark-to-mark segments.
void ComputeLapStatistics();

// Sum of the best time of every existing sector, in samples (after ComputeLapStatistics).
int32_t IdealTime(FileSlot slot);
// Mean duration of the checked laps in samples (integer division, at least one lap counted).
int32_t AverageLapTime(FileSlot slot);

// Hundredths of a second in a number of samples of the slot, in single precision.
int32_t SamplesToHundredths(int32_t samples, FileSlot slot);
// "%02d'%05.2f": lap times.
std::string FormatLapTime(int32_t samples, FileSlot slot);
// "%2d'%05.2f": the average lap and the ideal time.
std::string FormatLapTimePadded(int32_t samples, FileSlot slot);
// "%5.2f": sector times in seconds.
std::string FormatSectorTime(int32_t samples, FileSlot slot);

} // namespace qvtk
