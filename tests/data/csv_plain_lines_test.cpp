// The quick reader of plain data lines against the general reader: a line it takes must give
// the values, the data-ness and the next line the general reader gives; what it leaves the
// general reader reads.
#include "data/csv_plain_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qvtk {
namespace {

// Fields of every kind the numbers of real files take, and near misses of them.
const char* const kFields[] = {
    "0",         "7",         "-0",       "12",     "1296",    "32.11",    "-31.947", "0.005",
    "5.",        ".5",        "-.5",      "1.2345", "0.00051", "9999999",  "-999999", "12345678",
    "123456789", "10799.995", "99999.99", "",       "-",       ".",        "-.",      "1.2.3",
    "--1",       "1-",        "+3",       " 2",     "2 ",      "1e5",      "nan",     "inf",
    "1:02.5",    "3/4",       "1:",       "0x1F",   "abc",     "\xD9\xA1", "1\t",     "\"4\""};

std::string RandomLine(std::mt19937& rng, int fields) {
    std::uniform_int_distribution<int> any(0, int(std::size(kFields)) - 1), common(0, 11);
    std::string line;
    for (int f = 0; f < fields; ++f) {
        if (f) line += ',';
        line += kFields[rng() % 4 ? common(rng) : any(rng)];
    }
    return line;
}

std::string RandomText(uint32_t seed, const std::string& end) {
    std::mt19937 rng(seed);
    std::string text = "t,a,b,c,d,e" + end;
    for (int k = 0; k < 4000; ++k) {
        switch (rng() % 40) {
        case 0:
            text += end;
            break;
        case 1:
            text += "# lap " + std::to_string(k) + end;
            break;
        case 2:
            text += ",,," + end;
            break;
        case 3:
            text += "\"1,2\",3,4,5,6,7" + end;
            break;
        case 4:
            text += "1,\"2" + end + "3\",4,5,6" + end;
            break; // a line end inside quotes
        case 5:
            text += RandomLine(rng, 6) + "\n\r";
            break; // LF CR
        default:
            text += RandomLine(rng, 3 + int(rng() % 6)) + end;
        }
    }
    text.resize(text.size() - rng() % 3); // a last line cut anywhere, with or without its end
    return text;
}

TEST(CsvPlainLines, EveryLineItTakesReadsAsTheGeneralReaderReadsIt) {
    const std::vector<int> columns = {0, 2, 3, 5};
    const std::vector<CsvScale> scales = {{5, false}, {3, false}, {0, true}, {3, true}};
    int taken = 0, left = 0;
    for (const std::string end : {"\n", "\r\n"}) {
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            const std::string text = RandomText(seed, end);
            const Bytes bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
            const CsvLines whole = StartCsvLines(bytes);
            CsvPlainLines plain(whole, columns, scales);
            CsvLines lines = CsvLinesFrom(whole, text.find('\n') + 1, 2);
            std::string_view line;
            std::vector<std::string_view> fields;
            std::string scratch;
            int64_t values[4] = {};
            for (;;) {
                const char* next = nullptr;
                CsvLines general = lines;
                if (!plain.Read(lines.at, values, next)) {
                    if (!lines.Next(line)) break;
                    ++left;
                    continue;
                }
                ++taken;
                ASSERT_TRUE(general.Next(line));
                ASSERT_EQ(next, general.at) << line;
                ASSERT_EQ(ClassifyCsvLine(line), CsvLineKind::Data) << line;
                SplitCsvLine(line, fields, scratch);
                for (size_t i = 0; i < columns.size(); ++i) {
                    int64_t v = 0;
                    const std::string_view field = fields.at(size_t(columns[i]));
                    ASSERT_EQ(CsvFieldValue(field, scales[i], v), CsvField::Number) << line;
                    ASSERT_EQ(values[i], v) << field << " in " << line;
                }
                lines.at = next;
            }
        }
    }
    // Most lines are plain: the quick reader must take them, or it saves nothing.
    EXPECT_GT(taken, 4000);
    EXPECT_GT(left, 4000);
}

// Lines at the very end of a text are left to the general reader (a field is read eight bytes at
// a time), and a text whose lines end in CR alone is not read quickly at all.
TEST(CsvPlainLines, LeavesTheEndOfTheTextAndOtherLineEnds) {
    std::string text;
    int64_t values[3] = {};
    const char* next = nullptr;
    for (const std::string end : {"\r\n", "\n"}) {
        text.clear();
        for (int k = 0; k < 100; ++k) text += std::to_string(k) + ",1.5,2" + end;
        const Bytes bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        const CsvLines whole = StartCsvLines(bytes);
        CsvPlainLines plain(whole, {0, 1, 2}, {{3, false}, {3, false}, {3, false}});
        const char* at = whole.begin;
        int read = 0;
        while (plain.Read(at, values, next)) {
            EXPECT_EQ(values[0], read * 1000);
            EXPECT_EQ(values[1], 1500);
            EXPECT_EQ(values[2], 2000);
            at = next;
            ++read;
        }
        EXPECT_GT(read, 80) << end.size();
        EXPECT_GT(whole.end - at, 8);
        EXPECT_LT(whole.end - at, 64 + 8 + 10);
    }

    std::string cr = text;
    for (char& c : cr)
        if (c == '\n') c = '\r';
    const Bytes crBytes(reinterpret_cast<const uint8_t*>(cr.data()), cr.size());
    const CsvLines crText = StartCsvLines(crBytes);
    CsvPlainLines crPlain(crText, {0}, {{3, false}});
    EXPECT_FALSE(crPlain.Read(crText.begin, values, next));
}

} // namespace
} // namespace qvtk
