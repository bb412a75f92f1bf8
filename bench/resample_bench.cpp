// The resampler with one sine per output point against the direct formula
// with 129 sines per point, on series whose FFT sizes are 16384 and 262144
// (12000 and 200000 values: 5 and 83 minutes of 25 ms windows).

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "app/wavemath.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

namespace {

void FillSeries(TWaveAnalyze& series, int count) {
    std::mt19937 rng(777);
    std::normal_distribution<double> noise(440.0, 20.0);
    series.values = std::make_unique<double[]>(count);
    series.count = count;
    series.period = 0.025;
    for (int i = 0; i < count; ++i) {
        series.values[i] = noise(rng);
    }
}

template <void (*Resample)(const TWaveAnalyze&, TComplexFFT&, double)>
void BM_Resample(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TWaveAnalyze series;
    FillSeries(series, count);
    const int n = NextPowerOfTwo(count);
    const double fraction = static_cast<double>(count) / n;
    TComplexFFT fft(n);
    for (auto _ : state) {
        Resample(series, fft, fraction);
        benchmark::DoNotOptimize(fft.data.data());
        benchmark::ClobberMemory();
    }
    state.counters["N"] = n;
    state.counters["perPoint"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK_TEMPLATE(BM_Resample, ResampleSeries)
    ->Arg(12000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Resample, ResampleSeriesDirect)
    ->Arg(12000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);
