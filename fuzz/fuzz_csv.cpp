// CSV files: the search for the column names, the reader's two passes, resampling, lap marks.
#include "data/csv_import.h"
#include "fuzz/fuzz_support.h"

namespace {

uint8_t g_choice = 0; // the first byte picks how the columns are assigned

// Assignments by column number, as qvtk-cli takes them; a file with fewer columns is refused
// before the reader, so the low numbers reach the reader most often.
void Assign() {
    // A time column that jumps by hours resamples to millions of samples: such tables stop at
    // the memory error instead, which keeps the fuzzer fast and reaches that path too.
    qvtk::FailAllocationsAfterBytesForTesting(4 << 20);
    qvtk::CsvRequest& q = qvtk::g_csvImport.request;
    q = qvtk::CsvRequest();
    if (g_choice & 1) q.timebase = "1";
    if (g_choice & 2) q.map = {{"Ne", "2"}, {"VFW", "2"}, {"AUX1", "1"}};
    if (g_choice & 4) q.map.push_back({"LAP", g_choice & 8 ? "1" : "2"});
    q.lapType = g_choice & 16 ? 1 : 0;
    q.noResample = g_choice & 32;
    if (g_choice & 64) q.timebase = "300ms(3.33Hz)";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    g_choice = data[0];
    qvtk::fuzz::LoadTwice("fuzz.csv", data + 1, size - 1, Assign);
    return 0;
}
