#include "data/hnd_reader.h"

#include <algorithm>
#include <string>

#include "data/arith.h"
#include "data/fixed_channels.h"
#include "data/gear_thresholds.h"
#include "data/lap_marker.h"
#include "data/read_outcome.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

namespace {

constexpr size_t kStreamStart = 1152;

// The channels in the order the stream visits them.
enum HndChannel {
    kNe,
    kVfw,
    kVrw,
    kThrottle,
    kVb,
    kFront,
    kRear,
    kLaf1,
    kLaf2,
    kAux1,
    kAux2,
    kLap,
    kChannels
};

const int kColumnOf[kChannels] = {0, 2, 3, 1, 8, 4, 5, 6, 7, -1, -1, -1};
const int kScaleOf[kChannels] = {20, 10, 10, 1, 10, 1, 1, 1, 1, 1, 1, 1};
// Header offset of each channel's recording period (ms); the lap marker has none.
const size_t kPeriodOffset[kChannels] = {7, 11, 13, 9, 19, 21, 23, 25, 27, 15, 17, 0};

bool IsBlankOrControl(uint8_t c) {
    return c <= ' ';
}

// MSB-first bit reader over the stream.
struct BitReader {
    Bytes bytes;
    size_t bit = 0; // absolute bit position
    bool Read(uint32_t& out) {
        if (bit >= bytes.size() * 8) return false;
        out = bytes[bit / 8] >> (7 - bit % 8) & 1;
        ++bit;
        return true;
    }
};

struct Code {
    bool absolute = false;
    int32_t value = 0; // delta, or the absolute value
};

// The next code, fillers skipped; false when the stream ends first.
bool ReadCode(BitReader& r, Code& code) {
    for (;;) {
        uint32_t bits = 0, b = 0;
        int n = 0;
        do {
            if (!r.Read(b)) return false;
            bits = bits << 1 | b;
            ++n;
        } while (b == 1 && n < 31);
        int total = n == 1 ? 1 : n <= 3 ? 4 : n <= 7 ? 8 : n <= 15 ? 16 : 31;
        for (int k = n; k < total; ++k) {
            if (!r.Read(b)) return false;
            bits = bits << 1 | b;
        }
        if (n == 31) continue; // filler
        code.absolute = n >= 16;
        auto signedStep = [](uint32_t v, int32_t base) {
            return v % 2 == 0 ? int32_t(v / 2) + base : -int32_t(v / 2) - base;
        };
        if (n == 1)
            code.value = 0;
        else if (n <= 3)
            code.value = signedStep(bits & 0x7, 1);
        else if (n <= 7)
            code.value = signedStep(bits & 0x1F, 4);
        else if (n <= 15)
            code.value = signedStep(bits & 0x1FF, 19);
        else
            code.value = int32_t(bits & 0xFFFF);
        return true;
    }
}

struct HndLoad {
    Slot* s = nullptr;
    int period[kChannels] = {}; // in samples, 0 = not recorded
    bool linearFront = false, linearRear = false;
    int lafType[2] = {};
};

int32_t StoredValue(const HndLoad& L, int channel, int32_t raw) {
    const LogHeader& h = L.s->header;
    switch (channel) {
    case kNe:
        return WrapMul(raw, 1000);
    case kVfw:
    case kVrw:
        return WrapMul(raw, 100);
    case kThrottle: {
        int32_t span = h.throttleOpen - h.throttleClosed;
        if (span == 0) return 0;
        return WrapMul(int32_t((int64_t(raw) * 4 - h.throttleClosed) * 1000 / span), 100);
    }
    case kVb:
        return WrapMul(raw, 10);
    case kFront: {
        int64_t v = L.linearFront ? int64_t(raw) * 500 / 1023
                                  : 18769 - (int64_t(raw) + 1024 - h.susZeroFront) * 18769 / 1024;
        return WrapMul(int32_t(v), 10);
    }
    case kRear: {
        int64_t v = L.linearRear ? int64_t(raw) * 500 / 1023
                                 : 12500 - (int64_t(raw) + 1023 - h.susZeroRear) * 12500 / 1023;
        return WrapMul(int32_t(v), 10);
    }
    case kLaf1:
    case kLaf2: {
        int type = L.lafType[channel - kLaf1];
        int64_t v = type == 0 ? int64_t(raw) * 1000 / 1140 + 900 : int64_t(raw) * 500 / 1023;
        return WrapMul(int32_t(v), 10);
    }
    default:
        return 0;
    }
}

void ReadHeader(FileSlot slot, Bytes b, HndLoad& L) {
    Slot& s = SlotOf(slot);
    LogHeader& h = s.header;
    h = LogHeader();
    const uint8_t flags = ByteAt(b, 6);
    for (int c = 0; c < kChannels; ++c)
        L.period[c] = kPeriodOffset[c] ? U16At(b, kPeriodOffset[c]) / 5 : 0;
    L.period[kLap] = flags & 0x10 ? 60 : 0;
    L.linearFront = !(flags & 1);
    L.linearRear = !(flags & 2);
    h.susTypeFront = L.linearFront ? 1 : 0;
    h.susTypeRear = L.linearRear ? 1 : 0;
    h.tireFront = std::max(100, U16At(b, 39) * 10);
    h.tireRear = std::max(100, U16At(b, 41) * 10);
    h.throttleClosed = U16At(b, 47);
    h.throttleOpen = U16At(b, 49);
    h.susZeroFront = U16At(b, 51);
    h.susZeroRear = U16At(b, 53);
    const uint8_t laf = ByteAt(b, 79);
    L.lafType[0] = h.inputTypes[0] = laf & 1 ? 0 : 1;
    L.lafType[1] = h.inputTypes[1] = laf & 2 ? 0 : 1;
    h.inputTypes[2] = h.inputTypes[3] = 1;
    h.sprocketFront = h.sprocketRear = 1;
    for (int& t : h.gearTeeth) t = 1;
    ComputeGearThresholds(h);
    if (slot == 0) {
        g_session.firmware.clear();
        for (size_t i = 115; i <= 120; ++i)
            if (ByteAt(b, i)) g_session.firmware += char(ByteAt(b, i));
    }
}

// Debug mode shows the logger's text fields and the recording periods as the memo.
void BuildDebugMemo(Bytes b, const HndLoad& L, LogHeader& h) {
    std::string memo;
    const size_t fields[4][2] = {{89, 114}, {115, 120}, {151, 166}, {167, 172}};
    for (const auto& f : fields) {
        for (size_t i = f[0]; i <= f[1]; ++i)
            if (!IsBlankOrControl(ByteAt(b, i))) memo += char(ByteAt(b, i));
        memo += "\r\n";
    }
    for (size_t at = 7; at <= 27; at += 2) memo += std::to_string(U16At(b, at)) + " ";
    memo.resize(std::min(memo.size(), sizeof h.memo - 1));
    std::copy(memo.begin(), memo.end(), h.memo);
    (void)L;
}

void AddLapMark(Slot& s, int32_t at) {
    LapMarkTable& t = s.laps;
    if (t.count + 1 > kLastPulseEntry) return;
    // Marks must rise: one that lands before the previous is not a new lap.
    if (t.count > 0 && at <= t.marks[t.count]) return;
    t.marks[++t.count] = at;
}

// Walks the stream, filling the slot's columns and lap marks. False when the stream ends
// before the last sample.
bool Decode(HndLoad& L, Bytes stream) {
    Slot& s = *L.s;
    const int32_t count = s.sampleCount;
    int32_t raw[kChannels] = {};
    int32_t* column[kChannels] = {};
    for (int c = 0; c < kChannels; ++c)
        if (kColumnOf[c] >= 0 && HasFullBuffer(s, kColumnOf[c]))
            column[c] = s.samples[kColumnOf[c]];
    BitReader reader{stream};
    int32_t sample = 1;
    int channel = 0;
    Code code;
    for (;;) {
        if (sample >= count) return true;
        // The stream may end after the last code: the channels not due keep their values.
        const bool haveCode = ReadCode(reader, code);
        for (;;) {
            const int p = L.period[channel];
            const bool due = p != 0 && sample % p == 0;
            if (due && !haveCode) return false;
            if (column[channel]) column[channel][sample] = StoredValue(L, channel, raw[channel]);
            if (due) {
                if (channel == kLap) {
                    if (code.value > 0) AddLapMark(s, std::max(0, sample - code.value));
                } else {
                    const int32_t scale = kScaleOf[channel];
                    const int32_t step = WrapMul(code.value, scale);
                    raw[channel] = code.absolute ? step : WrapAdd(raw[channel], step);
                }
            }
            if (++channel == kChannels) {
                channel = 0;
                if (++sample >= count) break;
            }
            if (due) break;
        }
    }
}

void BuildDistances(const HndLoad& L) {
    Slot& s = *L.s;
    const int32_t count = s.sampleCount;
    const bool front = L.period[kVfw] != 0 && HasFullBuffer(s, 2);
    const bool rear = L.period[kVrw] != 0 && HasFullBuffer(s, 3);
    // The front wheel when it is recorded, the rear one otherwise.
    s.lapDistanceSource = front ? LapDistanceSource::kFrontWheel : LapDistanceSource::kRearWheel;
    uint32_t *sel = s.distance.selected, *f = s.distance.front, *r = s.distance.rear;
    for (int k = 0; k < 3 && k < s.capacity; ++k) sel[k] = f[k] = r[k] = s.sampleMarks[k] = 0;
    const int32_t lastMark = s.laps.count; // marks are entries 1 .. lastMark while decoding
    int mark = 1;
    for (int32_t k = 1; k < count; ++k) {
        sel[k] = sel[k - 1];
        f[k] = f[k - 1];
        r[k] = r[k - 1];
        if (front) {
            uint32_t d = uint32_t(s.samples[2][k - 1] / 100);
            sel[k] += d;
            f[k] += d;
        }
        if (rear) {
            uint32_t d = uint32_t(s.samples[3][k - 1] / 100);
            r[k] += d;
            if (!front) sel[k] += d;
        }
        while (mark <= lastMark && s.laps.marks[mark] < k) ++mark;
        if (mark <= lastMark && s.laps.marks[mark] == k) {
            s.laps.lapDistance[mark] = int32_t(sel[k]);
            sel[k] = 0;
        }
    }
}

} // namespace

ReadOutcome ReadHndFile(FileSlot slot, Bytes bytes, std::string_view) {
    Slot& s = SlotOf(slot);
    const int64_t blocks =
        int64_t(ByteAt(bytes, 84)) << 16 | ByteAt(bytes, 85) << 8 | ByteAt(bytes, 86);
    const int64_t count = blocks * 200;
    if (count > kMaxSampleCount) {
        ShowSampleCountCorrupted(count);
        CloseSlot(slot);
        return {};
    }
    HndLoad L;
    L.s = &s;
    s.active = true;
    s.file.fileKind = kFileHnd;
    s.file.logVersion = 0;
    s.sampleRateFactor = 1.0f;
    ReadHeader(slot, bytes, L);
    NameFixedChannels(slot);
    BuildChannelIndexByCode();
    const int32_t samples = std::max<int32_t>(1, int32_t(count));
    if (!AllocateSlotBuffers(slot, samples + kSpareSamples)) {
        CloseSlot(slot);
        return {};
    }
    s.sampleCount = samples;
    BeginLapMarks(s);
    if (DebugMode()) BuildDebugMemo(bytes, L, s.header);
    const bool whole = Decode(L, bytes.subspan(std::min(bytes.size(), kStreamStart)));
    for (int c = 0; c < kColumnCount; ++c)
        if (HasFullBuffer(s, c)) s.samples[c][0] = 0;
    BuildDistances(L);
    LapMarkTable& t = s.laps;
    const int32_t end = t.count + 1;
    t.marks[end] = t.marks[end + 1] = t.marks[end + 2] = samples;
    t.count = end;
    return {.decoded = true, .truncated = !whole};
}

} // namespace qvtk
