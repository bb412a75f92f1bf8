#include "validate/recordings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/safefile.h"
#include "examples/signals.h"
#include "validate/noise.h"

TModulatedTone::TModulatedTone(const TRecordingSetup& setup) : setup(setup) {
    frames = static_cast<std::size_t>(setup.seconds) * static_cast<std::size_t>(setup.sampleRate);
    const std::size_t points = static_cast<std::size_t>(std::ceil(setup.seconds * kNoiseRate)) + 4;
    noise = PowerLawNoise(points, setup.beta, setup.seed);
}

double TModulatedTone::Modulation(std::size_t frame) const {
    // Point 1 of the noise is at t = 0.
    const double x = static_cast<double>(frame) * kNoiseRate / setup.sampleRate + 1.0;
    const std::size_t i = static_cast<std::size_t>(x);
    const double u = x - static_cast<double>(i);
    const double p0 = noise[i - 1];
    const double p1 = noise[i];
    const double p2 = noise[i + 1];
    const double p3 = noise[i + 2];
    const double value =
        p1 +
        0.5 * u *
            (p2 - p0 + u * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + u * (3.0 * (p1 - p2) + p3 - p0)));
    return std::clamp(value, -kNoiseClip, kNoiseClip);
}

std::vector<double> TModulatedTone::Next(std::size_t count) {
    count = std::min(count, frames - position);
    std::vector<double> out(count);
    const double rate = setup.sampleRate;
    for (std::size_t k = 0; k < count; ++k, ++position) {
        const double n = Modulation(position);
        if (setup.modulation == TModulation::Amplitude) {
            const double t = static_cast<double>(position) / rate;
            out[k] =
                kToneAmplitude * (1.0 + kLoudnessDepth * n) * std::sin(2.0 * M_PI * kToneHz * t);
        } else if (setup.modulation == TModulation::HarmonicFrequency) {
            // Harmonics h = 1 ... 8 at 1/h, the start of a sawtooth, scaled
            // to the sine's peak (their sum peaks near 1.75).
            double sum = 0.0;
            for (int h = 1; h <= 8; ++h) {
                sum += std::sin(h * phase) / h;
            }
            out[k] = kToneAmplitude * sum / 1.75;
            phase += 2.0 * M_PI * (kToneHz + kPitchDeviationHz * n) / rate;
            if (phase >= 2.0 * M_PI) {
                phase -= 2.0 * M_PI;
            }
        } else {
            out[k] = kToneAmplitude * std::sin(phase);
            // The phase advances by the instantaneous frequency over one frame.
            phase += 2.0 * M_PI * (kToneHz + kPitchDeviationHz * n) / rate;
            if (phase >= 2.0 * M_PI) {
                phase -= 2.0 * M_PI;
            }
        }
    }
    return out;
}

namespace {

void Put32At(std::string& s, std::size_t offset, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) {
        s[offset + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
    }
}

} // namespace

bool WriteRecording(const TRecordingSetup& setup, const std::string& path, std::string& error) {
    if (setup.channels < 1 || setup.channels > 2 || setup.sampleRate <= 0 || setup.seconds <= 0) {
        error = "unsupported recording settings";
        return false;
    }
    TModulatedTone tone(setup);
    const std::uint64_t dataBytes =
        static_cast<std::uint64_t>(tone.Frames()) * static_cast<std::uint64_t>(setup.channels) * 2;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = "recording too long for a WAV file";
        return false;
    }
    // The canonical 44-byte header, with the sizes of the data to come.
    TWavBuilder builder;
    builder.channels = static_cast<uint16_t>(setup.channels);
    builder.sampleRate = static_cast<uint32_t>(setup.sampleRate);
    std::string header = builder.BuildRaw(std::string());
    Put32At(header, 4, static_cast<std::uint32_t>(36 + dataBytes));
    Put32At(header, 40, static_cast<std::uint32_t>(dataBytes));

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + ErrnoMessage(errno);
        return false;
    }
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    std::string block;
    while (ok) {
        std::vector<double> values = tone.Next(65536);
        if (values.empty()) {
            break;
        }
        block.clear();
        for (int32_t v : ToPcm16(values)) {
            const char lo = static_cast<char>(v & 0xFF);
            const char hi = static_cast<char>((v >> 8) & 0xFF);
            for (int c = 0; c < setup.channels; ++c) {
                block.push_back(lo);
                block.push_back(hi);
            }
        }
        ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    }
    if (!ok) {
        error = path + ": " + ErrnoMessage(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = path + ": " + ErrnoMessage(errno);
    }
    if (!ok) {
        std::remove(path.c_str());
    }
    return ok;
}
