#include "analysis/spectrumplot.h"

#include <cmath>

#include "analysis/pngtext.h"
#include "analysis/spectrumstate.h"
#include "base/textformat.h"
#include "base/translate.h"
#include "engine/fftunit.h"
#include "engine/leastsquare.h"
#include "graph/xygraph.h"

TSpectrumDrawing::TSpectrumDrawing() = default;
TSpectrumDrawing::~TSpectrumDrawing() = default;
TSpectrumDrawing::TSpectrumDrawing(TSpectrumDrawing&&) noexcept = default;
TSpectrumDrawing& TSpectrumDrawing::operator=(TSpectrumDrawing&&) noexcept = default;

namespace {

constexpr double kGroupWidth = 0.1;
constexpr TColor kSeriesColor = 0xFF0000;
constexpr TColor kHistogramColor = 0xE16941;
constexpr TColor kLineColor = 0x0000FF;
constexpr int kMarginLeft = 48;
constexpr int kMarginTop = 20;
constexpr int kMarginRight = 36;
constexpr int kMarginBottom = 30;

} // namespace

bool CheckSettings(int flowerBar, int fupperBar, const TSpectrumSettings& settings,
                   TMessageOwner owner) {
    if (!(flowerBar < fupperBar)) {
        ShowErrorBox(Tr("回帰直線の上限周波数は下限周波数より大きくなければなりません。"), owner);
        return false;
    }
    if (!(settings.FlowerBox < settings.FupperBox)) {
        ShowErrorBox(Tr("周波数の設定範囲が正しくありません。"), owner);
        return false;
    }
    if (!(settings.PlowerBox < settings.PupperBox)) {
        ShowErrorBox(Tr("パワーの設定範囲が正しくありません。"), owner);
        return false;
    }
    return true;
}

TSpectrumFit FitSpectrum(const TSpectrumState& state) {
    TSpectrumFit fit;
    const TComplexFFT* spectrum = state.spectrum;
    const int binCount = state.binCount;
    if (spectrum == nullptr || state.fftSize <= 0 || binCount < 1) {
        return fit;
    }

    // Spectral points, normalised to the peak. A peak that is zero or not
    // finite (a silent recording) leaves nothing to normalise by: every
    // point then stands below any axis and no line is fitted.
    int peakIndex = 0;
    const double peak = spectrum->PeakBin(&peakIndex);
    const bool usablePeak = std::isfinite(peak) && peak > 0;
    std::vector<double>& xs = fit.xs;
    std::vector<double>& ys = fit.ys;
    xs.resize(binCount);
    ys.resize(binCount);
    for (int i = 0; i < binCount; ++i) {
        const int b = i + 1;
        const double f = (1.0 / state.fftPeriod) / state.fftSize * b;
        xs[i] = f > 0 ? std::log10(f) : kLogOfNothing;
        if (usablePeak) {
            const double p = spectrum->Power(b) / peak;
            ys[i] = p > 0 ? std::log10(p) : kLogOfNothing;
        } else {
            ys[i] = kLogOfNothing;
        }
    }

    // Band groups of a tenth of a decade, from the log frequency of bin lo + 1
    // on, the edges advancing by repeated addition of 0.1.
    const int hi = static_cast<int>(std::trunc(binCount * state.upperRatio));
    const int lo = static_cast<int>(std::trunc(binCount * state.lowerRatio));
    std::vector<double>& gx = fit.gx;
    std::vector<double>& gy = fit.gy;
    if (usablePeak && lo >= 0 && lo < hi && hi <= binCount && std::isfinite(xs[lo])) {
        fit.firstBin = lo + 1;
        fit.lastBin = hi;
        double edge = xs[lo];
        double next = edge + kGroupWidth;
        double sum = 0;
        int j = 0;
        int i = lo;
        while (i < hi) {
            if (!std::isfinite(xs[i]) || next <= edge) {
                // A point no edge can reach, or edges that no longer advance:
                // stop rather than step the edge forever.
                break;
            }
            if (xs[i] < edge) {
                // Frequencies rise with the bin, so this cannot happen unless
                // log10 is not monotonic; skip the point rather than hang.
                ++i;
                continue;
            }
            if (edge <= xs[i] && xs[i] < next) {
                sum += ys[i];
                j += 1;
                i += 1;
            } else {
                if (j > 0) {
                    gx.push_back(edge);
                    gy.push_back(sum / j);
                    sum = 0;
                    j = 0;
                }
                edge = next;
                next = edge + kGroupWidth;
            }
        }
        if (j > 0) {
            gx.push_back(edge);
            gy.push_back(sum / j);
        }
    }
    const int k = static_cast<int>(gx.size());
    if (k > 0) {
        LeastSquareFit(&fit.slope, &fit.intercept, gx.data(), gy.data(), 0, k - 1);
        fit.hasLine = true;
    }
    return fit;
}

TSpectrumDrawing DrawSpectrum(const TSpectrumState& state, const TSpectrumSettings& settings,
                              const std::string& fileName, TMessageOwner owner,
                              const TRunDescription* run, double scale) {
    TSpectrumDrawing drawing;
    const int binCount = state.binCount;
    if (state.spectrum == nullptr || state.fftSize <= 0 || binCount < 1) {
        return drawing;
    }
    if (!CheckSettings(state.LowerBarPosition(), state.UpperBarPosition(), settings, owner)) {
        return drawing;
    }
    TSpectrumFit fit = FitSpectrum(state);
    const std::vector<double>& xs = fit.xs;
    const std::vector<double>& ys = fit.ys;
    drawing.gx = std::move(fit.gx);
    drawing.gy = std::move(fit.gy);
    const std::vector<double>& gx = drawing.gx;
    const std::vector<double>& gy = drawing.gy;
    drawing.slope = fit.slope;
    drawing.intercept = fit.intercept;
    drawing.hasLine = fit.hasLine;
    drawing.firstBin = fit.firstBin;
    drawing.lastBin = fit.lastBin;
    const int k = static_cast<int>(gx.size());

    const int horz = settings.HorzSizeBox;
    const int vert = settings.VertSizeBox;
    const int width = kMarginLeft + horz + kMarginRight;
    const int height = kMarginTop + vert + kMarginBottom;
    if (drawing.hasLine) {
        drawing.lambdaText = FormatLambda(-drawing.slope);
    }
    auto draw = [&](double scale) {
        auto graph = std::make_unique<TXYGraph>(width, height, scale);
        graph->plot = TPixelRect{kMarginLeft, kMarginTop, kMarginLeft + horz, kMarginTop + vert};
        graph->world = TVirtualRect{
            static_cast<double>(settings.FlowerBox), static_cast<double>(settings.PlowerBox),
            static_cast<double>(settings.FupperBox), static_cast<double>(settings.PupperBox)};
        graph->xStep = 1.0;
        graph->yStep = 1.0;
        graph->SetAxisUnits("Hz", "");
        graph->xLog = true;
        graph->yLog = true;

        switch (settings.DrawMethodBox) {
        case kDrawPoints:
            graph->PlotPoints(xs.data(), ys.data(), binCount, kSeriesColor);
            break;
        case kDrawPolyline:
            graph->PlotPolyline(xs.data(), ys.data(), binCount, kSeriesColor, 1, 0);
            break;
        default:
            graph->PlotHistogram(gx.data(), gy.data(), k, kHistogramColor);
            break;
        }

        if (drawing.hasLine) {
            graph->DrawLine(gx[0], drawing.slope * gx[0] + drawing.intercept, gx[k - 1],
                            drawing.slope * gx[k - 1] + drawing.intercept, kLineColor, 1, 0);
            graph->PutText(drawing.lambdaText, horz - 84, 16, 0x000000, 16);
        }
        return graph;
    };

    // What is saved is always drawn at scale 1; the screen gets its own
    // drawing when its pixels are denser.
    std::unique_ptr<TXYGraph> graph;
    if (!fileName.empty()) {
        graph = draw(1.0);
        const TPngText text = run ? SpectrumPngText(*run, state, drawing) : TPngText{};
        drawing.saved = graph->SaveAsPng(fileName, &drawing.saveError, text);
    }
    if (!graph || TXYGraph::UsableScale(width, height, scale) != 1.0) {
        graph = draw(scale);
    }
    drawing.graph = std::move(graph);
    return drawing;
}

std::string NoLineReason(const TSpectrumState& state, const TSpectrumDrawing& drawing) {
    if (drawing.hasLine || !drawing.graph || state.spectrum == nullptr || state.binCount < 1) {
        return "";
    }
    int peakIndex = 0;
    const double peak = state.spectrum->PeakBin(&peakIndex);
    if (!(std::isfinite(peak) && peak > 0)) {
        return Tr("入力が無音のため（パワーがすべて0）、回帰直線を求められません。");
    }
    if (drawing.firstBin == 0) {
        // The band's ratios of too few points round to no bin at all.
        return TrSubst("スペクトルの点が%s個しかないため、回帰直線の範囲に点がありません。",
                       {FormatInt(state.binCount)});
    }
    return Tr(
        "回帰直線の範囲に点がないため、回帰直線を求められません。上限・下限周波数を広げてくださ"
        "い。");
}
