#pragma once
// The logger section of the "CAN Logger Setting" dialog as plain data: its controls, what
// each shows, the ranges typed values are clamped to and which controls are enabled. The
// dialog and `qvtk-cli can-setup-file --edit` both edit through it; the names below are the
// ones `--edit` takes.
#include <string>
#include <vector>

#include "logger/can_setup_file.h"
#include "logger/logger_answers.h"
#include "logger/setup_form.h"

namespace qvtk {

enum CanFieldId : int {
    kCanSamplingRate,
    kCanLapSignalType,
    kCanLapOut,
    kCanMarkerOfLap,
    kCanStartCondition,
    kCanStartValue,
    kCanStartSource, // "Calc" / "CAN Data": shown, not stored
    kCanFinalFront,
    kCanFinalRear,
    kCanVfwTire,
    kCanVrwTire,
    kCanCourse,
    kCan1BitRate,
    kCan1Terminator,
    kCan1ListenOnly,
    kCan2BitRate,
    kCan2Terminator,
    kCan2ListenOnly,
    kCanGpsClock,
    kCanZoneHour,
    kCanZoneMinute,
    kCanYear,
    kCanMonth,
    kCanDay,
    kCanHour,
    kCanMinute,
    kCanZeroFrSus,
    kCanZeroRrSus,
    kCanZeroFrBrake,
    kCanZeroRrBrake,
    kCanZeroTps, // shown, never enabled
    kCanMemo,
    kCanFieldCount
};

struct CanFieldSpec {
    const char* name;  // as `can-setup-file --edit` takes it
    const char* label; // as the dialog labels it
    SetupControl control;
    int min, max; // a field's range; a list's entries stand for min, min + 1, ...
};

const CanFieldSpec& CanField(int id);
int FindCanField(const std::string& name); // -1 when unknown
// The entries of a list (the course list: the course files of the program directory).
std::vector<std::string> CanFieldEntries(int id);

// The controls' state: lists and fields hold their value (lists min + entry), checks 0 or 1,
// the memo its bytes.
struct CanSetupForm {
    int value[kCanFieldCount] = {};
    std::string memo;
    std::string course; // the chosen course file, "" when there is none
    ControlLine line;   // its GPS line
};

// The controls as the dialog opens: the current settings, the clock at the PC's local time.
void FillCanSetupForm(CanSetupForm& form);
std::string CanFieldText(const CanSetupForm& form, int id);
bool CanFieldEnabled(const CanSetupForm& form, int id);

// A value typed and left, or an entry chosen, ruled as the dialog does it: fields clamped,
// GPS Clock ticked takes the time zone from the PC, a new course its GPS line. False (nothing
// changed) for a disabled control or an entry the list does not have.
bool EditCanField(CanSetupForm& form, int id, const std::string& text);

// "Create Setup File" step 1: every logger control into the settings.
void ReadCanSetupForm(const CanSetupForm& form);
ZeroPositionAdjust FormZeroAdjust(const CanSetupForm& form);
SetupCourse FormCourse(const CanSetupForm& form);
ClockSetTime FormClockTime(const CanSetupForm& form);

} // namespace qvtk
