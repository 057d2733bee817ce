#include "data/family4_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "data/arith.h"
#include "data/family4_format.h"
#include "data/lap_marker.h"
#include "data/read_outcome.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

LoadOptions g_loadOptions;

namespace {

constexpr uint8_t kGroupEnd = 127;
constexpr int kChunk = 512; // samples gathered before they are written to the columns

// What an item addressed to a column does.
enum class ItemRole : uint8_t {
    kSkip,
    kValue,       // through the column's table of every item word
    kValueDirect, // converted item by item: too few items to pay for a table
    kMarker,
    kGpsPosition,
    kGpsByte,
    kGpsSpeed
};

// A table of every item word is worth its 65 536 conversions from this many items on.
constexpr int64_t kItemsForTable = 16384;

// The raw value forms of the items.
enum class RawForm : uint8_t { kUnsigned16, kSigned16, kSigned8 };

// What the item stream needs to know of a column, looked up once per load.
struct ColumnPlan {
    ItemRole role = ItemRole::kSkip;
    bool longItem = false; // items of 17 bytes (positions), else 3
    RawForm form = RawForm::kUnsigned16;
    int dense = -1;                  // the column's place among the decoded ones
    const int32_t* stored = nullptr; // kValue: the stored value of every item word
    Family4Conversion conversion;    // kValueDirect
};

struct ItemTable {
    ColumnPlan column[128]; // by the column byte of an item; 64 and up are never decoded
};

bool IsDecoded(const ChannelInfo& info) {
    return info.kind == 1 || info.kind == 3;
}

inline uint16_t Word(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t Long(const uint8_t* p) {
    return uint32_t(Word(p)) << 16 | Word(p + 2);
}

// The raw value of a 3-byte item in the channel's signed form.
inline int32_t RawValue(RawForm form, const uint8_t* item) {
    const uint16_t word = Word(item + 1);
    return form == RawForm::kUnsigned16 ? word
           : form == RawForm::kSigned16 ? int16_t(word)
                                        : int8_t(item[2]);
}

RawForm FormOf(const ChannelInfo& c) {
    if (!c.signedRaw) return RawForm::kUnsigned16;
    return c.bitDepth ? RawForm::kSigned16 : RawForm::kSigned8;
}

// Every value column gets the stored value of every possible item word: each conversion is
// worked out once per word instead of once per item. The tables are kept for the process,
// one per column: they depend only on the channel's conversion, which the next recording of
// the same logger repeats, and building one costs more than decoding a short file.
struct StoredTable {
    bool built = false;
    RawForm form = RawForm::kUnsigned16;
    uint8_t conversion = 0;
    int32_t calA = 0, calB = 0, calOffset = 0;
    int32_t tableIn[10] = {}, tableOut[10] = {};
    std::vector<int32_t> stored;
};

bool SameConversion(const StoredTable& t, const ChannelInfo& info) {
    return t.built && t.form == FormOf(info) && t.conversion == info.conversion &&
           t.calA == info.calA && t.calB == info.calB && t.calOffset == info.calOffset &&
           std::equal(t.tableIn, t.tableIn + 10, info.tableIn) &&
           std::equal(t.tableOut, t.tableOut + 10, info.tableOut);
}

const int32_t* StoredValues(int column, const ChannelInfo& info) {
    static StoredTable tables[kColumnCount];
    StoredTable& t = tables[column];
    if (SameConversion(t, info)) return t.stored.data();
    t.built = false; // until the table is whole
    const Family4Conversion conversion = PrepareFamily4Conversion(info);
    t.stored.resize(65536);
    for (uint32_t word = 0; word < 65536; ++word) {
        const uint8_t item[3] = {0, uint8_t(word >> 8), uint8_t(word)};
        t.stored[word] = ApplyFamily4Conversion(conversion, RawValue(FormOf(info), item));
    }
    t.form = FormOf(info);
    t.conversion = info.conversion;
    t.calA = info.calA;
    t.calB = info.calB;
    t.calOffset = info.calOffset;
    std::copy(info.tableIn, info.tableIn + 10, t.tableIn);
    std::copy(info.tableOut, info.tableOut + 10, t.tableOut);
    t.built = true;
    return t.stored.data();
}

// decode: the columns whose items are taken (the slot's buffers are allocated by then), with
// the number of items each column has; without it only the item lengths are known, as the
// counting pass needs.
void MakeItemTable(const Slot& s, ItemTable& t, bool decode, const int64_t* items = nullptr) {
    for (int c = 0; c < kColumnCount; ++c) {
        const ChannelInfo& info = s.channels[c];
        ColumnPlan& p = t.column[c];
        p.longItem = info.code == kCodeGpsPosition || info.code == kCodeGpsByte;
        p.form = FormOf(info);
        if (!decode || !IsDecoded(info) || !HasFullBuffer(s, c)) continue; // passed over
        switch (info.code) {
        case kCodeGpsPosition:
            p.role = ItemRole::kGpsPosition;
            break;
        case kCodeGpsByte:
            p.role = ItemRole::kGpsByte;
            break;
        case kCodeGpsSpeed:
            p.role = ItemRole::kGpsSpeed;
            break;
        case kCodeVB:
            p.role = ItemRole::kMarker;
            break;
        default:
            if (items && items[c] < kItemsForTable) {
                p.role = ItemRole::kValueDirect;
                p.conversion = PrepareFamily4Conversion(info);
            } else {
                p.role = ItemRole::kValue;
                p.stored = StoredValues(c, info);
            }
            break;
        }
    }
}

// The item stream, walked the same way by the counting and the decoding pass so that both
// agree on every sample. onSamples(n, repeat): n samples begin (a group is one, a repeat byte
// its low six bits + 1, the larger of the two counts the format allows); onItem(column,
// first byte): a whole item of the current group. An item cut off by the end of the file ends the
// stream (and the walk returns false); the byte 127 ends a group and is consumed.
template <class OnSamples, class OnItem>
bool WalkItems(const ItemTable& t, Bytes b, OnSamples onSamples, OnItem onItem) {
    size_t pos = kFamily4DataStart;
    while (pos < b.size()) {
        const uint8_t first = b[pos];
        if (first & 0x80) {
            if (!onSamples((first & 0x3F) + 1, true)) return true;
            ++pos;
            continue;
        }
        if (!onSamples(1, false)) return true;
        int previous = -1;
        while (pos < b.size()) {
            const uint8_t column = b[pos];
            if (column & 0x80 || int(column) <= previous) break;
            if (column == kGroupEnd) {
                ++pos;
                break;
            }
            // Two paths instead of a looked-up length: the processor then predicts where the
            // next item starts instead of waiting for this one's length.
            if (t.column[column].longItem) [[unlikely]] {
                if (17 > b.size() - pos) return false;
                onItem(int(column), b.data() + pos);
                pos += 17;
            } else {
                if (3 > b.size() - pos) return false;
                onItem(int(column), b.data() + pos);
                pos += 3;
            }
            previous = column;
        }
    }
    return true;
}

// Decoding state. The current value of every decoded column is kept here and copied into a
// chunk of rows, one per sample; a full chunk goes into the columns one column at a time,
// which keeps those writes sequential however many channels the file has.
struct Family4Load {
    Slot* s = nullptr;
    ItemTable items;
    int32_t next = 0, end = 0; // the next sample to write, one past the last allowed
    int columns[kColumnCount]; // the decoded columns in order
    int columnCount = 0;
    int32_t current[kColumnCount] = {}; // by dense index
    int gpsDense = -1;                  // the GPS position column: its value is the fix, per sample
    int front = -1, rear = -1, gpsSpeed = -1, strokeFront = -1, strokeRear = -1; // columns
    bool hasGpsSpeed = false;
    bool inGroup = false;                // items of a group are being read
    bool pulse = false;                  // the group carried a lap-marker bit
    uint8_t status = 0;                  // the group's fix status
    int32_t lat = 0, lon = 0, extra = 0; // the last position
    std::vector<int32_t> chunk;          // kChunk rows of columnCount values
    int32_t chunkLat[kChunk], chunkLon[kChunk], chunkExtra[kChunk];
    uint8_t chunkStatus[kChunk], chunkPulse[kChunk];
    int fill = 0;
    int32_t chunkFirst = 0;
    DistanceRun distance;
};

int ColumnOf(const Family4Load& L, ChannelCode code) {
    for (int d = 0; d < L.columnCount; ++d)
        if (L.s->channels[L.columns[d]].code == code) return L.columns[d];
    return -1;
}

void FindColumns(Family4Load& L) {
    for (int c = 0; c < kColumnCount; ++c) {
        ColumnPlan& p = L.items.column[c];
        if (p.role == ItemRole::kSkip) continue;
        p.dense = L.columnCount;
        L.columns[L.columnCount++] = c;
    }
    L.front = ColumnOf(L, kCodeVFW);
    L.rear = ColumnOf(L, kCodeVRW);
    L.gpsSpeed = ColumnOf(L, kCodeGpsSpeed);
    const int gps = ColumnOf(L, kCodeGpsPosition);
    L.gpsDense = gps >= 0 ? L.items.column[gps].dense : -1;
    L.strokeFront = ColumnOf(L, kCodeFrSUS);
    L.strokeRear = ColumnOf(L, kCodeRrSUS);
    L.chunk.assign(size_t(L.columnCount) * kChunk, 0);
}

// Appending carries on from the recording's last sample.
void TakeCurrentFrom(Family4Load& L, int32_t i) {
    const Slot& s = *L.s;
    if (i < 1) return;
    for (int d = 0; d < L.columnCount; ++d) L.current[d] = s.samples[L.columns[d]][i - 1];
    if (L.gpsDense >= 0) L.current[L.gpsDense] = 0;
    L.lat = s.gps.lat[i - 1];
    L.lon = s.gps.lon[i - 1];
    L.extra = s.gps.extra[i - 1];
}

// The chunk into the columns, then the distances, stroke maxima and lap marks of its samples.
void FlushChunk(Family4Load& L) {
    Slot& s = *L.s;
    const int n = L.fill;
    const int32_t first = L.chunkFirst;
    const size_t width = size_t(L.columnCount);
    size_t d = 0;
    for (; d + 4 <= width; d += 4) { // four columns a pass: each row is read in one piece
        int32_t* x0 = s.samples[L.columns[d]] + first;
        int32_t* x1 = s.samples[L.columns[d + 1]] + first;
        int32_t* x2 = s.samples[L.columns[d + 2]] + first;
        int32_t* x3 = s.samples[L.columns[d + 3]] + first;
        const int32_t* row = L.chunk.data() + d;
        for (int k = 0; k < n; ++k, row += width) {
            x0[k] = row[0];
            x1[k] = row[1];
            x2[k] = row[2];
            x3[k] = row[3];
        }
    }
    for (; d < width; ++d) {
        int32_t* x = s.samples[L.columns[d]] + first;
        const int32_t* row = L.chunk.data() + d;
        for (int k = 0; k < n; ++k, row += width) x[k] = *row;
    }
    std::memcpy(s.gps.lat + first, L.chunkLat, size_t(n) * sizeof(int32_t));
    std::memcpy(s.gps.lon + first, L.chunkLon, size_t(n) * sizeof(int32_t));
    std::memcpy(s.gps.extra + first, L.chunkExtra, size_t(n) * sizeof(int32_t));
    std::memcpy(s.gps.status + first, L.chunkStatus, size_t(n));
    static const int32_t kNone[kChunk] = {};
    auto column = [&](int c) { return c >= 0 ? s.samples[c] + first : kNone; };
    const int32_t *front = column(L.front), *rear = column(L.rear);
    const int32_t* selectedSpeed = L.hasGpsSpeed ? column(L.gpsSpeed) : front;
    const int32_t *strokeFront = column(L.strokeFront), *strokeRear = column(L.strokeRear);
    DistanceRun run = L.distance;
    int32_t strokeMaxFront = s.header.strokeRawMaxFront, strokeMaxRear = s.header.strokeRawMaxRear;
    for (int k = 0; k < n; ++k) {
        const int32_t i = first + k;
        AddDistance(s, run, i, uint32_t(front[k] / 100), uint32_t(rear[k] / 100),
                    uint32_t(selectedSpeed[k] / 100));
        if (i > 200) {
            strokeMaxFront = std::max(strokeMaxFront, strokeFront[k]);
            strokeMaxRear = std::max(strokeMaxRear, strokeRear[k]);
        }
        if (L.chunkPulse[k]) {
            DistanceRun pulse = run; // the run itself stays in registers
            TakeLapPulse(s, pulse, i);
            run = pulse;
        }
    }
    s.header.strokeRawMaxFront = strokeMaxFront;
    s.header.strokeRawMaxRear = strokeMaxRear;
    L.distance = run;
    L.chunkFirst += n;
    L.fill = 0;
}

// Writes the current values as the next sample.
void EmitSample(Family4Load& L, bool repeat) {
    const int k = L.fill;
    const size_t width = size_t(L.columnCount);
    int32_t* row = L.chunk.data() + size_t(k) * width;
    if (width) std::memcpy(row, L.current, width * sizeof(int32_t)); // no chunk without columns
    L.chunkLat[k] = L.lat;
    L.chunkLon[k] = L.lon;
    L.chunkExtra[k] = L.extra;
    // A sample without its own position has no fix: repeated positions carry status 0.
    L.chunkStatus[k] = repeat ? 0 : L.status;
    L.chunkPulse[k] = !repeat && L.pulse;
    if (L.gpsDense >= 0) {
        if (repeat) row[L.gpsDense] = 0;
        L.current[L.gpsDense] = 0;
    }
    ++L.next;
    if (++L.fill == kChunk) FlushChunk(L);
}

void CloseGroup(Family4Load& L) {
    if (!L.inGroup) return;
    EmitSample(L, false);
    L.inGroup = false;
}

// Starts n samples; false once the counted total is reached.
bool BeginSamples(Family4Load& L, int n, bool repeat) {
    CloseGroup(L);
    if (!repeat) {
        if (L.next >= L.end) return false;
        L.inGroup = true;
        L.pulse = false;
        L.status = 0;
        return true;
    }
    for (int k = 0; k < n; ++k) {
        if (L.next >= L.end) return false;
        EmitSample(L, true);
    }
    return true;
}

// The walk hands over whole items only (3 bytes, 17 for positions), so the bytes are read
// directly.
inline __attribute__((always_inline)) void TakeItem(Family4Load& L, int column,
                                                    const uint8_t* item) {
    const ColumnPlan& p = L.items.column[column];
    switch (p.role) {
    case ItemRole::kSkip:
        return;
    case ItemRole::kValue:
        L.current[p.dense] = p.stored[Word(item + 1)];
        return;
    case ItemRole::kValueDirect:
        L.current[p.dense] = ApplyFamily4Conversion(p.conversion, RawValue(p.form, item));
        return;
    case ItemRole::kGpsPosition: {
        const uint8_t fix = item[2];
        L.status = fix >= '0' && fix <= '5' ? uint8_t(fix - '0') : 0;
        L.lat = int32_t(Long(item + 3));
        L.lon = int32_t(Long(item + 8));
        if (item[7] == 'S') L.lat = WrapMul(L.lat, -1);
        if (item[12] == 'W') L.lon = WrapMul(L.lon, -1);
        L.extra = Word(item + 15);
        L.current[p.dense] = L.status * 1000;
        return;
    }
    case ItemRole::kGpsByte:
        L.current[p.dense] = item[2] * 1000;
        return;
    case ItemRole::kGpsSpeed:
        L.current[p.dense] = Word(item + 1) * 10;
        return;
    case ItemRole::kMarker: {
        const int32_t raw = RawValue(p.form, item);
        L.current[p.dense] = raw & ~0xF; // the marker bit and its neighbours are not the value
        L.pulse = L.pulse || (raw & 1);
        return;
    }
    }
}

// Appending: marks continue after the recording's own, the end entries are taken back.
void ContinueLapMarks(Slot& s) {
    LapMarkTable& t = s.laps;
    t.count = std::max(0, t.count - 1);
    for (int k = t.count + 1; k < kLapMarkEntries; ++k) t.marks[k] = 0;
}

ReadOutcome Reject(FileSlot slot, bool append) {
    ShowMessage("File Error.", "File Error!!");
    // An appended file that is rejected leaves the recording already in the slot as it was.
    if (!append) CloseSlot(slot);
    return {};
}

} // namespace

ReadOutcome ReadFamily4File(FileSlot slot, Bytes bytes, std::string_view) {
    Slot& s = SlotOf(slot);
    const bool append = g_loadOptions.appendFamily4 && s.file.fileKind == kFileFamily4;
    const bool magic = bytes.size() >= 13 && std::memcmp(bytes.data(), kFamily4Magic, 13) == 0;
    const int version = magic ? 0 : ByteAt(bytes, 15);
    if (!DebugMode() && (Family4HeaderRejected(slot, bytes, version) || !Family4TableValid(bytes)))
        return Reject(slot, append);

    const int32_t oldCount = append ? s.sampleCount : 1;
    s.active = true;
    s.file.fileKind = kFileFamily4;
    s.file.logVersion = version;
    s.sampleRateFactor = 1.0f;
    ReadFamily4Header(slot, bytes);
    ReadFamily4ChannelTable(slot, bytes, append);
    if (slot == 0) BuildChannelIndexByCode();

    // Counting pass: the samples, and whether the GPS gives a speed to measure distance by.
    auto counting = std::make_unique<ItemTable>();
    MakeItemTable(s, *counting, false);
    bool isGpsSpeed[128] = {};
    for (int c = 0; c < kColumnCount; ++c)
        isGpsSpeed[c] = IsDecoded(s.channels[c]) && s.channels[c].code == kCodeGpsSpeed;
    int64_t count = 0;
    bool gpsSpeedSeen = false;
    int64_t items[128] = {};
    const bool whole = WalkItems(
        *counting, bytes, [&](int n, bool) { return (count += n), true; },
        [&](int column, const uint8_t*) {
            gpsSpeedSeen |= isGpsSpeed[column];
            ++items[column];
        });
    if (oldCount + count > kMaxSampleCount) {
        // A few repeat bytes stand for hours: the file is corrupted, not a ride to allocate for.
        ShowSampleCountCorrupted(oldCount + count);
        if (!append) CloseSlot(slot);
        return {};
    }
    const int32_t total = oldCount + int32_t(count);
    const bool allocated = append ? GrowSlotBuffers(slot, total + kSpareSamples)
                                  : AllocateSlotBuffers(slot, int32_t(count) + kSpareSamples);
    if (!allocated) {
        CloseSlot(slot);
        return {};
    }

    auto L = std::make_unique<Family4Load>();
    L->s = &s;
    MakeItemTable(s, L->items, true, items); // the buffers now say which columns take samples
    L->next = L->chunkFirst = oldCount;
    L->end = total;
    L->hasGpsSpeed = gpsSpeedSeen;
    // Laps are measured by the GPS speed when the file has one, else by the front wheel.
    s.lapDistanceSource =
        gpsSpeedSeen ? LapDistanceSource::kGpsSpeed : LapDistanceSource::kFrontWheel;
    FindColumns(*L);
    if (append) {
        ContinueLapMarks(s);
        L->distance = ContinueDistances(s, oldCount);
        TakeCurrentFrom(*L, oldCount);
    } else {
        BeginLapMarks(s);
    }
    WalkItems(
        L->items, bytes, [&](int n, bool repeat) { return BeginSamples(*L, n, repeat); },
        [&](int column, const uint8_t* item) { TakeItem(*L, column, item); });
    CloseGroup(*L);
    FlushChunk(*L);
    s.sampleCount = L->next;
    FinishLapMarks(s, L->distance);
    return {.decoded = true,
            .lapsFromGps = ByteAt(bytes, 32) == 2,
            .appended = append,
            .truncated = !whole};
}

} // namespace qvtk
