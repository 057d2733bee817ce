#pragma once
// The CAN logger's channel table as the logger knows it: one ChannelSetting per channel (where
// the value comes from, which quantity it is, which bits of which CAN frame carry it, how the
// raw number becomes a value). Each file slot keeps the table of the CAN logger recording it
// holds, as its descriptors were on disk; the setup dialogs edit a working copy of File 1's.
#include <array>
#include <cstdint>

#include "data/session.h"
#include "platform/byte_cursor.h"

namespace qvtk {

constexpr int kChannelSettings = 64;
constexpr int kChannelTextChars = 10; // name and unit as kept (7 are typed, 8 are stored)
constexpr int kChannelTablePoints = 10;

// Modes of a channel.
enum ChannelMode : uint8_t { kModeDisable = 0, kModeCan = 1, kModeCalculate = 2, kModeGps = 3 };

struct ChannelSetting {
    uint8_t mode = kModeDisable;
    uint16_t function = 0;   // a code of the channel function table; 256 and up: file-named
    uint16_t sampleTime = 0; // index into 5ms .. 1000ms
    uint8_t canPort = 0;     // 0 "1-ECU", 1 "2-Ext"
    uint8_t bitDepth = 0;    // 0 "8", 1 "16(LH)", 2 "16(HL)"
    uint32_t canId = 0;      // 11 bits, or 29 with extendId
    uint8_t bitShift = 0;    // start bit in the 8-byte frame, 0-63
    uint16_t dataMask = 0;
    uint8_t extendId = 0;
    uint8_t lock = 0;              // set once; the logger keeps it
    uint8_t extraFlag = 0;         // descriptor byte 12 bit 1, carried through as it was
    uint8_t decimals = 0;          // 0-3
    uint8_t signedRaw = 0;         // the raw value is signed
    uint8_t conversion = 0;        // 0 Direct, 1 0-100%, 2 Y=a1*X+b, 3 Y=a1*X/a2+b, 4 none, 5 Table
    int32_t a1 = 0, a2 = 0, b = 0; // thousandths
    int32_t tableX[kChannelTablePoints] = {};
    int32_t tableY[kChannelTablePoints] = {};
    char name[kChannelTextChars + 1] = {};
    char unit[kChannelTextChars + 1] = {};
    // The reading the last zero adjustment took away (value x 1000), so that the same reading
    // is not taken twice; cleared when b is set by hand.
    int32_t zeroReading = 0;
};

using ChannelSettingTable = std::array<ChannelSetting, kChannelSettings>;

// The table of the last CAN logger recording loaded into each slot (all disabled before one
// was); slot 0's is what the setup dialogs edit and a CAN setup file carries.
struct ChannelSettings {
    ChannelSettingTable slots[kSlotCount];
};
extern ChannelSettings g_channelSettings;

void ResetChannelSettings();

inline bool IsGpsFunction(int function) {
    return function >= 64 && function <= 66;
}
// Items of these functions are 17 bytes long in a recording, all others 3.
inline bool HasLongItems(int function) {
    return function == 64 || function == 65;
}

// One descriptor as stored (48 bytes, 112 with conversion 5); false when it does not fit.
bool DecodeChannelSetting(Bytes b, size_t at, ChannelSetting& out, size_t& length);
// The slot's table from a family-4 header's descriptors, one per column.
void ReadChannelSettings(FileSlot slot, Bytes header);

} // namespace qvtk
