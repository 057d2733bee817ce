#pragma once
// The quick way through the data lines most files hold: no quotes, every field up to the last
// one read a short decimal number. The separators of 64 bytes are found together and the
// numbers are read without a branch per character, so that neither the varying field lengths
// nor the memory behind the text hold the reader up. A line it does not take is left to the
// general reader, which reads it the same way.
#include <cstdint>
#include <vector>

#include "data/csv_text.h"

namespace qvtk {

class CsvPlainLines {
public:
    // `columns` are the fields to read, in ascending order; `scales` how each is read.
    CsvPlainLines(const CsvLines& text, const std::vector<int>& columns,
                  const std::vector<CsvScale>& scales);

    // Reads the line at `at` when it is plain data: values[i] is the field columns[i], `next`
    // the line after it. False leaves the line to the general reader (quotes, a field that is
    // empty, long or not a plain number, fewer fields than needed, the end of the text).
    bool Read(const char* at, int64_t* values, const char*& next);

    // Where the separators of the text have got to (the reader's own state).
    struct Separators {
        const char* end = nullptr;    // where whole blocks stop
        const char* block = nullptr;  // of the separators in `bits`
        uint64_t bits = 0;            // separators not yet passed, bit k for block[k]
        const char* cursor = nullptr; // the line the separators have reached, or null
    };

private:
    Separators scan_;
    std::vector<int8_t> field_; // per column up to the last read: its value, or -1
    std::vector<CsvScale> scales_;
    bool usable_ = true; // lines end in LF or CR LF, no column is read twice
};

} // namespace qvtk
