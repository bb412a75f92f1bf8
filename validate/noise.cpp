#include "validate/noise.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/fftunit.h"

double TGaussianSource::Uniform() {
    // (k + 1) / 2^53 for k in 0 ... 2^53 - 1: never 0, so the logarithm below
    // stays finite.
    return static_cast<double>((engine() >> 11) + 1) * (1.0 / 9007199254740992.0);
}

double TGaussianSource::Next() {
    if (hasSpare) {
        hasSpare = false;
        return spare;
    }
    const double u1 = Uniform();
    const double u2 = Uniform();
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * M_PI * u2;
    spare = radius * std::sin(angle);
    hasSpare = true;
    return radius * std::cos(angle);
}

std::size_t ShapingLength(std::size_t count) {
    std::size_t length = 4;
    while (length < 4 * count) {
        length *= 2;
    }
    return length;
}

std::vector<double> PowerLawNoise(std::size_t count, double beta, std::uint64_t seed) {
    if (count == 0) {
        return {};
    }
    if (count > (std::size_t{1} << 26)) {
        throw std::length_error("noise record too long");
    }
    const std::size_t length = ShapingLength(count);
    TGaussianSource gauss(seed);
    std::vector<double> a(2 * length);
    for (std::size_t i = 0; i < length; ++i) {
        a[2 * i] = gauss.Next();
        a[2 * i + 1] = 0.0;
    }

    const int n = static_cast<int>(2 * length);
    std::vector<int> workArea(static_cast<std::size_t>(std::sqrt(static_cast<double>(length))) + 2,
                              0);
    std::vector<double> trigTable(length / 2);
    ComplexFft(n, -1, a.data(), workArea.data(), trigTable.data());

    // Amplitude f^(-beta/2), so the power goes as f^-beta. Bins k and
    // length - k carry the same frequency, so the record stays real.
    a[0] = 0.0;
    a[1] = 0.0;
    for (std::size_t k = 1; k < length; ++k) {
        const std::size_t harmonic = std::min(k, length - k);
        const double gain = std::pow(static_cast<double>(harmonic), -beta / 2.0);
        a[2 * k] *= gain;
        a[2 * k + 1] *= gain;
    }
    ComplexFft(n, 1, a.data(), workArea.data(), trigTable.data());

    std::vector<double> noise(count);
    const std::size_t start = (length - count) / 2;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        noise[i] = a[2 * (start + i)];
        sum += noise[i];
    }
    const double mean = sum / static_cast<double>(count);
    double squares = 0.0;
    for (double& v : noise) {
        v -= mean;
        squares += v * v;
    }
    const double sd = std::sqrt(squares / static_cast<double>(count));
    const double scale = sd > 0.0 ? 1.0 / sd : 0.0;
    for (double& v : noise) {
        v = std::clamp(v * scale, -kNoiseClip, kNoiseClip);
    }
    return noise;
}
