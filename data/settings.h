#pragma once
// The settings of QVTK2.ini: one program-wide record whose fields carry the keys' own names,
// and the table of keys that reads, overrides and (with the viewer) writes them.
#include <string>
#include <string_view>
#include <vector>

namespace qvtk {

struct Settings {
    // [Path]
    std::string Data;            // folder last used for log files
    std::string BMP;             // folder for saved bitmaps
    // [Logger]
    int Model = 1;
    std::string LoggerPorts;     // ours: serial devices tried first, separated by ';'
    // [Window]
    int x = 0, y = 0, x2 = 1024, y2 = 768, zoomed = 0;
    int Curse_X = 2560, Curse_Y = 0;
    float Curse_Z = 0.5f;        // course map scale
    int MC_X = 2560, MC_Y = 360;
    float MC_Z = 0.5f;
    int Susgram_X = 2560, Susgram_Y = 500;
    float Susgram_Z = 1.0f;
    int Meter_X = 90, Meter_Y = 920;
    float Meter_Z = 0.65f;
    // [ViewSet]
    int AFmap_YCH = 0, AFmap_AFCH = 0, AFmap_SWCH = 0;
    float AFmap_SWTHS = 2.5f;
    // [ModeSet]
    int CursolValueMode = 1;
    int smoothingNE = 0;         // smooth engine speed
    int smoothingVW = 0;         // smooth wheel speeds
    int SmoothingSample = 4;     // half width of the moving average
    int CoursePosSource = 0;     // distance wheel: 0 front, 1 rear
    int colortype = 0;
    int CourseLayout_on = 1;
    int GridFill = 1;
    int AnimeMode = 1;
    int BodyDisplay = 1;
    int SusgramDisplay = 1;
    int ExpertMode = 2;
    int BaseLinePos = 0;
    int AutoOnOffLoad = 1;       // "Auto Display Item"
    int VFWCopyVRW = 0;
    int ModifyFileName = 1;
    int CslValWidth = 0;
    int SusFilter_n = 7;
    int ExclusiveF1Color = 1;
    int HD_Display = 0;
    std::string CourseFile_name = "vorela.crs";
    int XYPlot_Xch = 0, XYPlot_Ych = 0, XYPlot_Zch = 0;
    int SlipZoneMs = 50; // ours: the time slip a zone of lost time must reach, ms
    int Lap_PG = 1, Lap_PR = 1, Lap_PW = 1; // read at start
    int LapPG = 1, LapPR = 1, LapPW = 1;    // written at exit
    // [ZUDEriraz]
    int VSync = 1;
    int LinkRatio = 235;
    int Memo_view = 1;
    int Blend_mode = 0;
    int Color_body = 0;
    int Debug = 0;               // debug mode
    int AWC = 0;
    int LC = 0;
    int Finalchg = 0;
    int VBerrexp = 0;            // keep throttle and strokes while the battery is low
    int CompressFile = 0;
    int AllowCompressMode = 0;
    int SusVSampleNum = 3;       // half width of the suspension speed window
    int Lastcono = 16;
    int SmoothingSTD = 2;
    int Maxcono = 32;
    int ColorMap = 1;
    int RTM = 0;
    int Shifter = 0;
    int RUVU = 0;
};

extern Settings g_settings;

inline bool DebugMode() { return g_settings.Debug != 0; }

void ResetSettings();

// Reads every key of the table from QVTK2.ini text (missing keys keep their defaults).
void ApplySettingsText(std::string_view text);

// Sets one key by name from its text value, as the settings file would. False for an
// unknown key.
bool SetSettingByKey(std::string_view key, std::string_view value);
bool IsSettingKey(std::string_view key);

// One key as it is written at exit.
struct SettingText {
    const char* section;
    const char* key;
    std::string value;
};

// Every key written at exit, in the order of the file, with its value as text: integers with
// "%d", scale values multiplied by their scale and truncated toward zero, texts as they are.
// Keys that are only read are not among them.
std::vector<SettingText> WrittenSettings();

constexpr int kMaxLayouts = 32;

// The graph layouts shown as tabs, kept in QVTK2.ini under [LayoutSet].
struct LayoutList {
    std::string names[kMaxLayouts]; // layout file names without folder and extension
    int count = 0;                  // entries in use, 0..kMaxLayouts
};
extern LayoutList g_layoutList;

constexpr int kCsvLabelRows = 13;
constexpr int kCsvLabelSets = 16;
// The sections of "csvlabel.ini", one per row of the CSV import.
extern const char* const kCsvLabelSections[kCsvLabelRows];

// Column name aliases of the CSV import from "csvlabel.ini": for each row, the labels of the
// keys "0".."15"; "No data" where the file names none.
struct CsvLabels {
    std::string labels[kCsvLabelRows][kCsvLabelSets];
};
extern CsvLabels g_csvLabels;
inline constexpr const char* kNoCsvLabel = "No data";
constexpr size_t kCsvLabelBuffer = 64; // characters + terminator a label holds

// The layout list and the CSV labels as before the settings are read.
void ResetSettingsFile();

} // namespace qvtk
