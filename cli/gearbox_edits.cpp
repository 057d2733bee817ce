// The `--edit` fields of GearBox Setting, Extend Control and the analog input calculation, as
// the setup-file commands apply and list them.
#include <iostream>

#include "cli/commands.h"
#include "logger/gearbox_setting.h"
#include "logger/input_calculation.h"

namespace qvtk::cli {

namespace {

std::string LowerInputName(int input) {
    std::string name = kInputNames[input];
    for (char& c : name) c = char(c | 0x20);
    return name;
}

// "laf1_a": the input and its field; false for another name.
bool SplitInputName(const std::string& name, int& input, int& field) {
    for (input = 0; input < kSetupInputs; ++input) {
        const std::string prefix = LowerInputName(input) + "_";
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        field = FindInputField(name.substr(prefix.size()));
        return field >= 0;
    }
    return false;
}

std::string GearboxDescription(int id) {
    const GearboxFieldSpec& f = GearboxField(id);
    const std::string range = std::to_string(f.min) + ".." + std::to_string(f.max);
    switch (f.rule) {
    case GearboxRule::kStep100:
        return "field " + range + ", rounded down to a multiple of 100";
    case GearboxRule::kHysteresis:
        return "field " + range + ", stored divided by 4";
    case GearboxRule::kMillivolts:
        return "field " + range + " mV, stored as ADC counts";
    case GearboxRule::kCutRow1:
    case GearboxRule::kCutRow2:
    case GearboxRule::kCutRow3:
        return "field " + range + ", multiples of 250, row 1 > row 2 > row 3";
    case GearboxRule::kLcLock:
        return "field " + range + ", not above lc_release_rpm";
    case GearboxRule::kLcRelease:
        return "field " + range + ", not below lc_lock_rpm";
    case GearboxRule::kCheck:
        return "check 0|1";
    case GearboxRule::kRadio: {
        std::string e = "one of";
        for (const std::string& entry : GearboxFieldEntries(id)) e += " \"" + entry + "\"";
        return e;
    }
    case GearboxRule::kClamp:
        break;
    }
    return "field " + range;
}

std::string InputDescription(int field) {
    if (field == kInType) {
        std::string e = "one of";
        for (const char* t : kInputTypeNames) e += std::string(" \"") + t + "\"";
        return e;
    }
    if (field == kInGain) return "decimal -327.67..327.67, at least 0.01 from 0 (ax+b)";
    if (field == kInOffset) return "decimal -327.67..327.67 (ax+b)";
    if (field < kInValue)
        return "decimal 0..5.00 V on the ADC grid, not below the row above (Table)";
    return "decimal -300.00..300.00 (Table)";
}

std::string InputLabel(int field) {
    if (field == kInType) return "type";
    if (field == kInGain) return "a =";
    if (field == kInOffset) return "b =";
    if (field < kInValue) return "Voltage (V) " + std::to_string(field - kInVoltage + 1);
    return "Value " + std::to_string(field - kInValue + 1);
}

} // namespace

bool IsGearboxOrInputEdit(const std::string& name, bool withInputs) {
    int input = 0, field = 0;
    return FindGearboxField(name) >= 0 || (withInputs && SplitInputName(name, input, field));
}

bool ApplyGearboxOrInputEdit(GearboxEdits& state, const std::string& name, const std::string& text,
                             std::string& why) {
    const int id = FindGearboxField(name);
    if (id >= 0) {
        // Typing into a dialog's field means it was opened, with what opening forces.
        if (!state.gearBoxOpened) OpenGearBoxValues();
        state.gearBoxOpened = true;
        if (GearboxField(id).dialog == GearboxDialog::kExtend && !state.extendOpened)
            OpenExtendControlValues();
        state.extendOpened |= GearboxField(id).dialog == GearboxDialog::kExtend;
        if (EditGearboxField(id, text)) return true;
        why = GearboxFieldShown(id) ? "" : " (not shown with these settings)";
        return false;
    }
    int input = 0, field = 0;
    if (!SplitInputName(name, input, field)) return false;
    if (EditInputField(input, field, text)) return true;
    why = InputFieldEnabled(input, field) ? "" : " (it is disabled)";
    return false;
}

void ListField(std::ostream& out, const char* name, const char* label, SetupControl control,
               int min, int max, const std::vector<std::string>& entries, const char* listWord) {
    out << name << "\t" << label << "\t";
    switch (control) {
    case SetupControl::kField:
        out << "field " << min << ".." << max;
        break;
    case SetupControl::kText:
        out << "text, at most " << max << " bytes";
        break;
    case SetupControl::kCheck:
        out << "check 0|1";
        break;
    default:
        out << listWord;
        for (const std::string& e : entries) out << " \"" << e << "\"";
    }
    out << "\n";
}

void ListGearboxFields(std::ostream& out) {
    for (int id = 0; id < kGearboxFieldCount; ++id) {
        const GearboxFieldSpec& f = GearboxField(id);
        out << f.name << "\t" << f.label << "\t" << GearboxDescription(id) << "\n";
    }
}

void ListInputFields(std::ostream& out, bool withInputName) {
    for (int k = 0; k < (withInputName ? kSetupInputs : 1); ++k) {
        const std::string prefix = withInputName ? LowerInputName(k) : "";
        for (int field = 0; field < kInputFieldCount; ++field) {
            const std::string name = InputFieldName(field);
            out << (withInputName ? prefix + "_" + name : name) << "\t"
                << (withInputName ? std::string(kInputNames[k]) + " " : "") << InputLabel(field)
                << "\t" << InputDescription(field) << "\n";
        }
    }
}

} // namespace qvtk::cli
