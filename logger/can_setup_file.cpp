#include "logger/can_setup_file.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "analysis/gps_laps.h"
#include "data/settings.h"
#include "logger/channel_edit.h"
#include "logger/channel_table_file.h"
#include "logger/gearbox_setting.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"
#include "platform/wait.h"

namespace qvtk {

namespace {

constexpr int kSavedWait = 500;
constexpr size_t kMemoAt = 256;
constexpr size_t kFileMemoBytes = 255;
constexpr size_t kCourseAt = 112, kCourseChars = 15;

void Put16(uint8_t* f, size_t at, int v) {
    f[at] = uint8_t(v >> 8);
    f[at + 1] = uint8_t(v);
}
void Put32(uint8_t* f, size_t at, int32_t v) {
    Put16(f, at, int(uint32_t(v) >> 16));
    Put16(f, at + 2, int(uint32_t(v) & 0xFFFF));
}

void PutCan(uint8_t* f, const CanSetupValues& can) {
    for (size_t bus = 0; bus < 2; ++bus) {
        f[18 + 2 * bus] = uint8_t(can.bitRate[bus]);
        f[19 + 2 * bus] = uint8_t((can.terminator[bus] & 1) | (can.listenOnly[bus] & 1) << 1);
    }
    Put16(f, 22, can.startValue);
    f[24] = uint8_t(can.startCondition);
    f[26] = uint8_t(can.gpsClock);
    f[27] = uint8_t(can.timeZoneHourIndex);
    f[28] = uint8_t(can.timeZoneMinutes);
    f[31] = uint8_t(g_settings.Debug);
    f[32] = uint8_t(can.lapSignalType);
    f[33] = uint8_t(can.lapOut);
}

void PutGearbox(uint8_t* f, const SetupValues& v) {
    f[34] = uint8_t(v.marksPerLap >= 1 && v.marksPerLap <= 3 ? v.marksPerLap : 1);
    f[94] = uint8_t(v.sprocketFront);
    f[95] = uint8_t(v.sprocketRear);
    Put16(f, 96, v.tireFront);
    Put16(f, 98, v.tireRear);
    // Gear speeds, teeth, shifter levels and cut rows (in full rpm) as GearBox Setting has them.
    WriteGearboxToCanSetup(f, v);
}

void PutCourse(uint8_t* f, const SetupCourse& course) {
    const int32_t line[4] = {course.line.latA, course.line.lonA, course.line.latB,
                             course.line.lonB};
    for (size_t k = 0; k < 4; ++k) Put32(f, 48 + 4 * k, line[k]);
    const std::string name = course.name.substr(0, course.name.find('.'));
    std::memcpy(f + kCourseAt, name.data(), std::min(name.size(), kCourseChars));
}

// The channels of the ticked functions read zero at File 1's cursor.
void ApplyZeroPositionAdjust(ChannelSettingTable& table, const ZeroPositionAdjust& adjust) {
    const std::pair<bool, int> ticked[] = {
        {adjust.frSus, 9}, {adjust.rrSus, 10}, {adjust.frBrake, 24}, {adjust.rrBrake, 25}};
    for (int ch = 0; ch < kChannelSettings; ++ch) {
        ChannelSetting& c = table[size_t(ch)];
        for (const auto& [on, function] : ticked)
            if (on && c.function == function && ZeroOffsetOffered(c)) AdjustZeroOffset(ch, c);
    }
}

// The setup values as the logger can take them. The throttle readings are not part of this
// file and stay as they are (the shared values also feed the standard logger's 1-byte fields).
void NormaliseCanValues(SetupValues& v) {
    v.pulsesFront = std::max(v.pulsesFront, 1);
    v.pulsesRear = std::max(v.pulsesRear, 1);
    v.tireFront = std::max(v.tireFront, 100);
    v.tireRear = std::max(v.tireRear, 100);
    if (v.marksPerLap < 1 || v.marksPerLap > 3) v.marksPerLap = 1;
}

} // namespace

ControlLine CourseLine(const std::string& course) {
    if (SlotOf(0).file.fileKind == kFileFamily4 && g_session.courseName == course)
        return SlotOf(0).controlLine;
    return ReadControlLine(course);
}

void CopyKeptBytes(uint8_t* f) {
    if (SlotOf(0).file.fileKind != kFileFamily4) return;
    const uint8_t* h = g_session.setupEcho;
    f[25] = h[25];
    f[35] = h[35] & 1;
    f[36] = h[36] & 3;
    f[37] = h[37] & 63;
    f[38] = h[38];
    f[39] = h[39];
    f[40] = h[40] & 3;
    f[41] = h[41] & 63;
    f[42] = h[42];
    f[43] = h[43];
    f[142] = h[142];
    f[143] = h[143];
    f[145] = h[145];
}

std::vector<uint8_t> BuildCanSetupFile(const SetupValues& v, const CanSetupValues& can,
                                       const ChannelSettingTable& table, const SetupCourse& course,
                                       bool& fits) {
    std::vector<uint8_t> file(kCanHeaderBytes, 0);
    uint8_t* f = file.data();
    std::memcpy(f, "4KZL V0000     ", 15);
    f[17] = 63;
    PutCan(f, can);
    CopyKeptBytes(f);
    static const uint8_t kFixed[4] = {0x08, 0x3E, 0x07, 0xB6};
    std::memcpy(f + 44, kFixed, 4);
    PutGearbox(f, v);
    PutCourse(f, course);
    const size_t memo = std::min({can.memo.size(), kFileMemoBytes, strnlen(can.memo.c_str(), 512)});
    std::memcpy(f + kMemoAt, can.memo.data(), memo);
    fits = WriteChannelTableBlock(f, table, TableLayout::kPacked);
    return file;
}

bool SaveCanSetupFile(const std::string& path, const ZeroPositionAdjust& adjust,
                      const SetupCourse& course) {
    NormaliseCanValues(g_setupValues);
    ChannelSettingTable table = g_channelSettings.slots[0];
    ApplyZeroPositionAdjust(table, adjust);
    bool fits = true;
    const std::vector<uint8_t> file =
        BuildCanSetupFile(g_setupValues, g_canSetupValues, table, course, fits);
    if (!fits) {
        ShowMessage("SetUp File Error.Over Size...", "Error");
        return false;
    }
    if (!WriteWholeFile(
            path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()))) {
        ShowMessage("SetUp failed to save !!", "Error !!");
        return false;
    }
    g_channelSettings.slots[0] = table; // the file now holds the adjusted constants
    WaitWhileProcessing(kSavedWait);
    ShowMessage("SetUp File is saved.", "Saved");
    return true;
}

bool OverwriteMemoInCanLog(const std::string& memo) {
    uint8_t header[kCanHeaderBytes];
    if (!ReadFile1CanHeader(header)) return false;
    const size_t n = std::min({memo.size(), kCanMemoBytes, strnlen(memo.c_str(), memo.size())});
    std::memcpy(header + kMemoAt, memo.data(), n);
    header[kMemoAt + n] = 0;
    const std::string& path = SlotOf(0).file.filePath;
    if (!ReplaceFileBytes(path, 0,
                          std::string_view(reinterpret_cast<const char*>(header), sizeof header))) {
        ShowMessage("File write error. Not saved !", "Error !");
        return false;
    }
    // File 1's memo is now what the file holds.
    char* shown = SlotOf(0).header.memo;
    std::memset(shown, 0, kMemoBytes);
    std::memcpy(shown, header + kMemoAt, n);
    g_canSetupValues.memo.assign(memo.data(), n);
    ShowMessage("File saved !", "Save");
    return true;
}

TimeZoneChoice TimeZoneFromBias(int bias) {
    const int hours = -bias / 60; // toward zero
    TimeZoneChoice z;
    z.hourIndex = std::clamp(kTimeZoneHourIndexZero + hours, 0, 26);
    z.minutes = std::abs(bias) - std::abs(hours) * 60;
    return z;
}

int LocalTimeZoneBias() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return int(-local.tm_gmtoff / 60);
}

} // namespace qvtk
