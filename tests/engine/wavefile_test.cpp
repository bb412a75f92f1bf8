#include "engine/wavefile.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

#include "engine/waveanalyze.h"
#include "examples/signals.h"
#include "tests/support/testsupport.h"

using namespace std::string_literals;

namespace {

bool OpenBytes(TWaveFile& wave, const std::string& bytes) {
    return wave.Open(std::make_unique<std::istringstream>(bytes));
}

std::vector<float> ReadAll(TWaveFile& wave, unsigned block = 64) {
    std::vector<float> all;
    std::vector<float> buffer(block);
    for (;;) {
        int got = wave.ReadFrames(buffer.data(), block);
        if (got <= 0) {
            break;
        }
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    }
    return all;
}

// Offsets in a file made by TWavBuilder with a 16-byte "fmt " chunk.
constexpr std::size_t kChannelsAt = 22;
constexpr std::size_t kRateAt = 24;
constexpr std::size_t kBlockAlignAt = 32;
constexpr std::size_t kBitsAt = 34;
constexpr std::size_t kFmtSizeAt = 16;

} // namespace

// ---------------------------------------------------------------------------
// Layouts of the chunk sequence

struct TLayoutCase {
    const char* name;
    uint32_t fmtSize;
    uint16_t formatTag;
    std::vector<std::pair<std::string, std::string>> extraChunks;
};

class WaveFileLayout : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(WaveFileLayout, FindsFormatAndDataExactly) {
    const TLayoutCase& c = GetParam();
    TWavBuilder builder;
    builder.formatTag = c.formatTag;
    builder.fmtSize = c.fmtSize;
    builder.sampleRate = 22050;
    builder.extraChunks = c.extraChunks;
    const std::vector<int32_t> samples = {0, 16384, -16384, 32767, -32768, 1, -1};
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, builder.Build(samples)));
    EXPECT_EQ(wave.format.formatTag, c.formatTag) << "stored as read";
    EXPECT_EQ(wave.format.channels, 1);
    EXPECT_EQ(wave.format.sampleRate, 22050);
    EXPECT_EQ(wave.format.byteRate, 44100u);
    EXPECT_EQ(wave.format.blockAlign, 2);
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(wave.format.extraSize, 0) << "always reset";
    EXPECT_EQ(wave.dataSize, 14u);
    EXPECT_EQ(wave.frameCount, 7u);
    EXPECT_EQ(ReadAll(wave), (std::vector<float>{0.0f, 0.5f, -0.5f, 32767.0f / 32768.0f, -1.0f,
                                                 1.0f / 32768.0f, -1.0f / 32768.0f}));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, WaveFileLayout,
    ::testing::Values(TLayoutCase{"Fmt16", 16, 1, {}}, TLayoutCase{"Fmt18", 18, 1, {}},
                      TLayoutCase{"Fmt40Extensible", 40, 0xFFFE, {}},
                      TLayoutCase{"Fmt16EvenList", 16, 1, {{"LIST", "INFOISFT"}}},
                      TLayoutCase{"Fmt16OddList", 16, 1, {{"LIST", "INFOabc"}}},
                      TLayoutCase{
                          "Fmt40OddListAndFact", 40, 0xFFFE, {{"LIST", "x"}, {"fact", "abcd"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveFile, CanonicalFileHasItsDataAtByte44) {
    TWavBuilder builder;
    std::string bytes = builder.Build({1, 2, 3});
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, bytes));
    EXPECT_EQ(wave.dataOffset, 44);
}

TEST(WaveFile, IgnoresTheRiffSize) {
    std::string bytes = TWavBuilder().Build({100, 200});
    PutLe32(bytes, 4, 7);
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, bytes));
    EXPECT_EQ(wave.frameCount, 2u);
}

// ---------------------------------------------------------------------------
// Sample conversion

struct TConversionCase {
    const char* name;
    uint16_t channels;
    uint16_t bits;
    std::vector<int32_t> samples; // as TWavBuilder takes them
    std::vector<float> expected;
};

class WaveFileConversion : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(WaveFileConversion, GivesTheNormalisedValue) {
    const TConversionCase& c = GetParam();
    TWavBuilder builder;
    builder.channels = c.channels;
    builder.bitsPerSample = c.bits;
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, builder.Build(c.samples)));
    std::vector<float> got = ReadAll(wave);
    ASSERT_EQ(got.size(), c.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], c.expected[i]) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, WaveFileConversion,
    ::testing::Values(
        // 8-bit samples are given signed; the file holds 0x80, 0x00, 0xFF.
        TConversionCase{"Mono8", 1, 8, {0, -128, 127}, {0.0f, -1.0f, 0.9921875f}},
        TConversionCase{"Mono16", 1, 16, {-32768, 32767, 0}, {-1.0f, 0.999969482421875f, 0.0f}},
        TConversionCase{"Mono24",
                        1,
                        24,
                        {8388607, -8388608, 0, 4194304},
                        {1.0f, -1.00000012f, 0.0f, static_cast<float>(4194304.0 / 8388607.0)}},
        TConversionCase{"Stereo8", 2, 8, {127, -128, 64, 64}, {-0.00390625f, 0.5f}},
        TConversionCase{
            "Stereo16", 2, 16, {32767, -32768, 16384, 0}, {-0.0000152587890625f, 0.25f}},
        TConversionCase{"Stereo24",
                        2,
                        24,
                        {8388607, -8388608, 8388607, 8388607},
                        {static_cast<float>(-0.5 / 8388607.0), 1.0f}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Reading through the data

TEST(WaveFile, ReadingMoreFramesThanTheDataHoldStopsAtTheEnd) {
    std::vector<int32_t> samples(700);
    for (int i = 0; i < 700; ++i) {
        samples[i] = i * 40 - 14000;
    }
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, TWavBuilder().Build(samples)));
    std::vector<float> out(1000, 7.0f);
    ASSERT_EQ(wave.ReadFrames(out.data(), 1000), 700);
    EXPECT_EQ(out[0], -14000.0f / 32768.0f);
    EXPECT_EQ(out[699], (699 * 40 - 14000) / 32768.0f);
    EXPECT_EQ(out[700], 7.0f) << "entries past the frames read stay untouched";
    EXPECT_EQ(out[999], 7.0f);
    EXPECT_EQ(wave.ReadFrames(out.data(), 1000), 0);
}

TEST(WaveFile, ConsecutiveReadsProceedThroughTheDataAndNotBeyondIt) {
    std::vector<int32_t> samples(700);
    for (int i = 0; i < 700; ++i) {
        samples[i] = i;
    }
    TWavBuilder builder;
    // A chunk after the data must not be read as frames.
    std::string bytes = builder.Build(samples) + WavChunk("LIST", std::string(100, '\x7F'));
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, bytes));
    std::vector<float> out(300);
    std::vector<float> all;
    for (int expected : {300, 300, 100, 0}) {
        int got = wave.ReadFrames(out.data(), 300);
        ASSERT_EQ(got, expected);
        all.insert(all.end(), out.begin(), out.begin() + got);
    }
    ASSERT_EQ(all.size(), 700u);
    for (int i = 0; i < 700; ++i) {
        ASSERT_EQ(all[i], i / 32768.0f) << i;
    }
    EXPECT_EQ(wave.ReadFrames(out.data(), 0), 0);
}

TEST(WaveFile, TruncatedDataIsReadUpToTheEndOfTheFile) {
    // The header claims 1000 frames; the file holds 300 and one odd byte.
    std::string data;
    for (int i = 0; i < 300; ++i) {
        data += "\x01\x02";
    }
    data += "\x05";
    std::string bytes =
        RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) + WavChunk("data", data, 2000));
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, bytes));
    EXPECT_EQ(wave.dataSize, 601u);
    EXPECT_EQ(wave.frameCount, 300u);
    std::vector<float> out(1000);
    EXPECT_EQ(wave.ReadFrames(out.data(), 1000), 300);
    EXPECT_EQ(out[299], 0x0201 / 32768.0f);
    EXPECT_EQ(wave.ReadFrames(out.data(), 1000), 0);
    EXPECT_EQ(wave.declaredFrames, 1000u);
    EXPECT_FALSE(wave.ReadFailed()) << "the bytes there were all read";

    // The sampler reads the same and says how much of the data is missing.
    TTempDir dir;
    const std::string path = dir.File("short.wav");
    WriteFileBytes(path, bytes);
    TWaveAnalyze series;
    ASSERT_TRUE(series.SampleAmplitude(path, 0.005));
    EXPECT_EQ(series.count, 8);
    EXPECT_EQ(series.warnings,
              (std::vector<TWarning>{
                  {"short_data", "the file holds 300 of 1000 frames its header declares"}}));
    // A whole file has no such warning.
    WriteFileBytes(path, TWavBuilder().Build({1, 2, 3}));
    ASSERT_TRUE(series.SampleAmplitude(path, 0.005));
    EXPECT_TRUE(series.warnings.empty());
}

namespace {

// A stream whose size is the whole text but whose reads end after `limit`
// bytes, as a file that shrinks after it was opened or a failing device.
class TShrinkingBuffer : public std::stringbuf {
public:
    TShrinkingBuffer(const std::string& text, std::streamoff limit)
        : std::stringbuf(text, std::ios::in), limit(limit) {}

protected:
    int_type underflow() override {
        if (gptr() - eback() >= limit) {
            return traits_type::eof();
        }
        return std::stringbuf::underflow();
    }
    std::streamsize xsgetn(char* s, std::streamsize n) override {
        const std::streamoff at = gptr() - eback();
        return std::stringbuf::xsgetn(s, std::max<std::streamsize>(0, std::min(n, limit - at)));
    }

private:
    std::streamoff limit;
};

class TShrinkingStream : public std::istream {
public:
    TShrinkingStream(const std::string& text, std::streamoff limit)
        : std::istream(nullptr), buffer(text, limit) {
        rdbuf(&buffer);
    }

private:
    TShrinkingBuffer buffer;
};

} // namespace

TEST(WaveFile, AReadThatEndsInsideTheDataFailsAndSaysSo) {
    std::vector<int32_t> samples(1000);
    for (int i = 0; i < 1000; ++i) {
        samples[i] = i;
    }
    // The stream ends after 44 + 2 * 600 bytes: 600 of 1000 frames.
    TWaveFile wave;
    ASSERT_TRUE(
        wave.Open(std::make_unique<TShrinkingStream>(TWavBuilder().Build(samples), 44 + 1200)));
    EXPECT_EQ(wave.frameCount, 1000u);
    std::vector<float> out(1000);
    EXPECT_EQ(wave.ReadFrames(out.data(), 1000), 600);
    EXPECT_TRUE(wave.ReadFailed());
    EXPECT_NE(wave.problem.find("600 / 1000"), std::string::npos) << wave.problem;
    EXPECT_EQ(out[599], 599 / 32768.0f);
    EXPECT_EQ(wave.ReadFrames(out.data(), 1000), 0);
    EXPECT_EQ(wave.frameCount, 600u);
}

TEST(WaveFile, FileWithoutDataOpensEmpty) {
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(
        wave, RiffWave(WavChunk("fmt ", FmtContents(1, 2, 44100, 16)) + WavChunk("LIST", "abc"))));
    EXPECT_EQ(wave.frameCount, 0u);
    EXPECT_EQ(wave.format.sampleRate, 44100);
    float out[4];
    EXPECT_EQ(wave.ReadFrames(out, 4), 0);
}

TEST(WaveFile, TheLastDataChunkCountsWithTheFormatBeforeIt) {
    std::string first = WavChunk("data", std::string("\x00\x40", 2));
    std::string second = WavChunk("data", std::string("\x00\xC0\x00\x20", 4));
    TWaveFile wave;
    ASSERT_TRUE(
        OpenBytes(wave, RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) + first + second)));
    EXPECT_EQ(ReadAll(wave), (std::vector<float>{-0.5f, 0.25f}));

    // A data chunk before any format cannot be read and is passed over.
    ASSERT_TRUE(
        OpenBytes(wave, RiffWave(first + WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) + second)));
    EXPECT_EQ(ReadAll(wave), (std::vector<float>{-0.5f, 0.25f}));

    // A format after the data does not change how they are read.
    ASSERT_TRUE(OpenBytes(wave, RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) + second +
                                         WavChunk("fmt ", FmtContents(1, 1, 8000, 8)))));
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(ReadAll(wave), (std::vector<float>{-0.5f, 0.25f}));
}

TEST(WaveFile, ManySmallChunksAroundTheFormatAndDataChangeNothing) {
    // 100,000 chunks of 0 ... 6 bytes (odd ones padded) put chunk headers
    // and the format record across every read-ahead block boundary.
    std::string filler;
    for (int i = 0; i < 100000; ++i) {
        filler += WavChunk("junk", std::string(static_cast<std::size_t>(i % 7), 'x'));
    }
    const std::string fmt = WavChunk("fmt ", FmtContents(1, 1, 8000, 16));
    const std::string data = WavChunk("data", std::string("\x00\x40\x00\xC0\x01\x00", 6));
    TWaveFile plain;
    TWaveFile padded;
    ASSERT_TRUE(OpenBytes(plain, RiffWave(fmt + data)));
    ASSERT_TRUE(OpenBytes(padded, RiffWave(filler + fmt + filler + data + filler)));
    EXPECT_EQ(padded.frameCount, plain.frameCount);
    EXPECT_EQ(padded.format.sampleRate, 8000);
    EXPECT_EQ(ReadAll(padded), ReadAll(plain));
}

// ---------------------------------------------------------------------------
// Files refused

struct TRefusalCase {
    const char* name;
    std::string bytes;
};

std::string Mutated(void (*mutate)(std::string&)) {
    std::string bytes = TWavBuilder().Build({1, 2, 3, 4});
    mutate(bytes);
    return bytes;
}

class WaveFileRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(WaveFileRefusal, OpenFailsAndLeavesTheObjectClosed) {
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, TWavBuilder().Build({5, 6})));
    ASSERT_TRUE(wave.IsOpen());
    EXPECT_FALSE(OpenBytes(wave, GetParam().bytes));
    EXPECT_FALSE(wave.IsOpen());
    float out[8];
    EXPECT_EQ(wave.ReadFrames(out, 8), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, WaveFileRefusal,
    ::testing::Values(
        TRefusalCase{"Empty", ""}, TRefusalCase{"ThreeBytes", "RIF"},
        TRefusalCase{"RiffOnly", "RIFF\x04\0\0\0"s},
        TRefusalCase{"BigEndianRifx", Mutated([](std::string& s) { s[3] = 'X'; })},
        TRefusalCase{"NotWave", Mutated([](std::string& s) { s.replace(8, 4, "AVI "); })},
        TRefusalCase{"NoChunks", "RIFF\x04\0\0\0WAVE"s},
        TRefusalCase{"DataWithoutFormat", RiffWave(WavChunk("data", "abcd"))},
        TRefusalCase{"DataBeforeFormat", RiffWave(WavChunk("data", "abcd") +
                                                  WavChunk("fmt ", FmtContents(1, 1, 8000, 16)))},
        TRefusalCase{"Fmt14", RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16).substr(0, 14)) +
                                       WavChunk("data", "abcd"))},
        TRefusalCase{"FmtCutByEndOfFile", "RIFF\x20\0\0\0WAVEfmt \x10\0\0\0"s +
                                              FmtContents(1, 1, 8000, 16).substr(0, 10)},
        TRefusalCase{"BlockAlign0", Mutated([](std::string& s) { PutLe16(s, kBlockAlignAt, 0); })},
        TRefusalCase{"BlockAlignNotFrameSize",
                     Mutated([](std::string& s) { PutLe16(s, kBlockAlignAt, 4); })},
        TRefusalCase{"SampleRate0", Mutated([](std::string& s) { PutLe32(s, kRateAt, 0); })},
        TRefusalCase{"SampleRateNegative",
                     Mutated([](std::string& s) { PutLe32(s, kRateAt, 0x80000000u); })},
        TRefusalCase{"Channels0", Mutated([](std::string& s) { PutLe16(s, kChannelsAt, 0); })},
        TRefusalCase{"Bits12", Mutated([](std::string& s) { PutLe16(s, kBitsAt, 12); })},
        TRefusalCase{"Bits0", Mutated([](std::string& s) { PutLe16(s, kBitsAt, 0); })}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Encodings other than 8/16/24-bit integer PCM of one or two channels go to
// the decoder, which reads what it knows; the rest is refused with both
// reasons.

struct TEncodingCase {
    const char* name;
    uint16_t formatTag;
    uint16_t subFormat; // of the 40-byte extensible record, when formatTag is 0xFFFE
    uint32_t fmtSize;
    uint16_t bits;
    uint16_t channels;
    const char* problem;            // "" when the file opens
    std::vector<float> values = {}; // every frame, when it opens
};

class WaveFileEncoding : public ::testing::TestWithParam<TEncodingCase> {};

TEST_P(WaveFileEncoding, OpensThroughTheDecoderOrNamesBothReasons) {
    const TEncodingCase& c = GetParam();
    TWavBuilder builder;
    builder.formatTag = c.formatTag;
    builder.subFormat = c.subFormat;
    builder.fmtSize = c.fmtSize;
    builder.bitsPerSample = c.bits;
    builder.channels = c.channels;
    const std::vector<int32_t> samples =
        c.bits == 8 ? std::vector<int32_t>{-128, 0, 64, 127} : std::vector<int32_t>{1, 2, 3, 4};
    const std::string bytes = builder.Build(samples);
    const bool opens = std::string(c.problem).empty();
    TWaveFile wave;
    EXPECT_EQ(OpenBytes(wave, bytes), opens);
    EXPECT_EQ(wave.problem, c.problem);
    if (opens) {
        EXPECT_EQ(ReadAll(wave, 3), c.values);
        EXPECT_FALSE(wave.ReadFailed());
    }

    // The sampler passes the reason on, with the file's name.
    TTempDir dir;
    const std::string path = dir.File("a.wav");
    WriteFileBytes(path, bytes);
    TWaveAnalyze series;
    EXPECT_EQ(series.SampleAmplitude(path, 0.005), opens);
    EXPECT_EQ(series.problem, opens ? "" : path + ": " + c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, WaveFileEncoding,
    ::testing::Values(
        TEncodingCase{
            "Pcm", 1, 1, 16, 16, 1, "", {1 / 32768.0f, 2 / 32768.0f, 3 / 32768.0f, 4 / 32768.0f}},
        TEncodingCase{"ExtensiblePcm",
                      0xFFFE,
                      1,
                      40,
                      16,
                      1,
                      "",
                      {1 / 32768.0f, 2 / 32768.0f, 3 / 32768.0f, 4 / 32768.0f}},
        // Three channels mixed as their mean, four as well.
        TEncodingCase{"Pcm16ThreeChannels",
                      1,
                      1,
                      16,
                      16,
                      3,
                      "",
                      {static_cast<float>((1 + 2 + 3) / 3.0 / 32768.0)}},
        TEncodingCase{"Pcm16FourChannels", 1, 1, 16, 16, 4, "", {10 / 4.0f / 32768.0f}},
        // The G.711 codes 0x00, 0x80, 0xC0, 0xFF expand to the 16-bit values
        // of the standard's tables.
        TEncodingCase{"MuLaw",
                      7,
                      1,
                      16,
                      8,
                      1,
                      "",
                      {-32124 / 32768.0f, 32124 / 32768.0f, 1884 / 32768.0f, 0.0f}},
        TEncodingCase{"ALaw",
                      6,
                      1,
                      18,
                      8,
                      1,
                      "",
                      {-5504 / 32768.0f, 5504 / 32768.0f, 344 / 32768.0f, 848 / 32768.0f}},
        TEncodingCase{"ExtensibleMuLaw",
                      0xFFFE,
                      7,
                      40,
                      8,
                      1,
                      "",
                      {-32124 / 32768.0f, 32124 / 32768.0f, 1884 / 32768.0f, 0.0f}},
        // No decoder reads float data of 16 or 24 bits: refused as such, not
        // with the decoder's "internal error"; nor an unknown tag.
        TEncodingCase{"Float16", 3, 1, 16, 16, 1,
                      "浮動小数点(フォーマットタグ 0x0003)のWAVファイルです。 16-bit float "
                      "samples are not supported (only 32- and 64-bit float)."},
        TEncodingCase{"Float24Stereo", 3, 1, 16, 24, 2,
                      "浮動小数点(フォーマットタグ 0x0003)のWAVファイルです。 24-bit float "
                      "samples are not supported (only 32- and 64-bit float)."},
        TEncodingCase{"UnknownTag", 0x1234, 1, 16, 16, 1,
                      "不明な形式(フォーマットタグ 0x1234)のWAVファイルです。"
                      " 音声ファイルとして読めません(Error in WAV/W64/RF64 file. Malformed 'fmt ' "
                      "chunk.)。"},
        TEncodingCase{
            "ExtensibleFloat16", 0xFFFE, 3, 40, 16, 1,
            "拡張形式(フォーマットタグ 0xFFFE)、サブフォーマット 浮動小数点(0x0003)の"
            "WAVファイルです。 16-bit float samples are not supported (only 32- and 64-bit "
            "float)."},
        TEncodingCase{"ExtensibleWithoutSubFormat", 0xFFFE, 1, 18, 16, 1,
                      "拡張形式(フォーマットタグ 0xFFFE)で、サブフォーマットが読めない"
                      "WAVファイルです。 音声ファイルとして読めません(File contains data in an "
                      "unimplemented format.)。"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Hostile sizes

TEST(WaveFile, HugeDataSizeIsCutToTheBytesThere) {
    std::string bytes = TWavBuilder().Build(std::vector<int32_t>(28, 1000));
    ASSERT_EQ(bytes.size(), 100u);
    PutLe32(bytes, 40, 0xFFFFFFFFu);
    TWaveFile wave;
    ASSERT_TRUE(OpenBytes(wave, bytes));
    EXPECT_EQ(wave.dataSize, 56u);
    EXPECT_EQ(wave.frameCount, 28u);
    // A caller asking for everything gets what is there, with a buffer the
    // size of the data, not of the claim.
    std::vector<float> out(28);
    EXPECT_EQ(wave.ReadFrames(out.data(), 0xFFFFFFFFu), 28);
    EXPECT_EQ(out[27], 1000.0f / 32768.0f);
    EXPECT_EQ(wave.ReadFrames(out.data(), 0xFFFFFFFFu), 0);
}

TEST(WaveFile, HugeFormatSizeEndsTheWalk) {
    std::string bytes = TWavBuilder().Build({1, 2, 3});
    PutLe32(bytes, kFmtSizeAt, 0xFFFFFFFFu);
    TWaveFile wave;
    // The format is there, but the data lie inside what the "fmt " chunk
    // claims, so the walk ends before them.
    ASSERT_TRUE(OpenBytes(wave, bytes));
    EXPECT_EQ(wave.frameCount, 0u);
    EXPECT_EQ(wave.format.blockAlign, 2);
}

TEST(WaveFile, ChunkSizesNearTwoToThe32DoNotWrapThePosition) {
    for (uint32_t size : {0xFFFFFFF0u, 0xFFFFFFF7u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        std::string bytes =
            RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) +
                     WavChunk("LIST", "abcdefgh", size) + WavChunk("data", "\x10\x00"s));
        TWaveFile wave;
        ASSERT_TRUE(OpenBytes(wave, bytes)) << size;
        EXPECT_EQ(wave.frameCount, 0u) << size;
    }
}

// ---------------------------------------------------------------------------
// Files by name

TEST(WaveFile, OpensByNameAndReopensAnotherFile) {
    TTempDir dir;
    WriteFileBytes(dir.File("a.wav"), TWavBuilder().Build({16384, 16384, 16384}));
    TWavBuilder stereo;
    stereo.channels = 2;
    WriteFileBytes(dir.File("b.wav"), stereo.Build({16384, 0}));

    TWaveFile wave;
    ASSERT_TRUE(wave.Open(dir.File("a.wav")));
    float out[4];
    ASSERT_EQ(wave.ReadFrames(out, 1), 1);
    ASSERT_TRUE(wave.Open(dir.File("b.wav")));
    EXPECT_EQ(wave.frameCount, 1u);
    ASSERT_EQ(wave.ReadFrames(out, 4), 1);
    EXPECT_EQ(out[0], 0.25f);
    wave.Close();
    wave.Close();
    EXPECT_FALSE(wave.IsOpen());
    EXPECT_EQ(wave.ReadFrames(out, 4), 0);
}

TEST(WaveFile, RefusesMissingFilesAndFolders) {
    TTempDir dir;
    TWaveFile wave;
    EXPECT_FALSE(wave.Open(dir.File("missing.wav")));
    EXPECT_FALSE(wave.Open(dir.Path()));
    EXPECT_FALSE(wave.Open(std::string()));
    EXPECT_FALSE(wave.Open(std::unique_ptr<std::istream>()));
    EXPECT_FALSE(wave.IsOpen());
}
