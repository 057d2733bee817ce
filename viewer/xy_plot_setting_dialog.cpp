#include "viewer/xy_plot_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "analysis/channel_list.h"
#include "analysis/typed_values.h"
#include "analysis/xy_plot.h"
#include "data/settings.h"
#include "platform/dialog_units.h"
#include "viewer/course_map_picture.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace qvtk {

namespace {

const char* const kAxisName[3] = {"x", "y", "z"};
const char* const kAxisLabel[3] = {"X CH", "Y CH", "Color CH"};
const char* const kFieldName[3] = {"min", "max", "step"};

int& StoredChannel(int axis) {
    return XyPlotChannel(axis);
}

int32_t& StoredValue(int axis, int field) {
    return XyPlotRangeValue(axis, field);
}

QString Fixed2(int32_t thousandths) {
    char text[48];
    std::snprintf(text, sizeof text, "%0.2f", thousandths * 0.001);
    return QString::fromLatin1(text);
}

} // namespace

XyPlotSettingDialog::XyPlotSettingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("xyPlotSetting"));
    setWindowTitle(QStringLiteral("X-Y PlotSetting"));
    setFixedSize(DialogX(271), DialogY(182));
    columns_ = PresentColumns(0);
    const Slot& first = SlotOf(0);
    for (int axis = 0; axis < 3; ++axis) {
        const int y = 8 + 40 * axis;
        auto* l = new QLabel(QString::fromLatin1(kAxisLabel[axis]), this);
        l->setGeometry(DialogX(8), DialogY(y), DialogX(60), DialogY(10));
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("%1Channel").arg(QLatin1String(kAxisName[axis])));
        list->setGeometry(DialogX(8), DialogY(y + 12), DialogX(80), DialogY(14));
        for (int c : columns_) list->addItem(QString::fromLatin1(first.channels[c].name));
        lists_[axis] = list;
        for (int field = 0; field < 3; ++field) {
            auto* fl = new QLabel(QString::fromLatin1(kFieldName[field]), this);
            fl->setGeometry(DialogX(100 + 56 * field), DialogY(y), DialogX(50), DialogY(10));
            auto* e = new QLineEdit(this);
            e->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(kAxisName[axis]),
                                                        QLatin1String(kFieldName[field])));
            e->setGeometry(DialogX(100 + 56 * field), DialogY(y + 12), DialogX(50), DialogY(12));
            edits_[axis][field] = e;
        }
    }
    gpsMap_ = new QCheckBox(QStringLiteral("GPS Map"), this);
    gpsMap_->setObjectName(QStringLiteral("gpsMap"));
    gpsMap_->setGeometry(DialogX(8), DialogY(130), DialogX(60), DialogY(12));
    connected_ = new QCheckBox(QStringLiteral("PlotType ConnectedLine"), this);
    connected_->setObjectName(QStringLiteral("connectedLine"));
    connected_->setGeometry(DialogX(8), DialogY(146), DialogX(110), DialogY(12));
    auto* sl = new QLabel(QStringLiteral("Size"), this);
    sl->setGeometry(DialogX(126), DialogY(146), DialogX(20), DialogY(12));
    size_ = new QComboBox(this);
    size_->setObjectName(QStringLiteral("size"));
    for (int s = 0; s < kXyPointSizes; ++s) size_->addItem(QString::number(s));
    size_->setGeometry(DialogX(148), DialogY(144), DialogX(30), DialogY(14));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setAutoDefault(false);
    ok->setGeometry(DialogX(200), DialogY(160), DialogX(60), DialogY(16));

    for (int axis = 0; axis < 3; ++axis) {
        // A stored channel File 1 does not have gives way to its first present column, whose
        // own range and step are then taken.
        int pos = ListPositionOf(columns_, StoredChannel(axis));
        const bool replaced = pos < 0 && !columns_.empty();
        if (replaced) {
            pos = 0;
            StoredChannel(axis) = columns_[0];
            ReloadAxis(axis);
        }
        lists_[axis]->setCurrentIndex(pos);
        ShowAxis(axis, true);
    }
    gpsMap_->setEnabled(MapShowsGps());
    gpsMap_->setChecked(g_xyPlot.gpsMap && MapShowsGps());
    connected_->setChecked(g_xyPlot.connectedLine);
    size_->setCurrentIndex(std::clamp(g_xyPlot.pointSize, 0, kXyPointSizes - 1));
    FollowFlags();

    for (int axis = 0; axis < 3; ++axis) {
        connect(lists_[axis], &QComboBox::currentIndexChanged, this,
                [this, axis](int index) { ChannelChosen(axis, index); });
        for (int field = 0; field < 3; ++field)
            connect(edits_[axis][field], &QLineEdit::editingFinished, this,
                    [this, axis, field] { LeaveValue(axis, field); });
    }
    connect(gpsMap_, &QCheckBox::toggled, this, [this] { FollowFlags(); });
    connect(connected_, &QCheckBox::toggled, this, [this] { FollowFlags(); });
    connect(ok, &QPushButton::clicked, this, &XyPlotSettingDialog::Ok);
}

void XyPlotSettingDialog::ReloadAxis(int axis) {
    LoadXyAxisFromChannel(axis);
}

void XyPlotSettingDialog::ShowAxis(int axis, bool fromChannel) {
    for (int field = 0; field < 3; ++field) {
        const int32_t v = StoredValue(axis, field);
        edits_[axis][field]->setText(fromChannel ? Fixed2(v)
                                                 : QString::fromStdString(ThousandthsText(v)));
    }
}

void XyPlotSettingDialog::ChannelChosen(int axis, int index) {
    if (index < 0 || index >= int(columns_.size())) return;
    StoredChannel(axis) = columns_[size_t(index)];
    ReloadAxis(axis);
    ShowAxis(axis, true);
}

void XyPlotSettingDialog::LeaveValue(int axis, int field) {
    int32_t& v = StoredValue(axis, field);
    v = TypedThousandths(edits_[axis][field]->text().toStdString(), v, kXyValueLimit);
    edits_[axis][field]->setText(QString::fromStdString(ThousandthsText(v)));
}

void XyPlotSettingDialog::FollowFlags() {
    const bool gps = gpsMap_->isEnabled() && gpsMap_->isChecked();
    for (int axis = 0; axis < 2; ++axis) {
        lists_[axis]->setEnabled(!gps);
        for (QLineEdit* e : edits_[axis]) e->setEnabled(!gps);
    }
    size_->setEnabled(!connected_->isChecked());
}

void XyPlotSettingDialog::Ok() {
    g_view.FileMoveFlag[0] = g_view.FileMoveFlag[1] = 1;
    g_view.XyPlotView = 1;
    g_view.AfMapView = 0;
    g_view.GraphPositionMode = 0;
    g_xyPlot.gpsMap = gpsMap_->isEnabled() && gpsMap_->isChecked();
    g_xyPlot.connectedLine = connected_->isChecked();
    g_xyPlot.pointSize = size_->currentIndex();
    accept();
}

bool ShowXyPlotSetting(QWidget* parent) {
    XyPlotSettingDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qvtk
