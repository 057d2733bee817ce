#include "data/csv_plain_lines.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvtk {

namespace {

constexpr int kBlock = 64;
// A field is read eight bytes at a time, so blocks stop this far before the end of the text.
constexpr int kReadAhead = 8;

// Bit k set where p[k] is a comma, LF or double quote.
uint64_t SeparatorBits(const char* p) {
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(','), lf = _mm_set1_epi8('\n'), quote = _mm_set1_epi8('"');
    uint64_t bits = 0;
    for (int i = 0; i < kBlock / 16; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, lf)),
                         _mm_cmpeq_epi8(v, quote));
        bits |= uint64_t(uint32_t(_mm_movemask_epi8(m))) << (16 * i);
    }
    return bits;
#else
    uint64_t bits = 0;
    for (int k = 0; k < kBlock; ++k)
        bits |= uint64_t(p[k] == ',' || p[k] == '\n' || p[k] == '"') << k;
    return bits;
#endif
}

// The field of `length` (eight bytes readable) as [-]digits[.digits], the way the general
// reader reads it; false for anything else. The characters are looked at together.
[[gnu::always_inline]] inline bool ReadShortNumber(const char* field, int length, CsvScale scale,
                                                   int64_t& value) {
    static constexpr int64_t kPow[6] = {1, 10, 100, 1000, 10000, 100000};
    if (length < 1 || length > 8 || scale.power > 5) return false;
    uint64_t c;
    std::memcpy(&c, field, 8);
    if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__) c = __builtin_bswap64(c);
    const uint64_t inside = length == 8 ? ~0ull : (1ull << (8 * length)) - 1;
    c &= inside;
    const int sign = (c & 0xFF) == '-';
    c >>= 8 * sign;
    const int n = length - sign; // characters after the sign
    const uint64_t x = c ^ 0x3030303030303030ull;
    // The high bit of every character that is not a digit (a carry can only add bits).
    const uint64_t other =
        (x | (x + 0x7676767676767676ull)) & (inside >> (8 * sign)) & 0x8080808080808080ull;
    const int k = other ? __builtin_ctzll(other) >> 3 : n; // the point, or the end
    bool ok = (other & (other - 1)) == 0 && (!other || ((c >> (8 * k)) & 0xFF) == '.');
    const int fraction = other ? n - k - 1 : 0;
    const int kept = fraction < scale.power ? fraction : scale.power;
    ok = ok && (fraction == kept || scale.truncate) && k + kept > 0;
    // The digits without the point.
    const uint64_t whole = k >= 8 ? c : c & ((1ull << (8 * k)) - 1);
    const uint64_t digits = other ? whole | (((c >> (8 * k)) >> 8) << (8 * k)) : c;
    const int64_t m =
        int64_t(csv_detail::DigitsValue(digits, ok ? k + kept : 1)) * kPow[scale.power - kept];
    value = sign ? -m : m;
    return ok;
}

using Separators = CsvPlainLines::Separators;

bool Seek(Separators& scan, const char* p) {
    scan.cursor = nullptr;
    if (scan.end - p < kBlock) return false;
    scan.block = scan.cursor = p;
    scan.bits = SeparatorBits(p);
    return true;
}

// The next separator; null where the text has no whole block left.
[[gnu::always_inline]] inline const char* NextSeparator(Separators& scan) {
    while (!scan.bits) {
        scan.block += kBlock;
        if (scan.end - scan.block < kBlock) return nullptr;
        __builtin_prefetch(scan.block + kCsvFetchAhead, 0, 3);
        scan.bits = SeparatorBits(scan.block);
    }
    const char* at = scan.block + __builtin_ctzll(scan.bits);
    scan.bits &= scan.bits - 1;
    return at;
}

// One line (see CsvPlainLines::Read). Compiled twice: the shifts by a varying count take one
// instruction where the processor has BMI2, three without.
__attribute__((target_clones("arch=x86-64-v3", "default"))) bool
ReadLine(Separators& scan, const int8_t* field, int columns, const CsvScale* scales, const char* at,
         int64_t* values, const char*& next) {
    if (at != scan.cursor && !Seek(scan, at)) return false;
    const char* start = at;
    const char* sep = nullptr;
    bool ok = true;
    for (int column = 0; column < columns; ++column) {
        sep = NextSeparator(scan);
        if (!sep || (*sep != ',' && (*sep == '"' || column + 1 < columns))) {
            scan.cursor = nullptr; // the general reader takes the line; look again where it ends
            return false;
        }
        const char* stop = sep - (*sep == '\n' && sep > start && sep[-1] == '\r');
        const int i = field[column];
        const int length = int(stop - start);
        int64_t first = 0;
        if (i >= 0)
            ok &= ReadShortNumber(start, length, scales[i], values[i]);
        else if (column == 0) // the first field says whether the line is data, read or not
            ok &= ReadShortNumber(start, length, {0, true}, first);
        start = sep + 1;
    }
    while (*sep != '\n') {
        sep = NextSeparator(scan);
        if (!sep || *sep == '"') {
            scan.cursor = nullptr;
            return false;
        }
    }
    start = sep + 1;
    if (*start == '\r' && start[1] != '\n') ++start; // LF CR
    scan.cursor = next = start;
    return ok;
}

} // namespace

CsvPlainLines::CsvPlainLines(const CsvLines& text, const std::vector<int>& columns,
                             const std::vector<CsvScale>& scales)
    : scales_(scales) {
    scan_.end = text.end - std::min<ptrdiff_t>(kReadAhead, text.end - text.begin);
    usable_ = text.ending == '\n' && columns.size() < 128;
    const int count = columns.empty() ? 1 : columns.back() + 1;
    field_.assign(size_t(count), -1);
    for (size_t i = 0; i < columns.size(); ++i) {
        int8_t& f = field_[size_t(columns[i])];
        usable_ = usable_ && f < 0;
        f = int8_t(i);
    }
}

bool CsvPlainLines::Read(const char* at, int64_t* values, const char*& next) {
    return usable_ &&
           ReadLine(scan_, field_.data(), int(field_.size()), scales_.data(), at, values, next);
}

} // namespace qvtk
