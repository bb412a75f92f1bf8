#include "analysis/spectrumstate.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(SpectrumState, StartsWithTheWholeSpectrumLabelledForTheDefaultPeriod) {
    TSpectrumState state;
    EXPECT_EQ(state.UpperBarPosition(), 0);
    EXPECT_EQ(state.LowerBarPosition(), -40);
    EXPECT_EQ(state.upperRatio, 1.0);
    EXPECT_EQ(state.lowerRatio, std::pow(10.0, -40 * 0.1));
    EXPECT_EQ(state.UpperLabel(), "上限周波数  20.00000Hz");
    EXPECT_EQ(state.LowerLabel(), "下限周波数  0.00200Hz");
    EXPECT_EQ(state.spectrum, nullptr);
    EXPECT_FALSE(state.CanDraw());
}

TEST(SpectrumState, SetBandFrequenciesRoundsToTenthsOfADecadeAndClamps) {
    TSpectrumState state;
    state.SetBandFrequencies(1.0, 0.002);
    EXPECT_EQ(state.LowerBarPosition(), -27);
    EXPECT_EQ(state.lowerRatio, std::pow(10.0, -27 * 0.1));

    state.SetBandFrequencies(2.0, 1e-7);
    EXPECT_EQ(state.UpperBarPosition(), 0);
    EXPECT_EQ(state.LowerBarPosition(), -50);

    EXPECT_EQ(BandPositionForRatio(0.0), -50);
    EXPECT_EQ(BandPositionForRatio(-1.0), -50);
    EXPECT_EQ(BandPositionForRatio(NAN), -50);
    EXPECT_EQ(BandPositionForRatio(INFINITY), 0);
}

TEST(SpectrumState, OnlyAnActualMoveRunsTheChangeHandler) {
    TSpectrumState state;
    int changes = 0;
    state.onBandChanged = [&] { ++changes; };
    state.fftPeriod = 0.005; // a move would now relabel with another scale
    state.SetBandFrequencies(1.0, 0.0001);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(state.LowerLabel(), "下限周波数  0.00200Hz");

    state.SetLowerBarPosition(-60); // clamped to -50: a move
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(state.LowerBarPosition(), -50);
    EXPECT_EQ(state.LowerLabel(), "下限周波数  0.00100Hz");
    state.SetLowerBarPosition(-50);
    EXPECT_EQ(changes, 1);
}

TEST(SpectrumState, BarMovesUseTheLastRunsScaleAndUpdateBandLabelsTheSeriesPeriod) {
    TSpectrumState state;
    state.fftPeriod = 0.75 * 0.025;
    state.dataFraction = 0.75;
    state.SetUpperBarPosition(-10);
    EXPECT_EQ(state.UpperLabel(), "上限周波数  2.00000Hz");
    state.UpdateBandLabels(0.005);
    EXPECT_EQ(state.UpperLabel(), "上限周波数  10.00000Hz");
    EXPECT_EQ(state.LowerLabel(), "下限周波数  0.01000Hz");
}

TEST(SpectrumState, TakeSpectrumHandsOverInOrder) {
    TSpectrumState state;
    const auto* fake = reinterpret_cast<const TComplexFFT*>(&state);
    state.TakeSpectrum(fake, 1024, 1000.0 / 1024, 0.025 * 1000.0 / 1024, 0.025);
    EXPECT_EQ(state.spectrum, fake);
    EXPECT_EQ(state.fftSize, 1024);
    EXPECT_EQ(state.binCount, 499);
    EXPECT_EQ(state.fftPeriod, 0.025 * 1000.0 / 1024);
    EXPECT_EQ(state.UpperLabel(), "上限周波数  20.00000Hz");
    EXPECT_TRUE(state.CanDraw());
    state.SetFftSize(4, 0.75);
    EXPECT_EQ(state.binCount, 0);
    EXPECT_FALSE(state.CanDraw());
}

TEST(BinCountFor, HalvesTheTruncatedProductAndStaysBelowTheNyquistBin) {
    EXPECT_EQ(BinCountFor(1024, 1000.0 / 1024), 499);
    EXPECT_EQ(BinCountFor(4, 0.75), 0);
    EXPECT_EQ(BinCountFor(1, 1.0), -1);
    EXPECT_EQ(BinCountFor(8, 1.0), 3);
    // A series of 720000 values decimated onto 262144 points: its bins above
    // 131071 would be mirrored aliases.
    EXPECT_EQ(BinCountFor(262144, 720000.0 / 262144), 131071);
    EXPECT_EQ(BinCountFor(262144, 1e300), 131071);
    EXPECT_EQ(BinCountFor(262144, NAN), -1);
}

TEST(AspectVerticalSize, MakesOneDecadeEquallyLongAndStaysInRange) {
    EXPECT_EQ(AspectVerticalSize(350, 0, -9, 2, -3, 1), 630);
    EXPECT_EQ(AspectVerticalSize(500, 0, -9, 2, -3, 1), 900);
    EXPECT_EQ(AspectVerticalSize(350, 10, -10, 0, -1, 1), 3000);
    EXPECT_EQ(AspectVerticalSize(100, -9, 0, 2, -3, 1), 100);
    EXPECT_EQ(AspectVerticalSize(350, 0, -9, 2, 2, 777), 777);
}
