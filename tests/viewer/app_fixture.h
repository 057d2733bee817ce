#pragma once
// The viewer as a program on the offscreen platform: a program directory of its own, the
// start-up up to the first pass, toolbar clicks and simulated recordings on disk.
#include <QToolButton>
#include <fstream>

#include "analysis/file_open.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/app.h"
#include "viewer/toolbar.h"

namespace qvtk::test {

inline void WriteRecording(const std::string& path, uint32_t seed, int laps) {
    const std::vector<uint8_t> bytes = sim::WriteFamily3(SimulatedRide(seed, laps), 2);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class ViewerApp : public TempProgramDirectory {
protected:
    void SetUp() override {
        GuiApp();
        TempProgramDirectory::SetUp();
        ResetFileOpen();
    }
    void TearDown() override {
        if (RenderIsOpen()) {
            DestroyToolbar();
            RenderClose();
        }
        TempProgramDirectory::TearDown();
    }
    // Start-up up to the first pass, as AppMain does it.
    void Start() {
        StartProgram(dir_);
        ASSERT_EQ(InitDisplay(0), 0);
        RestoreToolbarPlacement(true);
    }
    void Click(const char* name) {
        auto* b = ToolbarWidget()->findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
};

} // namespace qvtk::test
