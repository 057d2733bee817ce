// The min/max envelope against a plain scan of the samples: random data with spikes, extreme
// values and flat runs, queried at ranges of every shape; rebuilt columns, closed slots, and
// envelopes made by a real load, File 2's aligned columns included.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "data/sample_envelope.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/ride.h"

namespace qvtk::test {
namespace {

constexpr int B = kEnvelopeBlock;
constexpr int F = kEnvelopeFanout;

class SampleEnvelopeTest : public ProgramTest {};

// Extremes of samples first..last (clamped) by reading every one; {INT32_MAX, INT32_MIN} when
// there is none.
MinMax Scan(FileSlot slot, int column, int32_t first, int32_t last) {
    const Slot& s = SlotOf(slot);
    MinMax m{INT32_MAX, INT32_MIN};
    for (int64_t i = std::max<int64_t>(first, 0); i <= std::min(last, s.sampleCount - 1); ++i) {
        m.min = std::min(m.min, s.samples[column][i]);
        m.max = std::max(m.max, s.samples[column][i]);
    }
    return m;
}

// 1 when the envelope's answer differs from the scan's (an empty range must get none).
int Mismatch(FileSlot slot, int column, int32_t first, int32_t last) {
    const MinMax want = Scan(slot, column, first, last);
    MinMax got{7, 7};
    const bool answered = EnvelopeMinMax(slot, column, first, last, got.min, got.max);
    if (want.min > want.max) return answered || got.min != 7 || got.max != 7 ? 1 : 0;
    return answered && got.min == want.min && got.max == want.max ? 0 : 1;
}

// The same for consecutive runs asked at once.
int RunMismatches(FileSlot slot, int column, int32_t first, const std::vector<int32_t>& lasts) {
    std::vector<MinMax> got(lasts.size(), MinMax{7, 7});
    if (!EnvelopeMinMaxRuns(slot, column, first, lasts.data(), int(lasts.size()), got.data()))
        return int(lasts.size());
    int bad = 0;
    for (size_t k = 0; k < lasts.size(); ++k) {
        const MinMax want = Scan(slot, column, k == 0 ? first : lasts[k - 1] + 1, lasts[k]);
        bad += got[k].min != want.min || got[k].max != want.max;
        // A run that holds samples also gives its last one (runs end at the recording's end).
        const Slot& s = SlotOf(slot);
        if (want.min <= want.max)
            bad += got[k].last != s.samples[column][std::min(lasts[k], s.sampleCount - 1)];
    }
    return bad;
}

// Noise around a drifting level, with flat runs, one-sample spikes and the extreme values.
void FillRandom(int32_t* x, int32_t n, std::mt19937& rng) {
    std::uniform_int_distribution<int32_t> noise(-500, 500);
    int32_t level = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t r = rng() % 1000;
        if (r < 5) { // a flat run
            const int32_t end = std::min<int32_t>(n, i + int32_t(rng() % (4 * B)));
            for (; i < end; ++i) x[i] = level;
            if (i >= n) break;
        }
        level += noise(rng) / 10;
        x[i] = level + noise(rng);
        if (r >= 995)
            x[i] = r & 1 ? INT32_MAX : INT32_MIN;
        else if (r >= 990)
            x[i] = level + (r & 1 ? 1 : -1) * int32_t(rng() % 1000000);
    }
}

TEST_F(SampleEnvelopeTest, MatchesAScanAtRangesOfEveryShape) {
    std::mt19937 rng(20240611);
    auto pick = [&](int32_t bound) { return int32_t(rng() % uint32_t(bound)); };
    // Each size puts the last, short block (or its absence) at another level boundary.
    for (int32_t n : {1, B - 1, B, B + 1, F * B + 1, F * F * B + 1, F * F * F * B, 100003}) {
        Slot& s = MakeRecording(0, n, {{0, kCodeNe, "Ne"}, {3, kCodeVRW, "VRW"}});
        for (int c : {0, 3}) {
            FillRandom(s.samples[c], n, rng);
            // The spare entries behind the last sample must never count.
            for (int32_t i = n; i < s.capacity; ++i)
                s.samples[c][i] = i & 1 ? INT32_MAX : INT32_MIN;
        }
        s.samples[3][n / 2] = INT32_MAX; // the lone spike in the middle
        ASSERT_TRUE(BuildSlotEnvelope(0));
        if (n > 10000) { // a small share of what the samples take
            EXPECT_LE(double(SlotEnvelopeBytes(0)), 0.3 * 2 * 4 * double(n));
        }

        int bad = Mismatch(0, 0, 0, n - 1) + Mismatch(0, 3, INT32_MIN, INT32_MAX);
        for (int q = 0; q < 6000; ++q) {
            int32_t a = pick(n), b = a;              // one sample
            const int32_t span = B << (3 * pick(4)); // a block or an entry of a higher level
            switch (q % 6) {
            case 1: // inside one block
                b = a + pick(B - a % B);
                break;
            case 2: // across the edge of a block or of a higher level's entry
                b = (a = (a / span + 1) * span - 1 - pick(2 * B)) + pick(4 * B);
                break;
            case 3: // any length, short ones more often
                b = a + int32_t(std::pow(n, std::uniform_real_distribution(0.0, 1.0)(rng)));
                break;
            case 4: // past the end, and from before the start
                b = n - 1 + pick(2 * B), a = q % 12 == 4 ? -pick(100) : a;
                break;
            case 5: // empty, or wholly outside
                b = (a = pick(n + 10)) - 1 - pick(3);
                break;
            }
            bad += Mismatch(0, q & 1 ? 3 : 0, a, b);
        }
        // Frames of pixel columns: runs of any width (empty ones too) from before the first
        // sample to past the last.
        for (int frame = 0; frame < 20; ++frame) {
            const int32_t first = frame % 4 == 0 ? -pick(40) : pick(n);
            const int32_t width = 1 + pick(std::max(1, 3 * n / 100));
            std::vector<int32_t> lasts;
            for (int32_t last = first - 1; last < n + 2 * B && lasts.size() < 400;)
                lasts.push_back(last += pick(2 * width));
            bad += RunMismatches(0, frame & 1 ? 3 : 0, first, lasts);
            // The same frame scrolled: runs left behind, runs kept (their answers are taken
            // over), runs new at the far end, and a kept run whose start moved.
            if (lasts.size() > 4) {
                const size_t drop = 1 + size_t(pick(int32_t(lasts.size() / 2)));
                std::vector<int32_t> moved(lasts.begin() + drop, lasts.end());
                for (int k = 0; k < 5; ++k) moved.push_back(moved.back() + 1 + pick(2 * width));
                if (frame % 3 == 0) moved[moved.size() / 2] += 1;
                bad += RunMismatches(0, frame & 1 ? 3 : 0, lasts[drop - 1] + 1, moved);
                bad += RunMismatches(0, frame & 1 ? 3 : 0, lasts[drop - 1] + 2 - pick(3), moved);
            }
        }
        EXPECT_EQ(bad, 0) << n << " samples";
    }
}

TEST_F(SampleEnvelopeTest, RewrittenColumnShowsItsNewExtremesOnceRebuilt) {
    Slot& s = MakeRecording(0, 5000, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}});
    Fill(0, 0, 100);
    Fill(0, 1, 200);
    BuildSlotEnvelope(0);
    // The same runs asked again (a frame redrawn unchanged) before and after the rewrite.
    const std::vector<int32_t> runs = {99, 1000, 4320, 4999};
    EXPECT_EQ(RunMismatches(0, 1, 10, runs) + RunMismatches(0, 1, 10, runs), 0);
    s.samples[1][4321] = -9; // as a derived channel re-run would write it
    s.samples[1][17] = 99999;
    ASSERT_TRUE(RebuildColumnEnvelope(0, 1));
    EXPECT_EQ(Mismatch(0, 1, 0, 4999) + Mismatch(0, 1, 4000, 4400) + Mismatch(0, 0, 0, 4999), 0);
    EXPECT_EQ(RunMismatches(0, 1, 10, runs), 0);

    // An envelope of other samples is never answered from: swapped columns, another length.
    SwapColumns(0, 0, 1);
    int32_t lo, hi;
    EXPECT_FALSE(EnvelopeMinMax(0, 0, 0, 10, lo, hi));
    BuildSlotEnvelope(0);
    s.sampleCount = 4000;
    EXPECT_FALSE(EnvelopeMinMax(0, 0, 0, 10, lo, hi));
    ASSERT_TRUE(RebuildColumnEnvelope(0, 0));
    ASSERT_TRUE(EnvelopeMinMax(0, 0, 0, 4999, lo, hi));
    EXPECT_EQ(lo, 200); // -9 lies past the new end
    EXPECT_EQ(hi, 99999);
}

TEST_F(SampleEnvelopeTest, NoEnvelopeWithoutSamplesOrOnceTheBuffersGo) {
    MakeRecording(2, 3000, {{0, kCodeNe, "Ne"}});
    BuildSlotEnvelope(2);
    int32_t lo = 1, hi = 1;
    const int32_t last = 10;
    MinMax run{1, 1};
    EXPECT_FALSE(EnvelopeMinMax(2, 4, 0, 999, lo, hi)); // a placeholder buffer
    EXPECT_FALSE(EnvelopeMinMaxRuns(2, 4, 0, &last, 1, &run));
    EXPECT_FALSE(EnvelopeMinMax(1, 0, 0, 999, lo, hi)); // never built
    EXPECT_FALSE(EnvelopeMinMax(3, 0, 0, 999, lo, hi));
    EXPECT_TRUE(lo == 1 && hi == 1 && run.min == 1 && run.max == 1);
    EXPECT_GT(SlotEnvelopeBytes(2), 0u);
    CloseSlot(2);
    EXPECT_FALSE(EnvelopeMinMax(2, 0, 0, 0, lo, hi));
    EXPECT_EQ(SlotEnvelopeBytes(2), 0u);

    MakeRecording(2, 3000, {{0, kCodeNe, "Ne"}});
    BuildSlotEnvelope(2);
    ASSERT_TRUE(AllocateSlotBuffers(2, 3016));
    EXPECT_EQ(SlotEnvelopeBytes(2), 0u);
    BuildSlotEnvelope(2);
    ResetSession();
    EXPECT_EQ(SlotEnvelopeBytes(2), 0u);
}

const sim::SimRide& Ride() {
    return SimulatedRide(3, 1);
}

// Every column with a full buffer answers exactly, and every other column not at all.
int EnvelopeFaults(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    int faults = 0, built = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        int32_t lo = 0, hi = 0;
        if (!HasFullBuffer(s, c)) {
            faults += EnvelopeMinMax(slot, c, 0, s.sampleCount - 1, lo, hi);
            continue;
        }
        ++built;
        const int32_t n = s.sampleCount;
        for (int32_t a : {0, 1, n / 3, n - 40})
            for (int32_t len : {1, 37, 1125, n}) faults += Mismatch(slot, c, a, a + len - 1);
    }
    return built > 0 ? faults : 1;
}

TEST_F(SampleEnvelopeTest, LoadBuildsEnvelopesThatFollowFileTwosAlignedColumns) {
    const std::vector<uint8_t> family4 = sim::WriteFamily4(Ride());
    // File 2's own column order, with nothing in File 1 to line up with.
    ASSERT_EQ(Load(1, "two.qvd", family4), 1);
    ASSERT_TRUE(Loaded(1));
    char own[kColumnCount][9];
    for (int c = 0; c < kColumnCount; ++c) std::memcpy(own[c], SlotOf(1).channels[c].name, 9);

    Load(0, "one.qvd", sim::WriteFamily3(Ride(), 2));
    ASSERT_TRUE(Loaded(0));
    Load(1, "two.qvd", family4);
    ASSERT_TRUE(Loaded(1));
    int moved = 0;
    for (int c = 0; c < kColumnCount; ++c)
        moved += IsPresent(SlotOf(1), c) && std::strcmp(own[c], SlotOf(1).channels[c].name) != 0;
    ASSERT_GT(moved, 0) << "the alignment moved no column";
    EXPECT_EQ(EnvelopeFaults(1), 0);
    EXPECT_EQ(EnvelopeFaults(0), 0);
}

} // namespace
} // namespace qvtk::test
