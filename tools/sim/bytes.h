#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qvtk::sim {

// Every multi-byte number the logger writes is big-endian.
inline void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, value >> 16);
    PutU16(out, value & 0xFFFF);
}

inline void SetU16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value >> 8);
    out[at + 1] = static_cast<uint8_t>(value);
}

inline void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    SetU16(out, at, value >> 16);
    SetU16(out, at + 2, value & 0xFFFF);
}

// Copies text into a fixed field, cut to fit; the rest of the field stays as it is.
inline void SetText(std::vector<uint8_t>& out, size_t at, size_t size, std::string_view text) {
    for (size_t i = 0; i < text.size() && i < size; ++i)
        out[at + i] = static_cast<uint8_t>(text[i]);
}

} // namespace qvtk::sim
