#include "analysis/analyzefile.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

// Resamplers that fail as a run out of memory, or with another error, would.
void ResampleOutOfMemory(const TWaveAnalyze&, TComplexFFT&, double) {
    throw std::bad_alloc();
}
void ResampleFailing(const TWaveAnalyze&, TComplexFFT&, double) {
    throw std::runtime_error("resampler failed");
}

struct TThrowCase {
    const char* name;
    TResampler resample;
    const char* message;
};

void PrintTo(const TThrowCase& c, std::ostream* os) {
    *os << c.name;
}

class AnalyzeFileFailure : public testing::TestWithParam<TThrowCase> {};

TEST_P(AnalyzeFileFailure, IsReportedInWordsAndNeverThrown) {
    TTempDir dir;
    const std::string wav = dir.File("tone.wav");
    std::vector<int32_t> samples(8000 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = (i / 9) % 2 ? 3000 : -3000;
    }
    TWavBuilder builder;
    WriteFileBytes(wav, builder.Build(samples));
    TFileOptions options;
    const TFileReport report = AnalyzeFile(options, wav, GetParam().resample);
    EXPECT_FALSE(report.ok);
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0], GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Throws, AnalyzeFileFailure,
    testing::Values(TThrowCase{"OutOfMemory", ResampleOutOfMemory,
                               "out of memory: the analysis needed more memory than the system "
                               "could give"},
                    TThrowCase{"OtherError", ResampleFailing, "resampler failed"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
