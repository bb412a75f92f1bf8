#include "analysis/pngtext.h"

#include "analysis/analysisrun.h"
#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/textformat.h"

namespace {

std::string ModeName(int mode) {
    switch (mode) {
    case kEasyMode:
        return "easy";
    case kFixedMode:
        return "fixed";
    default:
        return "detailed";
    }
}

std::string SamplingName(const std::string& unit) {
    if (unit == "Hz") {
        return "frequency";
    }
    if (unit == "RMS") {
        return "amplitude";
    }
    return unit;
}

std::string WindowName(int window) {
    switch (window) {
    case kRectangularWindow:
        return "rectangular";
    case kHanningWindow:
        return "hanning";
    default:
        return "hamming";
    }
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TPngText SeriesPngText(const TRunDescription& run) {
    return TPngText{
        {"Software", std::string("Zittermark ") + ZM_VERSION},
        {"Source", NameOf(run.input)},
        {"Analysis mode", ModeName(run.analyzeMode)},
        {"Sampling", SamplingName(run.unit)},
        {"Sampling period", FormatFixed(run.period, 6) + " s"},
    };
}

TPngText SpectrumPngText(const TRunDescription& run, const TSpectrumState& state,
                         const TSpectrumDrawing& drawing) {
    TPngText text = SeriesPngText(run);
    text.emplace_back("Window function", WindowName(run.windowFunction));
    std::string band = "none";
    if (drawing.firstBin > 0 && state.fftSize > 0 && state.fftPeriod > 0) {
        const double step = (1.0 / state.fftPeriod) / state.fftSize;
        band = FormatFixed(step * drawing.firstBin, 4) + " - " +
               FormatFixed(step * drawing.lastBin, 4) + " Hz";
    }
    text.emplace_back("Regression band", band);
    text.emplace_back("Lambda", drawing.hasLine ? FormatFixed(0.0 - drawing.slope, 3) : "none");
    return text;
}
