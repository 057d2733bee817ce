// hnd bit-stream recordings, long ones included: a header may declare up to eight hours, which
// the reader allocates and walks until the stream ends.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvtk::fuzz::LoadOnce("fuzz.hnd", data, size);
    return 0;
}
