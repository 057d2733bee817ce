// qvtk-cli can-setup-file | channels | can-memo: the CAN Logger Setting dialog's saves, the
// channel table's "Overwrite Changes" and "Overwrite Memo", without a dialog.
#include <QString>
#include <iostream>

#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "logger/can_setup_form.h"
#include "logger/channel_edit.h"
#include "logger/channel_functions.h"
#include "logger/channel_table_file.h"
#include "logger/memo_text.h"
#include "platform/wait.h"

namespace qvtk::cli {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct ChannelEdit {
    int channel;
    std::string field, text;
};

int Usage(const std::string& why) {
    return PrintUsage(
        why, "  qvtk-cli can-setup-file [--from RECORDING] --out FILE [--edit NAME=TEXT]...\n"
             "                          [--channel N.FIELD=TEXT]... [--dir DIR]\n"
             "                          [--set KEY=VALUE]...\n"
             "  qvtk-cli can-setup-file --list\n"
             "  qvtk-cli channels RECORDING --json | --overwrite [--channel N.FIELD=TEXT]...\n"
             "                    [--dir DIR] [--set KEY=VALUE]...\n"
             "  qvtk-cli can-memo RECORDING --text TEXT [--dir DIR] [--set KEY=VALUE]...\n");
}

// "N.FIELD=TEXT" of a channel 0-63 and a field of the list.
bool ParseChannelEdit(const std::string& v, std::vector<ChannelEdit>& out) {
    const size_t dot = v.find('.'), eq = v.find('=');
    if (dot == std::string::npos || eq == std::string::npos || eq < dot) return false;
    const std::string number = v.substr(0, dot), field = v.substr(dot + 1, eq - dot - 1);
    if (number.empty() || number.size() > 2 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int channel = std::stoi(number);
    const auto& names = ChannelFieldNames();
    if (channel >= kChannelSettings || std::find(names.begin(), names.end(), field) == names.end())
        return false;
    out.push_back({channel, field, v.substr(eq + 1)});
    return true;
}

// The options every command shares; false after a usage message.
struct Common {
    std::string dir;
    Pairs settings;
    std::vector<ChannelEdit> channels;
};
bool TakeCommon(const std::string& a, const std::string& v, Common& c, int& status) {
    if (a == "--dir") {
        c.dir = v;
    } else if (a == "--set") {
        if (!ParseSetting(v, c.settings)) status = Usage("--set needs KEY=VALUE of a key");
    } else if (a == "--channel") {
        if (!ParseChannelEdit(v, c.channels))
            status = Usage("--channel needs N.FIELD=TEXT of a channel 0-63 (--list names FIELD)");
    } else {
        status = Usage("unknown option " + a);
    }
    return status == kExitLoaded;
}

void Start(const Common& c, const char* argv0) {
    StartProgram(c.dir, c.settings, argv0);
    SetWaitHook(NoWait);
    FillChannelFunctionTable();
}

// The channel edits into the working copy, then the commit's rules.
bool EditChannels(const std::vector<ChannelEdit>& edits) {
    BeginChannelEditing();
    for (const ChannelEdit& e : edits) {
        std::string why;
        if (!EditChannelField(e.channel, g_workingChannels[size_t(e.channel)], e.field, e.text,
                              why)) {
            std::cerr << "qvtk-cli: channel " << e.channel << ": " << why << "\n";
            return false;
        }
    }
    CommitChannelTable();
    return true;
}

void ListNames() {
    for (int id = 0; id < kCanFieldCount; ++id) {
        const CanFieldSpec& f = CanField(id);
        ListField(std::cout, f.name, f.label, f.control, f.min, f.max, CanFieldEntries(id),
                  id == kCanCourse ? "a course file of --dir:" : "one of");
    }
    ListGearboxFields(std::cout);
    std::cout << "channel fields (--channel N.FIELD=TEXT, N 0-63):\n";
    for (const std::string& field : ChannelFieldNames()) std::cout << "  " << field << "\n";
}

bool LoadFile1(const std::string& path) {
    FileSlot slot = 0;
    return LoadFileIntoSlot(slot, path) && slot == 0;
}

void WriteChannel(JsonWriter& j, int ch, const ChannelSetting& c) {
    j.BeginObject();
    j.Key("channel"), j.Value(int64_t(ch));
    j.Key("mode"), j.Value(EntryText(kModeEntries, c.mode));
    j.Key("function"), j.Value(int64_t(c.function));
    j.Key("function_name"), j.Value(FunctionName(c.function));
    j.Key("name"), j.Value(c.name);
    j.Key("unit"), j.Value(c.unit);
    j.Key("sample_time"), j.Value(EntryText(kSampleTimeEntries, c.sampleTime));
    j.Key("can_port"), j.Value(EntryText(kCanPortEntries, c.canPort));
    j.Key("can_id"), j.Value(int64_t(c.canId));
    j.Key("extend_id"), j.Value(c.extendId != 0);
    j.Key("bit_shift"), j.Value(int64_t(c.bitShift));
    j.Key("data_mask"), j.Value(int64_t(c.dataMask));
    j.Key("bit_depth"), j.Value(EntryText(kBitDepthEntries, c.bitDepth));
    j.Key("lock"), j.Value(c.lock != 0);
    j.Key("decimals"), j.Value(int64_t(c.decimals));
    j.Key("signed"), j.Value(c.signedRaw != 0);
    j.Key("conversion"), j.Value(EntryText(kConversionEntries, c.conversion));
    j.Key("a1"), j.Value(int64_t(c.a1));
    j.Key("a2"), j.Value(int64_t(c.a2));
    j.Key("b"), j.Value(int64_t(c.b));
    for (const auto& [key, values] :
         {std::pair{"table_x", c.tableX}, std::pair{"table_y", c.tableY}}) {
        j.Key(key);
        j.BeginArray();
        for (int k = 0; k < kChannelTablePoints; ++k) j.Value(int64_t(values[k]));
        j.EndArray();
    }
    j.EndObject();
}

} // namespace

int RunCanSetupFileCommand(int argc, char** argv) {
    std::string from, out;
    Pairs edits;
    Common common;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list") {
            StartProgram("", {}, argv[0]);
            FillChannelFunctionTable();
            ListNames();
            return kExitLoaded;
        }
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        int status = kExitLoaded;
        if (a == "--from") {
            from = v;
        } else if (a == "--out") {
            out = v;
        } else if (a == "--edit") {
            auto known = [](const std::string& name) {
                return FindCanField(name) >= 0 || IsGearboxOrInputEdit(name, false);
            };
            if (!TakeEdit(v, known, edits))
                return Usage("--edit needs NAME=TEXT of a field (--list names them)");
        } else if (!TakeCommon(a, v, common, status)) {
            return status;
        }
    }
    if (out.empty()) return Usage("can-setup-file needs --out");
    Start(common, argv[0]);
    if (!from.empty() && !LoadFile1(from)) return kExitRejected;
    CanSetupForm form;
    FillCanSetupForm(form);
    for (const auto& [name, text] : edits) {
        const int id = FindCanField(name);
        if (id < 0) continue; // a GearBox Setting field, applied after the form
        // The memo field holds what the logger stores: the text as Shift-JIS bytes.
        const std::string typed =
            id == kCanMemo ? MemoBytesFromText(QString::fromUtf8(text.c_str()), kCanMemoBytes)
                           : text;
        if (!EditCanField(form, id, typed)) {
            std::cerr << "qvtk-cli: " << name << " does not take \"" << text << "\""
                      << (CanFieldEnabled(form, id) ? "" : " (it is disabled)") << "\n";
            return kExitUsage;
        }
    }
    if (!EditChannels(common.channels)) return kExitUsage;
    ReadCanSetupForm(form);
    // The dialog's "GearBox" button: its fields as GearBox Setting and Extend Control take them.
    GearboxEdits opened;
    for (const auto& [name, text] : edits) {
        std::string why;
        if (FindCanField(name) >= 0 || ApplyGearboxOrInputEdit(opened, name, text, why)) continue;
        std::cerr << "qvtk-cli: " << name << " does not take \"" << text << "\"" << why << "\n";
        return kExitUsage;
    }
    return SaveCanSetupFile(out, FormZeroAdjust(form), FormCourse(form)) ? kExitLoaded
                                                                         : kExitRejected;
}

int RunChannelsCommand(int argc, char** argv) {
    if (argc < 3) return Usage("channels needs a recording");
    const std::string recording = argv[2];
    bool json = false, overwrite = false;
    Common common;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json" || a == "--overwrite") {
            (a == "--json" ? json : overwrite) = true;
            continue;
        }
        if (i + 1 >= argc) return Usage(a + " needs a value");
        int status = kExitLoaded;
        if (!TakeCommon(a, argv[++i], common, status)) return status;
    }
    if (json == overwrite) return Usage("channels needs --json or --overwrite");
    if (json && !common.channels.empty()) return Usage("--channel goes with --overwrite");
    Start(common, argv[0]);
    const bool loaded = LoadFile1(recording);
    if (json) {
        if (!loaded || SlotOf(0).file.fileKind != kFileFamily4) {
            std::cerr << "qvtk-cli: " << recording << " is not a CAN logger recording\n";
            return kExitRejected;
        }
        JsonWriter j;
        j.BeginObject();
        j.Key("file"), j.Value(recording);
        j.Key("channels");
        j.BeginArray();
        for (int ch = 0; ch < kChannelSettings; ++ch)
            WriteChannel(j, ch, g_channelSettings.slots[0][size_t(ch)]);
        j.EndArray();
        PrintWithMessages(j);
        return kExitLoaded;
    }
    if (!EditChannels(common.channels)) return kExitUsage;
    return OverwriteChannelTableInLogFile(g_channelSettings.slots[0]) ? kExitLoaded : kExitRejected;
}

int RunCanMemoCommand(int argc, char** argv) {
    if (argc < 3) return Usage("can-memo needs a recording");
    const std::string recording = argv[2];
    std::string text;
    bool textGiven = false;
    Common common;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage(a + " needs a value");
        const std::string v = argv[++i];
        int status = kExitLoaded;
        if (a == "--text") {
            text = v;
            textGiven = true;
        } else if (!TakeCommon(a, v, common, status)) {
            return status;
        }
    }
    if (!textGiven) return Usage("can-memo needs --text");
    if (!common.channels.empty()) return Usage("can-memo takes no --channel");
    Start(common, argv[0]);
    LoadFile1(recording);
    const std::string memo = MemoBytesFromText(QString::fromUtf8(text.c_str()), kCanMemoBytes);
    return OverwriteMemoInCanLog(memo) ? kExitLoaded : kExitRejected;
}

} // namespace qvtk::cli
