#pragma once
// The Graph Setting dialog (1004): the range, grid, switches, palette colours and graph
// synchronisation of one channel column. Widgets carry their control ids as object names.
#include <QDialog>
#include <vector>

#include "viewer/graph_setting.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qvtk {

class GraphSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit GraphSettingDialog(int column, QWidget* parent = nullptr);

    // The close box and Escape: only the closing steps that do not synchronise.
    void reject() override;

private:
    void Build();
    void ShowOnlyF1(bool shown);
    void TakeEdit(QLineEdit* edit);
    void ApplyPendingEdits();
    void Close();

    GraphSettingView view_;
    QLineEdit* min_ = nullptr;
    QLineEdit* max_ = nullptr;
    QLineEdit* step_ = nullptr;
    QComboBox* sync_ = nullptr;
    std::vector<QWidget*> onlyF1_; // the "onlyF1" radios and their heading
};

// Opens the dialog modally for a channel column of File 1 over the main window.
void OpenGraphSettingDialog(int column);

} // namespace qvtk
