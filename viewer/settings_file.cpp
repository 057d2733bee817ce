#include "viewer/settings_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "data/csv_import.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/ini_text.h"
#include "platform/private_profile.h"
#include "viewer/graph_layout.h"

namespace qvtk {

namespace {

constexpr size_t kLayoutNameBuffer = 260; // characters + terminator of a LayFile value

std::string InDirectory(const std::string& directory, const char* name) {
    return (std::filesystem::path(directory) / name).string();
}

std::string LayoutKey(int n) {
    return "LayFile" + std::to_string(n);
}

// [LayoutSet] LayFile0, LayFile1 ... until one is missing or empty.
void ReadLayoutKeys(std::string_view text) {
    g_layoutList = LayoutList();
    std::string name;
    while (g_layoutList.count < kMaxLayouts &&
           IniGetString("LayoutSet", LayoutKey(g_layoutList.count), "", name, kLayoutNameBuffer,
                        text) > 0)
        g_layoutList.names[g_layoutList.count++] = name;
}

bool HasLayoutExtension(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    if (ext.size() != 4) return false;
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".lay";
}

// Without a settings file every *.lay file of the directory becomes a tab. The extension
// matches without regard to case, as on the file systems the layouts come from. The names are
// sorted, since the directory order differs between file systems and runs, and the first
// kMaxLayouts are kept.
void ListLayoutFiles(const std::string& directory) {
    g_layoutList = LayoutList();
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(directory.empty() ? "." : directory, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) || !HasLayoutExtension(it->path())) continue;
        names.push_back(it->path().stem().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (g_layoutList.count == kMaxLayouts) break;
        g_layoutList.names[g_layoutList.count++] = name;
    }
}

} // namespace

void LoadSettings(const std::string& programDirectory) {
    // The readers of start-up (GPS line, course, status files) look in the same folder.
    g_session.programDirectory = programDirectory;

    const std::optional<std::string> text =
        ReadTextFile(InDirectory(programDirectory, "QVTK2.ini"));
    // No text gives every key its default; SusFilter_n is clamped here too.
    ApplySettingsText(text ? std::string_view(*text) : std::string_view());

    SetMarksPerLap(0, g_settings.Lap_PG);
    SetMarksPerLap(1, g_settings.Lap_PR);
    SetMarksPerLap(2, g_settings.Lap_PW);
    g_settings.Lap_PG = MarksPerLap(0);
    g_settings.Lap_PR = MarksPerLap(1);
    g_settings.Lap_PW = MarksPerLap(2);

    if (text)
        ReadLayoutKeys(*text);
    else
        ListLayoutFiles(programDirectory);

    LoadCsvLabels(programDirectory);

    // The course the settings name (nothing is loaded yet), and its GPS control line.
    ResetCourseLayout();
    LoadControlLine();
    LoadLayout(0); // the standard graph layout
}

bool SaveSettings(const std::string& programDirectory, const WindowPlacement& placement) {
    // The File 1 colours to be saved are chosen here, with the graphs.
    g_settings.x = placement.x;
    g_settings.y = placement.y;
    g_settings.x2 = placement.width;
    g_settings.y2 = placement.height;
    g_settings.zoomed = placement.maximized ? 1 : 0;
    SaveLayout(0); // the current graph layout becomes the standard one
    g_settings.LapPG = MarksPerLap(0);
    g_settings.LapPR = MarksPerLap(1);
    g_settings.LapPW = MarksPerLap(2);

    // One replacement of the whole file instead of one per key: an interrupted exit leaves
    // either the old settings or the new ones.
    std::vector<ProfileEdit> edits;
    for (SettingText& s : WrittenSettings())
        edits.push_back({ProfileEdit::kWriteString, s.section, s.key, std::move(s.value)});
    edits.push_back({ProfileEdit::kDeleteSection, "LayoutSet", {}, {}});
    const int count = std::clamp(g_layoutList.count, 0, kMaxLayouts);
    for (int n = 0; n < count; ++n)
        edits.push_back(
            {ProfileEdit::kWriteString, "LayoutSet", LayoutKey(n), g_layoutList.names[n]});
    return ProfileWriteBatch(InDirectory(programDirectory, "QVTK2.ini"), edits);
}

} // namespace qvtk
