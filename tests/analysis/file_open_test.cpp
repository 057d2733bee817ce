// The file open flow on files in a temporary directory: the short-file rule, the label, the
// busy guard, and the rename after the fastest lap.
#include <cstring>
#include <filesystem>
#include <tuple>

#include "analysis/file_open.h"
#include "analysis/file_summary.h"
#include "tests/data/family3_fixture.h"
#include "tools/sim/can_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"

namespace qvtk::test {
namespace {

namespace fs = std::filesystem;

int SixPixelsPerChar(const std::string& name) {
    return 6 * int(name.size());
}

class FileOpenTest : public TempProgramDirectory {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteFile(name, std::string(bytes.begin(), bytes.end()));
        return dir_ + "/" + name;
    }
    // Marks at 1000, 13345 and 26000 of 27000 samples: lap 2 lasts 12345 samples (61.725 s).
    std::string RecordingWithLaps() const {
        Family3File f(2);
        for (int i = 1; i <= 27000; ++i)
            f.Append({.marker = i == 1000 || i == 13345 || i == 26000, .vfw = 500, .vrw = 500});
        return Write("ride.qvd", f.bytes());
    }
    // Slot 0 as a recording of the given lap marks (the last one is the end) at `path`.
    void Marks(const std::vector<int32_t>& marks, const std::string& path = "") {
        Slot& s = MakeRecording(0, marks.back(), {});
        std::copy(marks.begin(), marks.end(), s.laps.marks);
        s.laps.count = int32_t(marks.size()) - 1;
        s.file.filePath = path;
    }
    FileOpenResult Open(FileSlot slot, const std::string& path) {
        return LoadRequestedFile(slot, path, 14, SixPixelsPerChar);
    }
};

TEST_F(FileOpenTest, NameAfterTheFastestLap) {
    const FastestLap lap{3, 12345};
    const std::tuple<const char*, const char*, FastestLap, const char*> cases[] = {
        {"ride.qvd", "", lap, "ride[1'01''725(3-7)].qvd"},
        {"ride.QVD", "ABCDEFGHIJK", {2, 24000}, "rideABCDEFGHI[2'00''000(2-7)].QVD"},
        {"ride.Hnd", "", {}, "ride[-'--''---(0-7)].Hnd"},
        {"a.b[x].hnd", "", lap, "a.b[x][1'01''725(3-7)].hnd"}, // the "[" is after the dot
        {"ride[1'01''725(3-7)].qvd", "", lap, ""},
        {"ride.csv", "", lap, ""},
        {"ride.CAN", "", lap, ""},
        {"qvd", "", lap, ""},
    };
    for (auto [title, prefix, fastest, expected] : cases)
        EXPECT_EQ(FastestLapFileName(title, prefix, fastest, 7), expected) << title;
}

TEST_F(FileOpenTest, FastestLapLeavesOutTheOutLapAndTheInLap) {
    // Out-lap and in-lap are the shortest; laps 3 and 4 tie and the first wins.
    Marks({0, 100, 1000, 1800, 2600, 2650});
    EXPECT_EQ(std::tuple(FindFastestLap(0).lap, FindFastestLap(0).samples), std::tuple(3, 800));
    Marks({0, 100, 1000, 1900}); // one flying lap
    EXPECT_EQ(FindFastestLap(0).lap, 2);
    Marks({0, 100, 1000}); // fewer than three marks: none
    EXPECT_EQ(FindFastestLap(0).lap, 0);
}

TEST_F(FileOpenTest, RenameFailuresKeepTheOldName) {
    const std::string path = Write("ride.qvd", {1, 2, 3});
    g_settings.ModifyFileName = 0;
    Marks({0, 100}, path);
    RenameAfterFastestLap(0);
    EXPECT_TRUE(fs::exists(path));

    g_settings.ModifyFileName = 1;
    const std::string target = Write("ride[-'--''---(0-1)].qvd", {9}); // never replaced
    for (bool vanished : {false, true}) {
        ClearRecordedMessages();
        if (vanished) {
            fs::remove(target);
            fs::remove(path);
        }
        RenameAfterFastestLap(0);
        EXPECT_TRUE(SawMessage("Error!", "No change file name.")) << vanished;
        EXPECT_EQ(SlotOf(0).file.filePath, path);
        if (!vanished) {
            EXPECT_EQ(fs::file_size(target) * 10 + fs::file_size(path), 13u);
        }
    }
}

TEST_F(FileOpenTest, OpenLoadsRenamesAndSetsTheLabel) {
    const std::string path = RecordingWithLaps();
    EXPECT_EQ(Open(1, path), kOpenLoaded);
    const std::string name = "ride[1'01''725(2-4)].qvd";
    const SlotFile& f = SlotOf(1).file;
    const LabelRect& r = f.labelRect;
    EXPECT_EQ(std::tuple(f.fileName, f.filePath, fs::exists(path)),
              std::tuple(name, dir_ + "/" + name, false));
    EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom),
              std::tuple(10, 30, 20 + 6 * int(name.size()), 44));
    EXPECT_EQ(g_fileOpen.currentFileSize, int64_t(fs::file_size(f.filePath)));
    // Opened again, a renamed file keeps its name.
    EXPECT_EQ(Open(0, f.filePath), kOpenLoaded);
    EXPECT_EQ(SlotOf(0).file.fileName, name);
    EXPECT_TRUE(fs::exists(dir_ + "/" + name));
}

TEST_F(FileOpenTest, FilesOf511BytesOrLessAreRejectedAndClearTheLabel) {
    std::vector<uint8_t> bytes(511, '3');
    const std::string path = Write("short.qvd", bytes);
    SlotOf(1).file.fileName = "old.qvd";
    SlotOf(1).file.labelRect = FileLabelRect(1, 42, 14);
    EXPECT_EQ(Open(1, path), kOpenRejected);
    EXPECT_TRUE(SawMessage("File Error", "Load file error " + path));
    const LabelRect r = SlotOf(1).file.labelRect;
    EXPECT_EQ(std::tuple(SlotOf(1).file.fileName, SlotOf(1).file.filePath, r.left, r.top, r.right,
                         r.bottom),
              std::tuple("", "", 10, 16, 10, 16));
    // One byte more goes to the reader: a version-1 header alone is a recording of one
    // sample without laps.
    ClearRecordedMessages();
    bytes.push_back(0);
    bytes[15] = 1;
    EXPECT_EQ(Open(1, Write("short.qvd", bytes)), kOpenLoaded);
    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(std::tuple(SlotOf(1).sampleCount, SlotOf(1).laps.count, SlotOf(1).laps.marks[1]),
              std::tuple(1, 1, 1));
}

FileOpenResult g_nestedResult = kOpenLoaded;
void OpenFromMessageBox(const std::string&, const std::string&) {
    g_nestedResult = LoadRequestedFile(2, "/nonexistent.qvd", 14, SixPixelsPerChar);
}

TEST_F(FileOpenTest, BusyRefusesANestedOpen) {
    SetMessageSink(OpenFromMessageBox); // an open started while the error box is up
    EXPECT_EQ(Open(1, Write("short.qvd", {'3'})), kOpenRejected);
    SetMessageSink(nullptr);
    EXPECT_EQ(std::tuple(g_nestedResult, RecordedMessages().size(), g_fileOpen.busy),
              std::tuple(kOpenBusy, 1u, false));
    g_fileOpen.busy = true;
    EXPECT_EQ(Open(1, RecordingWithLaps()), kOpenBusy);
    EXPECT_TRUE(g_fileOpen.busy); // still the running open's
    EXPECT_FALSE(Loaded(1));
}

TEST_F(FileOpenTest, CanFileGoesToFile1AndLeavesTheRequestedLabel) {
    const sim::SimRide& ride = SimulatedRide(3, 0);
    SlotOf(1).file.fileName = "other.qvd";
    EXPECT_EQ(Open(1, Write("bus.CAN", sim::WriteCanFrames(ride))), kOpenLoaded);
    EXPECT_EQ(std::tuple(g_fileOpen.filledSlot, SlotOf(0).file.fileName,
                         SlotOf(0).file.labelRect.top, SlotOf(1).file.fileName),
              std::tuple(0, "bus.CAN", 16, "other.qvd"));
}

// Column of a slot whose channel has this name, or -1.
int ColumnNamed(FileSlot slot, const char* name) {
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(SlotOf(slot), c) && std::string(SlotOf(slot).channels[c].name) == name)
            return c;
    return -1;
}

TEST_F(FileOpenTest, ANewFile1LinesFilesTwoAndThreeUpAgain) {
    g_settings.ModifyFileName = 0;
    const sim::SimRide& ride = SimulatedRide(3, 0);
    const std::string family3 = Write("f3.qvd", sim::WriteFamily3(ride, 2));
    const std::string family4 = Write("f4.qvd", sim::WriteFamily4(ride));
    for (FileSlot slot : {0, 1, 2}) ASSERT_EQ(Open(slot, family3), kOpenLoaded);
    const std::vector<int32_t> ne(SlotOf(1).samples[0], SlotOf(1).samples[0] + 1000);
    // A CAN logger recording as File 1 (battery in column 0, engine speed in column 1): every
    // channel of File 2 and 3 moves to the column of File 1's channel of that name.
    ASSERT_EQ(Open(0, family4), kOpenLoaded);
    for (const char* name : {"VB", "Ne", "TPS", "VFW", "VRW", "FrSUS", "RrSUS"}) {
        const int c = ColumnNamed(0, name);
        ASSERT_GE(c, 0) << name;
        for (FileSlot slot : {1, 2}) EXPECT_EQ(ColumnNamed(slot, name), c) << name << slot;
    }
    const int neColumn = ColumnNamed(0, "Ne");
    EXPECT_EQ(std::vector<int32_t>(SlotOf(1).samples[neColumn], SlotOf(1).samples[neColumn] + 1000),
              ne);
    EXPECT_EQ(SlotOf(1).range.max[neColumn], SlotOf(2).range.max[neColumn]);
    // Back to a family-3 File 1: the files are in their own order again, with their own codes.
    ASSERT_EQ(Open(0, family3), kOpenLoaded);
    for (int c = 0; c < kColumnCount; ++c) {
        EXPECT_EQ(std::string(SlotOf(1).channels[c].name), SlotOf(0).channels[c].name) << c;
        EXPECT_EQ(SlotOf(1).channels[c].code, SlotOf(0).channels[c].code) << c;
    }
    EXPECT_EQ(std::vector<int32_t>(SlotOf(1).samples[0], SlotOf(1).samples[0] + 1000), ne);
}

TEST_F(FileOpenTest, ClosedAndRejectedFilesLeaveNoNameLabelOrNumbers) {
    g_settings.ModifyFileName = 0;
    const std::string path = Write("ride.qvd", sim::WriteFamily3(SimulatedRide(3, 0), 2));
    ASSERT_EQ(Open(0, path), kOpenLoaded);
    ASSERT_EQ(Open(1, path), kOpenLoaded);
    std::strcpy(SlotOf(0).header.memo, "first");
    CloseSlot(1); // Close2 on the toolbar
    const SlotFile& closed = SlotOf(1).file;
    EXPECT_EQ(std::tuple(closed.fileName, closed.filePath, closed.labelRect.right),
              std::tuple("", "", 10));
    EXPECT_EQ(BuildFileSummary().rows[0].file2, "");
    // File 1 replaced by a file its reader rejects: the panels show nothing of the old one.
    std::vector<uint8_t> bad(2048, 0);
    bad[0] = '3';
    bad[15] = 7; // no such version
    EXPECT_EQ(Open(0, Write("bad.qvd", bad)), kOpenRejected);
    for (const SummaryRow& row : BuildFileSummary().rows) EXPECT_EQ(row.file1, "") << row.label;
    EXPECT_EQ(BuildTireLines().tire[0], "");
    ResetMemoPanel();
    StepMemoPanel(0);
    EXPECT_EQ(MemoLine(g_memoPanel.file[0], 0), "");
}

} // namespace
} // namespace qvtk::test
