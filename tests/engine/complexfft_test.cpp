// The spectrum object: construction, window weights, scaled transform,
// power and peak, the spectrum file and the FFT size rule.

#include "engine/fftunit.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "base/safefile.h"
#include "base/textformat.h"
#include "tests/support/testsupport.h"

namespace {

constexpr long double kPiL = 3.141592653589793238462643383279502884L;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const std::string kHeader = "\"Frequency(Hz)\",\"Power(square of amplitude)\"\r\n";

int CountLines(const std::string& text) {
    int lines = 0;
    for (char ch : text) {
        lines += ch == '\n';
    }
    return lines;
}

// x_j = 1 + 0.5 cos(2 pi j / 8): Power(0) = 1, Power(1) = 0.25, the rest 0.
TComplexFFT EightPointSpectrum() {
    TComplexFFT fft(8);
    for (int j = 0; j < 8; ++j) {
        fft.SetValue(j, Complex{1.0 + 0.5 * std::cos(2 * 3.141592653589793 * j / 8), 0.0});
    }
    fft.Execute();
    return fft;
}

} // namespace

// ---- Construction -------------------------------------------------------------------

class Construction : public testing::TestWithParam<int> {};

TEST_P(Construction, SizesTheKernelStorageAndStartsNeutral) {
    const int n = GetParam();
    TComplexFFT fft(n);
    EXPECT_EQ(fft.count, n);
    EXPECT_EQ(fft.workArea.size(), static_cast<std::size_t>(std::sqrt(n)) + 2);
    EXPECT_EQ(fft.workArea[0], 0) << "no table built yet";
    EXPECT_EQ(fft.trigTable.size(), static_cast<std::size_t>(n / 2));
    ASSERT_EQ(fft.data.size(), static_cast<std::size_t>(n));
    ASSERT_EQ(fft.window.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(fft.data[i].re, 0.0);
        ASSERT_EQ(fft.data[i].im, 0.0);
        ASSERT_EQ(fft.window[i], 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Construction, testing::Values(1, 2, 4, 8, 1024, 262144));

// ---- Windows ----------------------------------------------------------------------------

struct TWindowWeightCase {
    const char* name;
    void (TComplexFFT::*set)();
    long double a0; // w(i) = a0 - (1 - a0) cos(2 pi i / (N - 1))
    double rounded[8];
};

class Windows : public testing::TestWithParam<TWindowWeightCase> {};

TEST_P(Windows, EightPointWeightsAreSymmetricWithDivisorNMinusOne) {
    const TWindowWeightCase& c = GetParam();
    TComplexFFT fft(8);
    (fft.*c.set)();
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(fft.window[i], c.rounded[i], 5e-5) << i;
        long double exact = c.a0 - (1 - c.a0) * cosl(2 * kPiL * i / 7);
        EXPECT_NEAR(fft.window[i], static_cast<double>(exact), 1e-15) << i;
    }
}

TEST_P(Windows, OnePointGetsWeightOne) {
    TComplexFFT fft(1);
    (fft.*GetParam().set)();
    EXPECT_EQ(fft.window[0], 1.0);
}

TEST_P(Windows, ApplyWindowScalesBothParts) {
    TComplexFFT fft(8);
    (fft.*GetParam().set)();
    for (int i = 0; i < 8; ++i) {
        fft.SetValue(i, Complex{2.0, -3.0});
    }
    fft.ApplyWindow();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(fft.data[i].re, 2.0 * fft.window[i]) << i;
        EXPECT_EQ(fft.data[i].im, -3.0 * fft.window[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Windows,
    testing::Values(TWindowWeightCase{"Hanning",
                                      &TComplexFFT::SetHanningWindow,
                                      0.5L,
                                      {0, 0.1883, 0.6113, 0.9505, 0.9505, 0.6113, 0.1883, 0}},
                    TWindowWeightCase{
                        "Hamming",
                        &TComplexFFT::SetHammingWindow,
                        0.54L,
                        {0.08, 0.2532, 0.6424, 0.9544, 0.9544, 0.6424, 0.2532, 0.08}}),
    [](const testing::TestParamInfo<TWindowWeightCase>& info) { return info.param.name; });

// ---- Transform and power --------------------------------------------------------------

class ConstantInput : public testing::TestWithParam<int> {};

TEST_P(ConstantInput, GivesItselfAtBinZeroAndNothingElse) {
    const int n = GetParam();
    const double c = 0.75;
    TComplexFFT fft(n);
    for (int j = 0; j < n; ++j) {
        fft.SetValue(j, Complex{c, 0.0});
    }
    fft.Execute();
    EXPECT_DOUBLE_EQ(fft.data[0].re, c);
    EXPECT_EQ(fft.data[0].im, 0.0);
    EXPECT_DOUBLE_EQ(fft.Power(0), c * c);
    for (int k = 1; k < n; ++k) {
        ASSERT_NEAR(fft.data[k].re, 0.0, 1e-15) << k;
        ASSERT_NEAR(fft.data[k].im, 0.0, 1e-15) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConstantInput, testing::Values(1, 2, 4, 8, 1024));

struct TCosineCase {
    int n;
    int bin;
    double amplitude;
};

class CosineOnBin : public testing::TestWithParam<TCosineCase> {};

TEST_P(CosineOnBin, PowerIsAmplitudeSquaredAndPeakBinFindsIt) {
    const TCosineCase& c = GetParam();
    TComplexFFT fft(c.n);
    for (int j = 0; j < c.n; ++j) {
        long double phase = 2 * kPiL * c.bin * j / c.n;
        fft.SetValue(j, Complex{static_cast<double>(c.amplitude * cosl(phase)), 0.0});
    }
    fft.Execute();
    const double expected = c.amplitude * c.amplitude;
    EXPECT_NEAR(fft.Power(c.bin), expected, 1e-13 * expected);
    int index = -7;
    EXPECT_NEAR(fft.PeakBin(&index), expected, 1e-13 * expected);
    EXPECT_EQ(index, c.bin);
}

INSTANTIATE_TEST_SUITE_P(Bins, CosineOnBin,
                         testing::Values(TCosineCase{4, 1, 1.0}, TCosineCase{64, 1, 0.5},
                                         TCosineCase{64, 5, 3.0}, TCosineCase{64, 31, 2.0},
                                         TCosineCase{4096, 1000, 0.125},
                                         TCosineCase{262144, 777, 1.5}),
                         [](const testing::TestParamInfo<TCosineCase>& info) {
                             return "N" + std::to_string(info.param.n) + "Bin" +
                                    std::to_string(info.param.bin);
                         });

// ---- Peak ---------------------------------------------------------------------------------

TEST(PeakBin, FirstOfEqualMaximaWins) {
    TComplexFFT fft(16);
    fft.SetValue(2, Complex{0.5, 0.0});
    fft.SetValue(3, Complex{0.0, 1.0});
    fft.SetValue(5, Complex{1.0, 0.0});
    int index = -1;
    EXPECT_EQ(fft.PeakBin(&index), 4.0);
    EXPECT_EQ(index, 3);
}

TEST(PeakBin, IgnoresBinZeroBinsFromHalfUpAndNaN) {
    TComplexFFT fft(16);
    fft.SetValue(0, Complex{9.0, 0.0});
    fft.SetValue(8, Complex{9.0, 0.0});
    fft.SetValue(12, Complex{9.0, 0.0});
    fft.SetValue(4, Complex{kNaN, 0.0});
    fft.SetValue(6, Complex{0.25, 0.0});
    int index = -1;
    EXPECT_EQ(fft.PeakBin(&index), 0.25);
    EXPECT_EQ(index, 6);
}

TEST(PeakBin, OneAndTwoPointsExamineNoBin) {
    for (int n : {1, 2}) {
        TComplexFFT fft(n);
        for (int i = 0; i < n; ++i) {
            fft.SetValue(i, Complex{5.0, 5.0});
        }
        int index = 42;
        EXPECT_EQ(fft.PeakBin(&index), -1.0) << n;
        EXPECT_EQ(index, 42) << "index left unwritten for N = " << n;
    }
}

TEST(PeakBin, FourPointsExamineBinOneOnly) {
    TComplexFFT fft(4);
    fft.SetValue(1, Complex{0.0, 0.0});
    fft.SetValue(2, Complex{7.0, 0.0});
    int index = -1;
    EXPECT_EQ(fft.PeakBin(&index), 0.0) << "a zero power beats the start value -1";
    EXPECT_EQ(index, 1);
}

// ---- FFT size --------------------------------------------------------------------------------

class NextPowerOfTwoTable : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(NextPowerOfTwoTable, GivesTheSmallestPowerNotBelowUpToTheCap) {
    EXPECT_EQ(NextPowerOfTwo(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Lengths, NextPowerOfTwoTable,
                         testing::Values(std::pair{INT_MIN, 1}, std::pair{-5, 1}, std::pair{0, 1},
                                         std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 4},
                                         std::pair{5, 8}, std::pair{1000, 1024},
                                         std::pair{1024, 1024}, std::pair{131072, 131072},
                                         std::pair{131073, 262144}, std::pair{262144, 262144},
                                         std::pair{262145, 262144}, std::pair{10000000, 262144},
                                         std::pair{INT_MAX, 262144}));

// ---- Spectrum file ----------------------------------------------------------------------------

TEST(CsvText, EightPointsFullSeries) {
    const std::string expected = kHeader + "0.0000,1.0000000000\r\n"
                                           "5.0000,0.2500000000\r\n"
                                           "10.0000,0.0000000000\r\n"
                                           "15.0000,0.0000000000\r\n";
    EXPECT_EQ(EightPointSpectrum().CsvText(0.025, 1.0), expected);
}

TEST(CsvText, EightPointsFromSixValues) {
    // A series of 6 values: dataFraction 0.75, the resampled period 0.75 x 0.025.
    const std::string expected = kHeader + "0.0000,1.0000000000\r\n"
                                           "6.6667,0.2500000000\r\n"
                                           "13.3333,0.0000000000\r\n";
    EXPECT_EQ(EightPointSpectrum().CsvText(0.75 * 0.025, 0.75), expected);
}

TEST(CsvText, OnePointWritesTheHeaderOnly) {
    TComplexFFT fft(1);
    fft.SetValue(0, Complex{2.0, 0.0});
    fft.Execute();
    EXPECT_EQ(fft.CsvText(0.025, 1.0), kHeader);
}

struct TRowCase {
    const char* name;
    int n;
    double dataFraction;
    int rows;
};

class CsvRows : public testing::TestWithParam<TRowCase> {};

TEST_P(CsvRows, CountIsHalfTheSeriesButNeverPastBinHalfN) {
    const TRowCase& c = GetParam();
    TComplexFFT fft(c.n);
    const double period = 0.025;
    std::string text = fft.CsvText(period, c.dataFraction);
    ASSERT_EQ(text.compare(0, kHeader.size(), kHeader), 0);
    EXPECT_EQ(CountLines(text) - 1, c.rows);
    if (c.rows > 0) {
        // The last row is bin rows - 1.
        std::size_t lastStart = text.rfind("\r\n", text.size() - 3) + 2;
        std::string last = text.substr(lastStart);
        EXPECT_EQ(last,
                  FormatFixed((c.rows - 1) * ((1.0 / period) / c.n), 4) + ",0.0000000000\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, CsvRows,
    testing::Values(TRowCase{"Full", 8, 1.0, 4}, TRowCase{"SixOfEight", 8, 0.75, 3},
                    TRowCase{"UpToBinHalfN", 8, 1.25, 5}, TRowCase{"CappedAtBinHalfN", 8, 1.5, 5},
                    TRowCase{"Huge", 8, 1e300, 5}, TRowCase{"Infinite", 8, kInf, 5},
                    TRowCase{"Zero", 8, 0.0, 0}, TRowCase{"Negative", 8, -3.0, 0},
                    TRowCase{"OnePoint", 1, 1.0, 0}, TRowCase{"OnePointTwoValues", 1, 2.0, 1},
                    TRowCase{"TwoPoints", 2, 1.0, 1},
                    // 600000 values meet the cap of 262144: the file stops at bin 131072.
                    TRowCase{"LongSeries", 262144, 600000.0 / 262144, 131073},
                    TRowCase{"JustBelowCap", 262144, 262145.0 / 262144, 131072}),
    [](const testing::TestParamInfo<TRowCase>& info) { return info.param.name; });

TEST(CsvText, NaNFractionIsRefused) {
    EXPECT_EQ(EightPointSpectrum().CsvText(0.025, kNaN), "");
}

class RefusedPeriod : public testing::TestWithParam<double> {};

TEST_P(RefusedPeriod, WritesNothingAndKeepsAnExistingFile) {
    const TComplexFFT fft = EightPointSpectrum();
    EXPECT_EQ(fft.CsvText(GetParam(), 1.0), "");
    TTempDir dir;
    EXPECT_FALSE(fft.SaveCsv(dir.File("new.csv"), GetParam(), 1.0));
    EXPECT_FALSE(FileExists(dir.File("new.csv")));
    WriteFileBytes(dir.File("old.csv"), "previous");
    EXPECT_FALSE(fft.SaveCsv(dir.File("old.csv"), GetParam(), 1.0));
    EXPECT_EQ(ReadFileBytes(dir.File("old.csv")), "previous");
}

INSTANTIATE_TEST_SUITE_P(Periods, RefusedPeriod,
                         testing::Values(0.0, -0.0, -0.025, kNaN, kInf, -kInf,
                                         // Positive, but its reciprocal overflows.
                                         4e-320));

TEST(SaveCsv, WritesExactlyTheTextAndReplacesAnOldFile) {
    const TComplexFFT fft = EightPointSpectrum();
    TTempDir dir;
    const std::string path = dir.File("spectrum.csv");
    WriteFileBytes(path, std::string(5000, 'z'));
    ASSERT_TRUE(fft.SaveCsv(path, 0.025, 1.0));
    EXPECT_EQ(ReadFileBytes(path), fft.CsvText(0.025, 1.0));
}

TEST(SaveCsv, FailsForAFolderThatDoesNotExist) {
    TTempDir dir;
    EXPECT_FALSE(EightPointSpectrum().SaveCsv(dir.File("missing/spectrum.csv"), 0.025, 1.0));
}

TEST(SaveCsv, WriteFailureKeepsTheOldFile) {
    const TComplexFFT fft = EightPointSpectrum();
    TTempDir dir;
    const std::string path = dir.File("spectrum.csv");
    WriteFileBytes(path, "previous spectrum");
    TWriteHook previous = SetWriteHook([](int, const void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
    });
    const bool saved = fft.SaveCsv(path, 0.025, 1.0);
    SetWriteHook(previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(path), "previous spectrum");
}
