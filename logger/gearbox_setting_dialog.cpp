#include "logger/gearbox_setting_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>

#include "data/settings.h"
#include "logger/gearbox_setting.h"
#include "platform/dialog_button_widget.h"

namespace qvtk {

namespace {

void RefreshControls(GearboxControls& c) {
    c.refreshing = true;
    for (auto& [id, w] : c.fields) {
        w->setVisible(GearboxFieldShown(id));
        const QString text = QString::fromStdString(GearboxFieldText(id));
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (e->text() != text) e->setText(text);
        } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
            b->setChecked(text == "1");
        } else {
            for (QRadioButton* r : w->findChildren<QRadioButton*>())
                r->setChecked(r->text() == text);
        }
    }
    for (auto& [id, w] : c.shownWith) w->setVisible(GearboxFieldShown(id));
    c.refreshing = false;
}

// The control of a field: a line edit applied when left, a check box or radio row at once.
QWidget* Control(GearboxControls& c, int id, std::function<void()> refresh) {
    const GearboxFieldSpec& f = GearboxField(id);
    auto edited = [&c, id, refresh](const std::string& text) {
        if (c.refreshing) return;
        EditGearboxField(id, text);
        refresh();
    };
    QWidget* w = nullptr;
    if (f.rule == GearboxRule::kCheck) {
        auto* box = new QCheckBox(QString::fromStdString(f.label));
        QObject::connect(box, &QCheckBox::toggled, box,
                         [edited](bool on) { edited(on ? "1" : "0"); });
        w = box;
    } else if (f.rule == GearboxRule::kRadio) {
        w = new QWidget;
        auto* row = new QHBoxLayout(w);
        row->setContentsMargins(0, 0, 0, 0);
        auto* group = new QButtonGroup(w);
        for (const std::string& entry : GearboxFieldEntries(id)) {
            auto* r = new QRadioButton(QString::fromStdString(entry));
            r->setObjectName(QString::fromStdString(entry));
            group->addButton(r);
            row->addWidget(r);
            QObject::connect(r, &QRadioButton::toggled, r, [edited, entry](bool on) {
                if (on) edited(entry);
            });
        }
    } else {
        auto* e = new QLineEdit;
        e->setMaximumWidth(70);
        QObject::connect(e, &QLineEdit::editingFinished, e,
                         [edited, e] { edited(e->text().toStdString()); });
        w = e;
    }
    w->setObjectName(QString::fromStdString(f.name));
    c.fields.emplace_back(id, w);
    return w;
}

QLabel* Label(GearboxControls& c, const char* text, int shownWith) {
    auto* label = new QLabel(text);
    c.shownWith.emplace_back(shownWith, label);
    return label;
}

QPushButton* Button(const char* text, const char* name) {
    return DialogButton(text, name);
}

} // namespace

GearBoxSettingDialog::GearBoxSettingDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("GearBox Setting");
    OpenGearBoxValues();
    Build();
    Refresh();
}

void GearBoxSettingDialog::Build() {
    auto refresh = [this] { Refresh(); };
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* heads[] = {"Primary", "1", "2", "3", "4", "5", "6", "N"};
    for (int col = 0; col < 8; ++col) grid->addWidget(new QLabel(heads[col]), 0, col + 1);
    grid->addWidget(new QLabel("Counter gear"), 1, 0);
    grid->addWidget(new QLabel("Main gear"), 2, 0);
    for (int pair = 0; pair < 7; ++pair) {
        grid->addWidget(Control(controls_, kGbTeeth + 2 * pair, refresh), 1, pair + 1);
        grid->addWidget(Control(controls_, kGbTeeth + 2 * pair + 1, refresh), 2, pair + 1);
    }
    grid->addWidget(new QLabel("RPM / Indicator"), 3, 0);
    for (int g = 0; g < 6; ++g) grid->addWidget(Control(controls_, kGbRpm + g, refresh), 3, g + 2);
    grid->addWidget(Control(controls_, kGbRpmNeutral, refresh), 3, 8);
    grid->addWidget(new QLabel("Hysteresis"), 4, 0);
    grid->addWidget(Control(controls_, kGbHysteresis, refresh), 4, 1);

    // The quick shifter's part.
    grid->addWidget(Label(controls_, "Reset", kGbReset), 5, 0);
    grid->addWidget(Control(controls_, kGbReset, refresh), 5, 1);
    grid->addWidget(Label(controls_, "Direction", kGbDirection), 5, 3);
    grid->addWidget(Control(controls_, kGbDirection, refresh), 5, 4, 1, 3);
    grid->addWidget(Label(controls_, "mV / Triger", kGbTrigger), 6, 0);
    for (int g = 0; g < 5; ++g)
        grid->addWidget(Control(controls_, kGbTrigger + g, refresh), 6, g + 2);
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(Label(controls_, r == 0 ? "Cut Pulses / RPM" : "", kGbCutRpm), 7 + r, 0);
        grid->addWidget(Control(controls_, kGbCutRpm + r, refresh), 7 + r, 1);
        for (int g = 0; g < 5; ++g)
            grid->addWidget(Control(controls_, kGbCutPulses + 5 * r + g, refresh), 7 + r, g + 2);
    }
    grid->addWidget(Control(controls_, kGbAs, refresh), 10, 1, 1, 6);
    top->addLayout(grid);

    caution_ = new QGroupBox("!caution!");
    auto* caution = new QVBoxLayout(caution_);
    caution->addWidget(
        new QLabel("If the firmware version is less than \"ZARazA9.01.10\",  it can not be used."));
    caution->addWidget(Control(controls_, kGbNewtype, refresh));
    controls_.shownWith.emplace_back(kGbNewtype, caution_);
    top->addWidget(caution_);

    auto* buttons = new QHBoxLayout;
    debugOff_ = Button("Debug OFF", "debug_off");
    connect(debugOff_, &QPushButton::clicked, this, [this] {
        g_settings.Debug = 0; // for the rest of the run
        Refresh();
    });
    extend_ = Button("Extend", "extend");
    connect(extend_, &QPushButton::clicked, this, [this] {
        ExtendControlDialog extend(this);
        extend.exec();
        Refresh();
    });
    auto* close = Button("Close", "close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(debugOff_);
    buttons->addWidget(extend_);
    buttons->addStretch();
    buttons->addWidget(close);
    top->addLayout(buttons);
}

void GearBoxSettingDialog::Refresh() {
    RefreshControls(controls_);
    extend_->setVisible(GearBoxExtendShown());
    debugOff_->setVisible(GearBoxDebugOffShown());
}

ExtendControlDialog::ExtendControlDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Extend Control");
    OpenExtendControlValues();
    auto refresh = [this] { RefreshControls(controls_); };
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(Control(controls_, kExAwc, refresh), 0, 0);
    const std::pair<const char*, int> rows[] = {{"x10 % Slip Thr.", kExSlip},
                                                {"On/Off Pulse", kExOnPulse},
                                                {"Continuous Thr. Pulse", kExContinuous},
                                                {"Cut Mode Rep. Pulse", kExCutModeRepeat},
                                                {nullptr, kExLc},
                                                {"LC Lock rpm", kExLcLock},
                                                {"LC Release rpm", kExLcRelease},
                                                {"LC Tolerance rpm", kExLcTolerance}};
    int row = 1;
    for (const auto& [label, id] : rows) {
        if (label) grid->addWidget(Label(controls_, label, id), row, 0);
        grid->addWidget(Control(controls_, id, refresh), row, label ? 1 : 0);
        if (id == kExOnPulse) grid->addWidget(Control(controls_, kExOffPulse, refresh), row, 2);
        ++row;
    }
    top->addLayout(grid);
    auto* close = Button("Close", "close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    top->addWidget(close, 0, Qt::AlignRight);
    RefreshControls(controls_);
}

void OpenGearBoxSetting(QWidget* parent) {
    GearBoxSettingDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
