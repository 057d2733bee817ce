#pragma once
// The "[CSV] Load data selection" dialog: a list per row to assign the file's columns to the
// logger's channels and to choose the time base, the lap type toggle, the offer to resample an
// irregular time column, and, once OK is pressed, the log box and the progress of the reader.

namespace qvtk {

// Makes the dialog the selection step of every CSV load (modal over the active window).
void InstallCsvSelectionDialog();

} // namespace qvtk
