#include "engine/soundfile.h"

#include "engine/mpegframes.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <sndfile.h>
#include <system_error>

#include "base/translate.h"

// The decoder reads through these callbacks from the caller's stream, so a
// file on disk and bytes in memory take the same path.
struct TSoundFileIo {
    static TSoundFile& Of(void* user) { return *static_cast<TSoundFile*>(user); }

    static sf_count_t Length(void* user) { return Of(user).streamSize; }

    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        TSoundFile& sound = Of(user);
        std::istream& in = *sound.stream;
        in.clear();
        sf_count_t base = 0;
        if (whence == SEEK_CUR) {
            const std::streamoff at = in.tellg();
            if (at < 0) {
                return -1;
            }
            base = at;
        } else if (whence == SEEK_END) {
            base = sound.streamSize;
        }
        const sf_count_t target = base + offset;
        // Seeking past the end is allowed by a file but not by every stream;
        // a read from there gives nothing either way.
        const sf_count_t reachable = std::clamp<sf_count_t>(target, 0, sound.streamSize);
        if (target < 0) {
            return -1;
        }
        in.seekg(reachable);
        if (!in) {
            in.clear();
            return -1;
        }
        return target;
    }

    static sf_count_t Read(void* to, sf_count_t count, void* user) {
        std::istream& in = *Of(user).stream;
        if (count <= 0) {
            return 0;
        }
        in.read(static_cast<char*>(to), count);
        const sf_count_t got = in.gcount();
        if (!in) {
            in.clear();
        }
        return got;
    }

    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }

    static sf_count_t Tell(void* user) {
        std::istream& in = *Of(user).stream;
        const std::streamoff at = in.tellg();
        return at < 0 ? -1 : static_cast<sf_count_t>(at);
    }
};

namespace {

std::atomic<bool> readAheadOn{true};

SNDFILE* Handle(void* handle) {
    return static_cast<SNDFILE*>(handle);
}

// libsndfile's own name of a major format or an encoding, for the ones we
// have no short name for.
std::string LibraryName(int code, int command) {
    SF_FORMAT_INFO info{};
    info.format = code;
    if (sf_command(nullptr, command, &info, sizeof info) != 0 || !info.name) {
        return "unknown";
    }
    return info.name;
}

std::string ContainerName(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    switch (major) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
        return "WAV";
    case SF_FORMAT_AIFF:
        return "AIFF";
    case SF_FORMAT_W64:
        return "W64";
    case SF_FORMAT_RF64:
        return "RF64";
    case SF_FORMAT_CAF:
        return "CAF";
    case SF_FORMAT_FLAC:
        return "FLAC";
    case SF_FORMAT_OGG:
        return "Ogg";
    case SF_FORMAT_MPEG:
        return "MPEG";
    case SF_FORMAT_AU:
        return "AU";
    default:
        return LibraryName(major, SFC_GET_FORMAT_MAJOR);
    }
}

struct TEncoding {
    int code;
    const char* name;
    int bits;
};

constexpr TEncoding kEncodings[] = {
    {SF_FORMAT_PCM_S8, "PCM 8-bit", 8},
    {SF_FORMAT_PCM_U8, "PCM 8-bit", 8},
    {SF_FORMAT_PCM_16, "PCM 16-bit", 16},
    {SF_FORMAT_PCM_24, "PCM 24-bit", 24},
    {SF_FORMAT_PCM_32, "PCM 32-bit", 32},
    {SF_FORMAT_FLOAT, "float 32-bit", 32},
    {SF_FORMAT_DOUBLE, "float 64-bit", 64},
    {SF_FORMAT_ULAW, "µ-law", 8},
    {SF_FORMAT_ALAW, "A-law", 8},
    {SF_FORMAT_IMA_ADPCM, "IMA ADPCM", 0},
    {SF_FORMAT_MS_ADPCM, "MS ADPCM", 0},
    {SF_FORMAT_GSM610, "GSM 6.10", 0},
    {SF_FORMAT_VORBIS, "Vorbis", 0},
    {SF_FORMAT_OPUS, "Opus", 0},
    {SF_FORMAT_MPEG_LAYER_I, "MPEG layer I", 0},
    {SF_FORMAT_MPEG_LAYER_II, "MPEG layer II", 0},
    {SF_FORMAT_MPEG_LAYER_III, "MP3", 0},
    {SF_FORMAT_ALAC_16, "ALAC 16-bit", 16},
    {SF_FORMAT_ALAC_20, "ALAC 20-bit", 20},
    {SF_FORMAT_ALAC_24, "ALAC 24-bit", 24},
    {SF_FORMAT_ALAC_32, "ALAC 32-bit", 32},
};

// Sum of one frame's channels, in channel order.
double FrameSum(const double* frame, std::size_t width) {
    double sum = 0.0;
    for (std::size_t c = 0; c < width; ++c) {
        sum += frame[c];
    }
    return sum;
}

// Writes the mean of each frame's channels, formed in double and rounded to
// float, to out; false when a frame's sum is not a finite number. The loops
// have no early exit, so that they vectorise; the caller looks for the frame
// that failed.
bool MixFrames(const double* samples, std::size_t frames, std::size_t width, float* out) {
    bool finite = true;
    if (width == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            // Started from +0.0 as the general sum is, so a -0.0 comes out as +0.0.
            const double sum = 0.0 + samples[i];
            finite &= std::fabs(sum) <= std::numeric_limits<double>::max();
            out[i] = static_cast<float>(sum);
        }
    } else if (width == 2) {
        for (std::size_t i = 0; i < frames; ++i) {
            const double sum = (0.0 + samples[2 * i]) + samples[2 * i + 1];
            finite &= std::fabs(sum) <= std::numeric_limits<double>::max();
            out[i] = static_cast<float>(sum / 2.0);
        }
    } else {
        const double channels = static_cast<double>(width);
        for (std::size_t i = 0; i < frames; ++i) {
            const double sum = FrameSum(samples + i * width, width);
            finite &= std::fabs(sum) <= std::numeric_limits<double>::max();
            out[i] = static_cast<float>(sum / channels);
        }
    }
    return finite;
}

// Writes the sum of each frame's integer samples (one or two channels, each
// shifted right by `shift`) to out.
void SumFrames(const short* samples, std::size_t frames, int channels, int shift, int32_t* out) {
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = samples[i] >> shift;
        }
    } else if (shift == 0) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = samples[2 * i] + samples[2 * i + 1];
        }
    } else {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = (samples[2 * i] >> shift) + (samples[2 * i + 1] >> shift);
        }
    }
}

std::size_t FirstUnfinite(const double* samples, std::size_t frames, std::size_t width) {
    std::size_t i = 0;
    while (i < frames && std::isfinite(FrameSum(samples + i * width, width))) {
        ++i;
    }
    return i;
}

} // namespace

const std::vector<TAudioFileType>& AudioFileTypes() {
    static const std::vector<TAudioFileType> types = {
        {"WAV", {".wav"}},   {"FLAC", {".flac"}},
        {"MP3", {".mp3"}},   {"Ogg Vorbis", {".ogg", ".oga"}},
        {"Opus", {".opus"}}, {"AIFF", {".aif", ".aiff", ".aifc"}},
        {"CAF", {".caf"}},   {"W64", {".w64"}},
        {"RF64", {".rf64"}},
    };
    return types;
}

bool IsAudioFileName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const TAudioFileType& type : AudioFileTypes()) {
        for (const std::string& known : type.extensions) {
            if (extension == known) {
                return true;
            }
        }
    }
    return false;
}

void SetDecoderReadAhead(bool on) {
    readAheadOn = on;
}

bool DecoderReadAhead() {
    return readAheadOn;
}

TSoundFile::~TSoundFile() {
    StopReadAhead();
    if (handle) {
        sf_close(Handle(handle));
    }
}

bool TSoundFile::Open(std::istream& in, std::string& problem) {
    stream = &in;
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < 0) {
        problem = Tr("the file's size cannot be read");
        return false;
    }
    streamSize = end;
    in.seekg(0);
    readAheadWanted = DecoderReadAhead();

    SF_VIRTUAL_IO io{};
    io.get_filelen = TSoundFileIo::Length;
    io.seek = TSoundFileIo::Seek;
    io.read = TSoundFileIo::Read;
    io.write = TSoundFileIo::Write;
    io.tell = TSoundFileIo::Tell;
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, this);
    if (!sound) {
        // The MPEG decoder refuses a broken chain of frames with a reason
        // about something else (that the file is no regular file).
        problem = MpegDamage(WalkMpegFrames(in, streamSize), streamSize);
        if (problem.empty()) {
            problem = sf_strerror(nullptr);
        }
        return false;
    }
    handle = sound;
    if (info.channels < 1 || info.channels > 65535) {
        problem = TrSubst("%s channels", {std::to_string(info.channels)});
        return false;
    }
    if (info.samplerate < 1) {
        problem = TrSubst("sample rate %s Hz", {std::to_string(info.samplerate)});
        return false;
    }
    if (info.frames == SF_COUNT_MAX) {
        problem = Tr("the decoder cannot tell the length of the data");
        return false;
    }
    if (info.frames < 0 || static_cast<uint64_t>(info.frames) > UINT32_MAX) {
        problem = std::to_string(info.frames) + " frames, more than the 4294967295 readable";
        return false;
    }
    channels = info.channels;
    sampleRate = info.samplerate;
    frames = static_cast<uint64_t>(info.frames);
    formatCode = info.format;
    container = ContainerName(info.format);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    encoding = LibraryName(subtype, SFC_GET_FORMAT_SUBTYPE);
    bitsPerSample = 0;
    for (const TEncoding& known : kEncodings) {
        if (known.code == subtype) {
            encoding = known.name;
            bitsPerSample = known.bits;
        }
    }
    // Integer data come out as value / 2^(w-1), float data as stored: the
    // library's normalised scale, with no rescaling of float data.
    sf_command(sound, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    sf_command(sound, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_FALSE);
    return true;
}

bool TSoundFile::LengthIsEstimate() const {
    switch (formatCode & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

bool TSoundFile::HasIntegerSums() const {
    const int subtype = formatCode & SF_FORMAT_SUBMASK;
    const bool narrow =
        subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8;
    return handle && narrow && (channels == 1 || channels == 2);
}

double TSoundFile::FrameSumScale() const {
    if (!HasIntegerSums()) {
        return 0.0;
    }
    // Sums of 16-bit values over 2^15 per channel: exact in a float.
    const double unit = bitsPerSample == 8 ? 1.0 / 128.0 : 1.0 / 32768.0;
    return channels == 1 ? unit : unit * 0.5;
}

void TSoundFile::DecodeFail(std::string& problem, const std::string& what) {
    decodeFailed = true;
    problem = what;
}

void TSoundFile::DecoderStopped(bool shortRead, std::string& problem) {
    if (shortRead && sf_error(Handle(handle)) != SF_ERR_NO_ERROR) {
        // Damaged MPEG data stop the decoder with an "internal error": where
        // the frames break off says more.
        std::string reason;
        if ((formatCode & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
            reason = MpegDamage(WalkMpegFrames(*stream, streamSize), streamSize);
        }
        if (reason.empty()) {
            reason = sf_strerror(Handle(handle));
        }
        DecodeFail(problem, TrSubst("データの途中で読み込みに失敗しました(%s / %sフレーム目、%s)。",
                                    {std::to_string(position), std::to_string(frames), reason}));
    }
}

unsigned TSoundFile::DecodeFrames() const {
    // A block of at most 2^20 samples: 8 MB of doubles.
    const unsigned perChannel = (1u << 20) / static_cast<unsigned>(std::max(channels, 1));
    return std::clamp(perChannel, 1u, kBlockFrames);
}

unsigned TSoundFile::DecodeFloats(float* out, unsigned n, std::string& problem) {
    if (decodeFailed) {
        return 0;
    }
    const std::size_t width = static_cast<std::size_t>(channels);
    const unsigned block = DecodeFrames();
    unsigned total = 0;
    while (total < n) {
        const unsigned want = std::min(n - total, block);
        samples.resize(static_cast<std::size_t>(want) * width);
        const sf_count_t got = sf_readf_double(Handle(handle), samples.data(), want);
        if (got <= 0) {
            break;
        }
        const std::size_t count = static_cast<std::size_t>(got);
        if (!MixFrames(samples.data(), count, width, out + total)) {
            const std::size_t bad = FirstUnfinite(samples.data(), count, width);
            position += bad;
            DecodeFail(problem, TrSubst("frame %s holds a sample that is not a finite number",
                                        {std::to_string(position)}));
            return total + static_cast<unsigned>(bad);
        }
        total += static_cast<unsigned>(got);
        position += static_cast<uint64_t>(got);
        if (got < want) {
            break;
        }
    }
    DecoderStopped(total < n, problem);
    return total;
}

unsigned TSoundFile::DecodeShorts(short* out, unsigned n, std::string& problem) {
    if (decodeFailed) {
        return 0;
    }
    const std::size_t width = static_cast<std::size_t>(channels);
    unsigned total = 0;
    while (total < n) {
        const unsigned want = std::min(n - total, kBlockFrames);
        const sf_count_t got = sf_readf_short(Handle(handle), out + total * width, want);
        if (got <= 0) {
            break;
        }
        total += static_cast<unsigned>(got);
        position += static_cast<uint64_t>(got);
        if (got < want) {
            break;
        }
    }
    DecoderStopped(total < n, problem);
    return total;
}

unsigned TSoundFile::DecodeSums(int32_t* out, unsigned n, std::string& problem) {
    unsigned total = 0;
    while (total < n) {
        const unsigned want = std::min(n - total, kBlockFrames);
        integers.resize(static_cast<std::size_t>(want) * static_cast<std::size_t>(channels));
        const unsigned got = DecodeShorts(integers.data(), want, problem);
        SumFrames(integers.data(), got, channels, SumShift(), out + total);
        total += got;
        if (got < want) {
            break;
        }
    }
    return total;
}

bool TSoundFile::StartReadAhead() {
    if (readAhead.joinable()) {
        return true;
    }
    if (!readAheadWanted) {
        return false;
    }
    // One try per file: without a thread the reader decodes itself.
    readAheadWanted = false;
    try {
        ring.assign(kReadAheadBlocks, TBlock());
        const bool sums = HasIntegerSums();
        for (TBlock& block : ring) {
            if (sums) {
                block.shorts.resize(static_cast<std::size_t>(kAheadFrames) *
                                    static_cast<std::size_t>(channels));
            } else {
                block.floats.resize(kAheadFrames);
            }
        }
        // The decoding side never allocates its block buffers afterwards.
        if (!sums) {
            samples.resize(static_cast<std::size_t>(DecodeFrames()) *
                           static_cast<std::size_t>(channels));
        }
        readAhead = std::thread(&TSoundFile::ReadAheadLoop, this);
    } catch (const std::bad_alloc&) {
        ring.clear();
        return false;
    } catch (const std::system_error&) {
        ring.clear();
        return false;
    }
    return true;
}

void TSoundFile::ReadAheadLoop() {
    const bool sums = HasIntegerSums();
    for (;;) {
        unsigned slot = 0;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueChanged.wait(lock, [this] { return stopping || queued < ring.size(); });
            if (stopping) {
                return;
            }
            slot = (head + queued) % static_cast<unsigned>(ring.size());
        }
        // The reader touches no block beyond the queued ones.
        TBlock& block = ring[slot];
        try {
            block.problem.clear();
            block.frames = sums ? DecodeShorts(block.shorts.data(), kAheadFrames, block.problem)
                                : DecodeFloats(block.floats.data(), kAheadFrames, block.problem);
            block.failed = decodeFailed;
        } catch (const std::exception&) {
            // Only a message can fail to be allocated here; the frames are
            // given up with the rest.
            decodeFailed = true;
            block.failed = true;
            block.frames = 0;
            try {
                block.problem = Tr("out of memory");
            } catch (const std::exception&) {
            }
        }
        block.last = block.failed || block.frames < kAheadFrames;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            ++queued;
        }
        queueChanged.notify_all();
        if (block.last) {
            return;
        }
    }
}

void TSoundFile::StopReadAhead() {
    if (!readAhead.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        stopping = true;
    }
    queueChanged.notify_all();
    readAhead.join();
}

unsigned TSoundFile::TakeAhead(float* floats, int32_t* sums, unsigned n, std::string& problem) {
    const double scale = FrameSumScale();
    unsigned total = 0;
    std::unique_lock<std::mutex> lock(queueMutex);
    while (total < n) {
        queueChanged.wait(lock, [this] { return queued > 0; });
        TBlock& block = ring[head];
        lock.unlock();
        const unsigned take = std::min(n - total, block.frames - headTaken);
        if (block.shorts.empty()) {
            std::copy_n(block.floats.begin() + headTaken, take, floats + total);
        } else {
            // The reader sums the integer samples, not the decoding thread,
            // which is the slower of the two.
            const std::size_t width = static_cast<std::size_t>(channels);
            const short* from = block.shorts.data() + static_cast<std::size_t>(headTaken) * width;
            if (sums) {
                SumFrames(from, take, channels, SumShift(), sums + total);
            } else {
                // The float of a frame is exactly its sum times the scale.
                for (unsigned i = 0; i < take; ++i) {
                    int32_t sum = 0;
                    SumFrames(from + i * width, 1, channels, SumShift(), &sum);
                    floats[total + i] = static_cast<float>(sum * scale);
                }
            }
        }
        total += take;
        headTaken += take;
        lock.lock();
        if (headTaken < block.frames) {
            break;
        }
        if (block.last) {
            // As without read-ahead, a failure is told to the read that asks
            // for frames past it; the last block stays at the head.
            if (total < n && block.failed) {
                failed = true;
                problem = block.problem;
            }
            break;
        }
        head = (head + 1) % static_cast<unsigned>(ring.size());
        --queued;
        headTaken = 0;
        queueChanged.notify_all();
    }
    return total;
}

unsigned TSoundFile::ReadFrames(float* out, unsigned n, std::string& problem) {
    if (!handle || failed) {
        return 0;
    }
    if (StartReadAhead()) {
        return TakeAhead(out, nullptr, n, problem);
    }
    const unsigned got = DecodeFloats(out, n, problem);
    failed = decodeFailed;
    return got;
}

unsigned TSoundFile::ReadFrameSums(int32_t* out, unsigned n, std::string& problem) {
    if (!HasIntegerSums() || failed) {
        return 0;
    }
    if (StartReadAhead()) {
        return TakeAhead(nullptr, out, n, problem);
    }
    const unsigned got = DecodeSums(out, n, problem);
    failed = decodeFailed;
    return got;
}
