// Audio files read through the decoder, made by libsndfile from the same
// 16-bit audio as a PCM WAV file read by the PCM reader.
#include "engine/soundfile.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "engine/waveanalyze.h"
#include "engine/wavefile.h"
#include "examples/signals.h"
#include "examples/soundwriter.h"
#include "tests/support/testsupport.h"

namespace {

constexpr int kRate = 44100;

// Two seconds of two different fluctuating tones, interleaved L, R.
std::vector<int32_t> StereoAudio() {
    const std::vector<int32_t> left = ToPcm16(FluctuatingTone(2.0, kRate, 440.0, 1.0, 20.0, 1));
    const std::vector<int32_t> right = ToPcm16(FluctuatingTone(2.0, kRate, 660.0, 0.5, 20.0, 2));
    std::vector<int32_t> stereo;
    for (std::size_t i = 0; i < left.size(); ++i) {
        stereo.push_back(left[i]);
        stereo.push_back(right[i] / 2);
    }
    return stereo;
}

std::vector<float> ReadAll(TWaveFile& wave) {
    std::vector<float> all;
    std::vector<float> block(1000);
    for (int got; (got = wave.ReadFrames(block.data(), 1000)) > 0;) {
        all.insert(all.end(), block.begin(), block.begin() + got);
    }
    return all;
}

// The sample file texts of every sampler, the crossing counter at bias 0
// and at a bias off zero.
std::vector<std::string> SampledTexts(const std::string& path) {
    std::vector<std::string> texts;
    for (int run = 0; run < 5; ++run) {
        TWaveAnalyze series;
        const double bias = (run % 2) * 100 / 32768.0;
        const bool sampled = run < 2    ? series.SampleFrequency(path, 0.025, bias)
                             : run == 2 ? series.SampleAmplitude(path, 0.025)
                             : run == 3 ? series.SampleFineFrequency(path, 0.025, bias)
                                        : series.SamplePitch(path, 0.025);
        EXPECT_TRUE(sampled) << path << ": " << series.problem;
        texts.push_back(series.SampleFileText());
    }
    return texts;
}

} // namespace

// ---------------------------------------------------------------------------
// Lossless formats give every number and byte of the PCM WAV file

struct TLosslessCase {
    const char* name;
    int format;
    const char* container;
    const char* encoding;
    int channels;
};

class LosslessFormat : public ::testing::TestWithParam<TLosslessCase> {};

TEST_P(LosslessFormat, ReadsAndSamplesLikeThePcmWav) {
    const TLosslessCase& c = GetParam();
    std::vector<int32_t> audio = StereoAudio();
    if (c.channels == 1) {
        std::vector<int32_t> mono;
        for (std::size_t i = 0; i < audio.size(); i += 2) {
            mono.push_back(audio[i]);
        }
        audio = mono;
    }
    TTempDir dir;
    const std::string reference = dir.File("reference.wav");
    TWavBuilder builder;
    builder.channels = static_cast<uint16_t>(c.channels);
    WriteFileBytes(reference, builder.Build(audio));
    const std::string path = dir.File("converted");
    ASSERT_EQ(WriteSound16(path, c.format, kRate, c.channels, audio), "");

    TWaveFile plain;
    ASSERT_TRUE(plain.Open(reference));
    TWaveFile decoded;
    ASSERT_TRUE(decoded.Open(path)) << decoded.problem;
    EXPECT_EQ(decoded.ContainerName(), c.container);
    EXPECT_EQ(decoded.EncodingName(), c.encoding);
    EXPECT_EQ(decoded.Channels(), c.channels);
    EXPECT_EQ(decoded.format.sampleRate, kRate);
    EXPECT_EQ(decoded.frameCount, plain.frameCount);
    EXPECT_EQ(decoded.FrameSumScale(), c.format == (SF_FORMAT_WAV | SF_FORMAT_FLOAT) ||
                                               c.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_32)
                                           ? 0.0
                                           : plain.FrameSumScale());
    EXPECT_EQ(ReadAll(decoded), ReadAll(plain));
    EXPECT_FALSE(decoded.ReadFailed());
    EXPECT_FALSE(decoded.EndedEarly());

    EXPECT_EQ(SampledTexts(path), SampledTexts(reference));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LosslessFormat,
    ::testing::Values(
        TLosslessCase{"Flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "FLAC", "PCM 16-bit", 2},
        TLosslessCase{"FlacMono", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "FLAC", "PCM 16-bit", 1},
        TLosslessCase{"Aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "AIFF", "PCM 16-bit", 2},
        TLosslessCase{"WavFloat", SF_FORMAT_WAV | SF_FORMAT_FLOAT, "WAV", "float 32-bit", 2},
        TLosslessCase{"WavPcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, "WAV", "PCM 32-bit", 2},
        TLosslessCase{"W64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, "W64", "PCM 16-bit", 2},
        TLosslessCase{"Rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, "RF64", "PCM 16-bit", 2},
        TLosslessCase{"Caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, "CAF", "PCM 16-bit", 2}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Any channel count mixes down to the mean of the channels

struct TMixCase {
    const char* name;
    int format;
    int sampleRateHz;
    int channels;
    // Channel c of a frame takes stereo channel source[c] of the audio,
    // scaled by gain[c].
    std::vector<int> source;
    std::vector<double> gain;
};

class ChannelMix : public ::testing::TestWithParam<TMixCase> {};

TEST_P(ChannelMix, GivesTheMeanOfTheChannelsRoundedOnce) {
    const TMixCase& c = GetParam();
    const std::vector<int32_t> stereo = StereoAudio();
    const std::size_t frames = stereo.size() / 2;
    std::vector<double> samples;
    for (std::size_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < c.channels; ++ch) {
            samples.push_back(stereo[2 * i + c.source[ch]] / 32768.0 * c.gain[ch]);
        }
    }
    TTempDir dir;
    const std::string path = dir.File("mix");
    ASSERT_EQ(WriteSoundDouble(path, c.format, c.sampleRateHz, c.channels, samples), "");
    // The mean of libsndfile's own decode, formed in double.
    int channels = 0;
    const std::vector<double> reference = DecodeSound(path, &channels);
    ASSERT_EQ(channels, c.channels);
    std::vector<float> expected;
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int ch = 0; ch < c.channels; ++ch) {
            sum += reference[i * c.channels + ch];
        }
        expected.push_back(static_cast<float>(sum / c.channels));
    }

    TWaveFile wave;
    ASSERT_TRUE(wave.Open(path)) << wave.problem;
    EXPECT_EQ(wave.Channels(), c.channels);
    EXPECT_EQ(ReadAll(wave), expected);

    // 25 ms windows of the file's rate.
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.025)) << series.problem;
    const std::size_t window = static_cast<std::size_t>(c.sampleRateHz / 40);
    EXPECT_EQ(series.count, static_cast<int>((frames + window - 1) / window));
    double sum = 0.0;
    for (std::size_t j = 0; j < window; ++j) {
        sum += static_cast<double>(expected[j]) * expected[j];
    }
    EXPECT_EQ(series.values[0], std::sqrt(sum / static_cast<double>(window)));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ChannelMix,
    ::testing::Values(
        TMixCase{"Pcm16ThreeChannels",
                 SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                 44100,
                 3,
                 {0, 1, 0},
                 {1, 1, 0.5}},
        TMixCase{"Float5Point1At96k",
                 SF_FORMAT_WAVEX | SF_FORMAT_FLOAT,
                 96000,
                 6,
                 {0, 1, 0, 1, 0, 1},
                 {1, 1, 0.5, 0.25, 0.125, 0.75}},
        TMixCase{"Flac24Stereo", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 2, {0, 1}, {1, 0.3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChannelMix, FourChannelsLRLRGiveTheStereoSeries) {
    const std::vector<int32_t> stereo = StereoAudio();
    std::vector<int32_t> four;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        four.insert(four.end(), {stereo[i], stereo[i + 1], stereo[i], stereo[i + 1]});
    }
    TTempDir dir;
    const std::string two = dir.File("two.wav");
    TWavBuilder builder;
    builder.channels = 2;
    WriteFileBytes(two, builder.Build(stereo));
    const std::string path = dir.File("four.wav");
    ASSERT_EQ(WriteSound16(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 4, four), "");
    TWaveFile plain;
    TWaveFile wave;
    ASSERT_TRUE(plain.Open(two));
    ASSERT_TRUE(wave.Open(path)) << wave.problem;
    EXPECT_EQ(ReadAll(wave), ReadAll(plain));
    EXPECT_EQ(SampledTexts(path), SampledTexts(two));
}

// ---------------------------------------------------------------------------
// G.711 data give the RMS of their decoded audio

class CompandedWav : public ::testing::TestWithParam<int> {};

TEST_P(CompandedWav, AmplitudeIsTheRmsOfTheDecodedAudio) {
    std::vector<int32_t> audio = ToPcm16(FluctuatingTone(1.0, 8000, 440.0, 1.0, 20.0, 3));
    TTempDir dir;
    const std::string path = dir.File("g711.wav");
    ASSERT_EQ(WriteSound16(path, SF_FORMAT_WAV | GetParam(), 8000, 1, audio), "");
    const std::vector<double> decoded = DecodeSound(path);
    ASSERT_EQ(decoded.size(), audio.size());

    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.025)) << series.problem;
    ASSERT_EQ(series.count, 40);
    for (int w = 0; w < series.count; ++w) {
        double sum = 0.0;
        for (int j = 0; j < 200; ++j) {
            const double x = static_cast<float>(decoded[w * 200 + j]);
            sum += x * x;
        }
        EXPECT_EQ(series.values[w], std::sqrt(sum / 200.0)) << "window " << w;
    }
}

INSTANTIATE_TEST_SUITE_P(Laws, CompandedWav, ::testing::Values(SF_FORMAT_ULAW, SF_FORMAT_ALAW),
                         [](const auto& info) {
                             return std::string(info.param == SF_FORMAT_ULAW ? "MuLaw" : "ALaw");
                         });

// ---------------------------------------------------------------------------
// Damaged and hostile data: a refusal with a reason, never numbers from them

struct TFaultCase {
    const char* name;
    // Writes the file at the path.
    void (*make)(const std::string& path);
    bool opens;
    bool sampled;
    const char* problemPart; // found in the sampler's problem when not sampled
};

void FloatWith(const std::string& path, double bad) {
    std::vector<double> samples(4000, 0.25);
    samples[3001] = bad;
    ASSERT_EQ(WriteSoundDouble(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1, samples), "");
}

// The FLAC file of StereoAudio cut to `fraction` of its bytes.
void CutFlac(const std::string& path, double fraction) {
    ASSERT_EQ(WriteSound16(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2, StereoAudio()), "");
    std::filesystem::resize_file(
        path, static_cast<std::uintmax_t>(std::filesystem::file_size(path) * fraction));
}

// The MP3 file of StereoAudio with `garbage` bytes from byte `from` on.
void DamagedMp3(const std::string& path, std::size_t from, std::size_t garbage) {
    ASSERT_EQ(
        WriteSound16(path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kRate, 2, StereoAudio()), "");
    std::string bytes = ReadFileBytes(path);
    bytes.replace(from, std::min(garbage, bytes.size() - from), std::string(garbage, '\x5A'));
    WriteFileBytes(path, bytes);
}

class SoundFault : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(SoundFault, IsRefusedWithItsReason) {
    const TFaultCase& c = GetParam();
    TTempDir dir;
    const std::string path = dir.File("input");
    c.make(path);
    TWaveFile wave;
    EXPECT_EQ(wave.Open(path), c.opens) << wave.problem;
    for (bool frequency : {true, false}) {
        TWaveAnalyze series;
        const bool sampled = frequency ? series.SampleFrequency(path, 0.025, 0.0)
                                       : series.SampleAmplitude(path, 0.025);
        EXPECT_EQ(sampled, c.sampled) << series.problem;
        if (!c.sampled) {
            EXPECT_NE(series.problem.find(c.problemPart), std::string::npos) << series.problem;
            EXPECT_EQ(series.count, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SoundFault,
    ::testing::Values(
        TFaultCase{"NaN", [](const std::string& p) { FloatWith(p, std::nan("")); }, true, false,
                   "frame 3001 holds a sample that is not a finite number"},
        TFaultCase{
            "Infinity",
            [](const std::string& p) { FloatWith(p, std::numeric_limits<double>::infinity()); },
            true, false, "not a finite number"},
        TFaultCase{"FlacCutInHalf", [](const std::string& p) { CutFlac(p, 0.5); }, true, false,
                   "データの途中で読み込みに失敗しました"},
        TFaultCase{"FlacHeaderOnly", [](const std::string& p) { CutFlac(p, 0.02); }, true, false,
                   "データの途中で読み込みに失敗しました"},
        // The decoder's own reason for damaged MP3 data is an "internal
        // error"; the garbage starts at byte 20000, inside a frame.
        TFaultCase{"Mp3DamagedInTheMiddle",
                   [](const std::string& p) { DamagedMp3(p, 20000, 3000); }, true, false,
                   "フレーム目、damaged MPEG audio: byte 2"},
        TFaultCase{"Garbage",
                   [](const std::string& p) { WriteFileBytes(p, std::string(5000, '\x5A')); },
                   false, false, "音声ファイルとして読めません"},
        TFaultCase{"Empty", [](const std::string& p) { WriteFileBytes(p, ""); }, false, false,
                   "音声ファイルとして読めません"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Lossy formats: the decoder's frames, however many it gives, are the data

struct TLossyCase {
    const char* name;
    int format;
    int sampleRateHz;
    const char* container;
    const char* encoding;
};

class LossyFormat : public ::testing::TestWithParam<TLossyCase> {};

TEST_P(LossyFormat, SeriesEndsWithTheFramesDecoded) {
    const TLossyCase& c = GetParam();
    const std::vector<int32_t> audio =
        ToPcm16(FluctuatingTone(3.0, c.sampleRateHz, 440.0, 1.0, 20.0, 4));
    TTempDir dir;
    const std::string path = dir.File("lossy");
    ASSERT_EQ(WriteSound16(path, c.format, c.sampleRateHz, 1, audio), "");
    const std::size_t decoded = DecodeSound(path).size();

    TWaveFile wave;
    ASSERT_TRUE(wave.Open(path)) << wave.problem;
    EXPECT_EQ(wave.ContainerName(), c.container);
    EXPECT_EQ(wave.EncodingName(), c.encoding);
    const std::size_t read = ReadAll(wave).size();
    EXPECT_FALSE(wave.ReadFailed()) << wave.problem;
    EXPECT_EQ(read, std::min<std::size_t>(decoded, wave.declaredFrames));
    EXPECT_EQ(wave.EndedEarly(), read < wave.declaredFrames);

    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.025)) << series.problem;
    const std::size_t window = static_cast<std::size_t>(c.sampleRateHz / 40);
    EXPECT_EQ(series.count, static_cast<int>((read + window - 1) / window));
    // The level of the tone, not of zeros padded in for frames never decoded.
    EXPECT_GT(series.values[series.count - 2], 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LossyFormat,
    ::testing::Values(
        TLossyCase{"Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, "Ogg", "Vorbis"},
        TLossyCase{"Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, "Ogg", "Opus"},
        TLossyCase{"Mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, "MPEG", "MP3"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Decoding ahead on a thread gives what decoding on demand gives

struct TReadAheadCase {
    const char* name;
    void (*make)(const std::string& path);
    bool fails;
};

// Everything a reader sees of a file: the frames of reads of changing sizes
// (integer sums and floats taken in turn where the file has sums, as floats),
// how the reading ended, and the sampler's text or reason.
struct TReadRecord {
    std::vector<float> frames;
    bool readFailed = false;
    bool endedEarly = false;
    std::string problem;
    uint32_t frameCount = 0;
    std::string series;

    bool operator==(const TReadRecord&) const = default;
};

TReadRecord Record(const std::string& path, bool readAhead) {
    SetDecoderReadAhead(readAhead);
    TReadRecord record;
    TWaveFile wave;
    EXPECT_TRUE(wave.Open(path)) << wave.problem;
    const double scale = wave.FrameSumScale();
    const unsigned sizes[] = {1000, 70000, 1, 65536, 4097};
    std::vector<float> floats(70000);
    std::vector<int32_t> sums(70000);
    for (int call = 0;; ++call) {
        const unsigned n = sizes[call % 5];
        const bool asSums = scale > 0.0 && call % 2 == 1;
        const int got =
            asSums ? wave.ReadFrameSums(sums.data(), n) : wave.ReadFrames(floats.data(), n);
        for (int i = 0; i < got; ++i) {
            record.frames.push_back(asSums ? static_cast<float>(sums[i] * scale) : floats[i]);
        }
        if (got == 0) {
            break;
        }
    }
    record.readFailed = wave.ReadFailed();
    record.endedEarly = wave.EndedEarly();
    record.problem = wave.problem;
    record.frameCount = wave.frameCount;
    wave.Close();
    TWaveAnalyze series;
    record.series = series.SampleFrequency(path, 0.025, 0.0) ? series.SampleFileText()
                                                             : "refused: " + series.problem;
    SetDecoderReadAhead(true);
    return record;
}

class ReadAhead : public ::testing::TestWithParam<TReadAheadCase> {};

TEST_P(ReadAhead, GivesTheFramesAndFailuresOfReadingOnDemand) {
    TTempDir dir;
    const std::string path = dir.File("input");
    GetParam().make(path);
    const TReadRecord ahead = Record(path, true);
    const TReadRecord onDemand = Record(path, false);
    EXPECT_FALSE(onDemand.frames.empty());
    EXPECT_EQ(onDemand.readFailed, GetParam().fails) << onDemand.problem;
    EXPECT_EQ(ahead.frames, onDemand.frames);
    EXPECT_EQ(ahead.readFailed, onDemand.readFailed);
    EXPECT_EQ(ahead.endedEarly, onDemand.endedEarly);
    EXPECT_EQ(ahead.problem, onDemand.problem);
    EXPECT_EQ(ahead.frameCount, onDemand.frameCount);
    EXPECT_EQ(ahead.series, onDemand.series);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadAhead,
    ::testing::Values(
        TReadAheadCase{"FlacSums",
                       [](const std::string& p) {
                           ASSERT_EQ(WriteSound16(p, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2,
                                                  StereoAudio()),
                                     "");
                       },
                       false},
        TReadAheadCase{"FloatWav",
                       [](const std::string& p) {
                           ASSERT_EQ(WriteSound16(p, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2,
                                                  StereoAudio()),
                                     "");
                       },
                       false},
        TReadAheadCase{"Mp3",
                       [](const std::string& p) {
                           ASSERT_EQ(WriteSound16(p, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                                                  kRate, 2, StereoAudio()),
                                     "");
                       },
                       false},
        TReadAheadCase{"FlacCutInHalf", [](const std::string& p) { CutFlac(p, 0.5); }, true},
        TReadAheadCase{"NaNAfterABlock",
                       [](const std::string& p) {
                           std::vector<double> samples(90000, 0.25);
                           samples[70001] = std::nan("");
                           ASSERT_EQ(WriteSoundDouble(p, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1,
                                                      samples),
                                     "");
                       },
                       true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadAheadThread, AFileClosedBeforeItsEndStopsIt) {
    TTempDir dir;
    const std::string path = dir.File("long.flac");
    std::vector<int32_t> audio;
    for (int repeat = 0; repeat < 4; ++repeat) {
        const std::vector<int32_t> part = StereoAudio();
        audio.insert(audio.end(), part.begin(), part.end());
    }
    ASSERT_EQ(WriteSound16(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2, audio), "");
    for (int reads = 0; reads < 3; ++reads) {
        TWaveFile wave;
        ASSERT_TRUE(wave.Open(path));
        std::vector<float> block(1000);
        for (int i = 0; i < reads; ++i) {
            EXPECT_EQ(wave.ReadFrames(block.data(), 1000), 1000);
        }
        wave.Close();
        EXPECT_FALSE(wave.IsOpen());
    }
}
