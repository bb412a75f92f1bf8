// Writes the example recording: two minutes of a 440 Hz tone at 22050 Hz,
// 16-bit mono, whose loudness fluctuates as 1/f noise. Analysed in the
// amplitude mode it gives a fluctuation spectrum with a slope near -1.

#include <cstdio>
#include <fstream>

#include "examples/signals.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zittermark-makeexample OUTPUT.wav\n");
        return 2;
    }
    TWavBuilder builder;
    builder.sampleRate = 22050;
    std::vector<double> tone = FluctuatingTone(120.0, 22050, 440.0, 1.0, 20.0, 20261209);
    std::string bytes = builder.Build(ToPcm16(tone));
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "zittermark-makeexample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
