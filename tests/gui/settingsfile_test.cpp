#include "gui/settingsfile.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <sys/stat.h>

#include "base/safefile.h"
#include "tests/support/testsupport.h"

namespace {

const std::string kDocuments = "/home/user/Documents";

} // namespace

TEST(IniFile, MissingSectionOrKeyReadsAsDefaultAndEmptyValueAsEmpty) {
    TIniFile file("[Directories]\r\nCsvDir=/data/csv\r\nImageDir=\r\n[Other]\r\nWaveDir=/x\r\n");
    TDirectories dirs = ReadDirectories(file, kDocuments);
    EXPECT_EQ(dirs.waveDir, kDocuments) << "a key of another section does not count";
    EXPECT_EQ(dirs.imageDir, "");
    EXPECT_EQ(dirs.csvDir, "/data/csv");
    EXPECT_EQ(dirs.sampleDir, kDocuments);

    EXPECT_EQ(ReadDirectories(TIniFile(), kDocuments),
              (TDirectories{kDocuments, kDocuments, kDocuments, kDocuments}));
    EXPECT_FALSE(TIniFile("[Other]\nCsvDir=/a\n").Read("Directories", "CsvDir"));
}

struct TReadCase {
    const char* name;
    const char* text;
    const char* expected; // nullptr: missing
};

class IniFileRead : public testing::TestWithParam<TReadCase> {};

TEST_P(IniFileRead, FindsTheValue) {
    std::optional<std::string> value = TIniFile(GetParam().text).Read("Directories", "WaveDir");
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(value) << *value;
    } else {
        ASSERT_TRUE(value);
        EXPECT_EQ(*value, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, IniFileRead,
    testing::Values(TReadCase{"LfLineEnds", "[Directories]\nWaveDir=/a/b\n", "/a/b"},
                    TReadCase{"NoFinalLineEnd", "[Directories]\r\nWaveDir=/a/b", "/a/b"},
                    TReadCase{"ByteOrderMark", "\xEF\xBB\xBF[Directories]\r\nWaveDir=/a\r\n", "/a"},
                    TReadCase{"NamesIgnoreCase", "[directories]\r\nWAVEDIR=/a\r\n", "/a"},
                    TReadCase{"BlanksAroundNamesAndValue",
                              "  [ Directories ]  \r\n\tWaveDir =  /a b \r\n", "/a b"},
                    TReadCase{"QuotesStripped", "[Directories]\r\nWaveDir=\" /a \"\r\n", " /a "},
                    TReadCase{"SingleQuotesStripped", "[Directories]\r\nWaveDir='/a'\r\n", "/a"},
                    TReadCase{"UnmatchedQuoteKept", "[Directories]\r\nWaveDir=\"/a\r\n", "\"/a"},
                    TReadCase{"EqualsInValue", "[Directories]\r\nWaveDir=/a=b\r\n", "/a=b"},
                    TReadCase{"FirstOfRepeatedKeysWins",
                              "[Directories]\r\nWaveDir=/1\r\nWaveDir=/2\r\n", "/1"},
                    TReadCase{"CommentIsNoKey", "[Directories]\r\n;WaveDir=/a\r\n", nullptr},
                    TReadCase{"LineWithoutEqualsIsNoKey", "[Directories]\r\nWaveDir\r\n", nullptr},
                    TReadCase{"KeyBeforeAnySection", "WaveDir=/a\r\n[Directories]\r\n", nullptr},
                    TReadCase{"Utf8Path", "[Directories]\r\nWaveDir=/home/ユーザー/音楽\r\n",
                              "/home/ユーザー/音楽"},
                    TReadCase{"Empty", "", nullptr}),
    [](const testing::TestParamInfo<TReadCase>& info) { return std::string(info.param.name); });

TEST(IniFile, NewFileGetsTheKeysInTableOrder) {
    TIniFile file;
    WriteDirectories(file, TDirectories{"/w", "/i", "/c", "/s"});
    EXPECT_EQ(file.Text(),
              "[Directories]\r\nWaveDir=/w\r\nImageDir=/i\r\nCsvDir=/c\r\nSampleDir=/s\r\n");
}

TEST(IniFile, WritingKeepsOtherLinesAndRewritesKeysInPlace) {
    TIniFile file("; kept\r\n[Window]\r\nLeft=3\r\n\r\n[directories]\r\nCSVDIR=/old\r\n\r\n"
                  "[Tail]\r\nx=1\r\n");
    WriteDirectories(file, TDirectories{"/w", "", "/c", "/s"});
    EXPECT_EQ(file.Text(), "; kept\r\n[Window]\r\nLeft=3\r\n\r\n[directories]\r\nCSVDIR=/c\r\n"
                           "WaveDir=/w\r\nImageDir=\r\nSampleDir=/s\r\n\r\n[Tail]\r\nx=1\r\n");
}

TEST(IniFile, ValuesSurviveTheRoundTrip) {
    const std::vector<std::string> values = {
        "",           "/",        "/a b",   " leading", "trailing\t",
        "\"quoted\"", "'single'", "\"half", "a=b;c",    "/home/ユーザー/音楽"};
    for (const std::string& value : values) {
        TIniFile file;
        file.Write("Directories", "WaveDir", value);
        EXPECT_EQ(TIniFile(file.Text()).Read("Directories", "WaveDir"), value) << value;
    }
}

TEST(IniFile, ValueWithLineBreakRemovesTheKey) {
    TIniFile file("[Directories]\r\nWaveDir=/old\r\nCsvDir=/c\r\n");
    file.Write("Directories", "WaveDir", "/a\nImageDir=/injected");
    TIniFile reread(file.Text());
    EXPECT_FALSE(reread.Read("Directories", "WaveDir"));
    EXPECT_FALSE(reread.Read("Directories", "ImageDir"));
    EXPECT_EQ(reread.Read("Directories", "CsvDir"), "/c");
}

// Found by the settings-file fuzz target: removing only the first of two
// repeated keys let the second, stale one read as the value.
TEST(IniFile, RemovingARepeatedKeyRemovesEveryCopy) {
    TIniFile file("[Directories]\r\nWaveDir=/first\r\nCsvDir=/c\r\nWaveDir=/stale\r\n"
                  "[Other]\r\nWaveDir=/other\r\n");
    file.Write("Directories", "WaveDir", "/a\r\nb");
    EXPECT_FALSE(file.Read("Directories", "WaveDir"));
    EXPECT_FALSE(TIniFile(file.Text()).Read("Directories", "WaveDir"));
    EXPECT_EQ(file.Read("Directories", "CsvDir"), "/c");
    EXPECT_EQ(file.Read("Other", "WaveDir"), "/other") << "other sections keep theirs";
}

TEST(IniFile, LoadDistinguishesMissingTooLargeAndUnreadable) {
    TTempDir dir;
    TIniFile file("[Directories]\r\nWaveDir=/stale\r\n");
    std::string error;
    EXPECT_EQ(LoadIniFile(dir.File("none.ini"), file, &error), TIniLoadResult::Missing);
    EXPECT_FALSE(file.Read("Directories", "WaveDir")) << "a failed load leaves nothing behind";

    EXPECT_EQ(LoadIniFile(dir.Path(), file, &error), TIniLoadResult::Failed);

    std::string big(kSettingsFileSizeLimit + 1, ' ');
    WriteFileBytes(dir.File("big.ini"), "[Directories]\r\nWaveDir=/a\r\n" + big);
    EXPECT_EQ(LoadIniFile(dir.File("big.ini"), file, &error), TIniLoadResult::TooLarge);
    EXPECT_FALSE(file.Read("Directories", "WaveDir"));

    WriteFileBytes(dir.File("ok.ini"), "[Directories]\nSampleDir=/s\n");
    EXPECT_EQ(LoadIniFile(dir.File("ok.ini"), file, &error), TIniLoadResult::Loaded);
    EXPECT_EQ(file.Read("Directories", "SampleDir"), "/s");
}

TEST(IniFile, FailedSaveKeepsTheOldFile) {
    TTempDir dir;
    const std::string path = dir.File("Zittermark.ini");
    WriteFileBytes(path, "[Directories]\r\nWaveDir=/old\r\n");
    TIniFile file;
    WriteDirectories(file, TDirectories{"/new", "/i", "/c", "/s"});
    SetWriteHook([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    std::string error;
    EXPECT_FALSE(SaveIniFile(path, file, &error));
    SetWriteHook(nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFileBytes(path), "[Directories]\r\nWaveDir=/old\r\n");

    ASSERT_TRUE(SaveIniFile(path, file));
    TIniFile reread;
    ASSERT_EQ(LoadIniFile(path, reread), TIniLoadResult::Loaded);
    EXPECT_EQ(ReadDirectories(reread, kDocuments), (TDirectories{"/new", "/i", "/c", "/s"}));
}

// Found by the settings-file fuzz target: a file that began with two
// byte-order marks lost the first on reading and the second on reading its
// own text again, so "[Directories]" became a section only after a save.
TEST(IniFile, ByteOrderMarkIsKeptSoTheTextReadsBackTheSame) {
    const std::string bom = "\xEF\xBB\xBF";
    TIniFile doubled(bom + bom + "[Directories]\r\nWaveDir=/a\r\n");
    EXPECT_FALSE(doubled.Read("Directories", "WaveDir"));
    EXPECT_EQ(doubled.Text(), bom + bom + "[Directories]\r\nWaveDir=/a\r\n");
    EXPECT_FALSE(TIniFile(doubled.Text()).Read("Directories", "WaveDir"));

    TIniFile single(bom + "[Directories]\r\nWaveDir=/a\r\n");
    single.Write("Directories", "WaveDir", "/b");
    EXPECT_EQ(single.Text(), bom + "[Directories]\r\nWaveDir=/b\r\n");
}

// Whole numbers only, beyond int brought to the nearer end, then into the
// control's range; anything else is the fallback.
TEST(IniFile, IntegersAreReadWholeAndBroughtIntoRange) {
    struct TCase {
        const char* value; // nullptr: the key is missing
        std::optional<int> read;
        int clamped; // into -50 ... 0, fallback -40
    };
    const TCase cases[] = {
        {"-12", -12, -12},
        {"  +7 ", 7, 0},
        {"\"-3\"", -3, -3},
        {"-99999999999999999999", std::numeric_limits<int>::min(), -50},
        {"99999999999999999999", std::numeric_limits<int>::max(), 0},
        {"", std::nullopt, -40},
        {"-", std::nullopt, -40},
        {"1e3", std::nullopt, -40},
        {"0x10", std::nullopt, -40},
        {"- 4", std::nullopt, -40},
        {nullptr, std::nullopt, -40},
    };
    for (const TCase& c : cases) {
        TIniFile file(c.value ? std::string("[Preferences]\nBar=") + c.value + "\n"
                              : std::string("[Preferences]\n"));
        const std::string what = c.value ? c.value : "(missing)";
        EXPECT_EQ(ReadInteger(file, kPreferencesSection, "Bar"), c.read) << what;
        EXPECT_EQ(ReadInteger(file, kPreferencesSection, "Bar", -50, 0, -40), c.clamped) << what;
    }
    TIniFile file;
    WriteInteger(file, kPreferencesSection, "Bar", -2147483647 - 1);
    EXPECT_EQ(ReadInteger(file, kPreferencesSection, "Bar"), std::numeric_limits<int>::min());
}
