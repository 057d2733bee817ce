#pragma once
// The A/F map: the air-fuel ratio of every sample of the checked laps over engine speed and a
// second channel (normally the throttle), sorted into below, inside and above a window. The
// viewer draws the points; the batch command counts them. Its channels are the settings
// AFmap_YCH, AFmap_AFCH, AFmap_SWCH (0: no switch filter) and AFmap_SWTHS.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "analysis/lap_model.h"
#include "data/session.h"

namespace qvtk {

constexpr int kAfWindowLowMin = 900, kAfWindowLowMax = 1600, kAfWindowLowStart = 1250;
constexpr int kAfWindowWidthMax = 200, kAfWindowWidthStart = 50;
constexpr int kAfAccelSpan = 11; // samples summed before and after for the Shift/Ctrl filters

enum AfClass : int { kAfUnder = 0, kAfInside = 1, kAfOver = 2 };

struct AfMapOptions {
    int yColumn = 0, afColumn = 0, switchColumn = 0; // as stored; switch 0 is none
    float threshold = 2.5f;                          // of the switch channel
    bool reversed = false;                           // keep switch values at or below the threshold
    int lafDelay = 0; // samples the A/F and switch channels are read later
    bool dropDecelerating = false, dropAccelerating = false; // Shift, Ctrl
    int windowLow = kAfWindowLowStart;                       // A/F x 100
    int windowWidth = kAfWindowWidthStart;
};

// The channels and threshold of the settings; the filters and window left at their start.
AfMapOptions AfMapOptionsFromSettings();

// The columns one file is read from; `drawable` is false when a stored channel is not a
// present column of that file (no points then).
struct AfMapColumns {
    int ne = -1, y = -1, af = -1, sw = -1;
    bool drawable = false;
};
AfMapColumns ResolveAfMapColumns(FileSlot slot, const AfMapOptions& o);

struct AfMapCounts {
    int64_t count[3] = {}; // by AfClass
    int64_t Total() const { return count[0] + count[1] + count[2]; }
};

// At the "Easy Mode" level: throttle against engine speed, LAF1 as the A/F channel, no switch,
// threshold 2.5 (columns found by code in File 1).
void SetAfMapEasyDefaults();

// The window kept inside its limits.
int ClampAfWindowLow(int low);
int ClampAfWindowWidth(int width);

// The switch value and the threshold compared in hundredths.
inline bool AfSwitchKeeps(int32_t sample, int64_t threshold100, bool reversed) {
    const int64_t v = sample / 10;
    return reversed ? v <= threshold100 : v >= threshold100;
}

inline AfClass AfClassOf(int32_t afSample, int low, int width) {
    const int32_t a = afSample / 10; // A/F x 100
    if (a > low + width) return kAfOver;
    if (a < low) return kAfUnder;
    return kAfInside;
}

int64_t AfThreshold100(float threshold);

// Calls point(sample, engine speed sample, Y sample, class) for every sample of every checked
// lap of the file that passes the filters, in order, and counts them.
template <class Point> AfMapCounts WalkAfMap(FileSlot slot, const AfMapOptions& o, Point&& point) {
    AfMapCounts counts;
    const Slot& s = SlotOf(slot);
    const AfMapColumns c = ResolveAfMapColumns(slot, o);
    if (s.file.fileKind == kFileNone || !c.drawable) return counts;
    const int32_t n = std::min(s.sampleCount, s.capacity);
    const int m = MarksPerLap(slot);
    const LapState& laps = LapStateOf(slot);
    const int32_t *ne = s.samples[c.ne], *yv = s.samples[c.y], *af = s.samples[c.af];
    const int32_t* sw = c.sw >= 0 ? s.samples[c.sw] : nullptr;
    const int64_t threshold100 = AfThreshold100(o.threshold);
    const int delay = std::max(o.lafDelay, 0);
    const bool motion = o.dropDecelerating || o.dropAccelerating;
    const int low = ClampAfWindowLow(o.windowLow), width = ClampAfWindowWidth(o.windowWidth);
    for (int k = 0; k <= s.laps.count - m && k < kLapEntries; k += m) {
        if (!laps.lapChecked[k]) continue;
        const int32_t from = std::max(LapMark(slot, k), 0);
        const int32_t to = std::min(LapMark(slot, k + m), n);
        if (from >= to) continue;
        // Sums of the Y channel over the 11 samples ending and starting at i.
        int64_t before = 0, after = 0;
        if (motion) {
            for (int32_t j = std::max(from - (kAfAccelSpan - 1), 0); j <= from; ++j)
                before += yv[j];
            for (int32_t j = from; j < std::min(from + kAfAccelSpan, n); ++j) after += yv[j];
        }
        for (int32_t i = from; i < to; ++i) {
            const int32_t j = int64_t(i) + delay < n ? i + delay : i;
            bool keep = !sw || AfSwitchKeeps(sw[j], threshold100, o.reversed);
            if (motion) {
                if (before > after && o.dropDecelerating) keep = false;
                if (before < after && o.dropAccelerating) keep = false;
                if (i + 1 < n) before += yv[i + 1];
                if (i + 1 - kAfAccelSpan >= 0) before -= yv[i + 1 - kAfAccelSpan];
                after -= yv[i];
                if (int64_t(i) + kAfAccelSpan < n) after += yv[i + kAfAccelSpan];
            }
            if (!keep) continue;
            const AfClass cls = AfClassOf(af[j], low, width);
            ++counts.count[cls];
            point(i, ne[i], yv[i], cls);
        }
    }
    return counts;
}

} // namespace qvtk
