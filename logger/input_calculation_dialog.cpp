#include "logger/input_calculation_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "analysis/load_pipeline.h"
#include "data/settings.h"
#include "logger/setup_form.h"
#include "platform/dialog_button_widget.h"

namespace qvtk {

namespace {

bool PlainReload(const std::string& path) {
    FileSlot slot = 0;
    return LoadFileIntoSlot(slot, path);
}

ReloadFile1 g_reload = PlainReload;

QPushButton* Button(const char* text) {
    return DialogButton(text);
}

} // namespace

void SetInputOverwriteReload(ReloadFile1 reload) {
    g_reload = reload ? reload : PlainReload;
}

InputCalculationDialog::InputCalculationDialog(int input, QWidget* parent)
    : QDialog(parent), input_(input) {
    setWindowTitle("AUX Calculation setting");
    Build();
    Show(InputTextFor::kOpening);
}

void InputCalculationDialog::Build() {
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(kInputNames[input_]));
    auto* radios = new QHBoxLayout;
    for (int t = 0; t < 4; ++t) {
        types_[t] = new QRadioButton(kInputTypeNames[t]);
        types_[t]->setObjectName(kInputTypeNames[t]);
        radios->addWidget(types_[t]);
        connect(types_[t], &QRadioButton::toggled, this, [this, t](bool on) {
            if (!on || refreshing_) return;
            EditInputField(input_, kInType, kInputTypeNames[t]);
            Enable();
        });
    }
    top->addLayout(radios);

    auto field = [this](int id) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromStdString(InputFieldName(id)));
        e->setMaximumWidth(80);
        connect(e, &QLineEdit::editingFinished, this, [this, id, e] {
            if (refreshing_ || !EditInputField(input_, id, e->text().toStdString())) return;
            // A breakpoint may raise the ones below it.
            const int first = id >= kInVoltage && id < kInValue ? kInVoltage : id;
            const int last = id >= kInVoltage && id < kInValue ? kInValue : id + 1;
            refreshing_ = true;
            for (int f = first; f < last; ++f)
                fields_[f]->setText(
                    QString::fromStdString(InputFieldText(input_, f, InputTextFor::kEdited)));
            refreshing_ = false;
        });
        fields_[id] = e;
        return e;
    };
    auto* ab = new QHBoxLayout;
    ab->addWidget(new QLabel("a ="));
    ab->addWidget(field(kInGain));
    ab->addWidget(new QLabel("b ="));
    ab->addWidget(field(kInOffset));
    ab->addStretch();
    top->addLayout(ab);

    auto* table = new QGridLayout;
    table->addWidget(new QLabel("Voltage (V)"), 0, 1);
    table->addWidget(new QLabel("Value"), 0, 2);
    for (int i = 0; i < kSetupTablePoints; ++i) {
        table->addWidget(new QLabel(QString::number(i + 1)), i + 1, 0);
        table->addWidget(field(kInVoltage + i), i + 1, 1);
        table->addWidget(field(kInValue + i), i + 1, 2);
    }
    top->addLayout(table);

    auto* buttons = new QHBoxLayout;
    auto* copy = Button("Copy");
    connect(copy, &QPushButton::clicked, this, [this] { CopyInputTable(input_); });
    auto* paste = Button("Peast");
    connect(paste, &QPushButton::clicked, this, [this] {
        PasteInputTable(input_);
        Show(InputTextFor::kPasted);
    });
    auto* overwrite = Button("Overwrite File");
    overwrite->setVisible(g_settings.ExpertMode == kLevelExpert);
    connect(overwrite, &QPushButton::clicked, this, [this] {
        OverwriteInputFile(input_, g_reload);
        Show(InputTextFor::kOpening);
    });
    auto* close = Button("Close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    for (QPushButton* b : {copy, paste, overwrite}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    top->addLayout(buttons);
}

void InputCalculationDialog::Show(InputTextFor when) {
    refreshing_ = true;
    const int type = g_setupValues.inputs[input_].type;
    for (int t = 0; t < 4; ++t) types_[t]->setChecked(t == type);
    for (int id = kInGain; id < kInputFieldCount; ++id)
        fields_[id]->setText(QString::fromStdString(InputFieldText(input_, id, when)));
    refreshing_ = false;
    Enable();
}

void InputCalculationDialog::Enable() {
    for (int id = kInGain; id < kInputFieldCount; ++id)
        fields_[id]->setEnabled(InputFieldEnabled(input_, id));
}

void OpenInputCalculation(QWidget* parent, int input) {
    InputCalculationDialog dialog(input, parent);
    dialog.exec();
}

} // namespace qvtk
