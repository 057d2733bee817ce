#pragma once
// The graph settings of every channel code (band position and scale, range, grid, clipping,
// plot type, colours), the order and visibility of the columns, and the palette. Layouts
// store all of it; the time graphs draw from it.
#include <cstdint>

#include "data/channel_codes.h"
#include "data/session.h"
#include "render/render.h"

namespace qvtk {

constexpr int kGraphCodes = kChannelIndexSize; // codes 0..318
constexpr int kPaletteSize = 9;

struct GraphCodeSettings {
    int32_t GraphBottom = 48; // pixel row of GraphMin
    int32_t GraphTop = 16;    // pixel row of GraphMax
    int32_t GraphZero = 400;  // pixel row of the value 0
    float GraphScale = 10.0f; // value units per pixel, 0.001..10000
    int32_t GraphMin = 0;     // sample units
    int32_t GraphMax = 100000;
    int32_t GraphStep = 100000; // grid step, sample units
    int32_t GraphAuto = 1;
    int32_t GridShown = 1;
    int32_t GraphClip = 1;
    int32_t PlotType = 0;   // 0 line, otherwise filled
    int32_t ColorFile1 = 0; // palette indices
    int32_t ColorOnlyFile1 = 0;
    int32_t ColorFile2 = 2;
    int32_t ColorFile3 = 8;
};

struct GraphSettings {
    GraphCodeSettings code[kGraphCodes];
    int32_t GraphOrder[kColumnCount];               // the column drawn in position c
    int32_t GraphVisible[kSlotCount][kColumnCount]; // per file
    bool file1Exclusive = false;                    // File 1 drawn in ColorOnlyFile1 (shown alone)

    GraphSettings() {
        for (int c = 0; c < kColumnCount; ++c) {
            GraphOrder[c] = c;
            for (auto& v : GraphVisible) v[c] = 1;
        }
    }
};

extern GraphSettings g_graph;

void ResetGraphSettings();

inline GraphCodeSettings& GraphOf(ChannelCode code) {
    return g_graph.code[code < kGraphCodes ? code : 0];
}

// The limits a band's scale is kept within.
constexpr float kGraphScaleMin = 0.001f, kGraphScaleMax = 10000.0f;

// What a layout may set: values and grid step within what the Graph Setting dialog takes
// (+-100000 and 0.01..100000 in engineering units), band rows within a reach no screen has,
// palette indices 0..8 (8 for any other, as drawn), switches 0 or 1. A step below 2 is left
// for NormalizeGraphRange.
constexpr int32_t kGraphValueLimitUnits = 100000000;
constexpr int32_t kGraphStepMinUnits = 10;
constexpr int32_t kGraphRowLimit = 100000;
void LimitGraphSettings(GraphCodeSettings& g);

// Band edges from zero and scale (older layouts and the alignment).
void DeriveBandFromScale(GraphCodeSettings& g);
// Scale and zero from the band edges and the range (layouts of version 3).
void DeriveScaleFromBand(GraphCodeSettings& g);
// What loading applies to every code: no clipping of narrow bands, a usable grid step.
void NormalizeGraphRange(GraphCodeSettings& g);

// The light colour scheme (colortype 1): dark text and subtractive overlays on white.
bool LightScheme();
// The text colour of the scheme: white on the dark background, black on the light one.
RenderColorValue SchemeTextColor();

// Palette colour of an index (0..8; anything else is 8) in the current colour scheme.
RenderColorValue PaletteColor(int index);

// Chooses ColorOnlyFile1 for File 1 when ExclusiveF1Color is on and no other file is shown
// undimmed.
void ChooseFile1Colors();

// A colour with its red, green and blue scaled by brightness / 255 (alpha kept).
RenderColorValue Brightened(RenderColorValue color, int brightness);

// The palette index a file's curve of this code is drawn in.
int CurvePaletteIndex(FileSlot slot, ChannelCode code);

// A column is drawn for a file when present, shown, of a used kind and visible for the file.
bool ColumnDrawn(FileSlot slot, int column);

} // namespace qvtk
