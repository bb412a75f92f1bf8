#pragma once
// Checks on a run's lambda that reuse its spectral stage: lambda of the
// series with its mean removed, and lambda of shuffled copies of the series,
// which keep its values but have no order at all.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysisrun.h"
#include "base/warning.h"
#include "engine/dfa.h"
#include "engine/leastsquare.h"

class TSpectrumState;
class TWaveAnalyze;
struct TSpectrumDrawing;

// Lambda of `values` as a run with these settings would report it: the
// spectrum stage (in the easy mode with its band reset), the hand-over to a
// copy of `band` (the run's spectrum window state, whose bars give the band)
// and the groups and line of the drawing. Absent when no line is fitted.
std::optional<double> SpectralLambda(const std::vector<double>& values, double period,
                                     int analyzeMode, int windowFunction,
                                     const TSpectrumState& band, TResampler resample = nullptr);

// The same for a series read in place as values[i] - offset.
std::optional<double> SpectralLambda(const TSeriesValues& series, int analyzeMode,
                                     int windowFunction, const TSpectrumState& band,
                                     TResampler resample = nullptr);

// The sum of the values in index order divided by count; 0 for none.
double SeriesMean(const double* values, int count);

// The values minus their mean, the mean being the sum of the values in index
// order divided by count.
std::vector<double> MeanRemoved(const double* values, int count);

// Fisher-Yates from the last index down: for i = size - 1 ... 1,
// j = g() % (i + 1) with a std::mt19937_64 g seeded `seed`, then swap.
void ShuffleValues(std::vector<double>& values, std::uint64_t seed);

// Runs body(0) ... body(n - 1), in any order and on any threads; returns when
// all are done. The bodies must not throw.
using TParallelFor = std::function<void(int n, const std::function<void(int)>& body)>;

// The lambdas of `copies` shuffled copies of the series, copy m shuffled with
// the seed seed + m, each through SpectralLambda. Entry m belongs to copy m
// whatever `parallelFor` does (none: one after another). An entry is absent
// when its copy gave no line or its computation failed.
std::vector<std::optional<double>> SurrogateLambdas(const TWaveAnalyze& series, int analyzeMode,
                                                    int windowFunction, const TSpectrumState& band,
                                                    int copies, std::uint64_t seed,
                                                    const TParallelFor& parallelFor = nullptr,
                                                    TResampler resample = nullptr);

struct TSurrogateSummary {
    double mean;
    std::optional<double> sd; // sample SD; absent for a single copy
    double p;                 // (1 + #{copies with lambda >= the run's}) / (copies + 1)
    int copies;               // copies that gave a lambda
};

// The summary of the copies that gave a lambda, in copy order; absent when
// none did.
std::optional<TSurrogateSummary>
SummarizeSurrogates(const std::vector<std::optional<double>>& lambdas, double lambda);

// What is reported beside a run's lambda.
struct TLambdaCheck {
    int groups = 0;
    std::optional<TFitQuality> quality;      // three groups or more
    std::optional<double> lambdaMeanRemoved; // when the run has a line
    std::optional<TDfaResult> dfa;           // four scales or more
    std::vector<TWarning> warnings;
};

// The checks for a run on `values` (the sampled series) whose drawing with
// the spectrum window state `view` is `drawing`.
TLambdaCheck CheckLambda(const double* values, int count, double period, int analyzeMode,
                         int windowFunction, const TSpectrumState& view,
                         const TSpectrumDrawing& drawing, TResampler resample = nullptr);

// The warning texts (source texts; the reports carry their translations).
extern const char* const kBandHoldsBinOneWarning;
extern const char* const kFewGroupsWarning;
extern const char* const kPoorFitWarning;
extern const char* const kTooShortForDfaWarning;
extern const char* const kSilentSpectrumWarning;
extern const char* const kOverflowedSpectrumWarning;
