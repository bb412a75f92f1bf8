// The whole analysis of a 60-minute recording with 5 ms windows, as
// zittermark-cli performs it (721637 windows decimated onto N = 262144), with
// the one-sine resampler and, as the baseline in the same run, the direct
// 129-sine formula.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <random>

#include "analysis/analyzefile.h"
#include "engine/wavemath.h"
#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

// 60 minutes of a 440 Hz tone at 44100 Hz, 16-bit mono, whose loudness
// follows a slow random walk; made once per process.
const std::string& LongRecording() {
    static TTempDir dir;
    static std::string path = [] {
        const int rate = 44100;
        const std::size_t frames = static_cast<std::size_t>(3600) * rate;
        std::mt19937 random(5);
        std::normal_distribution<double> step(0.0, 0.002);
        std::vector<int32_t> pcm(frames);
        double level = 0.4;
        const double w = 2 * M_PI * 440.0 / rate;
        for (std::size_t i = 0; i < frames; ++i) {
            if (i % 64 == 0) {
                level = std::clamp(level + step(random), 0.05, 0.9);
            }
            pcm[i] = static_cast<int32_t>(std::lround(32767 * level * std::sin(w * i)));
        }
        TWavBuilder builder;
        builder.sampleRate = rate;
        std::string file = dir.File("hour.wav");
        WriteFileBytes(file, builder.Build(pcm));
        return file;
    }();
    return path;
}

void Analyze(benchmark::State& state, TResampler resample) {
    const std::string& file = LongRecording();
    TFileOptions options;
    options.analyzeMode = 2;
    options.periodMs = 5;
    options.samplingMode = 1;
    for (auto _ : state) {
        TFileReport report = AnalyzeFile(options, file, resample);
        // 220-frame windows: 158760000 / 220 rounded up.
        if (!report.ok || report.count != 721637 || report.fftSize != 262144) {
            state.SkipWithError("the analysis failed");
            return;
        }
        benchmark::DoNotOptimize(report.lambda);
    }
}

void BM_HourAt5msOneSineResampler(benchmark::State& state) {
    Analyze(state, ResampleSeries);
}
void BM_HourAt5msDirectResampler(benchmark::State& state) {
    Analyze(state, ResampleSeriesDirect);
}

} // namespace

BENCHMARK(BM_HourAt5msOneSineResampler)->Unit(benchmark::kSecond)->Iterations(2);
BENCHMARK(BM_HourAt5msDirectResampler)->Unit(benchmark::kSecond)->Iterations(2);
