// The hostile inputs zittermark-makeinputs writes into ZM_HOSTILE_DIR, one
// case per file, each stating what the reader must make of it: refused with
// the expected result, or read with the expected values.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "engine/waveanalyze.h"
#include "engine/wavefile.h"
#include "gui/settingsfile.h"
#include "tests/support/messagerecorder.h"

using namespace std::string_literals;

namespace {

std::string HostileFile(const std::string& name) {
    return std::string(ZM_HOSTILE_DIR) + "/" + name;
}

// A test name from a file name: "rf64.wav" gives "rf64_wav".
std::string CaseName(std::string name) {
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// The samples every generated WAV file starts from, normalised.
const std::vector<float> kCanonical = {
    0.0f, 0.5f, -0.5f, 32767.0f / 32768.0f, -1.0f, 1.0f / 32768.0f, -1.0f / 32768.0f, 0.25f};

// ---------------------------------------------------------------------------
// WAV files

struct TWaveCase {
    std::string name;
    bool opens;
    std::vector<float> values; // every frame, when it opens
};

std::vector<TWaveCase> WaveCases() {
    std::vector<TWaveCase> cases = {
        {"canonical.wav", true, kCanonical},
        // Sizes that claim more than the file holds are cut at its end.
        {"data-size-ffffffff.wav", true, kCanonical},
        {"data-size-fffffffe.wav", true, kCanonical},
        {"data-size-fffffff8.wav", true, kCanonical},
        {"data-size-80000000.wav", true, kCanonical},
        // A chunk running past the end ends the walk before the data.
        {"list-size-ffffffff.wav", true, {}},
        {"list-size-fffffffe.wav", true, {}},
        {"list-size-fffffff8.wav", true, {}},
        {"list-size-80000000.wav", true, {}},
        {"riff-size-ffffffff.wav", true, kCanonical},
        {"fmt-size-ffffffff.wav", true, {}},
        {"fmt-after-data.wav", false, {}},
        {"three-data-chunks.wav", true, {-0.5f, 0.5f}},
        {"data-fmt-data.wav", true, {0.25f, -0.25f}},
        {"blockalign-0.wav", false, {}},
        {"channels-0.wav", false, {}},
        // Three channels: 16 bytes hold two whole frames, each mixed as the
        // mean of its channels.
        {"channels-3.wav", true, {0.0f, 0.0f}},
        {"samplerate-0.wav", false, {}},
        {"samplerate-2p31.wav", false, {}},
        {"samplerate-2p31-1.wav", true, kCanonical},
        // Encodings and widths beyond 8/16/24-bit PCM go to the decoder.
        {"bits-32.wav", true, {0.5f}},
        {"float-32.wav", true, {0.5f}},
        {"float-64.wav", true, {0.5f}},
        // G.711 codes 0x00, 0x7F, 0x80, 0xFF.
        {"mulaw-8.wav", true, {-32124 / 32768.0f, 0.0f, 32124 / 32768.0f, 0.0f}},
        {"alaw-8.wav", true, {-5504 / 32768.0f, -848 / 32768.0f, 5504 / 32768.0f, 848 / 32768.0f}},
        // Float data of 16 bits: no decoder reads them.
        {"float-tag-16bit.wav", false, {}},
        {"extensible-float-16bit.wav", false, {}},
        {"extensible-pcm.wav", true, kCanonical},
        {"rifx.wav", false, {}},
        {"rf64.wav", true, kCanonical},
    };
    // Cut before the "fmt " chunk is whole: refused. From there on the file
    // has a format and no data it could read.
    for (int n = 0; n <= 44; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "truncated-%02d.wav", n);
        cases.push_back({name, n >= 36, {}});
    }
    return cases;
}

class HostileWave : public ::testing::TestWithParam<TWaveCase> {};

TEST_P(HostileWave, ReaderAndSamplersAgree) {
    const TWaveCase& c = GetParam();
    const std::string path = HostileFile(c.name);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;

    TWaveFile wave;
    ASSERT_EQ(wave.Open(path), c.opens);
    EXPECT_EQ(wave.IsOpen(), c.opens);
    std::vector<float> all;
    float block[5];
    for (int got; (got = wave.ReadFrames(block, 5)) > 0;) {
        all.insert(all.end(), block, block + got);
    }
    EXPECT_EQ(all, c.values);
    if (c.opens) {
        EXPECT_EQ(wave.frameCount, c.values.size());
    }

    // Both samplers accept exactly the files the reader opens; a refused
    // file leaves the series as it was.
    for (bool frequency : {true, false}) {
        TWaveAnalyze series;
        series.values = std::make_unique<double[]>(1);
        series.values[0] = 7.0;
        series.count = 1;
        series.period = 0.5;
        const bool sampled = frequency ? series.SampleFrequency(path, 0.005, 0.0)
                                       : series.SampleAmplitude(path, 0.005);
        ASSERT_EQ(sampled, c.opens) << (frequency ? "frequency" : "amplitude");
        if (sampled) {
            EXPECT_EQ(series.count, c.values.empty() ? 0 : 1) << "one window of 5 ms or less";
        } else {
            EXPECT_EQ(series.count, 1);
            EXPECT_EQ(series.values[0], 7.0);
            EXPECT_EQ(series.period, 0.5);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileWave, ::testing::ValuesIn(WaveCases()),
                         [](const auto& info) { return CaseName(info.param.name); });

// ---------------------------------------------------------------------------
// Other audio formats: a 0.2 s tone at 8000 Hz in each, and damaged files

struct TSoundCase {
    std::string name;
    bool opens;
    bool sampled;
    const char* problemPart; // in the sampler's problem when not sampled
    const char* container = "";
    int channels = 1;
};

std::vector<TSoundCase> SoundCases() {
    std::vector<TSoundCase> cases = {
        // The stream header promises frames that are cut off: a read
        // failure, never zeros in their place.
        {"truncated-frames.flac", true, false, "データの途中で読み込みに失敗しました"},
        {"header-only.flac", true, false, "データの途中で読み込みに失敗しました"},
        {"garbage-after-header.mp3", false, false,
         "音声ファイルとして読めません(damaged MPEG audio: byte 576 of 20300 holds no frame "
         "header, after 2 frames)"},
        {"channels-0.aiff", false, false, "Bad channel count"},
        {"huge-page.ogg", false, false, "cannot tell the length"},
    };
    for (const auto& [name, container] :
         std::vector<std::pair<std::string, const char*>>{{"tone-pcm16.flac", "FLAC"},
                                                          {"tone-pcm24-stereo.flac", "FLAC"},
                                                          {"tone-pcm16.aiff", "AIFF"},
                                                          {"tone-float.wav", "WAV"},
                                                          {"tone-float-6ch.wav", "WAV"},
                                                          {"tone-pcm32.wav", "WAV"},
                                                          {"tone-ima-adpcm.wav", "WAV"},
                                                          {"tone-ms-adpcm.wav", "WAV"},
                                                          {"tone-pcm16.w64", "W64"},
                                                          {"tone-pcm16.rf64", "RF64"},
                                                          {"tone-pcm16.caf", "CAF"},
                                                          {"tone-vorbis.ogg", "Ogg"},
                                                          {"tone-opus.opus", "Ogg"},
                                                          {"tone-layer3.mp3", "MPEG"}}) {
        const int channels = name.find("6ch") != std::string::npos      ? 6
                             : name.find("stereo") != std::string::npos ? 2
                                                                        : 1;
        cases.push_back({name, true, true, "", container, channels});
    }
    return cases;
}

class HostileSound : public ::testing::TestWithParam<TSoundCase> {};

TEST_P(HostileSound, ReadsTheToneOrRefusesWithAReason) {
    const TSoundCase& c = GetParam();
    const std::string path = HostileFile(c.name);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    TWaveFile wave;
    ASSERT_EQ(wave.Open(path), c.opens) << wave.problem;
    if (c.sampled) {
        EXPECT_EQ(wave.ContainerName(), c.container);
        EXPECT_EQ(wave.format.sampleRate, 8000);
        // 1600 frames, give or take a lossy decoder's edges.
        EXPECT_NEAR(static_cast<double>(wave.frameCount), 1600.0, 700.0);
    }
    for (bool frequency : {true, false}) {
        TWaveAnalyze series;
        const bool sampled = frequency ? series.SampleFrequency(path, 0.025, 0.0)
                                       : series.SampleAmplitude(path, 0.025);
        ASSERT_EQ(sampled, c.sampled) << series.problem;
        if (sampled) {
            // The tone's level in every full window after the first (where
            // an adaptive decoder settles): channel k carries the tone of
            // peak 12000 / 32768 shifted by k radians, so the mix has the
            // peak |sum of e^ik| / channels of that.
            std::complex<double> phasors = 0.0;
            for (int k = 0; k < c.channels; ++k) {
                phasors += std::polar(1.0, static_cast<double>(k));
            }
            const double level = std::abs(phasors) / c.channels * 12000 / 32768.0 / std::sqrt(2.0);
            EXPECT_GE(series.count, 5);
            // The tone lasts 8 windows; ADPCM pads its last block with
            // silence.
            for (int i = 1; i + 1 < std::min(series.count, 8); ++i) {
                EXPECT_TRUE(std::isfinite(series.values[i]));
                if (!frequency) {
                    EXPECT_NEAR(series.values[i], level, 0.05) << i;
                }
            }
        } else {
            EXPECT_NE(series.problem.find(c.problemPart), std::string::npos) << series.problem;
            if (!c.opens) {
                EXPECT_EQ(series.problem.rfind(path + ": ", 0), 0u) << "a refusal names the file";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSound, ::testing::ValuesIn(SoundCases()),
                         [](const auto& info) { return CaseName(info.param.name); });

// ---------------------------------------------------------------------------
// Sample files

const char* const kBadFormat = "ファイルの形式が正しくありません。";

struct TSampleCase {
    std::string name;
    const char* error; // the one message of a refusal, nullptr for a load
    std::vector<double> values;
    double period = 0.0;
    std::string unit;
};

std::vector<TSampleCase> SampleCases() {
    return {
        {"good-cp932.smp", nullptr, {1.5, 2.25, 0.000000001}, 0.025, "Hz"},
        {"count-minus-1.smp", kBadFormat, {}, 0.0, ""},
        {"count-2p31-1.smp", kBadFormat, {}, 0.0, ""},
        {"count-2p31.smp", kBadFormat, {}, 0.0, ""},
        {"value-nan.smp", kBadFormat, {}, 0.0, ""},
        {"value-inf.smp", kBadFormat, {}, 0.0, ""},
        {"value-1e400.smp", kBadFormat, {}, 0.0, ""},
        {"value-minus-1e400.smp", kBadFormat, {}, 0.0, ""},
        // A line over 254 characters is refused by its number, never read
        // in pieces.
        {"line-10mb.smp", "ファイルの形式が正しくありません。(4行目)", {}, 0.0, ""},
        {"count-line-10mb.smp", "ファイルの形式が正しくありません。(2行目)", {}, 0.0, ""},
        {"nul-in-value.smp", kBadFormat, {}, 0.0, ""},
        // Trailing control characters are stripped like blanks.
        {"nul-after-value.smp", nullptr, {1.5, 2.5}, 0.025, "Hz"},
        {"nul-title.smp", kBadFormat, {}, 0.0, ""},
        {"lf-only.smp", nullptr, {0.25, 0.5}, 0.01, "RMS"},
        // A lone CR is no line end: the whole file is one line.
        {"cr-only.smp", kBadFormat, {}, 0.0, ""},
        {"period-0.smp", kBadFormat, {}, 0.0, ""},
        {"period-1e400.smp", kBadFormat, {}, 0.0, ""},
        {"empty.smp", kBadFormat, {}, 0.0, ""},
    };
}

class HostileSample : public ::testing::TestWithParam<TSampleCase> {};

TEST_P(HostileSample, LoadsOrIsRefusedWithOneMessage) {
    const TSampleCase& c = GetParam();
    const std::string path = HostileFile(c.name);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;

    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(1);
    series.values[0] = 7.0;
    series.count = 1;
    series.period = 0.5;
    series.unit = "old";
    TMessageRecorder messages;
    const bool loaded = series.LoadFromFile(path);
    if (c.error) {
        EXPECT_FALSE(loaded);
        ASSERT_EQ(messages.shown.size(), 1u);
        // The message, then where in the file it went wrong.
        EXPECT_EQ(messages.shown[0].text.rfind(c.error, 0), 0u) << messages.shown[0].text;
        EXPECT_EQ(series.count, 1) << "the previous series stays whole";
        EXPECT_EQ(series.values[0], 7.0);
        EXPECT_EQ(series.period, 0.5);
        EXPECT_EQ(series.unit, "old");
        return;
    }
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(std::vector<double>(series.values.get(), series.values.get() + series.count),
              c.values);
    EXPECT_EQ(series.period, c.period);
    EXPECT_EQ(series.unit, c.unit);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSample, ::testing::ValuesIn(SampleCases()),
                         [](const auto& info) { return CaseName(info.param.name); });

// ---------------------------------------------------------------------------
// Settings files

struct TSettingsCase {
    std::string name;
    TIniLoadResult result;
    TDirectories folders; // read with the default "/docs"
};

std::vector<TSettingsCase> SettingsCases() {
    const std::string d = "/docs";
    return {
        // Larger than any settings file of ours: read as empty.
        {"value-1mb.ini", TIniLoadResult::TooLarge, {d, d, d, d}},
        {"value-near-1mb.ini",
         TIniLoadResult::Loaded,
         {"/" + std::string((1 << 20) - 64, 'a'), d, "/c", d}},
        {"garbage.ini", TIniLoadResult::Loaded, {d, d, d, d}},
        {"garbage-then-folders.ini", TIniLoadResult::Loaded, {"/w", "", d, d}},
        {"nul-in-value.ini", TIniLoadResult::Loaded, {"/a\0b"s, d, d, d}},
    };
}

class HostileSettings : public ::testing::TestWithParam<TSettingsCase> {};

TEST_P(HostileSettings, ReadsTheFoldersOrTheDefaults) {
    const TSettingsCase& c = GetParam();
    const std::string path = HostileFile(c.name);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    TIniFile file;
    std::string error;
    EXPECT_EQ(LoadIniFile(path, file, &error), c.result);
    EXPECT_EQ(error.empty(), c.result == TIniLoadResult::Loaded) << error;
    EXPECT_EQ(ReadDirectories(file, "/docs"), c.folders);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettings, ::testing::ValuesIn(SettingsCases()),
                         [](const auto& info) { return CaseName(info.param.name); });

} // namespace

// Every generated file has its case and every case its file, so a new
// hostile input cannot go untested.
TEST(HostileInputs, EveryFileHasACase) {
    std::set<std::string> cased;
    for (const auto& c : WaveCases()) {
        cased.insert(c.name);
    }
    for (const auto& c : SampleCases()) {
        cased.insert(c.name);
    }
    for (const auto& c : SoundCases()) {
        cased.insert(c.name);
    }
    for (const auto& c : SettingsCases()) {
        cased.insert(c.name);
    }
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(ZM_HOSTILE_DIR)) {
        files.insert(entry.path().filename().string());
    }
    EXPECT_EQ(files, cased);
}
