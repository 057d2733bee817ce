#include "analysis/channel_order.h"

#include <cstdio>
#include <utility>

#include "analysis/channel_list.h"
#include "data/derived_channels.h"
#include "data/sample_envelope.h"

namespace qvtk {

std::vector<int> ChannelOrderRows(FileSlot slot) {
    return PresentColumns(slot);
}

std::string ChannelOrderName(FileSlot slot, int column) {
    char text[32];
    std::snprintf(text, sizeof text, "[ %s ]", SlotOf(slot).channels[column].name);
    return text;
}

std::string ChannelOrderNumbered(FileSlot slot, int column) {
    char text[40];
    std::snprintf(text, sizeof text, "[%02d][ %s ]", column, SlotOf(slot).channels[column].name);
    return text;
}

void SwapChannelColumns(FileSlot slot, int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= kColumnCount || b >= kColumnCount) return;
    Slot& s = SlotOf(slot);
    SwapColumns(slot, a, b);
    std::swap(s.range.max[a], s.range.max[b]);
    std::swap(s.range.min[a], s.range.min[b]);
    std::swap(s.range.minCopy[a], s.range.minCopy[b]);
    std::swap(s.autoDisplay[a], s.autoDisplay[b]);
    auto follow = [a, b](int& column) {
        if (column == a)
            column = b;
        else if (column == b)
            column = a;
    };
    follow(s.gearInputColumn);
    follow(g_derivedState.slipTriggerSource[slot]);
    RebuildColumnEnvelope(slot, a);
    RebuildColumnEnvelope(slot, b);
    if (slot == 0) BuildChannelIndexByCode();
}

int MoveChannelRow(FileSlot slot, int row, int direction) {
    const std::vector<int> rows = ChannelOrderRows(slot);
    const int other = row + (direction < 0 ? -1 : 1);
    if (row < 0 || row >= int(rows.size()) || other < 0 || other >= int(rows.size())) return row;
    if (direction < 0 && row < 2) return row; // the channel in column 0 stays first
    if (direction > 0 && row == 0) return row;
    SwapChannelColumns(slot, rows[row], rows[other]);
    return other;
}

} // namespace qvtk
