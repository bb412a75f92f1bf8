// Detrended fluctuation analysis: its scales, F(n) on series small enough to
// work out by hand, and the exponent of noises whose exponent is known.

#include "engine/dfa.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

// Gaussian values by Box-Muller on the raw engine output, the same on every
// standard library.
std::vector<double> WhiteNoise(int count, std::uint64_t seed) {
    std::mt19937_64 g(seed);
    auto uniform = [&] { return (static_cast<double>(g() >> 11) + 0.5) * 0x1p-53; };
    std::vector<double> values(count);
    for (int i = 0; i < count; i += 2) {
        const double r = std::sqrt(-2.0 * std::log(uniform()));
        const double phase = 2 * M_PI * uniform();
        values[i] = r * std::cos(phase);
        if (i + 1 < count) {
            values[i + 1] = r * std::sin(phase);
        }
    }
    return values;
}

} // namespace

TEST(Dfa, Scales) {
    EXPECT_EQ(DfaScales(64), (std::vector<int>{4}));
    EXPECT_EQ(DfaScales(1000),
              (std::vector<int>{4, 5, 6, 7, 8, 10, 12, 14, 17, 21, 25, 30, 36, 43, 52, 63}));
    EXPECT_EQ(DfaScales(720000), (std::vector<int>{4, 7, 14, 26, 48, 90, 167, 311, 579, 1078, 2008,
                                                   3740, 6966, 12974, 24162, 45000}));
    // c = floor(count / 4) below 16: no scale at all.
    EXPECT_TRUE(DfaScales(63).empty());
    EXPECT_TRUE(DfaScales(0).empty());
    EXPECT_TRUE(DfaScales(-5).empty());
}

TEST(Dfa, ProfileIsTheRunningSumAboutTheMean) {
    const double x[] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3};
    const std::vector<double> expected = {-0.9, -3.8, -3.7, -6.6, -5.5, -0.4, -2.3, -0.2, 0.9, 0};
    std::vector<double> profile = DfaProfile(x, 10);
    ASSERT_EQ(profile.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(profile[i], expected[i], 1e-13) << i;
    }
    EXPECT_TRUE(DfaProfile(x, 0).empty());
}

TEST(Dfa, FluctuationOfTinySeries) {
    // Alternating 1, 0: the profile 0.5, 0, 0.5, 0, ...; each segment of 4
    // leaves residuals 0.1, -0.3, 0.3, -0.1 around its line: F = sqrt(0.05).
    const double alternating[] = {1, 0, 1, 0, 1, 0, 1, 0};
    EXPECT_NEAR(DfaFluctuation(DfaProfile(alternating, 8), 4), std::sqrt(0.05), 1e-15);

    // Ten values whose segments from the start and from the end differ (the
    // mean squared residuals worked out in fractions: 22/27, 71/40, 41/50).
    const double x[] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3};
    const std::vector<double> profile = DfaProfile(x, 10);
    EXPECT_NEAR(DfaFluctuation(profile, 3), std::sqrt(22.0 / 27), 1e-13);
    EXPECT_NEAR(DfaFluctuation(profile, 4), std::sqrt(71.0 / 40), 1e-13);
    EXPECT_NEAR(DfaFluctuation(profile, 5), std::sqrt(41.0 / 50), 1e-13);

    EXPECT_TRUE(std::isnan(DfaFluctuation(profile, 1)));
    EXPECT_TRUE(std::isnan(DfaFluctuation(profile, 11)));
}

TEST(Dfa, ExponentOfWhiteNoiseAndOfItsRunningSum) {
    const std::vector<double> white = WhiteNoise(1 << 15, 11);
    std::vector<double> walk(white.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < white.size(); ++i) {
        sum += white[i];
        walk[i] = sum;
    }
    auto whiteDfa = DetrendedFluctuation(white.data(), static_cast<int>(white.size()));
    auto walkDfa = DetrendedFluctuation(walk.data(), static_cast<int>(walk.size()));
    ASSERT_TRUE(whiteDfa && walkDfa);
    EXPECT_NEAR(whiteDfa->alpha, 0.5, 0.05);
    EXPECT_NEAR(walkDfa->alpha, 1.5, 0.05);
    EXPECT_DOUBLE_EQ(whiteDfa->beta, 2 * whiteDfa->alpha - 1);
    EXPECT_EQ(whiteDfa->scales, DfaScales(1 << 15));
    EXPECT_EQ(whiteDfa->fluctuations.size(), whiteDfa->scales.size());
    // A level shift and a scale change leave alpha as it is.
    std::vector<double> shifted = white;
    for (double& v : shifted) {
        v = 1000 + 3 * v;
    }
    auto shiftedDfa = DetrendedFluctuation(shifted.data(), static_cast<int>(shifted.size()));
    ASSERT_TRUE(shiftedDfa);
    EXPECT_NEAR(shiftedDfa->alpha, whiteDfa->alpha, 1e-9);
}

TEST(Dfa, AbsentWithoutFourScalesOrForAFlatProfile) {
    const std::vector<double> white = WhiteNoise(200, 3);
    // 64 values give the single scale 4.
    EXPECT_FALSE(DetrendedFluctuation(white.data(), 64));
    EXPECT_TRUE(DetrendedFluctuation(white.data(), 200));
    // A constant series has a profile of zeros: F = 0 has no logarithm.
    const std::vector<double> constant(500, 2.5);
    EXPECT_FALSE(DetrendedFluctuation(constant.data(), 500));
}

// The analysis forms the profile as it reads the values instead of holding
// it whole; every F(n) must keep the bits of the profile-based formula, for
// counts whose segments fill the series (no rest) and counts that leave a
// rest between the forward and the backward segments.
TEST(Dfa, StreamedFluctuationsKeepTheBitsOfTheWholeProfile) {
    for (const int count : {300, 1000, 1024, 4097, 65536, 65537, 100003}) {
        std::vector<double> values = WhiteNoise(count, 7u + count);
        // An offset and a drift, so the mean and the running sum round.
        for (int i = 0; i < count; ++i) {
            values[i] = 440.0 + 0.001 * i + values[i];
        }
        const std::optional<TDfaResult> result = DetrendedFluctuation(values.data(), count);
        ASSERT_TRUE(result) << count;
        const std::vector<double> profile = DfaProfile(values.data(), count);
        ASSERT_EQ(result->fluctuations.size(), result->scales.size());
        for (std::size_t k = 0; k < result->scales.size(); ++k) {
            const double expected = DfaFluctuation(profile, result->scales[k]);
            ASSERT_EQ(std::memcmp(&expected, &result->fluctuations[k], sizeof(double)), 0)
                << "count " << count << " n " << result->scales[k];
        }
    }
}
