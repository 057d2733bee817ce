#include "logger/memo_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qvtk {

std::string MemoBytesFromText(const QString& text, size_t limit) {
    QStringEncoder encoder("Shift_JIS");
    std::string out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = encoder.encode(text.mid(i, n));
        i += n - 1;
        if (out.size() + size_t(bytes.size()) > limit) break;
        out.append(bytes.constData(), size_t(bytes.size()));
    }
    return out;
}

QString MemoTextFromBytes(const std::string& bytes) {
    QStringDecoder decoder("Shift_JIS");
    return decoder.decode(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace qvtk
