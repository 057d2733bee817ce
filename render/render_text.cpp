// Fonts and text. The face names the program asks for ("MS Gothic", "Tahoma") are Windows
// fonts; each has a chain of free fonts of the same kind and metrics to fall back on.
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

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
    slot.font = font;
    slot.metrics.emplace(font);
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
    return text.isEmpty() ? 0 : slot->metrics->horizontalAdvance(text);
}

} // namespace qvtk
