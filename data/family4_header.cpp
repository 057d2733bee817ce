#include "data/family4_format.h"

#include <algorithm>
#include <cstring>

#include "data/can_setup_values.h"
#include "data/channel_setting.h"
#include "data/fixed_channels.h"
#include "data/gear_thresholds.h"

namespace qvtk {

const char kFamily4Magic[] = "4KZL V0002   ";

namespace {

void CopyText(char (&out)[9], Bytes b, size_t at) {
    std::memset(out, 0, sizeof out);
    for (size_t i = 0; i < 8 && ByteAt(b, at + i); ++i) out[i] = char(ByteAt(b, at + i));
}

} // namespace

// The descriptors must end before the data and no raw value may be wider than 16 bits.
bool Family4TableValid(Bytes b) {
    size_t at = kFamily4TableStart;
    for (int c = 0; c < kColumnCount; ++c) {
        const uint8_t mode = ByteAt(b, at);
        const size_t length = (ByteAt(b, at + 15) & 7) == 5 ? 112 : 48;
        if (at + length > kFamily4DataStart) return false;
        if (mode >= 1 && mode <= 3 && ByteAt(b, at + 10) > 2) return false;
        at += length;
    }
    return true;
}

bool Family4HeaderRejected(FileSlot slot, Bytes b, int version) {
    if (ByteAt(b, 16) != 0 || ByteAt(b, 17) >= 64 || version != 0) return true;
    return slot == 0 && (ByteAt(b, 18) >= 5 || ByteAt(b, 20) >= 5);
}

// Reads the channel descriptor table (checked by Family4TableValid, unless in debug mode).
void ReadFamily4ChannelTable(FileSlot slot, Bytes b, bool append) {
    Slot& s = SlotOf(slot);
    const Slot& base = SlotOf(0);
    if (!append) ClearChannelTable(slot);
    int fileNamed = kCodeFileNamedFirst, status = kCodeStatusFirst;
    size_t at = kFamily4TableStart;
    for (int c = 0; c < kColumnCount; ++c) {
        ChannelInfo& info = s.channels[c];
        const uint8_t mode = ByteAt(b, at);
        const uint8_t conversion = ByteAt(b, at + 15) & 7;
        const size_t length = conversion == 5 ? 112 : 48;
        info = ChannelInfo();
        const bool present = mode >= 1 && mode <= 3;
        info.kind = present ? mode : 0;
        info.code = ByteAt(b, at + 1);
        if (present && info.code == 0)
            info.code = ChannelCode(fileNamed++);
        else if (present && info.code >= 128 && info.code <= 134)
            info.code = ChannelCode(status++);
        info.sampleTimeIndex = ByteAt(b, at + 2);
        info.canPort = ByteAt(b, at + 3);
        info.canId = U32At(b, at + 4);
        info.dataMask = U16At(b, at + 8);
        info.bitDepth = ByteAt(b, at + 10);
        info.bitShift = ByteAt(b, at + 11) & 63;
        info.flags = ByteAt(b, at + 12);
        info.extendId = info.flags & 1;
        info.flag1 = info.flags >> 1 & 1;
        info.lock = info.flags >> 2 & 1;
        info.decimals = ByteAt(b, at + 14) & 3;
        info.signedRaw = ByteAt(b, at + 14) >> 2 & 1;
        info.conversion = conversion;
        CopyText(info.name, b, at + 16);
        CopyText(info.unit, b, at + 24);
        if (conversion >= 1 && conversion <= 3) {
            info.calA = I32At(b, at + 32);
            info.calB = I32At(b, at + 36);
            info.calOffset = I32At(b, at + 40);
        } else if (conversion == 5) {
            for (size_t k = 0; k < 10; ++k) {
                info.tableIn[k] = I32At(b, at + 32 + 4 * k);
                info.tableOut[k] = I32At(b, at + 72 + 4 * k);
            }
        }
        // File 2 and 3 keep File 1's present columns, empty, so that the columns line up.
        const bool keep = slot != 0 && IsPresent(base, c);
        s.channelFlags[c] = present || keep ? kChannelPresent | kChannelShown : 0;
        at += length;
    }
    ReadChannelSettings(slot, b); // the table as the logger keeps it, for the setup dialogs
}

void ReadFamily4Header(FileSlot slot, Bytes b) {
    Slot& s = SlotOf(slot);
    LogHeader& h = s.header;
    h = LogHeader();
    h.headerVersion = ByteAt(b, 15);
    int marksPerLap = ByteAt(b, 34);
    s.laps.divisor = marksPerLap >= 1 && marksPerLap <= 3 ? marksPerLap : 1;
    s.controlLine = {I32At(b, 48), I32At(b, 52), I32At(b, 56), I32At(b, 60)};
    for (size_t i = 0; i < 14; ++i) h.gearTeeth[i] = ByteAt(b, 80 + i);
    ComputeGearThresholds(h);
    h.sprocketFront = ByteAt(b, 94);
    h.sprocketRear = ByteAt(b, 95);
    if (h.sprocketFront < 10 || h.sprocketRear < 10) h.sprocketFront = h.sprocketRear = 1;
    h.tireFront = std::max<int>(100, U16At(b, 96));
    h.tireRear = std::max<int>(100, U16At(b, 98));
    for (size_t i = 0; i < 256 && ByteAt(b, 256 + i); ++i) h.memo[i] = char(ByteAt(b, 256 + i));
    if (slot != 0) return;
    g_session.firmware.clear();
    int link = ByteAt(b, 31);
    g_session.linkRatio = link == 0 ? 229 : link + 150;
    std::memset(g_session.setupEcho, 0, sizeof g_session.setupEcho);
    std::memcpy(g_session.setupEcho, b.data(), std::min<size_t>(b.size(), 512));
    std::string course;
    for (size_t i = 112; i < 128 && ByteAt(b, i) && ByteAt(b, i) != '.'; ++i)
        course += char(ByteAt(b, i));
    g_session.courseName = course + ".crs";
    DecodeCanSetupValues(b);
}

} // namespace qvtk
