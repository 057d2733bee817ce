#pragma once
// A recording's way into a slot: the whole file is read, the dispatcher's reader decodes it,
// and then the steps every kind of file needs run in its own order (course and GPS line
// checks, laps from line crossings, derived channels, alignment with File 1, ranges, the
// graphs' extremes, the lap segments).
#include <string>
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

enum LoadResult : int { kLoadRan = 0, kLoadNotSupported = 1, kLoadCancelled = 2 };

// The dispatcher with what follows each reader. Returns kLoadRan when a reader ran (which
// reports and closes the slot itself on error), kLoadNotSupported after "Not support File
// Type" (slot unchanged), kLoadCancelled when the CSV selection was closed without OK (slot
// unchanged). `slot` becomes the slot the reader filled.
LoadResult LoadLogFile(FileSlot& slot, std::string_view path, Bytes bytes);

// Reads the file at path and loads it into the slot. Returns true when a slot holds the
// recording; `slot` becomes the slot that was filled. A cancelled CSV selection leaves the slot,
// its name and label as they were (LoadWasCancelled() tells).
bool LoadFileIntoSlot(FileSlot& slot, const std::string& path);
bool LoadWasCancelled();

// The steps after a reader that decoded its records, for the format it read.
void FinishLoad(FileSlot slot, const ReadOutcome& outcome);

// File 2 or 3 shows a channel when File 1 shows it, and follows File 1's automatic display.
void FollowFile1Display(FileSlot slot);

// After File 1 changed: the loaded Files 2 and 3 line up with it again, as their own load did.
void FollowNewFile1();

// Said once for a recording whose last record is cut off (it loads up to there).
extern const char kCutOffText[];

} // namespace qvtk
