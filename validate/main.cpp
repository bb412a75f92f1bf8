// zittermark-validate: makes recordings of known fluctuation exponent beta,
// analyses them as zittermark-cli does and prints the beta -> lambda table
// as Markdown.

#include <chrono>
#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "analysis/analysisrun.h"
#include "base/safefile.h"
#include "base/textformat.h"
#include "validate/validation.h"

namespace {

const char* const kUsage =
    R"(Usage: zittermark-validate [options]

Makes test recordings (a 440 Hz tone whose loudness or pitch follows Gaussian
1/f^beta noise) in a temporary folder, analyses each as zittermark-cli does
(amplitude sampling for the loudness, frequency sampling for the pitch) in the
easy mode and in the fixed mode at 10 and 50 ms, deletes them, and prints a
Markdown table of what lambda, the mean-removed lambda, beta_DFA and the
shuffled baseline recover, mean +- SD over the variants.

  --betas LIST        exponents, 0-3 (default 0,0.5,1,1.5,2)
  --durations LIST    seconds, 1-600 (default 60,180,300)
  --rates LIST        sample rates, 8000-192000 Hz (default 44100,48000)
  --channels LIST     1 and/or 2 (default 1,2)
  --seeds N           seeds per variant, 1-100 (default 4)
  --first-seed N      the first seed (default 1)
  --signals LIST      am, fm and/or fmh (fm of a tone with 8 harmonics; default am,fm)
  --samplers LIST     samplers of the fm signals: frequency, fine-frequency, pitch
                      (default frequency)
  --surrogates M      shuffled copies per recording, 0-9999 (default 19)
  --no-fixed          skip the fixed-mode columns
  --jobs N            recordings analysed at the same time, 1-64 (default 1)
  --temp-dir DIR      where the temporary folder goes (default $TMPDIR or /tmp)
  --output FILE       write the table to FILE instead of standard output
  --help
Exit status: 0 if every recording was analysed, 1 if any failed, 2 for a
usage error.
)";

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(
            text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) {
            return items;
        }
        start = comma + 1;
    }
}

bool IntList(std::string_view text, long long lo, long long hi, std::vector<int>& out) {
    out.clear();
    for (std::string_view item : SplitList(text)) {
        std::optional<long long> v = ParseInteger(item);
        if (!v || *v < lo || *v > hi) {
            return false;
        }
        out.push_back(static_cast<int>(*v));
    }
    return true;
}

bool IntValue(std::string_view text, long long lo, long long hi, long long& out) {
    std::optional<long long> v = ParseInteger(text);
    if (!v || *v < lo || *v > hi) {
        return false;
    }
    out = *v;
    return true;
}

// Parses argv[1 ...]; nullopt with a message in `error` for a usage error.
std::optional<TValidationConfig> ParseArgs(const std::vector<std::string>& args, bool& help,
                                           std::string& output, std::string& error) {
    TValidationConfig config;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help") {
            help = true;
            continue;
        }
        if (option == "--no-fixed") {
            config.fixedModes = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = option.rfind("--", 0) == 0 ? option + " needs a value or is unknown"
                                               : "unexpected argument " + option;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        long long number = 0;
        if (option == "--betas") {
            config.betas.clear();
            for (std::string_view item : SplitList(value)) {
                std::optional<double> beta = ParseDecimal(item);
                ok = ok && beta && *beta >= 0.0 && *beta <= 3.0;
                if (ok) {
                    config.betas.push_back(*beta);
                }
            }
        } else if (option == "--durations") {
            ok = IntList(value, 1, 600, config.durations);
        } else if (option == "--rates") {
            ok = IntList(value, 8000, 192000, config.rates);
        } else if (option == "--channels") {
            ok = IntList(value, 1, 2, config.channels);
        } else if (option == "--seeds") {
            ok = IntValue(value, 1, 100, number);
            config.seeds = static_cast<int>(number);
        } else if (option == "--first-seed") {
            ok = IntValue(value, 0, 1LL << 53, number);
            config.firstSeed = static_cast<std::uint64_t>(number);
        } else if (option == "--signals") {
            config.modulations.clear();
            for (std::string_view item : SplitList(value)) {
                if (item == "am") {
                    config.modulations.push_back(TModulation::Amplitude);
                } else if (item == "fm") {
                    config.modulations.push_back(TModulation::Frequency);
                } else if (item == "fmh") {
                    config.modulations.push_back(TModulation::HarmonicFrequency);
                } else {
                    ok = false;
                }
            }
        } else if (option == "--samplers") {
            config.frequencySamplers.clear();
            for (std::string_view item : SplitList(value)) {
                if (item == "frequency") {
                    config.frequencySamplers.push_back(kFrequencySampling);
                } else if (item == "fine-frequency") {
                    config.frequencySamplers.push_back(kFineFrequencySampling);
                } else if (item == "pitch") {
                    config.frequencySamplers.push_back(kPitchSampling);
                } else {
                    ok = false;
                }
            }
            ok = ok && !config.frequencySamplers.empty();
        } else if (option == "--surrogates") {
            ok = IntValue(value, 0, 9999, number);
            config.surrogates = static_cast<int>(number);
        } else if (option == "--jobs") {
            ok = IntValue(value, 1, 64, number);
            config.jobs = static_cast<int>(number);
        } else if (option == "--temp-dir") {
            config.tempParent = value;
        } else if (option == "--output") {
            output = value;
        } else {
            error = "unknown option " + option;
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value for " + option + ": " + value;
            return std::nullopt;
        }
    }
    return config;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool help = false;
    std::string output;
    std::string error;
    std::optional<TValidationConfig> config = ParseArgs(args, help, output, error);
    if (!config) {
        std::fprintf(stderr, "zittermark-validate: %s\nTry 'zittermark-validate --help'.\n",
                     error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const bool progress = ::isatty(STDERR_FILENO) == 1;
    const auto start = std::chrono::steady_clock::now();
    std::vector<TVariantResult> results;
    try {
        results = RunValidation(*config, [&](std::size_t done, std::size_t total) {
            if (progress) {
                std::fprintf(stderr, "\r[%zu/%zu]", done, total);
            }
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zittermark-validate: %s\n", e.what());
        return 1;
    }
    if (progress) {
        std::fprintf(stderr, "\r\033[K");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::string command = "zittermark-validate";
    for (const std::string& arg : args) {
        command += " " + arg;
    }
    std::string markdown = ValidationMarkdown(*config, results);
    markdown += "\nMade by `" + command + "` in " + FormatFixed(seconds, 0) + " s.\n";

    bool allOk = true;
    for (const TVariantResult& r : results) {
        if (!r.ok) {
            allOk = false;
            std::fprintf(
                stderr, "zittermark-validate: beta %s, %d s, %d Hz, %d ch, seed %llu: %s\n",
                FormatFixed(r.setup.beta, 2).c_str(), r.setup.seconds, r.setup.sampleRate,
                r.setup.channels, static_cast<unsigned long long>(r.setup.seed), r.error.c_str());
        }
    }
    if (output.empty()) {
        std::fputs(markdown.c_str(), stdout);
    } else if (!WriteFileAtomically(output, markdown, &error)) {
        std::fprintf(stderr, "zittermark-validate: cannot write %s: %s\n", output.c_str(),
                     error.c_str());
        return 1;
    }
    return allOk ? 0 : 1;
}
