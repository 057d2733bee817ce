#pragma once

#include "tools/sim/gps_track.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvtk::sim {

// The section of a course in the course INI files: its file name, "<name>.crs".
std::string CourseSection(const std::string& courseName);

// "gps_p.ini": the course's start/finish line in decimal degrees, CR LF line ends. The line
// points must be whole micro-degrees (StartFinishLine gives such points).
std::vector<uint8_t> WriteGpsLineIni(const std::string& courseName, const GpsLine& line);

// "Sector.ini": where sectors 2, 3, ... begin, as course point indices, and the offset.
std::vector<uint8_t> WriteSectorIni(const std::string& courseName,
                                    const std::vector<int>& sectorPoints, int offset = 0);

} // namespace qvtk::sim
