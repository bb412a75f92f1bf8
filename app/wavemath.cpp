#include "app/wavemath.h"

#include <algorithm>
#include <cmath>

#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Source indices i = c - 64 ... c + 64 around an output point feed it.
constexpr int kHalfWidth = 128 / 2;

// The source indices that feed the output point at position x: those of
// trunc(x) - 64 ... trunc(x) + 64 that lie inside a series of `count` values.
// Returns false when none does (including a position that is not a number),
// so that no out-of-range value is ever converted to an index.
bool SourceRange(double x, int count, int* first, int* last) {
    const double c = std::trunc(x);
    const double lo = std::max(c - kHalfWidth, 0.0);
    const double hi = std::min(c + kHalfWidth, count - 1.0);
    if (!(lo <= hi)) {
        return false;
    }
    *first = static_cast<int>(lo);
    *last = static_cast<int>(hi);
    return true;
}

} // namespace

double Sinc(double x) {
    if (x == 0.0) {
        return 1.0;
    }
    return std::sin(x) / x;
}

void ResampleSeries(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction) {
    const double* values = series.values.get();
    for (int g = 0; g < fft.count; ++g) {
        const double x = g * dataFraction;
        double sum = 0.0;
        int first = 0;
        int last = -1;
        if (SourceRange(x, series.count, &first, &last)) {
            // sin((x - i) pi) = (-1)^(r - i) sin((x - r) pi) for any whole r,
            // so one sine serves all 129 taps and only the sign alternates.
            // r is the integer nearest to x rather than trunc(x): with
            // |x - r| <= 1/2 the shared sine keeps its full relative accuracy,
            // whereas sin((x - c) pi) for x - c close to 1 is a small value
            // computed near pi, and its absolute rounding error would be
            // magnified in the weight of the nearest source index.
            const double r = std::round(x);
            const double s = std::sin((x - r) * kPi);
            const long long offset = static_cast<long long>(r) - first;
            double sign = (offset % 2 == 0) ? 1.0 : -1.0;
            for (int i = first; i <= last; ++i) {
                const double d = x - i;
                const double weight = (d == 0.0) ? 1.0 : sign * s / (d * kPi);
                sum += weight * values[i];
                sign = -sign;
            }
        }
        fft.SetValue(g, Complex{sum, 0.0});
    }
}

void ResampleSeriesDirect(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction) {
    const double* values = series.values.get();
    for (int g = 0; g < fft.count; ++g) {
        const double x = g * dataFraction;
        double sum = 0.0;
        int first = 0;
        int last = -1;
        if (SourceRange(x, series.count, &first, &last)) {
            for (int i = first; i <= last; ++i) {
                sum += Sinc((x - i) * kPi) * values[i];
            }
        }
        fft.SetValue(g, Complex{sum, 0.0});
    }
}
