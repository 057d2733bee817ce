#pragma once
// The "CH Setup" dialog: one channel of the working copy in detail: the row fields, the CAN
// frame (port, ID, extended ID, mask, depth, the Byte/Bit span with "Set", the 8 x 8 bit grid,
// the lock) and the calculation (conversion, signed, a1, a2, b, the ten-point table, decimals,
// "OverWrite correction", "Zero offset adjustment"). Widgets carry object names for tests.
#include <QDialog>

#include "logger/channel_edit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qvtk {

class ChSetupDialog : public QDialog {
    Q_OBJECT
public:
    ChSetupDialog(int channel, QWidget* parent = nullptr);
    const ChannelSetting& Record() const { return c_; }

private:
    QWidget* BuildRowFields();
    QWidget* BuildFrameGroup();
    QWidget* BuildCalculationGroup();
    QWidget* BuildButtons();
    void Refresh();
    void TakeTypedFields();
    void TypedBits();
    void Lock(bool on);
    void Ok();

    int channel_;
    ChannelSetting c_;
    FrameBits bits_;
    bool bTyped_ = false;
    bool zeroUsed_ = false;
    bool refreshing_ = false;
    QComboBox *mode_, *function_, *sampleTime_, *port_, *depth_, *conversion_, *decimals_;
    QLineEdit *name_, *unit_, *canId_, *mask_, *bitShift_;
    QLineEdit* span_[4]; // start byte, start bit, end byte, end bit
    QLineEdit *a1_, *a2_, *b_;
    QLineEdit *tableX_[kChannelTablePoints], *tableY_[kChannelTablePoints];
    QCheckBox *extendId_, *lock_, *signed_;
    QPushButton* grid_[8][8]; // [byte][bit]
    QPushButton* zero_;
    QPushButton* set_;
};

// Opens CH Setup for a channel of the working copy; true when OK took the record.
bool OpenChSetup(QWidget* parent, int channel);

// The lock's question ("Attention!!", OK and Cancel); tests answer it.
using LockQuestion = bool (*)(QWidget* parent);
void SetLockQuestionForTesting(LockQuestion question);

} // namespace qvtk
