#pragma once
// The way into the readers: the file is read whole and handed to the reader that its
// extension and first byte select.
#include <string>
#include <string_view>

#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

enum LoadResult : int { kLoadRan = 0, kLoadNotSupported = 1 };

// Picks the reader by extension and first byte and runs it. Returns kLoadRan when a reader
// ran (which reports and closes the slot itself on error), kLoadNotSupported after "Not
// support File Type" (slot unchanged). `slot` becomes the slot the reader filled.
LoadResult LoadLogFile(FileSlot& slot, std::string_view path, Bytes bytes);

// Reads the file at path and loads it into the slot. Returns true when a slot holds the
// recording; `slot` becomes the slot that was filled.
bool LoadFileIntoSlot(FileSlot& slot, const std::string& path);

// The extension of a path (after the last dot of its last component), or empty.
std::string_view PathExtension(std::string_view path);

} // namespace qvtk
