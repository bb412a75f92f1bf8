// Execute of the spectrum object at N = 2^10 ... 2^18. One object per size;
// the table is built before timing starts, and every iteration copies the
// same fresh input into the object and transforms it (the copy is timed too;
// BM_FftInputCopy measures it alone). The counter NlogN is the time per
// N log2 N.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/fftunit.h"

namespace {

std::vector<Complex> RandomInput(int n) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<Complex> input(n);
    for (Complex& c : input) {
        c.re = uniform(rng);
        c.im = 0.0;
    }
    return input;
}

void SetNlogNCounter(benchmark::State& state, int n) {
    state.counters["NlogN"] = benchmark::Counter(n * std::log2(static_cast<double>(n)),
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

void BM_ComplexFftExecute(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<Complex> input = RandomInput(n);
    TComplexFFT fft(n);
    std::copy(input.begin(), input.end(), fft.data.begin());
    fft.Execute();
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), fft.data.begin());
        fft.Execute();
        benchmark::DoNotOptimize(fft.data.data());
        benchmark::ClobberMemory();
    }
    SetNlogNCounter(state, n);
}

void BM_FftInputCopy(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<Complex> input = RandomInput(n);
    TComplexFFT fft(n);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), fft.data.begin());
        benchmark::DoNotOptimize(fft.data.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_ComplexFftExecute)->RangeMultiplier(2)->Range(1 << 10, 1 << 18);
BENCHMARK(BM_FftInputCopy)->RangeMultiplier(2)->Range(1 << 10, 1 << 18);
