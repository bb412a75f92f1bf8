// Writes the inputs the robustness checks run on, so no binary test file is
// kept in the repository:
//   zittermark-makeinputs corpus <folder>   seed corpora, one subfolder per
//                                            fuzz target
//   zittermark-makeinputs hostile <folder>  the hostile inputs the regression
//                                            tests read, one file each
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "examples/signals.h"
#include "examples/soundwriter.h"

using namespace std::string_literals;

namespace {

// Offsets in a file with a 16-byte "fmt " chunk first.
constexpr std::size_t kChannelsAt = 22;
constexpr std::size_t kRateAt = 24;
constexpr std::size_t kBlockAlignAt = 32;
constexpr std::size_t kDataSizeAt = 40;

// The 8 samples every hostile WAV file carries: 16-bit mono at 8000 Hz.
const std::vector<int32_t> kSamples = {0, 16384, -16384, 32767, -32768, 1, -1, 8192};

std::string Canonical() {
    TWavBuilder builder;
    builder.sampleRate = 8000;
    return builder.Build(kSamples);
}

std::string Patched(const std::function<void(std::string&)>& patch) {
    std::string bytes = Canonical();
    patch(bytes);
    return bytes;
}

std::string Samples16(const std::vector<int32_t>& samples) {
    std::string s;
    for (int32_t v : samples) {
        s += static_cast<char>(v & 0xFF);
        s += static_cast<char>((v >> 8) & 0xFF);
    }
    return s;
}

// "サンプリング周期(sec)","サンプル数","単位" in CP932 and in UTF-8.
const std::string kTitleCp932 =
    "\"\x83\x54\x83\x93\x83\x76\x83\x8A\x83\x93\x83\x4F\x8E\xFC\x8A\xFA(sec)\","
    "\"\x83\x54\x83\x93\x83\x76\x83\x8B\x90\x94\",\"\x92\x50\x88\xCA\"";
const std::string kTitleUtf8 = "\"サンプリング周期(sec)\",\"サンプル数\",\"単位\"";

// A sample file from its lines, each ended by `eol`.
std::string SampleFile(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    std::string s;
    for (const std::string& line : lines) {
        s += line + eol;
    }
    return s;
}

std::string SampleFileWithCount(const std::string& count, const std::vector<std::string>& values) {
    std::vector<std::string> lines = {kTitleCp932, "0.025000," + count + ",\"Hz\"", "\"Samples\""};
    lines.insert(lines.end(), values.begin(), values.end());
    return SampleFile(lines);
}

// Deterministic bytes of every value (a linear congruential sequence).
std::string Garbage(std::size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

struct TInput {
    std::string name;
    std::string bytes;
};

// The bytes libsndfile writes for `samples` (16-bit, interleaved) as
// `format`, by way of a temporary file; empty when it cannot.
std::string Encoded(int format, int sampleRateHz, int channels,
                    const std::vector<int32_t>& samples) {
    static int serial = 0;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("zittermark-makeinputs-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::string bytes;
    if (WriteSound16(path.string(), format, sampleRateHz, channels, samples).empty()) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code error;
    std::filesystem::remove(path, error);
    return bytes;
}

// A short tone in every format the decoder reads, each with its extension.
struct TEncodedFormat {
    const char* name;
    int format;
    int sampleRateHz;
    int channels;
};

constexpr TEncodedFormat kEncodedFormats[] = {
    {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1},
    {"pcm24-stereo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 8000, 2},
    {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1},
    {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1},
    {"float-6ch.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 8000, 6},
    {"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 8000, 1},
    {"ima-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 8000, 1},
    {"ms-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 8000, 1},
    {"pcm16.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 8000, 1},
    {"pcm16.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 8000, 1},
    {"pcm16.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 8000, 1},
    {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8000, 1},
    {"opus.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 8000, 1},
    {"layer3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 8000, 1},
};

// 0.2 s of a 440 Hz tone, interleaved for `channels`.
std::vector<int32_t> ShortTone(int sampleRateHz, int channels) {
    std::vector<int32_t> samples;
    for (int i = 0; i < sampleRateHz / 5; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples.push_back(
                static_cast<int32_t>(12000 * std::sin(i * 2 * M_PI * 440 / sampleRateHz + c)));
        }
    }
    return samples;
}

std::string EncodedTone(const TEncodedFormat& f) {
    return Encoded(f.format, f.sampleRateHz, f.channels, ShortTone(f.sampleRateHz, f.channels));
}

// The bytes cut or patched where each container is weakest.
std::vector<TInput> HostileEncodedInputs() {
    std::vector<TInput> inputs;
    const std::vector<int32_t> second = ToPcm16(FluctuatingTone(1.0, 8000, 440, 1.0, 20, 5));
    const std::string flac = Encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, second);
    // FLAC frames cut off: the stream header promises frames that are not there.
    inputs.push_back({"truncated-frames.flac", flac.substr(0, flac.size() * 6 / 10)});
    inputs.push_back({"header-only.flac", flac.substr(0, 200)});
    // A valid first MP3 frame, then garbage.
    const std::string mp3 = Encoded(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 8000, 1, second);
    inputs.push_back({"garbage-after-header.mp3", mp3.substr(0, 300) + Garbage(20000, 11)});
    // An AIFF file whose COMM chunk declares no channel.
    std::string aiff = Encoded(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, second);
    const std::size_t comm = aiff.find("COMM");
    if (comm != std::string::npos && comm + 10 <= aiff.size()) {
        aiff[comm + 8] = 0;
        aiff[comm + 9] = 0;
    }
    inputs.push_back({"channels-0.aiff", aiff});
    // The Vorbis headers, then a page that declares 255 segments of 255
    // bytes and holds a few.
    const std::string ogg = Encoded(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8000, 1, second);
    std::size_t third = ogg.find("OggS");
    for (int page = 0; page < 2 && third != std::string::npos; ++page) {
        third = ogg.find("OggS", third + 4);
    }
    std::string huge = ogg.substr(0, third == std::string::npos ? ogg.size() : third);
    huge += "OggS"s + '\0' + '\0' + std::string(8, '\x7F') + ogg.substr(14, 4) + Le32(2) + Le32(0) +
            '\xFF' + std::string(255, '\xFF') + Garbage(300, 12);
    inputs.push_back({"huge-page.ogg", huge});
    return inputs;
}

std::vector<TInput> HostileInputs() {
    std::vector<TInput> inputs;
    auto add = [&](const std::string& name, const std::string& bytes) {
        inputs.push_back({name, bytes});
    };

    // ---- WAV files
    add("canonical.wav", Canonical());
    // Sizes near 2^32 in short files.
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFF8u, 0x80000000u}) {
        char name[64];
        std::snprintf(name, sizeof name, "data-size-%08x.wav", size);
        add(name, Patched([&](std::string& s) { PutLe32(s, kDataSizeAt, size); }));
        std::snprintf(name, sizeof name, "list-size-%08x.wav", size);
        add(name,
            RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) +
                     WavChunk("LIST", "INFOabcd", size) + WavChunk("data", Samples16(kSamples))));
    }
    add("riff-size-ffffffff.wav", Patched([](std::string& s) { PutLe32(s, 4, 0xFFFFFFFFu); }));
    add("fmt-size-ffffffff.wav", Patched([](std::string& s) { PutLe32(s, 16, 0xFFFFFFFFu); }));
    add("fmt-after-data.wav", RiffWave(WavChunk("data", Samples16(kSamples)) +
                                       WavChunk("fmt ", FmtContents(1, 1, 8000, 16))));
    // Several "data" chunks: the last one after a format counts.
    add("three-data-chunks.wav",
        RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) +
                 WavChunk("data", Samples16({100, 200})) + WavChunk("data", Samples16({300})) +
                 WavChunk("data", Samples16({-16384, 16384}))));
    add("data-fmt-data.wav", RiffWave(WavChunk("data", Samples16({1, 2, 3})) +
                                      WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) +
                                      WavChunk("data", Samples16({8192, -8192}))));
    add("blockalign-0.wav", Patched([](std::string& s) { PutLe16(s, kBlockAlignAt, 0); }));
    add("channels-0.wav", Patched([](std::string& s) { PutLe16(s, kChannelsAt, 0); }));
    add("channels-3.wav", Patched([](std::string& s) {
            PutLe16(s, kChannelsAt, 3);
            PutLe16(s, kBlockAlignAt, 6);
        }));
    add("samplerate-0.wav", Patched([](std::string& s) { PutLe32(s, kRateAt, 0); }));
    add("samplerate-2p31.wav", Patched([](std::string& s) { PutLe32(s, kRateAt, 0x80000000u); }));
    add("samplerate-2p31-1.wav", Patched([](std::string& s) { PutLe32(s, kRateAt, 0x7FFFFFFFu); }));
    add("bits-32.wav",
        RiffWave(WavChunk("fmt ", FmtContents(1, 1, 8000, 32)) + WavChunk("data", Le32(1 << 30))));
    add("float-32.wav", RiffWave(WavChunk("fmt ", FmtContents(3, 1, 8000, 32)) +
                                 WavChunk("data", Le32(0x3F000000u))));
    add("float-64.wav", RiffWave(WavChunk("fmt ", FmtContents(3, 1, 8000, 64)) +
                                 WavChunk("data", Le64(0x3FE0000000000000ull))));
    // Encodings other than integer PCM, in widths the PCM reader would take.
    add("mulaw-8.wav", RiffWave(WavChunk("fmt ", FmtContents(7, 1, 8000, 8)) +
                                WavChunk("data", std::string("\x00\x7F\x80\xFF", 4))));
    add("alaw-8.wav", RiffWave(WavChunk("fmt ", FmtContents(6, 1, 8000, 8)) +
                               WavChunk("data", std::string("\x00\x7F\x80\xFF", 4))));
    add("float-tag-16bit.wav", RiffWave(WavChunk("fmt ", FmtContents(3, 1, 8000, 16)) +
                                        WavChunk("data", Samples16(kSamples))));
    {
        TWavBuilder builder;
        builder.sampleRate = 8000;
        builder.formatTag = 0xFFFE;
        builder.fmtSize = 40;
        builder.subFormat = 3;
        add("extensible-float-16bit.wav", builder.Build(kSamples));
        builder.subFormat = 1;
        add("extensible-pcm.wav", builder.Build(kSamples));
    }
    // Every cut of the canonical header, the empty file included.
    const std::string canonical = Canonical();
    for (std::size_t n = 0; n <= 44; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "truncated-%02zu.wav", n);
        add(name, canonical.substr(0, n));
    }
    add("rifx.wav", "RIFX" + canonical.substr(4));
    // RF64: the 32-bit sizes say "see ds64", which this reader does not know.
    add("rf64.wav", "RF64" + Le32(0xFFFFFFFFu) + "WAVE" +
                        WavChunk("ds64", Le64(36 + 16) + Le64(16) + Le64(8) + Le32(0)) +
                        WavChunk("fmt ", FmtContents(1, 1, 8000, 16)) +
                        WavChunk("data", Samples16(kSamples), 0xFFFFFFFFu));

    // ---- Other audio formats: a tone in each, and the damaged ones
    for (const TEncodedFormat& format : kEncodedFormats) {
        add(std::string("tone-") + format.name, EncodedTone(format));
    }
    for (TInput& input : HostileEncodedInputs()) {
        inputs.push_back(std::move(input));
    }

    // ---- Sample files
    const std::vector<std::string> goodValues = {"1.5", "2.25", "0.000000001"};
    add("good-cp932.smp", SampleFileWithCount("3", goodValues));
    add("count-minus-1.smp", SampleFileWithCount("-1", goodValues));
    add("count-2p31-1.smp", SampleFileWithCount("2147483647", goodValues));
    add("count-2p31.smp", SampleFileWithCount("2147483648", goodValues));
    add("value-nan.smp", SampleFileWithCount("3", {"1.5", "nan", "2"}));
    add("value-inf.smp", SampleFileWithCount("3", {"1.5", "inf", "2"}));
    add("value-1e400.smp", SampleFileWithCount("3", {"1.5", "1e400", "2"}));
    add("value-minus-1e400.smp", SampleFileWithCount("1", {"-1e400"}));
    // One value line of 10 MB, far over the 254 characters a line may hold.
    add("line-10mb.smp", SampleFileWithCount("1", {"0.5" + std::string(10 << 20, '0')}));
    // A 10 MB line where the count belongs.
    add("count-line-10mb.smp",
        SampleFile({kTitleCp932, "0.025000,1,\"Hz\"" + std::string(10 << 20, ' ') + "x",
                    "\"Samples\"", "1.5"}));
    add("nul-in-value.smp", SampleFileWithCount("2", {"1.5", "2\0.5"s}));
    add("nul-after-value.smp", SampleFileWithCount("2", {"1.5\0\0"s, "2.5"}));
    add("nul-title.smp",
        SampleFile({std::string(8, '\0'), "0.025000,1,\"Hz\"", "\"Samples\"", "1"}));
    add("lf-only.smp",
        SampleFile({kTitleUtf8, "0.010000,2,\"RMS\"", "\"Samples\"", "0.25", "0.5"}, "\n"));
    add("cr-only.smp",
        SampleFile({kTitleCp932, "0.010000,2,\"Hz\"", "\"Samples\"", "1", "2"}, "\r"));
    add("period-0.smp", SampleFile({kTitleCp932, "0.000000,1,\"Hz\"", "\"Samples\"", "1"}));
    add("period-1e400.smp", SampleFile({kTitleCp932, "1e400,1,\"Hz\"", "\"Samples\"", "1"}));
    add("empty.smp", "");

    // ---- Settings files
    add("value-1mb.ini", "[Directories]\r\nWaveDir=" + std::string(1 << 20, 'a') + "\r\n");
    add("value-near-1mb.ini",
        "[Directories]\r\nWaveDir=/" + std::string((1 << 20) - 64, 'a') + "\r\nCsvDir=/c\r\n");
    add("garbage.ini", Garbage(4096, 1));
    add("garbage-then-folders.ini",
        Garbage(4096, 2) + "\r\n[Directories]\r\nWaveDir=/w\r\nImageDir=\r\n");
    add("nul-in-value.ini", "[Directories]\r\nWaveDir=/a\0b\r\n"s);
    return inputs;
}

std::vector<TInput> CorpusInputs(const std::string& target) {
    std::vector<TInput> inputs;
    auto add = [&](const std::string& name, const std::string& bytes) {
        inputs.push_back({name, bytes});
    };
    if (target == "wavefile") {
        // Every layout and width the reader's tests know.
        const std::vector<std::pair<uint32_t, std::vector<std::pair<std::string, std::string>>>>
            layouts = {{16, {}},
                       {18, {}},
                       {40, {}},
                       {16, {{"LIST", "INFOISFT"}}},
                       {16, {{"LIST", "INFOabc"}}},
                       {40, {{"LIST", "x"}, {"fact", "abcd"}}}};
        int index = 0;
        for (const auto& [fmtSize, extra] : layouts) {
            for (uint16_t bits : {8, 16, 24}) {
                for (uint16_t channels : {1, 2}) {
                    TWavBuilder builder;
                    builder.fmtSize = fmtSize;
                    builder.formatTag = fmtSize == 40 ? 0xFFFE : 1;
                    builder.bitsPerSample = bits;
                    builder.channels = channels;
                    builder.sampleRate = 8000;
                    builder.extraChunks = extra;
                    std::vector<int32_t> samples;
                    const int32_t full = bits == 8 ? 127 : bits == 16 ? 32767 : 8388607;
                    for (int i = 0; i < 96 * channels; ++i) {
                        samples.push_back(
                            static_cast<int32_t>(full * std::sin(i * 0.7) * (i % 5 == 0 ? -1 : 1)));
                    }
                    char name[64];
                    std::snprintf(name, sizeof name, "layout%02d-fmt%u-%ubit-%uch.wav", index,
                                  fmtSize, bits, channels);
                    add(name, builder.Build(samples));
                }
            }
            ++index;
        }
        for (const TInput& input : HostileInputs()) {
            if (input.name.ends_with(".wav")) {
                add(input.name, input.bytes);
            }
        }
    } else if (target == "soundfile") {
        for (const TEncodedFormat& format : kEncodedFormats) {
            add(format.name, EncodedTone(format));
        }
        for (TInput& input : HostileEncodedInputs()) {
            inputs.push_back(std::move(input));
        }
    } else if (target == "samplefile") {
        for (const TInput& input : HostileInputs()) {
            if (input.name.ends_with(".smp") && input.bytes.size() < 4096) {
                add(input.name, input.bytes);
            }
        }
        add("utf8-title.smp",
            SampleFile({kTitleUtf8, "0.025000,2,\"Hz\"", "\"Samples\"", "100.000000000", "-3.5"}));
        add("count-0.smp", SampleFileWithCount("0", {}));
        add("quoted-unit.smp",
            SampleFile({kTitleCp932, "0.5,1,\"a\"\"b\"", "\"Samples\"", "1e-300"}));
        add("no-final-eol.smp", SampleFileWithCount("2", {"1", "2"}).substr(0, 80));
    } else if (target == "settingsfile") {
        add("typical.ini", "[Directories]\r\nWaveDir=/home/u/Music\r\nImageDir=/home/u/Pictures\r\n"
                           "CsvDir=\r\nSampleDir=/home/u/Documents\r\n");
        add("forgiving.ini", "\xEF\xBB\xBF; comment\n# other\n  [ directories ]  \n"
                             "\twavedir =  \" /a b \" \nWaveDir=/second\nCsvDir='/c'\n"
                             "[Other]\nSampleDir=/x\n");
        add("with-folder.ini", "[Directories]\r\nWaveDir=/a\r\n\0/new folder\0"s);
        add("unclosed.ini", "[Directories\r\nImageDir=\"/a\r\n=nokey\r\n[]\r\n");
        add("garbage.ini", Garbage(512, 3));
    } else if (target == "spectrumplot") {
        // modes, four ranges, two sizes, draw method, two bars, period, count,
        // then the values.
        auto header = [](uint8_t modes, uint8_t method, int8_t upper, int8_t lower,
                         uint16_t count) {
            std::string s;
            s += static_cast<char>(modes);
            s += static_cast<char>(6);  // x axis up to 10^2
            s += static_cast<char>(1);  // from 10^-3
            s += static_cast<char>(10); // y axis up to 10^0
            s += static_cast<char>(1);  // from 10^-9
            s += static_cast<char>(150);
            s += static_cast<char>(200);
            s += static_cast<char>(method);
            s += static_cast<char>(upper);
            s += static_cast<char>(lower);
            double period = 0.025;
            uint64_t bits;
            std::memcpy(&bits, &period, sizeof bits);
            s += Le64(bits);
            s += static_cast<char>(count & 0xFF);
            s += static_cast<char>(count >> 8);
            return s;
        };
        std::string noise;
        uint32_t seed = 7;
        for (int i = 0; i < 256; ++i) {
            seed = seed * 1664525u + 1013904223u;
            double v = 50.0 + (seed >> 8) / 16777216.0;
            uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            noise += Le64(bits);
        }
        for (uint8_t modes = 0; modes < 9; ++modes) {
            char name[32];
            std::snprintf(name, sizeof name, "noise-mode%u.bin", modes);
            add(name, header(modes, modes % 3, 0, -40, 255) + noise);
        }
        std::string extremes;
        for (int i = 0; i < 64; ++i) {
            extremes += static_cast<char>(i % 20);
        }
        add("extremes.bin", header(9, 2, 0, -50, 1000) + extremes);
        add("one-value.bin", header(1, 0, -5, -3, 0) + noise.substr(0, 8));
        add("large-plot.bin", [&] {
            std::string s = header(4, 1, 0, -30, 0xF7FF) + noise;
            s[5] = static_cast<char>(0xF8);
            s[6] = static_cast<char>(0xFF);
            return s;
        }());
    }
    return inputs;
}

bool WriteAll(const std::filesystem::path& folder, const std::vector<TInput>& inputs) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return false;
    }
    for (const TInput& input : inputs) {
        const std::filesystem::path path = folder / input.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(input.bytes.data(), static_cast<std::streamsize>(input.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 ||
        (std::strcmp(argv[1], "corpus") != 0 && std::strcmp(argv[1], "hostile") != 0)) {
        std::fprintf(stderr, "usage: %s corpus|hostile <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    if (std::strcmp(argv[1], "hostile") == 0) {
        return WriteAll(folder, HostileInputs()) ? 0 : 1;
    }
    for (const char* target :
         {"wavefile", "soundfile", "samplefile", "settingsfile", "spectrumplot"}) {
        if (!WriteAll(folder / target, CorpusInputs(target))) {
            return 1;
        }
    }
    return 0;
}
