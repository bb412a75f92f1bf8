#pragma once
// TWaveAnalyze: the sample series (one value per window of a recording, the
// time between two values and their unit), its two samplers and its file
// form, the sample file (.smp).

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "base/warning.h"

// What a sampling read: the file's container ("WAV", "FLAC", ...), its
// sample encoding ("PCM 16-bit", "Vorbis", ...), channels and sample rate.
struct TInputFormat {
    std::string container;
    std::string encoding;
    int channels = 0;
    int sampleRateHz = 0;
};

class TWaveAnalyze {
public:
    TWaveAnalyze();
    ~TWaveAnalyze();
    TWaveAnalyze(const TWaveAnalyze&) = delete;
    TWaveAnalyze& operator=(const TWaveAnalyze&) = delete;

    // Turns each window of `period` seconds into a frequency in hertz by
    // counting crossings of the level `bias` (on the normalised sample
    // scale). Replaces values, count and period; does not touch unit.
    // Returns false with the series untouched when the file cannot be read
    // (TWaveFile::Open fails), the window would hold less than one frame, or
    // there would be more windows than an int can count. The file is read
    // once, front to back, in blocks of at most one window and at most 65536
    // frames; a partial last window is zero-padded to the full window length.
    bool SampleFrequency(const std::string& name, double period, double bias);

    // The same with the RMS level of each window.
    bool SampleAmplitude(const std::string& name, double period);

    // The same crossings located to a fraction of a frame: each window's
    // value is (K - 1) / (2 (t_K - t_1)) Hz for its K crossing instants. A
    // window with fewer than three takes the value of the window before it
    // (the first ones the first value found), with a warning when more than
    // one window in twenty does.
    bool SampleFineFrequency(const std::string& name, double period, double bias);

    // The fundamental frequency of each window in Hz (aubio's pitch
    // detection); unvoiced windows are filled in as above.
    bool SamplePitch(const std::string& name, double period);

    // Mean of the values; 0 for an empty series.
    double Average() const;
    // Largest value, but never less than 0.
    double Maximum() const;
    // unit := text.
    void SetUnit(const std::string& text);

    // Writes the series as a sample file (CR LF line ends, the title line in
    // CP932, the unit in CP932 where it has a CP932 form and in UTF-8
    // otherwise) through a temporary file and a rename. Returns false on any
    // failure, leaving an existing file intact; shows nothing. A series the
    // file cannot represent (SaveProblem) is refused with that text in
    // `problem`, when given; why a write failed goes to `reason`.
    bool SaveToFile(const std::string& name, std::string* problem = nullptr,
                    std::string* reason = nullptr) const;

    // Why the series cannot be written as a sample file (its period would be
    // written as 0.000000), or "" when it can.
    std::string SaveProblem() const;

    // The exact bytes SaveToFile writes.
    std::string SampleFileText() const;

    // Replaces the series from a sample file. On failure shows one error box
    // (no owner) and returns false; the previous series then stays whole.
    bool LoadFromFile(const std::string& name);

    // The same from a byte stream (test and fuzzing seam). `streamSize` is
    // the number of bytes the stream holds: a count above it (each value
    // takes a byte at least) is refused as a format error before anything is
    // allocated; a smaller count that the value lines fall short of is a
    // count mismatch. A line over 254 characters, or a field of line 2 with
    // several blank-separated tokens between commas, is a format error that
    // names the line.
    bool LoadFromStream(std::istream& stream, std::uint64_t streamSize);

    // Window length in frames: floor(sampleRate * period) on the exact value
    // of the double period, without relying on the width of long double.
    // 44100 x 0.025 gives 1102, 8000 x 0.009 gives 71, 48000 x 0.025 1200.
    static int64_t WindowLength(int32_t sampleRate, double period);

    // The series. values holds exactly count entries (none when count is 0).
    // Every sampling or load replaces the array: a borrowed pointer must be
    // refreshed afterwards.
    std::unique_ptr<double[]> values;
    int count = 0;
    double period = 0.0; // seconds between two values
    std::string unit;    // "Hz", "RMS" or what a sample file declares

    // Why the last sampling failed, when the reader could tell (a WAV file
    // in an encoding other than integer PCM); "" otherwise.
    std::string problem;
    // What the last sampling or load found worth telling beside the series
    // (a WAV file shorter than its header claims); replaced with the series.
    std::vector<TWarning> warnings;
    // The audio file of the last sampling; empty after a load.
    TInputFormat input;
};
