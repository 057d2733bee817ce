#pragma once
// The program's own small reader of INI text (settings, layouts, the CSV label file): a key is
// looked up in the whole file text, the way those files have always been read.
#include <optional>
#include <string>
#include <string_view>

namespace qvtk {

// The whole file as text, or nothing when it cannot be opened or read.
std::optional<std::string> ReadTextFile(const std::string& path);

// The integer value of section/key (decimal; "0x" hexadecimal; a leading "0" octal), or the
// default when the section, the key or the value is missing.
int IniGetInt(std::string_view section, std::string_view key, int defaultValue,
              std::string_view text);

// Copies the default into `out`, then the value if found. Returns -1 when the section or key
// is missing, 0 when the value is empty or has bufferSize - 1 characters or more, else the
// number of characters copied.
int IniGetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                 std::string& out, size_t bufferSize, std::string_view text);

// The integer conversion IniGetInt applies to a value text.
int ParseIniInteger(std::string_view value);

} // namespace qvtk
