#include "engine/wavefile.h"

#include "engine/soundfile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/safefile.h"
#include "base/translate.h"

namespace {

// Bytes read from the file at once when the caller asks for fewer.
constexpr std::size_t kReadAheadBytes = 256 * 1024;

uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The three sample encodings on the normalised scale. 8- and 16-bit data
// divide by the power of two; 24-bit data divide by 8388607, so full-scale
// negative ends slightly below -1. The 24-bit sample is placed in the top
// three bytes of a 32-bit integer, which sign-extends it, and scaled by
// 1 / (8388607 * 256).
double Sample8(const unsigned char* p) {
    return (static_cast<int>(p[0]) - 128) / 128.0;
}

double Sample16(const unsigned char* p) {
    return static_cast<int16_t>(Get16(p)) / 32768.0;
}

double Sample24(const unsigned char* p) {
    uint32_t bits = (static_cast<uint32_t>(p[2]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                    (static_cast<uint32_t>(p[0]) << 8);
    return static_cast<int32_t>(bits) * (1.0 / 2147483392.0);
}

template <double (*Convert)(const unsigned char*), int Bytes>
void ConvertMono(const unsigned char* data, unsigned frames, float* out) {
    for (unsigned i = 0; i < frames; ++i) {
        out[i] = static_cast<float>(Convert(data + static_cast<std::size_t>(i) * Bytes));
    }
}

template <double (*Convert)(const unsigned char*), int Bytes>
void ConvertStereo(const unsigned char* data, unsigned frames, float* out) {
    for (unsigned i = 0; i < frames; ++i) {
        const unsigned char* frame = data + static_cast<std::size_t>(i) * 2 * Bytes;
        double left = Convert(frame);
        double right = Convert(frame + Bytes);
        out[i] = static_cast<float>((left + right) * 0.5);
    }
}

// The format tags of integer PCM and of the extensible format, whose
// sub-format GUID then names the encoding.
constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr uint16_t kFloatTag = 3;

// Bytes 2 ... 15 of every sub-format GUID built on a format tag
// (xxxx0000-0000-0010-8000-00AA00389B71); the tag is in bytes 0 and 1.
constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string Hex16(uint16_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text.push_back(digits[(value >> shift) & 0xF]);
    }
    return text;
}

// The name of an encoding by its format tag, for the refusal message.
std::string TagEncodingName(uint16_t tag) {
    switch (tag) {
    case 2:
        return "ADPCM";
    case 3:
        return Tr("浮動小数点");
    case 6:
        return "A-law";
    case 7:
        return "µ-law";
    case 0x55:
        return "MP3";
    default:
        return Tr("不明な形式");
    }
}

} // namespace

TWaveFile::TWaveFile() = default;

TWaveFile::~TWaveFile() = default;

bool TWaveFile::Open(const std::string& name) {
    Close();
    problem.clear();
    // Only a regular file has a size to check the chunk sizes against; a
    // folder or a device is no WAV file.
    problem = InputFileProblem(name);
    if (!problem.empty()) {
        return false;
    }
    auto stream = std::make_unique<std::ifstream>(name, std::ios::binary);
    if (!*stream) {
        problem = Tr("cannot open it");
        return false;
    }
    const bool opened = Open(std::move(stream));
    if (!opened && (refusedByDecoder || unsupportedFloat)) {
        problem = name + ": " + problem;
    }
    return opened;
}

bool TWaveFile::Open(std::unique_ptr<std::istream> stream) {
    Close();
    if (!stream) {
        return false;
    }
    file = std::move(stream);
    refusedByDecoder = false;
    damagedPcm = false;
    unsupportedFloat = false;
    if (!Walk() && (damagedPcm || unsupportedFloat || !OpenSound())) {
        Close();
        return false;
    }
    return true;
}

bool TWaveFile::OpenSound() {
    const std::string refusal = problem;
    format = TWaveFormat();
    frameCount = 0;
    declaredFrames = 0;
    nextFrame = 0;
    std::string reason;
    auto decoder = std::make_unique<TSoundFile>();
    if (!decoder->Open(*file, reason)) {
        refusedByDecoder = true;
        problem = (refusal.empty() ? "" : refusal + " ") +
                  TrSubst("音声ファイルとして読めません(%s)。", {reason});
        return false;
    }
    problem.clear();
    format.channels = static_cast<uint16_t>(decoder->channels);
    format.sampleRate = decoder->sampleRate;
    format.bitsPerSample = static_cast<uint16_t>(decoder->bitsPerSample);
    frameCount = static_cast<uint32_t>(decoder->frames);
    declaredFrames = frameCount;
    sound = std::move(decoder);
    return true;
}

void TWaveFile::SoundEnded(unsigned asked, unsigned got) {
    if (got >= asked || sound->Failed()) {
        if (sound->Failed()) {
            readFailed = true;
            frameCount = nextFrame;
        }
        return;
    }
    // The decoder has no more frames to give.
    if (sound->LengthIsEstimate()) {
        endedEarly = true;
    } else {
        readFailed = true;
        problem =
            TrSubst("データの途中で読み込みに失敗しました(%s / %sフレーム目、デコーダーがそれ以上の"
                    "フレームを返しません)。",
                    {std::to_string(nextFrame), std::to_string(frameCount)});
    }
    frameCount = nextFrame;
}

void TWaveFile::RefuseFloatWidth(uint16_t tag) {
    // The decoder reads float samples of 32 and 64 bits only; of any other
    // width it would say no more than that something went wrong inside it.
    const uint16_t bits = format.bitsPerSample;
    if (tag == kFloatTag && bits != 32 && bits != 64) {
        unsupportedFloat = true;
        problem.append(" ").append(
            TrSubst("%s-bit float samples are not supported (only 32- and 64-bit float).",
                    {std::to_string(bits)}));
    }
}

bool TWaveFile::Walk() {
    format = TWaveFormat();
    problem.clear();
    readFailed = false;
    endedEarly = false;
    declaredFrames = 0;
    hasDataChunk = false;
    dataOffset = 0;
    dataSize = 0;
    frameCount = 0;
    nextFrame = 0;
    bufferAt = 0;
    bufferEnd = 0;

    std::istream& in = *file;
    in.seekg(0, std::ios::end);
    std::streamoff end = in.tellg();
    if (!in || end < 0) {
        return false;
    }
    fileSize = end;

    // Reads `size` bytes at `position`; false unless all of them were there.
    // The walk's small reads are served from a block read ahead of them, so
    // a file of many short chunks costs one read per block, not one seek
    // and read per chunk.
    constexpr int64_t kWalkBlock = 64 * 1024;
    std::vector<unsigned char> block;
    int64_t blockStart = 0;
    auto readAt = [&](int64_t position, unsigned char* to, std::size_t size) {
        const int64_t wanted = static_cast<int64_t>(size);
        if (position < 0 || wanted > kWalkBlock || position + wanted > fileSize) {
            return false;
        }
        const int64_t blockEnd = blockStart + static_cast<int64_t>(block.size());
        if (position < blockStart || position + wanted > blockEnd) {
            // A stream that cannot give the whole block (it shrank, or a
            // device failed past the bytes wanted) is asked for just those.
            for (const int64_t length :
                 {std::min<int64_t>(kWalkBlock, fileSize - position), wanted}) {
                block.resize(static_cast<std::size_t>(length));
                in.clear();
                in.seekg(position);
                in.read(reinterpret_cast<char*>(block.data()),
                        static_cast<std::streamsize>(length));
                if (in && in.gcount() == length) {
                    break;
                }
                block.clear();
            }
            if (block.size() < size) {
                return false;
            }
            blockStart = position;
        }
        std::memcpy(to, block.data() + (position - blockStart), size);
        return true;
    };

    unsigned char header[12];
    if (!readAt(0, header, 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return false;
    }

    // Positions are 64-bit so that chunk sizes near 2^32 cannot wrap them;
    // every chunk moves the walk on by at least its 8-byte header, so it ends.
    bool haveFormat = false;
    bool haveData = false;
    bool orphanData = false;
    TWaveFormat current;
    TWaveFormat dataFormat;
    uint32_t declaredDataSize = 0;
    std::optional<uint16_t> currentSubFormat;
    std::optional<uint16_t> dataSubFormat;
    int64_t position = 12;
    while (position + 8 <= fileSize) {
        unsigned char chunk[8];
        if (!readAt(position, chunk, 8)) {
            return false;
        }
        const uint32_t size = Get32(chunk + 4);
        const int64_t contents = position + 8;
        const int64_t available = std::min<int64_t>(size, fileSize - contents);

        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // A format record needs its 16 leading bytes; the extra-size
            // field and anything after it are not needed to read PCM.
            if (available < 16) {
                return false;
            }
            unsigned char fields[18] = {};
            if (!readAt(contents, fields, 16)) {
                return false;
            }
            current.formatTag = Get16(fields);
            current.channels = Get16(fields + 2);
            current.sampleRate = static_cast<int32_t>(Get32(fields + 4));
            current.byteRate = Get32(fields + 8);
            current.blockAlign = Get16(fields + 12);
            current.bitsPerSample = Get16(fields + 14);
            current.extraSize = 0;
            // The extensible format names its encoding in the sub-format
            // GUID at bytes 24 ... 39; a record too short for it names none.
            currentSubFormat.reset();
            unsigned char extensible[40];
            if (current.formatTag == kExtensibleTag && available >= 40 &&
                readAt(contents, extensible, 40)) {
                if (std::memcmp(extensible + 26, kGuidTail, sizeof kGuidTail) == 0) {
                    currentSubFormat = Get16(extensible + 24);
                } else {
                    currentSubFormat = 0;
                }
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // The data are read with the format that precedes them; a data
            // chunk without one cannot be interpreted and is passed over.
            if (haveFormat) {
                haveData = true;
                dataFormat = current;
                dataSubFormat = currentSubFormat;
                dataOffset = contents;
                // Only the bytes the file really holds count, so that no
                // reader ever sizes anything by a claim the file cannot back.
                dataSize = static_cast<uint32_t>(available);
                declaredDataSize = size;
            } else {
                orphanData = true;
            }
        }

        const int64_t next = contents + static_cast<int64_t>(size) + (size & 1u);
        if (contents + static_cast<int64_t>(size) > fileSize) {
            break; // the chunk runs past the end of the file
        }
        position = next;
    }

    if (orphanData && !haveData) {
        return false;
    }
    if (!haveFormat) {
        return false;
    }
    format = haveData ? dataFormat : current;
    const std::optional<uint16_t> subFormat = haveData ? dataSubFormat : currentSubFormat;

    // Only integer PCM is read here; any other encoding would be taken for
    // PCM samples and give plausible but meaningless numbers, so it goes to
    // the decoder.
    if (format.formatTag == kExtensibleTag) {
        if (!subFormat || *subFormat == 0) {
            problem = Tr("拡張形式(フォーマットタグ 0xFFFE)で、サブフォーマットが読めない"
                         "WAVファイルです。");
            return false;
        }
        if (*subFormat != kPcmTag) {
            problem =
                TrSubst("拡張形式(フォーマットタグ 0xFFFE)、サブフォーマット %s(%s)のWAVファイル"
                        "です。",
                        {TagEncodingName(*subFormat), Hex16(*subFormat)});
            RefuseFloatWidth(*subFormat);
            return false;
        }
    } else if (format.formatTag != kPcmTag) {
        problem = TrSubst("%s(フォーマットタグ %s)のWAVファイルです。",
                          {TagEncodingName(format.formatTag), Hex16(format.formatTag)});
        RefuseFloatWidth(format.formatTag);
        return false;
    }

    // Integer PCM whose frame size contradicts its channels and width, or
    // whose width is no whole number of bytes, is damaged: no decoder is
    // asked to guess at it. Other widths and channel counts go to the
    // decoder.
    const uint16_t bits = format.bitsPerSample;
    if (bits == 0 || bits % 8 != 0 || format.blockAlign == 0 ||
        format.blockAlign != format.channels * (bits / 8)) {
        damagedPcm = true;
        return false;
    }
    if (bits != 8 && bits != 16 && bits != 24) {
        return false;
    }
    if (format.channels < 1 || format.channels > 2) {
        return false;
    }
    if (format.sampleRate <= 0) {
        return false;
    }
    frameCount = dataSize / format.blockAlign;
    declaredFrames = haveData ? declaredDataSize / format.blockAlign : 0;
    hasDataChunk = haveData;

    in.clear();
    in.seekg(dataOffset);
    return static_cast<bool>(in);
}

unsigned TWaveFile::ReadBytes(unsigned n, const unsigned char** data) {
    if (!file || n == 0) {
        return 0;
    }
    const std::size_t align = format.blockAlign;
    if (bufferAt == bufferEnd) {
        // Never past the data chunk, even if the file goes on. The callers
        // return an int, so at most INT_MAX frames are read at once.
        const uint32_t left = frameCount - nextFrame;
        const uint32_t readAhead =
            static_cast<uint32_t>(std::max<std::size_t>(1, kReadAheadBytes / align));
        const uint32_t frames =
            std::min<uint32_t>({std::max(n, readAhead), left, static_cast<uint32_t>(INT32_MAX)});
        bufferAt = 0;
        bufferEnd = 0;
        if (frames == 0) {
            return 0;
        }
        const std::size_t bytes = static_cast<std::size_t>(frames) * align;
        try {
            buffer.resize(bytes);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        file->read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(bytes));
        const uint32_t got =
            static_cast<uint32_t>(static_cast<std::size_t>(file->gcount()) / align);
        if (got < frames) {
            // The frames asked for were all there when the file was opened:
            // it has shrunk since, or the device failed. Nothing more is
            // read, and the reader's user learns why.
            readFailed = true;
            problem = TrSubst(
                "データの途中で読み込みに失敗しました(%s / %sフレーム目、%s)。",
                {std::to_string(static_cast<uint64_t>(nextFrame) + got), std::to_string(frameCount),
                 file->bad() ? Tr("読み込みエラー") : Tr("ファイルが短くなっています")});
            frameCount = nextFrame + got;
        }
        nextFrame += got;
        bufferEnd = static_cast<std::size_t>(got) * align;
        if (got == 0) {
            return 0;
        }
    }
    const unsigned frames =
        static_cast<unsigned>(std::min<std::size_t>(n, (bufferEnd - bufferAt) / align));
    *data = buffer.data() + bufferAt;
    bufferAt += static_cast<std::size_t>(frames) * align;
    return frames;
}

int TWaveFile::ReadFrames(float* out, unsigned n) {
    // The result is an int.
    n = std::min<unsigned>(n, INT32_MAX);
    if (sound) {
        if (readFailed) {
            return 0;
        }
        // Never past the frame count stated at open.
        const unsigned asked = std::min<unsigned>(n, frameCount - nextFrame);
        const unsigned got = sound->ReadFrames(out, asked, problem);
        nextFrame += got;
        SoundEnded(asked, got);
        return static_cast<int>(got);
    }
    unsigned total = 0;
    while (total < n) {
        const unsigned char* data = nullptr;
        const unsigned got = ReadBytes(n - total, &data);
        if (got == 0) {
            break;
        }
        ConvertFrames(data, got, out + total);
        total += got;
    }
    return static_cast<int>(total);
}

void TWaveFile::ConvertFrames(const unsigned char* data, unsigned got, float* out) const {
    if (format.channels == 1) {
        switch (format.bitsPerSample) {
        case 8:
            ConvertMono<Sample8, 1>(data, got, out);
            break;
        case 16:
            ConvertMono<Sample16, 2>(data, got, out);
            break;
        default:
            ConvertMono<Sample24, 3>(data, got, out);
            break;
        }
    } else {
        switch (format.bitsPerSample) {
        case 8:
            ConvertStereo<Sample8, 1>(data, got, out);
            break;
        case 16:
            ConvertStereo<Sample16, 2>(data, got, out);
            break;
        default:
            ConvertStereo<Sample24, 3>(data, got, out);
            break;
        }
    }
}

int TWaveFile::ReadFrameSums(int32_t* out, unsigned n) {
    if (FrameSumScale() == 0.0) {
        return 0;
    }
    n = std::min<unsigned>(n, INT32_MAX);
    if (sound) {
        if (readFailed) {
            return 0;
        }
        const unsigned asked = std::min<unsigned>(n, frameCount - nextFrame);
        const unsigned got = sound->ReadFrameSums(out, asked, problem);
        nextFrame += got;
        SoundEnded(asked, got);
        return static_cast<int>(got);
    }
    unsigned total = 0;
    while (total < n) {
        const unsigned char* data = nullptr;
        const unsigned got = ReadBytes(n - total, &data);
        if (got == 0) {
            break;
        }
        SumFrames(data, got, out + total);
        total += got;
    }
    return static_cast<int>(total);
}

void TWaveFile::SumFrames(const unsigned char* data, unsigned got, int32_t* out) const {
    if (format.bitsPerSample == 16) {
        if (format.channels == 1) {
            for (unsigned i = 0; i < got; ++i) {
                out[i] = static_cast<int16_t>(Get16(data + 2 * static_cast<std::size_t>(i)));
            }
        } else {
            unsigned i = 0;
#if defined(__SSE2__)
            // Four frames at a time: multiplying the eight 16-bit samples by 1
            // and adding neighbours gives the four channel sums exactly.
            const __m128i ones = _mm_set1_epi16(1);
            for (; i + 4 <= got; i += 4) {
                const __m128i samples = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(data + 4 * static_cast<std::size_t>(i)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                                 _mm_madd_epi16(samples, ones));
            }
#endif
            for (; i < got; ++i) {
                const unsigned char* frame = data + 4 * static_cast<std::size_t>(i);
                out[i] =
                    static_cast<int16_t>(Get16(frame)) + static_cast<int16_t>(Get16(frame + 2));
            }
        }
    } else if (format.channels == 1) {
        for (unsigned i = 0; i < got; ++i) {
            out[i] = static_cast<int32_t>(data[i]) - 128;
        }
    } else {
        for (unsigned i = 0; i < got; ++i) {
            const unsigned char* frame = data + 2 * static_cast<std::size_t>(i);
            out[i] = static_cast<int32_t>(frame[0]) + static_cast<int32_t>(frame[1]) - 256;
        }
    }
}

double TWaveFile::FrameSumScale() const {
    if (!file) {
        return 0.0;
    }
    if (sound) {
        return sound->FrameSumScale();
    }
    // The mix (a + b) / 2 of two samples a / 2^k and b / 2^k is (a + b) /
    // 2^(k+1) exactly, and a sum of at most 17 bits is exact in a float.
    if (format.bitsPerSample == 16) {
        return format.channels == 1 ? 1.0 / 32768.0 : 1.0 / 65536.0;
    }
    if (format.bitsPerSample == 8) {
        return format.channels == 1 ? 1.0 / 128.0 : 1.0 / 256.0;
    }
    return 0.0;
}

std::string TWaveFile::ContainerName() const {
    if (!file) {
        return "";
    }
    return sound ? sound->container : "WAV";
}

std::string TWaveFile::EncodingName() const {
    if (!file) {
        return "";
    }
    return sound ? sound->encoding : "PCM " + std::to_string(format.bitsPerSample) + "-bit";
}

void TWaveFile::Close() {
    sound.reset();
    file.reset();
    bufferAt = 0;
    bufferEnd = 0;
    buffer.clear();
    buffer.shrink_to_fit();
}
