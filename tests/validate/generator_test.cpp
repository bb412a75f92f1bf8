// The validation recordings: the 1/f^beta noise and the AM and FM tones it
// modulates.

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <vector>

#include "engine/fftunit.h"
#include "engine/leastsquare.h"
#include "engine/wavefile.h"
#include "tests/support/testsupport.h"
#include "validate/noise.h"
#include "validate/recordings.h"

namespace {

// Slope of log10 power against log10 frequency of `x`, Hann-windowed, with
// the periodogram averaged in bands of a tenth of a decade between bins 4
// and N/8 (where neither the record length nor the top end bends it).
double SpectralSlope(const std::vector<double>& x) {
    const std::size_t n = x.size();
    std::vector<double> a(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (n - 1));
        a[2 * i] = x[i] * hann;
    }
    std::vector<int> work(static_cast<std::size_t>(std::sqrt(static_cast<double>(n))) + 2, 0);
    std::vector<double> trig(n / 2);
    ComplexFft(static_cast<int>(2 * n), -1, a.data(), work.data(), trig.data());
    std::vector<double> gx, gy;
    double sum = 0.0;
    int members = 0;
    int band = -1;
    for (std::size_t k = 4; k <= n / 8; ++k) {
        const int b = static_cast<int>(std::floor(10.0 * std::log10(static_cast<double>(k))));
        if (b != band && members > 0) {
            gx.push_back((band + 0.5) / 10.0);
            gy.push_back(std::log10(sum / members));
            sum = 0.0;
            members = 0;
        }
        band = b;
        sum += a[2 * k] * a[2 * k] + a[2 * k + 1] * a[2 * k + 1];
        ++members;
    }
    double slope = 0.0;
    double intercept = 0.0;
    LeastSquareFit(&slope, &intercept, gx.data(), gy.data(), 0, static_cast<int>(gx.size()) - 1);
    return slope;
}

TEST(GaussianSource, BoxMullerGivesStandardNormalValues) {
    TGaussianSource gauss(7);
    const int n = 200000;
    double sum = 0.0;
    double squares = 0.0;
    int beyond = 0;
    for (int i = 0; i < n; ++i) {
        const double v = gauss.Next();
        ASSERT_TRUE(std::isfinite(v));
        sum += v;
        squares += v * v;
        beyond += std::fabs(v) > 1.959964 ? 1 : 0;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(squares / n, 1.0, 0.01);
    EXPECT_NEAR(static_cast<double>(beyond) / n, 0.05, 0.002);

    // Both values of each pair are used, and a seed always gives the same run.
    TGaussianSource a(7);
    TGaussianSource b(7);
    TGaussianSource c(8);
    double first = a.Next();
    EXPECT_NE(first, a.Next());
    EXPECT_EQ(first, b.Next());
    EXPECT_NE(first, c.Next());
}

TEST(PowerLawNoise, SpectralSlopeFollowsBeta) {
    for (double beta : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        double mean = 0.0;
        const int seeds = 4;
        for (int seed = 1; seed <= seeds; ++seed) {
            mean += SpectralSlope(PowerLawNoise(65536, beta, seed)) / seeds;
        }
        EXPECT_NEAR(mean, -beta, 0.06) << "beta " << beta;
    }
}

TEST(PowerLawNoise, ReproducibleBySeedAndStandardised) {
    const std::vector<double> a = PowerLawNoise(5000, 1.0, 42);
    EXPECT_EQ(a, PowerLawNoise(5000, 1.0, 42));
    EXPECT_NE(a, PowerLawNoise(5000, 1.0, 43));
    EXPECT_NE(a, PowerLawNoise(5000, 1.5, 42));
    ASSERT_EQ(a.size(), 5000u);

    double sum = 0.0;
    double squares = 0.0;
    for (double v : a) {
        sum += v;
        squares += v * v;
    }
    EXPECT_NEAR(sum / a.size(), 0.0, 1e-9);
    EXPECT_NEAR(squares / a.size(), 1.0, 0.01);
    EXPECT_TRUE(PowerLawNoise(0, 1.0, 1).empty());
}

TEST(PowerLawNoise, ClippedAtThreeAndAHalfStandardDeviations) {
    // About 0.05 % of Gaussian values lie beyond 3.5 SD: a million white
    // values must reach the limit exactly, and never pass it.
    const std::vector<double> white = PowerLawNoise(1 << 20, 0.0, 3);
    int atLimit = 0;
    for (double v : white) {
        ASSERT_LE(std::fabs(v), kNoiseClip);
        atLimit += std::fabs(v) == kNoiseClip ? 1 : 0;
    }
    EXPECT_GT(atLimit, 200);
    EXPECT_LT(atLimit, 800);
}

TEST(PowerLawNoise, KeepsTheMiddleOfALongerRecordSoTheEndsDoNotMeet) {
    // A circular (periodic) record of Brownian-like noise would end where it
    // starts; the middle of a four times longer one ends anywhere. The gap
    // between the ends must be far larger than a typical step.
    EXPECT_GE(ShapingLength(4096), 4u * 4096);
    double gap = 0.0;
    double step = 0.0;
    for (int seed = 1; seed <= 20; ++seed) {
        const std::vector<double> x = PowerLawNoise(4096, 2.0, seed);
        gap += std::fabs(x.back() - x.front());
        for (std::size_t i = 1; i < x.size(); ++i) {
            step += std::fabs(x[i] - x[i - 1]) / (x.size() - 1);
        }
    }
    EXPECT_GT(gap, 10.0 * step);
}

// Least-squares slope and intercept of y against x.
void Fit(std::vector<double>& x, std::vector<double>& y, double& slope, double& intercept) {
    LeastSquareFit(&slope, &intercept, x.data(), y.data(), 0, static_cast<int>(x.size()) - 1);
}

TEST(ModulatedTone, AmplitudeFollowsTheNoise) {
    // 25 ms windows hold exactly 11 periods of 440 Hz, so each window's RMS
    // is 0.4 / sqrt(2) times the mean loudness factor 1 + 0.25 n(t).
    TRecordingSetup setup;
    setup.modulation = TModulation::Amplitude;
    setup.beta = 2.0;
    setup.seconds = 30;
    setup.sampleRate = 44000;
    TModulatedTone tone(setup);
    ASSERT_EQ(tone.Frames(), 30u * 44000);
    const std::size_t window = 1100;
    std::vector<double> n, level;
    double peak = 0.0;
    for (std::size_t start = 0; start < tone.Frames(); start += window) {
        const std::vector<double> x = tone.Next(window);
        double squares = 0.0;
        double modulation = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            squares += x[i] * x[i];
            modulation += tone.Modulation(start + i) / x.size();
            peak = std::max(peak, std::fabs(x[i]));
        }
        n.push_back(modulation);
        level.push_back(std::sqrt(squares / x.size()) * std::sqrt(2.0) / kToneAmplitude);
    }
    EXPECT_TRUE(tone.Next(10).empty());
    double slope = 0.0;
    double intercept = 0.0;
    Fit(n, level, slope, intercept);
    EXPECT_NEAR(slope, 0.25, 0.01);
    EXPECT_NEAR(intercept, 1.0, 0.01);
    EXPECT_LE(peak, kToneAmplitude * (1.0 + kLoudnessDepth * kNoiseClip));
}

TEST(ModulatedTone, FrequencyFollowsTheNoise) {
    // Rising zero crossings over 100 ms windows count the cycles, so the
    // crossing rate against the window's mean n(t) has slope 20 Hz and
    // intercept 440 Hz.
    TRecordingSetup setup;
    setup.modulation = TModulation::Frequency;
    setup.beta = 2.0;
    setup.seconds = 60;
    setup.sampleRate = 48000;
    TModulatedTone tone(setup);
    const std::size_t window = 4800;
    std::vector<double> n, frequency;
    double previous = 0.0;
    for (std::size_t start = 0; start < tone.Frames(); start += window) {
        const std::vector<double> x = tone.Next(window);
        int rising = 0;
        double modulation = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            rising += previous < 0.0 && x[i] >= 0.0 ? 1 : 0;
            previous = x[i];
            modulation += tone.Modulation(start + i) / x.size();
        }
        n.push_back(modulation);
        frequency.push_back(rising / 0.1);
    }
    double slope = 0.0;
    double intercept = 0.0;
    Fit(n, frequency, slope, intercept);
    EXPECT_NEAR(slope, kPitchDeviationHz, 1.0);
    EXPECT_NEAR(intercept, kToneHz, 1.0);
}

TEST(WriteRecording, WritesAReadableWaveFileOfTheToneAndCleansUpOnFailure) {
    TTempDir dir;
    TRecordingSetup setup;
    setup.seconds = 2;
    setup.sampleRate = 48000;
    setup.channels = 2;
    std::string error;
    ASSERT_TRUE(WriteRecording(setup, dir.File("a.wav"), error)) << error;
    EXPECT_EQ(std::filesystem::file_size(dir.File("a.wav")), 44u + 2 * 48000 * 2 * 2);

    TWaveFile wave;
    ASSERT_TRUE(wave.Open(dir.File("a.wav")));
    EXPECT_EQ(wave.format.channels, 2);
    EXPECT_EQ(wave.format.sampleRate, 48000);
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(wave.frameCount, 96000u);
    std::vector<float> frames(96000);
    ASSERT_EQ(wave.ReadFrames(frames.data(), 96000), 96000);
    // Both channels carry the tone, so the mix-down is the mono tone.
    TModulatedTone tone(setup);
    const std::vector<double> expected = tone.Next(96000);
    double worst = 0.0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        worst = std::max(worst, std::fabs(frames[i] - expected[i]));
    }
    EXPECT_LT(worst, 1.0 / 32768.0 + 1e-6);
    wave.Close();

    EXPECT_FALSE(WriteRecording(setup, dir.File("no/such/folder/a.wav"), error));
    EXPECT_FALSE(error.empty());
    setup.channels = 3;
    EXPECT_FALSE(WriteRecording(setup, dir.File("b.wav"), error));
    EXPECT_FALSE(FileExists(dir.File("b.wav")));

    // A file system that fills up: no half-written recording is left behind.
    setup.channels = 1;
    const std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    EXPECT_FALSE(WriteRecording(setup, mountPoint + "/c.wav", error));
    EXPECT_FALSE(FileExists(mountPoint + "/c.wav"));
    ::umount(mountPoint.c_str());
}

} // namespace
