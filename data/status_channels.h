#pragma once
// The logger's status channels (codes 128-135) and the texts of their fail codes, read from
// "status.ini" in the program directory.
#include <string>
#include <vector>

#include "data/session.h"

namespace qvtk {

constexpr int kFailCodeTexts = 255;   // codes 0-254 have a text
constexpr size_t kFailTextChars = 32; // characters kept of each text

struct StatusChannel {
    int column = 0;
    int warning = 0; // 1: a fail code found in the recording is reported on load
    std::string text[kFailCodeTexts];
};

struct StatusChannelTable {
    std::vector<StatusChannel> channels; // File 1's status columns
};
extern StatusChannelTable g_statusChannels;
inline void ResetStatusChannels() { g_statusChannels = StatusChannelTable(); }

// Reads "status.ini" for every status column of the slot (File 1 only).
void ReadStatusTexts(FileSlot slot);

// Reports each fail code found in a status column whose section asks for a warning.
void ReportFailCodes(FileSlot slot);

} // namespace qvtk
