#pragma once
// The validation run: recordings of known beta analysed by the whole
// analysis, summarised as a Markdown table of beta against what each
// estimate recovers.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "validate/recordings.h"

struct TValidationConfig {
    std::vector<double> betas{0.0, 0.5, 1.0, 1.5, 2.0};
    std::vector<int> durations{60, 180, 300}; // seconds
    std::vector<int> rates{44100, 48000};
    std::vector<int> channels{1, 2};
    int seeds = 4; // seeds firstSeed ... firstSeed + seeds - 1
    std::uint64_t firstSeed = 1;
    std::vector<TModulation> modulations{TModulation::Amplitude, TModulation::Frequency};
    // The samplers that analyse the pitch-modulated recordings (TSamplingMode);
    // the loudness-modulated ones take the amplitude sampling.
    std::vector<int> frequencySamplers{0};
    // Shuffled copies of each series in the easy-mode run; 0 leaves the
    // baseline column out.
    int surrogates = 19;
    // Which analyses to run; the test switches the fixed ones off.
    bool fixedModes = true;
    int jobs = 1;           // recordings made and analysed at the same time
    std::string tempParent; // where the temporary folder goes; empty: $TMPDIR or /tmp
};

// What one recording gave.
struct TVariantResult {
    TRecordingSetup setup;
    bool ok = false;
    std::string error;
    // The easy mode (25 ms) and the fixed mode at 10 and 50 ms.
    std::optional<double> easy, fixed10, fixed50;
    // From the easy-mode run.
    std::optional<double> meanRemoved, betaDfa, surrogateMean;
};

// The recordings of a configuration, in the order the table lists them:
// modulation, beta, duration, rate, channels, seed.
std::vector<TRecordingSetup> ValidationRecordings(const TValidationConfig& config);

// Makes each recording in a temporary folder, analyses it, deletes it.
// `progress`, when given, is called after each recording with the number
// done (from the thread that finished it, one call at a time). The results
// are in the order of ValidationRecordings and do not depend on jobs.
std::vector<TVariantResult>
RunValidation(const TValidationConfig& config,
              std::function<void(std::size_t done, std::size_t total)> progress = nullptr);

// Mean and sample standard deviation of the present values of one column;
// nullopt when none is present (the SD is 0 for a single value).
struct TColumnStats {
    double mean = 0.0;
    double sd = 0.0;
    int n = 0;
};
std::optional<TColumnStats> ColumnStats(const std::vector<std::optional<double>>& values);

// The results as Markdown: a summary table over all variants per
// (modulation, beta) and a table of the easy-mode and mean-removed lambda
// by duration.
std::string ValidationMarkdown(const TValidationConfig& config,
                               const std::vector<TVariantResult>& results);
