#include "analysis/percentage.h"

#include <algorithm>
#include <cstdio>

#include "analysis/lap_model.h"

namespace qvtk {

PercentageState g_percentage;

namespace {

struct ChannelChoice {
    const char* name;
    ChannelCode code;
    int32_t limit, stepMin, stepMax;
    const char* heading;
};

const ChannelChoice kChoices[kPercentageChannels] = {
    {"Ne", kCodeNe, 20000, 10, 10000, "- rpm - \t - % - \r\n"},
    {"Th", kCodeTPS, 200, 1, 200, "- Th% - \t - % - \r\n"},
    {"FrSUS", kCodeFrSUS, 200, 1, 200, "- mm - \t - % - \r\n"},
    {"RrSUS", kCodeRrSUS, 200, 1, 200, "- mm - \t - % - \r\n"},
};

int ValidChannel(int channel) {
    return std::clamp(channel, 0, kPercentageChannels - 1);
}

// The lap a segment belongs to counts for it: with 2 or 3 marks per lap every segment of a
// checked lap is taken, and none of an unchecked one.
bool SegmentChecked(FileSlot slot, int k) {
    const int lapStart = k - k % MarksPerLap(slot);
    return lapStart >= 0 && lapStart < kLapEntries && LapStateOf(slot).lapChecked[lapStart];
}

// Counts samples from..to-1 of x into the histogram: below `low` into entry 0, else band
// (v - low) / width + 1, at most `last`.
template <class Value>
void CountSamples(const int32_t* x, int32_t from, int32_t to, int64_t low, int64_t width,
                  int64_t last, int64_t* entries, Value value) {
    for (int32_t i = from; i < to; ++i) {
        const int64_t v = value(x[i]);
        if (v < low) {
            ++entries[0];
        } else {
            const int64_t b = (v - low) / width + 1;
            ++entries[b < last ? b : last];
        }
    }
}

} // namespace

void ResetPercentage() {
    g_percentage = PercentageState();
}

const char* PercentageChannelName(int channel) {
    return kChoices[ValidChannel(channel)].name;
}

ChannelCode PercentageChannelCode(int channel) {
    return kChoices[ValidChannel(channel)].code;
}

int PercentageChannelByName(const std::string& name) {
    for (int i = 0; i < kPercentageChannels; ++i)
        if (name == kChoices[i].name) return i;
    return -1;
}

void ClampBands(int channel, BandSettings& b) {
    const ChannelChoice& c = kChoices[ValidChannel(channel)];
    b.max = std::max(b.max, b.min);
    // A negative minimum would ask for millions of bands.
    b.min = std::clamp(b.min, 0, c.limit);
    b.max = std::clamp(b.max, 0, c.limit);
    b.step = std::clamp(b.step, c.stepMin, c.stepMax);
}

Histogram ComputeHistogram(FileSlot slot, int channel, const BandSettings& b, bool checkedOnly) {
    Histogram h;
    const int64_t bands = int64_t(std::max(b.max - b.min, 0)) / std::max(b.step, 1);
    h.entries.assign(size_t(bands + 2), 0);
    const Slot& s = SlotOf(slot);
    const int column = FindColumnByCode(slot, PercentageChannelCode(channel));
    if (s.file.fileKind == kFileNone || column < 0 || !HasFullBuffer(s, column)) return h;
    const int32_t limit = std::min(s.sampleCount, s.capacity);
    const int64_t low = int64_t(b.min) * 1000, width = int64_t(std::max(b.step, 1)) * 1000;
    const int64_t last = bands + 1;
    const bool engine = PercentageChannelCode(channel) == kCodeNe;
    const double scale = engine ? double(s.engineSpeedScale) : 1.0;
    for (int k = 0; k < s.laps.count && k + 1 < kLapMarkEntries; ++k) {
        if (checkedOnly && !SegmentChecked(slot, k)) continue;
        const int32_t from = std::max(LapMark(slot, k), 0);
        const int32_t to = std::min(LapMark(slot, k + 1), limit);
        if (from >= to) continue;
        h.total += to - from;
        const int32_t* x = s.samples[column];
        if (scale == 1.0)
            CountSamples(x, from, to, low, width, last, h.entries.data(),
                         [](int32_t v) { return int64_t(v); });
        else
            CountSamples(x, from, to, low, width, last, h.entries.data(),
                         [scale](int32_t v) { return int64_t(double(v) * scale); });
    }
    return h;
}

std::string DistributionText(int channel, const BandSettings& b, const Histogram& h) {
    std::string text = kChoices[ValidChannel(channel)].heading;
    const float total = float(std::max<int64_t>(h.total, 1));
    auto share = [&](size_t entry) {
        const int64_t n = entry < h.entries.size() ? h.entries[entry] : 0;
        return double(100.0f * float(n) / total);
    };
    char line[64];
    if (b.min > 0) {
        std::snprintf(line, sizeof line, "- %d \t %.3f \r\n", b.min, share(0));
        text += line;
    }
    if (b.min > b.max || b.step < 1) return text;
    size_t band = 1;
    for (int64_t v = b.min; v <= b.max; v += b.step, ++band) {
        std::snprintf(line, sizeof line, " %d -\t %.3f \r\n", int(v), share(band));
        text += line;
    }
    return text;
}

Distribution AnalyzeDistribution(int channel, BandSettings b, bool checkedOnly) {
    Distribution d;
    ClampBands(channel, b);
    d.bands = b;
    for (FileSlot slot = 0; slot < 2; ++slot) {
        d.histogram[slot] = ComputeHistogram(slot, channel, b, checkedOnly);
        d.text[slot] = DistributionText(channel, b, d.histogram[slot]);
    }
    return d;
}

} // namespace qvtk
