#include "engine/leastsquare.h"

#include <cmath>

#include "engine/tquantile.h"

void LeastSquareFit(double* slope, double* intercept, const double* x, const double* y, int first,
                    int last) {
    // The point count is formed in 64 bits so that no index pair can
    // overflow it; an empty range gives m <= 0 and sums of 0.
    const double m = static_cast<double>(static_cast<long long>(last) - first + 1);
    double sx = 0.0;
    double sy = 0.0;
    double sxx = 0.0;
    double sxy = 0.0;
    // A 64-bit index cannot step past a last of INT_MAX.
    for (long long i = first; i <= last; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = m * sxx - sx * sx;
    if (d == 0.0) {
        // All abscissae equal (or fewer than two points): no line is determined.
        *slope = 0.0;
        *intercept = 0.0;
        return;
    }
    *slope = (m * sxy - sx * sy) / d;
    *intercept = (sxx * sy - sxy * sx) / d;
}

bool FitQualityOf(const double* x, const double* y, int k, double slope, double intercept,
                  TFitQuality& quality) {
    if (k < 3) {
        return false;
    }
    double sumX = 0.0;
    double sumY = 0.0;
    for (int m = 0; m < k; ++m) {
        sumX += x[m];
        sumY += y[m];
    }
    const double meanX = sumX / k;
    const double meanY = sumY / k;
    double residualSquares = 0.0;
    double spreadX = 0.0;
    double spreadY = 0.0;
    for (int m = 0; m < k; ++m) {
        const double r = y[m] - (slope * x[m] + intercept);
        residualSquares += r * r;
        spreadX += (x[m] - meanX) * (x[m] - meanX);
        spreadY += (y[m] - meanY) * (y[m] - meanY);
    }
    if (!(spreadX > 0.0)) {
        return false;
    }
    const double s2 = residualSquares / (k - 2);
    const double se = std::sqrt(s2 / spreadX);
    const double halfWidth = StudentTQuantile(0.975, k - 2) * se;
    // 0 - slope: a level line reads 0, not -0.
    const double lambda = 0.0 - slope;
    quality.se = se;
    quality.ciLow = lambda - halfWidth;
    quality.ciHigh = lambda + halfWidth;
    quality.r2 = spreadY == 0.0 ? 1.0 : 1.0 - residualSquares / spreadY;
    return true;
}
