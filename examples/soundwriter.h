#pragma once
// Audio files of every format the decoder reads, written by libsndfile from
// given samples, for the tests, the benchmarks and the input generator; and
// libsndfile's own decode of a file, as the reference the tests compare with.

#include <cstdint>
#include <sndfile.h>
#include <string>
#include <vector>

// Settings of the lossy encoders: libsndfile's compression level 0.5 (Vorbis
// quality about 0.5, Opus and MP3 at a middle bit rate, MP3 at a constant bit
// rate).
constexpr double kLossyCompressionLevel = 0.5;

// Writes interleaved 16-bit samples (-32768 ... 32767) as `format` (an
// SF_FORMAT_* major | subtype). Returns "" or libsndfile's reason.
std::string WriteSound16(const std::string& path, int format, int sampleRateHz, int channels,
                         const std::vector<int32_t>& samples);

// The same with samples as doubles, written as the library converts them
// (float data as given).
std::string WriteSoundDouble(const std::string& path, int format, int sampleRateHz, int channels,
                             const std::vector<double>& samples);

// libsndfile's decode of `path` as interleaved doubles on its normalised
// scale; empty when it cannot be opened.
std::vector<double> DecodeSound(const std::string& path, int* channels = nullptr);
