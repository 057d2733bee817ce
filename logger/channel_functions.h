#pragma once
// The channel vocabulary of the CAN logger: the function codes a channel can carry (the
// ChannelFunctionTable) and the entries of the lists that edit a channel.
#include <string>
#include <vector>

namespace qvtk {

constexpr int kChannelFunctionCodes = 256;

struct ChannelFunction {
    std::string name; // up to 12 characters, as the lists show it
    bool selectable = false;
};

// Filled when the channel dialogs open: two entries are offered only in debug mode.
extern ChannelFunction g_channelFunctionTable[kChannelFunctionCodes];
void FillChannelFunctionTable();

// The function lists show the selectable entries in code order.
std::vector<int> SelectableFunctions();
// -1 when the code is not offered.
int FunctionListPosition(int code);
int FunctionAtListPosition(int position);
// The name of a code (file-named channels, 256 and up, have none: "No function").
std::string FunctionName(int code);

// The lists of a channel's fields, entry i standing for value i.
extern const std::vector<std::string> kModeEntries;       // Disable, CAN, (calculate), GPS
extern const std::vector<std::string> kSampleTimeEntries; // 5ms .. 1000ms
extern const std::vector<std::string> kCanPortEntries;    // 1-ECU, 2-Ext
extern const std::vector<std::string> kBitDepthEntries;   // 8, 16(LH), 16(HL)
extern const std::vector<std::string> kConversionEntries; // Direct .. Table
extern const std::vector<std::string> kDecimalEntries;    // 0, 0.0, 0.00, 0.000

// Entry i of a list, or "" outside it.
std::string EntryText(const std::vector<std::string>& entries, int i);

} // namespace qvtk
