#include "platform/private_profile.h"

#include "platform/file_read.h"
#include "platform/safe_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace qvtk {

namespace {

constexpr std::string_view kNewLine = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One line of the file: [begin, textEnd) is its text, [textEnd, end) its line end.
struct Line {
    size_t begin;
    size_t textEnd;
    size_t end;
};

// Lines [header, bodyEnd) of one section, the header line included.
struct SectionLines {
    size_t header;
    size_t bodyEnd;
};

enum class ReadStatus { kRead, kMissing, kFailed };

ReadStatus ReadProfileFile(const std::string& path, std::string& out,
                           ReadFailure* failure = nullptr) {
    ReadFailure why = ReadFailure::kNone;
    const bool read = ReadWholeTextFile(path, out, &why);
    if (failure) *failure = why;
    if (read) return ReadStatus::kRead;
    return why == ReadFailure::kNotFound ? ReadStatus::kMissing : ReadStatus::kFailed;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Only ASCII letters fold: names may hold Shift-JIS bytes, which must match exactly.
bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// A BOM is skipped by starting the first line after it, so every edit keeps it.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t at = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (at < text.size()) {
        size_t newline = text.find('\n', at);
        size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        size_t textEnd = newline == std::string_view::npos ? text.size() : newline;
        if (textEnd > at && text[textEnd - 1] == '\r') --textEnd;
        lines.push_back({at, textEnd, end});
        at = end;
    }
    return lines;
}

std::string_view TextOf(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.textEnd - line.begin);
}

bool IsBlankLine(std::string_view text, const Line& line) {
    return Trim(TextOf(text, line)).empty();
}

// The trimmed name between the brackets when the line is a section header. A header without
// its closing bracket still starts a section: its name runs to the end of the line.
std::optional<std::string_view> SectionName(std::string_view lineText) {
    size_t first = lineText.find_first_not_of(" \t");
    if (first == std::string_view::npos || lineText[first] != '[') return std::nullopt;
    std::string_view rest = lineText.substr(first + 1);
    return Trim(rest.substr(0, rest.find(']')));
}

std::optional<std::string_view> KeyName(std::string_view lineText) {
    size_t first = lineText.find_first_not_of(" \t");
    if (first == std::string_view::npos || lineText[first] == ';') return std::nullopt;
    size_t equals = lineText.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trim(lineText.substr(0, equals));
}

std::optional<SectionLines> FindSection(std::string_view text, const std::vector<Line>& lines,
                                        std::string_view section, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
        std::optional<std::string_view> name = SectionName(TextOf(text, lines[i]));
        if (!name || !EqualNoCase(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(TextOf(text, lines[end]))) ++end;
        return SectionLines{i, end};
    }
    return std::nullopt;
}

bool IsKeyLine(std::string_view text, const Line& line, std::string_view key) {
    std::optional<std::string_view> name = KeyName(TextOf(text, line));
    return name && EqualNoCase(*name, key);
}

// The value text of the first matching key in the first matching section, blanks trimmed.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) return std::nullopt;
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionLines> found = FindSection(text, lines, section);
    if (!found) return std::nullopt;
    for (size_t i = found->header + 1; i < found->bodyEnd; ++i) {
        if (!IsKeyLine(text, lines[i], key)) continue;
        std::string_view lineText = TextOf(text, lines[i]);
        return Trim(lineText.substr(lineText.find('=') + 1));
    }
    return std::nullopt;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

// Digits beyond int range saturate instead of wrapping, so a hand-edited huge number reads as
// the nearest value the program can hold.
int ParseDecimal(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (magnitude <= int64_t(INT_MAX) + 1) magnitude = magnitude * 10 + (s[i] - '0');
    int64_t v = negative ? -magnitude : magnitude;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

// A name that would not read back as the same section or key (or would split the line) is
// refused rather than written.
bool StorableSection(std::string_view section) {
    return !section.empty() && section.find_first_of("]\r\n") == std::string_view::npos;
}

bool StorableKey(std::string_view key) {
    return !key.empty() && key.front() != ';' && key.front() != '[' &&
           key.find_first_of("=\r\n") == std::string_view::npos;
}

// Gives an unterminated last line a CR LF so that text can follow it.
void TerminateLine(std::string_view text, const Line& line, std::string& insert) {
    if (line.end > line.begin && text[line.end - 1] == '\n') return;
    insert += line.end > line.textEnd ? "\n" : "\r\n"; // a lone CR only lacks its LF
}

enum class EditResult { kRefused, kUnchanged, kChanged };

EditResult WriteStringInText(std::string& text, std::string_view section, std::string_view key,
                             std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (!StorableSection(section) || !StorableKey(key) ||
        value.find_first_of("\r\n") != std::string_view::npos)
        return EditResult::kRefused;

    std::string keyLine(key);
    keyLine.append("=").append(value);
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionLines> found = FindSection(text, lines, section);
    if (found) {
        for (size_t i = found->header + 1; i < found->bodyEnd; ++i) {
            if (!IsKeyLine(text, lines[i], key)) continue;
            const Line& line = lines[i];
            if (TextOf(text, line) == keyLine) return EditResult::kUnchanged;
            text.replace(line.begin, line.textEnd - line.begin, keyLine);
            return EditResult::kChanged;
        }
        // Blank lines that end the section stay as its separator from the next one.
        size_t after = found->header;
        for (size_t i = found->header + 1; i < found->bodyEnd; ++i)
            if (!IsBlankLine(text, lines[i])) after = i;
        std::string insert;
        TerminateLine(text, lines[after], insert);
        insert += keyLine;
        insert += kNewLine;
        text.insert(lines[after].end, insert);
        return EditResult::kChanged;
    }

    if (!lines.empty()) {
        std::string separator;
        TerminateLine(text, lines.back(), separator);
        if (!IsBlankLine(text, lines.back())) separator += kNewLine;
        text += separator;
    }
    text.append("[").append(section).append("]").append(kNewLine);
    text.append(keyLine).append(kNewLine);
    return EditResult::kChanged;
}

// Every matching line of the section goes, so that a hand-made duplicate cannot come back
// as the value once the first one is deleted.
EditResult DeleteKeyInText(std::string& text, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) return EditResult::kUnchanged;
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionLines> found = FindSection(text, lines, section);
    if (!found) return EditResult::kUnchanged;
    EditResult result = EditResult::kUnchanged;
    for (size_t i = found->bodyEnd; i-- > found->header + 1;) {
        if (!IsKeyLine(text, lines[i], key)) continue;
        text.erase(lines[i].begin, lines[i].end - lines[i].begin);
        result = EditResult::kChanged;
    }
    return result;
}

// Every occurrence of the section goes: only the first is read, so leaving a later one would
// bring its stale keys back.
EditResult DeleteSectionInText(std::string& text, std::string_view section) {
    section = Trim(section);
    if (section.empty()) return EditResult::kUnchanged;
    std::vector<Line> lines = SplitLines(text);
    std::vector<SectionLines> sections;
    for (std::optional<SectionLines> s = FindSection(text, lines, section); s;
         s = FindSection(text, lines, section, s->bodyEnd))
        sections.push_back(*s);
    if (sections.empty()) return EditResult::kUnchanged;
    for (size_t n = sections.size(); n-- > 0;) {
        size_t begin = lines[sections[n].header].begin;
        text.erase(begin, lines[sections[n].bodyEnd - 1].end - begin);
    }
    return EditResult::kChanged;
}

} // namespace

std::string ProfileGetString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, const std::string& path) {
    std::string text;
    if (ReadProfileFile(path, text) != ReadStatus::kRead) return std::string(defaultValue);
    std::optional<std::string_view> value = FindValue(text, section, key);
    return std::string(value ? Unquote(*value) : defaultValue);
}

std::vector<std::pair<std::string, std::string>> ProfileReadSection(std::string_view section,
                                                                    const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string text;
    section = Trim(section);
    if (section.empty() || ReadProfileFile(path, text) != ReadStatus::kRead) return out;
    std::vector<Line> lines = SplitLines(text);
    std::optional<SectionLines> found = FindSection(text, lines, section);
    if (!found) return out;
    for (size_t i = found->header + 1; i < found->bodyEnd; ++i) {
        std::string_view lineText = TextOf(text, lines[i]);
        std::optional<std::string_view> key = KeyName(lineText);
        if (!key) continue;
        bool seen = false;
        for (const auto& kv : out) seen = seen || EqualNoCase(kv.first, *key);
        if (seen) continue; // the first of two equal keys is the one read
        out.emplace_back(*key, Unquote(Trim(lineText.substr(lineText.find('=') + 1))));
    }
    return out;
}

int ProfileGetInt(std::string_view section, std::string_view key, int defaultValue,
                  const std::string& path) {
    std::string text;
    if (ReadProfileFile(path, text) != ReadStatus::kRead) return defaultValue;
    std::optional<std::string_view> value = FindValue(text, section, key);
    return value ? ParseDecimal(Unquote(*value)) : defaultValue;
}

bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
    return ProfileWriteBatch(path, {{ProfileEdit::kWriteString, std::string(section),
                                     std::string(key), std::string(value)}});
}

bool ProfileDeleteKey(std::string_view section, std::string_view key, const std::string& path) {
    if (Trim(section).empty() || Trim(key).empty()) return true; // names nothing: no file access
    return ProfileWriteBatch(
        path, {{ProfileEdit::kDeleteKey, std::string(section), std::string(key), {}}});
}

bool ProfileDeleteSection(std::string_view section, const std::string& path) {
    if (Trim(section).empty()) return true;
    return ProfileWriteBatch(path, {{ProfileEdit::kDeleteSection, std::string(section), {}, {}}});
}

bool ProfileWriteBatch(const std::string& path, const std::vector<ProfileEdit>& edits) {
    std::string text;
    ReadFailure why = ReadFailure::kNone;
    if (ReadProfileFile(path, text, &why) == ReadStatus::kFailed) {
        // What could not be read is not replaced.
        NoteWriteFailure(ReadFailureText(why));
        return false;
    }
    bool allStored = true, changed = false;
    for (const ProfileEdit& e : edits) {
        EditResult result = EditResult::kUnchanged;
        switch (e.kind) {
        case ProfileEdit::kWriteString:
            result = WriteStringInText(text, e.section, e.key, e.value);
            break;
        case ProfileEdit::kDeleteKey:
            result = DeleteKeyInText(text, e.section, e.key);
            break;
        case ProfileEdit::kDeleteSection:
            result = DeleteSectionInText(text, e.section);
            break;
        }
        allStored = allStored && result != EditResult::kRefused;
        changed = changed || result == EditResult::kChanged;
    }
    // Nothing changed leaves the file (or its absence) exactly as it was.
    return (!changed || WriteWholeFile(path, text)) && allStored;
}

} // namespace qvtk
