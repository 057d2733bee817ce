#pragma once
// Course points and samples: where in the selected lap a course point is reached, which point
// lies under the mouse on the course map, and editing the sector boundaries there.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

// How the course map is shown; the course map view fills it.
struct CourseMapView {
    float zoom = 1.0f; // screen pixels per map picture pixel
    float panX = 0.0f; // screen position of the map picture's top-left pixel
    float panY = 0.0f;
    bool showsGps = false; // the map shows the GPS track, not the course layout
};

// Sample of the slot's selected lap (a 1-based segment number, 0 = none) at which course
// point p is reached, judged by the distance since the lap start.
int32_t CoursePointToSample(int32_t p, FileSlot slot, int32_t selectedLap,
                            const CourseMapView& view);

// CoursePointToSample for the points 0 .. count-1 at once, in one walk over the lap.
void CoursePointsToSamples(FileSlot slot, int32_t selectedLap, int32_t count, int32_t* out);

// The sample of the selected lap itself at which course point p is reached: never one of
// another lap. The closing point, or a point the lap does not reach, gives the lap's end.
int32_t CoursePointToLapSample(int32_t p, FileSlot slot, int32_t selectedLap);

// Index (1 .. pointCount) of the course point nearest to the mouse within 15 x zoom pixels,
// or -1.
int32_t NearestCoursePoint(float mouseX, float mouseY, const CourseMapView& view);

// A click while sector editing: removes File 1's boundary within 60 points of the clicked
// point, or inserts one there, and copies File 1's boundaries to File 2. Only with 1 mark per
// lap on the course layout. True when the boundaries changed.
bool EditSectorBoundary(float mouseX, float mouseY, const CourseMapView& view);

} // namespace qvtk
