#pragma once
// The "GearBox Setting" and "Extend Control" dialogs over the gearbox field table
// (logger/gearbox_setting). Every field is applied when it is left, radios and checks at
// once; the values are program-wide, so closing keeps them. Widgets carry the fields' names
// as object names (radios their entries').
#include <QDialog>
#include <utility>
#include <vector>

class QGroupBox;
class QPushButton;

namespace qvtk {

// The controls of a dialog, each standing for a field of the table (or shown with one).
struct GearboxControls {
    std::vector<std::pair<int, QWidget*>> fields;
    std::vector<std::pair<int, QWidget*>> shownWith; // labels and boxes that follow a field
    bool refreshing = false;
};

class GearBoxSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit GearBoxSettingDialog(QWidget* parent = nullptr);

private:
    void Build();
    void Refresh();

    GearboxControls controls_;
    QPushButton* extend_ = nullptr;
    QPushButton* debugOff_ = nullptr;
    QGroupBox* caution_ = nullptr;
};

class ExtendControlDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExtendControlDialog(QWidget* parent = nullptr);

private:
    GearboxControls controls_;
};

// The Setup dialog's and the CAN Logger Setting dialog's "GearBox" button.
void OpenGearBoxSetting(QWidget* parent);

} // namespace qvtk
