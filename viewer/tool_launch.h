#pragma once
// The lap table's buttons that open the other tools. Some tools open over the lap table and
// return to it; the views (A/F map, X-Y plot) and the search alert close it first and open
// over the main window.
class QDialog;

namespace qvtk {

enum class ToolRequest { None, AfMap, XyPlot, SearchAlert };

// Left by a lap table button for the moment the lap table has closed.
extern ToolRequest g_toolRequest;

// " LAF  Histogram", "X-Y Plot", "  Search    Value": remember the tool, close the lap table.
void RequestToolAndClose(QDialog* lapTable, ToolRequest tool);

// After the lap table closed: the tool it asked for, if any.
void RunRequestedTool();

} // namespace qvtk
