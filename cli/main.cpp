// qvtk-cli: the batch window into the program's loaders and analysis.
#include "cli/commands.h"

#include <string>

int main(int argc, char** argv) {
    using namespace qvtk::cli;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "logger") return RunLoggerCommand(argc, argv);
    if (command == "setup-file") return RunSetupFileCommand(argc, argv);
    if (command == "clock-file") return RunClockFileCommand(argc, argv);
    if (command == "memo") return RunMemoCommand(argc, argv);
    if (command == "can-setup-file") return RunCanSetupFileCommand(argc, argv);
    if (command == "channels") return RunChannelsCommand(argc, argv);
    if (command == "can-memo") return RunCanMemoCommand(argc, argv);
    if (command == "correct") return RunCorrectCommand(argc, argv);
    if (command == "overwrite-input") return RunOverwriteInputCommand(argc, argv);
    Options o;
    if (!ParseOptions(argc, argv, o)) return kExitUsage;
    if (o.help) {
        PrintUsage(stdout);
        return kExitLoaded;
    }
    const bool loaded = PrepareSession(o, argv[0]);
    if (CsvRequestFailed()) return kExitUsage;
    if (o.command == "samples") return RunSamples(o, loaded);
    if (o.command == "laps") return RunLaps(o, loaded);
    if (o.command == "render") return RunRender(o, argc, argv, loaded);
    if (o.command == "percentage") return RunPercentage(o, loaded);
    if (o.command == "simulate") return RunSimulate(o, loaded);
    if (o.command == "afmap") return RunAfMap(o, loaded);
    if (o.command == "import-csv") return RunImportCsv(o, loaded);
    if (o.command == "export") return RunExport(o, loaded);
    if (o.command == "fuel") return RunFuel(o, loaded);
    if (o.command == "compare") return RunCompare(o, loaded);
    return RunInspect(o, loaded);
}
