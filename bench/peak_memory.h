#pragma once
// Peak memory of one load from an empty program, against what the slot's tables need plus the
// file itself: the counters file_MB, peak_MB and peak_ratio.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "analysis/load_pipeline.h"
#include "data/session.h"

namespace qvtk::bench {

inline long ReadStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}

// Bytes the slot's buffers take: the columns, the GPS arrays, the marks and three tracks.
inline double SlotTableBytes(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    double bytes = 0;
    for (int c = 0; c < kColumnCount; ++c) bytes += 4.0 * s.columnCapacity[c];
    return bytes + double(s.capacity) * (1 + 4 + 4 + 4 + 1 + 3 * 4);
}

inline void CountPeakMemoryOfLoad(benchmark::State& state, const std::string& path,
                                  double fileBytes) {
    ResetSession();
    const long before = ReadStatusKb("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5"; // restart the high-water mark
    FileSlot slot = 0;
    LoadFileIntoSlot(slot, path);
    const long peak = ReadStatusKb("VmHWM:");
    state.counters["file_MB"] = fileBytes / 1e6;
    state.counters["peak_MB"] = double(peak - before) * 1024 / 1e6;
    state.counters["peak_ratio"] = double(peak - before) * 1024 / (SlotTableBytes(0) + fileBytes);
    ResetSession();
}

} // namespace qvtk::bench
