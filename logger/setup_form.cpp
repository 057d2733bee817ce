#include "logger/setup_form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/session.h"
#include "data/settings.h"
#include "logger/corrective_tools.h"
#include "logger/setup_files.h"

namespace qvtk {

const char* const kSetupLevelNames[3] = {"Easy Mode", "Standard", "Expert "};

namespace {

using C = SetupControl;

// A stroke field holds whole mm stored x 10: it stays inside the signed 16-bit field.
constexpr int kStrokeMmLimit = 3276;

const SetupFieldSpec kFields[kSetupFieldCount] = {
    {"engine_pulse_ne", "Engine Pulse (Ne)", C::kList, 0, 16, kLevelEasy},
    {"vfw_mm", "VFW mm", C::kField, 500, 3000, kLevelEasy},
    {"vfw_pulse_rev", "VFW Pulse/rev.", C::kList, 1, 40, kLevelEasy},
    {"rear_sensor", "Wheel Sens. / Gearbox Sens.", C::kRadio, 0, 1, kLevelEasy},
    {"vrw_mm", "VRW mm", C::kField, 500, 3000, kLevelEasy},
    {"vrw_pulse", "VRW Pulse", C::kList, 1, 40, kLevelEasy},
    {"final_ratio_front", "FinalRatio", C::kList, 13, 20, kLevelEasy},
    {"final_ratio_rear", "FinalRatio rear", C::kList, 30, 70, kLevelEasy},
    {"c_gear_pulse_rev", "Sens.[C]Gear Pulse/rev.", C::kList, 1, 35, kLevelEasy},
    {"link_ratio", "Link ratio", C::kField, 150, 400, kLevelExpert},
    {"sus_front", "Sus stroke sensor Front", C::kRadio, 0, 1, kLevelStandard},
    {"sus_rear", "Sus stroke sensor Rear", C::kRadio, 0, 1, kLevelStandard},
    {"front_mm", "Front mm (0-5V)", C::kField, -kStrokeMmLimit, kStrokeMmLimit, kLevelStandard},
    {"rear_mm", "Rear mm (0-5V)", C::kField, -kStrokeMmLimit, kStrokeMmLimit, kLevelStandard},
    {"lap_marker", "LAP Marker", C::kList, 0, 3, kLevelEasy},
    {"position_adjust_tps", "Position Adjust TPS", C::kCheck, 0, 1, kLevelEasy},
    {"position_adjust_frsus", "Position Adjust FrSUS", C::kCheck, 0, 1, kLevelEasy},
    {"position_adjust_rrsus", "Position Adjust RrSUS", C::kCheck, 0, 1, kLevelEasy},
    {"memo", "memo", C::kText, 0, int(kMemoFieldBytes), kLevelEasy},
};

bool IsStroke(int id) {
    return id == kSetFrontMm || id == kSetRearMm;
}

std::string Number(int v) {
    return std::to_string(v);
}

// The number a field reads: leading sign and digits, as a dialog's integer field does.
int ReadNumber(const std::string& text) {
    return int(std::clamp(std::strtol(text.c_str(), nullptr, 10), -1000000L, 1000000L));
}

int ListValue(int id, int v) {
    const SetupFieldSpec& f = kFields[id];
    if (id == kSetLapMarker && (v < 0 || v > 3)) return 0;
    return std::clamp(v, f.min, f.max);
}

} // namespace

const SetupFieldSpec& SetupField(int id) {
    return kFields[id];
}

int FindSetupField(const std::string& name) {
    for (int id = 0; id < kSetupFieldCount; ++id)
        if (name == kFields[id].name) return id;
    return -1;
}

std::vector<std::string> SetupFieldEntries(int id) {
    const SetupFieldSpec& f = kFields[id];
    switch (id) {
    case kSetEnginePulse: {
        std::vector<std::string> e = {"0.5", "1", "2"};
        char entry[8];
        for (int n = 3; n <= 16; ++n) {
            std::snprintf(entry, sizeof entry, "(%d)", n);
            e.emplace_back(entry);
        }
        return e;
    }
    case kSetRearSensor:
        return {"Wheel Sens.", "Gearbox Sens."};
    case kSetSusFront:
    case kSetSusRear:
        return {"PTX", "Linear"};
    case kSetLapMarker:
        return {"-", "1", "2", "3"};
    default:
        break;
    }
    if (f.control != C::kList) return {};
    std::vector<std::string> e;
    for (int v = f.min; v <= f.max; ++v) e.push_back(Number(v));
    return e;
}

void FillSetupForm(SetupForm& form) {
    const SetupValues& v = g_setupValues;
    int* x = form.value;
    x[kSetEnginePulse] = ListValue(kSetEnginePulse, v.enginePulseEntry);
    x[kSetVfwMm] = v.tireFront;
    x[kSetVfwPulse] = ListValue(kSetVfwPulse, v.pulsesFront);
    x[kSetRearSensor] = v.rearSource != 0 ? 1 : 0;
    x[kSetVrwMm] = v.tireRear;
    x[kSetVrwPulse] = ListValue(kSetVrwPulse, v.pulsesRear);
    x[kSetFinalFront] = ListValue(kSetFinalFront, v.sprocketFront);
    x[kSetFinalRear] = ListValue(kSetFinalRear, v.sprocketRear);
    x[kSetGearPulse] = ListValue(kSetGearPulse, v.gearSensorPulses);
    x[kSetLinkRatio] = v.linkRatio;
    x[kSetSusFront] = v.susTypeFront; // another type checks neither radio and is kept
    x[kSetSusRear] = v.susTypeRear;
    x[kSetFrontMm] = v.strokeFront;
    x[kSetRearMm] = v.strokeRear;
    x[kSetLapMarker] = ListValue(kSetLapMarker, v.marksPerLap);
    x[kSetAdjustTps] = g_correctiveTools.positionAdjust ? 1 : 0; // until a corrected save
    x[kSetAdjustFront] = x[kSetAdjustRear] = 0;
    form.memo.assign(v.memo, strnlen(v.memo, kMemoFieldBytes));
}

std::string SetupFieldText(const SetupForm& form, int id) {
    const SetupFieldSpec& f = kFields[id];
    const int v = form.value[id];
    switch (f.control) {
    case C::kList:
    case C::kRadio: {
        const std::vector<std::string> e = SetupFieldEntries(id);
        const int i = v - f.min;
        return i >= 0 && i < int(e.size()) ? e[size_t(i)] : std::string();
    }
    case C::kText:
        return form.memo;
    case C::kField:
        return Number(IsStroke(id) ? v / 10 : v);
    case C::kCheck:
        return v ? "1" : "0";
    }
    return {};
}

bool SetupFieldEnabled(const SetupForm& form, int id) {
    if (!File1HoldsBinaryLog()) return false;
    switch (id) {
    case kSetVrwPulse:
        return form.value[kSetRearSensor] == 0;
    case kSetGearPulse:
        return form.value[kSetRearSensor] == 1;
    case kSetFrontMm:
        return form.value[kSetSusFront] == 1;
    case kSetRearMm:
        return form.value[kSetSusRear] == 1;
    default:
        return true;
    }
}

bool EditSetupField(SetupForm& form, int id, const std::string& text) {
    if (id < 0 || id >= kSetupFieldCount || !SetupFieldEnabled(form, id)) return false;
    const SetupFieldSpec& f = kFields[id];
    switch (f.control) {
    case C::kList:
    case C::kRadio: {
        const std::vector<std::string> e = SetupFieldEntries(id);
        const auto it = std::find(e.begin(), e.end(), text);
        if (it == e.end()) return false;
        form.value[id] = f.min + int(it - e.begin());
        return true;
    }
    case C::kText:
        form.memo = text.substr(0, kMemoFieldBytes);
        form.memo.resize(strnlen(form.memo.c_str(), form.memo.size()));
        return true;
    case C::kField: {
        const int v = std::clamp(ReadNumber(text), f.min, f.max);
        form.value[id] = IsStroke(id) ? v * 10 : v;
        return true;
    }
    case C::kCheck:
        form.value[id] = ReadNumber(text) != 0 ? 1 : 0;
        return true;
    }
    return false;
}

void ReadSetupForm(const SetupForm& form) {
    SetupValues& v = g_setupValues;
    const int* x = form.value;
    v.enginePulseEntry = x[kSetEnginePulse];
    v.tireFront = x[kSetVfwMm];
    v.pulsesFront = x[kSetVfwPulse];
    v.rearSource = x[kSetRearSensor];
    v.tireRear = x[kSetVrwMm];
    v.pulsesRear = x[kSetVrwPulse];
    v.sprocketFront = x[kSetFinalFront];
    v.sprocketRear = x[kSetFinalRear];
    v.gearSensorPulses = x[kSetGearPulse];
    v.linkRatio = x[kSetLinkRatio];
    v.susTypeFront = x[kSetSusFront];
    v.susTypeRear = x[kSetSusRear];
    v.strokeFront = x[kSetFrontMm];
    v.strokeRear = x[kSetRearMm];
    v.marksPerLap = x[kSetLapMarker];
    std::memset(v.memo, 0, sizeof v.memo);
    std::memcpy(v.memo, form.memo.data(), std::min(form.memo.size(), kMemoFieldBytes));
}

PositionAdjust FormPositionAdjust(const SetupForm& form) {
    return {form.value[kSetAdjustTps] != 0, form.value[kSetAdjustFront] != 0,
            form.value[kSetAdjustRear] != 0};
}

std::string FirmwareFieldText() {
    std::string text = g_session.firmware;
    if (DebugMode() && SlotOf(0).file.fileKind != kFileNone) {
        char version[8];
        std::snprintf(version, sizeof version, " 0x%02X", SlotOf(0).file.logVersion & 0xFF);
        text.append(text.empty() ? version + 1 : version);
    }
    return text;
}

void ChooseSetupLevel(int level) {
    g_settings.ExpertMode = std::clamp(level, 0, 2);
    if (g_settings.ExpertMode == kLevelEasy) {
        g_settings.smoothingNE = 0;
        g_settings.smoothingVW = 0;
        g_settings.AutoOnOffLoad = 1;
        g_settings.CoursePosSource = 0;
    }
}

} // namespace qvtk
