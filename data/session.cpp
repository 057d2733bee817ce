#include "data/session.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "data/sample_envelope.h"
#include "data/settings.h"
#include "platform/file_read.h"
#include "platform/message_box.h"
#include "platform/parallel.h"
#include "platform/sample_memory.h"

namespace qvtk {

Session g_session;

namespace {

size_t g_failAfterBytes = 0; // test hook: 0 = never fail
size_t g_bytesAllocated = 0;

bool AllocationAllowed(size_t bytes) {
    if (g_failAfterBytes == 0) return true;
    if (g_bytesAllocated + bytes > g_failAfterBytes) return false;
    g_bytesAllocated += bytes;
    return true;
}

// Reallocates p to `count` elements, zeroing everything past `keep` elements.
template <class T> bool Resize(T*& p, size_t count, size_t keep) {
    size_t bytes = count * sizeof(T);
    if (!AllocationAllowed(bytes)) return false;
    void* q = nullptr;
    if (keep == 0) {
        FreeBlock(p);
        p = nullptr;
        q = AllocateZeroed(bytes);
    } else {
        q = ReallocateZeroed(p, bytes);
    }
    if (!q) return false;
    p = static_cast<T*>(q);
    return true;
}

template <class T> void Free(T*& p) {
    FreeBlock(p);
    p = nullptr;
}

void FreeSlotBuffers(Slot& s) {
    for (auto& column : s.samples) Free(column);
    for (auto& n : s.columnCapacity) n = 0;
    Free(s.gps.status);
    Free(s.gps.lon);
    Free(s.gps.lat);
    Free(s.gps.extra);
    Free(s.sampleMarks);
    Free(s.distance.selected);
    Free(s.distance.front);
    Free(s.distance.rear);
    s.capacity = 0;
}

// Bytes the buffers of a slot take for n samples.
uint64_t SlotBytes(const Slot& s, size_t n) {
    uint64_t perSample = 2 * sizeof(uint8_t) + 3 * sizeof(int32_t) + 3 * sizeof(uint32_t);
    uint64_t placeholders = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        if (s.channelFlags[c] & kChannelPresent)
            perSample += sizeof(int32_t);
        else
            placeholders += kPlaceholderSamples * sizeof(int32_t);
    }
    return perSample * n + placeholders;
}

// (Re)allocates every buffer of the slot for n samples, keeping `keep` samples of data.
bool ResizeSlotBuffers(Slot& s, size_t n, size_t keep) {
    // The system promises more than it has: buffers beyond the free memory are refused here,
    // before the program is stopped for touching them.
    constexpr uint64_t kCheckedFrom = 1u << 20;
    const uint64_t bytes = SlotBytes(s, n);
    if (bytes >= kCheckedFrom && bytes > AvailableMemoryBytes()) {
        ShowMessage("Memory Ensure Error.(Data Main buffers)", "Memory Error!!");
        return false;
    }
    bool ok = true;
    for (int c = 0; c < kColumnCount && ok; ++c) {
        bool full = s.channelFlags[c] & kChannelPresent;
        size_t size = full ? n : kPlaceholderSamples;
        // Only samples are kept; a placeholder's few entries are not.
        size_t columnKeep = full && s.columnCapacity[c] == s.capacity ? keep : 0;
        if (columnKeep > size) columnKeep = size;
        ok = Resize(s.samples[c], size, columnKeep);
        s.columnCapacity[c] = ok ? int32_t(size) : 0;
    }
    ok = ok && Resize(s.gps.status, n, keep) && Resize(s.gps.lon, n, keep) &&
         Resize(s.gps.lat, n, keep) && Resize(s.gps.extra, n, keep) &&
         Resize(s.sampleMarks, n, keep) && Resize(s.distance.selected, n, keep) &&
         Resize(s.distance.front, n, keep) && Resize(s.distance.rear, n, keep);
    if (!ok) {
        ShowMessage("Memory Ensure Error.(Data Main buffers)", "Memory Error!!");
        return false;
    }
    s.capacity = int32_t(n);
    return true;
}

// The state of a slot that holds no recording, buffers aside.
void ResetSlotValues(Slot& s, FileSlot slot) {
    s.sampleCount = 1;
    s.laps.marks[0] = 0;
    s.laps.marks[1] = 0;
    s.laps.count = 1;
    for (int32_t& d : s.laps.lapDistance) d = 0;
    s.cursorPos = 0;
    s.engineSpeedScale = 1.0f;
    s.lapDistanceSource = LapDistanceSource::kChosenWheel;
    for (int c = 0; c < kColumnCount; ++c) s.fileColumn[c] = uint8_t(c);
    // An empty slot has no name, so no label is drawn for it.
    s.file.fileName.clear();
    s.file.filePath.clear();
    s.file.labelRect = LabelRect();
    s.file.fileKind = kFileNone;
    if (slot != 0) s.active = false;
}

// Maximum and minimum of x[from..to) over the samples whose gate is above 9000. Branch-free,
// so that it vectorizes; built for AVX2 as well where the processor has it.
__attribute__((target_clones("avx2", "default"))) void GatedExtremes(const int32_t* gate,
                                                                     const int32_t* x, int32_t from,
                                                                     int32_t to, int32_t& hi,
                                                                     int32_t& lo) {
    int32_t h = hi, l = lo;
    for (int32_t i = from; i < to; ++i) {
        const int32_t v = x[i];
        const int32_t on = -int32_t(gate[i] > 9000); // all ones for a sample that counts
        h = std::max(h, (v & on) | (INT32_MIN & ~on));
        l = std::min(l, (v & on) | (INT32_MAX & ~on));
    }
    hi = h;
    lo = l;
}

} // namespace

void ShowSampleCountCorrupted(int64_t count) {
    ShowMessage("Data file is corrupted.", "File Error!!");
    ShowMessage(std::to_string(count), "File Error!!");
}

void FailAllocationsAfterBytesForTesting(size_t bytes) {
    g_failAfterBytes = bytes;
    g_bytesAllocated = 0;
}

void ResetSession() {
    ResetSampleEnvelopes();
    for (Slot& s : g_session.slots) FreeSlotBuffers(s);
    g_session = Session();
    std::memset(g_session.channelIndexByCode, kColumnNotPresent,
                sizeof g_session.channelIndexByCode);
    g_session.slots[0].active = true;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) CloseSlot(slot);
}

bool AllocateSlotBuffers(FileSlot slot, int32_t n) {
    Slot& s = SlotOf(slot);
    if (n < 1) n = 1;
    FreeSlotEnvelope(slot);
    FreeSlotBuffers(s);
    return ResizeSlotBuffers(s, size_t(n), 0);
}

bool GrowSlotBuffers(FileSlot slot, int32_t n) {
    Slot& s = SlotOf(slot);
    if (n < s.capacity) n = s.capacity;
    return ResizeSlotBuffers(s, size_t(n), size_t(s.capacity));
}

void ClearSlotBuffers(FileSlot slot, int32_t n) {
    Slot& s = SlotOf(slot);
    size_t count = size_t(n < 0 ? 0 : (n > s.capacity ? s.capacity : n));
    for (int c = 0; c < kColumnCount; ++c) {
        if (!s.samples[c]) continue;
        if (HasFullBuffer(s, c))
            std::memset(s.samples[c], 0, count * sizeof(int32_t));
        else
            s.samples[c][0] = 0;
    }
    if (s.capacity == 0) return;
    std::memset(s.gps.status, 0, count);
    std::memset(s.gps.lon, 0, count * sizeof(int32_t));
    std::memset(s.gps.lat, 0, count * sizeof(int32_t));
    std::memset(s.gps.extra, 0, count * sizeof(int32_t));
    std::memset(s.sampleMarks, 0, count);
    std::memset(s.distance.selected, 0, count * sizeof(uint32_t));
    std::memset(s.distance.front, 0, count * sizeof(uint32_t));
    std::memset(s.distance.rear, 0, count * sizeof(uint32_t));
}

void CloseSlot(FileSlot slot) {
    Slot& s = SlotOf(slot);
    // An empty slot has no present columns; its channel names stay for File 2 and 3 to see.
    for (uint32_t& f : s.channelFlags) f &= ~(kChannelPresent | kChannelShown);
    FreeSlotEnvelope(slot);
    FreeSlotBuffers(s);
    ResizeSlotBuffers(s, kSpareSamples, 0); // on failure the slot simply has no buffers
    ResetSlotValues(s, slot);
}

void SwapColumns(FileSlot slot, int a, int b) {
    Slot& s = SlotOf(slot);
    std::swap(s.samples[a], s.samples[b]);
    std::swap(s.channels[a], s.channels[b]);
    // The flags say whether a buffer is full length, so they travel with the data.
    std::swap(s.channelFlags[a], s.channelFlags[b]);
    std::swap(s.columnCapacity[a], s.columnCapacity[b]);
    std::swap(s.fileColumn[a], s.fileColumn[b]);
    std::swap(s.fileCode[a], s.fileCode[b]);
}

void BuildChannelIndexByCode() {
    std::memset(g_session.channelIndexByCode, kColumnNotPresent,
                sizeof g_session.channelIndexByCode);
    const Slot& s = SlotOf(0);
    for (int c = kColumnCount - 1; c >= 0; --c) { // the first column with a code wins
        int code = s.channels[c].code;
        if (IsPresent(s, c) && code < kChannelIndexSize)
            g_session.channelIndexByCode[code] = uint8_t(c);
    }
}

int FindColumnByCode(FileSlot slot, ChannelCode code, int firstColumn) {
    const Slot& s = SlotOf(slot);
    for (int c = firstColumn; c < kColumnCount; ++c)
        if (IsPresent(s, c) && s.channels[c].code == code) return c;
    return -1;
}

int32_t SampleAt(FileSlot slot, int column, int32_t i) {
    const Slot& s = SlotOf(slot);
    if (!IsPresent(s, column) || !HasFullBuffer(s, column) || i < 0 || i >= s.sampleCount ||
        i >= s.capacity)
        return 0;
    return s.samples[column][i];
}

void ComputeChannelRanges(FileSlot slot) {
    Slot& s = SlotOf(slot);
    ChannelRange& r = s.range;
    const int32_t count = s.sampleCount;
    const int32_t k = count < 100 ? count / 2 : 100;
    auto setByCode = [&r](int code, int32_t max, int32_t min) {
        if (code < 0 || code >= kCodeTableSize) return;
        r.maxByCode[code] = max;
        r.minByCode[code] = min;
    };
    // Absent columns first, so that a present column's values win in the by-code table.
    for (int c = 0; c < kColumnCount; ++c) {
        if (IsPresent(s, c)) continue;
        r.max[c] = 100000;
        r.min[c] = r.minCopy[c] = 0;
        setByCode(s.channels[c].code, 100000, 0);
    }
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(s, c)) continue;
        int32_t v = k < s.capacity ? s.samples[c][k] : 0;
        r.max[c] = r.min[c] = r.minCopy[c] = v;
        setByCode(s.channels[c].code, v, v);
    }
    // Only samples taken with the engine running (column 0 above 9000) count; a recording
    // without column 0 has none.
    if (count >= 200 && IsPresent(s, 0)) {
        const int32_t* gate = s.samples[0];
        // The columns' extremes on two cores; the table by code filled in column order.
        int32_t highs[kColumnCount], lows[kColumnCount];
        auto counted = [&](int c) { return IsPresent(s, c) && s.channels[c].kind != 0; };
        ParallelFor(kColumnCount, [&](int c) {
            if (!counted(c)) return;
            highs[c] = r.max[c], lows[c] = r.min[c];
            GatedExtremes(gate, s.samples[c], 100, count - 100, highs[c], lows[c]);
        });
        for (int c = 0; c < kColumnCount; ++c) {
            if (!counted(c)) continue;
            const int32_t hi = highs[c], lo = lows[c];
            r.max[c] = hi;
            r.min[c] = r.minCopy[c] = lo;
            int code = s.channels[c].code;
            if (code < kCodeTableSize) {
                if (hi > r.maxByCode[code]) r.maxByCode[code] = hi;
                if (lo < r.minByCode[code]) r.minByCode[code] = lo;
            }
        }
    }
    if (count > 2000 && g_settings.AutoOnOffLoad) {
        for (int c = 0; c < kColumnCount; ++c)
            s.autoDisplay[c] = IsPresent(s, c) && r.min[c] != r.max[c] ? 1 : 0;
    }
}

void AlignColumnsWithFile1(FileSlot slot) {
    if (slot == 0) return;
    const Slot& base = SlotOf(0);
    Slot& s = SlotOf(slot);
    for (int c = 0; c < kColumnCount; ++c) {
        s.fileColumn[c] = uint8_t(c);
        s.fileCode[c] = s.channels[c].code;
    }
    bool matched[kColumnCount] = {};
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(base, c)) continue;
        const ChannelInfo& want = base.channels[c];
        int found = -1;
        for (int j = 0; j < kColumnCount && found < 0; ++j)
            if (IsPresent(s, j) && !matched[j] && std::strcmp(s.channels[j].name, want.name) == 0)
                found = j;
        for (int j = 0; j < kColumnCount && found < 0; ++j)
            if (IsPresent(s, j) && !matched[j] && s.channels[j].code == want.code &&
                want.code < 255)
                found = j;
        if (found < 0) continue;
        matched[c] = true;
        bool fileNamed = want.code >= kCodeFileNamedFirst || s.channels[found].code >= 256;
        SwapColumns(slot, c, found);
        // The matched channel (now in column c) takes File 1's code.
        if (fileNamed) s.channels[c].code = want.code;
    }
    for (int c = 0; c < kColumnCount; ++c)
        if (base.channels[c].code > 255) s.channels[c].code = base.channels[c].code;
}

void RealignColumnsWithFile1(FileSlot slot) {
    if (slot == 0) return;
    Slot& s = SlotOf(slot);
    bool seen[kColumnCount] = {};
    bool permutation = true;
    for (int c = 0; c < kColumnCount && permutation; ++c) {
        const int f = s.fileColumn[c];
        permutation = f < kColumnCount && !seen[f];
        if (permutation) seen[f] = true;
    }
    if (permutation) {
        // Each swap puts one column home for good.
        for (int c = 0; c < kColumnCount; ++c)
            while (s.fileColumn[c] != c) SwapColumns(slot, c, s.fileColumn[c]);
        for (int c = 0; c < kColumnCount; ++c) s.channels[c].code = s.fileCode[c];
    }
    AlignColumnsWithFile1(slot);
}

} // namespace qvtk
