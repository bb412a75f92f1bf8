#include "analysis/analyzefile.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "analysis/pngtext.h"
#include "analysis/samplinggraph.h"
#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/messagebox.h"
#include "base/textformat.h"
#include "base/translate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "graph/xygraph.h"

namespace {

const char* const kSaveFailedMessage = TrMark("ファイルの保存に失敗しました。");

void Fail(TFileReport& report, const std::string& text) {
    report.ok = false;
    report.errors.push_back(text);
}

// The failed save of `path` with the system's reason, when there is one.
std::string SaveFailure(const std::string& path, const std::string& reason) {
    return std::string(Tr(kSaveFailedMessage)) + " (" + path +
           (reason.empty() ? "" : ": " + reason) + ")";
}

void Analyze(const TFileOptions& options, const std::string& file, TResampler resample,
             const TParallelFor& parallelFor, TFileReport& report) {
    // The spectrum window as created at start-up, and the main window's first
    // showing, which labels the band for the default period.
    TSpectrumState view;
    view.UpdateBandLabels(0.025);
    if (options.bandUpper) {
        view.SetUpperBarPosition(*options.bandUpper);
    }
    if (options.bandLower) {
        view.SetLowerBarPosition(*options.bandLower);
    }

    TWaveAnalyze series;
    std::unique_ptr<TComplexFFT> fft;
    double dataFraction = 0.0;
    double fftPeriod = 0.0;
    int analyzeMode;
    int windowFunction;

    if (IsSampleFileName(file)) {
        // A loaded series is analysed as the detailed mode analyses it.
        analyzeMode = kDetailedMode;
        windowFunction = options.windowFunction;
        if (!series.LoadFromFile(file)) {
            report.ok = false;
            return;
        }
        view.UpdateBandLabels(series.period);
    } else {
        analyzeMode = options.analyzeMode;
        // The easy mode forces the Hamming window.
        windowFunction = analyzeMode == kEasyMode ? kHammingWindow : options.windowFunction;
        TSamplingParameters parameters =
            SamplingParametersFor(analyzeMode, options.periodMs, options.bias);
        report.sampling = SamplingName(options.samplingMode);
        if (RunSamplingStep(series, file, options.samplingMode, parameters, nullptr) !=
            TSamplingOutcome::Sampled) {
            report.ok = false;
            return;
        }
    }
    const TRunDescription run{file, analyzeMode, series.unit, series.period, windowFunction};
    report.count = series.count;
    report.period = series.period;
    report.warnings = series.warnings;
    report.input = series.input;

    if (!options.smpPath.empty()) {
        const std::string path = ExpandOutputPath(options.smpPath, file);
        std::string problem;
        std::string reason;
        if (!series.SaveToFile(path, &problem, &reason)) {
            Fail(report, problem.empty() ? SaveFailure(path, reason) : problem + " (" + path + ")");
        }
    }
    if (!options.seriesPngPath.empty()) {
        std::string path = ExpandOutputPath(options.seriesPngPath, file);
        TSamplingDrawing drawing =
            DrawSamplingGraph(series.values.get(), series.count, series.period, series.unit,
                              options.seriesWidth, options.seriesHeight, path, SeriesPngText(run));
        if (!drawing.saved) {
            Fail(report, SaveFailure(path, drawing.saveError));
        }
    }

    if (RunSpectrumStage(series, analyzeMode, windowFunction, view, fft, dataFraction, fftPeriod,
                         nullptr, resample) != TSpectrumOutcome::Transformed) {
        report.ok = false;
        return;
    }
    view.TakeSpectrum(fft.get(), fft->count, dataFraction, fftPeriod, series.period);
    if (series.count > fft->count) {
        report.warnings.push_back(
            {"decimated", TrSubst("series of %s values decimated to %s with an anti-alias filter",
                                  {std::to_string(series.count), std::to_string(fft->count)})});
    }
    report.fftSize = view.fftSize;
    report.binCount = view.binCount;

    std::string pngPath =
        options.spectrumPngPath.empty() ? "" : ExpandOutputPath(options.spectrumPngPath, file);
    TSpectrumDrawing drawing;
    if (view.CanDraw()) {
        drawing = DrawSpectrum(view, options.spectrum, pngPath, nullptr, &run);
        if (!drawing.graph) {
            report.ok = false;
            return;
        }
        report.groups = static_cast<int>(drawing.gx.size());
        report.hasLine = drawing.hasLine;
        report.slope = drawing.slope;
        report.intercept = drawing.intercept;
        // 0 - slope rather than -slope: a level line reads 0, not -0.
        report.lambda = 0.0 - drawing.slope;
        report.lambdaText = drawing.lambdaText;
        if (!drawing.saved) {
            Fail(report, SaveFailure(pngPath, drawing.saveError));
        }
    } else if (!pngPath.empty()) {
        Fail(report, TrSubst("too few values to draw a spectrum (%s not written)", {pngPath}));
    }

    if (!options.csvPath.empty()) {
        std::string path = ExpandOutputPath(options.csvPath, file);
        std::string reason;
        if (!fft->SaveCsv(path, fftPeriod, dataFraction, &reason)) {
            Fail(report, SaveFailure(path, reason));
        }
    }

    TLambdaCheck check = CheckLambda(series.values.get(), series.count, series.period, analyzeMode,
                                     windowFunction, view, drawing, resample);
    if (check.quality) {
        report.lambdaSe = check.quality->se;
        report.lambdaCiLow = check.quality->ciLow;
        report.lambdaCiHigh = check.quality->ciHigh;
        report.r2 = check.quality->r2;
    }
    report.lambdaMeanRemoved = check.lambdaMeanRemoved;
    if (check.dfa) {
        report.dfaAlpha = check.dfa->alpha;
        report.betaDfa = check.dfa->beta;
    }
    report.warnings.insert(report.warnings.end(), check.warnings.begin(), check.warnings.end());

    if (options.surrogates > 0 && drawing.hasLine) {
        std::optional<TSurrogateSummary> summary = SummarizeSurrogates(
            SurrogateLambdas(series, analyzeMode, windowFunction, view, options.surrogates,
                             options.seed, parallelFor, resample),
            report.lambda);
        if (summary) {
            report.surrogateMean = summary->mean;
            report.surrogateSd = summary->sd;
            report.surrogateP = summary->p;
        }
    }
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the byte
// there does not start one (a stray continuation byte, an overlong form, a
// surrogate, a code point above U+10FFFF or a sequence cut short).
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

void AppendHexEscape(std::string& out, unsigned char c) {
    static const char* hex = "0123456789abcdef";
    out += "\\u00";
    out += hex[c >> 4];
    out += hex[c & 15];
}

// A JSON string of the text; bytes that are not UTF-8 become U+FFFD, so the
// line stays valid JSON whatever a file name holds.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at++]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                AppendHexEscape(out, c);
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// The bytes of a name as a JSON string of Latin-1 characters, each escaped,
// so that a reader can recover a name that is not UTF-8 exactly.
std::string JsonBytes(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        AppendHexEscape(out, c);
    }
    return out + "\"";
}

// A file name for the text line: control characters written as \n, \r, \t
// or \xHH, so that one file stays one line.
std::string LineText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            static const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Shortest text that reads back as the same double; null when not finite.
std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string JsonOptional(const std::optional<double>& value) {
    return value ? JsonNumber(*value) : "null";
}

} // namespace

TFileReport AnalyzeFile(const TFileOptions& options, const std::string& file, TResampler resample,
                        const TParallelFor& parallelFor) {
    TFileReport report;
    report.file = file;
    report.ok = true;
    // Boxes shown during this file's analysis belong to this file.
    TScopedThreadPresenter presenter([&](const TMessage& message) {
        std::string text = message.text;
        for (char& c : text) {
            if (c == '\n') {
                c = ' ';
            }
        }
        if (text == Tr(kUnreadableWaveMessage)) {
            text += Tr(" (not an audio file any decoder here reads: WAV, AIFF, FLAC, Ogg Vorbis, "
                       "Opus, MP3, CAF, W64 or RF64)");
        }
        report.errors.push_back(text);
    });
    try {
        Analyze(options, file, resample, parallelFor, report);
    } catch (const std::bad_alloc&) {
        // Said in words: the library's own text ("std::bad_alloc") tells a
        // user nothing.
        Fail(report,
             Tr("out of memory: the analysis needed more memory than the system could give"));
    } catch (const std::exception& e) {
        Fail(report, e.what());
    }
    if (!report.errors.empty()) {
        report.ok = false;
    }
    return report;
}

std::string ShortestNumber(double value) {
    return std::isfinite(value) ? JsonNumber(value) : "";
}

std::string ReportLine(const TFileReport& report) {
    return LineText(report.file) + ": count=" + FormatInt(report.count) +
           " period=" + FormatFixed(report.period, 6) + " N=" + FormatInt(report.fftSize) +
           " binCount=" + FormatInt(report.binCount) + " groups=" + FormatInt(report.groups) + " " +
           (report.hasLine ? report.lambdaText : std::string("λ = none")) +
           (report.hasLine && report.lambdaSe ? " ± " + FormatFixed(*report.lambdaSe, 3) : "");
}

std::string ReportJson(const TFileReport& report, bool surrogates) {
    std::string json =
        "{\"file\":" + JsonString(report.file) +
        (IsUtf8(report.file) ? std::string() : ",\"file_bytes\":" + JsonBytes(report.file)) +
        ",\"ok\":" + (report.ok ? "true" : "false") + ",\"count\":" + FormatInt(report.count) +
        ",\"period\":" + JsonNumber(report.period) + ",\"N\":" + FormatInt(report.fftSize) +
        ",\"binCount\":" + FormatInt(report.binCount) + ",\"groups\":" + FormatInt(report.groups) +
        ",\"sampling\":" + (report.sampling.empty() ? "null" : JsonString(report.sampling));
    if (report.hasLine) {
        json += ",\"lambdaText\":" + JsonString(report.lambdaText) +
                ",\"lambda\":" + JsonNumber(report.lambda) +
                ",\"slope\":" + JsonNumber(report.slope) +
                ",\"intercept\":" + JsonNumber(report.intercept);
    } else {
        json += ",\"lambdaText\":null,\"lambda\":null,\"slope\":null,\"intercept\":null";
    }
    json += ",\"lambda_se\":" + JsonOptional(report.lambdaSe);
    if (report.lambdaCiLow && report.lambdaCiHigh) {
        json += ",\"lambda_ci95\":[" + JsonNumber(*report.lambdaCiLow) + "," +
                JsonNumber(*report.lambdaCiHigh) + "]";
    } else {
        json += ",\"lambda_ci95\":null";
    }
    json += ",\"r2\":" + JsonOptional(report.r2) +
            ",\"lambda_mean_removed\":" + JsonOptional(report.lambdaMeanRemoved) +
            ",\"dfa_alpha\":" + JsonOptional(report.dfaAlpha) +
            ",\"beta_dfa\":" + JsonOptional(report.betaDfa);
    if (surrogates) {
        json += ",\"surrogate_mean\":" + JsonOptional(report.surrogateMean) +
                ",\"surrogate_sd\":" + JsonOptional(report.surrogateSd) +
                ",\"surrogate_p\":" + JsonOptional(report.surrogateP);
    }
    if (report.input.channels > 0) {
        json += ",\"format\":" + JsonString(report.input.container) +
                ",\"encoding\":" + JsonString(report.input.encoding) +
                ",\"channels\":" + FormatInt(report.input.channels) +
                ",\"sample_rate\":" + FormatInt(report.input.sampleRateHz);
    } else {
        json += ",\"format\":null,\"encoding\":null,\"channels\":null,\"sample_rate\":null";
    }
    json += ",\"warnings\":[";
    for (std::size_t i = 0; i < report.warnings.size(); ++i) {
        json += std::string(i ? "," : "") + "{\"code\":" + JsonString(report.warnings[i].code) +
                ",\"text\":" + JsonString(report.warnings[i].text) + "}";
    }
    json += "]";
    if (!report.errors.empty()) {
        json += ",\"errors\":[";
        for (std::size_t i = 0; i < report.errors.size(); ++i) {
            json += (i ? "," : "") + JsonString(report.errors[i]);
        }
        json += "]";
    }
    return json + "}";
}
