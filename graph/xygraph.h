#pragma once
// TXYGraph: one two-dimensional graph drawn into an off-screen bitmap of its
// own: frame, dotted grid, tick labels (linear or powers of ten) with axis
// units, data as points, polyline or histogram, free text, and PNG export.
//
// A graph is laid out in graph pixels: its size, plot, label offsets, font
// heights and pen widths. Its bitmap holds `scale` bitmap pixels for each
// graph pixel, each of those lengths scaled and rounded (a positive one to at
// least 1), so a screen of a higher pixel density shows the graph sharp. At
// scale 1 the two are the same.

#include <cstdint>
#include <string>
#include <vector>

#include "graph/canvas.h"
#include "graph/png.h"
#include "graph/virtualcoordinates.h"

// The face a graph's labels and texts start with.
inline const char* const kGraphFontName = "ＭＳ Ｐゴシック";

class TXYGraph {
    // Bitmap pixels per graph pixel; set before `bitmap`, which it sizes.
    double scale;
    int width; // in graph pixels
    int height;

public:
    // A scale that is not finite or below 1 draws at 1; one that would make
    // the bitmap hold more than kMaxScaledPixels is lowered to fit (not below
    // 1, where the bitmap is as large as the graph).
    TXYGraph(int width, int height, double scale = 1.0);
    TXYGraph(const TXYGraph&) = delete;
    TXYGraph& operator=(const TXYGraph&) = delete;

    static constexpr int64_t kMaxScaledPixels = int64_t{1} << 26;

    // The scale a graph of width x height is drawn at when asked for `scale`.
    static double UsableScale(int width, int height, double scale);
    double Scale() const { return scale; }
    // The size in graph pixels, as constructed.
    int Width() const { return width; }
    int Height() const { return height; }
    // A length or coordinate in graph pixels as bitmap pixels, rounded.
    int Device(int64_t length) const;

    // Mapping through plot and world, into bitmap pixels.
    void ToPixel(const TVirtualPoint& point, TPixelPoint& result) const;

    void Clear();
    void DrawLine(double x1, double y1, double x2, double y2, TColor color, int width, int style);
    void DrawFrame(int width);
    void DrawXLabel(double x, bool withUnit);
    void DrawYLabel(double y, bool withUnit);
    void DrawGrid(int width, int style);
    void PutText(const std::string& text, int dx, int dy, TColor color, int height);
    void SetAxisUnits(const std::string& xUnit, const std::string& yUnit);

    void DrawPoints(const double* xs, const double* ys, int n, TColor color);
    void DrawPolyline(const double* xs, const double* ys, int n, TColor color, int width,
                      int style);
    // n = 1 draws a bar of zero width: nothing.
    void DrawHistogram(const double* xs, const double* ys, int n, TColor color);
    void PlotPoints(const double* xs, const double* ys, int n, TColor color);
    void PlotPolyline(const double* xs, const double* ys, int n, TColor color, int width,
                      int style);
    void PlotHistogram(const double* xs, const double* ys, int n, TColor color);

    void AutoXStep();
    void AutoYStep();
    void AutoStep();
    void AutoXRange(const double* xs, int n);
    void AutoYRange(const double* ys, int n);
    void AutoRange(const double* xs, const double* ys, int n);

    // Writes the bitmap as an 8-bit RGB PNG through a temporary file and a
    // rename. Returns false on failure, an existing file left intact.
    bool SaveAsPng(const std::string& fileName, std::string* error = nullptr,
                   const TPngText& text = {}) const;

    // The tick label of a value: its number text, after "10^" when log.
    static std::string LabelText(double value, bool log);
    // General decimal form with at most 15 significant digits: fixed notation
    // for decimal exponents -3 ... 15, otherwise mantissa, "E", exponent.
    static std::string NumberText(double value);

    TBitmap bitmap;
    TVirtualRect world;
    TPixelRect plot; // in graph pixels
    TColor backColor = 0xFFFFFF;
    TColor frameColor = 0x000000;
    TColor gridColor = 0xC0C0C0;
    std::string labelFontName = kGraphFontName;
    TColor labelFontColor = 0x000000;
    int labelFontHeight = 12;
    std::string textFontName = kGraphFontName;
    std::string xUnit;
    std::string yUnit;
    double xStep = 0.1;
    double yStep = 0.1;
    bool xLog = false;
    bool yLog = false;

private:
    // The pixel points of a solid polyline through (xs, ys), each run of
    // points in one pixel column reduced to the few that draw its pixels.
    std::vector<TPixelPoint> ColumnRuns(const double* xs, const double* ys, int n) const;
    // The plot in bitmap pixels.
    TPixelRect DevicePlot() const;
    // Where a line through the bitmap point p runs, so that a pen one graph
    // pixel wide covers p's block of bitmap pixels: p itself at scale 1.
    TPixelPoint LinePoint(TPixelPoint p) const;
    // A pen width in bitmap pixels: at least 1.
    int DeviceWidth(int width) const;
    void ClipToPlot();
    void ResetClip();

    TCanvas canvas;
};
