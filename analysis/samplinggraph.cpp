#include "analysis/samplinggraph.h"

#include <vector>

#include "base/textformat.h"
#include "base/translate.h"
#include "graph/xygraph.h"

TSamplingDrawing::TSamplingDrawing() = default;
TSamplingDrawing::~TSamplingDrawing() = default;
TSamplingDrawing::TSamplingDrawing(TSamplingDrawing&&) noexcept = default;
TSamplingDrawing& TSamplingDrawing::operator=(TSamplingDrawing&&) noexcept = default;

TSamplingStatistics SamplingStatisticsTexts(int count, double period, double average,
                                            double maximum, const std::string& unit) {
    TSamplingStatistics texts;
    texts.numSample = TrSubst("総サンプル数：%s", {FormatInt(count)});
    texts.duration = TrSubst("長さ：%ssec", {FormatFixed(count * period, 3)});
    texts.average = TrSubst("平均値：%s%s", {FormatFixed(average, 3), unit});
    texts.maximum = TrSubst("最大値：%s%s", {FormatFixed(maximum, 3), unit});
    return texts;
}

TSamplingDrawing DrawSamplingGraph(const double* values, int count, double period,
                                   const std::string& unit, int w, int h,
                                   const std::string& fileName, const TPngText& text) {
    constexpr TColor kBlue = 0xFF0000;
    std::vector<double> times(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) {
        times[i] = i * period;
    }
    TSamplingDrawing drawing;
    auto graph = std::make_unique<TXYGraph>(w, h);
    graph->plot = TPixelRect{55, 20, w - 35, h - 30};
    graph->SetAxisUnits("sec", unit);
    if (count > 0) {
        graph->AutoRange(times.data(), values, count);
        graph->AutoStep();
    }
    graph->xLog = false;
    graph->yLog = false;
    graph->PlotPolyline(times.data(), values, count, kBlue, 1, 0);
    if (!fileName.empty()) {
        drawing.saved = graph->SaveAsPng(fileName, &drawing.saveError, text);
    }
    drawing.graph = std::move(graph);
    return drawing;
}
