#pragma once
// The gearbox and extend-control values as plain data: one table of fields (names, labels,
// ranges, the rule a typed value goes through, which dialog shows it and when), the texts the
// fields show, and what opening each dialog forces. The "GearBox Setting" and "Extend Control"
// dialogs, `qvtk-cli setup-file --edit` and the CAN logger's setup all edit through it; the
// values themselves live in the program-wide setup values.
#include <cstdint>
#include <string>
#include <vector>

#include "data/setup_values.h"

namespace qvtk {

enum class GearboxDialog { kGearBox, kExtend };

// When a field is shown: always, or by the settings keys Shifter, AllowCompressMode, AWC, LC
// (each also by Debug).
enum class GearboxPart {
    kAlways,
    kShifter,   // shift sensor levels, cut tables, AS (Shifter or Debug)
    kCompress,  // NewtypeLogfile (AllowCompressMode or Debug)
    kAwc,       // AWC check and slip threshold (Shifter or Debug, and AWC or Debug)
    kAwcPulses, // the AWC pulses (Shifter or Debug, and AWC of 2 or more or Debug)
    kLaunch,    // LC check and rpm (LC or Debug)
};

enum class GearboxRule {
    kClamp,      // clamped to min..max
    kStep100,    // rounded down to a multiple of 100, then clamped
    kHysteresis, // clamped, stored divided by 4 and shown times 4
    kMillivolts, // clamped to 0..5000 mV, stored as ADC counts and shown as their mV
    kCutRow1,    // the cut-row rpm rules, rows 1-3
    kCutRow2,
    kCutRow3,
    kLcLock,    // not above the release rpm, then clamped
    kLcRelease, // not below the lock rpm, then clamped
    kRadio,     // one of the entries
    kCheck,     // 0 or 1
};

struct GearboxFieldSpec {
    std::string name;  // lower case with underscores, as `--edit` takes it
    std::string label; // as the dialog labels it
    GearboxDialog dialog;
    GearboxPart part;
    GearboxRule rule;
    int min = 0, max = 0;
};

// Field ids: ranges of the table, in order.
constexpr int kGbTeeth = 0;          // 14: primary counter, primary main, gear 1 counter, ...
constexpr int kGbRpmNeutral = 14;    // RPM / Indicator, column N
constexpr int kGbRpm = 15;           // 6: RPM / Indicator of gears 1-6
constexpr int kGbHysteresis = 21;    //
constexpr int kGbDirection = 22;     // Up / Down
constexpr int kGbReset = 23;         // shift sensor reset level
constexpr int kGbTrigger = 24;       // 5: "mV / Triger" of gears 1-5
constexpr int kGbCutPulses = 29;     // 15: row r, gear g at kGbCutPulses + 5 r + g
constexpr int kGbCutRpm = 44;        // 3: the rows' rpm
constexpr int kGbAs = 47;            // "AS off", "AS 1".."AS 3"
constexpr int kGbNewtype = 48;       // NewtypeLogfile (CompressFile)
constexpr int kExAwc = 49;           // AWC on/off
constexpr int kExSlip = 50;          // "x10 % Slip Thr."
constexpr int kExOnPulse = 51;       // "On/Off Pulse", first field
constexpr int kExOffPulse = 52;      // second field
constexpr int kExContinuous = 53;    // "Continuous Thr. Pulse"
constexpr int kExCutModeRepeat = 54; // "Cut Mode Rep. Pulse"
constexpr int kExLc = 55;            // LC on/off
constexpr int kExLcLock = 56;        // "LC Lock rpm"
constexpr int kExLcRelease = 57;     // "LC Release rpm"
constexpr int kExLcTolerance = 58;   // "LC Tolerance rpm"
constexpr int kGearboxFieldCount = 59;

const GearboxFieldSpec& GearboxField(int id);
// -1 for an unknown name.
int FindGearboxField(const std::string& name);
std::vector<std::string> GearboxFieldEntries(int id); // a radio's entries, in value order

// Whether the dialog shows the field with the current settings.
bool GearboxFieldShown(int id);
// What the field shows.
std::string GearboxFieldText(int id);
// A value typed into a field and left, or a radio or check chosen: applied to the setup values
// by the field's rule. False (nothing changed) for a field the dialog does not show, or a radio
// entry that does not exist.
bool EditGearboxField(int id, const std::string& text);

// What opening each dialog does to the values before it shows them: the shift direction
// becomes Up unless it is Down, and without the AWC setting (or Debug) the AWC is switched off
// with its off pulse; Extend Control, with the shifter, also forces the AWC pulses that only
// the AWC setting 2 shows.
void OpenGearBoxValues();
void OpenExtendControlValues();
// The "Extend" and "Debug OFF" buttons of GearBox Setting.
bool GearBoxExtendShown();
bool GearBoxDebugOffShown();

// The gearbox values at their offsets in the CAN logger's setup file (a block of at least 169
// bytes).
void WriteGearboxToCanSetup(uint8_t* block, const SetupValues& v);

} // namespace qvtk
