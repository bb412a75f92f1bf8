#pragma once
// The sampling window's graph of a sample series over time and its four
// statistics lines.

#include <memory>
#include <string>

#include "graph/png.h"

class TXYGraph;

struct TSamplingStatistics {
    std::string numSample; // "総サンプル数：%d"
    std::string duration;  // "長さ：%.3fsec" of count * period
    std::string average;   // "平均値：%.3f%s"
    std::string maximum;   // "最大値：%.3f%s"
};

TSamplingStatistics SamplingStatisticsTexts(int count, double period, double average,
                                            double maximum, const std::string& unit);

struct TSamplingDrawing {
    std::unique_ptr<TXYGraph> graph; // w x h graph pixels, at the asked scale
    // False when a file name was given and the PNG could not be written,
    // with the reason in saveError.
    bool saved = true;
    std::string saveError;

    TSamplingDrawing();
    ~TSamplingDrawing();
    TSamplingDrawing(TSamplingDrawing&&) noexcept;
    TSamplingDrawing& operator=(TSamplingDrawing&&) noexcept;
};

// Draws the series (values at times i * period) as a blue polyline into a
// w x h graph with automatic ranges, "sec" after the last x label and `unit`
// after the last y label; saves it as PNG when fileName is not empty. An empty
// series draws the frame and grid of the range 0 ... 1 on both axes.
// The graph returned is drawn at `scale` bitmap pixels per graph pixel (for a
// screen's pixel density); the PNG is always drawn at scale 1, w x h pixels.
TSamplingDrawing DrawSamplingGraph(const double* values, int count, double period,
                                   const std::string& unit, int w, int h,
                                   const std::string& fileName, const TPngText& text = {},
                                   double scale = 1.0);
