// Course layout files (*.crs) and the sector file beside them.
#include <cstdio>
#include <string>

#include "analysis/course_layout.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char name[] = "/tmp/qvtk_fuzz_course_XXXXXX";
        return std::string(mkdtemp(name));
    }();
    qvtk::ResetProgram();
    qvtk::g_session.programDirectory = dir;
    qvtk::g_settings.CourseFile_name = "fuzz.crs";
    std::FILE* f = std::fopen((dir + "/fuzz.crs").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    qvtk::LoadCourseLayout();
    const qvtk::CourseLayout& c = qvtk::g_courseLayout;
    if (c.pointCount < 1 || c.pointCount > qvtk::kMaxCoursePoints) __builtin_trap();
    return 0;
}
