#pragma once
// The "Setup" dialog: the mode list, the "Logger Setting" group (from logger/setup_form),
// the clock setup, the saves and the memo; further groups (display settings, ...) are added
// as sections by the parts of the program they belong to, and the buttons that open other
// dialogs (analog inputs, gearbox, corrective tools, CAN logger) reach them through hooks.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "logger/setup_form.h"

class QBoxLayout;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace qvtk {

class SetupDialog;

// A group of the dialog: built into its column when the dialog opens, told when it closes.
struct SetupSection {
    const char* title;
    void (*build)(SetupDialog& dialog, QGroupBox& group);
    void (*closed)(SetupDialog& dialog) = nullptr;
};
// Sections are added once at start-up, in the order they appear.
void AddSetupSection(const SetupSection& section);
void ClearSetupSectionsForTesting();

// The dialogs the Setup dialog's buttons open; a button whose hook is absent stays disabled.
struct SetupDialogHooks {
    void (*openInputCalculation)(QWidget* parent, int input) = nullptr; // LAF 1 .. AUX 2
    void (*openGearBox)(QWidget* parent) = nullptr;
    void (*openCorrectiveTools)(QWidget* parent) = nullptr;  // RUVU
    void (*openCanLoggerSetting)(QWidget* parent) = nullptr; // CAN Logger Mode
    void (*openFileLoadSetting)(QWidget* parent) = nullptr;  // also the CAN logger's
};
extern SetupDialogHooks g_setupDialogHooks;

// Where a save goes: the save dialog, or what tests put in its place. Empty when cancelled.
struct SavePathRequest {
    const char* initialName; // "SETUP.QVL", "TIME.QVL"
    bool overwritePrompt;
};
using SavePathAsker = std::string (*)(QWidget* parent, const SavePathRequest& request);
void SetSavePathAskerForTesting(SavePathAsker asker);
// The save dialog of the logger's files: "QVL(*.QVL)", default extension QVL, starting in the
// data directory (or the asker the tests put in its place).
std::string AskLoggerFilePath(QWidget* parent, const SavePathRequest& request);

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit SetupDialog(QWidget* parent = nullptr);
    // Widgets a section shows only from a level of the mode list on.
    void AddLevelled(QWidget* widget, int level);
    const SetupForm& Form() const { return form_; }

protected:
    void done(int result) override;

private:
    void Build();
    QGroupBox* BuildLoggerGroup();
    QWidget* BuildControl(int id);
    QGroupBox* BuildClockGroup();
    QBoxLayout* BuildButtons();
    void Edited(int id, const std::string& text);
    void TakeTypedFields();
    void Refresh();
    void ApplyLevel();
    void SaveSetup();
    void SaveClock();
    void SaveMemo();

    SetupForm form_;
    QWidget* controls_[kSetupFieldCount] = {};
    std::vector<QWidget*> radios_[kSetupFieldCount];
    std::vector<std::pair<QWidget*, int>> levelled_;
    QComboBox* clock_[5] = {};
    QComboBox* modeList_ = nullptr;
    QPushButton* inputButtons_[4] = {};
    QPushButton* gearBox_ = nullptr;
    QPushButton* memoSave_ = nullptr;
    QPushButton* ruvu_ = nullptr;
    QPushButton* canLogger_ = nullptr;
    bool refreshing_ = false;
    bool closing_ = false;
};

// Key F (with the standard logger model) and the toolbar's Setup.
void OpenSetupDialog(QWidget* parent);

} // namespace qvtk
