#pragma once
// The dispatcher's table of formats: the file's extension and first byte select the reader
// that decodes it into a slot. The steps after the reader (laps, course, GPS line, derived
// channels, alignment) are the load pipeline's.
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

// Picks the reader by extension and first byte and runs it; `slot` becomes the slot the reader
// filled. A file that matches no format is "Not support File Type" (format kFormatNone, slot
// unchanged).
ReadOutcome DecodeLogFile(FileSlot& slot, std::string_view path, Bytes bytes);

// The extension of a path (after the last dot of its last component), or empty.
std::string_view PathExtension(std::string_view path);

// The last component of a path.
std::string_view FileTitle(std::string_view path);

} // namespace qvtk
