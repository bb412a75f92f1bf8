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

namespace {

std::unique_ptr<TXYGraph> SamplingGraph(const std::vector<double>& times, const double* values,
                                        int count, const std::string& unit, int w, int h,
                                        double scale) {
    constexpr TColor kBlue = 0xFF0000;
    auto graph = std::make_unique<TXYGraph>(w, h, scale);
    graph->plot = TPixelRect{55, 20, w - 35, h - 30};
    graph->SetAxisUnits("sec", unit);
    if (count > 0) {
        graph->AutoRange(times.data(), values, count);
        graph->AutoStep();
    }
    graph->xLog = false;
    graph->yLog = false;
    graph->PlotPolyline(times.data(), values, count, kBlue, 1, 0);
    return graph;
}

} // namespace

TSamplingDrawing DrawSamplingGraph(const double* values, int count, double period,
                                   const std::string& unit, int w, int h,
                                   const std::string& fileName, const TPngText& text,
                                   double scale) {
    std::vector<double> times(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) {
        times[i] = i * period;
    }
    TSamplingDrawing drawing;
    std::unique_ptr<TXYGraph> graph;
    if (!fileName.empty()) {
        graph = SamplingGraph(times, values, count, unit, w, h, 1.0);
        drawing.saved = graph->SaveAsPng(fileName, &drawing.saveError, text);
    }
    if (!graph || TXYGraph::UsableScale(w, h, scale) != 1.0) {
        graph = SamplingGraph(times, values, count, unit, w, h, scale);
    }
    drawing.graph = std::move(graph);
    return drawing;
}
