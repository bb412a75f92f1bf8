#include "engine/mpegframes.h"

#include <array>
#include <optional>

#include "base/translate.h"

namespace {

struct THeader {
    int version; // 3 MPEG 1, 2 MPEG 2, 0 MPEG 2.5
    int layer;   // 1, 2, 3
    int sampleRateHz;
    uint64_t frameBytes;
};

// Bit rates in kbit/s by bit rate index; 0 is the free format, 15 invalid.
constexpr std::array<std::array<int, 15>, 5> kBitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG 1, layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG 1, layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG 1, layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG 2/2.5, layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG 2/2.5, II, III
}};

constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

// A frame header of a known bit rate, or nothing.
std::optional<THeader> ParseHeader(const unsigned char* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int version = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    const int rateIndex = b[2] >> 4;
    const int frequencyIndex = (b[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 ||
        frequencyIndex == 3) {
        return std::nullopt;
    }
    const int layer = 4 - layerBits;
    const int table = version == 3 ? layer - 1 : (layer == 1 ? 3 : 4);
    const uint64_t bitRate = static_cast<uint64_t>(kBitRates[table][rateIndex]) * 1000;
    const int divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
    const int rate = kMpeg1Rates[frequencyIndex] / divisor;
    const uint64_t padding = (b[2] >> 1) & 1;
    uint64_t bytes = 0;
    if (layer == 1) {
        bytes = (12 * bitRate / rate + padding) * 4;
    } else if (layer == 3 && version != 3) {
        bytes = 72 * bitRate / rate + padding;
    } else {
        bytes = 144 * bitRate / rate + padding;
    }
    return THeader{version, layer, rate, bytes};
}

bool ReadAt(std::istream& in, uint64_t offset, unsigned char* to, std::streamsize n) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(to), n);
    return in.gcount() == n;
}

} // namespace

TMpegWalk WalkMpegFrames(std::istream& in, int64_t size) {
    TMpegWalk walk;
    in.clear();
    const std::streampos start = in.tellg();
    const uint64_t end = size > 0 ? static_cast<uint64_t>(size) : 0;
    unsigned char b[10];
    uint64_t at = 0;
    // An ID3v2 tag: "ID3", version, flags, a size of 4 x 7 bits, a footer of
    // 10 bytes when flagged.
    if (ReadAt(in, 0, b, 10) && b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
        const uint64_t tag = (uint64_t{b[6] & 0x7Fu} << 21) | (uint64_t{b[7] & 0x7Fu} << 14) |
                             (uint64_t{b[8] & 0x7Fu} << 7) | uint64_t{b[9] & 0x7Fu};
        at = 10 + tag + ((b[5] & 0x10) != 0 ? 10 : 0);
    }
    std::optional<THeader> first;
    while (at < end) {
        if (!ReadAt(in, at, b, 4)) {
            break; // fewer bytes after the last frame than a header takes
        }
        const std::optional<THeader> header = ParseHeader(b);
        if (first && !header &&
            ((b[0] == 'T' && b[1] == 'A' && b[2] == 'G') ||
             (b[0] == 'A' && b[1] == 'P' && b[2] == 'E'))) {
            break; // a tag after the audio
        }
        const bool sameKind = header && (!first || (header->version == first->version &&
                                                    header->layer == first->layer &&
                                                    header->sampleRateHz == first->sampleRateHz));
        if (!sameKind) {
            walk.broken = first.has_value();
            break;
        }
        if (!first) {
            first = header;
            walk.mpeg = true;
        }
        if (at + header->frameBytes > end) {
            walk.broken = true;
            walk.cutOff = true;
            break;
        }
        ++walk.frames;
        at += header->frameBytes;
    }
    if (walk.broken) {
        walk.breakOffset = at;
    }
    in.clear();
    in.seekg(start);
    return walk;
}

std::string MpegDamage(const TMpegWalk& walk, int64_t size) {
    if (!walk.mpeg || !walk.broken) {
        return "";
    }
    const std::string at = std::to_string(walk.breakOffset);
    const std::string total = std::to_string(size);
    const std::string frames = std::to_string(walk.frames);
    if (walk.cutOff) {
        return Subst(walk.frames == 1 ? Tr("MPEG audio cut off: the frame at byte %s of %s runs "
                                           "past the end, after %s frame")
                                      : Tr("MPEG audio cut off: the frame at byte %s of %s runs "
                                           "past the end, after %s frames"),
                     {at, total, frames});
    }
    return Subst(walk.frames == 1
                     ? Tr("damaged MPEG audio: byte %s of %s holds no frame header, after %s frame")
                     : Tr("damaged MPEG audio: byte %s of %s holds no frame header, after %s "
                          "frames"),
                 {at, total, frames});
}
