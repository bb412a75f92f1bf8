#pragma once
// The toolkit-free core of the two runs: the sampling step that turns the WAV
// file named in the main window into the sample series, and the spectrum
// stage that resamples, windows and transforms the series. The desktop
// handlers and the command-line front call exactly these functions, in the
// same order, so both give the same numbers.

#include <memory>
#include <string>

#include "base/messagebox.h"

class TComplexFFT;
class TWaveAnalyze;
class TSpectrumState;

enum TAnalyzeMode { kEasyMode = 0, kDetailedMode = 1, kFixedMode = 2 };
// The counting and level samplers first, then the two that measure pitch:
// interpolated crossings and aubio's f0.
enum TSamplingMode {
    kFrequencySampling = 0,
    kAmplitudeSampling = 1,
    kFineFrequencySampling = 2,
    kPitchSampling = 3,
};

// "frequency", "amplitude", "fine-frequency", "pitch"; "" for another value.
const char* SamplingName(int samplingMode);
enum TWindowFunction { kRectangularWindow = 0, kHanningWindow = 1, kHammingWindow = 2 };

// Ranges of the main window's spin edits.
constexpr int kSampleTimeMinimum = 5;
constexpr int kSampleTimeMaximum = 1000;
constexpr int kBiasMinimum = -32768;
constexpr int kBiasMaximum = 32767;

struct TSamplingParameters {
    double period; // seconds
    double bias;   // fraction of full scale
};

// The easy mode's constants 0.025 s and 2^-12; otherwise sampleTimeMs / 1000.0
// and biasValue * 2^-15, each box value first brought into its range.
TSamplingParameters SamplingParametersFor(int analyzeMode, int sampleTimeMs, int biasValue);

enum class TSamplingOutcome {
    Sampled,     // the series holds the new values and unit
    NoFileName,  // information box shown, nothing changed
    FileMissing, // error box shown, nothing changed
    Unreadable,  // error box "WAVファイルを読み込めません。", nothing changed
};

// The sampling step: checks the file name (empty; no such regular file) with
// their messages, then with the hourglass calls SampleFrequency (unit "Hz")
// or SampleAmplitude (unit "RMS"). A file the sampler cannot read stops the
// run with an error box and leaves the series as it was. Boxes go to `owner`.
TSamplingOutcome RunSamplingStep(TWaveAnalyze& series, const std::string& fileName,
                                 int samplingMode, const TSamplingParameters& parameters,
                                 TMessageOwner owner);

// The resampler used by the spectrum stage (the benchmarks swap in the
// direct formula as their baseline).
using TResampler = void (*)(const TWaveAnalyze&, TComplexFFT&, double);

enum class TSpectrumOutcome {
    Transformed, // fft holds the new spectrum
    NoData,      // information box shown; fft and the spectrum window unchanged
};

// The spectrum stage after the sampling step: refuses an empty series with
// its two-line message; in the easy mode resets the band of `view` to the
// whole spectrum; replaces `fft` by a new TComplexFFT of NextPowerOfTwo(count)
// values; with the hourglass sets the window weights, stores dataFraction and
// fftPeriod (the main window's fields of those names), resamples, applies the window (index > 0)
// and transforms. The hand-over to the spectrum window is TSpectrumState::TakeSpectrum.
TSpectrumOutcome RunSpectrumStage(const TWaveAnalyze& series, int analyzeMode, int windowFunction,
                                  TSpectrumState& view, std::unique_ptr<TComplexFFT>& fft,
                                  double& dataFraction, double& fftPeriod, TMessageOwner owner,
                                  TResampler resample = nullptr);

// A series held elsewhere, read as values[i] - offset for i < count.
struct TSeriesValues {
    const double* values;
    int count;
    double period;
    double offset;
};

// The same stage for such a series, with the bits a TWaveAnalyze holding
// values[i] - offset would give. With the built-in resampler a series longer
// than the grid is decimated straight from `values`, so no copy of it is
// made; a custom resampler is given such a copy.
TSpectrumOutcome RunSpectrumStage(const TSeriesValues& series, int analyzeMode, int windowFunction,
                                  TSpectrumState& view, std::unique_ptr<TComplexFFT>& fft,
                                  double& dataFraction, double& fftPeriod, TMessageOwner owner,
                                  TResampler resample = nullptr);

// The two texts the runs show.
extern const char* const kNoSamplingDataMessage;
extern const char* const kUnreadableWaveMessage;
