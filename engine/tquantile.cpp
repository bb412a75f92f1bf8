#include "engine/tquantile.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The continued fraction of I_x(a, b) by the modified Lentz method; it
// converges quickly for x < (a + 1) / (a + b + 2).
double BetaContinuedFraction(double x, double a, double b) {
    constexpr double kTiny = 1e-300;
    constexpr double kEpsilon = 1e-16;
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    double c = 1.0;
    double d = 1.0 - qab * x / qap;
    if (std::fabs(d) < kTiny) {
        d = kTiny;
    }
    d = 1.0 / d;
    double h = d;
    for (int m = 1; m <= 1000; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kTiny) {
            d = kTiny;
        }
        c = 1.0 + aa / c;
        if (std::fabs(c) < kTiny) {
            c = kTiny;
        }
        d = 1.0 / d;
        h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kTiny) {
            d = kTiny;
        }
        c = 1.0 + aa / c;
        if (std::fabs(c) < kTiny) {
            c = kTiny;
        }
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < kEpsilon) {
            break;
        }
    }
    return h;
}

} // namespace

double RegularizedIncompleteBeta(double x, double a, double b) {
    if (!(a > 0.0) || !(b > 0.0) || !(x >= 0.0 && x <= 1.0)) {
        return kNaN;
    }
    if (x == 0.0 || x == 1.0) {
        return x;
    }
    const double logFront =
        std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
    const double front = std::exp(logFront);
    if (x < (a + 1.0) / (a + b + 2.0)) {
        return front * BetaContinuedFraction(x, a, b) / a;
    }
    return 1.0 - front * BetaContinuedFraction(1.0 - x, b, a) / b;
}

double StudentTDistribution(double t, double df) {
    if (!(df > 0.0) || std::isnan(t)) {
        return kNaN;
    }
    if (std::isinf(t)) {
        return t > 0 ? 1.0 : 0.0;
    }
    // Both tails: P(|T| > |t|) = I_{df / (df + t^2)}(df / 2, 1 / 2).
    const double tail = 0.5 * RegularizedIncompleteBeta(df / (df + t * t), 0.5 * df, 0.5);
    return t > 0 ? 1.0 - tail : tail;
}

double StudentTQuantile(double p, double df) {
    if (!(p > 0.0 && p < 1.0) || !(df > 0.0)) {
        return kNaN;
    }
    if (p == 0.5) {
        return 0.0;
    }
    // Solve I_x(df / 2, 1 / 2) = 2 * (smaller tail) for x by bisection: I is
    // increasing in x, and halving the interval until it cannot shrink any
    // further gives x to the last bit whatever the degrees of freedom.
    const double tail = p < 0.5 ? p : 1.0 - p;
    const double target = 2.0 * tail;
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 2000; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) {
            break;
        }
        if (RegularizedIncompleteBeta(mid, 0.5 * df, 0.5) < target) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    const double x = 0.5 * (lo + hi);
    // x = df / (df + t^2).
    const double t = std::sqrt(df * (1.0 - x) / x);
    return p < 0.5 ? -t : t;
}
