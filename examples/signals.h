#pragma once
// Signal and WAV file generators shared by the example generator, the tests
// and the benchmarks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Little-endian fields for files built byte by byte: written over the bytes
// at `at`, or as a string of their own.
void PutLe16(std::string& s, std::size_t at, uint32_t v);
void PutLe32(std::string& s, std::size_t at, uint32_t v);
std::string Le32(uint32_t v);
std::string Le64(uint64_t v);

// One RIFF chunk with a header stating `size` (the contents' real size
// unless given), followed by the contents and, for an odd real size, a pad
// byte; and a RIFF/WAVE file around `chunks`.
std::string WavChunk(const std::string& id, const std::string& contents, int64_t size = -1);
std::string RiffWave(const std::string& chunks);

// The 16 leading bytes of an "fmt " chunk, block align and byte rate
// derived from the others.
std::string FmtContents(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);

// Builds RIFF/WAVE files byte by byte.
struct TWavBuilder {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    // 16 (canonical), 18 (with a zero extra-size field) or 40 (extensible).
    uint32_t fmtSize = 16;
    // The sub-format tag of an extensible (0xFFFE) record of 40 bytes.
    uint16_t subFormat = 1;
    // Chunks written between "fmt " and "data", each id and contents; odd
    // sizes get their pad byte.
    std::vector<std::pair<std::string, std::string>> extraChunks;

    // Interleaved samples as signed integers of the sample width (8-bit
    // samples are given as signed -128 ... 127 and stored offset by 128).
    std::string Build(const std::vector<int32_t>& samples) const;
    // Same, writing raw data bytes as they are.
    std::string BuildRaw(const std::string& dataBytes) const;
};

// 16-bit samples of a signal given as doubles in -1 ... 1, rounded and
// clipped to the 16-bit range.
std::vector<int32_t> ToPcm16(const std::vector<double>& signal);

// A tone of `toneHz` whose loudness fluctuates with a power spectrum
// proportional to 1/f^exponent between 1/seconds and `maxFluctuationHz`:
// seconds * sampleRate values in -1 ... 1, deterministic for a seed.
std::vector<double> FluctuatingTone(double seconds, int sampleRate, double toneHz, double exponent,
                                    double maxFluctuationHz, uint32_t seed);
