// "gps_p.ini" and "Sector.ini" of the course of a GPS recording: the input is the text of the
// one, a zero byte, and the text of the other. The recording's line is checked against the GPS
// line file, the course is read with its sectors, the laps are found again from the line the
// file gives, and the sectors saved at exit must read back as they were.
#include <algorithm>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "fuzz/fuzz_support.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family4_writer.h"

namespace {

using namespace qvtk;

// File 1 holds a GPS ride of three laps on the course "fuzz.crs" (sector marker at half a lap).
void LoadRecordingOnce() {
    static const bool loaded = [] {
        const std::string& dir = fuzz::HarnessFolder();
        ResetProgram();
        g_session.programDirectory = dir;
        const sim::SimCourse course = sim::MakeCourse(7);
        sim::CourseLayoutOptions layout;
        layout.sectorStarts = {0.5};
        const std::vector<uint8_t> crs = sim::WriteCourseLayout(course, layout);
        fuzz::WriteFixture(dir + "/fuzz.crs",
                           std::string_view((const char*)crs.data(), crs.size()));
        sim::RideOptions options;
        options.laps = 1;
        sim::Family4Options f4;
        f4.gpsLaps = true;
        f4.courseName = "fuzz";
        const std::vector<uint8_t> bytes =
            sim::WriteFamily4(sim::SimulateRide(course, options), f4);
        FileSlot slot = 0;
        LoadLogFile(slot, "ride.QVL", bytes);
        return SlotOf(0).file.fileKind == kFileFamily4;
    }();
    if (!loaded) std::abort();
}

int32_t Boundary(int s) {
    const int32_t v = LapStateOf(0).sectors.sec[s];
    return v < kSectorUnset ? v : kSectorUnset; // every unset value is the same
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadRecordingOnce();
    const std::string& dir = fuzz::HarnessFolder();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = std::min(input.find('\0'), input.size());
    fuzz::WriteFixture(dir + "/gps_p.ini", input.substr(0, split));
    fuzz::WriteFixture(dir + "/Sector.ini", input.substr(std::min(split + 1, input.size())));
    ClearRecordedMessages();
    g_settings.CourseFile_name = "fuzz.crs";
    SetMarksPerLap(0, 1);

    ReadControlLine("fuzz.crs"); // the check of the recording's own line
    LoadCourseLayout();
    LoadControlLine(); // the laps again, from crossings of the file's line
    const LapMarkTable& laps = SlotOf(0).laps;
    QVTK_FUZZ_CHECK(laps.count >= 1 && laps.count + 2 < kLapMarkEntries);
    for (int k = 1; k <= laps.count; ++k) QVTK_FUZZ_CHECK(laps.marks[k] >= laps.marks[k - 1]);
    ComputeLapStatistics();

    if (!g_courseLayout.courseLayoutOn) return 0;
    int32_t before[8];
    for (int s = 1; s <= 7; ++s) before[s] = Boundary(s);
    const int32_t offset = g_courseLayout.courseOffset;
    if (!SaveSectorFile()) return 0;
    LoadCourseLayout();
    for (int s = 1; s <= 7; ++s) QVTK_FUZZ_CHECK(Boundary(s) == before[s]);
    QVTK_FUZZ_CHECK(g_courseLayout.courseOffset == offset);
    return 0;
}
