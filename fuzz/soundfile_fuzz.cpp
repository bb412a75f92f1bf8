// Feeds arbitrary bytes, as a file, to the audio input where the decoder
// reads them (FLAC, Ogg, MP3, AIFF, float WAV, ...): opens them, reads
// whatever opens to the end in windows of varying length, then runs both
// samplers with a period and a level taken from the input's tail. Checks
// that no more frames come out than were announced, that every sample is a
// finite number, and that a sampler either gives finite non-negative values
// for the windows the frames reach or leaves the previous series whole.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "engine/waveanalyze.h"
#include "engine/wavefile.h"
#include "fuzz/memoryinput.h"

namespace {

// Returns the frames announced at open, or -1 when the file is refused.
int64_t ReadEverything(const std::string& name, unsigned window) {
    TWaveFile wave;
    if (!wave.Open(name)) {
        if (wave.IsOpen()) {
            std::abort();
        }
        return -1;
    }
    if (wave.format.channels < 1 || wave.format.sampleRate <= 0 || wave.ContainerName().empty()) {
        std::abort();
    }
    const uint32_t announced = wave.frameCount;
    std::vector<float> out(window);
    uint64_t total = 0;
    for (;;) {
        const int got = wave.ReadFrames(out.data(), window);
        if (got < 0 || static_cast<unsigned>(got) > window) {
            std::abort();
        }
        if (got == 0) {
            break;
        }
        for (int i = 0; i < got; ++i) {
            if (!std::isfinite(out[i])) {
                std::abort();
            }
        }
        total += static_cast<uint64_t>(got);
    }
    // The frames read are the frame count, cut at a failure or an early end.
    if (total != wave.frameCount || total > announced ||
        (total < announced && !wave.ReadFailed() && !wave.EndedEarly())) {
        std::abort();
    }
    return announced;
}

void SampleBoth(const std::string& name, const uint8_t* data, size_t size, int64_t announced) {
    const double period =
        (5 + (TailByte(data, size, 1) | (TailByte(data, size, 2) << 8)) % 996) / 1000.0;
    const double bias =
        static_cast<int16_t>(TailByte(data, size, 3) | (TailByte(data, size, 4) << 8)) / 32768.0;
    for (bool frequency : {true, false}) {
        TWaveAnalyze series;
        series.values = std::make_unique<double[]>(1);
        series.values[0] = 12.5;
        series.count = 1;
        series.period = 0.125;
        const bool sampled = frequency ? series.SampleFrequency(name, period, bias)
                                       : series.SampleAmplitude(name, period);
        if (!sampled) {
            // A refused file leaves the previous series whole.
            if (series.count != 1 || series.values[0] != 12.5 || series.period != 0.125) {
                std::abort();
            }
            continue;
        }
        if (announced < 0 || series.count < 0 || (series.count > 0) != (series.values != nullptr) ||
            !(series.period > 0.0)) {
            std::abort();
        }
        const double window = std::floor(series.period * series.input.sampleRateHz + 0.5);
        if (static_cast<double>(series.count) > std::ceil(announced / window)) {
            std::abort();
        }
        const double limit = (window + 1.0) * 0.5 / series.period;
        for (int i = 0; i < series.count; ++i) {
            const double v = series.values[i];
            if (!std::isfinite(v) || v < 0.0 || (frequency && v > limit)) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& name = WriteFuzzInputFile(data, size);
    const unsigned window = 1 + (size > 0 ? data[size - 1] : 0) * 7u;
    const int64_t announced = ReadEverything(name, window);
    if (size <= 65536) {
        SampleBoth(name, data, size, announced);
    }
    return 0;
}
