#pragma once
// Our own pixel routines: the vertex lists of the graphs (tens of thousands of vertices per
// frame), boxes, clears, images and the per-pixel blend of layers that QPainter cannot combine.
// Plain functions over a 32-bit premultiplied pixel buffer, so that tests and benchmarks need
// no window.
//
// Pixel conventions:
// - Vertex lists: the centre of pixel (i, j) is at vertex coordinates (i, j), so a vertex at
//   (10, 5) lights pixel (10, 5). Lines are one pixel wide (integer Bresenham between the pixels
//   that contain the two end points, both ends included); in a strip the first pixel of a
//   segment is skipped when it is the pixel the previous segment ended on, so shared end points
//   are blended once. Triangles cover the pixels whose centres lie inside, with a top-left rule:
//   left edges and top edges included, right and bottom edges not, so triangles sharing an edge
//   cover each pixel exactly once.
// - Boxes and images: pixel (i, j) spans [i, i + 1) x [j, j + 1); a box (l, t, r, b) covers the
//   pixels whose centres lie in [l, r) x [t, b), so integer boxes cover columns l .. r - 1.
#include <cstdint>

#include "render/render.h"

namespace qvtk {

// Where and how the routines draw. `pixels` holds premultiplied 0xAARRGGBB values; an opaque
// buffer (an RGB32 image) keeps alpha 255 in every pixel.
struct RasterTarget {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    int stride = 0; // pixels per row
    bool opaque = true;
    // Clip rectangle: left/top inclusive, right/bottom exclusive; the routines also keep to
    // the buffer, whatever is given here.
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    BlendMode mode = BlendMode::None;
    int alpha = 255; // 0..255
};

// A source image: premultiplied pixels (opaque when it is an RGB32 image).
struct RasterImage {
    const uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    int stride = 0;        // pixels per row
    bool colorKey = false; // pure black is transparent (images loaded without alpha)
};

void RasterLineStrip(const RasterTarget& target, const RenderVertex* vertices, int count);
void RasterLineList(const RasterTarget& target, const RenderVertex* vertices, int count);
void RasterTriangleList(const RasterTarget& target, const RenderVertex* vertices, int count);
void RasterSpans(const RasterTarget& target, const RenderSpan* spans, int count);

// A filled box in a colour (0xAARRGGBB, not premultiplied), blended.
void RasterFillBox(const RasterTarget& target, double left, double top, double right, double bottom,
                   uint32_t color);
// Replaces the pixels inside the clip with the colour (blend mode and alpha not used).
void RasterClear(const RasterTarget& target, uint32_t color);
// Draws an image at (x, y) stretched to width x height (nearest texel). Without `transparent`
// the source is taken as opaque; with it the source's alpha (and the colour key) count.
void RasterDrawImage(const RasterTarget& target, const RasterImage& image, double x, double y,
                     double width, double height, bool transparent);
// Draws an image turned by `radians` (clockwise on the screen) and scaled, its pixel position
// (pivotX, pivotY) landing on (x, y); its transparent parts are left out.
void RasterDrawImageTurned(const RasterTarget& target, const RasterImage& image, double x, double y,
                           double pivotX, double pivotY, double radians, double scale);
// Blends a premultiplied layer whose top-left pixel lands on (x, y): the way shapes and text
// that QPainter drew on a scratch layer reach the target in the modes QPainter has not.
void RasterCompositeLayer(const RasterTarget& target, const uint32_t* layer, int layerStride, int x,
                          int y, int width, int height);

// A coverage mask (0..255 per pixel, e.g. a glyph) in a colour (0xAARRGGBB, not premultiplied)
// with its top-left pixel at (x, y). Blended as the target says, except that no mode replaces:
// None draws as Alpha at full strength.
void RasterDrawMask(const RasterTarget& target, const uint8_t* mask, int maskStride, int x, int y,
                    int width, int height, uint32_t color);

// One pixel through the blend of `target` (mode, alpha, opaque): `src` is premultiplied.
uint32_t RasterBlendPixel(const RasterTarget& target, uint32_t dst, uint32_t src);

} // namespace qvtk
