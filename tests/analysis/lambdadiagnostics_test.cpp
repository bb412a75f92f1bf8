// The checks beside lambda: they must go through exactly the run's spectral
// stage, shuffle reproducibly, and not depend on how the copies are spread
// over threads.

#include "analysis/lambdadiagnostics.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "tests/support/spectrumrun.h"
#include "tests/support/testsupport.h"

TEST(SpectralLambda, IsTheLambdaOfTheRunItRepeats) {
    TWaveAnalyze series;
    const std::vector<double> values = Wandering(3000, 4);
    FillSeries(series, values, 0.025);
    for (int mode : {kEasyMode, kFixedMode}) {
        TSpectrumRun run(series, mode, kHanningWindow);
        ASSERT_TRUE(run.drawing.hasLine);
        // The band as the run left it; in the easy mode the stage resets it
        // again, to the same place.
        std::optional<double> lambda =
            SpectralLambda(values, 0.025, mode, kHanningWindow, run.view);
        ASSERT_TRUE(lambda);
        EXPECT_EQ(*lambda, 0.0 - run.drawing.slope) << mode;
    }
    // The fixed mode keeps the bars it is given.
    TSpectrumState narrow;
    narrow.SetUpperBarPosition(-5);
    narrow.SetLowerBarPosition(-20);
    TSpectrumRun full(series, kFixedMode, kHammingWindow);
    std::optional<double> banded =
        SpectralLambda(values, 0.025, kFixedMode, kHammingWindow, narrow);
    ASSERT_TRUE(banded);
    EXPECT_NE(*banded, 0.0 - full.drawing.slope);
    EXPECT_FALSE(SpectralLambda({}, 0.025, kFixedMode, kHammingWindow, narrow));
}

TEST(SpectralLambda, LeavesTheBandStateItCopiesAlone) {
    TWaveAnalyze series;
    FillSeries(series, Wandering(500, 5), 0.025);
    TSpectrumState view;
    int calls = 0;
    view.onBandChanged = [&] { ++calls; };
    SpectralLambda(Wandering(500, 5), 0.025, kEasyMode, kHammingWindow, view);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(view.UpperBarPosition(), 0);
    EXPECT_EQ(view.LowerBarPosition(), -40);
    EXPECT_EQ(view.spectrum, nullptr);
}

TEST(MeanRemoved, SubtractsTheMeanOfTheValues) {
    const double values[] = {1, 2, 3, 6};
    EXPECT_EQ(MeanRemoved(values, 4), (std::vector<double>{-2, -1, 0, 3}));
    EXPECT_TRUE(MeanRemoved(values, 0).empty());
}

TEST(ShuffleValues, IsAFixedPermutationForEachSeed) {
    std::vector<double> a = {0, 1, 2, 3, 4, 5, 6, 7};
    ShuffleValues(a, 1);
    // Fisher-Yates from the last index down, j = g() % (i + 1) on the raw
    // output of std::mt19937_64 seeded 1: the same on every library.
    EXPECT_EQ(a, (std::vector<double>{4, 6, 3, 5, 1, 7, 2, 0}));

    std::vector<double> b = Wandering(1000, 9);
    std::vector<double> c = b;
    std::vector<double> d = b;
    ShuffleValues(c, 42);
    ShuffleValues(d, 42);
    EXPECT_EQ(c, d);
    ShuffleValues(d = b, 43);
    EXPECT_NE(c, d);
    std::sort(b.begin(), b.end());
    std::sort(c.begin(), c.end());
    EXPECT_EQ(b, c);

    std::vector<double> none;
    ShuffleValues(none, 1);
    std::vector<double> one = {5};
    ShuffleValues(one, 1);
    EXPECT_EQ(one, std::vector<double>{5});
}

TEST(SurrogateLambdas, DoNotDependOnHowTheCopiesAreSpread) {
    TWaveAnalyze series;
    FillSeries(series, Wandering(1500, 6), 0.025);
    TSpectrumRun run(series, kEasyMode, kHammingWindow);
    auto serial = SurrogateLambdas(series, kEasyMode, kHammingWindow, run.view, 12, 7);
    // Backwards on two threads, interleaved.
    TParallelFor twoThreads = [](int n, const std::function<void(int)>& body) {
        std::thread other([&] {
            for (int m = n - 1; m >= 0; m -= 2) {
                body(m);
            }
        });
        for (int m = n - 2; m >= 0; m -= 2) {
            body(m);
        }
        other.join();
    };
    auto spread = SurrogateLambdas(series, kEasyMode, kHammingWindow, run.view, 12, 7, twoThreads);
    ASSERT_EQ(serial.size(), 12u);
    EXPECT_EQ(serial, spread);
    // Copy m uses the seed seed + m: a run from seed 8 is the same list
    // shifted by one.
    auto shifted = SurrogateLambdas(series, kEasyMode, kHammingWindow, run.view, 11, 8);
    EXPECT_TRUE(std::equal(shifted.begin(), shifted.end(), serial.begin() + 1));
    // Shuffling destroys the walk's order: the copies sit far below it.
    auto summary = SummarizeSurrogates(serial, 0.0 - run.drawing.slope);
    ASSERT_TRUE(summary);
    EXPECT_LT(summary->mean, 0.0 - run.drawing.slope - 0.5);
    EXPECT_DOUBLE_EQ(summary->p, 1.0 / 13);
    EXPECT_TRUE(SurrogateLambdas(series, kEasyMode, kHammingWindow, run.view, 0, 7).empty());
}

TEST(SummarizeSurrogates, MeanSampleSdAndRank) {
    auto s = SummarizeSurrogates({1.0, std::nullopt, 3.0, 2.0}, 2.0);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->copies, 3);
    EXPECT_EQ(s->mean, 2.0);
    ASSERT_TRUE(s->sd);
    EXPECT_EQ(*s->sd, 1.0);
    // Two of three copies reach 2: (1 + 2) / (3 + 1).
    EXPECT_EQ(s->p, 0.75);

    auto single = SummarizeSurrogates({0.4}, 1.0);
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->sd);
    EXPECT_EQ(single->p, 0.5);
    EXPECT_FALSE(SummarizeSurrogates({std::nullopt}, 1.0));
    EXPECT_FALSE(SummarizeSurrogates({}, 1.0));
}

TEST(CheckLambda, ReportsTheFitTheMeanRemovedLambdaAndDfaWithWarnings) {
    TWaveAnalyze series;
    // 2400 values: the easy mode's band then reaches down to bin 1.
    FillSeries(series, Wandering(2400, 3), 0.025);
    TSpectrumRun easy(series, kEasyMode, kHammingWindow);
    TLambdaCheck check = CheckLambda(series.values.get(), series.count, series.period, kEasyMode,
                                     kHammingWindow, easy.view, easy.drawing);
    EXPECT_EQ(check.groups, static_cast<int>(easy.drawing.gx.size()));
    ASSERT_TRUE(check.quality);
    EXPECT_GT(check.quality->se, 0.0);
    const double lambda = 0.0 - easy.drawing.slope;
    EXPECT_LT(check.quality->ciLow, lambda);
    EXPECT_GT(check.quality->ciHigh, lambda);
    ASSERT_TRUE(check.lambdaMeanRemoved);
    EXPECT_NE(*check.lambdaMeanRemoved, lambda);
    ASSERT_TRUE(check.dfa);
    // A random walk with a little noise: alpha near 1.5.
    EXPECT_NEAR(check.dfa->alpha, 1.5, 0.15);
    EXPECT_EQ(easy.drawing.firstBin, 1);
    EXPECT_EQ(check.warnings,
              (std::vector<TWarning>{{"band_holds_bin_one", kBandHoldsBinOneWarning}}));

    // A band above bin 1 has no such warning.
    TWaveAnalyze fixed;
    FillSeries(fixed, Wandering(4000, 3), 0.025);
    TSpectrumRun banded(fixed, kFixedMode, kHammingWindow);
    banded.view.SetLowerBarPosition(-30);
    banded.drawing = DrawSpectrum(banded.view, TSpectrumSettings{}, "", nullptr);
    TLambdaCheck bandedCheck = CheckLambda(fixed.values.get(), fixed.count, fixed.period,
                                           kFixedMode, kHammingWindow, banded.view, banded.drawing);
    EXPECT_GT(banded.drawing.firstBin, 1);
    EXPECT_TRUE(std::none_of(bandedCheck.warnings.begin(), bandedCheck.warnings.end(),
                             [](const TWarning& w) { return w == kBandHoldsBinOneWarning; }));

    // Five values: one group, nothing for DFA.
    TWaveAnalyze tiny;
    FillSeries(tiny, {1, 3, 2, 5, 4}, 0.025);
    TSpectrumRun small(tiny, kEasyMode, kRectangularWindow);
    TLambdaCheck tinyCheck = CheckLambda(tiny.values.get(), tiny.count, tiny.period, kEasyMode,
                                         kRectangularWindow, small.view, small.drawing);
    EXPECT_LT(tinyCheck.groups, 3);
    EXPECT_FALSE(tinyCheck.quality);
    EXPECT_FALSE(tinyCheck.dfa);
    EXPECT_NE(std::find(tinyCheck.warnings.begin(), tinyCheck.warnings.end(), kFewGroupsWarning),
              tinyCheck.warnings.end());
    EXPECT_NE(
        std::find(tinyCheck.warnings.begin(), tinyCheck.warnings.end(), kTooShortForDfaWarning),
        tinyCheck.warnings.end());
}

struct TEmptySpectrumCase {
    const char* name;
    std::vector<double> values;
    const char* warning; // nullptr when neither warning applies
};

class CheckLambdaSpectrum : public ::testing::TestWithParam<TEmptySpectrumCase> {};

TEST_P(CheckLambdaSpectrum, SaysWhyThereIsNoLine) {
    const TEmptySpectrumCase& c = GetParam();
    TWaveAnalyze series;
    FillSeries(series, c.values, 0.025);
    TSpectrumRun run(series, kEasyMode, kHammingWindow);
    TLambdaCheck check = CheckLambda(series.values.get(), series.count, series.period, kEasyMode,
                                     kHammingWindow, run.view, run.drawing);
    auto has = [&](const char* w) {
        return std::find(check.warnings.begin(), check.warnings.end(), w) != check.warnings.end();
    };
    EXPECT_EQ(has(kSilentSpectrumWarning), c.warning == kSilentSpectrumWarning);
    EXPECT_EQ(has(kOverflowedSpectrumWarning), c.warning == kOverflowedSpectrumWarning);
    EXPECT_EQ(run.drawing.hasLine, c.warning == nullptr);
}

std::vector<double> Alternating(int n, double amplitude) {
    std::vector<double> values(n);
    for (int i = 0; i < n; ++i) {
        values[i] = (i % 3 == 0 ? amplitude : -amplitude) * (1 + i % 7);
    }
    return values;
}

INSTANTIATE_TEST_SUITE_P(
    Series, CheckLambdaSpectrum,
    ::testing::Values(
        TEmptySpectrumCase{"Silent", std::vector<double>(2400, 0.0), kSilentSpectrumWarning},
        TEmptySpectrumCase{"Huge", Alternating(2400, 1e300), kOverflowedSpectrumWarning},
        TEmptySpectrumCase{"Ordinary", Wandering(2400, 3), nullptr}),
    [](const auto& info) { return std::string(info.param.name); });
