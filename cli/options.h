#pragma once
// Command-line options of zittermark-cli.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/fileoptions.h"
#include "base/translate.h"

// The options of one run: the analysis of each file, and how the run reports.
struct TCliOptions : TFileOptions {
    bool json = false;
    int jobs = 0;            // 0: the number of cores
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

// Checks the run's outputs before anything is read: with every {name}
// expanded for every input, no output may be an input, another output (of
// the same or another input) or the summary. Paths are compared made
// absolute with their existing links resolved, and as files where both
// exist; devices, FIFOs and descriptor names such as /dev/stdout, which
// are written without replacing anything, are exempt. Returns a message
// naming both paths for the first clash.
std::optional<std::string> FindOutputClash(const TCliOptions& options);

extern const char* const kCliUsage;
