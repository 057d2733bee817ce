#include "logger/channel_functions.h"

#include <cstdio>

#include "data/settings.h"

namespace qvtk {

ChannelFunction g_channelFunctionTable[kChannelFunctionCodes];

namespace {

struct NamedCode {
    int code;
    const char* name;
};

const NamedCode kNamed[] = {
    {0, "No function"}, {1, "Sys V"},      {2, "LAP"},         {3, "Ne"},         {4, "TPS"},
    {5, "APS"},         {6, "VFW"},        {7, "VRW"},         {8, "Slip%"},      {9, "FrSUS"},
    {10, "RrSUS"},      {11, "LAF1"},      {12, "LAF2"},       {13, "LAF3"},      {14, "LAF4"},
    {15, "Gear Pos"},   {16, "W Temp"},    {17, "AUX1"},       {18, "AUX2"},      {19, "VFrSUS"},
    {20, "VRrSUS"},     {21, "FTyre Var"}, {22, "RTyre Var"},  {23, "Reduc Rat"}, {24, "PFrBrake"},
    {25, "PRrBrake"},   {32, "Bank Ang"},  {48, "Shift Sens"}, {64, "GPS Pos"},   {65, "GPS info"},
    {66, "GPS Speed"},  {74, "Iii"},       {128, "MSG"},
};

bool DebugOnly(int code) {
    return code == 21 || code == 22;
}

} // namespace

const std::vector<std::string> kModeEntries = {"Disable", "CAN", "(calculate)", "GPS"};
const std::vector<std::string> kSampleTimeEntries = {"5ms",  "10ms",  "20ms",  "25ms",  "40ms",
                                                     "50ms", "100ms", "500ms", "1000ms"};
const std::vector<std::string> kCanPortEntries = {"1-ECU", "2-Ext"};
const std::vector<std::string> kBitDepthEntries = {"8", "16(LH)", "16(HL)"};
const std::vector<std::string> kConversionEntries = {"Direct",      "0-100%",   "Y=a1*X+b",
                                                     "Y=a1*X/a2+b", "--------", "Table"};
const std::vector<std::string> kDecimalEntries = {"0", "0.0", "0.00", "0.000"};

void FillChannelFunctionTable() {
    for (ChannelFunction& f : g_channelFunctionTable) f = ChannelFunction();
    for (const NamedCode& n : kNamed)
        g_channelFunctionTable[n.code] = {n.name, !DebugOnly(n.code) || DebugMode()};
    for (int k = 1; k <= 7; ++k) {
        char name[8];
        std::snprintf(name, sizeof name, "MSG%d", k);
        g_channelFunctionTable[128 + k] = {name, true};
    }
}

std::vector<int> SelectableFunctions() {
    std::vector<int> codes;
    for (int code = 0; code < kChannelFunctionCodes; ++code)
        if (g_channelFunctionTable[code].selectable) codes.push_back(code);
    return codes;
}

int FunctionListPosition(int code) {
    if (code < 0 || code >= kChannelFunctionCodes || !g_channelFunctionTable[code].selectable)
        return -1;
    int position = 0;
    for (int c = 0; c < code; ++c) position += g_channelFunctionTable[c].selectable;
    return position;
}

int FunctionAtListPosition(int position) {
    for (int code = 0; code < kChannelFunctionCodes; ++code)
        if (g_channelFunctionTable[code].selectable && position-- == 0) return code;
    return -1;
}

std::string FunctionName(int code) {
    if (code < 0 || code >= kChannelFunctionCodes) return g_channelFunctionTable[0].name;
    return g_channelFunctionTable[code].name;
}

std::string EntryText(const std::vector<std::string>& entries, int i) {
    return i >= 0 && i < int(entries.size()) ? entries[size_t(i)] : std::string();
}

} // namespace qvtk
