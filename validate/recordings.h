#pragma once
// Test recordings of known fluctuation: a 440 Hz tone whose loudness (AM) or
// pitch (FM) follows 1/f^beta noise.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Loudness or pitch modulation of a sine; or of a tone with its first eight
// harmonics, whose level crossings are not two per cycle.
enum class TModulation { Amplitude, Frequency, HarmonicFrequency };

struct TRecordingSetup {
    TModulation modulation = TModulation::Amplitude;
    int sampling = 1; // the sampler that analyses it (TSamplingMode)
    double beta = 1.0;
    int seconds = 60;
    int sampleRate = 44100;
    int channels = 1; // 1 or 2; both channels carry the same signal
    std::uint64_t seed = 1;
};

// The modulating noise is made at this rate (one value every 2 ms) and
// interpolated to the audio rate; the shortest analysis window, 5 ms, still
// spans a few of its values.
constexpr double kNoiseRate = 500.0;

constexpr double kToneHz = 440.0;
constexpr double kToneAmplitude = 0.4;
constexpr double kLoudnessDepth = 0.25;    // AM: 0.4 (1 + 0.25 n(t)) sin(2 pi 440 t)
constexpr double kPitchDeviationHz = 20.0; // FM: instantaneous frequency 440 + 20 n(t) Hz

// The tone of a recording, generated block by block so that long stereo
// recordings never sit in memory whole.
class TModulatedTone {
public:
    explicit TModulatedTone(const TRecordingSetup& setup);

    // The number of frames of the whole recording.
    std::size_t Frames() const { return frames; }

    // n(t) at frame `frame`: the noise interpolated by a Catmull-Rom cubic
    // between its 2 ms points, kept within the noise's clipping level.
    double Modulation(std::size_t frame) const;

    // The next `count` frames (mono values, in -1 ... 1); fewer at the end.
    std::vector<double> Next(std::size_t count);

    // The noise at kNoiseRate, from one point before frame 0 to two after
    // the last frame.
    const std::vector<double>& Noise() const { return noise; }

private:
    TRecordingSetup setup;
    std::size_t frames = 0;
    std::size_t position = 0;
    double phase = 0.0; // FM: the integrated phase, kept in [0, 2 pi)
    std::vector<double> noise;
};

// Writes the recording as a 16-bit PCM WAV file. Returns false with a
// message in `error` when the file cannot be written completely.
bool WriteRecording(const TRecordingSetup& setup, const std::string& path, std::string& error);
