#include "data/csv_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/parallel.h"

namespace qvtk {

namespace {

constexpr int kScanLines = 200;        // lines looked at for the column names
constexpr size_t kNameChars = 127;     // a column name is cut to this many bytes
constexpr int kSignificantDigits = 18; // digits kept exactly; later ones only scale

const uint64_t kPow10[20] = {1ull,
                             10ull,
                             100ull,
                             1000ull,
                             10000ull,
                             100000ull,
                             1000000ull,
                             10000000ull,
                             100000000ull,
                             1000000000ull,
                             10000000000ull,
                             100000000000ull,
                             1000000000000ull,
                             10000000000000ull,
                             100000000000000ull,
                             1000000000000000ull,
                             10000000000000000ull,
                             100000000000000000ull,
                             1000000000000000000ull,
                             10000000000000000000ull};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A line end inside a quoted field belongs to the field. A quote opens a quoted field only at
// the start of a field, so that 5'10" in an unquoted field stays text. The state carries over
// from one piece of a line to the next, so that a long line is looked at once, not once for
// every line end in it (a stray quote early in a large file would take hours).
struct QuoteState {
    bool quoted = false, fieldStart = true;

    // Whether the line is inside a quoted field after [p, e), e being a line end: a quote
    // right before it is not doubled.
    bool EndsInside(const char* p, const char* e) {
        for (; p < e; ++p) {
            const char c = *p;
            if (quoted) {
                if (c == '"') {
                    if (p + 1 < e && p[1] == '"')
                        ++p;
                    else
                        quoted = false;
                }
            } else if (c == ',') {
                fieldStart = true;
            } else if (c == '"' && fieldStart) {
                quoted = true;
                fieldStart = false;
            } else if (!IsBlank(c)) {
                fieldStart = false;
            }
        }
        return quoted;
    }
};

const char* Find(const char* p, const char* e, char c) {
    const void* at = p < e ? std::memchr(p, c, size_t(e - p)) : nullptr;
    return at ? static_cast<const char*>(at) : e;
}

int64_t Saturate(uint64_t magnitude, bool negative) {
    if (negative) return magnitude >= uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(magnitude);
    return magnitude > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(magnitude);
}

// m x 10^k, rounded to the nearest unit (halves away from zero) or truncated.
uint64_t ScaleDecimal(uint64_t m, int k, bool truncate) {
    if (m == 0) return 0;
    if (k >= 0) {
        if (k > 19 || m > UINT64_MAX / kPow10[k]) return UINT64_MAX;
        return m * kPow10[k];
    }
    if (-k > 19) return 0; // m < 10^18 is below half of 10^19
    const uint64_t d = kPow10[-k];
    uint64_t q = m / d;
    const uint64_t r = m % d;
    if (!truncate && r >= d - r) ++q;
    return q;
}

int64_t ScaleDouble(double x, CsvScale scale) {
    if (std::isnan(x)) return 0;
    if (scale.truncate) x = std::trunc(x);
    x *= double(kPow10[scale.power]);
    if (!scale.truncate) x = std::round(x);
    if (x >= 9.2233720368547758e18) return INT64_MAX;
    if (x <= -9.2233720368547758e18) return INT64_MIN;
    return int64_t(x);
}

// "h:mm:ss.sss" or "m:ss.sss": seconds.
bool ReadClockTime(std::string_view t, CsvScale scale, int64_t& value) {
    const bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    int64_t whole = 0;
    size_t colon;
    int parts = 0;
    while ((colon = t.find(':')) != std::string_view::npos) {
        if (++parts > 2 || colon == 0 || colon > 9) return false;
        int64_t part = 0;
        for (char c : t.substr(0, colon)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            part = part * 10 + (c - '0');
        }
        whole = whole * 60 + part;
        t.remove_prefix(colon + 1);
    }
    int64_t seconds = 0;
    if (t.empty() || t.front() == '-' || t.front() == '+' ||
        CsvFieldValue(t, scale, seconds) != CsvField::Number)
        return false;
    const double total = double(whole) * 60.0 * double(kPow10[scale.power]) + double(seconds);
    if (std::fabs(total) >= 9.2e18) return false;
    const int64_t v = whole * 60 * int64_t(kPow10[scale.power]) + seconds;
    value = negative ? -v : v;
    return true;
}

// Numbers the exact reader does not take: exponents, "inf", "nan", clock times.
CsvField ReadOtherNumber(std::string_view field, CsvScale scale, int64_t& value) {
    field = Trim(field);
    if (field.empty()) return CsvField::Empty;
    if (field.find(':') != std::string_view::npos)
        return ReadClockTime(field, scale, value) ? CsvField::Number : CsvField::Text;
    char buf[64];
    if (field.size() >= sizeof buf) return CsvField::Text;
    std::memcpy(buf, field.data(), field.size());
    buf[field.size()] = 0;
    char* stop = nullptr;
    const double x = std::strtod(buf, &stop);
    if (stop != buf + field.size()) return CsvField::Text;
    value = ScaleDouble(x, scale);
    return CsvField::Number;
}

bool IsUnitToken(std::string_view t) {
    static const char* const kUnits[] = {"s",
                                         "sec",
                                         "secs",
                                         "ms",
                                         "us",
                                         "min",
                                         "h",
                                         "hr",
                                         "rpm",
                                         "1/min",
                                         "km/h",
                                         "kmh",
                                         "kph",
                                         "mph",
                                         "m/s",
                                         "ft/s",
                                         "m/s2",
                                         "m/s^2",
                                         "g",
                                         "%",
                                         "mm",
                                         "cm",
                                         "m",
                                         "km",
                                         "ft",
                                         "mi",
                                         "in",
                                         "v",
                                         "mv",
                                         "a",
                                         "ma",
                                         "bar",
                                         "mbar",
                                         "kpa",
                                         "pa",
                                         "psi",
                                         "degc",
                                         "c",
                                         "degf",
                                         "f",
                                         "deg",
                                         "rad",
                                         "rad/s",
                                         "deg/s",
                                         "nm",
                                         "kw",
                                         "w",
                                         "hp",
                                         "lambda",
                                         "afr",
                                         "a/f",
                                         "hz",
                                         "khz",
                                         "k",
                                         "l",
                                         "cc",
                                         "ml",
                                         "mm/s",
                                         "-",
                                         "#",
                                         "\xC2\xB0",
                                         "\xC2\xB0"
                                         "c",
                                         "\xC2\xB0"
                                         "f",
                                         "l/h",
                                         "lap",
                                         "laps"};
    t = Trim(t);
    if (t.size() >= 2 &&
        ((t.front() == '[' && t.back() == ']') || (t.front() == '(' && t.back() == ')')))
        return true;
    if (t.empty() || t.size() > 8) return false;
    std::string lower(t);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* u : kUnits)
        if (lower == u) return true;
    return false;
}

struct LineFacts {
    int number = 0;
    size_t offset = 0; // of the line, from the start of the text
    CsvLineKind kind = CsvLineKind::Blank;
    int fields = 0, nonEmpty = 0, numeric = 0, units = 0;
    bool Numeric() const { return nonEmpty > 0 && 2 * numeric > nonEmpty; }
    bool Textual() const {
        return (kind == CsvLineKind::Text || kind == CsvLineKind::Data) && !Numeric();
    }
    bool UnitsLike() const { return units > 0 && 2 * units > nonEmpty; }
};

LineFacts Examine(std::string_view line, std::vector<std::string_view>& fields,
                  std::string& scratch) {
    LineFacts f;
    f.kind = ClassifyCsvLine(line);
    if (f.kind == CsvLineKind::Blank || f.kind == CsvLineKind::Comment) return f;
    SplitCsvLine(line, fields, scratch);
    f.fields = int(fields.size());
    for (std::string_view field : fields) {
        int64_t v = 0;
        const CsvField kind = CsvFieldValue(field, {}, v);
        if (kind == CsvField::Empty) continue;
        ++f.nonEmpty;
        if (kind == CsvField::Number) ++f.numeric;
        if (IsUnitToken(field)) ++f.units;
    }
    return f;
}

bool Skipped(const LineFacts& f) {
    return f.kind == CsvLineKind::Blank || f.kind == CsvLineKind::Comment;
}

// The first line of the table: numeric, and followed by another numeric line or nothing.
int FindDataStart(const std::vector<LineFacts>& lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].Numeric()) continue;
        size_t j = i + 1;
        while (j < lines.size() && Skipped(lines[j])) ++j;
        if (j == lines.size() || lines[j].Numeric()) return int(i);
    }
    return -1;
}

// The text lines directly above line `below` (comment lines aside, blank lines before the
// first one skipped), top first; a blank line or a numeric line ends the group.
std::vector<int> GroupAbove(const std::vector<LineFacts>& lines, int below) {
    std::vector<int> group;
    for (int i = below - 1; i >= 0; --i) {
        const LineFacts& f = lines[size_t(i)];
        if (f.kind == CsvLineKind::Comment) continue;
        if (f.kind == CsvLineKind::Blank) {
            if (!group.empty()) break;
            continue;
        }
        if (!f.Textual()) break;
        group.insert(group.begin(), i);
    }
    return group;
}

// The column names above the data: the widest line of the nearest group of text lines, the
// first of equals (units and source lines come after the names, metadata is narrower). A
// units line alone, under a group at least as wide, has the names in that group.
int FindHeader(const std::vector<LineFacts>& lines, int data) {
    std::vector<int> group = GroupAbove(lines, data);
    if (group.empty()) return -1;
    if (group.size() == 1 && lines[size_t(group[0])].UnitsLike()) {
        const std::vector<int> above = GroupAbove(lines, group[0]);
        for (int i : above)
            if (lines[size_t(i)].nonEmpty >= lines[size_t(group[0])].nonEmpty) {
                group = above;
                break;
            }
    }
    int best = group[0];
    for (int i : group)
        if (lines[size_t(i)].nonEmpty > lines[size_t(best)].nonEmpty) best = i;
    return best;
}

std::string CutName(std::string_view name) {
    if (name.size() <= kNameChars) return std::string(name);
    size_t n = kNameChars;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n; // UTF-8 boundary
    return std::string(name.substr(0, n));
}

void NameColumns(CsvLayout& layout, size_t columns) {
    layout.rawNames.resize(std::max(layout.rawNames.size(), columns));
    layout.units.resize(layout.rawNames.size());
    for (size_t j = 0; j < layout.rawNames.size(); ++j) {
        std::string name = layout.rawNames[j];
        if (name.empty()) name = "column " + std::to_string(j + 1);
        int seen = 1;
        for (size_t k = 0; k < j; ++k) seen += layout.rawNames[k] == layout.rawNames[j];
        if (seen > 1 && !layout.rawNames[j].empty()) name += " (" + std::to_string(seen) + ")";
        layout.names.push_back(name);
    }
}

// The first zero byte in [b, e), or e; a long text is searched in two halves on two cores.
const char* FirstZero(const char* b, const char* e) {
    constexpr ptrdiff_t kWorthIt = 2 << 20;
    if (e - b < kWorthIt) return Find(b, e, '\0');
    const char* mid = b + (e - b) / 2;
    const char* found[2] = {};
    ParallelFor(2, [&](int i) { found[i] = i == 0 ? Find(b, mid, '\0') : Find(mid, e, '\0'); });
    return found[0] != mid ? found[0] : found[1];
}

} // namespace

CsvLines StartCsvLines(Bytes bytes) {
    const char* b = reinterpret_cast<const char*>(bytes.data());
    const char* e = b + bytes.size();
    if (!bytes.empty()) e = FirstZero(b, e);
    if (e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0) b += 3;
    CsvLines lines;
    lines.begin = lines.at = b;
    lines.end = e;
    for (const char* p = b; p < e; ++p) {
        if (*p == '\n') break;
        if (*p == '\r') {
            lines.ending = p + 1 < e && p[1] == '\n' ? '\n' : '\r';
            break;
        }
    }
    return lines;
}

CsvLines CsvLinesFrom(const CsvLines& text, size_t offset, int lineNumber) {
    CsvLines lines = text;
    lines.at = lines.begin + std::min(offset, size_t(lines.end - lines.begin));
    lines.lineNumber = lineNumber - 1;
    return lines;
}

bool CsvLines::Next(std::string_view& line) {
    if (at >= end) return false;
    __builtin_prefetch(at + kCsvFetchAhead, 0, 3);
    const char* start = at;
    const char* from = at;
    const char* stop;
    quoted = false;
    QuoteState state;
    for (;;) {
        stop = Find(from, end, ending);
        ++lineNumber;
        quoted = quoted || Find(from, stop, '"') != stop;
        if (stop >= end || !quoted || !state.EndsInside(from, stop)) break;
        from = stop + 1; // the line end is part of a quoted field
    }
    const char* last = stop;
    if (ending == '\n' && last > start && last[-1] == '\r') --last; // CR LF
    line = std::string_view(start, size_t(last - start));
    at = stop;
    if (at < end) {
        ++at;
        if (ending == '\r' && at < end && *at == '\n')
            ++at; // CR LF in a file whose lines end in CR
        else if (ending == '\n' && at < end && *at == '\r' && !(at + 1 < end && at[1] == '\n'))
            ++at; // LF CR
    }
    return true;
}

void SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields,
                  std::string& scratch) {
    fields.clear();
    scratch.clear();
    scratch.reserve(line.size()); // views into it stay valid
    const char* p = line.data();
    const char* e = p + line.size();
    for (;;) {
        const char* q = p;
        while (q < e && IsBlank(*q)) ++q;
        if (q < e && *q == '"') {
            const size_t start = scratch.size();
            for (++q; q < e; ++q) {
                if (*q == '"') {
                    if (q + 1 < e && q[1] == '"') {
                        scratch += '"';
                        ++q;
                        continue;
                    }
                    ++q;
                    break;
                }
                scratch += *q;
            }
            // Text after the closing quote stays with the field, blanks aside.
            const char* comma = Find(q, e, ',');
            scratch.append(Trim(std::string_view(q, size_t(comma - q))));
            fields.emplace_back(scratch.data() + start, scratch.size() - start);
            p = comma;
        } else {
            const char* comma = Find(p, e, ',');
            fields.emplace_back(p, size_t(comma - p));
            p = comma;
        }
        if (p >= e) break;
        ++p; // the comma
    }
}

CsvField ReadCsvNumber(const char* text, const char* end, CsvScale scale, int64_t& value,
                       const char*& stop) {
    if (ReadPlainCsvNumber(text, end, scale, value, stop)) return CsvField::Number;
    const char* p = text;
    while (p < end && IsBlank(*p)) ++p;
    if (p == end || *p == ',') {
        stop = p;
        return CsvField::Empty;
    }
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    uint64_t m = 0;
    int digits = 0, exponent = 0;
    bool any = false;
    for (; p < end && unsigned(*p - '0') < 10; ++p) {
        any = true;
        if (digits < kSignificantDigits) {
            m = m * 10 + unsigned(*p - '0');
            digits += m != 0;
        } else {
            ++exponent;
        }
    }
    if (p < end && *p == '.') {
        for (++p; p < end && unsigned(*p - '0') < 10; ++p) {
            any = true;
            if (digits < kSignificantDigits) {
                m = m * 10 + unsigned(*p - '0');
                digits += m != 0;
                --exponent;
            }
        }
    }
    while (p < end && IsBlank(*p)) ++p;
    if (any && (p == end || *p == ',')) {
        stop = p;
        value = Saturate(ScaleDecimal(m, exponent + scale.power, scale.truncate), negative);
        return CsvField::Number;
    }
    stop = Find(p, end, ',');
    return ReadOtherNumber(std::string_view(text, size_t(stop - text)), scale, value);
}

CsvField CsvFieldValue(std::string_view field, CsvScale scale, int64_t& value) {
    const char* stop = nullptr;
    const char* end = field.data() + field.size();
    const CsvField kind = ReadCsvNumber(field.data(), end, scale, value, stop);
    if (stop != end) return Trim(field).empty() ? CsvField::Empty : CsvField::Text;
    return kind;
}

CsvLineKind ClassifyCsvLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (IsBlank(line[i]) || line[i] == ',')) ++i;
    if (i == line.size()) return CsvLineKind::Blank;
    if (line.find_first_not_of(" \t") == i && line[i] == '#') return CsvLineKind::Comment;
    int64_t v = 0;
    const char* stop = nullptr;
    const char* end = line.data() + line.size();
    if (ReadCsvNumber(line.data(), end, {}, v, stop) == CsvField::Number) return CsvLineKind::Data;
    std::vector<std::string_view> fields;
    std::string scratch;
    SplitCsvLine(line, fields, scratch);
    for (std::string_view f : fields)
        if (CsvFieldValue(f, {}, v) == CsvField::Number) return CsvLineKind::Data;
    return CsvLineKind::Text;
}

namespace {

// The layout from the lines of `bytes`; `cut` is set when they ran to its end.
CsvLayout AnalyzeLines(Bytes bytes, bool& cut) {
    CsvLayout layout;
    const CsvLines text = StartCsvLines(bytes);
    CsvLines lines = text;
    std::vector<LineFacts> facts;
    std::vector<std::string_view> fields;
    std::string scratch;
    std::string_view line;
    while ((int)facts.size() < kScanLines) {
        const size_t offset = lines.Offset();
        if (!lines.Next(line)) break;
        LineFacts f = Examine(line, fields, scratch);
        f.number = lines.lineNumber;
        f.offset = offset;
        facts.push_back(f);
    }
    cut = lines.at >= lines.end;
    auto firstUsed =
        std::find_if(facts.begin(), facts.end(), [](const LineFacts& f) { return !Skipped(f); });
    if (firstUsed == facts.end()) return layout;
    layout.hasLines = true;

    const int data = FindDataStart(facts);
    int header = data < 0 ? int(firstUsed - facts.begin()) : FindHeader(facts, data);
    size_t columns = data >= 0 ? size_t(facts[size_t(data)].fields) : 0;
    auto lineAt = [&](int i) {
        CsvLines at = CsvLinesFrom(text, facts[size_t(i)].offset, facts[size_t(i)].number);
        std::string_view line;
        at.Next(line);
        return line;
    };
    if (header >= 0) {
        layout.headerLine = facts[size_t(header)].number;
        SplitCsvLine(lineAt(header), fields, scratch);
        for (std::string_view name : fields) layout.rawNames.push_back(CutName(Trim(name)));
        // A units line directly after the names (blank and comment lines aside).
        for (int i = header + 1; i < (data < 0 ? int(facts.size()) : data); ++i) {
            if (Skipped(facts[size_t(i)])) continue;
            if (!facts[size_t(i)].Textual()) break;
            SplitCsvLine(lineAt(i), fields, scratch);
            for (std::string_view unit : fields) layout.units.push_back(CutName(Trim(unit)));
            layout.hasUnits = true;
            break;
        }
    }
    NameColumns(layout, columns);
    if (data >= 0) {
        layout.dataOffset = facts[size_t(data)].offset;
        layout.dataLineNumber = facts[size_t(data)].number;
    } else {
        // Only names: whatever follows them (nothing, or lines the scan did not reach).
        const size_t next = size_t(header) + 1;
        layout.dataOffset = next < facts.size() ? facts[next].offset : lines.Offset();
        layout.dataLineNumber = next < facts.size() ? facts[next].number : lines.lineNumber + 1;
    }
    return layout;
}

} // namespace

CsvLayout AnalyzeCsvLayout(Bytes bytes) {
    // The names are among the first lines: a long file is looked at in its first megabytes,
    // unless its first lines reach beyond them.
    constexpr size_t kFirstPart = 4u << 20;
    bool cut = false;
    if (bytes.size() > kFirstPart) {
        CsvLayout layout = AnalyzeLines(bytes.first(kFirstPart), cut);
        if (!cut) return layout;
    }
    return AnalyzeLines(bytes, cut);
}

bool CsvColumnInMilliseconds(const CsvLayout& layout, int column) {
    if (column < 0 || size_t(column) >= layout.rawNames.size()) return false;
    auto lower = [](std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string unit = lower(layout.units[size_t(column)]);
    if (unit == "ms" || unit == "msec" || unit == "[ms]" || unit == "(ms)") return true;
    const std::string name = lower(layout.rawNames[size_t(column)]);
    for (const char* suffix : {"(ms)", "[ms]", "_ms", " ms"})
        if (name.size() > std::strlen(suffix) &&
            name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
            return true;
    return false;
}

} // namespace qvtk
