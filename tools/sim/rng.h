#pragma once

#include <cstdint>

namespace qvtk::sim {

// SplitMix64. Our own generator and our own normal approximation: the standard
// distributions may give other numbers with another library version, and a seed
// must always give the same recording.
struct SimRng {
    uint64_t state = 0;
};

// Separate streams of one seed keep the course, the rider and the noise independent,
// so changing how one of them draws numbers does not reshuffle the others.
inline SimRng MakeRng(uint64_t seed, uint64_t stream) {
    return SimRng{seed * 0x9E3779B97F4A7C15ull ^
                  (stream * 0xD1B54A32D192ED03ull + 0x632BE59BD9B4E019ull)};
}

inline uint64_t NextU64(SimRng& rng) {
    uint64_t z = (rng.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [0, 1).
inline double NextUniform(SimRng& rng) {
    return static_cast<double>(NextU64(rng) >> 11) * 0x1.0p-53;
}

inline double NextRange(SimRng& rng, double lo, double hi) {
    return lo + (hi - lo) * NextUniform(rng);
}

// Mean 0, standard deviation 1, from four uniforms (plain arithmetic, no libm), bounded by
// +-3.46, which suits sensor noise that must never run wild.
inline double NextGauss(SimRng& rng) {
    double sum = NextUniform(rng) + NextUniform(rng) + NextUniform(rng) + NextUniform(rng);
    return (sum - 2.0) * 1.7320508075688772;
}

} // namespace qvtk::sim
