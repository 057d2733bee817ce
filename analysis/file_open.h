#pragma once
// The file open flow: a path chosen by the user (the viewer shows the dialog) is loaded into a
// file slot, the slot's file label is set, and the file may be renamed after its fastest lap.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/session.h"

namespace qvtk {

struct FileOpenState {
    bool busy = false;           // an open is running: a nested one is refused
    bool openedBefore = false;   // an open was started in this run, into any slot
    std::string dialogDirectory; // initial directory of the next open dialog
    int64_t currentFileSize = 0; // bytes of the file opened last
    std::string renamePrefix;    // put before the lap time of a renamed file, up to 9 chars
    FileSlot filledSlot = 0;     // the slot the last open loaded into (a CAN file goes to 0)
};

extern FileOpenState g_fileOpen;

// Back to the start of the program; also restarts the memo panel.
void ResetFileOpen();

enum FileOpenResult : int { kOpenLoaded = 0, kOpenRejected = 1, kOpenBusy = 2, kOpenCancelled = 3 };

// Width in pixels of a file name as the label font draws it.
using NameWidthFn = int (*)(const std::string& name);

// Where the file label of a slot is drawn.
LabelRect FileLabelRect(FileSlot slot, int nameWidth, int lineHeight);

// Sets the opened-before flag and returns what it was. The viewer saves the graph layout
// before File 1 is opened again.
bool MarkOpenStarted();

// Loads the file at `path` into the slot: the busy guard, the label, the whole-file read and
// the reader, the rename after the fastest lap. A loaded file keeps its name, path and label;
// a rejected one leaves the slot without them; a cancelled one (the CSV selection closed
// without OK) leaves the slot as it was. A CAN file always goes into File 1
// (g_fileOpen.filledSlot says where it went); the requested slot then keeps its own label.
// Showing the summary, the viewer's own resets and the redraw are left to the caller.
//
// The shown bits and AutoDisplay flags of File 2 and File 3 are copied from File 1 by
// LoadFileIntoSlot during the load; the caller only rescales the graph axes.
FileOpenResult LoadRequestedFile(FileSlot slot, const std::string& path, int lineHeight,
                                 NameWidthFn nameWidth);

// The fastest lap of a slot, if any: lap n runs from lap mark n - 1 to lap mark n.
struct FastestLap {
    int lap = 0;         // 0: no lap qualified
    int32_t samples = 0; // its length
};

// Only the laps between the out-lap and the in-lap count; the first of equal laps wins.
FastestLap FindFastestLap(FileSlot slot);

// The name a file takes after its fastest lap, e.g. "ride[1'01''725(3-7)].qvd", or an empty
// string when the file keeps its name: not a qvd or hnd file, or already renamed (a "["
// before the first dot). markCount is the slot's lap mark count.
std::string FastestLapFileName(std::string_view title, std::string_view prefix,
                               const FastestLap& fastest, int32_t markCount);

// The "Prefix" of the File Load Setting dialog: at most 9 characters (UTF-8, cut at whole
// characters). A prefix that would take the renamed file out of its folder or make the rename
// fail (path separators, the characters a file name may not hold, control characters, a
// trailing dot or blank) is refused with a message; the prefix is then unchanged.
bool SetRenamePrefix(const std::string& text);
// The first `characters` whole UTF-8 characters of text.
std::string_view CutToCharacters(std::string_view text, size_t characters);

// Renames the slot's file after its fastest lap when ModifyFileName is on, and keeps the new
// path and name in the slot. A failure shows "No change file name." and keeps both.
void RenameAfterFastestLap(FileSlot slot);

} // namespace qvtk
