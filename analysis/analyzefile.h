#pragma once
// One file's analysis as the desktop application performs it, without a
// display: the spectrum window's start-up state, the sampling step or the
// sample-file load, the spectrum stage, the hand-over and the drawing.

#include <optional>
#include <string>
#include <vector>

#include "analysis/analysisrun.h"
#include "analysis/fileoptions.h"
#include "analysis/lambdadiagnostics.h"
#include "engine/waveanalyze.h"

struct TFileReport {
    std::string file;
    bool ok = false;
    std::vector<std::string> errors; // texts as a user of the windows would read them
    std::string sampling;            // the sampler's name (SamplingName); "" for a sample file

    int count = 0;
    double period = 0.0;
    int fftSize = 0;
    int binCount = 0;
    int groups = 0;
    bool hasLine = false;
    double lambda = 0.0;
    double slope = 0.0;
    double intercept = 0.0;
    std::string lambdaText;

    // Fit quality of the line through the groups (three groups or more).
    std::optional<double> lambdaSe, lambdaCiLow, lambdaCiHigh, r2;
    // Lambda of the same run on the series with its mean subtracted.
    std::optional<double> lambdaMeanRemoved;
    // Detrended fluctuation analysis of the series (four scales or more).
    std::optional<double> dfaAlpha, betaDfa;
    // Lambda of shuffled copies of the series (when surrogates > 0).
    std::optional<double> surrogateMean, surrogateSd, surrogateP;
    // Short notes on how far lambda can be trusted.
    std::vector<TWarning> warnings;
    // The audio file sampled (empty for a sample file, or when it could not
    // be read).
    TInputFormat input;
};

// Analyses `file` with `options`, writing the requested outputs (their paths
// expanded for the file). Never throws; failures are in the report. The
// shuffled copies run through `parallelFor` (none: one after another).
TFileReport AnalyzeFile(const TFileOptions& options, const std::string& file,
                        TResampler resample = nullptr, const TParallelFor& parallelFor = nullptr);

// The report as one text line ("± SE" after lambda with three groups or
// more), or as one JSON object on one line (the surrogate fields when
// `surrogates`; absent values null).
std::string ReportLine(const TFileReport& report);
std::string ReportJson(const TFileReport& report, bool surrogates = false);

// The number as JSON writes it: the shortest text that reads back as the
// same double, "." whatever the locale; empty when not finite.
std::string ShortestNumber(double value);
