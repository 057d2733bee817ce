#include "platform/sample_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvtk {

namespace {

constexpr size_t kHeader = 64;               // keeps the data 64-byte aligned
constexpr size_t kMapThreshold = 1u << 20;   // from here on blocks are mapped directly
constexpr size_t kHugePage = 2u << 20;

struct BlockHeader {
    size_t bytes;    // usable size
    size_t mapped;   // length of the mapping, 0 for a heap block
    void* mapping;   // start of the mapping
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

bool ReadFileBytes(const std::string& path, FileBytes& out) {
    FreeBlock(out.data);
    out.data = nullptr;
    out.size = 0;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    size_t size = ok ? size_t(st.st_size) : 0;
    uint8_t* data = ok ? static_cast<uint8_t*>(AllocateZeroed(size ? size : 1)) : nullptr;
    size_t got = 0;
    while (data && got < size) {
        ssize_t n = read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fd);
    if (!data || got != size) {
        FreeBlock(data);
        return false;
    }
    out.data = data;
    out.size = size;
    return true;
}

} // namespace qvtk
