#pragma once
// CSV text as other loggers and lap timers write it: lines (LF, CR, CR LF; a quoted field may
// hold a line end), fields as RFC 4180 has them (quotes, doubled quotes, empty fields keep
// their place), numbers read exactly to fixed-point units, and the place of the column names
// among the lines a file carries before its data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_cursor.h"

namespace qvtk {

// Walks the lines of the text. The text ends at its first zero byte; a UTF-8 byte order mark
// at the start is skipped. The first line end says how lines end: LF (a CR before it is part
// of the end), or CR (an LF after it too); LF CR is one end.
struct CsvLines {
    const char* begin = nullptr; // the text after the byte order mark
    const char* at = nullptr;    // the next line
    const char* end = nullptr;   // the first zero byte, or the end of the bytes
    char ending = '\n';          // '\n' or '\r'
    int lineNumber = 0;          // 1-based number of the line last returned
    bool quoted = false;         // the line last returned holds a double quote

    // False at the end of the text. `line` is the line without its end.
    bool Next(std::string_view& line);
    size_t Offset() const { return size_t(at - begin); } // of the next line, from `begin`
};

// How far ahead of the line being read the text is fetched: the hardware prefetchers stop at
// every page, and a reader would otherwise wait for memory at each.
constexpr int kCsvFetchAhead = 4096;

CsvLines StartCsvLines(Bytes bytes);
// The same text from an offset returned by Offset() (finding the end once is a whole scan).
CsvLines CsvLinesFrom(const CsvLines& text, size_t offset, int lineNumber);

// Splits a line into its fields: quoted fields lose their quotes ("" is one quote), unquoted
// ones keep their text. `scratch` holds unquoted texts; the views point into it or the line.
void SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields,
                  std::string& scratch);

// How a field is read: times in 10 microseconds (scale 5), values x 1000 (scale 3), whole
// units (scale 0); rounded to the nearest unit, or truncated toward zero.
struct CsvScale {
    int power = 3;
    bool truncate = false;
};

enum class CsvField : uint8_t { Empty, Number, Text };

namespace csv_detail {

// How many of the eight characters in `chunk` (the first in its lowest byte) are digits before
// the first other one.
inline int LeadingDigits(uint64_t chunk) {
    const uint64_t x = chunk ^ 0x3030303030303030ull; // a digit becomes its value
    // A byte above 9 gets its high bit; a carry out of one only reaches later characters.
    const uint64_t other = (x | (x + 0x7676767676767676ull)) & 0x8080808080808080ull;
    return other ? __builtin_ctzll(other) >> 3 : 8;
}

// The value of the first n (1-8) digit characters of `chunk`.
inline uint64_t DigitsValue(uint64_t chunk, int n) {
    uint64_t v = (chunk << (8 * (8 - n))) & 0x0F0F0F0F0F0F0F0Full; // leading zeros in front
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    return ((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
}

constexpr bool kEightAtOnce = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// Up to `most` digits at p (before end) into m; eight characters are looked at together when
// `limit` (the end of the readable bytes) leaves room. Returns how many digits there were;
// those beyond `most` are only skipped.
inline int TakeDigits(const char*& p, const char* end, const char* limit, int most, int64_t& m) {
    int count = 0;
    if (kEightAtOnce && limit - p >= 8) {
        uint64_t chunk;
        __builtin_memcpy(&chunk, p, 8);
        const int n = int(std::min<ptrdiff_t>(LeadingDigits(chunk), end - p));
        const int take = std::min(n, most);
        if (take > 0) {
            static constexpr int64_t kScale[9] = {1,      10,      100,      1000,     10000,
                                                  100000, 1000000, 10000000, 100000000};
            const uint64_t mask = take == 8 ? ~0ull : (1ull << (8 * take)) - 1;
            m = m * kScale[take] + int64_t(DigitsValue(chunk & mask, take));
        }
        p += n;
        count = n;
        if (n < 8) return count;
    }
    for (; p < end && unsigned(*p - '0') < 10; ++p, ++count)
        if (count < most) m = m * 10 + (*p - '0');
    return count;
}

} // namespace csv_detail

// The common case of ReadCsvNumber, inline: [-]digits[.digits] ending at a comma or the end,
// with no more digits than fit exactly. False leaves the field to ReadCsvNumber. Bytes up to
// `limit` (at least `end`) may be read ahead.
inline bool ReadPlainCsvNumber(const char* p, const char* end, CsvScale scale, int64_t& value,
                               const char*& stop, const char* limit = nullptr) {
    static constexpr int64_t kPow[6] = {1, 10, 100, 1000, 10000, 100000};
    if (scale.power > 5) return false;
    if (!limit) limit = end;
    const bool negative = p < end && *p == '-';
    p += negative;
    int64_t m = 0;
    const int whole = csv_detail::TakeDigits(p, end, limit, 18, m);
    // More digits than the exact reader keeps, or a result that could leave 64 bits.
    if (whole + scale.power > 18) return false;
    int kept = 0;
    bool dropped = false;
    if (p < end && *p == '.') {
        ++p;
        const int fraction = csv_detail::TakeDigits(p, end, limit, scale.power, m);
        kept = std::min(fraction, scale.power);
        dropped = fraction > kept;
    }
    if ((whole == 0 && kept == 0) || (dropped && !scale.truncate) || (p < end && *p != ','))
        return false;
    m *= kPow[scale.power - kept];
    value = negative ? -m : m;
    stop = p;
    return true;
}

// Reads the number at the start of `text` up to the next comma (or the end). Decimal numbers
// are converted exactly; exponents, "inf" and "nan" go through the C library (NaN gives 0,
// infinities saturate); "m:ss.sss" and "h:mm:ss.sss" are times in seconds. `stop` is where the
// field ends. Results saturate to the 64-bit range.
CsvField ReadCsvNumber(const char* text, const char* end, CsvScale scale, int64_t& value,
                       const char*& stop);

// A field's kind and value, for a field already cut out of its line.
CsvField CsvFieldValue(std::string_view field, CsvScale scale, int64_t& value);

// The value saturated to 32 bits.
inline int32_t SaturateToInt32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : int32_t(v));
}

// What a line is to the import: nothing (only blanks and commas), a comment ('#' first), text
// (no field is a number) or data.
enum class CsvLineKind : uint8_t { Blank, Comment, Text, Data };
CsvLineKind ClassifyCsvLine(std::string_view line);

// Where the table of a CSV file is.
struct CsvLayout {
    bool hasLines = false;             // the text has a line with something on it
    int headerLine = 0;                // 1-based line of the column names; 0 = the file names none
    std::vector<std::string> rawNames; // as written, for the aliases of "csvlabel.ini"
    std::vector<std::string> names;    // as listed: a repeat is "name (2)", a blank "column N"
    std::vector<std::string> units;    // from the units line, "" where it has none
    bool hasUnits = false;
    size_t dataOffset = 0; // of the first line after the column names and their units/source
    int dataLineNumber = 1;
};

// Finds the column names: the line whose fields are mostly not numbers that the numeric data
// lines follow, with a units line or a source line (and blank and comment lines) between them
// at most; lines of metadata before it are narrower or set apart by a blank line. A file whose
// first line holds the names loads as before.
CsvLayout AnalyzeCsvLayout(Bytes bytes);

// The column's times are in milliseconds (its unit, or its name ending in "(ms)", "[ms]"
// or "_ms"); otherwise seconds.
bool CsvColumnInMilliseconds(const CsvLayout& layout, int column);

} // namespace qvtk
