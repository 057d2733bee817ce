#pragma once
// The time slip of a compared lap against the reference lap: its time at a distance minus the
// reference lap's time at the same distance (positive: the compared lap is slower there), with
// both laps measured in the reference lap's length.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/lap_distance.h"

namespace qvtk {

// One lap as the slip reads it: the distance at each of its samples and at its end (the next
// lap's first sample), in the reference lap's length, and the time between two samples.
struct LapTrace {
    std::vector<float> distance;
    double secondsPerSample = 0.005;
    int32_t Samples() const { return int32_t(distance.size()) - 1; }
    double Seconds() const { return Samples() * secondsPerSample; }
};

LapTrace MakeLapTrace(const LapRef& lap, double referenceLength);

// The time (s from the lap's start) at which a lap first reaches each of the ascending
// distances; past its end, its whole time.
void TimesAtDistances(const LapTrace& lap, const double* distances, int count, double* times);

// The slip (s) at each sample of the compared lap and at its end (Samples() + 1 values).
void SlipPerSample(const LapTrace& reference, const LapTrace& compared, std::vector<double>& out);

// The slip (s) every `step` metres of the reference lap from its start; the last value is at
// the lap's end, whatever the step.
void SlipOnGrid(const LapTrace& reference, const LapTrace& compared, double step,
                std::vector<double>& out);

// The cursor value of the slip channel: "+0.123 s".
std::string TimeSlipText(double seconds);

} // namespace qvtk
