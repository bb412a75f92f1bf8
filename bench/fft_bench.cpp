// Execute of the spectrum object at N = 2^10 ... 2^18. One object per size;
// the table is built before timing starts, and every iteration copies the
// same fresh input into the object and transforms it (the copy is timed too;
// BM_FftInputCopy measures it alone). The counter NlogN is the time per
// N log2 N.
//
// BM_FftReference is a plain recursive radix-2 transform, out of place, with
// its twiddle factors tabulated before timing starts and the same 1/N
// scaling; it runs first for each size, and the kernel then reports
// "x_reference", the reference's time per transform over its own, both on
// the thread's CPU clock in this process.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
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

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The reference transform's CPU seconds per transform, by N.
std::map<int, double> referenceSeconds;

// e^(-2 pi i k / n) for k = 0 ... n/2 - 1.
std::vector<Complex> Twiddles(int n) {
    std::vector<Complex> table(std::max(1, n / 2));
    for (int k = 0; k < n / 2; ++k) {
        const double angle = -2.0 * M_PI * k / n;
        table[k] = Complex{std::cos(angle), std::sin(angle)};
    }
    return table;
}

// Decimation in time: the DFT of the `size` values in[0], in[stride], ...
// into out[0 ... size-1]; the twiddle e^(-2 pi i k / size) is
// twiddle[k * twiddleStride].
void RecursiveFft(const Complex* in, int stride, int size, Complex* out, const Complex* twiddle,
                  int twiddleStride) {
    if (size == 1) {
        out[0] = in[0];
        return;
    }
    const int half = size / 2;
    RecursiveFft(in, 2 * stride, half, out, twiddle, 2 * twiddleStride);
    RecursiveFft(in + stride, 2 * stride, half, out + half, twiddle, 2 * twiddleStride);
    for (int k = 0; k < half; ++k) {
        const Complex w = twiddle[k * twiddleStride];
        const Complex even = out[k];
        const Complex odd = out[k + half];
        const double re = w.re * odd.re - w.im * odd.im;
        const double im = w.re * odd.im + w.im * odd.re;
        out[k] = Complex{even.re + re, even.im + im};
        out[k + half] = Complex{even.re - re, even.im - im};
    }
}

void ReferenceTransform(const std::vector<Complex>& input, const std::vector<Complex>& twiddle,
                        std::vector<Complex>& output) {
    const int n = static_cast<int>(input.size());
    RecursiveFft(input.data(), 1, n, output.data(), twiddle.data(), 1);
    const double s = 1.0 / n;
    for (Complex& c : output) {
        c.re *= s;
        c.im *= s;
    }
}

void BM_FftReference(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<Complex> input = RandomInput(n);
    const std::vector<Complex> twiddle = Twiddles(n);
    std::vector<Complex> output(n);

    // The reference must compute the same transform as the kernel.
    TComplexFFT fft(n);
    std::copy(input.begin(), input.end(), fft.data.begin());
    fft.Execute();
    ReferenceTransform(input, twiddle, output);
    for (int k = 0; k < n; ++k) {
        if (std::abs(output[k].re - fft.data[k].re) > 1e-12 ||
            std::abs(output[k].im - fft.data[k].im) > 1e-12) {
            state.SkipWithError("the reference transform disagrees with the kernel");
            return;
        }
    }

    const double start = ThreadSeconds();
    for (auto _ : state) {
        ReferenceTransform(input, twiddle, output);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    referenceSeconds[n] = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
    SetNlogNCounter(state, n);
}

void BM_ComplexFftExecute(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<Complex> input = RandomInput(n);
    TComplexFFT fft(n);
    std::copy(input.begin(), input.end(), fft.data.begin());
    fft.Execute();
    const double start = ThreadSeconds();
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), fft.data.begin());
        fft.Execute();
        benchmark::DoNotOptimize(fft.data.data());
        benchmark::ClobberMemory();
    }
    const double perTransform = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
    if (referenceSeconds.count(n) != 0 && perTransform > 0.0) {
        state.counters["x_reference"] = referenceSeconds[n] / perTransform;
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

BENCHMARK(BM_FftReference)->RangeMultiplier(2)->Range(1 << 10, 1 << 18);
BENCHMARK(BM_ComplexFftExecute)->RangeMultiplier(2)->Range(1 << 10, 1 << 18);
BENCHMARK(BM_FftInputCopy)->RangeMultiplier(2)->Range(1 << 10, 1 << 18);
