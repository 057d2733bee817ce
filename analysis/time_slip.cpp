#include "analysis/time_slip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace qvtk {

namespace {

// Walks a lap forwards: the time it reaches each of a rising series of distances.
struct TimeCursor {
    const LapTrace& lap;
    int32_t j = 0; // the last sample not beyond the distances asked so far

    double At(double d) {
        const std::vector<float>& x = lap.distance;
        const int32_t n = lap.Samples();
        if (n <= 0) return 0;
        if (d >= x[size_t(n)]) return lap.Seconds();
        if (d <= x[0]) return 0;
        while (j + 1 < n && x[size_t(j + 1)] < d) ++j;
        // Between samples j and j + 1 the lap passes d (standing samples are passed over).
        const double d0 = x[size_t(j)], d1 = x[size_t(j + 1)];
        const double f = d1 > d0 ? (d - d0) / (d1 - d0) : 1.0;
        return (j + std::clamp(f, 0.0, 1.0)) * lap.secondsPerSample;
    }
};

} // namespace

LapTrace MakeLapTrace(const LapRef& lap, double referenceLength) {
    LapTrace t;
    t.secondsPerSample = SampleSeconds(lap.slot);
    AlignedLapDistances(lap, referenceLength, t.distance);
    return t;
}

void TimesAtDistances(const LapTrace& lap, const double* distances, int count, double* times) {
    TimeCursor cursor{lap};
    for (int i = 0; i < count; ++i) times[i] = cursor.At(distances[i]);
}

void SlipPerSample(const LapTrace& reference, const LapTrace& compared, std::vector<double>& out) {
    const int32_t n = compared.Samples();
    out.assign(size_t(std::max(n + 1, 0)), 0.0);
    TimeCursor cursor{reference};
    double reach = 0; // the distances are rising; a dip never walks the cursor back
    for (int32_t j = 0; j <= n; ++j) {
        reach = std::max(reach, double(compared.distance[size_t(j)]));
        out[size_t(j)] = j * compared.secondsPerSample - cursor.At(reach);
    }
    // Both laps end at the line: the slip there is the difference of the lap times.
    if (n >= 0) out[size_t(n)] = compared.Seconds() - reference.Seconds();
}

void SlipOnGrid(const LapTrace& reference, const LapTrace& compared, double step,
                std::vector<double>& out) {
    out.clear();
    const int32_t n = reference.Samples();
    if (n < 0 || step <= 0) return;
    const double length = reference.distance[size_t(n)];
    TimeCursor ref{reference}, cmp{compared};
    for (int64_t i = 0; double(i) * step < length; ++i) {
        const double d = double(i) * step;
        out.push_back(cmp.At(d) - ref.At(d));
    }
    out.push_back(compared.Seconds() - reference.Seconds());
}

std::string TimeSlipText(double seconds) {
    char text[32];
    // A slip that rounds to nothing is level, never "-0.000".
    std::snprintf(text, sizeof text, "%+.3f s", std::fabs(seconds) < 0.0005 ? 0.0 : seconds);
    return text;
}

} // namespace qvtk
