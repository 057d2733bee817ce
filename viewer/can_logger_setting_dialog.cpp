#include "viewer/can_logger_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "analysis/course_layout.h"
#include "data/settings.h"
#include "logger/can_setup_file.h"
#include "logger/channel_table_dialog.h"
#include "logger/memo_text.h"
#include "logger/setup_dialog.h"
#include "logger/setup_files.h"
#include "platform/dialog_button_widget.h"
#include "viewer/channel_order_dialog.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_setting_dialog.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

constexpr int kDisplayPageStep = 4;
const char* const kFlagNames[4] = {"on/off", "f1", "f2", "f3"};

QPushButton* Button(const char* text, const char* name) {
    return DialogButton(text, name);
}

QCheckBox* Check(const char* text, const char* name, bool on) {
    auto* c = new QCheckBox(text);
    c->setObjectName(name);
    c->setChecked(on);
    return c;
}

// A display flag of a channel column: 0 shown at all, 1-3 drawn for File 1-3.
bool DisplayFlag(int flag, int column) {
    if (flag == 0) return SlotOf(0).channelFlags[column] & kChannelShown;
    return g_graph.GraphVisible[flag - 1][column] != 0;
}

void SetDisplayFlag(int flag, int column, bool on) {
    if (flag > 0) {
        g_graph.GraphVisible[flag - 1][column] = on;
        return;
    }
    for (Slot& s : g_session.slots)
        if (IsPresent(s, column))
            s.channelFlags[column] = on ? s.channelFlags[column] | kChannelShown
                                        : s.channelFlags[column] & ~kChannelShown;
}

std::vector<std::string> LayoutFiles() {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(g_session.programDirectory, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file(ec) && it->path().extension() == ".lay")
            names.push_back(it->path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

void RefreshViewer() {
    RebuildGraphList();
    RequestRedraw(kRedrawFull);
}

} // namespace

CanLoggerSettingDialog::CanLoggerSettingDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("CAN Logger Setting");
    FillCanSetupForm(form_);
    refreshing_ = true; // filling the lists is not the user's choice
    auto* top = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    columns->addWidget(BuildLoggerSection());
    columns->addWidget(BuildDisplaySection());
    top->addLayout(columns);
    top->addWidget(BuildButtons());
    Refresh();
    FillDisplayRows();
}

QWidget* CanLoggerSettingDialog::BuildControl(int id) {
    const CanFieldSpec& f = CanField(id);
    QWidget* w = nullptr;
    switch (f.control) {
    case SetupControl::kList: {
        auto* c = new QComboBox;
        for (const std::string& e : CanFieldEntries(id)) c->addItem(QString::fromStdString(e));
        connect(c, &QComboBox::currentTextChanged, this,
                [this, id](const QString& t) { Edited(id, t.toStdString()); });
        w = c;
        break;
    }
    case SetupControl::kCheck: {
        auto* c = new QCheckBox(f.label);
        connect(c, &QCheckBox::toggled, this, [this, id](bool on) { Edited(id, on ? "1" : "0"); });
        w = c;
        break;
    }
    default: {
        auto* e = new QLineEdit;
        if (id == kCanMemo) e->setMaxLength(int(kCanMemoBytes));
        connect(e, &QLineEdit::editingFinished, this, [this, id, e] {
            Edited(id, id == kCanMemo ? MemoBytesFromText(e->text(), kCanMemoBytes)
                                      : e->text().toStdString());
        });
        w = e;
        break;
    }
    }
    w->setObjectName(f.name);
    controls_[id] = w;
    return w;
}

QWidget* CanLoggerSettingDialog::BuildLoggerSection() {
    // Two columns of groups, so that the whole dialog fits on a laptop's screen.
    auto* section = new QWidget;
    auto* v = new QVBoxLayout(section);
    v->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    v->addLayout(columns);
    auto group = [&](QVBoxLayout* into, const char* title, std::initializer_list<int> ids) {
        auto* g = new QGroupBox(title);
        auto* grid = new QGridLayout(g);
        int row = 0;
        for (int id : ids) {
            QWidget* w = BuildControl(id);
            if (CanField(id).control != SetupControl::kCheck)
                grid->addWidget(new QLabel(CanField(id).label), row, 0);
            grid->addWidget(w, row++, 1);
        }
        into->addWidget(g);
        return grid;
    };
    group(left, "Sampling Rate", {kCanSamplingRate});
    group(left, "LAP", {kCanLapSignalType, kCanLapOut, kCanMarkerOfLap});
    group(left, "Start conditions", {kCanStartCondition, kCanStartValue, kCanStartSource});
    QGridLayout* gear = group(left, "GearRatio", {kCanFinalFront, kCanFinalRear});
    auto* gearBox = Button("GearBox", "gearbox");
    gearBox->setEnabled(g_setupDialogHooks.openGearBox != nullptr);
    connect(gearBox, &QPushButton::clicked, this, [this] { g_setupDialogHooks.openGearBox(this); });
    gear->addWidget(gearBox, 2, 1);
    group(left, "Tire (mm)", {kCanVfwTire, kCanVrwTire});
    left->addStretch();
    group(right, "CourseMAP", {kCanCourse});
    auto* buses = new QHBoxLayout;
    for (const auto& [title, ids] :
         {std::pair{"CAN 1(for ECU)", std::vector{kCan1BitRate, kCan1Terminator, kCan1ListenOnly}},
          std::pair{"CAN 2(for Ext)",
                    std::vector{kCan2BitRate, kCan2Terminator, kCan2ListenOnly}}}) {
        auto* g = new QGroupBox(title);
        auto* gv = new QVBoxLayout(g);
        gv->addWidget(new QLabel("Bitrate"));
        for (int id : ids) gv->addWidget(BuildControl(id));
        buses->addWidget(g);
    }
    right->addLayout(buses);
    right->addWidget(BuildClockGroup());
    auto* zero = new QGroupBox("Zero Position Adjust");
    auto* zh = new QHBoxLayout(zero);
    for (int id = kCanZeroFrSus; id <= kCanZeroTps; ++id) zh->addWidget(BuildControl(id));
    right->addWidget(zero);

    auto* firmwareRow = new QHBoxLayout;
    auto* chSetup = Button("CH Setup", "ch_setup");
    connect(chSetup, &QPushButton::clicked, this, [this] { OpenLoggingChannelSetting(this); });
    firmwareRow->addWidget(chSetup);
    firmwareRow->addWidget(new QLabel("Firmware Ver."));
    auto* firmware = new QLineEdit(QString::fromLatin1(FirmwareFieldText().c_str()));
    firmware->setObjectName("firmware");
    firmware->setReadOnly(true);
    firmwareRow->addWidget(firmware);
    right->addLayout(firmwareRow);
    right->addStretch();
    auto* memoRow = new QHBoxLayout;
    memoRow->addWidget(new QLabel("memo"));
    memoRow->addWidget(BuildControl(kCanMemo), 1);
    auto* memo = Button("Overwrite Memo", "overwrite_memo");
    connect(memo, &QPushButton::clicked, this, [this] {
        TakeTypedFields();
        OverwriteMemoInCanLog(form_.memo);
    });
    memoRow->addWidget(memo);
    v->addLayout(memoRow);
    return section;
}

QWidget* CanLoggerSettingDialog::BuildClockGroup() {
    auto* g = new QGroupBox("Clock Set");
    auto* grid = new QGridLayout(g);
    grid->addWidget(BuildControl(kCanGpsClock), 0, 0);
    grid->addWidget(new QLabel("TimeZone"), 0, 1);
    grid->addWidget(BuildControl(kCanZoneHour), 0, 2);
    grid->addWidget(BuildControl(kCanZoneMinute), 0, 3);
    for (int id = kCanYear; id <= kCanMinute; ++id) {
        grid->addWidget(new QLabel(CanField(id).label), 1, 2 * (id - kCanYear));
        grid->addWidget(BuildControl(id), 2, 2 * (id - kCanYear));
    }
    clockSave_ = Button("Clock Set File Save", "clock_save");
    connect(clockSave_, &QPushButton::clicked, this, &CanLoggerSettingDialog::SaveClock);
    grid->addWidget(clockSave_, 3, 0, 1, 4);
    return g;
}

QWidget* CanLoggerSettingDialog::BuildDisplaySection() {
    auto* section = new QGroupBox("Display");
    auto* v = new QVBoxLayout(section);
    auto* rows = new QHBoxLayout;
    auto* grid = new QGridLayout;
    for (int flag = 0; flag < 4; ++flag) {
        const QString name = QString("all_%1").arg(flag == 0 ? "on" : kFlagNames[flag]);
        auto* header = new QPushButton(kFlagNames[flag]);
        header->setObjectName(name);
        header->setAutoDefault(false);
        connect(header, &QPushButton::clicked, this, [this, flag] { ToggleAll(flag); });
        grid->addWidget(header, 0, flag + 1);
    }
    for (int r = 0; r < kDisplayRowsShown; ++r) {
        rowName_[r] = new QLabel;
        grid->addWidget(rowName_[r], r + 1, 0);
        for (int flag = 0; flag < 4; ++flag) {
            auto* c = new QCheckBox;
            c->setObjectName(QString("%1_%2").arg(flag == 0 ? "on" : kFlagNames[flag]).arg(r));
            connect(c, &QCheckBox::toggled, this, [this, r, flag](bool on) {
                if (refreshing_) return;
                SetDisplayFlag(flag, firstRow_ + r, on);
                RequestRedraw(kRedrawFull);
            });
            rowFlag_[r][flag] = c;
            grid->addWidget(c, r + 1, flag + 1);
        }
        auto* more = Button("...", "");
        more->setObjectName(QString("graph_%1").arg(r));
        connect(more, &QPushButton::clicked, this,
                [this, r] { OpenGraphSettingDialog(firstRow_ + r); });
        grid->addWidget(more, r + 1, 5);
    }
    rows->addLayout(grid);
    displayScroll_ = new QScrollBar(Qt::Vertical);
    displayScroll_->setObjectName("display_scroll");
    displayScroll_->setRange(0, kColumnCount - kDisplayRowsShown);
    displayScroll_->setSingleStep(1);
    displayScroll_->setPageStep(kDisplayPageStep);
    connect(displayScroll_, &QScrollBar::valueChanged, this, [this](int first) {
        firstRow_ = first;
        FillDisplayRows();
    });
    rows->addWidget(displayScroll_);
    v->addLayout(rows);

    auto* switches = new QHBoxLayout;
    auto* colorType = Check("ColorType", "color_type", g_settings.colortype == 1);
    connect(colorType, &QCheckBox::toggled, this, [](bool on) {
        g_settings.colortype = on;
        RequestRedraw(kRedrawFull);
    });
    auto* fillGrid = Check("FillGrid", "fill_grid", g_settings.GridFill != 0);
    connect(fillGrid, &QCheckBox::toggled, this, [](bool on) {
        g_settings.GridFill = on;
        RequestRedraw(kRedrawFull);
    });
    auto* statusView = Check("StatusView", "status_view", g_view.StatusViewOn != 0);
    connect(statusView, &QCheckBox::toggled, this, [](bool on) {
        g_view.StatusViewOn = g_settings.SusgramDisplay = on;
        RequestRedraw(kRedrawFull);
    });
    auto* sort = Button("Sort CH", "sort_ch");
    connect(sort, &QPushButton::clicked, this, [this] {
        ShowChannelOrder();
        FillDisplayRows();
    });
    for (QWidget* w : std::initializer_list<QWidget*>{colorType, fillGrid, statusView, sort})
        switches->addWidget(w);
    v->addLayout(switches);

    layouts_ = new QListWidget;
    layouts_->setObjectName("layouts");
    layouts_->setSelectionMode(QAbstractItemView::MultiSelection);
    layouts_->setMaximumHeight(140);
    for (const std::string& name : LayoutFiles()) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), layouts_);
        const std::string* begin = g_layoutList.names;
        const std::string* end = begin + g_layoutList.count;
        item->setSelected(std::find(begin, end, name) != end);
    }
    v->addWidget(layouts_);
    auto* layoutRow = new QHBoxLayout;
    auto* saveLayout = Button("Save Layout", "save_layout");
    connect(saveLayout, &QPushButton::clicked, this, [this] {
        SaveLayout(1);
        done(0);
    });
    auto* fileOpen = Button("File Open Setting", "file_open_setting");
    fileOpen->setEnabled(g_setupDialogHooks.openFileLoadSetting != nullptr);
    connect(fileOpen, &QPushButton::clicked, this,
            [this] { g_setupDialogHooks.openFileLoadSetting(this); });
    layoutRow->addWidget(saveLayout);
    layoutRow->addWidget(fileOpen);
    v->addLayout(layoutRow);
    return section;
}

QWidget* CanLoggerSettingDialog::BuildButtons() {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    auto* create = Button("Create Setup File", "create_setup_file");
    connect(create, &QPushButton::clicked, this, &CanLoggerSettingDialog::CreateSetupFile);
    auto* ok = Button("OK", "ok");
    connect(ok, &QPushButton::clicked, this, [this] {
        takeOver_ = true;
        done(QDialog::Accepted);
    });
    auto* qvl = Button("QVL MODE", "qvl_mode");
    connect(qvl, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    h->addWidget(create);
    h->addStretch();
    h->addWidget(ok);
    h->addWidget(qvl);
    return row;
}

void CanLoggerSettingDialog::Edited(int id, const std::string& text) {
    if (refreshing_) return;
    EditCanField(form_, id, text);
    Refresh(); // the clamped value, and what it enables
}

void CanLoggerSettingDialog::Refresh() {
    refreshing_ = true;
    for (int id = 0; id < kCanFieldCount; ++id) {
        QWidget* w = controls_[id];
        w->setEnabled(CanFieldEnabled(form_, id));
        const std::string text = CanFieldText(form_, id);
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            c->setCurrentIndex(c->findText(QString::fromStdString(text)));
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            const QString shown =
                id == kCanMemo ? MemoTextFromBytes(text) : QString::fromStdString(text);
            if (e->text() != shown) e->setText(shown);
        } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
            b->setChecked(form_.value[id] != 0);
        }
    }
    clockSave_->setEnabled(form_.value[kCanGpsClock] == 0);
    refreshing_ = false;
}

void CanLoggerSettingDialog::FillDisplayRows() {
    refreshing_ = true;
    for (int r = 0; r < kDisplayRowsShown; ++r) {
        const int column = firstRow_ + r;
        const ChannelInfo& info = SlotOf(0).channels[column];
        rowName_[r]->setText(QString("%1 %2").arg(column).arg(QString::fromLatin1(info.name)));
        for (int flag = 0; flag < 4; ++flag)
            rowFlag_[r][flag]->setChecked(DisplayFlag(flag, column));
        rowFlag_[r][0]->setEnabled(IsPresent(SlotOf(0), column)); // only for recorded channels
    }
    refreshing_ = false;
}

void CanLoggerSettingDialog::ToggleAll(int flag) {
    bool allOn = true;
    for (int column = 0; column < kColumnCount; ++column)
        if ((flag != 0 || IsPresent(SlotOf(0), column)) && !DisplayFlag(flag, column))
            allOn = false;
    for (int column = 0; column < kColumnCount; ++column) SetDisplayFlag(flag, column, !allOn);
    FillDisplayRows();
    RequestRedraw(kRedrawFull);
}

// A field still being typed into counts as left when a button reads the fields.
void CanLoggerSettingDialog::TakeTypedFields() {
    for (int id = 0; id < kCanFieldCount; ++id) {
        auto* e = qobject_cast<QLineEdit*>(controls_[id]);
        if (!e || !e->isEnabled()) continue;
        EditCanField(form_, id,
                     id == kCanMemo ? MemoBytesFromText(e->text(), kCanMemoBytes)
                                    : e->text().toStdString());
    }
    Refresh();
}

void CanLoggerSettingDialog::CreateSetupFile() {
    TakeTypedFields();
    ReadCanSetupForm(form_);
    const std::string path = AskLoggerFilePath(this, {"SETUP.QVL", true});
    if (path.empty()) return;
    SaveCanSetupFile(path, FormZeroAdjust(form_), FormCourse(form_));
}

void CanLoggerSettingDialog::SaveClock() {
    const ClockSetTime t = FormClockTime(form_);
    g_clockSet = t;
    const std::string path = AskLoggerFilePath(this, {"TIME.QVL", false});
    if (!path.empty()) SaveClockSetFile(path, t);
}

void CanLoggerSettingDialog::TakeOverSelections() {
    if (!form_.course.empty() && form_.course != g_settings.CourseFile_name) {
        g_settings.CourseFile_name = form_.course;
        g_courseLayout.courseLayoutOn = LoadCourseLayout() && g_courseLayout.courseLayoutOn;
    }
    g_layoutList = LayoutList();
    for (int i = 0; i < layouts_->count() && g_layoutList.count < kMaxLayouts; ++i)
        if (layouts_->item(i)->isSelected())
            g_layoutList.names[g_layoutList.count++] = layouts_->item(i)->text().toStdString();
}

void CanLoggerSettingDialog::done(int result) {
    if (takeOver_) TakeOverSelections();
    RefreshViewer();
    QDialog::done(result);
}

void OpenCanLoggerSetting(QWidget* parent) {
    CanLoggerSettingDialog dialog(parent);
    dialog.exec();
    SyncToolbar();
}

} // namespace qvtk
