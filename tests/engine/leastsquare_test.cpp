// The least-squares line fit, on points whose sums are exact in double
// precision so that slope and intercept can be checked exactly.

#include "engine/leastsquare.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct TFitCase {
    const char* name;
    std::vector<double> x;
    std::vector<double> y;
    int first;
    int last;
    double slope;
    double intercept;
};

class LineFit : public testing::TestWithParam<TFitCase> {};

} // namespace

TEST_P(LineFit, GivesTheExactSlopeAndIntercept) {
    const TFitCase& c = GetParam();
    // Start from values the fit must overwrite in every case.
    double slope = 99.0;
    double intercept = -99.0;
    LeastSquareFit(&slope, &intercept, c.x.data(), c.y.data(), c.first, c.last);
    EXPECT_EQ(slope, c.slope);
    EXPECT_EQ(intercept, c.intercept);
}

INSTANTIATE_TEST_SUITE_P(
    Points, LineFit,
    testing::Values(
        TFitCase{"ThroughOrigin", {1, 2, 3}, {2, 4, 6}, 0, 2, 2.0, 0.0},
        TFitCase{"WithIntercept", {0, 1, 2}, {1, 3, 5}, 0, 2, 2.0, 1.0},
        TFitCase{"FallingLine",
                 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                 {2, 0.5, -1, -2.5, -4, -5.5, -7, -8.5, -10, -11.5},
                 0,
                 9,
                 -1.5,
                 2.0},
        // m = 4, Sx = 6, Sy = 5, Sxx = 14, Sxy = 12, D = 20: slope 18/20 and
        // intercept -2/20, each one correctly rounded division.
        TFitCase{"Scattered", {0, 1, 2, 3}, {0, 1, 1, 3}, 0, 3, 0.9, -0.1},
        TFitCase{"SinglePoint", {1, 2, 3}, {5, 7, 9}, 1, 1, 0.0, 0.0},
        TFitCase{"EmptyRange", {1, 2, 3}, {5, 7, 9}, 2, 1, 0.0, 0.0},
        TFitCase{"FarEmptyRange", {1, 2, 3}, {5, 7, 9}, 2, -40, 0.0, 0.0},
        TFitCase{"SameAbscissa", {2, 2, 2}, {1, 5, 9}, 0, 2, 0.0, 0.0},
        // Only first ... last are read: the NaNs around them change nothing.
        TFitCase{"InnerRangeOnly", {kNaN, 1, 2, 3, kNaN}, {kNaN, 2, 4, 6, kNaN}, 1, 3, 2.0, 0.0}),
    [](const testing::TestParamInfo<TFitCase>& info) { return info.param.name; });

TEST(LineFitNaN, NaNInsideTheRangeGivesNaNOutputs) {
    const double x[3] = {1, kNaN, 3};
    const double y[3] = {2, 4, 6};
    double slope = 0.0;
    double intercept = 0.0;
    LeastSquareFit(&slope, &intercept, x, y, 0, 2);
    EXPECT_TRUE(std::isnan(slope));
    EXPECT_TRUE(std::isnan(intercept));
}

TEST(FitQuality, HandComputedSmallCases) {
    // (0, 0), (1, 2), (2, 1): slope 0.5, intercept 0.5, residuals -0.5, 1,
    // -0.5; s^2 = 1.5; se = sqrt(1.5 / 2); R^2 = 1 - 1.5 / 2.
    const double x[] = {0, 1, 2};
    const double y[] = {0, 2, 1};
    TFitQuality q{};
    ASSERT_TRUE(FitQualityOf(x, y, 3, 0.5, 0.5, q));
    EXPECT_DOUBLE_EQ(q.se, std::sqrt(0.75));
    EXPECT_DOUBLE_EQ(q.r2, 0.25);
    // lambda = -0.5, t(0.975, 1) = 12.7062047...
    EXPECT_NEAR(q.ciLow, -0.5 - 12.7062047 * std::sqrt(0.75), 1e-6);
    EXPECT_NEAR(q.ciHigh, -0.5 + 12.7062047 * std::sqrt(0.75), 1e-6);

    // Five points: y = 2 - x with residuals 0.1, -0.1, 0, -0.1, 0.1.
    const double x5[] = {0, 1, 2, 3, 4};
    const double y5[] = {2.1, 0.9, 0, -1.1, -1.9};
    ASSERT_TRUE(FitQualityOf(x5, y5, 5, -1.0, 2.0, q));
    EXPECT_NEAR(q.se, std::sqrt(0.04 / 3 / 10), 1e-15);
    EXPECT_NEAR(q.r2, 1.0 - 0.04 / 10.04, 1e-15);
    EXPECT_NEAR(q.ciHigh - q.ciLow, 2 * 3.1824463 * std::sqrt(0.04 / 30), 1e-7);
    EXPECT_NEAR((q.ciHigh + q.ciLow) / 2, 1.0, 1e-15);
}

TEST(FitQuality, ExactAndLevelLines) {
    const double x[] = {-2, -1.5, -1, -0.5};
    const double y[] = {1, 0, -1, -2};
    TFitQuality q{};
    ASSERT_TRUE(FitQualityOf(x, y, 4, -2.0, -3.0, q));
    EXPECT_EQ(q.se, 0.0);
    EXPECT_EQ(q.r2, 1.0);
    EXPECT_EQ(q.ciLow, 2.0);
    EXPECT_EQ(q.ciHigh, 2.0);
    // Every y equal: R^2 is 1, not 0 / 0, and lambda reads 0, not -0.
    const double level[] = {-3, -3, -3, -3};
    ASSERT_TRUE(FitQualityOf(x, level, 4, 0.0, -3.0, q));
    EXPECT_EQ(q.r2, 1.0);
    EXPECT_FALSE(std::signbit(q.ciLow));
}

TEST(FitQuality, AbsentBelowThreePointsOrForOneAbscissa) {
    const double x[] = {0, 1, 2};
    const double y[] = {0, 2, 1};
    TFitQuality q{7, 7, 7, 7};
    EXPECT_FALSE(FitQualityOf(x, y, 2, 2.0, 0.0, q));
    EXPECT_FALSE(FitQualityOf(x, y, 0, 0.0, 0.0, q));
    const double same[] = {1, 1, 1};
    EXPECT_FALSE(FitQualityOf(same, y, 3, 0.0, 1.0, q));
    EXPECT_EQ(q.se, 7);
}
