#include "data/settings.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/ini_text.h"

namespace qvtk {

Settings g_settings;
LayoutList g_layoutList;
CsvLabels g_csvLabels;

const char* const kCsvLabelSections[kCsvLabelRows] = {"Time",  "Ne",    "TH",   "VFW",  "VRW",
                                                      "FRSUS", "RRSUS", "LAF1", "LAF2", "VB",
                                                      "AUX1",  "AUX2",  "LAP"};

namespace {

enum class Access { Read, ReadWrite, Write };

struct SettingKey {
    const char* section;
    const char* key;
    int Settings::* intField = nullptr;
    float Settings::* scaledField = nullptr; // stored as value x scale
    std::string Settings::* textField = nullptr;
    int scale = 1;
    Access access = Access::ReadWrite;
    size_t textBuffer = 260; // characters + terminator a text key holds
};

SettingKey I(const char* s, const char* k, int Settings::* f, Access a = Access::ReadWrite) {
    return {s, k, f, nullptr, nullptr, 1, a};
}
SettingKey S(const char* s, const char* k, float Settings::* f, int scale) {
    return {s, k, nullptr, f, nullptr, scale, Access::ReadWrite};
}
SettingKey T(const char* s, const char* k, std::string Settings::* f, size_t buffer = 260) {
    return {s, k, nullptr, nullptr, f, 1, Access::ReadWrite, buffer};
}

// In the order the file is written.
const SettingKey kKeys[] = {
    T("Path", "Data", &Settings::Data),
    T("Path", "BMP", &Settings::BMP),
    I("Logger", "Model", &Settings::Model),
    // Ours, edited by hand; never written, so the user's text stays as it is.
    {"Logger", "LoggerPorts", nullptr, nullptr, &Settings::LoggerPorts, 1, Access::Read},
    I("Window", "x", &Settings::x),
    I("Window", "y", &Settings::y),
    I("Window", "x2", &Settings::x2),
    I("Window", "y2", &Settings::y2),
    I("Window", "zoomed", &Settings::zoomed),
    I("Window", "Curse_X", &Settings::Curse_X),
    I("Window", "Curse_Y", &Settings::Curse_Y),
    S("Window", "Curse_Z", &Settings::Curse_Z, 1000),
    I("Window", "MC_X", &Settings::MC_X),
    I("Window", "MC_Y", &Settings::MC_Y),
    S("Window", "MC_Z", &Settings::MC_Z, 1000),
    I("Window", "Susgram_X", &Settings::Susgram_X),
    I("Window", "Susgram_Y", &Settings::Susgram_Y),
    S("Window", "Susgram_Z", &Settings::Susgram_Z, 1000),
    I("Window", "Meter_X", &Settings::Meter_X),
    I("Window", "Meter_Y", &Settings::Meter_Y),
    S("Window", "Meter_Z", &Settings::Meter_Z, 1000),
    I("ViewSet", "AFmap_YCH", &Settings::AFmap_YCH),
    I("ViewSet", "AFmap_AFCH", &Settings::AFmap_AFCH),
    I("ViewSet", "AFmap_SWCH", &Settings::AFmap_SWCH),
    S("ViewSet", "AFmap_SWTHS", &Settings::AFmap_SWTHS, 100),
    I("ModeSet", "CursolValueMode", &Settings::CursolValueMode),
    I("ModeSet", "smoothingNE", &Settings::smoothingNE),
    I("ModeSet", "smoothingVW", &Settings::smoothingVW),
    I("ModeSet", "SmoothingSample", &Settings::SmoothingSample, Access::Read),
    I("ModeSet", "CoursePosSource", &Settings::CoursePosSource),
    I("ModeSet", "colortype", &Settings::colortype),
    I("ModeSet", "CourseLayout_on", &Settings::CourseLayout_on),
    I("ModeSet", "GridFill", &Settings::GridFill),
    I("ModeSet", "AnimeMode", &Settings::AnimeMode),
    I("ModeSet", "BodyDisplay", &Settings::BodyDisplay),
    I("ModeSet", "SusgramDisplay", &Settings::SusgramDisplay),
    I("ModeSet", "ExpertMode", &Settings::ExpertMode),
    I("ModeSet", "BaseLinePos", &Settings::BaseLinePos),
    I("ModeSet", "AutoOnOffLoad", &Settings::AutoOnOffLoad),
    I("ModeSet", "VFWCopyVRW", &Settings::VFWCopyVRW),
    I("ModeSet", "ModifyFileName", &Settings::ModifyFileName),
    I("ModeSet", "CslValWidth", &Settings::CslValWidth),
    I("ModeSet", "SusFilter_n", &Settings::SusFilter_n, Access::Read),
    I("ModeSet", "ExclusiveF1Color", &Settings::ExclusiveF1Color),
    I("ModeSet", "HD_Display", &Settings::HD_Display, Access::Read),
    T("ModeSet", "CourseFile_name", &Settings::CourseFile_name, 256),
    I("ModeSet", "XYPlot_Xch", &Settings::XYPlot_Xch),
    I("ModeSet", "XYPlot_Ych", &Settings::XYPlot_Ych),
    I("ModeSet", "XYPlot_Zch", &Settings::XYPlot_Zch),
    // Ours, edited by hand; never written.
    I("ModeSet", "SlipZoneMs", &Settings::SlipZoneMs, Access::Read),
    I("ModeSet", "Lap_PG", &Settings::Lap_PG, Access::Read),
    I("ModeSet", "Lap_PR", &Settings::Lap_PR, Access::Read),
    I("ModeSet", "Lap_PW", &Settings::Lap_PW, Access::Read),
    I("ModeSet", "LapPG", &Settings::LapPG, Access::Write),
    I("ModeSet", "LapPR", &Settings::LapPR, Access::Write),
    I("ModeSet", "LapPW", &Settings::LapPW, Access::Write),
    I("ZUDEriraz", "VSync", &Settings::VSync, Access::Read),
    I("ZUDEriraz", "LinkRatio", &Settings::LinkRatio, Access::Read),
    I("ZUDEriraz", "Memo_view", &Settings::Memo_view),
    I("ZUDEriraz", "Blend_mode", &Settings::Blend_mode, Access::Read),
    I("ZUDEriraz", "Color_body", &Settings::Color_body, Access::Read),
    I("ZUDEriraz", "Debug", &Settings::Debug, Access::Read),
    I("ZUDEriraz", "AWC", &Settings::AWC, Access::Read),
    I("ZUDEriraz", "LC", &Settings::LC, Access::Read),
    I("ZUDEriraz", "Finalchg", &Settings::Finalchg, Access::Read),
    I("ZUDEriraz", "VBerrexp", &Settings::VBerrexp, Access::Read),
    I("ZUDEriraz", "CompressFile", &Settings::CompressFile, Access::Read),
    I("ZUDEriraz", "AllowCompressMode", &Settings::AllowCompressMode, Access::Read),
    I("ZUDEriraz", "SusVSampleNum", &Settings::SusVSampleNum, Access::Read),
    I("ZUDEriraz", "Lastcono", &Settings::Lastcono),
    I("ZUDEriraz", "SmoothingSTD", &Settings::SmoothingSTD, Access::Read),
    I("ZUDEriraz", "Maxcono", &Settings::Maxcono, Access::Read),
    I("ZUDEriraz", "ColorMap", &Settings::ColorMap, Access::Read),
    I("ZUDEriraz", "RTM", &Settings::RTM, Access::Read),
    I("ZUDEriraz", "Shifter", &Settings::Shifter, Access::Read),
    I("ZUDEriraz", "RUVU", &Settings::RUVU, Access::Read),
};

void ClampAfterRead() {
    if (g_settings.SusFilter_n < 0 || g_settings.SusFilter_n > 20) g_settings.SusFilter_n = 0;
    g_settings.SlipZoneMs = std::clamp(g_settings.SlipZoneMs, 10, 10000);
}

} // namespace

void ResetSettings() { g_settings = Settings(); }

void ApplySettingsText(std::string_view text) {
    const Settings defaults;
    for (const SettingKey& k : kKeys) {
        if (k.access == Access::Write) continue;
        if (k.intField) {
            g_settings.*k.intField = IniGetInt(k.section, k.key, defaults.*k.intField, text);
        } else if (k.scaledField) {
            int stored = int(std::lround(defaults.*k.scaledField * float(k.scale)));
            g_settings.*k.scaledField =
                float(IniGetInt(k.section, k.key, stored, text)) / float(k.scale);
        } else {
            IniGetString(k.section, k.key, defaults.*k.textField, g_settings.*k.textField,
                         k.textBuffer, text);
        }
    }
    ClampAfterRead();
}

bool SetSettingByKey(std::string_view key, std::string_view value) {
    for (const SettingKey& k : kKeys) {
        if (key != k.key || k.access == Access::Write) continue;
        if (k.intField) {
            g_settings.*k.intField = ParseIniInteger(value);
        } else if (k.scaledField) {
            g_settings.*k.scaledField = float(ParseIniInteger(value)) / float(k.scale);
        } else {
            // A value too long for the key is not taken, as the settings file reader does.
            if (value.size() + 1 < k.textBuffer) g_settings.*k.textField = std::string(value);
        }
        ClampAfterRead();
        return true;
    }
    return false;
}

bool IsSettingKey(std::string_view key) {
    for (const SettingKey& k : kKeys)
        if (key == k.key && k.access != Access::Write) return true;
    return false;
}

namespace {

// As a C cast of the float product: truncated toward zero, in float arithmetic (so that 0.65
// gives 650, not 649); beyond int the nearest int instead of undefined behaviour.
int ScaledToInt(float value, int scale) {
    float product = value * float(scale);
    if (!(product == product)) return 0;
    if (product >= 2147483648.0f) return INT_MAX;
    if (product <= -2147483648.0f) return INT_MIN;
    return int(product);
}

} // namespace

std::vector<SettingText> WrittenSettings() {
    std::vector<SettingText> out;
    for (const SettingKey& k : kKeys) {
        if (k.access == Access::Read) continue;
        std::string value;
        if (k.intField)
            value = std::to_string(g_settings.*k.intField);
        else if (k.scaledField)
            value = std::to_string(ScaledToInt(g_settings.*k.scaledField, k.scale));
        else
            value = g_settings.*k.textField;
        out.push_back({k.section, k.key, std::move(value)});
    }
    return out;
}

void ResetSettingsFile() {
    g_layoutList = LayoutList();
    for (auto& row : g_csvLabels.labels)
        for (std::string& label : row) label = kNoCsvLabel;
}

} // namespace qvtk
