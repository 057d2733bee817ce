// Shapes, blend modes, clipping, surfaces, images and BMP files through the layer's calls, on
// the back buffer.
#include <QFile>
#include <QImage>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/render/render_test_support.h"

namespace qvtk {
namespace {

using test::RenderTest;

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kRed = 0xFFFF0000u;

TEST_F(RenderTest, FilledBoxCoversRightAndBottomExclusive) {
    RenderBox(2, 3, 6, 8, kRed, true);
    EXPECT_EQ(Pixel(2, 3), kRed);
    EXPECT_EQ(Pixel(5, 7), kRed);
    EXPECT_EQ(Pixel(6, 7), kBlack);
    EXPECT_EQ(Pixel(5, 8), kBlack);
    EXPECT_TRUE(OutsideIs(2, 3, 6, 8, kBlack));
    RenderBox(20, 20, 10, 10, kRed, true); // corners in either order
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(19, 19), kRed);
}

TEST_F(RenderTest, OutlineBoxHasBandsOfItsThickness) {
    RenderBox(10, 10, 30, 25, kRed, false);
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(29, 10), kRed);
    EXPECT_EQ(Pixel(29, 24), kRed);
    EXPECT_EQ(Pixel(10, 24), kRed);
    EXPECT_EQ(Pixel(20, 10), kRed);
    EXPECT_EQ(Pixel(11, 11), kBlack);
    EXPECT_EQ(Pixel(30, 10), kBlack);
    RenderClearTarget(kBlack);
    RenderBox(10, 10, 30, 25, kRed, false, 3);
    EXPECT_EQ(Pixel(12, 12), kRed);
    EXPECT_EQ(Pixel(13, 13), kBlack);
    EXPECT_EQ(Pixel(27, 22), kRed);
    EXPECT_EQ(Pixel(26, 21), kBlack);
}

TEST_F(RenderTest, OutlineBoxBlendsEveryFramePixelOnce) {
    RenderSetBlend(BlendMode::Additive, 255);
    RenderBox(5, 5, 20, 20, 0xFF640000u, false, 2);
    const QImage* image = RenderTargetImage(kBackBuffer);
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) EXPECT_LE(Red(x, y), 100);
    EXPECT_EQ(Red(5, 5), 100);
    EXPECT_EQ(Red(6, 6), 100);
}

TEST_F(RenderTest, ThickLine) {
    RenderLine(5, 20, 40, 20, kRed, 3);
    EXPECT_EQ(Pixel(20, 19), kRed);
    EXPECT_EQ(Pixel(20, 20), kRed);
    EXPECT_EQ(Pixel(20, 21), kRed);
    EXPECT_EQ(Pixel(20, 17), kBlack);
    EXPECT_EQ(Pixel(20, 23), kBlack);
}

TEST_F(RenderTest, Circles) {
    RenderCircle(20, 20, 8, kRed, true);
    EXPECT_EQ(Pixel(20, 20), kRed);
    EXPECT_EQ(Pixel(27, 20), kRed);
    EXPECT_EQ(Pixel(20, 13), kRed);
    EXPECT_EQ(Pixel(29, 20), kBlack);
    EXPECT_EQ(Pixel(26, 26), kBlack); // beyond the radius on the diagonal
    RenderClearTarget(kBlack);
    RenderCircle(20, 20, 8, kRed, false);
    EXPECT_EQ(Pixel(20, 20), kBlack);
    EXPECT_EQ(Pixel(24, 20), kBlack);
    bool ring = Pixel(28, 20) == kRed || Pixel(27, 20) == kRed;
    EXPECT_TRUE(ring);
    EXPECT_EQ(Pixel(30, 20), kBlack);
}

// dst 100 or 200 everywhere, then a box and a circle in each mode.
struct BlendCase {
    BlendMode mode;
    int alpha;
    int dst, src, expected;
};

TEST_F(RenderTest, BlendModesOnShapesImagesAndVertices) {
    const BlendCase cases[] = {
        {BlendMode::None, 50, 100, 200, 200},         {BlendMode::Alpha, 128, 100, 200, 150},
        {BlendMode::Alpha, 0, 100, 200, 100},         {BlendMode::Additive, 255, 100, 200, 255},
        {BlendMode::Additive, 128, 100, 200, 200},    {BlendMode::Subtractive, 255, 100, 200, 0},
        {BlendMode::Subtractive, 128, 200, 100, 150}, {BlendMode::Translucent, 128, 100, 200, 150},
        {BlendMode::Additive, 400, 100, 200, 255},    {BlendMode::Subtractive, -5, 200, 100, 200},
    };
    RenderHandle image = RenderCreateSurface(4, 4, false);
    ASSERT_GT(image, 0);
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << " alpha " << c.alpha);
        RenderSetTarget(image);
        RenderSetBlend(BlendMode::None, 255);
        RenderClearTarget(RenderColor(c.src, c.src, c.src));
        RenderSetTarget(kBackBuffer);
        RenderSetBlend(BlendMode::None, 255);
        RenderClearTarget(RenderColor(c.dst, c.dst, c.dst));
        RenderSetBlend(c.mode, c.alpha);
        uint32_t src = RenderColor(c.src, c.src, c.src);
        RenderBox(0, 0, 4, 4, src, true);   // our boxes
        RenderCircle(10, 10, 3, src, true); // QPainter, or the scratch layer
        RenderLine(20, 5, 30, 5, src, 3);   // QPainter thick line
        RenderImage(image, 40, 0);          // images
        RenderVertex v[3];
        v[0].x = 0, v[0].y = 20, v[1].x = 8, v[1].y = 20, v[2].x = 0, v[2].y = 28;
        for (RenderVertex& vertex : v) vertex.color = src;
        RenderPrimitives(v, 3, PrimitiveKind::TriangleList); // our rasterizer
        EXPECT_EQ(Red(1, 1), c.expected);
        EXPECT_NEAR(Red(10, 10), c.expected, 1);
        EXPECT_NEAR(Red(25, 5), c.expected, 1);
        EXPECT_EQ(Red(41, 1), c.expected);
        EXPECT_EQ(Red(2, 21), c.expected);
        EXPECT_EQ(Red(60, 40), c.dst);
    }
}

TEST_F(RenderTest, ClipKeepsEverythingOutsideUnchanged) {
    RenderHandle image = RenderCreateSurface(100, 100, false);
    RenderSetTarget(image);
    RenderClearTarget(RenderColor(0, 200, 0));
    RenderSetTarget(kBackBuffer);
    RenderHandle font = RenderCreateFont("Tahoma", 20, 400);
    for (BlendMode mode : {BlendMode::None, BlendMode::Alpha, BlendMode::Additive,
                           BlendMode::Subtractive, BlendMode::Translucent}) {
        SCOPED_TRACE(int(mode));
        RenderSetBlend(BlendMode::None, 255);
        RenderClipReset();
        RenderClearTarget(RenderColor(100, 100, 100));
        RenderClip(10, 12, 20, 22);
        RenderSetBlend(mode, 200);
        uint32_t color = RenderColor(255, 60, 60);
        RenderBox(-5, -5, 70, 70, color, false, 12);
        RenderLine(0, 0, 63, 47, color);
        RenderLine(0, 47, 63, 0, color, 5);
        RenderCircle(15, 17, 30, color, false, 4);
        RenderCircle(15, 17, 8, color, true);
        RenderText(0, 5, color, font, "WWWWWWWW");
        RenderImage(image, -10, -10, 0, 0, true);
        RenderVertex v[3];
        v[0].x = -100, v[0].y = -100, v[1].x = 300, v[1].y = 0, v[2].x = 0, v[2].y = 300;
        for (RenderVertex& vertex : v) vertex.color = color;
        RenderPrimitives(v, 3, PrimitiveKind::TriangleList);
        RenderPrimitives(v, 3, PrimitiveKind::LineStrip);
        EXPECT_TRUE(OutsideIs(10, 12, 20, 22, RenderColor(100, 100, 100)));
        EXPECT_NE(Pixel(10, 12), RenderColor(100, 100, 100));
        EXPECT_NE(Pixel(19, 21), RenderColor(100, 100, 100));
    }
    // The clip of the back buffer does not follow to another target.
    RenderClip(0, 0, 1, 1);
    RenderSetTarget(image);
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(kRed);
    EXPECT_EQ(Pixel(99, 99, image), kRed);
}

TEST_F(RenderTest, ClearTargetRespectsTheClip) {
    RenderClip(4, 4, 8, 8);
    RenderClearTarget(kRed);
    EXPECT_TRUE(OutsideIs(4, 4, 8, 8, kBlack));
    EXPECT_EQ(Pixel(7, 7), kRed);
    RenderClipReset();
    RenderClearTarget(kRed);
    EXPECT_EQ(Pixel(63, 47), kRed);
}

TEST_F(RenderTest, SurfacesAreTargetsAndAreDrawnBack) {
    RenderHandle surface = RenderCreateSurface(16, 16, false);
    ASSERT_GT(surface, 0);
    EXPECT_EQ(Pixel(3, 3, surface), kBlack);
    RenderSetTarget(surface);
    EXPECT_EQ(RenderCurrentTarget(), surface);
    RenderClearTarget(RenderColor(0, 255, 0));
    RenderBox(8, 8, 16, 16, kRed, true);
    RenderSetTarget(kBackBuffer);
    RenderImage(surface, 5, 5);
    EXPECT_EQ(Pixel(5, 5), RenderColor(0, 255, 0));
    EXPECT_EQ(Pixel(13, 13), kRed);
    EXPECT_EQ(Pixel(20, 20), kRed);
    EXPECT_EQ(Pixel(21, 21), kBlack);
    RenderClearTarget(kBlack);
    RenderImage(surface, 0, 0, 32, 32); // stretched twice
    EXPECT_EQ(Pixel(15, 15), RenderColor(0, 255, 0));
    EXPECT_EQ(Pixel(16, 16), kRed);
    EXPECT_EQ(Pixel(31, 31), kRed);
    EXPECT_EQ(Pixel(32, 32), kBlack);
    int w = 0, h = 0;
    EXPECT_TRUE(RenderImageSize(surface, w, h));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
}

TEST_F(RenderTest, AlphaSurfaceDrawnTransparentOrNot) {
    RenderHandle surface = RenderCreateSurface(8, 8, true);
    ASSERT_GT(surface, 0);
    EXPECT_EQ(Pixel(0, 0, surface), 0u); // starts transparent
    RenderSetTarget(surface);
    RenderBox(2, 2, 6, 6, kRed, true);
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(0, 0, 1, 1, 0x80FFFFFFu, true); // half transparent white
    RenderSetTarget(kBackBuffer);
    RenderClearTarget(RenderColor(0, 0, 100));
    RenderImage(surface, 10, 10, 0, 0, true);
    EXPECT_EQ(Pixel(10, 11), RenderColor(0, 0, 100));
    EXPECT_EQ(Pixel(13, 13), kRed);
    EXPECT_NEAR(Red(10, 10), 128, 1);
    EXPECT_NEAR(int(Pixel(10, 10) & 0xFF), 178, 1); // 128 + 100 x 127/255
    RenderImage(surface, 10, 10, 0, 0, false);
    EXPECT_EQ(Pixel(10, 11), kBlack);
}

TEST_F(RenderTest, HandlesFailAndAreReused) {
    EXPECT_EQ(RenderCreateSurface(0, 10, false), -1);
    EXPECT_EQ(RenderCreateSurface(10, -1, true), -1);
    EXPECT_EQ(RenderCreateSurface(100000, 100000, true), -1);
    EXPECT_EQ(RenderLoadImage(Dir() + "/missing.bmp"), -1);
    EXPECT_EQ(RenderLoadImage(""), -1);
    std::ofstream(Dir() + "/junk.bmp") << "BM not a bitmap";
    EXPECT_EQ(RenderLoadImage(Dir() + "/junk.bmp"), -1);
    RenderHandle a = RenderCreateSurface(4, 4, false);
    RenderHandle b = RenderCreateSurface(4, 4, true);
    EXPECT_GE(a, 1);
    EXPECT_NE(a, b);
    RenderFreeImage(a);
    EXPECT_EQ(RenderTargetImage(a), nullptr);
    EXPECT_EQ(RenderCreateSurface(2, 2, false), a);
    // Bad handles are ignored.
    RenderSetTarget(77);
    EXPECT_EQ(RenderCurrentTarget(), kBackBuffer);
    RenderImage(77, 0, 0);
    RenderFreeImage(kBackBuffer);
    EXPECT_NE(RenderTargetImage(kBackBuffer), nullptr);
    // Freeing the current target draws on the back buffer again.
    RenderSetTarget(b);
    RenderFreeImage(b);
    EXPECT_EQ(RenderCurrentTarget(), kBackBuffer);
}

TEST_F(RenderTest, SaveBmpAndLoadItBack) {
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            RenderBox(x, y, x + 1, y + 1, RenderColor(x * 4, y * 5, (x ^ y) * 3), true);
    std::string file = Dir() + "/shot.bmp";
    ASSERT_TRUE(RenderSaveBmp(3, 5, 30, 20, file)); // 27 x 15: rows need padding
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24); // bits per pixel
    EXPECT_EQ(bytes.size(), 54u + 15 * 84);
    RenderHandle loaded = RenderLoadImage(file);
    ASSERT_GT(loaded, 0);
    int w = 0, h = 0;
    RenderImageSize(loaded, w, h);
    EXPECT_EQ(w, 27);
    EXPECT_EQ(h, 15);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 27; ++x) ASSERT_EQ(Pixel(x, y, loaded), Pixel(x + 3, y + 5));
    // Qt reads it as well.
    EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(27, 15));
    // Nothing to save, or nowhere to save it: false, and no file left behind.
    EXPECT_FALSE(RenderSaveBmp(70, 0, 80, 10, Dir() + "/none.bmp"));
    EXPECT_FALSE(std::filesystem::exists(Dir() + "/none.bmp"));
    EXPECT_FALSE(RenderSaveBmp(0, 0, 10, 10, Dir() + "/no/such/dir/x.bmp"));
}

TEST_F(RenderTest, LoadedBmpUsesBlackAsTheColorKey) {
    RenderBox(0, 0, 4, 4, kRed, true); // (4..7, 0..3) stays black
    std::string file = Dir() + "/key.bmp";
    ASSERT_TRUE(RenderSaveBmp(0, 0, 8, 4, file));
    RenderHandle image = RenderLoadImage(file);
    ASSERT_GT(image, 0);
    RenderClearTarget(RenderColor(0, 0, 255));
    RenderImage(image, 10, 10, 0, 0, true);
    EXPECT_EQ(Pixel(10, 10), kRed);
    EXPECT_EQ(Pixel(15, 10), RenderColor(0, 0, 255));
    RenderImage(image, 10, 10, 0, 0, false);
    EXPECT_EQ(Pixel(15, 10), kBlack);
}

TEST_F(RenderTest, SaveFromAnotherTarget) {
    RenderHandle surface = RenderCreateSurface(10, 10, true);
    RenderSetTarget(surface);
    RenderBox(0, 0, 10, 10, RenderColor(10, 20, 30), true);
    std::string file = Dir() + "/map.bmp";
    ASSERT_TRUE(RenderSaveTargetBmp(surface, 0, 0, 10, 10, file));
    QImage back(QString::fromStdString(file));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.pixel(5, 5), RenderColor(10, 20, 30));
}

TEST_F(RenderTest, DrawingSeesNoStaleCopyOfTheTarget) {
    RenderCircle(10, 10, 3, kRed, true); // the painter is open on the back buffer
    QImage copy = *RenderTargetImage(kBackBuffer);
    RenderBox(30, 30, 32, 32, kRed, true); // our own pixels
    RenderCircle(40, 10, 3, kRed, true);   // the painter again
    EXPECT_EQ(copy.pixel(30, 30), kBlack);
    EXPECT_EQ(copy.pixel(40, 10), kBlack);
    EXPECT_EQ(Pixel(30, 30), kRed);
    EXPECT_EQ(Pixel(40, 10), kRed);
}

TEST_F(RenderTest, ResizeBackBufferAndReopen) {
    RenderResizeBackBuffer(100, 50);
    EXPECT_EQ(RenderTargetImage(kBackBuffer)->size(), QSize(100, 50));
    RenderBox(90, 40, 100, 50, kRed, true);
    EXPECT_EQ(Pixel(99, 49), kRed);
    int w, h;
    RenderClientSize(w, h);
    EXPECT_EQ(w, 100);
    RenderClose();
    EXPECT_FALSE(RenderIsOpen());
    EXPECT_EQ(RenderTargetImage(kBackBuffer), nullptr);
    RenderBox(0, 0, 10, 10, kRed, true); // nothing to draw on, nothing happens
    EXPECT_EQ(RenderCreateSurface(4, 4, false), -1);
    ASSERT_EQ(RenderOpenOffscreen(20, 10), 0);
    EXPECT_EQ(Pixel(19, 9), kBlack);
    EXPECT_EQ(RenderOpenOffscreen(0, 10), -1);
    EXPECT_FALSE(RenderIsOpen());
}

} // namespace
} // namespace qvtk
