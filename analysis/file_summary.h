#pragma once
// What the two info panels show: the summary of File 1 and File 2 (maxima, distance, laps,
// logging time), and the tire sizes, final ratios and memos, the memos typed out one
// character per frame. The viewer draws them.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/session.h"

namespace qvtk {

constexpr int kSummaryRows = 9;

struct SummaryRow {
    const char* label = ""; // empty for the gap row
    std::string file1;      // empty while File 1 holds no recording
    std::string file2;      // empty while File 2 is not loaded
};

struct FileSummary {
    SummaryRow rows[kSummaryRows]; // rows 1-9 of the panel; row 6 is the gap
};

// The summary panel's rows from the session as it is now.
FileSummary BuildFileSummary();

// The value of one row (0-8) for one slot; empty for the gap row.
std::string SummaryValue(FileSlot slot, int row);

// Tire and final-ratio lines; an empty text is not drawn.
struct TireLines {
    std::string tire[2];       // File 1 at y 4, File 2 at y 128
    std::string finalRatio[2]; // one line below the tire line, when the front sprocket is above 1
};

TireLines BuildTireLines();

constexpr int kMemoLineBytes = 29;
constexpr int kMemoLines = 10;
constexpr int kMemoReadBytes = 189; // the memo is read up to here

// One memo being typed out. Lines hold raw bytes (Shift-JIS): a two-byte character is
// never split across lines.
struct MemoTyping {
    int position = 0; // next byte of the memo
    int line = 0;     // the line being typed
    char text[kMemoLines][kMemoLineBytes] = {};
    int length[kMemoLines] = {};
    bool finished = false;
};

inline std::string_view MemoLine(const MemoTyping& t, int line) {
    return {t.text[line], size_t(t.length[line])};
}

// Types the next character of the memo (the first `limit` bytes of it, up to its terminator):
// a carriage return with its line feed starts a new line, a byte of 128 or more goes with the
// byte after it. Returns false when nothing more can be typed.
bool TypeNextMemoCharacter(MemoTyping& t, const char* memo, int limit);

struct MemoPanel {
    MemoTyping file[2]; // File 1, File 2
};

extern MemoPanel g_memoPanel;

void ResetMemoPanel();

// Called every frame with the memo panel's counter. At 19 and above the panel is about to
// vanish: the memos start over and it returns true, and the viewer clears the panel and draws
// the tire lines. Below that one more character of each memo is typed (each only while its file
// is loaded) and it returns false.
bool StepMemoPanel(int panelCounter);

} // namespace qvtk
