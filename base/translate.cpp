#include "base/translate.h"

#include <libintl.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

// glibc's count of loaded catalogues; raising it clears gettext's cache.
extern "C" int _nl_msg_cat_cntr;

namespace {

constexpr const char* kDomain = "zittermark";
TLanguage currentLanguage = TLanguage::Japanese;

// The user's LANGUAGE before UseLanguage replaced it: the environment's
// choice is still read from it.
struct TUserLanguage {
    bool saved = false;
    std::optional<std::string> value;
};
TUserLanguage userLanguage;

const char* EnvironmentVariable(const char* name) {
    if (userLanguage.saved && std::string_view(name) == "LANGUAGE") {
        return userLanguage.value ? userLanguage.value->c_str() : nullptr;
    }
    return std::getenv(name);
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool IsCLocale(std::string_view name) {
    return name == "C" || name == "POSIX";
}

// The folder holding <language>/LC_MESSAGES/zittermark.mo.
std::string CatalogueFolder() {
    auto holds = [](const std::filesystem::path& folder) {
        std::error_code failed;
        return std::filesystem::exists(folder / "en" / "LC_MESSAGES" / "zittermark.mo", failed);
    };
    if (const char* chosen = std::getenv("ZM_LOCALEDIR"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (!failed) {
        const std::filesystem::path folder = program.parent_path();
        for (const char* relative : {"../share/locale", "../locale"}) {
            if (holds(folder / relative)) {
                return (folder / relative).lexically_normal().string();
            }
        }
    }
#ifdef ZM_BUILD_LOCALEDIR
    if (holds(ZM_BUILD_LOCALEDIR)) {
        return ZM_BUILD_LOCALEDIR;
    }
#endif
#ifdef ZM_INSTALL_LOCALEDIR
    return ZM_INSTALL_LOCALEDIR;
#else
    return "/usr/share/locale";
#endif
}

} // namespace

std::optional<TLanguage> ParseLanguage(std::string_view name) {
    const std::string lower = Lower(name);
    auto is = [&lower](std::string_view code) {
        return lower.rfind(code, 0) == 0 &&
               (lower.size() == code.size() || lower[code.size()] == '_' ||
                lower[code.size()] == '.' || lower[code.size()] == '@' ||
                lower[code.size()] == '-');
    };
    if (is("ja")) {
        return TLanguage::Japanese;
    }
    if (is("en")) {
        return TLanguage::English;
    }
    return std::nullopt;
}

const char* LanguageCode(TLanguage language) {
    return language == TLanguage::English ? "en" : "ja";
}

std::optional<TLanguage> LanguageArgument(const std::vector<std::string>& args, bool* invalid) {
    std::optional<TLanguage> chosen;
    bool bad = false;
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] != "--language") {
            continue;
        }
        if (i + 1 < args.size() && (args[i + 1] == "ja" || args[i + 1] == "en")) {
            chosen = ParseLanguage(args[i + 1]);
        } else {
            bad = true;
        }
        ++i;
    }
    if (invalid != nullptr) {
        *invalid = bad;
    }
    return chosen;
}

TLanguage LanguageFromEnvironment(const std::function<const char*(const char*)>& get) {
    auto read = [&get](const char* name) -> std::string_view {
        const char* value = get ? get(name) : EnvironmentVariable(name);
        return value == nullptr ? std::string_view() : std::string_view(value);
    };
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = read(name);
        if (!locale.empty()) {
            break;
        }
    }
    if (locale.empty() || IsCLocale(locale)) {
        return TLanguage::Japanese;
    }
    std::string_view list = read("LANGUAGE");
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view entry = list.substr(0, colon);
        if (std::optional<TLanguage> language = ParseLanguage(entry)) {
            return *language;
        }
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return ParseLanguage(locale).value_or(TLanguage::Japanese);
}

void UseLanguage(TLanguage language) {
    currentLanguage = language;
    static const std::string folder = CatalogueFolder();
    bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    // The system's own reasons (strerror) in the same language, in UTF-8
    // whatever the character type of the locale.
    bind_textdomain_codeset("libc", "UTF-8");
    if (!userLanguage.saved) {
        const char* before = std::getenv("LANGUAGE");
        userLanguage.value = before ? std::optional<std::string>(before) : std::nullopt;
        userLanguage.saved = true;
    }
    setenv("LANGUAGE", LanguageCode(language), 1);
    // gettext caches what it has looked up by the locale's name, which a
    // change of LANGUAGE leaves as it was; this counter tells it to forget.
    ++_nl_msg_cat_cntr;
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    if (messages == nullptr || IsCLocale(messages)) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
}

TLanguage CurrentLanguage() {
    return currentLanguage;
}

const char* Tr(const char* source) {
    return dgettext(kDomain, source);
}

std::string Subst(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string text;
    text.reserve(format.size());
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                if (next != args.end()) {
                    text += *next++;
                }
                ++i;
                continue;
            }
            // "%2$s": the second argument, for a translation that needs
            // another order.
            if (i + 3 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9' &&
                format[i + 2] == '$' && format[i + 3] == 's') {
                const std::size_t index = static_cast<std::size_t>(format[i + 1] - '1');
                if (index < args.size()) {
                    text += args.begin()[index];
                }
                i += 3;
                continue;
            }
            if (format[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}

std::string TrSubst(const char* source, std::initializer_list<std::string_view> args) {
    return Subst(Tr(source), args);
}
