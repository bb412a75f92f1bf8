#include "cli/summary.h"

#include <optional>
#include <string_view>

#include "analysis/analysisrun.h"
#include "base/textformat.h"

namespace {

std::string Number(const std::optional<double>& value) {
    return value ? ShortestNumber(*value) : "";
}

// A row; with `nameFirst` the first field is a file name (see CsvNameField).
std::string Row(const std::vector<std::string>& fields, bool nameFirst = false) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        row +=
            (i ? "," : "") + (i == 0 && nameFirst ? CsvNameField(fields[i]) : CsvField(fields[i]));
    }
    return row + "\r\n";
}

} // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string CsvNameField(const std::string& name) {
    if (name.empty() || std::string_view("=+-@").find(name[0]) == std::string_view::npos) {
        return CsvField(name);
    }
    std::string quoted = "\"'";
    for (char c : name) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string SummaryCsv(const TCliOptions& options, const std::vector<TFileReport>& reports) {
    const bool surrogates = options.surrogates > 0;
    std::string csv = Row({"file",
                           "ok",
                           "count",
                           "period",
                           "N",
                           "binCount",
                           "groups",
                           "lambda",
                           "lambda_se",
                           "lambda_ci95_low",
                           "lambda_ci95_high",
                           "r2",
                           "lambda_mean_removed",
                           "dfa_alpha",
                           "beta_dfa",
                           "surrogate_mean",
                           "surrogate_sd",
                           "surrogate_p",
                           "warnings",
                           "mode",
                           "sampling",
                           "period_ms",
                           "bias",
                           "window",
                           "band_upper",
                           "band_lower",
                           "surrogates",
                           "seed",
                           "format",
                           "encoding",
                           "channels",
                           "sample_rate",
                           "warning_codes"});
    const bool fixed = options.analyzeMode != 0;
    for (const TFileReport& report : reports) {
        const bool sampleFile = IsSampleFileName(report.file);
        // The settings that applied to this input: the easy mode fixes the
        // period, level and window; a sample file is not sampled at all.
        const bool easy = !fixed && !sampleFile;
        std::string warnings;
        std::string codes;
        for (std::size_t i = 0; i < report.warnings.size(); ++i) {
            warnings += (i ? "; " : "") + report.warnings[i].text;
            codes += (i ? " " : "") + report.warnings[i].code;
        }
        const char* windows[] = {"rect", "hanning", "hamming"};
        csv += Row({report.file,
                    report.ok ? "true" : "false",
                    FormatInt(report.count),
                    ShortestNumber(report.period),
                    FormatInt(report.fftSize),
                    FormatInt(report.binCount),
                    FormatInt(report.groups),
                    report.hasLine ? ShortestNumber(report.lambda) : "",
                    Number(report.lambdaSe),
                    Number(report.lambdaCiLow),
                    Number(report.lambdaCiHigh),
                    Number(report.r2),
                    Number(report.lambdaMeanRemoved),
                    Number(report.dfaAlpha),
                    Number(report.betaDfa),
                    surrogates ? Number(report.surrogateMean) : "",
                    surrogates ? Number(report.surrogateSd) : "",
                    surrogates ? Number(report.surrogateP) : "",
                    warnings,
                    sampleFile ? "sample-file" : (fixed ? "fixed" : "easy"),
                    sampleFile ? "" : SamplingName(options.samplingMode),
                    sampleFile ? "" : (easy ? "25" : FormatInt(options.periodMs)),
                    sampleFile || (options.samplingMode != kFrequencySampling &&
                                   options.samplingMode != kFineFrequencySampling)
                        ? ""
                        : (easy ? "8" : FormatInt(options.bias)),
                    easy ? "hamming" : windows[options.windowFunction],
                    easy ? "whole" : FormatInt(options.bandUpper.value_or(0)),
                    easy ? "whole" : FormatInt(options.bandLower.value_or(-40)),
                    FormatInt(options.surrogates),
                    FormatInt(static_cast<long long>(options.seed)),
                    report.input.container,
                    report.input.encoding,
                    report.input.channels > 0 ? FormatInt(report.input.channels) : "",
                    report.input.channels > 0 ? FormatInt(report.input.sampleRateHz) : "",
                    codes},
                   true);
    }
    return csv;
}
