#pragma once
// hnd recordings: each channel at its own period, packed as a bit stream of delta codes.
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

ReadOutcome ReadHndFile(FileSlot slot, Bytes bytes, std::string_view extension);

} // namespace qvtk
