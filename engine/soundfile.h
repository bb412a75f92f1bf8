#pragma once
// TSoundFile: the audio input for everything the RIFF/WAVE PCM reader does
// not take (FLAC, Ogg Vorbis, Opus, MP3, AIFF, CAF, W64, RF64, and WAV of
// float, 32-bit, µ-law, A-law or ADPCM data, of any channel count), decoded
// by libsndfile from a byte stream.
//
// Samples come out on the normalised scale of the PCM reader: integer data
// of w bits as value / 2^(w-1), float data as stored. A frame of any channel
// count is mixed down to the mean of its channels, formed in double and
// rounded to float, so stereo data give exactly what the PCM reader gives.
// The data are decoded in blocks as they are asked for, never whole.

#include <condition_variable>
#include <cstdint>
#include <istream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The audio file types an open dialog offers and a drop accepts, WAV first;
// extensions in lower case with their dot.
struct TAudioFileType {
    const char* name;
    std::vector<std::string> extensions;
};
const std::vector<TAudioFileType>& AudioFileTypes();

// Whether `name` ends in one of those extensions, in any case (".FLAC").
bool IsAudioFileName(const std::string& name);

// Whether a TSoundFile decodes ahead of its reader on a thread of its own, so
// that the decoding overlaps the work on the frames it has given (on unless
// turned off). A caller that already keeps every core busy with files of its
// own turns it off; it applies to the files opened afterwards.
void SetDecoderReadAhead(bool on);
bool DecoderReadAhead();

class TSoundFile {
public:
    // Frames decoded per call to the decoder (fewer for files of more than
    // 16 channels, whose block of samples would otherwise pass 8 MB).
    static constexpr unsigned kBlockFrames = 65536;
    // Blocks decoded ahead of the reader, at most, and their frames: small
    // enough that a block is still in the cache when the reader takes it.
    static constexpr unsigned kReadAheadBlocks = 8;
    static constexpr unsigned kAheadFrames = 16384;

    TSoundFile() = default;
    ~TSoundFile();
    TSoundFile(const TSoundFile&) = delete;
    TSoundFile& operator=(const TSoundFile&) = delete;

    // Opens the data of `stream`, from its start, for decoding. The stream
    // must outlive this object. Returns false with the decoder's reason in
    // `problem` when no decoder reads it, it holds no channel, more than
    // 65535 channels, a sample rate of 0 or above 2^31 - 1, or more than
    // 2^32 - 1 frames.
    bool Open(std::istream& stream, std::string& problem);

    // Reads up to n frames and writes one mixed float per frame read to
    // out[0 ...]. Returns the frames read, 0 at the end of the data or after
    // a failure; a failure sets Failed() and `problem`. A sample that is not
    // a finite number is such a failure: it would pass into every value of
    // its window. The first read starts the read-ahead thread when
    // DecoderReadAhead() was on at Open; the frames, failures and problems
    // are the same with it and without.
    unsigned ReadFrames(float* out, unsigned n, std::string& problem);

    // For 8- and 16-bit integer data of one or two channels
    // (HasIntegerSums): the sum of each frame's integer sample values, which
    // times FrameSumScale() is what ReadFrames gives. Otherwise reads
    // nothing and returns 0. Reads of both kinds may be mixed.
    unsigned ReadFrameSums(int32_t* out, unsigned n, std::string& problem);
    bool HasIntegerSums() const;
    double FrameSumScale() const;

    bool Failed() const { return failed; }

    // The frame count at open is an estimate for the lossy stream formats
    // (MP3, Ogg Vorbis, Opus), whose decoders may end a little earlier; for
    // every other format it is the exact length.
    bool LengthIsEstimate() const;

    int channels = 0;
    int sampleRate = 0;
    uint64_t frames = 0; // as the decoder states it at open
    // Width of the stored integer samples (8 ... 32), 32 or 64 for float
    // data, 0 for compressed data without a fixed width.
    int bitsPerSample = 0;
    // Short names for reports: "FLAC", "AIFF", "WAV", ...; "PCM 16-bit",
    // "float 32-bit", "µ-law", "Vorbis", ...
    std::string container;
    std::string encoding;

private:
    // One block decoded ahead: the frames in the form the file has (its
    // integer samples where HasIntegerSums, mixed floats otherwise), and how the
    // decoding ended after them.
    struct TBlock {
        std::vector<short> shorts; // interleaved integer samples
        std::vector<float> floats;
        unsigned frames = 0;
        bool last = false;   // no block follows
        bool failed = false; // the decoding failed after these frames
        std::string problem;
    };

    // The decoding side. Without read-ahead the reader calls these itself;
    // with it only the read-ahead thread does, and these with the members
    // they use (handle, stream, decodeFailed, position, samples, integers)
    // belong to that thread until it has been joined.
    unsigned DecodeFloats(float* out, unsigned n, std::string& problem);
    unsigned DecodeSums(int32_t* out, unsigned n, std::string& problem);
    // Up to n frames of interleaved integer samples, to out[0 ... n * channels).
    unsigned DecodeShorts(short* out, unsigned n, std::string& problem);
    // The library hands 8-bit data over as value * 256.
    int SumShift() const { return bitsPerSample == 8 ? 8 : 0; }
    void DecodeFail(std::string& problem, const std::string& what);
    // After a read that gave fewer frames than asked for: a failure when the
    // decoder reports an error.
    void DecoderStopped(bool shortRead, std::string& problem);
    unsigned DecodeFrames() const;

    // The reading side of the read-ahead: starts the thread on the first
    // read; false when it cannot be started (the reader then decodes
    // itself).
    bool StartReadAhead();
    void ReadAheadLoop();
    void StopReadAhead();
    // Copies up to n frames of the blocks decoded ahead to out (floats or
    // sums, the other one null); returns how many.
    unsigned TakeAhead(float* floats, int32_t* sums, unsigned n, std::string& problem);

    void* handle = nullptr; // SNDFILE*
    std::istream* stream = nullptr;
    int64_t streamSize = 0;
    int formatCode = 0;          // SF_INFO::format
    bool failed = false;         // seen by the reader
    bool decodeFailed = false;   // seen by the decoding side
    uint64_t position = 0;       // frames decoded
    std::vector<double> samples; // one block, interleaved
    std::vector<short> integers; // one block, interleaved

    bool readAheadWanted = false; // DecoderReadAhead() at Open
    std::thread readAhead;
    std::mutex queueMutex;
    std::condition_variable queueChanged;
    // A ring of blocks: `queued` filled blocks from `head` on, handed to the
    // reader in order; the thread fills the one after them.
    std::vector<TBlock> ring;
    unsigned head = 0;
    unsigned queued = 0;
    bool stopping = false;  // the reader wants the thread to end
    unsigned headTaken = 0; // frames of the head block handed out

    friend struct TSoundFileIo;
};
