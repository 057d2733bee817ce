#pragma once
// Graph layouts: the graph settings of every channel together with the analysis tools'
// channel selection, the X-Y plot axes and the search alert band, kept as text files: the
// standard layout "stdgp.ini" and the user's *.lay files. Channels are matched by code and,
// where the code is not a fixed one, by name; a history section remembers channels that are
// absent from the files loaded now.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvtk {

constexpr int kAnalysisSets = 3;          // one per file
constexpr int kAnalysisItems = 12;        // channel columns of the lap table
constexpr int kLayoutHistory = 1024;      // entries of [Histry]
constexpr size_t kLayoutTextMax = 131071; // bytes a layout file is written with at most
constexpr int kLayoutFormatVersion = 3;   // written as LAYver/Ver

// What a layout carries besides the graph settings.
struct LayoutExtras {
    int32_t An_CH[kAnalysisSets][kAnalysisItems]; // column (0..63) of each lap table item
    // X-Y plot axes (x 1000); a zero step scales that axis automatically.
    int32_t Gxmin = 0, Gxmax = 100, Gxstp = 10;
    int32_t Gymin = 0, Gymax = 100, Gystp = 10;
    int32_t Gzmin = 0, Gzmax = 100, Gzstp = 10;
    // Search alert band (x 1000) and its column.
    int32_t SAxmin = 0, SAxmax = 100000, SAxchn = 0;

    LayoutExtras() {
        for (auto& set : An_CH)
            for (int i = 0; i < kAnalysisItems; ++i) set[i] = i;
    }
};

extern LayoutExtras g_layoutExtras;

// The extras back to their defaults and no load or save running.
void ResetGraphLayouts();

// Reads a layout into the graph settings of File 1's present columns and the extras, then
// recomputes File 1's lap data and rebuilds the graph list. A missing file loads the
// defaults; returns whether the file was there.
bool LoadLayoutFile(const std::string& path);

// Writes the current layout over path, carrying over the history of the file it replaces.
// False when the file could not be written.
bool SaveLayoutFile(const std::string& path);

// mode 0: "stdgp.ini" of the program directory; 1: chosen with the open dialog; 2: the
// layout of a tab, "<tabName>.lay" in the program directory. False when nothing was loaded
// (dialog cancelled, another load or save running).
bool LoadLayout(int mode, const std::string& tabName = {});

// mode 0: "stdgp.ini" of the program directory; 1: chosen with the save dialog.
bool SaveLayout(int mode);

} // namespace qvtk
