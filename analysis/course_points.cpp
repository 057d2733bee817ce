#include "analysis/course_points.h"

#include <cmath>
#include <cstdlib>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"

namespace qvtk {

namespace {

constexpr int32_t kMinBoundaryPoint = 50; // no boundary right after the course start
constexpr int32_t kBoundaryPickPoints = 60;

int32_t ClampToSamples(int64_t v, FileSlot slot) {
    const int32_t n = SlotOf(slot).sampleCount;
    return int32_t(v < 0 ? 0 : (v > n ? n : v));
}

} // namespace

int32_t CoursePointToSample(int32_t p, FileSlot slot, int32_t selectedLap,
                            const CourseMapView& view) {
    if (view.showsGps) return p;
    const int32_t v = selectedLap;
    if (v <= 0) return ClampToSamples(p, slot);
    const Slot& s = SlotOf(slot);
    const int m = MarksPerLap(slot);
    const int32_t first = v - (v - 1) % m; // first segment of the lap
    const int32_t pointCount = g_courseLayout.pointCount < 1 ? 1 : g_courseLayout.pointCount;
    int64_t target = 0;
    for (int j = 0; j < m; ++j)
        target += int64_t(SegmentDistance(slot, first + j) / pointCount) * p;
    // One lap further is scanned as a margin.
    const int32_t from = LapMark(slot, first - 1);
    int32_t to = LapMark(slot, first + m);
    const int32_t last = (s.sampleCount < s.capacity ? s.sampleCount : s.capacity) - 1;
    if (to > last) to = last; // no buffer: last is -1
    int64_t result = p;
    for (int32_t i = from < 0 ? 0 : from; i <= to; ++i) {
        if (int64_t(s.distance.selected[i]) >= target) {
            result = i;
            break;
        }
    }
    return ClampToSamples(result, slot);
}

int32_t NearestCoursePoint(float mouseX, float mouseY, const CourseMapView& view) {
    const CourseLayout& c = g_courseLayout;
    float best = 15.0f * view.zoom;
    int32_t found = -1;
    for (int32_t i = 1; i <= c.pointCount; ++i) {
        float x = (c.pointX[i] * 0.96f + 256.0f) * view.zoom + view.panX;
        float y = (c.pointY[i] * 0.96f + 256.0f) * view.zoom + view.panY;
        float d = std::sqrt((x - mouseX) * (x - mouseX) + (y - mouseY) * (y - mouseY));
        if (d < 1.0f) return i;
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

bool EditSectorBoundary(float mouseX, float mouseY, const CourseMapView& view) {
    if (MarksPerLap(0) != 1 || view.showsGps) return false;
    const int32_t p = NearestCoursePoint(mouseX, mouseY, view);
    if (p < 0) return false; // a click away from the course edits nothing
    int32_t* sec = LapStateOf(0).sectors.sec;
    bool removed = false;
    for (int s = 6; s >= 1 && !removed; --s) {
        if (std::abs(int64_t(sec[s]) - p) >= kBoundaryPickPoints) continue;
        for (int r = s; r <= 6; ++r) sec[r] = sec[r + 1];
        sec[7] = kSectorUnset;
        removed = true;
    }
    if (!removed) {
        if (p < kMinBoundaryPoint) return false;
        // Shift the later boundaries up until p fits; the former sec[6] drops out.
        for (int s = 6; s >= 1; --s) {
            sec[s] = sec[s - 1];
            if (sec[s] < p) {
                sec[s] = p;
                break;
            }
        }
    }
    int32_t* file2 = LapStateOf(1).sectors.sec;
    for (int s = 1; s <= 7; ++s) file2[s] = sec[s];
    sec[0] = file2[0] = 0;
    for (int s = 0; s < kSectorEntries; ++s) g_lapModel.courseSectors.sec[s] = sec[s];
    RedrawCourseMap();
    return true;
}

} // namespace qvtk
