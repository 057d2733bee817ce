#pragma once

#include "tools/sim/course.h"

#include <cstdint>
#include <vector>

namespace qvtk::sim {

struct CourseLayoutOptions {
    int points = 1000; // course points written, evenly spaced along the lap (at most 3000)
    // Where sectors after the first begin, as shares of the lap; 1 to 8 of them.
    std::vector<double> sectorStarts = {0.25, 0.5, 0.75};
};

// The course point indices where the sectors after the first begin, ascending.
std::vector<int> SectorStartPoints(const CourseLayoutOptions& options = {});

// The course layout text: one "X,Y" point per line with CR LF, in map units that fit the
// 512 x 512 map (within about +-230), north up, starting at the line; a "1024.0,0.0" line
// before each point where a sector begins.
std::vector<uint8_t> WriteCourseLayout(const SimCourse& course,
                                       const CourseLayoutOptions& options = {});

} // namespace qvtk::sim
