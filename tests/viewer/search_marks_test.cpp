// The search marks in the graphs: the spans where the channel lies in the band are shaded in
// the file's colour across the graphs while the alert is on and R has not hidden them.
#include "viewer/search_marks.h"

#include <gtest/gtest.h>

#include "render/render_qt.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graphs.h"
#include "viewer/key_commands.h"

namespace qvtk::test {
namespace {

constexpr int kWidth = 800, kHeight = 500;

class SearchMarksTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        OpenViewer(kWidth, kHeight);
        ResetGraphLayouts();
        ResetSearchMarks();
        Slot& s = MakeRecording(0, 4000, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
        for (int32_t i = 2000; i < 2100; ++i) s.samples[1][i] = 97000; // full throttle
        s.cursorPos = 2000 * 100;
        g_view.HorizontalCompression = 1.0f;
        g_layoutExtras.SAxchn = 1;
        g_layoutExtras.SAxmin = 95000;
        g_layoutExtras.SAxmax = 100000;
    }
    static uint32_t Pixel(int x, int y) { return RenderTargetImage(kBackBuffer)->pixel(x, y); }
};

TEST_F(SearchMarksTest, TheSpansAreShadedWhileTheAlertIsOn) {
    const GraphFrame f = MakeGraphFrame();
    const int inside = int(SampleX(f, 0, 2050)), outside = int(SampleX(f, 0, 2300));
    const int y = kHeight / 2;
    g_view.SubViewOn = 0;
    g_view.KeyHelpCounter = 0;
    g_settings.CourseLayout_on = 0;
    auto shaded = [&] {
        DrawFrame();
        return Pixel(inside, y) != Pixel(outside, y);
    };
    EXPECT_FALSE(shaded());
    g_searchAlert.on = true;
    ExecuteKey('r'); // R shows the marks
    EXPECT_TRUE(shaded());
    ExecuteKey('r'); // and hides them
    EXPECT_FALSE(shaded());
}

} // namespace
} // namespace qvtk::test
