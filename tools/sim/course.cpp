#include "tools/sim/course.h"

#include "tools/sim/rng.h"

#include <algorithm>
#include <cmath>

namespace qvtk::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x = 0, y = 0;
};

Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double k) {
    return {a.x * k, a.y * k};
}
double Norm(Vec a) {
    return std::hypot(a.x, a.y);
}
Vec Unit(Vec a) {
    return a * (1.0 / Norm(a));
}

// One piece of the track: a straight, or a circular corner entered at `start` heading `dir`.
struct Piece {
    Vec start;
    Vec dir;
    double length = 0;
    double radius = 0; // 0 for a straight
    double turn = 0;   // signed angle turned over the piece, left positive
};

// Corners lie on the vertices of a star-shaped polygon (vertices in angle order), so the
// track never crosses itself; a vertex pushed inwards becomes a corner the other way.
std::vector<Vec> RandomPolygon(SimRng& rng) {
    int n = 9 + static_cast<int>(NextU64(rng) % 7);
    std::vector<Vec> poly;
    for (int i = 0; i < n; ++i) {
        double angle = 2 * kPi * (i + NextRange(rng, -0.35, 0.35)) / n;
        double radius = NextRange(rng, 0.3, 1.0);
        poly.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    }
    return poly;
}

// Tight hairpins are rarer than medium corners and fast sweepers.
std::vector<double> RandomRadii(SimRng& rng, size_t n) {
    std::vector<double> radii;
    for (size_t i = 0; i < n; ++i) radii.push_back(18 + 160 * std::pow(NextUniform(rng), 1.6));
    return radii;
}

// Rounds every vertex of the scaled polygon with its wanted radius, shrinking corners
// whose tangents would not fit on the straights beside them.
std::vector<Piece> BuildPieces(const std::vector<Vec>& poly, double scale,
                               const std::vector<double>& wanted) {
    size_t n = poly.size();
    auto vertex = [&](size_t i) { return poly[i % n] * scale; };
    std::vector<Vec> dirIn(n);
    std::vector<double> turn(n), tangent(n);
    for (size_t i = 0; i < n; ++i) {
        Vec in = Unit(vertex(i + n) - vertex(i + n - 1));
        Vec out = Unit(vertex(i + 1) - vertex(i));
        dirIn[i] = in;
        turn[i] = std::atan2(in.x * out.y - in.y * out.x, in.x * out.x + in.y * out.y);
        tangent[i] = wanted[i] * std::tan(std::fabs(turn[i]) / 2);
    }
    for (int pass = 0; pass < 3; ++pass) {
        for (size_t i = 0; i < n; ++i) {
            size_t j = (i + 1) % n;
            double room = 0.8 * Norm(vertex(j) - vertex(i));
            if (tangent[i] + tangent[j] > room) {
                double k = room / (tangent[i] + tangent[j]);
                tangent[i] *= k;
                tangent[j] *= k;
            }
        }
    }
    std::vector<Piece> pieces;
    for (size_t i = 0; i < n; ++i) {
        size_t prev = (i + n - 1) % n;
        Vec from = vertex(prev) + dirIn[i] * tangent[prev];
        Vec arcStart = vertex(i) - dirIn[i] * tangent[i];
        pieces.push_back({from, dirIn[i], Norm(arcStart - from), 0, 0});
        double half = std::fabs(turn[i]) / 2;
        if (half > 1e-4) {
            double radius = tangent[i] / std::tan(half);
            pieces.push_back({arcStart, dirIn[i], radius * std::fabs(turn[i]), radius, turn[i]});
        }
    }
    return pieces;
}

double TotalLength(const std::vector<Piece>& pieces) {
    double sum = 0;
    for (const Piece& p : pieces) sum += p.length;
    return sum;
}

CoursePoint PointOnPiece(const Piece& p, double along) {
    if (p.radius == 0) return {p.start.x + p.dir.x * along, p.start.y + p.dir.y * along, 0};
    double side = p.turn > 0 ? 1.0 : -1.0;
    Vec normal{-p.dir.y, p.dir.x};
    Vec center = p.start + normal * (side * p.radius);
    double heading = std::atan2(p.dir.y, p.dir.x) + side * along / p.radius;
    return {center.x + side * p.radius * std::sin(heading),
            center.y - side * p.radius * std::cos(heading), side / p.radius};
}

// True when two parts of the track that are far apart along it come close side by side.
bool Crowded(const std::vector<Piece>& pieces) {
    constexpr double kStep = 10, kApartAlong = 150, kMinGap = 40;
    std::vector<CoursePoint> samples;
    for (const Piece& p : pieces)
        for (double a = 0; a < p.length; a += kStep) samples.push_back(PointOnPiece(p, a));
    size_t n = samples.size();
    size_t skip = static_cast<size_t>(kApartAlong / kStep);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + skip; j + skip < n + i; ++j) {
            const CoursePoint& a = samples[i];
            const CoursePoint& b = samples[j % n];
            if (std::hypot(a.x - b.x, a.y - b.y) < kMinGap) return true;
        }
    return false;
}

bool Acceptable(const std::vector<Piece>& pieces, double longestStraight) {
    double tightest = 1e9;
    for (const Piece& p : pieces)
        if (p.radius > 0) tightest = std::min(tightest, p.radius);
    return longestStraight >= 350 && tightest >= 12 && !Crowded(pieces);
}

size_t LongestStraight(const std::vector<Piece>& pieces) {
    size_t best = 0;
    for (size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].radius == 0 && pieces[i].length > pieces[best].length) best = i;
    return best;
}

// Samples the pieces every `spacing` metres, starting `startAt` metres into the lap.
void SamplePieces(const std::vector<Piece>& pieces, double startAt, SimCourse& course) {
    size_t count = static_cast<size_t>(std::lround(course.length));
    course.spacing = course.length / static_cast<double>(count);
    size_t piece = 0;
    double pieceStart = 0;
    for (size_t k = 0; k < count; ++k) {
        double d = startAt + static_cast<double>(k) * course.spacing;
        if (d >= course.length) d -= course.length;
        if (d < pieceStart) piece = 0, pieceStart = 0;
        while (piece + 1 < pieces.size() && d >= pieceStart + pieces[piece].length)
            pieceStart += pieces[piece++].length;
        CoursePoint p = PointOnPiece(pieces[piece], d - pieceStart);
        course.x.push_back(p.x);
        course.y.push_back(p.y);
        course.curvature.push_back(p.curvature);
    }
}

void PlacePitLane(SimCourse& course, double straightLength) {
    // The line sits 65 % down the main straight; the pit lane runs beside it.
    double before = 0.65 * straightLength, after = 0.35 * straightLength;
    course.pitBox = course.length - 30;
    course.pitLaneIn = course.length - std::min(before - 40, 260.0);
    course.pitLaneOut = std::max(20.0, std::min(after - 40, 250.0));
}

void PlaceBumps(SimRng& rng, SimCourse& course) {
    int count = 6 + static_cast<int>(NextU64(rng) % 7);
    for (int i = 0; i < count; ++i) {
        course.bumpAt.push_back(NextRange(rng, 0, course.length));
        course.bumpHeight.push_back(NextRange(rng, 3, 10));
    }
}

} // namespace

SimCourse MakeCourse(uint32_t seed) {
    SimRng rng = MakeRng(seed, 1);
    std::vector<Piece> pieces;
    double target = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::vector<Vec> poly = RandomPolygon(rng);
        std::vector<double> radii = RandomRadii(rng, poly.size());
        target = NextRange(rng, 2500, 4900);
        double scale = target / 5.0;
        for (int i = 0; i < 8; ++i) {
            pieces = BuildPieces(poly, scale, radii);
            scale *= target / TotalLength(pieces);
        }
        pieces = BuildPieces(poly, scale, radii);
        if (Acceptable(pieces, pieces[LongestStraight(pieces)].length)) break;
    }
    SimCourse course;
    course.seed = seed;
    course.length = TotalLength(pieces);
    size_t main = LongestStraight(pieces);
    double mainStart = 0;
    for (size_t i = 0; i < main; ++i) mainStart += pieces[i].length;
    SamplePieces(pieces, mainStart + 0.65 * pieces[main].length, course);
    PlacePitLane(course, pieces[main].length);
    PlaceBumps(rng, course);
    return course;
}

double CourseHeading(const SimCourse& course, double distance) {
    CoursePoint at = CourseAt(course, distance),
                ahead = CourseAt(course, distance + course.spacing);
    return std::atan2(ahead.y - at.y, ahead.x - at.x);
}

double WrapCourseDistance(const SimCourse& course, double distance) {
    double d = distance - course.length * std::floor(distance / course.length);
    return d >= course.length ? 0.0 : d;
}

CoursePoint CourseAt(const SimCourse& course, double distance) {
    double at = WrapCourseDistance(course, distance) / course.spacing;
    size_t n = course.x.size();
    size_t i = std::min(static_cast<size_t>(at), n - 1);
    size_t j = (i + 1) % n;
    double f = at - static_cast<double>(i);
    return {course.x[i] + (course.x[j] - course.x[i]) * f,
            course.y[i] + (course.y[j] - course.y[i]) * f, course.curvature[i]};
}

} // namespace qvtk::sim
