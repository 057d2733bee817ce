#include "analysis/file_summary.h"

#include <cstdarg>
#include <cstdio>

#include "analysis/lap_model.h"

namespace qvtk {

MemoPanel g_memoPanel;

namespace {

constexpr const char* kSummaryLabels[kSummaryRows] = {
    "Max Ne", "Max FSUS",     "Max RSUS",  "Max VFW",      "Max VRW",
    "",       "Run Distance", "Total Lap", "Logging Time",
};

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

bool FileLoaded(FileSlot slot) {
    return SlotOf(slot).file.fileKind != kFileNone;
}

int32_t MaxOfCode(FileSlot slot, ChannelCode code) {
    return SlotOf(slot).range.maxByCode[code];
}

// The distance of every lap, out-lap and in-lap included, in whole metres.
int64_t RunMetres(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    const int last = s.laps.count < kLapMarkEntries ? s.laps.count : kLapMarkEntries - 1;
    uint64_t sum = 0; // 1/7200 m; a long day overflows 32 bits
    for (int k = 0; k <= last; ++k) sum += uint32_t(s.laps.lapDistance[k]);
    const double factor = s.sampleRateFactor > 0 ? s.sampleRateFactor : 1.0;
    return int64_t(double(sum / 7200) / factor);
}

// Counts 5 ms per sample whatever the sample interval.
std::string LoggingTime(FileSlot slot) {
    const int64_t seconds = int64_t(SlotOf(slot).sampleCount) * 5 / 1000;
    return Format("%3d'%02d\"", int(seconds / 60), int(seconds % 60));
}

void NewMemoLine(MemoTyping& t) {
    if (t.line + 1 >= kMemoLines)
        t.finished = true;
    else
        ++t.line;
}

} // namespace

std::string SummaryValue(FileSlot slot, int row) {
    switch (row) {
    case 0:
        return Format("%5d rpm", int(MaxOfCode(slot, kCodeNe) / 1000));
    case 1:
        return Format("%3.2f mm", MaxOfCode(slot, kCodeFrSUS) * 0.001);
    case 2:
        return Format("%3.2f mm", MaxOfCode(slot, kCodeRrSUS) * 0.001);
    case 3:
        return Format("%3.1f km/h", MaxOfCode(slot, kCodeVFW) * 0.001);
    case 4:
        return Format("%3.1f km/h", MaxOfCode(slot, kCodeVRW) * 0.001);
    case 6:
        return Format("%3.2f km", double(RunMetres(slot)) * 0.001);
    case 7:
        return Format("%3d Lap", int(SlotOf(slot).laps.count / MarksPerLap(slot)));
    case 8:
        return LoggingTime(slot);
    default:
        return {};
    }
}

FileSummary BuildFileSummary() {
    FileSummary summary;
    // Only what is loaded: a rejected or closed file leaves no numbers behind.
    const bool file1 = FileLoaded(0), file2 = FileLoaded(1);
    for (int row = 0; row < kSummaryRows; ++row) {
        SummaryRow& r = summary.rows[row];
        r.label = kSummaryLabels[row];
        if (file1) r.file1 = SummaryValue(0, row);
        if (file2) r.file2 = SummaryValue(1, row);
    }
    return summary;
}

TireLines BuildTireLines() {
    TireLines lines;
    for (FileSlot slot = 0; slot < 2; ++slot) {
        if (!FileLoaded(slot)) continue;
        const LogHeader& h = SlotOf(slot).header;
        lines.tire[slot] =
            Format(slot == 0 ? "Tire Size F:%4dmm R:%4dmm" : "TireSize F:%4dmm R:%4dmm",
                   h.tireFront, h.tireRear);
        if (h.sprocketFront > 1)
            lines.finalRatio[slot] = Format("Final %2d-%2d(%5.3f)", h.sprocketFront, h.sprocketRear,
                                            double(float(h.sprocketRear) / float(h.sprocketFront)));
    }
    return lines;
}

bool TypeNextMemoCharacter(MemoTyping& t, const char* memo, int limit) {
    if (t.finished) return false;
    int p = t.position;
    if (p >= limit || memo[p] == 0) {
        t.finished = true;
        return false;
    }
    const auto byte = uint8_t(memo[p]);
    // Memos written with bare line feeds break their lines too.
    if (byte == '\r' || byte == '\n') {
        ++p;
        if (byte == '\r' && p < limit && memo[p] == '\n') ++p;
        t.position = p;
        NewMemoLine(t);
        return !t.finished;
    }
    const int width = byte >= 128 ? 2 : 1;
    // A lead byte whose second byte is cut off is not a character.
    if (width == 2 && (p + 1 >= limit || memo[p + 1] == 0)) {
        t.finished = true;
        return false;
    }
    if (t.length[t.line] + width > kMemoLineBytes) {
        NewMemoLine(t);
        if (t.finished) return false;
    }
    for (int i = 0; i < width; ++i) t.text[t.line][t.length[t.line]++] = memo[p + i];
    t.position = p + width;
    return true;
}

void ResetMemoPanel() {
    g_memoPanel = MemoPanel();
}

bool StepMemoPanel(int panelCounter) {
    if (panelCounter >= 19) {
        ResetMemoPanel();
        return true;
    }
    for (FileSlot slot = 0; slot < 2; ++slot) {
        if (FileLoaded(slot))
            TypeNextMemoCharacter(g_memoPanel.file[slot], SlotOf(slot).header.memo, kMemoReadBytes);
        else
            g_memoPanel.file[slot] = MemoTyping();
    }
    return false;
}

} // namespace qvtk
