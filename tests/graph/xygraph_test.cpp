#include "graph/xygraph.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kBlack = 0x000000;
constexpr TColor kSilver = 0xC0C0C0;
constexpr TColor kInk = 0x3366CC;
const std::string kGothic = "ＭＳ Ｐゴシック";

using TPixelSet = std::set<std::pair<int, int>>;

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

TPixelSet NotWhite(const TBitmap& bitmap) {
    TPixelSet pixels;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (bitmap.Pixel(x, y) != kWhite) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
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

int LabelWidth(const std::string& text) {
    TBitmap scratch(1, 1);
    TCanvas canvas(scratch);
    canvas.SetFont(kGothic, kBlack, 12);
    return canvas.TextWidth(text);
}

// ---- construction, clearing, lines and frame ----

TEST(TXYGraph, ConstructionSetsTheDocumentedFields) {
    TXYGraph graph(200, 100);
    EXPECT_EQ(graph.bitmap.Width(), 200);
    EXPECT_EQ(graph.bitmap.Height(), 100);
    EXPECT_EQ(graph.plot.left, 40);
    EXPECT_EQ(graph.plot.top, 40);
    EXPECT_EQ(graph.plot.right, 160);
    EXPECT_EQ(graph.plot.bottom, 60);
    EXPECT_EQ(graph.world.xmin, 0.0);
    EXPECT_EQ(graph.world.ymin, 0.0);
    EXPECT_EQ(graph.world.xmax, 1.0);
    EXPECT_EQ(graph.world.ymax, 1.0);
    EXPECT_EQ(graph.backColor, kWhite);
    EXPECT_EQ(graph.frameColor, kBlack);
    EXPECT_EQ(graph.gridColor, kSilver);
    EXPECT_EQ(graph.labelFontName, "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7"
                                   "\xE3\x83\x83\xE3\x82\xAF");
    EXPECT_EQ(graph.textFontName, graph.labelFontName);
    EXPECT_EQ(graph.labelFontColor, kBlack);
    EXPECT_EQ(graph.labelFontHeight, 12);
    EXPECT_EQ(graph.xStep, 0.1);
    EXPECT_EQ(graph.yStep, 0.1);
    EXPECT_FALSE(graph.xLog);
    EXPECT_FALSE(graph.yLog);
    EXPECT_TRUE(graph.xUnit.empty() && graph.yUnit.empty());
}

TEST(TXYGraph, ClearMakesEveryPixelTheBackground) {
    TXYGraph graph(200, 100);
    graph.bitmap.SetPixel(0, 0, kInk);
    graph.bitmap.SetPixel(199, 99, kInk);
    graph.Clear();
    EXPECT_EQ(PixelsOf(graph.bitmap, kWhite).size(), 200u * 100u);
    graph.backColor = kInk;
    graph.Clear();
    EXPECT_EQ(PixelsOf(graph.bitmap, kInk).size(), 200u * 100u);
}

TEST(TXYGraph, FrameLeavesTheTopRightCornerUndrawn) {
    TXYGraph graph(60, 50);
    graph.plot = {5, 4, 25, 30};
    graph.Clear();
    graph.DrawFrame(1);
    TPixelSet outline;
    for (int x = 5; x <= 25; ++x) {
        outline.insert({x, 4});
        outline.insert({x, 30});
    }
    for (int y = 4; y <= 30; ++y) {
        outline.insert({5, y});
        outline.insert({25, y});
    }
    outline.erase({25, 4});
    EXPECT_EQ(PixelsOf(graph.bitmap, kBlack), outline);
    EXPECT_EQ(graph.bitmap.Pixel(25, 4), kWhite);
}

TEST(TXYGraph, LinesKeepInsideThePlotIncludingItsRightAndBottomLines) {
    TXYGraph graph(60, 50);
    graph.plot = {5, 4, 25, 30};
    graph.Clear();
    // Far beyond the range on both sides: the clip takes the plotting area's
    // right and bottom lines in, and nothing outside.
    graph.DrawLine(-1, 0.5, 2, 0.5, kInk, 1, 0);
    graph.DrawLine(0.5, -1, 0.5, 2, kInk, 1, 0);
    graph.DrawLine(-5, -5, 5, 5, kInk, 1, 0);
    TPixelSet drawn = PixelsOf(graph.bitmap, kInk);
    for (int x = 5; x <= 25; ++x) {
        EXPECT_TRUE(drawn.count({x, 17})) << x;
    }
    for (int y = 4; y <= 30; ++y) {
        EXPECT_TRUE(drawn.count({15, y})) << y;
    }
    for (auto [x, y] : drawn) {
        EXPECT_TRUE(x >= 5 && x <= 25 && y >= 4 && y <= 30) << x << "," << y;
    }
}

// A polyline of many more points than columns is drawn from a few points per
// column; its pixels must be those of the segments through every point.
struct TDenseLineCase {
    const char* name;
    int count;     // points
    double spread; // values in [-spread, spread] on a range of [-1, 1]
    int width;     // pen width
    unsigned seed;
    std::vector<double> fixed = {}; // these values, all in the first column
};

void PrintTo(const TDenseLineCase& c, std::ostream* os) {
    *os << c.name;
}

class DensePolyline : public testing::TestWithParam<TDenseLineCase> {};

TEST_P(DensePolyline, DrawsThePixelsOfEverySegment) {
    const TDenseLineCase& c = GetParam();
    std::vector<double> xs(static_cast<std::size_t>(c.count));
    std::vector<double> ys(xs.size());
    uint32_t state = c.seed;
    for (int i = 0; i < c.count; ++i) {
        state = state * 1664525u + 1013904223u;
        xs[i] = i * 0.01;
        ys[i] = c.spread * (static_cast<double>(state >> 8) / (1u << 24) * 2 - 1);
        if (i % 97 == 5) {
            ys[i] = ys[i > 0 ? i - 1 : 0]; // runs of equal pixels
        }
        if (!c.fixed.empty()) {
            xs[i] = 0;
            ys[i] = c.fixed[static_cast<std::size_t>(i)];
        }
    }
    TXYGraph graph(160, 90);
    graph.plot = {10, 5, 150, 80};
    graph.world = {0, -1, c.count * 0.01, 1};
    graph.Clear();
    TBitmap expected = graph.bitmap;
    graph.DrawPolyline(xs.data(), ys.data(), c.count, kInk, c.width, 0);

    std::vector<TPixelPoint> points(xs.size());
    for (int i = 0; i < c.count; ++i) {
        graph.ToPixel({xs[i], ys[i]}, points[i]);
    }
    TCanvas canvas(expected);
    canvas.SetPen(kInk, c.width, 0);
    canvas.SetClip(10, 5, 151, 81);
    canvas.Polyline(points.data(), c.count);
    EXPECT_EQ(graph.bitmap.Rgb(), expected.Rgb());
}

INSTANTIATE_TEST_SUITE_P(
    Series, DensePolyline,
    testing::Values(TDenseLineCase{"FewerPointsThanColumns", 100, 0.9, 1, 1},
                    TDenseLineCase{"TwoPerColumn", 281, 0.9, 1, 8},
                    TDenseLineCase{"ThreePerColumn", 423, 0.9, 1, 9},
                    TDenseLineCase{"TenPerColumn", 1400, 0.9, 1, 2},
                    TDenseLineCase{"ThousandPerColumn", 140000, 0.5, 1, 3},
                    TDenseLineCase{"BeyondThePlotBothWays", 5000, 3.0, 1, 4},
                    TDenseLineCase{"WidePen", 5000, 0.9, 3, 5},
                    TDenseLineCase{"NarrowRange", 3000, 0.004, 1, 6},
                    TDenseLineCase{"TwoPoints", 2, 0.9, 1, 7},
                    // The path's last pixel is drawn only because an earlier
                    // segment of the final run starts there.
                    TDenseLineCase{"FinalRunReturnsToItsTop", 4, 0, 1, 0, {0, 0.5, -0.5, 0.5}},
                    TDenseLineCase{"FinalRunReturnsToItsBottom", 4, 0, 1, 0, {0, -0.5, 0.5, -0.5}},
                    TDenseLineCase{"FinalRunEndsBelow", 5, 0, 1, 0, {0, 0.5, -0.5, 0.2, -0.9}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- number and label texts ----

struct TNumberCase {
    std::string name;
    double value;
    std::string expected;
};

void PrintTo(const TNumberCase& c, std::ostream* os) {
    *os << c.name;
}

class NumberText : public testing::TestWithParam<TNumberCase> {};

TEST_P(NumberText, IsTheGeneralFormWithFifteenDigits) {
    EXPECT_EQ(TXYGraph::NumberText(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberText,
    testing::Values(
        TNumberCase{"Zero", 0.0, "0"}, TNumberCase{"NegativeZero", -0.0, "0"},
        TNumberCase{"Integer", 2.0, "2"}, TNumberCase{"NegativeInteger", -3.0, "-3"},
        TNumberCase{"Quarter", 0.25, "0.25"}, TNumberCase{"SumOfTenths", 0.1 + 0.2, "0.3"},
        TNumberCase{"ThirtyPercent", 0.30000000000000004, "0.3"},
        TNumberCase{"Third", 1.0 / 3.0, "0.333333333333333"},
        TNumberCase{"TwoThirds", 2.0 / 3.0, "0.666666666666667"},
        TNumberCase{"Mixed", -123.456, "-123.456"}, TNumberCase{"TenThousandth", 0.0001, "0.0001"},
        TNumberCase{"LastFixedSmall", 0.00012345, "0.00012345"},
        TNumberCase{"HundredThousandth", 0.00001, "1E-5"},
        TNumberCase{"SmallScientific", -0.000099999, "-9.9999E-5"},
        TNumberCase{"LastFixedLarge", 999999999999999.0, "999999999999999"},
        TNumberCase{"TenToFourteen", 1e14, "100000000000000"},
        TNumberCase{"TenToFifteen", 1e15, "1E15"}, TNumberCase{"TenToSixteen", 1e16, "1E16"},
        TNumberCase{"RoundsUpIntoScientific", 999999999999999.9, "1E15"},
        TNumberCase{"LargeMantissa", 2.5e20, "2.5E20"},
        TNumberCase{"Largest", std::numeric_limits<double>::max(), "1.79769313486232E308"},
        TNumberCase{"Tiny", 5e-324, "4.94065645841247E-324"}),
    [](const testing::TestParamInfo<TNumberCase>& info) { return info.param.name; });

TEST(NumberText, IgnoresADecimalCommaLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    EXPECT_EQ(TXYGraph::NumberText(0.25), "0.25");
    EXPECT_EQ(TXYGraph::NumberText(2.5e20), "2.5E20");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(LabelText, PowersOfTenWhenLogarithmic) {
    EXPECT_EQ(TXYGraph::LabelText(-3, true), "10^-3");
    EXPECT_EQ(TXYGraph::LabelText(0, true), "10^0");
    EXPECT_EQ(TXYGraph::LabelText(2, true), "10^2");
    EXPECT_EQ(TXYGraph::LabelText(-0.5, true), "10^-0.5");
    EXPECT_EQ(TXYGraph::LabelText(0.5, false), "0.5");
}

// ---- labels, grid and free text ----

// What a canvas shows after drawing the texts at the given top-left corners.
struct TPlacedText {
    std::string text;
    int x, y;
};

TEST(DrawXLabel, CentresTheNumberAndTrailsTheUnit) {
    TXYGraph graph(300, 240); // plot (40, 40, 260, 200)
    graph.xUnit = "Hz";
    graph.Clear();
    graph.DrawXLabel(0.5, true);
    int w = LabelWidth("0.5");
    TBitmap expected(300, 240);
    TCanvas canvas(expected);
    canvas.SetBrush(kWhite, TBrushStyle::Solid);
    canvas.FillRect(0, 0, 300, 240);
    canvas.SetFont(kGothic, kBlack, 12);
    canvas.TextOut(150 - w / 2, 206, "0.5Hz");
    EXPECT_EQ(graph.bitmap.Rgb(), expected.Rgb());
    TPixelSet ink = NotWhite(graph.bitmap);
    ASSERT_FALSE(ink.empty());
    int left = 300, right = 0, top = 240;
    for (auto [x, y] : ink) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
    }
    EXPECT_GE(left, 150 - w / 2);
    EXPECT_GT(right, 150 + w) << "the unit sticks out to the right";
    EXPECT_GE(top, 206);
}

TEST(DrawYLabel, EndsSixPixelsLeftOfTheFrameUnitIncluded) {
    TXYGraph graph(300, 240);
    graph.yUnit = "RMS";
    graph.Clear();
    graph.DrawYLabel(1.0, true);
    int w = LabelWidth("1RMS");
    TBitmap expected(300, 240);
    TCanvas canvas(expected);
    canvas.SetBrush(kWhite, TBrushStyle::Solid);
    canvas.FillRect(0, 0, 300, 240);
    canvas.SetFont(kGothic, kBlack, 12);
    canvas.TextOut(40 - w - 6, 40 - 6, "1RMS");
    EXPECT_EQ(graph.bitmap.Rgb(), expected.Rgb());
    TPixelSet ink = NotWhite(graph.bitmap);
    ASSERT_FALSE(ink.empty());
    int right = 0, top = 240, bottom = 0;
    for (auto [x, y] : ink) {
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    EXPECT_LT(right, 40 - 6);
    EXPECT_GE(right, 40 - 6 - 3) << "the text reaches up to the gap";
    EXPECT_GE(top, 34);
    EXPECT_LT(bottom, 46);
}

// The image of a grid: dotted silver lines from the bottom up and from the
// left across, each starting its own pattern, and the labels in black.
TBitmap ExpectedGrid(int width, int height, TPixelRect plot, const std::vector<int>& xs,
                     const std::vector<int>& ys, const std::vector<TPlacedText>& labels) {
    TBitmap bitmap(width, height);
    TCanvas canvas(bitmap);
    canvas.SetBrush(kWhite, TBrushStyle::Solid);
    canvas.FillRect(0, 0, width, height);
    canvas.SetPen(kSilver, 1, 2);
    canvas.SetClip(plot.left, plot.top, plot.right + 1, plot.bottom + 1);
    for (int x : xs) {
        canvas.MoveTo({x, plot.bottom});
        canvas.LineTo({x, plot.top});
    }
    for (int y : ys) {
        canvas.MoveTo({plot.left, y});
        canvas.LineTo({plot.right, y});
    }
    canvas.ResetClip();
    canvas.SetFont(kGothic, kBlack, 12);
    for (const TPlacedText& label : labels) {
        canvas.TextOut(label.x, label.y, label.text);
    }
    return bitmap;
}

TPlacedText XLabel(const std::string& number, const std::string& unit, int x, int bottom) {
    return {number + unit, x - LabelWidth(number) / 2, bottom + 6};
}

TPlacedText YLabel(const std::string& text, int left, int y) {
    return {text, left - (LabelWidth(text) + 6), y - 6};
}

TEST(DrawGrid, TenthsOfTheUnitSquare) {
    TXYGraph graph(300, 240); // plot (40, 40, 260, 200): 22 and 16 pixels per tenth
    graph.SetAxisUnits("s", "Hz");
    graph.Clear();
    graph.DrawGrid(1, 2);
    std::vector<int> xs, ys;
    std::vector<TPlacedText> labels;
    const char* tenths[] = {"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"};
    for (int i = 1; i <= 9; ++i) {
        xs.push_back(40 + 22 * i);
        labels.push_back(XLabel(tenths[i - 1], "", 40 + 22 * i, 200));
    }
    labels.push_back(XLabel("0", "", 40, 200));
    labels.push_back(XLabel("1", "s", 260, 200));
    for (int i = 1; i <= 9; ++i) {
        ys.push_back(200 - 16 * i);
        labels.push_back(YLabel(tenths[i - 1], 40, 200 - 16 * i));
    }
    labels.push_back(YLabel("0", 40, 200));
    labels.push_back(YLabel("1Hz", 40, 40));
    EXPECT_EQ(graph.bitmap.Rgb(), ExpectedGrid(300, 240, graph.plot, xs, ys, labels).Rgb());
    // The grid itself is dotted, starting at the bottom: 3 on, 3 off.
    EXPECT_EQ(graph.bitmap.Pixel(62, 200), kSilver);
    EXPECT_EQ(graph.bitmap.Pixel(62, 198), kSilver);
    EXPECT_EQ(graph.bitmap.Pixel(62, 197), kWhite);
    EXPECT_EQ(graph.bitmap.Pixel(62, 194), kSilver);
}

TEST(DrawGrid, DecadesWithPowerOfTenLabels) {
    TXYGraph graph(434, 680);
    graph.plot = {48, 20, 398, 650}; // 70 pixels per decade
    graph.world = {-3, -9, 2, 0};
    graph.xStep = 1;
    graph.yStep = 1;
    graph.xLog = true;
    graph.yLog = true;
    graph.SetAxisUnits("Hz", "P");
    graph.Clear();
    graph.DrawGrid(1, 2);
    std::vector<int> xs{118, 188, 258, 328}, ys;
    std::vector<TPlacedText> labels{XLabel("10^-2", "", 118, 650), XLabel("10^-1", "", 188, 650),
                                    XLabel("10^0", "", 258, 650),  XLabel("10^1", "", 328, 650),
                                    XLabel("10^-3", "", 48, 650),  XLabel("10^2", "Hz", 398, 650)};
    for (int e = -8; e <= -1; ++e) {
        int y = 650 - 70 * (e + 9);
        ys.push_back(y);
        labels.push_back(YLabel("10^" + std::to_string(e), 48, y));
    }
    labels.push_back(YLabel("10^-9", 48, 650));
    labels.push_back(YLabel("10^0P", 48, 20));
    EXPECT_EQ(graph.bitmap.Rgb(), ExpectedGrid(434, 680, graph.plot, xs, ys, labels).Rgb());
}

// The columns of the plotting area's interior that hold grid pixels.
std::vector<int> GridColumns(const TXYGraph& graph) {
    std::vector<int> columns;
    for (int x = graph.plot.left; x <= graph.plot.right; ++x) {
        for (int y = graph.plot.top; y <= graph.plot.bottom; ++y) {
            if (graph.bitmap.Pixel(x, y) == kSilver) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST(DrawGrid, CountDependsOnTheLengthOnly) {
    TXYGraph graph(300, 240); // 220 pixels for a length of 1
    graph.world = {0.05, 0, 1.05, 1};
    graph.yStep = 2; // no horizontal lines
    graph.Clear();
    graph.DrawGrid(1, 2);
    // Nine lines, at 0.1 ... 0.9; none at 1.0.
    std::vector<int> expected;
    for (int i = 1; i <= 9; ++i) {
        expected.push_back(static_cast<int>(std::floor((i * 0.1 - 0.05) * 220 + 40 + 0.5)));
    }
    EXPECT_EQ(GridColumns(graph), expected);
}

TEST(DrawGrid, UnusableStepsDrawOnlyTheEndLabels) {
    // A step of zero, a negative, NaN or one giving far too many lines: no
    // grid line, no endless loop, just the labels at the ends.
    for (double step : std::vector<double>{0.0, -0.1, NAN, 1e-300}) {
        TXYGraph graph(300, 240);
        graph.xStep = step;
        graph.yStep = step;
        graph.Clear();
        graph.DrawGrid(1, 2);
        std::vector<TPlacedText> labels{XLabel("0", "", 40, 200), XLabel("1", "", 260, 200),
                                        YLabel("0", 40, 200), YLabel("1", 40, 40)};
        EXPECT_EQ(graph.bitmap.Rgb(), ExpectedGrid(300, 240, graph.plot, {}, {}, labels).Rgb())
            << step;
    }
}

TEST(PutText, IsPlacedFromThePlotCornerAndNotClipped) {
    TXYGraph graph(300, 240);
    graph.Clear();
    graph.PutText("λ = 1.234", -30, -20, kInk, 16);
    TBitmap expected(300, 240);
    TCanvas canvas(expected);
    canvas.SetBrush(kWhite, TBrushStyle::Solid);
    canvas.FillRect(0, 0, 300, 240);
    canvas.SetFont(kGothic, kInk, 16);
    canvas.TextOut(10, 20, "λ = 1.234");
    EXPECT_EQ(graph.bitmap.Rgb(), expected.Rgb());
    bool outsidePlot = false;
    for (auto [x, y] : NotWhite(graph.bitmap)) {
        outsidePlot = outsidePlot || x < 40 || y < 40;
    }
    EXPECT_TRUE(outsidePlot);
}

// ---- data series ----

// A graph whose x pixels are 48 + 70 * (x + 3) and y pixels 650 - 70 * (y + 9).
TXYGraph& Decades(TXYGraph& graph) {
    graph.plot = {48, 20, 398, 650};
    graph.world = {-3, -9, 2, 0};
    graph.Clear();
    return graph;
}

TEST(DrawHistogram, BarsEndOneColumnBeforeTheNextAndTheLastCopiesItsNeighbour) {
    TXYGraph graph(434, 680);
    Decades(graph);
    double xs[] = {-3, -2, -1};
    double ys[] = {-4.5, -4.5, -4.5}; // row 335
    graph.DrawHistogram(xs, ys, 3, kInk);
    TPixelSet expected = Block(48, 335, 117, 650);
    for (auto p : Block(118, 335, 187, 650)) {
        expected.insert(p);
    }
    for (auto p : Block(188, 335, 257, 650)) {
        expected.insert(p);
    }
    EXPECT_EQ(PixelsOf(graph.bitmap, kInk), expected);
}

struct THistogramCase {
    std::string name;
    std::vector<double> xs, ys;
    TPixelSet expected;
};

void PrintTo(const THistogramCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawHistogramBar : public testing::TestWithParam<THistogramCase> {};

TEST_P(DrawHistogramBar, FillsTheExpectedPixels) {
    const THistogramCase& c = GetParam();
    TXYGraph graph(434, 680);
    Decades(graph);
    graph.DrawHistogram(c.xs.data(), c.ys.data(), static_cast<int>(c.xs.size()), kInk);
    EXPECT_EQ(PixelsOf(graph.bitmap, kInk), c.expected);
}

TPixelSet Union(TPixelSet a, const TPixelSet& b) {
    a.insert(b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Points, DrawHistogramBar,
    testing::Values(THistogramCase{"AboveTheRangeIsClippedAtTheTop",
                                   {-3, -2},
                                   {5, 5},
                                   Union(Block(48, 20, 117, 650), Block(118, 20, 187, 650))},
                    THistogramCase{"BelowTheRangeColoursOnlyTheBottomRow",
                                   {-3, -2},
                                   {-12, -12},
                                   Union(Block(48, 650, 117, 651), Block(118, 650, 187, 651))},
                    THistogramCase{"OnTheBottomLineDrawsNothing", {-3, -2}, {-9, -9}, {}},
                    THistogramCase{"LogOfZeroStandIn",
                                   {-3, -2},
                                   {-3.4e38, -3.4e38},
                                   Union(Block(48, 650, 117, 651), Block(118, 650, 187, 651))},
                    // The first bar starts at the lower integer limit; the last
                    // one is as wide as that and runs off the right edge.
                    THistogramCase{"FarLeftBarIsClipped",
                                   {-3.4e38, -2},
                                   {-4.5, -4.5},
                                   Union(Block(48, 335, 117, 650), Block(118, 335, 399, 650))},
                    THistogramCase{"OnePointHasNoWidth", {-1}, {-4.5}, {}},
                    THistogramCase{"NoPoints", {}, {}, {}},
                    // Unsorted x (pixels 48, 188, 118): the second bar has a
                    // negative width, its edges swapped to 117 ... 187, and the
                    // last bar takes that width too, running back towards 47.
                    THistogramCase{"UnsortedRunsBackwards",
                                   {-3, -1, -2},
                                   {-4.5, -4.5, -4.5},
                                   Union(Union(Block(48, 335, 187, 650), Block(117, 335, 188, 650)),
                                         Block(48, 335, 118, 650))}),
    [](const testing::TestParamInfo<THistogramCase>& info) { return info.param.name; });

TEST(DrawPoints, SetsPixelsOnTheRightAndBottomFrameLines) {
    TXYGraph graph(434, 680);
    Decades(graph);
    double xs[] = {2, -3, 0, 2.01, -0.5, -3.4e38, NAN};
    double ys[] = {-9, 0, -4.5, -4.5, -9.01, 0, -4.5};
    graph.DrawPoints(xs, ys, 7, kInk);
    EXPECT_EQ(PixelsOf(graph.bitmap, kInk), (TPixelSet{{398, 650}, {48, 20}, {258, 335}}));
}

TEST(DrawPolyline, DrawsInnerPointsButNotTheLast) {
    TXYGraph graph(434, 680);
    Decades(graph);
    double xs[] = {-3, -2, -2};
    double ys[] = {-4.5, -4.5, -5.5}; // (48, 335) (118, 335) (118, 405)
    graph.DrawPolyline(xs, ys, 3, kInk, 1, 0);
    TPixelSet expected = Union(Block(48, 335, 118, 336), Block(118, 335, 119, 405));
    EXPECT_EQ(PixelsOf(graph.bitmap, kInk), expected);
    graph.Clear();
    graph.DrawPolyline(xs, ys, 1, kInk, 1, 0);
    EXPECT_TRUE(PixelsOf(graph.bitmap, kInk).empty());
}

TEST(DrawPolyline, FarAwayValuesStayInsideThePlot) {
    TXYGraph graph(434, 680);
    Decades(graph);
    double xs[] = {-3, -2, -1, 0, 1};
    double ys[] = {-4.5, -3.4e38, -4.5, 3.4e38, -4.5};
    graph.DrawPolyline(xs, ys, 5, kInk, 1, 0);
    TPixelSet drawn = PixelsOf(graph.bitmap, kInk);
    for (auto [x, y] : drawn) {
        ASSERT_TRUE(x >= 48 && x <= 398 && y >= 20 && y <= 650) << x << "," << y;
    }
    // The segment from (48, 335) down to (118, INT32_MAX) is almost vertical:
    // it leaves the plot through the bottom line at column 48.
    EXPECT_TRUE(drawn.count({48, 650}));
    EXPECT_TRUE(drawn.count({48, 335}));
}

TEST(PlotPolyline, StartsFromAClearedBitmapWithFrameAndGrid) {
    TXYGraph graph(300, 240);
    for (int x = 0; x < 300; ++x) {
        graph.bitmap.SetPixel(x, 5, kInk);
    }
    double xs[] = {0.25, 0.75};
    double ys[] = {0.5, 0.5};
    graph.PlotPolyline(xs, ys, 2, kInk, 1, 0);
    TPixelSet ink = PixelsOf(graph.bitmap, kInk);
    EXPECT_EQ(ink, Block(95, 120, 205, 121));
    EXPECT_EQ(graph.bitmap.Pixel(40, 200), kBlack);
    EXPECT_EQ(graph.bitmap.Pixel(260, 40), kWhite) << "the top-right frame corner";
    EXPECT_EQ(graph.bitmap.Pixel(62, 200 - 1), kSilver);
}

// ---- automatic steps and ranges ----

struct TStepCase {
    std::string name;
    double length;
    double step;
};

void PrintTo(const TStepCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoStep : public testing::TestWithParam<TStepCase> {};

TEST_P(AutoStep, GivesOneTwoOrFiveTimesAPowerOfTen) {
    TXYGraph graph(100, 100);
    graph.world = {10, -20, 10 + GetParam().length, -20 + GetParam().length};
    graph.AutoStep();
    // Within 4 ulp of the decimal step.
    EXPECT_DOUBLE_EQ(graph.xStep, GetParam().step);
    EXPECT_DOUBLE_EQ(graph.yStep, GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AutoStep,
    testing::Values(TStepCase{"One", 1, 0.1}, TStepCase{"Three", 3, 0.2},
                    TStepCase{"Seven", 7, 0.5}, TStepCase{"Ten", 10, 1},
                    TStepCase{"Half", 0.5, 0.05}, TStepCase{"JustBelowTwo", 1.999, 0.1},
                    TStepCase{"Two", 2, 0.2}, TStepCase{"JustBelowFour", 3.999, 0.2},
                    TStepCase{"Four", 4, 0.5}, TStepCase{"NearlyTen", 9.975, 0.5},
                    TStepCase{"Large", 249.6, 20}),
    [](const testing::TestParamInfo<TStepCase>& info) { return info.param.name; });

TEST(AutoXStep, EmptyRangeIsWidenedByOneEachWay) {
    TXYGraph graph(100, 100);
    graph.world = {5, 0, 5, 1};
    graph.AutoXStep();
    EXPECT_EQ(graph.world.xmin, 4.0);
    EXPECT_EQ(graph.world.xmax, 6.0);
    EXPECT_DOUBLE_EQ(graph.xStep, 0.2);
}

TEST(AutoRange, SamplingWindowExample) {
    std::vector<double> xs, ys;
    for (int i = 0; i < 400; ++i) {
        xs.push_back(i * 0.025);
        ys.push_back(182.3 + 249.6 * (i % 7) / 6.0);
    }
    TXYGraph graph(100, 100);
    graph.AutoRange(xs.data(), ys.data(), 400);
    EXPECT_DOUBLE_EQ(graph.xStep, 0.5);
    EXPECT_DOUBLE_EQ(graph.yStep, 20);
    EXPECT_DOUBLE_EQ(graph.world.xmin, 0);
    EXPECT_DOUBLE_EQ(graph.world.xmax, 10);
    EXPECT_DOUBLE_EQ(graph.world.ymin, 180);
    EXPECT_DOUBLE_EQ(graph.world.ymax, 440);
}

TEST(AutoXRange, ConstantSeriesIsWidened) {
    std::vector<double> xs(10, 5.0);
    TXYGraph graph(100, 100);
    graph.AutoXRange(xs.data(), 10);
    EXPECT_DOUBLE_EQ(graph.world.xmin, 4);
    EXPECT_DOUBLE_EQ(graph.world.xmax, 6);
    EXPECT_DOUBLE_EQ(graph.xStep, 0.2);
}

TEST(AutoYRange, NaNNeverBecomesAnExtreme) {
    double ys[] = {1, NAN, 3, -2, NAN};
    TXYGraph graph(100, 100);
    graph.AutoYRange(ys, 5);
    EXPECT_DOUBLE_EQ(graph.yStep, 0.5);
    EXPECT_DOUBLE_EQ(graph.world.ymin, -2);
    EXPECT_DOUBLE_EQ(graph.world.ymax, 3);
}

TEST(AutoXRange, StepBelongsToTheRangeBeforeRounding) {
    // Length 3.85 gives the step 0.2; the range rounded to 0 ... 4 would give
    // 0.5, but the step is not chosen again.
    double wide[] = {0.05, 3.9};
    TXYGraph graph(100, 100);
    graph.AutoXRange(wide, 2);
    EXPECT_DOUBLE_EQ(graph.xStep, 0.2);
    EXPECT_DOUBLE_EQ(graph.world.xmin, 0);
    EXPECT_DOUBLE_EQ(graph.world.xmax, 4);
}

TEST(AutoRange, NoValuesLeaveTheRangeAlone) {
    TXYGraph graph(100, 100);
    graph.world = {1, 2, 3, 4};
    graph.AutoRange(nullptr, nullptr, 0);
    EXPECT_EQ(graph.world.xmin, 1.0);
    EXPECT_EQ(graph.world.ymax, 4.0);
    EXPECT_EQ(graph.xStep, 0.1);
}

} // namespace

// ---- drawing at a higher pixel density ----

// The scale-1 bitmap with every pixel made an s x s block.
TBitmap Enlarged(const TBitmap& bitmap, int s) {
    TBitmap large(bitmap.Width() * s, bitmap.Height() * s);
    for (int y = 0; y < large.Height(); ++y) {
        for (int x = 0; x < large.Width(); ++x) {
            large.SetPixel(x, y, bitmap.Pixel(x / s, y / s));
        }
    }
    return large;
}

// Frame, dotted grid, histogram bars and points on binary fractions of a
// 128-pixel plot, whose pixels every scale places exactly.
void DrawScaleProbe(TXYGraph& graph) {
    graph.plot = TPixelRect{40, 20, 168, 148};
    graph.xStep = 0.125;
    graph.yStep = 0.25;
    const double xs[] = {0.125, 0.25, 0.5, 0.75};
    const double ys[] = {0.5, 0.25, 0.75, 0.5};
    graph.PlotHistogram(xs, ys, 4, kInk);
    const double px[] = {0.0625, 0.875, 1.0};
    const double py[] = {0.875, 0.125, 0.0};
    graph.DrawPoints(px, py, 3, kBlack);
}

class ScaledGraph : public testing::TestWithParam<int> {};

TEST_P(ScaledGraph, PlotPixelsAreTheScaleOneOnesAsBlocks) {
    const int s = GetParam();
    TXYGraph one(200, 170);
    TXYGraph scaled(200, 170, s);
    DrawScaleProbe(one);
    DrawScaleProbe(scaled);
    ASSERT_EQ(scaled.Scale(), s);
    ASSERT_EQ(scaled.bitmap.Width(), 200 * s);
    ASSERT_EQ(scaled.bitmap.Height(), 170 * s);
    EXPECT_EQ(scaled.Width(), 200);
    EXPECT_EQ(scaled.Height(), 170);
    const TBitmap expected = Enlarged(one.bitmap, s);
    // Inside the plot, its right and bottom lines included (the labels
    // outside it are drawn from fonts at another size). A pen stamps whole
    // blocks but leaves out only the last bitmap pixel of a line, so line
    // ends and dots differ by a pixel row or two; a dot, gap, pen or bar
    // spacing of the wrong length differs along whole lines.
    int wrong = 0;
    int drawn = 0;
    for (int y = 20 * s; y < 149 * s; ++y) {
        for (int x = 40 * s; x < 169 * s; ++x) {
            wrong += scaled.bitmap.Pixel(x, y) != expected.Pixel(x, y);
            drawn += expected.Pixel(x, y) != kWhite;
        }
    }
    EXPECT_LT(wrong * 64, drawn) << wrong << " of " << drawn << " pixels differ";
    // The frame's left and bottom lines are whole blocks.
    for (int i = 0; i < s; ++i) {
        EXPECT_EQ(scaled.bitmap.Pixel(40 * s + i, 100 * s + i), kBlack);
        EXPECT_EQ(scaled.bitmap.Pixel(100 * s + i, 148 * s + i), kBlack);
    }
    EXPECT_EQ(scaled.bitmap.Pixel(40 * s + s, 100 * s), kWhite);
}

TEST_P(ScaledGraph, LabelsAndTextGrowWithTheScale) {
    const int s = GetParam();
    auto inkHeight = [](const TXYGraph& graph, int left, int right) {
        int top = graph.bitmap.Height(), bottom = -1;
        for (int y = 0; y < graph.bitmap.Height(); ++y) {
            for (int x = left; x < right; ++x) {
                if (graph.bitmap.Pixel(x, y) != kWhite) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        return bottom - top + 1;
    };
    TXYGraph one(200, 170);
    TXYGraph scaled(200, 170, s);
    for (TXYGraph* graph : {&one, &scaled}) {
        graph->Clear();
        graph->DrawYLabel(0.5, false);
        graph->PutText("λ = 1.000", 0, 0, kBlack, 16);
    }
    // The y label left of the plot, and the text inside it.
    const int labelOne = inkHeight(one, 0, 40);
    const int textOne = inkHeight(one, 40, 200);
    ASSERT_GT(labelOne, 4);
    ASSERT_GT(textOne, 4);
    EXPECT_NEAR(inkHeight(scaled, 0, 40 * s), labelOne * s, s + 1);
    EXPECT_NEAR(inkHeight(scaled, 40 * s, 200 * s), textOne * s, s + 1);
}

INSTANTIATE_TEST_SUITE_P(Scale, ScaledGraph, testing::Values(2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return "x" + std::to_string(info.param);
                         });

TEST(UsableScale, StaysAtOneOrAboveAndWithinTheBitmapLimit) {
    struct Case {
        int width;
        int height;
        double asked;
        double drawn;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {100, 100, 1.0, 1.0},   {100, 100, 2.0, 2.0},
        {100, 100, 1.5, 1.5},   {100, 100, 0.5, 1.0},
        {100, 100, nan, 1.0},   {100, 100, inf, 1.0},
        {8192, 8192, 2.0, 1.0}, {4096, 4096, 4.0, 2.0},
        {0, 0, 3.0, 3.0},       {3084, 3080, 1000.0, std::sqrt(67108864.0 / (3084.0 * 3080.0))},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(TXYGraph::UsableScale(c.width, c.height, c.asked), c.drawn)
            << c.width << "x" << c.height << " at " << c.asked;
    }
}
