#pragma once
// Command-line options of zittermark-cli.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "views/spectrumplot.h"

struct TCliOptions {
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
    int seriesWidth = 804;
    int seriesHeight = 324;
    std::string smpPath;
    std::string csvPath;
    std::string spectrumPngPath;
    std::string seriesPngPath;
    bool json = false;
    int jobs = 0;            // 0: the number of cores
    int surrogates = 0;      // shuffled copies of the series; 0 off, at most 9999
    std::uint64_t seed = 1;  // copy m is shuffled with a generator seeded seed + m
    std::string summaryPath; // CSV with one row per file
    std::vector<std::string> files;

    bool help = false;
    bool version = false;
};

// Parses argv[1 ...]. Returns the options, or nullopt with a message in
// `error` for a usage error (unknown option, missing or out-of-range value,
// conflicting options).
std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                           std::string& error);

// An output path for one input: "{name}" replaced by the input's base name
// without its extension.
std::string ExpandOutputPath(const std::string& pattern, const std::string& inputFile);

// True when the file name ends in ".smp" (any case).
bool IsSampleFileName(const std::string& file);

extern const char* const kCliUsage;
