#pragma once
// The CAN logger tests: a program directory of their own, recordings of the ride simulator or
// built byte by byte written there and opened as File 1, no pauses after saves.
#include <fstream>
#include <iterator>

#include "analysis/load_pipeline.h"
#include "platform/wait.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/family4_writer.h"

namespace qvtk::test {

class CanLoggerTest : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        GuiApp();
        SetWaitHook([](int) {});
    }
    void TearDown() override {
        SetWaitHook(nullptr);
        TempProgramDirectory::TearDown();
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Writes the bytes as `name` and opens them as File 1; returns the path.
    std::string OpenAsFile1(const std::vector<uint8_t>& bytes,
                            const std::string& name = "ride.qvd") {
        WriteFile(name, bytes);
        FileSlot slot = 0;
        EXPECT_TRUE(LoadFileIntoSlot(slot, Path(name)));
        return Path(name);
    }
    // A simulated CAN logger ride of one lap.
    std::string OpenSimulatedRide(const std::string& name = "ride.qvd") {
        return OpenAsFile1(sim::WriteFamily4(SimulatedRide(5, 1)), name);
    }
};

} // namespace qvtk::test
