#pragma once
// The truncated sinc interpolator that carries a sample series onto the
// power-of-two grid of an FFT.

class TWaveAnalyze;
class TComplexFFT;

// 1.0 when x == 0.0, otherwise sin(x) / x (NaN for NaN).
double Sinc(double x);

// For every output index g = 0 ... N-1: x = g * dataFraction, c = trunc(x),
// and the value is the sum over source indices i = c - 64 ... c + 64 inside
// the series of Sinc((x - i) * pi) * values[i] (imaginary part 0). Fills all
// N values of fft. series.count >= 1.
//
// Evaluates one sine per output point, using
// sin((x - i) pi) = (-1)^(r - i) sin((x - r) pi) with r the integer nearest
// to x (so that the shared sine is taken at |x - r| <= 1/2, where it is
// accurate relative to its size), with the factor sin / pi taken out of the
// sum so that each tap costs one division (two taps per SSE2 instruction);
// an exact x == i keeps the weight 1.0.
// Agrees with the direct formula to 1e-12 relative to the largest |value|.
//
// When dataFraction > 1 (more values than grid points), the series is first
// low-passed and decimated by LowPassDecimate with B = ceil(dataFraction),
// and the result is carried onto the grid as above with dataFraction / B;
// this costs about 2 * kDecimationTapsPerBlock taps per value of the series,
// whatever dataFraction is.
void ResampleSeries(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction);

// Taps on each side of a decimated value, per value of the block.
constexpr int kDecimationTapsPerBlock = 64;

// Low-passes the series with a Blackman-windowed sinc cut at 0.5 / block
// cycles per value (the Nyquist frequency after decimation; the transition
// band is about 5.5 / (2 * kDecimationTapsPerBlock * block) wide around it),
// normalised to a gain of exactly 1 at 0 Hz, and keeps every block-th value:
// value m is centred on source value m * block, with the weights of the taps
// that fall outside the series left out and the rest renormalised. The result
// has ceil(count / block) values, block times the period and the same unit.
void LowPassDecimate(const TWaveAnalyze& series, int block, TWaveAnalyze& decimated);

// The same for `count` raw values each read less `offset` (the sum is over
// weight * (values[i] - offset)); sets the count and values of `decimated`
// only.
void LowPassDecimateLess(const double* values, int count, double offset, int block,
                         TWaveAnalyze& decimated);

// ResampleSeries of the series values[i] - offset, i < count, with the bits
// a copy of that series would give, holding no such copy when the series is
// decimated first (dataFraction > 1).
void ResampleSeriesLess(const double* values, int count, double offset, TComplexFFT& fft,
                        double dataFraction);

// The direct formula, 129 sines per output point: the reference for tests and
// the baseline for benchmarks.
void ResampleSeriesDirect(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction);
