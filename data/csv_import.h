#pragma once
// CSV files into a slot with the fixed channel table: the rows of the load data selection
// (which column feeds which channel, the time base, the lap column's type), their defaults from
// "csvlabel.ini", the reader with its two passes, and the step between the dispatcher and the
// reader where the user (the dialog) or a script (qvtk-cli) makes the choice.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/csv_text.h"
#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

constexpr int kCsvRows = 16;       // 0 time base, 1-11 channels, 12 lap, 13-15 not read
constexpr int kCsvShownRows = 13;  // rows the dialog shows
constexpr int kCsvTimeChoices = 6; // fixed time bases before the columns in row 0's list
constexpr int kCsvAux1Row = 10, kCsvAux2Row = 11, kCsvLapRow = 12;
constexpr int64_t kCsvMaxLines = 5760000;

extern const char* const kCsvRowLabels[kCsvRows];
extern const char* const kCsvTimeChoiceText[kCsvTimeChoices];
extern const int64_t kCsvTimeChoiceStep[kCsvTimeChoices]; // 10 microseconds
extern const float kCsvTimeChoiceFactor[kCsvTimeChoices]; // SampleRateFactor
inline constexpr const char* kCsvNoData = " - No data -";

// One choice of the dialog. Row 0: positions 0-5 are the fixed time bases, 6 + j column j.
// Rows 1-15: column j, or the column count for " - No data -". -1: nothing chosen.
struct CsvChoice {
    int rows[kCsvRows] = {};
    bool lapNumberType = false; // "LAP Number Type"; otherwise "LAP Distance Type"
    bool resample = true;       // an irregular time column is resampled onto its median step
};

// Column read by a row (rows 1-15; row 0 when it names a column), or -1.
int CsvRowColumn(const CsvChoice& choice, int row, int columns);

// What a script asks instead of the dialog (qvtk-cli's options), resolved against the file's
// columns when it is read.
struct CsvRequest {
    std::vector<std::pair<std::string, std::string>> map; // ROW=COLUMN in order
    std::string timebase; // a fixed time base text or a column; empty: the default
    int lapType = -1;     // -1 the default, 0 distance, 1 number
    bool noResample = false;
};

// What the last import found and did, for qvtk-cli's report.
struct CsvImportReport {
    int headerLine = 0;
    std::vector<std::string> columns, units;
    std::string timebase; // the text of row 0's choice
    bool resampled = false;
    std::vector<std::string> log; // the lines of the log box, without their line ends
    std::string requestError;     // a request that names no row or column
};

struct CsvImportState {
    int rowMemory[kCsvRows];       // the selections kept between dialogs
    int auxDivisor[kSlotCount][2]; // AUX1 and AUX2 of each slot's CSV import: 1, 10 or 100
    bool auxAssigned[kSlotCount][2] = {};
    CsvRequest request;
    CsvImportReport last;
    CsvImportState();
};
extern CsvImportState g_csvImport;
void ResetCsvImport();

// Reads the column aliases of "csvlabel.ini" in the program directory ("No data" where it
// names none, or when there is no such file).
void LoadCsvLabels(const std::string& programDirectory);

// Dialog start: the remembered rows, then the columns named by the aliases of "csvlabel.ini"
// (the lowest alias number wins; row 12's alias number gives the lap type), rows outside their
// list to " - No data -" and row 0 to "5ms(200Hz)".
CsvChoice DefaultCsvChoice(const CsvLayout& layout);
void RememberCsvChoice(const CsvChoice& choice, int columns);

// Applies g_csvImport.request to a choice; false (with the reason in the report) when it names
// a row or column the file does not have.
bool ApplyCsvRequest(const CsvLayout& layout, CsvChoice& choice);

// How a time column steps: irregular when its steps differ, repeat or go back. The median of
// the positive steps, snapped to the nearest fixed time base, is what resampling uses.
struct CsvTimeCheck {
    bool irregular = false;
    int64_t medianStep = 0; // 10 microseconds; 0 when no step is positive
    int choice = -1;        // the fixed time base nearest the median, -1 without one
};
CsvTimeCheck CheckCsvTimeColumn(Bytes bytes, const CsvLayout& layout, int column);

// The progress window the reader reports to; any member may be empty.
struct CsvProgress {
    std::function<void(int)> position;           // 0-300
    std::function<void(const std::string&)> log; // a log box line, ending in "\r\n"
    std::function<void()> pumpMessages;          // let pending window messages through
};

// Reads the file into the slot with the choice: both passes, the time base, the AUX divisors,
// the lap marks and the distances. Reports and closes the slot on failure.
ReadOutcome ReadCsvFile(FileSlot slot, Bytes bytes, const CsvLayout& layout,
                        const CsvChoice& choice, const CsvProgress& progress);

// The step between the dispatcher and the reader. The GUI installs the dialog; without one
// the file loads as OK with the defaults (and the request) would load it.
using CsvSelectionFn = ReadOutcome (*)(FileSlot slot, Bytes bytes, const CsvLayout& layout);
void SetCsvSelection(CsvSelectionFn selection);
// OK with the defaults and g_csvImport.request, without a window.
ReadOutcome LoadCsvWithDefaults(FileSlot slot, Bytes bytes, const CsvLayout& layout);

// The dispatcher's reader for ".csv": finds the column names ("File Error." when the file has
// no line), then hands over to the selection step.
ReadOutcome ReadCsvImport(FileSlot slot, Bytes bytes, std::string_view extension);

// The slip ratio of a CSV import: 0 unless both wheel speeds are present and shown, then
// (rear - front) x 100000 / front where the front wheel turns faster than 20 km/h.
void ComputeCsvSlipRatio(FileSlot slot);

} // namespace qvtk
