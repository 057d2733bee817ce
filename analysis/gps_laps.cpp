#include "analysis/gps_laps.h"

#include <charconv>
#include <cmath>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "platform/private_profile.h"

namespace qvtk {

GpsLapState g_gpsLaps;

namespace {

constexpr int32_t kSeedSamples = 200;  // samples 0 .. 200 never give a crossing
constexpr int32_t kTailSamples = 6000; // no lap mark in the last 30 s at 200 Hz

using Wide = __int128; // cross products of full-range coordinates must not overflow

Wide Cross(Wide ax, Wide ay, Wide bx, Wide by) {
    return ax * by - ay * bx;
}

bool OutsideRange(int32_t p0, int32_t p1, int32_t a, int32_t b) {
    int32_t lo = a < b ? a : b, hi = a < b ? b : a;
    return (p0 > hi && p1 > hi) || (p0 < lo && p1 < lo);
}

} // namespace

void ResetGpsLaps() {
    g_gpsLaps = GpsLapState();
}

int32_t FindLineCrossing(FileSlot slot, int32_t i) {
    const Slot& s = SlotOf(slot);
    const GpsTrack& gps = s.gps;
    if (i < 0 || i >= s.sampleCount || i >= s.capacity || !gps.lon) return -1;
    PreviousFix& prev = g_gpsLaps.previous[slot];
    const int32_t lon = gps.lon[i], lat = gps.lat[i];
    if (i <= kSeedSamples) {
        prev = {lon, lat, i};
        return -1;
    }
    if (gps.status[i] < 1 || gps.status[i] > 5) return -1;
    const int32_t p = prev.index;
    prev.index = i;
    const ControlLine& line = s.controlLine;
    if ((line.lonA == line.lonB && line.latA == line.latB) || (lon == prev.lon && lat == prev.lat))
        return -1;
    const int32_t lon0 = prev.lon, lat0 = prev.lat;
    prev.lon = lon;
    prev.lat = lat;
    if (OutsideRange(lon0, lon, line.lonA, line.lonB) ||
        OutsideRange(lat0, lat, line.latA, line.latB))
        return -1;

    // x = longitude, y = latitude.
    const Wide lineX = Wide(line.lonB) - line.lonA, lineY = Wide(line.latB) - line.latA;
    const Wide trackX = Wide(lon) - lon0, trackY = Wide(lat) - lat0;
    const Wide wX = Wide(lon0) - line.lonA, wY = Wide(lat0) - line.latA;
    const Wide den = Cross(lineX, lineY, trackX, trackY);
    if (den == 0) return -1;                      // parallel
    const Wide t = Cross(wX, wY, lineX, lineY);   // along the track segment, scaled by den
    const Wide u = Cross(wX, wY, trackX, trackY); // along the control line, scaled by den
    if (den > 0) {
        if (t < 0 || t > den || u < 0 || u > den) return -1;
    } else {
        if (t < den || t >= 0 || u < den || u >= 0) return -1;
    }
    return int32_t(p + Wide(i - p) * t / den);
}

void DetectGpsLapsInSlot(FileSlot slot) {
    Slot& s = SlotOf(slot);
    if (s.file.fileKind == kFileNone) return;
    LapMarkTable& t = s.laps;
    t.marks[0] = 0;
    t.count = 1;
    const int32_t n = s.sampleCount;
    for (int32_t i = 0; i < n; ++i) {
        int32_t x = FindLineCrossing(slot, i);
        if (x >= 1 && t.count < kMaxMarkCount && n - x > kTailSamples) t.marks[t.count++] = x;
    }
    t.marks[t.count] = t.marks[t.count + 1] = t.marks[t.count + 2] = n;
    ComputeSegments(slot);
}

void DetectGpsLaps() {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) DetectGpsLapsInSlot(slot);
}

int32_t DegreesTextToGpsUnits(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    double degrees = 0.0;
    auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), degrees);
    if (ec != std::errc() || !std::isfinite(degrees)) return 0;
    double units = degrees * 100000.0 * 60.0;
    if (units >= 2147483647.0) return INT32_MAX;
    if (units <= -2147483648.0) return INT32_MIN;
    return int32_t(units);
}

ControlLine ReadControlLine(std::string_view course) {
    const std::string path = ProgramFilePath("gps_p.ini");
    auto read = [&](const char* key) {
        return DegreesTextToGpsUnits(ProfileGetString(course, key, "0.000000", path));
    };
    ControlLine line;
    line.latA = read("CL_LAT_A");
    line.lonA = read("CL_LON_A");
    line.latB = read("CL_LAT_B");
    line.lonB = read("CL_LON_B");
    return line;
}

void LoadControlLine() {
    const ControlLine line = ReadControlLine(g_courseLayout.courseName);
    for (Slot& s : g_session.slots) s.controlLine = line;
    DetectGpsLaps();
}

} // namespace qvtk
