#include "graph/xygraph.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "graph/png.h"

namespace {

// More grid lines than this on one axis cannot be told apart on any plot we
// draw; a step that would give more (a step of zero, a far too small one)
// draws none, rather than looping for ever.
constexpr double kMaxGridLines = 10000.0;

int ClampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max()));
}

// The number of grid lines strictly inside a range: trunc(ceil(length / step) - 1).
int GridLineCount(double length, double step) {
    double count = std::trunc(std::ceil(length / step) - 1.0);
    if (!(count >= 1.0) || count > kMaxGridLines) {
        return 0;
    }
    return static_cast<int>(count);
}

// The first grid position above a range's lower end.
double FirstGridLine(double lower, double step) {
    double first = std::ceil(lower / step) * step;
    if (first == lower) {
        first += step;
    }
    return first;
}

// The step for a range of this length: 1, 2 or 5 times a power of ten, so the
// range gets 8 to 20 intervals.
double StepFor(double length) {
    double logLength = std::log10(length);
    double exponent = std::floor(logLength);
    double fraction = logLength - exponent;
    double step = std::pow(10.0, exponent - 1.0);
    if (fraction >= std::log10(4.0)) {
        step = step * 5.0;
    } else if (fraction >= std::log10(2.0)) {
        step = step * 2.0;
    }
    return step;
}

int Scaled(int64_t length, double scale) {
    if (scale == 1.0) {
        return ClampToInt(length);
    }
    const double value = std::round(static_cast<double>(length) * scale);
    return static_cast<int>(std::clamp<double>(value, std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max()));
}

} // namespace

double TXYGraph::UsableScale(int width, int height, double scale) {
    if (!(scale > 1.0) || !std::isfinite(scale)) {
        return 1.0;
    }
    const double pixels = std::max(width, 1) * static_cast<double>(std::max(height, 1));
    const double limit = std::sqrt(static_cast<double>(kMaxScaledPixels) / pixels);
    return std::max(1.0, std::min(scale, limit));
}

TXYGraph::TXYGraph(int width, int height, double scale)
    : scale(UsableScale(width, height, scale)), width(width), height(height),
      bitmap(Scaled(width, this->scale), Scaled(height, this->scale)),
      plot{40, 40, ClampToInt(static_cast<int64_t>(width) - 40),
           ClampToInt(static_cast<int64_t>(height) - 40)},
      canvas(bitmap) {
    canvas.SetDotLength(DeviceWidth(3));
}

int TXYGraph::Device(int64_t length) const {
    return Scaled(length, scale);
}

int TXYGraph::DeviceWidth(int width) const {
    return std::max(1, Device(width));
}

TPixelRect TXYGraph::DevicePlot() const {
    return TPixelRect{Device(plot.left), Device(plot.top), Device(plot.right), Device(plot.bottom)};
}

void TXYGraph::ToPixel(const TVirtualPoint& point, TPixelPoint& result) const {
    VirtualToPixel(result, point, DevicePlot(), world);
}

TPixelPoint TXYGraph::LinePoint(TPixelPoint p) const {
    // A pen as wide as one graph pixel stamps from (width - 1) / 2 before
    // its point, so its stamp covers the point's whole block from there.
    const int64_t offset = (DeviceWidth(1) - 1) / 2;
    if (offset == 0) {
        return p;
    }
    return TPixelPoint{ClampToInt(p.x + offset), ClampToInt(p.y + offset)};
}

void TXYGraph::ClipToPlot() {
    // The region takes the plotting area's right and bottom lines in, each
    // one graph pixel wide.
    const TPixelRect area = DevicePlot();
    const int64_t unit = DeviceWidth(1);
    canvas.SetClip(area.left, area.top, ClampToInt(area.right + unit),
                   ClampToInt(area.bottom + unit));
}

void TXYGraph::ResetClip() {
    canvas.ResetClip();
}

void TXYGraph::Clear() {
    canvas.SetBrush(backColor, TBrushStyle::Solid);
    canvas.FillRect(0, 0, bitmap.Width(), bitmap.Height());
}

void TXYGraph::DrawLine(double x1, double y1, double x2, double y2, TColor color, int width,
                        int style) {
    TPixelPoint p1, p2;
    ToPixel({x1, y1}, p1);
    ToPixel({x2, y2}, p2);
    p1 = LinePoint(p1);
    p2 = LinePoint(p2);
    canvas.SetPen(color, DeviceWidth(width), style);
    ClipToPlot();
    canvas.MoveTo(p1);
    canvas.LineTo(p2);
    ResetClip();
}

void TXYGraph::DrawFrame(int width) {
    // The order matters only at the corners; the top-right one stays undrawn
    // because both lines that reach it end there.
    DrawLine(world.xmin, world.ymin, world.xmax, world.ymin, frameColor, width, 0);
    DrawLine(world.xmin, world.ymin, world.xmin, world.ymax, frameColor, width, 0);
    DrawLine(world.xmin, world.ymax, world.xmax, world.ymax, frameColor, width, 0);
    DrawLine(world.xmax, world.ymin, world.xmax, world.ymax, frameColor, width, 0);
}

std::string TXYGraph::NumberText(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0.0) {
        // Negative zero reads as plain zero.
        return "0";
    }
    // Correct rounding to 15 significant digits: "d.ddddddddddddddde[+-]x".
    char buffer[64];
    auto converted =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string text(buffer, converted.ptr);
    bool negative = text[0] == '-';
    std::size_t mantissaStart = negative ? 1 : 0;
    std::size_t e = text.find('e');
    std::string digits;
    for (std::size_t i = mantissaStart; i < e; ++i) {
        if (text[i] != '.') {
            digits += text[i];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    int scientificExponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    scientificExponent);
    // The decimal exponent counts so that 0.1 has 0 and 1 has 1.
    int exponent = scientificExponent + 1;
    std::string result = negative ? "-" : "";
    if (exponent >= -3 && exponent <= 15) {
        if (exponent <= 0) {
            result += "0.";
            result.append(static_cast<std::size_t>(-exponent), '0');
            result += digits;
        } else if (digits.size() <= static_cast<std::size_t>(exponent)) {
            result += digits;
            result.append(static_cast<std::size_t>(exponent) - digits.size(), '0');
        } else {
            result.append(digits, 0, static_cast<std::size_t>(exponent));
            result += '.';
            result.append(digits, static_cast<std::size_t>(exponent));
        }
    } else {
        result += digits[0];
        if (digits.size() > 1) {
            result += '.';
            result.append(digits, 1);
        }
        result += 'E';
        result += std::to_string(scientificExponent);
    }
    return result;
}

std::string TXYGraph::LabelText(double value, bool log) {
    return log ? "10^" + NumberText(value) : NumberText(value);
}

void TXYGraph::DrawXLabel(double x, bool withUnit) {
    TPixelPoint p;
    ToPixel({x, world.ymin}, p);
    std::string text = LabelText(x, xLog);
    canvas.SetFont(labelFontName, labelFontColor, Device(labelFontHeight));
    canvas.SetBrushStyle(TBrushStyle::Clear);
    // The number alone is centred on the tick; the unit then trails it.
    int64_t w = canvas.TextWidth(text);
    int64_t left = p.x - w / 2;
    int64_t top = static_cast<int64_t>(p.y) + Device(6);
    if (withUnit) {
        text += xUnit;
    }
    canvas.TextOut(ClampToInt(left), ClampToInt(top), text);
}

void TXYGraph::DrawYLabel(double y, bool withUnit) {
    TPixelPoint p;
    ToPixel({world.xmin, y}, p);
    std::string text = LabelText(y, yLog);
    if (withUnit) {
        text += yUnit;
    }
    canvas.SetFont(labelFontName, labelFontColor, Device(labelFontHeight));
    canvas.SetBrushStyle(TBrushStyle::Clear);
    int64_t w = canvas.TextWidth(text);
    int64_t h = canvas.TextHeight(text);
    int64_t left = p.x - (w + Device(6));
    int64_t top = p.y - h / 2;
    canvas.TextOut(ClampToInt(left), ClampToInt(top), text);
}

void TXYGraph::DrawGrid(int width, int style) {
    double x0 = FirstGridLine(world.xmin, xStep);
    double y0 = FirstGridLine(world.ymin, yStep);
    int nx = GridLineCount(world.xmax - world.xmin, xStep);
    int ny = GridLineCount(world.ymax - world.ymin, yStep);
    for (int i = 0; i < nx; ++i) {
        double x = i * xStep + x0;
        DrawLine(x, world.ymin, x, world.ymax, gridColor, width, style);
        DrawXLabel(x, false);
    }
    DrawXLabel(world.xmin, false);
    DrawXLabel(world.xmax, true);
    for (int i = 0; i < ny; ++i) {
        double y = i * yStep + y0;
        DrawLine(world.xmin, y, world.xmax, y, gridColor, width, style);
        DrawYLabel(y, false);
    }
    DrawYLabel(world.ymin, false);
    DrawYLabel(world.ymax, true);
}

void TXYGraph::PutText(const std::string& text, int dx, int dy, TColor color, int height) {
    canvas.SetFont(textFontName, color, Device(height));
    canvas.SetBrushStyle(TBrushStyle::Clear);
    canvas.TextOut(Device(static_cast<int64_t>(plot.left) + dx),
                   Device(static_cast<int64_t>(plot.top) + dy), text);
}

void TXYGraph::SetAxisUnits(const std::string& xUnit, const std::string& yUnit) {
    this->xUnit = xUnit;
    this->yUnit = yUnit;
}

void TXYGraph::DrawPoints(const double* xs, const double* ys, int n, TColor color) {
    ClipToPlot();
    // A point covers one graph pixel: its block of bitmap pixels.
    const int size = DeviceWidth(1);
    canvas.SetBrush(color, TBrushStyle::Solid);
    for (int i = 0; i < n; ++i) {
        TPixelPoint p;
        ToPixel({xs[i], ys[i]}, p);
        if (size == 1) {
            canvas.SetPixel(p, color);
        } else {
            const int64_t left = p.x;
            const int64_t top = p.y;
            canvas.FillRect(ClampToInt(left), ClampToInt(top), ClampToInt(left + size),
                            ClampToInt(top + size));
        }
    }
    ResetClip();
}

void TXYGraph::DrawPolyline(const double* xs, const double* ys, int n, TColor color, int width,
                            int style) {
    if (n < 2) {
        return;
    }
    std::vector<TPixelPoint> points;
    if (style == static_cast<int>(TPenStyle::Dot)) {
        // A dotted line's pattern runs along the whole path, so every point
        // is drawn as given.
        points.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            TPixelPoint p;
            ToPixel({xs[i], ys[i]}, p);
            points[static_cast<std::size_t>(i)] = LinePoint(p);
        }
    } else {
        points = ColumnRuns(xs, ys, n);
    }
    canvas.SetPen(color, DeviceWidth(width), style);
    ClipToPlot();
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
    ResetClip();
}

std::vector<TPixelPoint> TXYGraph::ColumnRuns(const double* xs, const double* ys, int n) const {
    // Consecutive points in one pixel column draw, between them, exactly the
    // column's pixels from their lowest to their highest (a segment draws
    // every pixel from its start up to, not including, its end, and the
    // segment out of the column starts at the run's last point). So a run is
    // drawn as its first point, its extremes and its last point: the same
    // pixels from at most four points, however many values share a column.
    // The path's very last pixel is not drawn, so the final run keeps its
    // last two points and the extremes of the points before its last.
    std::vector<TPixelPoint> out;
    // Room for every column of the plot; a plot narrower than nothing
    // (right left of left) reserves nothing.
    const TPixelRect area = DevicePlot();
    const int64_t columns = static_cast<int64_t>(area.right) - area.left + 2;
    out.reserve(static_cast<std::size_t>(std::clamp<int64_t>(4 * columns + 8, 0, n)));
    TPixelPoint first{}, low{}, high{}, before{}, last{};
    int length = 0; // points in the current run
    auto emit = [this, &out](TPixelPoint p) {
        p = LinePoint(p);
        if (out.empty() || out.back().x != p.x || out.back().y != p.y) {
            out.push_back(p);
        }
    };
    for (int i = 0; i < n; ++i) {
        TPixelPoint p;
        ToPixel({xs[i], ys[i]}, p);
        if (length > 0 && p.x == first.x) {
            // `low` and `high` hold the extremes of the run without its
            // current last point, which joins them now.
            low.y = std::min(low.y, last.y);
            high.y = std::max(high.y, last.y);
            before = last;
            last = p;
            ++length;
            continue;
        }
        if (length > 0) {
            low.y = std::min(low.y, last.y);
            high.y = std::max(high.y, last.y);
            emit(first);
            emit(low);
            emit(high);
            emit(last);
        }
        first = low = high = before = last = p;
        length = 1;
    }
    if (length > 0) {
        emit(first);
        emit(low);
        emit(high);
        emit(before);
        emit(last);
    }
    return out;
}

void TXYGraph::DrawHistogram(const double* xs, const double* ys, int n, TColor color) {
    ClipToPlot();
    canvas.SetBrush(color, TBrushStyle::Solid);
    // Edges are kept in 64 bits: a point mapped to an integer limit must not
    // overflow the bar arithmetic. Clamping them back is harmless because the
    // clip lies inside the bitmap. Bars stand one graph pixel apart.
    const int64_t gap = DeviceWidth(1);
    const int64_t plotBottom = DevicePlot().bottom;
    int64_t w = 0;
    for (int i = 0; i < n; ++i) {
        TPixelPoint p;
        ToPixel({xs[i], ys[i]}, p);
        int64_t r;
        if (i < n - 1) {
            TPixelPoint next;
            ToPixel({xs[i + 1], ys[i]}, next);
            r = static_cast<int64_t>(next.x) - gap;
        } else {
            r = p.x + w;
        }
        w = r - p.x;
        int64_t left = p.x, top = p.y, right = r, bottom = plotBottom;
        if (bottom < top) {
            std::swap(top, bottom);
        }
        if (right < left) {
            std::swap(left, right);
        }
        canvas.FillRect(ClampToInt(left), ClampToInt(top), ClampToInt(right), ClampToInt(bottom));
    }
    ResetClip();
}

void TXYGraph::PlotPoints(const double* xs, const double* ys, int n, TColor color) {
    Clear();
    DrawFrame(1);
    DrawGrid(1, 2);
    DrawPoints(xs, ys, n, color);
}

void TXYGraph::PlotPolyline(const double* xs, const double* ys, int n, TColor color, int width,
                            int style) {
    Clear();
    DrawFrame(1);
    DrawGrid(1, 2);
    DrawPolyline(xs, ys, n, color, width, style);
}

void TXYGraph::PlotHistogram(const double* xs, const double* ys, int n, TColor color) {
    Clear();
    DrawFrame(1);
    DrawGrid(1, 2);
    DrawHistogram(xs, ys, n, color);
}

void TXYGraph::AutoXStep() {
    if (world.xmax - world.xmin == 0) {
        world.xmin -= 1;
        world.xmax += 1;
    }
    xStep = StepFor(world.xmax - world.xmin);
}

void TXYGraph::AutoYStep() {
    if (world.ymax - world.ymin == 0) {
        world.ymin -= 1;
        world.ymax += 1;
    }
    yStep = StepFor(world.ymax - world.ymin);
}

void TXYGraph::AutoStep() {
    AutoXStep();
    AutoYStep();
}

namespace {

// The extremes of a series; strict comparisons, so a NaN never replaces the
// current extreme.
void Extremes(const double* values, int n, double& min, double& max) {
    max = values[0];
    for (int i = 1; i < n; ++i) {
        if (values[i] > max) {
            max = values[i];
        }
    }
    min = values[0];
    for (int i = 1; i < n; ++i) {
        if (values[i] < min) {
            min = values[i];
        }
    }
}

} // namespace

void TXYGraph::AutoXRange(const double* xs, int n) {
    if (n < 1) {
        return;
    }
    Extremes(xs, n, world.xmin, world.xmax);
    AutoXStep();
    world.xmin = std::floor(world.xmin / xStep) * xStep;
    world.xmax = std::ceil(world.xmax / xStep) * xStep;
}

void TXYGraph::AutoYRange(const double* ys, int n) {
    if (n < 1) {
        return;
    }
    Extremes(ys, n, world.ymin, world.ymax);
    AutoYStep();
    world.ymin = std::floor(world.ymin / yStep) * yStep;
    world.ymax = std::ceil(world.ymax / yStep) * yStep;
}

void TXYGraph::AutoRange(const double* xs, const double* ys, int n) {
    AutoXRange(xs, n);
    AutoYRange(ys, n);
}

bool TXYGraph::SaveAsPng(const std::string& fileName, std::string* error,
                         const TPngText& text) const {
    return SavePng(bitmap, fileName, error, text);
}
