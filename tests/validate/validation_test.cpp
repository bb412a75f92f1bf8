// A small validation run: short recordings of known beta with fixed seeds,
// analysed by the whole analysis.

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "validate/validation.h"

namespace {

TValidationConfig SmallAmplitudeRun() {
    TValidationConfig config;
    config.durations = {60};
    config.rates = {44100};
    config.channels = {1};
    config.seeds = 4;
    config.modulations = {TModulation::Amplitude};
    config.surrogates = 0;
    config.fixedModes = false;
    config.jobs = 2;
    return config;
}

// The mean of one column over the results of one beta.
double Mean(const std::vector<TVariantResult>& results, double beta,
            std::optional<double> TVariantResult::*column) {
    std::vector<std::optional<double>> values;
    for (const TVariantResult& r : results) {
        if (r.setup.beta == beta) {
            values.push_back(r.*column);
        }
    }
    std::optional<TColumnStats> stats = ColumnStats(values);
    EXPECT_TRUE(stats.has_value()) << "beta " << beta;
    EXPECT_EQ(stats ? stats->n : 0, static_cast<int>(values.size())) << "beta " << beta;
    return stats ? stats->mean : 0.0;
}

TEST(ValidationRun, LambdaRisesWithBetaAndMeanRemovedAndDfaRecoverIt) {
    const TValidationConfig config = SmallAmplitudeRun();
    const std::vector<TVariantResult> results = RunValidation(config);
    ASSERT_EQ(results.size(), 20u);
    for (const TVariantResult& r : results) {
        ASSERT_TRUE(r.ok) << r.error;
    }
    double previous = -1.0;
    for (double beta : config.betas) {
        const double lambda = Mean(results, beta, &TVariantResult::easy);
        EXPECT_GT(lambda, previous + 0.2) << "beta " << beta;
        previous = lambda;
    }
    // Without the mean's leak into bin 1 the spectral estimate and DFA both
    // recover the exponent the recordings were made with.
    for (double beta : {0.5, 1.0, 1.5}) {
        EXPECT_NEAR(Mean(results, beta, &TVariantResult::meanRemoved), beta, 0.3)
            << "beta " << beta;
        EXPECT_NEAR(Mean(results, beta, &TVariantResult::betaDfa), beta, 0.15) << "beta " << beta;
    }
}

TEST(ValidationRun, ResultsDoNotDependOnJobsAndTheRecordingsAreDeleted) {
    TTempDir parent;
    TValidationConfig config = SmallAmplitudeRun();
    config.betas = {0.5, 1.5};
    config.durations = {20};
    config.channels = {1, 2};
    config.seeds = 2;
    config.surrogates = 3;
    config.fixedModes = true;
    config.modulations = {TModulation::Amplitude, TModulation::Frequency};
    config.tempParent = parent.Path();
    int calls = 0;
    config.jobs = 1;
    const std::vector<TVariantResult> one =
        RunValidation(config, [&](std::size_t done, std::size_t total) {
            ++calls;
            EXPECT_EQ(done, static_cast<std::size_t>(calls));
            EXPECT_EQ(total, 16u);
        });
    EXPECT_EQ(calls, 16);
    config.jobs = 2;
    const std::vector<TVariantResult> two = RunValidation(config);
    ASSERT_EQ(one.size(), 16u);
    ASSERT_EQ(two.size(), 16u);
    for (std::size_t i = 0; i < one.size(); ++i) {
        ASSERT_TRUE(one[i].ok) << one[i].error;
        EXPECT_EQ(one[i].setup.beta, two[i].setup.beta);
        EXPECT_EQ(one[i].setup.channels, two[i].setup.channels);
        EXPECT_EQ(one[i].setup.seed, two[i].setup.seed);
        EXPECT_EQ(one[i].easy, two[i].easy);
        EXPECT_EQ(one[i].fixed10, two[i].fixed10);
        EXPECT_EQ(one[i].fixed50, two[i].fixed50);
        EXPECT_EQ(one[i].meanRemoved, two[i].meanRemoved);
        EXPECT_EQ(one[i].betaDfa, two[i].betaDfa);
        EXPECT_EQ(one[i].surrogateMean, two[i].surrogateMean);
        EXPECT_TRUE(one[i].fixed10.has_value());
        EXPECT_TRUE(one[i].fixed50.has_value());
    }
    // Mono and stereo of one seed carry the same tone.
    EXPECT_EQ(one[0].setup.channels, 1);
    EXPECT_EQ(one[2].setup.channels, 2);
    EXPECT_EQ(one[0].easy, one[2].easy);
    EXPECT_TRUE(std::filesystem::is_empty(parent.Path()));
}

TEST(ValidationRun, AnUnusableTemporaryFolderFailsClearly) {
    TValidationConfig config = SmallAmplitudeRun();
    config.tempParent = "/nonexistent/folder";
    EXPECT_THROW(RunValidation(config), std::runtime_error);
}

TEST(ColumnStats, MeanAndSampleStandardDeviationOfThePresentValues) {
    EXPECT_FALSE(ColumnStats({}).has_value());
    EXPECT_FALSE(ColumnStats({std::nullopt}).has_value());
    std::optional<TColumnStats> one = ColumnStats({2.5, std::nullopt});
    ASSERT_TRUE(one);
    EXPECT_EQ(one->n, 1);
    EXPECT_EQ(one->mean, 2.5);
    EXPECT_EQ(one->sd, 0.0);
    std::optional<TColumnStats> four = ColumnStats({1.0, 2.0, std::nullopt, 3.0, 6.0});
    ASSERT_TRUE(four);
    EXPECT_EQ(four->n, 4);
    EXPECT_DOUBLE_EQ(four->mean, 3.0);
    EXPECT_DOUBLE_EQ(four->sd, std::sqrt(14.0 / 3.0));
}

TEST(ValidationMarkdown, OneRowPerSignalAndBetaWithMeanAndSd) {
    TValidationConfig config;
    config.betas = {0.0, 1.5};
    config.durations = {60, 180};
    config.rates = {44100};
    config.channels = {1};
    config.seeds = 1;
    config.modulations = {TModulation::Amplitude};
    std::vector<TVariantResult> results(4);
    const double lambdas[] = {0.5, 0.7, 1.6, 1.8};
    for (int i = 0; i < 4; ++i) {
        results[i].setup.beta = i < 2 ? 0.0 : 1.5;
        results[i].setup.seconds = i % 2 == 0 ? 60 : 180;
        results[i].ok = true;
        results[i].easy = lambdas[i];
        results[i].betaDfa = i < 2 ? -0.001 : 1.5;
    }
    results[3].ok = false;
    const std::string md = ValidationMarkdown(config, results);
    EXPECT_NE(md.find("| AM (amplitude sampling) | 0 | 0.60 ± 0.14 | – | – | – | 0.00 ± 0.00 |"),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("| AM (amplitude sampling) | 1.5 | 1.60 ± 0.00 |"), std::string::npos) << md;
    EXPECT_NE(md.find("| AM (amplitude sampling) | 0 | 0.50 ± 0.00 | – | 0.70 ± 0.00 | – |"),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("1 recording(s) could not be analysed"), std::string::npos) << md;
    EXPECT_EQ(md.find("-0.00"), std::string::npos) << md;
}

} // namespace
