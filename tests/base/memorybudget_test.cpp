// The memory a run may still take, from the system's figures and the
// address-space limit, and the refusal it gives a series too long for it.

#include "base/memorybudget.h"

#include <gtest/gtest.h>

namespace {

const char* const kMeminfo = "MemTotal:       24000000 kB\n"
                             "MemFree:         1000000 kB\n"
                             "MemAvailable:    2000000 kB\n"
                             "SwapTotal:       1000000 kB\n"
                             "SwapFree:         500000 kB\n";

struct TAvailableCase {
    const char* name;
    const char* meminfo;
    std::optional<std::uint64_t> limit;
    std::uint64_t used;
    std::optional<std::uint64_t> expected;
};

} // namespace

TEST(AvailableMemory, TakesTheSmallerOfTheSystemsFiguresAndTheLimit) {
    const std::uint64_t k = 1024;
    const TAvailableCase cases[] = {
        {"available plus free swap", kMeminfo, std::nullopt, 0, 2500000 * k},
        {"the limit's rest is smaller", kMeminfo, 300000000, 100000000, 200000000},
        {"the limit is used up", kMeminfo, 100, 200, 0},
        {"no MemAvailable: the limit alone", "MemTotal: 5 kB\n", 1000, 10, 990},
        {"nothing known", "", std::nullopt, 0, std::nullopt},
        {"no swap line", "MemAvailable: 7 kB\n", std::nullopt, 0, 7 * k},
        // A key that only starts like the one sought, or a value that is
        // not a number, is not read as it.
        {"prefix of a key", "MemAvailableX: 7 kB\n", std::nullopt, 0, std::nullopt},
        {"no digits", "MemAvailable: kB\n", std::nullopt, 0, std::nullopt},
        {"overflowing value", "MemAvailable: 99999999999999999999999 kB\n", std::nullopt, 0,
         std::nullopt},
        {"last line without newline", "MemFree: 1 kB\nMemAvailable: 3 kB", std::nullopt, 0, 3 * k},
    };
    for (const TAvailableCase& c : cases) {
        EXPECT_EQ(AvailableMemory(c.meminfo, c.limit, c.used), c.expected) << c.name;
    }
    // This machine has some memory to give.
    ASSERT_TRUE(AvailableMemoryNow());
    EXPECT_GT(*AvailableMemoryNow(), 0u);
}

TEST(MemoryShortfall, RefusesOnlyWhatDoesNotFitWithTheFigures) {
    const std::uint64_t needed = AnalysisBytes(12500000);
    EXPECT_EQ(needed, 12500000ull * 10 + 48 * 262144);
    // The spectrum follows the count up to its cap.
    EXPECT_EQ(AnalysisBytes(1000), 1000u * 10 + 48 * 1024);
    EXPECT_EQ(AnalysisBytes(0), 48u);
    EXPECT_EQ(MemoryShortfall(12500000, "windows", needed), "");
    EXPECT_EQ(MemoryShortfall(12500000, "windows", std::nullopt), "");
    EXPECT_EQ(MemoryShortfall(12500000, "windows", needed - 1),
              "12,500,000 windows need 138 MB of memory; 137 MB are available");
    EXPECT_EQ(MemoryShortfall(7, "values", 0), "7 values need 1 MB of memory; 0 MB are available");
    // A count no memory could hold saturates instead of wrapping round.
    EXPECT_EQ(AnalysisBytes(UINT64_MAX / 4), UINT64_MAX);
}
