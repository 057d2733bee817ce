#include "logger/gearbox_setting.h"

#include <algorithm>
#include <cstdlib>

#include "data/settings.h"

namespace qvtk {

namespace {

using D = GearboxDialog;
using P = GearboxPart;
using R = GearboxRule;

constexpr int kCutStep = 250;

std::vector<GearboxFieldSpec> BuildTable() {
    std::vector<GearboxFieldSpec> t;
    auto add = [&t](std::string name, std::string label, D d, P p, R r, int min, int max) {
        t.push_back({std::move(name), std::move(label), d, p, r, min, max});
    };
    for (int pair = 0; pair < 7; ++pair) {
        const std::string gear = pair == 0 ? "primary" : "gear" + std::to_string(pair);
        const std::string column = pair == 0 ? "Primary" : std::to_string(pair);
        add("teeth_" + gear + "_counter", "Counter gear " + column, D::kGearBox, P::kAlways,
            R::kClamp, 10, 100);
        add("teeth_" + gear + "_main", "Main gear " + column, D::kGearBox, P::kAlways, R::kClamp,
            10, 100);
    }
    add("rpm_indicator_n", "RPM / Indicator N", D::kGearBox, P::kAlways, R::kClamp, 0, 30000);
    for (int g = 1; g <= 6; ++g)
        add("rpm_indicator_" + std::to_string(g), "RPM / Indicator " + std::to_string(g),
            D::kGearBox, P::kAlways, R::kStep100, 0, 25500);
    add("hysteresis", "Hysteresis", D::kGearBox, P::kAlways, R::kHysteresis, 0, 1000);
    add("direction", "Direction", D::kGearBox, P::kShifter, R::kRadio, 0, 1);
    add("reset_mv", "Reset", D::kGearBox, P::kShifter, R::kMillivolts, 0, 5000);
    for (int g = 1; g <= 5; ++g)
        add("trigger_mv_" + std::to_string(g), "mV / Triger " + std::to_string(g), D::kGearBox,
            P::kShifter, R::kMillivolts, 0, 5000);
    for (int r = 1; r <= 3; ++r)
        for (int g = 1; g <= 5; ++g)
            add("cut_pulses_" + std::to_string(r) + "_" + std::to_string(g),
                "Cut Pulses " + std::to_string(r) + " gear " + std::to_string(g), D::kGearBox,
                P::kShifter, R::kClamp, 0, 100);
    add("cut_rpm_1", "RPM 1", D::kGearBox, P::kShifter, R::kCutRow1, 500, 30000);
    add("cut_rpm_2", "RPM 2", D::kGearBox, P::kShifter, R::kCutRow2, 250, 29750);
    add("cut_rpm_3", "RPM 3", D::kGearBox, P::kShifter, R::kCutRow3, 0, 29500);
    add("as_setting", "AS", D::kGearBox, P::kShifter, R::kRadio, 0, 3);
    add("newtype_logfile", "NewtypeLogfile", D::kGearBox, P::kCompress, R::kCheck, 0, 1);
    add("awc", "AWC", D::kExtend, P::kAwc, R::kCheck, 0, 1);
    add("slip_threshold", "x10 % Slip Thr.", D::kExtend, P::kAwc, R::kClamp, 0, 3000);
    add("awc_on_pulse", "On Pulse", D::kExtend, P::kAwcPulses, R::kClamp, 0, 100);
    add("awc_off_pulse", "Off Pulse", D::kExtend, P::kAwcPulses, R::kClamp, 0, 100);
    add("continuous_thr_pulse", "Continuous Thr. Pulse", D::kExtend, P::kAwcPulses, R::kClamp, 0,
        255);
    add("cut_mode_rep_pulse", "Cut Mode Rep. Pulse", D::kExtend, P::kAwcPulses, R::kClamp, 0, 255);
    add("lc", "LC", D::kExtend, P::kLaunch, R::kCheck, 0, 1);
    add("lc_lock_rpm", "LC Lock rpm", D::kExtend, P::kLaunch, R::kLcLock, 1000, 20000);
    add("lc_release_rpm", "LC Release rpm", D::kExtend, P::kLaunch, R::kLcRelease, 1000, 20000);
    add("lc_tolerance_rpm", "LC Tolerance rpm", D::kExtend, P::kLaunch, R::kClamp, 500, 20000);
    return t;
}

const std::vector<GearboxFieldSpec>& Table() {
    static const std::vector<GearboxFieldSpec> table = BuildTable();
    return table;
}

// The program-wide value a field edits.
int& ValueOf(int id) {
    SetupValues& v = g_setupValues;
    if (id < kGbRpmNeutral) return v.gearTeeth[id - kGbTeeth];
    if (id == kGbRpmNeutral) return v.neutralRpm;
    if (id < kGbHysteresis) return v.gearRpm[id - kGbRpm];
    if (id >= kGbTrigger && id < kGbCutPulses) return v.shiftTriggerLevel[id - kGbTrigger];
    if (id >= kGbCutPulses && id < kGbCutRpm)
        return v.cutPulses[(id - kGbCutPulses) / 5][(id - kGbCutPulses) % 5];
    if (id >= kGbCutRpm && id < kGbAs) return v.cutRowRpm[id - kGbCutRpm];
    switch (id) {
    case kGbHysteresis:
        return v.hysteresis;
    case kGbDirection:
        return v.shiftDirection;
    case kGbReset:
        return v.shiftResetLevel;
    case kGbAs:
        return v.asSetting;
    case kGbNewtype:
        return g_settings.CompressFile;
    case kExAwc:
        return v.awcOn;
    case kExSlip:
        return v.slipThreshold;
    case kExOnPulse:
        return v.awcOnPulse;
    case kExOffPulse:
        return v.awcOffPulse;
    case kExContinuous:
        return v.continuousPulse;
    case kExCutModeRepeat:
        return v.cutModeRepeatPulse;
    case kExLc:
        return v.lcOn;
    case kExLcLock:
        return v.lcLockRpm;
    case kExLcRelease:
        return v.lcReleaseRpm;
    default:
        return v.lcToleranceRpm;
    }
}

// The number a field reads: leading sign and digits, as a dialog's integer field does.
int ReadNumber(const std::string& text) {
    return int(std::clamp(std::strtol(text.c_str(), nullptr, 10), -1000000L, 1000000L));
}

bool Shifter() {
    return g_settings.Shifter != 0 || DebugMode();
}
bool AwcAllowed() {
    return g_settings.AWC != 0 || DebugMode();
}

// The cut rows keep row 1 > row 2 > row 3, each a multiple of 250. A negative entry first
// goes to its row's lower bound: taken as it is it would end up at the top of the range,
// above the row before it.
int CutRowValue(int row, int typed) {
    const int* r = g_setupValues.cutRowRpm;
    int x = typed / kCutStep * kCutStep;
    switch (row) {
    case 0:
        x = std::clamp(x, 500, 30000);
        if (x <= r[1]) x = r[1] + kCutStep;
        return x;
    case 1:
        if (x < 0) x = kCutStep;
        if (x <= r[2]) x = r[2] + kCutStep;
        if (x >= r[0]) x = r[0] - kCutStep;
        return std::clamp(x, kCutStep, 29750);
    default:
        x = std::max(x, 0);
        if (x >= r[1]) x = r[1] - kCutStep;
        return std::clamp(x, 0, 29500);
    }
}

} // namespace

const GearboxFieldSpec& GearboxField(int id) {
    return Table()[size_t(id)];
}

int FindGearboxField(const std::string& name) {
    const std::vector<GearboxFieldSpec>& t = Table();
    for (size_t id = 0; id < t.size(); ++id)
        if (t[id].name == name) return int(id);
    return -1;
}

std::vector<std::string> GearboxFieldEntries(int id) {
    if (id == kGbDirection) return {"Up", "Down"};
    if (id == kGbAs) return {"AS off", "AS 1", "AS 2", "AS 3"};
    return {};
}

bool GearboxFieldShown(int id) {
    if (id < 0 || id >= kGearboxFieldCount) return false;
    switch (GearboxField(id).part) {
    case P::kAlways:
        return true;
    case P::kShifter:
        return Shifter();
    case P::kCompress:
        return g_settings.AllowCompressMode != 0 || DebugMode();
    case P::kAwc:
        return Shifter() && AwcAllowed();
    case P::kAwcPulses:
        return Shifter() && (g_settings.AWC >= 2 || DebugMode());
    case P::kLaunch:
        return g_settings.LC != 0 || DebugMode();
    }
    return false;
}

std::string GearboxFieldText(int id) {
    const GearboxFieldSpec& f = GearboxField(id);
    const int v = ValueOf(id);
    switch (f.rule) {
    case R::kHysteresis:
        return std::to_string(v * 4);
    case R::kMillivolts:
        return std::to_string(CountsToMillivolts(v));
    case R::kRadio: {
        const std::vector<std::string> e = GearboxFieldEntries(id);
        return v >= 0 && v < int(e.size()) ? e[size_t(v)] : e[0];
    }
    case R::kCheck:
        return v ? "1" : "0";
    default:
        return std::to_string(v);
    }
}

bool EditGearboxField(int id, const std::string& text) {
    if (!GearboxFieldShown(id)) return false;
    const GearboxFieldSpec& f = GearboxField(id);
    int& value = ValueOf(id);
    const int typed = ReadNumber(text);
    const SetupValues& v = g_setupValues;
    switch (f.rule) {
    case R::kClamp:
        value = std::clamp(typed, f.min, f.max);
        return true;
    case R::kStep100:
        value = std::clamp(typed / 100 * 100, f.min, f.max);
        return true;
    case R::kHysteresis:
        value = std::clamp(typed, f.min, f.max) / 4;
        return true;
    case R::kMillivolts:
        value = MillivoltsToCounts(std::clamp(typed, f.min, f.max));
        return true;
    case R::kCutRow1:
    case R::kCutRow2:
    case R::kCutRow3:
        value = CutRowValue(id - kGbCutRpm, typed);
        return true;
    case R::kLcLock:
        value = std::clamp(std::min(typed, v.lcReleaseRpm), f.min, f.max);
        return true;
    case R::kLcRelease:
        value = std::clamp(std::max(typed, v.lcLockRpm), f.min, f.max);
        return true;
    case R::kRadio: {
        const std::vector<std::string> e = GearboxFieldEntries(id);
        const auto it = std::find(e.begin(), e.end(), text);
        if (it == e.end()) return false;
        value = int(it - e.begin());
        return true;
    }
    case R::kCheck:
        value = typed != 0 ? 1 : 0;
        return true;
    }
    return false;
}

void OpenGearBoxValues() {
    SetupValues& v = g_setupValues;
    if (v.shiftDirection != 1) v.shiftDirection = 0;
    if (!AwcAllowed()) v.awcOffPulse = v.awcOn = 0;
}

void OpenExtendControlValues() {
    if (!Shifter()) return;
    SetupValues& v = g_setupValues;
    if (g_settings.AWC < 2 && !DebugMode()) {
        v.awcOnPulse = 5;
        v.awcOffPulse = 1;
        v.continuousPulse = 16;
        v.cutModeRepeatPulse = 12;
    }
    if (!AwcAllowed()) v.awcOffPulse = v.awcOn = 0;
}

bool GearBoxExtendShown() {
    return AwcAllowed() || g_settings.LC != 0;
}

bool GearBoxDebugOffShown() {
    return DebugMode();
}

void WriteGearboxToCanSetup(uint8_t* b, const SetupValues& v) {
    auto put16 = [b](size_t at, int x) {
        b[at] = uint8_t(x >> 8);
        b[at + 1] = uint8_t(x);
    };
    put16(64, v.neutralRpm);
    for (size_t g = 0; g < 6; ++g) put16(66 + 2 * g, v.gearRpm[g]);
    put16(78, v.hysteresis);
    for (size_t t = 0; t < 14; ++t) b[80 + t] = uint8_t(v.gearTeeth[t]);
    put16(130, v.shiftResetLevel);
    for (size_t g = 0; g < 5; ++g) put16(132 + 2 * g, v.shiftTriggerLevel[g]);
    b[144] = uint8_t(v.shiftDirection);
    for (size_t r = 0; r < 3; ++r) put16(146 + 2 * r, v.cutRowRpm[r]);
    for (size_t g = 0; g < 5; ++g) {
        b[152 + g] = uint8_t(v.cutPulses[0][g]);
        b[158 + g] = uint8_t(v.cutPulses[1][g]);
        b[164 + g] = uint8_t(v.cutPulses[2][g]);
    }
}

} // namespace qvtk
