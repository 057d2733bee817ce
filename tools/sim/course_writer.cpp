#include "tools/sim/course_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace qvtk::sim {

namespace {

constexpr double kMapHalfSize = 230; // map units; the map shows about +-266

struct Frame {
    double centerX = 0, centerY = 0, scale = 1;
};

// Centres the course and scales it to fill the map without touching its edge.
Frame FitToMap(const SimCourse& course) {
    auto [minX, maxX] = std::minmax_element(course.x.begin(), course.x.end());
    auto [minY, maxY] = std::minmax_element(course.y.begin(), course.y.end());
    double half = std::max(*maxX - *minX, *maxY - *minY) / 2;
    return {(*minX + *maxX) / 2, (*minY + *maxY) / 2, half > 0 ? kMapHalfSize / half : 1};
}

void AppendLine(std::string& text, double x, double y) {
    char line[64];
    std::snprintf(line, sizeof line, "%.2f,%.2f\r\n", x, y);
    text += line;
}

int PointCount(const CourseLayoutOptions& options) {
    return std::clamp(options.points, 3, 2999);
}

} // namespace

std::vector<int> SectorStartPoints(const CourseLayoutOptions& options) {
    int count = PointCount(options);
    std::vector<int> sectorAt;
    for (double share : options.sectorStarts)
        sectorAt.push_back(std::clamp(static_cast<int>(std::lround(share * count)), 1, count - 1));
    std::sort(sectorAt.begin(), sectorAt.end());
    return sectorAt;
}

std::vector<uint8_t> WriteCourseLayout(const SimCourse& course,
                                       const CourseLayoutOptions& options) {
    int count = PointCount(options);
    std::vector<int> sectorAt = SectorStartPoints(options);
    Frame frame = FitToMap(course);
    std::string text;
    size_t nextSector = 0;
    for (int i = 0; i < count; ++i) {
        while (nextSector < sectorAt.size() && sectorAt[nextSector] == i) {
            text += "1024.0,0.0\r\n";
            ++nextSector;
        }
        CoursePoint p = CourseAt(course, course.length * i / count);
        // The map's y axis points down the screen.
        AppendLine(text, (p.x - frame.centerX) * frame.scale, -(p.y - frame.centerY) * frame.scale);
    }
    return {text.begin(), text.end()};
}

} // namespace qvtk::sim
