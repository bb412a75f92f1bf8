// Graph drawing costs: a polyline of the largest spectrum, with and without
// far-away values, and a whole spectrum-sized plot saved as PNG.

#include <benchmark/benchmark.h>
#include <cmath>
#include <string>
#include <vector>

#include "graph/xygraph.h"
#include "tests/support/testsupport.h"

namespace {

constexpr int kPoints = 262144;

struct TSeries {
    std::vector<double> xs, ys;
};

// A spectrum-like series on decades: x from -3 to 2, y falling with
// fluctuation. Every tenth y may be replaced by `outlier`: the log-of-zero
// stand-in, or a value just below the plot that draws almost the same
// visible pixels with short lines.
TSeries Spectrum(double outlier = NAN) {
    TSeries series;
    series.xs.resize(kPoints);
    series.ys.resize(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        double x = -3.0 + 5.0 * i / (kPoints - 1);
        series.xs[i] = x;
        series.ys[i] = -1.2 * (x + 3.0) - 1.0 + 0.8 * std::sin(i * 0.7);
        if (!std::isnan(outlier) && i % 10 == 0) {
            series.ys[i] = outlier;
        }
    }
    return series;
}

void Configure(TXYGraph& graph) {
    graph.plot = {48, 20, 398, 650};
    graph.world = {-3, -9, 2, 0};
    graph.xStep = 1;
    graph.yStep = 1;
    graph.xLog = true;
    graph.yLog = true;
    graph.SetAxisUnits("Hz", "");
}

void DrawPolylineOf(benchmark::State& state, const TSeries& series) {
    TXYGraph graph(434, 680);
    Configure(graph);
    graph.Clear();
    for (auto _ : state) {
        graph.DrawPolyline(series.xs.data(), series.ys.data(), kPoints, 0x0000FF, 1, 0);
        benchmark::DoNotOptimize(graph.bitmap.Rgb().data());
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void DrawPolylineOrdinary(benchmark::State& state) {
    DrawPolylineOf(state, Spectrum());
}
BENCHMARK(DrawPolylineOrdinary)->Unit(benchmark::kMillisecond);

// Every tenth value maps to the integer limit below the plot.
void DrawPolylineFarAway(benchmark::State& state) {
    DrawPolylineOf(state, Spectrum(-3.4e38));
}
BENCHMARK(DrawPolylineFarAway)->Unit(benchmark::kMillisecond);

// Every tenth value a little below the plot: the same visible pixels as the
// far-away series, within the last row, with lines of ordinary length.
void DrawPolylineJustBelow(benchmark::State& state) {
    DrawPolylineOf(state, Spectrum(-9.2));
}
BENCHMARK(DrawPolylineJustBelow)->Unit(benchmark::kMillisecond);

void PlotPolylineAndSavePng(benchmark::State& state) {
    TSeries series = Spectrum(false);
    TTempDir dir;
    std::string path = dir.File("spectrum.png");
    for (auto _ : state) {
        TXYGraph graph(434, 680);
        Configure(graph);
        graph.PlotPolyline(series.xs.data(), series.ys.data(), kPoints, 0x0000FF, 1, 0);
        graph.PutText("λ = 1.234", 10, 10, 0x000000, 16);
        if (!graph.SaveAsPng(path)) {
            state.SkipWithError("SaveAsPng failed");
            break;
        }
    }
}
BENCHMARK(PlotPolylineAndSavePng)->Unit(benchmark::kMillisecond);

} // namespace
