#pragma once
// Student's t distribution: the regularised incomplete beta function it rests
// on, its distribution function and its quantile, for any positive number of
// degrees of freedom.

// I_x(a, b) for a, b > 0 and 0 <= x <= 1; NaN outside that domain.
double RegularizedIncompleteBeta(double x, double a, double b);

// P(T <= t) for T with `df` degrees of freedom; NaN for df <= 0 or a NaN t.
double StudentTDistribution(double t, double df);

// The t with P(T <= t) = p, for 0 < p < 1 and df > 0; NaN otherwise.
double StudentTQuantile(double p, double df);
