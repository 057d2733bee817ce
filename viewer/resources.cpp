#include "viewer/resources.h"

#include <new>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "render/render_qt.h"
#include "viewer/info_panels.h"
#include "viewer/view_state.h"

namespace qvtk {

ViewerResources g_res;

namespace {

void ResourceError(const char* text) {
    if (DebugMode()) ShowMessage(text, "QVTK");
}

RenderHandle Surface(RenderHandle& handle, int w, int h, bool alpha, const char* error) {
    if (handle > 0) RenderFreeImage(handle);
    handle = RenderCreateSurface(w, h, alpha);
    if (handle < 0) ResourceError(error);
    return handle;
}

void CreateSurfaces() {
    g_res.courseMapNoAlpha = false;
    if (g_res.courseMap > 0) RenderFreeImage(g_res.courseMap);
    g_res.courseMap = RenderCreateSurface(512, 512, true);
    if (g_res.courseMap < 0) {
        g_res.courseMap = RenderCreateSurface(512, 512, false);
        g_res.courseMapNoAlpha = g_res.courseMap >= 0;
        if (g_res.courseMap < 0) ResourceError("Memory err cgh00");
    }
    Surface(g_res.summaryPanel, 256, 128, true, "Memory err iwgh00");
    Surface(g_res.memoPanel, 192, 256, true, "Memory err iwgh02");
    Surface(g_res.lapBox, 120, 80, true, "Memory err iwgh03");
    Surface(g_res.columnStrip, 8, g_res.screenHeight, false, "Memory err gh00");
    Surface(g_res.namePanel, 80, g_res.screenHeight, false, "Memory err gh01");
    Surface(g_res.susgram[0], 256, 128, true, "Memory err sugh00");
    Surface(g_res.susgram[1], 256, 128, true, "Memory err sugh01");
    Surface(g_res.xyPlotSprite, 16, 16, true, "Memory err xypgh01");
    Surface(g_res.markerSprite, 8, 128, true, "Memory err i04");
}

// The background pictures: a dark strip that fades to the right edge of the value column,
// and the channel name panel.
void PaintBackgroundSurfaces() {
    const BackgroundColors colors = BackgroundColorsNow();
    if (g_res.columnStrip > 0) {
        RenderSetTarget(g_res.columnStrip);
        RenderSetBlend(BlendMode::None, 255);
        RenderClearTarget(colors.strip);
        for (int y = 0; y < g_res.screenHeight; y += kStripLineSpacing)
            RenderLine(0, float(y), 8, float(y), colors.stripLine);
    }
    if (g_res.namePanel > 0) {
        RenderSetTarget(g_res.namePanel);
        RenderSetBlend(BlendMode::None, 255);
        RenderClearTarget(colors.namePanel);
    }
    if (g_res.markerSprite > 0) {
        RenderSetTarget(g_res.markerSprite);
        RenderSetBlend(BlendMode::None, 255);
        RenderClearTarget(0);
        RenderBox(2, 0, 6, 128, RenderColor(255, 220, 64), true);
    }
    RenderSetTarget(kBackBuffer);
}

void LoadImages() {
    RenderHandle* images[] = {&g_res.body, &g_res.tire, &g_res.meter, &g_res.needle};
    const char* names[] = {"Body.BMP", "TIRE.BMP", "METER.BMP", "Needle.BMP"};
    for (int i = 0; i < 4; ++i) {
        if (*images[i] > 0) RenderFreeImage(*images[i]);
        // From the program directory wherever the program runs; a missing image is not
        // reported.
        *images[i] = RenderLoadImage(ProgramFilePath(names[i]));
    }
}

void CreateFonts() {
    for (RenderHandle font : {g_res.mainFont, g_res.smallFont, g_res.valueFont})
        if (font >= 0) RenderFreeFont(font);
    g_res.mainFont = RenderCreateFont("MS Gothic", g_res.mainFontSize, 400);
    g_res.smallFont = RenderCreateFont("Tahoma", g_res.smallFontSize, 400);
    g_res.valueFont = RenderCreateFont("Tahoma", g_res.valueFontSize, 400);
}

} // namespace

BackgroundColors BackgroundColorsNow() {
    if (g_settings.colortype == 1)
        return {RenderColor(244, 244, 240), RenderColor(236, 236, 232), RenderColor(226, 226, 222),
                RenderColor(222, 224, 228)};
    return {RenderColor(0, 0, 0), RenderColor(10, 12, 18), RenderColor(16, 19, 27),
            RenderColor(20, 24, 34)};
}

void ResetViewerResources() {
    g_res = ViewerResources();
}

void ChooseFontMetrics() {
    bool hd = g_settings.HD_Display == 1;
    g_res.mainFontSize = hd ? 17 : 15;
    g_res.smallFontSize = hd ? 15 : 11;
    g_res.valueFontSize = hd ? 15 : 11;
    g_res.valueColumnWidth = hd ? 110 : 105;
    g_res.namePanelWidth = hd ? 340 : 300;
}

namespace {
bool g_failVertexPools = false;
}

void FailVertexPoolsForTesting(bool fail) {
    g_failVertexPools = fail;
}

bool AllocateVertexPools() {
    if (g_failVertexPools) return false;
    try {
        g_res.linePool.assign(size_t(5 * g_res.screenWidth + 51), RenderVertex());
        g_res.pool3072.assign(3072, RenderVertex());
        g_res.pool4096.assign(4096, RenderVertex());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RebuildSchemeResources() {
    ChooseFontMetrics();
    CreateFonts();
    PaintBackgroundSurfaces();
    RedrawCourseMap();
    RequestRedraw(kRedrawFull);
}

void LoadResources() {
    if (RenderMainWindow()) {
        int dw = 0, dh = 0;
        RenderDesktopSize(dw, dh);
        g_res.screenWidth = dw / 8 * 8;
        g_res.screenHeight = dh;
        RenderResizeBackBuffer(g_res.screenWidth, g_res.screenHeight);
    } else {
        // Drawing without a window (reports, benchmarks): the back buffer is the screen.
        RenderClientSize(g_res.screenWidth, g_res.screenHeight);
    }
    RenderClientSize(g_res.clientWidth, g_res.clientHeight);
    CreateSurfaces();
    LoadImages();
    CreateFonts();
    PaintBackgroundSurfaces();
    if (SlotOf(0).active) {
        ResetLapChecks(0);
        ComputeLapStatistics();
    }
    RefreshSummary();
    LoadCourseLayout();
    RequestRedraw(kRedrawFull);
    RenderShowWindow(RenderIsMaximized());
}

} // namespace qvtk
