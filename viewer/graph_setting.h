#pragma once
// The Graph Setting dialog's logic over the graph settings of one column's channel code: what
// the dialog shows when it opens, how typed values are taken and written back, and what
// closing it applies. No widgets here; graph_setting_dialog.cpp forwards to these.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/channel_codes.h"

namespace qvtk {

// Typed values are kept within these (engineering units).
constexpr double kGraphValueLimit = 100000.0;
constexpr double kGraphStepMin = 0.01;

// What the dialog shows when it opens for a column.
struct GraphSettingView {
    int column = 0;
    ChannelCode code = 0; // the column's channel code, whose settings are edited
    std::string minText, maxText, stepText;
    bool exclusiveCheckShown = false; // "color of  only File1"
    bool onlyF1Shown = false;         // the "onlyF1" radio group
    std::vector<int> syncColumns;     // the column behind each combo box entry
    std::vector<std::string> syncTexts;
    int syncSelection = -1; // entry of GraphOrder of the column, -1 when not listed
};

// Opening: File 1's normal colours in place, the only-File-1 switch gated by ExpertMode, the
// texts of the range, and the channels the graph may share a band with.
GraphSettingView OpenGraphSetting(int column);

// A stored value (sample units) as the dialog first shows it: "%d" when whole, else "%0.2f".
std::string GraphValueOpenText(int32_t value);

// A typed value as the edits read it: a decimal number, 0 when there is none.
double ParseGraphValue(std::string_view text);

// Each takes the edit's text, stores the clamped value x 1000 and returns the text the edit is
// rewritten with ("%d" when whole, else "%0.3f").
std::string ApplyGraphMinText(ChannelCode code, std::string_view text);
std::string ApplyGraphMaxText(ChannelCode code, std::string_view text);
std::string ApplyGraphStepText(ChannelCode code, std::string_view text);

// "color of  only File1": writes the setting; true when the "onlyF1" group is to be shown.
bool SetExclusiveF1Color(bool on);

// "Release All CH": every column drawn in its own position again.
void ReleaseAllGraphOrder();

// "Close": synchronise the column with the chosen column (-1 leaves GraphOrder as it is), then
// what the close box does as well.
void CloseGraphSetting(int column, int syncColumn);

// The window's close box: a usable range, File 1's colour choice, the graph list.
void CloseGraphSettingBox(int column);

} // namespace qvtk
