#pragma once
// The settings of one file's analysis and the outputs it writes, as the
// command line and the validation program give them, and the rules for the
// names of those outputs.

#include <cstdint>
#include <optional>
#include <string>

#include "analysis/spectrumplot.h"

struct TFileOptions {
    int analyzeMode = 0;  // easy (0) or fixed (2) for WAV files
    int samplingMode = 0; // 0 frequency, 1 amplitude
    int periodMs = 25;
    int bias = 0;
    int windowFunction = 2; // rect 0, hanning 1, hamming 2
    // The band track bars as the user set them; unset keeps the window's
    // start-up positions (0 and -40).
    std::optional<int> bandUpper;
    std::optional<int> bandLower;
    TSpectrumSettings spectrum;
    int seriesWidth = 800;
    int seriesHeight = 320;
    std::string smpPath;
    std::string csvPath;
    std::string spectrumPngPath;
    std::string seriesPngPath;
    int surrogates = 0;     // shuffled copies of the series; 0 off, at most 9999
    std::uint64_t seed = 1; // copy m is shuffled with a generator seeded seed + m
};

// An output path for one input: "{name}" replaced by the input's base name
// without its extension.
std::string ExpandOutputPath(const std::string& pattern, const std::string& inputFile);

// True when the file name ends in ".smp" (any case).
bool IsSampleFileName(const std::string& file);
