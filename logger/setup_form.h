#pragma once
// The "Logger Setting" group of the Setup dialog as plain data: its controls, what each
// shows, the ranges a typed value is clamped to, which controls are enabled and at which
// level of detail they are shown. The dialog and `qvtk-cli setup-file` both edit through it.
#include <string>
#include <vector>

#include "logger/setup_block.h"

namespace qvtk {

enum SetupFieldId : int {
    kSetEnginePulse, // Engine Pulse (Ne) list
    kSetVfwMm,
    kSetVfwPulse,
    kSetRearSensor, // Wheel Sens. / Gearbox Sens.
    kSetVrwMm,
    kSetVrwPulse,
    kSetFinalFront,
    kSetFinalRear,
    kSetGearPulse, // "Sens.[C]Gear" Pulse/rev.
    kSetLinkRatio,
    kSetSusFront, // PTX / Linear type
    kSetSusRear,
    kSetFrontMm, // mm (0-5V)
    kSetRearMm,
    kSetLapMarker,
    kSetAdjustTps, // Position Adjust
    kSetAdjustFront,
    kSetAdjustRear,
    kSetMemo,
    kSetupFieldCount
};

enum class SetupControl { kList, kField, kRadio, kCheck, kText };

// Levels of the mode list ("Easy Mode", "Standard", "Expert "): the settings key ExpertMode.
enum SetupLevel : int { kLevelEasy = 0, kLevelStandard = 1, kLevelExpert = 2 };
extern const char* const kSetupLevelNames[3];

struct SetupFieldSpec {
    const char* name;  // lower case with underscores, as `setup-file --edit` takes it
    const char* label; // as the dialog labels it
    SetupControl control;
    int min, max; // range of a field, or of the values a list offers
    int level;    // lowest level that shows it
};

const SetupFieldSpec& SetupField(int id);
// -1 for an unknown name.
int FindSetupField(const std::string& name);
// The entries of a list or radio group, in order; entry i stands for value min + i.
std::vector<std::string> SetupFieldEntries(int id);

// The state of the group's controls. Lists and radios hold their value, the stroke fields
// the stroke in 0.1 mm (shown in whole mm), checks 0 or 1, the memo its bytes.
struct SetupForm {
    int value[kSetupFieldCount] = {};
    std::string memo;
};

// The controls as the dialog opens with the current setup values.
void FillSetupForm(SetupForm& form);
// What the control shows.
std::string SetupFieldText(const SetupForm& form, int id);
bool SetupFieldEnabled(const SetupForm& form, int id);

// A value typed into a field and left, or an entry chosen: clamped and ruled as the dialog
// does. False (nothing changed) for a disabled control or a list entry that does not exist.
bool EditSetupField(SetupForm& form, int id, const std::string& text);

// "Setup File Save" reads every control into the setup values.
void ReadSetupForm(const SetupForm& form);
PositionAdjust FormPositionAdjust(const SetupForm& form);

// The Firmware Ver. field: File 1's firmware text, in debug mode with its log version.
std::string FirmwareFieldText();

// The mode list: sets ExpertMode; the easy level also switches the smoothing off.
void ChooseSetupLevel(int level);

} // namespace qvtk
