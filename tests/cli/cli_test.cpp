// End-to-end tests of zittermark-cli over recordings the tests generate.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/safefile.h"
#include "base/textformat.h"
#include "base/translate.h"
#include "examples/signals.h"
#include "examples/soundwriter.h"
#include "tests/support/jsonvalue.h"
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

// The runs speak Japanese, whatever locale the tests are run under; this
// process looks its texts up in the same catalogue to know what they say.
const bool kJapaneseRuns = [] {
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("LANGUAGE");
    UseLanguage(TLanguage::Japanese);
    return true;
}();

// Runs zittermark-cli with `args`, in the folder `cwd` when one is given,
// through `launcher` (such as "prlimit --as=N") when one is given.
TRun RunCli(const std::vector<std::string>& args, const std::string& cwd = "",
            const std::string& launcher = "") {
    TTempDir dir;
    std::string command = cwd.empty() ? std::string() : "cd " + Quote(cwd) + " && ";
    command += launcher.empty() ? std::string() : launcher + " ";
    command += Quote(ZM_CLI_PATH);
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

// What zittermark-cli writes to its standard output, one entry per write(2):
// the output is a sequenced-packet socket, which keeps each write's bounds.
std::vector<std::string> OutputWrites(const std::vector<std::string>& args) {
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets) != 0) {
        return {};
    }
    std::vector<char*> argv = {const_cast<char*>(ZM_CLI_PATH)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(sockets[0], STDOUT_FILENO);
        ::close(sockets[0]);
        ::close(sockets[1]);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(ZM_CLI_PATH, argv.data());
        ::_exit(127);
    }
    ::close(sockets[0]);
    std::vector<std::string> writes;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::recv(sockets[1], buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        writes.emplace_back(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(sockets[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return writes;
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

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

} // namespace

TEST(Cli, HelpVersionAndUsageErrors) {
    TRun help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("使い方: zittermark-cli"), std::string::npos);
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
        {"--surrogates", "10000", "x.wav"},
        {"--surrogates", "-1", "x.wav"},
        {"--seed", "-1", "x.wav"},
        {"--seed", "1.5", "x.wav"},
        {"--summary", "", "x.wav"},
        {"--summary", "x.wav", "x.wav"},
        {"--summary", "a.csv", "--csv", "{name}.csv", "a.wav", "b.wav"},
        {"--mode"},
        // Sample files are analysed as they are: sampling options would be ignored.
        {"--mode", "fixed", "--period-ms", "10", "a.smp"},
        {"--mode", "fixed", "--bias", "8", "a.smp", "b.SMP"},
        {"--sampling", "amplitude", "a.smp"},
        {"--sampling", "frequency", "--mode", "fixed", "a.smp"},
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

// An output that would replace an input, another output or the summary is
// refused before anything is read or written, naming both paths; paths are
// compared as the file system resolves them.
TEST(Cli, OutputsNeverReplaceInputsNorEachOther) {
    struct TCase {
        std::vector<std::string> args;
        std::string first, second; // both named in the message
    };
    const std::vector<TCase> cases = {
        {{"--csv", "s.wav", "s.wav"}, "--csv s.wav", "s.wav"},
        {{"--csv", "{name}.wav", "s.wav"}, "--csv s.wav", "s.wav"},
        {{"--smp", "t.smp", "t.smp"}, "--smp t.smp", "t.smp"},
        {{"--smp", "{name}2.smp", "x.wav", "x2.smp"}, "--smp x2.smp", "x2.smp"},
        {{"--smp", "o/{name}.out", "--csv", "o/{name}.out", "x.wav"},
         "--csv o/x.out",
         "--smp o/x.out"},
        {{"--csv", "o/{name}.csv", "--summary", "./o/x.csv", "x.wav"},
         "--summary ./o/x.csv",
         "--csv o/x.csv"},
        {{"--spectrum-png", "{name}.png", "--series-png", "./{name}.png", "x.wav"},
         "--series-png ./x.png",
         "--spectrum-png x.png"},
        {{"--csv", "sub/../s.wav", "s.wav"}, "--csv sub/../s.wav", "s.wav"},
        {{"--csv", "link.wav", "s.wav"}, "--csv link.wav", "s.wav"},
        {{"--csv", "hard.wav", "s.wav"}, "--csv hard.wav", "s.wav"},
        {{"--csv", "{name}.csv", "--smp", "{name}.csv", "a.wav", "b.wav"},
         "--smp a.csv",
         "--csv a.csv"},
        {{"--csv", "{name}.csv", "--smp", "b.csv", "a.wav"}, "", ""},
        {{"--csv", "/dev/null", "--smp", "/dev/null", "a.wav"}, "", ""},
        {{"--csv", "/dev/stdout", "--smp", "/dev/stdout", "a.wav"}, "", ""},
        {{"--csv", "fifo", "--smp", "fifo", "a.wav"}, "", ""},
    };
    for (const TCase& test : cases) {
        TTempDir dir;
        WriteFileBytes(dir.File("s.wav"), "input");
        WriteFileBytes(dir.File("x2.smp"), "input");
        std::filesystem::create_directory(dir.File("sub"));
        std::filesystem::create_symlink("s.wav", dir.File("link.wav"));
        std::filesystem::create_hard_link(dir.File("s.wav"), dir.File("hard.wav"));
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
        std::string shown;
        for (const std::string& a : test.args) {
            shown += a + " ";
        }
        TRun run = RunCli(test.args, dir.Path());
        if (test.first.empty()) {
            EXPECT_NE(run.exitCode, 2) << shown << run.err;
            continue;
        }
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_NE(run.err.find(test.first), std::string::npos) << shown << run.err;
        EXPECT_NE(run.err.find(test.second), std::string::npos) << shown << run.err;
        EXPECT_TRUE(run.out.empty()) << shown;
        EXPECT_EQ(ReadFileBytes(dir.File("s.wav")), "input") << shown;
        EXPECT_EQ(ReadFileBytes(dir.File("x2.smp")), "input") << shown;
        EXPECT_FALSE(FileExists(dir.File("o"))) << shown;
    }
}

TEST(Cli, SamplingOptionsApplyWhenAnyInputIsAWavFile) {
    // Accepted, so the missing files fail one by one (exit 1), not as usage.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--sampling", "amplitude", "missing.smp", "missing.wav"},
          std::vector<std::string>{"--mode", "fixed", "--period-ms", "10", "--bias", "8",
                                   "missing.wav", "missing.smp"}}) {
        TRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 1) << args[0] << " " << run.err;
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

// A series the machine cannot hold is refused with the figures before it is
// allocated (sparse files: 2 GB of silence that takes no disk), and a window
// shorter than one frame says so; neither ends in a signal.
TEST(Cli, FailuresSayWhyBeforeAnyLargeAllocation) {
    TTempDir dir;
    TWavBuilder builder;
    builder.sampleRate = 8000;
    const std::string huge = dir.File("huge.wav");
    {
        std::string bytes = builder.Build(ToPcm16(std::vector<double>(8)));
        // A data chunk of 2,000,000,000 bytes: 1e9 frames, 25,000,000
        // windows of 5 ms.
        const std::uint32_t data = 2000000000u;
        const std::uint32_t riff = data + 36;
        std::memcpy(&bytes[4], &riff, 4);
        std::memcpy(&bytes[40], &data, 4);
        bytes.resize(44);
        WriteFileBytes(huge, bytes);
        ASSERT_EQ(::truncate(huge.c_str(), 44 + static_cast<off_t>(data)), 0);
    }
    const std::string longSmp = dir.File("long.smp");
    WriteFileBytes(longSmp, kSampleTitle + "0.025,50000000,\"Hz\"\r\n\"Samples\"\r\n");
    ASSERT_EQ(::truncate(longSmp.c_str(), 60000000), 0);
    const std::string slow = WriteWave(dir, "slow.wav", std::vector<double>(1000), 100);
    const std::string locked = WriteWave(dir, "locked.wav", std::vector<double>(1000), 8000);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    // The folder lets anyone reach its files; only the file itself is closed.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0711), 0);
    // The format chunk alone: a file that holds no samples.
    const std::string noData = dir.File("nodata.wav");
    WriteFileBytes(noData, ReadFileBytes(slow).substr(0, 36));
    std::filesystem::create_directory(dir.File("folder.wav"));
    struct TCase {
        const char* name;
        std::vector<std::string> args;
        std::string launcher;
        std::vector<std::string> cause; // parts the message holds
    };
    const std::string limit = "prlimit --as=250000000";
    const TCase cases[] = {
        {"windows",
         {"--mode", "fixed", "--period-ms", "5", huge},
         limit,
         {"WAVファイルを読み込めません。", "25,000,000", Tr("windows"), "263 MB"}},
        {"values", {longSmp}, limit, {"50,000,000", Tr("values"), "513 MB"}},
        {"short window", {"--mode", "fixed", "--period-ms", "9", slow}, "", {"100 Hz", "9 ms"}},
        // Root reads any file, so the run drops to an ordinary user.
        {"permission",
         {locked},
         "setpriv --reuid=65534 --regid=65534 --clear-groups",
         {"WAVファイルを読み込めません。 " + ErrnoMessage(EACCES)}},
        {"folder",
         {dir.File("folder.wav")},
         "",
         {std::string("WAVファイルが見つかりません。 ") + Tr("it is a directory")}},
        {"device", {"/dev/zero"}, "", {Tr("it is a device, FIFO or socket, not a file")}},
        {"no data chunk", {noData}, "", {Tr("the file has no \"data\" chunk")}},
        {"save",
         {"--csv", dir.File("gone/s.csv"), slow},
         "",
         {"ファイルの保存に失敗しました。 (" + dir.File("gone/s.csv") + ": " +
          TrSubst("cannot create a temporary file in %s", {dir.File("gone")}) + ": " +
          ErrnoMessage(ENOENT) + ")"}},
    };
    for (const TCase& c : cases) {
        if (kAddressSanitizer && c.launcher == limit) {
            continue; // the sanitizer's shadow memory needs more than any such limit
        }
        const TRun run = RunCli(c.args, "", c.launcher);
        EXPECT_EQ(run.exitCode, 1) << c.name << ": " << run.err;
        for (const std::string& part : c.cause) {
            EXPECT_NE(run.err.find(part), std::string::npos) << c.name << ": " << run.err;
        }
        EXPECT_NE(run.err.find(c.args.back()), std::string::npos) << c.name;
    }
}

// However little address space the run is given, it ends with an exit
// status and a message, never a signal: the font configuration is not
// loaded without the memory for it, a thread that cannot start means fewer
// threads, and an allocation that fails is reported.
TEST(Cli, AnAddressSpaceLimitGivesAnExitStatusNeverASignal) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "the sanitizer's shadow memory needs more than any such limit";
    }
    TTempDir dir;
    const std::string a = WriteWave(dir, "a.wav", Square(8000), 8000);
    const std::string b = WriteWave(dir, "b.wav", Square(80000), 8000);
    // From 14 MB up: below about 12 MB the loader or the C++ runtime itself
    // cannot start (no room to map the libraries or to raise an exception).
    for (const int megabytes : {14, 16, 20, 24, 30, 40, 50, 60, 80}) {
        for (const bool graph : {false, true}) {
            std::vector<std::string> args = {"--jobs", "2", a, b};
            if (graph) {
                args.insert(args.begin(), {"--spectrum-png", dir.File("{name}.png")});
            }
            const TRun run =
                RunCli(args, "", "prlimit --as=" + std::to_string(megabytes * 1000000));
            const std::string what = std::to_string(megabytes) + " MB" + (graph ? " graph" : "");
            EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << what << ": " << run.exitCode;
            if (run.exitCode == 1) {
                // Every out-of-memory message says "memory" (メモリ).
                EXPECT_NE(run.err.find("メモリ"), std::string::npos) << what << ": " << run.err;
            }
        }
    }
    // With room enough, both the numbers and the graphs come out.
    EXPECT_EQ(RunCli({"--spectrum-png", dir.File("{name}.png"), a, b}, "", "prlimit --as=80000000")
                  .exitCode,
              0);
}

// Sixteen jobs saving at once each give their outputs the mode an ordinary
// create gives under the process's umask: reading the umask by setting it
// would hand one thread's zero to another's files.
TEST(Cli, ManyJobsSaveEveryOutputWithTheUmasksMode) {
    TTempDir dir;
    const std::string wave = WriteWave(dir, "w.wav", Square(800), 8000);
    std::vector<std::string> args = {
        "--jobs", "16", "--csv", dir.File("out/{name}.csv"), "--smp", dir.File("out/{name}.smp")};
    std::filesystem::create_directory(dir.File("out"));
    for (int i = 0; i < 300; ++i) {
        const std::string name = dir.File("f" + std::to_string(i) + ".wav");
        std::filesystem::copy_file(wave, name);
        args.push_back(name);
    }
    const TRun run = RunCli(args, "", "umask 022;");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int outputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
        struct stat info;
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0644u) << entry.path();
        ++outputs;
    }
    EXPECT_EQ(outputs, 600);
}

// Each sampler is chosen by name and named in the report; a sample file was
// sampled before, so its report names none. The level applies only to the
// crossing samplers.
TEST(Cli, EverySamplerIsChosenByNameAndReported) {
    TTempDir dir;
    const std::string wave = WriteWave(dir, "w.wav", Square(80000), 8000);
    const std::string smp = dir.File("w.smp");
    for (const char* sampling : {"frequency", "amplitude", "fine-frequency", "pitch"}) {
        const TRun run = RunCli({"--json", "--sampling", sampling, "--smp", smp, wave});
        ASSERT_EQ(run.exitCode, 0) << sampling << ": " << run.err;
        const std::optional<TJson> report = ParseJson(run.out);
        ASSERT_TRUE(report) << run.out;
        EXPECT_EQ((*report)["sampling"].text, sampling);
        EXPECT_EQ((*report)["format"].text, "WAV") << sampling;
        // The crossing and pitch samplers give Hz, the level RMS.
        if (std::string(sampling).find("frequency") != std::string::npos ||
            std::string(sampling) == "pitch") {
            EXPECT_NE(ReadFileBytes(smp).find("\"Hz\""), std::string::npos) << sampling;
        }
    }
    const TRun loaded = RunCli({"--json", smp});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ((*ParseJson(loaded.out))["sampling"].kind, TJson::Null);
    for (const char* sampling : {"amplitude", "pitch"}) {
        EXPECT_EQ(RunCli({"--mode", "fixed", "--sampling", sampling, "--bias", "8", wave}).exitCode,
                  2)
            << sampling;
    }
    EXPECT_EQ(
        RunCli({"--mode", "fixed", "--sampling", "fine-frequency", "--bias", "8", wave}).exitCode,
        0);
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

// A recording that gives no regression line is a warning; an output asked
// for that cannot be made is a failure.
TEST(Cli, NoLineIsAWarningAndAMissingOutputAFailure) {
    struct TCase {
        std::vector<std::string> options;
        int exitCode;
        const char* written; // the output file that must exist, or ""
    };
    const std::vector<TCase> cases = {
        {{}, 0, ""},
        {{"--json"}, 0, ""},
        {{"--smp", "one.smp"}, 0, "one.smp"},
        {{"--csv", "one.csv"}, 0, "one.csv"},
        {{"--series-png", "series.png"}, 0, "series.png"},
        {{"--summary", "summary.csv"}, 0, "summary.csv"},
        {{"--spectrum-png", "spectrum.png"}, 1, ""},
        {{"--csv", "one.csv", "--spectrum-png", "spectrum.png"}, 1, "one.csv"},
    };
    for (const TCase& test : cases) {
        TTempDir dir;
        WriteWave(dir, "one.wav", std::vector<double>(100, 0.0), 8000);
        std::vector<std::string> args = test.options;
        args.push_back("one.wav");
        TRun run = RunCli(args, dir.Path());
        const std::string shown = test.options.empty() ? "no output" : test.options[0];
        EXPECT_EQ(run.exitCode, test.exitCode) << shown << ": " << run.err;
        EXPECT_NE(run.out.find("one.wav"), std::string::npos) << shown << ": still reported";
        if (*test.written) {
            EXPECT_TRUE(FileExists(dir.File(test.written))) << shown;
        }
        EXPECT_FALSE(FileExists(dir.File("spectrum.png"))) << shown;
    }
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

// Processes appending to one file must each add whole lines: every report
// line goes out in one write, also one longer than the standard library's
// output buffer (a failed file whose long name the line repeats).
TEST(Cli, EachReportLineGoesOutInOneWrite) {
    TTempDir dir;
    const std::string good = WriteWave(dir, "good.wav", Square(16000), 8000);
    std::string longName;
    for (int i = 0; i < 60; ++i) {
        longName += std::string(200, 'x') + "/";
    }
    const std::string missing = dir.File(longName + "gone.wav");
    for (const char* jobs : {"1", "3"}) {
        const std::vector<std::string> writes =
            OutputWrites({"--jobs", jobs, "--json", missing, good, missing});
        ASSERT_EQ(writes.size(), 3u) << jobs;
        EXPECT_GT(writes[0].size(), 10000u);
        for (const std::string& write : writes) {
            EXPECT_EQ(std::count(write.begin(), write.end(), '\n'), 1);
            EXPECT_EQ(write.back(), '\n');
            EXPECT_TRUE(ParseJson(write)) << write.substr(0, 200);
        }
        EXPECT_EQ((*ParseJson(writes[1]))["file"].text, good);
    }
    const std::vector<std::string> plain = OutputWrites({good, good});
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0].rfind(good + ": count=80 ", 0), 0u) << plain[0];
    EXPECT_EQ(plain[0], plain[1]);
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

    // Without --series-size the graph has the size the sampling window shows.
    std::string shown = dir.File("shown.png");
    run = RunCli({"--series-png", shown, wave});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(size(ReadFileBytes(shown)), std::make_pair(800u, 320u));
}

namespace {

// A minute of a tone whose loudness follows 1/f noise, at 8000 Hz.
std::string PinkTone(const TTempDir& dir, const std::string& name, uint32_t seed,
                     double seconds = 60) {
    return WriteWave(dir, name, FluctuatingTone(seconds, 8000, 440, 1.0, 20, seed), 8000);
}

// The fields of one CSV row, quotes undone.
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<TJson> JsonLines(const TRun& run) {
    std::optional<std::vector<TJson>> lines = ParseJsonLines(run.out);
    EXPECT_TRUE(lines) << run.out;
    return lines.value_or(std::vector<TJson>{});
}

} // namespace

TEST(CliTrust, JsonCarriesTheFitQualityBesideLambdaAndThePlainLineItsError) {
    TTempDir dir;
    std::string pink = PinkTone(dir, "pink.wav", 21);
    TRun run = RunCli({"--sampling", "amplitude", "--json", pink});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<TJson> lines = JsonLines(run);
    ASSERT_EQ(lines.size(), 1u);
    const TJson& report = lines[0];
    const double lambda = report["lambda"].number;
    ASSERT_EQ(report["lambda_se"].kind, TJson::Number) << run.out;
    EXPECT_GT(report["lambda_se"].number, 0.0);
    ASSERT_EQ(report["lambda_ci95"].items.size(), 2u) << run.out;
    EXPECT_LT(report["lambda_ci95"].items[0].number, lambda);
    EXPECT_GT(report["lambda_ci95"].items[1].number, lambda);
    // Symmetric about lambda, t(0.975, k - 2) standard errors either side.
    EXPECT_NEAR(report["lambda_ci95"].items[0].number + report["lambda_ci95"].items[1].number,
                2 * lambda, 1e-12);
    EXPECT_GT(report["r2"].number, 0.5);
    EXPECT_LE(report["r2"].number, 1.0);
    EXPECT_EQ(report["lambda_mean_removed"].kind, TJson::Number);
    EXPECT_NEAR(report["lambda_mean_removed"].number, 1.0, 0.4);
    EXPECT_NEAR(report["beta_dfa"].number, 2 * report["dfa_alpha"].number - 1, 1e-12);
    EXPECT_NEAR(report["beta_dfa"].number, 1.0, 0.3);
    EXPECT_EQ(report["warnings"].kind, TJson::Array);
    EXPECT_FALSE(report.Has("surrogate_mean")) << "only with --surrogates";
    // One object per line: the fields never break the line.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);

    // The plain line: the drawn text, then "± SE" to three decimals.
    TRun plain = RunCli({"--sampling", "amplitude", pink});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const std::string tail =
        report["lambdaText"].text + " ± " + FormatFixed(report["lambda_se"].number, 3) + "\n";
    ASSERT_GE(plain.out.size(), tail.size());
    EXPECT_EQ(plain.out.substr(plain.out.size() - tail.size()), tail) << plain.out;
}

TEST(CliTrust, ShortRecordingsGiveNullsAndWarningsNotZeros) {
    TTempDir dir;
    // 100 windows: too few for DFA's four scales.
    std::string shortWave = PinkTone(dir, "short.wav", 5, 2.5);
    std::string silent = WriteWave(dir, "one.wav", std::vector<double>(100, 0.0), 8000);
    TRun run = RunCli({"--json", shortWave, silent});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<TJson> lines = JsonLines(run);
    ASSERT_EQ(lines.size(), 2u);
    auto hasWarning = [](const TJson& report, const std::string& code) {
        for (const TJson& w : report["warnings"].items) {
            if (w["code"].text == code && !w["text"].text.empty()) {
                return true;
            }
        }
        return false;
    };
    EXPECT_EQ(lines[0]["dfa_alpha"].kind, TJson::Null);
    EXPECT_EQ(lines[0]["beta_dfa"].kind, TJson::Null);
    EXPECT_TRUE(hasWarning(lines[0], "too_short_for_dfa")) << run.out;
    // One window: no groups, so no line, no fit quality, no mean-removed lambda.
    for (const char* key :
         {"lambda", "lambda_se", "lambda_ci95", "r2", "lambda_mean_removed", "beta_dfa"}) {
        ASSERT_TRUE(lines[1].Has(key)) << key;
        EXPECT_EQ(lines[1][key].kind, TJson::Null) << key;
    }
    EXPECT_TRUE(hasWarning(lines[1], "few_groups"));
    EXPECT_TRUE(hasWarning(lines[1], "too_short_for_dfa"));

    // A silent minute: windows enough, but no power to fit a line to.
    std::string quiet = WriteWave(dir, "quiet.wav", std::vector<double>(8000 * 60, 0.0), 8000);
    TRun silentRun = RunCli({"--json", "--sampling", "amplitude", quiet});
    ASSERT_EQ(silentRun.exitCode, 0) << silentRun.err;
    std::vector<TJson> silentLines = JsonLines(silentRun);
    ASSERT_EQ(silentLines.size(), 1u);
    EXPECT_EQ(silentLines[0]["lambda"].kind, TJson::Null);
    EXPECT_TRUE(hasWarning(silentLines[0], "silent_spectrum")) << silentRun.out;
}

TEST(CliTrust, AFileShorterThanItsHeaderIsAnalysedWithAWarning) {
    TTempDir dir;
    std::string wave = PinkTone(dir, "cut.wav", 7, 10);
    std::string bytes = ReadFileBytes(wave);
    // 10 s at 8000 Hz, 16-bit mono: keep the header and 40000 of 80000 frames.
    WriteFileBytes(wave, bytes.substr(0, 44 + 80000));
    TRun run = RunCli({"--json", "--sampling", "amplitude", wave});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("{\"code\":\"short_data\",\"text\":\"" +
                           TrSubst("the file holds %s of %s frames its header declares",
                                   {"40000", "80000"}) +
                           "\"}"),
              std::string::npos)
        << run.out;
}

TEST(CliTrust, OnlySeriesBeyondTheGridAreDecimatedAndSaySo) {
    TTempDir dir;
    for (int count : {262144, 300000}) {
        std::string smp = dir.File("long" + std::to_string(count) + ".smp");
        std::string text =
            kSampleTitle + "0.025000," + std::to_string(count) + ",\"RMS\"\r\n\"Samples\"\r\n";
        for (int i = 0; i < count; ++i) {
            text += (i % 2 ? "1\r\n" : "0.5\r\n");
        }
        WriteFileBytes(smp, text);
        TRun run = RunCli({"--json", smp});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const bool warned = run.out.find("{\"code\":\"decimated\",\"text\":\"" +
                                         TrSubst("series of %s values decimated to %s with an "
                                                 "anti-alias filter",
                                                 {"300000", "262144"}) +
                                         "\"}") != std::string::npos;
        EXPECT_EQ(warned, count > 262144) << run.out;
    }
}

namespace {

// The Latin-1 characters of a UTF-8 text as bytes.
std::string Latin1Bytes(const std::string& utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
        } else {
            bytes += static_cast<char>(c);
        }
    }
    return bytes;
}

} // namespace

// Any name a file system allows gives one valid JSON line and one plain line,
// and the exact bytes of a name that is not UTF-8 can be read back.
TEST(CliNames, NamesThatAreNotUtf8OrHoldControlCharactersStayOneLine) {
    struct TCase {
        std::string name;
        std::string shownFile;  // "file" in the JSON line
        bool bytesField;        // whether "file_bytes" is there
        std::string plainStart; // the plain line starts with this
    };
    const std::vector<TCase> cases = {
        {"caf\xe9.wav", "caf\xef\xbf\xbd.wav", true, "caf\xe9.wav: count="},
        {"\xc3\xa9t\xc3\xa9.wav", "\xc3\xa9t\xc3\xa9.wav", false, "\xc3\xa9t\xc3\xa9.wav: count="},
        {"\xed\xa0\x80\xc0\xaf.wav",
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.wav", true,
         "\xed\xa0\x80\xc0\xaf.wav: count="},
        {"two\nlines.wav", "two\nlines.wav", false, "two\\nlines.wav: count="},
        {"tab\tand\x01.wav", "tab\tand\x01.wav", false, "tab\\tand\\x01.wav: count="},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.plainStart);
        TTempDir dir;
        WriteWave(dir, test.name, Square(16000), 8000);
        TRun plain = RunCli({test.name}, dir.Path());
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 1) << plain.out;
        EXPECT_EQ(plain.out.rfind(test.plainStart, 0), 0u) << plain.out;

        TRun json = RunCli({"--json", test.name}, dir.Path());
        ASSERT_EQ(json.exitCode, 0) << json.err;
        EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1) << json.out;
        std::vector<TJson> lines = JsonLines(json);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["file"].text, test.shownFile);
        EXPECT_EQ(lines[0].Has("file_bytes"), test.bytesField);
        if (test.bytesField) {
            EXPECT_EQ(Latin1Bytes(lines[0]["file_bytes"].text), test.name);
        }
    }
}

// A spreadsheet runs a field starting with =, +, - or @ as a formula; the
// summary keeps such names text.
TEST(CliNames, SummaryNamesNeverReadAsFormulas) {
    TTempDir dir;
    const std::vector<std::pair<std::string, std::string>> names = {
        {"=1+2.wav", "\"'=1+2.wav\""},
        {"+x.wav", "\"'+x.wav\""},
        {"-x.wav", "\"'-x.wav\""},
        {"@SUM(A1).wav", "\"'@SUM(A1).wav\""},
        {"=\"q\",x.wav", "\"'=\"\"q\"\",x.wav\""},
        {"plain.wav", "plain.wav"},
    };
    std::vector<std::string> args = {"--summary", "summary.csv", "--"};
    for (const auto& [name, field] : names) {
        WriteWave(dir, name, Square(16000), 8000);
        args.push_back(name);
    }
    TRun run = RunCli(args, dir.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string csv = ReadFileBytes(dir.File("summary.csv"));
    std::size_t row = csv.find("\r\n") + 2;
    for (const auto& [name, field] : names) {
        EXPECT_EQ(csv.compare(row, field.size() + 1, field + ","), 0) << csv.substr(row, 40);
        row = csv.find("\r\n", row) + 2;
    }
}

TEST(CliTrust, ShuffledCopiesAreReproducibleBySeedAndIndependentOfJobs) {
    TTempDir dir;
    std::vector<std::string> files = {PinkTone(dir, "a.wav", 31, 30),
                                      PinkTone(dir, "b.wav", 32, 20)};
    auto run = [&](const std::string& jobs, const std::string& seed) {
        std::vector<std::string> args = {"--sampling",   "amplitude", "--json",
                                         "--surrogates", "24",        "--seed",
                                         seed,           "--jobs",    jobs};
        args.insert(args.end(), files.begin(), files.end());
        return RunCli(args);
    };
    TRun one = run("1", "5");
    TRun two = run("2", "5");
    TRun again = run("2", "5");
    TRun other = run("2", "6");
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, two.out);
    EXPECT_EQ(two.out, again.out);
    EXPECT_NE(one.out, other.out);
    std::vector<TJson> lines = JsonLines(one);
    ASSERT_EQ(lines.size(), 2u);
    for (const TJson& report : lines) {
        // No order at all: far below the 1/f tone's lambda, which ranks first.
        EXPECT_LT(report["surrogate_mean"].number, report["lambda"].number - 0.3) << one.out;
        EXPECT_GT(report["surrogate_sd"].number, 0.0);
        EXPECT_DOUBLE_EQ(report["surrogate_p"].number, 1.0 / 25);
    }
    // The same with one file and two jobs: the copies then share the threads.
    TRun single1 = RunCli({"--sampling", "amplitude", "--json", "--surrogates", "24", "--seed", "5",
                           "--jobs", "1", files[0]});
    TRun single2 = RunCli({"--sampling", "amplitude", "--json", "--surrogates", "24", "--seed", "5",
                           "--jobs", "2", files[0]});
    EXPECT_EQ(single1.out, single2.out);
    EXPECT_EQ(single1.out, one.out.substr(0, one.out.find('\n') + 1));
}

TEST(CliTrust, SummaryHasOneRowPerFileWithTheSettings) {
    TTempDir dir;
    std::string pink = PinkTone(dir, "pink, \"quoted\".wav", 41, 20);
    std::string missing = dir.File("missing.wav");
    std::string summary = dir.File("summary.csv");
    TRun run = RunCli({"--mode", "fixed", "--sampling", "amplitude", "--period-ms", "10",
                       "--summary", summary, "--json", pink, missing});
    EXPECT_EQ(run.exitCode, 1);
    std::string csv = ReadFileBytes(summary);
    std::vector<std::string> rows;
    for (std::size_t at = 0; at < csv.size();) {
        std::size_t end = csv.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "rows end in CR LF";
        rows.push_back(csv.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(rows.size(), 3u) << csv;
    EXPECT_EQ(rows[0], "file,ok,count,period,N,binCount,groups,lambda,lambda_se,lambda_ci95_low,"
                       "lambda_ci95_high,r2,lambda_mean_removed,dfa_alpha,beta_dfa,surrogate_mean,"
                       "surrogate_sd,surrogate_p,warnings,mode,sampling,period_ms,bias,window,"
                       "band_upper,band_lower,surrogates,seed,format,encoding,channels,sample_rate,"
                       "warning_codes");
    // The name with a comma and quotes is quoted, its quotes doubled.
    std::string quotedName = "\"" + dir.File("pink, \"\"quoted\"\".wav") + "\",";
    ASSERT_EQ(rows[1].rfind(quotedName, 0), 0u) << rows[1];
    std::vector<std::string> fields = CsvFields(rows[1]);
    ASSERT_EQ(fields.size(), 33u) << rows[1];
    EXPECT_EQ(fields[0], dir.File("pink, \"quoted\".wav"));
    fields.erase(fields.begin());
    const TJson report = JsonLines(run)[0];
    EXPECT_EQ(fields[0], "true");
    EXPECT_EQ(fields[1], "2000");
    EXPECT_EQ(fields[2], "0.01");
    // The same doubles as in the JSON, with "." decimals.
    EXPECT_EQ(std::strtod(fields[6].c_str(), nullptr), report["lambda"].number);
    EXPECT_EQ(std::strtod(fields[7].c_str(), nullptr), report["lambda_se"].number);
    EXPECT_EQ(std::strtod(fields[13].c_str(), nullptr), report["beta_dfa"].number);
    EXPECT_EQ(fields[14], "") << "no surrogates asked for";
    EXPECT_EQ(
        std::vector<std::string>(fields.begin() + 18, fields.end()),
        (std::vector<std::string>{"fixed", "amplitude", "10", "", "hamming", "0", "-40", "0", "1",
                                  "WAV", "PCM 16-bit", "1", "8000", "band_holds_bin_one"}));
    EXPECT_EQ(rows[2].rfind(missing + ",false,0,", 0), 0u) << rows[2];
    EXPECT_EQ(rows[2].substr(rows[2].size() - 5), ",,,,,") << "no input format for a missing file";
}

TEST(CliTrust, AFailedSummaryWriteKeepsTheOldFile) {
    TTempDir dir;
    std::string pink = PinkTone(dir, "pink.wav", 43, 10);
    std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    const std::string summary = mountPoint + "/summary.csv";
    WriteFileBytes(summary, "old summary\r\n");
    // Fill the rest of the file system.
    WriteFileBytes(mountPoint + "/filler", std::string(60 * 1024, 'x'));
    TRun run = RunCli({"--summary", summary, pink});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Tr("cannot write the summary")), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("λ = "), std::string::npos) << "the analysis itself is reported";
    EXPECT_EQ(ReadFileBytes(summary), "old summary\r\n");
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(mountPoint)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "no temporary file is left behind";
    ::umount(mountPoint.c_str());
}

namespace {

// Fills the file system holding `folder` to the last byte.
void FillFileSystem(const std::string& folder) {
    FILE* filler = std::fopen((folder + "/filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::string block(512, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    }
    while (std::fputc('x', filler) != EOF) {
    }
    std::fclose(filler);
}

} // namespace

// A sample, spectrum or graph save on a full volume is reported, exits 1 and
// leaves the file saved before byte for byte as it was.
TEST(CliSaves, FailedSavesOnAFullVolumeKeepThePreviousFiles) {
    TTempDir dir;
    std::string pink = PinkTone(dir, "pink.wav", 44, 20);
    std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    const std::vector<std::pair<std::string, std::string>> saves = {
        {"--smp", mountPoint + "/song.smp"},
        {"--csv", mountPoint + "/song.csv"},
        {"--spectrum-png", mountPoint + "/song.png"},
    };
    for (const auto& [option, path] : saves) {
        WriteFileBytes(path, "saved before " + option + "\r\n");
    }
    FillFileSystem(mountPoint);
    for (const auto& [option, path] : saves) {
        TRun run = RunCli({option, path, pink});
        EXPECT_EQ(run.exitCode, 1) << option;
        EXPECT_NE(run.err.find("ファイルの保存に失敗しました。"), std::string::npos)
            << option << ": " << run.err;
        EXPECT_EQ(ReadFileBytes(path), "saved before " + option + "\r\n") << option;
    }
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(mountPoint)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 4) << "no temporary file is left behind";
    ::umount(mountPoint.c_str());
}

namespace {

// The exit status of a shell command line.
int ShellStatus(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// A report that cannot be written to the standard output is a failure, for
// the results, the usage text and the version alike.
TEST(CliStreams, AFailedStandardOutputExitsOne) {
    TTempDir dir;
    const std::string good = WriteWave(dir, "good.wav", Square(16000), 8000);
    const std::string cli = Quote(ZM_CLI_PATH);
    const std::string err = " 2>" + Quote(dir.File("err"));
    const std::vector<std::string> commands = {
        cli + " --json " + Quote(good) + " >/dev/full",
        cli + " " + Quote(good) + " >/dev/full",
        cli + " --help >/dev/full",
        cli + " --version >/dev/full",
    };
    for (const std::string& command : commands) {
        EXPECT_EQ(ShellStatus(command + err), 1) << command;
        EXPECT_NE(
            ReadFileBytes(dir.File("err"))
                .find(TrSubst("cannot write the standard output: %s", {ErrnoMessage(ENOSPC)})),
            std::string::npos)
            << command;
    }
    EXPECT_EQ(ShellStatus(cli + " --json " + Quote(good) + " >/dev/null" + err), 0);

    std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    FillFileSystem(mountPoint);
    EXPECT_EQ(ShellStatus(cli + " --json " + Quote(good) + " >" + Quote(mountPoint + "/out") + err),
              1);
    ::umount(mountPoint.c_str());
}

// Started with its standard output or error closed, the program must not
// let its files take those numbers: report lines and messages would end up
// inside the saved files.
TEST(CliStreams, ClosedStandardDescriptorsKeepReportsOutOfTheFiles) {
    TTempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(
            WriteWave(dir, "tone" + std::to_string(i) + ".wav", Square(16000 + 800 * i), 8000));
    }
    std::string command = "cd " + Quote(dir.Path()) + " && " + Quote(ZM_CLI_PATH) +
                          " --jobs 1 --smp 'out/{name}.smp' --csv 'out/{name}.csv'"
                          " --spectrum-png 'out/{name}.png'";
    // A missing file after each recording: its message is printed while the
    // next recording's files are being written.
    for (std::size_t i = 0; i < files.size(); ++i) {
        command += " " + Quote(files[i]) + " missing" + std::to_string(i) + ".wav";
    }
    std::filesystem::create_directory(dir.File("out"));
    for (const char* closing : {" >&-", " 2>&-", " >&- 2>&-", " <&- >&- 2>&-"}) {
        EXPECT_EQ(ShellStatus(command + closing), 1) << closing << ": the missing files fail";
        for (int i = 0; i < 4; ++i) {
            for (const char* ext : {".smp", ".csv", ".png"}) {
                std::string bytes = ReadFileBytes(dir.File("out/tone" + std::to_string(i) + ext));
                EXPECT_FALSE(bytes.empty()) << closing << ext;
                for (const char* report : {"count=", "zittermark-cli", "missing"}) {
                    EXPECT_EQ(bytes.find(report), std::string::npos) << closing << ext;
                }
            }
        }
    }
}

// Many recordings shared out by GNU parallel: each job's JSON line arrives
// whole, so the merged output reads back as JSON Lines with one object per
// recording, the same as a run of each file alone.
TEST(CliBatch, GnuParallelOutputsMergeIntoJsonLines) {
    if (std::system("parallel --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "GNU parallel is not installed";
    }
    TTempDir dir;
    std::vector<std::string> files;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        files.push_back(PinkTone(dir, "tone" + std::to_string(seed) + ".wav", 60 + seed, 8));
    }
    // Two "machines", each taking half of the files, their outputs joined
    // with cat.
    std::string command;
    for (int half = 0; half < 2; ++half) {
        command += "parallel --will-cite -j 2 " + Quote(ZM_CLI_PATH) +
                   " --json --sampling amplitude ::: " + Quote(files[2 * half]) + " " +
                   Quote(files[2 * half + 1]) + " >" +
                   Quote(dir.File("part" + std::to_string(half))) + " && ";
    }
    command += "cat " + Quote(dir.File("part0")) + " " + Quote(dir.File("part1")) + " >" +
               Quote(dir.File("merged.jsonl"));
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::optional<std::vector<TJson>> lines =
        ParseJsonLines(ReadFileBytes(dir.File("merged.jsonl")));
    ASSERT_TRUE(lines.has_value()) << ReadFileBytes(dir.File("merged.jsonl"));
    ASSERT_EQ(lines->size(), files.size());
    std::map<std::string, double> lambdas;
    for (const TJson& line : *lines) {
        ASSERT_TRUE(line["ok"].boolean) << line["file"].text;
        lambdas[line["file"].text] = line["lambda"].number;
    }
    ASSERT_EQ(lambdas.size(), files.size()) << "every recording once";
    for (const std::string& file : files) {
        ASSERT_EQ(lambdas.count(file), 1u) << file;
        TRun alone = RunCli({"--json", "--sampling", "amplitude", file});
        std::optional<TJson> report = ParseJson(alone.out);
        ASSERT_TRUE(report.has_value()) << alone.out;
        EXPECT_EQ((*report)["lambda"].number, lambdas[file]) << file;
    }
}

// ---------------------------------------------------------------------------
// Inputs in every audio format the decoder reads

namespace {

struct TFormatCase {
    const char* name;
    int format;
    int sampleRateHz;
    bool lossless;
    const char* container;
    const char* encoding;
};

// The JSON report, .smp and .csv bytes of one run.
struct TFormatRun {
    TJson report;
    std::string smp;
    std::string csv;
};

TFormatRun RunOn(const TTempDir& dir, const std::string& input, const std::string& sampling) {
    const std::string smp = dir.File("out.smp");
    const std::string csv = dir.File("out.csv");
    TRun run = RunCli({"--json", "--sampling", sampling, "--smp", smp, "--csv", csv, input});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<TJson> lines = JsonLines(run);
    EXPECT_EQ(lines.size(), 1u) << run.out;
    return {lines.empty() ? TJson() : lines[0], ReadFileBytes(smp), ReadFileBytes(csv)};
}

// A 1/f fluctuation between -1 and 1 on a grid of 200 points per second: a
// sum of cosines at the multiples of 1/seconds up to 20 Hz with amplitudes
// f^-1/2 and random phases.
std::vector<double> PinkWander(double seconds, uint32_t seed) {
    std::vector<double> wander(static_cast<std::size_t>(seconds * 200) + 2, 0.0);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * M_PI);
    for (int k = 1; k <= static_cast<int>(20 * seconds); ++k) {
        const double f = k / seconds;
        const double p = phase(random);
        for (std::size_t j = 0; j < wander.size(); ++j) {
            wander[j] +=
                std::cos(2.0 * M_PI * f * static_cast<double>(j) / 200.0 + p) / std::sqrt(f);
        }
    }
    const auto [lo, hi] = std::minmax_element(wander.begin(), wander.end());
    const double low = *lo;
    const double range = *hi - *lo;
    for (double& v : wander) {
        v = 2.0 * (v - low) / range - 1.0;
    }
    return wander;
}

// A tone whose pitch (around 440 Hz, a fifth up or down) and loudness both
// wander as 1/f noise, so both samplers find a fluctuation to fit.
std::vector<int32_t> WanderingTone(double seconds, int sampleRateHz) {
    const std::vector<double> pitch = PinkWander(seconds, 61);
    const std::vector<double> level = PinkWander(seconds, 62);
    std::vector<double> signal(static_cast<std::size_t>(seconds * sampleRateHz));
    double phase = 0.0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const std::size_t j = i * 200 / static_cast<std::size_t>(sampleRateHz);
        phase += 2.0 * M_PI * 440.0 * std::pow(1.5, pitch[j]) / sampleRateHz;
        signal[i] = (0.45 + 0.4 * level[j]) * std::sin(phase);
    }
    return ToPcm16(signal);
}

class CliAudioFormat : public ::testing::TestWithParam<TFormatCase> {};

} // namespace

TEST_P(CliAudioFormat, GivesTheNumbersOfThePcmWav) {
    const TFormatCase& c = GetParam();
    TTempDir dir;
    const std::vector<int32_t> audio = WanderingTone(40.0, c.sampleRateHz);
    TWavBuilder builder;
    builder.sampleRate = static_cast<uint32_t>(c.sampleRateHz);
    const std::string wav = dir.File("reference.wav");
    WriteFileBytes(wav, builder.Build(audio));
    const std::string converted = dir.File(std::string("converted.") + c.name);
    ASSERT_EQ(WriteSound16(converted, c.format, c.sampleRateHz, 1, audio), "");

    for (const std::string sampling : {"frequency", "amplitude"}) {
        const TFormatRun expected = RunOn(dir, wav, sampling);
        const TFormatRun got = RunOn(dir, converted, sampling);
        EXPECT_EQ(got.report["format"].text, c.container);
        EXPECT_EQ(got.report["encoding"].text, c.encoding);
        EXPECT_EQ(got.report["channels"].number, 1);
        EXPECT_EQ(got.report["sample_rate"].number, c.sampleRateHz);
        ASSERT_EQ(got.report["lambda"].kind, TJson::Number) << sampling;
        if (c.lossless) {
            for (const char* key : {"count", "N", "groups", "lambda"}) {
                EXPECT_EQ(got.report[key].number, expected.report[key].number) << key;
            }
            EXPECT_EQ(got.smp, expected.smp) << sampling;
            EXPECT_EQ(got.csv, expected.csv) << sampling;
        } else {
            EXPECT_NEAR(got.report["lambda"].number, expected.report["lambda"].number, 0.05)
                << sampling;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CliAudioFormat,
    ::testing::Values(
        TFormatCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, true, "FLAC", "PCM 16-bit"},
        TFormatCase{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, true, "AIFF", "PCM 16-bit"},
        TFormatCase{"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, true, "WAV",
                    "float 32-bit"},
        TFormatCase{"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100, true, "WAV",
                    "PCM 32-bit"},
        TFormatCase{"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 44100, true, "W64", "PCM 16-bit"},
        TFormatCase{"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 44100, true, "RF64", "PCM 16-bit"},
        TFormatCase{"caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 44100, true, "CAF", "PCM 16-bit"},
        TFormatCase{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, false, "MPEG", "MP3"},
        TFormatCase{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, false, "Ogg", "Vorbis"},
        TFormatCase{"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, false, "Ogg", "Opus"}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

// The messages follow the locale by gettext's rules, and --language overrides
// it either way.
TEST(CliLanguage, MessagesFollowTheLocaleAndTheLanguageOption) {
    const std::string japanese = "WAVファイルが見つかりません。";
    const std::string english = "The WAV file cannot be found.";
    struct TCase {
        const char* environment;
        std::vector<std::string> options;
        std::string expected;
        std::string usage; // the first words of --help
    };
    const TCase cases[] = {
        {"LANG=en_US.UTF-8", {}, english, "Usage:"},
        {"LANG=en_GB.UTF-8", {}, english, "Usage:"},
        {"LANG=ja_JP.UTF-8", {}, japanese, "使い方:"},
        {"LANG=C", {}, japanese, "使い方:"},
        {"LANG=de_DE.UTF-8", {}, japanese, "使い方:"},
        {"", {}, japanese, "使い方:"},
        {"LANG=de_DE.UTF-8 LANGUAGE=fr:en", {}, english, "Usage:"},
        {"LC_ALL=C LANGUAGE=en", {}, japanese, "使い方:"}, // C ignores LANGUAGE
        {"LANG=ja_JP.UTF-8 LC_MESSAGES=en_US.UTF-8", {}, english, "Usage:"},
        {"LANG=en_US.UTF-8", {"--language", "ja"}, japanese, "使い方:"},
        {"LANG=C", {"--language", "en"}, english, "Usage:"},
    };
    const std::string cli = Quote(ZM_CLI_PATH);
    TTempDir dir;
    for (const TCase& c : cases) {
        std::string options;
        for (const std::string& option : c.options) {
            options += " " + option;
        }
        const std::string run = "env -u LC_ALL -u LC_MESSAGES -u LANG -u LANGUAGE " +
                                std::string(c.environment) + " " + cli + options;
        EXPECT_EQ(ShellStatus(run + " /nonexistent.wav 2>" + Quote(dir.File("err"))), 1);
        const std::string err = ReadFileBytes(dir.File("err"));
        EXPECT_NE(err.find("/nonexistent.wav: " + c.expected + " "), std::string::npos)
            << c.environment << options << ": " << err;
        EXPECT_EQ(ShellStatus(run + " --help >" + Quote(dir.File("out"))), 0);
        EXPECT_EQ(ReadFileBytes(dir.File("out")).rfind(c.usage, 0), 0u) << c.environment << options;
    }
    EXPECT_EQ(ShellStatus(cli + " --language fr x.wav 2>/dev/null"), 2);
}

// What is saved does not depend on the language of the run.
TEST(CliLanguage, SavedFilesAreTheSameBytesInBothLanguages) {
    TTempDir dir;
    const std::string pink = PinkTone(dir, "pink.wav", 5, 10);
    std::map<std::string, std::string> first;
    for (const char* language : {"ja", "en"}) {
        const std::string prefix = dir.File(language);
        TRun run = RunCli({"--language", language, "--sampling", "amplitude", "--smp",
                           prefix + ".smp", "--csv", prefix + ".csv", "--spectrum-png",
                           prefix + "-spectrum.png", "--series-png", prefix + "-series.png", pink});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const char* suffix : {".smp", ".csv", "-spectrum.png", "-series.png"}) {
            const std::string bytes = ReadFileBytes(prefix + suffix);
            ASSERT_FALSE(bytes.empty()) << suffix;
            auto [at, added] = first.emplace(suffix, bytes);
            EXPECT_TRUE(added || at->second == bytes) << suffix << " differs in " << language;
        }
    }
}
