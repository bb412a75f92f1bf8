#pragma once
// The language of every text the user reads, from one GNU gettext message
// catalogue per language (domain "zittermark"). The Japanese texts are the
// source texts: with no catalogue, or for a text a catalogue lacks, Tr gives
// its argument back unchanged. English comes from the "en" catalogue. Texts
// written first in English (causes, the command line's help) are translated
// into Japanese by the "ja" catalogue.
//
// Numbers are never formatted here: callers format them locale-free
// (base/textformat) and pass the digits as %s arguments.

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TLanguage { Japanese, English };

// "ja" or "en" (any case, with or without a region and codeset: "en_GB.UTF-8");
// nothing for other names.
std::optional<TLanguage> ParseLanguage(std::string_view name);

// "ja" or "en".
const char* LanguageCode(TLanguage language);

// What `--language ja|en` among the program's arguments (argv[1 ...]) asks
// for: the last one before "--", if any. `invalid` is set when a --language
// has any other value, or none.
std::optional<TLanguage> LanguageArgument(const std::vector<std::string>& args,
                                          bool* invalid = nullptr);

// The language the environment asks for, by gettext's rules: the first of
// LC_ALL, LC_MESSAGES and LANG that is set names the locale; unless that is
// C or POSIX, the colon-separated LANGUAGE list comes first. English for an
// "en" locale, Japanese for "ja", for C and POSIX, and for any locale without
// a translation. `get` reads a variable (by default the environment, with
// LANGUAGE as it was before UseLanguage set it), for the tests.
TLanguage LanguageFromEnvironment(const std::function<const char*(const char*)>& get = nullptr);

// Makes every later Tr answer in `language`, from the catalogues found under
// `ZM_LOCALEDIR`, beside the program (../share/locale, ../locale) or in the
// install prefix. Sets LANGUAGE for this process (so the system's own
// reasons, strerror's, come in the same language), and LC_MESSAGES to C.UTF-8 when
// it was C (gettext ignores catalogues in the C locale). Call it before any
// thread starts.
void UseLanguage(TLanguage language);

// The language of the last UseLanguage call (Japanese before any).
TLanguage CurrentLanguage();

// The translation of `source` in the current language, or `source`.
const char* Tr(const char* source);

// `format` with each "%s" replaced by the next argument, "%N$s" by the Nth
// (1-9) and "%%" by "%".
// Translations keep the "%s" count (msgfmt --check-format), so a text can
// change its word order only by rewording, never by mismatching arguments.
std::string Subst(std::string_view format, std::initializer_list<std::string_view> args);

// Tr then Subst.
std::string TrSubst(const char* source, std::initializer_list<std::string_view> args);

// Marks a source text for the catalogue where it is defined (a constant);
// Tr translates it where it is shown.
constexpr const char* TrMark(const char* source) {
    return source;
}
