#pragma once
// Three simulated three-hour rides (2 160 000 samples each) in the three file slots, written
// once to /tmp/qvtk_bench and shared by the benchmarks that need long recordings.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace qvtk::bench {

inline void LoadThreeHourRides() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    std::filesystem::create_directories("/tmp/qvtk_bench");
    ResetProgram();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::string path = "/tmp/qvtk_bench/graphs_" + std::to_string(slot) + ".qvd";
        if (!std::filesystem::exists(path)) {
            sim::RideOptions options;
            options.seed = 20 + uint32_t(slot);
            options.minutes = 180;
            sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(options.seed), options);
            std::vector<uint8_t> bytes = sim::WriteFamily3(ride, 2);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        FileSlot s = slot;
        LoadFileIntoSlot(s, path);
    }
}

} // namespace qvtk::bench
