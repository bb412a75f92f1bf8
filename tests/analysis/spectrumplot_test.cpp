#include "analysis/spectrumplot.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "analysis/spectrumstate.h"
#include "base/textformat.h"
#include "engine/fftunit.h"
#include "graph/png.h"
#include "graph/xygraph.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"

namespace {

// A spectrum object whose one-sided power is power(b) for b = 1 ... N/2 - 1,
// written straight into the transform's bins.
TComplexFFT MakeSpectrum(int n, double (*power)(int)) {
    TComplexFFT fft(n);
    for (int b = 0; b < n; ++b) {
        fft.data[b] = Complex{0.0, 0.0};
    }
    fft.data[0] = Complex{1.0, 0.0};
    for (int b = 1; b < n / 2; ++b) {
        fft.data[b] = Complex{std::sqrt(power(b) / 4), 0.0};
    }
    return fft;
}

bool AnyPixelOf(const TBitmap& bitmap, TColor color) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (bitmap.Pixel(x, y) == color) {
                return true;
            }
        }
    }
    return false;
}

TSpectrumState StateFor(const TComplexFFT& fft, int seriesCount, double seriesPeriod) {
    TSpectrumState state;
    double fraction = static_cast<double>(seriesCount) / fft.count;
    state.TakeSpectrum(&fft, fft.count, fraction, fraction * seriesPeriod, seriesPeriod);
    return state;
}

} // namespace

TEST(DrawSpectrum, FitsTheSlopeOfAPowerLaw) {
    for (double lambda : {0.5, 1.0, 2.0}) {
        static double exponent;
        exponent = lambda;
        TComplexFFT fft = MakeSpectrum(4096, [](int b) { return std::pow(b, -exponent); });
        TSpectrumState state = StateFor(fft, 4096, 0.025);
        TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, "", nullptr);
        ASSERT_TRUE(drawing.graph);
        ASSERT_TRUE(drawing.hasLine);
        // The groups stand at their lower edges while their members spread
        // over the tenth above, which biases the fit only slightly.
        EXPECT_NEAR(-drawing.slope, lambda, 0.03 * lambda) << lambda;
        EXPECT_EQ(drawing.lambdaText, FormatLambda(-drawing.slope));
    }
}

TEST(DrawSpectrum, GroupsTheBandInTenthsOfADecadeFromBinLoPlusOne) {
    TComplexFFT fft = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    ASSERT_EQ(state.binCount, 511);
    TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, "", nullptr);
    // Bins 1 ... 511 span log10(511) = 2.71 decades, and the first ten bins
    // each have a tenth of their own: 1, 2, ..., 9 in the first decade,
    // then 10 and 11 share one.
    double f1 = std::log10((1.0 / state.fftPeriod) / state.fftSize * 1);
    ASSERT_FALSE(drawing.gx.empty());
    EXPECT_EQ(drawing.gx[0], f1);
    EXPECT_EQ(drawing.gy[0], 0.0) << "bin 1 is the peak";
    for (std::size_t m = 1; m < drawing.gx.size(); ++m) {
        EXPECT_GT(drawing.gx[m], drawing.gx[m - 1]);
    }
    EXPECT_LE(drawing.gx.size(), 28u);
    EXPECT_GE(drawing.gx.size(), 20u);
}

TEST(DrawSpectrum, FlatSpectrumGivesLambdaZeroWithoutASign) {
    TComplexFFT fft = MakeSpectrum(256, [](int) { return 1.0; });
    TSpectrumState state = StateFor(fft, 256, 0.025);
    TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, "", nullptr);
    ASSERT_TRUE(drawing.hasLine);
    EXPECT_EQ(drawing.slope, 0.0);
    EXPECT_EQ(drawing.lambdaText, "λ = 0.000");
}

TEST(DrawSpectrum, NoGroupMeansNoLineAndNoSlopeText) {
    TComplexFFT fft = MakeSpectrum(8, [](int b) { return 1.0 / b; });
    TSpectrumState state;
    state.TakeSpectrum(&fft, 8, 0.5, 0.5 * 0.025, 0.025); // binCount 1
    ASSERT_EQ(state.binCount, 1);
    state.SetUpperBarPosition(-1);
    state.SetLowerBarPosition(-2); // hi = lo = 0: an empty band
    TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, "", nullptr);
    ASSERT_TRUE(drawing.graph);
    EXPECT_TRUE(drawing.gx.empty());
    EXPECT_FALSE(drawing.hasLine);
    EXPECT_TRUE(drawing.lambdaText.empty());
    EXPECT_FALSE(AnyPixelOf(drawing.graph->bitmap, 0x0000FF));
}

TEST(DrawSpectrum, SilentSpectrumShowsNothingAndFitsNothing) {
    TComplexFFT fft = MakeSpectrum(1024, [](int) { return 0.0; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    for (int method : {kDrawPoints, kDrawPolyline, kDrawHistogram}) {
        TSpectrumSettings settings;
        settings.DrawMethodBox = method;
        TSpectrumDrawing drawing = DrawSpectrum(state, settings, "", nullptr);
        ASSERT_TRUE(drawing.graph);
        EXPECT_FALSE(drawing.hasLine);
        EXPECT_FALSE(AnyPixelOf(drawing.graph->bitmap, 0xFF0000)) << method;
        EXPECT_FALSE(AnyPixelOf(drawing.graph->bitmap, 0x0000FF)) << method;
    }
}

TEST(DrawSpectrum, DefaultGeometryAndStyles) {
    TComplexFFT fft = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    TSpectrumSettings settings;
    TSpectrumDrawing histogram = DrawSpectrum(state, settings, "", nullptr);
    ASSERT_TRUE(histogram.graph);
    EXPECT_EQ(histogram.graph->bitmap.Width(), 434);
    EXPECT_EQ(histogram.graph->bitmap.Height(), 680);
    EXPECT_EQ(histogram.graph->plot.left, 48);
    EXPECT_EQ(histogram.graph->plot.bottom, 650);
    EXPECT_TRUE(AnyPixelOf(histogram.graph->bitmap, 0xE16941));
    EXPECT_TRUE(AnyPixelOf(histogram.graph->bitmap, 0x0000FF));

    settings.DrawMethodBox = kDrawPolyline;
    settings.HorzSizeBox = 500;
    settings.VertSizeBox = 200;
    TSpectrumDrawing polyline = DrawSpectrum(state, settings, "", nullptr);
    EXPECT_EQ(polyline.graph->bitmap.Width(), 584);
    EXPECT_EQ(polyline.graph->bitmap.Height(), 250);
    EXPECT_TRUE(AnyPixelOf(polyline.graph->bitmap, 0xFF0000));
    EXPECT_FALSE(AnyPixelOf(polyline.graph->bitmap, 0xE16941));
    EXPECT_EQ(polyline.slope, histogram.slope) << "the fit does not depend on the style";
}

TEST(DrawSpectrum, RefusedSettingsShowOneMessageAndDrawNothing) {
    TComplexFFT fft = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    int owner = 0;
    struct TCase {
        int upperBar, lowerBar;
        TSpectrumSettings settings;
        const char* message;
    };
    TSpectrumSettings badFrequency;
    badFrequency.FlowerBox = 2;
    TSpectrumSettings badPower;
    badPower.PlowerBox = 0;
    TSpectrumSettings bothBad = badFrequency;
    bothBad.PlowerBox = 0;
    const TCase cases[] = {
        {-10, -10, TSpectrumSettings{},
         "回帰直線の上限周波数は下限周波数より大きくなければなりません。"},
        {-10, -5, bothBad, "回帰直線の上限周波数は下限周波数より大きくなければなりません。"},
        {0, -40, badFrequency, "周波数の設定範囲が正しくありません。"},
        {0, -40, bothBad, "周波数の設定範囲が正しくありません。"},
        {0, -40, badPower, "パワーの設定範囲が正しくありません。"},
    };
    for (const TCase& c : cases) {
        TMessageRecorder recorder;
        state.SetUpperBarPosition(c.upperBar);
        state.SetLowerBarPosition(c.lowerBar);
        TSpectrumDrawing drawing = DrawSpectrum(state, c.settings, "", &owner);
        EXPECT_FALSE(drawing.graph);
        ASSERT_EQ(recorder.shown.size(), 1u);
        EXPECT_EQ(recorder.shown[0].text, c.message);
        EXPECT_EQ(recorder.shown[0].caption, "エラー");
        EXPECT_EQ(recorder.shown[0].owner, &owner);
    }
}

TEST(DrawSpectrum, SavesExactlyWhatItShows) {
    TComplexFFT fft = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    TTempDir dir;
    std::string path = dir.File("spectrum.png");
    TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, path, nullptr);
    ASSERT_TRUE(drawing.saved);
    EXPECT_EQ(ReadFileBytes(path), EncodePng(drawing.graph->bitmap));

    TSpectrumDrawing failed =
        DrawSpectrum(state, TSpectrumSettings{}, dir.File("missing/x.png"), nullptr);
    EXPECT_FALSE(failed.saved);
    ASSERT_TRUE(failed.graph) << "the window shows the new drawing even when saving fails";
}

TEST(DrawSpectrum, BinsBeyondTheSpectrumAreNeverRead) {
    // 720000 values decimated onto 262144 points; binCount stops at bin N/2 - 1.
    TComplexFFT fft = MakeSpectrum(262144, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 720000, 0.005);
    EXPECT_EQ(state.binCount, 131071);
    TSpectrumDrawing drawing = DrawSpectrum(state, TSpectrumSettings{}, "", nullptr);
    ASSERT_TRUE(drawing.hasLine);
    EXPECT_NEAR(-drawing.slope, 1.0, 0.05);
}

// A graph without a line says why: silence, a spectrum of too few points
// for the band, or a band with points but no group; none with a line.
TEST(NoLineReason, NamesWhyThereIsNoLine) {
    TComplexFFT powerLaw = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TComplexFFT silent = MakeSpectrum(1024, [](int) { return 0.0; });
    TComplexFFT tiny = MakeSpectrum(8, [](int b) { return 1.0 / b; });
    struct TCase {
        const char* name;
        TSpectrumState state;
        const char* reason; // a part of the text; empty for none
    };
    TSpectrumState tinyState;
    tinyState.TakeSpectrum(&tiny, 8, 0.5, 0.5 * 0.025, 0.025);
    tinyState.SetUpperBarPosition(-1);
    tinyState.SetLowerBarPosition(-2);
    TCase cases[] = {
        {"line", StateFor(powerLaw, 1024, 0.025), ""},
        {"silent", StateFor(silent, 1024, 0.025), "無音"},
        {"few points", tinyState, "点が1個しかない"},
    };
    for (TCase& c : cases) {
        TSpectrumDrawing drawing = DrawSpectrum(c.state, TSpectrumSettings{}, "", nullptr);
        ASSERT_TRUE(drawing.graph) << c.name;
        const std::string reason = NoLineReason(c.state, drawing);
        if (*c.reason == '\0') {
            EXPECT_EQ(reason, "") << c.name;
        } else {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
        }
    }
    // Nothing drawn (no spectrum): nothing to explain.
    EXPECT_EQ(NoLineReason(TSpectrumState{}, TSpectrumDrawing{}), "");
}

TEST(DrawSpectrum, ScaledForTheScreenSavedAtScaleOne) {
    TComplexFFT fft = MakeSpectrum(1024, [](int b) { return 1.0 / b; });
    TSpectrumState state = StateFor(fft, 1024, 0.025);
    TTempDir dir;
    const std::string plain = dir.File("plain.png");
    const std::string scaled = dir.File("scaled.png");
    for (int method : {kDrawPoints, kDrawPolyline, kDrawHistogram}) {
        TSpectrumSettings settings;
        settings.DrawMethodBox = method;
        TSpectrumDrawing one = DrawSpectrum(state, settings, plain, nullptr);
        TSpectrumDrawing two = DrawSpectrum(state, settings, scaled, nullptr, nullptr, 2.0);
        ASSERT_TRUE(two.saved);
        EXPECT_EQ(two.graph->bitmap.Width(), 2 * one.graph->bitmap.Width());
        EXPECT_EQ(two.graph->bitmap.Height(), 2 * one.graph->bitmap.Height());
        EXPECT_EQ(two.lambdaText, one.lambdaText);
        EXPECT_EQ(ReadFileBytes(scaled), ReadFileBytes(plain)) << "method " << method;
    }
}
