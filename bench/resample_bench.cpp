// The resampler with one sine per output point against the direct formula
// with 129 sines per point, on series whose FFT sizes are 16384 and 262144:
// 12000 values (5 minutes of 25 ms windows), 200000 values (83 minutes of
// 25 ms windows, interpolated), 720000 values (60 minutes of 5 ms windows,
// decimated) and 2^23 values (7.7 hours of 5 ms windows, decimated by 32).
// Decimated series pass through the anti-alias low-pass first, which the
// direct formula (the unfiltered sum) does not: there x_direct also shows
// what the filter costs.
//
// The direct formula runs first for each size; the one-sine resampler then
// reports "x_direct", the direct formula's time per pass over its own, both
// measured in this process on the thread's CPU clock (the work is pure
// arithmetic, so the CPU clock keeps another process's load out of the
// ratio).

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <memory>
#include <random>

#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "engine/wavemath.h"

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

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// CPU seconds per pass of the direct formula, by series length.
std::map<int, double> directSeconds;

template <void (*Resample)(const TWaveAnalyze&, TComplexFFT&, double)>
void BM_Resample(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TWaveAnalyze series;
    FillSeries(series, count);
    const int n = NextPowerOfTwo(count);
    const double fraction = static_cast<double>(count) / n;
    TComplexFFT fft(n);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        Resample(series, fft, fraction);
        benchmark::DoNotOptimize(fft.data.data());
        benchmark::ClobberMemory();
    }
    const double perPass = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
    if (Resample == &ResampleSeriesDirect) {
        directSeconds[count] = perPass;
    } else if (directSeconds.count(count) != 0 && perPass > 0.0) {
        state.counters["x_direct"] = directSeconds[count] / perPass;
    }
    state.counters["N"] = n;
    state.counters["perPoint"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK_TEMPLATE(BM_Resample, ResampleSeriesDirect)
    ->Arg(12000)
    ->Arg(200000)
    ->Arg(720000)
    ->Arg(1 << 23)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Resample, ResampleSeries)
    ->Arg(12000)
    ->Arg(200000)
    ->Arg(720000)
    ->Arg(1 << 23)
    ->Unit(benchmark::kMillisecond);
