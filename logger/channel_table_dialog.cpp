#include "logger/channel_table_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdio>

#include "logger/ch_setup_dialog.h"
#include "logger/channel_edit.h"
#include "logger/channel_functions.h"
#include "logger/channel_table_file.h"

namespace qvtk {

namespace {

QComboBox* List(const std::vector<std::string>& entries, const QString& name) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    for (const std::string& e : entries) c->addItem(QString::fromStdString(e));
    return c;
}

QLineEdit* Edit(const QString& name, int width) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setFixedWidth(width);
    return e;
}

std::vector<std::string> FunctionNames() {
    std::vector<std::string> names;
    for (int code : SelectableFunctions()) names.push_back(FunctionName(code));
    return names;
}

QString Hex(uint32_t v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, v);
    return text;
}

} // namespace

ChannelTableDialog::ChannelTableDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Logging Channell Setting");
    auto* top = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    auto* grid = new QGridLayout;
    const char* headings[] = {"CH No.",   "MODE",       "Name",     "Function",
                              "Unit",     "SampleTime", "CAN Port", "CAN ID",
                              "BitShift", "DataMask",   "BitDepth", ""};
    for (int k = 0; k < 12; ++k) {
        auto* h = new QLabel(headings[k]);
        h->setVisible(k != 8); // the bit shift is edited in CH Setup
        grid->addWidget(h, 0, k);
    }
    for (int r = 0; r < kChannelRowsShown; ++r) BuildRow(r, grid);
    body->addLayout(grid);
    scroll_ = new QScrollBar(Qt::Vertical);
    scroll_->setObjectName("scroll");
    scroll_->setRange(0, kChannelSettings - kChannelRowsShown);
    scroll_->setSingleStep(1);
    scroll_->setPageStep(kChannelRowsShown);
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        first_ = v;
        Fill();
    });
    body->addWidget(scroll_);
    top->addLayout(body);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok");
    connect(ok, &QPushButton::clicked, this, [this] {
        CommitChannelTable();
        accept();
    });
    auto* overwrite = new QPushButton("Overwrite Changes");
    overwrite->setObjectName("overwrite");
    connect(overwrite, &QPushButton::clicked, this, &ChannelTableDialog::Overwrite);
    auto* cancel = new QPushButton("CANCEL");
    cancel->setObjectName("cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {ok, overwrite, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    top->addLayout(buttons);
    Fill();
}

void ChannelTableDialog::BuildRow(int r, QGridLayout* grid) {
    Row& w = rows_[r];
    const QString n = QString::number(r);
    w.number = new QLabel;
    w.mode = List(kModeEntries, "mode_" + n);
    w.name = Edit("name_" + n, 70);
    w.function = List(FunctionNames(), "function_" + n);
    w.unit = Edit("unit_" + n, 70);
    w.sampleTime = List(kSampleTimeEntries, "sample_time_" + n);
    w.port = List(kCanPortEntries, "port_" + n);
    w.canId = Edit("can_id_" + n, 90);
    w.bitShift = Edit("bit_shift_" + n, 40);
    w.bitShift->setVisible(false);
    w.mask = Edit("mask_" + n, 60);
    w.depth = List(kBitDepthEntries, "depth_" + n);
    w.property = new QPushButton("...");
    w.property->setObjectName("property_" + n);
    w.property->setAutoDefault(false);
    QWidget* cells[] = {w.number, w.mode,  w.name,     w.function, w.unit,  w.sampleTime,
                        w.port,   w.canId, w.bitShift, w.mask,     w.depth, w.property};
    for (int k = 0; k < 12; ++k) grid->addWidget(cells[k], r + 1, k);

    auto channel = [this, r]() -> ChannelSetting& { return g_workingChannels[size_t(first_ + r)]; };
    auto list = [this](QComboBox* c, auto store) {
        connect(c, &QComboBox::currentIndexChanged, this, [this, store](int i) {
            if (!filling_ && i >= 0) store(i);
        });
    };
    list(w.mode, [channel](int i) { channel().mode = uint8_t(i); });
    list(w.sampleTime, [channel](int i) { channel().sampleTime = uint16_t(i); });
    list(w.port, [channel](int i) { channel().canPort = uint8_t(i); });
    list(w.depth, [channel](int i) { channel().bitDepth = uint8_t(i); });
    connect(w.function, &QComboBox::activated, this, [this, channel](int position) {
        ChooseFunction(channel(), FunctionAtListPosition(position)); // "Sys V" is refused
        Fill();
    });
    auto edit = [this](QLineEdit* e, auto take) {
        connect(e, &QLineEdit::editingFinished, this, [this, e, take] {
            if (filling_) return;
            take(e->text().toStdString());
            Fill(); // what the field keeps
        });
    };
    edit(w.name, [channel](const std::string& t) { TypeChannelText(channel().name, t); });
    edit(w.unit, [channel](const std::string& t) { TypeChannelText(channel().unit, t); });
    edit(w.canId, [channel](const std::string& t) { TypeCanId(channel(), t); });
    edit(w.bitShift, [channel](const std::string& t) { TypeBitShift(channel(), t); });
    edit(w.mask, [channel](const std::string& t) { TypeDataMask(channel(), t); });
    connect(w.property, &QPushButton::clicked, this, [this, r] {
        OpenChSetup(this, first_ + r);
        Fill();
    });
}

void ChannelTableDialog::Fill() {
    filling_ = true;
    for (int r = 0; r < kChannelRowsShown; ++r) {
        Row& w = rows_[r];
        const int ch = first_ + r;
        const ChannelSetting& c = g_workingChannels[size_t(ch)];
        w.number->setText(QString::number(ch));
        w.mode->setCurrentIndex(c.mode < kModeEntries.size() ? c.mode : -1);
        w.name->setText(QString::fromLatin1(c.name));
        w.function->setCurrentIndex(FunctionListPosition(c.function));
        w.unit->setText(QString::fromLatin1(c.unit));
        w.sampleTime->setCurrentIndex(c.sampleTime < kSampleTimeEntries.size() ? c.sampleTime : -1);
        w.port->setCurrentIndex(c.canPort);
        w.depth->setCurrentIndex(c.bitDepth < kBitDepthEntries.size() ? c.bitDepth : -1);
        const bool can = CanFieldsEditable(ch, c);
        w.canId->setText(can ? Hex(c.canId, 3) : "----");
        w.bitShift->setText(QString::number(c.bitShift));
        w.mask->setText(can ? Hex(c.dataMask, 4) : "----");
        for (QLineEdit* e : {w.canId, w.bitShift, w.mask}) e->setEnabled(can);
    }
    filling_ = false;
}

void ChannelTableDialog::Overwrite() {
    CommitChannelTable();
    OverwriteChannelTableInLogFile(g_channelSettings.slots[0]);
    accept();
}

void OpenLoggingChannelSetting(QWidget* parent) {
    FillChannelFunctionTable();
    BeginChannelEditing();
    ChannelTableDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
