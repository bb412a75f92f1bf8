#pragma once
// The spectrum plot: the power spectrum normalised to its peak on log-log
// axes, the regression band averaged in tenths of a decade, the
// least-squares line through those groups and its negated slope, lambda.

#include <memory>
#include <string>
#include <vector>

#include "base/messagebox.h"
#include "graph/canvas.h"

class TSpectrumState;
class TXYGraph;
struct TRunDescription;

// What a drawing reads of the spectrum window's controls.
struct TSpectrumSettings {
    int FupperBox = 2;     // x axis up to 10^FupperBox Hz, -4 ... 4
    int FlowerBox = -3;    // x axis from 10^FlowerBox Hz
    int PupperBox = 0;     // y axis up to 10^PupperBox, -10 ... 10
    int PlowerBox = -9;    // y axis from 10^PlowerBox
    int HorzSizeBox = 350; // plotting area, 100 ... 3000 pixels
    int VertSizeBox = 630;
    int DrawMethodBox = 2; // 0 points, 1 polyline, otherwise histogram
};

enum TDrawMethod { kDrawPoints = 0, kDrawPolyline = 1, kDrawHistogram = 2 };

// Stands in for the logarithm of a value that is not positive.
constexpr double kLogOfNothing = -3.4e38;

// The result of one drawing.
struct TSpectrumDrawing {
    // The graph (at the asked scale), or null when nothing was drawn (binCount < 1 or settings
    // refused); the window then keeps its previous image.
    std::unique_ptr<TXYGraph> graph;
    std::vector<double> gx; // band groups: lower edge (log10 Hz)
    std::vector<double> gy; // mean log10 relative power
    double slope = 0.0;
    double intercept = 0.0;
    // A line and slope text were drawn: at least one group and a usable peak.
    bool hasLine = false;
    std::string lambdaText; // "λ = %.3f" when hasLine
    int firstBin = 0;       // the bins of the band, when it holds any
    int lastBin = 0;
    // False when a file name was given and the PNG could not be written,
    // with the reason in saveError.
    bool saved = true;
    std::string saveError;

    TSpectrumDrawing();
    ~TSpectrumDrawing();
    TSpectrumDrawing(TSpectrumDrawing&&) noexcept;
    TSpectrumDrawing& operator=(TSpectrumDrawing&&) noexcept;
};

// The points, band groups and line of a drawing, without the graph.
struct TSpectrumFit {
    std::vector<double> xs; // log10 frequency of bins 1 ... binCount
    std::vector<double> ys; // log10 power relative to the peak
    std::vector<double> gx; // band groups, as in TSpectrumDrawing
    std::vector<double> gy;
    double slope = 0.0;
    double intercept = 0.0;
    bool hasLine = false;
    int firstBin = 0; // the band's bins first ... last; 0 when it holds none
    int lastBin = 0;
};

// The groups and line DrawSpectrum draws for `state`; nothing when there is
// no spectrum to draw. Does not check the settings.
TSpectrumFit FitSpectrum(const TSpectrumState& state);

// The three checks in order: the band bars, the frequency range, the power
// range. The first that fails shows its error box with `owner` and gives
// false.
bool CheckSettings(int flowerBar, int fupperBar, const TSpectrumSettings& settings,
                   TMessageOwner owner);

// Draws the spectrum held by `state` with `settings` and, when fileName is not
// empty, saves the graph as PNG, with the text entries of `run` when given.
// Messages of CheckSettings go to `owner`. The graph returned is drawn at
// `scale` bitmap pixels per graph pixel (for a screen's pixel density); the
// PNG is always drawn at scale 1.
TSpectrumDrawing DrawSpectrum(const TSpectrumState& state, const TSpectrumSettings& settings,
                              const std::string& fileName, TMessageOwner owner,
                              const TRunDescription* run = nullptr, double scale = 1.0);

// Why `drawing`, made from `state`, has no line, for the user: the spectrum
// is zero everywhere (a silent recording), the spectrum has too few points
// for the band to hold one, or the band holds no group. Empty when it has a
// line or nothing was drawn.
std::string NoLineReason(const TSpectrumState& state, const TSpectrumDrawing& drawing);
