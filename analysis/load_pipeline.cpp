#include "analysis/load_pipeline.h"

#include <new>

#include "analysis/course_layout.h"
#include "analysis/gps_frame.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "data/csv_import.h"
#include "data/derived_channels.h"
#include "data/log_loader.h"
#include "data/read_outcome.h"
#include "data/sample_envelope.h"
#include "data/settings.h"
#include "data/status_channels.h"
#include "platform/message_box.h"
#include "platform/sample_memory.h"

namespace qvtk {

const char kCutOffText[] =
    "The end of this file is cut off: the recording is loaded up to its last whole record.";

namespace {

bool g_loadCancelled = false;

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

void ResetCursor(FileSlot slot) {
    SlotOf(slot).cursorPos = 0;
}

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
    g_session.courseKnown = named && listed.latA == recorded.latA && listed.lonA == recorded.lonA &&
                            listed.latB == recorded.latB && listed.lonB == recorded.lonB;
    if (g_session.courseKnown)
        g_settings.CourseFile_name = g_session.courseName;
    else
        g_session.courseName.clear();
}

bool HasGpsPositions(FileSlot slot) {
    return FindColumnByCode(slot, kCodeGpsPosition) >= 0;
}

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

void FinishCsvLoad(FileSlot slot) {
    ResetCursor(slot);
    CheckCourseLayout(slot);
    SmoothBySettings(slot);
    ComputeSuspensionSpeed(slot);
    ComputeCsvSlipRatio(slot);
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

} // namespace

void FinishLoad(FileSlot slot, const ReadOutcome& outcome) {
    switch (outcome.format) {
    case kFormatFamily3:
        return FinishFamily3Load(slot);
    case kFormatCan:
        return FinishCanLoad(slot);
    case kFormatHnd:
        return FinishHndLoad(slot);
    case kFormatFamily4:
        return FinishFamily4Load(slot, outcome.lapsFromGps, outcome.appended);
    case kFormatCsv:
        return FinishCsvLoad(slot);
    case kFormatNone:
        return;
    }
}

LoadResult LoadLogFile(FileSlot& slot, std::string_view path, Bytes bytes) {
    int marksPerLap[kSlotCount];
    for (FileSlot s = 0; s < kSlotCount; ++s) marksPerLap[s] = MarksPerLap(s);
    // The sample tables are checked where they are allocated; what a reader or a finishing
    // step needs besides them (conversion tables, scratch lists) fails here the same way.
    try {
        const ReadOutcome outcome = DecodeLogFile(slot, path, bytes);
        if (outcome.format == kFormatNone) return kLoadNotSupported;
        if (outcome.cancelled) return kLoadCancelled;
        if (outcome.decoded) FinishLoad(slot, outcome);
        // After the finishing steps (derived channels, alignment): the graphs' extremes.
        BuildSlotEnvelope(slot);
        // A header that brings another number of marks per lap brings other sectors.
        if (MarksPerLap(slot) != marksPerLap[slot]) ApplyMarksPerLapToSectors(slot);
        if (outcome.decoded && outcome.truncated) ShowMessage(kCutOffText, "Warning!");
    } catch (const std::bad_alloc&) {
        ShowMessage("Memory Ensure Error.(Data Main buffers)", "Memory Error!!");
        CloseSlot(slot);
    }
    return kLoadRan;
}

bool LoadWasCancelled() {
    return g_loadCancelled;
}

void FollowFile1Display(FileSlot slot) {
    if (slot == 0 || SlotOf(0).file.fileKind == kFileNone) return;
    Slot& s = SlotOf(slot);
    const Slot& base = SlotOf(0);
    for (int c = 0; c < kColumnCount; ++c) {
        const bool shown = IsPresent(s, c) && (base.channelFlags[c] & kChannelShown);
        s.channelFlags[c] = (s.channelFlags[c] & ~kChannelShown) | (shown ? kChannelShown : 0);
        s.autoDisplay[c] = base.autoDisplay[c];
    }
}

void FollowNewFile1() {
    for (FileSlot slot = 1; slot < kSlotCount; ++slot) {
        if (SlotOf(slot).file.fileKind == kFileNone) continue;
        RealignColumnsWithFile1(slot);
        ComputeChannelRanges(slot);
        FollowFile1Display(slot);
        BuildSlotEnvelope(slot);
    }
}

bool LoadFileIntoSlot(FileSlot& slot, const std::string& path) {
    FileBytes file;
    bool loaded = false;
    ReadFailure why = ReadFailure::kNone;
    g_loadCancelled = false;
    // A CSV file of a few short lines is a recording too; binary files need their header.
    const bool text = SameText(PathExtension(path), "csv");
    if (ReadFileBytes(path, file, &why) && (file.size > 511 || text)) {
        const LoadResult result = LoadLogFile(slot, path, Bytes(file.data, file.size));
        g_loadCancelled = result == kLoadCancelled;
        if (g_loadCancelled) return false;
        loaded = result == kLoadRan && SlotOf(slot).file.fileKind != kFileNone;
    } else {
        // The first line as it always was; the reason below it.
        std::string text = "Load file error " + path;
        if (why != ReadFailure::kNone) text += std::string("\n") + ReadFailureText(why);
        ShowMessage(text, "File Error");
    }
    Slot& s = SlotOf(slot);
    if (!loaded) {
        s.file.fileName.clear();
        s.file.filePath.clear();
        s.file.labelRect = LabelRect();
        return false;
    }
    s.file.fileName = std::string(FileTitle(path));
    s.file.filePath = path;
    s.engineSpeedScale = 1.0f; // a new recording starts unsimulated
    // The marks split into segments by the lap divisor, measured as the reader measured them.
    ComputeSegments(slot);
    if (slot == 0)
        FollowNewFile1();
    else
        FollowFile1Display(slot);
    return true;
}

} // namespace qvtk
