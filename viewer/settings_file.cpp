#include "viewer/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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
#include "platform/file_read.h"
#include "platform/ini_text.h"
#include "platform/private_profile.h"
#include "platform/safe_file.h"
#include "viewer/graph_layout.h"

namespace qvtk {

namespace {

constexpr size_t kLayoutNameBuffer = 260; // characters + terminator of a LayFile value
constexpr const char* kUnsavedNote = "QVTK2.unsaved";

std::string g_lastSessionNotice;

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

// Where the note goes when the program directory takes no file: the user's state folder,
// under a name of its own for each program directory.
std::string FallbackNotePath(const std::string& directory) {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        base = state;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        base = std::string(home) + "/.local/state";
    else
        return {};
    char name[40];
    std::snprintf(name, sizeof name, "unsaved-%016zx", std::hash<std::string>{}(directory));
    return base + "/qvtk/" + name;
}

void LeaveUnsavedNote(const std::string& directory, std::string reason) {
    if (reason.empty()) reason = "write error";
    reason += "\n";
    if (WriteWholeFile(InDirectory(directory, kUnsavedNote), reason)) return;
    const std::string fallback = FallbackNotePath(directory);
    if (fallback.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ec);
    WriteWholeFile(fallback, reason);
}

// The note of the last session, if any; it is said once.
std::string TakeUnsavedNote(const std::string& directory) {
    std::string reason;
    for (const std::string& path :
         {InDirectory(directory, kUnsavedNote), FallbackNotePath(directory)}) {
        std::string text;
        if (path.empty() || !ReadWholeTextFile(path, text)) continue;
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (reason.empty()) reason = text.substr(0, text.find_first_of("\r\n"));
    }
    return reason;
}

} // namespace

const std::string& LastSessionNotice() {
    return g_lastSessionNotice;
}

void LoadSettings(const std::string& programDirectory) {
    // The readers of start-up (GPS line, course, status files) look in the same folder.
    g_session.programDirectory = programDirectory;
    const std::string unsaved = TakeUnsavedNote(programDirectory);
    g_lastSessionNotice =
        unsaved.empty() ? "" : "settings of the last session could not be saved: " + unsaved;

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
    // The current graph layout becomes the standard one.
    std::string failure;
    if (!SaveLayout(0)) failure = LastWriteFailure().empty() ? "write error" : LastWriteFailure();
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
    if (!ProfileWriteBatch(InDirectory(programDirectory, "QVTK2.ini"), edits) && failure.empty())
        failure = LastWriteFailure().empty() ? "write error" : LastWriteFailure();
    if (failure.empty()) return true;
    LeaveUnsavedNote(programDirectory, failure);
    return false;
}

} // namespace qvtk
