#include "examples/signals.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

namespace {

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

void PutChunk(std::string& s, const std::string& id, const std::string& contents) {
    s += WavChunk(id.substr(0, 4), contents);
}

} // namespace

void PutLe16(std::string& s, std::size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(std::string& s, std::size_t at, uint32_t v) {
    PutLe16(s, at, v & 0xFFFF);
    PutLe16(s, at + 2, v >> 16);
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    PutLe32(s, 0, v);
    return s;
}

std::string Le64(uint64_t v) {
    return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32));
}

std::string WavChunk(const std::string& id, const std::string& contents, int64_t size) {
    const uint32_t stated =
        size < 0 ? static_cast<uint32_t>(contents.size()) : static_cast<uint32_t>(size);
    std::string s = id + Le32(stated) + contents;
    if (size < 0 && contents.size() % 2 == 1) {
        s.push_back('\0');
    }
    return s;
}

std::string RiffWave(const std::string& chunks) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

std::string FmtContents(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    std::string s(16, '\0');
    const uint16_t blockAlign = static_cast<uint16_t>(channels * (bits / 8));
    PutLe16(s, 0, tag);
    PutLe16(s, 2, channels);
    PutLe32(s, 4, rate);
    PutLe32(s, 8, rate * blockAlign);
    PutLe16(s, 12, blockAlign);
    PutLe16(s, 14, bits);
    return s;
}

std::string TWavBuilder::BuildRaw(const std::string& dataBytes) const {
    uint16_t blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    std::string fmt;
    Put16(fmt, formatTag);
    Put16(fmt, channels);
    Put32(fmt, sampleRate);
    Put32(fmt, sampleRate * blockAlign);
    Put16(fmt, blockAlign);
    Put16(fmt, bitsPerSample);
    if (fmtSize >= 18) {
        Put16(fmt, fmtSize - 18);
    }
    if (formatTag == 0xFFFE && fmtSize >= 40) {
        // Valid bits, channel mask, and the sub-format GUID built on its tag.
        Put16(fmt, bitsPerSample);
        Put32(fmt, 0);
        Put16(fmt, subFormat);
        for (unsigned char b :
             {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
            fmt.push_back(static_cast<char>(b));
        }
    }
    while (fmt.size() < fmtSize) {
        fmt.push_back('\0');
    }
    std::string body = "WAVE";
    PutChunk(body, "fmt ", fmt);
    for (const auto& chunk : extraChunks) {
        PutChunk(body, chunk.first, chunk.second);
    }
    PutChunk(body, "data", dataBytes);
    std::string file = "RIFF";
    Put32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

std::string TWavBuilder::Build(const std::vector<int32_t>& samples) const {
    std::string data;
    data.reserve(samples.size() * (bitsPerSample / 8));
    for (int32_t s : samples) {
        uint32_t u = static_cast<uint32_t>(s);
        switch (bitsPerSample) {
        case 8:
            data.push_back(static_cast<char>((s + 128) & 0xFF));
            break;
        case 16:
            Put16(data, u & 0xFFFF);
            break;
        case 24:
            data.push_back(static_cast<char>(u & 0xFF));
            data.push_back(static_cast<char>((u >> 8) & 0xFF));
            data.push_back(static_cast<char>((u >> 16) & 0xFF));
            break;
        default:
            throw std::runtime_error("unsupported sample width");
        }
    }
    return BuildRaw(data);
}

std::vector<int32_t> ToPcm16(const std::vector<double>& signal) {
    std::vector<int32_t> pcm;
    pcm.reserve(signal.size());
    for (double v : signal) {
        double scaled = std::nearbyint(v * 32768.0);
        if (scaled > 32767.0) {
            scaled = 32767.0;
        }
        if (scaled < -32768.0) {
            scaled = -32768.0;
        }
        pcm.push_back(static_cast<int32_t>(scaled));
    }
    return pcm;
}

std::vector<double> FluctuatingTone(double seconds, int sampleRate, double toneHz, double exponent,
                                    double maxFluctuationHz, uint32_t seed) {
    const std::size_t total = static_cast<std::size_t>(seconds * sampleRate);
    // The loudness is synthesised on a coarse grid (200 points per second)
    // as a sum of cosines at the multiples of 1/seconds with amplitudes
    // f^(-exponent/2) and random phases, then interpolated linearly.
    const double envelopeRate = 200.0;
    const std::size_t envelopePoints = static_cast<std::size_t>(seconds * envelopeRate) + 2;
    const int components = static_cast<int>(maxFluctuationHz * seconds);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * M_PI);
    std::vector<double> envelope(envelopePoints, 0.0);
    for (int k = 1; k <= components; ++k) {
        double f = k / seconds;
        double amplitude = std::pow(f, -exponent / 2.0);
        double p = phase(random);
        double w = 2.0 * M_PI * f / envelopeRate;
        for (std::size_t j = 0; j < envelopePoints; ++j) {
            envelope[j] += amplitude * std::cos(w * static_cast<double>(j) + p);
        }
    }
    double lo = envelope[0];
    double hi = envelope[0];
    for (double v : envelope) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // Loudness between 0.05 and 0.9 of full scale.
    for (double& v : envelope) {
        v = hi > lo ? 0.05 + 0.85 * (v - lo) / (hi - lo) : 0.5;
    }
    std::vector<double> signal(total);
    for (std::size_t i = 0; i < total; ++i) {
        double t = static_cast<double>(i) / sampleRate;
        double position = t * envelopeRate;
        std::size_t j = static_cast<std::size_t>(position);
        double frac = position - static_cast<double>(j);
        double level = envelope[j] * (1.0 - frac) + envelope[j + 1] * frac;
        signal[i] = level * std::sin(2.0 * M_PI * toneHz * t);
    }
    return signal;
}
