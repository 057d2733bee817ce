#pragma once
// What the real-time monitor shows: the live sample of the logger converted to engineering
// units with the setup block's calibrations, as the texts of the dialog's fields. Plain
// functions over bytes, shared by the dialog, the batch command and the tests.
#include <cstddef>
#include <cstdint>
#include <string>

#include "logger/logger_answers.h"

namespace qvtk {

// The fields of the monitor. The voltage of value field f is field f + kVoltageFieldOffset.
enum MonitorField : int {
    kFieldNe,
    kFieldVfw,
    kFieldVrw,
    kFieldTps,
    kFieldFrSus,
    kFieldRrSus,
    kFieldLaf1,
    kFieldLaf2,
    kFieldAux1,
    kFieldAux2,
    kFieldLap,
    kFieldVb,
    kFieldNeVolt,
    kFieldVbVolt = kFieldNeVolt + kFieldVb,
    kFieldGearPos,
    kFieldPrompt,
    kFieldStatus,
    kFieldRtc,
    kFieldFirmware,
    kFieldQvdVer,
    kFieldFinal,
    kFieldLapMarker,
    kMonitorFieldCount
};
constexpr int kVoltageFieldOffset = kFieldNeVolt - kFieldNe;

// The dialog's label of a field ("NE", "LAF 1", "TPS V", "GearPos.", "prompt", ...).
const char* MonitorFieldName(int field);

struct MonitorTexts {
    std::string text[kMonitorFieldCount];
    bool written[kMonitorFieldCount] = {};
    void Set(int field, std::string s) {
        text[field] = std::move(s);
        written[field] = true;
    }
};

// A live sample with its spare byte, as kept in the history.
constexpr size_t kHistoryRecordBytes = kLiveSampleBytes + 1;
using HistoryRecord = uint8_t[kHistoryRecordBytes];

enum HistoryEntry { kHistDisplay, kHistNewest, kHistPrevious, kHistOlder, kHistoryEntries };

// The shift at the start of each tick: the display takes the newest record with the analog
// bytes smoothed 2:1 against the previous one, then the older records move down.
void ShiftSampleHistory(HistoryRecord (&history)[kHistoryEntries]);

// Suspension stroke in 0.01 mm from a 10-bit reading, its zero reading, the sensor type and,
// for a linear sensor, its stroke (0.1 mm).
int SuspensionStroke(bool front, int reading, int zero, int type, int stroke);

// The text of LAF/AUX input k for the raw reading v; false when the conversion type writes
// nothing.
bool InputConversionText(const uint8_t* setupBlock, int input, int v, std::string& out);

// Fills the value and voltage fields (and in the detailed style the gear and the status
// bytes) from the display record. `setupBlock` holds kSetupBlockMax bytes.
void FormatLiveValues(const HistoryRecord& display, const uint8_t* setupBlock, bool detailed,
                      MonitorTexts& out);

// The information fields taken from a setup block the logger sent.
void FormatSetupInformation(const uint8_t* setupBlock, MonitorTexts& out);

} // namespace qvtk
