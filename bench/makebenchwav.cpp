// zittermark-benchwav: writes a recording for the timing script, a 44.1 kHz
// 16-bit stereo tone whose loudness follows 1/f noise, of any length from 1
// to 7200 seconds. The file is written block by block, so an hour-long
// recording never sits in memory whole.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "validate/recordings.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zittermark-benchwav OUTPUT.wav SECONDS SEED\n");
        return 2;
    }
    char* end = nullptr;
    const long seconds = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || seconds < 1 || seconds > 7200) {
        std::fprintf(stderr, "zittermark-benchwav: SECONDS must be 1-7200\n");
        return 2;
    }
    const unsigned long long seed = std::strtoull(argv[3], &end, 10);
    if (*end != '\0') {
        std::fprintf(stderr, "zittermark-benchwav: SEED must be a whole number\n");
        return 2;
    }
    TRecordingSetup setup;
    setup.modulation = TModulation::Amplitude;
    setup.beta = 1.0;
    setup.seconds = static_cast<int>(seconds);
    setup.sampleRate = 44100;
    setup.channels = 2;
    setup.seed = seed;
    std::string error;
    if (!WriteRecording(setup, argv[1], error)) {
        std::fprintf(stderr, "zittermark-benchwav: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
