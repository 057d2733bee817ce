#include "logger/ch_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "logger/channel_functions.h"
#include "platform/dialog_button_widget.h"

namespace qvtk {

namespace {

const char kLockQuestion[] =
    "一度ロックすると、設定の変更やロックの解除は後からできません。よろしいですか？\n"
    "Once locked, settings cannot be changed or unlocked afterwards. Is it OK?";

bool AskLock(QWidget* parent) {
    QMessageBox box(QMessageBox::Question, "Attention!!", QString::fromUtf8(kLockQuestion),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    return box.exec() == QMessageBox::Ok;
}

LockQuestion g_askLock = AskLock;

QComboBox* List(const std::vector<std::string>& entries, const char* name) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    for (const std::string& e : entries) c->addItem(QString::fromStdString(e));
    return c;
}

QLineEdit* Edit(const QString& name, int width = 80) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setFixedWidth(width);
    return e;
}

QPushButton* Button(const char* text, const char* name) {
    return DialogButton(text, name);
}

std::string Text(const QLineEdit* e) {
    return e->text().toStdString();
}

void Show(QLineEdit* e, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (e->text() != t) e->setText(t);
}

} // namespace

void SetLockQuestionForTesting(LockQuestion question) {
    g_askLock = question ? question : AskLock;
}

ChSetupDialog::ChSetupDialog(int channel, QWidget* parent)
    : QDialog(parent), channel_(channel), c_(g_workingChannels[size_t(channel)]) {
    setWindowTitle("CH Setup");
    refreshing_ = true;
    auto* top = new QVBoxLayout(this);
    top->addWidget(BuildRowFields());
    auto* groups = new QHBoxLayout;
    groups->addWidget(BuildFrameGroup());
    groups->addWidget(BuildCalculationGroup());
    top->addLayout(groups);
    top->addWidget(BuildButtons());
    Refresh();
}

QWidget* ChSetupDialog::BuildRowFields() {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->addWidget(new QLabel(QString("CH %1").arg(channel_)));
    mode_ = List(kModeEntries, "mode");
    name_ = Edit("name");
    std::vector<std::string> functions;
    for (int code : SelectableFunctions()) functions.push_back(FunctionName(code));
    function_ = List(functions, "function");
    unit_ = Edit("unit");
    sampleTime_ = List(kSampleTimeEntries, "sample_time");
    for (QWidget* w : std::initializer_list<QWidget*>{mode_, name_, function_, unit_, sampleTime_})
        h->addWidget(w);
    connect(mode_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!refreshing_ && i >= 0) c_.mode = uint8_t(i);
    });
    connect(sampleTime_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!refreshing_ && i >= 0) c_.sampleTime = uint16_t(i);
    });
    connect(function_, &QComboBox::activated, this, [this](int position) {
        ChooseFunction(c_, FunctionAtListPosition(position)); // "Sys V" is refused
        Refresh();
    });
    for (QLineEdit* e : {name_, unit_})
        connect(e, &QLineEdit::editingFinished, this, [this, e] {
            TypeChannelText(e == name_ ? c_.name : c_.unit, Text(e));
            Refresh();
        });
    return row;
}

QWidget* ChSetupDialog::BuildFrameGroup() {
    auto* group = new QGroupBox("CAN Flame Setup");
    auto* grid = new QGridLayout(group);
    port_ = List(kCanPortEntries, "port");
    canId_ = Edit("can_id", 100);
    extendId_ = new QCheckBox("Extend ID");
    extendId_->setObjectName("extend_id");
    mask_ = Edit("mask");
    depth_ = List(kBitDepthEntries, "depth");
    bitShift_ = Edit("bit_shift", 50);
    bitShift_->setReadOnly(true);
    int row = 0;
    const std::pair<const char*, QWidget*> fields[] = {
        {"CAN Port", port_}, {"CAN ID", canId_},   {"", extendId_},
        {"DataMask", mask_}, {"BitDepth", depth_}, {"BitShift", bitShift_}};
    for (const auto& [label, w] : fields) {
        grid->addWidget(new QLabel(label), row, 0);
        grid->addWidget(w, row++, 1, 1, 4);
    }
    const char* spanNames[4] = {"start_byte", "start_bit", "end_byte", "end_bit"};
    auto* spanRow = new QHBoxLayout;
    spanRow->addWidget(new QLabel("Byte/Bit"));
    for (int k = 0; k < 4; ++k) {
        span_[k] = Edit(spanNames[k], 30);
        spanRow->addWidget(span_[k]);
        if (k == 1) spanRow->addWidget(new QLabel("-"));
        connect(span_[k], &QLineEdit::editingFinished, this, &ChSetupDialog::TypedBits);
    }
    set_ = Button("Set", "set");
    spanRow->addWidget(set_);
    grid->addLayout(spanRow, row++, 0, 1, 5);
    auto* bitsGrid = new QGridLayout;
    for (int bit = 7; bit >= 0; --bit)
        bitsGrid->addWidget(new QLabel(QString::number(bit)), 0, 8 - bit);
    for (int byte = 0; byte < 8; ++byte) {
        bitsGrid->addWidget(new QLabel(QString("BYTE %1").arg(byte)), byte + 1, 0);
        for (int bit = 7; bit >= 0; --bit) {
            QPushButton* b = Button("", "");
            b->setObjectName(QString("grid_%1_%2").arg(byte).arg(bit));
            b->setCheckable(true);
            b->setFixedSize(18, 18);
            b->setStyleSheet("QPushButton:checked { background: #2f6fbf; }"); // the start bit
            grid_[byte][bit] = b;
            bitsGrid->addWidget(b, byte + 1, 8 - bit);
            connect(b, &QPushButton::clicked, this, [this, byte, bit] {
                c_.bitShift = uint8_t(GridBitShift(c_.bitDepth, byte, bit));
                Refresh();
            });
        }
    }
    grid->addLayout(bitsGrid, row++, 0, 1, 5);
    lock_ = new QCheckBox("Lock");
    lock_->setObjectName("lock");
    grid->addWidget(lock_, row++, 0, 1, 2);

    connect(port_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!refreshing_ && i >= 0) c_.canPort = uint8_t(i);
    });
    connect(depth_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (refreshing_ || i < 0) return;
        c_.bitDepth = uint8_t(i);
        Refresh();
    });
    connect(canId_, &QLineEdit::editingFinished, this, [this] {
        if (refreshing_ || !CanFieldsEditable(channel_, c_)) return;
        TypeCanId(c_, Text(canId_));
        Refresh();
    });
    connect(mask_, &QLineEdit::editingFinished, this, [this] {
        if (refreshing_ || !CanFieldsEditable(channel_, c_)) return;
        const uint16_t before = c_.dataMask;
        TypeDataMask(c_, Text(mask_));
        if (c_.dataMask != before) {
            bits_.maskTyped = true;
            bits_.bitsLast = false;
        }
        Refresh();
    });
    connect(extendId_, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing_) return;
        c_.extendId = on;
        Refresh();
    });
    connect(set_, &QPushButton::clicked, this, [this] {
        TypedBits();
        PressSet(c_, bits_);
        Refresh();
    });
    connect(lock_, &QCheckBox::toggled, this, &ChSetupDialog::Lock);
    return group;
}

QWidget* ChSetupDialog::BuildCalculationGroup() {
    auto* group = new QGroupBox("Calculation adjustment");
    auto* grid = new QGridLayout(group);
    conversion_ = List(kConversionEntries, "conversion");
    signed_ = new QCheckBox("Signed");
    signed_->setObjectName("signed");
    a1_ = Edit("a1");
    a2_ = Edit("a2");
    b_ = Edit("b");
    decimals_ = List(kDecimalEntries, "decimals");
    int row = 0;
    grid->addWidget(conversion_, row, 0, 1, 2);
    grid->addWidget(signed_, row++, 2);
    const std::pair<const char*, QLineEdit*> constants[] = {
        {"0%  'a1'", a1_}, {"100%  'a2'", a2_}, {"'b'", b_}};
    for (const auto& [label, edit] : constants) {
        QLineEdit* e = edit; // a lambda may not capture a structured binding in every compiler
        grid->addWidget(new QLabel(label), row, 0);
        grid->addWidget(e, row++, 1);
        connect(e, &QLineEdit::editingFinished, this, [this, e] {
            if (refreshing_) return;
            int32_t& field = e == a1_ ? c_.a1 : e == a2_ ? c_.a2 : c_.b;
            if (const auto v = ParseThousandths(Text(e))) {
                if (e == b_ && *v != field) bTyped_ = true;
                field = *v;
            }
            Refresh();
        });
    }
    grid->addWidget(new QLabel("X"), row, 1);
    grid->addWidget(new QLabel("Y"), row++, 2);
    for (int k = 0; k < kChannelTablePoints; ++k) {
        tableX_[k] = Edit(QString("x%1").arg(k + 1));
        tableY_[k] = Edit(QString("y%1").arg(k + 1));
        grid->addWidget(new QLabel(QString::number(k + 1)), row, 0);
        grid->addWidget(tableX_[k], row, 1);
        grid->addWidget(tableY_[k], row++, 2);
        connect(tableX_[k], &QLineEdit::editingFinished, this, [this, k] {
            if (refreshing_) return;
            if (const auto v = ParseIntText(Text(tableX_[k])))
                c_.tableX[k] = int32_t(std::clamp<int64_t>(*v, INT32_MIN, INT32_MAX));
            Refresh();
        });
        connect(tableY_[k], &QLineEdit::editingFinished, this, [this, k] {
            if (refreshing_) return;
            if (const auto v = ParseThousandths(Text(tableY_[k]))) c_.tableY[k] = *v;
            Refresh();
        });
    }
    grid->addWidget(new QLabel("Decimal point"), row, 0);
    grid->addWidget(decimals_, row++, 1);
    auto* correction = Button("OverWrite correction", "overwrite_correction");
    zero_ = Button("Zero offset adjustment", "zero_offset");
    grid->addWidget(correction, row, 0, 1, 2);
    grid->addWidget(zero_, row++, 2);

    connect(conversion_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (refreshing_ || i < 0) return;
        c_.conversion = uint8_t(i);
        Refresh();
    });
    connect(decimals_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!refreshing_ && i >= 0) c_.decimals = uint8_t(i);
    });
    connect(signed_, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing_) c_.signedRaw = on;
    });
    connect(zero_, &QPushButton::clicked, this, [this] {
        TakeTypedFields();
        AdjustZeroOffset(channel_, c_);
        zeroUsed_ = true;
        Refresh();
    });
    connect(correction, &QPushButton::clicked, this, [this] {
        TakeTypedFields();
        if (OverwriteCorrection(channel_, c_, bTyped_) != CorrectionResult::kRefused) accept();
    });
    return group;
}

QWidget* ChSetupDialog::BuildButtons() {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    auto* ok = Button("OK", "ok");
    auto* cancel = Button("CANCEL", "cancel");
    h->addStretch();
    h->addWidget(ok);
    h->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &ChSetupDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return row;
}

void ChSetupDialog::TypedBits() {
    if (refreshing_) return;
    int v[4];
    for (int k = 0; k < 4; ++k) {
        const auto n = ParseIntText(Text(span_[k]));
        v[k] = n ? int(std::clamp<int64_t>(*n, -1000, 1000)) : 0;
    }
    if (v[0] == bits_.startByte && v[1] == bits_.startBit && v[2] == bits_.endByte &&
        v[3] == bits_.endBit)
        return;
    bits_.startByte = v[0];
    bits_.startBit = v[1];
    bits_.endByte = v[2];
    bits_.endBit = v[3];
    bits_.bitsTyped = bits_.bitsLast = true;
}

void ChSetupDialog::Lock(bool on) {
    if (refreshing_ || c_.lock) return;
    if (on && g_askLock(this)) c_.lock = 1; // only OK locks
    Refresh();
}

void ChSetupDialog::Refresh() {
    refreshing_ = true;
    mode_->setCurrentIndex(c_.mode < kModeEntries.size() ? c_.mode : -1);
    Show(name_, c_.name);
    function_->setCurrentIndex(FunctionListPosition(c_.function));
    Show(unit_, c_.unit);
    sampleTime_->setCurrentIndex(c_.sampleTime < kSampleTimeEntries.size() ? c_.sampleTime : -1);
    port_->setCurrentIndex(c_.canPort);
    depth_->setCurrentIndex(c_.bitDepth < kBitDepthEntries.size() ? c_.bitDepth : -1);
    const bool can = CanFieldsEditable(channel_, c_);
    Show(canId_, CanIdShown(channel_, c_));
    Show(mask_, DataMaskShown(channel_, c_));
    Show(bitShift_, BitShiftShown(channel_, c_));
    extendId_->setChecked(c_.extendId);
    for (QWidget* w : std::initializer_list<QWidget*>{canId_, mask_})
        static_cast<QLineEdit*>(w)->setEnabled(can);
    const int* span[4] = {&bits_.startByte, &bits_.startBit, &bits_.endByte, &bits_.endBit};
    for (int k = 0; k < 4; ++k) {
        Show(span_[k], std::to_string(*span[k]));
        span_[k]->setEnabled(can);
    }
    set_->setEnabled(can); // the frame of a locked channel stays as the logger keeps it
    for (int byte = 0; byte < 8; ++byte)
        for (int bit = 0; bit < 8; ++bit) {
            grid_[byte][bit]->setChecked(GridBitShift(c_.bitDepth, byte, bit) == c_.bitShift);
            grid_[byte][bit]->setEnabled(can);
        }
    lock_->setChecked(c_.lock);
    lock_->setEnabled(!c_.lock); // there is no way back
    conversion_->setCurrentIndex(c_.conversion < kConversionEntries.size() ? c_.conversion : -1);
    signed_->setChecked(c_.signedRaw);
    Show(a1_, ConstantText(c_.a1));
    Show(a2_, ConstantText(c_.a2));
    Show(b_, ConstantText(c_.b));
    for (int k = 0; k < kChannelTablePoints; ++k) {
        Show(tableX_[k], std::to_string(c_.tableX[k]));
        Show(tableY_[k], ConstantText(c_.tableY[k]));
    }
    decimals_->setCurrentIndex(c_.decimals);
    zero_->setEnabled(!zeroUsed_ && ZeroOffsetOffered(c_));
    refreshing_ = false;
}

// A field still being typed into counts as left when a button reads the fields.
void ChSetupDialog::TakeTypedFields() {
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (e->isModified() && e->isEnabled() && !e->isReadOnly()) {
            e->setModified(false);
            Q_EMIT e->editingFinished();
        }
}

void ChSetupDialog::Ok() {
    TakeTypedFields();
    if (AcceptChannelSetup(channel_, c_, bTyped_)) accept();
}

bool OpenChSetup(QWidget* parent, int channel) {
    if (channel < 0 || channel >= kChannelSettings) return false;
    ChSetupDialog dialog(channel, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qvtk
