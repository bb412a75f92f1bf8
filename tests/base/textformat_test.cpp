#include "base/textformat.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

TEST(FormatFixed, RoundsLikePrintfInTheCLocale) {
    EXPECT_EQ(FormatFixed(0.025, 6), "0.025000");
    EXPECT_EQ(FormatFixed(0.024988662131519273, 6), "0.024989");
    EXPECT_EQ(FormatFixed(1000.0, 9), "1000.000000000");
    EXPECT_EQ(FormatFixed(2.5, 0), "2");
    EXPECT_EQ(FormatFixed(-1.234, 3), "-1.234");
    EXPECT_EQ(FormatFixed(-0.0, 3), "-0.000");
    EXPECT_EQ(FormatFixed(1e300, 1).size(), 303u);
    EXPECT_EQ(FormatFixed(INFINITY, 2), "inf");
    EXPECT_EQ(FormatFixed(-INFINITY, 2), "-inf");
    EXPECT_EQ(FormatFixed(NAN, 2), "nan");
}

TEST(FormatFixed, IgnoresADecimalCommaLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    EXPECT_EQ(FormatFixed(0.025, 6), "0.025000");
    EXPECT_EQ(ParseDecimal("0.5"), 0.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(FormatLambda, NeverShowsNegativeZero) {
    EXPECT_EQ(FormatLambda(0.75), "λ = 0.750");
    EXPECT_EQ(FormatLambda(-0.5), "λ = -0.500");
    EXPECT_EQ(FormatLambda(-0.0), "λ = 0.000");
    EXPECT_EQ(FormatLambda(-0.0004), "λ = 0.000");
    EXPECT_EQ(FormatLambda(-0.0005001), "λ = -0.001");
}

TEST(ParseDecimal, AcceptsTheSampleFileForms) {
    EXPECT_EQ(ParseDecimal("0.025000"), 0.025);
    EXPECT_EQ(ParseDecimal("  -1.5"), -1.5);
    EXPECT_EQ(ParseDecimal("+2"), 2.0);
    EXPECT_EQ(ParseDecimal("1e3"), 1000.0);
    EXPECT_EQ(ParseDecimal("2.5E-1"), 0.25);
    EXPECT_EQ(ParseDecimal(".5"), 0.5);
    EXPECT_EQ(ParseDecimal("5."), 5.0);
    EXPECT_EQ(ParseDecimal("1e999"), HUGE_VAL);
    EXPECT_EQ(ParseDecimal("1e-999"), 0.0);
}

TEST(ParseDecimal, RefusesWhatIsNotADecimalNumber) {
    for (const char* text :
         {"", " ", "abc", "inf", "nan", "0x1p3", "1,5", "1.5x", "e5", "1e", "-", ".", "1 2"}) {
        EXPECT_FALSE(ParseDecimal(text).has_value()) << text;
    }
}

TEST(ParseInteger, AcceptsSignedDecimalIntegersOnly) {
    EXPECT_EQ(ParseInteger("10"), 10);
    EXPECT_EQ(ParseInteger(" -32768"), -32768);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("-9223372036854775808"), INT64_MIN);
    for (const char* text : {"", "1.0", "1e3", "abc", "9223372036854775808", "12 ", "--1"}) {
        EXPECT_FALSE(ParseInteger(text).has_value()) << text;
    }
}
