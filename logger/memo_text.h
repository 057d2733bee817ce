#pragma once
// Memo texts are stored as Shift-JIS bytes; the dialogs and the command line speak Unicode.
#include <QString>
#include <string>

namespace qvtk {

// At most `limit` bytes, never cutting a two-byte character in half.
std::string MemoBytesFromText(const QString& text, size_t limit);
QString MemoTextFromBytes(const std::string& bytes);

} // namespace qvtk
