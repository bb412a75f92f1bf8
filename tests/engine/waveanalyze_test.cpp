#include "engine/waveanalyze.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

// floor(rate * period) on the exact binary value of the double period, in
// 128-bit integer arithmetic: period = mantissa * 2^exponent exactly.
int64_t ExactWindowLength(int32_t rate, double period) {
    int exponent = 0;
    double fraction = std::frexp(period, &exponent);
    auto mantissa = static_cast<__int128>(std::ldexp(fraction, 53));
    exponent -= 53;
    __int128 product = mantissa * rate;
    if (exponent >= 0) {
        return static_cast<int64_t>(product << exponent);
    }
    if (-exponent >= 127) {
        return 0;
    }
    return static_cast<int64_t>(product >> -exponent);
}

std::string WriteWave(const TTempDir& dir, const std::string& name, const TWavBuilder& builder,
                      const std::vector<int32_t>& samples) {
    std::string path = dir.File(name);
    WriteFileBytes(path, builder.Build(samples));
    return path;
}

TWavBuilder Mono16(uint32_t rate) {
    TWavBuilder builder;
    builder.sampleRate = rate;
    return builder;
}

} // namespace

// ---------------------------------------------------------------------------
// Window length

struct TWindowCase {
    int32_t rate;
    double period;
    int64_t expected;
};

class WindowLength : public ::testing::TestWithParam<TWindowCase> {};

TEST_P(WindowLength, TruncatesTheExactProduct) {
    const TWindowCase& c = GetParam();
    EXPECT_EQ(TWaveAnalyze::WindowLength(c.rate, c.period), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, WindowLength,
    ::testing::Values(TWindowCase{44100, 0.025, 1102}, TWindowCase{8000, 0.009, 71},
                      TWindowCase{48000, 0.025, 1200}, TWindowCase{44100, 1.0, 44100},
                      TWindowCase{1000, 0.0005, 0}, TWindowCase{1, 1.0, 1},
                      TWindowCase{0, 0.025, 0}, TWindowCase{-44100, 0.025, 0},
                      TWindowCase{44100, 0.0, 0}, TWindowCase{44100, -0.025, 0},
                      TWindowCase{44100, std::numeric_limits<double>::quiet_NaN(), 0},
                      TWindowCase{44100, std::numeric_limits<double>::infinity(), 0},
                      TWindowCase{44100, std::numeric_limits<double>::denorm_min(), 0},
                      TWindowCase{2147483647, 1.0, 2147483647},
                      TWindowCase{2147483647, 1e300, std::numeric_limits<int64_t>::max()}),
    [](const auto& info) {
        std::string name = "Case" + std::to_string(info.index) + "Rate" +
                           std::to_string(info.param.rate < 0 ? 0 : info.param.rate);
        return name;
    });

TEST(WindowLength, MatchesExactArithmeticForEveryWholeMillisecond) {
    const int32_t rates[] = {8000,  11025, 12000, 16000, 22050,  24000,  32000,
                             44100, 48000, 88200, 96000, 176400, 192000, 384000};
    int roundedUp = 0;
    for (int32_t rate : rates) {
        for (int ms = 5; ms <= 1000; ++ms) {
            const double period = ms / 1000.0;
            const int64_t exact = ExactWindowLength(rate, period);
            ASSERT_EQ(TWaveAnalyze::WindowLength(rate, period), exact)
                << rate << " Hz, " << ms << " ms";
            if (static_cast<int64_t>(std::floor(rate * period)) != exact) {
                ++roundedUp;
            }
        }
    }
    // The sweep must contain products that a plain double rounds up.
    EXPECT_GT(roundedUp, 100);
}

TEST(WindowLength, MatchesExactArithmeticNextToIntegers) {
    // Periods one ulp either side of k / rate, where the product sits closest
    // to an integer.
    for (int32_t rate : {7, 8000, 44100, 48000, 1000003}) {
        for (int k = 1; k <= 2000; k += 7) {
            const double base = static_cast<double>(k) / rate;
            for (double period : {std::nextafter(base, 0.0), base, std::nextafter(base, 1.0)}) {
                ASSERT_EQ(TWaveAnalyze::WindowLength(rate, period), ExactWindowLength(rate, period))
                    << rate << " Hz, k " << k;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Sampling

TEST(Sampler, SilenceAtLevelZeroCountsTheFirstSampleOfEachWindow) {
    TTempDir dir;
    std::string path = WriteWave(dir, "silence.wav", Mono16(44100), std::vector<int32_t>(2205, 0));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.025, 0.0));
    EXPECT_EQ(series.count, 3);
    EXPECT_EQ(series.period, 0.024988662131519273);
    for (int i = 0; i < series.count; ++i) {
        EXPECT_EQ(series.values[i], 20.00907441016334) << i;
    }
    EXPECT_EQ(series.unit, "") << "sampling leaves the unit alone";
}

TEST(Sampler, SilenceBelowTheLevelCountsNothing) {
    TTempDir dir;
    std::string path = WriteWave(dir, "silence.wav", Mono16(44100), std::vector<int32_t>(4410, 0));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.025, 1.0 / 32768));
    ASSERT_EQ(series.count, 5);
    for (int i = 0; i < series.count; ++i) {
        EXPECT_EQ(series.values[i], 0.0) << i;
    }
    ASSERT_TRUE(series.SampleAmplitude(path, 0.025));
    for (int i = 0; i < series.count; ++i) {
        EXPECT_EQ(series.values[i], 0.0) << i;
    }
}

TEST(Sampler, WindowLengthAndPeriodAt8000Hz) {
    TTempDir dir;
    std::string path = WriteWave(dir, "a.wav", Mono16(8000), std::vector<int32_t>(710, 0));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.009));
    EXPECT_EQ(series.count, 10) << "71 frames a window";
    EXPECT_EQ(series.period, 71.0 / 8000.0);
}

TEST(Sampler, SineOf1kHzAt48kHzReadsNear1000Hz) {
    std::vector<double> signal(48000);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = 0.8 * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / 48000.0 + 0.3);
    }
    TTempDir dir;
    std::string path = WriteWave(dir, "sine.wav", Mono16(48000), ToPcm16(signal));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.025, 0.0));
    EXPECT_EQ(series.count, 40);
    EXPECT_EQ(series.period, 0.025);
    // 25 cycles a window, two crossings each; one crossing more or less at a
    // window edge moves a value by 20 Hz.
    for (int i = 0; i < series.count; ++i) {
        EXPECT_NEAR(series.values[i], 1000.0, 20.0) << i;
    }
    EXPECT_NEAR(series.Average(), 1000.0, 1.0);
}

TEST(Sampler, AmplitudeOfAConstantAndOfAZeroPaddedLastWindow) {
    TTempDir dir;
    // 0.5 on the normalised scale; 2205 frames give two full windows of 1102
    // and one window of 1 real frame and 1101 zeros.
    std::string path = WriteWave(dir, "half.wav", Mono16(44100), std::vector<int32_t>(2205, 16384));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.025));
    ASSERT_EQ(series.count, 3);
    EXPECT_EQ(series.values[0], 0.5);
    EXPECT_EQ(series.values[1], 0.5);
    EXPECT_DOUBLE_EQ(series.values[2], 0.5 / std::sqrt(1102.0));
    EXPECT_EQ(series.Maximum(), 0.5);
}

TEST(Sampler, ZeroPaddingCanCrossTheLevel) {
    TTempDir dir;
    std::string path = WriteWave(dir, "half.wav", Mono16(44100), std::vector<int32_t>(2205, 16384));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.025, 0.25));
    ASSERT_EQ(series.count, 3);
    EXPECT_EQ(series.values[0], 0.0);
    EXPECT_EQ(series.values[1], 0.0);
    // The real frame at 0.5 drops to the padding at 0: one crossing.
    EXPECT_EQ(series.values[2], 0.5 / series.period);
}

TEST(Sampler, ComparesFloatSamplesWithTheUnroundedLevel) {
    TTempDir dir;
    std::string path = WriteWave(dir, "half.wav", Mono16(1000), std::vector<int32_t>(10, 16384));
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.005, 0.5));
    ASSERT_EQ(series.count, 2);
    EXPECT_EQ(series.values[0], 100.0) << "the first sample lies on the level";
    // As a float this level would be 0.5 and count again.
    ASSERT_TRUE(series.SampleFrequency(path, 0.005, 0.5 + 1e-12));
    EXPECT_EQ(series.values[0], 0.0);
}

struct TCrossingCase {
    const char* name;
    std::vector<int32_t> samples; // one window of 6 frames at 1000 Hz
    int32_t level;                // bias in 1/32768
    int crossings;
};

class CrossingRule : public ::testing::TestWithParam<TCrossingCase> {};

TEST_P(CrossingRule, CountsCrossingsAndTouchesOfTheLevel) {
    const TCrossingCase& c = GetParam();
    ASSERT_EQ(c.samples.size(), 6u);
    TTempDir dir;
    std::string path = WriteWave(dir, "w.wav", Mono16(1000), c.samples);
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.006, c.level / 32768.0));
    ASSERT_EQ(series.count, 1);
    EXPECT_EQ(series.values[0], c.crossings * 0.5 / 0.006);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CrossingRule,
    ::testing::Values(TCrossingCase{"TouchesFromBothSides", {0, 100, 0, 0, -100, 0}, 0, 3},
                      TCrossingCase{"Alternating", {100, -100, 100, -100, 100, -100}, 0, 5},
                      TCrossingCase{"AllAboveTheLevel", {100, 200, 300, 200, 100, 50}, 10, 0},
                      TCrossingCase{"LeavingTheLevelCountsNothing", {10, 20, 10, 0, 10, 10}, 10, 3},
                      TCrossingCase{
                          "AroundANegativeLevel", {-50, -150, -50, -150, -100, -100}, -100, 4},
                      TCrossingCase{"StaysOnTheLevel", {7, 7, 7, 7, 7, 7}, 7, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sampler, StereoIsSampledAsItsMix) {
    TWavBuilder builder = Mono16(1000);
    builder.channels = 2;
    // Left and right cancel: the mix is digital silence.
    std::vector<int32_t> samples;
    for (int i = 0; i < 10; ++i) {
        samples.push_back(i % 2 ? 8000 : -8000);
        samples.push_back(i % 2 ? -8000 : 8000);
    }
    TTempDir dir;
    std::string path = WriteWave(dir, "s.wav", builder, samples);
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.005));
    ASSERT_EQ(series.count, 2);
    EXPECT_EQ(series.values[0], 0.0);
    EXPECT_EQ(series.values[1], 0.0);
}

TEST(Sampler, FileWithoutDataGivesAnEmptySeries) {
    TTempDir dir;
    std::string bytes = Mono16(44100).Build({});
    bytes.resize(36); // drop the data chunk's header
    std::string path = dir.File("nodata.wav");
    WriteFileBytes(path, bytes);
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleFrequency(path, 0.025, 0.0));
    EXPECT_EQ(series.count, 0);
    EXPECT_EQ(series.values, nullptr);
    EXPECT_EQ(series.period, 1102.0 / 44100.0);
    EXPECT_EQ(series.Average(), 0.0);
    EXPECT_EQ(series.Maximum(), 0.0);
}

TEST(Sampler, WindowLongerThanTheFileIsOneZeroPaddedWindow) {
    // A sample rate near the limit and a long period make a window of
    // hundreds of millions of frames; nothing of that size is allocated.
    TTempDir dir;
    TWavBuilder builder = Mono16(2000000000u);
    std::string path = WriteWave(dir, "fast.wav", builder, {16384, 16384, 16384, 16384});
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.5));
    ASSERT_EQ(series.count, 1);
    EXPECT_EQ(series.period, 0.5);
    EXPECT_DOUBLE_EQ(series.values[0], std::sqrt(1.0 / 1e9));
    ASSERT_TRUE(series.SampleFrequency(path, 0.5, 0.25));
    EXPECT_EQ(series.values[0], 1.0) << "one drop onto the padding: 1 x 0.5 / 0.5 s";
}

TEST(Sampler, FailedSamplingKeepsThePreviousSeries) {
    TTempDir dir;
    std::string good = WriteWave(dir, "good.wav", Mono16(8000), std::vector<int32_t>(800, 100));
    std::string bad = dir.File("bad.wav");
    WriteFileBytes(bad, "RIFX and nothing else");
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(good, 0.01));
    series.SetUnit("RMS");
    const double* values = series.values.get();
    ASSERT_EQ(series.count, 10);
    const double first = series.values[0];

    EXPECT_FALSE(series.SampleFrequency(dir.File("missing.wav"), 0.025, 0.0));
    EXPECT_FALSE(series.SampleAmplitude(bad, 0.025));
    EXPECT_FALSE(series.SampleAmplitude(good, 0.0001)) << "less than one frame a window";
    EXPECT_FALSE(series.SampleFrequency(good, std::numeric_limits<double>::quiet_NaN(), 0.0));
    EXPECT_FALSE(series.SampleFrequency(good, -1.0, 0.0));

    EXPECT_EQ(series.values.get(), values);
    EXPECT_EQ(series.count, 10);
    EXPECT_EQ(series.period, 0.01);
    EXPECT_EQ(series.values[0], first);
    EXPECT_EQ(series.unit, "RMS");
}

// ---------------------------------------------------------------------------
// Statistics

TEST(SeriesStatistics, EmptySeriesGivesZero) {
    TWaveAnalyze series;
    EXPECT_EQ(series.count, 0);
    EXPECT_EQ(series.period, 0.0);
    EXPECT_EQ(series.unit, "");
    EXPECT_EQ(series.Average(), 0.0);
    EXPECT_EQ(series.Maximum(), 0.0);
}

TEST(SeriesStatistics, MaximumIsNeverBelowZero) {
    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(3);
    series.count = 3;
    series.values[0] = -3.0;
    series.values[1] = -1.0;
    series.values[2] = -2.0;
    EXPECT_EQ(series.Maximum(), 0.0);
    EXPECT_EQ(series.Average(), -2.0);
    series.values[1] = 4.5;
    EXPECT_EQ(series.Maximum(), 4.5);
}
