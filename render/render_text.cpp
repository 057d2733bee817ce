// Fonts and text. The face names the program asks for ("MS Gothic", "Tahoma") are Windows
// fonts; each has a chain of free fonts of the same kind and metrics to fall back on.
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>

#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "render/render_qt.h"
#include "render/render_state.h"

namespace qvtk {
namespace {

struct FontChain {
    const char* faces[3];     // the names the program may ask for
    const char* fallbacks[3]; // installed free fonts to use instead, in order
    QFont::StyleHint hint;    // what to look for when none of them is installed
};

const FontChain kFontChains[] = {
    {{"MS Gothic", "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
      "MS UI Gothic"},
     {"IPAGothic", "IPAexGothic", "VL Gothic"},
     QFont::Monospace},
    {{"Tahoma", nullptr, nullptr},
     {"DejaVu Sans", "Liberation Sans", "FreeSans"},
     QFont::SansSerif},
};

bool Installed(const QString& family) {
    return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

QString ResolveFamily(const QString& face, QFont::StyleHint& hint) {
    hint = QFont::AnyStyle;
    if (Installed(face)) return face;
    for (const FontChain& chain : kFontChains) {
        bool match = false;
        for (const char* name : chain.faces)
            if (name && face.compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0)
                match = true;
        if (!match) continue;
        hint = chain.hint;
        for (const char* name : chain.fallbacks)
            if (Installed(QString::fromUtf8(name))) return QString::fromUtf8(name);
        return QFontDatabase::systemFont(hint == QFont::Monospace ? QFontDatabase::FixedFont
                                                                  : QFontDatabase::GeneralFont)
            .family();
    }
    return QGuiApplication::font().family();
}

// Windows weights (400 normal, 700 bold); 1..9 are thicknesses in hundreds; 0 the default.
QFont::Weight WeightOf(int weight) {
    if (weight <= 0) return QFont::Normal;
    if (weight < 10) weight *= 100;
    return QFont::Weight(std::clamp(weight, 1, 1000));
}

RenderFontSlot* FontOf(RenderHandle font) {
    if (font < 0 || font >= RenderHandle(g_render.fonts.size())) return nullptr;
    RenderFontSlot& slot = g_render.fonts[size_t(font)];
    return slot.used ? &slot : nullptr;
}

QString Format(const char* format, va_list args) {
    if (!format) return {};
    va_list again;
    va_copy(again, args);
    char small[512];
    int length = std::vsnprintf(small, sizeof small, format, args);
    QString text;
    if (length >= int(sizeof small)) {
        g_render.text.resize(size_t(length));
        std::vsnprintf(g_render.text.data(), size_t(length) + 1, format, again);
        text = QString::fromUtf8(g_render.text.data(), length);
    } else if (length > 0) {
        text = QString::fromUtf8(small, length);
    }
    va_end(again);
    return text;
}

// A character of the font: its coverage drawn once by Qt (with the fallback fonts Qt picks for
// characters the font lacks), then taken from the cache.
const RenderGlyph& GlyphOf(RenderFontSlot& slot, char16_t ch) {
    RenderGlyph& g = ch < 128 ? slot.ascii[ch] : slot.others[ch];
    if (g.ready) return g;
    g.ready = true;
    const QFontMetrics& m = *slot.metrics;
    const QChar qc(ch);
    g.advance = m.horizontalAdvance(qc);
    const int pad = std::max(4, slot.font.pixelSize());
    QImage image(std::max(g.advance, 1) + 2 * pad, m.height() + 2 * pad,
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return g;
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setFont(slot.font);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(pad, pad + m.ascent()), QString(qc));
    }
    int l = image.width(), t = image.height(), r = -1, b = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x])) l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = y;
    }
    if (r < 0) return g; // a blank
    g.left = l - pad;
    g.top = t - pad - m.ascent();
    g.width = r - l + 1;
    g.height = b - t + 1;
    g.mask.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(t + y));
        for (int x = 0; x < g.width; ++x) g.mask[size_t(y * g.width + x)] = uint8_t(qAlpha(row[l + x]));
    }
    return g;
}

// Text of characters the glyph cache holds one by one (no surrogate pairs).
bool Cached(const QString& text) {
    for (QChar c : text)
        if (c.isSurrogate()) return false;
    return true;
}

int CachedWidth(RenderFontSlot& slot, const QString& text) {
    int width = 0;
    for (QChar c : text) width += GlyphOf(slot, c.unicode()).advance;
    return width;
}

} // namespace

void RenderReleaseFonts() {
    g_render.fonts.clear();
}

RenderHandle RenderCreateFont(const std::string& face, int size, int weight) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return -1;
    QFont::StyleHint hint;
    QString family = ResolveFamily(QString::fromStdString(face), hint);
    QFont font(family);
    font.setStyleHint(hint);
    font.setPixelSize(size > 0 ? size : 16);
    font.setWeight(WeightOf(weight));
    size_t handle = 0;
    while (handle < g_render.fonts.size() && g_render.fonts[handle].used) ++handle;
    if (handle == g_render.fonts.size()) g_render.fonts.emplace_back();
    RenderFontSlot& slot = g_render.fonts[handle];
    slot = RenderFontSlot{};
    slot.font = font;
    slot.metrics.emplace(font);
    slot.ascii.resize(128);
    slot.used = true;
    return RenderHandle(handle);
}

void RenderFreeFont(RenderHandle font) {
    if (RenderFontSlot* slot = FontOf(font)) *slot = RenderFontSlot{};
}

std::string RenderFontFamily(RenderHandle font) {
    RenderFontSlot* slot = FontOf(font);
    return slot ? QFontInfo(slot->font).family().toStdString() : std::string();
}

void RenderText(float x, float y, RenderColorValue color, RenderHandle font, const char* format,
                ...) {
    RenderFontSlot* slot = FontOf(font);
    if (!slot || !std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6f ||
        std::fabs(y) > 1e6f)
        return;
    va_list args;
    va_start(args, format);
    QString text = Format(format, args);
    va_end(args);
    if (text.isEmpty()) return;
    // (x, y) is the top-left corner of the text; the baseline lies an ascent below it.
    int left = int(std::floor(x + 0.5f)), top = int(std::floor(y + 0.5f));
    const QFontMetrics& metrics = *slot->metrics;
    RasterTarget raster;
    if (Cached(text)) {
        // Each character's coverage from the cache, blended by our own routine: far cheaper
        // than having Qt lay out and draw hundreds of short texts every frame.
        if (!RenderCurrentRaster(raster)) return;
        const int baseline = top + metrics.ascent();
        int pen = left;
        for (QChar c : text) {
            const RenderGlyph& g = GlyphOf(*slot, c.unicode());
            if (!g.mask.empty())
                RasterDrawMask(raster, g.mask.data(), g.width, pen + g.left, baseline + g.top,
                               g.width, g.height, color);
            pen += g.advance;
        }
        return;
    }
    QRect bounds(left - 4, top - 2, metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
    RenderPaintBlended(bounds, true, [&](QPainter& painter) {
        painter.setFont(slot->font);
        painter.setPen(QColor::fromRgba(color));
        painter.drawText(QPoint(left, top + metrics.ascent()), text);
    });
}

int RenderTextWidth(RenderHandle font, const char* format, ...) {
    RenderFontSlot* slot = FontOf(font);
    if (!slot) return 0;
    va_list args;
    va_start(args, format);
    QString text = Format(format, args);
    va_end(args);
    if (text.isEmpty()) return 0;
    return Cached(text) ? CachedWidth(*slot, text) : slot->metrics->horizontalAdvance(text);
}

} // namespace qvtk
