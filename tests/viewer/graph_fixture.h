#pragma once
// A fresh program with the time graphs on a 640 x 400 offscreen back buffer, zoom settled,
// and recordings of one shown column built in memory.
#include <QImage>
#include <algorithm>
#include <vector>

#include "data/sample_envelope.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {

constexpr int kWidth = 640, kHeight = 400;

class Graphs : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        ResetViewState();
        ResetGraphSettings();
        ResetViewerResources();
        ASSERT_EQ(RenderOpenOffscreen(kWidth, kHeight), 0);
        g_res.screenWidth = kWidth;
        ASSERT_TRUE(AllocateVertexPools());
        g_view.ViewZoom = 1.0f;
    }
    void TearDown() override {
        RenderClose();
        ProgramTest::TearDown();
    }
    // A recording of one shown column (code 3) with the given samples.
    void MakeFile(FileSlot slot, const std::vector<int32_t>& samples, float rate = 1.0f) {
        Slot& s = SlotOf(slot);
        s.channelFlags[0] = kChannelPresent | kChannelShown; // a full buffer for column 0
        ASSERT_TRUE(AllocateSlotBuffers(slot, int32_t(samples.size())));
        s.active = true;
        s.file.fileKind = kFileFamily3; // a loaded recording
        s.sampleCount = int32_t(samples.size());
        s.sampleRateFactor = rate;
        s.channels[0].kind = 1;
        s.channels[0].code = 3;
        std::copy(samples.begin(), samples.end(), s.samples[0]);
        BuildSlotEnvelope(slot);
    }
    static bool Lit(int x, int y) {
        const QImage* img = RenderTargetImage(kBackBuffer);
        return x >= 0 && y >= 0 && x < img->width() && y < img->height() &&
               (img->pixel(x, y) & 0xFFFFFF) != 0;
    }
};

} // namespace qvtk::test
