#include "analysis/gps_frame.h"

#include <cmath>

#include "data/session.h"

namespace qvtk {

GpsFrame g_gpsFrame;

namespace {

constexpr double kUnitsToRadians = 3.14159265358979323846 / (180.0 * 6000000.0);

// Truncation toward zero that saturates instead of overflowing for far-off fixes.
int32_t TruncSaturated(double v) {
    if (!(v > -2.0e9)) return -2000000000;
    if (v > 2.0e9) return 2000000000;
    return int32_t(v);
}

int32_t RoundSaturated(double v) {
    return TruncSaturated(v < 0 ? v - 0.5 : v + 0.5);
}

} // namespace

void ResetGpsFrame() {
    g_gpsFrame = GpsFrame();
}

bool PrepareGpsFrame() {
    const Slot& s = SlotOf(0);
    GpsFrame f;
    bool any = false;
    const int32_t n = s.sampleCount < s.capacity ? s.sampleCount : s.capacity;
    for (int32_t i = 0; i < n && s.gps.status; ++i) {
        if (s.gps.status[i] < 1 || s.gps.status[i] > 5) continue;
        const int32_t lon = s.gps.lon[i];
        const int32_t nlat = s.gps.lat[i] == INT32_MIN ? INT32_MAX : -s.gps.lat[i];
        if (!any) {
            f.lonMin = f.lonMax = lon;
            f.nlatMin = f.nlatMax = nlat;
            any = true;
            continue;
        }
        if (lon > f.lonMax) f.lonMax = lon;
        if (lon < f.lonMin) f.lonMin = lon;
        if (nlat > f.nlatMax) f.nlatMax = nlat;
        if (nlat < f.nlatMin) f.nlatMin = nlat;
    }
    const int64_t rangeX = int64_t(f.lonMax) - f.lonMin;
    const int64_t rangeY = int64_t(f.nlatMax) - f.nlatMin;
    f.halfX = int32_t(rangeX / 2);
    f.halfY = int32_t(rangeY / 2);
    int64_t range = rangeX > rangeY ? rangeX : rangeY;
    if (range < 1) range = 1; // a single fix must not divide by zero
    f.scale = 497.0f / float(range);
    g_gpsFrame = f;
    return any;
}

MapPixel ProjectGpsFix(const GpsFrame& frame, int32_t lon, int32_t lat) {
    MapPixel p;
    const double shrink = std::cos(double(lat) * kUnitsToRadians);
    const double dx = double(int64_t(lon) - frame.lonMin - frame.halfX);
    p.x = 256 + TruncSaturated(shrink * dx * double(frame.scale));
    // The latitude term is a single-precision product, as the scale is.
    const float dy = float(int64_t(lat) + frame.nlatMin + frame.halfY);
    p.y = 256 - TruncSaturated(double(dy * frame.scale));
    p.inside = p.x >= 0 && p.x <= 512 && p.y >= 0 && p.y <= 512;
    return p;
}

GpsFix GpsFixFromPixel(const GpsFrame& frame, float x, float y) {
    GpsFix fix;
    const double scale = frame.scale > 0.0f ? double(frame.scale) : 1.0;
    const double lat = (256.0 - y) / scale - frame.nlatMin - frame.halfY;
    double shrink = std::cos(lat * kUnitsToRadians);
    if (shrink < 1e-6) shrink = 1e-6; // the poles
    fix.lat = RoundSaturated(lat);
    fix.lon = RoundSaturated((x - 256.0) / (shrink * scale) + frame.lonMin + frame.halfX);
    return fix;
}

} // namespace qvtk
