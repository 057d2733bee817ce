#pragma once
// What the viewer draws with: fonts and their metrics, off-screen surfaces, images and the
// vertex pools. Recreated by LoadResources whenever the device is (re)made.
#include <vector>

#include "render/render.h"

namespace qvtk {

struct ViewerResources {
    // Font metrics chosen at start by HD_Display.
    int mainFontSize = 15; // also the line height of text lists
    int smallFontSize = 11;
    int valueFontSize = 11;
    int valueColumnWidth = 105;
    int namePanelWidth = 300;
    RenderHandle mainFont = -1, smallFont = -1, valueFont = -1;
    // Off-screen surfaces.
    RenderHandle courseMap = -1;
    bool courseMapNoAlpha = false;
    RenderHandle summaryPanel = -1; // info panel A
    RenderHandle memoPanel = -1;    // info panel B
    RenderHandle lapBox = -1;
    RenderHandle columnStrip = -1;
    RenderHandle namePanel = -1;
    RenderHandle susgram[2] = {-1, -1};
    RenderHandle xyPlotSprite = -1;
    RenderHandle markerSprite = -1;
    // Images of the sub view.
    RenderHandle body = -1, tire = -1, meter = -1, needle = -1;
    // Pre-transformed vertex pools of the graphs.
    std::vector<RenderVertex> linePool;
    std::vector<RenderVertex> pool3072;
    std::vector<RenderVertex> pool4096;
    int screenWidth = 0, screenHeight = 0; // the drawing surface
    int clientWidth = 0, clientHeight = 0;
};

extern ViewerResources g_res;

// The background pictures' colours in the scheme: the window behind everything, the column
// strip with its lines every kStripLineSpacing rows, and the name panel.
constexpr int kStripLineSpacing = 32;
struct BackgroundColors {
    RenderColorValue clear, strip, stripLine, namePanel;
};
BackgroundColors BackgroundColorsNow();

void ResetViewerResources();

// Chooses the font metrics from HD_Display.
void ChooseFontMetrics();

// Allocates the vertex pools for the drawing surface width; false when that fails.
bool AllocateVertexPools();
// Tests: every pool allocation fails until called with false.
void FailVertexPoolsForTesting(bool fail);

// After the colour scheme or HD_Display changed: fonts, background pictures and the course
// map made anew in the new scheme, and a full redraw.
void RebuildSchemeResources();

// (Re)creates surfaces, images, fonts and colours, rebuilds the panels and asks for a full
// redraw. Failures are reported only in debug mode.
void LoadResources();

} // namespace qvtk
