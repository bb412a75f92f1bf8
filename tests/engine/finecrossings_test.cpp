// Crossings located between frames, the fill-in of windows without a value,
// and the two measuring samplers on recordings of known pitch.

#include "engine/finecrossings.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "engine/pitchtracker.h"
#include "engine/waveanalyze.h"
#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

std::vector<float> Tone(double hz, double rate, std::size_t frames, double phase, int harmonics) {
    std::vector<float> x(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int h = 1; h <= harmonics; ++h) {
            sum += std::sin(h * (2 * M_PI * hz * static_cast<double>(i) / rate + phase)) / h;
        }
        x[i] = static_cast<float>(0.5 * sum);
    }
    return x;
}

} // namespace

// A 440 Hz sine at 44.1 kHz, fed in pieces of odd sizes: its first and last
// crossing instants lie within 1e-6 of a period of the analytic zeros, and
// the frequency they give is the tone's.
TEST(FineCrossings, InstantsOfASineMatchItsZeros) {
    const double rate = 44100.0;
    const double hz = 440.0;
    const double phase = 0.3;
    const std::vector<float> x = Tone(hz, rate, 4410, phase, 1);
    TFineCrossings crossings{0.0};
    for (std::size_t at = 0; at < x.size(); at += 7) {
        crossings.Add(x.data() + at, std::min<std::size_t>(7, x.size() - at));
    }
    // Zeros at 2 pi hz t / rate + phase = k pi.
    const double framesPerZero = rate / (2 * hz);
    const double firstZero = (M_PI - phase) / M_PI * framesPerZero;
    const double period = rate / hz;
    EXPECT_NEAR(crossings.first, firstZero, 1e-6 * period);
    const double k = std::round((crossings.last - firstZero) / framesPerZero);
    EXPECT_NEAR(crossings.last, firstZero + k * framesPerZero, 1e-6 * period);
    EXPECT_EQ(crossings.count, static_cast<int64_t>(k) + 1);
    ASSERT_TRUE(crossings.Frequency(rate));
    EXPECT_NEAR(*crossings.Frequency(rate), hz, 1e-5);
}

// 16-bit frames read in their integer form give the crossings and instants
// of their floats bit for bit, for levels on, between and off the integer
// grid, fed in pieces whose groups of four start anywhere.
TEST(FineCrossings, TheIntegerFormKeepsTheBitsOfTheFloats) {
    const double scale = 1.0 / 32768.0;
    std::vector<int32_t> s(5000);
    uint32_t state = 12345;
    for (std::size_t i = 0; i < s.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        // A slow wave with noise, so that runs without crossings alternate
        // with busy stretches, and some frames sit exactly on the level.
        const double wave = 3000.0 * std::sin(static_cast<double>(i) * 0.05);
        s[i] = static_cast<int32_t>(wave) + static_cast<int32_t>(state >> 29) - 4;
        if (i % 101 == 0) {
            s[i] = 8;
        }
    }
    std::vector<float> x(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        x[i] = static_cast<float>(s[i] * scale);
    }
    for (const double level : {0.0, 8.0 * scale, 2.5 * scale, -1000.25 * scale}) {
        const double t = level / scale;
        TIntegerFineCrossings integer{static_cast<int32_t>(std::floor(t)),
                                      static_cast<int32_t>(std::ceil(t)), t};
        TFineCrossings floats{level};
        std::size_t at = 0;
        for (std::size_t piece = 1; at < s.size(); piece = piece % 13 + 1) {
            const std::size_t n = std::min(piece, s.size() - at);
            integer.Add(s.data() + at, n);
            floats.Add(x.data() + at, n);
            at += n;
        }
        EXPECT_EQ(integer.count, floats.count) << level;
        EXPECT_EQ(integer.first, floats.first) << level;
        EXPECT_EQ(integer.last, floats.last) << level;
        EXPECT_GT(integer.count, 50) << level;
    }
}

TEST(FineCrossings, FewerThanThreeCrossingsGiveNoValue) {
    struct TCase {
        std::vector<float> frames;
        int crossings;
    };
    const TCase cases[] = {
        {{0.5f, 0.4f, 0.3f}, 0},
        {{0.5f, -0.5f, -0.4f}, 1},
        {{0.5f, -0.5f, 0.5f}, 2},
        {{0.5f, -0.5f, 0.5f, -0.5f}, 3},
        // A first frame on the level counts there; a pair whose earlier frame
        // lies on it counts nothing, as the counting sampler has it.
        {{0.0f, 0.5f, 0.0f, 0.0f, -0.5f}, 2},
    };
    for (const TCase& c : cases) {
        TFineCrossings crossings{0.0};
        crossings.Add(c.frames.data(), c.frames.size());
        EXPECT_EQ(crossings.count, c.crossings);
        EXPECT_EQ(crossings.Frequency(8000.0).has_value(), c.crossings >= 3);
    }
    // Three crossings one frame apart: (3 - 1) / (2 * 2 frames) at 8000 Hz.
    TFineCrossings regular{0.0};
    const float x[] = {0.5f, -0.5f, 0.5f, -0.5f};
    regular.Add(x, 4);
    EXPECT_DOUBLE_EQ(*regular.Frequency(8000.0), 4000.0);
}

TEST(FillFromPrevious, TakesTheValueBeforeAndTheFirstAtTheStart) {
    const double nan = std::nan("");
    struct TCase {
        std::vector<double> values;
        std::vector<double> filled;
        int64_t count;
    };
    const TCase cases[] = {
        {{nan, nan, 2, nan, 3, nan}, {2, 2, 2, 2, 3, 3}, 4},
        {{1, 2, 3}, {1, 2, 3}, 0},
        {{nan, nan}, {0, 0}, 2},
        {{}, {}, 0},
    };
    for (TCase c : cases) {
        EXPECT_EQ(FillFromPrevious(c.values.data(), static_cast<int64_t>(c.values.size())),
                  c.count);
        EXPECT_EQ(c.values, c.filled);
    }
}

// Two tones one after the other, 220 Hz then 330 Hz: every 25 ms window
// away from the step reads its tone to 0.1 Hz from the interpolated
// crossings of sines, and to 0.5 Hz from aubio's f0 of tones with eight
// harmonics, where the counting sampler is off by up to 20 Hz.
TEST(MeasuringSamplers, ReadASteppedFrequency) {
    TTempDir dir;
    struct TCase {
        int harmonics;
        bool usePitch;
        double tolerance;
    };
    for (const TCase& c : {TCase{1, false, 0.1}, TCase{8, true, 0.5}}) {
        std::vector<double> signal;
        for (const double hz : {220.0, 330.0}) {
            const std::vector<float> tone = Tone(hz, 44100.0, 44100, 0.0, c.harmonics);
            signal.insert(signal.end(), tone.begin(), tone.end());
        }
        TWavBuilder builder;
        builder.sampleRate = 44100;
        const std::string path = dir.File("step.wav");
        WriteFileBytes(path, builder.Build(ToPcm16(signal)));
        TWaveAnalyze series;
        ASSERT_TRUE(c.usePitch ? series.SamplePitch(path, 0.025)
                               : series.SampleFineFrequency(path, 0.025, 0.0));
        // 1102 frames per window: the step falls in window 40.
        for (int w = 2; w < series.count - 1; ++w) {
            if (w < 38 || w > 42) {
                EXPECT_NEAR(series.values[w], w < 40 ? 220.0 : 330.0, c.tolerance)
                    << (c.usePitch ? "pitch" : "fine") << ", window " << w;
            }
        }
        EXPECT_TRUE(series.warnings.empty());
    }
}

// Silence has no pitch at all: every window is filled in, which the run
// reports with the share.
TEST(MeasuringSamplers, SilenceIsFilledInWithAWarning) {
    TTempDir dir;
    TWavBuilder builder;
    builder.sampleRate = 8000;
    const std::string path = dir.File("silence.wav");
    WriteFileBytes(path, builder.Build(ToPcm16(std::vector<double>(8000))));
    for (const bool usePitch : {false, true}) {
        TWaveAnalyze series;
        ASSERT_TRUE(usePitch ? series.SamplePitch(path, 0.025)
                             : series.SampleFineFrequency(path, 0.025, 0.0));
        ASSERT_EQ(series.count, 40);
        EXPECT_EQ(series.values[0], 0.0);
        ASSERT_EQ(series.warnings.size(), 1u);
        EXPECT_EQ(series.warnings[0], std::string("40 of 40 windows (100.0 %) had no ") +
                                          (usePitch ? "pitch" : "three crossings") +
                                          " and took the value of the window before them");
    }
}
