#pragma once

// Fits y = slope * x + intercept through the points first ... last (inclusive)
// of x and y by ordinary least squares. Both outputs are always written;
// they are 0 when the points do not determine a line (D = 0 exactly,
// including a single point and an empty range). The caller keeps
// first ... last inside both arrays.
void LeastSquareFit(double* slope, double* intercept, const double* x, const double* y, int first,
                    int last);
