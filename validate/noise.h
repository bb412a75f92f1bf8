#pragma once
// Gaussian noise with a power spectrum proportional to 1/f^beta, the known
// input of the validation recordings.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// Standard normal values by the Box-Muller transform on std::mt19937_64.
// The standard distributions are not used: their output differs between
// C++ libraries, and the recordings must be the same everywhere for a seed.
class TGaussianSource {
public:
    explicit TGaussianSource(std::uint64_t seed) : engine(seed) {}
    double Next();

private:
    // A uniform value in (0, 1], 53 random bits.
    double Uniform();

    std::mt19937_64 engine;
    bool hasSpare = false;
    double spare = 0.0;
};

// The clipping level of the noise, in standard deviations.
constexpr double kNoiseClip = 3.5;

// `count` values of Gaussian noise whose power falls as 1/f^beta: white
// noise four times longer than asked for (rounded up to a power of two) is
// shaped in the frequency domain by f^(-beta/2), zero at f = 0, and the
// middle `count` values are kept, so the result is not periodic. Those are
// brought to mean 0 and standard deviation 1 and clipped at +-kNoiseClip.
// The same (count, beta, seed) always gives the same values.
std::vector<double> PowerLawNoise(std::size_t count, double beta, std::uint64_t seed);

// The length of the shaping transform PowerLawNoise uses for `count` values.
std::size_t ShapingLength(std::size_t count);
