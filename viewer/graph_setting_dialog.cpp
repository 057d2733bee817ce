#include "viewer/graph_setting_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string>

#include "data/settings.h"
#include "render/render_qt.h"
#include "viewer/graph_settings.h"

namespace qvtk {

namespace {

constexpr int kIdMin = 1185, kIdMax = 1186, kIdStep = 1187;
constexpr int kIdGridDisplay = 1130, kIdAutoScale = 1132, kIdExclusive = 1131;
constexpr int kIdGraphClip = 40001, kIdFilledGraph = 40000;
constexpr int kIdSync = 40003, kIdReleaseAll = 2274, kIdClose = 1;
constexpr int kIdSwatch = 1350;

struct RadioGroup {
    const char* name;
    int firstId;
    int32_t GraphCodeSettings::*field;
};
constexpr RadioGroup kRadioGroups[] = {
    {"File1", 1267, &GraphCodeSettings::ColorFile1},
    {"File2", 1276, &GraphCodeSettings::ColorFile2},
    {"File3", 1285, &GraphCodeSettings::ColorFile3},
    {"onlyF1", 1294, &GraphCodeSettings::ColorOnlyFile1},
};
constexpr int kOnlyF1Group = 3;

struct Check {
    int id;
    const char* text;
    int32_t GraphCodeSettings::*field;
};

template <class W> W* Named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// A swatch shows the palette colour as text on the scheme's background.
QLabel* Swatch(int index) {
    auto* label = Named(new QLabel(QStringLiteral("\u25A0\u25A0\u25A0\u25A0")), kIdSwatch + index);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, g_settings.colortype == 1 ? Qt::white : Qt::black);
    p.setColor(QPalette::WindowText, QColor::fromRgb(PaletteColor(index)));
    label->setPalette(p);
    label->setAutoFillBackground(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

GraphSettingDialog::GraphSettingDialog(int column, QWidget* parent)
    : QDialog(parent), view_(OpenGraphSetting(column)) {
    setObjectName(QStringLiteral("1004"));
    setWindowTitle(QStringLiteral("Graph Setting"));
    Build();
}

void GraphSettingDialog::Build() {
    // The settings of the code are edited in place; the table outlives the dialog.
    GraphCodeSettings* g = &GraphOf(view_.code);
    auto* top = new QVBoxLayout(this);

    // Range and grid.
    auto* grid = new QGroupBox(QStringLiteral("Grid"));
    auto* form = new QGridLayout(grid);
    auto edit = [&](int id, const char* label, const std::string& text, int row) {
        auto* e = Named(new QLineEdit(Text(text)), id);
        form->addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
        form->addWidget(e, row, 1);
        return e;
    };
    min_ = edit(kIdMin, "Min", view_.minText, 0);
    max_ = edit(kIdMax, "Max", view_.maxText, 1);
    step_ = edit(kIdStep, "Step", view_.stepText, 2);
    for (QLineEdit* e : {min_, max_, step_})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { TakeEdit(e); });
    top->addWidget(grid);

    // Switches, written at once.
    const Check checks[] = {
        {kIdGridDisplay, "Grid Display", &GraphCodeSettings::GridShown},
        {kIdAutoScale, "Auto Scale", &GraphCodeSettings::GraphAuto},
        {kIdGraphClip, "Graph Clip", &GraphCodeSettings::GraphClip},
        {kIdFilledGraph, "Filled Graph", &GraphCodeSettings::PlotType},
    };
    for (const Check& c : checks) {
        auto* box = Named(new QCheckBox(QString::fromLatin1(c.text)), c.id);
        box->setChecked(g->*c.field != 0);
        auto field = c.field;
        connect(box, &QCheckBox::clicked, this, [g, field](bool on) { g->*field = on ? 1 : 0; });
        if (c.id == kIdGridDisplay)
            form->addWidget(box, 3, 0, 1, 2);
        else
            top->addWidget(box);
    }

    // Palette colours: a row per palette index, a column per file.
    auto* colors = new QGroupBox(QStringLiteral("Color"));
    auto* table = new QGridLayout(colors);
    for (int i = 0; i < kPaletteSize; ++i) table->addWidget(Swatch(i), i + 1, 0);
    for (int k = 0; k < int(std::size(kRadioGroups)); ++k) {
        const RadioGroup& rg = kRadioGroups[k];
        auto* heading = new QLabel(QString::fromLatin1(rg.name));
        table->addWidget(heading, 0, k + 1, Qt::AlignHCenter);
        auto* group = new QButtonGroup(this);
        group->setObjectName(QString::fromLatin1(rg.name));
        if (k == kOnlyF1Group) onlyF1_.push_back(heading);
        for (int i = 0; i < kPaletteSize; ++i) {
            auto* radio = Named(new QRadioButton, rg.firstId + i);
            group->addButton(radio, i);
            radio->setChecked(g->*rg.field == i);
            table->addWidget(radio, i + 1, k + 1, Qt::AlignHCenter);
            if (k == kOnlyF1Group) onlyF1_.push_back(radio);
        }
        auto field = rg.field;
        connect(group, &QButtonGroup::idClicked, this, [g, field](int i) { g->*field = i; });
    }
    top->addWidget(colors);

    auto* exclusive = Named(new QCheckBox(QStringLiteral("color of  only File1")), kIdExclusive);
    exclusive->setChecked(g_settings.ExclusiveF1Color != 0);
    exclusive->setVisible(view_.exclusiveCheckShown);
    exclusive->setEnabled(view_.exclusiveCheckShown);
    connect(exclusive, &QCheckBox::clicked, this,
            [this](bool on) { ShowOnlyF1(SetExclusiveF1Color(on)); });
    top->addWidget(exclusive);
    ShowOnlyF1(view_.onlyF1Shown);

    // Graph synchronisation.
    auto* syncGroup = new QGroupBox(QStringLiteral("Graph synchronization"));
    auto* syncRow = new QHBoxLayout(syncGroup);
    sync_ = Named(new QComboBox, kIdSync);
    for (const std::string& t : view_.syncTexts) sync_->addItem(Text(t));
    sync_->setCurrentIndex(view_.syncSelection);
    syncRow->addWidget(sync_);
    auto* release = Named(new QPushButton(QStringLiteral("Release All CH")), kIdReleaseAll);
    release->setAutoDefault(false);
    connect(release, &QPushButton::clicked, this, [this] {
        ReleaseAllGraphOrder();
        for (int i = 0; i < int(view_.syncColumns.size()); ++i)
            if (view_.syncColumns[i] == view_.column) sync_->setCurrentIndex(i);
    });
    syncRow->addWidget(release);
    top->addWidget(syncGroup);

    auto* close = Named(new QPushButton(QStringLiteral("Close")), kIdClose);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, [this] { Close(); });
    top->addWidget(close, 0, Qt::AlignRight);
}

void GraphSettingDialog::ShowOnlyF1(bool shown) {
    for (QWidget* w : onlyF1_) {
        w->setVisible(shown);
        w->setEnabled(shown);
    }
}

void GraphSettingDialog::TakeEdit(QLineEdit* edit) {
    std::string typed = edit->text().toStdString();
    std::string shown = edit == min_   ? ApplyGraphMinText(view_.code, typed)
                        : edit == max_ ? ApplyGraphMaxText(view_.code, typed)
                                       : ApplyGraphStepText(view_.code, typed);
    edit->setText(Text(shown)); // also clears isModified
}

// A value typed but not yet taken (the edit still has the focus) counts when the dialog ends.
void GraphSettingDialog::ApplyPendingEdits() {
    for (QLineEdit* e : {min_, max_, step_})
        if (e->isModified()) TakeEdit(e);
}

void GraphSettingDialog::Close() {
    ApplyPendingEdits();
    int i = sync_->currentIndex();
    int syncColumn = i >= 0 && i < int(view_.syncColumns.size()) ? view_.syncColumns[i] : -1;
    CloseGraphSetting(view_.column, syncColumn);
    accept();
}

void GraphSettingDialog::reject() {
    ApplyPendingEdits();
    CloseGraphSettingBox(view_.column);
    QDialog::reject();
}

void OpenGraphSettingDialog(int column) {
    if (column < 0 || column >= kColumnCount) return;
    GraphSettingDialog dialog(column, RenderMainWindow());
    dialog.exec();
}

} // namespace qvtk
