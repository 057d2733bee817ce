#include "analysis/lap_distance.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/settings.h"

namespace qvtk {

LapDistances g_lapDistances;

namespace {

constexpr double kMetresPerUnit = 111319.49 / 6000000.0; // of latitude, per GPS unit
constexpr double kPi = 3.14159265358979323846;
// How far along the path a fix may lie beyond the last one: a margin, and what the fastest
// machine covers in the time since.
constexpr double kSearchMargin = 30; // m
constexpr double kFastest = 100;     // m/s
constexpr double kFarFromPath = 40;  // m: a fix farther off the path is not used
constexpr int kLeastFixes = 20;      // of a lap measured by GPS, and of the path
constexpr double kLeastPathLength = 100;
constexpr double kOffsetWindow = 50; // m either side over which fixes place the wheel

uint64_t Mix(uint64_t h, uint64_t v) {
    return (h ^ v) * 0x100000001B3ull;
}

int32_t Readable(const Slot& s) {
    return std::max(0, std::min(s.sampleCount, s.capacity));
}

bool UsableFix(const Slot& s, int32_t i) {
    return s.gps.status[i] >= 1 && s.gps.status[i] <= 5;
}

// GPS fixes and a line that places them on the course: the line of the file, or a course
// whose line the recording's header named.
bool MeasuresByGps(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    if (!s.gps.status || !s.gps.lon || !s.gps.lat) return false;
    const ControlLine& l = s.controlLine;
    return g_session.courseKnown || l.latA != l.latB || l.lonA != l.lonB;
}

uint64_t RecordingSignature(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    uint64_t h = 0xCBF29CE484222325ull;
    uint32_t rate = 0;
    std::memcpy(&rate, &s.sampleRateFactor, sizeof rate);
    for (uint64_t v :
         {uint64_t(s.file.fileKind), uint64_t(s.sampleCount), uint64_t(s.capacity), uint64_t(rate),
          uint64_t(s.laps.count), uint64_t(MarksPerLap(slot)), uint64_t(s.lapDistanceSource),
          uint64_t(g_settings.CoursePosSource),
          uint64_t(reinterpret_cast<uintptr_t>(s.distance.selected)),
          uint64_t(reinterpret_cast<uintptr_t>(s.gps.lon)), uint64_t(MeasuresByGps(slot))})
        h = Mix(h, v);
    for (int k = 0; k <= s.laps.count && k < kLapMarkEntries; ++k)
        h = Mix(Mix(h, uint64_t(uint32_t(s.laps.marks[k]))),
                uint64_t(uint32_t(s.laps.lapDistance[k])));
    return h;
}

// Metres east and north of an origin fix; the longitude shrinks with the latitude.
struct LocalFrame {
    int32_t lon0 = 0, lat0 = 0;
    double east = 0; // metres per unit of longitude
    void At(int32_t lon, int32_t lat, double& x, double& y) const {
        x = double(lon - lon0) * east;
        y = double(lat - lat0) * kMetresPerUnit;
    }
};

LocalFrame g_frame;

void AddPathPoint(double x, double y) {
    LapDistances& d = g_lapDistances;
    if (!d.pathX.empty() && x == d.pathX.back() && y == d.pathY.back()) return;
    const double at =
        d.pathX.empty() ? 0 : d.pathAt.back() + std::hypot(x - d.pathX.back(), y - d.pathY.back());
    d.pathX.push_back(x), d.pathY.push_back(y), d.pathAt.push_back(at);
}

// The reference lap's path: from where it stood at its first sample (between the fixes around
// it: the line) through its fixes to where it stood at its end. False with too few fixes.
bool BuildPath(const LapRef& ref) {
    LapDistances& d = g_lapDistances;
    d.pathX.clear(), d.pathY.clear(), d.pathAt.clear();
    if (!ref.Valid() || !MeasuresByGps(ref.slot)) return false;
    const Slot& s = SlotOf(ref.slot);
    const int32_t start = LapStart(ref), end = LapEnd(ref), last = Readable(s) - 1;
    struct Fix {
        int32_t i;
        double x, y;
    };
    std::vector<Fix> fixes;
    constexpr int32_t kAround = 1000; // samples beyond the lap searched for a fix
    for (int32_t i = std::max(start - kAround, 0); i <= std::min(end + kAround, last); ++i) {
        if (!UsableFix(s, i)) continue;
        if (fixes.empty()) {
            g_frame.lon0 = s.gps.lon[i];
            g_frame.lat0 = s.gps.lat[i];
            g_frame.east = kMetresPerUnit * std::cos(double(s.gps.lat[i]) / 6000000.0 * kPi / 180);
        }
        Fix f{i, 0, 0};
        g_frame.At(s.gps.lon[i], s.gps.lat[i], f.x, f.y);
        fixes.push_back(f);
        if (i > end) break;
    }
    // Where the machine stood at a sample, between the fixes around it.
    auto at = [&](int32_t sample) {
        size_t k = 0;
        while (k + 1 < fixes.size() && fixes[k + 1].i <= sample) ++k;
        const Fix& a = fixes[k];
        const Fix& b = k + 1 < fixes.size() ? fixes[k + 1] : a;
        const double f = b.i > a.i ? std::clamp(double(sample - a.i) / (b.i - a.i), 0.0, 1.0) : 0;
        AddPathPoint(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f);
    };
    if (!fixes.empty()) {
        at(start);
        for (const Fix& f : fixes)
            if (f.i > start && f.i < end) AddPathPoint(f.x, f.y);
        at(end);
    }
    const bool usable = int(d.pathX.size()) >= kLeastFixes && d.pathAt.back() >= kLeastPathLength;
    if (!usable) d.pathX.clear(), d.pathY.clear(), d.pathAt.clear();
    return usable;
}

// The distance along the path of the point nearest to (x, y), searching the path from
// segment `segment` up to `ahead` beyond `least`; -1 when no segment is near.
double Project(double x, double y, double least, double ahead, size_t& segment) {
    const LapDistances& d = g_lapDistances;
    const size_t n = d.pathX.size();
    double best = kFarFromPath * kFarFromPath, found = -1;
    size_t foundSegment = segment;
    for (size_t j = segment > 2 ? segment - 2 : 0; j + 1 < n; ++j) {
        if (d.pathAt[j] > least + ahead) break;
        const double ax = d.pathX[j], ay = d.pathY[j];
        const double dx = d.pathX[j + 1] - ax, dy = d.pathY[j + 1] - ay;
        const double len2 = dx * dx + dy * dy;
        const double t =
            len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0;
        const double ex = ax + t * dx - x, ey = ay + t * dy - y;
        const double e2 = ex * ex + ey * ey;
        if (e2 < best) {
            best = e2;
            found = d.pathAt[j] + t * (d.pathAt[j + 1] - d.pathAt[j]);
            foundSegment = j;
        }
    }
    if (found >= 0) segment = foundSegment;
    return found;
}

// A fix of a lap on the path: its sample and where it projected.
struct Knot {
    int32_t i;
    double at;
};

// The lap's samples between its fixes, joined linearly in time, never running backwards.
void JoinFixes(const std::vector<Knot>& knots, int32_t from, int32_t last, float* metres) {
    size_t k = 0;
    double reached = 0;
    for (int32_t i = from; i <= last; ++i) {
        while (k + 2 < knots.size() && knots[k + 1].i <= i) ++k;
        const Knot& a = knots[k];
        const Knot& b = knots[k + 1];
        const double f = b.i > a.i ? double(i - a.i) / double(b.i - a.i) : 0;
        reached = std::max(reached, a.at + (b.at - a.at) * std::clamp(f, 0.0, 1.0));
        metres[i] = float(reached);
    }
}

// The lap's running distance (in `metres`, scaled to the path) placed by its fixes: the fixes
// give where the lap is, the wheel how it moves between them. The offset between the two is
// averaged over kOffsetWindow metres either side, so that the fixes' scatter (and the lateral
// line a rider takes at a corner) does not make the lap run back and forth along the path.
void PlaceWheelByFixes(const std::vector<Knot>& knots, int32_t from, int32_t last, double scale,
                       double length, float* metres) {
    struct Offset {
        double w, off;
    };
    std::vector<Offset> offsets;
    offsets.reserve(knots.size());
    for (const Knot& k : knots) {
        const double w = k.i >= from && k.i <= last ? scale * metres[k.i] : length;
        offsets.push_back({w, k.at - w});
    }
    std::vector<double> smooth(offsets.size());
    double sum = 0;
    size_t lo = 0, hi = 0; // the window, lo .. hi - 1
    for (size_t k = 0; k < offsets.size(); ++k) {
        while (hi < offsets.size() && offsets[hi].w <= offsets[k].w + kOffsetWindow)
            sum += offsets[hi++].off;
        while (offsets[lo].w < offsets[k].w - kOffsetWindow) sum -= offsets[lo++].off;
        smooth[k] = sum / double(hi - lo);
    }
    size_t k = 0;
    double reached = 0;
    for (int32_t i = from; i <= last; ++i) {
        const double w = scale * metres[i];
        while (k + 2 < offsets.size() && offsets[k + 1].w <= w) ++k;
        const Offset& a = offsets[k];
        const Offset& b = offsets[k + 1];
        const double f = b.w > a.w ? std::clamp((w - a.w) / (b.w - a.w), 0.0, 1.0) : 0;
        const double d = w + smooth[k] + (smooth[k + 1] - smooth[k]) * f;
        reached = std::clamp(d, reached, length);
        metres[i] = float(reached);
    }
}

// Fills the lap's samples from its fixes projected onto the path; the lap starts at 0 and ends
// at the path's length. `metres` holds the lap's running distance (`wheel` m a lap) on entry.
// False when too few fixes lie on the path.
bool MeasureLapByGps(FileSlot slot, int32_t lap, float* metres, double wheel) {
    const Slot& s = SlotOf(slot);
    const LapRef ref{slot, lap};
    const int32_t from = LapStart(ref), end = LapEnd(ref);
    const int32_t last = std::min(end, Readable(s)) - 1;
    const double length = g_lapDistances.pathAt.back();
    std::vector<Knot> knots{{from, 0.0}};
    size_t segment = 0;
    double reached = 0;
    const double seconds = SampleSeconds(slot);
    for (int32_t i = from + 1; i <= last; ++i) {
        if (!UsableFix(s, i)) continue;
        double x = 0, y = 0;
        g_frame.At(s.gps.lon[i], s.gps.lat[i], x, y);
        const double ahead = kSearchMargin + kFastest * seconds * (i - knots.back().i);
        const double at = Project(x, y, reached, ahead, segment);
        if (at < 0) continue;
        reached = std::clamp(at, reached, length); // where the next search starts
        knots.push_back({i, std::clamp(at, 0.0, length)});
    }
    if (int(knots.size()) < kLeastFixes) return false;
    knots.push_back({end, length});
    // A wheel that measured the lap about as long as the path places it between the fixes.
    if (wheel > 0.5 * length && wheel < 1.5 * length)
        PlaceWheelByFixes(knots, from, last, length / wheel, length, metres);
    else
        JoinFixes(knots, from, last, metres);
    return true;
}

void BuildSlot(FileSlot slot, bool gps) {
    SlotLapDistances& out = g_lapDistances.slots[slot];
    const Slot& s = SlotOf(slot);
    const int32_t n = Readable(s);
    out.metres.assign(size_t(std::max(n, 0)), 0.0f);
    std::fill(std::begin(out.length), std::end(out.length), 0.0f);
    std::fill(std::begin(out.base), std::end(out.base), DistanceBase::kRunning);
    if (n <= 0 || !s.distance.selected) return;
    const double unit = 7200.0 * s.sampleRateFactor;
    for (int32_t i = 0; i < n; ++i) out.metres[size_t(i)] = float(s.distance.selected[i] / unit);
    const int m = MarksPerLap(slot);
    for (int32_t k = 0; k < s.laps.count && k < kLapEntries; k += m) {
        int64_t running = 0;
        for (int j = 1; j <= m; ++j) running += SegmentDistance(slot, k + j);
        out.length[k] = float(double(running) / unit);
        if (gps && MeasureLapByGps(slot, k, out.metres.data(), out.length[k])) {
            out.length[k] = float(g_lapDistances.pathAt.back());
            out.base[k] = DistanceBase::kGps;
        }
    }
}

const SlotLapDistances& Of(FileSlot slot) {
    return g_lapDistances.slots[slot];
}

// The distance of sample i of a lap: at or past the lap's end, its length.
double LapSampleDistance(const LapRef& lap, int32_t i, int32_t end) {
    const SlotLapDistances& d = Of(lap.slot);
    if (i >= end || i >= int32_t(d.metres.size())) return d.length[lap.lap];
    return d.metres[size_t(std::max(i, 0))];
}

double Scale(const LapRef& lap, double length) {
    const double own = Of(lap.slot).length[lap.lap];
    return own >= 1.0 ? length / own : 1.0;
}

} // namespace

void ResetLapDistances() {
    g_lapDistances = LapDistances();
}

void UpdateLapDistances(const LapRef& reference) {
    LapDistances& d = g_lapDistances;
    const uint64_t refSignature =
        reference.Valid() ? Mix(RecordingSignature(reference.slot), uint64_t(reference.lap)) : 0;
    bool pathBuilt = false, path = !d.pathX.empty();
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        const Slot& s = SlotOf(slot);
        const bool loaded = s.active && s.file.fileKind != kFileNone;
        const bool gps = loaded && MeasuresByGps(slot) && reference.Valid();
        const uint64_t signature =
            loaded ? Mix(RecordingSignature(slot), gps ? refSignature : 0) : 0;
        SlotLapDistances& out = d.slots[slot];
        if (signature == out.signature && (loaded || out.metres.empty())) continue;
        if (gps && !pathBuilt) {
            path = BuildPath(reference);
            pathBuilt = true;
            d.reference = reference;
        }
        if (loaded)
            BuildSlot(slot, gps && path);
        else
            out = SlotLapDistances();
        out.signature = signature;
        ++out.version;
    }
}

double SampleSeconds(FileSlot slot) {
    const float f = SlotOf(slot).sampleRateFactor;
    return 0.005 / (f > 0 ? f : 1.0f);
}

int32_t LapStart(const LapRef& lap) {
    return std::max(LapMark(lap.slot, lap.lap), 0);
}

int32_t LapEnd(const LapRef& lap) {
    return std::min(LapMark(lap.slot, lap.lap + MarksPerLap(lap.slot)),
                    SlotOf(lap.slot).sampleCount);
}

int32_t LapOfSample(FileSlot slot, int32_t sample) {
    const LapMarkTable& t = SlotOf(slot).laps;
    const int m = MarksPerLap(slot);
    // The laps' first marks rise: the last one at or before the sample.
    int32_t lo = 0, hi = (std::min(t.count, kLapEntries) - 1) / m; // lap positions
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo + 1) / 2;
        if (t.marks[mid * m] <= sample)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo * m;
}

int32_t LapOrdinal(FileSlot slot, int32_t lap) {
    return lap / MarksPerLap(slot);
}

int32_t LapAtOrdinal(FileSlot slot, int32_t ordinal) {
    const int32_t lap = ordinal * MarksPerLap(slot);
    return ordinal < 0 || lap >= SlotOf(slot).laps.count || lap >= kLapEntries ? -1 : lap;
}

double LapLengthMetres(const LapRef& lap) {
    return lap.Valid() && lap.lap < kLapEntries ? Of(lap.slot).length[lap.lap] : 0.0;
}

DistanceBase LapDistanceBase(const LapRef& lap) {
    return lap.Valid() && lap.lap < kLapEntries ? Of(lap.slot).base[lap.lap]
                                                : DistanceBase::kRunning;
}

double AlignedDistance(const LapRef& lap, double sample, double length) {
    const int32_t start = LapStart(lap), end = LapEnd(lap);
    sample = std::clamp(sample, double(start), double(end));
    const auto i = int32_t(std::floor(sample));
    const double d0 = LapSampleDistance(lap, i, end);
    const double d1 = LapSampleDistance(lap, i + 1, end);
    return (d0 + (d1 - d0) * (sample - i)) * Scale(lap, length);
}

double SampleAtAlignedDistance(const LapRef& lap, double distance, double length) {
    const int32_t start = LapStart(lap), end = LapEnd(lap);
    const double own = distance / Scale(lap, length);
    if (own <= 0 || end <= start) return start;
    // The distances rise (or stand) along the lap: the first sample at or past the distance.
    int32_t lo = start, hi = end;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (LapSampleDistance(lap, mid, end) >= own)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (lo <= start) return start;
    const double d0 = LapSampleDistance(lap, lo - 1, end), d1 = LapSampleDistance(lap, lo, end);
    return d1 > d0 ? lo - 1 + (own - d0) / (d1 - d0) : lo;
}

void AlignedLapDistances(const LapRef& lap, double length, std::vector<float>& out) {
    const int32_t start = LapStart(lap), end = LapEnd(lap);
    const double scale = Scale(lap, length);
    out.resize(size_t(std::max(end - start, 0)) + 1);
    for (int32_t i = start; i <= end; ++i)
        out[size_t(i - start)] = float(LapSampleDistance(lap, i, end) * scale);
}

} // namespace qvtk
