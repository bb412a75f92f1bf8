// Student's t quantile against published table values and against its own
// distribution function.

#include "engine/tquantile.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(StudentT, QuantilesMatchTheTables) {
    struct {
        double p;
        double df;
        double t;
    } table[] = {
        {0.975, 1, 12.7062}, {0.975, 2, 4.3027}, {0.975, 10, 2.2281}, {0.975, 100, 1.9840},
        {0.995, 5, 4.0321},  {0.95, 30, 1.6973}, {0.9, 3, 1.6377},    {0.975, 1e6, 1.9600},
    };
    for (const auto& row : table) {
        EXPECT_NEAR(StudentTQuantile(row.p, row.df), row.t, 5e-5) << row.p << " " << row.df;
        EXPECT_NEAR(StudentTQuantile(1.0 - row.p, row.df), -row.t, 5e-5) << row.df;
    }
    // One degree of freedom is the Cauchy distribution: tan(pi (p - 1/2)).
    for (double p : {0.6, 0.9, 0.975, 0.999}) {
        EXPECT_NEAR(StudentTQuantile(p, 1), std::tan(M_PI * (p - 0.5)),
                    1e-12 * std::tan(M_PI * (p - 0.5)));
    }
    EXPECT_EQ(StudentTQuantile(0.5, 7), 0.0);
}

TEST(StudentT, QuantileInvertsTheDistribution) {
    for (double df : {1.0, 2.0, 3.0, 7.0, 28.0, 250.0}) {
        for (double p : {0.001, 0.2, 0.75, 0.975, 0.9999}) {
            EXPECT_NEAR(StudentTDistribution(StudentTQuantile(p, df), df), p, 1e-12)
                << p << " " << df;
        }
    }
    EXPECT_EQ(StudentTDistribution(0.0, 4), 0.5);
    EXPECT_EQ(StudentTDistribution(INFINITY, 4), 1.0);
    EXPECT_EQ(StudentTDistribution(-INFINITY, 4), 0.0);
}

TEST(StudentT, OutsideTheDomainGivesNaN) {
    EXPECT_TRUE(std::isnan(StudentTQuantile(0.0, 5)));
    EXPECT_TRUE(std::isnan(StudentTQuantile(1.0, 5)));
    EXPECT_TRUE(std::isnan(StudentTQuantile(NAN, 5)));
    EXPECT_TRUE(std::isnan(StudentTQuantile(0.975, 0)));
    EXPECT_TRUE(std::isnan(StudentTQuantile(0.975, -1)));
    EXPECT_TRUE(std::isnan(StudentTDistribution(1.0, 0)));
    EXPECT_TRUE(std::isnan(RegularizedIncompleteBeta(1.5, 1, 1)));
    EXPECT_TRUE(std::isnan(RegularizedIncompleteBeta(0.5, 0, 1)));
}

TEST(StudentT, IncompleteBetaOfKnownForms) {
    // I_x(1, 1) = x; I_x(a, 1) = x^a; I_x(1/2, 1/2) = 2 asin(sqrt x) / pi.
    for (double x : {0.0, 0.1, 0.5, 0.9, 1.0}) {
        EXPECT_NEAR(RegularizedIncompleteBeta(x, 1, 1), x, 1e-15);
        EXPECT_NEAR(RegularizedIncompleteBeta(x, 3, 1), x * x * x, 1e-15);
        EXPECT_NEAR(RegularizedIncompleteBeta(x, 0.5, 0.5), 2 * std::asin(std::sqrt(x)) / M_PI,
                    1e-14);
    }
}
