#pragma once
// Framing of File 1's GPS track for the 512 x 512 course map: north up, centred on the track's
// box, longitude shrunk by the cosine of the latitude.
#include <cstdint>

namespace qvtk {

struct GpsFrame {
    int32_t lonMin = 0, lonMax = 0;   // over File 1's usable fixes
    int32_t nlatMin = 0, nlatMax = 0; // of the negated latitude
    int32_t halfX = 0, halfY = 0;     // half ranges, integer division
    float scale = 497.0f;             // map pixels per GPS unit
};

extern GpsFrame g_gpsFrame;

void ResetGpsFrame();

// Frames File 1's fixes with status 1 .. 5 into g_gpsFrame. False (and a frame around 0,0)
// when File 1 has no usable fix.
bool PrepareGpsFrame();

struct MapPixel {
    int32_t x = 0, y = 0;
    bool inside = false; // within 0 .. 512 on both axes, so it is drawn
};

// Map picture pixel of a fix (GPS units: 1/100000 minute).
MapPixel ProjectGpsFix(const GpsFrame& frame, int32_t lon, int32_t lat);

struct GpsFix {
    int32_t lon = 0, lat = 0;
};

// The fix that projects to a map picture pixel (rounded to the nearest unit): how a control
// line placed on the map becomes GPS points.
GpsFix GpsFixFromPixel(const GpsFrame& frame, float x, float y);

} // namespace qvtk
