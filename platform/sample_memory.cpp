#include "platform/sample_memory.h"

#include "platform/file_read.h"
#include "platform/parallel.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvtk {

namespace {

constexpr size_t kHeader = 64;             // keeps the data 64-byte aligned
constexpr size_t kMapThreshold = 1u << 20; // from here on blocks are mapped directly
constexpr size_t kHugePage = 2u << 20;

struct BlockHeader {
    size_t bytes;  // usable size
    size_t mapped; // length of the mapping, 0 for a heap block
    void* mapping; // start of the mapping
};

BlockHeader* HeaderOf(void* block) {
    return reinterpret_cast<BlockHeader*>(static_cast<uint8_t*>(block) - kHeader);
}

void* MapBlock(size_t bytes) {
    // Over-map by a huge page so that the block can start on a huge-page boundary.
    size_t length = bytes + kHeader + kHugePage;
    void* m = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return nullptr;
    uintptr_t start = (reinterpret_cast<uintptr_t>(m) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    uint8_t* base = reinterpret_cast<uint8_t*>(start);
    madvise(base, bytes + kHeader, MADV_HUGEPAGE);
    auto* h = reinterpret_cast<BlockHeader*>(base);
    *h = {bytes, length, m};
    return base + kHeader;
}

// Reads bytes from..from + count - 1 of the file; false when it ends or fails before.
bool ReadRange(int fd, uint8_t* data, size_t from, size_t count) {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = pread(fd, data + from + got, count - got, off_t(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

// The whole file into data. A large file is read in pieces on two cores: faulting in the
// fresh memory and copying into it are most of a read, and both go twice as fast.
bool ReadPieces(int fd, uint8_t* data, size_t size) {
    constexpr size_t kPiece = 8u << 20;
    if (size <= kPiece) return ReadRange(fd, data, 0, size);
    const int pieces = int((size + kPiece - 1) / kPiece);
    std::atomic<bool> whole{true};
    ParallelFor(pieces, [&](int i) {
        const size_t from = size_t(i) * kPiece;
        if (!ReadRange(fd, data, from, std::min(kPiece, size - from))) whole = false;
    });
    return whole;
}

} // namespace

void* AllocateZeroed(size_t bytes) {
    if (bytes > SIZE_MAX / 2) return nullptr;
    if (bytes >= kMapThreshold) return MapBlock(bytes);
    auto* base = static_cast<uint8_t*>(std::calloc(1, bytes + kHeader));
    if (!base) return nullptr;
    *reinterpret_cast<BlockHeader*>(base) = {bytes, 0, base};
    return base + kHeader;
}

void* ReallocateZeroed(void* block, size_t bytes) {
    if (!block) return AllocateZeroed(bytes);
    void* fresh = AllocateZeroed(bytes);
    if (!fresh) return nullptr;
    size_t keep = HeaderOf(block)->bytes;
    std::memcpy(fresh, block, keep < bytes ? keep : bytes);
    FreeBlock(block);
    return fresh;
}

void FreeBlock(void* block) {
    if (!block) return;
    BlockHeader h = *HeaderOf(block);
    if (h.mapped)
        munmap(h.mapping, h.mapped);
    else
        std::free(h.mapping);
}

bool ReadFileBytes(const std::string& path, FileBytes& out, ReadFailure* failure) {
    FreeBlock(out.data);
    out.data = nullptr;
    out.size = 0;
    ReadFailure why = ReadFailure::kNone;
    uint64_t size = 0;
    int fd = OpenRegularFile(path, size, why);
    uint8_t* data = nullptr;
    if (fd >= 0) {
        data = static_cast<uint8_t*>(AllocateZeroed(size ? size_t(size) : 1));
        if (!data) why = ReadFailure::kTooLarge;
    }
    if (data && !ReadPieces(fd, data, size_t(size)))
        why = ReadFailure::kReadError; // cut short while it was read
    if (fd >= 0) close(fd);
    if (failure) *failure = why;
    if (why != ReadFailure::kNone) {
        FreeBlock(data);
        return false;
    }
    out.data = data;
    out.size = size_t(size);
    return true;
}

} // namespace qvtk
