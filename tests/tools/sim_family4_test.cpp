// The family-4 writer and the course INI files, checked from the byte tables by hand: the
// header, the descriptor table, the item stream walked with the group and repeat rules, a
// few values converted by hand, and the control line read back as a reader reads it;
// determinism of the family-4 and hnd writers.
#include "tools/sim/course_ini.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/hnd_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace qvtk::sim;

namespace {

constexpr uint32_t kSeed = 5;

const SimCourse& Course() {
    static const SimCourse course = MakeCourse(kSeed);
    return course;
}

const SimRide& Ride() {
    static const SimRide ride = [] {
        RideOptions o;
        o.seed = kSeed;
        o.laps = 1;
        return SimulateRide(Course(), o);
    }();
    return ride;
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] << 8 | b[at + 1];
}
int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int32_t>(U16(b, at) << 16 | U16(b, at + 2));
}

struct Descriptor {
    size_t at = 0;
    uint8_t mode = 0, code = 0, bitDepth = 0, flags = 0, conversion = 0;
    std::string name;
};

// The 64 descriptors from offset 512; `end` is where the table stops.
std::vector<Descriptor> Descriptors(const std::vector<uint8_t>& f, size_t& end) {
    std::vector<Descriptor> table;
    size_t at = 512;
    for (int c = 0; c < 64; ++c) {
        Descriptor d{at, f[at], f[at + 1], f[at + 10], f[at + 14], uint8_t(f[at + 15] & 7), ""};
        for (size_t i = 0; i < 8 && f[at + 16 + i]; ++i) d.name += char(f[at + 16 + i]);
        table.push_back(d);
        at += d.conversion == 5 ? 112 : 48;
    }
    end = at;
    return table;
}

int ColumnOf(const std::vector<Descriptor>& table, const std::string& name) {
    for (size_t c = 0; c < table.size(); ++c)
        if (table[c].name == name) return int(c);
    return -1;
}

struct Item {
    size_t sample, column, at;
};

struct Walk {
    std::vector<Item> items;
    size_t samples = 0, end = 0, repeatBytes = 0, groupEnds = 0, uselessEnds = 0;
};

// Groups and repeat bytes as the format defines them; sample 1 is the first.
Walk WalkItems(const std::vector<uint8_t>& f, const std::vector<Descriptor>& table) {
    Walk w;
    size_t pos = 8192;
    while (pos < f.size()) {
        if (f[pos] & 0x80) {
            w.samples += (f[pos++] & 0x3F) + 1;
            ++w.repeatBytes;
            continue;
        }
        ++w.samples;
        int previous = -1;
        while (pos < f.size() && !(f[pos] & 0x80) && f[pos] > previous) {
            if (f[pos] == 127) {
                ++w.groupEnds;
                ++pos;
                // Needed only where the next group would otherwise continue this one.
                if (pos < f.size() && (f[pos] & 0x80 || f[pos] <= previous)) ++w.uselessEnds;
                break;
            }
            w.items.push_back({w.samples, f[pos], pos});
            previous = f[pos];
            pos += table[f[pos]].code == 64 ? 17 : 3;
        }
    }
    w.end = pos;
    return w;
}

struct Parsed {
    std::vector<uint8_t> f;
    std::vector<Descriptor> t;
    Walk w;
};

Parsed Parse(const Family4Options& o = {}) {
    Parsed p;
    p.f = WriteFamily4(Ride(), o);
    size_t end = 0;
    p.t = Descriptors(p.f, end);
    p.w = WalkItems(p.f, p.t);
    return p;
}

} // namespace

TEST(SimFamily4, HeaderCarriesSetupLineAndCourse) {
    const SimRide& r = Ride();
    Family4Options o;
    std::vector<uint8_t> f = WriteFamily4(r, o);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 13), "4KZL V0002   ");
    EXPECT_EQ(f[16], 0);
    EXPECT_LT(f[17], 64);
    EXPECT_LT(f[18], 5);
    EXPECT_LT(f[20], 5);
    EXPECT_EQ(f[32], 0); // laps from the marker bit
    EXPECT_EQ(f[34], 1);
    const uint8_t teeth[14] = {76, 36, 33, 12, 32, 16, 30, 18, 26, 18, 30, 23, 29, 24};
    EXPECT_TRUE(std::equal(teeth, teeth + 14, f.begin() + 80));
    EXPECT_EQ(f[94], 16);
    EXPECT_EQ(f[95], 41);
    EXPECT_EQ(U16(f, 96), 1940u);
    EXPECT_EQ(U16(f, 98), 2000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[112])), "vorela");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[256])), "QVTK simulated ride seed 5");

    // The line: about 20 m long, across the track where the lap pulses fire.
    const double perDegLat = 111195.0, perDegLon = perDegLat * std::cos(39.5 * M_PI / 180);
    auto east = [&](int32_t lon) { return (lon / 6e6 + 3.0) * perDegLon; };
    auto north = [&](int32_t lat) { return (lat / 6e6 - 39.5) * perDegLat; };
    double ax = east(I32(f, 52)), ay = north(I32(f, 48));
    double bx = east(I32(f, 60)), by = north(I32(f, 56));
    EXPECT_NEAR(std::hypot(bx - ax, by - ay), 20, 0.5);
    size_t p = r.lapPulseStarts.front();
    EXPECT_NEAR((ax + bx) / 2, r.x[p], 2.5);
    EXPECT_NEAR((ay + by) / 2, r.y[p], 2.5);
    double tx = r.x[p + 20] - r.x[p - 20], ty = r.y[p + 20] - r.y[p - 20];
    EXPECT_NEAR((tx * (bx - ax) + ty * (by - ay)) / std::hypot(tx, ty) / 20, 0, 0.02);

    o.gpsLaps = true;
    EXPECT_EQ(WriteFamily4(r, o)[32], 2);
}

TEST(SimFamily4, DescriptorTableEndsBeforeTheData) {
    std::vector<uint8_t> f = WriteFamily4(Ride());
    size_t end = 0;
    std::vector<Descriptor> t = Descriptors(f, end);
    EXPECT_LT(end, 8192u);
    for (size_t at = end; at < 8192; ++at) ASSERT_EQ(f[at], 0) << at;
    const uint8_t codes[] = {1, 3, 4, 6, 7, 9, 10, 64, 66, 0, 0, 0, 15, 128, 19, 20, 21, 22};
    const uint8_t modes[] = {1, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 1, 2, 2, 2, 2};
    for (size_t c = 0; c < t.size(); ++c) {
        SCOPED_TRACE(c);
        EXPECT_LE(t[c].bitDepth, 2);
        EXPECT_EQ(t[c].code, c < 18 ? codes[c] : 0);
        EXPECT_EQ(t[c].mode, c < 18 ? modes[c] : 0);
    }
    EXPECT_EQ(t[0].conversion, 2);
    EXPECT_EQ(t[ColumnOf(t, "TPS")].conversion, 1);
    EXPECT_EQ(t[ColumnOf(t, "VRW")].conversion, 3);
    EXPECT_EQ(t[ColumnOf(t, "RrSUS")].conversion, 5);
    EXPECT_EQ(t[ColumnOf(t, "ACCX")].flags & 4, 4); // signed 16-bit
    EXPECT_EQ(t[ColumnOf(t, "ACCX")].bitDepth, 1);
    EXPECT_EQ(t[ColumnOf(t, "LEAN")].flags & 4, 4); // signed 8-bit
    EXPECT_EQ(t[ColumnOf(t, "LEAN")].bitDepth, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[t[9].at + 24])), "bar");
    for (const char* name : {"FrSUS", "RrSUS"}) {
        size_t at = t[ColumnOf(t, name)].at;
        for (size_t k = 1; k < 10; ++k) {
            ASSERT_GT(I32(f, at + 32 + 4 * k), I32(f, at + 28 + 4 * k)) << name;
            ASSERT_GT(I32(f, at + 72 + 4 * k), I32(f, at + 68 + 4 * k)) << name;
        }
    }
}

TEST(SimFamily4, ItemStreamHoldsEverySampleOfTheRide) {
    const SimRide& r = Ride();
    auto [f, t, w] = Parse();
    EXPECT_EQ(w.end, f.size());
    EXPECT_EQ(w.samples + 1, RideSamples(r)); // sample 0 has no group
    EXPECT_GT(w.repeatBytes, 100u);
    EXPECT_GT(w.groupEnds, 100u);
    EXPECT_EQ(w.uselessEnds, 0u);
    std::vector<size_t> perColumn(64);
    for (const Item& it : w.items) {
        ASSERT_TRUE(t[it.column].mode == 1 || t[it.column].mode == 3) << it.column;
        ++perColumn[it.column];
    }
    // Sent at their rates when they change: the engine at most every 5 ms, the battery
    // at 10 Hz plus the marker edges, the calculated columns never.
    EXPECT_GT(perColumn[1], RideSamples(r) / 3);
    EXPECT_LE(perColumn[0], RideSamples(r) / 20 + 2 * r.lapPulseStarts.size());
    EXPECT_EQ(perColumn[14] + perColumn[15] + perColumn[16] + perColumn[17], 0u);
}

TEST(SimFamily4, GpsItemsAtTenHertzWithHemisphereSigns) {
    const SimRide& r = Ride();
    for (bool southEast : {false, true}) {
        SCOPED_TRACE(southEast);
        Family4Options o;
        if (southEast) o.gps.origin = {-31.9, 115.9};
        auto [f, t, w] = Parse(o);
        size_t fixes = 0, lost = 0, speeds = 0;
        for (const Item& it : w.items) {
            if (t[it.column].code == 66) ++speeds;
            if (t[it.column].code != 64) continue;
            const uint8_t* g = &f[it.at];
            ASSERT_EQ(it.sample % 20, 0u);
            ASSERT_EQ(g[7], southEast ? 'S' : 'N');
            ASSERT_EQ(g[12], southEast ? 'E' : 'W');
            ASSERT_TRUE(g[2] == '3' || g[2] == '0');
            lost += g[2] == '0';
            double lat = (g[3] << 24 | g[4] << 16 | g[5] << 8 | g[6]) / 6e6;
            ASSERT_NEAR(lat, southEast ? 31.9 : 39.5, 0.05);
            ++fixes;
        }
        EXPECT_EQ(fixes, (RideSamples(r) - 1) / 20);
        EXPECT_EQ(lost, 12u);
        // The speed goes out with a fix when it changed.
        EXPECT_LE(speeds, fixes - lost);
        EXPECT_GT(speeds, (fixes - lost) * 3 / 4);
    }
}

TEST(SimFamily4, ValuesConvertBackByTheDescriptors) {
    const SimRide& r = Ride();
    Family4Options o;
    o.ecuFailCode = 7;
    auto [f, t, w] = Parse(o);
    auto cal = [&](const char* name, size_t k) {
        return I32(f, t[ColumnOf(t, name)].at + 32 + 4 * k);
    };
    std::vector<size_t> markers;
    std::vector<int32_t> status;
    for (const Item& it : w.items) {
        size_t i = it.sample;
        int32_t raw = int32_t(U16(f, it.at + 1));
        const std::string& name = t[it.column].name;
        if (name == "VB") {
            ASSERT_NEAR(raw & ~15, r.vb[i] * 1000, 8.5) << i;
            if (raw & 1) markers.push_back(i);
        } else if (name == "TPS") {
            double pct =
                100000.0 / (cal("TPS", 1) - cal("TPS", 0)) * (raw * 1000.0 - cal("TPS", 0));
            ASSERT_NEAR(pct, r.throttle[i] * 1000, 20) << i;
        } else if (name == "VFW") {
            ASSERT_NEAR(cal("VFW", 0) * raw * (1000.0 / cal("VFW", 1)), r.frontSpeed[i] * 1000, 26);
        } else if (name == "BRAKE") {
            ASSERT_NEAR(cal("BRAKE", 0) * raw + cal("BRAKE", 2), (r.aux2[i] - 0.5) * 5000, 3);
        } else if (name == "FrSUS") {
            size_t at = t[it.column].at;
            int k = 8;
            while (k > 0 && raw < I32(f, at + 32 + 4 * k)) --k;
            double in0 = I32(f, at + 32 + 4 * k), in1 = I32(f, at + 36 + 4 * k);
            double out0 = I32(f, at + 72 + 4 * k), out1 = I32(f, at + 76 + 4 * k);
            ASSERT_NEAR(out0 + (out1 - out0) * (raw - in0) / (in1 - in0), r.frontStroke[i] * 1000,
                        40);
        } else if (name == "ECUSTAT") {
            status.push_back(raw);
        }
    }
    // The marker bit rises with every lap pulse.
    ASSERT_EQ(markers.size(), r.lapPulseStarts.size());
    for (size_t k = 0; k < markers.size(); ++k) EXPECT_EQ(markers[k], r.lapPulseStarts[k]);
    // The fail code comes and goes.
    EXPECT_NE(std::find(status.begin(), status.end(), 7), status.end());
    EXPECT_EQ(status.back(), 0);

    o.gpsLaps = true;
    Parsed gps = Parse(o);
    for (const Item& it : gps.w.items)
        ASSERT_TRUE(it.column != 0 || (gps.f[it.at + 2] & 1) == 0) << "marker bit with GPS laps";
}

TEST(SimCourseIni, ControlLineReadsBackToTheHeaderPoints) {
    // A reader multiplies the degrees by 100000 and by 60 and truncates.
    auto units = [](const std::string& degrees) {
        return static_cast<int32_t>(std::strtod(degrees.c_str(), nullptr) * 100000 * 60);
    };
    for (GeoOrigin origin : {GeoOrigin{}, GeoOrigin{-33.87, 151.2}, GeoOrigin{47.1, 8.3}}) {
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            SCOPED_TRACE(seed);
            GpsLine line = StartFinishLine(origin, MakeCourse(seed));
            std::vector<uint8_t> ini = WriteGpsLineIni("vorela", line);
            std::istringstream text(std::string(ini.begin(), ini.end()));
            std::string row;
            std::getline(text, row);
            EXPECT_EQ(row, "[vorela.crs]\r");
            const int32_t expected[4] = {line.a.lat, line.a.lon, line.b.lat, line.b.lon};
            const char* keys[4] = {"CL_LAT_A=", "CL_LON_A=", "CL_LAT_B=", "CL_LON_B="};
            for (int k = 0; k < 4; ++k) {
                ASSERT_TRUE(std::getline(text, row));
                ASSERT_EQ(row.rfind(keys[k], 0), 0u) << row;
                ASSERT_EQ(row.back(), '\r');
                EXPECT_EQ(units(row.substr(9, row.size() - 10)), expected[k]) << row;
            }
        }
    }
    // The family-4 header carries the very same points.
    std::vector<uint8_t> f = WriteFamily4(Ride());
    GpsLine line = StartFinishLine(GeoOrigin{}, Course());
    EXPECT_EQ(I32(f, 48), line.a.lat);
    EXPECT_EQ(I32(f, 52), line.a.lon);
    EXPECT_EQ(I32(f, 56), line.b.lat);
    EXPECT_EQ(I32(f, 60), line.b.lon);
}

TEST(SimCourseIni, SectorFileMatchesTheCourseMarkers) {
    std::vector<uint8_t> ini = WriteSectorIni("vorela.crs", SectorStartPoints());
    EXPECT_EQ(std::string(ini.begin(), ini.end()),
              "[vorela.crs]\r\nSec1=250\r\nSec2=500\r\nSec3=750\r\nOffset=0\r\n");
}

TEST(SimFamily4, SameRideSameBytesInBothFormats) {
    RideOptions o;
    o.seed = kSeed;
    o.laps = 1;
    SimRide again = SimulateRide(MakeCourse(kSeed), o);
    EXPECT_EQ(WriteFamily4(Ride()), WriteFamily4(again));
    EXPECT_EQ(WriteHnd(Ride()), WriteHnd(again));
    o.seed = kSeed + 1;
    SimRide other = SimulateRide(MakeCourse(kSeed + 1), o);
    EXPECT_NE(WriteFamily4(Ride()), WriteFamily4(other));
    EXPECT_NE(WriteHnd(Ride()), WriteHnd(other));
}
