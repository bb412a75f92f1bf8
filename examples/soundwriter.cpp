#include "examples/soundwriter.h"

#include <algorithm>

namespace {

template <typename Sample, typename Write>
std::string WriteSound(const std::string& path, int format, int sampleRateHz, int channels,
                       const std::vector<Sample>& samples, Write write) {
    SF_INFO info{};
    info.samplerate = sampleRateHz;
    info.channels = channels;
    info.format = format;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sound) {
        return sf_strerror(nullptr);
    }
    const int subtype = format & SF_FORMAT_SUBMASK;
    if (subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS ||
        subtype == SF_FORMAT_MPEG_LAYER_III) {
        double level = kLossyCompressionLevel;
        sf_command(sound, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
        if (subtype == SF_FORMAT_MPEG_LAYER_III) {
            int mode = SF_BITRATE_MODE_CONSTANT;
            sf_command(sound, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        }
    }
    // In blocks: the Vorbis encoder of libsndfile 1.2 crashes on one call
    // of some million frames.
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    std::string error;
    for (sf_count_t at = 0; at < frames && error.empty(); at += 65536) {
        const sf_count_t n = std::min<sf_count_t>(65536, frames - at);
        if (write(sound, samples.data() + at * channels, n) != n) {
            error = sf_strerror(sound);
        }
    }
    if (sf_close(sound) != 0 && error.empty()) {
        error = "closing failed";
    }
    return error;
}

} // namespace

std::string WriteSound16(const std::string& path, int format, int sampleRateHz, int channels,
                         const std::vector<int32_t>& samples) {
    // The library writes 16-bit values into float data unscaled; on the
    // normalised scale they are value / 32768.
    const int subtype = format & SF_FORMAT_SUBMASK;
    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
        std::vector<double> scaled;
        for (int32_t sample : samples) {
            scaled.push_back(sample / 32768.0);
        }
        return WriteSoundDouble(path, format, sampleRateHz, channels, scaled);
    }
    std::vector<short> shorts(samples.begin(), samples.end());
    return WriteSound(path, format, sampleRateHz, channels, shorts,
                      [](SNDFILE* sound, const short* data, sf_count_t frames) {
                          return sf_writef_short(sound, data, frames);
                      });
}

std::string WriteSoundDouble(const std::string& path, int format, int sampleRateHz, int channels,
                             const std::vector<double>& samples) {
    return WriteSound(path, format, sampleRateHz, channels, samples,
                      [](SNDFILE* sound, const double* data, sf_count_t frames) {
                          return sf_writef_double(sound, data, frames);
                      });
}

std::vector<double> DecodeSound(const std::string& path, int* channels) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
    if (!sound) {
        return {};
    }
    if (channels) {
        *channels = info.channels;
    }
    std::vector<double> all;
    std::vector<double> block(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_double(sound, block.data(), 4096);
        if (got <= 0) {
            break;
        }
        all.insert(all.end(), block.begin(), block.begin() + got * info.channels);
    }
    sf_close(sound);
    return all;
}
