#include "analysis/course_layout.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "analysis/lap_model.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/file_read.h"
#include "platform/message_box.h"
#include "platform/private_profile.h"

namespace qvtk {

CourseLayout g_courseLayout;

namespace {

void (*g_redrawHook)() = nullptr;

constexpr const char* kSectorFile = "Sector.ini";

float Distance(float x0, float y0, float x1, float y1) {
    float dx = x1 - x0, dy = y1 - y0;
    return std::sqrt(dx * dx + dy * dy);
}

// One "%f,%f" line, read the same way whatever locale the GUI toolkit has set.
bool ParsePoint(std::string_view line, float& x, float& y) {
    auto number = [&line](float& v) {
        size_t i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '+') ++i;
        auto [end, ec] = std::from_chars(line.data() + i, line.data() + line.size(), v);
        if (ec != std::errc() || !std::isfinite(v)) return false;
        line.remove_prefix(size_t(end - line.data()));
        return true;
    };
    if (!number(x)) return false;
    if (line.empty() || line.front() != ',') return false;
    line.remove_prefix(1);
    return number(y);
}

// The next line of the text without its line end; false at the end of the text.
bool NextLine(std::string_view& text, std::string& line) {
    line.clear();
    if (text.empty()) return false;
    size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    for (char ch : raw)
        if (ch != '\r') line.push_back(ch);
    return true;
}

void SetBoundaryInAllSlots(int s, int32_t value) {
    for (LapState& st : g_lapModel.slots) st.sectors.sec[s] = value;
    g_lapModel.courseSectors.sec[s] = value;
}

void ReadSectorFile() {
    CourseLayout& c = g_courseLayout;
    const std::string path = ProgramFilePath(kSectorFile);
    for (int s = 1; s <= 7; ++s) {
        std::string key = "Sec" + std::to_string(s);
        int v = ProfileGetInt(c.courseName, key, kSectorUnset, path);
        SetBoundaryInAllSlots(s, v == 0 ? kSectorUnset : v);
    }
    c.courseOffset = ProfileGetInt(c.courseName, "Offset", 0, path);
    SetBoundaryInAllSlots(0, 0);
}

bool FailCourse(const char* text) {
    ShowMessage(text, "QVTK");
    g_courseLayout.courseLayoutOn = false;
    g_settings.CourseLayout_on = 0;
    g_courseLayout.pointCount = 1;
    return false;
}

} // namespace

void ResetCourseLayout() {
    g_courseLayout = CourseLayout();
    g_courseLayout.courseName = g_settings.CourseFile_name;
    g_courseLayout.courseLayoutOn = g_settings.CourseLayout_on != 0;
}

void SetCourseMapRedrawHook(void (*hook)()) {
    g_redrawHook = hook;
}

void RedrawCourseMap() {
    if (g_redrawHook) g_redrawHook();
}

std::string ProgramFilePath(const std::string& name) {
    const std::string& dir = g_session.programDirectory;
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool LoadCourseLayout() {
    CourseLayout& c = g_courseLayout;
    c.courseName = g_settings.CourseFile_name;
    if (c.courseName.empty()) return false;
    // Only a regular file is read: a FIFO or a device named in the settings would never end.
    // Such a name is there but unusable, as a folder or a file that fails while read is.
    std::string content;
    ReadFailure why = ReadFailure::kNone;
    ReadWholeTextFile(ProgramFilePath(c.courseName), content, &why);
    if (why == ReadFailure::kNotFound || why == ReadFailure::kPermissionDenied)
        return FailCourse("Not Found Course Layout File !");
    ReadSectorFile();
    if (why != ReadFailure::kNone) return FailCourse("Course Layout File Erroe!");

    // Points go straight into the working arrays (offset 0) and are copied afterwards.
    std::string_view text = content;
    std::string line;
    int32_t n = 0;
    int marker = 1;
    float x = 0, y = 0;
    while (n < kMaxCoursePoints && NextLine(text, line)) {
        if (!ParsePoint(line, x, y)) continue; // blank or broken lines are no points
        if (n > 0 && (x >= 1024.0f || y >= 1024.0f)) {
            // A marker: the next point begins a new sector.
            SetBoundaryInAllSlots(marker, n);
            if (marker < 8) ++marker;
            continue;
        }
        c.pointX[n] = x;
        c.pointY[n] = y;
        c.pathLength[n] =
            n == 0 ? 0.0f : c.pathLength[n - 1] + Distance(c.pointX[n - 1], c.pointY[n - 1], x, y);
        ++n;
    }
    if (n == 0) { // nothing readable: a course of one point at the centre
        c.pointX[0] = c.pointY[0] = c.pathLength[0] = 0.0f;
        n = 1;
    }
    c.pointX[n] = c.pointX[0];
    c.pointY[n] = c.pointY[0];
    c.pathLength[n] = c.pathLength[n + 1] =
        c.pathLength[n - 1] + Distance(c.pointX[n - 1], c.pointY[n - 1], c.pointX[0], c.pointY[0]);
    if (n >= kMaxCoursePoints) ShowMessage("CourseData Fail ! #003", "QVTK");

    c.pointCount = n;
    if (c.courseOffset > c.pointCount) c.courseOffset = 0;
    for (int32_t i = 0; i <= n + 1; ++i) {
        c.fileX[i] = c.pointX[i];
        c.fileY[i] = c.pointY[i];
        c.filePathLength[i] = c.pathLength[i];
    }
    // A negative offset from the file leaves the points in file order, still to be drawn.
    if (!ApplyCourseOffset()) RedrawCourseMap();
    return true;
}

bool ApplyCourseOffset() {
    CourseLayout& c = g_courseLayout;
    const int32_t n = c.pointCount;
    if (c.courseOffset > n) {
        c.courseOffset = 0;
        return false;
    }
    if (c.courseOffset < 0) {
        c.courseOffset = n;
        return false;
    }
    // File points 0 .. n form the cycle (point n is the copy of point 0).
    int32_t from = c.courseOffset;
    for (int32_t j = 0; j <= n; ++j) {
        c.pointX[j] = c.fileX[from];
        c.pointY[j] = c.fileY[from];
        from = from == n ? 0 : from + 1;
    }
    c.pointX[n + 1] = c.pointX[0];
    c.pointY[n + 1] = c.pointY[0];
    c.pathLength[0] = 0.0f;
    for (int32_t j = 1; j <= n + 1; ++j)
        c.pathLength[j] = c.pathLength[j - 1] +
                          Distance(c.pointX[j - 1], c.pointY[j - 1], c.pointX[j], c.pointY[j]);
    RedrawCourseMap();
    return true;
}

bool SaveSectorFile() {
    const CourseLayout& c = g_courseLayout;
    if (MarksPerLap(0) != 1 || c.courseName.empty()) return false;
    const int32_t* sec = LapStateOf(0).sectors.sec;
    // One replacement of the file: a program stopped while saving leaves the old boundaries or
    // the new ones, never a mix.
    std::vector<ProfileEdit> edits;
    for (int s = 1; s <= 7; ++s) {
        std::string key = "Sec" + std::to_string(s);
        if (sec[s] < kSectorUnset)
            edits.push_back({ProfileEdit::kWriteString, c.courseName, key, std::to_string(sec[s])});
        else
            edits.push_back({ProfileEdit::kDeleteKey, c.courseName, key, {}});
    }
    edits.push_back(
        {ProfileEdit::kWriteString, c.courseName, "Offset", std::to_string(c.courseOffset)});
    return ProfileWriteBatch(ProgramFilePath(kSectorFile), edits);
}

} // namespace qvtk
