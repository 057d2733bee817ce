// Graph layout files (*.lay, "stdgp.ini") loaded over two recordings, drawn, and saved. What is
// saved must load back to itself.
#include <QGuiApplication>
#include <cstring>

#include "analysis/file_open.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_read.h"
#include "render/render.h"
#include "render/render_qt.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

// Fontconfig keeps a few hundred bytes of its caches unreachable once Qt has asked it for a
// font; that is fontconfig's, not ours.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

using namespace qvtk;

uint32_t g_flags[kSlotCount][kColumnCount + 1]; // the channel flags as loaded

// An offscreen viewer with a CAN logger ride in File 1 (fixed and file-named channels) and a
// family-3 ride in File 2, lined up with it.
void OpenViewerOnce() {
    static const bool open = [] {
        static int argc = 1;
        static char name[] = "fuzz_layout";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        new QGuiApplication(argc, argv);
        ResetProgram();
        g_session.programDirectory = fuzz::HarnessFolder();
        sim::RideOptions options;
        options.minutes = 0.2;
        const sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(4), options);
        FileSlot slot = 0;
        LoadLogFile(slot, "ride.QVL", sim::WriteFamily4(ride));
        slot = 1;
        LoadLogFile(slot, "ride.qvd", sim::WriteFamily3(ride, 2));
        for (int s = 0; s < kSlotCount; ++s)
            std::memcpy(g_flags[s], SlotOf(s).channelFlags, sizeof g_flags[s]);
        if (RenderOpenOffscreen(640, 400) != 0) return false;
        ResetViewState();
        ResetViewerResources();
        g_view.ViewZoom = 1.0f;
        g_res.screenWidth = 640;
        AllocateVertexPools();
        LoadResources();
        return SlotOf(1).file.fileKind == kFileFamily3;
    }();
    if (!open) std::abort();
}

std::string FileText(const std::string& path) {
    std::string text;
    ReadWholeTextFile(path, text);
    return text;
}

// The settings a layout starts from: the program's own, over the channels as they were loaded.
void StartOver() {
    for (int s = 0; s < kSlotCount; ++s)
        std::memcpy(SlotOf(s).channelFlags, g_flags[s], sizeof g_flags[s]);
    ResetGraphSettings();
    ResetGraphLayouts();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OpenViewerOnce();
    const std::string& dir = fuzz::HarnessFolder();
    const std::string in = dir + "/in.lay", out = dir + "/out.lay";
    fuzz::WriteFixture(in, std::string_view(reinterpret_cast<const char*>(data), size));
    ClearRecordedMessages();
    StartOver();
    LoadLayoutFile(in);
    // A band drawn where a graph is drawn elsewhere again (a chain or a ring of synchronised
    // graphs) moves on at every save and load: each entry is written with the band of the
    // graph in its place. Only layouts without such chains must come back as they were.
    bool chained = false;
    for (int c = 0; c < kColumnCount; ++c) {
        const int t = g_graph.GraphOrder[c];
        chained = chained || (t != c && t >= 0 && t < kColumnCount && g_graph.GraphOrder[t] != t);
    }
    for (const GraphCodeSettings& g : g_graph.code) {
        QVTK_FUZZ_CHECK(g.GraphScale >= kGraphScaleMin && g.GraphScale <= kGraphScaleMax);
        QVTK_FUZZ_CHECK(int64_t(g.GraphBottom) - g.GraphTop >= 1);
    }
    ChooseFile1Colors();
    RebuildGraphList();
    RenderSetTarget(kBackBuffer);
    DrawGraphView(MakeGraphFrame());

    // A saved layout loaded and saved again is the same text. (The first save may still differ
    // from the second: older layouts derive their bands from zero and scale, which allows
    // narrower bands than the rows of a saved one.)
    std::string text[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) LoadLayoutFile(out);
        std::remove(out.c_str());
        QVTK_FUZZ_CHECK(SaveLayoutFile(out));
        text[k] = FileText(out);
    }
    QVTK_FUZZ_CHECK(chained || text[1] == text[2]);
    return 0;
}
