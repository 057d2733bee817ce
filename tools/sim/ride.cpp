#include "tools/sim/ride.h"

#include "tools/sim/ride_plan.h"
#include "tools/sim/rng.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qvtk::sim {

namespace {

constexpr double kDt = kSampleSeconds;
constexpr size_t kStartIdleSamples = 600; // waiting in the pit box with the engine running
constexpr size_t kInGearBefore = 200;     // first gear goes in before pulling away
constexpr size_t kEndIdleSamples = 400;
constexpr size_t kNeutralAfterStop = 200;
constexpr double kIdleRpm = 1300;
constexpr double kWheelbase = 1.4;
constexpr double kUpshiftRpm = 12800;
constexpr double kRevLimit = 13800;
constexpr double kDownshiftBelow = 11500; // rpm the lower gear would give
constexpr size_t kLafDelay = 16;          // exhaust transport delay, 80 ms

enum class Phase { StartIdle, Moving, EndIdle };

// Everything that carries over from one sample to the next.
struct RiderState {
    Phase phase = Phase::StartIdle;
    size_t stoppedAt = 0;
    double r = 0;     // ride distance, m
    double v = 0;     // m/s
    double accel = 0; // smoothed, m/s^2: the rider and the chassis do not react in 5 ms
    size_t zone = 0;
    int gear = 0, shiftHold = 0, blip = 0;
    double upshiftRpm = kUpshiftRpm;
    double throttle = 0;
    double frontSus = 32, rearSus = 24, frontNoise = 0, rearNoise = 0;
    double laf1 = 13.0, laf2 = 13.1;
    std::array<double, kLafDelay> lafPipe{};
    size_t lafHead = 0;
    double rpmNoise = 0, vbNoise = 0, waterTemp = 62;
    size_t nextBeacon = 0, nextMark = 0;
    int pulseLeft = 0, markLeft = 0;
};

// The values of one sample before they are appended to the ride.
struct Sample {
    double rpm = 0, throttle = 0, front = 0, rear = 0, frontSus = 0, rearSus = 0;
    double laf1 = 0, laf2 = 0, vb = 0, aux1 = 0, aux2 = 0, water = 0;
    CoursePoint at;
    double distance = 0;
    int gear = 0;
    bool pulse = false, mark = false, pitLane = false;
};

double Lowpass(double current, double target, double tau) {
    return current + (target - current) * (kDt / (tau + kDt));
}

// First-order noise with the given standard deviation and correlation per sample.
double Wander(double current, double sd, double keep, SimRng& rng) {
    return keep * current + sd * std::sqrt(1 - keep * keep) * NextGauss(rng);
}

double AccelG(const RiderState& s) {
    return std::max(s.accel, 0.0) / kGravity;
}

double BrakeG(const RiderState& s) {
    return std::max(-s.accel, 0.0) / kGravity;
}

// Advances the bike by one sample along the plan; returns the acceleration (m/s^2).
double StepMotion(const RidePlan& plan, RiderState& s, size_t i) {
    if (s.phase != Phase::Moving) return 0;
    s.zone = ZoneAt(plan, s.r, s.zone);
    double v0 = s.v;
    double v1 = std::max(0.0, v0 + FullThrottleAccel(plan.zones[s.zone], v0) * kDt);
    double r1 = s.r + 0.5 * (v0 + v1) * kDt;
    double cap = EnvelopeAt(plan, r1);
    if (v1 > cap) {
        v1 = cap;
        r1 = s.r + 0.5 * (v0 + v1) * kDt;
    }
    if (plan.length - r1 < 0.3) { // rolled into the pit box
        r1 = plan.length;
        v1 = 0;
        s.phase = Phase::EndIdle;
        s.stoppedAt = i;
    }
    s.r = r1;
    s.v = v1;
    // The last few centimetres into the box are rolled out, not a jolt.
    return std::clamp((v1 - v0) / kDt, -1.5 * kGravity, 1.5 * kGravity);
}

void WheelSpeeds(const RiderState& s, Sample& out) {
    double kmh = s.v * 3.6;
    // The driven rear wheel spins a little faster under power; both slip under braking.
    out.rear = kmh * (1 + 0.03 * AccelG(s)) * (1 - 0.012 * BrakeG(s));
    out.front = kmh * (1 - 0.01 * BrakeG(s));
}

void ShiftGears(const SimBike& bike, const PaceZone& zone, double rear, RiderState& s,
                SimRng& rng) {
    if (s.gear == 0) s.gear = 1;
    if (s.shiftHold > 0) {
        --s.shiftHold;
        return;
    }
    double rpm = EngineRpmAt(bike, s.gear, rear);
    // Out of the fast laps the rider short-shifts.
    double up = zone.pitLane ? 7000 : zone.flying ? s.upshiftRpm : 9500;
    if (s.gear < kTopGear && (rpm > kRevLimit || (rpm > up && s.accel > 0.3))) {
        ++s.gear;
        s.shiftHold = 40;
        s.upshiftRpm = kUpshiftRpm + 150 * NextGauss(rng);
    } else if (s.gear > 1 && EngineRpmAt(bike, s.gear - 1, rear) < kDownshiftBelow &&
               (s.accel < -1.5 || rpm < 4000)) {
        --s.gear;
        s.shiftHold = 30;
        s.blip = 12;
    }
}

double EngineRpm(const SimBike& bike, const RiderState& s, double rear, double throttle) {
    double idle = kIdleRpm + s.rpmNoise;
    if (s.gear == 0) return idle;
    double coupled = EngineRpmAt(bike, s.gear, rear) + 0.3 * s.rpmNoise;
    if (s.gear == 1 && s.phase == Phase::Moving && s.accel > 0.2) {
        // Pulling away, the clutch slips until the wheel catches up with the engine.
        return std::max(coupled, 3200 + 25 * throttle);
    }
    return coupled >= 3000 ? coupled : idle; // clutch pulled in when rolling slowly
}

double Throttle(RiderState& s, SimRng& rng) {
    double target = s.phase == Phase::Moving ? ThrottleShare(s.accel, s.v) : 0.0;
    if (s.blip > 0) { // matching the revs on a downshift
        --s.blip;
        target = std::max(target, 0.22);
    }
    s.throttle = Lowpass(s.throttle, 100 * target, 0.04);
    if (s.throttle < 0.5) return 0;
    return std::clamp(s.throttle + 0.15 * NextGauss(rng), 0.0, 100.0);
}

double Bump(const SimCourse& course, double distance) {
    double sum = 0;
    for (size_t i = 0; i < course.bumpAt.size(); ++i) {
        double d = WrapCourseDistance(course, distance - course.bumpAt[i] + course.length / 2) -
                   course.length / 2;
        if (std::fabs(d) < 1.5) sum += course.bumpHeight[i] * std::exp(-(d * d) / 0.16);
    }
    return sum;
}

void Suspension(const SimCourse& course, RiderState& s, SimRng& rng, Sample& out) {
    double lateralG = s.v * s.v * std::fabs(out.at.curvature) / kGravity;
    double load = std::sqrt(1 + lateralG * lateralG);
    // Weight moves forward under braking and backward under power.
    s.frontSus = Lowpass(s.frontSus, 32 * load + 58 * BrakeG(s) - 14 * AccelG(s), 0.07);
    s.rearSus = Lowpass(s.rearSus, 24 * load + 30 * AccelG(s) - 8 * BrakeG(s), 0.09);
    double roughness = 0.3 + 2.0 * std::min(s.v / 70, 1.0);
    s.frontNoise = Wander(s.frontNoise, roughness, 0.85, rng);
    s.rearNoise = Wander(s.rearNoise, roughness, 0.85, rng);
    out.frontSus = std::clamp(s.frontSus + s.frontNoise + Bump(course, out.distance), 0.0, 170.0);
    out.rearSus = std::clamp(
        s.rearSus + s.rearNoise + 0.8 * Bump(course, out.distance - kWheelbase), 0.0, 115.0);
}

void AirFuel(RiderState& s, SimRng& rng, Sample& out) {
    double target = 13.0;
    if (s.phase == Phase::Moving) {
        target = 13.35 - 0.85 * out.throttle / 100;
        if (out.throttle < 2 && s.v > 8) target += 1.2; // lean on the overrun
    }
    double delayed = s.lafPipe[s.lafHead];
    if (delayed == 0) delayed = target; // the pipe is still filling after the start
    s.lafPipe[s.lafHead] = target;
    s.lafHead = (s.lafHead + 1) % kLafDelay;
    s.laf1 = Lowpass(s.laf1, delayed, 0.05);
    s.laf2 = Lowpass(s.laf2, delayed + 0.12, 0.06);
    out.laf1 = std::clamp(s.laf1 + 0.03 * NextGauss(rng), 10.0, 17.5);
    out.laf2 = std::clamp(s.laf2 + 0.03 * NextGauss(rng), 10.0, 17.5);
}

void Electrics(RiderState& s, SimRng& rng, Sample& out) {
    s.vbNoise = Wander(s.vbNoise, 0.015, 0.98, rng);
    out.vb = 13.05 + 0.5 * std::min(out.rpm, 8000.0) / 8000 + s.vbNoise;
    s.waterTemp = Lowpass(s.waterTemp, 68 + 20 * std::min(s.v / 45, 1.0), 60);
    out.water = s.waterTemp;
    out.aux1 = std::clamp(4.6 - 0.04 * s.waterTemp + 0.003 * NextGauss(rng), 0.1, 4.9);
    double pressure = s.phase == Phase::Moving ? std::min(BrakeG(s) / 1.3, 1.0) : 0.0;
    out.aux2 = std::clamp(0.5 + 3.2 * pressure + 0.004 * NextGauss(rng), 0.1, 4.9);
}

void Markers(const RidePlan& plan, RiderState& s, size_t i, SimRide& ride, Sample& out) {
    while (s.nextBeacon < plan.beacons.size() && s.r >= plan.beacons[s.nextBeacon]) {
        ride.lapPulseStarts.push_back(static_cast<uint32_t>(i));
        s.pulseLeft = kLapPulseSamples;
        ++s.nextBeacon;
    }
    while (s.nextMark < plan.markPress.size() && s.r >= plan.markPress[s.nextMark]) {
        s.markLeft = kMarkSamples;
        ++s.nextMark;
    }
    out.pulse = s.pulseLeft > 0;
    out.mark = s.markLeft > 0;
    s.pulseLeft = std::max(0, s.pulseLeft - 1);
    s.markLeft = std::max(0, s.markLeft - 1);
}

void Append(SimRide& ride, const Sample& s) {
    ride.rpm.push_back(static_cast<float>(s.rpm));
    ride.throttle.push_back(static_cast<float>(s.throttle));
    ride.frontSpeed.push_back(static_cast<float>(s.front));
    ride.rearSpeed.push_back(static_cast<float>(s.rear));
    ride.frontStroke.push_back(static_cast<float>(s.frontSus));
    ride.rearStroke.push_back(static_cast<float>(s.rearSus));
    ride.laf1.push_back(static_cast<float>(s.laf1));
    ride.laf2.push_back(static_cast<float>(s.laf2));
    ride.vb.push_back(static_cast<float>(s.vb));
    ride.aux1.push_back(static_cast<float>(s.aux1));
    ride.aux2.push_back(static_cast<float>(s.aux2));
    ride.waterTemp.push_back(static_cast<float>(s.water));
    ride.x.push_back(static_cast<float>(s.at.x));
    ride.y.push_back(static_cast<float>(s.at.y));
    ride.distance.push_back(static_cast<float>(s.distance));
    ride.gear.push_back(static_cast<uint8_t>(s.gear));
    ride.pitLane.push_back(s.pitLane ? 1 : 0);
    ride.lapPulse.push_back(s.pulse ? 1 : 0);
    ride.sampleMark.push_back(s.mark ? 1 : 0);
}

void Reserve(SimRide& ride, size_t n) {
    for (auto* v : {&ride.rpm, &ride.throttle, &ride.frontSpeed, &ride.rearSpeed, &ride.frontStroke,
                    &ride.rearStroke, &ride.laf1, &ride.laf2, &ride.vb, &ride.aux1, &ride.aux2,
                    &ride.waterTemp, &ride.x, &ride.y, &ride.distance})
        v->reserve(n);
    for (auto* v : {&ride.gear, &ride.pitLane, &ride.lapPulse, &ride.sampleMark}) v->reserve(n);
}

// A generous guess of the samples a plan takes, from the time along its envelope.
size_t EstimateSamples(const RidePlan& plan) {
    double seconds = 0;
    for (float v : plan.envelope) seconds += plan.gridStep / std::max(v, 2.0f);
    return static_cast<size_t>(seconds * 1.15 / kDt) + kStartIdleSamples + kEndIdleSamples;
}

void UpdatePhase(RiderState& s, size_t i) {
    if (s.phase == Phase::StartIdle) {
        if (i + kInGearBefore >= kStartIdleSamples) s.gear = 1;
        if (i >= kStartIdleSamples) s.phase = Phase::Moving;
    }
    if (s.phase == Phase::EndIdle && i - s.stoppedAt >= kNeutralAfterStop) s.gear = 0;
}

// Rides `laps` flying laps; with `exactSamples` > 0 the recording is cut or the rider
// idles in the pit box until it holds exactly that many samples.
SimRide RunRide(const SimCourse& course, const RideOptions& options, int laps,
                size_t exactSamples) {
    SimRng planRng = MakeRng(options.seed, 2);
    SimRng rng = MakeRng(options.seed, 3);
    RidePlan plan =
        PlanRide(course, laps, options.marksPerLap, options.pace, planRng, options.slowCorners);
    SimRide ride;
    ride.seed = options.seed;
    ride.marksPerLap = options.marksPerLap;
    ride.bike = options.bike;
    ride.courseLength = course.length;
    ride.lineX = course.x[0];
    ride.lineY = course.y[0];
    ride.lineHeading = CourseHeading(course, 0);
    Reserve(ride, exactSamples > 0 ? exactSamples : EstimateSamples(plan));
    RiderState s;
    for (size_t i = 0;; ++i) {
        if (exactSamples > 0 ? i >= exactSamples
                             : s.phase == Phase::EndIdle && i - s.stoppedAt >= kEndIdleSamples)
            break;
        UpdatePhase(s, i);
        double a = StepMotion(plan, s, i);
        s.accel = Lowpass(s.accel, a, 0.08);
        Sample out;
        out.distance = WrapCourseDistance(course, plan.startAt + s.r);
        out.at = CourseAt(course, out.distance);
        WheelSpeeds(s, out);
        if (s.phase == Phase::Moving)
            ShiftGears(options.bike, plan.zones[s.zone], out.rear, s, rng);
        out.gear = s.gear;
        out.pitLane = plan.zones[s.zone].pitLane;
        out.throttle = Throttle(s, rng);
        s.rpmNoise = Wander(s.rpmNoise, 12, 0.9, rng);
        out.rpm = EngineRpm(options.bike, s, out.rear, out.throttle);
        Suspension(course, s, rng, out);
        AirFuel(s, rng, out);
        Electrics(s, rng, out);
        Markers(plan, s, i, ride, out);
        Append(ride, out);
    }
    return ride;
}

// Samples a ride of `laps` flying laps takes, to the end of its idle in the pit box;
// from the motion alone, which is far cheaper than the whole ride.
size_t RideLength(const SimCourse& course, const RideOptions& options, int laps) {
    SimRng planRng = MakeRng(options.seed, 2);
    RidePlan plan =
        PlanRide(course, laps, options.marksPerLap, options.pace, planRng, options.slowCorners);
    RiderState s;
    for (size_t i = 0; s.phase != Phase::EndIdle; ++i) {
        UpdatePhase(s, i);
        StepMotion(plan, s, i);
    }
    return s.stoppedAt + kEndIdleSamples;
}

// The most flying laps whose ride fits into `samples`.
int LapsForSamples(const SimCourse& course, const RideOptions& options, size_t samples) {
    size_t none = RideLength(course, options, 0);
    double lap = static_cast<double>(RideLength(course, options, 1) - none);
    int laps = std::max(0, static_cast<int>((static_cast<double>(samples) - none) / lap));
    // Lap times vary a little, so the estimate may be one off either way.
    while (laps > 0 && RideLength(course, options, laps) > samples) --laps;
    while (RideLength(course, options, laps + 1) <= samples) ++laps;
    return laps;
}

} // namespace

SimRide SimulateRide(const SimCourse& course, const RideOptions& options) {
    RideOptions o = options;
    o.marksPerLap = std::clamp(o.marksPerLap, 1, 3);
    if (o.minutes <= 0) return RunRide(course, o, std::max(0, o.laps), 0);
    size_t samples = static_cast<size_t>(std::llround(o.minutes * 60 / kDt));
    return RunRide(course, o, LapsForSamples(course, o, samples), std::max<size_t>(samples, 1));
}

} // namespace qvtk::sim
