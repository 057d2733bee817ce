#pragma once
// Length-checked reading of big-endian file bytes. A read past the end yields 0 and sets
// `overrun`; no read ever leaves the buffer.
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvtk {

using Bytes = std::span<const uint8_t>;

struct ByteCursor {
    const uint8_t* p = nullptr;
    size_t left = 0;
    bool overrun = false;
};

inline ByteCursor CursorAt(Bytes bytes, size_t offset) {
    if (offset > bytes.size()) return {bytes.data() + bytes.size(), 0, true};
    return {bytes.data() + offset, bytes.size() - offset, false};
}

inline bool Has(const ByteCursor& c, size_t n) { return c.left >= n; }

inline void Skip(ByteCursor& c, size_t n) {
    if (c.left < n) {
        c.p += c.left;
        c.left = 0;
        c.overrun = true;
        return;
    }
    c.p += n;
    c.left -= n;
}

inline uint8_t ReadU8(ByteCursor& c) {
    if (c.left < 1) {
        c.overrun = true;
        return 0;
    }
    c.left -= 1;
    return *c.p++;
}

inline uint16_t ReadU16BE(ByteCursor& c) {
    if (c.left < 2) {
        Skip(c, 2);
        return 0;
    }
    uint16_t v = uint16_t(c.p[0] << 8 | c.p[1]);
    c.p += 2;
    c.left -= 2;
    return v;
}

inline uint32_t ReadU32BE(ByteCursor& c) {
    if (c.left < 4) {
        Skip(c, 4);
        return 0;
    }
    uint32_t v = uint32_t(c.p[0]) << 24 | uint32_t(c.p[1]) << 16 | uint32_t(c.p[2]) << 8 | c.p[3];
    c.p += 4;
    c.left -= 4;
    return v;
}

// Single values at a file offset; 0 beyond the end (the header of a short file reads as zeros).
inline uint8_t ByteAt(Bytes b, size_t offset) { return offset < b.size() ? b[offset] : 0; }
inline uint16_t U16At(Bytes b, size_t offset) {
    return uint16_t(ByteAt(b, offset) << 8 | ByteAt(b, offset + 1));
}
inline int16_t I16At(Bytes b, size_t offset) { return int16_t(U16At(b, offset)); }
inline uint32_t U32At(Bytes b, size_t offset) {
    return uint32_t(U16At(b, offset)) << 16 | U16At(b, offset + 2);
}
inline int32_t I32At(Bytes b, size_t offset) { return int32_t(U32At(b, offset)); }

} // namespace qvtk
