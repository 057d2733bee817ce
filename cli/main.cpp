// qvtk-cli: the batch window into the program's loaders and analysis.
#include "cli/commands.h"

int main(int argc, char** argv) {
    using namespace qvtk::cli;
    Options o;
    if (!ParseOptions(argc, argv, o)) return kExitUsage;
    const bool loaded = PrepareSession(o, argv[0]);
    if (CsvRequestFailed()) return kExitUsage;
    if (o.command == "samples") return RunSamples(o, loaded);
    if (o.command == "laps") return RunLaps(o, loaded);
    if (o.command == "render") return RunRender(o, argc, argv, loaded);
    if (o.command == "import-csv") return RunImportCsv(o, loaded);
    if (o.command == "export") return RunExport(o, loaded);
    if (o.command == "fuel") return RunFuel(o, loaded);
    return RunInspect(o, loaded);
}
