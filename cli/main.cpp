// qvtk-cli: the batch window into the program's loaders and analysis.
#include "cli/commands.h"

int main(int argc, char** argv) {
    using namespace qvtk::cli;
    Options o;
    if (!ParseOptions(argc, argv, o)) return kExitUsage;
    if (o.help) {
        PrintUsage(stdout);
        return kExitLoaded;
    }
    const bool loaded = PrepareSession(o, argv[0]);
    if (o.command == "samples") return RunSamples(o, loaded);
    if (o.command == "laps") return RunLaps(o, loaded);
    if (o.command == "render") return RunRender(o, argc, argv, loaded);
    return RunInspect(o, loaded);
}
