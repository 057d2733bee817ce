#pragma once
#include "cli/cli_options.h"
#include "logger/logger_answers.h"
#include "logger/setup_form.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace qvtk::cli {

// "0,2-5" or "present": the columns asked for, in the order given.
bool ParseColumns(const std::string& list, const Slot& s, std::vector<int>& out);

class JsonWriter;

constexpr int kExitNotSaved = 3; // export, render --images: the file could not be written

// "qvtk-cli: WHY" and a command's usage lines on stderr; returns the usage error's exit code.
int PrintUsage(const std::string& why, const char* usage);
// An `--edit NAME=TEXT` of a field that `known` takes, added to `edits`; false for any other.
bool TakeEdit(const std::string& edit, const std::function<bool(const std::string&)>& known,
              std::vector<std::pair<std::string, std::string>>& edits);
// The file and logger commands answer at once: the dialogs' pauses after a save are for the eye.
void NoWait(int);

// What inspect prints; `extra` adds members to the JSON object.
void PrintInspect(const Options& o, bool loaded, const std::function<void(JsonWriter&)>& extra);

// A CSV request that names no row or column: says so and is a usage error.
bool CsvRequestFailed();

int RunInspect(Options& o, bool loaded);
int RunImportCsv(Options& o, bool loaded);
int RunExport(Options& o, bool loaded);
int RunFuel(Options& o, bool loaded);
int RunSamples(Options& o, bool loaded);
int RunLaps(Options& o, bool loaded);
int RunRender(Options& o, int argc, char** argv, bool loaded);
int RunPercentage(Options& o, bool loaded);
int RunSimulate(Options& o, bool loaded);
int RunAfMap(Options& o, bool loaded);
int RunCompare(Options& o, bool loaded);

// The logger link, the setup and clock-set files and the memo; each parses its own options.
int RunLoggerCommand(int argc, char** argv);
int RunSetupFileCommand(int argc, char** argv);
int RunClockFileCommand(int argc, char** argv);
int RunMemoCommand(int argc, char** argv);
// The CAN logger's setup file, its channel table and its memo.
int RunCanSetupFileCommand(int argc, char** argv);
int RunChannelsCommand(int argc, char** argv);
int RunCanMemoCommand(int argc, char** argv);
// "YYYY-MM-DD HH:MM".
bool ParseClockTime(const std::string& text, ClockSetTime& t);

// The corrective tools and the analog input's "Overwrite File" on a recording.
int RunCorrectCommand(int argc, char** argv);
int RunOverwriteInputCommand(int argc, char** argv);

// `--edit` of the GearBox Setting, Extend Control and analog input fields ("laf1_a"): applied
// as the dialogs apply typed entries, the first of a dialog opening it with what that forces.
struct GearboxEdits {
    bool gearBoxOpened = false, extendOpened = false;
};
bool IsGearboxOrInputEdit(const std::string& name, bool withInputs);
// False, with a reason to add to the message (may be empty), when the field does not take it.
bool ApplyGearboxOrInputEdit(GearboxEdits& state, const std::string& name, const std::string& text,
                             std::string& why);
void ListGearboxFields(std::ostream& out);
// One line of a `--list`: NAME, label and what the field takes (a list: its entries).
void ListField(std::ostream& out, const char* name, const char* label, SetupControl control,
               int min, int max, const std::vector<std::string>& entries,
               const char* listWord = "one of");
void ListInputFields(std::ostream& out, bool withInputName);

} // namespace qvtk::cli
