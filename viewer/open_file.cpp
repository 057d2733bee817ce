#include "viewer/open_file.h"

#include <QFileDialog>
#include <QFileInfo>
#include <filesystem>

#include "analysis/course_layout.h"

#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "analysis/file_open.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/info_panels.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

int LabelNameWidth(const std::string& name) {
    return RenderTextWidth(g_res.mainFont, "%s", name.c_str());
}

// The open dialog; an empty path when the user cancels. The folder of the chosen file is
// remembered (in the settings, so the next run starts there too).
std::string AskForPath() {
    QString path = QFileDialog::getOpenFileName(
        RenderMainWindow(), QString(), QString::fromStdString(g_settings.Data),
        "*(*.*) (*.*);;qvd(*.qvd) (*.qvd);;hnd(*.hnd) (*.hnd);;csv(*.csv) (*.csv)");
    if (path.isEmpty()) return {};
    g_settings.Data = QFileInfo(path).absolutePath().toStdString();
    return path.toStdString();
}

// What the viewer resets and rebuilds after every open, loaded or not.
void AfterOpen(FileSlot slot, bool loaded) {
    for (int32_t& target : g_view.ScrollTarget) target = -1;
    g_view.AfMapView = 0;
    RequestRedraw(kRedrawFull);
    // The graph axes (File 2/3) and the standard layout (File 1) follow with the graphs.
    if (loaded) {
        ResetLapChecks(slot);
        ComputeLapStatistics();
        SlotOf(slot).cursorPos = 0;
    }
    ChooseFile1Colors();
    RebuildGraphList();
    // File 1 takes the standard layout. Without one every band would start on the same rows:
    // a first run stacks them over the window, each scaled to its data.
    if (loaded && slot == 0) {
        if (std::filesystem::exists(ProgramFilePath("stdgp.ini")))
            LoadLayout(0);
        else
            AlignGraphs(1, true, false);
    }
    RefreshSummary();
}

} // namespace

bool OpenFileIntoSlot(FileSlot slot, const std::string& request) {
    if (request.empty()) return false;
    // Opening File 1 again: the layout as the user left it becomes the standard one first.
    if (MarkOpenStarted() && slot == 0) SaveLayout(0);
    if (g_fileOpen.busy) return false;
    std::string path = request;
    if (uint8_t(request[0]) == 255) {
        path = AskForPath();
        if (path.empty()) {
            AfterOpen(slot, false);
            return false;
        }
    }
    FileOpenResult result = LoadRequestedFile(slot, path, g_res.mainFontSize, LabelNameWidth);
    if (result == kOpenBusy) return false;
    AfterOpen(g_fileOpen.filledSlot, result == kOpenLoaded);
    return result == kOpenLoaded;
}

} // namespace qvtk
