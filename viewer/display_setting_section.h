#pragma once
// The Setup dialog's "Display Setting" group: per file the 14 channels' shown flags with their
// Graph Setting buttons and the marks per lap, the viewer's display switches, the course list
// and the "Extend" button to the File Load Setting dialog. Every control takes effect at once;
// the course is taken when the Setup dialog closes. Widgets carry their labels as object names
// ("f1_Ne", "f1_dots_Ne", "f1_3 mark/lap" in the File 1 pane, "f2_..." in the other one).
#include "logger/setup_dialog.h"

namespace qvtk {

SetupSection DisplaySettingSection();

// The viewer's parts of the Setup dialog: this group and the dialogs its buttons open (analog
// inputs, gearbox, corrective tools); "Overwrite File" reloads File 1 through the open flow.
// Done once at start-up.
void InstallSetupDialogParts();

} // namespace qvtk
