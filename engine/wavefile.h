#pragma once
// TWaveFile: reads the samples of an audio file window by window as floats on
// a normalised scale, mixing the channels down to one. A RIFF/WAVE file of
// integer PCM (8, 16 or 24 bits, mono or stereo) is read by the reader here;
// every other file goes to the decoder of TSoundFile (FLAC, Ogg, MP3, AIFF,
// float WAV, any channel count, ...) on the same scale and mix.
//
// Calling order: construct, Open, any number of ReadFrames proceeding through
// the data, Close. Failures are reported by results only; nothing is shown.

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

class TSoundFile;

// The first 18 bytes of the "fmt " chunk contents, little-endian, file order.
struct TWaveFormat {
    uint16_t formatTag = 0;     // 1 (PCM) or 0xFFFE (extensible with a PCM sub-format)
    uint16_t channels = 0;      // 1 mono, 2 stereo
    int32_t sampleRate = 0;     // frames per second
    uint32_t byteRate = 0;      // stored, never used
    uint16_t blockAlign = 0;    // bytes per frame, all channels
    uint16_t bitsPerSample = 0; // 8, 16 or 24
    uint16_t extraSize = 0;     // read if present, then set to 0
};

class TWaveFile {
public:
    TWaveFile();
    ~TWaveFile();
    TWaveFile(const TWaveFile&) = delete;
    TWaveFile& operator=(const TWaveFile&) = delete;

    // Opens the file `name` (UTF-8 path) as raw bytes, checks the RIFF/WAVE
    // header, walks the chunks and leaves the stream at the first data byte.
    // Returns false, with the object closed, when the file cannot be opened,
    // is not RIFF/WAVE, or has a format it cannot read sensibly: no "fmt "
    // chunk at all or none before "data", an "fmt " chunk shorter than 16
    // bytes, blockAlign 0 or not channels * bits / 8, sampleRate 0 or
    // negative, channels 0 or more than 2, or a sample width other than 8, 16
    // or 24 bits, or an encoding other than integer PCM (format tag 1, or
    // 0xFFFE with the PCM sub-format GUID), which also sets `problem`. Of several "data" chunks the
    // last one that follows an "fmt " chunk counts, read with the format that precedes it. A chunk
    // that runs past the end of the file ends the walk; a "data" chunk that
    // does is read up to the end of the file.
    // A file with an "fmt " chunk but without "data" opens with frameCount 0.
    // A file refused so is then offered to TSoundFile; it opens if that
    // reads it (format then holds its channels, sample rate and sample
    // width, formatTag and blockAlign 0), and otherwise `problem` gives the
    // decoder's reason. Float data of a width other than 32 or 64 bits are
    // refused here, with the file's name and that width in `problem`.
    bool Open(const std::string& name);

    // The same on an already opened byte stream (test and fuzzing seam).
    bool Open(std::unique_ptr<std::istream> stream);

    // Reads up to n frames from the current position, never past the data
    // chunk, and writes one mixed float per frame read to out[0 ...]. Returns
    // the number of frames read (0 at the end of the data); entries from
    // that count on are not written.
    int ReadFrames(float* out, unsigned n);

    // The integer form of 8- and 16-bit data, for readers that want exact
    // arithmetic: reads up to n frames like ReadFrames and writes, per frame,
    // the sum of its channels' integer sample values (an 8-bit sample less
    // 128). The float ReadFrames gives for the frame is exactly that sum
    // times FrameSumScale(). Reads nothing and returns 0 for 24-bit data.
    int ReadFrameSums(int32_t* out, unsigned n);

    // 2^-15 for 16-bit mono, 2^-16 for 16-bit stereo, 2^-7 and 2^-8 for 8-bit
    // mono and stereo; 0 for 24-bit data, other encodings or channel counts,
    // and a closed file.
    double FrameSumScale() const;

    // For reports: the container ("WAV", "FLAC", "AIFF", ...) and the
    // encoding of the samples ("PCM 16-bit", "float 32-bit", "Vorbis", ...)
    // of the open file.
    std::string ContainerName() const;
    std::string EncodingName() const;
    // The number of channels the file holds (mixed down to one).
    int Channels() const { return format.channels; }

    // The decoder of a lossy stream format (MP3, Ogg Vorbis, Opus) ended
    // before the frame count it estimated at open: frameCount has been cut
    // to the frames decoded, and no read failed.
    bool EndedEarly() const { return endedEarly; }

    // Closes the stream if one is open; a second call does nothing.
    void Close();

    bool IsOpen() const { return file != nullptr; }
    // The open file is read by the decoder of TSoundFile, not the PCM reader.
    bool Decoded() const { return sound != nullptr; }

    // Why the last Open refused the file, or why reading stopped short,
    // when the reason is worth telling the user (an encoding other than
    // integer PCM, a read that failed inside the data); "" otherwise.
    std::string problem;

    // A read inside the data chunk got fewer bytes than the file held when
    // it was opened (the file shrank, or the device failed); frameCount is
    // then cut to the frames read and nothing more is read.
    bool ReadFailed() const { return readFailed; }

    TWaveFormat format;
    // Position of the first byte of the "data" chunk contents.
    int64_t dataOffset = 0;
    // Size in bytes of the "data" chunk contents that the file really holds:
    // the header's size, cut at the end of the file.
    uint32_t dataSize = 0;
    // dataSize / blockAlign.
    uint32_t frameCount = 0;
    // The data chunk's size as its header states it, over blockAlign: more
    // than frameCount when the file is shorter than its header claims.
    uint32_t declaredFrames = 0;
    // Whether the file has a "data" chunk (after its "fmt " chunk).
    bool hasDataChunk = false;

private:
    bool Walk();
    // Refuses float data (format tag or sub-format `tag`) of a width other
    // than 32 or 64 bits, saying so in `problem`.
    void RefuseFloatWidth(uint16_t tag);
    // Hands out up to n frames' bytes at *data from the read-ahead buffer,
    // refilling it first when it is empty; returns how many (0 at the end of
    // the data). Fewer than n only when the buffer ran out.
    unsigned ReadBytes(unsigned n, const unsigned char** data);
    void ConvertFrames(const unsigned char* data, unsigned frames, float* out) const;
    void SumFrames(const unsigned char* data, unsigned frames, int32_t* out) const;

    bool OpenSound();
    // Cuts frameCount at the frames read when the decoder gave fewer than
    // asked for.
    void SoundEnded(unsigned asked, unsigned got);

    std::unique_ptr<std::istream> file;
    std::unique_ptr<TSoundFile> sound; // set while a file is read by the decoder
    int64_t fileSize = 0;
    bool readFailed = false;
    bool endedEarly = false;
    bool refusedByDecoder = false; // the last refusal's `problem` is the decoder's
    bool damagedPcm = false;       // the walk found integer PCM with a contradictory format
    bool unsupportedFloat = false; // the walk found float data of a width no decoder reads
    uint32_t nextFrame = 0;        // frames taken from the stream
    // Frame bytes read ahead: the call reads at least kReadAheadBytes (or the
    // rest of the data) at once, so that short reads cost no system call
    // each. bufferAt ... bufferEnd have not been handed out yet.
    std::vector<unsigned char> buffer;
    std::size_t bufferAt = 0;
    std::size_t bufferEnd = 0;
};
