// The course map: its picture (course layout and GPS track) read back pixel by pixel, map
// clicks moving the cursors, a finish line placed on the map, and the floating window's
// placement, drags and wheel.
#include <QApplication>
#include <QImage>
#include <QTimer>
#include <cmath>
#include <string>

#include "analysis/course_layout.h"
#include "analysis/gps_frame.h"
#include "analysis/lap_model.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/course_map_picture.h"
#include "viewer/course_map_window.h"
#include "viewer/frame.h"
#include "viewer/input.h"
#include "viewer/key_commands.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

constexpr int kColumn = 1;       // the colouring channel
constexpr ChannelCode kCode = 4; // TPS
constexpr int kPoints = 10;      // course points on a circle of radius 150 map units

int Channel(QRgb c, int shift) {
    return int((c >> shift) & 0xFF);
}

// Within `slack` of a colour scaled by `alpha` / 255 (what translucent drawing on the opaque
// halo leaves).
::testing::AssertionResult Near(QRgb got, RenderColorValue want, int alpha = 255, int slack = 4) {
    for (int shift : {16, 8, 0}) {
        int expected = Channel(want, shift) * alpha / 255;
        if (std::abs(Channel(got, shift) - expected) > slack)
            return ::testing::AssertionFailure() << std::hex << "pixel " << got << " want " << want
                                                 << " at alpha " << std::dec << alpha;
    }
    return ::testing::AssertionSuccess();
}

class CourseMap : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        GuiApp();
        ASSERT_EQ(RenderOpenOffscreen(800, 600), 0);
        ResetViewState();
        ResetViewerResources();
        g_view.ViewZoom = 1.0f;
        g_view.KeyHelpCounter = 0;
    }
    void TearDown() override {
        SetCourseMapRedrawHook(nullptr);
        RenderReset();
        TempProgramDirectory::TearDown();
    }

    // A course of ten points on a circle; a marker line makes point 5 a sector boundary.
    void WriteCourse() {
        std::string text;
        for (int i = 0; i < kPoints; ++i) {
            if (i == 5) text += "1024.0,0.0\r\n";
            double a = 2 * M_PI * i / kPoints;
            char line[64];
            std::snprintf(line, sizeof line, "%.3f,%.3f\r\n", 150 * std::cos(a), 150 * std::sin(a));
            text += line;
        }
        WriteFile("vorela.crs", text);
    }

    // 4000 samples, 10 distance units each; laps start at 1000 and 3000, so lap 2 covers a
    // course point every 200 samples. The colouring channel's value is the sample index.
    Slot& LapRecording(FileSlot slot) {
        Slot& s = MakeRecording(slot, 4000, {{kColumn, kCode, "TPS"}});
        for (int32_t i = 0; i < s.sampleCount; ++i) {
            s.samples[kColumn][i] = i;
            s.distance.front[i] = s.distance.rear[i] = uint32_t(i) * 10;
        }
        s.range.minByCode[kCode] = 0;
        s.range.maxByCode[kCode] = 4000;
        LapMarkTable& t = s.laps;
        t.count = 3;
        t.marks[1] = 1000;
        t.marks[2] = 3000;
        t.marks[3] = t.marks[4] = t.marks[5] = s.sampleCount;
        SetMarksPerLap(slot, 1);
        ComputeSegments(slot);
        s.cursorPos = 1500 * 100;
        return s;
    }

    // File 1 rides a circle of GPS radius `r` units around (lon0, lat0), one lap per
    // `lapSamples`, a fix every 20 samples; the samples between repeat the fix.
    Slot& GpsRecording(FileSlot slot, int32_t n, int32_t lapSamples, int32_t r = 30000) {
        Slot& s = MakeRecording(slot, n, {{kColumn, kCode, "TPS"}});
        const int32_t lon0 = -18000000, lat0 = 237000000;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t fix = i / 20 * 20;
            const double a = 2 * M_PI * fix / lapSamples;
            s.gps.status[i] = i == fix ? 3 : 0;
            s.gps.lon[i] = lon0 + int32_t(std::lround(r * std::cos(a)));
            s.gps.lat[i] = lat0 + int32_t(std::lround(r * std::sin(a)));
            s.samples[kColumn][i] = i % 4000;
        }
        s.range.minByCode[kCode] = 0;
        s.range.maxByCode[kCode] = 4000;
        s.laps.marks[1] = s.laps.marks[2] = s.laps.marks[3] = n;
        if (slot == 0) {
            g_session.file1HasGps = true;
            PrepareGpsFrame();
        }
        return s;
    }

    void StartViewer() {
        g_settings.Curse_X = 400;
        g_settings.Curse_Y = 300;
        g_settings.Curse_Z = 0.5f;
        LoadResources();
        ASSERT_GT(g_res.courseMap, 0);
    }

    static QRgb MapPixel(int x, int y) { return RenderTargetImage(g_res.courseMap)->pixel(x, y); }
    static QPoint PointPixel(int p) {
        float x = 0, y = 0;
        CoursePointPixel(p, x, y);
        return QPoint(int(x), int(y));
    }
};

TEST_F(CourseMap, CourseLayoutPointsAreColouredByTheirSampleOfTheSelectedLap) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    ASSERT_EQ(g_courseLayout.pointCount, kPoints);
    ASSERT_EQ(LapStateOf(0).sectors.sec[1], 5);
    // Point p lies where 0.96 x + 256 says.
    EXPECT_EQ(PointPixel(2), QPoint(int(0.96f * float(150 * std::cos(0.4 * M_PI)) + 256.0f),
                                    int(0.96f * float(150 * std::sin(0.4 * M_PI)) + 256.0f)));

    g_view.CourseColorChannel[0] = kColumn;
    DrawCourseLayout();
    for (int p : {1, 3, 7, 9}) {
        // Point p is reached at sample 1000 + 200 p, whose value is that index.
        const int entry = (1000 + 200 * p) * 255 / 4000;
        const QPoint at = PointPixel(p);
        EXPECT_TRUE(Near(MapPixel(at.x(), at.y()), MapPaletteColor(entry), 127)) << "point " << p;
    }
    const QPoint boundary = PointPixel(5), start = PointPixel(0);
    EXPECT_TRUE(Near(MapPixel(boundary.x(), boundary.y()), MapMarkerColor()));
    EXPECT_TRUE(Near(MapPixel(start.x(), start.y()), MapMarkerColor()));
    EXPECT_TRUE(Near(MapPixel(start.x() + 6, start.y()), MapMarkerColor())); // radius 7
    EXPECT_EQ(qAlpha(MapPixel(256, 256)), 0); // the middle stays clear
    EXPECT_EQ(g_mapPicture.label, "File 1:TPS");

    // Another lap colours the same point by another sample.
    SlotOf(0).cursorPos = 500 * 100; // lap 1: samples 0 .. 1000
    DrawCourseLayout();
    const QPoint p3 = PointPixel(3);
    const int entry = (0 + 100 * 3) * 255 / 4000; // 1000 units per lap: a point per 100
    EXPECT_TRUE(Near(MapPixel(p3.x(), p3.y()), MapPaletteColor(entry), 127));
}

TEST_F(CourseMap, WithoutColouringOrWithSeveralMarksPerLapThePointsArePlain) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    DrawCourseLayout(); // no colouring channel
    const QPoint p3 = PointPixel(3), p5 = PointPixel(5);
    EXPECT_TRUE(Near(MapPixel(p3.x(), p3.y()), MapMarkerColor(), 127));
    EXPECT_TRUE(g_mapPicture.label.empty());
    EXPECT_TRUE(Near(MapPixel(p5.x() + 5, p5.y()), MapMarkerColor())); // a boundary: radius 6

    SetMarksPerLap(0, 2);
    g_view.CourseColorChannel[0] = kColumn;
    DrawCourseLayout();
    // No boundary mark: point 5 is coloured like the rest, and radius 4 only.
    EXPECT_FALSE(Near(MapPixel(p5.x(), p5.y()), MapMarkerColor()));
    EXPECT_FALSE(Near(MapPixel(p5.x() + 5, p5.y()), MapMarkerColor(), 127, 30));

    // After a boundary edit the picture has no colours.
    SetMarksPerLap(0, 1);
    RedrawSectorMarks();
    EXPECT_TRUE(Near(MapPixel(p3.x(), p3.y()), MapMarkerColor(), 127));
    EXPECT_EQ(LapStateOf(1).sectors.sec[1], 5);
}

TEST_F(CourseMap, GpsTrackOfFile1AloneIsColouredTrianglesWithTheControlLine) {
    Slot& s = GpsRecording(0, 8000, 8000);
    StartViewer();
    s.controlLine = {237000000 - 1000, -18000000 + 25000, 237000000 + 1000, -18000000 + 35000};
    g_view.CourseColorChannel[0] = kColumn;
    DrawGpsTrack(1);
    // 8000 samples take two increments; the first has not reached the end of the lap.
    EXPECT_TRUE(g_mapPicture.gpsPending);
    const int32_t late = 7000;
    const qvtk::MapPixel last = ProjectGpsFix(g_gpsFrame, s.gps.lon[late], s.gps.lat[late]);
    ASSERT_TRUE(last.inside);
    EXPECT_EQ(qAlpha(MapPixel(last.x, last.y)), 0);
    DrawGpsTrack(0);
    EXPECT_FALSE(g_mapPicture.gpsPending);
    for (int32_t i : {1000, 3000, 7000}) {
        const qvtk::MapPixel p = ProjectGpsFix(g_gpsFrame, s.gps.lon[i], s.gps.lat[i]);
        const int want = (i % 4000) * 254 / 4000;
        EXPECT_TRUE(Near(MapPixel(p.x, p.y), MapPaletteColor(want), 255, 30)) << "sample " << i;
    }
    // The control line crosses the track at the east of the circle.
    const qvtk::MapPixel a = ProjectGpsFix(g_gpsFrame, s.controlLine.lonA, s.controlLine.latA);
    const qvtk::MapPixel b = ProjectGpsFix(g_gpsFrame, s.controlLine.lonB, s.controlLine.latB);
    EXPECT_TRUE(Near(MapPixel((a.x + b.x) / 2 - 6, (a.y + b.y) / 2), ControlLineColor()));

    // Both ends on one pixel: a dot.
    s.controlLine = {237000000, -18000000, 237000000, -18000000};
    DrawGpsTrack(1);
    const qvtk::MapPixel dot = ProjectGpsFix(g_gpsFrame, -18000000, 237000000);
    EXPECT_TRUE(Near(MapPixel(dot.x, dot.y), ControlLineColor()));
    EXPECT_TRUE(Near(MapPixel(dot.x + 2, dot.y), ControlLineColor()));
}

TEST_F(CourseMap, GpsTracksOfSeveralFilesAreLinesInTheirColours) {
    GpsRecording(0, 4000, 4000);
    Slot& second = GpsRecording(1, 4000, 4000, 20000); // a smaller circle inside
    StartViewer();
    DrawGpsTrack(1);
    while (g_mapPicture.gpsPending) DrawGpsTrack(0);
    const int32_t i = 1000; // a line runs between this fix and the next
    const qvtk::MapPixel p = ProjectGpsFix(g_gpsFrame, second.gps.lon[i], second.gps.lat[i]);
    const qvtk::MapPixel q =
        ProjectGpsFix(g_gpsFrame, second.gps.lon[i + 20], second.gps.lat[i + 20]);
    EXPECT_TRUE(Near(MapPixel((p.x + q.x) / 2, (p.y + q.y) / 2), FileColor(1), 255, 40));
}

TEST_F(CourseMap, ClicksOnTheCourseLayoutMoveTheSynchronisedCursors) {
    WriteCourse();
    LapRecording(0);
    LapRecording(1);
    StartViewer();
    g_view.FileMoveFlag[1] = 0;
    // The map at half size with its top-left corner at (100, 50).
    CourseMapView view;
    view.zoom = 0.5f;
    view.panX = 100;
    view.panY = 50;
    const QPoint p5 = PointPixel(5);
    EXPECT_TRUE(MapClickToCursor(100 + p5.x() * 0.5f + 3, 50 + p5.y() * 0.5f, view));
    EXPECT_EQ(CursorSample(0), 1000 + 200 * 5);
    EXPECT_EQ(CursorSample(1), 1500); // not synchronised
    // Farther than 15 x zoom pixels from every point: nothing moves.
    EXPECT_FALSE(MapClickToCursor(100 + 256 * 0.5f, 50 + 256 * 0.5f, view));
    EXPECT_EQ(CursorSample(0), 2000);
}

TEST_F(CourseMap, ClicksOnTheGpsTrackMoveTheCursorToTheNearestFix) {
    Slot& s = GpsRecording(0, 4000, 4000);
    StartViewer();
    CourseMapView view;
    view.zoom = 1.0f;
    view.showsGps = true;
    const qvtk::MapPixel p = ProjectGpsFix(g_gpsFrame, s.gps.lon[2500], s.gps.lat[2500]);
    EXPECT_TRUE(MapClickToCursor(float(p.x + 1), float(p.y), view));
    const int32_t c = CursorSample(0);
    const qvtk::MapPixel got = ProjectGpsFix(g_gpsFrame, s.gps.lon[c], s.gps.lat[c]);
    EXPECT_LE(std::hypot(got.x - p.x - 1, got.y - p.y), 2.0);
    EXPECT_FALSE(MapClickToCursor(256, 256, view)); // the middle of the circle
    EXPECT_EQ(CursorSample(0), c);
}

TEST_F(CourseMap, AFinishLinePlacedOnTheMapGivesTheLapsAgain) {
    // 27000 samples, laps of 4000 starting at the east of the circle: crossings near 4000,
    // 8000 .. 20000 count; later ones fall into the last 6000 samples.
    Slot& s = GpsRecording(0, 27000, 4000);
    StartViewer();
    ASSERT_EQ(s.laps.count, 1);
    g_mapWindow.centreX = g_mapWindow.centreY = 256; // full size at the client's corner
    g_mapWindow.half = 256;
    const CourseMapView view = CourseMapViewNow();
    const qvtk::MapPixel outer = ProjectGpsFix(g_gpsFrame, -18000000 + 40000, 237000000);
    const qvtk::MapPixel inner = ProjectGpsFix(g_gpsFrame, -18000000 + 20000, 237000000);
    SetGraphPositionMode(true); // where the map's clicks edit: here the finish line
    EXPECT_EQ(g_mapPicture.finishLineSetting, 1);
    EXPECT_FALSE(g_mapPicture.sectorEditing); // a GPS map has no sector boundaries
    ShowGraphView();
    EXPECT_EQ(g_mapPicture.finishLineSetting, 0);
    BeginFinishLineSetting();
    EXPECT_TRUE(FinishLineClick(float(outer.x), float(outer.y - 1), view));
    EXPECT_EQ(s.laps.count, 1); // point A alone changes nothing
    EXPECT_TRUE(FinishLineClick(float(inner.x), float(inner.y + 1), view));
    EXPECT_EQ(g_mapPicture.finishLineSetting, 0);
    ASSERT_EQ(s.laps.count, 6);
    for (int k = 1; k < 6; ++k) EXPECT_NEAR(s.laps.marks[k], 4000 * k, 20) << "mark " << k;
    EXPECT_EQ(SlotOf(1).controlLine.lonA, s.controlLine.lonA); // every slot gets the line
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/gps_p.ini"));
    // The clicked pixels come back as the line's ends.
    const qvtk::MapPixel a = ProjectGpsFix(g_gpsFrame, s.controlLine.lonA, s.controlLine.latA);
    EXPECT_LE(std::abs(a.x - outer.x) + std::abs(a.y - (outer.y - 1)), 1);
    // Further clicks are plain map clicks again.
    EXPECT_FALSE(FinishLineClick(float(outer.x), float(outer.y), view));
}

TEST_F(CourseMap, TheWindowStaysWholeInTheClientArea) {
    g_settings.Curse_X = 2560; // the default, far right
    g_settings.Curse_Y = 0;
    g_settings.Curse_Z = 0.5f;
    PlaceCourseMapWindow(1024, 768);
    EXPECT_EQ(g_mapWindow.half, 128);
    EXPECT_EQ(g_mapWindow.centreX, 1024 - 128);
    EXPECT_EQ(g_mapWindow.centreY, 128);
    g_settings.Curse_X = -300;
    g_settings.Curse_Y = 5000;
    PlaceCourseMapWindow(1024, 768);
    EXPECT_EQ(g_mapWindow.centreX, 128);
    EXPECT_EQ(g_mapWindow.centreY, 768 - 128);
    g_settings.Curse_Z = 1.5f; // larger than the client's height: the top edge stays in view
    PlaceCourseMapWindow(1024, 600);
    EXPECT_EQ(g_mapWindow.half, 384);
    EXPECT_EQ(g_mapWindow.centreY, 384);
    EXPECT_EQ(g_settings.Curse_X, -300); // the stored centre is left as it was
}

TEST_F(CourseMap, DrawnWindowShowsThePictureAtItsClampedPlace) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    g_settings.Curse_X = 5000;
    g_settings.Curse_Y = -40;
    DrawFrame();
    // The course start (radius 7) scaled by 0.5 into the top-right corner.
    const QPoint start = PointPixel(0);
    const QRgb pixel =
        RenderTargetImage(kBackBuffer)->pixel(800 - 256 + start.x() / 2, start.y() / 2);
    EXPECT_TRUE(Near(pixel, MapMarkerColor(), 255, 40));
}

class CourseMapMouse : public CourseMap {
protected:
    void Pass(int x, int y, int buttons, int wheel = 0) {
        RenderSetMouse(x, y, buttons);
        if (wheel) RenderAddWheel(wheel, 0);
        PollInput();
        DrawFrame();
    }
};

TEST_F(CourseMapMouse, TheWheelOverTheMapChoosesTheColourChannelAndNeverZooms) {
    WriteCourse();
    Slot& s = LapRecording(0);
    s.channelFlags[3] = s.channelFlags[5] = kChannelPresent | kChannelShown;
    s.channelFlags[4] = kChannelPresent; // not shown: stepped over
    StartViewer();
    Pass(400, 300, 0);
    const int zoomSpan = g_view.ZoomSpan;
    const float zoomAnchor = g_view.ZoomAnchor;
    Pass(400, 300, 0, -120); // backward: the next channel
    EXPECT_EQ(g_view.CourseColorChannel[0], kColumn);
    Pass(400, 300, 0, -240);
    EXPECT_EQ(g_view.CourseColorChannel[0], 5);
    Pass(400, 300, 0, -120); // nothing further: stays
    EXPECT_EQ(g_view.CourseColorChannel[0], 5);
    Pass(400, 300, 0, 360); // forward: back to none
    EXPECT_EQ(g_view.CourseColorChannel[0], 0);
    for (int i = 0; i < 5; ++i) Pass(400, 300, 0, 120);
    EXPECT_EQ(g_view.ZoomSpan, zoomSpan);
    EXPECT_EQ(g_view.ZoomAnchor, zoomAnchor);
    Pass(100, 300, 0, 120); // off the map the wheel zooms again
    EXPECT_NE(g_view.ZoomSpan, zoomSpan);
}

TEST_F(CourseMapMouse, DragsMoveAndResizeTheMapWithoutScrollingTheGraphs) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    const int64_t cursor = SlotOf(0).cursorPos;
    Pass(400, 300, 0);
    Pass(400, 300, kMouseLeft);
    Pass(450, 320, kMouseLeft);
    Pass(470, 340, kMouseLeft);
    Pass(470, 340, 0);
    EXPECT_EQ(g_settings.Curse_X, 470);
    EXPECT_EQ(g_settings.Curse_Y, 340);
    EXPECT_EQ(SlotOf(0).cursorPos, cursor); // neither scrolled nor clicked
    // A long right drag downwards shrinks the map to its limit; upwards grows it to 2.0.
    Pass(470, 340, kMouseRight);
    for (int i = 0; i < 200; ++i) Pass(470, 599, kMouseRight);
    EXPECT_FLOAT_EQ(g_settings.Curse_Z, 0.4f);
    Pass(470, 599, 0);
    Pass(470, 300, kMouseRight);
    for (int i = 0; i < 400; ++i) Pass(470, 0, kMouseRight);
    EXPECT_FLOAT_EQ(g_settings.Curse_Z, 2.0f);
    Pass(470, 0, 0);
    EXPECT_EQ(SlotOf(0).cursorPos, cursor);
}

TEST_F(CourseMapMouse, AClickWithoutADragMovesTheCursorThere) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    Pass(10, 10, 0);
    const CourseMapView view = CourseMapViewNow();
    const QPoint p7 = PointPixel(7);
    const int x = int(view.panX + p7.x() * view.zoom), y = int(view.panY + p7.y() * view.zoom);
    Pass(x, y, 0);
    Pass(x, y, kMouseLeft);
    Pass(x + 1, y, kMouseLeft);
    Pass(x + 1, y, 0);
    EXPECT_EQ(CursorSample(0), 1000 + 200 * 7);
}

} // namespace
} // namespace qvtk::test

namespace qvtk::test {
namespace {

std::vector<int32_t> Sectors() {
    const int32_t* sec = LapStateOf(0).sectors.sec;
    return std::vector<int32_t>(sec, sec + 9);
}

class CourseMapClicks : public CourseMapMouse {
protected:
    void ClickPoint(int p) {
        const CourseMapView view = CourseMapViewNow();
        float px = 0, py = 0;
        CoursePointPixel(p, px, py);
        const int x = int(view.panX + px * view.zoom), y = int(view.panY + py * view.zoom);
        Pass(x, y, 0);
        Pass(x, y, kMouseLeft);
        Pass(x, y, 0);
    }
    void Key(int c) {
        RenderPushChar(c);
        Pass(g_view.MouseX, g_view.MouseY, 0);
    }
};

TEST_F(CourseMapClicks, AClickOnTheCourseStartStaysInTheSelectedLap) {
    WriteCourse();
    LapRecording(0); // the cursor stands in the lap of samples 1000 .. 2999
    StartViewer();
    Pass(10, 10, 0);
    ClickPoint(0); // the start, where the closing point lies too
    EXPECT_GE(CursorSample(0), 1000);
    EXPECT_LT(CursorSample(0), 3000);
    ClickPoint(9);
    EXPECT_EQ(CursorSample(0), 1000 + 200 * 9);
}

TEST_F(CourseMapClicks, MapEditingEndsWithGraphPositionModeHoweverItIsLeft) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    Pass(10, 10, 0);
    const std::vector<int32_t> sectors = Sectors();
    Key('c'); // graph position mode: a click would edit the boundaries
    ASSERT_TRUE(g_mapPicture.sectorEditing);
    Key('s'); // left for the A/F map view, and back
    Key('s');
    ASSERT_FALSE(g_view.GraphPositionMode);
    ClickPoint(7);
    EXPECT_EQ(Sectors(), sectors);
    EXPECT_EQ(CursorSample(0), 1000 + 200 * 7); // an ordinary click

    Key('c');
    QTimer::singleShot(0, [] { // left for the lap table
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    Key('d');
    ASSERT_FALSE(g_view.GraphPositionMode);
    ClickPoint(3);
    EXPECT_EQ(Sectors(), sectors);
    EXPECT_EQ(CursorSample(0), 1000 + 200 * 3);
}

TEST_F(CourseMapClicks, TheTabStripLiesOverTheMapWhenThePointerBringsItIn) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    g_settings.Curse_Y = 0; // the map at the top edge, under the strip
    g_layoutList.count = 3;
    for (int i = 0; i < 3; ++i) g_layoutList.names[i] = "Tab " + std::to_string(i + 1);
    for (int i = 0; i < 20; ++i) Pass(340, 5, 0);
    ASSERT_TRUE(OverCourseMap(340, 5));
    ASSERT_EQ(g_view.TabUnderMouse, 1);
    g_view.ZoomSpan = 40000;
    Pass(340, 5, kMouseLeft);
    EXPECT_EQ(g_mapWindow.grab, 0);             // not the map's press
    EXPECT_EQ(g_view.ZoomSpan, kZoomSpanFirst); // the tab's: its layout, zoom reset
    Pass(340, 5, 0);
}

TEST_F(CourseMapClicks, ShiftArrowsInGraphPositionModeMoveTheCourseStart) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    Pass(10, 10, 0);
    const CourseLayout& c = g_courseLayout;
    Key('c');
    RenderSetKeyHeld(RenderKey::Shift, true);
    Key(kCharRight);
    EXPECT_EQ(c.courseOffset, 1);
    EXPECT_EQ(c.pointX[0], c.fileX[1]);
    EXPECT_NE(g_view.FileMoveFlag[0], 0); // no other key took it
    Key(kCharLeft);
    Key(kCharLeft); // below 0: round to the last point
    EXPECT_EQ(c.courseOffset, kPoints);
    Key(kCharDown); // -10
    EXPECT_EQ(c.courseOffset, 0);
    Key(kCharUp); // +10
    Key(kCharUp); // past the last point: back to 0
    EXPECT_EQ(c.courseOffset, 0);
    Key(kCharRight);
    Key('Z');
    EXPECT_EQ(c.courseOffset, 0);
    EXPECT_EQ(c.pointX[0], c.fileX[0]);
    RenderSetKeyHeld(RenderKey::Shift, false);
    Key(kCharRight); // without Shift the arrows move the baseline
    EXPECT_EQ(g_settings.BaseLinePos, 1);
    EXPECT_EQ(c.courseOffset, 0);
}

TEST_F(CourseMap, TheSubViewLiesOverTheCourseMap) {
    WriteCourse();
    LapRecording(0);
    StartViewer();
    g_settings.Curse_Z = 1.0f;
    DrawFrame();
    const CourseMapView view = CourseMapViewNow();
    const QPoint start = PointPixel(0);
    const QPoint at(int(view.panX + start.x()), int(view.panY + start.y()));
    ASSERT_TRUE(
        Near(RenderTargetImage(kBackBuffer)->pixel(at.x(), at.y()), MapMarkerColor(), 255, 40));
    // The stroke histograms' box (no strokes in this recording: the box alone) over the start.
    g_view.SubViewOn = g_view.StatusViewOn = 1;
    g_settings.ExpertMode = 1;
    g_settings.Susgram_X = at.x() + 100, g_settings.Susgram_Y = at.y() + 40;
    g_settings.Susgram_Z = 1.0f;
    DrawFrame();
    EXPECT_LT(qGreen(RenderTargetImage(kBackBuffer)->pixel(at.x(), at.y())), 100);
}

TEST_F(CourseMap, TheTimeAndDistanceBoxHidesNoTrackAndFitsItsTexts) {
    WriteCourse();
    Slot& first = LapRecording(0);
    Slot& second = LapRecording(1);
    StartViewer();
    g_settings.Curse_Z = 1.0f;
    DrawFrame();
    LapBoxPlace box = LapBoxPlacement();
    EXPECT_FALSE(box.underTrack);
    CourseMapView view = CourseMapViewNow();
    auto screen = [&](int p) {
        const QPoint at = PointPixel(p);
        return QPointF(view.panX + at.x() * view.zoom, view.panY + at.y() * view.zoom);
    };
    for (int p = 0; p <= kPoints; ++p) {
        const QPointF at = screen(p);
        EXPECT_FALSE(at.x() + 4 > box.x && at.x() - 4 < box.x + kLapBoxWidth &&
                     at.y() + 4 > box.y && at.y() - 4 < box.y + kLapBoxHeight)
            << "point " << p;
    }
    // A small map has no free corner: the box goes under the track, which stays on top.
    g_settings.Curse_Z = 0.5f;
    DrawFrame();
    box = LapBoxPlacement();
    view = CourseMapViewNow();
    EXPECT_TRUE(box.underTrack);
    int covered = 0;
    for (int p = 1; p < kPoints; ++p) {
        const QPointF at = screen(p);
        if (at.x() < box.x || at.x() >= box.x + kLapBoxWidth || at.y() < box.y ||
            at.y() >= box.y + kLapBoxHeight || p == 5)
            continue;
        ++covered;
        EXPECT_TRUE(Near(RenderTargetImage(kBackBuffer)->pixel(int(at.x()), int(at.y())),
                         MapMarkerColor(), 127, 40))
            << "point " << p;
    }
    EXPECT_GT(covered, 0);
    // The widest difference line ends inside the box.
    first.distance.selected[CursorSample(0)] = 6000000; // 833.3 m
    second.distance.selected[CursorSample(1)] = 570480; // 754.1 m less
    second.cursorPos = 1010 * 100;
    DrawLapDistanceBox();
    const QImage* surface = RenderTargetImage(g_res.lapBox);
    const int lh = g_res.smallFontSize, top = 3 * lh + 16;
    const QRgb background = surface->pixel(2, 2);
    bool text = false;
    for (int y = top; y < top + lh; ++y) {
        for (int x = 0; x < 118; ++x) text = text || surface->pixel(x, y) != background;
        for (int x = 118; x < 120; ++x)
            EXPECT_EQ(surface->pixel(x, y), background) << x << "," << y;
    }
    EXPECT_TRUE(text);
}

} // namespace
} // namespace qvtk::test
