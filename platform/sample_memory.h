#pragma once
// Memory for the large per-sample tables and whole files. Large blocks come straight from the
// system on huge pages where it allows them: a recording of hours is hundreds of megabytes,
// and faulting that in 4 KB pages costs more than decoding it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_read.h"

namespace qvtk {

// Zeroed memory, or null when the system has none to give.
void* AllocateZeroed(size_t bytes);
// Grows or shrinks a block from AllocateZeroed, keeping min(old, new) bytes and zeroing the
// rest; null (with the old block untouched) on failure.
void* ReallocateZeroed(void* block, size_t bytes);
void FreeBlock(void* block);

// A whole file in memory.
struct FileBytes {
    uint8_t* data = nullptr;
    size_t size = 0;
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() { FreeBlock(data); }
};

// Reads the whole file when it is a regular file that fits in memory; false, with the reason
// when asked, when it cannot be read.
bool ReadFileBytes(const std::string& path, FileBytes& out, ReadFailure* failure = nullptr);

} // namespace qvtk
