// qvtk-cli afmap: the A/F map's counts per panel (File 1, File 2): the points of the checked
// laps below, inside and above the window, with the channels of the settings.
#include <cstdio>
#include <iostream>

#include "analysis/af_map.h"
#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace qvtk::cli {

int RunAfMap(Options& o, bool loaded) {
    if (!loaded) return kExitRejected;
    if (!o.extraFiles.empty()) {
        FileSlot second = 1;
        if (!LoadFileIntoSlot(second, o.extraFiles[0])) return kExitRejected;
    }
    ApplyLapChecks(o.tool);
    AfMapOptions a = AfMapOptionsFromSettings();
    a.reversed = o.tool.reverse;
    a.windowLow = ClampAfWindowLow(o.tool.windowLow);
    a.windowWidth = ClampAfWindowWidth(o.tool.windowWidth);
    AfMapCounts counts[2];
    for (FileSlot slot = 0; slot < 2; ++slot)
        counts[slot] = WalkAfMap(slot, a, [](int32_t, int32_t, int32_t, AfClass) {});
    if (o.json) {
        JsonWriter j;
        j.BeginObject();
        j.Key("yChannel"), j.Value(int64_t(a.yColumn));
        j.Key("afChannel"), j.Value(int64_t(a.afColumn));
        j.Key("switchChannel"), j.Value(int64_t(a.switchColumn));
        j.Key("threshold"), j.Value(double(a.threshold));
        j.Key("reversed"), j.Value(a.reversed);
        j.Key("windowLow"), j.Value(int64_t(a.windowLow));
        j.Key("windowWidth"), j.Value(int64_t(a.windowWidth));
        j.Key("panels");
        j.BeginArray();
        for (FileSlot slot = 0; slot < 2; ++slot) {
            j.BeginObject();
            j.Key("slot"), j.Value(int64_t(slot));
            j.Key("loaded"), j.Value(SlotOf(slot).file.fileKind != kFileNone);
            j.Key("drawable"), j.Value(ResolveAfMapColumns(slot, a).drawable);
            j.Key("under"), j.Value(counts[slot].count[kAfUnder]);
            j.Key("inside"), j.Value(counts[slot].count[kAfInside]);
            j.Key("over"), j.Value(counts[slot].count[kAfOver]);
            j.EndObject();
        }
        j.EndArray();
        PrintWithMessages(j);
        return kExitLoaded;
    }
    std::printf("window %4.2f - %4.2f, switch %s\n", a.windowLow / 100.0,
                (a.windowLow + a.windowWidth) / 100.0,
                a.switchColumn == 0 ? "none" : (a.reversed ? "at or below" : "at or above"));
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Slot& s = SlotOf(slot);
        if (s.file.fileKind == kFileNone) continue;
        const AfMapCounts& n = counts[slot];
        std::printf("File %d %s: under %lld inside %lld over %lld\n", slot + 1,
                    s.file.fileName.c_str(), (long long)n.count[kAfUnder],
                    (long long)n.count[kAfInside], (long long)n.count[kAfOver]);
    }
    return kExitLoaded;
}

} // namespace qvtk::cli
