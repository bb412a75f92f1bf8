// The decoder baseline and the file converter of scripts/bench-formats:
//   zittermark-audiotool decode FILE
//       decodes FILE with libsndfile into memory, block by block, and
//       discards it (the floor any analysis of a compressed file stands on)
//   zittermark-audiotool convert IN.wav OUT flac|mp3|ogg|opus
//       writes the audio of IN in OUT's format (encoder settings as in the
//       tests: examples/soundwriter.h)
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <string>
#include <vector>

#include "examples/soundwriter.h"

namespace {

int Decode(const char* path) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(path, SFM_READ, &info);
    if (!sound) {
        std::fprintf(stderr, "%s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    std::vector<short> block(65536 * static_cast<std::size_t>(info.channels));
    long long frames = 0;
    long long check = 0;
    for (sf_count_t got; (got = sf_readf_short(sound, block.data(), 65536)) > 0;) {
        frames += got;
        check += block[0];
    }
    sf_close(sound);
    // Printed so the decode cannot be optimised away.
    std::printf("%lld frames (%lld)\n", frames, check);
    return 0;
}

int Convert(const char* in, const char* out, const std::string& kind) {
    int format = 0;
    if (kind == "flac") {
        format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    } else if (kind == "mp3") {
        format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    } else if (kind == "ogg") {
        format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    } else if (kind == "opus") {
        format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    } else {
        std::fprintf(stderr, "unknown format %s\n", kind.c_str());
        return 2;
    }
    SF_INFO info{};
    SNDFILE* source = sf_open(in, SFM_READ, &info);
    if (!source) {
        std::fprintf(stderr, "%s: %s\n", in, sf_strerror(nullptr));
        return 1;
    }
    std::vector<short> all(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_short(source, all.data(), info.frames);
    sf_close(source);
    std::vector<int32_t> samples(all.begin(), all.begin() + got * info.channels);
    const std::string error = WriteSound16(out, format, info.samplerate, info.channels, samples);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", out, error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0) {
        return Decode(argv[2]);
    }
    if (argc == 5 && std::strcmp(argv[1], "convert") == 0) {
        return Convert(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: %s decode FILE | convert IN OUT flac|mp3|ogg|opus\n", argv[0]);
    return 2;
}
