#include "platform/ini_text.h"

#include <cerrno>
#include <cstdlib>

#include "platform/file_read.h"

namespace qvtk {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// [begin, end) of the section's body, or npos when the section is missing.
bool FindSection(std::string_view section, std::string_view text, size_t& begin, size_t& end) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return false;
    std::string header(1, '[');
    header.append(section).push_back(']');
    size_t at = text.find(header);
    if (at == std::string_view::npos) return false;
    begin = at + header.size();
    end = text.find("\r[", begin);
    if (end == std::string_view::npos) end = text.find("\n[", begin);
    if (end == std::string_view::npos) end = text.size();
    return true;
}

// Position of the value after key, separator and blanks; npos when the key is not in the
// section. With `needSeparator`, occurrences not followed by '=' or a blank are passed over.
size_t FindValue(std::string_view section, std::string_view key, std::string_view text,
                 bool needSeparator) {
    size_t begin = 0, end = 0;
    if (key.empty() || !FindSection(section, text, begin, end)) return std::string_view::npos;
    size_t at = begin;
    for (;;) {
        at = text.find(key, at);
        if (at == std::string_view::npos || at >= end) return std::string_view::npos;
        size_t sep = at + key.size();
        if (sep >= text.size()) return needSeparator ? std::string_view::npos : text.size();
        if (!needSeparator || text[sep] == '=' || IsBlank(text[sep])) {
            size_t v = sep + 1;
            while (v < text.size() && IsBlank(text[v])) ++v;
            return v;
        }
        at = at + 1;
    }
}

std::string_view ValueText(std::string_view text, size_t v) {
    size_t e = v;
    while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
    return text.substr(v, e - v);
}

} // namespace

std::optional<std::string> ReadTextFile(const std::string& path) {
    std::string text;
    if (!ReadWholeTextFile(path, text)) return std::nullopt;
    return text;
}

int ParseIniInteger(std::string_view value) {
    std::string s(value);
    errno = 0;
    long v = std::strtol(s.c_str(), nullptr, 0);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return int(v);
}

int IniGetInt(std::string_view section, std::string_view key, int defaultValue,
              std::string_view text) {
    size_t v = FindValue(section, key, text, false);
    if (v == std::string_view::npos || v >= text.size()) return defaultValue;
    std::string_view value = ValueText(text, v);
    if (value.empty()) return defaultValue;
    return ParseIniInteger(value);
}

int IniGetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                 std::string& out, size_t bufferSize, std::string_view text) {
    out.assign(defaultValue.substr(0, bufferSize ? bufferSize - 1 : 0));
    size_t v = FindValue(section, key, text, true);
    if (v == std::string_view::npos) return -1;
    std::string_view value = v < text.size() ? ValueText(text, v) : std::string_view();
    if (value.empty() || value.size() + 1 >= bufferSize) return 0;
    out.assign(value);
    return int(value.size());
}

} // namespace qvtk
