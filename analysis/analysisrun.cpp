#include "analysis/analysisrun.h"

#include <algorithm>
#include <sys/stat.h>

#include "analysis/spectrumstate.h"
#include "base/busycursor.h"
#include "base/safefile.h"
#include "base/translate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "engine/wavemath.h"

const char* const kNoSamplingDataMessage =
    TrMark("サンプリングデータがありません。\n先にサンプリングを行ってから実行してください。");
const char* const kUnreadableWaveMessage = TrMark("WAVファイルを読み込めません。");

const char* SamplingName(int samplingMode) {
    switch (samplingMode) {
    case kFrequencySampling:
        return "frequency";
    case kAmplitudeSampling:
        return "amplitude";
    case kFineFrequencySampling:
        return "fine-frequency";
    case kPitchSampling:
        return "pitch";
    default:
        return "";
    }
}

TSamplingParameters SamplingParametersFor(int analyzeMode, int sampleTimeMs, int biasValue) {
    if (analyzeMode == kEasyMode) {
        return TSamplingParameters{0.025, 0.000244140625};
    }
    int ms = std::clamp(sampleTimeMs, kSampleTimeMinimum, kSampleTimeMaximum);
    int bias = std::clamp(biasValue, kBiasMinimum, kBiasMaximum);
    // The double nearest to a whole number of milliseconds; value / 32768 is
    // exact.
    return TSamplingParameters{ms / 1000.0, bias / 32768.0};
}

namespace {

bool IsRegularFile(const std::string& name) {
    struct stat info;
    return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

TSamplingOutcome RunSamplingStep(TWaveAnalyze& series, const std::string& fileName,
                                 int samplingMode, const TSamplingParameters& parameters,
                                 TMessageOwner owner) {
    if (fileName.empty()) {
        ShowInfoBox(Tr("WAVファイルを選択してください。"), owner);
        return TSamplingOutcome::NoFileName;
    }
    if (!IsRegularFile(fileName)) {
        ShowErrorBox(std::string(Tr("WAVファイルが見つかりません。")) + "\n" +
                         InputFileProblem(fileName),
                     owner);
        return TSamplingOutcome::FileMissing;
    }
    bool sampled;
    {
        TBusyCursor busy;
        if (samplingMode == kFineFrequencySampling) {
            sampled = series.SampleFineFrequency(fileName, parameters.period, parameters.bias);
            if (sampled) {
                series.SetUnit("Hz");
            }
        } else if (samplingMode == kPitchSampling) {
            sampled = series.SamplePitch(fileName, parameters.period);
            if (sampled) {
                series.SetUnit("Hz");
            }
        } else if (samplingMode == kFrequencySampling) {
            sampled = series.SampleFrequency(fileName, parameters.period, parameters.bias);
            if (sampled) {
                series.SetUnit("Hz");
            }
        } else {
            sampled = series.SampleAmplitude(fileName, parameters.period);
            if (sampled) {
                series.SetUnit("RMS");
            }
        }
    }
    if (!sampled) {
        ShowErrorBox(series.problem.empty() ? std::string(Tr(kUnreadableWaveMessage))
                                            : Tr(kUnreadableWaveMessage) + ("\n" + series.problem),
                     owner);
        return TSamplingOutcome::Unreadable;
    }
    return TSamplingOutcome::Sampled;
}

namespace {

// The stage for values[i] - offset; `whole` is the TWaveAnalyze holding
// exactly those values when there is one (offset 0), so neither resampler
// needs a copy of it.
TSpectrumOutcome SpectrumStage(const TSeriesValues& series, const TWaveAnalyze* whole,
                               int analyzeMode, int windowFunction, TSpectrumState& view,
                               std::unique_ptr<TComplexFFT>& fft, double& dataFraction,
                               double& fftPeriod, TMessageOwner owner, TResampler resample) {
    const int count = series.count;
    if (count <= 0) {
        // An empty series sampled from a file carries why it is empty (no
        // "data" chunk, no frames in it); that is the message's second line.
        const bool why = whole != nullptr && !whole->warnings.empty();
        ShowInfoBox(why ? Tr(kNoSamplingDataMessage) + ("\n" + whole->warnings.front().text)
                        : std::string(Tr(kNoSamplingDataMessage)),
                    owner);
        return TSpectrumOutcome::NoData;
    }
    if (analyzeMode == kEasyMode) {
        view.SetBandFrequencies(1.0, 2.0 / count);
    }
    const int n = NextPowerOfTwo(count);
    // The spectrum window borrows the old spectrum; forget it before it goes,
    // so no way out of this function leaves the window a dangling pointer.
    view.spectrum = nullptr;
    fft.reset();
    fft = std::make_unique<TComplexFFT>(n);

    TBusyCursor busy;
    if (windowFunction == kHanningWindow) {
        fft->SetHanningWindow();
    } else if (windowFunction == kHammingWindow) {
        fft->SetHammingWindow();
    }
    dataFraction = static_cast<double>(count) / n;
    fftPeriod = dataFraction * series.period;
    if (whole != nullptr) {
        (resample ? resample : ResampleSeries)(*whole, *fft, dataFraction);
    } else if (!resample) {
        ResampleSeriesLess(series.values, count, series.offset, *fft, dataFraction);
    } else {
        TWaveAnalyze copy;
        copy.count = count;
        copy.period = series.period;
        copy.values = std::make_unique<double[]>(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            copy.values[i] = series.values[i] - series.offset;
        }
        resample(copy, *fft, dataFraction);
    }
    if (windowFunction > 0) {
        fft->ApplyWindow();
    }
    fft->Execute();
    return TSpectrumOutcome::Transformed;
}

} // namespace

TSpectrumOutcome RunSpectrumStage(const TWaveAnalyze& series, int analyzeMode, int windowFunction,
                                  TSpectrumState& view, std::unique_ptr<TComplexFFT>& fft,
                                  double& dataFraction, double& fftPeriod, TMessageOwner owner,
                                  TResampler resample) {
    const TSeriesValues values{series.values.get(), series.count, series.period, 0.0};
    return SpectrumStage(values, &series, analyzeMode, windowFunction, view, fft, dataFraction,
                         fftPeriod, owner, resample);
}

TSpectrumOutcome RunSpectrumStage(const TSeriesValues& series, int analyzeMode, int windowFunction,
                                  TSpectrumState& view, std::unique_ptr<TComplexFFT>& fft,
                                  double& dataFraction, double& fftPeriod, TMessageOwner owner,
                                  TResampler resample) {
    return SpectrumStage(series, nullptr, analyzeMode, windowFunction, view, fft, dataFraction,
                         fftPeriod, owner, resample);
}
