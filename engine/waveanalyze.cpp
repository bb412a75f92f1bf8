#include "engine/waveanalyze.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/memorybudget.h"
#include "base/messagebox.h"
#include "base/safefile.h"
#include "base/textformat.h"
#include "base/translate.h"
#include "engine/finecrossings.h"
#include "engine/pitchtracker.h"
#include "engine/wavefile.h"

namespace {

// A window's length in milliseconds as a user would type it: up to three
// decimals, without trailing zeros ("25", "0.5").
std::string Milliseconds(double period) {
    std::string text = FormatFixed(period * 1000.0, 3);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') {
            text.pop_back();
        }
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

// The file is read in blocks of this many frames, whatever the window length,
// so memory stays bounded; a block holds many short windows or a piece of a
// long one.
constexpr uint32_t kBlockFrames = 4096;

// Level crossings of one window, fed in consecutive pieces.
struct TCrossingCounter {
    double bias;
    bool started = false;
    float previous = 0.0f;
    int64_t crossings = 0;

    void Add(const float* x, std::size_t n) {
        std::size_t j = 0;
        if (!started && n > 0) {
            // A window whose first sample lies on the level counts it once.
            if (x[0] == bias) {
                ++crossings;
            }
            previous = x[0];
            started = true;
            j = 1;
        }
        // A downward crossing or touch, or an upward one; a pair whose earlier
        // sample lies exactly on the level counts nothing. The float samples
        // are compared with the double level as they are.
        for (; j < n; ++j) {
            const float current = x[j];
            if ((previous > bias && current <= bias) || (previous < bias && current >= bias)) {
                ++crossings;
            }
            previous = current;
        }
    }

    void Reset() {
        started = false;
        crossings = 0;
    }
};

// Sum of squares of one window, in index order.
struct TSquareSum {
    double sum = 0.0;

    void Add(const float* x, std::size_t n) {
        for (std::size_t j = 0; j < n; ++j) {
            const double v = x[j];
            sum += v * v;
        }
    }

    void Reset() { sum = 0.0; }
};

// The comparisons of the crossing rule on the integer form of 8- and 16-bit
// data. A frame's float is s * scale with s a whole number and scale a power
// of two, so s * scale > bias exactly when s > bias / scale, which for a
// whole s means s > floor(bias / scale); likewise s * scale < bias exactly
// when s < ceil(bias / scale). The thresholds are clamped far outside the
// 17-bit range of s, which keeps every comparison's outcome.
struct TIntegerLevel {
    int32_t above; // s lies above the level when s > above
    int32_t below; // s lies below the level when s < below

    static TIntegerLevel For(double bias, double scale) {
        const double t = bias / scale;
        const double limit = 1 << 30;
        return {static_cast<int32_t>(std::clamp(std::floor(t), -limit, limit)),
                static_cast<int32_t>(std::clamp(std::ceil(t), -limit, limit))};
    }
};

// TCrossingCounter on the integer form: the same counts for the same frames.
struct TIntegerCrossingCounter {
    TIntegerLevel level;
    bool started = false;
    int32_t previous = 0;
    int64_t crossings = 0;

    __attribute__((noinline)) void Add(const int32_t* s, std::size_t n) {
        if (n == 0) {
            return;
        }
        const int32_t above = level.above;
        const int32_t below = level.below;
        if (!started) {
            // Neither above nor below: on the level.
            if (s[0] <= above && s[0] >= below) {
                ++crossings;
            }
            started = true;
        } else {
            crossings += Crossing(previous, s[0], above, below);
        }
        // Every pair is independent of the others, so the count runs without
        // a carried dependency, four pairs at a time where SSE2 is there.
        uint32_t count = 0;
        std::size_t j = 1;
#if defined(__SSE2__)
        const __m128i aboveLevel = _mm_set1_epi32(above);
        const __m128i belowLevel = _mm_set1_epi32(below);
        __m128i lanes = _mm_setzero_si128();
        for (; j + 4 <= n; j += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j - 1));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j));
            // All-ones lanes where (p > above and not c > above) or (p < below
            // and not c < below).
            const __m128i down =
                _mm_andnot_si128(_mm_cmpgt_epi32(c, aboveLevel), _mm_cmpgt_epi32(p, aboveLevel));
            const __m128i up =
                _mm_andnot_si128(_mm_cmpgt_epi32(belowLevel, c), _mm_cmpgt_epi32(belowLevel, p));
            lanes = _mm_sub_epi32(lanes, _mm_or_si128(down, up));
        }
        alignas(16) uint32_t lane[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lane), lanes);
        count = (lane[0] + lane[1]) + (lane[2] + lane[3]);
#endif
        for (; j < n; ++j) {
            count += Crossing(s[j - 1], s[j], above, below);
        }
        crossings += count;
        previous = s[n - 1];
    }

    static uint32_t Crossing(int32_t p, int32_t c, int32_t above, int32_t below) {
        return static_cast<uint32_t>(((p > above) & (c <= above)) | ((p < below) & (c >= below)));
    }

    void Reset() {
        started = false;
        crossings = 0;
    }
};

// TSquareSum on the integer form. Each square s^2 * scale^2 is exact in a
// double, and while the window's sum of s^2 stays below 2^53 so is every
// partial sum in any order: the result equals the index-order sum of the
// float samples' squares bit for bit. The caller checks that bound.
struct TIntegerSquareSum {
    int64_t sum = 0;

    void Add(const int32_t* s, std::size_t n) {
        // Several running sums break the chain of dependent additions; being
        // exact, they add up to the same total in any grouping.
        std::size_t j = 0;
#if defined(__SSE2__)
        __m128d low = _mm_setzero_pd();
        __m128d high = _mm_setzero_pd();
        for (; j + 4 <= n; j += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j));
            const __m128d a = _mm_cvtepi32_pd(v);
            const __m128d b = _mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v));
            low = _mm_add_pd(low, _mm_mul_pd(a, a));
            high = _mm_add_pd(high, _mm_mul_pd(b, b));
        }
        alignas(16) double lane[4];
        _mm_store_pd(lane, low);
        _mm_store_pd(lane + 2, high);
        sum += static_cast<int64_t>(lane[0]) + static_cast<int64_t>(lane[1]) +
               static_cast<int64_t>(lane[2]) + static_cast<int64_t>(lane[3]);
#endif
        int64_t rest = 0;
        for (; j < n; ++j) {
            rest += static_cast<int64_t>(s[j]) * s[j];
        }
        sum += rest;
    }

    void Reset() {
        sum = 0;
    }
};

// The frames of one window, gathered for a reducer that needs them together.
struct TWindowFrames {
    std::vector<float> frames;
    std::size_t filled = 0;

    void Add(const float* x, std::size_t n) {
        std::copy(x, x + n, frames.begin() + static_cast<std::ptrdiff_t>(filled));
        filled += n;
    }

    void Reset() { filled = 0; }
};

struct TSampledSeries {
    std::unique_ptr<double[]> values;
    int count = 0;
    double period = 0.0;
    std::vector<TWarning> warnings;
    TInputFormat input;
};

enum class TSamplingRule { Frequency, Amplitude, FineFrequency, Pitch };

// The frames of an open file in either form, for ReduceWindows.
struct TFrameSource {
    TWaveFile& wave;

    int operator()(int32_t* out, unsigned n) { return wave.ReadFrameSums(out, n); }
    int operator()(float* out, unsigned n) { return wave.ReadFrames(out, n); }
    // The frames stopped short of the frame count: a failed read or a
    // decoder that ended early. The windows after the frames are dropped
    // then.
    bool Stopped() const { return wave.ReadFailed() || wave.EndedEarly(); }
};

// One value per window from a stream of frames read in blocks: each block is
// cut at the window boundaries and every piece fed to the window's reducer,
// so the reducer sees exactly the frames of its window, in order, whatever
// the block size.
template <typename Sample, typename Reducer, typename Read, typename Finish>
void ReduceWindows(uint64_t windows, uint64_t window, std::vector<Sample>& buffer, Reducer& reducer,
                   Read read, Finish finish) {
    uint64_t w = 0;
    uint64_t left = window; // frames of window w still to come
    bool ended = false;
    while (w < windows && !ended) {
        const int got = read(buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got <= 0) {
            break;
        }
        ended = static_cast<std::size_t>(got) < buffer.size();
        std::size_t at = 0;
        while (at < static_cast<std::size_t>(got) && w < windows) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<uint64_t>(left, static_cast<uint64_t>(got) - at));
            reducer.Add(buffer.data() + at, piece);
            at += piece;
            left -= piece;
            if (left == 0) {
                finish(w, false);
                reducer.Reset();
                ++w;
                left = window;
            }
        }
    }
    // The data have ended: a partial last window, or windows the data never
    // reached, are zero-padded. Frames that stopped short leave only the
    // window in progress to finish: the caller drops the rest, and a file
    // that announces 2^31 frames and gives none must not cost 2^31 frames of
    // padding.
    const uint64_t last = read.Stopped() ? std::min(windows, w + 1) : windows;
    for (; w < last; ++w) {
        finish(w, true);
        reducer.Reset();
    }
}

// The interpolated-crossing frequency of every window, on either form of the
// frames; NaN where a window has fewer than three crossings. A partial or
// missing tail reads as one zero frame, as for the counted crossings (the
// frames after it add no crossing).
template <typename Sample, typename Crossings, typename Read>
void FineWindows(uint64_t windows, uint64_t window, std::vector<Sample>& buffer,
                 Crossings& crossings, Read read, double rate, double* values) {
    ReduceWindows(windows, window, buffer, crossings, read, [&](uint64_t w, bool padded) {
        if (padded) {
            const Sample zero = 0;
            crossings.Add(&zero, 1);
        }
        values[w] = crossings.Frequency(rate).value_or(std::nan(""));
    });
}

// Reads `name` window by window and reduces each window to one value by the
// rule. Nothing is returned when the file cannot be read or the window holds
// no frame, so the caller's series is only ever replaced as a whole.
std::optional<TSampledSeries> SampleWindows(const std::string& name, double requestedPeriod,
                                            TSamplingRule rule, double bias, std::string& problem) {
    TWaveFile wave;
    if (!wave.Open(name)) {
        problem = wave.problem;
        return std::nullopt;
    }
    const int32_t rate = wave.format.sampleRate;
    const int64_t windowFrames = TWaveAnalyze::WindowLength(rate, requestedPeriod);
    if (windowFrames < 1) {
        problem = TrSubst("sample rate %s Hz gives 0 frames per %s ms window",
                          {FormatInt(rate), Milliseconds(requestedPeriod)});
        return std::nullopt;
    }
    const uint64_t frames = wave.frameCount;
    const uint64_t window = static_cast<uint64_t>(windowFrames);
    const uint64_t windows = frames / window + (frames % window != 0 ? 1 : 0);
    if (windows > static_cast<uint64_t>(INT_MAX)) {
        problem = TrSubst("%s windows, more than the 2147483647 a series can hold",
                          {FormatInt(static_cast<long long>(windows))});
        return std::nullopt;
    }
    // Refused with the figures before the series is allocated, rather than
    // failing once the analysis has taken what the machine had.
    const std::string shortfall = MemoryShortfall(windows, TrMark("windows"), AvailableMemoryNow());
    if (!shortfall.empty()) {
        problem = shortfall;
        return std::nullopt;
    }

    TSampledSeries result;
    // A file without samples gives an empty series; these say why.
    if (frames == 0) {
        result.warnings.push_back(
            wave.Decoded() ? TWarning{"no_frames", Tr("the file holds no frames")}
            : wave.hasDataChunk
                ? TWarning{"empty_data_chunk", Tr("the \"data\" chunk holds no frames")}
                : TWarning{"no_data_chunk", Tr("the file has no \"data\" chunk")});
    }
    result.input = {wave.ContainerName(), wave.EncodingName(), wave.Channels(), rate};
    result.count = static_cast<int>(windows);
    // The true duration of the window, not the requested one.
    result.period = static_cast<double>(windowFrames) / rate;
    const double period = result.period;
    try {
        if (windows > 0) {
            result.values = std::make_unique<double[]>(windows);
        }
    } catch (const std::bad_alloc&) {
        problem = Tr("out of memory");
        return std::nullopt;
    }
    double* values = result.values.get();
    const std::size_t blockFrames =
        static_cast<std::size_t>(std::min<uint64_t>(std::max<uint64_t>(frames, 1), kBlockFrames));

    // 8- and 16-bit data are reduced in their exact integer form when that
    // gives the same values: the sums of squares must stay exact (|s| <=
    // 2^16, so s^2 <= 2^32), and a level that is not a number compares
    // unlike any integer threshold.
    const double scale = wave.FrameSumScale();
    const bool exactSquares = window <= (uint64_t{1} << 21);
    const bool crossingRule =
        rule == TSamplingRule::Frequency || rule == TSamplingRule::FineFrequency;
    const bool integerForm =
        scale > 0.0 &&
        (crossingRule ? !std::isnan(bias) : rule == TSamplingRule::Amplitude && exactSquares);
    // The measuring samplers leave windows without a value (NaN) where they
    // find no pitch; those are filled in afterwards.
    const bool fillsGaps = rule == TSamplingRule::FineFrequency || rule == TSamplingRule::Pitch;

    try {
        if (integerForm) {
            std::vector<int32_t> buffer(blockFrames);
            TFrameSource read{wave};
            if (rule == TSamplingRule::FineFrequency) {
                const TIntegerLevel level = TIntegerLevel::For(bias, scale);
                TIntegerFineCrossings crossings{level.above, level.below, bias / scale};
                FineWindows(windows, window, buffer, crossings, read, rate, values);
            } else if (rule == TSamplingRule::Frequency) {
                TIntegerCrossingCounter crossings{TIntegerLevel::For(bias, scale)};
                ReduceWindows(
                    windows, window, buffer, crossings, read, [&](uint64_t w, bool padded) {
                        if (padded) {
                            const int32_t zero = 0;
                            crossings.Add(&zero, 1);
                        }
                        values[w] = static_cast<double>(crossings.crossings) * 0.5 / period;
                    });
            } else {
                TIntegerSquareSum squares;
                const double scale2 = scale * scale;
                ReduceWindows(windows, window, buffer, squares, read, [&](uint64_t w, bool) {
                    const double sum = static_cast<double>(squares.sum) * scale2;
                    values[w] = std::sqrt(sum / static_cast<double>(window));
                });
            }
        } else {
            std::vector<float> buffer(blockFrames);
            TFrameSource read{wave};
            if (rule == TSamplingRule::FineFrequency) {
                TFineCrossings crossings{bias};
                FineWindows(windows, window, buffer, crossings, read, rate, values);
            } else if (rule == TSamplingRule::Pitch) {
                TPitchTracker tracker(static_cast<int>(window), rate);
                if (!tracker.Ready()) {
                    problem = tracker.problem;
                    return std::nullopt;
                }
                TWindowFrames frames{std::vector<float>(window)};
                ReduceWindows(windows, window, buffer, frames, read, [&](uint64_t w, bool padded) {
                    if (padded) {
                        std::fill(frames.frames.begin() +
                                      static_cast<std::ptrdiff_t>(frames.filled),
                                  frames.frames.end(), 0.0f);
                    }
                    values[w] = tracker.Window(frames.frames.data()).value_or(std::nan(""));
                });
            } else if (rule == TSamplingRule::Frequency) {
                TCrossingCounter crossings{bias};
                ReduceWindows(
                    windows, window, buffer, crossings, read, [&](uint64_t w, bool padded) {
                        // A partial or missing tail reads as zeros. Only its first
                        // zero can meet the level differently from its neighbour;
                        // two zeros side by side never cross, and zeros add
                        // nothing to a sum, so the rest of the tail is never
                        // materialised.
                        if (padded) {
                            const float zero = 0.0f;
                            crossings.Add(&zero, 1);
                        }
                        values[w] = static_cast<double>(crossings.crossings) * 0.5 / period;
                    });
            } else {
                TSquareSum squares;
                ReduceWindows(windows, window, buffer, squares, read, [&](uint64_t w, bool) {
                    values[w] = std::sqrt(squares.sum / static_cast<double>(window));
                });
            }
        }
    } catch (const std::bad_alloc&) {
        problem = Tr("out of memory");
        return std::nullopt;
    }
    if (wave.ReadFailed()) {
        // Zero-padding the frames that could not be read would pass off a
        // damaged series as the recording's.
        problem = wave.problem;
        return std::nullopt;
    }
    if (wave.EndedEarly()) {
        // The decoder's length at open was an estimate: the series ends with
        // the last window the decoded frames reach, not with windows of
        // padding.
        const uint64_t decoded = wave.frameCount;
        const uint64_t reached = decoded / window + (decoded % window != 0 ? 1 : 0);
        if (reached < windows) {
            auto kept = std::make_unique<double[]>(reached);
            std::copy(values, values + reached, kept.get());
            result.values = reached > 0 ? std::move(kept) : nullptr;
            result.count = static_cast<int>(reached);
        }
        result.warnings.push_back(
            {"decoder_shortfall", TrSubst("the decoder gave %s of the %s frames it announced",
                                          {std::to_string(decoded), std::to_string(frames)})});
    } else if (wave.declaredFrames > wave.frameCount) {
        result.warnings.push_back(
            {"short_data",
             TrSubst("the file holds %s of %s frames its header declares",
                     {std::to_string(wave.frameCount), std::to_string(wave.declaredFrames)})});
    }
    if (fillsGaps && result.count > 0) {
        const int64_t filled = FillFromPrevious(result.values.get(), result.count);
        // A few gaps are the pauses of any recording; more say the measure
        // is unreliable here.
        if (filled * 20 > result.count) {
            const std::string share =
                FormatFixed(100.0 * static_cast<double>(filled) / result.count, 1);
            result.warnings.push_back(
                {"gaps_filled",
                 Subst(rule == TSamplingRule::Pitch
                           ? Tr("%s of %s windows (%s %%) had no pitch and took the value of the "
                                "window before them")
                           : Tr("%s of %s windows (%s %%) had no three crossings and took the "
                                "value of the window before them"),
                       {FormatInt(filled), FormatInt(result.count), share})});
        }
    }
    wave.Close();
    return result;
}

// The title line in CP932, as every sample file carries it:
// "サンプリング周期(sec)","サンプル数","単位"
constexpr std::string_view kTitleLine =
    "\"\x83\x54\x83\x93\x83\x76\x83\x8A\x83\x93\x83\x4F\x8E\xFC\x8A\xFA(sec)\","
    "\"\x83\x54\x83\x93\x83\x76\x83\x8B\x90\x94\",\"\x92\x50\x88\xCA\"";
// "サンプリング周期", the text that identifies a sample file, in CP932 and in
// UTF-8.
constexpr std::string_view kPeriodTitleCp932 =
    "\x83\x54\x83\x93\x83\x76\x83\x8A\x83\x93\x83\x4F\x8E\xFC\x8A\xFA";
constexpr std::string_view kPeriodTitleUtf8 = "サンプリング周期";

const char* const kOpenFailed = TrMark("ファイルのオープンに失敗しました。");
const char* const kBadFormat = TrMark("ファイルの形式が正しくありません。");
const char* const kCountMismatch = TrMark("サンプルの数が一致しません。");

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// The longest line a sample file may hold, without its line end: a
// text-mode stream reads 255 characters including the line end at a time.
constexpr std::size_t kMaxLineCharacters = 254;

// Reads the lines of a sample file: CR LF is one line end, as is a lone LF,
// and trailing blanks and control characters are stripped. A line is read
// whole whatever its length, so a line over the limit is reported rather
// than taken as two.
class TLineReader {
public:
    explicit TLineReader(std::istream& in) : buffer(in.rdbuf()) {}

    // Reads the next line into `line`. False, with `line` empty, when the
    // stream ended before the line's first character.
    bool Read(std::string& line) {
        line.clear();
        tooLong = false;
        bool any = false;
        std::size_t characters = 0;
        while (buffer) {
            int c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                break;
            }
            any = true;
            if (c == '\r' && buffer->sgetc() == '\n') {
                buffer->sbumpc();
                c = '\n';
            }
            if (c == '\n') {
                break;
            }
            if (++characters > kMaxLineCharacters) {
                // The rest of the line is consumed but not kept.
                tooLong = true;
                continue;
            }
            line.push_back(static_cast<char>(c));
        }
        if (any) {
            ++lines;
        }
        while (!line.empty() && IsBlankOrControl(line.back())) {
            line.pop_back();
        }
        return any;
    }

    // True when the line last read had more characters than a line may hold.
    bool TooLong() const { return tooLong; }

    // The number of the line last read, counting from 1.
    uint64_t LineNumber() const { return lines; }

private:
    std::streambuf* buffer;
    uint64_t lines = 0;
    bool tooLong = false;
};

// One field of comma text and how it was separated from the field before.
struct TCommaField {
    std::string text;
    bool afterComma = false; // false for the first field and after blanks alone
};

// Splits comma text: fields are separated by commas; a field that begins
// with a double quote runs to the matching closing quote, two double quotes
// inside it standing for one; outside quotes, blanks and control characters
// also end a field and are skipped. A comma at the very end adds an empty
// field. An unclosed quote runs to the end of the text.
std::vector<TCommaField> SplitCommaText(std::string_view text) {
    std::vector<TCommaField> fields;
    std::size_t p = 0;
    const std::size_t n = text.size();
    auto skipBlanks = [&] {
        while (p < n && IsBlankOrControl(text[p])) {
            ++p;
        }
    };
    skipBlanks();
    bool comma = false;
    while (p < n) {
        std::string field;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        field.push_back('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                field.push_back(text[p++]);
            }
        } else {
            const std::size_t start = p;
            while (p < n && !IsBlankOrControl(text[p]) && text[p] != ',') {
                ++p;
            }
            field.assign(text.substr(start, p - start));
        }
        fields.push_back({std::move(field), comma});
        comma = false;
        skipBlanks();
        if (p < n && text[p] == ',') {
            comma = true;
            if (p + 1 == n) {
                fields.push_back({std::string(), true});
            }
            ++p;
            skipBlanks();
        }
    }
    return fields;
}

// True when one of the first `wanted` comma-separated fields holds more than
// one blank-separated token. Text without any comma separates its fields by
// blanks alone, so that is no fault there.
bool FieldHasSeveralTokens(const std::vector<TCommaField>& fields, std::size_t wanted) {
    const bool anyComma = std::any_of(fields.begin(), fields.end(),
                                      [](const TCommaField& f) { return f.afterComma; });
    if (!anyComma) {
        return false;
    }
    std::size_t group = 0;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (fields[i].afterComma) {
            if (++group >= wanted) {
                return false;
            }
        } else {
            return true;
        }
    }
    return false;
}

std::string QuotedUnit(const std::string& unit) {
    std::string quoted = "\"";
    for (char c : unit) {
        // A doubled quote reads back as one, so any unit survives a reload.
        if (c == '"') {
            quoted.push_back('"');
        }
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

bool Fail(const std::string& message) {
    ShowErrorBox(message);
    return false;
}

// The format message with the number of the line at fault.
std::string LineFault(uint64_t line) {
    return std::string(Tr(kBadFormat)) +
           TrSubst("(%s行目)", {FormatInt(static_cast<long long>(line))});
}

// The format message naming the line and the field that is wrong.
std::string FieldFault(uint64_t line, const char* field) {
    return std::string(Tr(kBadFormat)) +
           TrSubst("(%s行目、%s)", {FormatInt(static_cast<long long>(line)), Tr(field)});
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The text converted between two encodings by the C library, or nothing when
// some byte sequence has no counterpart.
std::optional<std::string> Convert(std::string_view text, const char* to, const char* from) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in(text);
    // Neither direction between CP932 and UTF-8 more than doubles the length.
    std::string out(in.size() * 2 + 4, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t sourceLeft = in.size();
    std::size_t targetLeft = out.size();
    const std::size_t result = iconv(converter, &source, &sourceLeft, &target, &targetLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || sourceLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - targetLeft);
    return out;
}

bool IsUtf8(std::string_view text) {
    return Convert(text, "UTF-8", "UTF-8").has_value();
}

// The unit of a sample file as UTF-8: files carry it in CP932 or in UTF-8,
// as they carry the title.
std::optional<std::string> UnitFromFile(std::string_view bytes) {
    if (IsAscii(bytes) || IsUtf8(bytes)) {
        return std::string(bytes);
    }
    return Convert(bytes, "UTF-8", "CP932");
}

// The unit as a sample file carries it: in CP932 where every character has a
// CP932 form, as the title line, and otherwise in UTF-8 as held.
std::string UnitForFile(const std::string& unit) {
    if (IsAscii(unit) || !IsUtf8(unit)) {
        return unit;
    }
    std::optional<std::string> cp932 = Convert(unit, "CP932", "UTF-8");
    return cp932 ? *cp932 : unit;
}

} // namespace

int64_t TWaveAnalyze::WindowLength(int32_t sampleRate, double period) {
    if (sampleRate <= 0 || !(period > 0.0) || !std::isfinite(period)) {
        return 0;
    }
    const double rate = sampleRate;
    const double product = rate * period;
    // No window that long can be read; beyond 2^53 the product is an integer
    // whose neighbours are not, and no caller needs its floor.
    if (!(product < 9007199254740992.0)) {
        return INT64_MAX;
    }
    // The rounded product may have been rounded up onto the next integer
    // (8000 x 0.009 is 71.99999999999999 exactly but 72 as a double). The
    // fused multiply-add computes rate * period - candidate with one
    // rounding, which keeps the sign of the exact difference; the difference
    // is a multiple of the period's last bit and so never rounds to zero.
    double candidate = std::floor(product);
    if (std::fma(rate, period, -candidate) < 0.0) {
        candidate -= 1.0;
    }
    return static_cast<int64_t>(candidate);
}

namespace {

// Replaces the series by a sampled one; false, with the series as it was,
// when there is none.
bool Adopt(TWaveAnalyze& series, std::optional<TSampledSeries> sampled) {
    if (!sampled) {
        return false;
    }
    series.values = std::move(sampled->values);
    series.count = sampled->count;
    series.period = sampled->period;
    series.warnings = std::move(sampled->warnings);
    series.input = std::move(sampled->input);
    return true;
}

} // namespace

bool TWaveAnalyze::SampleFrequency(const std::string& name, double period, double bias) {
    problem.clear();
    return Adopt(*this, SampleWindows(name, period, TSamplingRule::Frequency, bias, problem));
}

bool TWaveAnalyze::SampleFineFrequency(const std::string& name, double period, double bias) {
    problem.clear();
    return Adopt(*this, SampleWindows(name, period, TSamplingRule::FineFrequency, bias, problem));
}

bool TWaveAnalyze::SamplePitch(const std::string& name, double period) {
    problem.clear();
    return Adopt(*this, SampleWindows(name, period, TSamplingRule::Pitch, 0.0, problem));
}

bool TWaveAnalyze::SampleAmplitude(const std::string& name, double period) {
    problem.clear();
    return Adopt(*this, SampleWindows(name, period, TSamplingRule::Amplitude, 0.0, problem));
}

TWaveAnalyze::TWaveAnalyze() = default;

TWaveAnalyze::~TWaveAnalyze() = default;

double TWaveAnalyze::Average() const {
    if (count <= 0) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        sum += values[i];
    }
    return sum / count;
}

double TWaveAnalyze::Maximum() const {
    double m = 0.0;
    for (int i = 0; i < count; ++i) {
        if (values[i] > m) {
            m = values[i];
        }
    }
    return m;
}

void TWaveAnalyze::SetUnit(const std::string& text) {
    unit = text;
}

std::string TWaveAnalyze::SampleFileText() const {
    std::string text;
    text.reserve(96 + static_cast<std::size_t>(std::max(count, 0)) * 16);
    text.append(kTitleLine);
    text += "\r\n";
    text += FormatFixed(period, 6);
    text += ',';
    text += FormatInt(count);
    text += ',';
    text += QuotedUnit(UnitForFile(unit));
    text += "\r\n\"Samples\"\r\n";
    for (int i = 0; i < count; ++i) {
        text += FormatFixed(values[i], 9);
        text += "\r\n";
    }
    return text;
}

std::string TWaveAnalyze::SaveProblem() const {
    // The period is written with six decimals; one that rounds to zero there
    // would make a file that no load accepts.
    std::optional<double> written = ParseDecimal(FormatFixed(period, 6));
    if (!written || !std::isfinite(*written) || !(*written > 0.0)) {
        return Tr("サンプリング周期が短すぎるため、サンプルファイルに保存できません。"
                  "(0.0000005秒以上が必要です)");
    }
    return std::string();
}

bool TWaveAnalyze::SaveToFile(const std::string& name, std::string* problem,
                              std::string* reason) const {
    std::string refusal = SaveProblem();
    if (!refusal.empty()) {
        if (problem) {
            *problem = std::move(refusal);
        }
        return false;
    }
    return WriteFileAtomically(name, SampleFileText(), reason);
}

bool TWaveAnalyze::LoadFromFile(const std::string& name) {
    // Only a regular file has a size to bound the declared count by; a
    // folder or a device cannot be opened as a sample file.
    const std::string cause = InputFileProblem(name);
    if (!cause.empty()) {
        return Fail(std::string(Tr(kOpenFailed)) + "(" + cause + ")");
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    std::ifstream in(name, std::ios::binary);
    if (error || !in) {
        return Fail(Tr(kOpenFailed));
    }
    return LoadFromStream(in, size);
}

bool TWaveAnalyze::LoadFromStream(std::istream& stream, std::uint64_t streamSize) {
    TLineReader reader(stream);
    std::string line;

    reader.Read(line);
    if (reader.TooLong()) {
        return Fail(LineFault(reader.LineNumber()));
    }
    if (line.find(kPeriodTitleCp932) == std::string::npos &&
        line.find(kPeriodTitleUtf8) == std::string::npos) {
        return Fail(FieldFault(1, TrMark("見出し「サンプリング周期」がありません")));
    }

    // Everything is parsed into temporaries and committed at the end, so a
    // failed load leaves the previous series whole.
    reader.Read(line);
    if (reader.TooLong()) {
        return Fail(LineFault(reader.LineNumber()));
    }
    std::vector<TCommaField> fields = SplitCommaText(line);
    if (fields.size() < 3) {
        return Fail(FieldFault(2, TrMark("周期、サンプル数、単位の3項目が必要です")));
    }
    // "2 56" between commas is not the count 2 and the unit "56".
    if (FieldHasSeveralTokens(fields, 3)) {
        return Fail(LineFault(reader.LineNumber()));
    }
    std::optional<double> newPeriod = ParseDecimal(fields[0].text);
    // Later stages divide by the period.
    if (!newPeriod || !std::isfinite(*newPeriod) || !(*newPeriod > 0.0)) {
        return Fail(FieldFault(2, TrMark("サンプリング周期")));
    }
    std::optional<long long> newCount = ParseInteger(fields[1].text);
    if (!newCount || *newCount < 0 || *newCount > INT_MAX) {
        return Fail(FieldFault(2, TrMark("サンプル数")));
    }
    std::optional<std::string> newUnit = UnitFromFile(fields[2].text);
    if (!newUnit) {
        return Fail(LineFault(reader.LineNumber()));
    }

    reader.Read(line);
    if (reader.TooLong()) {
        return Fail(LineFault(reader.LineNumber()));
    }
    if (line.find("Samples") == std::string::npos) {
        return Fail(FieldFault(3, TrMark("見出し「Samples」がありません")));
    }

    // Every value takes at least one byte, so a count beyond the size of the
    // whole file is refused before allocating; a smaller count that the
    // lines run out before is a count mismatch.
    const uint64_t declared = static_cast<uint64_t>(*newCount);
    if (declared > streamSize) {
        return Fail(FieldFault(2, TrMark("サンプル数がファイルの大きさを超えています")));
    }
    const std::string shortfall = MemoryShortfall(declared, TrMark("values"), AvailableMemoryNow());
    if (!shortfall.empty()) {
        return Fail(std::string(Tr(kOpenFailed)) + "(" + shortfall + ")");
    }
    std::unique_ptr<double[]> newValues;
    if (declared > 0) {
        newValues.reset(new (std::nothrow) double[declared]);
        if (!newValues) {
            return Fail(std::string(Tr(kOpenFailed)) + "(" + Tr("out of memory") + ")");
        }
    }
    for (uint64_t i = 0; i < declared; ++i) {
        if (!reader.Read(line)) {
            return Fail(Tr(kCountMismatch));
        }
        if (reader.TooLong()) {
            return Fail(LineFault(reader.LineNumber()));
        }
        std::optional<double> value = ParseDecimal(line);
        // An overflowing value would spread infinities through the spectrum.
        if (!value || !std::isfinite(*value)) {
            return Fail(FieldFault(reader.LineNumber(), TrMark("サンプル値")));
        }
        newValues[i] = *value;
    }

    values = std::move(newValues);
    warnings.clear();
    input = TInputFormat();
    count = static_cast<int>(declared);
    period = *newPeriod;
    unit = std::move(*newUnit);
    return true;
}
