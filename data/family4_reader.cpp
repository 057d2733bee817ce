#include "data/family4_reader.h"

#include <algorithm>
#include <cstring>

#include "data/arith.h"
#include "data/finishing.h"
#include "data/fixed_channels.h"
#include "data/lap_marker.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

LoadOptions g_loadOptions;

namespace {

constexpr size_t kTableStart = 512;
constexpr size_t kDataStart = 8192;
constexpr uint8_t kGroupEnd = 127;
const char kMagic[] = "4KZL V0002   ";

bool IsDecoded(const ChannelInfo& info) { return info.kind == 1 || info.kind == 3; }

size_t ItemLength(const Slot& s, int column) {
    if (column >= kColumnCount) return 3;
    ChannelCode code = s.channels[column].code;
    return code == kCodeGpsPosition || code == kCodeGpsByte ? 17 : 3;
}

// The item stream, walked the same way by the counting and the decoding pass so that both
// agree on every sample. onSamples(n): n samples begin (a group is 1, a repeat byte its low
// six bits + 1, the larger of the two counts the format allows); onItem(column, bytes): an
// item of the current group. An item cut off by the end of the file ends the stream.
template <class OnSamples, class OnItem>
void WalkItems(const Slot& s, Bytes b, OnSamples onSamples, OnItem onItem) {
    size_t pos = kDataStart;
    while (pos < b.size()) {
        const uint8_t first = b[pos];
        if (first & 0x80) {
            if (!onSamples((first & 0x3F) + 1, true)) return;
            ++pos;
            continue;
        }
        if (!onSamples(1, false)) return;
        int previous = -1;
        while (pos < b.size()) {
            const uint8_t column = b[pos];
            if (column & 0x80 || int(column) <= previous) break;
            if (column == kGroupEnd) {
                ++pos;
                break;
            }
            const size_t length = ItemLength(s, column);
            if (length > b.size() - pos) return;
            onItem(int(column), b.subspan(pos, length));
            pos += length;
            previous = column;
        }
    }
}

// The descriptors must end before the data and no raw value may be wider than 16 bits.
bool ChannelTableValid(Bytes b) {
    size_t at = kTableStart;
    for (int c = 0; c < kColumnCount; ++c) {
        const uint8_t mode = ByteAt(b, at);
        const size_t length = (ByteAt(b, at + 15) & 7) == 5 ? 112 : 48;
        if (at + length > kDataStart) return false;
        if (mode >= 1 && mode <= 3 && ByteAt(b, at + 10) > 2) return false;
        at += length;
    }
    return true;
}

bool HeaderRejected(FileSlot slot, Bytes b, int version) {
    if (ByteAt(b, 16) != 0 || ByteAt(b, 17) >= 64 || version != 0) return true;
    return slot == 0 && (ByteAt(b, 18) >= 5 || ByteAt(b, 20) >= 5);
}

void CopyText(char (&out)[9], Bytes b, size_t at) {
    std::memset(out, 0, sizeof out);
    for (size_t i = 0; i < 8 && ByteAt(b, at + i); ++i) out[i] = char(ByteAt(b, at + i));
}

// Reads the channel descriptor table (checked by ChannelTableValid, unless in debug mode).
void ReadChannelTable(FileSlot slot, Bytes b, bool append) {
    Slot& s = SlotOf(slot);
    const Slot& base = SlotOf(0);
    if (!append) ClearChannelTable(slot);
    int fileNamed = kCodeFileNamedFirst, status = kCodeStatusFirst;
    size_t at = kTableStart;
    for (int c = 0; c < kColumnCount; ++c) {
        ChannelInfo& info = s.channels[c];
        const uint8_t mode = ByteAt(b, at);
        const uint8_t conversion = ByteAt(b, at + 15) & 7;
        const size_t length = conversion == 5 ? 112 : 48;
        info = ChannelInfo();
        const bool present = mode >= 1 && mode <= 3;
        info.kind = present ? mode : 0;
        info.code = ByteAt(b, at + 1);
        if (present && info.code == 0) info.code = ChannelCode(fileNamed++);
        else if (present && info.code >= 128 && info.code <= 134) info.code = ChannelCode(status++);
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
}

void ReadHeader(FileSlot slot, Bytes b) {
    Slot& s = SlotOf(slot);
    LogHeader& h = s.header;
    h = LogHeader();
    h.headerVersion = ByteAt(b, 15);
    int marksPerLap = ByteAt(b, 34);
    s.laps.divisor = marksPerLap >= 1 && marksPerLap <= 3 ? marksPerLap : 1;
    s.controlLine = {I32At(b, 48), I32At(b, 52), I32At(b, 56), I32At(b, 60)};
    for (size_t i = 0; i < 14; ++i) h.gearTeeth[i] = ByteAt(b, 80 + i);
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
}

int32_t TableValue(const ChannelInfo& c, int32_t r) {
    const int32_t* in = c.tableIn;
    const int32_t* out = c.tableOut;
    if (r >= in[9]) return out[9];
    for (int k = 8; k >= 0; --k) {
        if (r < in[k]) continue;
        if (in[k + 1] == in[k]) return out[k];
        return int32_t(out[k] + int64_t(out[k + 1] - out[k]) * (int64_t(r) - in[k]) /
                                    (int64_t(in[k + 1]) - in[k]));
    }
    return out[0];
}

} // namespace

int32_t Family4RawValue(const ChannelInfo& c, Bytes item) {
    const uint16_t word = uint16_t(ByteAt(item, 1) << 8 | ByteAt(item, 2));
    if (!c.signedRaw) return word;
    return c.bitDepth ? int16_t(word) : int8_t(ByteAt(item, 2));
}

int32_t Family4Convert(const ChannelInfo& c, int32_t r) {
    switch (c.conversion) {
    case 1:
        if (c.calA == c.calB) return 0;
        return TruncToInt32(100000.0 / (double(c.calB) - c.calA) * (double(r) * 1000 - c.calA));
    case 2:
        return int32_t(int64_t(c.calA) * r + c.calOffset);
    case 3:
        if (c.calB == 0) return int32_t(int64_t(c.calA) * r + c.calOffset);
        return TruncToInt32(double(c.calA) * r * (1000.0 / c.calB) + c.calOffset);
    case 5:
        return TableValue(c, r);
    default:
        return WrapMul(r, 1000);
    }
}

namespace {

struct Family4Load {
    Slot* s = nullptr;
    int32_t end = 0;     // one past the last sample the count allows
    int32_t next = 0;    // the next sample to write
    int32_t group = -1;  // the sample of the group whose items are being read
    bool pulse = false;  // the group carried a lap-marker bit
    int decoded[kColumnCount] = {};
    int decodedCount = 0;
    int front = -1, rear = -1, gpsSpeed = -1, gpsPosition = -1, strokeFront = -1, strokeRear = -1;
    bool hasGpsSpeed = false;
    DistanceRun distance;
};

int DecodedColumn(const Slot& s, ChannelCode code) {
    for (int c = 0; c < kColumnCount; ++c)
        if (IsDecoded(s.channels[c]) && HasFullBuffer(s, c) && s.channels[c].code == code) return c;
    return -1;
}

void RepeatPrevious(Family4Load& L, int32_t i) {
    Slot& s = *L.s;
    for (int k = 0; k < L.decodedCount; ++k) {
        int32_t* x = s.samples[L.decoded[k]];
        x[i] = x[i - 1];
    }
    s.gps.status[i] = 0;
    s.gps.lon[i] = s.gps.lon[i - 1];
    s.gps.lat[i] = s.gps.lat[i - 1];
    s.gps.extra[i] = s.gps.extra[i - 1];
    if (L.gpsPosition >= 0) s.samples[L.gpsPosition][i] = 0; // a repeated position has no fix
}

void TakeItem(Family4Load& L, int column, Bytes item) {
    Slot& s = *L.s;
    const int32_t i = L.group;
    if (i < 0 || column >= kColumnCount || !IsDecoded(s.channels[column]) ||
        !HasFullBuffer(s, column))
        return; // not a column the decoder fills: passed over by its length
    const ChannelInfo& info = s.channels[column];
    int32_t* x = s.samples[column];
    switch (info.code) {
    case kCodeGpsPosition: {
        const uint8_t fix = ByteAt(item, 2);
        const int32_t status = fix >= '0' && fix <= '5' ? fix - '0' : 0;
        int32_t lat = int32_t(U32At(item, 3)), lon = int32_t(U32At(item, 8));
        if (ByteAt(item, 7) == 'S') lat = WrapMul(lat, -1);
        if (ByteAt(item, 12) == 'W') lon = WrapMul(lon, -1);
        x[i] = status * 1000;
        s.gps.status[i] = uint8_t(status);
        s.gps.lat[i] = lat;
        s.gps.lon[i] = lon;
        s.gps.extra[i] = U16At(item, 15);
        break;
    }
    case kCodeGpsByte:
        x[i] = ByteAt(item, 2) * 1000;
        break;
    case kCodeGpsSpeed:
        x[i] = U16At(item, 1) * 10;
        break;
    case kCodeVB: {
        const int32_t raw = Family4RawValue(info, item);
        x[i] = raw & ~0xF; // the marker bit and its neighbours are not part of the value
        if (raw & 1) L.pulse = true;
        break;
    }
    default:
        x[i] = Family4Convert(info, Family4RawValue(info, item));
        break;
    }
}

// Distances, stroke maxima and the lap marker of a finished sample.
void FinishSample(Family4Load& L, int32_t i, bool pulse) {
    Slot& s = *L.s;
    auto value = [&](int column) { return column >= 0 ? s.samples[column][i] : 0; };
    const int32_t front = value(L.front) / 100, rear = value(L.rear) / 100;
    const int32_t selected = L.hasGpsSpeed ? value(L.gpsSpeed) / 100 : front;
    AddDistance(s, L.distance, i, uint32_t(front), uint32_t(rear), uint32_t(selected));
    if (i > 200) {
        s.header.strokeRawMaxFront = std::max(s.header.strokeRawMaxFront, value(L.strokeFront));
        s.header.strokeRawMaxRear = std::max(s.header.strokeRawMaxRear, value(L.strokeRear));
    }
    if (pulse) TakeLapPulse(s, L.distance, i);
}

void CloseGroup(Family4Load& L) {
    if (L.group < 0) return;
    FinishSample(L, L.group, L.pulse);
    L.group = -1;
    L.pulse = false;
}

// Starts n samples; false once the counted total is reached.
bool BeginSamples(Family4Load& L, int n, bool repeat) {
    CloseGroup(L);
    for (int k = 0; k < n; ++k) {
        if (L.next >= L.end) return false;
        RepeatPrevious(L, L.next);
        if (repeat)
            FinishSample(L, L.next, false);
        else
            L.group = L.next;
        ++L.next;
    }
    return true;
}

void FindColumns(Family4Load& L) {
    const Slot& s = *L.s;
    for (int c = 0; c < kColumnCount; ++c)
        if (IsDecoded(s.channels[c]) && HasFullBuffer(s, c)) L.decoded[L.decodedCount++] = c;
    L.front = DecodedColumn(s, kCodeVFW);
    L.rear = DecodedColumn(s, kCodeVRW);
    L.gpsSpeed = DecodedColumn(s, kCodeGpsSpeed);
    L.gpsPosition = DecodedColumn(s, kCodeGpsPosition);
    L.strokeFront = DecodedColumn(s, kCodeFrSUS);
    L.strokeRear = DecodedColumn(s, kCodeRrSUS);
}

// Appending: marks continue after the recording's own, the end entries are taken back.
void ContinueLapMarks(Slot& s) {
    LapMarkTable& t = s.laps;
    t.count = std::max(0, t.count - 1);
    for (int k = t.count + 1; k < kLapMarkEntries; ++k) t.marks[k] = 0;
}

bool Reject(FileSlot slot, bool append) {
    ShowMessage("File Error.", "File Error!!");
    // An appended file that is rejected leaves the recording already in the slot as it was.
    if (!append) CloseSlot(slot);
    return false;
}

} // namespace

void ReadFamily4File(FileSlot slot, Bytes bytes, std::string_view) {
    Slot& s = SlotOf(slot);
    const bool append = g_loadOptions.appendFamily4 && s.file.fileKind == kFileFamily4;
    const bool magic = bytes.size() >= 13 && std::memcmp(bytes.data(), kMagic, 13) == 0;
    const int version = magic ? 0 : ByteAt(bytes, 15);
    if (!DebugMode() && (HeaderRejected(slot, bytes, version) || !ChannelTableValid(bytes)))
        return void(Reject(slot, append));

    const int32_t oldCount = append ? s.sampleCount : 1;
    s.active = true;
    s.file.fileKind = kFileFamily4;
    s.file.logVersion = version;
    s.sampleRateFactor = 1.0f;
    ReadHeader(slot, bytes);
    ReadChannelTable(slot, bytes, append);
    if (slot == 0) BuildChannelIndexByCode();

    int64_t count = 0;
    bool gpsSpeedSeen = false;
    WalkItems(
        s, bytes, [&](int n, bool) { return (count += n), true; },
        [&](int column, Bytes) {
            gpsSpeedSeen |= column < kColumnCount && IsDecoded(s.channels[column]) &&
                            s.channels[column].code == kCodeGpsSpeed;
        });
    if (count > INT32_MAX - int64_t(oldCount) - 4 * kSpareSamples)
        return void(Reject(slot, append));
    const int32_t total = oldCount + int32_t(count);
    const bool allocated = append ? GrowSlotBuffers(slot, total + kSpareSamples)
                                  : AllocateSlotBuffers(slot, int32_t(count) + kSpareSamples);
    if (!allocated) return CloseSlot(slot);

    Family4Load L;
    L.s = &s;
    L.next = oldCount;
    L.end = total;
    L.hasGpsSpeed = gpsSpeedSeen;
    FindColumns(L);
    if (append) {
        ContinueLapMarks(s);
        L.distance = ContinueDistances(s, oldCount);
    } else {
        BeginLapMarks(s);
    }
    WalkItems(
        s, bytes, [&](int n, bool repeat) { return BeginSamples(L, n, repeat); },
        [&](int column, Bytes item) { TakeItem(L, column, item); });
    CloseGroup(L);
    s.sampleCount = L.next;
    FinishLapMarks(s, L.distance);
    FinishFamily4Load(slot, ByteAt(bytes, 32) == 2, append);
}

} // namespace qvtk
