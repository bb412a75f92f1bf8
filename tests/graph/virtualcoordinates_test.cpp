#include "graph/virtualcoordinates.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>
#include <string>

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

struct TMappingCase {
    std::string name;
    TPixelRect pixels;
    TVirtualRect range;
    TVirtualPoint point;
    TPixelPoint expected;
};

void PrintTo(const TMappingCase& c, std::ostream* os) {
    *os << c.name;
}

class VirtualToPixelMaps : public testing::TestWithParam<TMappingCase> {};

TEST_P(VirtualToPixelMaps, ToTheExpectedPixel) {
    const TMappingCase& c = GetParam();
    TPixelPoint result{12345, 12345};
    VirtualToPixel(result, c.point, c.pixels, c.range);
    EXPECT_EQ(result.x, c.expected.x);
    EXPECT_EQ(result.y, c.expected.y);
}

const TPixelRect kSquare{40, 40, 310, 610};
const TVirtualRect kUnit{0, 0, 1, 1};
const TPixelRect kSpectrum{48, 20, 398, 650};
const TVirtualRect kDecades{-3, -9, 2, 0};
// One pixel per unit, so exact halves are easy to write down.
const TPixelRect kOnePerUnit{0, 0, 100, 100};
const TVirtualRect kHundred{0, 0, 100, 100};

INSTANTIATE_TEST_SUITE_P(
    Examples, VirtualToPixelMaps,
    testing::Values(
        TMappingCase{"UnitOrigin", kSquare, kUnit, {0, 0}, {40, 610}},
        TMappingCase{"UnitCorner", kSquare, kUnit, {1, 1}, {310, 40}},
        TMappingCase{"UnitCentre", kSquare, kUnit, {0.5, 0.5}, {175, 325}},
        TMappingCase{"DecadesLowerLeft", kSpectrum, kDecades, {-3, -9}, {48, 650}},
        TMappingCase{"DecadesUpperRight", kSpectrum, kDecades, {2, 0}, {398, 20}},
        TMappingCase{"DecadesMiddle", kSpectrum, kDecades, {0, -4.5}, {258, 335}},
        // Exact halves go to the larger pixel number on both axes.
        TMappingCase{"HalfGoesUp", kOnePerUnit, kHundred, {2.5, 97.5}, {3, 3}},
        TMappingCase{"JustBelowHalf", kOnePerUnit, kHundred, {2.4999999, 97.5000001}, {2, 2}},
        TMappingCase{"NegativeHalfGoesUp", kOnePerUnit, kHundred, {-10.5, 110.5}, {-10, -10}},
        TMappingCase{"LeftAndAboveGoNegative", kSquare, kUnit, {-0.5, 2}, {-95, -530}},
        TMappingCase{"RightAndBelowGoBeyond", kSquare, kUnit, {2, -1}, {580, 1180}}),
    [](const testing::TestParamInfo<TMappingCase>& info) { return info.param.name; });

struct TSaturationCase {
    std::string name;
    double x;
    double y;
    TPixelPoint expected;
};

void PrintTo(const TSaturationCase& c, std::ostream* os) {
    *os << c.name;
}

class VirtualToPixelSaturates : public testing::TestWithParam<TSaturationCase> {};

TEST_P(VirtualToPixelSaturates, AtTheIntegerLimits) {
    const TSaturationCase& c = GetParam();
    TPixelPoint result;
    VirtualToPixel(result, {c.x, c.y}, kOnePerUnit, kHundred);
    EXPECT_EQ(result.x, c.expected.x);
    EXPECT_EQ(result.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, VirtualToPixelSaturates,
    testing::Values(
        // The spectrum plot's stand-in for the logarithm of zero.
        TSaturationCase{"MinusFloatMax", -3.4e38, -3.4e38, {kMin, kMax}},
        TSaturationCase{"PlusFloatMax", 3.4e38, 3.4e38, {kMax, kMin}},
        TSaturationCase{"Infinities", INFINITY, -INFINITY, {kMax, kMax}},
        TSaturationCase{"NaN", NAN, NAN, {kMin, kMin}},
        TSaturationCase{"LastRepresentable", 2147483647.0, 100.0 + 2147483648.0, {kMax, kMin}},
        TSaturationCase{"FirstBeyond", 2147483648.0, 100.0 - 2147483648.0, {kMax, kMax}},
        TSaturationCase{"FarBeyond", 1e300, -1e300, {kMax, kMax}}),
    [](const testing::TestParamInfo<TSaturationCase>& info) { return info.param.name; });

TEST(VirtualToPixel, DegenerateRangeDoesNotFault) {
    TVirtualRect flat{1, 1, 1, 1};
    TPixelPoint result;
    VirtualToPixel(result, {1, 1}, kSquare, flat);
    EXPECT_EQ(result.x, kMin) << "0 / 0 is not a position";
    EXPECT_EQ(result.y, kMin);
    VirtualToPixel(result, {2, 0}, kSquare, flat);
    EXPECT_EQ(result.x, kMax);
    EXPECT_EQ(result.y, kMax);
}

TEST(VirtualToPixel, WidestPixelRectangleDoesNotOverflow) {
    TPixelRect widest{kMin, kMin, kMax, kMax};
    TPixelPoint result;
    VirtualToPixel(result, {1, 0}, widest, kUnit);
    EXPECT_EQ(result.x, kMax);
    EXPECT_EQ(result.y, kMax);
    VirtualToPixel(result, {0, 1}, widest, kUnit);
    EXPECT_EQ(result.x, kMin);
    EXPECT_EQ(result.y, kMin);
}

TEST(VirtualRecords, DefaultValues) {
    TVirtualRect range;
    EXPECT_EQ(range.xmin, 0.0);
    EXPECT_EQ(range.ymin, 0.0);
    EXPECT_EQ(range.xmax, 1.0);
    EXPECT_EQ(range.ymax, 1.0);
    TPixelRect pixels;
    EXPECT_EQ(pixels.left | pixels.top | pixels.right | pixels.bottom, 0);
    TPixelPoint point;
    EXPECT_EQ(point.x | point.y, 0);
}

} // namespace
