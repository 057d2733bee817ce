#pragma once
// Exact minimum and maximum of any run of samples of a column, in time that does not grow with
// the recording: a pyramid of per-block extremes built once when a recording is loaded. The time
// graphs ask it for every pixel column, so a single-sample spike shows at every zoom. It takes
// about a seventh of the memory of the samples it covers.
#include <cstdint>
#include <vector>

#include "data/session.h"

namespace qvtk {

constexpr int kEnvelopeBlock = 16;     // samples per block of the finest level
constexpr int kEnvelopeFanout = 8;     // blocks of one level per block of the next
constexpr int kEnvelopeMaxLevels = 12; // enough for 2^31 samples

struct MinMax {
    int32_t min;
    int32_t max;
    int32_t last = 0; // the run's last sample (runs of a frame only)
};

// kEnvelopeFanout neighbouring entries of a level: their minima, then their maxima. One cache
// line, read whole by a query.
struct alignas(64) EnvelopeGroup {
    int32_t min[kEnvelopeFanout];
    int32_t max[kEnvelopeFanout];
};

// The pyramid of one column. Level 0 holds one entry per kEnvelopeBlock samples, each higher
// level one entry per kEnvelopeFanout entries below; the last entry of a level may cover fewer.
// Each level fills whole groups; entries past its last one are neutral.
struct ColumnEnvelope {
    void* block = nullptr;                       // the allocation that holds the groups
    EnvelopeGroup* groups = nullptr;             // every level, finest first
    size_t groupCount = 0;                       // groups allocated
    const int32_t* samples = nullptr;            // the buffer it was built from
    int32_t sampleCount = 0;                     // samples it covers, from 0
    int levels = 0;                              // 0: no envelope
    int32_t levelGroup[kEnvelopeMaxLevels] = {}; // first group of each level
    int32_t levelCount[kEnvelopeMaxLevels] = {}; // entries of each level
    // The runs last asked for and their answer: a view that is redrawn unchanged (the pointer
    // moving over it) asks for the same runs every frame.
    // A scrolled view asks for the same runs moved along: those answers are taken over.
    int32_t lastFirst = -1;
    std::vector<int32_t> lastRuns;
    std::vector<MinMax> lastAnswer;
    std::vector<MinMax> nextAnswer; // scratch of the next answer
};

struct SlotEnvelope {
    ColumnEnvelope columns[kColumnCount];
};

// The envelopes of the three file slots.
struct SampleEnvelopes {
    SlotEnvelope slots[kSlotCount];
};

extern SampleEnvelopes g_envelope;

// Frees every envelope.
void ResetSampleEnvelopes();
// Frees the envelopes of one slot (its buffers are about to go or have gone).
void FreeSlotEnvelope(FileSlot slot);

// Builds the envelope of every column of the slot that has a full buffer, over its SampleCount
// samples; other columns lose theirs. False when memory ran out for some column (that column
// then has none and callers read its samples directly).
bool BuildSlotEnvelope(FileSlot slot);
// The same for one column whose samples were rewritten after the load.
bool RebuildColumnEnvelope(FileSlot slot, int column);

// Minimum and maximum of samples first..last (inclusive) of the column, clamped to
// 0..SampleCount-1. False, with min and max untouched, when the range is empty or the column has
// no envelope that matches its buffer and sample count.
bool EnvelopeMinMax(FileSlot slot, int column, int32_t first, int32_t last, int32_t& min,
                    int32_t& max);

// The same for the consecutive runs of a frame's pixel columns: run k holds samples
// lasts[k-1]+1 .. lasts[k] (run 0 starts at first), clamped as above, and its extremes and
// its last sample go to out[k]; a run left without samples gets {INT32_MAX, INT32_MIN}. Faster than
// one query per run, as it loads each run's memory while the runs before it are answered. False,
// with out untouched, when the column has no envelope that matches its samples.
bool EnvelopeMinMaxRuns(FileSlot slot, int column, int32_t first, const int32_t* lasts, int count,
                        MinMax* out);
// The same answer read in place: the envelope keeps it until its column is asked again or
// rebuilt. Null when the column has no envelope that matches its samples.
const MinMax* EnvelopeMinMaxRunsInPlace(FileSlot slot, int column, int32_t first,
                                        const int32_t* lasts, int count);

// Bytes the envelopes of a slot take.
size_t SlotEnvelopeBytes(FileSlot slot);

} // namespace qvtk
