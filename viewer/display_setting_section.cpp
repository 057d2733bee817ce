#include "viewer/display_setting_section.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/settings.h"
#include "logger/file_load_setting_dialog.h"
#include "logger/gearbox_setting_dialog.h"
#include "logger/input_calculation_dialog.h"
#include "render/render_qt.h"
#include "viewer/corrective_tools_dialog.h"
#include "viewer/graph_setting_dialog.h"
#include "viewer/graph_settings.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

constexpr int kDisplayChannels = 14; // the fixed columns 0-13, in this order
const char* const kChannelLabels[kDisplayChannels] = {
    "Ne",   "TH", "VFW",  "VRW",  "FrSUS",     "RrSUS",      "LAF1",
    "LAF2", "VB", "AUX1", "AUX2", "SlipRatio", "FrSusSpeed", "RrSusSpeed"};
constexpr int kFirstExpertChannel = 11; // SlipRatio and the suspension speeds

// One pane of per-file flags; the second shows the chosen comparison file.
struct Pane {
    FileSlot slot = 0;
    QPointer<QGroupBox> box;
    QCheckBox* shown[kDisplayChannels] = {};
    QRadioButton* marks[3] = {};
};
Pane g_panes[2];
FileSlot g_comparison = 1;
bool g_refreshing = false;

// A display switch: a settings key (or one bit of it) and what changes with it.
struct Switch {
    const char* label;
    int Settings::*key;
    int bit;          // -1: the whole key is 0 or 1
    void (*effect)(); // nullptr: the viewer follows on the next pass
    int level;
};

void RebuildColours() {
    RebuildSchemeResources();
}
void FollowCourseMapSwitch() {
    g_courseLayout.courseLayoutOn = g_settings.CourseLayout_on != 0;
}
void FollowStatusViewSwitch() {
    g_view.StatusViewOn = g_settings.SusgramDisplay;
}

const Switch kSwitches[] = {
    {"CursorValue", &Settings::CursolValueMode, 0, nullptr, kLevelEasy},
    {"ColorType", &Settings::colortype, -1, RebuildColours, kLevelEasy},
    {"FillGrid", &Settings::GridFill, -1, nullptr, kLevelEasy},
    {"CourseMAP", &Settings::CourseLayout_on, -1, FollowCourseMapSwitch, kLevelEasy},
    {"Body View", &Settings::BodyDisplay, -1, nullptr, kLevelEasy},
    {"SusHistogram", &Settings::SusgramDisplay, -1, FollowStatusViewSwitch, kLevelEasy},
    {"memo", &Settings::Memo_view, -1, nullptr, kLevelEasy},
    {"HD Display", &Settings::HD_Display, -1, RebuildColours, kLevelEasy},
    {"Ne Smoothing", &Settings::smoothingNE, -1, nullptr, kLevelStandard},
    {"VxW Smoothing", &Settings::smoothingVW, -1, nullptr, kLevelStandard},
};

bool SwitchOn(const Switch& s) {
    const int v = g_settings.*s.key;
    return s.bit < 0 ? v != 0 : (v >> s.bit & 1) != 0;
}

void SetSwitch(const Switch& s, bool on) {
    int& v = g_settings.*s.key;
    v = s.bit < 0 ? (on ? 1 : 0) : (on ? v | 1 << s.bit : v & ~(1 << s.bit));
    if (s.effect) s.effect();
    RequestRedraw(kRedrawFull);
}

void FillPane(Pane& p) {
    if (!p.box) return;
    g_refreshing = true;
    p.box->setTitle(QString("File %1").arg(p.slot + 1));
    for (int i = 0; i < kDisplayChannels; ++i)
        p.shown[i]->setChecked(g_graph.GraphVisible[p.slot][i] != 0);
    for (int m = 0; m < 3; ++m) p.marks[m]->setChecked(MarksPerLap(p.slot) == m + 1);
    g_refreshing = false;
}

void ChooseMarksPerLap(FileSlot slot, int marksPerLap) {
    SetMarksPerLap(slot, marksPerLap);
    ComputeSegments(slot);
    ResetLapChecks(slot);
    ComputeLapStatistics();
    RequestRedraw(kRedrawFull);
}

QGroupBox* BuildPane(SetupDialog& dialog, Pane& p, const char* prefix) {
    p.box = new QGroupBox;
    auto* grid = new QGridLayout(p.box);
    Pane* pane = &p;
    for (int i = 0; i < kDisplayChannels; ++i) {
        auto* box = new QCheckBox(kChannelLabels[i]);
        box->setObjectName(QString("%1_%2").arg(prefix, kChannelLabels[i]));
        QObject::connect(box, &QCheckBox::toggled, box, [pane, i](bool on) {
            if (g_refreshing) return;
            g_graph.GraphVisible[pane->slot][i] = on ? 1 : 0;
            RequestRedraw(kRedrawFull);
        });
        auto* dots = new QPushButton("...");
        dots->setObjectName(QString("%1_dots_%2").arg(prefix, kChannelLabels[i]));
        dots->setAutoDefault(false);
        dots->setMaximumWidth(28);
        QObject::connect(dots, &QPushButton::clicked, dots, [i] { OpenGraphSettingDialog(i); });
        grid->addWidget(box, i, 0);
        grid->addWidget(dots, i, 1);
        if (i >= kFirstExpertChannel) {
            dialog.AddLevelled(box, kLevelExpert);
            dialog.AddLevelled(dots, kLevelExpert);
        }
        p.shown[i] = box;
    }
    for (int m = 0; m < 3; ++m) {
        const QString label = QString("%1 mark/lap").arg(m + 1);
        p.marks[m] = new QRadioButton(label);
        p.marks[m]->setObjectName(QString("%1_%2").arg(prefix, label));
        QObject::connect(p.marks[m], &QRadioButton::toggled, p.marks[m], [pane, m](bool on) {
            if (on && !g_refreshing) ChooseMarksPerLap(pane->slot, m + 1);
        });
        grid->addWidget(p.marks[m], kDisplayChannels + m, 0, 1, 2);
    }
    return p.box;
}

QComboBox* CourseList() {
    auto* list = new QComboBox;
    list->setObjectName("course_list");
    const std::string& home = g_session.programDirectory;
    const QDir dir(QString::fromStdString(home.empty() ? "." : home));
    list->addItems(dir.entryList({"*.crs"}, QDir::Files, QDir::Name));
    list->setCurrentIndex(list->findText(QString::fromStdString(g_settings.CourseFile_name)));
    return list;
}

void BuildDisplaySetting(SetupDialog& dialog, QGroupBox& group) {
    SaveSectorFile(); // the boundaries as they stand, before the course may change
    auto* top = new QVBoxLayout(&group);
    if (!SlotOf(1).active && SlotOf(2).active) g_comparison = 2;
    g_panes[0].slot = 0;
    g_panes[1].slot = g_comparison;
    auto* comparison = new QComboBox;
    comparison->setObjectName("comparison_file");
    comparison->addItems({"File 2", "File 3"});
    comparison->setCurrentIndex(g_comparison - 1);
    QObject::connect(comparison, &QComboBox::currentIndexChanged, comparison, [](int index) {
        g_comparison = g_panes[1].slot = index + 1;
        FillPane(g_panes[1]);
    });
    auto* panes = new QHBoxLayout;
    panes->addWidget(BuildPane(dialog, g_panes[0], "f1"));
    auto* second = new QVBoxLayout;
    second->addWidget(comparison);
    second->addWidget(BuildPane(dialog, g_panes[1], "f2"));
    panes->addLayout(second);
    top->addLayout(panes);
    for (Pane& p : g_panes) FillPane(p);

    auto* switches = new QGridLayout;
    std::vector<std::pair<QCheckBox*, const Switch*>> boxes;
    int n = 0;
    for (const Switch& s : kSwitches) {
        auto* box = new QCheckBox(s.label);
        box->setObjectName(s.label);
        box->setChecked(SwitchOn(s));
        QObject::connect(box, &QCheckBox::toggled, box, [&s](bool on) {
            if (!g_refreshing) SetSwitch(s, on);
        });
        dialog.AddLevelled(box, s.level);
        if (s.key == &Settings::HD_Display)
            box->setVisible(DebugMode() || g_settings.HD_Display != 0);
        switches->addWidget(box, n / 2, n % 2);
        boxes.emplace_back(box, &s);
        ++n;
    }
    top->addLayout(switches);
    // The easy level switches the smoothing off: the boxes follow.
    if (auto* mode = dialog.findChild<QComboBox*>("mode")) {
        QObject::connect(mode, &QComboBox::currentIndexChanged, &group, [boxes] {
            g_refreshing = true;
            for (const auto& [box, s] : boxes) box->setChecked(SwitchOn(*s));
            g_refreshing = false;
        });
    }

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CourseList(), 1);
    auto* extend = new QPushButton("Extend");
    extend->setObjectName("Extend");
    extend->setAutoDefault(false);
    QObject::connect(extend, &QPushButton::clicked, &dialog,
                     [&dialog] { OpenFileLoadSetting(&dialog); });
    dialog.AddLevelled(extend, kLevelStandard);
    bottom->addWidget(extend);
    top->addLayout(bottom);
}

void DisplaySettingClosed(SetupDialog& dialog) {
    // With no course chosen the course stays what it was.
    if (auto* list = dialog.findChild<QComboBox*>("course_list"); list && list->currentIndex() >= 0)
        g_settings.CourseFile_name = list->currentText().toStdString();
    const bool loaded = LoadCourseLayout();
    if (!loaded) g_settings.CourseLayout_on = 0;
    g_courseLayout.courseLayoutOn = g_settings.CourseLayout_on != 0;
    RequestRedraw(kRedrawFull);
    if (QWidget* main = RenderMainWindow()) {
        main->raise();
        main->activateWindow();
    }
}

bool ReloadThroughOpenFlow(const std::string& path) {
    return OpenFileIntoSlot(0, path);
}

} // namespace

SetupSection DisplaySettingSection() {
    return {"Display Setting", BuildDisplaySetting, DisplaySettingClosed};
}

void InstallSetupDialogParts() {
    g_setupDialogHooks.openInputCalculation = OpenInputCalculation;
    g_setupDialogHooks.openGearBox = OpenGearBoxSetting;
    g_setupDialogHooks.openFileLoadSetting = OpenFileLoadSetting;
    g_setupDialogHooks.openCorrectiveTools = [](QWidget*) { OpenCorrectiveTools(); };
    SetInputOverwriteReload(ReloadThroughOpenFlow);
    static bool added = false;
    if (!added) AddSetupSection(DisplaySettingSection());
    added = true;
}

} // namespace qvtk
