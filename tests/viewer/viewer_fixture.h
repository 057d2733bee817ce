#pragma once
// A fresh viewer on an offscreen back buffer over the lap fixture's recordings: view state,
// graph settings and resources reset, zoom settled at 1.
#include "render/render.h"
#include "tests/analysis/lap_fixture.h"
#include "tests/gui_app.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {

class ViewerFixture : public LapFixture {
protected:
    void OpenViewer(int width, int height) {
        GuiApp();
        ResetViewState();
        ResetGraphSettings();
        ResetViewerResources();
        ASSERT_EQ(RenderOpenOffscreen(width, height), 0);
        g_view.ViewZoom = 1.0f;
    }
    void TearDown() override {
        RenderClose();
        LapFixture::TearDown();
    }
};

} // namespace qvtk::test
