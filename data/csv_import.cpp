#include "data/csv_import.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>

#include "data/arith.h"
#include "data/settings.h"
#include "platform/ini_text.h"
#include "platform/message_box.h"

namespace qvtk {

const char* const kCsvRowLabels[kCsvRows] = {
    "Base Time(s)", " Ne(rpm)", "TH(%)", "VFW(km/h)", "VRW(kn/h)", "FrSUS(mm)", "RrSUS(mm)", "LAF1",
    "LAF2",         "VB(V)",    "AUX1",  "AUX2",      "LAP",       "Distance",  "",          ""};
const char* const kCsvTimeChoiceText[kCsvTimeChoices] = {
    "5ms(200Hz)", "10ms(100Hz)", "25ms(40Hz)", "50ms(20Hz)", "100ms(10Hz)", "300ms(3.33Hz)"};
const int64_t kCsvTimeChoiceStep[kCsvTimeChoices] = {500, 1000, 2500, 5000, 10000, 30000};
const float kCsvTimeChoiceFactor[kCsvTimeChoices] = {1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.0166667f};

CsvImportState g_csvImport;

namespace {

constexpr size_t kAliasChars = 64;

CsvSelectionFn g_selection = nullptr;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string WithoutBlanks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

bool ParseIndex(std::string_view text, int& out) {
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// A row by its number, its label without blanks, the label's name before "(", or its section
// in "csvlabel.ini"; case aside.
int FindRow(std::string_view text) {
    int row = 0;
    if (ParseIndex(text, row)) return row < kCsvRows ? row : -1;
    const std::string want = Lower(WithoutBlanks(text));
    for (int r = 0; r < kCsvRows; ++r) {
        const std::string label = Lower(WithoutBlanks(kCsvRowLabels[r]));
        if (label.empty()) continue;
        if (want == label || want == label.substr(0, label.find('('))) return r;
        if (r < kCsvLabelRows && want == Lower(kCsvLabelSections[r])) return r;
    }
    return -1;
}

// A column by its listed name ("speed (2)" for a repeat), its name as written, or its 1-based
// number; "none" is " - No data -" (the column count).
int FindColumn(const CsvLayout& layout, std::string_view text) {
    const int n = int(layout.names.size());
    if (text == "none" || text == "-") return n;
    for (int j = 0; j < n; ++j)
        if (layout.names[size_t(j)] == text) return j;
    for (int j = 0; j < n; ++j)
        if (layout.rawNames[size_t(j)] == text) return j;
    int number = 0;
    if (ParseIndex(text, number) && number >= 1 && number <= n) return number - 1;
    return -1;
}

bool RequestError(const std::string& why) {
    g_csvImport.last.requestError = why;
    return false;
}

} // namespace

CsvImportState::CsvImportState() {
    rowMemory[0] = 0;
    for (int r = 1; r < kCsvRows; ++r) rowMemory[r] = -1;
    for (auto& slot : auxDivisor) slot[0] = slot[1] = 1;
}

void ResetCsvImport() {
    g_csvImport = CsvImportState();
}

void LoadCsvLabels(const std::string& programDirectory) {
    const std::optional<std::string> file =
        ReadTextFile((std::filesystem::path(programDirectory) / "csvlabel.ini").string());
    const std::string_view text = file ? std::string_view(*file) : std::string_view();
    for (int row = 0; row < kCsvLabelRows; ++row)
        for (int set = 0; set < kCsvLabelSets; ++set)
            IniGetString(kCsvLabelSections[row], std::to_string(set), kNoCsvLabel,
                         g_csvLabels.labels[row][set], kCsvLabelBuffer, text);
}

int CsvRowColumn(const CsvChoice& choice, int row, int columns) {
    const int at = choice.rows[row];
    if (row == 0)
        return at >= kCsvTimeChoices && at < kCsvTimeChoices + columns ? at - kCsvTimeChoices : -1;
    return at >= 0 && at < columns ? at : -1;
}

CsvChoice DefaultCsvChoice(const CsvLayout& layout) {
    CsvChoice choice;
    const int n = int(layout.rawNames.size());
    for (int r = 0; r < kCsvRows; ++r) choice.rows[r] = g_csvImport.rowMemory[r];
    for (int r = 0; r < kCsvLabelRows; ++r) {
        int best = kCsvLabelSets, column = -1;
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < best; ++k) {
                const std::string& alias = g_csvLabels.labels[r][k];
                // The filler of a key the file leaves out names no column.
                if (alias == kNoCsvLabel) continue;
                if (std::strncmp(layout.rawNames[size_t(j)].c_str(), alias.c_str(), kAliasChars))
                    continue;
                best = k;
                column = j;
            }
        }
        if (column < 0) continue;
        choice.rows[r] = r == 0 ? column + kCsvTimeChoices : column;
        if (r == kCsvLapRow) choice.lapNumberType = best % 2 == 0;
    }
    // Row 0 always has a time base: one outside the list falls back to the first.
    if (choice.rows[0] < 0 || choice.rows[0] >= kCsvTimeChoices + n) choice.rows[0] = 0;
    for (int r = 1; r < kCsvRows; ++r)
        if (choice.rows[r] < 0 || choice.rows[r] > n) choice.rows[r] = n;
    return choice;
}

void RememberCsvChoice(const CsvChoice& choice, int columns) {
    // " - No data -" is remembered as such, not as a position a wider file gives a column.
    for (int r = 0; r < kCsvRows; ++r)
        g_csvImport.rowMemory[r] = r > 0 && choice.rows[r] >= columns ? -1 : choice.rows[r];
}

bool ApplyCsvRequest(const CsvLayout& layout, CsvChoice& choice) {
    const CsvRequest& q = g_csvImport.request;
    const int n = int(layout.names.size());
    if (!q.timebase.empty()) {
        int fixed = -1;
        for (int k = 0; k < kCsvTimeChoices; ++k)
            if (q.timebase == kCsvTimeChoiceText[k]) fixed = k;
        const int column = fixed < 0 ? FindColumn(layout, q.timebase) : -1;
        if (fixed < 0 && (column < 0 || column == n))
            return RequestError("no time base or column " + q.timebase);
        choice.rows[0] = fixed >= 0 ? fixed : kCsvTimeChoices + column;
    }
    for (const auto& [rowText, columnText] : q.map) {
        const int row = FindRow(rowText);
        if (row < 0) return RequestError("no row " + rowText);
        const int column = FindColumn(layout, columnText);
        if (column < 0 || (row == 0 && column == n)) return RequestError("no column " + columnText);
        choice.rows[row] = row == 0 ? kCsvTimeChoices + column : column;
    }
    if (q.lapType >= 0) choice.lapNumberType = q.lapType == 1;
    if (q.noResample) choice.resample = false;
    return true;
}

void SetCsvSelection(CsvSelectionFn selection) {
    g_selection = selection;
}

ReadOutcome LoadCsvWithDefaults(FileSlot slot, Bytes bytes, const CsvLayout& layout) {
    CsvChoice choice = DefaultCsvChoice(layout);
    if (!ApplyCsvRequest(layout, choice)) return {.cancelled = true};
    RememberCsvChoice(choice, int(layout.names.size()));
    return ReadCsvFile(slot, bytes, layout, choice, {});
}

ReadOutcome ReadCsvImport(FileSlot slot, Bytes bytes, std::string_view) {
    const CsvLayout layout = AnalyzeCsvLayout(bytes);
    CsvImportReport& report = g_csvImport.last;
    report = CsvImportReport();
    report.headerLine = layout.headerLine;
    report.columns = layout.names;
    if (layout.hasUnits) report.units = layout.units;
    if (!layout.hasLines) {
        ShowMessage("File Error.", "File Error!!");
        CloseSlot(slot);
        return {};
    }
    return g_selection ? g_selection(slot, bytes, layout)
                       : LoadCsvWithDefaults(slot, bytes, layout);
}

void ComputeCsvSlipRatio(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const int slip = FindColumnByCode(slot, kCodeSlip);
    if (slip < 0 || !HasFullBuffer(s, slip)) return;
    const int front = FindColumnByCode(slot, kCodeVFW), rear = FindColumnByCode(slot, kCodeVRW);
    int32_t* out = s.samples[slip];
    const int32_t count = std::min(s.sampleCount, s.capacity);
    if (front < 0 || rear < 0 || !HasFullBuffer(s, front) || !HasFullBuffer(s, rear)) {
        std::fill(out, out + count, 0);
        return;
    }
    if (!(s.channelFlags[front] & kChannelShown) || !(s.channelFlags[rear] & kChannelShown)) return;
    const int32_t* f = s.samples[front];
    const int32_t* r = s.samples[rear];
    for (int32_t i = 0; i < count; ++i)
        if (f[i] > 20000) out[i] = TruncToInt32((double(r[i]) - double(f[i])) * 100000.0 / f[i]);
}

} // namespace qvtk
