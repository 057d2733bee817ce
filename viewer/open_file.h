#pragma once
// The viewer's side of opening a recording: the open dialog, and what the viewer refreshes
// after the file open flow has loaded (or rejected) the file.
#include <string>

#include "data/session.h"

namespace qvtk {

// A request whose first byte is 255 asks for the open dialog; an empty request does nothing;
// anything else is a path.
inline const std::string kOpenWithDialog = "\xff";

// Returns true when the slot holds the recording afterwards.
bool OpenFileIntoSlot(FileSlot slot, const std::string& request);

} // namespace qvtk
