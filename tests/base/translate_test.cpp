#include "base/translate.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

struct TEnvironmentCase {
    std::map<std::string, std::string> variables;
    TLanguage expected;
};

} // namespace

TEST(Translate, TheLanguageFollowsGettextsRulesForTheEnvironment) {
    const TLanguage ja = TLanguage::Japanese;
    const TLanguage en = TLanguage::English;
    const TEnvironmentCase cases[] = {
        {{}, ja},
        {{{"LANG", "en_US.UTF-8"}}, en},
        {{{"LANG", "en"}}, en},
        {{{"LANG", "ja_JP.UTF-8"}}, ja},
        {{{"LANG", "de_DE.UTF-8"}}, ja},
        {{{"LANG", "C"}}, ja},
        {{{"LANG", "POSIX"}}, ja},
        {{{"LANG", "C.UTF-8"}}, ja},
        {{{"LANG", "english"}}, ja}, // not "en" followed by a separator
        {{{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, en},
        {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", "ja_JP.UTF-8"}}, ja},
        {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}, en}, // empty is unset
        {{{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:en_GB:ja"}}, en},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja"}}, ja},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "fr:de"}}, en},
        {{{"LANG", "C"}, {"LANGUAGE", "en"}}, ja}, // the C locale ignores LANGUAGE
        {{{"LANGUAGE", "en"}}, ja},
        {{{"LANG", "EN_us"}}, en},
        {{{"LANG", "en@quot"}}, en},
    };
    for (const TEnvironmentCase& c : cases) {
        auto get = [&c](const char* name) -> const char* {
            auto found = c.variables.find(name);
            return found == c.variables.end() ? nullptr : found->second.c_str();
        };
        std::string shown;
        for (const auto& [name, value] : c.variables) {
            shown += name + "=" + value + " ";
        }
        EXPECT_EQ(LanguageFromEnvironment(get), c.expected) << shown;
    }
    EXPECT_EQ(ParseLanguage("ja"), ja);
    EXPECT_EQ(ParseLanguage("en-US"), en);
    EXPECT_EQ(ParseLanguage("fr"), std::nullopt);
    EXPECT_EQ(ParseLanguage(""), std::nullopt);
}

TEST(Translate, SubstitutesInOrderOrByPositionAndKeepsPercentSigns) {
    struct TCase {
        const char* format;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const TCase cases[] = {
        {"%s of %s", {"1", "2"}, "1 of 2"},
        {"%2$s / %1$s", {"1", "2"}, "2 / 1"},
        {"100 %% done", {}, "100 % done"},
        {"%s %%) left", {"5"}, "5 %) left"},
        {"%s and %s", {"only"}, "only and "}, // a missing argument is empty
        {"trailing %", {}, "trailing %"},
        {"%d stays", {}, "%d stays"},
        {"%9$s", {"a"}, ""},
        {"%s", {"%s"}, "%s"}, // arguments are not formats
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Subst(c.format, c.args), c.expected) << c.format;
    }
}

// Both catalogues answer, and a text no catalogue has comes back unchanged;
// the language of the process is put back afterwards.
TEST(Translate, TheCataloguesAnswerInTheChosenLanguage) {
    const TLanguage before = CurrentLanguage();
    UseLanguage(TLanguage::English);
    EXPECT_STREQ(Tr("エラー"), "Error");
    EXPECT_EQ(TrSubst("(%s行目、%s)", {"5", Tr("サンプル値")}), "(line 5, sample value)");
    EXPECT_STREQ(Tr("it is a directory"), "it is a directory");
    EXPECT_STREQ(Tr("no such text anywhere"), "no such text anywhere");
    UseLanguage(TLanguage::Japanese);
    EXPECT_STREQ(Tr("エラー"), "エラー");
    EXPECT_STREQ(Tr("it is a directory"), "フォルダです");
    UseLanguage(before);
}

TEST(Translate, TheLanguageArgumentIsTheLastValidOneBeforeTheFiles) {
    struct TCase {
        std::vector<std::string> args;
        std::optional<TLanguage> expected;
        bool invalid;
    };
    const TCase cases[] = {
        {{}, std::nullopt, false},
        {{"--language", "en", "x.wav"}, TLanguage::English, false},
        {{"--language", "en", "--language", "ja"}, TLanguage::Japanese, false},
        {{"--language", "fr"}, std::nullopt, true},
        {{"--language", "ja_JP"}, std::nullopt, true},
        {{"--language"}, std::nullopt, true},
        {{"--", "--language", "en"}, std::nullopt, false}, // a file named --language
        {{"--language", "--", "en"}, std::nullopt, true},
    };
    for (const TCase& c : cases) {
        bool invalid = false;
        EXPECT_EQ(LanguageArgument(c.args, &invalid), c.expected) << c.args.size();
        EXPECT_EQ(invalid, c.invalid) << c.args.size();
    }
}
