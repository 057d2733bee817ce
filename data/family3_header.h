#pragma once
// The header of the family-3 recordings: version rules and the values decoded into LogHeader.
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

// The log version after the overrides for early loggers that wrote a higher version byte.
int Family3Version(Bytes bytes);
bool IsFamily3VersionSupported(int version);

// Decodes the header into the slot's LogHeader (and, for slot 0, the logger-wide values).
void DecodeFamily3Header(FileSlot slot, Bytes bytes, int version);

} // namespace qvtk
