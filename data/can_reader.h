#pragma once
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

// Loads a CAN frame file. It always fills File 1, whichever slot was asked for.
ReadOutcome ReadCanFile(FileSlot slot, Bytes bytes, std::string_view extension);

} // namespace qvtk
