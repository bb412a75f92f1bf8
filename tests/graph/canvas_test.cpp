#include "graph/canvas.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kInk = 0x123456;
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

using TPixelSet = std::set<std::pair<int, int>>;

void Fill(TBitmap& bitmap, TColor color) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            bitmap.SetPixel(x, y, color);
        }
    }
}

TPixelSet PixelsOf(const TBitmap& bitmap, TColor color) {
    TPixelSet pixels;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (bitmap.Pixel(x, y) == color) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

struct TRect {
    int left, top, right, bottom;
};

// The line by its definition, evaluated independently for every major-axis
// position that can reach the bitmap: pixel k of n lies k steps from a along
// the major axis, with the minor offset k * minor / n rounded to nearest, an
// exact half staying on the start's side. Each drawn pixel stamps a
// width x width square, and only what falls inside the clip is kept.
void ReferenceLine(TBitmap& bitmap, TPixelPoint a, TPixelPoint b, int width, bool dotted,
                   int startPhase, TRect clip, TColor color) {
    const int64_t dx = static_cast<int64_t>(b.x) - a.x, dy = static_cast<int64_t>(b.y) - a.y;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const int64_t su = (xMajor ? dx : dy) < 0 ? -1 : 1, sv = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t u0 = xMajor ? a.x : a.y, v0 = xMajor ? a.y : a.x;
    const int64_t extent = xMajor ? bitmap.Width() : bitmap.Height();
    const int64_t before = (width - 1) / 2;
    for (int64_t u = -width; u < extent + width; ++u) {
        int64_t k = (u - u0) * su;
        if (k < 0 || k >= n) {
            continue;
        }
        if (dotted && (startPhase + k) % 6 >= 3) {
            continue;
        }
        __int128 numerator = static_cast<__int128>(2) * k * minor + n - 1;
        int64_t m = static_cast<int64_t>(numerator / (2 * static_cast<__int128>(n)));
        int64_t v = v0 + sv * m;
        int64_t x = xMajor ? u : v, y = xMajor ? v : u;
        for (int64_t sy = y - before; sy < y - before + width; ++sy) {
            for (int64_t sx = x - before; sx < x - before + width; ++sx) {
                if (sx >= clip.left && sx < clip.right && sy >= clip.top && sy < clip.bottom) {
                    bitmap.SetPixel(static_cast<int>(sx), static_cast<int>(sy), color);
                }
            }
        }
    }
}

TEST(TBitmap, StartsBlackAndStoresRgbRowsTopDown) {
    TBitmap bitmap(3, 2);
    ASSERT_EQ(bitmap.Rgb().size(), 18u);
    EXPECT_EQ(bitmap.Pixel(2, 1), 0u);
    bitmap.SetPixel(1, 1, 0x332211);
    const std::vector<uint8_t>& rgb = bitmap.Rgb();
    EXPECT_EQ(rgb[(1 * 3 + 1) * 3 + 0], 0x11) << "red first";
    EXPECT_EQ(rgb[(1 * 3 + 1) * 3 + 1], 0x22);
    EXPECT_EQ(rgb[(1 * 3 + 1) * 3 + 2], 0x33);
    EXPECT_EQ(bitmap.Pixel(1, 1), 0x332211u);
}

TEST(TBitmap, OutsideAccessIsHarmless) {
    TBitmap bitmap(2, 2);
    bitmap.SetPixel(-1, 0, kInk);
    bitmap.SetPixel(2, 0, kInk);
    bitmap.SetPixel(0, 2, kInk);
    EXPECT_TRUE(PixelsOf(bitmap, kInk).empty());
    EXPECT_EQ(bitmap.Pixel(5, 5), 0u);
    TBitmap empty(-4, 3);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_TRUE(empty.Rgb().empty());
}

struct TFillCase {
    std::string name;
    TRect rect;
    TRect clip;
    TPixelSet expected;
};

void PrintTo(const TFillCase& c, std::ostream* os) {
    *os << c.name;
}

class FillRectCovers : public testing::TestWithParam<TFillCase> {};

TEST_P(FillRectCovers, LeftAndTopButNotRightAndBottom) {
    const TFillCase& c = GetParam();
    TBitmap bitmap(8, 8);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetClip(c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
    canvas.SetBrush(kInk, TBrushStyle::Solid);
    canvas.FillRect(c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
    EXPECT_EQ(PixelsOf(bitmap, kInk), c.expected);
}

TPixelSet Block(int left, int top, int right, int bottom) {
    TPixelSet pixels;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            pixels.insert({x, y});
        }
    }
    return pixels;
}

const TRect kWhole{0, 0, 8, 8};

INSTANTIATE_TEST_SUITE_P(
    Rectangles, FillRectCovers,
    testing::Values(
        TFillCase{"Inside", {2, 3, 5, 6}, kWhole, Block(2, 3, 5, 6)},
        TFillCase{"OnePixel", {4, 4, 5, 5}, kWhole, {{4, 4}}},
        TFillCase{"EmptyWidth", {4, 4, 4, 7}, kWhole, {}},
        TFillCase{"Inverted", {5, 5, 2, 2}, kWhole, {}},
        TFillCase{"Clipped", {0, 0, 8, 8}, {2, 1, 4, 7}, Block(2, 1, 4, 7)},
        TFillCase{"ClipBeyondBitmap", {6, 6, 20, 20}, {-5, -5, 50, 50}, Block(6, 6, 8, 8)},
        TFillCase{"IntegerLimits", {kMin, kMin, kMax, kMax}, {1, 2, 3, 4}, Block(1, 2, 3, 4)},
        TFillCase{"EmptyClip", {0, 0, 8, 8}, {5, 5, 3, 3}, {}}),
    [](const testing::TestParamInfo<TFillCase>& info) { return info.param.name; });

TEST(TCanvas, ClearBrushFillsNothing) {
    TBitmap bitmap(4, 4);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetBrush(kInk, TBrushStyle::Solid);
    canvas.SetBrushStyle(TBrushStyle::Clear);
    canvas.FillRect(0, 0, 4, 4);
    EXPECT_TRUE(PixelsOf(bitmap, kInk).empty());
}

TEST(TCanvas, SetPixelKeepsToTheClip) {
    TBitmap bitmap(6, 6);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetClip(1, 1, 4, 4);
    for (TPixelPoint p : {TPixelPoint{1, 1}, TPixelPoint{3, 3}, TPixelPoint{4, 3},
                          TPixelPoint{3, 4}, TPixelPoint{0, 2}, TPixelPoint{kMin, kMax}}) {
        canvas.SetPixel(p, kInk);
    }
    EXPECT_EQ(PixelsOf(bitmap, kInk), (TPixelSet{{1, 1}, {3, 3}}));
}

struct TLineCase {
    std::string name;
    TPixelPoint a, b;
    std::vector<std::pair<int, int>> expected;
};

void PrintTo(const TLineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineDraws : public testing::TestWithParam<TLineCase> {};

TEST_P(LineDraws, StartPixelButNotEndPixel) {
    const TLineCase& c = GetParam();
    TBitmap bitmap(12, 12);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, 0);
    canvas.MoveTo(c.a);
    canvas.LineTo(c.b);
    EXPECT_EQ(PixelsOf(bitmap, kInk), TPixelSet(c.expected.begin(), c.expected.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LineDraws,
    testing::Values(TLineCase{"Right", {1, 1}, {5, 1}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
                    TLineCase{"Left", {5, 1}, {1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
                    TLineCase{"Down", {2, 3}, {2, 6}, {{2, 3}, {2, 4}, {2, 5}}},
                    TLineCase{"Up", {2, 6}, {2, 3}, {{2, 6}, {2, 5}, {2, 4}}},
                    TLineCase{"Diagonal", {1, 1}, {4, 4}, {{1, 1}, {2, 2}, {3, 3}}},
                    TLineCase{"AntiDiagonal", {4, 1}, {1, 4}, {{4, 1}, {3, 2}, {2, 3}}},
                    TLineCase{"ZeroLength", {3, 3}, {3, 3}, {}},
                    TLineCase{"OneStep", {3, 3}, {4, 3}, {{3, 3}}},
                    // k * 2 / 5 = 0, 0.4, 0.8, 1.2, 1.6 rounds to 0, 0, 1, 1, 2.
                    TLineCase{"Shallow", {0, 0}, {5, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
                    TLineCase{"Steep", {0, 0}, {2, 5}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
                    // k / 4 = 0.5 at k = 2: an exact half stays on the start's side, so
                    // the line and its reverse differ in that one pixel.
                    TLineCase{"TieForward", {0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 0}, {3, 1}}},
                    TLineCase{"TieReverse", {4, 1}, {0, 0}, {{4, 1}, {3, 1}, {2, 1}, {1, 0}}},
                    TLineCase{"OutsideBitmap", {-5, 20}, {30, 20}, {}}),
    [](const testing::TestParamInfo<TLineCase>& info) { return info.param.name; });

TEST(TCanvas, LineToContinuesFromTheEndPoint) {
    TBitmap bitmap(8, 8);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, 0);
    canvas.MoveTo({1, 1});
    canvas.LineTo({3, 1});
    canvas.LineTo({3, 3});
    EXPECT_EQ(PixelsOf(bitmap, kInk), (TPixelSet{{1, 1}, {2, 1}, {3, 1}, {3, 2}}));
}

struct TPolylineCase {
    std::string name;
    std::vector<TPixelPoint> points;
    int style;
    std::vector<std::pair<int, int>> expected;
};

void PrintTo(const TPolylineCase& c, std::ostream* os) {
    *os << c.name;
}

class PolylineDraws : public testing::TestWithParam<TPolylineCase> {};

TEST_P(PolylineDraws, InnerPointsButNotTheLast) {
    const TPolylineCase& c = GetParam();
    TBitmap bitmap(12, 12);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, c.style);
    canvas.Polyline(c.points.data(), static_cast<int>(c.points.size()));
    EXPECT_EQ(PixelsOf(bitmap, kInk), TPixelSet(c.expected.begin(), c.expected.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PolylineDraws,
    testing::Values(
        TPolylineCase{"None", {}, 0, {}}, TPolylineCase{"OnePoint", {{2, 2}}, 0, {}},
        TPolylineCase{"TwoPoints", {{2, 2}, {4, 2}}, 0, {{2, 2}, {3, 2}}},
        TPolylineCase{"Corner", {{1, 1}, {3, 1}, {3, 3}}, 0, {{1, 1}, {2, 1}, {3, 1}, {3, 2}}},
        TPolylineCase{"BackAndForth", {{1, 5}, {3, 5}, {1, 5}}, 0, {{1, 5}, {2, 5}, {3, 5}}},
        TPolylineCase{"RepeatedPoint", {{1, 1}, {1, 1}, {1, 3}}, 0, {{1, 1}, {1, 2}}},
        // 3 on, 3 off, counted on across the corner: phases 0-3 on the first
        // segment, 4 5 0 1 2 3 4 5 on the second.
        TPolylineCase{"DottedAcrossSegments",
                      {{0, 0}, {4, 0}, {4, 8}},
                      2,
                      {{0, 0}, {1, 0}, {2, 0}, {4, 2}, {4, 3}, {4, 4}}}),
    [](const testing::TestParamInfo<TPolylineCase>& info) { return info.param.name; });

TEST(TCanvas, PolylineLeavesTheCurrentPositionAlone) {
    TBitmap bitmap(10, 10);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, 0);
    canvas.MoveTo({0, 9});
    std::vector<TPixelPoint> points{{5, 5}, {7, 5}};
    canvas.Polyline(points.data(), 2);
    canvas.LineTo({2, 9});
    EXPECT_EQ(PixelsOf(bitmap, kInk), (TPixelSet{{5, 5}, {6, 5}, {0, 9}, {1, 9}}));
}

TEST(TCanvas, DottedPatternRestartsAtMoveToAndLeavesGapsUntouched) {
    TBitmap bitmap(16, 4);
    Fill(bitmap, kWhite);
    bitmap.SetPixel(4, 1, 0x00FF00);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, 2);
    canvas.MoveTo({0, 1});
    canvas.LineTo({4, 1});  // phases 0 1 2 on, 3 off
    canvas.LineTo({14, 1}); // continues at phase 4: x 4 5 off, 6 7 8 on, 9 10 11 off, 12 13 on
    canvas.MoveTo({0, 2});
    canvas.LineTo({8, 2}); // restarts: x 0 1 2 on, 3 4 5 off, 6 7 on
    EXPECT_EQ(PixelsOf(bitmap, kInk), (TPixelSet{{0, 1},
                                                 {1, 1},
                                                 {2, 1},
                                                 {6, 1},
                                                 {7, 1},
                                                 {8, 1},
                                                 {12, 1},
                                                 {13, 1},
                                                 {0, 2},
                                                 {1, 2},
                                                 {2, 2},
                                                 {6, 2},
                                                 {7, 2}}));
    EXPECT_EQ(bitmap.Pixel(4, 1), 0x00FF00u) << "a gap is transparent";
    EXPECT_EQ(bitmap.Pixel(3, 1), kWhite);
}

TEST(TCanvas, WidePenStampsASquarePerPixel) {
    TBitmap bitmap(10, 10);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 3, 0);
    canvas.MoveTo({2, 5});
    canvas.LineTo({6, 5});
    EXPECT_EQ(PixelsOf(bitmap, kInk), Block(1, 4, 7, 7));

    Fill(bitmap, kWhite);
    canvas.SetPen(kInk, 2, 0);
    canvas.MoveTo({2, 2});
    canvas.LineTo({2, 4});
    EXPECT_EQ(PixelsOf(bitmap, kInk), Block(2, 2, 4, 5)) << "an even width extends right and down";

    Fill(bitmap, kWhite);
    canvas.SetPen(kInk, 0, 0);
    canvas.MoveTo({2, 2});
    canvas.LineTo({4, 2});
    EXPECT_EQ(PixelsOf(bitmap, kInk), (TPixelSet{{2, 2}, {3, 2}})) << "width 0 draws as 1";
}

// The end points of a random line: near the bitmap, anywhere in the 32-bit
// range, or a far-away pair passing through the bitmap.
std::pair<TPixelPoint, TPixelPoint> RandomLine(std::mt19937_64& random, int kind) {
    auto in = [&](int64_t lo, int64_t hi) {
        return static_cast<int32_t>(std::uniform_int_distribution<int64_t>(lo, hi)(random));
    };
    switch (kind) {
    case 0:
        return {{in(-20, 80), in(-20, 60)}, {in(-20, 80), in(-20, 60)}};
    case 1:
        return {{in(kMin, kMax), in(kMin, kMax)}, {in(kMin, kMax), in(kMin, kMax)}};
    case 2: {
        // Through a point of the bitmap from far away, the other end mirrored
        // and clamped to the 32-bit range.
        int64_t px = in(0, 63), py = in(0, 47);
        int64_t scale = int64_t{1} << in(4, 31);
        int64_t qx = px + in(-1000, 1000) * scale / 1000, qy = py + in(-1000, 1000) * scale / 1000;
        auto clamp = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, kMin, kMax));
        };
        return {{clamp(qx), clamp(qy)}, {clamp(2 * px - qx), clamp(2 * py - qy)}};
    }
    default: {
        // One end at an integer limit, as a series value of -3.4e38 maps.
        TPixelPoint near{in(0, 63), in(0, 47)};
        TPixelPoint far{in(-10, 70), kind == 3 ? kMin : kMax};
        if (in(0, 1)) {
            std::swap(far.x, far.y);
        }
        return in(0, 1) ? std::make_pair(near, far) : std::make_pair(far, near);
    }
    }
}

struct TClipCase {
    std::string name;
    int width;
    int style;
};

void PrintTo(const TClipCase& c, std::ostream* os) {
    *os << c.name;
}

class ClippedLine : public testing::TestWithParam<TClipCase> {};

TEST_P(ClippedLine, DrawsExactlyTheUnclippedPixelsInsideTheClip) {
    const TClipCase& c = GetParam();
    std::mt19937_64 random(20240611u + c.width * 7 + c.style);
    const TRect clip{9, 7, 51, 38};
    int visible = 0;
    for (int trial = 0; trial < 600; ++trial) {
        auto [a, b] = RandomLine(random, trial % 5);
        TBitmap drawn(64, 48), expected(64, 48);
        Fill(drawn, kWhite);
        Fill(expected, kWhite);
        TCanvas canvas(drawn);
        canvas.SetPen(kInk, c.width, c.style);
        canvas.SetClip(clip.left, clip.top, clip.right, clip.bottom);
        canvas.MoveTo(a);
        canvas.LineTo(b);
        ReferenceLine(expected, a, b, c.width, c.style == 2, 0, clip, kInk);
        ASSERT_EQ(PixelsOf(drawn, kInk), PixelsOf(expected, kInk))
            << "line (" << a.x << ", " << a.y << ") to (" << b.x << ", " << b.y << ")";
        visible += PixelsOf(drawn, kInk).empty() ? 0 : 1;
    }
    // Most of the lines are built to cross the clip, so the comparison is not
    // one of empty sets.
    EXPECT_GT(visible, 300);
}

INSTANTIATE_TEST_SUITE_P(Pens, ClippedLine,
                         testing::Values(TClipCase{"Solid1", 1, 0}, TClipCase{"Dotted1", 1, 2},
                                         TClipCase{"Solid3", 3, 0}, TClipCase{"Dotted4", 4, 2}),
                         [](const testing::TestParamInfo<TClipCase>& info) {
                             return info.param.name;
                         });

TEST(ClippedPolyline, DottedPhaseCarriesAcrossInvisibleSegments) {
    // The first segment lies wholly outside the clip but still advances the
    // pattern by its length (5), so the visible one starts at phase 5.
    TBitmap drawn(20, 10), expected(20, 10);
    Fill(drawn, kWhite);
    Fill(expected, kWhite);
    TCanvas canvas(drawn);
    canvas.SetPen(kInk, 1, 2);
    canvas.SetClip(0, 2, 20, 10);
    std::vector<TPixelPoint> points{{0, 0}, {5, 0}, {19, 5}};
    canvas.Polyline(points.data(), 3);
    ReferenceLine(expected, {5, 0}, {19, 5}, 1, true, 5, {0, 2, 20, 10}, kInk);
    EXPECT_EQ(PixelsOf(drawn, kInk), PixelsOf(expected, kInk));
    EXPECT_FALSE(PixelsOf(drawn, kInk).empty());
}

TEST(ClippedLine, SpanningTheWholeIntegerRange) {
    TBitmap bitmap(32, 32);
    Fill(bitmap, kWhite);
    TCanvas canvas(bitmap);
    canvas.SetPen(kInk, 1, 0);
    canvas.MoveTo({kMin, 16});
    canvas.LineTo({kMax, 16});
    EXPECT_EQ(PixelsOf(bitmap, kInk), Block(0, 16, 32, 17));
    Fill(bitmap, kWhite);
    canvas.MoveTo({kMin, kMin});
    canvas.LineTo({kMax, kMax});
    TPixelSet diagonal;
    for (int i = 0; i < 32; ++i) {
        diagonal.insert({i, i});
    }
    EXPECT_EQ(PixelsOf(bitmap, kInk), diagonal);
}

} // namespace
