#pragma once
#include "data/session.h"

namespace qvtk {

// Names the fixed channel table of the fixed-layout loggers (family 3 and hnd) and sets which
// columns are present and shown.
void NameFixedChannels(FileSlot slot);

// Puts every column of the slot back to an unused column named by its number.
void ClearChannelTable(FileSlot slot);

} // namespace qvtk
