// End-to-end tests of zittermark-cli over recordings the tests generate.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "engine/textformat.h"
#include "examples/signals.h"
#include "tests/support/testsupport.h"

namespace {

struct TRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

TRun RunCli(const std::vector<std::string>& args) {
    TTempDir dir;
    std::string command = Quote(ZM_CLI_PATH);
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    command += " >" + Quote(dir.File("out")) + " 2>" + Quote(dir.File("err")) + " </dev/null";
    int status = std::system(command.c_str());
    TRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileBytes(dir.File("out"));
    run.err = ReadFileBytes(dir.File("err"));
    return run;
}

// The value of "key=" in a report line, up to the next blank.
std::string Field(const std::string& line, const std::string& key) {
    std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) {
        return "";
    }
    at += key.size() + 2;
    return line.substr(at, line.find(' ', at) - at);
}

double Lambda(const std::string& line) {
    std::size_t at = line.find("λ = ");
    if (at == std::string::npos) {
        return NAN;
    }
    return ParseDecimal(line.substr(at + std::string("λ = ").size(), 5)).value_or(NAN);
}

std::string WriteWave(const TTempDir& dir, const std::string& name,
                      const std::vector<double>& signal, uint32_t rate) {
    TWavBuilder builder;
    builder.sampleRate = rate;
    std::string path = dir.File(name);
    WriteFileBytes(path, builder.Build(ToPcm16(signal)));
    return path;
}

// A 1 kHz square wave at 8000 Hz: four samples at +0.5, four at -0.5.
std::vector<double> Square(std::size_t frames) {
    std::vector<double> signal(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        signal[i] = (i % 8) < 4 ? 0.5 : -0.5;
    }
    return signal;
}

// The title line of a sample file as its CP932 bytes.
const std::string kSampleTitle =
    "\"\x83\x54\x83\x93\x83\x76\x83\x8a\x83\x93\x83\x4f\x8e\xfc\x8a\xfa(sec)\",\"\x83\x54\x83\x93"
    "\x83\x76\x83\x8b\x90\x94\",\"\x92\x50\x88\xca\"\r\n";

} // namespace

TEST(Cli, HelpVersionAndUsageErrors) {
    TRun help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: zittermark-cli"), std::string::npos);
    TRun version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "zittermark-cli 1.16\n");

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--frobnicate", "x.wav"},
        {"--mode", "fixed", "--period-ms", "4", "x.wav"},
        {"--mode", "fixed", "--period-ms", "1001", "x.wav"},
        {"--mode", "fixed", "--period-ms", "2.5", "x.wav"},
        {"--mode", "fixed", "--bias", "32768", "x.wav"},
        {"--mode", "fixed", "--band-upper", "1", "x.wav"},
        {"--mode", "fixed", "--band-upper", "-20", "--band-lower", "-20", "x.wav"},
        {"--freq-range", "2", "-3", "x.wav"},
        {"--freq-range", "-5", "2", "x.wav"},
        {"--power-range", "-11", "0", "x.wav"},
        {"--size", "99", "630", "x.wav"},
        {"--draw", "bars", "x.wav"},
        {"--window", "hanning", "x.wav"},
        {"--period-ms", "10", "x.wav"},
        {"--csv", "out.csv", "a.wav", "b.wav"},
        {"--csv", "{name}.csv", "a/x.wav", "b/x.wav"},
        {"--jobs", "0", "x.wav"},
        {"--mode"},
    };
    for (const auto& args : bad) {
        TRun run = RunCli(args);
        std::string shown;
        for (const std::string& a : args) {
            shown += a + " ";
        }
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_NE(run.err.find("zittermark-cli: "), std::string::npos) << shown;
        EXPECT_TRUE(run.out.empty()) << shown;
    }
}

TEST(Cli, OneOverFLoudnessGivesLambdaNearOneInTheAmplitudeMode) {
    TTempDir dir;
    std::string pink =
        WriteWave(dir, "pink.wav", FluctuatingTone(120, 8000, 440, 1.0, 20, 7), 8000);
    std::string white =
        WriteWave(dir, "white.wav", FluctuatingTone(120, 8000, 440, 0.0, 20, 8), 8000);
    TRun run = RunCli({"--sampling", "amplitude", pink, white});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::size_t newline = run.out.find('\n');
    std::string pinkLine = run.out.substr(0, newline);
    std::string whiteLine = run.out.substr(newline + 1);
    EXPECT_EQ(pinkLine.rfind(pink + ":", 0), 0u) << "output keeps the input order";
    EXPECT_EQ(Field(pinkLine, "count"), "4800");
    EXPECT_EQ(Field(pinkLine, "period"), "0.025000");
    EXPECT_EQ(Field(pinkLine, "N"), "8192");
    EXPECT_EQ(Field(pinkLine, "binCount"), "2399");
    EXPECT_NEAR(Lambda(pinkLine), 1.0, 0.2) << pinkLine;
    // Each window's RMS averages its 25 ms, which damps the fastest
    // fluctuations: white loudness reads as a mild slope, far below 1/f.
    EXPECT_LT(Lambda(whiteLine), Lambda(pinkLine) - 0.4) << whiteLine;
    EXPECT_GT(Lambda(whiteLine), -0.2) << whiteLine;
}

TEST(Cli, SampleFileOfASquareWaveIsExact) {
    TTempDir dir;
    std::string wave = WriteWave(dir, "square.wav", Square(1600), 8000);
    std::string smp = dir.File("square.smp");
    TRun run = RunCli({"--smp", smp, wave});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 200-frame windows each hold 25 periods: 25 downward and 24 upward
    // crossings of the level 2^-12, 49 * 0.5 / 0.025 = 980 Hz.
    std::string expected = kSampleTitle + "0.025000,8,\"Hz\"\r\n\"Samples\"\r\n";
    for (int i = 0; i < 8; ++i) {
        expected += "980.000000000\r\n";
    }
    EXPECT_EQ(ReadFileBytes(smp), expected);
    EXPECT_EQ(Field(run.out, "count"), "8");
    EXPECT_EQ(Field(run.out, "N"), "8");
    EXPECT_EQ(Field(run.out, "binCount"), "3");
}

TEST(Cli, SpectrumFileOfAKnownSeriesIsExact) {
    // 1 + cos(2 pi 2j / 8): power 1 at bin 0 and at bin 2, nothing elsewhere.
    TTempDir dir;
    std::string smp = dir.File("cosine.smp");
    std::string text = kSampleTitle + "0.025000,8,\"RMS\"\r\n\"Samples\"\r\n";
    for (int j = 0; j < 8; ++j) {
        text += FormatFixed(1.0 + std::cos(2 * M_PI * 2 * j / 8), 9) + "\r\n";
    }
    WriteFileBytes(smp, text);
    std::string csv = dir.File("cosine.csv");
    TRun run = RunCli({"--window", "rect", "--csv", csv, smp});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(csv), "\"Frequency(Hz)\",\"Power(square of amplitude)\"\r\n"
                                  "0.0000,1.0000000000\r\n"
                                  "5.0000,0.0000000000\r\n"
                                  "10.0000,1.0000000000\r\n"
                                  "15.0000,0.0000000000\r\n");
}

TEST(Cli, ARecordingShorterThanOneWindowHasNoSpectrumToDraw) {
    TTempDir dir;
    std::string wave = WriteWave(dir, "short.wav", std::vector<double>(100, 0.0), 8000);
    std::string smp = dir.File("short.smp");
    TRun run = RunCli({"--smp", smp, wave});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(smp), kSampleTitle + "0.025000,1,\"Hz\"\r\n\"Samples\"\r\n"
                                                 "0.000000000\r\n");
    EXPECT_NE(run.out.find("count=1 "), std::string::npos);
    EXPECT_NE(run.out.find("groups=0 λ = none"), std::string::npos) << run.out;

    TRun png = RunCli({"--spectrum-png", dir.File("short.png"), wave});
    EXPECT_EQ(png.exitCode, 1);
    EXPECT_FALSE(FileExists(dir.File("short.png")));
}

TEST(Cli, FailedFilesAreReportedAndTheOthersStillRun) {
    TTempDir dir;
    std::string good = WriteWave(dir, "good.wav", Square(16000), 8000);
    std::string bad = dir.File("bad.wav");
    WriteFileBytes(bad, "RIFX0000WAVEfmt ");
    std::string missing = dir.File("missing.wav");
    std::string badSmp = dir.File("broken.smp");
    WriteFileBytes(badSmp, "not a sample file\r\n");
    TRun run = RunCli({"--jobs", "2", "--csv", dir.File("{name}.csv"), missing, bad, good, badSmp});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(missing + ": WAVファイルが見つかりません。"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(bad + ": WAVファイルを読み込めません。"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(badSmp + ": ファイルの形式が正しくありません。"), std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find(good + ": count=80 "), std::string::npos) << run.out;
    EXPECT_TRUE(FileExists(dir.File("good.csv")));
    EXPECT_FALSE(FileExists(dir.File("bad.csv")));
}

TEST(Cli, ParallelRunsGiveTheSameNumbersAndBytesAsSerialOnes) {
    TTempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(WriteWave(dir, "tone" + std::to_string(i) + ".wav",
                                  FluctuatingTone(20, 8000, 300 + 50 * i, 1.0, 20, 100 + i), 8000));
    }
    auto run = [&](const std::string& jobs, const std::string& sub) {
        std::filesystem::create_directory(dir.File(sub));
        std::vector<std::string> args = {
            "--jobs",    jobs,          "--mode", "fixed",          "--sampling",
            "amplitude", "--period-ms", "10",     "--spectrum-png", dir.File(sub + "/{name}.png"),
            "--json"};
        args.insert(args.end(), files.begin(), files.end());
        return RunCli(args);
    };
    TRun serial = run("1", "serial");
    TRun parallel = run("4", "parallel");
    ASSERT_EQ(serial.exitCode, 0) << serial.err;
    EXPECT_EQ(serial.out, parallel.out);
    for (int i = 0; i < 4; ++i) {
        std::string name = "/tone" + std::to_string(i) + ".png";
        EXPECT_EQ(ReadFileBytes(dir.File("serial") + name),
                  ReadFileBytes(dir.File("parallel") + name));
    }
    EXPECT_NE(serial.out.find("\"lambda\":"), std::string::npos);
    EXPECT_NE(serial.out.find("\"N\":2048"), std::string::npos) << serial.out;
}

TEST(Cli, WritesBothGraphsAsPng) {
    TTempDir dir;
    std::string wave = WriteWave(dir, "tone.wav", FluctuatingTone(10, 8000, 440, 1.0, 20, 3), 8000);
    std::string spectrum = dir.File("spectrum.png");
    std::string series = dir.File("series.png");
    TRun run = RunCli({"--spectrum-png", spectrum, "--series-png", series, "--size", "200", "300",
                       "--series-size", "400", "150", wave});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto size = [](const std::string& png) {
        auto be32 = [&](std::size_t at) {
            return (static_cast<uint32_t>(static_cast<unsigned char>(png[at])) << 24) |
                   (static_cast<uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16) |
                   (static_cast<uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8) |
                   static_cast<uint32_t>(static_cast<unsigned char>(png[at + 3]));
        };
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
        return std::make_pair(be32(16), be32(20));
    };
    EXPECT_EQ(size(ReadFileBytes(spectrum)), std::make_pair(284u, 350u));
    EXPECT_EQ(size(ReadFileBytes(series)), std::make_pair(400u, 150u));
}
