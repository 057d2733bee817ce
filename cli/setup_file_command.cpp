// qvtk-cli setup-file | clock-file | memo: the Setup dialog's three saves without a dialog.
#include <QString>
#include <iostream>
#include <sstream>

#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "logger/memo_text.h"
#include "logger/setup_files.h"
#include "logger/setup_form.h"
#include "platform/wait.h"

namespace qvtk::cli {

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

int Usage(const std::string& why) {
    return PrintUsage(
        why, "  qvtk-cli setup-file --from RECORDING --out FILE [--edit NAME=TEXT]...\n"
             "                      [--position-adjust tps,front,rear] [--settings-dir DIR]\n"
             "                      [--set KEY=VALUE]...\n"
             "  qvtk-cli setup-file --list\n"
             "  qvtk-cli clock-file --out FILE --at \"YYYY-MM-DD HH:MM\"\n"
             "  qvtk-cli memo RECORDING --text TEXT [--dir DIR] [--set KEY=VALUE]...\n");
}

void ListFields() {
    for (int id = 0; id < kSetupFieldCount; ++id) {
        const SetupFieldSpec& f = SetupField(id);
        ListField(std::cout, f.name, f.label, f.control, f.min, f.max, SetupFieldEntries(id));
    }
    ListGearboxFields(std::cout);
    ListInputFields(std::cout, true);
}

bool ApplyPositionAdjust(const std::string& list, SetupForm& form) {
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        const int id = item == "tps"     ? kSetAdjustTps
                       : item == "front" ? kSetAdjustFront
                       : item == "rear"  ? kSetAdjustRear
                                         : -1;
        if (id < 0) return false;
        form.value[id] = 1;
    }
    return true;
}

} // namespace

int RunSetupFileCommand(int argc, char** argv) {
    std::string from, out, adjust, dir;
    std::vector<std::pair<std::string, std::string>> edits;
    Settings settings;
    bool adjustGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list") {
            ListFields();
            return kExitLoaded;
        }
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        if (a == "--from") {
            from = v;
        } else if (a == "--out") {
            out = v;
        } else if (a == "--edit") {
            auto known = [](const std::string& name) {
                return FindSetupField(name) >= 0 || IsGearboxOrInputEdit(name, true);
            };
            if (!TakeEdit(v, known, edits))
                return Usage("--edit needs NAME=TEXT of a field (--list names them)");
        } else if (a == "--position-adjust") {
            adjust = v;
            adjustGiven = true;
        } else if (a == "--settings-dir") {
            dir = v;
        } else if (a == "--set") {
            if (!ParseSetting(v, settings)) return Usage("--set needs KEY=VALUE of a key");
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (from.empty() || out.empty()) return Usage("setup-file needs --from and --out");
    SetupForm form;
    if (adjustGiven && !ApplyPositionAdjust(adjust, form))
        return Usage("--position-adjust takes tps, front and rear");
    const SetupForm adjustOnly = form;

    StartProgram(dir, settings, argv[0]);
    SetWaitHook(NoWait);
    FileSlot slot = 0;
    LoadFileIntoSlot(slot, from);
    if (File1HoldsBinaryLog()) {
        FillSetupForm(form);
        for (int id : {kSetAdjustTps, kSetAdjustFront, kSetAdjustRear})
            form.value[id] = adjustOnly.value[id];
        GearboxEdits opened;
        for (const auto& [name, text] : edits) {
            const int id = FindSetupField(name);
            if (id < 0) {
                std::string why;
                if (ApplyGearboxOrInputEdit(opened, name, text, why)) continue;
                std::cerr << "qvtk-cli: " << name << " does not take \"" << text << "\"" << why
                          << "\n";
                return kExitUsage;
            }
            if (!EditSetupField(form, id, text)) {
                std::cerr << "qvtk-cli: " << name << " does not take \"" << text << "\""
                          << (SetupFieldEnabled(form, id) ? "" : " (it is disabled)") << "\n";
                return kExitUsage;
            }
        }
        ReadSetupForm(form);
    }
    return SaveSetupFile(out, FormPositionAdjust(form)) ? kExitLoaded : kExitRejected;
}

int RunClockFileCommand(int argc, char** argv) {
    std::string out, at;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--out")
            out = argv[i + 1];
        else if (a == "--at")
            at = argv[i + 1];
        else
            return Usage("unknown option " + a);
    }
    if (argc % 2 != 0) return Usage("an option needs a value");
    ClockSetTime t;
    if (out.empty() || !ParseClockTime(at, t) || t.year < 2012 || t.year > 2029)
        return Usage("clock-file needs --out and --at \"YYYY-MM-DD HH:MM\" of 2012 to 2029");
    StartProgram("", {}, argv[0]);
    SetWaitHook(NoWait);
    return SaveClockSetFile(out, t) ? kExitLoaded : kExitRejected;
}

int RunMemoCommand(int argc, char** argv) {
    if (argc < 3) return Usage("memo needs a recording");
    const std::string recording = argv[2];
    std::string text, dir;
    Settings settings;
    bool textGiven = false;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        if (a == "--text") {
            text = v;
            textGiven = true;
        } else if (a == "--dir") {
            dir = v;
        } else if (a == "--set") {
            if (!ParseSetting(v, settings)) return Usage("--set needs KEY=VALUE of a key");
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (!textGiven) return Usage("memo needs --text");
    StartProgram(dir, settings, argv[0]);
    SetWaitHook(NoWait);
    FileSlot slot = 0;
    LoadFileIntoSlot(slot, recording);
    const std::string memo = MemoBytesFromText(QString::fromUtf8(text.c_str()), kMemoFieldBytes);
    return SaveMemoToLogFile(memo) ? kExitLoaded : kExitRejected;
}

} // namespace qvtk::cli
