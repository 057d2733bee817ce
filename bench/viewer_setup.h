#pragma once
// The viewer as the frame benchmarks start it, over the recordings already loaded: the demo
// folder beside the benchmark (course, sub view pictures), default view and graph settings, an
// offscreen back buffer, the graphs aligned, the pointer over the graphs.
#include <filesystem>
#include <string>

#include "analysis/course_layout.h"
#include "data/session.h"
#include "data/settings.h"
#include "render/render.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::bench {

inline std::string DemoDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (exe.parent_path() / "demo").string();
}

// expertMode -1 keeps the settings' level.
inline void StartViewerOffscreen(int width, int height, int expertMode = -1) {
    g_session.programDirectory = DemoDirectory();
    g_settings.CourseLayout_on = 1; // the loads could not find the demo folder's course
    ResetCourseLayout();
    ResetViewState();
    ResetGraphSettings();
    ResetViewerResources();
    if (expertMode >= 0) g_settings.ExpertMode = expertMode;
    RenderOpenOffscreen(width, height);
    g_res.screenWidth = width;
    AllocateVertexPools();
    LoadResources();
    AlignGraphs(1, true, false);
    ChooseFile1Colors();
    RebuildGraphList();
    g_view.KeyHelpCounter = 0;
    g_view.MouseX = 1400; // over the graphs: the span read-out is drawn
    g_view.MouseY = 520;
}

} // namespace qvtk::bench
