#include "cli/options.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "analysis/analysisrun.h"
#include "base/samefile.h"
#include "base/textformat.h"
#include "base/translate.h"

const char* const kCliUsage = TrMark(
    R"(Usage: zittermark-cli [options] FILE...

Analyses the fluctuation spectrum of each FILE, an audio file (WAV of any
encoding, FLAC, MP3, Ogg Vorbis, Opus, AIFF, CAF, W64, RF64; any channel count,
mixed down to their mean) or a sample file (.smp, by its extension), and
prints one line per file: count, period, FFT size N,
binCount, the number of band groups and lambda, the negated slope of the
regression line (0 white, 1 "1/f", 2 Brownian).

Audio files are sampled in the easy mode (25 ms windows, level 8/32768, Hamming
window, band reset to the whole spectrum) unless --mode fixed is given. Sample
files are analysed as they are, with the chosen window and band.

Sampling:
  --mode easy|fixed           analysis mode for WAV files (default easy)
  --sampling frequency|amplitude|fine-frequency|pitch
                              counted level crossings, RMS level, crossings located
                              between frames, or aubio's f0 (default frequency)
  --period-ms N               window length, 5-1000 ms (fixed mode; default 25)
  --bias N                    crossing level, -32768-32767 in 1/32768 (fixed mode; default 0)
Spectrum:
  --window rect|hanning|hamming
                              window function (fixed mode and .smp; default hamming)
  --band-upper P --band-lower P
                              regression band as track-bar positions -50-0, tenths of a
                              decade below the top of the spectrum (default 0 and -40)
  --freq-range LO HI          frequency axis 10^LO-10^HI Hz, -4-4 (default -3 2)
  --power-range LO HI         power axis 10^LO-10^HI, -10-10 (default -9 0)
  --size H V                  plotting area in pixels, 100-3000 (default 350 630)
  --draw points|polyline|histogram
                              drawing method (default histogram)
Output:
  --smp PATH                  save the sample series
  --csv PATH                  save the spectrum file
  --spectrum-png PATH         save the spectrum graph
  --series-png PATH           save the sampling graph
  --series-size W H           size of the sampling graph (default 800 320, as the sampling window shows it)
  --json                      one JSON object per file instead of a line, with the
                              input's format, encoding, channels and sample_rate
  --jobs N                    threads for the files and the shuffled copies
                              (default: number of cores)
  --summary PATH.csv          also write one CSV row per file with the results, settings
                              and input format
Trust in lambda (always in --json: lambda_se, lambda_ci95, r2, lambda_mean_removed,
dfa_alpha, beta_dfa, warnings):
  --surrogates M              lambda of M shuffled copies of the series, 0-9999 (default 0):
                              surrogate_mean, surrogate_sd and the rank surrogate_p
  --seed S                    copy m is shuffled with seed S + m, 0-9223372036854775807
                              (default 1)
  --language ja|en            language of the messages (default: from the locale;
                              Japanese unless it is English)
  --help, --version
With several FILEs, output paths must contain {name}, replaced by each input's
base name without its extension. No output may be an input, another output
or the summary (checked before anything is read).
Exit status: 0 if every file was analysed; a recording that gives no
regression line (lambda none) is a warning, not a failure. 1 if any file
failed or a requested output could not be made: a save that failed, a
--spectrum-png of a recording too short for a spectrum, a write to the
standard output that failed. 2 for a usage error.
)");

namespace {

struct TArgs {
    const std::vector<std::string>& args;
    std::size_t pos = 0;
    std::string& error;

    bool Next(const std::string& option, std::string& value) {
        if (pos >= args.size()) {
            error = TrSubst("%s needs a value", {option});
            return false;
        }
        value = args[pos++];
        return true;
    }

    bool Int(const std::string& option, int minimum, int maximum, int& out) {
        std::string text;
        if (!Next(option, text)) {
            return false;
        }
        std::optional<long long> value = ParseInteger(text);
        if (!value) {
            error = TrSubst("%s: '%s' is not a whole number", {option, text});
            return false;
        }
        if (*value < minimum || *value > maximum) {
            error = TrSubst("%s: %s is outside %s ... %s",
                            {option, text, FormatInt(minimum), FormatInt(maximum)});
            return false;
        }
        out = static_cast<int>(*value);
        return true;
    }

    bool Choice(const std::string& option, const std::vector<std::string>& names, int& out) {
        std::string text;
        if (!Next(option, text)) {
            return false;
        }
        auto found = std::find(names.begin(), names.end(), text);
        if (found == names.end()) {
            error = TrSubst("%s: '%s' is not one of", {option, text});
            for (const std::string& name : names) {
                error += " " + name;
            }
            return false;
        }
        out = static_cast<int>(found - names.begin());
        return true;
    }
};

// A device, a FIFO or a name of a descriptor (/dev/stdout) is written as it
// is: any number of outputs may go there without replacing anything.
bool WritesWithoutReplacing(const std::string& raw, const std::filesystem::path& normal) {
    for (const char* prefix : {"/dev/stdout", "/dev/stderr", "/dev/fd/", "/proc/self/fd/"}) {
        if (raw.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    std::error_code failed;
    std::filesystem::file_status status = std::filesystem::status(normal, failed);
    return !failed && std::filesystem::exists(status) &&
           !std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status);
}

struct TNamedPath {
    std::string shown; // the option and the path as {name} expanded it
    std::string raw;   // the path alone
    std::filesystem::path normal;
};

bool SamePath(const TNamedPath& a, const TNamedPath& b) {
    return SameFile(a.normal, b.normal);
}

} // namespace

std::optional<std::string> FindOutputClash(const TCliOptions& options) {
    std::vector<TNamedPath> inputs;
    std::vector<TNamedPath> outputs;
    for (const std::string& file : options.files) {
        inputs.push_back({file, file, NormalPath(file)});
    }
    const std::pair<const char*, const std::string*> patterns[] = {
        {"--smp", &options.smpPath},
        {"--csv", &options.csvPath},
        {"--spectrum-png", &options.spectrumPngPath},
        {"--series-png", &options.seriesPngPath},
    };
    for (const std::string& file : options.files) {
        for (const auto& [option, pattern] : patterns) {
            if (pattern->empty()) {
                continue;
            }
            std::string path = ExpandOutputPath(*pattern, file);
            outputs.push_back({std::string(option) + " " + path, path, NormalPath(path)});
        }
    }
    if (!options.summaryPath.empty()) {
        outputs.push_back({"--summary " + options.summaryPath, options.summaryPath,
                           NormalPath(options.summaryPath)});
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (WritesWithoutReplacing(outputs[i].raw, outputs[i].normal)) {
            continue;
        }
        for (const TNamedPath& input : inputs) {
            if (SamePath(outputs[i], input)) {
                return TrSubst("%s would replace the input %s", {outputs[i].shown, input.shown});
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (SamePath(outputs[i], outputs[j])) {
                return TrSubst("%s and %s would write one file",
                               {outputs[i].shown, outputs[j].shown});
            }
        }
    }
    return std::nullopt;
}

std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                           std::string& error) {
    TCliOptions options;
    TArgs in{args, 0, error};
    bool periodGiven = false;
    bool biasGiven = false;
    bool samplingGiven = false;
    bool windowGiven = false;
    bool onlyFiles = false;
    while (in.pos < args.size()) {
        const std::string arg = args[in.pos++];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
            continue;
        }
        bool ok = true;
        if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--language") {
            // Applied before parsing (LanguageArgument); here it is checked.
            int language = 0;
            ok = in.Choice(arg, {"ja", "en"}, language);
        } else if (arg == "--mode") {
            int mode = 0;
            ok = in.Choice(arg, {"easy", "fixed"}, mode);
            options.analyzeMode = mode == 0 ? 0 : 2;
        } else if (arg == "--sampling") {
            ok = in.Choice(arg, {"frequency", "amplitude", "fine-frequency", "pitch"},
                           options.samplingMode);
            samplingGiven = true;
        } else if (arg == "--period-ms") {
            ok = in.Int(arg, 5, 1000, options.periodMs);
            periodGiven = true;
        } else if (arg == "--bias") {
            ok = in.Int(arg, -32768, 32767, options.bias);
            biasGiven = true;
        } else if (arg == "--window") {
            ok = in.Choice(arg, {"rect", "hanning", "hamming"}, options.windowFunction);
            windowGiven = true;
        } else if (arg == "--band-upper") {
            int p = 0;
            ok = in.Int(arg, -50, 0, p);
            options.bandUpper = p;
        } else if (arg == "--band-lower") {
            int p = 0;
            ok = in.Int(arg, -50, 0, p);
            options.bandLower = p;
        } else if (arg == "--freq-range") {
            ok = in.Int(arg, -4, 4, options.spectrum.FlowerBox) &&
                 in.Int(arg, -4, 4, options.spectrum.FupperBox);
            if (ok && options.spectrum.FlowerBox >= options.spectrum.FupperBox) {
                error = Tr("--freq-range: LO must be below HI");
                ok = false;
            }
        } else if (arg == "--power-range") {
            ok = in.Int(arg, -10, 10, options.spectrum.PlowerBox) &&
                 in.Int(arg, -10, 10, options.spectrum.PupperBox);
            if (ok && options.spectrum.PlowerBox >= options.spectrum.PupperBox) {
                error = Tr("--power-range: LO must be below HI");
                ok = false;
            }
        } else if (arg == "--size") {
            ok = in.Int(arg, 100, 3000, options.spectrum.HorzSizeBox) &&
                 in.Int(arg, 100, 3000, options.spectrum.VertSizeBox);
        } else if (arg == "--draw") {
            ok =
                in.Choice(arg, {"points", "polyline", "histogram"}, options.spectrum.DrawMethodBox);
        } else if (arg == "--series-size") {
            ok = in.Int(arg, 100, 4000, options.seriesWidth) &&
                 in.Int(arg, 100, 4000, options.seriesHeight);
        } else if (arg == "--smp") {
            ok = in.Next(arg, options.smpPath);
        } else if (arg == "--csv") {
            ok = in.Next(arg, options.csvPath);
        } else if (arg == "--spectrum-png") {
            ok = in.Next(arg, options.spectrumPngPath);
        } else if (arg == "--series-png") {
            ok = in.Next(arg, options.seriesPngPath);
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--jobs") {
            ok = in.Int(arg, 1, 256, options.jobs);
        } else if (arg == "--surrogates") {
            ok = in.Int(arg, 0, 9999, options.surrogates);
        } else if (arg == "--seed") {
            std::string text;
            ok = in.Next(arg, text);
            if (ok) {
                std::optional<long long> value = ParseInteger(text);
                if (!value || *value < 0) {
                    error = TrSubst("%s: '%s' is not a whole number from 0", {arg, text});
                    ok = false;
                } else {
                    options.seed = static_cast<std::uint64_t>(*value);
                }
            }
        } else if (arg == "--summary") {
            ok = in.Next(arg, options.summaryPath);
            if (ok && options.summaryPath.empty()) {
                error = TrSubst("%s needs a file name", {arg});
                ok = false;
            }
        } else {
            error = TrSubst("unknown option %s", {arg});
            ok = false;
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.files.empty()) {
        error = Tr("no input file");
        return std::nullopt;
    }

    bool anyWave = std::any_of(options.files.begin(), options.files.end(),
                               [](const std::string& f) { return !IsSampleFileName(f); });
    if (options.analyzeMode == 0 && anyWave) {
        // The easy mode fixes these; accepting them would silently ignore them.
        if (periodGiven || biasGiven) {
            error = Tr("--period-ms and --bias need --mode fixed");
            return std::nullopt;
        }
        if (windowGiven) {
            error = Tr("--window needs --mode fixed for WAV files (the easy mode uses hamming)");
            return std::nullopt;
        }
        if (options.bandUpper || options.bandLower) {
            error = Tr("--band-upper and --band-lower need --mode fixed for WAV files (the easy "
                       "mode resets the band to the whole spectrum)");
            return std::nullopt;
        }
    }
    if (!anyWave && (periodGiven || biasGiven || samplingGiven)) {
        // Sample files hold a series already sampled; these would be ignored.
        error = Tr("--period-ms, --bias and --sampling apply to WAV files only (sample files "
                   "are analysed as they are)");
        return std::nullopt;
    }
    if ((options.samplingMode == kAmplitudeSampling || options.samplingMode == kPitchSampling) &&
        biasGiven) {
        error = Tr("--bias applies to --sampling frequency and fine-frequency only");
        return std::nullopt;
    }
    int upper = options.bandUpper.value_or(0);
    int lower = options.bandLower.value_or(-40);
    if (lower >= upper) {
        error = Tr("--band-lower must be below --band-upper");
        return std::nullopt;
    }

    if (options.files.size() > 1) {
        for (const std::string* path : {&options.smpPath, &options.csvPath,
                                        &options.spectrumPngPath, &options.seriesPngPath}) {
            if (!path->empty() && path->find("{name}") == std::string::npos) {
                error = TrSubst("with several files, output path '%s' needs {name}", {*path});
                return std::nullopt;
            }
        }
    }
    if (std::optional<std::string> clash = FindOutputClash(options)) {
        error = *clash;
        return std::nullopt;
    }
    return options;
}
