#include "analysis/lambdadiagnostics.h"

#include <cmath>
#include <exception>
#include <memory>
#include <random>
#include <utility>

#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/translate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

const char* const kBandHoldsBinOneWarning =
    TrMark("the band includes bin 1, where the series mean leaks in");
const char* const kFewGroupsWarning = TrMark("fewer than 3 groups in the band: no standard error");
const char* const kPoorFitWarning = TrMark("R² below 0.5: the line fits the groups poorly");
const char* const kTooShortForDfaWarning = TrMark("too short for DFA (fewer than 4 scales)");
const char* const kSilentSpectrumWarning = TrMark("the spectrum is all zero (silent input)");
const char* const kOverflowedSpectrumWarning = TrMark("the spectrum overflowed (values too large)");

std::optional<double> SpectralLambda(const TSeriesValues& series, int analyzeMode,
                                     int windowFunction, const TSpectrumState& band,
                                     TResampler resample) {
    if (series.count <= 0) {
        return std::nullopt;
    }
    TSpectrumState view = band;
    // The copy must not drive the window the original belongs to.
    view.onBandChanged = nullptr;
    view.spectrum = nullptr;
    std::unique_ptr<TComplexFFT> fft;
    double dataFraction = 0.0;
    double fftPeriod = 0.0;
    if (RunSpectrumStage(series, analyzeMode, windowFunction, view, fft, dataFraction, fftPeriod,
                         nullptr, resample) != TSpectrumOutcome::Transformed) {
        return std::nullopt;
    }
    view.TakeSpectrum(fft.get(), fft->count, dataFraction, fftPeriod, series.period);
    TSpectrumFit fit = FitSpectrum(view);
    if (!fit.hasLine) {
        return std::nullopt;
    }
    return 0.0 - fit.slope;
}

std::optional<double> SpectralLambda(const std::vector<double>& values, double period,
                                     int analyzeMode, int windowFunction,
                                     const TSpectrumState& band, TResampler resample) {
    const TSeriesValues series{values.data(), static_cast<int>(values.size()), period, 0.0};
    return SpectralLambda(series, analyzeMode, windowFunction, band, resample);
}

double SeriesMean(const double* values, int count) {
    if (count <= 0) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        sum += values[i];
    }
    return sum / count;
}

std::vector<double> MeanRemoved(const double* values, int count) {
    std::vector<double> result(values, values + (count > 0 ? count : 0));
    const double mean = SeriesMean(values, count);
    for (double& v : result) {
        v -= mean;
    }
    return result;
}

void ShuffleValues(std::vector<double>& values, std::uint64_t seed) {
    // The standard distributions differ between libraries; the raw 64-bit
    // output of the engine does not, so the shuffle is the same everywhere.
    std::mt19937_64 g(seed);
    for (std::size_t i = values.size(); i-- > 1;) {
        const std::size_t j = static_cast<std::size_t>(g() % (i + 1));
        std::swap(values[i], values[j]);
    }
}

std::vector<std::optional<double>> SurrogateLambdas(const TWaveAnalyze& series, int analyzeMode,
                                                    int windowFunction, const TSpectrumState& band,
                                                    int copies, std::uint64_t seed,
                                                    const TParallelFor& parallelFor,
                                                    TResampler resample) {
    std::vector<std::optional<double>> lambdas(copies > 0 ? copies : 0);
    if (copies <= 0 || series.count <= 0) {
        return lambdas;
    }
    auto body = [&](int m) {
        try {
            std::vector<double> values(series.values.get(), series.values.get() + series.count);
            ShuffleValues(values, seed + static_cast<std::uint64_t>(m));
            lambdas[m] =
                SpectralLambda(values, series.period, analyzeMode, windowFunction, band, resample);
        } catch (const std::exception&) {
            // Out of memory for one copy: that copy has no lambda.
            lambdas[m] = std::nullopt;
        }
    };
    if (parallelFor) {
        parallelFor(copies, body);
    } else {
        for (int m = 0; m < copies; ++m) {
            body(m);
        }
    }
    return lambdas;
}

std::optional<TSurrogateSummary>
SummarizeSurrogates(const std::vector<std::optional<double>>& lambdas, double lambda) {
    TSurrogateSummary summary{0.0, std::nullopt, 0.0, 0};
    double sum = 0.0;
    int atLeast = 0;
    for (const std::optional<double>& value : lambdas) {
        if (value) {
            sum += *value;
            ++summary.copies;
            if (*value >= lambda) {
                ++atLeast;
            }
        }
    }
    if (summary.copies == 0) {
        return std::nullopt;
    }
    summary.mean = sum / summary.copies;
    if (summary.copies > 1) {
        double squares = 0.0;
        for (const std::optional<double>& value : lambdas) {
            if (value) {
                squares += (*value - summary.mean) * (*value - summary.mean);
            }
        }
        summary.sd = std::sqrt(squares / (summary.copies - 1));
    }
    summary.p = (1.0 + atLeast) / (summary.copies + 1.0);
    return summary;
}

TLambdaCheck CheckLambda(const double* values, int count, double period, int analyzeMode,
                         int windowFunction, const TSpectrumState& view,
                         const TSpectrumDrawing& drawing, TResampler resample) {
    TLambdaCheck check;
    check.groups = static_cast<int>(drawing.gx.size());
    // The fit normalises by the peak power; without a positive finite peak
    // there is no line, and these say why.
    // The bins are those the peak is sought among; an overflow may have
    // left infinities or NaNs, which no comparison with the peak would show.
    if (view.spectrum != nullptr && view.fftSize > 2 && view.binCount >= 1) {
        bool finite = true;
        bool positive = false;
        for (int i = 1; i < view.fftSize / 2; ++i) {
            const double p = view.spectrum->Power(i);
            finite = finite && std::isfinite(p);
            positive = positive || p > 0;
        }
        if (!finite) {
            check.warnings.push_back({"overflowed_spectrum", Tr(kOverflowedSpectrumWarning)});
        } else if (!positive) {
            check.warnings.push_back({"silent_spectrum", Tr(kSilentSpectrumWarning)});
        }
    }
    if (drawing.hasLine) {
        TFitQuality quality;
        if (FitQualityOf(drawing.gx.data(), drawing.gy.data(), check.groups, drawing.slope,
                         drawing.intercept, quality)) {
            check.quality = quality;
        }
        // The series less its mean, read in place: a long series is not
        // copied for it.
        const TSeriesValues lessMean{values, count, period, SeriesMean(values, count)};
        check.lambdaMeanRemoved =
            SpectralLambda(lessMean, analyzeMode, windowFunction, view, resample);
        if (drawing.firstBin == 1) {
            check.warnings.push_back({"band_holds_bin_one", Tr(kBandHoldsBinOneWarning)});
        }
        if (check.quality && check.quality->r2 < 0.5) {
            check.warnings.push_back({"poor_fit", Tr(kPoorFitWarning)});
        }
    }
    if (check.groups < 3) {
        check.warnings.push_back({"few_groups", Tr(kFewGroupsWarning)});
    }
    check.dfa = DetrendedFluctuation(values, count);
    if (DfaScales(count).size() < 4) {
        check.warnings.push_back({"too_short_for_dfa", Tr(kTooShortForDfaWarning)});
    }
    return check;
}
