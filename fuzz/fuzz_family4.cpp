// Family-4 recordings: the header, the descriptor table and the item stream from byte 8192.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qvtk::fuzz::LoadOnce("fuzz.QVL", data, size);
    return 0;
}
