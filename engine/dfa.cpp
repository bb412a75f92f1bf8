#include "engine/dfa.h"

#include <cmath>

#include "engine/leastsquare.h"

std::vector<int> DfaScales(long long count) {
    std::vector<int> scales;
    const long long c = count / 4;
    if (c < 16) {
        return scales;
    }
    for (int q = 0; q <= 15; ++q) {
        const int n = static_cast<int>(std::round(4.0 * std::pow(c / 16.0, q / 15.0)));
        if (scales.empty() || scales.back() != n) {
            scales.push_back(n);
        }
    }
    return scales;
}

std::vector<double> DfaProfile(const double* values, int count) {
    std::vector<double> profile(count > 0 ? count : 0);
    if (count <= 0) {
        return profile;
    }
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        sum += values[i];
    }
    const double mean = sum / count;
    double running = 0.0;
    for (int i = 0; i < count; ++i) {
        running += values[i] - mean;
        profile[i] = running;
    }
    return profile;
}

namespace {

// Sum of the squared residuals of the least-squares line through
// (i, y[i]), i = 0 ... n - 1. The line is fitted about the centre of the
// segment, which keeps the sums small whatever the profile's level.
double SegmentResidualSquares(const double* y, int n) {
    double sumY = 0.0;
    for (int i = 0; i < n; ++i) {
        sumY += y[i];
    }
    const double meanY = sumY / n;
    const double meanI = (n - 1) / 2.0;
    double sxy = 0.0;
    for (int i = 0; i < n; ++i) {
        sxy += (i - meanI) * (y[i] - meanY);
    }
    // sum of (i - meanI)^2 over 0 ... n - 1.
    const double sxx = static_cast<double>(n) * (static_cast<double>(n) * n - 1.0) / 12.0;
    const double b = sxy / sxx;
    double squares = 0.0;
    for (int i = 0; i < n; ++i) {
        const double r = (y[i] - meanY) - b * (i - meanI);
        squares += r * r;
    }
    return squares;
}

// F(n) as DfaFluctuation(DfaProfile(values, count), n) gives it, bit for
// bit, with the profile formed as the values are read: the same running sum,
// the same segment sums, added in the same order (the forward segments from
// the start, then the backward ones from the last down). It holds two
// segments of the profile and one sum per backward segment, not the whole
// profile.
double StreamedFluctuation(const double* values, int count, double mean, int n) {
    if (n < 2 || n > count) {
        return std::nan("");
    }
    const long long segments = count / n;
    // The backward segments start at rest + k * n, k = 0 ... segments - 1.
    const long long rest = count - segments * n;
    std::vector<double> forward(static_cast<std::size_t>(n));
    std::vector<double> backward(rest != 0 ? static_cast<std::size_t>(n) : 0);
    std::vector<double> backwardSquares(static_cast<std::size_t>(segments));
    double squares = 0.0;
    double running = 0.0;
    int filled = 0;
    long long done = 0;
    int backFilled = 0;
    long long backDone = 0;
    for (long long i = 0; i < count; ++i) {
        running += values[i] - mean;
        if (done < segments) {
            forward[filled++] = running;
            if (filled == n) {
                const double s = SegmentResidualSquares(forward.data(), n);
                squares += s;
                if (rest == 0) {
                    // The backward segments are the forward ones.
                    backwardSquares[done] = s;
                }
                filled = 0;
                ++done;
            }
        }
        if (rest != 0 && i >= rest) {
            backward[backFilled++] = running;
            if (backFilled == n) {
                backwardSquares[backDone++] = SegmentResidualSquares(backward.data(), n);
                backFilled = 0;
            }
        }
    }
    for (long long k = segments; k-- > 0;) {
        squares += backwardSquares[k];
    }
    const double points = 2.0 * static_cast<double>(segments) * n;
    return std::sqrt(squares / points);
}

} // namespace

double DfaFluctuation(const std::vector<double>& profile, int n) {
    const long long count = static_cast<long long>(profile.size());
    if (n < 2 || n > count) {
        return std::nan("");
    }
    const long long segments = count / n;
    double squares = 0.0;
    for (long long s = 0; s < segments; ++s) {
        squares += SegmentResidualSquares(profile.data() + s * n, n);
    }
    for (long long s = 0; s < segments; ++s) {
        squares += SegmentResidualSquares(profile.data() + (count - (s + 1) * n), n);
    }
    const double points = 2.0 * static_cast<double>(segments) * n;
    return std::sqrt(squares / points);
}

std::optional<TDfaResult> DetrendedFluctuation(const double* values, int count) {
    TDfaResult result;
    result.scales = DfaScales(count);
    if (result.scales.size() < 4) {
        return std::nullopt;
    }
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        sum += values[i];
    }
    const double mean = sum / count;
    std::vector<double> logN;
    std::vector<double> logF;
    for (int n : result.scales) {
        const double f = StreamedFluctuation(values, count, mean, n);
        if (!(f > 0.0) || !std::isfinite(f)) {
            return std::nullopt;
        }
        result.fluctuations.push_back(f);
        logN.push_back(std::log10(static_cast<double>(n)));
        logF.push_back(std::log10(f));
    }
    double intercept = 0.0;
    LeastSquareFit(&result.alpha, &intercept, logN.data(), logF.data(), 0,
                   static_cast<int>(logN.size()) - 1);
    result.beta = 2.0 * result.alpha - 1.0;
    return result;
}
