#include "data/family3_reader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <vector>

#include "data/arith.h"
#include "data/family3_header.h"
#include "data/family3_values.h"
#include "data/fixed_channels.h"
#include "data/lap_marker.h"
#include "data/read_outcome.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

namespace {

enum Column { kNe, kTps, kVfw, kVrw, kFrSus, kRrSus, kLaf1, kLaf2, kVb, kAux1, kAux2, kDecoded };

// Records are decoded a chunk at a time: first their raw fields (format by format), then each
// output column in a loop of its own. Small loops over one column each keep the work in
// registers and the chunk in cache.
constexpr int kChunk = 1024;

// Raw values of up to kChunk consecutive records, one array per field.
struct RawChunk {
    int32_t ne[kChunk];                // rpm
    uint16_t vfw[kChunk], vrw[kChunk]; // speeds as recorded
    uint16_t throttle[kChunk];
    uint16_t strokeFront[kChunk], strokeRear[kChunk];
    uint16_t input[4][kChunk]; // LAF1, LAF2, AUX1, AUX2
    uint16_t vb[kChunk];
    uint8_t marker[kChunk]; // lap-marker bit
    uint8_t mark[kChunk];   // sample mark
};

// Everything one load needs while walking the records: output columns, conversion tables
// (every raw value converted once, so the record loop does no division) and rules.
struct Family3Load {
    Slot* s = nullptr;
    int version = 0;
    int32_t count = 0;
    int32_t* col[kDecoded] = {}; // null for a column without a buffer in this slot
    bool hasVb = true;           // versions 0 and 32 record no battery voltage
    bool keepOnLowVoltage = false;
    bool rearSelected = false;
    const int32_t *ne = nullptr, *throttle = nullptr, *strokeFront = nullptr, *strokeRear = nullptr,
                  *input[4] = {}, *vb = nullptr;
    DistanceRun distance;
    // Raw extremes for the corrective tools, written back to the header at the end.
    int32_t throttleMin = 120, throttleMax = 128, strokeMaxFront = 0, strokeMaxRear = 0;
};

// Conversion tables kept for the process and built again only when the header values they
// depend on change: the next recording of the same logger has the same ones, and building
// the tables costs more than decoding a short file. A few are kept per kind, so that files of
// different versions opened side by side do not rebuild each other's.
struct CachedTable {
    std::vector<int32_t> key; // the values the table was built from
    std::vector<int32_t> values;
    bool built = false;
};

struct TableCache {
    CachedTable entries[4];
    int next = 0; // the entry replaced next
};

template <class F>
const int32_t* Table(TableCache& cache, std::vector<int32_t> key, size_t n, F f) {
    for (const CachedTable& t : cache.entries)
        if (t.built && t.key == key && t.values.size() == n) return t.values.data();
    CachedTable& t = cache.entries[cache.next];
    cache.next = (cache.next + 1) % 4;
    t.built = false; // until the table is whole
    t.values.resize(n);
    for (size_t i = 0; i < n; ++i) t.values[i] = f(int32_t(i));
    t.key = std::move(key);
    t.built = true;
    return t.values.data();
}

std::vector<int32_t> InputKey(const LogHeader& h, int version, int k) {
    const InputCalibration& cal = h.inputs[k];
    std::vector<int32_t> key = {version, k, h.inputTypes[k], cal.gain, cal.offset};
    key.insert(key.end(), cal.tableIn, cal.tableIn + 16);
    key.insert(key.end(), cal.tableOut, cal.tableOut + 16);
    return key;
}

void BuildTables(Family3Load& L) {
    static TableCache ne, throttle, strokeFront, strokeRear, input[4], vb;
    const LogHeader& h = L.s->header;
    const int v = L.version;
    const size_t rawRange = v == 4 ? 65536 : 256;
    const size_t strokeRange = v == 4 ? 65536 : 1024;
    L.ne = Table(ne, {h.neDivisor}, 65536,
                 [&](int32_t p) { return h.neDivisor ? p / h.neDivisor : p * 2; });
    L.throttle = Table(throttle, {v, h.throttleClosed, h.throttleOpen, h.throttleGain}, rawRange,
                       [&](int32_t r) { return ThrottleTenths(h, v, r) * 100; });
    L.strokeFront = Table(strokeFront, {v, h.susTypeFront, h.susZeroFront, h.strokeFront},
                          strokeRange, [&](int32_t r) {
                              return StrokeHundredths(v, h.susTypeFront, kStrokeRangeFront,
                                                      h.susZeroFront, h.strokeFront, r) *
                                     10;
                          });
    L.strokeRear = Table(strokeRear, {v, h.susTypeRear, h.susZeroRear, h.strokeRear}, strokeRange,
                         [&](int32_t r) {
                             return StrokeHundredths(v, h.susTypeRear, kStrokeRangeRear,
                                                     h.susZeroRear, h.strokeRear, r) *
                                    10;
                         });
    for (int k = 0; k < 4; ++k)
        L.input[k] = Table(input[k], InputKey(h, v, k), rawRange,
                           [&](int32_t r) { return InputHundredths(h, v, k, r) * 10; });
    L.vb = Table(vb, {v}, rawRange, [&](int32_t r) { return VbHundredths(v, r) * 10; });
}

// Versions 0 and 32 (Old) store speeds x 10 and record no battery voltage.
template <bool Old> void StoreChunk(Family3Load& L, int32_t first, int n, const RawChunk& r) {
    Slot& s = *L.s;
    int32_t* const* c = L.col;
    int32_t vbStored[kChunk];
    uint8_t low[kChunk], wipe[kChunk];
    for (int k = 0; k < n; ++k) {
        vbStored[k] = Old ? 0 : L.vb[r.vb[k]];
        // Versions 1 and 2 compare the stored thousandths with numbers meant for hundredths.
        const int32_t compared = L.version <= 2 ? vbStored[k] : vbStored[k] / 10;
        low[k] = !Old && compared <= 900;
        wipe[k] = low[k] && first + k > 200 && !L.keepOnLowVoltage;
    }
    const int32_t speedScale = Old ? 10 : 100;
    auto put = [&](int column, auto value) {
        if (int32_t* x = c[column] ? c[column] + first : nullptr)
            for (int k = 0; k < n; ++k) x[k] = value(k);
    };
    put(kNe, [&](int k) { return WrapMul(r.ne[k], 1000); });
    put(kTps, [&](int k) { return wipe[k] ? 0 : L.throttle[r.throttle[k]]; });
    put(kVfw, [&](int k) { return r.vfw[k] * speedScale; });
    put(kVrw, [&](int k) { return r.vrw[k] * speedScale; });
    put(kFrSus, [&](int k) { return wipe[k] ? 0 : L.strokeFront[r.strokeFront[k]]; });
    put(kRrSus, [&](int k) { return wipe[k] ? 0 : L.strokeRear[r.strokeRear[k]]; });
    put(kLaf1, [&](int k) { return L.input[0][r.input[0][k]]; });
    put(kLaf2, [&](int k) { return L.input[1][r.input[1][k]]; });
    if (!Old) {
        put(kVb, [&](int k) { return vbStored[k]; });
        put(kAux1, [&](int k) { return L.input[2][r.input[2][k]]; });
        put(kAux2, [&](int k) { return L.input[3][r.input[3][k]]; });
    }
    for (int k = 0; k < n; ++k) s.sampleMarks[first + k] = r.mark[k];

    // Raw extremes only while the battery is fine, away from both ends of the recording; the
    // stroke maxima simply follow the first 200 samples. Kept in locals so that they stay in
    // registers while the loop runs.
    int32_t throttleMin = L.throttleMin, throttleMax = L.throttleMax;
    int32_t strokeMaxFront = L.strokeMaxFront, strokeMaxRear = L.strokeMaxRear;
    for (int k = 0; k < n; ++k) {
        const int32_t i = first + k;
        if (i <= 200) {
            strokeMaxFront = r.strokeFront[k];
            strokeMaxRear = r.strokeRear[k];
        } else if (i <= L.count - 200 && !low[k]) {
            throttleMin = std::min<int32_t>(throttleMin, r.throttle[k]);
            throttleMax = std::max<int32_t>(throttleMax, r.throttle[k]);
            strokeMaxFront = std::max<int32_t>(strokeMaxFront, r.strokeFront[k]);
            strokeMaxRear = std::max<int32_t>(strokeMaxRear, r.strokeRear[k]);
        }
    }
    L.throttleMin = throttleMin;
    L.throttleMax = throttleMax;
    L.strokeMaxFront = strokeMaxFront;
    L.strokeMaxRear = strokeMaxRear;

    // Each sample travels the stored speed / 100 in 1/7200 m: 0.1 km/h for 5 ms is 1/7200 m.
    // Versions 0 and 32 record 0.01 km/h, so their step is a tenth of the raw value; they go
    // as far as the other versions for the same ride.
    DistanceRun run = L.distance;
    const int32_t threshold = s.header.lapThreshold;
    for (int k = 0; k < n; ++k) {
        const uint32_t front = Old ? r.vfw[k] / 10u : r.vfw[k];
        const uint32_t rear = Old ? r.vrw[k] / 10u : r.vrw[k];
        AddDistance(s, run, first + k, front, rear, L.rearSelected ? rear : front);
        const int32_t compared = L.version <= 2 ? vbStored[k] : vbStored[k] / 10;
        if (r.marker[k] && (Old || compared > threshold)) {
            DistanceRun pulse = run; // the run itself never leaves the registers
            TakeLapPulse(s, pulse, first + k);
            run = pulse;
        }
    }
    L.distance = run;
}

// The bytes a variable-record copy of the file would need, for the log conversion: per
// record the mask, Ne and both speed words as deltas when they fit, and each other field only
// when it changed.
struct SizeEstimate {
    int64_t bytes = 1024;
    uint16_t pulses = 0, vfwWord = 0, vrwWord = 0;
    uint16_t last[9] = {}; // throttle, stroke tops, inputs, VB
    uint8_t mark = 0;
};

void AddToEstimate(SizeEstimate& e, const uint8_t* p, const RawChunk& r, int k) {
    auto fits = [](int d) { return d >= -128 && d <= 127; };
    const uint16_t pulses = uint16_t(p[0] << 8 | p[1]);
    const uint16_t vfwWord = uint16_t(p[2] << 8 | p[3]), vrwWord = uint16_t(p[4] << 8 | p[5]);
    const uint16_t now[9] = {r.throttle[k],
                             uint16_t(r.strokeFront[k] / 4),
                             uint16_t(r.strokeRear[k] / 4),
                             r.input[0][k],
                             r.input[1][k],
                             r.input[2][k],
                             r.input[3][k],
                             r.vb[k],
                             0};
    e.bytes += 2 + (fits(pulses - e.pulses) ? 1 : 2) +
               (fits(int16_t(vfwWord - e.vfwWord)) ? 1 : 2) +
               (fits(int16_t(vrwWord - e.vrwWord)) ? 1 : 2) + (r.mark[k] != e.mark);
    for (int f = 0; f < 8; ++f) e.bytes += now[f] != e.last[f];
    std::copy(now, now + 9, e.last);
    e.pulses = pulses;
    e.vfwWord = vfwWord;
    e.vrwWord = vrwWord;
    e.mark = r.mark[k];
}

template <bool Old> void DecodeFixedRecords(Family3Load& L, Bytes b) {
    SizeEstimate estimate;
    RawChunk r{};
    for (int32_t first = 1; first < L.count; first += kChunk) {
        const int n = int(std::min<int32_t>(kChunk, L.count - first));
        const uint8_t* records = b.data() + 512 + size_t(first - 1) * 16;
        for (int k = 0; k < n; ++k) {
            const uint8_t* p = records + size_t(k) * 16;
            r.ne[k] = L.ne[uint16_t(p[0] << 8 | p[1])];
            r.marker[k] = p[2] >> 7;
            r.throttle[k] = p[6];
            if (Old) {
                r.vfw[k] = uint16_t((p[2] & 0x7F) << 8 | p[3]);
                r.vrw[k] = uint16_t((p[4] & 0x7F) << 8 | p[5]);
                r.strokeFront[k] = uint16_t(p[7] * 4);
                r.strokeRear[k] = uint16_t(p[8] * 4);
                r.input[0][k] = p[9];
                r.input[1][k] = p[10];
            } else {
                r.vfw[k] = uint16_t((p[2] & 0x0F) << 8 | p[3]);
                r.vrw[k] = uint16_t((p[4] & 0x0F) << 8 | p[5]);
                r.strokeFront[k] = uint16_t(p[7] * 4 + (p[4] >> 6 & 3));
                r.strokeRear[k] = uint16_t(p[8] * 4 + (p[4] >> 4 & 3));
                for (int j = 0; j < 4; ++j) r.input[j][k] = p[9 + j];
                r.vb[k] = p[13];
                r.mark[k] = L.version == 2 ? p[14] >> 7 : 0;
            }
        }
        for (int k = 0; k < n; ++k) AddToEstimate(estimate, records + size_t(k) * 16, r, k);
        StoreChunk<Old>(L, first, n, r);
    }
    L.s->file.sizeEstimate = estimate.bytes;
}

// The length of every mask word, worked out once: both passes look it up per record.
const uint8_t* RecordLengths(int version) {
    static const auto tables = [] {
        std::vector<uint8_t> t(2 * 65536);
        for (int mask = 0; mask < 65536; ++mask) {
            t[size_t(mask)] = uint8_t(VariableRecordLength(uint16_t(mask), 3));
            t[65536 + size_t(mask)] = uint8_t(VariableRecordLength(uint16_t(mask), 4));
        }
        return t;
    }();
    return tables.data() + (version == 4 ? 65536 : 0);
}

// Whole records from offset 1024; a record cut off by the end of the file is not counted, and
// `cut` says there was one.
int64_t CountVariableRecords(Bytes b, int version, bool& cut) {
    const uint8_t* lengths = RecordLengths(version);
    int64_t n = 0;
    size_t pos = 1024;
    while (pos + 2 <= b.size()) {
        size_t len = lengths[b[pos] << 8 | b[pos + 1]];
        if (len > b.size() - pos) break;
        pos += len;
        ++n;
    }
    cut = pos < b.size() && b.size() > 1024;
    return n;
}

// Version 4 (Wide) carries 16-bit fields where version 3 has bytes.
template <bool Wide> void DecodeVariableRecords(Family3Load& L, Bytes b) {
    const int divisor = L.s->header.neDivisor;
    const uint8_t* lengths = RecordLengths(Wide ? 4 : 3);
    uint16_t vfwWord = 0, vrwWord = 0;
    uint16_t frontTop = 0, rearTop = 0; // version 3: top 8 of 10 bits; version 4: the raw
    // Fields without their mask bit repeat the previous record's value.
    int32_t ne = 0;
    uint16_t throttle = 0, input[4] = {}, vb = 0;
    uint8_t mark = 0;
    RawChunk r{};
    size_t pos = 1024;
    for (int32_t first = 1; first < L.count; first += kChunk) {
        const int n = int(std::min<int32_t>(kChunk, L.count - first));
        for (int k = 0; k < n; ++k) {
            const uint16_t mask = uint16_t(b[pos] << 8 | b[pos + 1]);
            const size_t length = lengths[mask];
            // The counting pass took only records that lie whole inside the file.
            if (length > b.size() - pos) return;
            const uint8_t* p = b.data() + pos + 2;
            pos += length;
            auto u8 = [&p]() { return *p++; };
            auto u16 = [&p]() {
                const uint16_t v = uint16_t(p[0] << 8 | p[1]);
                p += 2;
                return v;
            };
            auto field = [&]() -> uint16_t { return Wide ? u16() : u8(); };
            if (mask & 0x4000) {
                ne = L.ne[u16()];
            } else {
                const int32_t d = int8_t(u8());
                ne = WrapAdd(ne, divisor ? d / divisor : d * 2);
            }
            vfwWord = mask & 0x2000 ? u16() : uint16_t(vfwWord + int8_t(u8()));
            vrwWord = mask & 0x1000 ? u16() : uint16_t(vrwWord + int8_t(u8()));
            if (mask & 0x0800) throttle = field();
            if (mask & 0x0400) frontTop = field();
            if (mask & 0x0200) rearTop = field();
            for (int j = 0; j < 4; ++j)
                if (mask & (0x0100 >> j)) input[j] = field();
            if (mask & 0x0010) vb = field();
            if (mask & 0x0008) mark = u8() >> 7;
            r.ne[k] = ne;
            r.vfw[k] = vfwWord & 0x7FFF;
            r.marker[k] = vfwWord >> 15;
            r.vrw[k] = vrwWord & 0x0FFF;
            r.throttle[k] = throttle;
            r.strokeFront[k] = Wide ? frontTop : uint16_t(frontTop * 4 + (vrwWord >> 14 & 3));
            r.strokeRear[k] = Wide ? rearTop : uint16_t(rearTop * 4 + (vrwWord >> 12 & 3));
            for (int j = 0; j < 4; ++j) r.input[j][k] = input[j];
            r.vb[k] = vb;
            r.mark[k] = mark;
        }
        StoreChunk<false>(L, first, n, r);
    }
}

bool IsQvlExtension(std::string_view ext) {
    return ext.size() == 3 && (ext[0] | 0x20) == 'q' && (ext[1] | 0x20) == 'v' &&
           (ext[2] | 0x20) == 'l';
}

ReadOutcome Reject(FileSlot slot) {
    ShowMessage("File Error.", "File Error!!");
    CloseSlot(slot);
    return {};
}

} // namespace

int VariableRecordLength(uint16_t mask, int version) {
    const int width = version == 4 ? 2 : 1;
    int n = 2 + (mask & 0x4000 ? 2 : 1) + (mask & 0x2000 ? 2 : 1) + (mask & 0x1000 ? 2 : 1);
    n += width * std::popcount(unsigned(mask >> 4 & 0xFF));
    n += (mask >> 3 & 1) + (mask >> 2 & 1) + 2 * (mask >> 1 & 1) + 4 * (mask & 1);
    return n;
}

ReadOutcome ReadFamily3File(FileSlot slot, Bytes bytes, std::string_view extension) {
    Slot& s = SlotOf(slot);
    if (bytes.size() < 512) return Reject(slot);
    const int version = Family3Version(bytes);
    if (!IsFamily3VersionSupported(version)) return Reject(slot);
    const bool variable = version == 3 || version == 4;
    size_t size = bytes.size();
    if (IsQvlExtension(extension) && bytes[15] < 3 && size == 1024) size = 512;

    bool cut = false;
    const int64_t records =
        variable ? CountVariableRecords(bytes.first(size), version, cut) : int64_t(size - 512) / 16;
    if (!variable) cut = (size - 512) % 16 != 0;
    if (records > INT32_MAX - 2 * kSpareSamples) return Reject(slot);

    s.active = true;
    s.file.fileKind = kFileFamily3;
    s.file.logVersion = version;
    s.file.sizeEstimate = 0;
    s.sampleRateFactor = 1.0f;
    s.lapDistanceSource = LapDistanceSource::kChosenWheel;
    if (version >= 3) { // set, never cleared: the conversion tools write what was last seen
        g_session.variableRecords = true;
        g_settings.CompressFile = 1;
    }
    DecodeFamily3Header(slot, bytes, version);
    NameFixedChannels(slot);
    if (slot == 0) BuildChannelIndexByCode();

    Family3Load L;
    L.s = &s;
    L.version = version;
    L.count = int32_t(records) + 1;
    if (version == 4) { // 16-bit readings: the starting extremes in the same units
        L.throttleMin <<= 8;
        L.throttleMax <<= 8;
    }
    if (!AllocateSlotBuffers(slot, int32_t(records) + kSpareSamples)) {
        CloseSlot(slot);
        return {};
    }
    s.sampleCount = L.count;
    for (int c = 0; c < kDecoded; ++c) L.col[c] = HasFullBuffer(s, c) ? s.samples[c] : nullptr;
    L.hasVb = version != 0 && version != 32;
    L.keepOnLowVoltage = g_settings.VBerrexp != 0;
    L.rearSelected = g_settings.CoursePosSource == 1;
    BuildTables(L);
    BeginLapMarks(s);

    if (version == 3)
        DecodeVariableRecords<false>(L, bytes.first(size));
    else if (version == 4)
        DecodeVariableRecords<true>(L, bytes.first(size));
    else if (L.hasVb)
        DecodeFixedRecords<false>(L, bytes.first(size));
    else
        DecodeFixedRecords<true>(L, bytes.first(size));
    s.header.throttleRawMin = L.throttleMin;
    s.header.throttleRawMax = L.throttleMax;
    s.header.strokeRawMaxFront = L.strokeMaxFront;
    s.header.strokeRawMaxRear = L.strokeMaxRear;
    FinishLapMarks(s, L.distance);
    return {.decoded = true, .truncated = cut};
}

} // namespace qvtk
