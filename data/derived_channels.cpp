#include "data/derived_channels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/arith.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "platform/parallel.h"
#include "platform/sample_memory.h"

namespace qvtk {

DerivedChannelState g_derivedState;

namespace {

// Slip-trigger maps: 30 maps over throttle (x, 11 points) and lean (y, 10 points). The logger
// firmware these values would come from is not available, so every map is zero and the
// channel reads 0 until real maps are supplied.
double g_slipTriggerMaps[30][11][10] = {};
const double kSlipTriggerX[11] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
const double kSlipTriggerY[10] = {0, 20, 30, 35, 40, 45, 50, 55, 60, 65};

// The column of code, with a match in column 0 counting as none (column 0 is the engine speed
// of the fixed layout and never one of these inputs).
int FindInput(FileSlot slot, ChannelCode code) {
    int c = FindColumnByCode(slot, code);
    return c == 0 ? -1 : c;
}

// Index of the cell on an axis and the position inside it, clamped to the axis.
void LocateOnAxis(const double* axis, int n, double v, int& k, double& t) {
    k = 0;
    while (k + 1 < n - 1 && axis[k + 1] <= v) ++k;
    t = (v - axis[k]) / (axis[k + 1] - axis[k]);
    if (t < 0) t = 0;
    if (t > 1) t = 1;
}

// One suspension speed from the summed stroke difference, in single precision as the logger's
// tools compute it. The sum is exact in a double, so converting from it rounds once, as a
// conversion from the integer does.
inline int32_t SuspensionSpeed(double sum, float factor, float n) {
    float speed = float(sum * 200.0);
    speed = speed * factor;
    speed = speed / n;
    return TruncToInt32(speed);
}

// Away from both ends the window never reaches a difference that counts as 0, and the loop
// vectorizes.
__attribute__((target_clones("avx2", "default"))) void
SuspensionSpeedInterior(const int32_t* x, int32_t* out, int32_t from, int32_t to, int h,
                        float factor, float n) {
    for (int32_t i = from; i < to; ++i)
        out[i] = SuspensionSpeed(double(x[i + 1 + h]) - double(x[i - h]), factor, n);
}

void WriteSuspensionSpeed(const Slot& s, const int32_t* x, int32_t* out, int h, int32_t limit) {
    const int32_t count = s.sampleCount;
    const int64_t n = 2 * int64_t(h) + 1;
    if (n <= 0) {
        std::fill(out, out + count, 0);
        return;
    }
    // The differences telescope: the sum over a window is one difference of two samples.
    const int64_t lastValid = std::min<int64_t>(limit, count) - 1;
    auto edge = [&](int32_t i) {
        int64_t lo = std::max<int64_t>(int64_t(i) + 1 - h, 2);
        int64_t hi = std::min<int64_t>(int64_t(i) + 1 + h, lastValid);
        out[i] = SuspensionSpeed(lo <= hi ? double(x[hi]) - double(x[lo - 1]) : 0.0,
                                 s.sampleRateFactor, float(n));
    };
    // Inside [h + 1, lastValid - h - 1] the window needs no clamping.
    const int64_t from = std::min<int64_t>(int64_t(h) + 1, count);
    const int64_t to = std::max<int64_t>(from, std::min<int64_t>(lastValid - h, count));
    for (int32_t i = 0; i < from; ++i) edge(i);
    SuspensionSpeedInterior(x, out, int32_t(from), int32_t(to), h, s.sampleRateFactor, float(n));
    for (int32_t i = int32_t(to); i < count; ++i) edge(i);
}

// Slip where the front wheel turns faster than 5 km/h; other samples keep their value.
__attribute__((target_clones("avx2", "default"))) void
WriteSlipRatio(const int32_t* front, const int32_t* rear, int32_t* out, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double f = front[i];
        const int32_t slip = TruncToInt32((double(rear[i]) - f) * 100000.0 / f);
        out[i] = front[i] > 5000 ? slip : out[i];
    }
}

// Slip of a wheel against the GPS speed where the GPS says more than 20 km/h, else 0.
__attribute__((target_clones("avx2", "default"))) void
WriteGpsSlip(const int32_t* wheel, const int32_t* gps, int32_t* out, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double G = gps[i];
        const int32_t slip = TruncToInt32((double(wheel[i]) - G) * 100000.0 / G);
        out[i] = gps[i] > 20000 ? slip : 0;
    }
}

} // namespace

namespace {

// The moving average of SmoothColumn; false when there was no memory for it.
bool SmoothColumnQuietly(FileSlot slot, int column) {
    Slot& s = SlotOf(slot);
    if (column < 0 || column >= kColumnCount || !IsPresent(s, column)) return true;
    const int64_t count = s.sampleCount;
    const int64_t w = g_settings.SmoothingSample;
    if (w < 0 || !(w + 2 < count - w - 2)) return true;
    int32_t* x = s.samples[column];
    // The window reads the samples as they were: those it has already replaced (the last
    // w + 1 of them) are kept in a ring, not the whole column in a copy.
    const int64_t ring = w + 1;
    auto* kept = static_cast<int32_t*>(AllocateZeroed(size_t(ring) * sizeof(int32_t)));
    if (!kept) return false;
    const double width = double(2 * w + 1);
    int64_t sum = 0; // exact, as a sum of doubles of these integers is
    for (int64_t j = 2; j <= 2 + 2 * w; ++j) sum += x[j];
    for (int64_t i = w + 2, at = 0; i <= count - w - 3; ++i) {
        kept[at] = x[i];
        x[i] = TruncToInt32(double(sum) / width);
        // Sample i - w: replaced w steps ago and kept in the next place, or not yet replaced.
        if (++at == ring) at = 0;
        const int32_t leaving = i - w >= w + 2 ? kept[at] : x[i - w];
        if (i + w + 1 < count) sum += int64_t(x[i + w + 1]) - leaving;
    }
    FreeBlock(kept);
    return true;
}

} // namespace

void SmoothColumn(FileSlot slot, int column) {
    if (!SmoothColumnQuietly(slot, column)) ShowMessage("Memory Error.", "Error");
}

void SmoothBinaryLog(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    for (int c = 1; c < kColumnCount; ++c) {
        if (!IsPresent(s, c)) continue;
        ChannelCode code = s.channels[c].code;
        if ((code == kCodeNe && g_settings.smoothingNE) ||
            ((code == kCodeVFW || code == kCodeVRW) && g_settings.smoothingVW) ||
            ((code == kCodeFrSUS || code == kCodeRrSUS) && g_settings.SmoothingSTD != 0))
            SmoothColumn(slot, c);
    }
}

void SmoothBySettings(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const bool family4 = s.file.fileKind == kFileFamily4;
    std::vector<int> columns; // in the order they are smoothed; a column may come twice
    auto smoothCode = [&](ChannelCode code) {
        int c = FindColumnByCode(slot, code);
        if (c >= 0) columns.push_back(c);
    };
    if (!family4) {
        if (g_settings.smoothingNE) smoothCode(kCodeNe);
        if (g_settings.smoothingVW) {
            smoothCode(kCodeVFW);
            smoothCode(kCodeVRW);
        }
        if (g_settings.SmoothingSTD != 0) {
            for (ChannelCode code : {kCodeTPS, kCodeSlipInputX, kCodeSlip, kCodeFrSUS, kCodeRrSUS})
                smoothCode(code);
        }
    }
    columns.push_back(0);
    // The columns are independent: on two cores, each smoothed as often as it is listed (a
    // message for every failure, from this thread).
    std::vector<int> distinct = columns;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<int> failures(distinct.size(), 0);
    ParallelFor(int(distinct.size()), [&](int i) {
        for (int c : columns)
            if (c == distinct[size_t(i)] && !SmoothColumnQuietly(slot, c)) ++failures[size_t(i)];
    });
    for (int& failed : failures)
        for (; failed > 0; --failed) ShowMessage("Memory Error.", "Error");
    int front = FindColumnByCode(slot, kCodeVFW), rear = FindColumnByCode(slot, kCodeVRW);
    if (g_settings.VFWCopyVRW && front >= 0 && rear >= 0)
        std::memcpy(s.samples[rear], s.samples[front], size_t(s.sampleCount) * sizeof(int32_t));
}

void ComputeSuspensionSpeed(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const int h = int(float(g_settings.SusVSampleNum) * s.sampleRateFactor);
    const int32_t limit = s.sampleCount - g_settings.SusVSampleNum;
    const ChannelCode pairs[2][2] = {{kCodeFrSUS, kCodeVFrSUS}, {kCodeRrSUS, kCodeVRrSUS}};
    int in[2], out[2];
    for (int k = 0; k < 2; ++k) {
        in[k] = FindColumnByCode(slot, pairs[k][0]);
        out[k] = FindColumnByCode(slot, pairs[k][1]);
    }
    // Front and rear on a core each.
    ParallelFor(2, [&](int k) {
        if (in[k] >= 0 && out[k] >= 0)
            WriteSuspensionSpeed(s, s.samples[in[k]], s.samples[out[k]], h, limit);
    });
    for (int k = 0; k < 2; ++k)
        if (in[k] >= 0 && out[k] >= 0) s.channels[out[k]].source = 1;
}

void ComputeSlipRatio(FileSlot slot) {
    Slot& s = SlotOf(slot);
    int front = FindInput(slot, kCodeVFW), rear = FindInput(slot, kCodeVRW);
    int out = FindInput(slot, kCodeSlip);
    if (front < 0 || rear < 0 || out < 0) return;
    WriteSlipRatio(s.samples[front], s.samples[rear], s.samples[out], s.sampleCount);
    s.channels[out].source = 1;
}

void ComputeGpsSlip(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const int gps = FindInput(slot, kCodeGpsSpeed);
    if (gps < 0) return;
    const int g = g_derivedState.gpsSlipLag;
    const int32_t count = s.sampleCount;
    const ChannelCode pairs[2][2] = {{kCodeVFW, kCodeFrontGpsSlip}, {kCodeVRW, kCodeRearGpsSlip}};
    for (const auto& pair : pairs) {
        int in = FindInput(slot, pair[0]), out = FindInput(slot, pair[1]);
        if (in < 0 || out < 0) continue;
        // Samples whose GPS sample (i + g) lies outside the recording keep their value.
        const int64_t from = std::max<int64_t>(0, -int64_t(g));
        const int64_t to = std::min<int64_t>(count, int64_t(count) - g);
        if (from < to)
            WriteGpsSlip(s.samples[in] + from, s.samples[gps] + from + g, s.samples[out] + from,
                         int32_t(to - from));
        s.channels[out].source = 1;
    }
}

void ComputeReductionRatio(FileSlot slot) {
    Slot& s = SlotOf(slot);
    const int ne = FindColumnByCode(slot, kCodeNe); // the one input allowed in column 0
    const int rear = FindInput(slot, kCodeVRW), out = FindInput(slot, kCodeReducRat);
    if (ne < 0 || rear < 0 || out < 0) return;
    int lag = g_derivedState.reductionRatioLag;
    lag = lag < 0 ? 0 : (lag > 200 ? 200 : lag);
    const double tire = s.header.tireRear;
    const int32_t *n = s.samples[ne], *v = s.samples[rear];
    int32_t* o = s.samples[out];
    for (int32_t i = 0; i + lag < s.sampleCount; ++i) {
        const int32_t V = v[i + lag];
        o[i + lag] = V > 20000 ? TruncToInt32(tire * -0.06 / V * n[i]) : 0;
    }
    s.channels[out].source = 1;
}

void ComputeSlipTrigger(FileSlot slot, int column) {
    Slot& s = SlotOf(slot);
    int target = column;
    if (target == 0) target = FindColumnByCode(slot, kCodeSlipTrigger, 1);
    if (target < 1 || target >= kColumnCount || !HasFullBuffer(s, target)) return;
    const int y = FindColumnByCode(slot, kCodeSlipInputY, 1);
    const int x = FindColumnByCode(slot, kCodeSlipInputX, 1);
    g_derivedState.slipTriggerSource[slot] = -1;
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c) && s.channels[c].code > 255 &&
            std::strcmp(s.channels[c].name, "SLIPTRG") == 0) {
            g_derivedState.slipTriggerSource[slot] = c;
            break;
        }
    int32_t* out = s.samples[target];
    if (x < 0 || y < 0) {
        std::memset(out, 0, size_t(s.sampleCount) * sizeof(int32_t));
        return;
    }
    const int map = g_derivedState.slipTriggerMap >= 0 && g_derivedState.slipTriggerMap < 30
                        ? g_derivedState.slipTriggerMap
                        : 0;
    ChannelInfo& info = s.channels[target];
    s.channelFlags[target] = kChannelPresent | kChannelShown;
    info.code = kCodeSlipTrigger;
    info.kind = 2;
    info.source = 1;
    info.conversion = 2;
    info.decimals = 1;
    std::snprintf(info.name, sizeof info.name, "sSLIPTRG");
    std::snprintf(info.unit, sizeof info.unit, "%%-%d", (map + 1) & 63);
    const auto& m = g_slipTriggerMaps[map];
    for (int32_t i = 0; i < s.sampleCount; ++i) {
        int xi, yi;
        double tx, ty;
        LocateOnAxis(kSlipTriggerX, 11, s.samples[x][i] * 0.001, xi, tx);
        LocateOnAxis(kSlipTriggerY, 10, std::fabs(s.samples[y][i] * 0.001), yi, ty);
        double low = m[xi][yi] + (m[xi + 1][yi] - m[xi][yi]) * tx;
        double high = m[xi][yi + 1] + (m[xi + 1][yi + 1] - m[xi][yi + 1]) * tx;
        out[i] = TruncToInt32((low + (high - low) * ty) * 1000.0);
    }
}

} // namespace qvtk
