// What the program keeps at exit and finds at the next start: settings written through links,
// read-only files left alone, a failure said at the next start, one replacement of Sector.ini,
// and the temporary files of a killed exit cleared away.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "platform/ini_text.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/app.h"
#include "viewer/settings_file.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

namespace fs = std::filesystem;

const std::string kNotice = "settings of the last session could not be saved: ";

class ExitSaves : public TempProgramDirectory {
protected:
    void SetUp() override {
        GuiApp();
        TempProgramDirectory::SetUp();
    }
    void TearDown() override {
        Close();
        unsetenv("XDG_STATE_HOME");
        TempProgramDirectory::TearDown();
    }
    void Close() {
        if (!RenderIsOpen()) return;
        DestroyToolbar();
        RenderClose();
    }
    void Start(const std::string& dir) {
        Close();
        StartProgram(dir);
        ASSERT_EQ(InitDisplay(0), 0);
    }
    // One run: start, let the test change something, exit.
    template <class F> void Run(const std::string& dir, F during) {
        Start(dir);
        during();
        ExitProgram();
        Close();
    }
    std::string Text(const std::string& name) const { return *ReadTextFile(dir_ + "/" + name); }
};

TEST_F(ExitSaves, LinksAreWrittenThroughAndReadOnlyFilesKept) {
    fs::create_directory(dir_ + "/real");
    std::ofstream(dir_ + "/real/QVTK2.ini") << "[ModeSet]\r\nCslValWidth=0\r\n";
    fs::create_symlink("real/QVTK2.ini", dir_ + "/QVTK2.ini");
    Run(dir_, [] { g_settings.CslValWidth = 80; });
    EXPECT_TRUE(fs::is_symlink(dir_ + "/QVTK2.ini"));
    EXPECT_NE(Text("real/QVTK2.ini").find("CslValWidth=80\r\n"), std::string::npos);
    Start(dir_);
    EXPECT_EQ(LastSessionNotice(), "");

    // A file the user made read-only stays as it is; the next start says so, once.
    for (const char* name : {"QVTK2.ini", "stdgp.ini"}) {
        fs::remove(dir_ + "/QVTK2.ini");
        WriteFile(name, "[ModeSet]\r\nCslValWidth=0\r\n");
        chmod((dir_ + "/" + name).c_str(), 0444);
        Run(dir_, [] { g_settings.CslValWidth = 80; });
        EXPECT_EQ(Text(name), "[ModeSet]\r\nCslValWidth=0\r\n") << name;
        Start(dir_);
        EXPECT_EQ(LastSessionNotice(), kNotice + "permission denied") << name;
        chmod((dir_ + "/" + name).c_str(), 0644);
        ExitProgram();
        Start(dir_);
        EXPECT_EQ(LastSessionNotice(), "") << name;
        fs::remove(dir_ + "/" + name);
    }
}

TEST_F(ExitSaves, AFolderThatTakesNoFileLeavesTheNoteInTheUsersStateFolder) {
    setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
    const std::string gone = dir_ + "/gone";
    Run(gone, [] {});
    EXPECT_FALSE(fs::exists(gone));
    Start(gone);
    EXPECT_EQ(LastSessionNotice(), kNotice + "no such file or directory");
    // The notice is drawn right above the summary panel while the panel shows.
    auto orange = [] {
        const QImage image = RenderTargetImage(kBackBuffer)->convertToFormat(QImage::Format_RGB32);
        int w = 0, h = 0, n = 0;
        RenderClientSize(w, h);
        for (int y = h - 170; y < h - 140; ++y)
            for (int x = w - 500; x < w; ++x) {
                const QRgb p = image.pixel(x, y);
                n += qRed(p) > 200 && qGreen(p) > 100 && qGreen(p) < 200 && qBlue(p) < 60;
            }
        return n;
    };
    auto idlePass = [] {
        g_view.SummaryPanelCounter = 0;
        g_view.RedrawCountdown = 10; // idle: the panels show
        RunMainPass();
    };
    idlePass();
    EXPECT_GT(orange(), 20);
    Start(gone);
    EXPECT_EQ(LastSessionNotice(), "");
    idlePass();
    EXPECT_EQ(orange(), 0);
}

TEST_F(ExitSaves, SectorFileIsReplacedOnceAtExit) {
    WriteFile("Sector.ini", "[vorela.crs]\r\nSec1=100\r\nSec2=200\r\nSec3=300\r\nOffset=0\r\n");
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    // Both halves of each rename are watched: equal events in a row would be merged into one.
    inotify_add_watch(watch, dir_.c_str(), IN_MOVED_FROM | IN_MOVED_TO);
    Run(dir_, [] {
        int32_t* sec = LapStateOf(0).sectors.sec;
        sec[1] = 150, sec[2] = 250, sec[3] = 5000;
        for (int s = 4; s <= 7; ++s) sec[s] = 5000 + s; // all unset
        g_courseLayout.courseOffset = 7;
    });
    int replacements = 0;
    alignas(inotify_event) char events[16384];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
        for (char* p = events; p < events + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            replacements += (e->mask & IN_MOVED_TO) && std::string(e->name) == "Sector.ini";
            p += sizeof(inotify_event) + e->len;
        }
    close(watch);
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(Text("Sector.ini"), "[vorela.crs]\r\nSec1=150\r\nSec2=250\r\nOffset=7\r\n");
}

TEST_F(ExitSaves, StartUpClearsTemporaryFilesOfAKilledExit) {
    const std::string stale = dir_ + "/QVTK2.ini.tmp-Ab12Cd";
    const std::string fresh = dir_ + "/stdgp.ini.tmp-Xy34Zw"; // another run may be writing it
    WriteFile("QVTK2.ini.tmp-Ab12Cd", "half");
    WriteFile("stdgp.ini.tmp-Xy34Zw", "half");
    const utimbuf hourAgo{time(nullptr) - 3600, time(nullptr) - 3600};
    utime(stale.c_str(), &hourAgo);
    Start(dir_);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));
}

} // namespace
} // namespace qvtk::test
