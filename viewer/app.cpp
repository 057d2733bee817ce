#include "viewer/app.h"

#include <unistd.h>

#include <cstdio>

#include "analysis/course_layout.h"
#include "data/csv_selection_dialog.h"
#include "data/settings.h"
#include "logger/channel_table_file.h"
#include "logger/setup_dialog.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"
#include "render/render_qt.h"
#include "viewer/af_map_view.h"
#include "viewer/can_logger_setting_dialog.h"
#include "viewer/display_setting_section.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/input.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/settings_file.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

bool g_wasMaximizedBeforeSuspend = false;
void (*g_afterPresent)() = nullptr;

void OnPowerChange(int state) {
    if (state == 1) { // suspending
        g_view.ResumeState = 2;
        g_wasMaximizedBeforeSuspend = RenderIsMaximized();
    } else if (state == 3) {
        g_view.ResumeState = 3;
    }
}

int ClampToDesktop(int coordinate, int desktopSize) {
    return coordinate > desktopSize ? 0 : coordinate;
}

// InitDisplay with the first device mode, then the fallback; "DiretX Error." when neither
// opens. A vertex pool that cannot be had has been reported already and is not retried.
bool OpenDisplay() {
    int result = InitDisplay(0);
    if (result != 0 && result != kInitNoVertexPool) result = InitDisplay(1);
    if (result == 0) return true;
    if (result != kInitNoVertexPool) ShowMessage("DiretX Error.", "Error");
    g_view.ExitRequest = 1;
    return false;
}

// A lost window or device: everything is made again, as at start.
bool RecoverDisplay() {
    RenderClose();
    DestroyToolbar();
    ResetViewerResources();
    ChooseFontMetrics();
    if (!OpenDisplay()) return false;
    RestoreToolbarPlacement(true);
    g_view.SubViewRefresh = 1;
    g_view.RealTimePlay = 0;
    RequestRedraw(kRedrawFull);
    g_view.ExitRequest = 0;
    if (DebugMode()) ShowMessage("Device Reset", "QVTK");
    return true;
}

void FollowPowerState() {
    switch (g_view.ResumeState) {
    case 1:
        RenderWait(50);
        g_view.ResumeState = 2;
        break;
    case 2:
        RenderWait(50);
        break;
    case 3:
        LoadResources();
        g_view.ResumeState = 0;
        break;
    default:
        break;
    }
}

void PaceFrame() {
    int64_t now = RenderNowMs() & 0x7FFFFFFF;
    int64_t elapsed = now - g_view.FrameStart;
    if (g_view.Idle && g_view.RedrawCountdown <= 1) {
        RenderWaitForInput(200); // input wakes the loop at once
    } else if (AfMapFullyShown()) {
        if (elapsed >= 1 && elapsed <= 99) RenderWait(int(100 - elapsed));
    } else if (g_settings.VSync == 0 && elapsed >= 1 && elapsed <= 15) {
        RenderWait(int(16 - elapsed));
    }
    now = RenderNowMs() & 0x7FFFFFFF;
    g_view.FrameTime = now - g_view.FrameStart;
    g_view.FrameStart = now;
}

} // namespace

std::string WindowTitle() {
    char withE[64], title[96];
    std::snprintf(withE, sizeof withE, "%s_e", kVersionText);
    std::snprintf(title, sizeof title, "%s _%s", withE, kBuildDate);
    return title;
}

void StartProgram(const std::string& programDirectory) {
    if (!programDirectory.empty() && chdir(programDirectory.c_str()) != 0)
        std::perror(programDirectory.c_str());
    // What a write cut short by a killed program left behind; the files it was writing are
    // whole, old or new.
    RemoveStaleTempFiles(programDirectory);
    ResetViewState();
    ResetViewerResources();
    ResetGraphSettings();
    ResetGraphLayouts();
    LoadSettings(programDirectory); // also the program directory and the course it names
    InstallCsvSelectionDialog();
    InstallSetupDialogParts();
    g_view.SubViewOn = g_settings.AnimeMode;
    g_view.StatusViewOn = g_settings.SusgramDisplay;
    ChooseFontMetrics();
    // The logger's dialogs reach the viewer's: the CAN logger setting, File 1 opened again.
    g_setupDialogHooks.openCanLoggerSetting = OpenCanLoggerSetting;
    SetReloadFile1([](const std::string& path) { return OpenFileIntoSlot(0, path); });
}

int InitDisplay(int attempt) {
    int dw = 0, dh = 0;
    RenderDesktopSize(dw, dh);
    RenderOpenParams p;
    p.title = WindowTitle();
    p.iconId = 1018;
    p.surfaceWidth = dw / 8 * 8;
    p.surfaceHeight = dh;
    p.x = ClampToDesktop(g_settings.x, dw);
    p.y = ClampToDesktop(g_settings.y, dh);
    p.width = g_settings.x2;
    p.height = g_settings.y2;
    p.waitVerticalBlank = g_settings.VSync == 1;
    p.deviceMode = attempt;
    if (RenderOpen(p) != 0) return 1;
    g_res.screenWidth = p.surfaceWidth;
    g_res.screenHeight = p.surfaceHeight;
    CreateToolbar(RenderMainWindow());
    SyncToolbar();
    if (!AllocateVertexPools()) {
        ShowMessage("Memory Error.", "Error");
        return kInitNoVertexPool;
    }
    RenderShowWindow(g_settings.zoomed == 1);
    LoadResources();
    RenderSetRestoreCallback(LoadResources);
    RenderSetPowerCallback(OnPowerChange);
    return 0;
}

void SetAfterPresentHook(void (*hook)()) {
    g_afterPresent = hook;
}

bool RunMainPass() {
    if (RenderWindowClosed()) {
        g_view.ExitRequest = 1;
        return false;
    }
    if (RenderPumpMessages() != 0) return RecoverDisplay();
    if (RenderWindowClosed()) {
        g_view.ExitRequest = 1;
        return false;
    }
    FollowPowerState();
    PollInput();
    if (g_view.RedrawCountdown >= 1) {
        DrawFrame();
        RenderPresent();
        if (g_afterPresent) g_afterPresent();
    }
    PaceFrame();
    return g_view.ExitRequest == 0;
}

void ExitProgram() {
    WindowPlacement placement;
    RenderNormalPlacement(placement.x, placement.y, placement.width, placement.height);
    placement.maximized = g_view.ResumeState ? g_wasMaximizedBeforeSuspend : RenderIsMaximized();
    SaveSettings(g_session.programDirectory, placement);
    SaveSectorFile();
    DestroyToolbar();
    RenderClose();
    ResetSession(); // every per-file buffer
}

int AppMain(const std::string& programDirectory, const std::vector<std::string>& files) {
    StartProgram(programDirectory);
    if (!OpenDisplay()) return -1;
    RestoreToolbarPlacement(true);
    for (size_t i = 0; i < files.size() && i < size_t(kSlotCount); ++i)
        OpenFileIntoSlot(FileSlot(i), files[i]);
    if (QWidget* w = RenderMainWindow()) {
        w->raise();
        w->activateWindow();
    }
    if (QWidget* bar = ToolbarWidget()) bar->raise(); // above the main window, as its tool
    while (RunMainPass()) {}
    ExitProgram();
    return 0;
}

} // namespace qvtk
