// Long CSV texts: where the text ends (its first zero byte, wherever it is) and where the column
// names are when the first lines alone are megabytes long.
#include "data/csv_text.h"

#include <gtest/gtest.h>

#include <string>

namespace qvtk {
namespace {

Bytes BytesOf(const std::string& text) {
    return Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(CsvText, ALongTextEndsAtItsFirstZeroByte) {
    const std::string line = "0.005,1234,56.7\n";
    std::string text;
    while (text.size() < (5u << 20)) text += line;
    for (size_t zero : {size_t(100), text.size() / 2 - 1, text.size() / 2, text.size() / 2 + 1,
                        text.size() - 1, text.size()}) {
        std::string t = text;
        if (zero < t.size()) t[zero] = '\0';
        t += std::string("\0", 1) + "9,9,9\n"; // a zero after the text, always
        const CsvLines lines = StartCsvLines(BytesOf(t));
        EXPECT_EQ(size_t(lines.end - lines.begin), zero) << zero;
    }
}

// The names are looked for among the first 200 lines: a file is looked at in its first
// megabytes only while those lines fit in them.
TEST(CsvText, NamesAfterLinesOfManyMegabytesAreFound) {
    for (size_t comment : {size_t(20), size_t(30000)}) {
        std::string text;
        for (int i = 0; i < 198; ++i) text += "# " + std::string(comment, 'x') + "\n";
        text += "Time,RPM\n";
        for (int i = 0; i < 1000; ++i) text += std::to_string(i) + ".000," + "1000\n";
        const CsvLayout layout = AnalyzeCsvLayout(BytesOf(text));
        EXPECT_EQ(layout.headerLine, 199) << comment;
        ASSERT_EQ(layout.names.size(), 2u) << comment;
        EXPECT_EQ(layout.names[1], "RPM");
        EXPECT_EQ(layout.dataLineNumber, 200);
        EXPECT_EQ(text.compare(layout.dataOffset, 11, "0.000,1000\n"), 0);
    }
}

} // namespace
} // namespace qvtk
