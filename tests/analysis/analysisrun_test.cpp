#include "analysis/analysisrun.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "analysis/spectrumstate.h"
#include "base/busycursor.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "engine/wavemath.h"
#include "examples/signals.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"

namespace {

// Records the boxes and the hourglass transitions of one test.
struct TRecorder {
    TMessageRecorder boxes;
    std::vector<TMessage>& messages = boxes.shown;
    std::vector<bool> busy;
    TBusyHook previousHook;
    TRecorder() {
        previousHook = SetBusyHook([this](bool b) { busy.push_back(b); });
    }
    ~TRecorder() { SetBusyHook(previousHook); }
};

void FillSeries(TWaveAnalyze& series, const std::vector<double>& values, double period) {
    series.count = static_cast<int>(values.size());
    series.values = std::make_unique<double[]>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        series.values[i] = values[i];
    }
    series.period = period;
}

std::string WriteTone(const TTempDir& dir, double seconds) {
    TWavBuilder builder;
    builder.sampleRate = 8000;
    std::vector<double> tone(static_cast<std::size_t>(seconds * 8000));
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = 0.5 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / 8000);
    }
    std::string path = dir.File("tone.wav");
    WriteFileBytes(path, builder.Build(ToPcm16(tone)));
    return path;
}

} // namespace

TEST(SamplingParametersFor, EasyModeUsesItsConstantsWhateverTheBoxesShow) {
    for (int ms : {5, 25, 1000}) {
        TSamplingParameters p = SamplingParametersFor(kEasyMode, ms, -300);
        EXPECT_EQ(p.period, 0.025);
        EXPECT_EQ(p.bias, 0.000244140625);
    }
}

TEST(SamplingParametersFor, OtherModesTakeTheBoxesWithinTheirRanges) {
    for (int mode : {kDetailedMode, kFixedMode}) {
        EXPECT_EQ(SamplingParametersFor(mode, 5, 0).period, 0.005);
        EXPECT_EQ(SamplingParametersFor(mode, 9, 0).period, 9 / 1000.0);
        EXPECT_EQ(SamplingParametersFor(mode, 1000, 0).period, 1.0);
        EXPECT_EQ(SamplingParametersFor(mode, 25, -32768).bias, -1.0);
        EXPECT_EQ(SamplingParametersFor(mode, 25, 32767).bias, 32767.0 / 32768.0);
        // A typed value that never went through the spin edit's check.
        EXPECT_EQ(SamplingParametersFor(mode, 0, 0).period, 0.005);
        EXPECT_EQ(SamplingParametersFor(mode, -7, 0).period, 0.005);
        EXPECT_EQ(SamplingParametersFor(mode, 5000, 99999).period, 1.0);
        EXPECT_EQ(SamplingParametersFor(mode, 5000, 99999).bias, 32767.0 / 32768.0);
    }
}

TEST(RunSamplingStep, FileNameChecksComeBeforeTheHourglassAndChangeNothing) {
    TTempDir dir;
    WriteFileBytes(dir.File("not-a-wave.wav"), "RIFX\0\0\0\0WAVE");
    TWavBuilder float16;
    float16.formatTag = 3;
    WriteFileBytes(dir.File("float16.wav"), float16.Build({1, 2, 3}));
    struct TCase {
        std::string name;
        TSamplingOutcome outcome;
        TMessageKind kind;
        std::string text;
        bool busy;
    };
    const TCase cases[] = {
        {"", TSamplingOutcome::NoFileName, TMessageKind::Information,
         "WAVファイルを選択してください。", false},
        // The second line says why the name is no file to read.
        {dir.File("missing.wav"), TSamplingOutcome::FileMissing, TMessageKind::Error,
         "WAVファイルが見つかりません。\nNo such file or directory", false},
        {dir.Path(), TSamplingOutcome::FileMissing, TMessageKind::Error,
         "WAVファイルが見つかりません。\nit is a directory", false},
        {"/dev/zero", TSamplingOutcome::FileMissing, TMessageKind::Error,
         "WAVファイルが見つかりません。\nit is a device, FIFO or socket, not a file", false},
        // The second line names the file and what neither reader could take.
        {dir.File("not-a-wave.wav"), TSamplingOutcome::Unreadable, TMessageKind::Error,
         "WAVファイルを読み込めません。\n" + dir.File("not-a-wave.wav") +
             ": 音声ファイルとして読めません(Format not recognised.)。",
         true},
        {dir.File("float16.wav"), TSamplingOutcome::Unreadable, TMessageKind::Error,
         "WAVファイルを読み込めません。\n" + dir.File("float16.wav") +
             ": 浮動小数点(フォーマットタグ 0x0003)のWAVファイルです。"
             " 16-bit float samples are not supported (only 32- and 64-bit float).",
         true},
    };
    for (const TCase& c : cases) {
        TRecorder recorder;
        TWaveAnalyze series;
        FillSeries(series, {1.0, 2.0}, 0.5);
        series.SetUnit("Hz");
        int owner = 0;
        TSamplingOutcome outcome = RunSamplingStep(series, c.name, kFrequencySampling,
                                                   TSamplingParameters{0.025, 0.0}, &owner);
        EXPECT_EQ(outcome, c.outcome) << c.name;
        ASSERT_EQ(recorder.messages.size(), 1u) << c.name;
        EXPECT_EQ(recorder.messages[0].kind, c.kind);
        EXPECT_EQ(recorder.messages[0].text, c.text);
        EXPECT_EQ(recorder.messages[0].owner, &owner);
        EXPECT_EQ(!recorder.busy.empty(), c.busy) << c.name;
        if (c.busy) {
            EXPECT_EQ(recorder.busy, (std::vector<bool>{true, false}));
        }
        EXPECT_EQ(series.count, 2);
        EXPECT_EQ(series.values[1], 2.0);
        EXPECT_EQ(series.period, 0.5);
    }
}

TEST(RunSamplingStep, SetsTheUnitOfTheSamplingMode) {
    TTempDir dir;
    std::string wave = WriteTone(dir, 1.0);
    TRecorder recorder;
    TWaveAnalyze series;
    ASSERT_EQ(RunSamplingStep(series, wave, kAmplitudeSampling, {0.025, 0.0}, nullptr),
              TSamplingOutcome::Sampled);
    EXPECT_EQ(series.unit, "RMS");
    EXPECT_EQ(series.count, 40);
    EXPECT_NEAR(series.values[3], 0.5 / std::sqrt(2.0), 0.01);
    ASSERT_EQ(RunSamplingStep(series, wave, kFrequencySampling, {0.025, 0.0}, nullptr),
              TSamplingOutcome::Sampled);
    EXPECT_EQ(series.unit, "Hz");
    EXPECT_NEAR(series.values[3], 440.0, 20.0);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(recorder.busy, (std::vector<bool>{true, false, true, false}));
}

TEST(RunSpectrumStage, AnEmptySeriesKeepsTheSpectrumAndTheWindow) {
    TRecorder recorder;
    TWaveAnalyze series;
    TSpectrumState view;
    auto previous = std::make_unique<TComplexFFT>(4);
    TComplexFFT* kept = previous.get();
    view.spectrum = kept;
    double dataFraction = 0.5;
    double fftPeriod = 0.25;
    int owner = 0;
    EXPECT_EQ(RunSpectrumStage(series, kEasyMode, kHammingWindow, view, previous, dataFraction,
                               fftPeriod, &owner),
              TSpectrumOutcome::NoData);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, TMessageKind::Information);
    EXPECT_EQ(recorder.messages[0].text,
              "サンプリングデータがありません。\n先にサンプリングを行ってから実行してください。");
    EXPECT_EQ(recorder.messages[0].owner, &owner);
    EXPECT_EQ(previous.get(), kept);
    EXPECT_EQ(view.spectrum, kept);
    EXPECT_EQ(view.LowerBarPosition(), -40);
    EXPECT_EQ(dataFraction, 0.5);
    EXPECT_EQ(fftPeriod, 0.25);
    EXPECT_TRUE(recorder.busy.empty());
}

TEST(RunSpectrumStage, TransformsTheResampledSeriesWithTheChosenWindow) {
    std::vector<double> values;
    for (int i = 0; i < 300; ++i) {
        values.push_back(100.0 + 10.0 * std::sin(i * 0.3) + (i % 5));
    }
    TWaveAnalyze series;
    FillSeries(series, values, 0.025);
    for (int window : {kRectangularWindow, kHanningWindow, kHammingWindow}) {
        TRecorder recorder;
        TSpectrumState view;
        std::unique_ptr<TComplexFFT> fft;
        double dataFraction = 0;
        double fftPeriod = 0;
        ASSERT_EQ(RunSpectrumStage(series, kFixedMode, window, view, fft, dataFraction, fftPeriod,
                                   nullptr),
                  TSpectrumOutcome::Transformed);
        ASSERT_TRUE(fft);
        EXPECT_EQ(fft->count, 512);
        EXPECT_EQ(dataFraction, 300.0 / 512);
        EXPECT_EQ(fftPeriod, 300.0 / 512 * 0.025);
        EXPECT_EQ(view.spectrum, nullptr) << "the window is handed the spectrum afterwards";
        EXPECT_EQ(recorder.busy, (std::vector<bool>{true, false}));

        // The same steps by hand.
        TComplexFFT expected(512);
        if (window == kHanningWindow) {
            expected.SetHanningWindow();
        } else if (window == kHammingWindow) {
            expected.SetHammingWindow();
        }
        ResampleSeries(series, expected, dataFraction);
        if (window > 0) {
            expected.ApplyWindow();
        }
        expected.Execute();
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(fft->data[k].re, expected.data[k].re) << window << " " << k;
            ASSERT_EQ(fft->data[k].im, expected.data[k].im) << window << " " << k;
        }
    }
}

TEST(RunSpectrumStage, EasyModeResetsTheBandAndOtherModesKeepIt) {
    TWaveAnalyze series;
    FillSeries(series, std::vector<double>(1000, 1.0), 0.025);
    for (int mode : {kEasyMode, kDetailedMode, kFixedMode}) {
        TSpectrumState view;
        view.SetUpperBarPosition(-5);
        view.SetLowerBarPosition(-20);
        std::unique_ptr<TComplexFFT> fft;
        double dataFraction = 0;
        double fftPeriod = 0;
        RunSpectrumStage(series, mode, kHammingWindow, view, fft, dataFraction, fftPeriod, nullptr);
        if (mode == kEasyMode) {
            EXPECT_EQ(view.UpperBarPosition(), 0);
            EXPECT_EQ(view.LowerBarPosition(), -27) << "2 / 1000 = 10^-2.7";
        } else {
            EXPECT_EQ(view.UpperBarPosition(), -5);
            EXPECT_EQ(view.LowerBarPosition(), -20);
        }
    }
}

TEST(RunSpectrumStage, VeryShortAndVeryLongSeries) {
    for (std::size_t count :
         {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{300000}}) {
        TWaveAnalyze series;
        FillSeries(series, std::vector<double>(count, 2.0), 0.005);
        TSpectrumState view;
        std::unique_ptr<TComplexFFT> fft;
        double dataFraction = 0;
        double fftPeriod = 0;
        ASSERT_EQ(RunSpectrumStage(series, kEasyMode, kHammingWindow, view, fft, dataFraction,
                                   fftPeriod, nullptr),
                  TSpectrumOutcome::Transformed);
        int n = NextPowerOfTwo(static_cast<int>(count));
        EXPECT_EQ(fft->count, n);
        EXPECT_EQ(dataFraction, static_cast<double>(count) / n);
        EXPECT_TRUE(std::isfinite(fft->data[0].re)) << count;
        view.TakeSpectrum(fft.get(), n, dataFraction, fftPeriod, series.period);
        EXPECT_EQ(view.CanDraw(), count > 3) << count;
    }
}
