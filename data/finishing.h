#pragma once
// The steps every reader runs after its records, in the order each kind of file needs them.
#include "data/session.h"

namespace qvtk {

void FinishFamily3Load(FileSlot slot);
void FinishCanLoad(FileSlot slot);

} // namespace qvtk
