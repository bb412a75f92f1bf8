#pragma once
// The state of the spectrum window without its widgets: the borrowed spectrum
// and its scale, the regression band held by the two track bars with their
// ratios and label texts, and the arithmetic of the size spin edits.
//
// The desktop window keeps one of these and mirrors it in its controls; the
// command-line front keeps one per analysis and drives it the same way, so
// both go through the same steps in the same order.

#include <functional>
#include <string>

#include "base/translate.h"

class TComplexFFT;

// Track bars of the band: positions -50 ... 0, tenths of a decade below the
// top of the spectrum.
constexpr int kBandBarMinimum = -50;
constexpr int kBandBarMaximum = 0;

// The position SetBandFrequencies asks for: floor(log10(ratio) * 10 + 0.5),
// brought into the bars' range (a ratio that is not positive or not finite
// goes to the nearer end).
int BandPositionForRatio(double ratio);

// 10^(position * 0.1).
double BandRatioForPosition(int position);

// "上限周波数  %.5fHz" and "下限周波数  %.5fHz".
std::string UpperBandLabel(double frequency);
std::string LowerBandLabel(double frequency);

// trunc(n * fraction) / 2 - 1, but never beyond bin n/2 - 1 (above it the
// bins are mirrored aliases) and -1 for a product that is not finite.
int BinCountFor(int n, double fraction);

// The vertical size that makes one decade as long on both axes:
// trunc(horz * (pupper - plower) / (fupper - flower)), clamped to 100 ... 3000;
// equal frequency limits keep `currentVert`.
int AspectVerticalSize(int horz, int pupper, int plower, int fupper, int flower, int currentVert);

class TSpectrumState {
public:
    // The window's creation: no spectrum, fftPeriod 0.025, dataFraction 1.0,
    // bars at their design positions (upper -50, lower 0), then
    // SetBandFrequencies(1.0, 0.0001), which moves them to 0 and -40.
    TSpectrumState();

    // fftSize = n; dataFraction = fraction; binCount = BinCountFor(n, fraction).
    void SetFftSize(int n, double fraction);

    // Moves the bars to the nearest tenth of a decade of the two ratios.
    void SetBandFrequencies(double upperRatio, double lowerRatio);

    // Moves a bar as the user or the code does: the position is brought into
    // -50 ... 0, and only an actual change runs the change handler, which sets
    // the ratio and the label from fftPeriod and dataFraction.
    void SetUpperBarPosition(int position);
    void SetLowerBarPosition(int position);

    // Rewrites both labels for a series period: 0.5 / period * ratio.
    void UpdateBandLabels(double period);

    // The hand-over of a spectrum run: spectrum, SetFftSize, fftPeriod and
    // UpdateBandLabels(seriesPeriod), in that order.
    void TakeSpectrum(const TComplexFFT* fft, int n, double fraction, double runFftPeriod,
                      double seriesPeriod);

    // A drawing is possible: spectrum set, fftSize > 0 and binCount > 0.
    bool CanDraw() const;

    int UpperBarPosition() const { return upperBar; }
    int LowerBarPosition() const { return lowerBar; }
    const std::string& UpperLabel() const { return upperLabel; }
    const std::string& LowerLabel() const { return lowerLabel; }

    // Called after a bar moved or a label changed, so a window can mirror
    // the state in its controls.
    std::function<void()> onBandChanged;

    const TComplexFFT* spectrum = nullptr; // borrowed from the main window
    int fftSize = 0;
    int binCount = 0;
    double fftPeriod = 0.025;
    double dataFraction = 1.0;
    double upperRatio = 1.0;
    double lowerRatio = 0.0001;

private:
    void FupperBarChange();
    void FlowerBarChange();
    void Changed();

    int upperBar = kBandBarMinimum;
    int lowerBar = kBandBarMaximum;
    std::string upperLabel = Tr("上限周波数");
    std::string lowerLabel = Tr("下限周波数");
};
