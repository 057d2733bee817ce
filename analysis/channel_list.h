#pragma once
// The channel lists of the tool dialogs: the present columns of a file in column order, and
// the way between a list position and the column stored for it. The slip channel of the lap
// compare is not listed: a tool's choice of it would outlive the channel.
#include <vector>

#include "analysis/lap_compare.h"
#include "data/session.h"

namespace qvtk {

inline std::vector<int> PresentColumns(FileSlot slot) {
    std::vector<int> out;
    const Slot& s = SlotOf(slot);
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c) && !IsComputedColumn(c)) out.push_back(c);
    return out;
}

// The list position of a stored column, -1 when the list does not hold it.
inline int ListPositionOf(const std::vector<int>& columns, int column) {
    for (int i = 0; i < int(columns.size()); ++i)
        if (columns[i] == column) return i;
    return -1;
}

// A stored column a consumer may read in this file: inside the table, present, full length.
inline bool UsableColumn(FileSlot slot, int column) {
    const Slot& s = SlotOf(slot);
    return IsPresent(s, column) && HasFullBuffer(s, column);
}

} // namespace qvtk
