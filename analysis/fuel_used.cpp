#include "analysis/fuel_used.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/session.h"
#include "platform/message_box.h"

namespace qvtk {

namespace {

constexpr int kFuelLaps = 511;
constexpr int kShownLaps = 30;
constexpr int kCcPerEdge = 10;

int FuelColumn(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c) && HasFullBuffer(s, c) &&
            std::strcmp(s.channels[c].name, "F_TMFLCN") == 0)
            return c;
    return -1;
}

struct FuelCount {
    int total = 0;
    int lap[kFuelLaps] = {};
    int lastLap = 0;
};

// Rising edges of the slot's own "F_TMFLCN" column, per mark-to-mark lap.
FuelCount CountEdges(FileSlot slot) {
    FuelCount f;
    const Slot& s = SlotOf(slot);
    const int c = FuelColumn(slot);
    if (s.file.fileKind == kFileNone || c < 0) return f;
    const int32_t* x = s.samples[c];
    const int32_t count = std::min(s.sampleCount, s.capacity);
    const int lastLap = std::clamp(s.laps.count - 1, 0, kFuelLaps - 1);
    int lap = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0 && x[i - 1] == 0 && x[i] != 0) {
            ++f.total;
            ++f.lap[lap];
        }
        if (lap < lastLap && i >= s.laps.marks[lap + 1]) ++lap;
    }
    f.lastLap = lap;
    return f;
}

} // namespace

std::string FuelUsedText() {
    if (FuelColumn(0) < 0) return {};
    const FuelCount f1 = CountEdges(0), f2 = CountEdges(1);
    std::string text = "              File1     :    File2\n\n";
    char line[96];
    std::snprintf(line, sizeof line, "total - %5d cc  :  %5d cc\n\n", f1.total * kCcPerEdge,
                  f2.total * kCcPerEdge);
    text += line;
    for (int i = 0; i < kShownLaps && (i <= f1.lastLap || i <= f2.lastLap); ++i) {
        std::snprintf(line, sizeof line, "lap %d  -  %4d cc  :  %4d cc\n", i,
                      f1.lap[i] * kCcPerEdge, f2.lap[i] * kCcPerEdge);
        text += line;
    }
    return text;
}

void ShowFuelUsed() {
    const std::string text = FuelUsedText();
    if (!text.empty()) ShowMessage(text, "Fuel used");
}

} // namespace qvtk
