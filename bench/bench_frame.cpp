// One full frame of the main window without graphs yet: background, key instructions, file
// labels, layout tabs, both info panels with the memo being typed, at 1920 x 1080.
#include "bench/gui_bench_main.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "analysis/file_open.h"
#include "logger/program.h"
#include "render/render.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/app.h"
#include "viewer/frame.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

std::string WriteRide(const std::string& dir, const char* name, uint32_t seed) {
    sim::RideOptions options;
    options.seed = seed;
    options.laps = 3;
    sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(seed), options);
    std::vector<uint8_t> bytes = sim::WriteFamily3(ride, 2);
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

void DrawFullFrame(benchmark::State& state) {
    std::string dir = "/tmp/qvtk_bench_frame";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/QVTK2.ini")
        << "[ModeSet]\r\nModifyFileName=0\r\n[LayoutSet]\r\nLayFile0=Engine\r\n"
           "LayFile1=Suspension\r\nLayFile2=Brakes\r\nLayFile3=GPS\r\n";
    std::string a = WriteRide(dir, "a.qvd", 3), b = WriteRide(dir, "b.qvd", 4);
    ResetProgram();
    StartProgram(dir);
    RenderOpenOffscreen(1920, 1080);
    AllocateVertexPools();
    LoadResources();
    OpenFileIntoSlot(0, a);
    OpenFileIntoSlot(1, b);
    g_view.MouseX = 400;
    g_view.MouseY = 8; // the layout tabs are out
    for (auto _ : state) {
        g_view.KeyHelpCounter = 300; // the overlay at full strength
        g_view.RedrawCountdown = 60; // the info panels are shown
        DrawFrame();
    }
    RenderClose();
}
BENCHMARK(DrawFullFrame)->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN()
