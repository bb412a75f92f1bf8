#include "analysis/spectrumstate.h"

#include <algorithm>
#include <cmath>

#include "base/textformat.h"
#include "base/translate.h"

int BandPositionForRatio(double ratio) {
    double position = std::floor(std::log10(ratio) * 10 + 0.5);
    if (std::isnan(position)) {
        // log10 of a negative ratio: no band below the bottom of the bars.
        return kBandBarMinimum;
    }
    if (position < kBandBarMinimum) {
        return kBandBarMinimum;
    }
    if (position > kBandBarMaximum) {
        return kBandBarMaximum;
    }
    return static_cast<int>(position);
}

double BandRatioForPosition(int position) {
    return std::pow(10.0, position * 0.1);
}

std::string UpperBandLabel(double frequency) {
    return TrSubst("上限周波数  %sHz", {FormatFixed(frequency, 5)});
}

std::string LowerBandLabel(double frequency) {
    return TrSubst("下限周波数  %sHz", {FormatFixed(frequency, 5)});
}

int BinCountFor(int n, double fraction) {
    double product = std::trunc(static_cast<double>(n) * fraction);
    if (!std::isfinite(product) || product < 0) {
        return -1;
    }
    // Halve before converting, so a huge fraction cannot overflow the int.
    double halved = std::trunc(product / 2);
    long long count = static_cast<long long>(std::min(halved, 1e18)) - 1;
    long long limit = static_cast<long long>(n / 2) - 1;
    return static_cast<int>(std::min(count, limit));
}

int AspectVerticalSize(int horz, int pupper, int plower, int fupper, int flower, int currentVert) {
    int frequencyDecades = fupper - flower;
    if (frequencyDecades == 0) {
        return currentVert;
    }
    double size = std::trunc(static_cast<double>(horz) * (pupper - plower) / frequencyDecades);
    return static_cast<int>(std::clamp(size, 100.0, 3000.0));
}

TSpectrumState::TSpectrumState() {
    SetBandFrequencies(1.0, 0.0001);
}

void TSpectrumState::SetFftSize(int n, double fraction) {
    fftSize = n;
    dataFraction = fraction;
    binCount = BinCountFor(n, fraction);
}

void TSpectrumState::SetBandFrequencies(double upper, double lower) {
    SetUpperBarPosition(BandPositionForRatio(upper));
    SetLowerBarPosition(BandPositionForRatio(lower));
}

void TSpectrumState::SetUpperBarPosition(int position) {
    position = std::clamp(position, kBandBarMinimum, kBandBarMaximum);
    if (position == upperBar) {
        return;
    }
    upperBar = position;
    FupperBarChange();
}

void TSpectrumState::SetLowerBarPosition(int position) {
    position = std::clamp(position, kBandBarMinimum, kBandBarMaximum);
    if (position == lowerBar) {
        return;
    }
    lowerBar = position;
    FlowerBarChange();
}

void TSpectrumState::FupperBarChange() {
    upperRatio = BandRatioForPosition(upperBar);
    upperLabel = UpperBandLabel(0.5 / fftPeriod * dataFraction * upperRatio);
    Changed();
}

void TSpectrumState::FlowerBarChange() {
    lowerRatio = BandRatioForPosition(lowerBar);
    lowerLabel = LowerBandLabel(0.5 / fftPeriod * dataFraction * lowerRatio);
    Changed();
}

void TSpectrumState::UpdateBandLabels(double period) {
    upperLabel = UpperBandLabel(0.5 / period * upperRatio);
    lowerLabel = LowerBandLabel(0.5 / period * lowerRatio);
    Changed();
}

void TSpectrumState::TakeSpectrum(const TComplexFFT* fft, int n, double fraction,
                                  double runFftPeriod, double seriesPeriod) {
    spectrum = fft;
    SetFftSize(n, fraction);
    fftPeriod = runFftPeriod;
    UpdateBandLabels(seriesPeriod);
}

bool TSpectrumState::CanDraw() const {
    return spectrum != nullptr && fftSize > 0 && binCount > 0;
}

void TSpectrumState::Changed() {
    if (onBandChanged) {
        onBandChanged();
    }
}
