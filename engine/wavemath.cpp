#include "engine/wavemath.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The sums of (t / (x - i)) * values[i] over the source indices first ...
// last, split by the parity of i - first. Four running sums take the taps in
// turn (i - first = 0, 1, 2, 3 mod 4, with a tail of one to three taps going
// to the first ones), so that two divisions can be in flight at once; the
// SSE2 path and the portable one round and add in the same order and give the
// same bits. |t| is about the smallest |x - i| at most, so no weight is much
// above 1 in size and values near the largest double do not overflow on the
// way, as they would through values[i] / (x - i).
struct TParitySums {
    double even;
    double odd;
};

TParitySums WeightedSums(const double* values, double x, double t, int first, int last) {
    int i = first;
#if defined(__SSE2__)
    const __m128d xs = _mm_set1_pd(x);
    const __m128d ts = _mm_set1_pd(t);
    const __m128d two = _mm_set1_pd(2.0);
    const __m128d four = _mm_set1_pd(4.0);
    // Source indices as doubles, exact below 2^53: (i, i + 1).
    __m128d at = _mm_set_pd(first + 1.0, first);
    __m128d low = _mm_setzero_pd();
    __m128d high = _mm_setzero_pd();
    for (; i + 3 <= last; i += 4) {
        const __m128d lowWeights = _mm_div_pd(ts, _mm_sub_pd(xs, at));
        const __m128d highWeights = _mm_div_pd(ts, _mm_sub_pd(xs, _mm_add_pd(at, two)));
        low = _mm_add_pd(low, _mm_mul_pd(lowWeights, _mm_loadu_pd(values + i)));
        high = _mm_add_pd(high, _mm_mul_pd(highWeights, _mm_loadu_pd(values + i + 2)));
        at = _mm_add_pd(at, four);
    }
    if (i + 1 <= last) {
        const __m128d weights = _mm_div_pd(ts, _mm_sub_pd(xs, at));
        low = _mm_add_pd(low, _mm_mul_pd(weights, _mm_loadu_pd(values + i)));
        i += 2;
    }
    double sums[4];
    _mm_storeu_pd(sums, low);
    _mm_storeu_pd(sums + 2, high);
#else
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    for (; i + 3 <= last; i += 4) {
        for (int k = 0; k < 4; ++k) {
            sums[k] += (t / (x - static_cast<double>(i + k))) * values[i + k];
        }
    }
    if (i + 1 <= last) {
        for (int k = 0; k < 2; ++k) {
            sums[k] += (t / (x - static_cast<double>(i + k))) * values[i + k];
        }
        i += 2;
    }
#endif
    if (i <= last) {
        sums[0] += (t / (x - static_cast<double>(i))) * values[i];
    }
    return TParitySums{sums[0] + sums[2], sums[1] + sums[3]};
}

} // namespace

double Sinc(double x) {
    if (x == 0.0) {
        return 1.0;
    }
    return std::sin(x) / x;
}

void LowPassDecimate(const TWaveAnalyze& series, int block, TWaveAnalyze& decimated) {
    LowPassDecimateLess(series.values.get(), series.count, 0.0, block, decimated);
    decimated.period = series.period * block;
    decimated.unit = series.unit;
}

void LowPassDecimateLess(const double* values, int count, double offset, int block,
                         TWaveAnalyze& decimated) {
    block = std::max(block, 1);
    const int half = kDecimationTapsPerBlock * block;
    // A Blackman-windowed sinc cut at the decimated Nyquist frequency
    // 0.5 / block: its transition band, about 5.5 / taps wide (a few percent
    // of the band on either side of the cut), keeps the top of the band the
    // line is fitted to, and what lies beyond it is held below -70 dB
    // instead of folding down.
    const double taps = 2.0 * half + 1.0;
    const double cutoff = 0.5 / block;
    std::vector<double> weights(static_cast<std::size_t>(2 * half + 1));
    double total = 0.0;
    for (int j = -half; j <= half; ++j) {
        const double phase = 2.0 * kPi * (j + half) / (taps - 1.0);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
        const double weight = 2.0 * cutoff * Sinc(2.0 * kPi * cutoff * j) * window;
        weights[static_cast<std::size_t>(j + half)] = weight;
        total += weight;
    }
    for (double& weight : weights) {
        weight /= total;
    }
    decimated.count = count / block + (count % block != 0 ? 1 : 0);
    decimated.values = std::make_unique<double[]>(static_cast<std::size_t>(decimated.count));
    for (int m = 0; m < decimated.count; ++m) {
        const long long centre = static_cast<long long>(m) * block;
        const long long first = std::max<long long>(centre - half, 0);
        const long long last = std::min<long long>(centre + half, count - 1LL);
        double sum = 0.0;
        double used = 0.0;
        for (long long i = first; i <= last; ++i) {
            const double weight = weights[static_cast<std::size_t>(i - centre + half)];
            sum += weight * (values[i] - offset);
            used += weight;
        }
        // Near the ends fewer taps reach into the series; dividing by their
        // weight keeps a constant series constant there.
        decimated.values[m] = sum / used;
    }
}

void ResampleSeries(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction) {
    if (dataFraction > 1.0 && std::isfinite(dataFraction) && series.count > 1) {
        // More values than grid points: the sinc would pass everything above
        // the grid's Nyquist frequency through as aliases. A windowed-sinc
        // low-pass decimates the series first, leaving at most as many values
        // as grid points, which the sinc then carries onto the grid.
        const int block =
            static_cast<int>(std::min(std::ceil(dataFraction), static_cast<double>(series.count)));
        TWaveAnalyze decimated;
        LowPassDecimate(series, block, decimated);
        ResampleSeries(decimated, fft, dataFraction / block);
        return;
    }
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
            const double sign = (offset % 2 == 0) ? 1.0 : -1.0;
            if (s != 0.0) {
                // x is not a whole number, so no x - i is zero: the weights
                // are (-1)^(i - first) * t / (x - i) with t = sign * s / pi
                // computed once, which leaves one division, one product and
                // one addition per tap.
                const double t = sign * s / kPi;
                const TParitySums sums = WeightedSums(values, x, t, first, last);
                sum = sums.even - sums.odd;
            } else {
                // x sits exactly on a sample: that tap has the weight 1.0 and
                // every other one a signed zero, as the per-tap rule gives.
                double tapSign = sign;
                for (int i = first; i <= last; ++i) {
                    const double d = x - i;
                    const double weight = (d == 0.0) ? 1.0 : tapSign * s / (d * kPi);
                    sum += weight * values[i];
                    tapSign = -tapSign;
                }
            }
        }
        fft.SetValue(g, Complex{sum, 0.0});
    }
}

void ResampleSeriesLess(const double* values, int count, double offset, TComplexFFT& fft,
                        double dataFraction) {
    TWaveAnalyze series;
    if (dataFraction > 1.0 && std::isfinite(dataFraction) && count > 1) {
        // The decimation reads every value once and leaves a series no longer
        // than the grid: the offset is taken off there, without a copy of
        // the whole series.
        const int block =
            static_cast<int>(std::min(std::ceil(dataFraction), static_cast<double>(count)));
        LowPassDecimateLess(values, count, offset, block, series);
        ResampleSeries(series, fft, dataFraction / block);
        return;
    }
    series.count = count;
    series.values = std::make_unique<double[]>(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        series.values[i] = values[i] - offset;
    }
    ResampleSeries(series, fft, dataFraction);
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
