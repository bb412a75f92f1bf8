#pragma once
// What the spectrum window tells about the lambda of the graph it shows: the
// checks of lambdadiagnostics for that graph, as the text of the graph's
// tooltip.

#include <string>
#include <vector>

#include "analysis/lambdadiagnostics.h"

class TSpectrumState;
struct TSpectrumDrawing;

// The series and window function of the run whose spectrum the window shows.
// A copy: the main window's series can be replaced by a later sampling run
// while the window still shows (and redraws) the older spectrum.
struct TShownRun {
    std::vector<double> values;
    double period = 0.0;
    int windowFunction = kHammingWindow;
};

// CheckLambda for `drawing`, drawn from `view`, of `run`. The mean-removed
// lambda is taken over the band `view` holds, the band of the graph: the easy
// mode's reset of the band belongs to the run itself, so the check keeps the
// band as it stands (right after a run that is the reset band, and the numbers
// are those of the command-line front; after the user moved the bars and
// redrew, it is the band of the line shown).
TLambdaCheck CheckShownLambda(const TShownRun& run, const TSpectrumState& view,
                              const TSpectrumDrawing& drawing);

// The tooltip of the graph: lambda as the graph writes it with "± SE", the
// 95 % interval, R², the number of groups k, the mean-removed lambda and
// beta_DFA, three decimals each, "." whatever the locale; "—" for a value
// that is absent (no line, fewer than 3 groups, a series too short for DFA).
std::string LambdaTooltip(const TSpectrumDrawing& drawing, const TLambdaCheck& check);
