#pragma once
// The lap table of the Analysis tools: per-lap minimum, maximum and average of the chosen
// channel columns, the row order, and the rows of the two panels as plain texts and colours.
// File 1 is the upper panel; File 2 or File 3 the lower one. The dialog only shows what is
// computed here and hands the clicks back.
#include <cstdint>
#include <string>

#include "analysis/lap_model.h"

namespace qvtk {

constexpr int kTableColumns = 12; // channel columns per file, two pages of six
constexpr int kPageColumns = 6;
constexpr int kTableRows = 8;         // rows of a panel, the average row among them
constexpr int kRowCells = 13;         // lap time and six pairs
constexpr int kLapOrderEntries = 516; // every position a row can reach, the "Avr." row too
constexpr int kPanelCount = 2;        // 0 upper (File 1), 1 lower (File 2 or File 3)
constexpr int32_t kEngineGate = 9000; // column 0 above this: the engine runs, the sample counts

// Column channels of each file: the column (0 .. 63) of each of the twelve table columns.
using TableColumns = int32_t[kSlotCount][kTableColumns];

// One column over one lap, in raw sample units (engine speed times the slot's scale).
struct LapColumnValues {
    double lapMin = 0, lapMax = 0, lapAvg = 0;
    int32_t lapMinAt = -1, lapMaxAt = -1; // first sample of the extreme; -1 none
    bool counted = false;                 // some sample passed the engine gate
};

struct LapChannelStats {
    LapColumnValues laps[kTableColumns][kLapEntries];
    int32_t bestMinLap[kTableColumns]; // kNoLap: none
    int32_t bestMaxLap[kTableColumns];
    double meanMin[kTableColumns], meanMax[kTableColumns], meanAvg[kTableColumns];
    int decimals[kTableColumns];
    int32_t column[kTableColumns]; // the channel column the values were taken from
};

struct LapTablePanel {
    int32_t scroll = 0;  // lap-start mark index of the first row, a multiple of M
    int sortKey = 0;     // 1 lap time, 2 + heading position, 0 unsorted
    int selectState = 0; // 0 "Select", 1 "ALL off", 2 "ALL on"
    int32_t highlightLap = kNoLap;
    int32_t lapOrder[kLapOrderEntries];

    LapTablePanel() {
        for (int i = 0; i < kLapOrderEntries; ++i) lapOrder[i] = i;
    }
};

struct LapTableState {
    int lowerSlot = 1;        // File 2 or File 3 in the lower panel
    int page = 0;             // which six of the twelve columns are shown
    int sectorView = 0;       // 1: sector times instead of channel values
    bool averageView = false; // kept between openings
    bool keepChecks = false;  // "Keep": the checks survive the next opening
    LapTablePanel panels[kPanelCount];
    int32_t jumpTarget[kSlotCount] = {-1, -1, -1};
    bool jumpRequest = false; // the viewer moves the cursor of jumpSlot to its target
    FileSlot jumpSlot = 0;
};

extern LapTableState g_lapTable;
extern LapChannelStats g_lapChannelStats[kSlotCount];

// Back to the start of the program (also forgets averageView and keepChecks).
void ResetLapTable();

FileSlot PanelSlot(int panel);

// Values of one channel column for every lap of the slot (laps[k] for lap-start marks k).
// Only samples whose column 0 is above the engine gate count.
void ComputeColumnLapValues(FileSlot slot, int column, LapColumnValues laps[kLapEntries]);

// Statistics of every slot's table columns, then the lap statistics, bests and means, and
// the order of both panels.
void ComputeLapChannelStats(const TableColumns& columns);
// Bests and means of the channel columns and the lap statistics after the checks changed;
// the samples are not walked again.
void UpdateLapTableBests();
// LapOrder of a panel by its sortKey.
void SortLaps(int panel);

// The steps of opening the dialog; both panels show their file's first lap at the top.
void OpenLapTable(const TableColumns& columns);

// Highest first row of a panel's slot.
int32_t ScrollLimit(FileSlot slot);

enum class TableScroll { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };
// Moves a panel; `thumb` is the scroll bar position for Thumb.
void ScrollPanel(int panel, TableScroll action, int32_t thumb = 0);

struct LapTableCell {
    std::string text;
    bool red = false; // a best value
};

struct LapTableRow {
    int32_t lap = -1;     // lap-start mark index shown, -1 for an empty row
    bool average = false; // the "Avr." row
    bool highlighted = false;
    bool checkable = false; // a lap: its check box is live
    bool checked = false;
    LapTableCell cells[kRowCells];
};

struct LapTablePanelView {
    LapTableRow rows[kTableRows];
};

LapTablePanelView FillPanel(int panel);
// "LapTime" and the twelve value headings of the current view.
void TableHeadings(std::string out[kRowCells]);
const char* SelectHeading(int panel);

// Heading clicks: 0 "LapTime", 1 .. 12 the value headings. Ignored in the average view.
void ClickHeading(int panel, int heading, const TableColumns& columns);
// The check box of a row; false when the row holds no lap.
bool ToggleRowCheck(int panel, int row);
// "Select": ALL off, ALL on, ALL off, ...
void ClickSelect(int panel);

enum class CellClick { Nothing, Highlight, Jump };
// A click on a cell; Jump means the dialog closes and the viewer moves the file's cursor to
// g_lapTable.jumpTarget[slot] (-1: no position).
CellClick ClickCell(int panel, int row, int cell);

// The lower panel shows the other of File 2 and File 3.
void SwitchLowerSlot(const TableColumns& columns);

} // namespace qvtk
