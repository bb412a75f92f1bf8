// A series and the run the windows perform on it (spectrum stage, hand-over to
// the spectrum state, drawing), for tests of what is computed beside lambda.
#pragma once

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

inline void FillSeries(TWaveAnalyze& series, const std::vector<double>& values, double period) {
    series.count = static_cast<int>(values.size());
    series.values = std::make_unique<double[]>(values.size());
    std::copy(values.begin(), values.end(), series.values.get());
    series.period = period;
}

struct TSpectrumRun {
    TSpectrumState view;
    std::unique_ptr<TComplexFFT> fft;
    TSpectrumDrawing drawing;

    TSpectrumRun(const TWaveAnalyze& series, int mode, int window) {
        double fraction = 0.0;
        double fftPeriod = 0.0;
        EXPECT_EQ(RunSpectrumStage(series, mode, window, view, fft, fraction, fftPeriod, nullptr),
                  TSpectrumOutcome::Transformed);
        view.TakeSpectrum(fft.get(), fft->count, fraction, fftPeriod, series.period);
        drawing = DrawSpectrum(view, TSpectrumSettings{}, "", nullptr);
    }
};
