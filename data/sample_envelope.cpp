#include "data/sample_envelope.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/parallel.h"
#include "platform/sample_memory.h"

namespace qvtk {

SampleEnvelopes g_envelope;

namespace {

constexpr int B = kEnvelopeBlock;
constexpr int F = kEnvelopeFanout;
static_assert(F == 8 && sizeof(EnvelopeGroup) == 64, "a group is one vector of minima and one of "
                                                     "maxima, in one cache line");
static_assert(B % 8 == 0, "a block is whole vectors");

// Levels of the longest column a slot can hold; the top level is one entry.
constexpr int LevelsFor(int64_t samples) {
    int levels = 1;
    for (int64_t count = (samples + B - 1) / B; count > 1; count = (count + F - 1) / F) ++levels;
    return levels;
}
static_assert(LevelsFor(INT32_MAX) <= kEnvelopeMaxLevels, "room for every level");

// Eight lanes; GCC and Clang lower them to AVX2 or to SSE pairs. They go to and from helpers
// by reference only: the builds without AVX cannot pass them by value.
typedef int32_t V8 __attribute__((vector_size(32)));
typedef uint32_t U8 __attribute__((vector_size(32)));

constexpr V8 kLane = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr V8 kHighest = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                         INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
constexpr V8 kLowest = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                        INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};

inline void Load8(V8& v, const int32_t* p) {
    std::memcpy(&v, p, sizeof v);
}
inline void Store8(int32_t* p, const V8& v) {
    std::memcpy(p, &v, sizeof v);
}
inline void MinInto(V8& a, const V8& b) {
    a = a < b ? a : b;
}
inline void MaxInto(V8& a, const V8& b) {
    a = a > b ? a : b;
}
template <bool kMin> inline void PickInto(V8& a, const V8& b) {
    if constexpr (kMin)
        MinInto(a, b);
    else
        MaxInto(a, b);
}
// All ones in the lanes a..b-1.
inline void LanesIn(V8& in, int a, int b) {
    const U8 offset = U8(kLane - a);
    const U8 width = U8{} + uint32_t(std::max(b - a, 0));
    in = V8(offset < width);
}

// Running extremes of a query, kept in vectors until its end.
struct Extremes {
    V8 lo = kHighest, hi = kLowest;
    int32_t slo = INT32_MAX, shi = INT32_MIN; // from samples read one by one

    void Add(const V8& mins, const V8& maxs, const V8& in) {
        MinInto(lo, in ? mins : kHighest);
        MaxInto(hi, in ? maxs : kLowest);
    }
    void Finish(int32_t& min, int32_t& max) const {
        int32_t l = slo, h = shi;
        for (int i = 0; i < 8; ++i) {
            l = std::min(l, lo[i]);
            h = std::max(h, hi[i]);
        }
        min = l;
        max = h;
    }
};

void FreeColumn(ColumnEnvelope& e) {
    FreeBlock(e.block);
    e = ColumnEnvelope();
}

inline int32_t& EntryMin(EnvelopeGroup* level, int64_t i) {
    return level[i / F].min[i % F];
}
inline int32_t& EntryMax(EnvelopeGroup* level, int64_t i) {
    return level[i / F].max[i % F];
}

// out = {min of r[0], ..., min of r[7]} (or max): three rounds of pairing lanes of two vectors.
template <bool kMin> inline void ReduceEach(const V8* r, V8& out) {
    V8 s[4], t[2];
    for (int i = 0; i < 4; ++i) {
        s[i] = __builtin_shufflevector(r[2 * i], r[2 * i + 1], 0, 8, 2, 10, 4, 12, 6, 14);
        PickInto<kMin>(s[i],
                       __builtin_shufflevector(r[2 * i], r[2 * i + 1], 1, 9, 3, 11, 5, 13, 7, 15));
    }
    for (int i = 0; i < 2; ++i) {
        t[i] = __builtin_shufflevector(s[2 * i], s[2 * i + 1], 0, 1, 8, 9, 4, 5, 12, 13);
        PickInto<kMin>(t[i],
                       __builtin_shufflevector(s[2 * i], s[2 * i + 1], 2, 3, 10, 11, 6, 7, 14, 15));
    }
    out = __builtin_shufflevector(t[0], t[1], 0, 1, 2, 3, 8, 9, 10, 11);
    PickInto<kMin>(out, __builtin_shufflevector(t[0], t[1], 4, 5, 6, 7, 12, 13, 14, 15));
}

// Level 0 from the samples, eight whole blocks (one group) at a time: one pass, all in vectors.
// Built for AVX2 as well where the processor has it.
__attribute__((target_clones("avx2", "default"))) void
WholeGroupExtremes(const int32_t* x, int64_t groups, EnvelopeGroup* level) {
    for (int64_t g = 0; g < groups; ++g) {
        V8 lo[F], hi[F], v, out;
        for (int k = 0; k < F; ++k) {
            const int32_t* p = x + (g * F + k) * B;
            Load8(lo[k], p);
            hi[k] = lo[k];
            for (int j = 8; j < B; j += 8) {
                Load8(v, p + j);
                MinInto(lo[k], v);
                MaxInto(hi[k], v);
            }
        }
        ReduceEach<true>(lo, out);
        Store8(level[g].min, out);
        ReduceEach<false>(hi, out);
        Store8(level[g].max, out);
    }
}

// The entries of a level above from the groups below: entry j covers group j.
__attribute__((target_clones("avx2", "default"))) void
UpperLevel(const EnvelopeGroup* below, int64_t entries, EnvelopeGroup* here) {
    for (int64_t g = 0; g * F < entries; ++g) {
        V8 lo[F], hi[F], out;
        for (int k = 0; k < F; ++k) {
            // Past the last entry the groups below are neutral padding or absent.
            lo[k] = kHighest;
            hi[k] = kLowest;
            if (g * F + k >= entries) continue;
            Load8(lo[k], below[g * F + k].min);
            Load8(hi[k], below[g * F + k].max);
        }
        ReduceEach<true>(lo, out);
        Store8(here[g].min, out);
        ReduceEach<false>(hi, out);
        Store8(here[g].max, out);
    }
}

// Lays out the levels for n samples; returns the groups they need.
size_t PlanLevels(ColumnEnvelope& e, int32_t n) {
    int64_t count = (int64_t(n) + B - 1) / B;
    int64_t groups = 0;
    int levels = 0;
    for (;;) {
        e.levelGroup[levels] = int32_t(groups);
        e.levelCount[levels] = int32_t(count);
        groups += (count + F - 1) / F;
        ++levels;
        if (count <= 1) break;
        count = (count + F - 1) / F;
    }
    e.levels = levels;
    return size_t(groups);
}

// The entries behind the last of a level, up to its whole group, take no part in any extreme.
void PadLevel(ColumnEnvelope& e, int level) {
    EnvelopeGroup* m = e.groups + e.levelGroup[level];
    for (int32_t j = e.levelCount[level]; j % F != 0; ++j) {
        EntryMin(m, j) = INT32_MAX;
        EntryMax(m, j) = INT32_MIN;
    }
}

bool BuildColumn(FileSlot slot, int column) {
    const Slot& s = SlotOf(slot);
    ColumnEnvelope& e = g_envelope.slots[slot].columns[column];
    const int32_t n = std::min(s.sampleCount, s.capacity);
    if (!HasFullBuffer(s, column) || !s.samples[column] || n < 1) {
        FreeColumn(e);
        return true;
    }
    // A rebuild over the same number of samples keeps its memory.
    void* block = e.block;
    EnvelopeGroup* groups = e.groups;
    const size_t allocated = e.groupCount;
    e.block = nullptr;
    FreeColumn(e);
    const size_t needed = PlanLevels(e, n);
    if (allocated != needed) {
        // The memory of the large tables (on huge pages where it is large: a frame of the
        // whole recording touches all of it), with room to start on a cache line.
        FreeBlock(block);
        block = AllocateZeroed(needed * sizeof(EnvelopeGroup) + alignof(EnvelopeGroup));
        if (!block) {
            e = ColumnEnvelope();
            return false;
        }
        const uintptr_t at = reinterpret_cast<uintptr_t>(block);
        const uintptr_t line = alignof(EnvelopeGroup);
        groups = reinterpret_cast<EnvelopeGroup*>((at + line - 1) & ~(line - 1));
    }
    e.block = block;
    e.groups = groups;
    e.groupCount = needed;
    e.samples = s.samples[column];
    e.sampleCount = n;

    const int32_t* x = s.samples[column];
    EnvelopeGroup* level0 = groups;
    const int64_t wholeGroups = n / (B * F);
    WholeGroupExtremes(x, wholeGroups, level0);
    // The blocks after the last whole group, the last of them perhaps short.
    for (int64_t b = wholeGroups * F; b < e.levelCount[0]; ++b) {
        int32_t lo = INT32_MAX, hi = INT32_MIN;
        for (int64_t i = b * B; i < std::min<int64_t>((b + 1) * B, n); ++i) {
            lo = std::min(lo, x[i]);
            hi = std::max(hi, x[i]);
        }
        EntryMin(level0, b) = lo;
        EntryMax(level0, b) = hi;
    }
    PadLevel(e, 0);
    for (int level = 1; level < e.levels; ++level) {
        UpperLevel(groups + e.levelGroup[level - 1], e.levelCount[level],
                   groups + e.levelGroup[level]);
        PadLevel(e, level);
    }
    return true;
}

// Samples [from, end) that lie in block k. A whole block is read and the samples outside the
// range are masked, which costs the same few vector operations for any part; the short last
// block is read sample by sample, as nothing guarantees memory behind the last sample.
inline void SamplesOfBlock(const ColumnEnvelope& e, int64_t k, int64_t from, int64_t end,
                           Extremes& x) {
    const int64_t start = k * B;
    if (start + B > e.sampleCount) {
        for (int64_t i = std::max(from, start); i < end; ++i) {
            x.slo = std::min(x.slo, e.samples[i]);
            x.shi = std::max(x.shi, e.samples[i]);
        }
        return;
    }
    const int a = int(std::max<int64_t>(from - start, 0));
    const int b = int(std::min<int64_t>(end - start, B));
    V8 v, in;
    for (int j = 0; j < B; j += 8) {
        Load8(v, e.samples + start + j);
        LanesIn(in, a - j, b - j);
        x.Add(v, v, in);
    }
}

// Entries [from, end) of a level that lie in its group g.
inline void EntriesOfGroup(const EnvelopeGroup* level, int64_t g, int64_t from, int64_t end,
                           Extremes& x) {
    const int64_t start = g * F;
    const int a = int(std::max<int64_t>(from - start, 0));
    const int b = int(std::min<int64_t>(end - start, F));
    V8 mins, maxs, in;
    Load8(mins, level[g].min);
    Load8(maxs, level[g].max);
    LanesIn(in, a, b);
    x.Add(mins, maxs, in);
}

// Extremes of samples [from, end), 0 <= from < end <= sampleCount. Whole blocks [bl, bh) of
// level 0 come from the pyramid: at each level the entries up to the next whole group are
// read, then the climb goes on with the groups as entries of the level above. The short last
// entry of a level counts as whole when the range reaches the end of the samples.
__attribute__((always_inline)) inline void Query(const ColumnEnvelope& e, int64_t from, int64_t end,
                                                 int32_t& min, int32_t& max) {
    if (end - from <= 2 * B) { // a zoomed-in pixel column: reading the samples is quicker
        int32_t l = INT32_MAX, h = INT32_MIN;
        for (int64_t i = from; i < end; ++i) {
            l = std::min(l, e.samples[i]);
            h = std::max(h, e.samples[i]);
        }
        min = l;
        max = h;
        return;
    }
    Extremes x;
    const int64_t n = e.sampleCount;
    int64_t bl = (from + B - 1) / B;
    int64_t bh = end == n ? e.levelCount[0] : end / B;
    // More than 2B - 1 samples always hold a whole block: bl < bh.
    if (from < bl * B) SamplesOfBlock(e, bl - 1, from, end, x);
    if (bh * B < end) SamplesOfBlock(e, bh, from, end, x);
    for (int level = 0;; ++level) {
        const EnvelopeGroup* m = e.groups + e.levelGroup[level];
        const bool top = level + 1 == e.levels;
        const int64_t ul = (bl + F - 1) / F;
        const int64_t uh = top ? 0 : bh == e.levelCount[level] ? e.levelCount[level + 1] : bh / F;
        if (ul >= uh) { // within at most two groups
            const int64_t g = bl / F;
            EntriesOfGroup(m, g, bl, bh, x);
            if ((g + 1) * F < bh) EntriesOfGroup(m, g + 1, bl, bh, x);
            x.Finish(min, max);
            return;
        }
        if (bl < ul * F) EntriesOfGroup(m, ul - 1, bl, bh, x);
        if (uh * F < bh) EntriesOfGroup(m, uh, bl, bh, x);
        bl = ul;
        bh = uh;
    }
}

// One query, built for AVX2 as well where the processor has it.
__attribute__((target_clones("avx2", "default"))) void
QueryOne(const ColumnEnvelope& e, int64_t from, int64_t end, int32_t& min, int32_t& max) {
    Query(e, from, end, min, max);
}

// Starts loading what the query of [from, end) reads first: the blocks at both ends and their
// groups of the two finest levels. Runs far apart miss the cache at every level.
inline void Prefetch(const ColumnEnvelope& e, int64_t from, int64_t end) {
    __builtin_prefetch(e.samples + from);
    __builtin_prefetch(e.samples + end - 1);
    int64_t span = B * F;
    for (int level = 0; level < e.levels && span <= 8 * (end - from); ++level, span *= F) {
        const EnvelopeGroup* m = e.groups + e.levelGroup[level];
        __builtin_prefetch(m + from / span);
        __builtin_prefetch(m + (end - 1) / span);
    }
}

// Consecutive runs, each starting after the last sample of the one before.
__attribute__((target_clones("avx2", "default"))) void
QueryRuns(const ColumnEnvelope& e, int64_t first, const int32_t* lasts, int count, MinMax* out) {
    constexpr int kAhead = 16; // runs between a prefetch and its use
    const int64_t n = e.sampleCount;
    auto span = [&](int k, int64_t& from, int64_t& end) {
        from = std::max<int64_t>(k == 0 ? first : int64_t(lasts[k - 1]) + 1, 0);
        end = std::min<int64_t>(int64_t(lasts[k]) + 1, n);
    };
    int64_t from, end;
    for (int k = 0; k < std::min(count, kAhead); ++k) {
        span(k, from, end);
        if (from < end) Prefetch(e, from, end);
    }
    for (int k = 0; k < count; ++k) {
        if (k + kAhead < count) {
            span(k + kAhead, from, end);
            if (from < end) Prefetch(e, from, end);
        }
        span(k, from, end);
        out[k] = {INT32_MAX, INT32_MIN};
        if (from < end) {
            Query(e, from, end, out[k].min, out[k].max);
            out[k].last = e.samples[end - 1]; // in the block the query just read
        }
    }
}

bool ValidColumn(FileSlot slot, int column) {
    return slot >= 0 && slot < kSlotCount && column >= 0 && column < kColumnCount;
}

// The column's envelope when it describes the column's samples as they are now, else null.
ColumnEnvelope* CurrentEnvelope(FileSlot slot, int column) {
    if (!ValidColumn(slot, column)) return nullptr;
    const Slot& s = SlotOf(slot);
    ColumnEnvelope& e = g_envelope.slots[slot].columns[column];
    // An envelope of another buffer or another length describes other samples.
    if (e.levels == 0 || !HasFullBuffer(s, column) || e.samples != s.samples[column] ||
        e.sampleCount != s.sampleCount)
        return nullptr;
    return &e;
}

} // namespace

void ResetSampleEnvelopes() {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) FreeSlotEnvelope(slot);
}

void FreeSlotEnvelope(FileSlot slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    for (ColumnEnvelope& e : g_envelope.slots[slot].columns) FreeColumn(e);
}

bool BuildSlotEnvelope(FileSlot slot) {
    if (slot < 0 || slot >= kSlotCount) return false;
    // The columns are independent: built on two cores.
    std::atomic<bool> ok{true};
    ParallelFor(kColumnCount, [&](int c) {
        if (!BuildColumn(slot, c)) ok = false;
    });
    return ok;
}

bool RebuildColumnEnvelope(FileSlot slot, int column) {
    return ValidColumn(slot, column) && BuildColumn(slot, column);
}

bool EnvelopeMinMax(FileSlot slot, int column, int32_t first, int32_t last, int32_t& min,
                    int32_t& max) {
    const ColumnEnvelope* e = CurrentEnvelope(slot, column);
    if (!e) return false;
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(int64_t(last) + 1, e->sampleCount); // exclusive
    if (from >= end) return false;
    QueryOne(*e, from, end, min, max);
    return true;
}

bool EnvelopeMinMaxRuns(FileSlot slot, int column, int32_t first, const int32_t* lasts, int count,
                        MinMax* out) {
    const MinMax* answer = EnvelopeMinMaxRunsInPlace(slot, column, first, lasts, count);
    if (answer) std::copy(answer, answer + count, out);
    return answer != nullptr;
}

const MinMax* EnvelopeMinMaxRunsInPlace(FileSlot slot, int column, int32_t first,
                                        const int32_t* lasts, int count) {
    ColumnEnvelope* e = CurrentEnvelope(slot, column);
    if (!e || count < 0) return nullptr;
    const bool same = e->lastFirst == first && e->lastRuns.size() == size_t(count) &&
                      std::equal(lasts, lasts + count, e->lastRuns.begin());
    if (!same) {
        // Runs asked for last time (same first sample and same last sample) keep their answer;
        // the others are asked in consecutive stretches.
        const std::vector<int32_t>& old = e->lastRuns;
        std::vector<MinMax>& next = e->nextAnswer;
        next.resize(size_t(count));
        auto oldFrom = [&](size_t j) { return j == 0 ? e->lastFirst : old[j - 1] + 1; };
        size_t j = 0;
        int pending = -1; // first run of a stretch still to be asked
        auto ask = [&](int end) {
            if (pending < 0) return;
            const int32_t from = pending == 0 ? first : lasts[pending - 1] + 1;
            QueryRuns(*e, from, lasts + pending, end - pending, next.data() + pending);
            pending = -1;
        };
        for (int k = 0; k < count; ++k) {
            const int32_t from = k == 0 ? first : lasts[k - 1] + 1;
            while (j < old.size() && old[j] < lasts[k]) ++j;
            if (j < old.size() && old[j] == lasts[k] && oldFrom(j) == from) {
                ask(k);
                next[size_t(k)] = e->lastAnswer[j];
            } else if (pending < 0) {
                pending = k;
            }
        }
        ask(count);
        e->lastRuns.assign(lasts, lasts + count);
        e->lastFirst = first;
        std::swap(e->lastAnswer, next);
    }
    return e->lastAnswer.data();
}

size_t SlotEnvelopeBytes(FileSlot slot) {
    if (slot < 0 || slot >= kSlotCount) return 0;
    size_t bytes = 0;
    for (const ColumnEnvelope& e : g_envelope.slots[slot].columns)
        bytes += e.groupCount * sizeof(EnvelopeGroup);
    return bytes;
}

} // namespace qvtk
