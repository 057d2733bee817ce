#include "data/finishing.h"

#include "analysis/course_layout.h"
#include "analysis/gps_frame.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "data/derived_channels.h"
#include "data/settings.h"
#include "data/status_channels.h"

namespace qvtk {

namespace {

void ResetCursor(FileSlot slot) { SlotOf(slot).cursorPos = 0; }

// After a load into File 1 the course layout is read again.
void CheckCourseLayout(FileSlot slot) {
    if (slot == 0) LoadCourseLayout();
}

// A GPS recording names its course and carries its own control line. The course is known when
// "gps_p.ini" gives the same line for it; only then does it become the course of the map.
void CheckRecordedCourse() {
    const ControlLine& recorded = SlotOf(0).controlLine;
    const ControlLine listed = ReadControlLine(g_session.courseName);
    // A recording that names no course has none, whatever its line.
    const bool named = g_session.courseName != ".crs";
    g_session.courseKnown = named && listed.latA == recorded.latA &&
                            listed.lonA == recorded.lonA && listed.latB == recorded.latB &&
                            listed.lonB == recorded.lonB;
    if (g_session.courseKnown)
        g_settings.CourseFile_name = g_session.courseName;
    else
        g_session.courseName.clear();
}

bool HasGpsPositions(FileSlot slot) { return FindColumnByCode(slot, kCodeGpsPosition) >= 0; }

} // namespace

void FinishFamily3Load(FileSlot slot) {
    ResetCursor(slot);
    CheckCourseLayout(slot);
    SmoothBinaryLog(slot);
    ComputeSuspensionSpeed(slot);
    ComputeSlipRatio(slot);
    ComputeReductionRatio(slot);
    if (slot != 0) AlignColumnsWithFile1(slot);
    ComputeChannelRanges(slot);
}

void FinishCanLoad(FileSlot slot) {
    ResetCursor(slot);
    ComputeChannelRanges(slot);
    if (slot == 0) BuildChannelIndexByCode();
}

void FinishHndLoad(FileSlot slot) {
    ResetCursor(slot);
    CheckCourseLayout(slot);
    SmoothBySettings(slot);
    if (slot != 0) AlignColumnsWithFile1(slot);
    ComputeChannelRanges(slot);
}

void FinishFamily4Load(FileSlot slot, bool lapsFromGps, bool append) {
    ResetCursor(slot);
    if (slot == 0) {
        CheckRecordedCourse();
        // An unknown course leaves the map's course as it was.
        if (g_session.courseKnown) LoadCourseLayout();
    }
    if (lapsFromGps) DetectGpsLapsInSlot(slot);
    if (slot == 0) {
        g_session.file1HasGps = HasGpsPositions(0);
        if (g_session.file1HasGps) PrepareGpsFrame();
    }
    SmoothBySettings(slot);
    ComputeSuspensionSpeed(slot);
    ComputeReductionRatio(slot);
    ComputeGpsSlip(slot);
    ComputeSlipTrigger(slot, 0);
    if (slot != 0 && !append) AlignColumnsWithFile1(slot);
    if (slot == 0) ReadStatusTexts(slot);
    ComputeChannelRanges(slot);
    if (slot == 0) ReportFailCodes(slot);
    SlotOf(slot).gearInputColumn = FindColumnByCode(slot, kCodeGearInput);
    if (SlotOf(slot).gearInputColumn < 0) SlotOf(slot).gearInputColumn = kColumnNotPresent;
}

} // namespace qvtk
