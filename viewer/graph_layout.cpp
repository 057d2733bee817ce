#include "viewer/graph_layout.h"
#include "platform/safe_file.h"

#include <QFileDialog>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/lap_compare.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/session.h"
#include "platform/ini_text.h"
#include "platform/message_box.h"
#include "platform/private_profile.h"
#include "render/render_qt.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/lap_compare_view.h"
#include "viewer/view_state.h"

namespace qvtk {

LayoutExtras g_layoutExtras;

namespace {

constexpr std::string_view kGraphSet = "GraphSet";
constexpr std::string_view kHistry = "Histry";
constexpr size_t kNameBuffer = 32; // names of up to 31 characters
constexpr int kFixedCodeLast = 255;
constexpr int kNamedCodeFirst = 256; // codes the recording names itself
constexpr const char* kStandardLayout = "stdgp.ini";

bool g_layoutBusy = false;

// One GraphSet or Histry entry, with the keys' names and defaults.
struct LayoutEntry {
    std::string Gnam;
    int GE = 1, VG = 1;
    int Gol = -1;     // code of the channel drawn in this position
    std::string Goln; // its name, where that is not a code 1..255
    int Pmin = 48, Pmax = 16, pos = 400, zom = 10000;
    int Gmin = 0, Gmax = 100000, Gstp = 100000;
    int Gaut = 1, Gdsp = 1, Gclp = 1, Ptyp = 0;
    int CG = 0, CGo = 0, CR = 2, CW = 8;
};

struct IntKey {
    const char* name;
    int LayoutEntry::*field;
};

// Every number of an entry, in the order it is read.
constexpr IntKey kReadKeys[] = {
    {"GE", &LayoutEntry::GE},     {"VG", &LayoutEntry::VG},     {"Gol", &LayoutEntry::Gol},
    {"Pmin", &LayoutEntry::Pmin}, {"Pmax", &LayoutEntry::Pmax}, {"pos", &LayoutEntry::pos},
    {"zom", &LayoutEntry::zom},   {"Gmin", &LayoutEntry::Gmin}, {"Gmax", &LayoutEntry::Gmax},
    {"Gstp", &LayoutEntry::Gstp}, {"Gaut", &LayoutEntry::Gaut}, {"Gdsp", &LayoutEntry::Gdsp},
    {"Gclp", &LayoutEntry::Gclp}, {"Ptyp", &LayoutEntry::Ptyp}, {"CG", &LayoutEntry::CG},
    {"CGo", &LayoutEntry::CGo},   {"CR", &LayoutEntry::CR},     {"CW", &LayoutEntry::CW}};

// The keys written after the band edges, in their order.
constexpr IntKey kWrittenRangeKeys[] = {
    {"Gmin", &LayoutEntry::Gmin}, {"Gmax", &LayoutEntry::Gmax}, {"Gstp", &LayoutEntry::Gstp},
    {"Gaut", &LayoutEntry::Gaut}, {"Gdsp", &LayoutEntry::Gdsp}, {"Gclp", &LayoutEntry::Gclp},
    {"Ptyp", &LayoutEntry::Ptyp}, {"CG", &LayoutEntry::CG},     {"CGo", &LayoutEntry::CGo},
    {"CR", &LayoutEntry::CR},     {"CW", &LayoutEntry::CW}};

struct ExtraKey {
    const char* section;
    const char* name;
    int32_t LayoutExtras::*field;
};

constexpr ExtraKey kExtraKeys[] = {
    {"XYP", "Gxmin", &LayoutExtras::Gxmin},        {"XYP", "Gxmax", &LayoutExtras::Gxmax},
    {"XYP", "Gxstp", &LayoutExtras::Gxstp},        {"XYP", "Gymin", &LayoutExtras::Gymin},
    {"XYP", "Gymax", &LayoutExtras::Gymax},        {"XYP", "Gystp", &LayoutExtras::Gystp},
    {"XYP", "Gzmin", &LayoutExtras::Gzmin},        {"XYP", "Gzmax", &LayoutExtras::Gzmax},
    {"XYP", "Gzstp", &LayoutExtras::Gzstp},        {"SrcAlert", "SAxmin", &LayoutExtras::SAxmin},
    {"SrcAlert", "SAxmax", &LayoutExtras::SAxmax}, {"SrcAlert", "SAxchn", &LayoutExtras::SAxchn}};

// Where the order key goes: after GE and VG for codes 1..255, last for the others and in the
// history (which has no VG).
enum class EntryForm { kFixedCode, kNamedCode, kHistory };

std::string Key(std::string_view name, int n) {
    return std::string(name) + std::to_string(n);
}

std::string InProgramDirectory(const std::string& name) {
    const std::string& dir = g_session.programDirectory;
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The part of the text the reader searches for the keys of one section: from its header to
// the start of the next section, that start included. A lookup in it finds exactly what it
// finds in the whole text, without scanning the rest of a large layout every time.
std::string_view SectionText(std::string_view section, std::string_view text) {
    std::string header(1, '[');
    header.append(section).push_back(']');
    size_t at = text.find(header);
    if (at == std::string_view::npos) return {};
    size_t begin = at + header.size();
    size_t end = text.find("\r[", begin);
    if (end == std::string_view::npos) end = text.find("\n[", begin);
    return end == std::string_view::npos ? text.substr(at) : text.substr(at, end + 2 - at);
}

// The entry number of a "Gnam<n>=" line, kOtherLine for any other line, and -1 for a Gnam
// line of no entry the history can hold.
constexpr int kOtherLine = -2;
int GnamLineEntry(std::string_view line) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line.substr(at, 4) != "Gnam") return kOtherLine;
    size_t digits = at + 4, end = digits;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    if (end == digits || end == line.size() ||
        (line[end] != '=' && line[end] != ' ' && line[end] != '\t'))
        return kOtherLine;
    std::string_view number = line.substr(digits, end - digits);
    if (number.size() > 4) return -1;
    int n = std::stoi(std::string(number));
    return n < kLayoutHistory && std::to_string(n) == number ? n : -1;
}

// The history entries, each a small text of its own from its Gnam line to the next Gnam
// line, read with the same reader. A full history read key by key in one text costs seconds
// at every save and File 1 load; entry by entry it is linear. The first of two equal entry
// numbers counts, as a key found first does.
std::vector<std::string> SplitHistory(std::string_view text) {
    std::vector<std::string> entries(kLayoutHistory);
    std::string_view section = SectionText(kHistry, text);
    std::string* current = nullptr;
    for (size_t pos = 0; pos < section.size();) {
        size_t eol = section.find('\n', pos);
        size_t next = eol == std::string_view::npos ? section.size() : eol + 1;
        std::string_view line = section.substr(pos, next - pos);
        if (int n = GnamLineEntry(line); n != kOtherLine)
            current = n >= 0 && entries[n].empty() ? &(entries[n] = "[Histry]\n") : nullptr;
        if (current) current->append(line);
        pos = next;
    }
    return entries;
}

std::string GetName(std::string_view section, std::string_view key, std::string_view text) {
    std::string out;
    IniGetString(section, key, "", out, kNameBuffer, text);
    return out;
}

LayoutEntry ReadEntry(std::string_view section, int n, std::string_view text,
                      const LayoutEntry& defaults) {
    LayoutEntry e = defaults;
    e.Gnam = GetName(section, Key("Gnam", n), text);
    e.Goln = GetName(section, Key("Goln", n), text);
    for (const IntKey& k : kReadKeys)
        e.*k.field = IniGetInt(section, Key(k.name, n), e.*k.field, text);
    return e;
}

// An old history entry copied as it stands: what it lacks is written as 0.
LayoutEntry CopiedEntry(int n, std::string_view history) {
    LayoutEntry zero;
    for (const IntKey& k : kReadKeys) zero.*k.field = 0;
    return ReadEntry(kHistry, n, history, zero);
}

// Channels of File 1, which every layout is matched against. The lap compare's slip channel is
// none of them: it goes when comparing stops, so no layout places or keeps it.
std::string ChannelName(int c) {
    const ChannelInfo& ch = SlotOf(0).channels[c];
    return std::string(ch.name, strnlen(ch.name, sizeof ch.name));
}
ChannelCode CodeOf(int c) {
    return SlotOf(0).channels[c].code;
}
bool Present(int c) {
    return IsPresent(SlotOf(0), c) && !IsComputedColumn(c);
}
bool IsFixedCode(int code) {
    return code >= 1 && code <= kFixedCodeLast;
}
int FindPresentByName(std::string_view name) {
    if (name.empty()) return -1;
    for (int c = 0; c < kColumnCount; ++c)
        if (Present(c) && ChannelName(c) == name) return c;
    return -1;
}

// ---- Loading ----

void ReadAnalysisChannels(std::string_view text) {
    for (int s = 0; s < kAnalysisSets; ++s) {
        for (int i = 0; i < kAnalysisItems; ++i) {
            std::string key = "An_CH" + std::to_string(s) + "_" + std::to_string(i);
            int column = -1;
            if (int code = IniGetInt("Anlyze", key, 0, text); code > 0)
                column = FindColumnByCode(0, ChannelCode(code));
            else
                column = FindPresentByName(GetName("Anlyze", key, text));
            g_layoutExtras.An_CH[s][i] = column >= 0 ? column : i;
        }
    }
}

void ReadExtras(std::string_view text) {
    const LayoutExtras defaults;
    for (const ExtraKey& k : kExtraKeys)
        g_layoutExtras.*k.field = IniGetInt(k.section, k.name, defaults.*k.field, text);
}

// The names of every entry, read once: a channel searches them all.
struct EntryNames {
    std::vector<std::string> graphSet = std::vector<std::string>(kGraphCodes);
    std::vector<std::string> history = std::vector<std::string>(kLayoutHistory);
};

EntryNames ReadEntryNames(std::string_view graphSet, const std::vector<std::string>& history) {
    EntryNames names;
    for (int n = 0; n < kGraphCodes; ++n)
        names.graphSet[n] = GetName(kGraphSet, Key("Gnam", n), graphSet);
    for (int n = 0; n < kLayoutHistory; ++n)
        names.history[n] = GetName(kHistry, Key("Gnam", n), history[n]);
    return names;
}

struct EntryRef {
    bool inHistory = false;
    int n = -1; // -1: no entry, every key takes its default
};

// A fixed code finds its own entry; any channel is then looked for by name, a file-named one
// first among the file-named codes, and at last in the history.
EntryRef FindEntry(ChannelCode code, const std::string& name, const EntryNames& names) {
    auto byName = [&](const std::vector<std::string>& list, int first, int last) {
        if (name.empty()) return -1;
        for (int n = first; n <= last; ++n)
            if (list[n] == name) return n;
        return -1;
    };
    int n = -1;
    if (IsFixedCode(code) && !names.graphSet[code].empty()) return {false, code};
    if (!IsFixedCode(code)) n = byName(names.graphSet, kNamedCodeFirst, kGraphCodes - 1);
    if (n < 0) n = byName(names.graphSet, 1, kFixedCodeLast);
    if (n >= 0) return {false, n};
    return {true, byName(names.history, 0, kLayoutHistory - 1)};
}

// Bit 1 in every file that has the column; a file without it has its flags word cleared.
void SetShown(int c, bool on) {
    for (int f = 0; f < kSlotCount; ++f) {
        uint32_t& w = SlotOf(f).channelFlags[c];
        if (w & kChannelPresent)
            w = on ? w | kChannelShown : w & ~kChannelShown;
        else
            w = 0;
    }
}

void SetVisible(int c, int visible) {
    for (auto& files : g_graph.GraphVisible) files[c] = visible;
}

int OrderTarget(int c, const LayoutEntry& e) {
    if (IsFixedCode(e.Gol))
        if (int t = FindColumnByCode(0, ChannelCode(e.Gol)); t >= 0) return t;
    if (int t = FindPresentByName(e.Goln); t >= 0) return t;
    return c;
}

void ApplyEntry(int c, const LayoutEntry& e) {
    g_graph.GraphOrder[c] = OrderTarget(c, e);
    SetShown(c, e.GE != 0);
    SetVisible(c, e.VG);
    GraphCodeSettings& g = GraphOf(CodeOf(c));
    g.GraphBottom = e.Pmin;
    g.GraphTop = e.Pmax;
    g.GraphZero = e.pos;
    g.GraphScale = float(e.zom) / 1000.0f;
    g.GraphMin = e.Gmin;
    g.GraphMax = e.Gmax;
    g.GraphStep = e.Gstp;
    g.GraphAuto = e.Gaut;
    g.GridShown = e.Gdsp;
    g.GraphClip = e.Gclp;
    g.PlotType = e.Ptyp;
    g.ColorFile1 = e.CG;
    g.ColorOnlyFile1 = e.CGo;
    g.ColorFile2 = e.CR;
    g.ColorFile3 = e.CW;
}

// Whether a version 2 layout gives the band of a code.
bool HasEntry(std::string_view graphSet, int code) {
    return IniGetInt(kGraphSet, Key("pos", code), INT32_MIN, graphSet) != INT32_MIN;
}

// Versions 2 and 3: one entry per present column of File 1. Returns the columns the layout
// has no entry for.
std::vector<int> ReadEntries(int version, std::string_view text) {
    std::vector<int> unplaced;
    std::string_view graphSet = SectionText(kGraphSet, text);
    const std::vector<std::string> history =
        version == 3 ? SplitHistory(text) : std::vector<std::string>(kLayoutHistory);
    EntryNames names;
    if (version == 3) names = ReadEntryNames(graphSet, history);
    for (int c = 0; c < kColumnCount; ++c) {
        if (!Present(c)) continue;
        ChannelCode code = CodeOf(c);
        EntryRef ref =
            version == 2 ? EntryRef{false, code} : FindEntry(code, ChannelName(c), names);
        LayoutEntry e;
        if (ref.n >= 0)
            e = ReadEntry(ref.inHistory ? kHistry : kGraphSet, ref.n,
                          ref.inHistory ? std::string_view(history[ref.n]) : graphSet, e);
        if (ref.n < 0 || (version == 2 && !HasEntry(graphSet, code))) unplaced.push_back(c);
        ApplyEntry(c, e);
    }
    return unplaced;
}

// Layouts older than version 2: the range keys by code, order, visibility and colours by column.
void ReadOlderLayout(std::string_view text) {
    std::string_view s = SectionText(kGraphSet, text);
    const LayoutEntry d;
    for (int code = 0; code < kGraphCodes; ++code) {
        GraphCodeSettings& g = g_graph.code[code];
        g.GraphZero = IniGetInt(kGraphSet, Key("pos", code), d.pos, s);
        g.GraphScale = float(IniGetInt(kGraphSet, Key("zom", code), d.zom, s)) / 1000.0f;
        g.GraphMin = IniGetInt(kGraphSet, Key("Gmin", code), d.Gmin, s);
        g.GraphMax = IniGetInt(kGraphSet, Key("Gmax", code), d.Gmax, s);
        g.GraphStep = IniGetInt(kGraphSet, Key("Gstp", code), d.Gstp, s);
        if (g.GraphStep == 0) g.GraphStep = 1000;
        g.GridShown = IniGetInt(kGraphSet, Key("Gdsp", code), d.Gdsp, s);
        g.GraphAuto = IniGetInt(kGraphSet, Key("Gaut", code), d.Gaut, s);
    }
    for (int c = 0; c < kColumnCount; ++c) {
        int order = IniGetInt(kGraphSet, Key("Gol", c), c, s);
        g_graph.GraphOrder[c] = order >= 0 && order < kColumnCount ? order : c;
        SetVisible(c, IniGetInt(kGraphSet, Key("VG", c), d.VG, s));
        SetShown(c, IniGetInt(kGraphSet, Key("GE", c), d.GE, s) != 0);
        if (!Present(c)) continue;
        GraphCodeSettings& g = GraphOf(CodeOf(c));
        g.ColorFile1 = IniGetInt(kGraphSet, Key("CG", c), d.CG, s);
        g.ColorOnlyFile1 = IniGetInt(kGraphSet, Key("CGo", c), d.CGo, s);
        g.ColorFile2 = IniGetInt(kGraphSet, Key("CR", c), d.CR, s);
        g.ColorFile3 = IniGetInt(kGraphSet, Key("CW", c), d.CW, s);
    }
}

// A column drawn in the position of a channel of another code shares that band: it takes
// the zero and scale drawn there and leaves the grid to it.
void SynchroniseGraphs() {
    for (int c = 0; c < kColumnCount; ++c) {
        int t = g_graph.GraphOrder[c];
        if (!Present(c) || t == c || t < 0 || t >= kColumnCount || !Present(t)) continue;
        if (CodeOf(t) == CodeOf(c)) continue;
        GraphCodeSettings& own = GraphOf(CodeOf(c));
        const GraphCodeSettings& there = GraphOf(CodeOf(t));
        own.GridShown = 0;
        own.GraphZero = there.GraphZero;
        own.GraphScale = there.GraphScale;
        if (own.GraphMax <= own.GraphMin) own.GraphMax = own.GraphMin + 100;
    }
}

// ---- Saving ----

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append("=").append(value).push_back('\n');
}

void AppendOrder(std::string& out, int n, const LayoutEntry& e) {
    if (e.Gol >= 1)
        AppendLine(out, Key("Gol", n), std::to_string(e.Gol));
    else
        AppendLine(out, Key("Goln", n), e.Goln);
}

void AppendEntry(std::string& out, int n, const LayoutEntry& e, EntryForm form) {
    auto put = [&](const char* name, int v) { AppendLine(out, Key(name, n), std::to_string(v)); };
    AppendLine(out, Key("Gnam", n), e.Gnam);
    put("GE", e.GE);
    if (form != EntryForm::kHistory) put("VG", e.VG);
    if (form == EntryForm::kFixedCode) AppendOrder(out, n, e);
    put("Pmin", e.Pmin);
    put("Pmax", e.Pmax);
    for (const IntKey& k : kWrittenRangeKeys) put(k.name, e.*k.field);
    if (form != EntryForm::kFixedCode) AppendOrder(out, n, e);
}

// The entry of a present column from the current settings. The band edges are those of the
// channel drawn in its position, so that a synchronised graph comes back on that band.
LayoutEntry EntryFromColumn(int c) {
    LayoutEntry e;
    e.Gnam = ChannelName(c);
    e.GE = (SlotOf(0).channelFlags[c] & kChannelShown) ? 1 : 0;
    e.VG = g_graph.GraphVisible[0][c];
    int t = g_graph.GraphOrder[c];
    bool drawnThere = t >= 0 && t < kColumnCount && Present(t);
    e.Gol = 0;
    if (drawnThere && IsFixedCode(CodeOf(t)))
        e.Gol = CodeOf(t);
    else if (drawnThere)
        e.Goln = ChannelName(t);
    UserBandRows(CodeOf(drawnThere ? t : c), e.Pmax, e.Pmin);
    const GraphCodeSettings& g = GraphOf(CodeOf(c));
    e.Gmin = g.GraphMin;
    e.Gmax = g.GraphMax;
    e.Gstp = g.GraphStep;
    e.Gaut = g.GraphAuto;
    e.Gdsp = g.GridShown;
    e.Gclp = g.GraphClip;
    e.Ptyp = g.PlotType;
    e.CG = g.ColorFile1;
    e.CGo = g.ColorOnlyFile1;
    e.CR = g.ColorFile2;
    e.CW = g.ColorFile3;
    return e;
}

void AppendAnalysisChannels(std::string& out) {
    out += "[Anlyze]\n";
    for (int s = 0; s < kAnalysisSets; ++s) {
        for (int i = 0; i < kAnalysisItems; ++i) {
            int c = g_layoutExtras.An_CH[s][i];
            if (c < 0 || c >= kColumnCount || IsComputedColumn(c)) c = i;
            std::string key = "An_CH" + std::to_string(s) + "_" + std::to_string(i);
            AppendLine(out, key,
                       IsFixedCode(CodeOf(c)) ? std::to_string(CodeOf(c)) : ChannelName(c));
        }
    }
}

void AppendExtras(std::string& out) {
    std::string_view section;
    for (const ExtraKey& k : kExtraKeys) {
        if (section != k.section) out.append("[").append(section = k.section).append("]\n");
        AppendLine(out, k.name, std::to_string(g_layoutExtras.*k.field));
    }
}

void AppendGraphSet(std::string& out) {
    out += "[GraphSet]\n";
    for (int n = 1; n <= kFixedCodeLast; ++n)
        if (int c = FindColumnByCode(0, ChannelCode(n)); c >= 0 && Present(c))
            AppendEntry(out, n, EntryFromColumn(c), EntryForm::kFixedCode);
    // Code 0 and the file-named codes: the first such channel that has a name.
    for (int n = 0; n < kGraphCodes; n = n == 0 ? kNamedCodeFirst : n + 1) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (!Present(c) || CodeOf(c) != n || ChannelName(c).empty()) continue;
            AppendEntry(out, n, EntryFromColumn(c), EntryForm::kNamedCode);
            break;
        }
    }
}

// The history of the replaced file, brought up to date, and then every present channel it
// did not have yet.
void AppendHistory(std::string& out, std::string_view oldText) {
    out += "[Histry]\n";
    const std::vector<std::string> old = SplitHistory(oldText);
    std::vector<std::string> names;
    for (int n = 0; n < kLayoutHistory; ++n) {
        std::string name;
        if (IniGetString(kHistry, Key("Gnam", n), "", name, kNameBuffer, old[n]) <= 0) break;
        int c = FindPresentByName(name);
        AppendEntry(out, n, c >= 0 ? EntryFromColumn(c) : CopiedEntry(n, old[n]),
                    EntryForm::kHistory);
        names.push_back(name);
    }
    for (int c = 0; c < kColumnCount; ++c) {
        std::string name = ChannelName(c);
        if (!Present(c) || name.empty() ||
            std::find(names.begin(), names.end(), name) != names.end())
            continue;
        if (int(names.size()) >= kLayoutHistory) {
            ShowMessage("Layファイル内履歴記憶数の上限に達しました", "caution");
            break;
        }
        AppendEntry(out, int(names.size()), EntryFromColumn(c), EntryForm::kHistory);
        names.push_back(name);
    }
}

// A layout is written whole lines only, within the size it is always read with.
void LimitLayoutText(std::string& out) {
    if (out.size() <= kLayoutTextMax) return;
    size_t cut = out.rfind('\n', kLayoutTextMax - 1);
    out.resize(cut == std::string::npos ? 0 : cut + 1);
}

// The layout file dialogs start in the program directory; an empty path when cancelled.
std::string AskLayoutPath(bool save) {
    QFileDialog dialog(RenderMainWindow(), QString(),
                       QString::fromStdString(g_session.programDirectory), "lay(*.lay)");
    dialog.setDefaultSuffix("lay");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : files.first().toStdString();
}

// What a layout chosen in a dialog changes besides the graphs.
void AfterLayoutDialog() {
    g_view.AfMapView = 0;
    g_view.SubViewRefresh = 1;
    Slot& s = SlotOf(0);
    if (s.sampleMarks) std::memset(s.sampleMarks, 0, size_t(std::max(s.sampleCount, 0)));
}

// A load or save started from inside another (through a dialog's event loop) returns at once.
struct BusyScope {
    BusyScope() { g_layoutBusy = true; }
    ~BusyScope() { g_layoutBusy = false; }
};

} // namespace

void ResetGraphLayouts() {
    g_layoutExtras = LayoutExtras();
    g_layoutBusy = false;
}

bool LoadLayoutFile(const std::string& path) {
    const std::optional<std::string> file = ReadTextFile(path);
    const std::string_view text = file ? std::string_view(*file) : std::string_view();
    const int version = file ? IniGetInt("LAYver", "Ver", 0, text) : kLayoutFormatVersion;
    ReadAnalysisChannels(text);
    ReadExtras(text);
    std::vector<int> unplaced;
    if (version == 2 || version == 3)
        unplaced = ReadEntries(version, text);
    else
        ReadOlderLayout(text);
    for (GraphCodeSettings& g : g_graph.code) {
        LimitGraphSettings(g);
        NormalizeGraphRange(g);
        if (version == 3)
            DeriveScaleFromBand(g);
        else
            DeriveBandFromScale(g);
    }
    SynchroniseGraphs();
    // Channels the layout does not know would all pile up on the default rows.
    StackUnplacedBands(unplaced);
    PlaceSlipBandAfterLayout();
    ResetLapChecks(0);
    ComputeLapStatistics();
    RebuildGraphList();
    return file.has_value();
}

bool SaveLayoutFile(const std::string& path) {
    const std::optional<std::string> old = ReadTextFile(path);
    std::string out = "[LAYver]\nVer=" + std::to_string(kLayoutFormatVersion) + "\n";
    AppendAnalysisChannels(out);
    AppendExtras(out);
    AppendGraphSet(out);
    AppendHistory(out, old ? std::string_view(*old) : std::string_view());
    LimitLayoutText(out);
    return WriteWholeFile(path, out);
}

bool LoadLayout(int mode, const std::string& tabName) {
    if (g_layoutBusy) return false;
    BusyScope busy;
    std::string path;
    if (mode == 0) path = InProgramDirectory(kStandardLayout);
    if (mode == 1) path = AskLayoutPath(false);
    if (mode == 2) path = InProgramDirectory(tabName + ".lay");
    if (path.empty()) return false;
    LoadLayoutFile(path);
    if (mode == 1) AfterLayoutDialog();
    RequestRedraw(kRedrawCommand);
    return true;
}

bool SaveLayout(int mode) {
    if (g_layoutBusy) return false;
    BusyScope busy;
    std::string path;
    if (mode == 0) path = InProgramDirectory(kStandardLayout);
    if (mode == 1) path = AskLayoutPath(true);
    if (path.empty()) return false;
    // Write errors are not reported; the old file stays whole.
    bool written = SaveLayoutFile(path);
    if (mode == 1) AfterLayoutDialog();
    return written;
}

} // namespace qvtk
