#pragma once
// The fundamental frequency of each window of a recording, from the pitch
// detection of the aubio library, kept behind this interface so that no
// other unit sees its headers.

#include <memory>
#include <optional>
#include <string>

// The defaults recovered the exponent of pitch-modulated tones best (sine
// and harmonic-rich carriers) among yin, yinfast, yinfft and mcomb with
// buffers of one and two windows: yinfft with one window, rounded up to a
// power of two, at its usual tolerance.
struct TPitchSettings {
    std::string method = "yinfft"; // yin, yinfast, yinfft, mcomb, ...
    int bufferWindows = 1;         // analysis buffer, in windows (rounded up to a power of two)
    double tolerance = 0.85;       // the method's threshold
    double minConfidence = 0.0;    // below it a window counts as unvoiced
    double silenceDb = -90.0;      // quieter windows count as unvoiced
};

class TPitchTracker {
public:
    // For windows of `windowFrames` frames at `rate` frames per second.
    TPitchTracker(int windowFrames, int rate, const TPitchSettings& settings = TPitchSettings());
    ~TPitchTracker();
    TPitchTracker(const TPitchTracker&) = delete;
    TPitchTracker& operator=(const TPitchTracker&) = delete;

    // False when the library cannot be loaded or refused the settings;
    // `problem` says which.
    bool Ready() const;
    std::string problem;

    // The f0 in Hz of the latest window, given as its windowFrames frames;
    // absent for an unvoiced window (no pitch, or confidence too low).
    std::optional<double> Window(const float* frames);

private:
    struct TState;
    std::unique_ptr<TState> state;
};
