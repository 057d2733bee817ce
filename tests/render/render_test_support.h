#pragma once
// Drawing tests of the rendering layer on an off-screen back buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "render/render.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"

namespace qvtk::test {

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        GuiApp();
        RenderReset();
        ASSERT_EQ(RenderOpenOffscreen(64, 48), 0);
    }
    void TearDown() override {
        RenderReset();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    static uint32_t Pixel(int x, int y, RenderHandle target = kBackBuffer) {
        return RenderTargetImage(target)->pixel(x, y);
    }
    static int Red(int x, int y, RenderHandle target = kBackBuffer) {
        return int(Pixel(x, y, target) >> 16 & 0xFF);
    }
    // A fresh temporary directory of this test, removed at the end.
    const std::string& Dir() {
        if (dir_.empty()) dir_ = MakeTempDir();
        return dir_;
    }
    // Every pixel of the back buffer outside [l, r) x [t, b) still has `color`.
    static bool OutsideIs(int l, int t, int r, int b, uint32_t color) {
        const QImage* image = RenderTargetImage(kBackBuffer);
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x)
                if (!(x >= l && x < r && y >= t && y < b) && image->pixel(x, y) != color)
                    return false;
        return true;
    }

private:
    std::string dir_;
};

} // namespace qvtk::test
