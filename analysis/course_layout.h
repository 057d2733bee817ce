#pragma once
// The course layout: the polyline of a course file (*.crs) in map units, rotated so that the
// course start (where the lap marks are) is point 0, with the sector boundaries of
// "Sector.ini" and of the course file's marker lines.
#include <cstdint>
#include <string>

namespace qvtk {

constexpr int kMaxCoursePoints = 3000;
constexpr int kCoursePointEntries = 3003; // the points, the closing copy and a spare

struct CourseLayout {
    float pointX[kCoursePointEntries] = {}; // working points, rotated by courseOffset
    float pointY[kCoursePointEntries] = {};
    float pathLength[kCoursePointEntries] = {}; // cumulative polyline length from point 0
    float fileX[kCoursePointEntries] = {};      // the points as read from the file
    float fileY[kCoursePointEntries] = {};
    float filePathLength[kCoursePointEntries] = {};
    int32_t pointCount = 1;   // n; point n repeats point 0
    int32_t courseOffset = 0; // file point that is the course start ("Offset" in Sector.ini)
    std::string courseName;   // the loaded course file, also the section in the INI files
    bool courseLayoutOn = true;
};

extern CourseLayout g_courseLayout;

// An empty course named by the settings.
void ResetCourseLayout();

// The viewer sets a hook that redraws the course map picture; until then a redraw is a no-op.
void SetCourseMapRedrawHook(void (*hook)());
void RedrawCourseMap();

// Reads the course file named by CourseFile_name from the program directory, the boundaries
// and the offset from "Sector.ini", and rotates the course. True on success.
bool LoadCourseLayout();

// Rotates the working points from the file's points by courseOffset. An offset past the last
// point becomes 0 and a negative one pointCount, and nothing is rotated (false); the viewer
// then steps it again.
bool ApplyCourseOffset();

// Writes File 1's boundaries and the offset to "Sector.ini" (only with 1 mark per lap).
bool SaveSectorFile();

// Full path of a file in the program directory.
std::string ProgramFilePath(const std::string& name);

} // namespace qvtk
