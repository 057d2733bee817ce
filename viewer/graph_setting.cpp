#include "viewer/graph_setting.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

#include "data/session.h"
#include "data/settings.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

bool ValidColumn(int column) {
    return column >= 0 && column < kColumnCount;
}

ChannelCode ColumnCode(int column) {
    return SlotOf(0).channels[column].code;
}

std::string ColumnName(int column) {
    const char* name = SlotOf(0).channels[column].name;
    return std::string(name, strnlen(name, sizeof(ChannelInfo::name)));
}

// Numbers are written with a point whatever locale the toolkit has set.
std::string FixedText(double value, int decimals) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, r.ptr);
}

std::string WholeText(double value) {
    char text[16];
    auto r = std::to_chars(text, text + sizeof text, int32_t(value));
    return std::string(text, r.ptr);
}

// The text an edit is rewritten with after its value was taken.
std::string RewriteText(double value) {
    return value == std::trunc(value) ? WholeText(value) : FixedText(value, 3);
}

double TypedValue(std::string_view text, double low, double high) {
    return std::clamp(ParseGraphValue(text), low, high);
}

int32_t SampleUnits(double value) {
    return int32_t(value * 1000.0);
}

} // namespace

std::string GraphValueOpenText(int32_t value) {
    if (value % 1000 == 0) return WholeText(value / 1000);
    return FixedText(double(value) * 0.001, 2);
}

double ParseGraphValue(std::string_view text) {
    // As atof reads it (leading blanks, sign, exponent, trailing rubbish ignored), but always
    // with a decimal point.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    std::string copy(text);
    double value = strtod_l(copy.c_str(), nullptr, cLocale);
    return std::isnan(value) ? 0.0 : value;
}

GraphSettingView OpenGraphSetting(int column) {
    GraphSettingView view;
    if (!ValidColumn(column)) return view;
    view.column = column;
    view.code = ColumnCode(column);

    // The "File1" group edits the normal colour even while File 1 is drawn alone.
    g_graph.file1Exclusive = false;

    bool expert = g_settings.ExpertMode >= 2;
    view.exclusiveCheckShown = expert;
    if (!expert) g_settings.ExclusiveF1Color = 0;
    view.onlyF1Shown = expert && g_settings.ExclusiveF1Color != 0;

    const GraphCodeSettings& g = GraphOf(view.code);
    view.minText = GraphValueOpenText(g.GraphMin);
    view.maxText = GraphValueOpenText(g.GraphMax);
    view.stepText = GraphValueOpenText(g.GraphStep);

    const Slot& file1 = SlotOf(0);
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(file1, c)) continue;
        if (c == g_graph.GraphOrder[column]) view.syncSelection = int(view.syncColumns.size());
        view.syncColumns.push_back(c);
        view.syncTexts.push_back(c == column ? "- " + ColumnName(c) + " -" : ColumnName(c));
    }
    return view;
}

std::string ApplyGraphMinText(ChannelCode code, std::string_view text) {
    double value = TypedValue(text, -kGraphValueLimit, kGraphValueLimit);
    GraphOf(code).GraphMin = SampleUnits(value);
    return RewriteText(value);
}

std::string ApplyGraphMaxText(ChannelCode code, std::string_view text) {
    // A maximum below the minimum is allowed while editing; closing corrects it.
    double value = TypedValue(text, -kGraphValueLimit, kGraphValueLimit);
    GraphOf(code).GraphMax = SampleUnits(value);
    return RewriteText(value);
}

std::string ApplyGraphStepText(ChannelCode code, std::string_view text) {
    double value = TypedValue(text, kGraphStepMin, kGraphValueLimit);
    GraphOf(code).GraphStep = SampleUnits(value);
    return RewriteText(value);
}

bool SetExclusiveF1Color(bool on) {
    g_settings.ExclusiveF1Color = on ? 1 : 0;
    return on;
}

void ReleaseAllGraphOrder() {
    for (int c = 0; c < kColumnCount; ++c) g_graph.GraphOrder[c] = c;
}

void CloseGraphSetting(int column, int syncColumn) {
    if (ValidColumn(column) && ValidColumn(syncColumn)) {
        g_graph.GraphOrder[column] = syncColumn;
        ChannelCode own = ColumnCode(column), other = ColumnCode(syncColumn);
        if (other != own) {
            // The two graphs share one band: this one takes the other's mapping, and one grid
            // is enough.
            GraphCodeSettings& g = GraphOf(own);
            const GraphCodeSettings& o = GraphOf(other);
            g.GraphZero = o.GraphZero;
            g.GraphScale = o.GraphScale;
            g.GridShown = 0;
        }
    }
    // ColorFile1 always keeps the normal File 1 colour (the only-File-1 colour is chosen at
    // drawing time through file1Exclusive), so it is already the colour to restore.
    CloseGraphSettingBox(column);
}

void CloseGraphSettingBox(int column) {
    if (ValidColumn(column)) {
        GraphCodeSettings& g = GraphOf(ColumnCode(column));
        if (g.GraphMax < g.GraphMin)
            g.GraphMax = int32_t(
                std::min<int64_t>(int64_t(g.GraphMin) + 100, std::numeric_limits<int32_t>::max()));
        NormalizeGraphRange(g); // a narrow band is not clipped
    }
    ChooseFile1Colors();
    RebuildGraphList();
    RequestRedraw(kRedrawCommand);
}

} // namespace qvtk
