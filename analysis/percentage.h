#pragma once
// The percentage tool: how the samples of engine speed, throttle or a suspension stroke are
// spread over value bands, for File 1 and File 2, over all laps or the checked ones only. The
// dialog and the batch command show the texts made here.
#include <cstdint>
#include <string>
#include <vector>

#include "data/session.h"

namespace qvtk {

constexpr int kPercentageChannels = 4; // "Ne", "Th", "FrSUS", "RrSUS"

// Minimum, maximum and band width in the dialog's units (rpm, %, mm).
struct BandSettings {
    int32_t min = 0, max = 0, step = 1;
};

struct PercentageState {
    // Remembered per channel for the run of the program.
    BandSettings bands[kPercentageChannels] = {
        {6000, 16000, 500}, {0, 100, 5}, {0, 125, 5}, {0, 50, 5}};
    int channel = 0;          // combobox position
    bool checkedOnly = false; // "Checked Lap Only"
};

extern PercentageState g_percentage;

void ResetPercentage();

const char* PercentageChannelName(int channel);
// The channel code whose column a file's samples are taken from.
ChannelCode PercentageChannelCode(int channel);
// Index of a channel name ("Ne" ...), -1 when there is none.
int PercentageChannelByName(const std::string& name);

// The dialog's limits: max at least min, min and max within 0 .. 20000 (Ne) or 0 .. 200,
// step within 10 .. 10000 (Ne) or 1 .. 200.
void ClampBands(int channel, BandSettings& b);

// Entry 0: samples below the minimum; entries 1 .. n + 1: the bands from the minimum, the last
// also taking everything above. `total` counts the samples examined.
struct Histogram {
    std::vector<int64_t> entries;
    int64_t total = 0;
};

// The histogram of one file. The band of a sample is found in the dialog's units, exactly:
// value = sample / 1000 (engine speed times the file's simulated scale).
Histogram ComputeHistogram(FileSlot slot, int channel, const BandSettings& b, bool checkedOnly);

// The text box of one file, lines ending in CR LF.
std::string DistributionText(int channel, const BandSettings& b, const Histogram& h);

struct Distribution {
    BandSettings bands; // after the limits
    Histogram histogram[2];
    std::string text[2]; // File 1, File 2
};

// Limits the bands, then the histograms and texts of File 1 and File 2 (a file without a
// recording shows the heading and zeros).
Distribution AnalyzeDistribution(int channel, BandSettings b, bool checkedOnly);

} // namespace qvtk
