#pragma once
// The text entries of a saved graph: the program and version, the input's
// name and the run's settings, so a PNG found later tells how it was made.
// The windows and the command line write the same entries for the same run.

#include <string>

#include "graph/png.h"

class TSpectrumState;
struct TSpectrumDrawing;

// The run a graph comes from.
struct TRunDescription {
    std::string input;      // the recording or sample file; its folder is not written
    int analyzeMode = 0;    // TAnalyzeMode
    std::string unit;       // the series' unit: "Hz" frequency, "RMS" amplitude
    double period = 0.0;    // seconds
    int windowFunction = 2; // TWindowFunction of the spectrum run
};

// Software, Source, Analysis mode, Sampling and Sampling period.
TPngText SeriesPngText(const TRunDescription& run);

// The series entries, then Window function, Regression band (the frequencies
// of the band's first and last bins, "none" when it holds none) and Lambda
// (three decimals, "none" without a line) of `drawing`, drawn from `state`.
TPngText SpectrumPngText(const TRunDescription& run, const TSpectrumState& state,
                         const TSpectrumDrawing& drawing);
