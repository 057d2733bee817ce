#include "logger/can_setup_form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data/can_setup_values.h"
#include "data/session.h"
#include "data/settings.h"
#include "data/setup_values.h"

namespace qvtk {

namespace {

using C = SetupControl;

constexpr int kFirstYear = 2012, kLastYear = 2029;

const CanFieldSpec kFields[kCanFieldCount] = {
    {"sampling_rate", "Sampling Rate", C::kList, 0, 0},
    {"lap_signal_type", "Signal Type", C::kList, 0, 2},
    {"lap_out", "LAP OUT", C::kList, 0, 1},
    {"marker_of_lap", "Marker of LAP", C::kList, 1, 3},
    {"start_condition", "Start conditions", C::kList, 0, 3},
    {"start_value", "x", C::kField, 0, 65535},
    {"start_source", "Start source", C::kList, 0, 1},
    {"final_ratio_front", "FinalRatio", C::kList, 13, 20},
    {"final_ratio_rear", "FinalRatio rear", C::kList, 30, 70},
    {"vfw_tire", "VFW Tire", C::kField, 500, 3000},
    {"vrw_tire", "VRW Tire", C::kField, 500, 3000},
    {"course_map", "CourseMAP", C::kList, 0, 0},
    {"can1_bitrate", "CAN 1(for ECU) Bitrate", C::kList, 0, 4},
    {"can1_terminator", "CAN 1 Terminator", C::kCheck, 0, 1},
    {"can1_listen_only", "CAN 1 ListenOnly", C::kCheck, 0, 1},
    {"can2_bitrate", "CAN 2(for Ext) Bitrate", C::kList, 0, 4},
    {"can2_terminator", "CAN 2 Terminator", C::kCheck, 0, 1},
    {"can2_listen_only", "CAN 2 ListenOnly", C::kCheck, 0, 1},
    {"gps_clock", "GPS Clock", C::kCheck, 0, 1},
    {"timezone_hour", "TimeZone Hour", C::kList, 0, 26},
    {"timezone_minute", "TimeZone Minute", C::kList, 0, 3},
    {"year", "Year", C::kList, kFirstYear, kLastYear},
    {"month", "Month", C::kList, 1, 12},
    {"day", "day", C::kList, 1, 31},
    {"hour", "Hour", C::kList, 0, 23},
    {"minute", "Minute", C::kList, 0, 59},
    {"zero_adjust_frsus", "FrSus", C::kCheck, 0, 1},
    {"zero_adjust_rrsus", "RrSus", C::kCheck, 0, 1},
    {"zero_adjust_frbrake", "FrBrake", C::kCheck, 0, 1},
    {"zero_adjust_rrbrake", "RrBrake", C::kCheck, 0, 1},
    {"zero_adjust_tps", "TPS", C::kCheck, 0, 1},
    {"memo", "memo", C::kText, 0, int(kCanMemoBytes)},
};

std::vector<std::string> Named(int id) {
    switch (id) {
    case kCanSamplingRate:
        return {"200Hz"};
    case kCanLapSignalType:
        return {"LAP In(Active L)", "LAP In(Active H)", "GPS"};
    case kCanLapOut:
        return {"OFF", "ON"};
    case kCanStartCondition:
        return {"APS > x(CANdirect)", "After x second(s)", "Ne > x(CANdirect)", "CAN Data arrived"};
    case kCanStartSource:
        return {"Calc", "CAN Data"};
    case kCan1BitRate:
    case kCan2BitRate:
        return {"1Mbps", "500kbps", "250kbps", "125kbps", "100kbps"};
    case kCanZoneMinute:
        return {"0", "15", "30", "45"};
    default:
        return {};
    }
}

std::vector<std::string> CourseFiles() {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    const std::string dir = g_session.programDirectory.empty() ? "." : g_session.programDirectory;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && it->path().extension() == ".crs")
            names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int ListValue(int id, int v) {
    return std::clamp(v, kFields[id].min, kFields[id].max);
}

void TakeZoneFromPc(CanSetupForm& form) {
    const TimeZoneChoice z = TimeZoneFromBias(LocalTimeZoneBias());
    form.value[kCanZoneHour] = z.hourIndex;
    form.value[kCanZoneMinute] = std::clamp(z.minutes / 15, 0, 3);
}

} // namespace

const CanFieldSpec& CanField(int id) {
    return kFields[id];
}

int FindCanField(const std::string& name) {
    for (int id = 0; id < kCanFieldCount; ++id)
        if (name == kFields[id].name) return id;
    return -1;
}

std::vector<std::string> CanFieldEntries(int id) {
    if (id == kCanCourse) return CourseFiles();
    if (id == kCanZoneHour) {
        std::vector<std::string> e;
        char text[8];
        for (int h = -12; h <= 14; ++h) {
            std::snprintf(text, sizeof text, "%+d", h);
            e.emplace_back(text);
        }
        return e;
    }
    std::vector<std::string> e = Named(id);
    if (!e.empty() || kFields[id].control != C::kList) return e;
    for (int v = kFields[id].min; v <= kFields[id].max; ++v) e.push_back(std::to_string(v));
    return e;
}

void FillCanSetupForm(CanSetupForm& form) {
    const CanSetupValues& c = g_canSetupValues;
    const SetupValues& v = g_setupValues;
    int* x = form.value;
    x[kCanSamplingRate] = 0;
    x[kCanLapSignalType] = ListValue(kCanLapSignalType, c.lapSignalType);
    x[kCanLapOut] = ListValue(kCanLapOut, c.lapOut);
    x[kCanMarkerOfLap] = v.marksPerLap >= 1 && v.marksPerLap <= 3 ? v.marksPerLap : 1;
    x[kCanStartCondition] = ListValue(kCanStartCondition, c.startCondition);
    x[kCanStartValue] = ListValue(kCanStartValue, c.startValue);
    x[kCanStartSource] = 1; // "CAN Data"
    x[kCanFinalFront] = ListValue(kCanFinalFront, v.sprocketFront);
    x[kCanFinalRear] = ListValue(kCanFinalRear, v.sprocketRear);
    x[kCanVfwTire] = v.tireFront;
    x[kCanVrwTire] = v.tireRear;
    const int bus[2][3] = {{kCan1BitRate, kCan1Terminator, kCan1ListenOnly},
                           {kCan2BitRate, kCan2Terminator, kCan2ListenOnly}};
    for (int b = 0; b < 2; ++b) {
        x[bus[b][0]] = ListValue(bus[b][0], c.bitRate[b]);
        x[bus[b][1]] = c.terminator[b] != 0;
        x[bus[b][2]] = c.listenOnly[b] != 0;
    }
    x[kCanGpsClock] = c.gpsClock != 0;
    x[kCanZoneHour] = ListValue(kCanZoneHour, c.timeZoneHourIndex);
    x[kCanZoneMinute] = std::clamp(c.timeZoneMinutes / 15, 0, 3);
    const ClockSetTime now = LocalClockSetTime();
    x[kCanYear] = ListValue(kCanYear, now.year);
    x[kCanMonth] = now.month;
    x[kCanDay] = now.day;
    x[kCanHour] = now.hour;
    x[kCanMinute] = now.minute;
    for (int id = kCanZeroFrSus; id <= kCanZeroTps; ++id) x[id] = 0;
    form.memo = c.memo.substr(0, kCanMemoBytes);
    form.course = g_settings.CourseFile_name;
    form.line = CourseLine(form.course);
}

std::string CanFieldText(const CanSetupForm& form, int id) {
    const CanFieldSpec& f = kFields[id];
    switch (f.control) {
    case C::kList: {
        if (id == kCanCourse) return form.course;
        const std::vector<std::string> e = CanFieldEntries(id);
        const int i = form.value[id] - f.min;
        return i >= 0 && i < int(e.size()) ? e[size_t(i)] : std::string();
    }
    case C::kText:
        return form.memo;
    case C::kCheck:
        return form.value[id] ? "1" : "0";
    default:
        return std::to_string(form.value[id]);
    }
}

bool CanFieldEnabled(const CanSetupForm& form, int id) {
    const bool gpsClock = form.value[kCanGpsClock] != 0;
    switch (id) {
    case kCanZeroTps:
        return false;
    case kCanZoneHour:
    case kCanZoneMinute:
        return gpsClock;
    case kCanYear:
    case kCanMonth:
    case kCanDay:
    case kCanHour:
    case kCanMinute:
        return !gpsClock;
    default:
        return true;
    }
}

bool EditCanField(CanSetupForm& form, int id, const std::string& text) {
    if (id < 0 || id >= kCanFieldCount || !CanFieldEnabled(form, id)) return false;
    const CanFieldSpec& f = kFields[id];
    switch (f.control) {
    case C::kList: {
        const std::vector<std::string> e = CanFieldEntries(id);
        const auto it = std::find(e.begin(), e.end(), text);
        if (it == e.end()) return false;
        if (id == kCanCourse) {
            form.course = text;
            form.line = CourseLine(text); // the line goes with the course
            return true;
        }
        form.value[id] = f.min + int(it - e.begin());
        return true;
    }
    case C::kField: {
        const long typed = std::strtol(text.c_str(), nullptr, 10);
        form.value[id] = int(std::clamp<long>(typed, f.min, f.max));
        return true;
    }
    case C::kCheck: {
        const int on = std::strtol(text.c_str(), nullptr, 10) != 0;
        if (id == kCanGpsClock && on && !form.value[id]) TakeZoneFromPc(form);
        form.value[id] = on;
        return true;
    }
    case C::kText:
        form.memo = text.substr(0, kCanMemoBytes);
        form.memo.resize(strnlen(form.memo.c_str(), form.memo.size()));
        return true;
    default:
        return false;
    }
}

void ReadCanSetupForm(const CanSetupForm& form) {
    CanSetupValues& c = g_canSetupValues;
    SetupValues& v = g_setupValues;
    const int* x = form.value;
    v.tireFront = x[kCanVfwTire];
    v.tireRear = x[kCanVrwTire];
    v.sprocketFront = x[kCanFinalFront];
    v.sprocketRear = x[kCanFinalRear];
    v.marksPerLap = x[kCanMarkerOfLap];
    c.bitRate[0] = x[kCan1BitRate];
    c.terminator[0] = x[kCan1Terminator];
    c.listenOnly[0] = x[kCan1ListenOnly];
    c.bitRate[1] = x[kCan2BitRate];
    c.terminator[1] = x[kCan2Terminator];
    c.listenOnly[1] = x[kCan2ListenOnly];
    c.lapSignalType = x[kCanLapSignalType];
    c.lapOut = x[kCanLapOut];
    c.startCondition = x[kCanStartCondition];
    c.startValue = x[kCanStartValue];
    c.gpsClock = x[kCanGpsClock];
    c.timeZoneHourIndex = x[kCanZoneHour];
    c.timeZoneMinutes = x[kCanZoneMinute] * 15;
    c.memo = form.memo.substr(0, kCanMemoBytes);
}

ZeroPositionAdjust FormZeroAdjust(const CanSetupForm& form) {
    const int* x = form.value;
    return {x[kCanZeroFrSus] != 0, x[kCanZeroRrSus] != 0, x[kCanZeroFrBrake] != 0,
            x[kCanZeroRrBrake] != 0};
}

SetupCourse FormCourse(const CanSetupForm& form) {
    return {form.course, form.line};
}

ClockSetTime FormClockTime(const CanSetupForm& form) {
    const int* x = form.value;
    return {x[kCanYear], x[kCanMonth], x[kCanDay], x[kCanHour], x[kCanMinute]};
}

} // namespace qvtk
