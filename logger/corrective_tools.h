#pragma once
// The corrective tools for File 1's recording: LapMark (a lap mark added or removed at the
// cursor), Adj (the suspension strokes shifted) and the save of the corrected lap marks and
// calibration back into the recording, which is written whole and crash safe.
#include <cstdint>
#include <string>
#include <vector>

#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

struct CorrectiveTools {
    // The Setup dialog's Position Adjust TPS tick: the next corrected save writes the throttle
    // range File 1 saw instead of its calibration, and clears it.
    bool positionAdjust = false;
};
extern CorrectiveTools g_correctiveTools;
void ResetCorrectiveTools();

enum class LapMarkResult {
    kNothing,    // the cursor is in the first 200 samples
    kDeleted,    // a mark within 200 samples of the cursor is gone
    kInserted,   // a new mark at the cursor
    kFull,       // no room for another mark
    kTooClose,   // refused: a mark 600 samples or less from a neighbour does not load again
    kNearEnd,    // refused: a mark in the last 50 samples does not load again
    kLowVoltage, // refused: the battery was below the lap-marker threshold there
};

// LapMark at sample p of File 1 (the sample under the cursor): removes the nearest earlier
// mark within 200 samples, or else adds a mark at p; the laps and sectors follow. A mark the
// loader would not take again is refused with a message that says why.
LapMarkResult LapMarkAt(int32_t p);

// The sample LapMark works at: under File 1's cursor.
int32_t CursorSampleOfFile1();

enum class AdjChannel { kTps, kFrontSus, kRearSus }; // "TPS", "FSUS", "RSUS"

// Adj: the value (mm, limited to +-1000) added to every sample of File 1's shown front or
// rear stroke columns, the sums kept within the sample range. Returns the value taken.
double AdjustStrokes(AdjChannel channel, const std::string& text);

// Save: the lap marks and the header calibration written into File 1's recording. Shows
// "File Is Saved." only when the whole new file is on disk; on any failure the recording is
// left byte for byte as it was.
bool SaveCorrectedLogFile();

enum class ReencodeResult { kDone, kBadVersion, kNoMemory };

// The variable records of a version 3 or 4 recording with the lap bit of record k set exactly
// when k is one of the marks (entries 1 to count - 1). A record whose one-byte VFW difference
// no longer fits takes a two-byte VFW field. Records end at the last whole one; bytes after it
// are kept. `records` says how many were copied.
ReencodeResult ReencodeLapMarks(Bytes file, int version, const LapMarkTable& marks,
                                std::vector<uint8_t>& out, int32_t& records);

} // namespace qvtk
