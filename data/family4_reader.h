#pragma once
// Family-4 recordings (first byte '4'): CAN logger files that describe their own channels.
#include <string_view>

#include "data/read_outcome.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

// Load switches the viewer sets.
struct LoadOptions {
    bool appendFamily4 = false; // add a family-4 file after the samples already in the slot
};
extern LoadOptions g_loadOptions;
inline void ResetLoadOptions() {
    g_loadOptions = LoadOptions();
}

ReadOutcome ReadFamily4File(FileSlot slot, Bytes bytes, std::string_view extension);

// The raw value of an item (bytes 1-2 after the column index) in the channel's signed form.
int32_t Family4RawValue(const ChannelInfo& channel, Bytes item);
// A raw value through the channel's conversion, to the stored value.
int32_t Family4Convert(const ChannelInfo& channel, int32_t raw);

} // namespace qvtk
