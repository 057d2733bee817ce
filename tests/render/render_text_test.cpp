// Fonts: the fallback chains to installed free fonts, and text on the back buffer.
#include <QFontDatabase>

#include "tests/render/render_test_support.h"

namespace qvtk {
namespace {

using test::RenderTest;

// The faces the program asks for fall back to metric-compatible free families when installed,
// and to the default family otherwise.
TEST_F(RenderTest, FacesFallBackToInstalledFamilies) {
    const std::pair<const char*, const char*> faces[] = {
        {"MS Gothic", "IPAGothic"}, {"Tahoma", "DejaVu Sans"}, {"No Such Face 4711", ""}};
    for (auto [face, fallback] : faces) {
        const RenderHandle font = RenderCreateFont(face, 12, 400);
        ASSERT_GE(font, 0) << face;
        const std::string family = RenderFontFamily(font);
        EXPECT_TRUE(QFontDatabase::hasFamily(QString::fromStdString(family))) << family;
        if (*fallback && QFontDatabase::hasFamily(fallback)) {
            EXPECT_EQ(family, fallback);
        }
    }
    const RenderHandle font = RenderCreateFont("Tahoma", 11, 400);
    EXPECT_NE(RenderCreateFont("tahoma", 11, 700), font);
    EXPECT_EQ(RenderFontFamily(-1), "");
    RenderFreeFont(font);
    EXPECT_EQ(RenderFontFamily(font), "");
    EXPECT_EQ(RenderCreateFont("Tahoma", 12, 400), font); // the handle is taken again
}

TEST_F(RenderTest, TextIsDrawnFromItsTopLeftCorner) {
    RenderHandle font = RenderCreateFont("MS Gothic", 15, 400);
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderText(10, 10, RenderColor(255, 255, 255), font, "Hg%d", 42);
    int width = RenderTextWidth(font, "Hg42");
    ASSERT_GT(width, 0);
    const QImage* image = RenderTargetImage(kBackBuffer);
    int lit = 0, minX = 999, maxX = -1, minY = 999, maxY = -1;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x)
            if (image->pixel(x, y) != 0xFF000000u) {
                ++lit;
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    EXPECT_GT(lit, 20);
    EXPECT_GE(minX, 9);
    EXPECT_LE(maxX, 10 + width);
    EXPECT_GE(minY, 10);
    EXPECT_LE(maxY, 10 + 15 + 4);
    EXPECT_GT(maxY - minY, 8); // H and the descender of g
}

TEST_F(RenderTest, TextWidthGrowsWithTheText) {
    RenderHandle font = RenderCreateFont("Tahoma", 11, 400);
    int one = RenderTextWidth(font, "a");
    int four = RenderTextWidth(font, "aaaa");
    EXPECT_GT(one, 0);
    EXPECT_GT(four, 3 * one);
    EXPECT_EQ(RenderTextWidth(font, "%05d", 42), RenderTextWidth(font, "00042"));
    EXPECT_EQ(RenderTextWidth(font, "%s", ""), 0);
    EXPECT_EQ(RenderTextWidth(-1, "abc"), 0);
    // A long text goes past the formatting buffer on the stack.
    std::string longText(2000, 'x');
    EXPECT_EQ(RenderTextWidth(font, "%s", longText.c_str()),
              RenderTextWidth(font, "%s%s", longText.substr(0, 1000).c_str(),
                              longText.substr(1000).c_str()));
    // UTF-8: the white down-pointing triangle of the lap list.
    EXPECT_GT(RenderTextWidth(font, "\xE2\x96\xBD"), 0);
}

TEST_F(RenderTest, TextHonoursBlendAlphaAndSubtractive) {
    RenderHandle font = RenderCreateFont("Tahoma", 20, 700);
    RenderSetBlend(BlendMode::Additive, 0);
    RenderText(5, 5, RenderColor(255, 255, 255), font, "XXXX");
    EXPECT_TRUE(OutsideIs(0, 0, 0, 0, 0xFF000000u));
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(RenderColor(200, 200, 200));
    RenderSetBlend(BlendMode::Subtractive, 255);
    RenderText(5, 5, RenderColor(255, 0, 0), font, "XXXX");
    const QImage* image = RenderTargetImage(kBackBuffer);
    int darkened = 0;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) {
            QRgb p = image->pixel(x, y);
            EXPECT_EQ(qGreen(p), 200);
            EXPECT_EQ(qBlue(p), 200);
            darkened += qRed(p) == 0;
        }
    EXPECT_GT(darkened, 20);
}

TEST_F(RenderTest, TextOnAnAlphaSurface) {
    RenderHandle panel = RenderCreateSurface(64, 32, true);
    RenderHandle font = RenderCreateFont("Tahoma", 16, 400);
    RenderSetTarget(panel);
    RenderSetBlend(BlendMode::Alpha, 255);
    RenderText(2, 2, RenderColor(0, 255, 0), font, "IIII");
    RenderSetTarget(kBackBuffer);
    RenderClearTarget(RenderColor(0, 0, 255));
    RenderImage(panel, 0, 0, 0, 0, true);
    const QImage* image = RenderTargetImage(kBackBuffer);
    int green = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) green += qGreen(image->pixel(x, y)) > 200;
    EXPECT_GT(green, 10);
    EXPECT_EQ(image->pixel(63, 31), RenderColor(0, 0, 255));
}

} // namespace
} // namespace qvtk
