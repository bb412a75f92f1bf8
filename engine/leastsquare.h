#pragma once

// Fits y = slope * x + intercept through the points first ... last (inclusive)
// of x and y by ordinary least squares. Both outputs are always written;
// they are 0 when the points do not determine a line (D = 0 exactly,
// including a single point and an empty range). The caller keeps
// first ... last inside both arrays.
void LeastSquareFit(double* slope, double* intercept, const double* x, const double* y, int first,
                    int last);

// How well a fitted line y = slope * x + intercept describes k points, and
// how far its negated slope, lambda, can be trusted.
struct TFitQuality {
    double se;    // standard error of the slope (and of lambda)
    double ciLow; // lambda -+ t(0.975, k - 2) * se
    double ciHigh;
    double r2; // coefficient of determination; 1 when every y is equal
};

// Residuals r = y - (slope * x + intercept); s^2 = sum r^2 / (k - 2);
// se = sqrt(s^2 / sum (x - mean x)^2). Needs k >= 3 and x values that are not
// all equal; otherwise gives false and leaves `quality` untouched.
bool FitQualityOf(const double* x, const double* y, int k, double slope, double intercept,
                  TFitQuality& quality);
