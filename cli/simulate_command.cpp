// qvtk-cli simulate: the final simulation of File 1 with the given sprockets and tyre, as the
// dialog shows it: the recorded and simulated ratios, the tyre after its limits, the scale.
#include <cstdio>
#include <iostream>

#include "analysis/final_simulation.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace qvtk::cli {

int RunSimulate(Options& o, bool loaded) {
    ToolOptions& t = o.tool;
    if (t.front < 0 || t.rear < 0 || t.tyre < 0) {
        std::cerr << "qvtk-cli: simulate needs --front, --rear and --tyre\n";
        return kExitUsage;
    }
    if (!loaded) return kExitRejected;
    t.simulate = true;
    t.simFront = t.front;
    t.simRear = t.rear;
    t.simTyre = t.tyre;
    ApplySimulation(t);
    const FinalSimulation& f = g_finalSimulation;
    const float scale = SlotOf(0).engineSpeedScale;
    if (o.json) {
        JsonWriter j;
        j.BeginObject();
        j.Key("recordedFront"), j.Value(int64_t(f.recordedFront));
        j.Key("recordedRear"), j.Value(int64_t(f.recordedRear));
        j.Key("recordedRatio"), j.Value(RecordedRatioText());
        j.Key("recordedTyre"), j.Value(int64_t(f.recordedTyre));
        j.Key("front"), j.Value(int64_t(f.front));
        j.Key("rear"), j.Value(int64_t(f.rear));
        j.Key("simulatedRatio"), j.Value(SimulatedRatioText());
        j.Key("tyre"), j.Value(int64_t(f.tyre));
        j.Key("tyreSimulated"), j.Value(TyreSimulated());
        j.Key("scale"), j.Value(double(scale));
        PrintWithMessages(j);
        return kExitLoaded;
    }
    std::printf("recorded  %d/%d ratio %s tyre %d mm\n", f.recordedFront, f.recordedRear,
                RecordedRatioText().c_str(), f.recordedTyre);
    std::printf("simulated %d/%d ratio %s tyre %d mm%s\n", f.front, f.rear,
                SimulatedRatioText().c_str(), f.tyre,
                TyreSimulated() ? "" : " (recorded tyre unknown: not simulated)");
    std::printf("scale %.6f\n", double(scale));
    return kExitLoaded;
}

} // namespace qvtk::cli
