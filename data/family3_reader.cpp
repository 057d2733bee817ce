#include "data/family3_reader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <vector>

#include "data/arith.h"
#include "data/family3_header.h"
#include "data/family3_values.h"
#include "data/finishing.h"
#include "data/fixed_channels.h"
#include "data/lap_marker.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

namespace {

enum Column { kNe, kTps, kVfw, kVrw, kFrSus, kRrSus, kLaf1, kLaf2, kVb, kAux1, kAux2, kDecoded };

// One record in raw units.
struct Record {
    int32_t ne = 0;        // rpm
    int32_t vfw = 0;       // speed raw
    int32_t vrw = 0;
    int32_t throttle = 0;  // raw
    int32_t strokeFront = 0;
    int32_t strokeRear = 0;
    int32_t input[4] = {}; // LAF1, LAF2, AUX1, AUX2 raw
    int32_t vb = 0;
    bool marker = false;
    uint8_t mark = 0;
};

// Everything one load needs while walking the records: output columns, conversion tables
// (every raw value converted once, so the record loop does no division) and rules.
struct Family3Load {
    Slot* s = nullptr;
    int version = 0;
    int32_t count = 0;
    int32_t* col[kDecoded] = {}; // null for a column without a buffer in this slot
    bool hasVb = true;          // versions 0 and 32 record no battery voltage
    bool keepOnLowVoltage = false;
    bool rearSelected = false;
    int32_t speedScale = 100;
    uint32_t distanceDivisor = 100;
    std::vector<int32_t> ne, throttle, strokeFront, strokeRear, input[4], vb;
    LapMarkerState lap;
};

template <class F> std::vector<int32_t> Table(size_t n, F f) {
    std::vector<int32_t> t(n);
    for (size_t i = 0; i < n; ++i) t[i] = f(int32_t(i));
    return t;
}

void BuildTables(Family3Load& L) {
    const LogHeader& h = L.s->header;
    const int v = L.version;
    const size_t rawRange = v == 4 ? 65536 : 256;
    const size_t strokeRange = v == 4 ? 65536 : 1024;
    L.ne = Table(65536, [&](int32_t p) { return h.neDivisor ? p / h.neDivisor : p * 2; });
    L.throttle = Table(rawRange, [&](int32_t r) { return ThrottleTenths(h, v, r) * 100; });
    L.strokeFront = Table(strokeRange, [&](int32_t r) {
        return StrokeHundredths(v, h.susTypeFront, kStrokeRangeFront, h.susZeroFront,
                                h.strokeFront, r) * 10;
    });
    L.strokeRear = Table(strokeRange, [&](int32_t r) {
        return StrokeHundredths(v, h.susTypeRear, kStrokeRangeRear, h.susZeroRear, h.strokeRear,
                                r) * 10;
    });
    for (int k = 0; k < 4; ++k)
        L.input[k] = Table(rawRange, [&](int32_t r) { return InputHundredths(h, v, k, r) * 10; });
    L.vb = Table(rawRange, [&](int32_t r) { return VbHundredths(v, r) * 10; });
}

void StoreRecord(Family3Load& L, int32_t i, const Record& r) {
    Slot& s = *L.s;
    LogHeader& h = s.header;
    const int32_t vbStored = L.hasVb ? L.vb[size_t(r.vb)] : 0;
    // Versions 1 and 2 compare the stored thousandths with numbers meant for hundredths.
    const int32_t vbCompared = L.version <= 2 ? vbStored : vbStored / 10;
    const bool lowVoltage = L.hasVb && vbCompared <= 900;
    const bool wipe = lowVoltage && i > 200 && !L.keepOnLowVoltage;
    const int32_t vfw = r.vfw * L.speedScale, vrw = r.vrw * L.speedScale;
    int32_t* const* c = L.col;
    if (c[kNe]) c[kNe][i] = WrapMul(r.ne, 1000);
    if (c[kTps]) c[kTps][i] = wipe ? 0 : L.throttle[size_t(r.throttle)];
    if (c[kVfw]) c[kVfw][i] = vfw;
    if (c[kVrw]) c[kVrw][i] = vrw;
    if (c[kFrSus]) c[kFrSus][i] = wipe ? 0 : L.strokeFront[size_t(r.strokeFront)];
    if (c[kRrSus]) c[kRrSus][i] = wipe ? 0 : L.strokeRear[size_t(r.strokeRear)];
    if (c[kLaf1]) c[kLaf1][i] = L.input[0][size_t(r.input[0])];
    if (c[kLaf2]) c[kLaf2][i] = L.input[1][size_t(r.input[1])];
    if (L.hasVb) {
        if (c[kVb]) c[kVb][i] = vbStored;
        if (c[kAux1]) c[kAux1][i] = L.input[2][size_t(r.input[2])];
        if (c[kAux2]) c[kAux2][i] = L.input[3][size_t(r.input[3])];
    }
    s.sampleMarks[i] = r.mark;

    // Raw extremes for the corrective tools: only while the battery is fine, away from both
    // ends of the recording; the stroke maxima simply follow the first 200 samples.
    if (i <= 200) {
        h.strokeRawMaxFront = r.strokeFront;
        h.strokeRawMaxRear = r.strokeRear;
    } else if (i <= L.count - 200 && !lowVoltage) {
        h.throttleRawMin = std::min(h.throttleRawMin, r.throttle);
        h.throttleRawMax = std::max(h.throttleRawMax, r.throttle);
        h.strokeRawMaxFront = std::max(h.strokeRawMaxFront, r.strokeFront);
        h.strokeRawMaxRear = std::max(h.strokeRawMaxRear, r.strokeRear);
    }

    const uint32_t front = uint32_t(vfw) / L.distanceDivisor;
    const uint32_t rear = uint32_t(vrw) / L.distanceDivisor;
    AddDistance(s, L.lap, i, front, rear, L.rearSelected ? rear : front);
    if (r.marker && (!L.hasVb || vbCompared > h.lapThreshold)) TakeLapPulse(s, L.lap, i);
}

// The bytes a variable-record copy of the file would need, for the log conversion.
struct SizeEstimate {
    int64_t bytes = 1024;
    Record prev;
    uint16_t prevPulses = 0, prevVfwWord = 0, prevVrwWord = 0;

    void Add(const Record& r, uint16_t pulses, uint16_t vfwWord, uint16_t vrwWord) {
        auto fits = [](int d) { return d >= -128 && d <= 127; };
        bytes += 2;
        bytes += fits(pulses - prevPulses) ? 1 : 2;
        bytes += fits(int16_t(vfwWord - prevVfwWord)) ? 1 : 2;
        bytes += fits(int16_t(vrwWord - prevVrwWord)) ? 1 : 2;
        bytes += (r.throttle != prev.throttle) + (r.strokeFront / 4 != prev.strokeFront / 4) +
                 (r.strokeRear / 4 != prev.strokeRear / 4) + (r.vb != prev.vb) +
                 (r.mark != prev.mark);
        for (int k = 0; k < 4; ++k) bytes += r.input[k] != prev.input[k];
        prev = r;
        prevPulses = pulses;
        prevVfwWord = vfwWord;
        prevVrwWord = vrwWord;
    }
};

void DecodeFixedRecords(Family3Load& L, Bytes b) {
    const bool old = L.version == 0 || L.version == 32;
    SizeEstimate estimate;
    Record r;
    for (int32_t i = 1; i < L.count; ++i) {
        const uint8_t* p = b.data() + 512 + size_t(i - 1) * 16;
        const uint16_t pulses = uint16_t(p[0] << 8 | p[1]);
        r.ne = L.ne[pulses];
        r.marker = p[2] & 0x80;
        r.throttle = p[6];
        if (old) {
            r.vfw = (p[2] & 0x7F) << 8 | p[3];
            r.vrw = (p[4] & 0x7F) << 8 | p[5];
            r.strokeFront = p[7] * 4;
            r.strokeRear = p[8] * 4;
            r.input[0] = p[9];
            r.input[1] = p[10];
        } else {
            r.vfw = (p[2] & 0x0F) << 8 | p[3];
            r.vrw = (p[4] & 0x0F) << 8 | p[5];
            r.strokeFront = p[7] * 4 + (p[4] >> 6 & 3);
            r.strokeRear = p[8] * 4 + (p[4] >> 4 & 3);
            for (int k = 0; k < 4; ++k) r.input[k] = p[9 + k];
            r.vb = p[13];
            r.mark = L.version == 2 ? p[14] >> 7 : 0;
        }
        StoreRecord(L, i, r);
        estimate.Add(r, pulses, uint16_t(p[2] << 8 | p[3]), uint16_t(p[4] << 8 | p[5]));
    }
    L.s->file.sizeEstimate = estimate.bytes;
}

int VariableRecordLength(uint16_t mask, int version) {
    const int width = version == 4 ? 2 : 1;
    int n = 2 + (mask & 0x4000 ? 2 : 1) + (mask & 0x2000 ? 2 : 1) + (mask & 0x1000 ? 2 : 1);
    n += width * std::popcount(unsigned(mask >> 4 & 0xFF));
    n += (mask >> 3 & 1) + (mask >> 2 & 1) + 2 * (mask >> 1 & 1) + 4 * (mask & 1);
    return n;
}

// Whole records from offset 1024; a record cut off by the end of the file is not counted.
int64_t CountVariableRecords(Bytes b, int version) {
    int64_t n = 0;
    size_t pos = 1024;
    while (pos + 2 <= b.size()) {
        uint16_t mask = uint16_t(b[pos] << 8 | b[pos + 1]);
        size_t len = size_t(VariableRecordLength(mask, version));
        if (len > b.size() - pos) break;
        pos += len;
        ++n;
    }
    return n;
}

void DecodeVariableRecords(Family3Load& L, Bytes b) {
    const bool wide = L.version == 4;
    const int divisor = L.s->header.neDivisor;
    uint16_t vfwWord = 0, vrwWord = 0;
    int32_t frontTop = 0, rearTop = 0; // version 3: top 8 of 10 bits; version 4: the raw
    Record r;
    size_t pos = 1024;
    for (int32_t i = 1; i < L.count; ++i) {
        ByteCursor c = CursorAt(b, pos);
        const uint16_t mask = ReadU16BE(c);
        pos += size_t(VariableRecordLength(mask, L.version));
        auto value = [&]() -> int32_t { return wide ? ReadU16BE(c) : ReadU8(c); };
        if (mask & 0x4000) {
            r.ne = L.ne[ReadU16BE(c)];
        } else {
            int32_t d = int8_t(ReadU8(c));
            r.ne = WrapAdd(r.ne, divisor ? d / divisor : d * 2);
        }
        vfwWord = mask & 0x2000 ? ReadU16BE(c) : uint16_t(vfwWord + int8_t(ReadU8(c)));
        vrwWord = mask & 0x1000 ? ReadU16BE(c) : uint16_t(vrwWord + int8_t(ReadU8(c)));
        if (mask & 0x0800) r.throttle = value();
        if (mask & 0x0400) frontTop = value();
        if (mask & 0x0200) rearTop = value();
        for (int k = 0; k < 4; ++k)
            if (mask & (0x0100 >> k)) r.input[k] = value();
        if (mask & 0x0010) r.vb = value();
        if (mask & 0x0008) r.mark = ReadU8(c) >> 7;
        r.vfw = vfwWord & 0x7FFF;
        r.marker = vfwWord & 0x8000;
        r.vrw = vrwWord & 0x0FFF;
        if (wide) {
            r.strokeFront = frontTop;
            r.strokeRear = rearTop;
        } else {
            r.strokeFront = frontTop * 4 + (vrwWord >> 14 & 3);
            r.strokeRear = rearTop * 4 + (vrwWord >> 12 & 3);
        }
        StoreRecord(L, i, r);
    }
}

bool IsQvlExtension(std::string_view ext) {
    return ext.size() == 3 && (ext[0] | 0x20) == 'q' && (ext[1] | 0x20) == 'v' &&
           (ext[2] | 0x20) == 'l';
}

void Reject(FileSlot slot) {
    ShowMessage("File Error.", "File Error!!");
    CloseSlot(slot);
}

} // namespace

void ReadFamily3File(FileSlot slot, Bytes bytes, std::string_view extension) {
    Slot& s = SlotOf(slot);
    if (bytes.size() < 512) return Reject(slot);
    const int version = Family3Version(bytes);
    if (!IsFamily3VersionSupported(version)) return Reject(slot);
    const bool variable = version == 3 || version == 4;
    size_t size = bytes.size();
    if (IsQvlExtension(extension) && bytes[15] < 3 && size == 1024) size = 512;

    const int64_t records = variable ? CountVariableRecords(bytes, version) : int64_t(size - 512) / 16;
    if (records > INT32_MAX - 2 * kSpareSamples) return Reject(slot);

    s.active = true;
    s.file.fileKind = kFileFamily3;
    s.file.logVersion = version;
    s.file.sizeEstimate = 0;
    s.sampleRateFactor = 1.0f;
    g_session.variableRecords = variable;
    if (variable) g_settings.CompressFile = 1;
    DecodeFamily3Header(slot, bytes, version);
    NameFixedChannels(slot);
    if (slot == 0) BuildChannelIndexByCode();

    Family3Load L;
    L.s = &s;
    L.version = version;
    L.count = int32_t(records) + 1;
    if (!AllocateSlotBuffers(slot, int32_t(records) + kSpareSamples))
        return CloseSlot(slot);
    s.sampleCount = L.count;
    for (int c = 0; c < kDecoded; ++c) L.col[c] = HasFullBuffer(s, c) ? s.samples[c] : nullptr;
    L.hasVb = version != 0 && version != 32;
    L.keepOnLowVoltage = g_settings.VBerrexp != 0;
    L.rearSelected = g_settings.CoursePosSource == 1;
    L.speedScale = L.hasVb ? 100 : 10;
    L.distanceDivisor = L.hasVb ? 100 : 1000;
    BuildTables(L);
    BeginLapMarks(s);

    if (variable)
        DecodeVariableRecords(L, bytes.first(size));
    else
        DecodeFixedRecords(L, bytes.first(size));

    FinishLapMarks(s);
    FinishFamily3Load(slot);
}

} // namespace qvtk
