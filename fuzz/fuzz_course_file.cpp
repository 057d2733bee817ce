// Course layout files (*.crs) and the sector file beside them.
#include "analysis/course_layout.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = qvtk::fuzz::HarnessFolder();
    qvtk::ResetProgram();
    qvtk::g_session.programDirectory = dir;
    qvtk::g_settings.CourseFile_name = "fuzz.crs";
    qvtk::fuzz::WriteFixture(dir + "/fuzz.crs", std::string_view((const char*)data, size));
    qvtk::LoadCourseLayout();
    const qvtk::CourseLayout& c = qvtk::g_courseLayout;
    QVTK_FUZZ_CHECK(c.pointCount >= 1 && c.pointCount <= qvtk::kMaxCoursePoints);
    return 0;
}
