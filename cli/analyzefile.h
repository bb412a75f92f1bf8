#pragma once
// One file's analysis as the desktop application performs it, without a
// display: the spectrum window's start-up state, the sampling step or the
// sample-file load, the spectrum stage, the hand-over and the drawing.

#include <string>
#include <vector>

#include "app/analysisrun.h"
#include "cli/options.h"

struct TFileReport {
    std::string file;
    bool ok = false;
    std::vector<std::string> errors; // texts as a user of the windows would read them

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
};

// Analyses `file` with `options`, writing the requested outputs (their paths
// expanded for the file). Never throws; failures are in the report.
TFileReport AnalyzeFile(const TCliOptions& options, const std::string& file,
                        TResampler resample = nullptr);

// The report as one text line, or as one JSON object.
std::string ReportLine(const TFileReport& report);
std::string ReportJson(const TFileReport& report);
