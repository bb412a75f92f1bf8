#include "engine/leastsquare.h"

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
