// The settings text reader at start-up: QVTK2.ini and "csvlabel.ini" (the input is the text of
// the one, a zero byte, and the text of the other), read by LoadSettings as the program starts.
#include <algorithm>

#include "analysis/lap_model.h"
#include "fuzz/fuzz_support.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvtk;
    const std::string& dir = fuzz::HarnessFolder();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = std::min(input.find('\0'), input.size());
    fuzz::WriteFixture(dir + "/QVTK2.ini", input.substr(0, split));
    fuzz::WriteFixture(dir + "/csvlabel.ini", input.substr(std::min(split + 1, input.size())));
    ResetProgram();
    ResetGraphSettings();
    ResetGraphLayouts();
    LoadSettings(dir);

    QVTK_FUZZ_CHECK(g_settings.SusFilter_n >= 0 && g_settings.SusFilter_n <= 20);
    for (int slot = 0; slot < kSlotCount; ++slot)
        QVTK_FUZZ_CHECK(MarksPerLap(slot) >= 1 && MarksPerLap(slot) <= 3);
    QVTK_FUZZ_CHECK(g_layoutList.count >= 0 && g_layoutList.count <= kMaxLayouts);
    for (int n = 0; n < g_layoutList.count; ++n)
        QVTK_FUZZ_CHECK(!g_layoutList.names[n].empty() && g_layoutList.names[n].size() < 260);
    for (const auto& row : g_csvLabels.labels)
        for (const std::string& label : row) QVTK_FUZZ_CHECK(label.size() < kCsvLabelBuffer);
    QVTK_FUZZ_CHECK(g_settings.CourseFile_name.size() < 256);
    return 0;
}
