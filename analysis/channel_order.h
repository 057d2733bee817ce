#pragma once
// The channel order: a file's present channels in column order, and moving one up or down by
// swapping it with its neighbour in the list. Column 0 stays where it is.
#include <string>
#include <vector>

#include "data/session.h"

namespace qvtk {

// The present columns of the file, in column order: the rows of the list.
std::vector<int> ChannelOrderRows(FileSlot slot);

// "[ %s ]" and "[%02d][ %s ]" of a column.
std::string ChannelOrderName(FileSlot slot, int column);
std::string ChannelOrderNumbered(FileSlot slot, int column);

// Swaps two columns of a file with everything that belongs to the data: samples, description,
// flags, ranges, automatic display, envelopes and the columns the derived channels remember;
// after a move in File 1 the index by code is rebuilt.
void SwapChannelColumns(FileSlot slot, int a, int b);

// "↑" (direction -1) and "↓" (+1) on a row: the row's channel trades places with its
// neighbour. Rows 0 and 1 never move up and row 0 never moves down (column 0 stays); returns
// the row the channel is on afterwards (the same row when nothing moved).
int MoveChannelRow(FileSlot slot, int row, int direction);

} // namespace qvtk
