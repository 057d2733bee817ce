// qvtk-cli percentage: the percentage tool's two text boxes, File 1's then File 2's, byte for
// byte as the dialog holds them.
#include <cstdio>
#include <iostream>

#include "analysis/load_pipeline.h"
#include "analysis/percentage.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace qvtk::cli {

int RunPercentage(Options& o, bool loaded) {
    ToolOptions& t = o.tool;
    const int channel = PercentageChannelByName(t.channel);
    if (channel < 0) {
        std::cerr << "qvtk-cli: percentage needs --channel Ne, Th, FrSUS or RrSUS\n";
        return kExitUsage;
    }
    if (!loaded) return kExitRejected;
    if (!t.file2.empty()) {
        FileSlot second = 1;
        if (!LoadFileIntoSlot(second, t.file2)) return kExitRejected;
    }
    ApplyLapChecks(t);
    ApplySimulation(t);
    // Values not given are the channel's remembered ones, as the dialog opens with them.
    BandSettings b = g_percentage.bands[channel];
    if (t.haveMin) b.min = t.min;
    if (t.haveMax) b.max = t.max;
    if (t.haveStep) b.step = t.step;
    const Distribution d = AnalyzeDistribution(channel, b, t.scope == "checked");
    if (!o.json) {
        std::fwrite(d.text[0].data(), 1, d.text[0].size(), stdout);
        std::fwrite(d.text[1].data(), 1, d.text[1].size(), stdout);
        return kExitLoaded;
    }
    JsonWriter j;
    j.BeginObject();
    j.Key("channel"), j.Value(PercentageChannelName(channel));
    j.Key("min"), j.Value(int64_t(d.bands.min));
    j.Key("max"), j.Value(int64_t(d.bands.max));
    j.Key("step"), j.Value(int64_t(d.bands.step));
    j.Key("scope"), j.Value(t.scope);
    j.Key("engineSpeedScale"), j.Value(double(SlotOf(0).engineSpeedScale));
    j.Key("files");
    j.BeginArray();
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const Histogram& h = d.histogram[slot];
        j.BeginObject();
        j.Key("slot"), j.Value(int64_t(slot));
        j.Key("loaded"), j.Value(SlotOf(slot).file.fileKind != kFileNone);
        j.Key("total"), j.Value(int64_t(h.total));
        j.Key("entries");
        j.BeginArray();
        for (int64_t n : h.entries) j.Value(n);
        j.EndArray();
        j.Key("text"), j.Value(d.text[slot]);
        j.EndObject();
    }
    j.EndArray();
    PrintWithMessages(j);
    return kExitLoaded;
}

} // namespace qvtk::cli
