#pragma once
// The "CAN Logger Setting" dialog: the CAN logger's settings (from logger/can_setup_form) with
// its saves, the channel table ("CH Setup") and the memo, next to the viewer's display settings
// for CAN logger recordings (channels shown per file, colours, grid, status view, layouts).
// Widgets carry object names (the logger fields' own names) for tests.
#include <QDialog>
#include <vector>

#include "logger/can_setup_form.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace qvtk {

constexpr int kDisplayRowsShown = 16;

class CanLoggerSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit CanLoggerSettingDialog(QWidget* parent = nullptr);
    const CanSetupForm& Form() const { return form_; }

protected:
    void done(int result) override;

private:
    QWidget* BuildControl(int id);
    QWidget* BuildLoggerSection();
    QWidget* BuildClockGroup();
    QWidget* BuildDisplaySection();
    QWidget* BuildButtons();
    void Edited(int id, const std::string& text);
    void Refresh();
    void FillDisplayRows();
    void ToggleAll(int column);
    void TakeTypedFields();
    void CreateSetupFile();
    void SaveClock();
    void TakeOverSelections();

    CanSetupForm form_;
    QWidget* controls_[kCanFieldCount] = {};
    QPushButton* clockSave_ = nullptr;
    // Display rows: on/off, f1, f2, f3 and "..." per row on screen.
    QLabel* rowName_[kDisplayRowsShown] = {};
    QCheckBox* rowFlag_[kDisplayRowsShown][4] = {};
    QScrollBar* displayScroll_ = nullptr;
    QListWidget* layouts_ = nullptr;
    int firstRow_ = 0;
    bool refreshing_ = false;
    bool takeOver_ = false; // OK takes the course and layout selections over
};

// Key F with the CAN logger model, the toolbar's Setup then, and the Setup dialog's
// "CAN Logger Mode".
void OpenCanLoggerSetting(QWidget* parent);

} // namespace qvtk
