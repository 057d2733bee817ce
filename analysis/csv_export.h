#pragma once
// File 1's samples as a CSV file: the whole recording, the checked laps or a range marked in
// the viewer, at one of six output rates. Every step of the output is 1 ms of the recording's
// own time; a line is written on every n-th step.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qvtk {

enum ExportMode : int { kExportSelectedLaps = 0, kExportRange = 1, kExportAll = 2 };

constexpr int kExportRates = 6;
constexpr int kExportDefaultRate = 1; // "200Hz (5ms)"
extern const char* const kExportRateText[kExportRates];
extern const int kExportRateSteps[kExportRates]; // a line on every n-th 1 ms step

struct ExportRequest {
    ExportMode mode = kExportAll;
    int rate = kExportDefaultRate;
    int32_t rangeA = 0, rangeB = 0; // the range's two ends in samples of File 1, any order
};

// The progress bar and the window while an export runs; any member may be empty.
struct ExportProgress {
    std::function<void(int32_t first, int32_t last)> span; // a new span: the bar's range
    std::function<void(int32_t sample)> position;          // about every 100 ms, and at the end
    std::function<void()> pumpMessages;
};

// The columns an export writes: File 1's present channels that are shown, in column order.
std::vector<int> ExportedColumns();

// Writes the export to `path` through a temporary file beside it; false after any failure,
// with nothing of the export on disk and an earlier file of that name as it was.
bool WriteCsvExport(const std::string& path, const ExportRequest& request,
                    const ExportProgress& progress);

// The export as the program reports it: an empty path (the save dialog was cancelled) or a
// failed write is "Not Saved !!" / "Error !!", a written file "Done." / "Saved".
bool ExportCsv(const std::string& path, const ExportRequest& request,
               const ExportProgress& progress);

// The text "%g" gives for a sample x 0.001 computed in single precision; returns its length
// (at most 15 characters).
int FormatExportValue(int32_t sample, char* out);

} // namespace qvtk
