#pragma once
#include <cstdint>
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

// Loads a family-3 recording (first byte '3') into the slot, or rejects it and closes the slot.
ReadOutcome ReadFamily3File(FileSlot slot, Bytes bytes, std::string_view extension);

// Bytes of a variable record (versions 3 and 4) with this mask word, the mask included.
int VariableRecordLength(uint16_t mask, int version);

} // namespace qvtk
