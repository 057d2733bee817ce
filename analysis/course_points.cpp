#include "analysis/course_points.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"

namespace qvtk {

namespace {

constexpr int32_t kMinBoundaryPoint = 50; // no boundary right after the course start
constexpr int32_t kBoundaryPickPoints = 60;
constexpr int kMaxMarksPerLap = 3;

int32_t ClampToSamples(int64_t v, FileSlot slot) {
    const int32_t n = SlotOf(slot).sampleCount;
    return int32_t(v < 0 ? 0 : (v > n ? n : v));
}

} // namespace

namespace {

// What CoursePointToSample needs of the selected lap: its first segment's mark, the samples
// scanned, and the distance per course point.
struct LapScan {
    int32_t from = 0, to = -1; // samples scanned, inclusive
    int32_t lapEnd = 0;        // the lap's own last mark
    int64_t perPoint = 0;      // target distance of point p is perPoint x p (summed per segment)
    int64_t perSegment[kMaxMarksPerLap] = {};
    int marks = 1;
};

LapScan ScanOfLap(FileSlot slot, int32_t v) {
    LapScan scan;
    const Slot& s = SlotOf(slot);
    const int m = std::clamp(MarksPerLap(slot), 1, kMaxMarksPerLap);
    scan.marks = m;
    const int32_t first = v - (v - 1) % m; // first segment of the lap
    const int32_t pointCount = g_courseLayout.pointCount < 1 ? 1 : g_courseLayout.pointCount;
    for (int j = 0; j < m; ++j) scan.perSegment[j] = SegmentDistance(slot, first + j) / pointCount;
    scan.from = std::max(LapMark(slot, first - 1), 0);
    scan.lapEnd = LapMark(slot, first - 1 + m);
    // One lap further is scanned as a margin.
    scan.to = LapMark(slot, first + m);
    const int32_t last = (s.sampleCount < s.capacity ? s.sampleCount : s.capacity) - 1;
    if (scan.to > last) scan.to = last; // no buffer: last is -1
    return scan;
}

int64_t TargetDistance(const LapScan& scan, int32_t p) {
    int64_t target = 0;
    for (int j = 0; j < scan.marks; ++j) target += scan.perSegment[j] * p;
    return target;
}

} // namespace

int32_t CoursePointToSample(int32_t p, FileSlot slot, int32_t selectedLap,
                            const CourseMapView& view) {
    if (view.showsGps) return p;
    if (selectedLap <= 0) return ClampToSamples(p, slot);
    const LapScan scan = ScanOfLap(slot, selectedLap);
    const int64_t target = TargetDistance(scan, p);
    const uint32_t* distance = SlotOf(slot).distance.selected;
    int64_t result = p;
    for (int32_t i = scan.from; i <= scan.to; ++i) {
        if (int64_t(distance[i]) >= target) {
            result = i;
            break;
        }
    }
    return ClampToSamples(result, slot);
}

void CoursePointsToSamples(FileSlot slot, int32_t selectedLap, int32_t count, int32_t* out) {
    if (selectedLap <= 0) {
        for (int32_t p = 0; p < count; ++p) out[p] = ClampToSamples(p, slot);
        return;
    }
    // The first sample that reaches a distance only moves on as the distance grows: one walk
    // over the lap serves every point in order.
    const LapScan scan = ScanOfLap(slot, selectedLap);
    const uint32_t* distance = SlotOf(slot).distance.selected;
    int32_t i = scan.from;
    for (int32_t p = 0; p < count; ++p) {
        const int64_t target = TargetDistance(scan, p);
        while (i <= scan.to && int64_t(distance[i]) < target) ++i;
        out[p] = ClampToSamples(i <= scan.to ? i : p, slot);
    }
}

int32_t CoursePointToLapSample(int32_t p, FileSlot slot, int32_t selectedLap) {
    if (selectedLap <= 0) return ClampToSamples(p, slot);
    const LapScan scan = ScanOfLap(slot, selectedLap);
    const int64_t target = TargetDistance(scan, p);
    const uint32_t* distance = SlotOf(slot).distance.selected;
    // The lap's last sample: its end mark already starts the next lap.
    const int32_t end = std::min(scan.lapEnd - 1, scan.to);
    for (int32_t i = scan.from; i <= end; ++i)
        if (int64_t(distance[i]) >= target) return i;
    // The closing point, or a lap short of the course: the lap's last sample.
    return ClampToSamples(std::max(end, scan.from), slot);
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
