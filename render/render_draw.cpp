// Targets, blending, clipping, surfaces, images, shapes and vertex lists. Vertex lists, boxes,
// clears, images and one-pixel lines go through our own rasterizer; circles, thick lines and
// text through QPainter, straight onto the target where a composition mode of QPainter is the
// blend, through a scratch layer and our own per-pixel blend where none is.
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/private_profile.h"
#include "platform/safe_file.h"
#include "render/rasterizer.h"
#include "render/render_qt.h"
#include "render/render_state.h"

namespace qvtk {
namespace {

// Surfaces beyond this many pixels (512 MiB) are refused rather than risking the machine.
constexpr int64_t kMaxSurfacePixels = int64_t(1) << 27;
constexpr int kMaxSurfaceSide = 32767;

RenderTargetSlot* SlotOf(RenderHandle handle) {
    if (handle < 0 || handle >= RenderHandle(g_render.targets.size())) return nullptr;
    RenderTargetSlot& slot = g_render.targets[size_t(handle)];
    return slot.used && !slot.image.isNull() ? &slot : nullptr;
}

RenderTargetSlot* CurrentSlot() {
    return SlotOf(g_render.target);
}

// The clip of the current target in its pixels.
QRect CurrentClip(const QImage& image) {
    if (!g_render.clipped) return image.rect();
    QRect clip(g_render.clipLeft, g_render.clipTop,
               std::max(0, g_render.clipRight - g_render.clipLeft),
               std::max(0, g_render.clipBottom - g_render.clipTop));
    return clip.intersected(image.rect());
}

// A free handle for a new surface or image. The painter goes first: growing the table moves
// the images it may be drawing on.
RenderHandle AddTarget(QImage image, bool colorKey) {
    if (!g_render.open || g_render.targets.empty()) return -1;
    RenderEndPainter();
    size_t handle = 1;
    while (handle < g_render.targets.size() && g_render.targets[handle].used) ++handle;
    if (handle == g_render.targets.size()) g_render.targets.emplace_back();
    g_render.targets[handle] = {std::move(image), true, colorKey};
    return RenderHandle(handle);
}

QColor ColorOf(RenderColorValue color) {
    return QColor::fromRgba(color);
}

void PutU16(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8 & 0xFF);
}
void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

} // namespace

// ---- Painters and layers ----------------------------------------------------------------

void RenderEndPainter() {
    if (g_render.painter) {
        if (g_render.painter->isActive()) g_render.painter->end();
        g_render.painter.reset();
    }
    g_render.painterTarget = -1;
    g_render.painterClipValid = false;
}

bool RenderCurrentRaster(RasterTarget& raster) {
    RenderTargetSlot* slot = CurrentSlot();
    if (!slot) return false;
    QImage& image = slot->image;
    // A shared copy of the image (a test's, say) must not see later drawing: the write access
    // below detaches, and the painter has to follow to the new pixels.
    if (!image.isDetached() && g_render.painterTarget == g_render.target) RenderEndPainter();
    raster.pixels = reinterpret_cast<uint32_t*>(image.bits());
    if (!raster.pixels) return false;
    raster.width = image.width();
    raster.height = image.height();
    raster.stride = int(image.bytesPerLine() / 4);
    raster.opaque = !image.hasAlphaChannel();
    QRect clip = CurrentClip(image);
    raster.clipLeft = clip.left();
    raster.clipTop = clip.top();
    raster.clipRight = clip.left() + clip.width();
    raster.clipBottom = clip.top() + clip.height();
    raster.mode = g_render.blend;
    raster.alpha = g_render.blendAlpha;
    return true;
}

QPainter* RenderDirectPainter(bool text) {
    if (g_render.blend == BlendMode::Subtractive) return nullptr;
    RenderTargetSlot* slot = CurrentSlot();
    if (!slot) return nullptr;
    if (!g_render.painter || g_render.painterTarget != g_render.target) {
        RenderEndPainter();
        auto painter = std::make_unique<QPainter>();
        if (!painter->begin(&slot->image)) return nullptr;
        g_render.painter = std::move(painter);
        g_render.painterTarget = g_render.target;
    }
    QPainter* painter = g_render.painter.get();
    // The clip is set in untransformed pixels: the last drawing's half-pixel shift must go first.
    painter->setTransform(QTransform());
    if (!g_render.painterClipValid) {
        painter->setClipRect(CurrentClip(slot->image));
        g_render.painterClipValid = true;
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    switch (g_render.blend) {
    case BlendMode::None:
        painter->setCompositionMode(text ? QPainter::CompositionMode_SourceOver
                                         : QPainter::CompositionMode_Source);
        painter->setOpacity(1.0);
        break;
    case BlendMode::Additive:
        painter->setCompositionMode(QPainter::CompositionMode_Plus);
        painter->setOpacity(g_render.blendAlpha / 255.0);
        break;
    default: // Alpha; Translucent is the same arithmetic (see render.h)
        painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter->setOpacity(g_render.blendAlpha / 255.0);
        break;
    }
    return painter;
}

QPainter* RenderBeginLayer(const QRect& bounds) {
    RenderTargetSlot* slot = CurrentSlot();
    if (!slot || g_render.scratchPainter.isActive()) return nullptr;
    QRect area = bounds.intersected(CurrentClip(slot->image));
    if (area.isEmpty()) return nullptr;
    QImage& scratch = g_render.scratch;
    if (scratch.width() < area.width() || scratch.height() < area.height()) {
        scratch =
            QImage(std::max(area.width(), scratch.width()),
                   std::max(area.height(), scratch.height()), QImage::Format_ARGB32_Premultiplied);
        if (scratch.isNull()) return nullptr;
    }
    for (int y = 0; y < area.height(); ++y)
        std::memset(scratch.scanLine(y), 0, size_t(area.width()) * 4);
    QPainter& painter = g_render.scratchPainter;
    if (!painter.begin(&scratch)) return nullptr;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(QRect(0, 0, area.width(), area.height()));
    painter.translate(-area.x(), -area.y());
    g_render.scratchX = area.x();
    g_render.scratchY = area.y();
    g_render.scratchWidth = area.width();
    g_render.scratchHeight = area.height();
    return &painter;
}

void RenderEndLayer() {
    if (!g_render.scratchPainter.isActive()) return;
    g_render.scratchPainter.end();
    RasterTarget raster;
    if (!RenderCurrentRaster(raster)) return;
    const QImage& scratch = g_render.scratch;
    RasterCompositeLayer(raster, reinterpret_cast<const uint32_t*>(scratch.constBits()),
                         int(scratch.bytesPerLine() / 4), g_render.scratchX, g_render.scratchY,
                         g_render.scratchWidth, g_render.scratchHeight);
}

// ---- Targets, blending, clipping --------------------------------------------------------

void RenderSetTarget(RenderHandle target) {
    if (!SlotOf(target)) return;
    g_render.target = target;
    g_render.clipped = false;
    g_render.painterClipValid = false;
}

RenderHandle RenderCurrentTarget() {
    return g_render.target;
}

void RenderSetBlend(BlendMode mode, int alpha) {
    switch (mode) {
    case BlendMode::None:
    case BlendMode::Alpha:
    case BlendMode::Additive:
    case BlendMode::Subtractive:
    case BlendMode::Translucent:
        g_render.blend = mode;
        break;
    default:
        g_render.blend = BlendMode::None;
        break;
    }
    g_render.blendAlpha = std::clamp(alpha, 0, 255);
}

void RenderClip(int left, int top, int right, int bottom) {
    g_render.clipped = true;
    g_render.clipLeft = left;
    g_render.clipTop = top;
    g_render.clipRight = right;
    g_render.clipBottom = bottom;
    g_render.painterClipValid = false;
}

void RenderClipReset() {
    g_render.clipped = false;
    g_render.painterClipValid = false;
}

// ---- Surfaces and images ----------------------------------------------------------------

RenderHandle RenderCreateSurface(int width, int height, bool withAlpha) {
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide ||
        int64_t(width) * height > kMaxSurfacePixels)
        return -1;
    QImage image(width, height,
                 withAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return -1;
    image.fill(withAlpha ? 0u : 0xFF000000u);
    return AddTarget(std::move(image), false);
}

RenderHandle RenderLoadImage(const std::string& fileName) {
    if (!g_render.open || fileName.empty()) return -1;
    QImageReader reader(QString::fromStdString(fileName));
    QSize size = reader.size();
    if (size.isValid() && int64_t(size.width()) * size.height() > kMaxSurfacePixels) return -1;
    QImage image = reader.read();
    if (image.isNull()) return -1;
    bool alpha = image.hasAlphaChannel();
    image =
        image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return -1;
    return AddTarget(std::move(image), !alpha);
}

void RenderFreeImage(RenderHandle handle) {
    if (handle == kBackBuffer || !SlotOf(handle)) return;
    if (g_render.painterTarget == handle) RenderEndPainter();
    g_render.targets[size_t(handle)] = {};
    if (g_render.target == handle) {
        g_render.target = kBackBuffer;
        g_render.clipped = false;
        g_render.painterClipValid = false;
    }
}

bool RenderImageSize(RenderHandle handle, int& width, int& height) {
    width = height = 0;
    RenderTargetSlot* slot = SlotOf(handle);
    if (!slot) return false;
    width = slot->image.width();
    height = slot->image.height();
    return true;
}

const QImage* RenderTargetImage(RenderHandle target) {
    RenderTargetSlot* slot = SlotOf(target);
    return slot ? &slot->image : nullptr;
}

void RenderClearTarget(RenderColorValue color) {
    RasterTarget raster;
    if (RenderCurrentRaster(raster)) RasterClear(raster, color);
}

void RenderImage(RenderHandle handle, float x, float y, float width, float height,
                 bool transparent) {
    RenderTargetSlot* source = SlotOf(handle);
    RasterTarget raster;
    if (!source || !RenderCurrentRaster(raster)) return;
    // A target drawn onto itself reads a copy.
    QImage copy;
    const QImage* image = &source->image;
    if (handle == g_render.target) {
        copy = source->image.copy();
        image = &copy;
    }
    RasterImage pixels{reinterpret_cast<const uint32_t*>(image->constBits()), image->width(),
                       image->height(), int(image->bytesPerLine() / 4), source->colorKey};
    RasterDrawImage(raster, pixels, x, y, width > 0 ? width : image->width(),
                    height > 0 ? height : image->height(), transparent);
}

namespace {

// A premultiplied pixel over another.
uint32_t Over(uint32_t src, uint32_t dst) {
    const uint32_t keep = 255 - (src >> 24);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= std::min<uint32_t>(((src >> shift) & 255) + ((dst >> shift) & 255) * keep / 255, 255)
               << shift;
    return out;
}

// Copies the opaque pixels of a row (a vector loop); true when some pixel is partly transparent.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) bool
CopyOpaquePixels(const uint32_t* __restrict src, uint32_t* __restrict dst, int count) {
    uint32_t partial = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t a = src[i] >> 24;
        dst[i] = a == 255 ? src[i] : dst[i];
        partial |= uint32_t(a - 1 < 254);
    }
    return partial != 0;
}

} // namespace

void RenderPixels(const uint32_t* argb, int width, int height, int stride, float x, float y) {
    RasterTarget raster;
    if (!argb || width <= 0 || height <= 0 || stride < width || !RenderCurrentRaster(raster))
        return;
    const bool plain =
        raster.mode == BlendMode::None || (raster.mode == BlendMode::Alpha && raster.alpha == 255);
    if (!plain || x != std::floor(x) || y != std::floor(y)) {
        RasterImage pixels{argb, width, height, stride, false};
        RasterDrawImage(raster, pixels, x, y, width, height, true);
        return;
    }
    // Placed on whole pixels at full strength: each pixel is copied, passed over or laid over.
    const int left = std::max({int(x), raster.clipLeft, 0});
    const int top = std::max({int(y), raster.clipTop, 0});
    const int right = std::min({int(x) + width, raster.clipRight, raster.width});
    const int bottom = std::min({int(y) + height, raster.clipBottom, raster.height});
    for (int j = top; j < bottom; ++j) {
        const uint32_t* src = argb + ptrdiff_t(j - int(y)) * stride - int(x);
        uint32_t* dst = raster.pixels + ptrdiff_t(j) * raster.stride;
        if (!CopyOpaquePixels(src + left, dst + left, right - left)) continue;
        for (int i = left; i < right; ++i) {
            const uint32_t a = src[i] >> 24;
            if (a != 0 && a != 255) dst[i] = Over(src[i], dst[i]);
        }
    }
}

void RenderImageTurned(RenderHandle handle, float x, float y, float pivotX, float pivotY,
                       float radians, float scale) {
    RenderTargetSlot* source = SlotOf(handle);
    RasterTarget raster;
    if (!source || handle == g_render.target || !RenderCurrentRaster(raster)) return;
    const QImage& image = source->image;
    RasterImage pixels{reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                       image.height(), int(image.bytesPerLine() / 4), source->colorKey};
    RasterDrawImageTurned(raster, pixels, x, y, pivotX, pivotY, radians, scale);
}

// ---- Shapes and vertex lists ------------------------------------------------------------

void RenderLine(float x1, float y1, float x2, float y2, RenderColorValue color, float thickness) {
    if (!(thickness > 1.0f)) {
        RenderVertex v[2];
        v[0].x = x1, v[0].y = y1, v[0].color = color;
        v[1].x = x2, v[1].y = y2, v[1].color = color;
        RasterTarget raster;
        if (RenderCurrentRaster(raster)) RasterLineList(raster, v, 2);
        return;
    }
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2) ||
        !std::isfinite(thickness))
        return;
    // Pixel centres are at integer coordinates, as in the vertex lists.
    QRectF box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
    QRect bounds =
        box.adjusted(-thickness - 2, -thickness - 2, thickness + 2, thickness + 2).toAlignedRect();
    RenderPaintBlended(bounds, false, [&](QPainter& painter) {
        painter.translate(0.5, 0.5);
        painter.setPen(QPen(ColorOf(color), thickness, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    });
}

void RenderBox(float left, float top, float right, float bottom, RenderColorValue color,
               bool filled, float thickness) {
    RasterTarget raster;
    if (!RenderCurrentRaster(raster)) return;
    double l = std::min(left, right), r = std::max(left, right);
    double t = std::min(top, bottom), b = std::max(top, bottom);
    double w = std::max(1.0, std::round(double(thickness)));
    if (filled || 2 * w >= r - l || 2 * w >= b - t) {
        RasterFillBox(raster, l, t, r, b, color);
        return;
    }
    // Four bands that do not overlap, so that every pixel of the frame is blended once.
    RasterFillBox(raster, l, t, r, t + w, color);
    RasterFillBox(raster, l, b - w, r, b, color);
    RasterFillBox(raster, l, t + w, l + w, b - w, color);
    RasterFillBox(raster, r - w, t + w, r, b - w, color);
}

void RenderCircle(float cx, float cy, float radius, RenderColorValue color, bool filled,
                  float thickness) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius) || !(radius > 0) ||
        !std::isfinite(thickness))
        return;
    double reach = radius + std::max(1.0f, thickness) + 2;
    QRect bounds = QRectF(cx - reach, cy - reach, 2 * reach + 1, 2 * reach + 1).toAlignedRect();
    RenderPaintBlended(bounds, false, [&](QPainter& painter) {
        painter.translate(0.5, 0.5);
        if (filled) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ColorOf(color));
        } else {
            painter.setPen(QPen(ColorOf(color), thickness > 1.0f ? thickness : 0.0));
            painter.setBrush(Qt::NoBrush);
        }
        painter.drawEllipse(QPointF(cx, cy), radius, radius);
    });
}

void RenderPrimitives(const RenderVertex* vertices, int count, PrimitiveKind kind,
                      RenderHandle texture) {
    RasterTarget raster;
    if (!vertices || count <= 0 || !RenderCurrentRaster(raster)) return;
    switch (kind) {
    case PrimitiveKind::LineStrip:
        RasterLineStrip(raster, vertices, count);
        break;
    case PrimitiveKind::LineList:
        RasterLineList(raster, vertices, count);
        break;
    case PrimitiveKind::TriangleList:
        RasterTriangleList(raster, vertices, count);
        break;
    }
}

void RenderSpans(const RenderSpan* spans, int count) {
    RasterTarget raster;
    if (spans && count > 0 && RenderCurrentRaster(raster)) RasterSpans(raster, spans, count);
}

// ---- Saving -----------------------------------------------------------------------------

bool RenderSaveTargetBmp(RenderHandle target, int left, int top, int right, int bottom,
                         const std::string& fileName) {
    RenderTargetSlot* slot = SlotOf(target);
    if (!slot || fileName.empty()) return false;
    const QImage& image = slot->image;
    QRect area = QRect(left, top, std::max(0, right - left), std::max(0, bottom - top))
                     .intersected(image.rect());
    if (area.isEmpty()) return false;
    // A 24-bit bottom-up BMP; premultiplied pixels are the colour over black.
    uint32_t rowBytes = (uint32_t(area.width()) * 3 + 3) & ~3u;
    uint32_t dataBytes = rowBytes * uint32_t(area.height());
    std::string bytes;
    bytes.reserve(54 + dataBytes);
    bytes += "BM";
    PutU32(bytes, 54 + dataBytes);
    PutU32(bytes, 0);
    PutU32(bytes, 54);
    PutU32(bytes, 40);
    PutU32(bytes, uint32_t(area.width()));
    PutU32(bytes, uint32_t(area.height()));
    PutU16(bytes, 1);
    PutU16(bytes, 24);
    PutU32(bytes, 0); // uncompressed
    PutU32(bytes, dataBytes);
    PutU32(bytes, 2835); // 72 dpi
    PutU32(bytes, 2835);
    PutU32(bytes, 0);
    PutU32(bytes, 0);
    for (int y = area.bottom(); y >= area.top(); --y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        size_t start = bytes.size();
        for (int x = area.left(); x <= area.right(); ++x) {
            uint32_t p = row[x];
            bytes += char(p & 0xFF);
            bytes += char(p >> 8 & 0xFF);
            bytes += char(p >> 16 & 0xFF);
        }
        bytes.append(rowBytes - (bytes.size() - start), '\0');
    }
    return WriteWholeFile(fileName, bytes);
}

bool RenderSaveBmp(int left, int top, int right, int bottom, const std::string& fileName) {
    return RenderSaveTargetBmp(kBackBuffer, left, top, right, bottom, fileName);
}

} // namespace qvtk
