#include "data/lap_marker.h"

#include "data/settings.h"

namespace qvtk {

namespace {
void FlushLapSum(Slot& s, DistanceRun& d) {
    s.laps.lapDistance[d.lapEntry] = int32_t(uint32_t(s.laps.lapDistance[d.lapEntry]) + d.lapSum);
    d.lapSum = 0;
}
} // namespace

void BeginLapMarks(Slot& s) {
    for (int32_t& m : s.laps.marks) m = 0;
    for (int32_t& d : s.laps.lapDistance) d = 0;
    s.laps.count = 0; // index of the last stored mark while decoding
}

DistanceRun ContinueDistances(const Slot& s, int32_t i) {
    DistanceRun d;
    if (i > 0 && i <= s.capacity) {
        d.front = s.distance.front[i - 1];
        d.rear = s.distance.rear[i - 1];
        d.selected = s.distance.selected[i - 1];
    }
    const LapMarkTable& t = s.laps;
    const int32_t lastLapStart = t.divisor > 0 ? t.count / t.divisor * t.divisor : 0;
    d.lapEntry = lastLapStart + 1;
    return d;
}

void TakeLapPulse(Slot& s, DistanceRun& d, int32_t i) {
    LapMarkTable& t = s.laps;
    int32_t next = t.count + 1;
    if (next > kLastPulseEntry) return;
    if (i - t.marks[t.count] <= 600 && !DebugMode()) return;
    t.marks[next] = i;
    t.count = next;
    if (t.divisor > 0 && next % t.divisor == 0) {
        FlushLapSum(s, d);
        d.lapEntry = next + 1;
        t.lapDistance[d.lapEntry] = 0;
        d.selected = 0;
        s.distance.selected[i] = 0;
    }
}

void FinishLapMarks(Slot& s, DistanceRun& d) {
    FlushLapSum(s, d);
    LapMarkTable& t = s.laps;
    const int32_t n = s.sampleCount;
    if (t.count >= 1 && n - t.marks[t.count] < 50) --t.count;
    int32_t end = t.count + 1;
    t.marks[end] = t.marks[end + 1] = t.marks[end + 2] = n;
    t.count = end;
    if (n < s.capacity && n >= 1) {
        s.distance.front[n] = s.distance.front[n - 1];
        s.distance.rear[n] = s.distance.rear[n - 1];
        s.distance.selected[n] = s.distance.selected[n - 1];
    }
}

} // namespace qvtk
