// The keys K (fuel used) and 4 (course-map pictures) as a user types them: through the input
// queue and the main pass's key commands, with the save dialog answered.
#include <QFileDialog>
#include <QImage>
#include <QTimer>
#include <filesystem>

#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_modal.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/course_map_images.h"
#include "viewer/input.h"

namespace qvtk::test {
namespace {

class MapImagesFuelKeysTest : public ViewerFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        OpenViewer(800, 600);
        g_settings.CourseLayout_on = 0;
        LoadResources();
        ClearRecordedMessages(); // what the pictures' start-up said
    }
    void Press(int c) {
        RenderPushChar(c);
        PollInput();
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(dir_ + "/" + name);
    }
};

TEST_F(MapImagesFuelKeysTest, KShowsTheFuelUsedPerLap) {
    Slot& s = MakeRecording(0, 100, {{0, kCodeNe, "Ne"}, {5, 200, "F_TMFLCN"}});
    s.samples[5][10] = s.samples[5][20] = s.samples[5][60] = 1;
    SetMarks(0, {40});
    Press('K');
    EXPECT_TRUE(SawMessage("Fuel used", "              File1     :    File2\n\n"
                                        "total -    30 cc  :      0 cc\n\n"
                                        "lap 0  -    20 cc  :     0 cc\n"
                                        "lap 1  -    10 cc  :     0 cc\n"));
}

TEST_F(MapImagesFuelKeysTest, FourSavesThePicturesOfTheChannelsFile1HasInDebugModeOnly) {
    Slot& s = MakeRecording(0, 400, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TH"}});
    for (int32_t i = 0; i < 400; ++i) s.samples[0][i] = s.samples[1][i] = i * 10;
    SetMarks(0, {100});
    // Without debug mode or without the course map the key does nothing: no save dialog.
    for (auto [debug, courseMap] : {std::pair(0, 1), std::pair(1, 0)}) {
        g_settings.Debug = debug;
        g_settings.CourseLayout_on = courseMap;
        bool asked = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                asked = true;
                d->reject();
            }
        });
        watch.start(5);
        Press('4');
        EXPECT_FALSE(asked) << debug << courseMap;
    }
    EXPECT_TRUE(RecordedMessages().empty());

    g_settings.Debug = 1;
    g_settings.CourseLayout_on = 1;
    WhenModal<QFileDialog>("", [this](QFileDialog* f) {
        f->selectFile(QString::fromStdString(dir_ + "/lap.bmp"));
        static_cast<QDialog*>(f)->accept(); // as the Save button does
    });
    Press('4');
    EXPECT_TRUE(SawMessage("Saved", "Course Map is saved.\nNot in File 1: VFW, FrSUS, RrSUS"));
    EXPECT_TRUE(Exists("lap_ne.bmp") && Exists("lap_th.bmp"));
    EXPECT_FALSE(Exists("lap_vfw.bmp") || Exists("lap_fsus.bmp") || Exists("lap_rsus.bmp"));
    EXPECT_EQ(ReadWholeFile(dir_ + "/lap_ne.bmp").substr(0, 2), "BM");
    EXPECT_EQ(g_settings.BMP, dir_); // the next dialog starts in this folder
}

// ---- The lap time on the pictures.

TEST_F(MapImagesFuelKeysTest, ThePicturesShowTheLapTimeOfTheLapUnderTheCursorTopLeft) {
    Slot& s = MakeRecording(0, 4000, {{0, kCodeNe, "Ne"}});
    SetMarks(0, {1000, 3000});
    s.cursorPos = 500 * 100; // the first lap: no time
    ASSERT_TRUE(SaveCourseMapImages(dir_ + "/first.bmp"));
    s.cursorPos = 2000 * 100; // 2000 samples: 10 s
    ASSERT_TRUE(SaveCourseMapImages(dir_ + "/second.bmp"));
    s.cursorPos = 2500 * 100; // the same lap
    ASSERT_TRUE(SaveCourseMapImages(dir_ + "/again.bmp"));
    // "again" has another title: compare where the titles are not.
    const QImage first(QString::fromStdString(dir_ + "/first_ne.bmp")),
        second(QString::fromStdString(dir_ + "/second_ne.bmp")),
        again(QString::fromStdString(dir_ + "/again_ne.bmp"));
    QRect changed;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width() / 2; ++x) {
            if (first.pixel(x, y) != second.pixel(x, y)) changed |= QRect(x, y, 1, 1);
            EXPECT_EQ(second.pixel(x, y), again.pixel(x, y)) << x << " " << y;
        }
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_LT(changed.bottom(), 40);
}

} // namespace
} // namespace qvtk::test
