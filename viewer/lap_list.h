#pragma once
// The lap header (the cursor's time in its lap and in the file, per file) and the lap lists
// under the cursor value columns: one row per lap with its time; a left click moves the view to
// the start of the lap, a right click zooms the graphs onto it.
#include <string>
#include <vector>

#include "data/session.h"
#include "viewer/graphs.h"

namespace qvtk {

// Where a file's lap list lies and how many of its rows are laps. The lines flow around the
// cursor value rows that cross the list, so that both stay readable.
struct LapListColumn {
    int left = 0, right = 0, top = 0, bottom = 0;
    int firstLap = 0;         // the lap of row 0 (the list always starts at the first lap)
    int lapRows = 0;          // rows that show a lap; a further line may follow them
    std::vector<int> lineTop; // the top of each line: the lap rows, then that further line
};

// Laps of a slot: lap-start marks 0, M, 2M, ... up to the end entry.
int ListedLapCount(FileSlot slot);
LapListColumn LapListColumnOf(const GraphFrame& frame, FileSlot slot);
// The lines of a file's list as drawn: lap times, then "- - - -" after the last lap, or
// "   ▽   " as the last line when the window cuts the list.
std::vector<std::string> LapListLines(const GraphFrame& frame, FileSlot slot);
// The file and lap row under a point; false when no lap row is there.
bool LapListRowAt(const GraphFrame& frame, int x, int y, FileSlot& slot, int& row);

// "mm'ss.hh" of the cursor since the start of its lap and since the start of the file.
std::string CursorLapTime(FileSlot slot);
std::string CursorFileTime(FileSlot slot);

void DrawLapHeader(const GraphFrame& frame);
void DrawLapLists(const GraphFrame& frame);
// A click on a lap row: left moves the view to the lap's start, right shows the whole lap.
// True when the click hit a row.
bool LapListClick(const GraphFrame& frame, int pressed);

} // namespace qvtk
