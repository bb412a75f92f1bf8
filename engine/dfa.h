#pragma once
// First-order detrended fluctuation analysis of a series: the fluctuation
// F(n) of its profile around straight segment fits at a set of scales n, and
// the exponent alpha of F(n) ~ n^alpha. For a series whose power spectrum
// falls as 1/f^beta, beta = 2 * alpha - 1.

#include <optional>
#include <vector>

// The scales for `count` values: with c = floor(count / 4), the values
// round(4 * (c / 16)^(q / 15)), q = 0 ... 15, halves away from zero, without
// repeats. None when c < 16.
std::vector<int> DfaScales(long long count);

// The profile Y_j = sum over i <= j of (x_i - mean), the mean being the sum of
// the values in index order divided by count.
std::vector<double> DfaProfile(const double* values, int count);

// F(n) of a profile: the floor(count / n) segments of n points from the start
// and as many from the end, the least-squares line through (j, Y_j) removed
// in each; the square root of the mean squared residual over all points of
// all those segments. NaN when n < 2 or n > count.
double DfaFluctuation(const std::vector<double>& profile, int n);

struct TDfaResult {
    double alpha;            // least-squares slope of log10 F(n) on log10 n
    double beta;             // 2 * alpha - 1
    std::vector<int> scales; // the scales used
    std::vector<double> fluctuations;
};

// The whole analysis. Absent with fewer than four scales, and when some F(n)
// is zero (a series whose profile is piecewise straight, such as a constant
// one), where the logarithm is undefined.
std::optional<TDfaResult> DetrendedFluctuation(const double* values, int count);
