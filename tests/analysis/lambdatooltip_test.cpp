// The spectrum graph's tooltip: the checks of the line shown, each value with
// three decimals or "—" when absent, and the checks taken over the band the
// graph was drawn with.

#include "analysis/lambdatooltip.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/textformat.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "tests/support/spectrumrun.h"
#include "tests/support/testsupport.h"

namespace {

TSpectrumDrawing Line(double lambda) {
    TSpectrumDrawing drawing;
    drawing.hasLine = true;
    drawing.slope = 0.0 - lambda;
    drawing.lambdaText = FormatLambda(lambda);
    return drawing;
}

TDfaResult Dfa(double beta) {
    return TDfaResult{(beta + 1) / 2, beta, {}, {}};
}

// The series a run starts from, with what the spectrum window keeps of it.
struct TWindowSeries {
    TShownRun shown;
    TWaveAnalyze series;

    TWindowSeries(const std::vector<double>& values, int window) : shown{values, 0.025, window} {
        FillSeries(series, values, 0.025);
    }
};

// A run of the main window: the spectrum stage, the hand-over and the drawing.
struct TWindowRun : TWindowSeries, TSpectrumRun {
    TWindowRun(const std::vector<double>& values, int mode, int window)
        : TWindowSeries(values, window), TSpectrumRun(series, mode, window) {}
};

} // namespace

TEST(LambdaTooltip, GivesEveryCheckWithThreeDecimals) {
    TLambdaCheck check;
    check.groups = 12;
    check.quality = TFitQuality{0.0564, 1.1204, 1.3496, 0.98749};
    check.lambdaMeanRemoved = 1.2304;
    check.dfa = Dfa(1.0118);
    EXPECT_EQ(LambdaTooltip(Line(1.2341), check), "λ = 1.234 ± 0.056\n"
                                                  "95% 信頼区間  [1.120, 1.350]\n"
                                                  "決定係数 R² = 0.987\n"
                                                  "グループ数 k = 12\n"
                                                  "平均を除いた系列の λ = 1.230\n"
                                                  "β_DFA = 1.012");

    // Signs as the graph writes lambda: negatives keep theirs, a value that
    // rounds to zero reads 0.000.
    check.quality = TFitQuality{0.5, -0.25, 0.75, 0.0};
    check.lambdaMeanRemoved = -0.0004;
    check.dfa = Dfa(-0.5);
    EXPECT_EQ(LambdaTooltip(Line(0.25), check), "λ = 0.250 ± 0.500\n"
                                                "95% 信頼区間  [-0.250, 0.750]\n"
                                                "決定係数 R² = 0.000\n"
                                                "グループ数 k = 12\n"
                                                "平均を除いた系列の λ = 0.000\n"
                                                "β_DFA = -0.500");
}

TEST(LambdaTooltip, MarksAbsentValuesInsteadOfPrintingZero) {
    // Two groups: a line, but no standard error, interval or R²; a series
    // too short for DFA.
    TLambdaCheck few;
    few.groups = 2;
    few.lambdaMeanRemoved = 0.79;
    EXPECT_EQ(LambdaTooltip(Line(0.8), few), "λ = 0.800 ± —\n"
                                             "95% 信頼区間  —\n"
                                             "決定係数 R² = —\n"
                                             "グループ数 k = 2\n"
                                             "平均を除いた系列の λ = 0.790\n"
                                             "β_DFA = —");

    // No line at all; DFA still has its say.
    TLambdaCheck none;
    none.dfa = Dfa(1.0);
    EXPECT_EQ(LambdaTooltip(TSpectrumDrawing{}, none), "λ = —\n"
                                                       "95% 信頼区間  —\n"
                                                       "決定係数 R² = —\n"
                                                       "グループ数 k = 0\n"
                                                       "平均を除いた系列の λ = —\n"
                                                       "β_DFA = 1.000");
}

TEST(CheckShownLambda, GivesTheCommandLinesNumbersRightAfterARun) {
    const std::vector<double> values = Wandering(2400, 11);
    for (int mode : {kEasyMode, kFixedMode}) {
        TWindowRun run(values, mode, kHammingWindow);
        ASSERT_TRUE(run.drawing.hasLine);
        const TLambdaCheck shown = CheckShownLambda(run.shown, run.view, run.drawing);
        const TLambdaCheck cli =
            CheckLambda(run.series.values.get(), run.series.count, run.series.period, mode,
                        kHammingWindow, run.view, run.drawing);
        EXPECT_EQ(shown.groups, cli.groups);
        ASSERT_TRUE(shown.quality && cli.quality);
        EXPECT_EQ(shown.quality->se, cli.quality->se);
        EXPECT_EQ(shown.quality->r2, cli.quality->r2);
        ASSERT_TRUE(shown.lambdaMeanRemoved && cli.lambdaMeanRemoved);
        EXPECT_EQ(*shown.lambdaMeanRemoved, *cli.lambdaMeanRemoved) << mode;
        ASSERT_TRUE(shown.dfa && cli.dfa);
        EXPECT_EQ(shown.dfa->beta, cli.dfa->beta);
        EXPECT_EQ(shown.warnings, cli.warnings);
    }
}

TEST(CheckShownLambda, FollowsTheBandOfARedrawnGraph) {
    // An easy run, then the lower bar moved up and the graph redrawn: the
    // line and the mean-removed lambda both come from the new band, where
    // the run's mode would have reset the band for the latter.
    const std::vector<double> values = Wandering(2400, 12);
    TWindowRun run(values, kEasyMode, kHammingWindow);
    const TLambdaCheck before = CheckShownLambda(run.shown, run.view, run.drawing);
    run.view.SetLowerBarPosition(-20);
    run.drawing = DrawSpectrum(run.view, TSpectrumSettings{}, "", nullptr);
    ASSERT_TRUE(run.drawing.hasLine);
    const TLambdaCheck after = CheckShownLambda(run.shown, run.view, run.drawing);
    EXPECT_EQ(after.groups, static_cast<int>(run.drawing.gx.size()));
    EXPECT_LT(after.groups, before.groups);
    const std::optional<double> banded =
        SpectralLambda(MeanRemoved(values.data(), static_cast<int>(values.size())), 0.025,
                       kFixedMode, kHammingWindow, run.view);
    ASSERT_TRUE(banded && after.lambdaMeanRemoved && before.lambdaMeanRemoved);
    EXPECT_EQ(*after.lambdaMeanRemoved, *banded);
    EXPECT_NE(*after.lambdaMeanRemoved, *before.lambdaMeanRemoved);
}
