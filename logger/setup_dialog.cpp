#include "logger/setup_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "data/session.h"
#include "data/settings.h"
#include "logger/corrective_tools.h"
#include "logger/memo_text.h"
#include "logger/realtime_monitor_dialog.h"
#include "logger/setup_files.h"
#include "platform/dialog_button_widget.h"

namespace qvtk {

SetupDialogHooks g_setupDialogHooks;

namespace {

std::vector<SetupSection>& Sections() {
    static std::vector<SetupSection> sections;
    return sections;
}

std::string AskSavePath(QWidget* parent, const SavePathRequest& r) {
    QFileDialog d(parent, QString(), QString::fromStdString(g_settings.Data), "QVL(*.QVL)");
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix("QVL");
    d.selectFile(r.initialName);
    if (!r.overwritePrompt) d.setOption(QFileDialog::DontConfirmOverwrite);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().first().toStdString();
}

SavePathAsker g_askSavePath = AskSavePath;

constexpr int kFirstYear = 2012, kLastYear = 2029;

QComboBox* Combo(const char* name, const std::vector<std::string>& entries) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    for (const std::string& e : entries) c->addItem(QString::fromStdString(e));
    return c;
}

std::vector<std::string> Numbers(int from, int to) {
    std::vector<std::string> e;
    for (int v = from; v <= to; ++v) e.push_back(std::to_string(v));
    return e;
}

QPushButton* Button(const char* text, const char* name) {
    return DialogButton(text, name);
}

} // namespace

void AddSetupSection(const SetupSection& section) {
    Sections().push_back(section);
}
void ClearSetupSectionsForTesting() {
    Sections().clear();
}
void SetSavePathAskerForTesting(SavePathAsker asker) {
    g_askSavePath = asker ? asker : AskSavePath;
}
std::string AskLoggerFilePath(QWidget* parent, const SavePathRequest& request) {
    return g_askSavePath(parent, request);
}

SetupDialog::SetupDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Setup");
    FillSetupForm(form_);
    refreshing_ = true; // filling the lists is not the user's choice
    Build();
    Refresh();
    ApplyLevel();
}

void SetupDialog::AddLevelled(QWidget* widget, int level) {
    levelled_.emplace_back(widget, level);
}

void SetupDialog::Build() {
    auto* top = new QVBoxLayout(this);
    auto* modeRow = new QHBoxLayout;
    modeList_ = Combo("mode", {kSetupLevelNames[0], kSetupLevelNames[1], kSetupLevelNames[2]});
    modeList_->setCurrentIndex(std::clamp(g_settings.ExpertMode, 0, 2));
    connect(modeList_, &QComboBox::currentIndexChanged, this, [this](int level) {
        ChooseSetupLevel(level);
        ApplyLevel();
    });
    modeRow->addWidget(modeList_);
    modeRow->addStretch();
    top->addLayout(modeRow);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(BuildLoggerGroup());
    left->addWidget(BuildClockGroup());
    columns->addLayout(left);
    if (!Sections().empty()) {
        auto* right = new QVBoxLayout;
        for (const SetupSection& s : Sections()) {
            auto* group = new QGroupBox(s.title);
            s.build(*this, *group);
            right->addWidget(group);
        }
        right->addStretch();
        columns->addLayout(right);
    }
    top->addLayout(columns);
    top->addLayout(BuildButtons());
}

QWidget* SetupDialog::BuildControl(int id) {
    const SetupFieldSpec& f = SetupField(id);
    switch (f.control) {
    case SetupControl::kList: {
        QComboBox* c = Combo(f.name, SetupFieldEntries(id));
        connect(c, &QComboBox::currentTextChanged, this,
                [this, id](const QString& t) { Edited(id, t.toStdString()); });
        return c;
    }
    case SetupControl::kField:
    case SetupControl::kText: {
        auto* e = new QLineEdit;
        e->setObjectName(f.name);
        connect(e, &QLineEdit::editingFinished, this, [this, id, e] {
            const std::string text = id == kSetMemo ? MemoBytesFromText(e->text(), kMemoFieldBytes)
                                                    : e->text().toStdString();
            Edited(id, text);
        });
        return e;
    }
    case SetupControl::kCheck: {
        auto* c = new QCheckBox(f.label);
        c->setObjectName(f.name);
        connect(c, &QCheckBox::toggled, this, [this, id](bool on) { Edited(id, on ? "1" : "0"); });
        return c;
    }
    case SetupControl::kRadio: {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* group = new QButtonGroup(row);
        const std::vector<std::string> entries = SetupFieldEntries(id);
        for (size_t i = 0; i < entries.size(); ++i) {
            auto* r = new QRadioButton(QString::fromStdString(entries[i]));
            r->setObjectName(QString("%1_%2").arg(f.name).arg(i));
            group->addButton(r);
            h->addWidget(r);
            radios_[id].push_back(r);
            connect(r, &QRadioButton::toggled, this, [this, id, text = entries[i]](bool on) {
                if (on) Edited(id, text);
            });
        }
        return row;
    }
    }
    return nullptr;
}

QGroupBox* SetupDialog::BuildLoggerGroup() {
    auto* group = new QGroupBox("Logger Setting");
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (int id = 0; id < kSetupFieldCount; ++id) {
        if (id == kSetMemo) continue; // under the saves
        const SetupFieldSpec& f = SetupField(id);
        controls_[id] = BuildControl(id);
        AddLevelled(controls_[id], f.level);
        if (id == kSetFinalRear) { // on the row of the front sprocket: "15 - 43"
            auto* dash = new QLabel("-");
            grid->addWidget(dash, row - 1, 2);
            grid->addWidget(controls_[id], row - 1, 3);
            continue;
        }
        if (f.control != SetupControl::kCheck) {
            auto* label = new QLabel(f.label);
            grid->addWidget(label, row, 0);
            AddLevelled(label, f.level);
        }
        grid->addWidget(controls_[id], row, 1);
        const char* unit = id == kSetLinkRatio ? "/ 100" : id == kSetLapMarker ? "/ Lap" : nullptr;
        if (unit) {
            auto* label = new QLabel(unit);
            grid->addWidget(label, row, 2);
            AddLevelled(label, f.level);
        }
        ++row;
    }
    auto* inputs = new QHBoxLayout;
    const char* names[4] = {"LAF 1", "LAF 2", "AUX 1", "AUX 2"};
    for (int k = 0; k < 4; ++k) {
        inputButtons_[k] = Button(names[k], names[k]);
        connect(inputButtons_[k], &QPushButton::clicked, this, [this, k] {
            if (g_setupDialogHooks.openInputCalculation)
                g_setupDialogHooks.openInputCalculation(this, k);
        });
        inputs->addWidget(inputButtons_[k]);
        AddLevelled(inputButtons_[k], kLevelStandard);
    }
    gearBox_ = Button("GearBox", "GearBox");
    connect(gearBox_, &QPushButton::clicked, this, [this] {
        if (g_setupDialogHooks.openGearBox) g_setupDialogHooks.openGearBox(this);
    });
    AddLevelled(gearBox_, kLevelStandard);
    inputs->addWidget(gearBox_);
    grid->addLayout(inputs, row++, 0, 1, 4);

    auto* firmwareLabel = new QLabel("Firmware Ver.");
    auto* firmware = new QLineEdit(QString::fromLatin1(FirmwareFieldText().c_str()));
    firmware->setObjectName("firmware");
    firmware->setReadOnly(true);
    grid->addWidget(firmwareLabel, row, 0);
    grid->addWidget(firmware, row++, 1, 1, 3);
    AddLevelled(firmwareLabel, kLevelExpert);
    AddLevelled(firmware, kLevelExpert);
    return group;
}

QGroupBox* SetupDialog::BuildClockGroup() {
    auto* group = new QGroupBox("Clock Setup");
    auto* h = new QHBoxLayout(group);
    const ClockSetTime now = LocalClockSetTime();
    const char* names[5] = {"Year", "Month", "day", "Hour", "Minute"};
    const int first[5] = {kFirstYear, 1, 1, 0, 0}, last[5] = {kLastYear, 12, 31, 23, 59};
    // A PC clock outside the list's years selects the nearest one.
    const int preset[5] = {std::clamp(now.year, kFirstYear, kLastYear), now.month, now.day,
                           now.hour, now.minute};
    for (int i = 0; i < 5; ++i) {
        h->addWidget(new QLabel(names[i]));
        clock_[i] = Combo(names[i], Numbers(first[i], last[i]));
        clock_[i]->setCurrentIndex(preset[i] - first[i]);
        h->addWidget(clock_[i]);
    }
    auto* save = Button("Clock Set File Save", "clock_save");
    connect(save, &QPushButton::clicked, this, &SetupDialog::SaveClock);
    h->addWidget(save);
    return group;
}

QBoxLayout* SetupDialog::BuildButtons() {
    auto* v = new QVBoxLayout;
    auto* saves = new QHBoxLayout;
    auto* setupSave = Button("Setup File Save", "setup_save");
    connect(setupSave, &QPushButton::clicked, this, &SetupDialog::SaveSetup);
    saves->addWidget(setupSave);
    saves->addStretch();
    v->addLayout(saves);

    auto* memoRow = new QHBoxLayout;
    controls_[kSetMemo] = BuildControl(kSetMemo);
    memoRow->addWidget(new QLabel("memo"));
    memoRow->addWidget(controls_[kSetMemo], 1);
    memoSave_ = Button("Memo Save", "memo_save");
    connect(memoSave_, &QPushButton::clicked, this, &SetupDialog::SaveMemo);
    AddLevelled(memoSave_, kLevelExpert);
    memoRow->addWidget(memoSave_);
    v->addLayout(memoRow);

    auto* others = new QHBoxLayout;
    auto* monitor = Button("RealTime Monitor", "realtime_monitor");
    monitor->setVisible(g_settings.RTM != 0 || DebugMode());
    connect(monitor, &QPushButton::clicked, this, [this] { OpenRealTimeMonitor(this); });
    canLogger_ = Button("CAN Logger Mode", "can_logger_mode");
    connect(canLogger_, &QPushButton::clicked, this, [this] {
        if (!g_setupDialogHooks.openCanLoggerSetting) return;
        g_setupDialogHooks.openCanLoggerSetting(this);
        done(0); // the Setup dialog ends with the CAN logger's
    });
    ruvu_ = Button("RUVU", "ruvu");
    ruvu_->setVisible(g_settings.RUVU != 0 || DebugMode());
    connect(ruvu_, &QPushButton::clicked, this, [this] {
        if (g_setupDialogHooks.openCorrectiveTools) g_setupDialogHooks.openCorrectiveTools(this);
    });
    auto* close = Button("CLOSE", "close");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {monitor, canLogger_, ruvu_}) others->addWidget(b);
    others->addStretch();
    others->addWidget(close);
    v->addLayout(others);
    return v;
}

void SetupDialog::Edited(int id, const std::string& text) {
    if (refreshing_) return;
    EditSetupField(form_, id, text);
    // The corrective tools' save takes the throttle range the same way.
    if (id == kSetAdjustTps) g_correctiveTools.positionAdjust = form_.value[id] != 0;
    Refresh(); // the clamped value, and what it enables
}

void SetupDialog::Refresh() {
    refreshing_ = true;
    for (int id = 0; id < kSetupFieldCount; ++id) {
        QWidget* w = controls_[id];
        w->setEnabled(SetupFieldEnabled(form_, id));
        const std::string text = SetupFieldText(form_, id);
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            c->setCurrentText(QString::fromStdString(text));
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            const QString shown =
                id == kSetMemo ? MemoTextFromBytes(text) : QString::fromStdString(text);
            if (e->text() != shown) e->setText(shown);
        } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
            b->setChecked(form_.value[id] != 0);
        }
        for (size_t i = 0; i < radios_[id].size(); ++i)
            static_cast<QRadioButton*>(radios_[id][i])->setChecked(form_.value[id] == int(i));
    }
    const bool binary = File1HoldsBinaryLog();
    for (int k = 0; k < 4; ++k)
        inputButtons_[k]->setEnabled(binary && g_setupDialogHooks.openInputCalculation);
    const bool gearBoxFile = binary || SlotOf(0).file.fileKind == kFileCsv;
    gearBox_->setEnabled(gearBoxFile && g_setupDialogHooks.openGearBox);
    memoSave_->setEnabled(binary);
    ruvu_->setEnabled(g_setupDialogHooks.openCorrectiveTools != nullptr);
    canLogger_->setEnabled(g_setupDialogHooks.openCanLoggerSetting != nullptr);
    refreshing_ = false;
}

void SetupDialog::ApplyLevel() {
    const int level = std::clamp(g_settings.ExpertMode, 0, 2);
    for (auto& [widget, from] : levelled_) widget->setVisible(level >= from);
}

// A field still being typed into counts as left when a save reads the fields.
void SetupDialog::TakeTypedFields() {
    for (int id = 0; id < kSetupFieldCount; ++id) {
        auto* e = qobject_cast<QLineEdit*>(controls_[id]);
        if (!e || !e->isEnabled()) continue;
        const std::string text = id == kSetMemo ? MemoBytesFromText(e->text(), kMemoFieldBytes)
                                                : e->text().toStdString();
        EditSetupField(form_, id, text);
    }
    Refresh();
}

void SetupDialog::SaveSetup() {
    TakeTypedFields();
    if (!SetupFileBaseLoaded()) return;
    ReadSetupForm(form_);
    const std::string path = AskLoggerFilePath(this, {"SETUP.QVL", true});
    if (path.empty()) return;
    SaveSetupFile(path, FormPositionAdjust(form_));
    // The fields show the values as normalised for the file; the ticks stay.
    const SetupForm before = form_;
    FillSetupForm(form_);
    for (int id : {kSetAdjustTps, kSetAdjustFront, kSetAdjustRear})
        form_.value[id] = before.value[id];
    Refresh();
}

void SetupDialog::SaveClock() {
    ClockSetTime t;
    t.year = clock_[0]->currentIndex() + kFirstYear;
    t.month = clock_[1]->currentIndex() + 1;
    t.day = clock_[2]->currentIndex() + 1;
    t.hour = clock_[3]->currentIndex();
    t.minute = clock_[4]->currentIndex();
    g_clockSet = t;
    const std::string path = AskLoggerFilePath(this, {"TIME.QVL", false});
    if (!path.empty()) SaveClockSetFile(path, t);
}

void SetupDialog::SaveMemo() {
    TakeTypedFields();
    SaveMemoToLogFile(form_.memo);
}

void SetupDialog::done(int result) {
    if (closing_) return;
    closing_ = true;
    for (const SetupSection& s : Sections())
        if (s.closed) s.closed(*this);
    QDialog::done(result);
}

void OpenSetupDialog(QWidget* parent) {
    SetupDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
