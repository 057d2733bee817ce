#include "cli/commands.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace qvtk::cli {

namespace {

// A name as one CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

} // namespace

bool ParseColumns(const std::string& list, const Slot& s, std::vector<int>& out) {
    if (list == "present") {
        for (int c = 0; c < kColumnCount; ++c)
            if (IsPresent(s, c)) out.push_back(c);
        return true;
    }
    size_t at = 0;
    while (at <= list.size()) {
        size_t comma = list.find(',', at);
        std::string item =
            list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char* end = nullptr;
        long a = std::strtol(item.c_str(), &end, 10), b = a;
        if (end == item.c_str()) return false;
        if (*end == '-') {
            const char* rest = end + 1;
            b = std::strtol(rest, &end, 10);
            if (end == rest) return false;
        }
        if (*end != 0 || a < 0 || b >= kColumnCount || a > b) return false;
        for (long c = a; c <= b; ++c) out.push_back(int(c));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return !out.empty();
}

int RunSamples(Options& o, bool loaded) {
    const Slot& s = SlotOf(o.slot);
    std::vector<int> columns;
    if (!ParseColumns(o.columns, s, columns)) {
        std::cerr << "qvtk-cli: bad --columns list " << o.columns << "\n";
        return kExitUsage;
    }
    if (!loaded) return kExitRejected;
    std::string line = "sample";
    for (int c : columns) {
        line += ',';
        if (o.names)
            line += CsvField(s.channels[c].name);
        else
            line.append("c").append(std::to_string(c));
    }
    if (o.distance) line += ",dsel,dfront,drear";
    if (o.gps) line += ",gpsStatus,lon,lat,gpsExtra";
    if (o.marks) line += ",mark";
    std::fputs((line + "\n").c_str(), stdout);
    const long long last = o.to < 0 || o.to >= s.sampleCount ? s.sampleCount - 1 : o.to;
    char buf[32];
    for (long long i = o.from; i <= last; ++i) {
        const int32_t k = int32_t(i);
        line = std::to_string(i);
        for (int c : columns) line.append(",").append(std::to_string(SampleAt(o.slot, c, k)));
        if (o.distance) {
            std::snprintf(buf, sizeof buf, ",%u,%u,%u", s.distance.selected[k], s.distance.front[k],
                          s.distance.rear[k]);
            line += buf;
        }
        if (o.gps) {
            std::snprintf(buf, sizeof buf, ",%u,%d,%d,%d", s.gps.status[k], s.gps.lon[k],
                          s.gps.lat[k], s.gps.extra[k]);
            line += buf;
        }
        if (o.marks) line.append(",").append(std::to_string(s.sampleMarks[k]));
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
    return kExitLoaded;
}

} // namespace qvtk::cli
