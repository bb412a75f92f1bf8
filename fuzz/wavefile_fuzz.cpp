// Feeds arbitrary bytes to the WAV reader and reads whatever it accepts to
// the end in windows of varying length, checking that it never hands out
// more frames than the file holds.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/wavefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    TWaveFile wave;
    if (!wave.Open(std::make_unique<std::istringstream>(bytes))) {
        if (wave.IsOpen()) {
            std::abort();
        }
        return 0;
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
    return 0;
}
