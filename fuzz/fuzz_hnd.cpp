// hnd bit-stream recordings.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A header may ask for millions of samples; loads of that size reach no new code and slow
    // the fuzzer to a few runs a second. Counts above the limit are still read (rejected).
    const uint32_t blocks = size > 86 ? uint32_t(data[84]) << 16 | data[85] << 8 | data[86] : 0;
    if (blocks > 200 && blocks * 200 <= 5760000) return 0;
    qvtk::fuzz::LoadTwice("fuzz.hnd", data, size);
    return 0;
}
