#include "tools/sim/course_ini.h"

#include <string_view>

namespace qvtk::sim {

namespace {

void AddKey(std::string& text, std::string_view key, const std::string& value) {
    text.append(key).append("=").append(value).append("\r\n");
}

std::string SectionLine(const std::string& courseName) {
    std::string line = "[";
    line.append(CourseSection(courseName)).append("]\r\n");
    return line;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

} // namespace

std::string CourseSection(const std::string& courseName) {
    std::string base = courseName.substr(0, courseName.find('.'));
    return base + ".crs";
}

std::vector<uint8_t> WriteGpsLineIni(const std::string& courseName, const GpsLine& line) {
    std::string text = SectionLine(courseName);
    AddKey(text, "CL_LAT_A", DegreesText(line.a.lat));
    AddKey(text, "CL_LON_A", DegreesText(line.a.lon));
    AddKey(text, "CL_LAT_B", DegreesText(line.b.lat));
    AddKey(text, "CL_LON_B", DegreesText(line.b.lon));
    return Bytes(text);
}

std::vector<uint8_t> WriteSectorIni(const std::string& courseName,
                                    const std::vector<int>& sectorPoints, int offset) {
    std::string text = SectionLine(courseName);
    // The file keeps seven boundaries; a point index of 0 would read as unset.
    for (size_t s = 0; s < sectorPoints.size() && s < 7; ++s)
        AddKey(text, "Sec" + std::to_string(s + 1), std::to_string(sectorPoints[s]));
    AddKey(text, "Offset", std::to_string(offset));
    return Bytes(text);
}

} // namespace qvtk::sim
