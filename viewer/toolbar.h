#pragma once
// The modeless toolbar (dialog 1000): twelve icon buttons in two columns. Its check states
// are read from the viewer state after every command, so the buttons never disagree with it.
class QWidget;

namespace qvtk {

enum ToolbarId : int {
    kToolbarDialog = 1000,
    kBtnCheck1 = 1115,
    kBtnCheck2 = 1116,
    kBtnOpen1 = 1035,
    kBtnOpen2 = 1036,
    kBtnGreset = 1037,
    kBtnClose2 = 1038,
    kBtnGPM = 1117,
    kBtnMoveM = 1118,
    kBtnANM = 1119,
    kBtnPlay = 1120,
    kBtnAFM = 1121,
    kBtnSetup = 1039,
    kBtnDistance = 1122, // ours: lap comparison by distance
};

// Creates the toolbar owned by the main window and shows it.
void CreateToolbar(QWidget* owner);
void DestroyToolbar();
QWidget* ToolbarWidget();

// The command of a button; `checked` is the button's check state after the click.
void ToolbarProc(int id, bool checked);

// Check states and the File 2/File 3 icons from the viewer state.
void SyncToolbar();
bool ToolbarChecked(int id);

// Keeps the toolbar on the monitor; with `besideWindow` it first goes near the main
// window's lower left corner.
void RestoreToolbarPlacement(bool besideWindow);

// Closes a file as the toolbar does: the slot, its laps and marks, and the summary.
void CloseFileFromToolbar(int slot);

} // namespace qvtk
