#pragma once
// The steps every reader runs after its records, in the order each kind of file needs them.
#include "data/session.h"

namespace qvtk {

void FinishFamily3Load(FileSlot slot);
void FinishCanLoad(FileSlot slot);
void FinishHndLoad(FileSlot slot);
// lapsFromGps: the header's lap source asks for laps from control-line crossings.
void FinishFamily4Load(FileSlot slot, bool lapsFromGps, bool append);

} // namespace qvtk
