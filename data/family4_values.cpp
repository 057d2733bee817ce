#include "data/family4_format.h"
#include "data/family4_reader.h"

namespace qvtk {

namespace {

int32_t Interpolate(const ChannelInfo& c, int k, int32_t r) {
    const int32_t* in = c.tableIn;
    const int32_t* out = c.tableOut;
    if (in[k + 1] == in[k]) return out[k];
    // Table points come from the file: the widest differences times each other overflow
    // 64 bits, so the product is taken wider.
    using Wide = __int128;
    const Wide rise = Wide(out[k + 1]) - out[k];
    return int32_t(out[k] + rise * (Wide(r) - in[k]) / (Wide(in[k + 1]) - in[k]));
}

int32_t TableValue(const ChannelInfo& c, int32_t r) {
    const int32_t* in = c.tableIn;
    const int32_t* out = c.tableOut;
    if (r >= in[9]) return out[9];
    for (int k = 8; k >= 0; --k) {
        if (r < in[k]) continue;
        return Interpolate(c, k, r);
    }
    return out[0];
}

} // namespace

int32_t Family4RawValue(const ChannelInfo& c, Bytes item) {
    const uint16_t word = uint16_t(ByteAt(item, 1) << 8 | ByteAt(item, 2));
    if (!c.signedRaw) return word;
    return c.bitDepth ? int16_t(word) : int8_t(ByteAt(item, 2));
}

Family4Conversion PrepareFamily4Conversion(const ChannelInfo& c) {
    Family4Conversion v;
    v.kind = Family4Conversion::kTimesThousand;
    v.calA = c.calA;
    v.calOffset = c.calOffset;
    v.channel = &c;
    switch (c.conversion) {
    case 1:
        v.kind = c.calA == c.calB ? Family4Conversion::kZero : Family4Conversion::kTwoPoint;
        v.factor = 100000.0 / (double(c.calB) - c.calA);
        break;
    case 2:
        v.kind = Family4Conversion::kGainOffset;
        break;
    case 3:
        v.kind = c.calB == 0 ? Family4Conversion::kGainOffset : Family4Conversion::kGainDivisor;
        v.factor = c.calB == 0 ? 0 : 1000.0 / c.calB;
        break;
    case 5:
        v.kind = Family4Conversion::kTable;
        break;
    default:
        break;
    }
    return v;
}

int32_t Family4TableValue(const Family4Conversion& v, int32_t r) {
    return TableValue(*v.channel, r);
}

int32_t Family4Convert(const ChannelInfo& c, int32_t r) {
    return ApplyFamily4Conversion(PrepareFamily4Conversion(c), r);
}

} // namespace qvtk
