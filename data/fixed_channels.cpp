#include "data/fixed_channels.h"

#include <cstdio>
#include <cstring>

#include "data/settings.h"

namespace qvtk {

namespace {

struct FixedChannel {
    const char* name; // written through a format, so "%%" is one percent sign
    const char* unit;
    ChannelCode code;
    uint8_t kind;
    uint8_t decimals;
};

const FixedChannel kFixedChannels[] = {
    {"Ne", "rpm", kCodeNe, 1, 0},          {"TPS", "%%  ", kCodeTPS, 1, 1},
    {"VFW", "km/h", kCodeVFW, 1, 1},       {"VRW", "km/h", kCodeVRW, 1, 1},
    {"FrSUS", "mm  ", kCodeFrSUS, 1, 1},   {"RrSUS", "mm  ", kCodeRrSUS, 1, 1},
    {"LAF1", "A/F", kCodeLAF1, 1, 2},      {"LAF2", "A/F", kCodeLAF2, 1, 2},
    {"VB", "V  ", kCodeVB, 1, 2},          {"AUX1", "", kCodeAUX1, 1, 2},
    {"AUX2", "", kCodeAUX2, 1, 2},         {"Slip%%", "%%", kCodeSlip, 1, 2},
    {"VFrSUS", "mm/s", kCodeVFrSUS, 2, 2}, {"VRrSUS", "mm/s", kCodeVRrSUS, 2, 2},
    {"ReducRat", " ", kCodeReducRat, 2, 3},
};
constexpr int kReducRatColumn = 14;
constexpr int kAux2Column = 10;

// snprintf with a format that is a table constant, so "%%" collapses to one percent sign.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void Format(char (&out)[9], const char* fmt) { std::snprintf(out, sizeof out, fmt); }
#pragma GCC diagnostic pop

} // namespace

void ClearChannelTable(FileSlot slot) {
    Slot& s = SlotOf(slot);
    for (int c = 0; c <= kColumnCount; ++c) {
        s.channels[c] = ChannelInfo();
        std::snprintf(s.channels[c].name, sizeof s.channels[c].name, "%d", c);
        s.channelFlags[c] = 0;
    }
}

void NameFixedChannels(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const Slot& base = SlotOf(0);
    // Without a recording in File 1 there is nothing to line up with: name as File 1 would.
    const bool asFile1 = slot == 0 || base.file.fileKind == kFileNone;
    const int named = DebugMode() ? kReducRatColumn + 1 : kReducRatColumn;
    uint32_t baseFlags[kColumnCount];
    for (int c = 0; c < kColumnCount; ++c) baseFlags[c] = base.channelFlags[c];
    ClearChannelTable(slot);
    for (int c = 0; c < named; ++c) {
        const FixedChannel& f = kFixedChannels[c];
        ChannelInfo& info = s.channels[c];
        Format(info.name, f.name);
        Format(info.unit, f.unit);
        info.code = f.code;
        info.kind = f.kind;
        info.decimals = f.decimals;
    }
    if (slot == 0 && (g_settings.Shifter || DebugMode())) s.channels[kAux2Column].code = kCodeShifter;
    for (int c = 0; c < kColumnCount; ++c) {
        bool on = asFile1 ? c < named : (baseFlags[c] & (kChannelPresent | kChannelShown)) != 0;
        s.channelFlags[c] = on ? kChannelPresent | kChannelShown : 0;
    }
}

} // namespace qvtk
