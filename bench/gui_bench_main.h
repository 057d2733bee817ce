#pragma once
// main() of the benchmarks that draw: Qt's offscreen platform, one application, then the
// registered benchmarks.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#define QVTK_GUI_BENCHMARK_MAIN()                                                                  \
    int main(int argc, char** argv) {                                                              \
        setenv("QT_QPA_PLATFORM", "offscreen", 0);                                                 \
        QApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
