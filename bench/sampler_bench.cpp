// Sampling speed over a 10-minute 44.1 kHz 16-bit stereo recording, made
// once per run in a temporary folder. Each benchmark reports "audio_x", the
// seconds of audio processed per second of wall time. The baseline
// BM_SampleBaselineRead reads the same file's bytes with read() into a fixed
// 256 KiB buffer (what the samplers read per call on this file) and does nothing else: the read
// limit. Each sampler reports "x_read", its time over that baseline's, which
// is measured first in the same process. BM_SampleBaselineReadFrames reads
// the file as floats through TWaveFile in 25 ms windows.
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "engine/waveanalyze.h"
#include "engine/wavefile.h"
#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

void PutLe32(std::string& s, std::size_t at, uint32_t v) {
    for (int b = 0; b < 4; ++b) {
        s[at + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
    }
}

constexpr int kRate = 44100;
constexpr int kSeconds = 600;

// The recording: ten seconds of a fluctuating tone, repeated 60 times; the
// right channel is the left one delayed by a quarter second.
class TRecording {
public:
    TRecording() : path(dir.File("ten-minutes.wav")) {
        const std::vector<int32_t> tone =
            ToPcm16(FluctuatingTone(10.0, kRate, 440.0, 1.0, 20.0, 1234));
        const std::size_t delay = kRate / 4;
        std::vector<int32_t> block(tone.size() * 2);
        for (std::size_t i = 0; i < tone.size(); ++i) {
            block[2 * i] = tone[i];
            block[2 * i + 1] = tone[(i + tone.size() - delay) % tone.size()];
        }
        TWavBuilder builder;
        builder.channels = 2;
        builder.sampleRate = kRate;
        // The header of a file with this block as its data, then the sizes
        // patched for 60 blocks and the block's data bytes written 60 times.
        std::string once = builder.Build(block);
        const std::string data = once.substr(44);
        std::string header = once.substr(0, 44);
        const uint32_t repeats = kSeconds / 10;
        const uint32_t dataSize = static_cast<uint32_t>(data.size()) * repeats;
        PutLe32(header, 4, 36 + dataSize);
        PutLe32(header, 40, dataSize);
        std::ofstream out(path, std::ios::binary);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        for (uint32_t r = 0; r < repeats; ++r) {
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
        }
        if (!out.flush()) {
            throw std::runtime_error("cannot write the recording");
        }
    }

    const std::string& Path() const { return path; }

private:
    TTempDir dir;
    std::string path;
};

const std::string& RecordingPath() {
    static TRecording recording;
    return recording.Path();
}

void ReportAudioRate(benchmark::State& state) {
    state.counters["audio_x"] =
        benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

// Seconds per pass of the read() baseline, for the samplers' ratios.
double readSeconds = 0.0;

void ReportReadRatio(benchmark::State& state, double seconds) {
    if (readSeconds > 0.0 && state.iterations() > 0) {
        state.counters["x_read"] = seconds / static_cast<double>(state.iterations()) / readSeconds;
    }
}

// Wall seconds of the timed loop, measured by hand so the ratio uses the
// same clock as the baseline.
class TWallClock {
public:
    TWallClock() : start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

private:
    std::chrono::steady_clock::time_point start;
};

void BM_SampleBaselineRead(benchmark::State& state) {
    const std::string& path = RecordingPath();
    std::vector<char> buffer(256 * 1024);
    TWallClock clock;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) {
            state.SkipWithError("cannot open the recording");
            return;
        }
        std::size_t total = 0;
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got <= 0) {
                break;
            }
            total += static_cast<std::size_t>(got);
        }
        ::close(fd);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(buffer.data());
    }
    readSeconds = clock.Seconds() / static_cast<double>(state.iterations());
    ReportAudioRate(state);
}
BENCHMARK(BM_SampleBaselineRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SampleBaselineReadFrames(benchmark::State& state) {
    const std::string& path = RecordingPath();
    const unsigned window = static_cast<unsigned>(TWaveAnalyze::WindowLength(kRate, 0.025));
    std::vector<float> buffer(window);
    for (auto _ : state) {
        TWaveFile wave;
        if (!wave.Open(path)) {
            state.SkipWithError("cannot open the recording");
            return;
        }
        double sum = 0.0;
        while (int got = wave.ReadFrames(buffer.data(), window)) {
            sum += buffer[static_cast<std::size_t>(got) - 1];
        }
        benchmark::DoNotOptimize(sum);
        wave.Close();
    }
    ReportAudioRate(state);
}
BENCHMARK(BM_SampleBaselineReadFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SampleFrequency(benchmark::State& state) {
    const std::string& path = RecordingPath();
    TWaveAnalyze series;
    TWallClock clock;
    for (auto _ : state) {
        if (!series.SampleFrequency(path, 0.025, 8.0 / 32768.0)) {
            state.SkipWithError("sampling failed");
            return;
        }
        benchmark::DoNotOptimize(series.values.get());
    }
    ReportReadRatio(state, clock.Seconds());
    ReportAudioRate(state);
}
BENCHMARK(BM_SampleFrequency)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SampleAmplitude(benchmark::State& state) {
    const std::string& path = RecordingPath();
    TWaveAnalyze series;
    TWallClock clock;
    for (auto _ : state) {
        if (!series.SampleAmplitude(path, 0.025)) {
            state.SkipWithError("sampling failed");
            return;
        }
        benchmark::DoNotOptimize(series.values.get());
    }
    ReportReadRatio(state, clock.Seconds());
    ReportAudioRate(state);
}
BENCHMARK(BM_SampleAmplitude)->Unit(benchmark::kMillisecond)->UseRealTime();

// The measuring samplers, against the counting one above.
void BM_SampleFineFrequency(benchmark::State& state) {
    const std::string& path = RecordingPath();
    TWaveAnalyze series;
    TWallClock clock;
    for (auto _ : state) {
        if (!series.SampleFineFrequency(path, 0.025, 8.0 / 32768.0)) {
            state.SkipWithError("sampling failed");
            return;
        }
        benchmark::DoNotOptimize(series.values.get());
    }
    ReportReadRatio(state, clock.Seconds());
    ReportAudioRate(state);
}
BENCHMARK(BM_SampleFineFrequency)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SamplePitch(benchmark::State& state) {
    const std::string& path = RecordingPath();
    TWaveAnalyze series;
    TWallClock clock;
    for (auto _ : state) {
        if (!series.SamplePitch(path, 0.025)) {
            state.SkipWithError("sampling failed");
            return;
        }
        benchmark::DoNotOptimize(series.values.get());
    }
    ReportReadRatio(state, clock.Seconds());
    ReportAudioRate(state);
}
BENCHMARK(BM_SamplePitch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
