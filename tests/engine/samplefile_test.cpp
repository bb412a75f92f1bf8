#include <cerrno>
#include <climits>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/messagebox.h"
#include "base/safefile.h"
#include "engine/waveanalyze.h"
#include "examples/signals.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"

namespace {

const char* const kOpenFailed = "ファイルのオープンに失敗しました。";
const char* const kBadFormat = "ファイルの形式が正しくありません。";
const char* const kCountMismatch = "サンプルの数が一致しません。";
const char* const kBadFormatLine2 = "ファイルの形式が正しくありません。(2行目)";
const char* const kBadFormatLine4 = "ファイルの形式が正しくありません。(4行目)";
const char* const kBadFormatLine5 = "ファイルの形式が正しくありません。(5行目)";
const char* const kTitleUtf8 = "\"サンプリング周期(sec)\",\"サンプル数\",\"単位\"";

// The C library's converter, as an independent source of the CP932 bytes.
std::string Cp932(const std::string& utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("no CP932 converter");
    }
    std::string in = utf8;
    std::string out(in.size() * 2 + 8, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t fromLeft = in.size();
    std::size_t toLeft = out.size();
    std::size_t result = iconv(converter, &from, &fromLeft, &to, &toLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("cannot convert to CP932");
    }
    out.resize(out.size() - toLeft);
    return out;
}

void SetSeries(TWaveAnalyze& series, const std::vector<double>& values, double period,
               const std::string& unit) {
    series.values = std::make_unique<double[]>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        series.values[i] = values[i];
    }
    series.count = static_cast<int>(values.size());
    series.period = period;
    series.SetUnit(unit);
}

std::vector<double> Values(const TWaveAnalyze& series) {
    return std::vector<double>(series.values.get(), series.values.get() + series.count);
}

std::string Title() {
    return Cp932(kTitleUtf8) + "\r\n";
}

// The example series: 1, 2.5 and 1000 every 25 ms in hertz.
const char* const kExampleBody =
    "0.025000,3,\"Hz\"\r\n\"Samples\"\r\n1.000000000\r\n2.500000000\r\n1000.000000000\r\n";

// The format message naming the line and what is wrong there.
const char* const kTitle = "見出し「サンプリング周期」がありません";
const char* const kFields = "周期、サンプル数、単位の3項目が必要です";
const char* const kPeriod = "サンプリング周期";
const char* const kCount = "サンプル数";
const char* const kCountSize = "サンプル数がファイルの大きさを超えています";
const char* const kSamples = "見出し「Samples」がありません";
const char* const kValue = "サンプル値";
std::string Fault(int line, const char* field) {
    return std::string(kBadFormat) + "(" + std::to_string(line) + "行目、" + field + ")";
}

} // namespace

// ---------------------------------------------------------------------------
// Writing

TEST(SampleFileSave, WritesTheExactBytes) {
    TWaveAnalyze series;
    SetSeries(series, {1.0, 2.5, 1000.0}, 0.025, "Hz");
    TTempDir dir;
    std::string path = dir.File("a.smp");
    ASSERT_TRUE(series.SaveToFile(path));
    const std::string expected = Title() + kExampleBody;
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(series.SampleFileText(), expected);
    EXPECT_EQ(Cp932(kTitleUtf8).size(), 43u);
}

TEST(SampleFileSave, EmptyUnitAndEmptySeries) {
    TWaveAnalyze series;
    SetSeries(series, {}, 0.024988662131519273, "");
    EXPECT_EQ(series.SampleFileText(), Title() + "0.024989,0,\"\"\r\n\"Samples\"\r\n");
}

TEST(SampleFileSave, ValuesAreRoundedToNineDecimals) {
    TWaveAnalyze series;
    SetSeries(series, {20.00907441016334, -0.0000000004, 1e-10, 123456789.0123456789}, 0.5, "RMS");
    EXPECT_EQ(series.SampleFileText(), Title() + "0.500000,4,\"RMS\"\r\n\"Samples\"\r\n"
                                                 "20.009074410\r\n-0.000000000\r\n0.000000000\r\n"
                                                 "123456789.012345672\r\n");
}

TEST(SampleFileSave, FailedWriteKeepsTheOldFile) {
    TTempDir dir;
    std::string path = dir.File("keep.smp");
    TWaveAnalyze old;
    SetSeries(old, {1.0}, 0.025, "Hz");
    ASSERT_TRUE(old.SaveToFile(path));
    const std::string before = ReadFileBytes(path);

    TWaveAnalyze series;
    SetSeries(series, std::vector<double>(1000, 3.0), 0.01, "RMS");
    SetWriteHook([](int, const void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
    });
    const bool saved = series.SaveToFile(path);
    SetWriteHook(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST(SampleFileSave, UnitIsWrittenInCp932WhereItCanBe) {
    struct TCase {
        const char* unit;
        std::string written;
    };
    for (const TCase& c : {TCase{"ヘルツ", Cp932("ヘルツ")}, TCase{"Hz", "Hz"},
                           TCase{"Hz\xF0\x9F\x98\x80", "Hz\xF0\x9F\x98\x80"}}) {
        TWaveAnalyze series;
        SetSeries(series, {1.0}, 0.5, c.unit);
        const std::string text = series.SampleFileText();
        EXPECT_NE(text.find("0.500000,1,\"" + c.written + "\"\r\n"), std::string::npos) << c.unit;
        std::istringstream in(text);
        TWaveAnalyze loaded;
        ASSERT_TRUE(loaded.LoadFromStream(in, text.size())) << c.unit;
        EXPECT_EQ(loaded.unit, c.unit);
    }
}

TEST(SampleFileSave, PeriodThatWouldBeWrittenAsZeroIsRefused) {
    struct TCase {
        double period;
        bool saved;
    };
    for (const TCase& c :
         {TCase{4.9e-7, false}, TCase{1e-12, false}, TCase{5.1e-7, true}, TCase{1e-6, true}}) {
        TWaveAnalyze series;
        SetSeries(series, {1.0, 2.0}, c.period, "Hz");
        TTempDir dir;
        std::string path = dir.File("a.smp");
        std::string problem;
        EXPECT_EQ(series.SaveToFile(path, &problem), c.saved) << c.period;
        EXPECT_EQ(problem.empty(), c.saved) << c.period;
        EXPECT_EQ(series.SaveProblem().empty(), c.saved) << c.period;
        if (c.saved) {
            TWaveAnalyze loaded;
            EXPECT_TRUE(loaded.LoadFromFile(path)) << c.period;
        } else {
            EXPECT_FALSE(std::filesystem::exists(path)) << c.period;
        }
    }
}

TEST(SampleFileSave, MissingFolderFails) {
    TTempDir dir;
    TWaveAnalyze series;
    SetSeries(series, {1.0}, 0.025, "Hz");
    EXPECT_FALSE(series.SaveToFile(dir.File("no/such.smp")));
}

// ---------------------------------------------------------------------------
// Reading

TEST(SampleFileLoad, ReadsTheExampleFile) {
    TTempDir dir;
    std::string path = dir.File("a.smp");
    WriteFileBytes(path, Title() + kExampleBody);
    TMessageRecorder boxes;
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromFile(path));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(series.count, 3);
    EXPECT_EQ(series.period, 0.025);
    EXPECT_EQ(series.unit, "Hz");
    EXPECT_EQ(Values(series), (std::vector<double>{1.0, 2.5, 1000.0}));
}

TEST(SampleFileLoad, RoundTripOfASampledSeries) {
    TTempDir dir;
    std::vector<double> signal(44100);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = 0.6 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / 44100.0);
    }
    std::string wav = dir.File("tone.wav");
    WriteFileBytes(wav, TWavBuilder().Build(ToPcm16(signal)));
    TWaveAnalyze sampled;
    ASSERT_TRUE(sampled.SampleAmplitude(wav, 0.025));
    sampled.SetUnit("RMS");
    std::string path = dir.File("tone.smp");
    ASSERT_TRUE(sampled.SaveToFile(path));

    TWaveAnalyze loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path));
    EXPECT_EQ(loaded.count, sampled.count);
    EXPECT_EQ(loaded.period, 0.024989) << "whole microseconds only";
    EXPECT_EQ(loaded.unit, "RMS");
    for (int i = 0; i < loaded.count; ++i) {
        EXPECT_NEAR(loaded.values[i], sampled.values[i], 5e-10) << i;
    }
    EXPECT_EQ(loaded.SampleFileText(), ReadFileBytes(path)) << "a reload saves the same bytes";
}

TEST(SampleFileLoad, UnitWithQuotesSurvivesARoundTrip) {
    TWaveAnalyze series;
    SetSeries(series, {1.0}, 0.1, "say \"Hz\", twice");
    std::string text = series.SampleFileText();
    EXPECT_NE(text.find(",\"say \"\"Hz\"\", twice\"\r\n"), std::string::npos);
    std::istringstream in(text);
    TWaveAnalyze loaded;
    ASSERT_TRUE(loaded.LoadFromStream(in, text.size()));
    EXPECT_EQ(loaded.unit, "say \"Hz\", twice");
}

TEST(SampleFileLoad, LfOnlyFileLoadsLikeCrLf) {
    std::string crlf = Title() + kExampleBody;
    std::string lf;
    for (char c : crlf) {
        if (c != '\r') {
            lf.push_back(c);
        }
    }
    TTempDir dir;
    WriteFileBytes(dir.File("lf.smp"), lf);
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromFile(dir.File("lf.smp")));
    EXPECT_EQ(series.count, 3);
    EXPECT_EQ(series.unit, "Hz");
    EXPECT_EQ(Values(series), (std::vector<double>{1.0, 2.5, 1000.0}));
}

TEST(SampleFileLoad, SurplusLinesAreIgnored) {
    std::string text = Title() + kExampleBody + "4\r\n5\r\nnot a number\r\n";
    std::istringstream in(text);
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(Values(series), (std::vector<double>{1.0, 2.5, 1000.0}));
}

TEST(SampleFileLoad, CountZeroGivesAnEmptySeries) {
    TWaveAnalyze series;
    SetSeries(series, {1.0, 2.0}, 0.5, "Hz");
    std::string text = Title() + "0.010000,0,\"RMS\"\r\n\"Samples\"\r\n";
    std::istringstream in(text);
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(series.count, 0);
    EXPECT_EQ(series.values, nullptr);
    EXPECT_EQ(series.period, 0.01);
    EXPECT_EQ(series.unit, "RMS");
}

TEST(SampleFileLoad, LastValueLineMayLackItsLineEnd) {
    std::string text = Title() + "0.5,2,Hz\n\"Samples\"\n1\n2";
    std::istringstream in(text);
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(Values(series), (std::vector<double>{1.0, 2.0}));
}

TEST(SampleFileLoad, TitleIsFoundInCp932OrUtf8AnywhereInLineOne) {
    for (const std::string& first :
         {Cp932(kTitleUtf8), std::string(kTitleUtf8), "x" + Cp932("サンプリング周期") + "y",
          std::string("# サンプリング周期 #")}) {
        std::string text = first + "\r\n0.5,1,Hz\r\nSamples\r\n7\r\n";
        std::istringstream in(text);
        TWaveAnalyze series;
        EXPECT_TRUE(series.LoadFromStream(in, text.size())) << first;
        EXPECT_EQ(series.count, 1);
    }
}

TEST(SampleFileLoad, LinesOf254CharactersAreReadWhole) {
    // A CR LF or a lone LF ends the line without counting towards the 254
    // characters a line may hold.
    for (const char* end : {"\r\n", "\n"}) {
        std::string value = "2." + std::string(252, '5');
        std::string text = Title() + "1,2,Hz\r\nSamples\r\n" + value + end + "3\r\n";
        std::istringstream in(text);
        TWaveAnalyze series;
        ASSERT_TRUE(series.LoadFromStream(in, text.size()));
        ASSERT_EQ(series.count, 2);
        EXPECT_DOUBLE_EQ(series.values[0], 2.5555555555555555);
        EXPECT_EQ(series.values[1], 3.0);
    }
}

TEST(SampleFileLoad, TrailingBlanksAndControlCharactersAreStripped) {
    std::string text = Title() + "0.5,2,Hz \t\r\n\"Samples\"  \r\n  1.5 \t\x01\r\n-2e1\r\n";
    std::istringstream in(text);
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(Values(series), (std::vector<double>{1.5, -20.0}));
}

struct TLineTwoCase {
    const char* name;
    const char* line;
    double period;
    int count;
    const char* unit;
};

class SampleFileLineTwo : public ::testing::TestWithParam<TLineTwoCase> {};

TEST_P(SampleFileLineTwo, SplitsAsCommaText) {
    const TLineTwoCase& c = GetParam();
    std::string text = Title() + c.line + "\r\n\"Samples\"\r\n";
    for (int i = 0; i < c.count; ++i) {
        text += std::to_string(i) + "\r\n";
    }
    std::istringstream in(text);
    TMessageRecorder boxes;
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(series.period, c.period);
    EXPECT_EQ(series.count, c.count);
    EXPECT_EQ(series.unit, c.unit);
    EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SampleFileLineTwo,
    ::testing::Values(TLineTwoCase{"AsWritten", "0.025000,3,\"Hz\"", 0.025, 3, "Hz"},
                      TLineTwoCase{"CommaAndBlankUnquotedUnit", "0.5, 10, Hz", 0.5, 10, "Hz"},
                      TLineTwoCase{"BlanksAlone", "0.5 10 Hz", 0.5, 10, "Hz"},
                      TLineTwoCase{"LeadingBlanksAndTabs", " \t0.5,\t2,RMS", 0.5, 2, "RMS"},
                      TLineTwoCase{"QuotedNumbers", "\"0.5\",\"2\",\"RMS\"", 0.5, 2, "RMS"},
                      TLineTwoCase{"EmptyUnit", "0.25,1,\"\"", 0.25, 1, ""},
                      TLineTwoCase{"EmptyUnquotedUnit", "0.25,1,", 0.25, 1, ""},
                      TLineTwoCase{"EmptyFieldBetweenCommas", "0.25,1,,Hz", 0.25, 1, ""},
                      TLineTwoCase{"QuotedCommaAndBlank", "0.25,1,\"m s, a\"", 0.25, 1, "m s, a"},
                      TLineTwoCase{"DoubledQuote", "0.25,1,\"a\"\"b\"", 0.25, 1, "a\"b"},
                      TLineTwoCase{"UnclosedQuote", "0.25,1,\"abc", 0.25, 1, "abc"},
                      TLineTwoCase{"ExtraFieldsIgnored", "1e-3,+4,Hz,x,y", 0.001, 4, "Hz"},
                      TLineTwoCase{"SignedPeriodAndExponent", "+2.5E-2,1,\"Hz\"", 0.025, 1, "Hz"},
                      TLineTwoCase{"UnitInCp932", "0.5,1,\"\x83\x6E\x83\x43\"", 0.5, 1, "ハイ"},
                      TLineTwoCase{"UnitInUtf8", "0.5,1,\"ハイ\"", 0.5, 1, "ハイ"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Failures

struct TFailureCase {
    const char* name;
    std::string text; // the whole file
    std::string message;
};

class SampleFileFailure : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(SampleFileFailure, ShowsOneBoxAndKeepsThePreviousSeries) {
    const TFailureCase& c = GetParam();
    TTempDir dir;
    std::string path = dir.File("bad.smp");
    WriteFileBytes(path, c.text);
    TWaveAnalyze series;
    SetSeries(series, {4.0, 5.0}, 0.125, "Hz");
    const double* values = series.values.get();

    TMessageRecorder boxes;
    EXPECT_FALSE(series.LoadFromFile(path));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, TMessageKind::Error);
    EXPECT_EQ(boxes.shown[0].caption, "エラー");
    EXPECT_EQ(boxes.shown[0].text, c.message);
    EXPECT_EQ(boxes.shown[0].owner, nullptr);

    EXPECT_EQ(series.values.get(), values);
    EXPECT_EQ(Values(series), (std::vector<double>{4.0, 5.0}));
    EXPECT_EQ(series.period, 0.125);
    EXPECT_EQ(series.unit, "Hz");
}

INSTANTIATE_TEST_SUITE_P(
    Files, SampleFileFailure,
    ::testing::Values(
        TFailureCase{"EmptyFile", "", Fault(1, kTitle)},
        TFailureCase{"NoTitle", "\"period\",\"count\",\"unit\"\r\n0.5,1,Hz\r\nSamples\r\n1\r\n",
                     Fault(1, kTitle)},
        TFailureCase{"LineThreeWithoutSamples", Title() + "0.5,1,Hz\r\nsamples\r\n1\r\n",
                     Fault(3, kSamples)},
        TFailureCase{"TitleOnly", Title(), Fault(2, kFields)},
        TFailureCase{"TwoFields", Title() + "0.5,1\r\nSamples\r\n1\r\n", Fault(2, kFields)},
        TFailureCase{"PeriodNotANumber", Title() + "abc,1,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kPeriod)},
        TFailureCase{"PeriodWithDecimalComma", Title() + "\"0,5\",1,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kPeriod)},
        TFailureCase{"PeriodZero", Title() + "0.000000,1,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kPeriod)},
        TFailureCase{"PeriodNegative", Title() + "-0.5,1,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kPeriod)},
        TFailureCase{"PeriodOverflows", Title() + "1e999,1,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kPeriod)},
        TFailureCase{"CountNotAnInteger", Title() + "0.5,1.0,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kCount)},
        TFailureCase{"CountNegative", Title() + "0.5,-1,Hz\r\nSamples\r\n", Fault(2, kCount)},
        TFailureCase{"CountBeyondInt", Title() + "0.5,2147483648,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kCount)},
        TFailureCase{"CountTheFileCannotHold", Title() + "0.5,2147483647,Hz\r\nSamples\r\n1\r\n",
                     Fault(2, kCountSize)},
        TFailureCase{"ValueOfLetters", Title() + "0.5,2,Hz\r\nSamples\r\n1\r\nabc\r\n",
                     Fault(5, kValue)},
        TFailureCase{"EmptyValueLine", Title() + "0.5,2,Hz\r\nSamples\r\n\r\n1\r\n",
                     Fault(4, kValue)},
        TFailureCase{"BlankValueLine", Title() + "0.5,2,Hz\r\nSamples\r\n \t \r\n1\r\n",
                     Fault(4, kValue)},
        TFailureCase{"ValueWithDecimalComma", Title() + "0.5,1,Hz\r\nSamples\r\n1,5\r\n",
                     Fault(4, kValue)},
        TFailureCase{"ValueOverflows", Title() + "0.5,1,Hz\r\nSamples\r\n-1e400\r\n",
                     Fault(4, kValue)},
        TFailureCase{"TooFewValues",
                     Title() + "0.025000,2,\"Hz\"\r\n\"Samples\"\r\n1.000000000\r\n",
                     kCountMismatch},
        TFailureCase{"OneValueOfThree", Title() + "0.025000,3,\"Hz\"\r\n\"Samples\"\r\n2.5\r\n",
                     kCountMismatch},
        TFailureCase{"OneValueOfTen", Title() + "0.025000,10,\"Hz\"\r\n\"Samples\"\r\n2.5\r\n",
                     kCountMismatch},
        TFailureCase{"ValueLineOf255",
                     Title() + "1,2,Hz\r\nSamples\r\n" + std::string(255, '1') + "\r\n3\r\n",
                     kBadFormatLine4},
        TFailureCase{"ValueLineOf256",
                     Title() + "1,2,Hz\r\nSamples\r\n" + std::string(256, '1') + "\r\n3\r\n",
                     kBadFormatLine4},
        TFailureCase{"LongValueLineWithoutLineEnd",
                     Title() + "1,1,Hz\r\nSamples\r\n" + std::string(300, '1'), kBadFormatLine4},
        TFailureCase{"LongSecondValueLine",
                     Title() + "1,2,Hz\r\nSamples\r\n1\r\n" + std::string(300, '2') + "\r\n",
                     kBadFormatLine5},
        TFailureCase{"LongLineTwo",
                     Title() + "1,1,\"" + std::string(260, 'u') + "\"\r\nSamples\r\n1\r\n",
                     kBadFormatLine2},
        TFailureCase{"CountOfTwoTokens", Title() + "0.5,2 56,Hz\r\nSamples\r\n1\r\n2\r\n",
                     kBadFormatLine2},
        TFailureCase{"PeriodOfTwoTokens", Title() + "0.5 1,2,Hz\r\nSamples\r\n1\r\n2\r\n",
                     kBadFormatLine2},
        TFailureCase{"UnquotedUnitOfTwoTokens", Title() + "0.5,1,m s\r\nSamples\r\n1\r\n",
                     kBadFormatLine2},
        TFailureCase{"UnitNeitherCp932NorUtf8", Title() + "0.5,1,\"\x83\"\r\nSamples\r\n1\r\n",
                     kBadFormatLine2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SampleFileLoad, MissingFileOrFolderCannotBeOpened) {
    TTempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("missing.smp"), "No such file or directory"},
        {dir.Path(), "it is a directory"},
        {std::string(), "No such file or directory"},
        {"/dev/null", "it is a device, FIFO or socket, not a file"},
    };
    for (const auto& [name, cause] : cases) {
        TMessageRecorder boxes;
        TWaveAnalyze series;
        EXPECT_FALSE(series.LoadFromFile(name));
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].text, std::string(kOpenFailed) + "(" + cause + ")");
    }
}

TEST(SampleFileLoad, HugeDeclaredCountFailsBeforeAllocating) {
    // 1000 real values and a count of 2^31 - 1: the format message, not the
    // count message that would follow the 1000th value, shows that the count
    // was refused on the stream size alone, before the array was allocated.
    std::string text = Title() + "0.025,2147483647,Hz\r\nSamples\r\n";
    for (int i = 0; i < 1000; ++i) {
        text += "1\r\n";
    }
    std::istringstream in(text);
    TMessageRecorder boxes;
    TWaveAnalyze series;
    EXPECT_FALSE(series.LoadFromStream(in, text.size()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Fault(2, kCountSize));
    EXPECT_EQ(series.count, 0);
}

TEST(SampleFileLoad, CountUpToWhatTheFileCanHoldIsRead) {
    // n one-character values take 2n - 1 bytes when the last has no line end.
    std::string head = Title() + "0.5,3,Hz\r\nSamples\r\n";
    std::string text = head + "1\n2\n3";
    std::istringstream in(text);
    TWaveAnalyze series;
    ASSERT_TRUE(series.LoadFromStream(in, text.size()));
    EXPECT_EQ(Values(series), (std::vector<double>{1.0, 2.0, 3.0}));
}
