#include "validate/validation.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "analysis/analysisrun.h"
#include "analysis/analyzefile.h"
#include "analysis/fileoptions.h"
#include "base/textformat.h"

namespace {

// The crossing level of the easy mode, 2^-12, in the fixed mode's 1/32768.
constexpr int kEasyBias = 8;

std::string SignalName(TModulation modulation, int sampling) {
    const char* signal = modulation == TModulation::Amplitude   ? "AM"
                         : modulation == TModulation::Frequency ? "FM"
                                                                : "FM, 8 harmonics";
    return std::string(signal) + " (" + SamplingName(sampling) + " sampling)";
}

TFileOptions BaseOptions(int sampling) {
    TFileOptions options;
    options.samplingMode = sampling;
    return options;
}

// The (modulation, sampler) pairs of a configuration, in table order.
std::vector<std::pair<TModulation, int>> Signals(const TValidationConfig& config) {
    std::vector<std::pair<TModulation, int>> signals;
    for (TModulation modulation : config.modulations) {
        if (modulation == TModulation::Amplitude) {
            signals.emplace_back(modulation, kAmplitudeSampling);
        } else {
            for (int sampling : config.frequencySamplers) {
                signals.emplace_back(modulation, sampling);
            }
        }
    }
    return signals;
}

int SignalKey(TModulation modulation, int sampling) {
    return static_cast<int>(modulation) * 16 + sampling;
}

TFileOptions FixedOptions(int sampling, int periodMs) {
    TFileOptions options = BaseOptions(sampling);
    options.analyzeMode = kFixedMode;
    options.periodMs = periodMs;
    options.bias = kEasyBias;
    options.windowFunction = kHammingWindow;
    options.bandUpper = 0;
    options.bandLower = -40;
    return options;
}

std::optional<double> Lambda(const TFileReport& report, std::string& error) {
    if (!report.ok || !report.hasLine) {
        if (error.empty()) {
            error = report.errors.empty() ? "no regression line" : report.errors.front();
        }
        return std::nullopt;
    }
    return report.lambda;
}

void AnalyzeVariant(const TValidationConfig& config, const std::string& folder, std::size_t index,
                    TVariantResult& result) {
    const std::string path =
        folder + "/recording" + FormatInt(static_cast<long long>(index)) + ".wav";
    if (!WriteRecording(result.setup, path, result.error)) {
        return;
    }
    const int sampling = result.setup.sampling;

    TFileOptions easy = BaseOptions(sampling);
    easy.surrogates = config.surrogates;
    easy.seed = result.setup.seed;
    TFileReport report = AnalyzeFile(easy, path);
    result.easy = Lambda(report, result.error);
    result.meanRemoved = report.lambdaMeanRemoved;
    result.betaDfa = report.betaDfa;
    result.surrogateMean = report.surrogateMean;

    if (config.fixedModes) {
        result.fixed10 = Lambda(AnalyzeFile(FixedOptions(sampling, 10), path), result.error);
        result.fixed50 = Lambda(AnalyzeFile(FixedOptions(sampling, 50), path), result.error);
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    result.ok = result.error.empty();
}

// A fresh folder for the recordings, removed with them.
class TScratchFolder {
public:
    explicit TScratchFolder(std::string parent) {
        if (parent.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        }
        std::string pattern = parent + "/zittermark-validate-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder in " + parent);
        }
        path = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    std::string path;
};

// "-0.00" reads as "0.00".
std::string Fixed(double value, int decimals) {
    std::string text = FormatFixed(value, decimals);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

std::string Cell(const std::vector<std::optional<double>>& values) {
    std::optional<TColumnStats> stats = ColumnStats(values);
    if (!stats) {
        return "–";
    }
    return Fixed(stats->mean, 2) + " ± " + Fixed(stats->sd, 2);
}

std::string BetaText(double beta) {
    if (beta == std::floor(beta)) {
        return Fixed(beta, 0);
    }
    return Fixed(beta, beta * 10.0 == std::floor(beta * 10.0) ? 1 : 2);
}

std::string JoinInts(const std::vector<int>& values, const std::string& suffix) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i > 0 ? ", " : "") + FormatInt(values[i]) + suffix;
    }
    return text;
}

} // namespace

std::vector<TRecordingSetup> ValidationRecordings(const TValidationConfig& config) {
    std::vector<TRecordingSetup> setups;
    for (const auto& [modulation, sampling] : Signals(config)) {
        for (double beta : config.betas) {
            for (int seconds : config.durations) {
                for (int rate : config.rates) {
                    for (int channels : config.channels) {
                        for (int s = 0; s < config.seeds; ++s) {
                            TRecordingSetup setup;
                            setup.modulation = modulation;
                            setup.sampling = sampling;
                            setup.beta = beta;
                            setup.seconds = seconds;
                            setup.sampleRate = rate;
                            setup.channels = channels;
                            setup.seed = config.firstSeed + static_cast<std::uint64_t>(s);
                            setups.push_back(setup);
                        }
                    }
                }
            }
        }
    }
    return setups;
}

std::vector<TVariantResult>
RunValidation(const TValidationConfig& config,
              std::function<void(std::size_t done, std::size_t total)> progress) {
    const std::vector<TRecordingSetup> setups = ValidationRecordings(config);
    std::vector<TVariantResult> results(setups.size());
    for (std::size_t i = 0; i < setups.size(); ++i) {
        results[i].setup = setups[i];
    }
    TScratchFolder folder(config.tempParent);

    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::size_t done = 0;
    auto worker = [&] {
        for (;;) {
            const std::size_t index = next.fetch_add(1);
            if (index >= results.size()) {
                return;
            }
            try {
                AnalyzeVariant(config, folder.path, index, results[index]);
            } catch (const std::exception& e) {
                results[index].ok = false;
                results[index].error = e.what();
            }
            std::lock_guard<std::mutex> lock(mutex);
            ++done;
            if (progress) {
                progress(done, results.size());
            }
        }
    };
    const unsigned jobs = static_cast<unsigned>(std::max<std::size_t>(
        1,
        std::min<std::size_t>(static_cast<std::size_t>(std::max(1, config.jobs)), results.size())));
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs; ++j) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& thread : threads) {
        thread.join();
    }
    return results;
}

std::optional<TColumnStats> ColumnStats(const std::vector<std::optional<double>>& values) {
    TColumnStats stats;
    double sum = 0.0;
    for (const std::optional<double>& v : values) {
        if (v) {
            sum += *v;
            ++stats.n;
        }
    }
    if (stats.n == 0) {
        return std::nullopt;
    }
    stats.mean = sum / stats.n;
    double squares = 0.0;
    for (const std::optional<double>& v : values) {
        if (v) {
            squares += (*v - stats.mean) * (*v - stats.mean);
        }
    }
    stats.sd = stats.n > 1 ? std::sqrt(squares / (stats.n - 1)) : 0.0;
    return stats;
}

std::string ValidationMarkdown(const TValidationConfig& config,
                               const std::vector<TVariantResult>& results) {
    // Rows in the order of the configuration; std::map keeps (modulation,
    // beta) pairs apart without depending on the order of the results.
    struct TRow {
        std::vector<std::optional<double>> easy, fixed10, fixed50, meanRemoved, betaDfa, shuffled;
        std::map<int, std::vector<std::optional<double>>> easyBySeconds, meanRemovedBySeconds;
    };
    std::map<std::pair<int, double>, TRow> rows;
    const std::vector<std::pair<TModulation, int>> signals = Signals(config);
    std::size_t failed = 0;
    for (const TVariantResult& r : results) {
        if (!r.ok) {
            ++failed;
            continue;
        }
        TRow& row = rows[{SignalKey(r.setup.modulation, r.setup.sampling), r.setup.beta}];
        row.easy.push_back(r.easy);
        row.fixed10.push_back(r.fixed10);
        row.fixed50.push_back(r.fixed50);
        row.meanRemoved.push_back(r.meanRemoved);
        row.betaDfa.push_back(r.betaDfa);
        row.shuffled.push_back(r.surrogateMean);
        row.easyBySeconds[r.setup.seconds].push_back(r.easy);
        row.meanRemovedBySeconds[r.setup.seconds].push_back(r.meanRemoved);
    }

    const int variants =
        static_cast<int>(config.durations.size() * config.rates.size() * config.channels.size()) *
        config.seeds;
    std::string md;
    md += "Each cell: mean ± SD of λ over " + FormatInt(variants) + " recordings per row (" +
          JoinInts(config.durations, " s") + "; " + JoinInts(config.rates, " Hz") + "; " +
          JoinInts(config.channels, " ch") + "; " + FormatInt(config.seeds) +
          " seeds). Easy mode: 25 ms, Hamming, band reset to the whole spectrum. Fixed: "
          "Hamming, level 8/32768, bars 0 / −40. Mean-removed, β_DFA and shuffled come from "
          "the easy-mode series";
    md += config.surrogates > 0
              ? "; shuffled = mean λ of " + FormatInt(config.surrogates) + " shuffled copies.\n\n"
              : ".\n\n";
    md += "| signal | β | easy (25 ms) | fixed 10 ms | fixed 50 ms | mean-removed | β_DFA | "
          "shuffled |\n";
    md += "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const auto& [modulation, sampling] : signals) {
        for (double beta : config.betas) {
            const TRow& row = rows[{SignalKey(modulation, sampling), beta}];
            md += "| " + SignalName(modulation, sampling) + " | " + BetaText(beta) + " | " +
                  Cell(row.easy) + " | " + Cell(row.fixed10) + " | " + Cell(row.fixed50) + " | " +
                  Cell(row.meanRemoved) + " | " + Cell(row.betaDfa) + " | " + Cell(row.shuffled) +
                  " |\n";
        }
    }

    md += "\nBy duration: easy-mode λ / mean-removed λ (mean ± SD over the other variants).\n\n";
    md += "| signal | β |";
    std::string rule = "|---|---:|";
    for (int seconds : config.durations) {
        md += " " + FormatInt(seconds) + " s easy | " + FormatInt(seconds) + " s mean-removed |";
        rule += "---:|---:|";
    }
    md += "\n" + rule + "\n";
    for (const auto& [modulation, sampling] : signals) {
        for (double beta : config.betas) {
            TRow& row = rows[{SignalKey(modulation, sampling), beta}];
            md += "| " + SignalName(modulation, sampling) + " | " + BetaText(beta) + " |";
            for (int seconds : config.durations) {
                md += " " + Cell(row.easyBySeconds[seconds]) + " | " +
                      Cell(row.meanRemovedBySeconds[seconds]) + " |";
            }
            md += "\n";
        }
    }
    if (failed > 0) {
        md += "\n" + FormatInt(static_cast<long long>(failed)) +
              " recording(s) could not be analysed; the cells count only the others.\n";
    }
    return md;
}
