// The sinc kernel and the resampler, checked against the direct 129-sine
// formula and a long double reference of the truncated sinc sum.

#include "engine/wavemath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr long double kPiL = 3.141592653589793238462643383279502884L;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void FillSeries(TWaveAnalyze& series, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    series.values = std::make_unique<double[]>(count);
    series.count = count;
    series.period = 0.025;
    for (int i = 0; i < count; ++i) {
        series.values[i] = uniform(rng);
    }
}

// A spectrum object whose values are all NaN, so that any value the
// resampler fails to write shows.
TComplexFFT PoisonedSpectrum(int n) {
    TComplexFFT fft(n);
    for (int g = 0; g < n; ++g) {
        fft.SetValue(g, Complex{kNaN, kNaN});
    }
    return fft;
}

// The truncated sinc sum at x in long double with the exact pi.
long double ReferenceValue(const TWaveAnalyze& series, long double x) {
    const long long c = static_cast<long long>(x);
    long double sum = 0;
    for (long long i = std::max(c - 64, 0LL); i <= std::min(c + 64, series.count - 1LL); ++i) {
        long double d = (x - i) * kPiL;
        sum += (d == 0 ? 1.0L : sinl(d) / d) * series.values[i];
    }
    return sum;
}

} // namespace

// ---- Sinc ---------------------------------------------------------------------------

TEST(Sinc, IsExactlyOneAtZero) {
    EXPECT_EQ(Sinc(0.0), 1.0);
    EXPECT_EQ(Sinc(-0.0), 1.0);
}

TEST(Sinc, AtPiIsTheSineOfTheRoundedPiNotZero) {
    // sin(3.141592653589793) = 1.2246467991473532e-16, divided by pi.
    EXPECT_NEAR(Sinc(kPi), 3.8981718325193755e-17, 1e-31);
    EXPECT_NEAR(Sinc(-kPi), 3.8981718325193755e-17, 1e-31);
}

TEST(Sinc, FollowsSineOverArgument) {
    EXPECT_NEAR(Sinc(kPi / 2), static_cast<double>(2 / kPiL), 1e-16);
    EXPECT_NEAR(Sinc(1.5 * kPi), static_cast<double>(-2 / (3 * kPiL)), 1e-16);
    EXPECT_EQ(Sinc(1e-300), 1.0);
}

TEST(Sinc, NaNGivesNaN) {
    EXPECT_TRUE(std::isnan(Sinc(kNaN)));
}

// ---- Resampler: documented cases ------------------------------------------------------

TEST(ResampleSeries, PowerOfTwoCountReproducesTheSeries) {
    TWaveAnalyze series;
    FillSeries(series, 1024, 3);
    TComplexFFT fast = PoisonedSpectrum(1024);
    TComplexFFT direct = PoisonedSpectrum(1024);
    ResampleSeries(series, fast, 1.0);
    ResampleSeriesDirect(series, direct, 1.0);
    for (int g = 0; g < 1024; ++g) {
        // The neighbours' weights are sin(k pi)/(k pi): exactly 0 through the
        // shared sine, about 4e-17 through 129 separate ones.
        ASSERT_EQ(fast.data[g].re, series.values[g]) << g;
        ASSERT_NEAR(direct.data[g].re, series.values[g], 1e-14) << g;
        ASSERT_EQ(fast.data[g].im, 0.0);
        ASSERT_EQ(direct.data[g].im, 0.0);
    }
}

TEST(ResampleSeries, OneValueIsKeptExactly) {
    TWaveAnalyze series;
    FillSeries(series, 1, 4);
    for (auto resample : {&ResampleSeries, &ResampleSeriesDirect}) {
        TComplexFFT fft = PoisonedSpectrum(1);
        resample(series, fft, 1.0);
        EXPECT_EQ(fft.data[0].re, series.values[0]);
        EXPECT_EQ(fft.data[0].im, 0.0);
    }
}

TEST(ResampleSeries, ThreeValuesOnFourPoints) {
    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(3);
    series.count = 3;
    series.values[0] = 2.0;
    series.values[1] = -1.0;
    series.values[2] = 0.5;
    for (auto resample : {&ResampleSeries, &ResampleSeriesDirect}) {
        TComplexFFT fft = PoisonedSpectrum(4);
        resample(series, fft, 0.75);
        // x = 0: values[0] plus the near-zero weights sin(k pi)/(k pi).
        EXPECT_NEAR(fft.data[0].re, 2.0, 1e-16);
        for (int g = 1; g < 4; ++g) {
            EXPECT_NEAR(fft.data[g].re, static_cast<double>(ReferenceValue(series, 0.75L * g)),
                        1e-15)
                << g;
        }
    }
}

TEST(ResampleSeries, OnlySourceIndicesWithin64OfTheTruncatedPositionContribute) {
    // One unit value at index 200 of 400: output g sees it exactly when
    // |trunc(g f) - 200| <= 64, although the sinc is not zero farther out.
    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(400);
    series.count = 400;
    std::fill(series.values.get(), series.values.get() + 400, 0.0);
    series.values[200] = 1.0;
    const double fraction = 400.0 / 512;
    for (auto resample : {&ResampleSeries, &ResampleSeriesDirect}) {
        TComplexFFT fft = PoisonedSpectrum(512);
        resample(series, fft, fraction);
        int inside = 0;
        for (int g = 0; g < 512; ++g) {
            const double x = g * fraction;
            const int distance = std::abs(static_cast<int>(x) - 200);
            if (distance > 64) {
                ASSERT_EQ(fft.data[g].re, 0.0) << g;
                continue;
            }
            ++inside;
            long double d = (x - 200) * kPiL;
            long double expected = d == 0 ? 1.0L : sinl(d) / d;
            ASSERT_NEAR(fft.data[g].re, static_cast<double>(expected), 1e-15) << g;
            if (x != std::trunc(x)) {
                ASSERT_NE(fft.data[g].re, 0.0) << g;
            }
        }
        // trunc(x) = 136 ... 264 is reached from g = 175 ... 339.
        EXPECT_EQ(inside, 339 - 175 + 1);
    }
}

// ---- Resampler: one sine per point against 129 ------------------------------------------

class ResampleAgreement : public testing::TestWithParam<int> {};

TEST_P(ResampleAgreement, OneSinePerPointMatchesTheDirectFormula) {
    const int count = GetParam();
    const int n = NextPowerOfTwo(count);
    const double fraction = static_cast<double>(count) / n;
    TWaveAnalyze series;
    FillSeries(series, count, 100u + count);

    TComplexFFT fast = PoisonedSpectrum(n);
    TComplexFFT direct = PoisonedSpectrum(n);
    ResampleSeries(series, fast, fraction);
    if (fraction > 1.0) {
        // Beyond the cap the series is low-passed and decimated first.
        TWaveAnalyze decimated;
        LowPassDecimate(series, static_cast<int>(std::ceil(fraction)), decimated);
        ResampleSeriesDirect(decimated, direct, fraction / std::ceil(fraction));
    } else {
        ResampleSeriesDirect(series, direct, fraction);
    }

    double largest = 0.0;
    for (int i = 0; i < count; ++i) {
        largest = std::max(largest, std::abs(series.values[i]));
    }
    double worst = 0.0;
    for (int g = 0; g < n; ++g) {
        ASSERT_EQ(fast.data[g].im, 0.0) << g;
        ASSERT_EQ(direct.data[g].im, 0.0) << g;
        double difference = std::abs(fast.data[g].re - direct.data[g].re);
        ASSERT_FALSE(std::isnan(difference)) << "value " << g << " left unwritten";
        worst = std::max(worst, difference);
    }
    EXPECT_LE(worst, 1e-12 * largest);

    // Read in place less an offset, the series gives the bits of the
    // subtracted copy, decimated or not.
    const double offset = 0.37;
    TWaveAnalyze lessOffset;
    lessOffset.count = count;
    lessOffset.values = std::make_unique<double[]>(count);
    for (int i = 0; i < count; ++i) {
        lessOffset.values[i] = series.values[i] - offset;
    }
    TComplexFFT copied = PoisonedSpectrum(n);
    TComplexFFT inPlace = PoisonedSpectrum(n);
    ResampleSeries(lessOffset, copied, fraction);
    ResampleSeriesLess(series.values.get(), count, offset, inPlace, fraction);
    for (int g = 0; g < n; ++g) {
        ASSERT_EQ(std::memcmp(&copied.data[g], &inPlace.data[g], sizeof(Complex)), 0) << g;
    }
}

// A series of values far from zero with small swings (frequencies near
// 440 Hz), at positions between samples and on them, against the truncated
// sinc sum in long double: the division by x - i per tap, the common factor
// sin / pi and the split of the taps by parity keep the sum within 1e-14 of
// the largest value, well inside the 1e-12 the direct formula is held to.
TEST(ResampleSeries, OffsetSeriesMatchesTheLongDoubleSum) {
    TWaveAnalyze series;
    const int count = 3000;
    series.values = std::make_unique<double[]>(count);
    series.count = count;
    std::mt19937 rng(91);
    std::normal_distribution<double> noise(440.0, 20.0);
    double largest = 0.0;
    for (int i = 0; i < count; ++i) {
        series.values[i] = noise(rng);
        largest = std::max(largest, std::abs(series.values[i]));
    }
    const int n = NextPowerOfTwo(count);
    TWaveAnalyze means;
    LowPassDecimate(series, 3, means);
    for (const double fraction : {static_cast<double>(count) / n, 0.5, 2.75}) {
        TComplexFFT fft = PoisonedSpectrum(n);
        ResampleSeries(series, fft, fraction);
        // Beyond one value per point, the series decimated by three is carried.
        const TWaveAnalyze& source = fraction > 1.0 ? means : series;
        const double step = fraction > 1.0 ? fraction / 3 : fraction;
        // A looser bound at the step of the means, still far inside 1e-12.
        const double tolerance = (fraction > 1.0 ? 4e-14 : 1e-14) * largest;
        for (int g = 0; g < n; g += 3) {
            const long double expected = ReferenceValue(source, static_cast<long double>(g) *
                                                                    static_cast<long double>(step));
            ASSERT_NEAR(fft.data[g].re, static_cast<double>(expected), tolerance)
                << "fraction " << fraction << " g " << g;
        }
    }
}

TEST(ResampleSeries, ValuesNearTheLargestDoubleStayFinite) {
    // 1023 values on 1024 points put positions 1/1024 from a sample: a value
    // of 1e306 divided by that distance would overflow; weighted by at most 1
    // it does not.
    TWaveAnalyze series;
    FillSeries(series, 1023, 12);
    for (int i = 0; i < 1023; ++i) {
        series.values[i] *= 1e306;
    }
    TComplexFFT fast = PoisonedSpectrum(1024);
    TComplexFFT direct = PoisonedSpectrum(1024);
    ResampleSeries(series, fast, 1023.0 / 1024);
    ResampleSeriesDirect(series, direct, 1023.0 / 1024);
    for (int g = 0; g < 1024; ++g) {
        ASSERT_TRUE(std::isfinite(fast.data[g].re)) << g;
        ASSERT_NEAR(fast.data[g].re, direct.data[g].re, 1e-12 * 1e306) << g;
    }
}

TEST(ResampleSeries, ANaNValueSpoilsOnlyTheOutputsItFeeds) {
    TWaveAnalyze series;
    FillSeries(series, 400, 8);
    series.values[200] = kNaN;
    const double fraction = 400.0 / 512;
    for (auto resample : {&ResampleSeries, &ResampleSeriesDirect}) {
        TComplexFFT fft = PoisonedSpectrum(512);
        resample(series, fft, fraction);
        for (int g = 0; g < 512; ++g) {
            const int distance = std::abs(static_cast<int>(g * fraction) - 200);
            ASSERT_EQ(std::isnan(fft.data[g].re), distance <= 64) << g;
        }
    }
}

TEST(ResampleSeries, APositionThatIsNotANumberGivesZero) {
    TWaveAnalyze series;
    FillSeries(series, 10, 9);
    TComplexFFT fft = PoisonedSpectrum(4);
    ResampleSeries(series, fft, kNaN);
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(fft.data[g].re, 0.0) << g;
        EXPECT_EQ(fft.data[g].im, 0.0) << g;
    }
}

// Counts just below a power of two put x within 2^-18 of the next whole
// number, where a sine shared from trunc(x) would lose its relative
// accuracy. 300000 values exceed the cap of 262144 points: dataFraction > 1,
// decimation.
INSTANTIATE_TEST_SUITE_P(Counts, ResampleAgreement,
                         testing::Values(1, 2, 3, 5, 100, 1000, 1024, 4095, 4097, 65535, 65536,
                                         262143, 300000),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Count" + std::to_string(info.param);
                         });

// More values than grid points: what lies above the grid's Nyquist frequency
// must not come back as a slow swing, and what lies below it must stay.
struct TDecimationCase {
    const char* name;
    double cyclesPerValue; // of the source series
    double amplitude;      // expected on the grid, within 0.05
};

class ResampleDecimation : public testing::TestWithParam<TDecimationCase> {};

TEST_P(ResampleDecimation, LowPassesBeforeDecimating) {
    const TDecimationCase& c = GetParam();
    // 2^19 values onto the capped grid of 2^18 points: dataFraction 2.
    const int count = 1 << 19;
    const int n = 1 << 18;
    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(count);
    series.count = count;
    series.period = 0.025;
    for (int i = 0; i < count; ++i) {
        series.values[i] = std::cos(2 * kPi * c.cyclesPerValue * i);
    }
    TComplexFFT fft = PoisonedSpectrum(n);
    ResampleSeries(series, fft, 2.0);
    double largest = 0.0;
    // Away from the ends, where the truncated sinc has fewer taps.
    for (int g = 1000; g < n - 1000; ++g) {
        largest = std::max(largest, std::abs(fft.data[g].re));
    }
    if (c.amplitude == 0.0) {
        EXPECT_LE(largest, 1e-3); // below -60 dB
    } else {
        EXPECT_NEAR(largest, c.amplitude, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(Tones, ResampleDecimation,
                         testing::Values(
                             // +1, -1, ...: every second value alone would read as a constant 1.
                             TDecimationCase{"AlternatingSignsVanish", 0.5, 0.0},
                             // 0.001 cycles per value: a slow swing the low-pass keeps.
                             TDecimationCase{"SlowSwingStays", 0.001, 1.0},
                             // 0.3 cycles per value, above the grid's Nyquist
                             // frequency of 0.25: it would fold down to 0.2.
                             TDecimationCase{"ToneAboveTheGridsNyquistVanishes", 0.3, 0.0},
                             // 0.1 cycles per value, well inside the grid's band.
                             TDecimationCase{"ToneBelowTheGridsNyquistStays", 0.1, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });
