// qvtk-cli correct | overwrite-input: the corrective tools window and the analog input
// dialog's "Overwrite File" on a recording, without a window.
#include <iostream>

#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "logger/corrective_tools.h"
#include "logger/input_calculation.h"
#include "platform/wait.h"

namespace qvtk::cli {

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

int Usage(const std::string& why) {
    return PrintUsage(
        why, "  qvtk-cli correct RECORDING [--lapmark SAMPLE]... [--adj front=MM|rear=MM]\n"
             "                   [--save] [--set KEY=VALUE]... [--dir DIR] [--json]\n"
             "  qvtk-cli overwrite-input RECORDING --input LAF1|LAF2|AUX1|AUX2\n"
             "                   --edit NAME=TEXT... [--set KEY=VALUE]... [--dir DIR]\n");
}

const char* ResultName(LapMarkResult r) {
    switch (r) {
    case LapMarkResult::kDeleted:
        return "deleted";
    case LapMarkResult::kInserted:
        return "inserted";
    case LapMarkResult::kFull:
        return "full";
    case LapMarkResult::kTooClose:
        return "refused-too-close";
    case LapMarkResult::kNearEnd:
        return "refused-near-end";
    case LapMarkResult::kLowVoltage:
        return "refused-low-voltage";
    case LapMarkResult::kNothing:
        break;
    }
    return "nothing";
}

// One line per step: what it did and File 1's lap marks after it.
struct StepPrinter {
    bool json = false;
    template <typename F> void Print(const char* step, F fields) const {
        if (!json) return;
        JsonWriter j;
        j.BeginObject();
        j.Key("step"), j.Value(step);
        fields(j);
        const LapMarkTable& t = SlotOf(0).laps;
        j.Key("lapMarkCount"), j.Value(int64_t(t.count));
        j.Key("lapMarks");
        j.BeginArray();
        for (int k = 0; k <= t.count + 2 && k < kLapMarkEntries; ++k) j.Value(int64_t(t.marks[k]));
        j.EndArray();
        j.EndObject();
        std::cout << j.Text() << "\n";
    }
};

bool ParseSample(const std::string& text, int32_t& sample) {
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || v < 0 || v > INT32_MAX) return false;
    sample = int32_t(v);
    return true;
}

} // namespace

int RunCorrectCommand(int argc, char** argv) {
    if (argc < 3 || argv[2][0] == '-') return Usage("correct needs a recording");
    const std::string recording = argv[2];
    std::vector<int32_t> lapmarks;
    std::vector<std::pair<AdjChannel, std::string>> adjustments;
    std::string dir;
    Settings settings;
    bool save = false;
    StepPrinter out;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--save" || a == "--json") {
            (a == "--save" ? save : out.json) = true;
            continue;
        }
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        if (a == "--lapmark") {
            int32_t sample = 0;
            if (!ParseSample(v, sample)) return Usage("--lapmark needs a sample index");
            lapmarks.push_back(sample);
        } else if (a == "--adj") {
            const bool front = v.rfind("front=", 0) == 0, rear = v.rfind("rear=", 0) == 0;
            if (!front && !rear) return Usage("--adj needs front=MM or rear=MM");
            adjustments.emplace_back(front ? AdjChannel::kFrontSus : AdjChannel::kRearSus,
                                     v.substr(front ? 6 : 5));
        } else if (a == "--dir") {
            dir = v;
        } else if (a == "--set") {
            if (!ParseSetting(v, settings)) return Usage("--set needs KEY=VALUE of a key");
        } else {
            return Usage("unknown option " + a);
        }
    }
    StartProgram(dir, settings, argv[0]);
    SetWaitHook(NoWait);
    FileSlot slot = 0;
    if (!LoadFileIntoSlot(slot, recording)) return kExitRejected;
    out.Print("load", [](JsonWriter&) {});
    for (const int32_t sample : lapmarks) {
        SlotOf(0).cursorPos = int64_t(sample) * 100; // the cursor stands on the sample
        const LapMarkResult r = LapMarkAt(CursorSampleOfFile1());
        out.Print("lapmark", [&](JsonWriter& j) {
            j.Key("sample"), j.Value(int64_t(sample));
            j.Key("result"), j.Value(ResultName(r));
        });
    }
    for (const auto& [channel, text] : adjustments) {
        const double mm = AdjustStrokes(channel, text);
        out.Print("adj", [&](JsonWriter& j) {
            j.Key("channel"), j.Value(channel == AdjChannel::kFrontSus ? "front" : "rear");
            j.Key("mm"), j.Value(mm);
        });
    }
    if (!save) return kExitLoaded;
    const bool saved = SaveCorrectedLogFile();
    out.Print("save", [&](JsonWriter& j) { j.Key("saved"), j.Value(saved); });
    return saved ? kExitLoaded : kExitRejected;
}

int RunOverwriteInputCommand(int argc, char** argv) {
    if (argc < 3 || argv[2][0] == '-') return Usage("overwrite-input needs a recording");
    const std::string recording = argv[2];
    int input = -1;
    std::vector<std::pair<int, std::string>> edits;
    std::string dir;
    Settings settings;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        if (a == "--input") {
            input = FindInput(v);
            if (input < 0) return Usage("--input needs LAF1, LAF2, AUX1 or AUX2");
        } else if (a == "--edit") {
            const size_t eq = v.find('=');
            const int field = eq == std::string::npos ? -1 : FindInputField(v.substr(0, eq));
            if (field < 0)
                return Usage("--edit needs NAME=TEXT of a field: type, a, b, "
                             "voltage_1..voltage_16, value_1..value_16");
            edits.emplace_back(field, v.substr(eq + 1));
        } else if (a == "--dir") {
            dir = v;
        } else if (a == "--set") {
            if (!ParseSetting(v, settings)) return Usage("--set needs KEY=VALUE of a key");
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (input < 0) return Usage("overwrite-input needs --input");
    StartProgram(dir, settings, argv[0]);
    SetWaitHook(NoWait);
    FileSlot slot = 0;
    if (!LoadFileIntoSlot(slot, recording)) return kExitRejected;
    for (const auto& [field, text] : edits) {
        if (EditInputField(input, field, text)) continue;
        std::cerr << "qvtk-cli: " << InputFieldName(field) << " does not take \"" << text << "\""
                  << (InputFieldEnabled(input, field) ? "" : " (it is disabled)") << "\n";
        return kExitUsage;
    }
    auto reload = [](const std::string& path) {
        FileSlot file1 = 0;
        return LoadFileIntoSlot(file1, path);
    };
    return OverwriteInputFile(input, reload) ? kExitLoaded : kExitRejected;
}

} // namespace qvtk::cli
