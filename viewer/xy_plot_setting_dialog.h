#pragma once
// The "X-Y PlotSetting" dialog: the X, Y and colour channels among File 1's present columns,
// each axis's min, max and step, "GPS Map", "PlotType ConnectedLine" and the point size. OK
// turns the X-Y plot view on. Widgets carry object names for tests.
#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qvtk {

class XyPlotSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit XyPlotSettingDialog(QWidget* parent = nullptr);

private:
    void ChannelChosen(int axis, int index);
    void ReloadAxis(int axis);
    void ShowAxis(int axis, bool fromChannel);
    void LeaveValue(int axis, int field);
    void FollowFlags();
    void Ok();

    QComboBox* lists_[3] = {};
    QLineEdit* edits_[3][3] = {}; // axis x, y, colour; min, max, step
    QCheckBox* gpsMap_ = nullptr;
    QCheckBox* connected_ = nullptr;
    QComboBox* size_ = nullptr;
    std::vector<int> columns_; // list position -> column
};

// Runs the dialog modally over `parent`; true when OK turned the plot on.
bool ShowXyPlotSetting(QWidget* parent);

} // namespace qvtk
