#include "analysis/final_simulation_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/final_simulation.h"
#include "analysis/typed_values.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/dialog_units.h"

namespace qvtk {

namespace {

QLabel* Static(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    if (name) l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(DialogX(x), DialogY(y), DialogX(w), DialogY(10));
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                    int h) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setGeometry(DialogX(x), DialogY(y), DialogX(w), DialogY(h));
    return b;
}

} // namespace

FinalSimulationDialog::FinalSimulationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("finalSimulation"));
    setWindowTitle(QStringLiteral("Final Simulation"));
    setFixedSize(DialogX(235), DialogY(138));
    OpenFinalSimulation();

    auto* ratio = new QGroupBox(QStringLiteral("Final Ratio"), this);
    ratio->setGeometry(DialogX(6), DialogY(4), DialogX(150), DialogY(84));
    recordedFront_ = Static(ratio, "recordedFront", QStringLiteral("15"), 8, 24, 24);
    recordedRear_ = Static(ratio, "recordedRear", QStringLiteral("43"), 40, 24, 24);
    recordedRatio_ = Static(ratio, "recordedRatio", QStringLiteral("2.866"), 100, 24, 40);
    // Arrows beside the recorded sprockets correct a header that holds the wrong ones.
    const bool arrows = g_settings.Finalchg || DebugMode();
    struct Arrow {
        const char* name;
        const char* text;
        int x, y;
        void (*step)(int);
        int direction;
    };
    const Arrow arrowSpecs[] = {{"frontUp", "\u25B2", 14, 12, StepRecordedFront, +1},
                                {"frontDown", "\u25BC", 14, 36, StepRecordedFront, -1},
                                {"rearUp", "\u25B2", 46, 12, StepRecordedRear, +1},
                                {"rearDown", "\u25BC", 46, 36, StepRecordedRear, -1}};
    for (const Arrow& a : arrowSpecs) {
        QPushButton* b = Button(ratio, a.name, QString::fromUtf8(a.text), a.x, a.y, 12, 10);
        b->setFlat(true);
        b->setVisible(arrows);
        auto step = a.step;
        const int direction = a.direction;
        connect(b, &QPushButton::clicked, this, [this, step, direction] {
            step(direction);
            ShowValues();
        });
    }
    front_ = new QComboBox(ratio);
    front_->setObjectName(QStringLiteral("front"));
    for (int t = kSimFrontFirst; t <= kSimFrontLast; ++t) front_->addItem(QString::number(t));
    front_->setGeometry(DialogX(8), DialogY(56), DialogX(28), DialogY(14));
    rear_ = new QComboBox(ratio);
    rear_->setObjectName(QStringLiteral("rear"));
    for (int t = kSimRearFirst; t <= kSimRearLast; ++t) rear_->addItem(QString::number(t));
    rear_->setGeometry(DialogX(40), DialogY(56), DialogX(28), DialogY(14));
    simulatedRatio_ = Static(ratio, "simulatedRatio", QString(), 100, 58, 40);

    auto* tyre = new QGroupBox(QStringLiteral("Tire Length"), this);
    tyre->setGeometry(DialogX(6), DialogY(92), DialogX(150), DialogY(40));
    recordedTyre_ = Static(tyre, "recordedTyre", QString(), 6, 18, 34);
    Static(tyre, nullptr, QStringLiteral("mm"), 40, 18, 14);
    tyre_ = new QLineEdit(tyre);
    tyre_->setObjectName(QStringLiteral("tyre"));
    tyre_->setGeometry(DialogX(70), DialogY(16), DialogX(40), DialogY(12));
    Static(tyre, nullptr, QStringLiteral("mm"), 112, 18, 14);
    // An unknown recorded tyre (a CSV import records 1 mm) cannot be compared with another.
    tyre_->setEnabled(TyreSimulated());

    QPushButton* ok = Button(this, "ok", QStringLiteral("OK"), 166, 8, 60, 16);
    QPushButton* reset = Button(this, "reset", QStringLiteral("Reset"), 166, 30, 60, 16);

    auto* slip = new QGroupBox(QStringLiteral("SLIPTRG Iii"), this);
    slip->setObjectName(QStringLiteral("slipTrigger"));
    slip->setGeometry(DialogX(162), DialogY(56), DialogX(68), DialogY(76));
    Static(slip, nullptr, QStringLiteral("OutPut CH"), 4, 10, 60);
    output_ = new QComboBox(slip);
    output_->setObjectName(QStringLiteral("output"));
    output_->addItem(QStringLiteral(" -------- "));
    const Slot& first = SlotOf(0);
    for (int c = 0; c < kColumnCount; ++c)
        output_->addItem(
            QStringLiteral("%1 - %2").arg(c).arg(QString::fromLatin1(first.channels[c].name)));
    output_->setGeometry(DialogX(4), DialogY(22), DialogX(60), DialogY(14));
    Static(slip, nullptr, QStringLiteral("MAP No."), 4, 40, 60);
    map_ = new QComboBox(slip);
    map_->setObjectName(QStringLiteral("map"));
    for (int m = 1; m <= 30; ++m) map_->addItem(QString::number(m));
    map_->setGeometry(DialogX(4), DialogY(52), DialogX(60), DialogY(14));
    map_->setCurrentIndex(std::clamp(g_finalSimulation.mapNumber, 1, 30) - 1);
    // The slip-trigger maps are a debugging aid.
    slip->setVisible(DebugMode());

    ShowValues();
    connect(front_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (filling_ || index < 0) return;
        ChooseSimulatedFront(index);
        ShowValues();
    });
    connect(rear_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (filling_ || index < 0) return;
        ChooseSimulatedRear(index);
        ShowValues();
    });
    connect(tyre_, &QLineEdit::editingFinished, this, &FinalSimulationDialog::LeaveTyre);
    connect(ok, &QPushButton::clicked, this, &FinalSimulationDialog::Ok);
    connect(reset, &QPushButton::clicked, this, [this] {
        ResetSimulatedValues();
        ShowValues();
    });
}

void FinalSimulationDialog::ShowValues() {
    const FinalSimulation& f = g_finalSimulation;
    filling_ = true;
    recordedFront_->setText(QString::number(f.recordedFront));
    recordedRear_->setText(QString::number(f.recordedRear));
    recordedRatio_->setText(QString::fromStdString(RecordedRatioText()));
    front_->setCurrentIndex(
        f.front >= kSimFrontFirst && f.front <= kSimFrontLast ? f.front - kSimFrontFirst : -1);
    rear_->setCurrentIndex(
        f.rear >= kSimRearFirst && f.rear <= kSimRearLast ? f.rear - kSimRearFirst : -1);
    simulatedRatio_->setText(QString::fromStdString(SimulatedRatioText()));
    recordedTyre_->setText(QString::number(f.recordedTyre));
    tyre_->setText(QString::number(f.tyre));
    filling_ = false;
}

void FinalSimulationDialog::LeaveTyre() {
    if (!TyreSimulated()) return;
    SetSimulatedTyre(TypedInteger(tyre_->text().toStdString(), g_finalSimulation.tyre));
    ShowValues();
}

void FinalSimulationDialog::Ok() {
    LeaveTyre();
    g_finalSimulation.outputChannel = output_->currentIndex() - 1;
    g_finalSimulation.mapNumber = map_->currentIndex() + 1;
    ApplySlipTriggerChoice();
    accept();
}

bool ShowFinalSimulation(QWidget* parent) {
    FinalSimulationDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qvtk
