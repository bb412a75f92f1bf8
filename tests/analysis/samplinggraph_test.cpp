#include "analysis/samplinggraph.h"

#include <gtest/gtest.h>
#include <vector>

#include "graph/png.h"
#include "graph/xygraph.h"
#include "tests/support/testsupport.h"

TEST(SamplingStatisticsTexts, FormatsTheFourLines) {
    TSamplingStatistics texts =
        SamplingStatisticsTexts(401, 0.024988662131519273, 250.0, 431.9, "Hz");
    EXPECT_EQ(texts.numSample, "総サンプル数：401");
    EXPECT_EQ(texts.duration, "長さ：10.020sec");
    EXPECT_EQ(texts.average, "平均値：250.000Hz");
    EXPECT_EQ(texts.maximum, "最大値：431.900Hz");

    TSamplingStatistics empty = SamplingStatisticsTexts(0, 0.0, 0.0, 0.0, "");
    EXPECT_EQ(empty.numSample, "総サンプル数：0");
    EXPECT_EQ(empty.duration, "長さ：0.000sec");
    EXPECT_EQ(empty.average, "平均値：0.000");
}

TEST(DrawSamplingGraph, RoundsTheTimeAxisOutAndMatchesTheGridToIt) {
    std::vector<double> values(400);
    for (int i = 0; i < 400; ++i) {
        values[i] = 182.3 + (431.9 - 182.3) * (i % 7) / 6.0;
    }
    TSamplingDrawing drawing = DrawSamplingGraph(values.data(), 400, 0.025, "Hz", 800, 320, "");
    ASSERT_TRUE(drawing.graph);
    const TXYGraph& graph = *drawing.graph;
    EXPECT_EQ(graph.world.xmin, 0.0);
    EXPECT_EQ(graph.world.xmax, 10.0);
    EXPECT_EQ(graph.xStep, 1.0);
    EXPECT_EQ(graph.world.ymin, 180.0);
    EXPECT_EQ(graph.world.ymax, 440.0);
    EXPECT_EQ(graph.plot.left, 55);
    EXPECT_EQ(graph.plot.top, 20);
    EXPECT_EQ(graph.plot.right, 765);
    EXPECT_EQ(graph.plot.bottom, 290);
    EXPECT_EQ(graph.xUnit, "sec");
    EXPECT_EQ(graph.yUnit, "Hz");
}

TEST(DrawSamplingGraph, SavesAGraphOfTheGivenSize) {
    std::vector<double> values = {1.0, 3.0, 2.0};
    TTempDir dir;
    std::string path = dir.File("series.png");
    TSamplingDrawing drawing = DrawSamplingGraph(values.data(), 3, 0.5, "RMS", 300, 200, path);
    ASSERT_TRUE(drawing.saved);
    EXPECT_EQ(drawing.graph->bitmap.Width(), 300);
    EXPECT_EQ(drawing.graph->bitmap.Height(), 200);
    EXPECT_EQ(ReadFileBytes(path), EncodePng(drawing.graph->bitmap));
}

TEST(DrawSamplingGraph, AnEmptySeriesDrawsAnEmptyGraph) {
    TSamplingDrawing drawing = DrawSamplingGraph(nullptr, 0, 0.0, "", 804, 324, "");
    ASSERT_TRUE(drawing.graph);
    EXPECT_EQ(drawing.graph->bitmap.Width(), 804);
}

// A denser screen gets a denser graph; the file stays the scale-1 graph.
TEST(DrawSamplingGraph, ScaledForTheScreenSavedAtScaleOne) {
    std::vector<double> values = {1.0, 3.0, 2.0, 5.0};
    TTempDir dir;
    const std::string plain = dir.File("plain.png");
    const std::string scaled = dir.File("scaled.png");
    TSamplingDrawing one = DrawSamplingGraph(values.data(), 4, 0.5, "RMS", 300, 200, plain);
    TSamplingDrawing two =
        DrawSamplingGraph(values.data(), 4, 0.5, "RMS", 300, 200, scaled, {}, 2.0);
    ASSERT_TRUE(two.saved);
    EXPECT_EQ(two.graph->bitmap.Width(), 600);
    EXPECT_EQ(two.graph->bitmap.Height(), 400);
    EXPECT_EQ(ReadFileBytes(scaled), ReadFileBytes(plain));
    EXPECT_EQ(ReadFileBytes(plain), EncodePng(one.graph->bitmap));
}
