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
// low-passed and decimated by taking the means of consecutive blocks of
// B = ceil(dataFraction) values (the last block may be shorter), and those
// means are carried onto the grid as above with dataFraction / B; this costs
// one pass over the series on top of the grid's taps.
void ResampleSeries(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction);

// The direct formula, 129 sines per output point: the reference for tests and
// the baseline for benchmarks.
void ResampleSeriesDirect(const TWaveAnalyze& series, TComplexFFT& fft, double dataFraction);
