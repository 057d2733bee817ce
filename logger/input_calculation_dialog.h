#pragma once
// The "AUX Calculation setting" dialog of one analog input (LAF1, LAF2, AUX1, AUX2) over
// logger/input_calculation. Fields are applied when they are left, the type radios at once.
// Widgets carry the fields' names as object names ("a", "voltage_3", "value_16"), the radios
// their labels.
#include <QDialog>

#include "logger/input_calculation.h"

class QLineEdit;
class QRadioButton;

namespace qvtk {

class InputCalculationDialog : public QDialog {
    Q_OBJECT
public:
    InputCalculationDialog(int input, QWidget* parent = nullptr);

private:
    void Build();
    void Show(InputTextFor when);
    void Enable();

    int input_;
    QLineEdit* fields_[kInputFieldCount] = {};
    QRadioButton* types_[4] = {};
    bool refreshing_ = false;
};

// How "Overwrite File" loads File 1 again: the viewer's open flow in the program; by default
// the plain load.
void SetInputOverwriteReload(ReloadFile1 reload);

// The Setup dialog's LAF 1, LAF 2, AUX 1 and AUX 2 buttons.
void OpenInputCalculation(QWidget* parent, int input);

} // namespace qvtk
