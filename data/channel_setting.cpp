#include "data/channel_setting.h"

#include <algorithm>

namespace qvtk {

ChannelSettings g_channelSettings;

namespace {

constexpr size_t kTableStart = 512, kTableEnd = 8192;

void CopyText(char* out, Bytes b, size_t at) {
    for (size_t i = 0; i < 8 && ByteAt(b, at + i); ++i) out[i] = char(ByteAt(b, at + i));
}

} // namespace

void ResetChannelSettings() {
    g_channelSettings = ChannelSettings();
}

bool DecodeChannelSetting(Bytes b, size_t at, ChannelSetting& c, size_t& length) {
    c = ChannelSetting();
    const uint8_t conversion = ByteAt(b, at + 15) & 7;
    length = conversion == 5 ? 112 : 48;
    if (at + length > b.size()) return false;
    c.mode = ByteAt(b, at);
    c.function = ByteAt(b, at + 1);
    c.sampleTime = ByteAt(b, at + 2);
    c.canPort = ByteAt(b, at + 3) & 1;
    c.canId = U32At(b, at + 4);
    c.dataMask = U16At(b, at + 8);
    c.bitDepth = ByteAt(b, at + 10) & 3;
    c.bitShift = ByteAt(b, at + 11) & 63;
    const uint8_t flags = ByteAt(b, at + 12);
    c.extendId = flags & 1;
    c.extraFlag = flags >> 1 & 1;
    c.lock = flags >> 2 & 1;
    c.decimals = ByteAt(b, at + 14) & 3;
    c.signedRaw = ByteAt(b, at + 14) >> 2 & 1;
    c.conversion = conversion;
    CopyText(c.name, b, at + 16);
    CopyText(c.unit, b, at + 24);
    if (conversion == 5) {
        for (size_t k = 0; k < kChannelTablePoints; ++k) {
            c.tableX[k] = I32At(b, at + 32 + 4 * k);
            c.tableY[k] = I32At(b, at + 72 + 4 * k);
        }
    } else {
        c.a1 = I32At(b, at + 32);
        c.a2 = I32At(b, at + 36);
        c.b = I32At(b, at + 40);
    }
    return true;
}

void ReadChannelSettings(FileSlot slot, Bytes header) {
    ChannelSettingTable& t = g_channelSettings.slots[slot];
    t = ChannelSettingTable();
    const Bytes table = header.first(std::min(header.size(), kTableEnd));
    size_t at = kTableStart, length = 0;
    for (ChannelSetting& c : t) {
        if (!DecodeChannelSetting(table, at, c, length)) {
            c = ChannelSetting(); // a table running into the data ends there
            break;
        }
        at += length;
    }
}

} // namespace qvtk
