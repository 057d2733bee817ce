#pragma once
// The fixed parts of a family-4 file: header and channel descriptor table, shared by the
// reader of the item stream.
#include "data/arith.h"
#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

constexpr size_t kFamily4TableStart = 512;
constexpr size_t kFamily4DataStart = 8192;
extern const char kFamily4Magic[]; // 13 bytes: "4KZL V0002" and three blanks

// The descriptors end before the data and no raw value is wider than 16 bits.
bool Family4TableValid(Bytes b);
// The header breaks a rule the logger keeps (outside debug mode such a file is rejected).
bool Family4HeaderRejected(FileSlot slot, Bytes b, int version);
void ReadFamily4Header(FileSlot slot, Bytes b);
void ReadFamily4ChannelTable(FileSlot slot, Bytes b, bool append);

// A channel's conversion with its constant part worked out once per load, computed in the
// same order as the conversion itself so that every result is the same.
struct Family4Conversion {
    enum Kind : uint8_t { kTimesThousand, kZero, kTwoPoint, kGainOffset, kGainDivisor, kTable };
    Kind kind = kTimesThousand;
    int32_t calA = 0, calOffset = 0;
    double factor = 0; // 100000 / (cal B - cal A), or 1000 / cal B
    const ChannelInfo* channel = nullptr;
};

Family4Conversion PrepareFamily4Conversion(const ChannelInfo& channel);
int32_t Family4TableValue(const Family4Conversion& conversion, int32_t raw);

inline int32_t ApplyFamily4Conversion(const Family4Conversion& v, int32_t r) {
    switch (v.kind) {
    case Family4Conversion::kZero: return 0;
    case Family4Conversion::kTwoPoint: return TruncToInt32(v.factor * (double(r) * 1000 - v.calA));
    case Family4Conversion::kGainOffset: return int32_t(int64_t(v.calA) * r + v.calOffset);
    case Family4Conversion::kGainDivisor:
        return TruncToInt32(double(v.calA) * r * v.factor + v.calOffset);
    case Family4Conversion::kTable: return Family4TableValue(v, r);
    default: return WrapMul(r, 1000);
    }
}

} // namespace qvtk
