#pragma once
// "The selection of items and range": the CSV export of File 1 from the lap table's
// "   CSV     Output" button. "Range Select" hands over to the graphs, where the span from the
// baseline to the pointer is marked (rangePending) until a left click, which reopens the
// dialog to write that range.
#include "viewer/graphs.h"

class QDialog;
class QPushButton;

namespace qvtk {

// Runs the dialog modally over the main window.
void ShowExportDialog();

// The lap table's "   CSV     Output" button: closes the lap table, whose caller then opens
// the export dialog (RunRequestedCsvOutput).
void ConnectCsvOutputButton(QDialog& lapTable, QPushButton& button);
void RunRequestedCsvOutput();

// While the range is being marked, a left click in the graphs ends it and reopens the dialog.
// True when the click was taken.
bool RangeMarkClick(const GraphFrame& frame, int pressed);

} // namespace qvtk
