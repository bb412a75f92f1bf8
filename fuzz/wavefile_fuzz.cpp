// Feeds arbitrary bytes to the WAV reader and reads whatever it accepts to
// the end in windows of varying length, checking that it never hands out
// more frames than the file holds; then runs both samplers over the same
// bytes as a file, with a period and a level taken from the input's tail.
// Files the decoder takes over have their own target (soundfile_fuzz);
// here they are only opened.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "engine/waveanalyze.h"
#include "engine/wavefile.h"
#include "fuzz/memoryinput.h"

namespace {

// Little-endian fields at the end of the input, counted back from its last
// byte (which already picks the reader's window).
double TailDouble(const uint8_t* data, size_t size, size_t back) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) {
        bits |= static_cast<uint64_t>(TailByte(data, size, back + i)) << (8 * i);
    }
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Mostly a whole number of milliseconds in the range of the main window's
// edit, sometimes any double at all (a sample file can declare any period,
// and the samplers must refuse the unusable ones themselves).
double PeriodFromInput(const uint8_t* data, size_t size) {
    const uint32_t code = TailByte(data, size, 1) | (TailByte(data, size, 2) << 8);
    if (code >= 0xFF00) {
        return TailDouble(data, size, 5);
    }
    return (5 + code % 996) / 1000.0;
}

double BiasFromInput(const uint8_t* data, size_t size) {
    const uint32_t code = TailByte(data, size, 3) | (TailByte(data, size, 4) << 8);
    return static_cast<int16_t>(code) / 32768.0;
}

// Reads the whole data chunk through the reader's own interface.
void ReadEverything(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    TWaveFile wave;
    if (!wave.Open(std::make_unique<std::istringstream>(bytes))) {
        if (wave.IsOpen()) {
            std::abort();
        }
        return;
    }
    if (wave.Decoded()) {
        return;
    }
    const TWaveFormat& format = wave.format;
    if (format.blockAlign == 0 || format.channels < 1 || format.channels > 2 ||
        format.sampleRate <= 0 || wave.dataOffset < 0 ||
        static_cast<uint64_t>(wave.dataOffset) + wave.dataSize > size ||
        wave.frameCount != wave.dataSize / format.blockAlign) {
        std::abort();
    }
    // The window length comes from the input's last byte, so the fuzzer
    // explores short, long and uneven windows.
    const unsigned window = 1 + (size > 0 ? data[size - 1] : 0) * 7u;
    std::vector<float> out(window);
    uint64_t total = 0;
    for (;;) {
        int got = wave.ReadFrames(out.data(), window);
        if (got < 0 || static_cast<unsigned>(got) > window) {
            std::abort();
        }
        if (got == 0) {
            break;
        }
        for (int i = 0; i < got; ++i) {
            // Every encoding lies within -1.00000012 ... 1.
            if (!(out[i] >= -1.0000002f && out[i] <= 1.0f)) {
                std::abort();
            }
        }
        total += static_cast<uint64_t>(got);
    }
    if (total != wave.frameCount) {
        std::abort();
    }
    wave.Close();
}

// What a sampler must have produced from a file it accepted.
void CheckSampled(const TWaveAnalyze& series, const TWaveFile& wave, int64_t windowFrames,
                  bool frequency) {
    const uint64_t frames = wave.frameCount;
    const uint64_t window = static_cast<uint64_t>(windowFrames);
    const uint64_t windows = frames / window + (frames % window != 0 ? 1 : 0);
    if (static_cast<uint64_t>(series.count) != windows ||
        (series.count > 0) != (series.values != nullptr) ||
        series.period != static_cast<double>(windowFrames) / wave.format.sampleRate) {
        std::abort();
    }
    // A window of w frames (a zero after a short tail included) crosses the
    // level at most w + 1 times; an RMS level never exceeds full scale.
    const double limit =
        frequency ? (static_cast<double>(window) + 1.0) * 0.5 / series.period : 1.000001;
    for (int i = 0; i < series.count; ++i) {
        const double v = series.values[i];
        if (!std::isfinite(v) || v < 0.0 || v > limit) {
            std::abort();
        }
    }
}

// Both samplers on the bytes as a file. A refused file must leave the
// previous series exactly as it was.
void SampleBoth(const uint8_t* data, size_t size) {
    const std::string& name = WriteFuzzInputFile(data, size);
    const double period = PeriodFromInput(data, size);
    const double bias = BiasFromInput(data, size);

    TWaveFile wave;
    const bool readable = wave.Open(name);
    if (wave.Decoded()) {
        return;
    }
    const int64_t windowFrames =
        readable ? TWaveAnalyze::WindowLength(wave.format.sampleRate, period) : 0;
    bool expected = readable && windowFrames >= 1;
    if (expected) {
        const uint64_t frames = wave.frameCount;
        const uint64_t window = static_cast<uint64_t>(windowFrames);
        expected = frames / window + (frames % window != 0 ? 1 : 0) <= INT32_MAX;
    }

    for (bool frequency : {true, false}) {
        TWaveAnalyze series;
        series.values = std::make_unique<double[]>(1);
        series.values[0] = 12.5;
        series.count = 1;
        series.period = 0.125;
        const double* before = series.values.get();
        const bool sampled = frequency ? series.SampleFrequency(name, period, bias)
                                       : series.SampleAmplitude(name, period);
        if (sampled != expected) {
            std::abort();
        }
        if (sampled) {
            CheckSampled(series, wave, windowFrames, frequency);
        } else if (series.values.get() != before || series.count != 1 || series.values[0] != 12.5 ||
                   series.period != 0.125) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadEverything(data, size);
    // The samplers' work grows with the file; larger inputs add little the
    // reader's checks above have not already covered.
    if (size <= 65536) {
        SampleBoth(data, size);
    }
    return 0;
}
