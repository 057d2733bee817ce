#pragma once
// Throughput in both of the units readers meet: Google Benchmark's bytes_per_second counts
// 2^20 bytes to its M, while our figures (and file sizes) are in MB of 10^6 bytes.
#include <benchmark/benchmark.h>

#include <cstdint>

inline void SetBytesProcessedBothUnits(benchmark::State& state, double bytes) {
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["decimal_bytes_per_second"] =
        benchmark::Counter(bytes, benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}
