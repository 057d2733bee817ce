#pragma once
// The time of each frame, wall clock and the processor time of the whole process (both
// threads), reported as medians and 99th percentiles in milliseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace qvtk::bench {

class FrameTimes {
public:
    // Times one frame, which is also the benchmark's iteration time.
    template <class Draw> void Time(benchmark::State& state, Draw draw) {
        const double cpu0 = ProcessMs();
        const auto t0 = std::chrono::steady_clock::now();
        draw();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - t0;
        cpu_.push_back(ProcessMs() - cpu0);
        wall_.push_back(took.count());
        state.SetIterationTime(took.count() / 1000.0);
    }
    void Report(benchmark::State& state) {
        state.counters["median_ms"] = Percentile(wall_, 50);
        state.counters["p99_ms"] = Percentile(wall_, 99);
        state.counters["cpu_median_ms"] = Percentile(cpu_, 50);
        state.counters["cpu_p99_ms"] = Percentile(cpu_, 99);
    }

private:
    static double ProcessMs() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    static double Percentile(std::vector<double>& v, int p) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * size_t(p) / 100)];
    }
    std::vector<double> wall_, cpu_;
};

} // namespace qvtk::bench
