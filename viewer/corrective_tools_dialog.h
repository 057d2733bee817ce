#pragma once
// The modeless "corrective tools" window over the viewer: LapMark at File 1's cursor, Adj of
// the suspension strokes and Save into the recording (logger/corrective_tools). One window at
// a time; it opens beside the main window. Widgets carry their labels as object names.
#include <QDialog>

class QComboBox;
class QLineEdit;

namespace qvtk {

class CorrectiveToolsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CorrectiveToolsDialog(QWidget* parent = nullptr);

private:
    void LapMark();
    void Adjust();

    QLineEdit* value_ = nullptr;
    QComboBox* channel_ = nullptr;
};

// Key G and the Setup dialog's "RUVU": opens the window unless it is open already. Returns it.
CorrectiveToolsDialog* OpenCorrectiveTools();

} // namespace qvtk
