#pragma once
// Level crossings located to a fraction of a frame. The crossings are those
// of the counting sampler (the same pairs of frames, the same rule at a
// window's first frame); each is placed by linear interpolation between the
// two frames around it, so a window's frequency is measured from the time
// its crossings span instead of from their count.

#include <cstddef>
#include <cstdint>
#include <optional>

struct TFineCrossings {
    double bias;
    int64_t frame = 0; // index in the file of the next frame fed
    bool started = false;
    float previous = 0.0f;
    int64_t count = 0;
    double first = 0.0; // instants in frames from the start of the file
    double last = 0.0;

    // Feeds the next n frames of the window.
    void Add(const float* x, std::size_t n);

    // Starts the next window; the frame index runs on.
    void Reset() {
        started = false;
        count = 0;
    }

    // (K - 1) / (2 (t_K - t_1)) Hz for the K crossing instants of the window
    // at `rate` frames per second; absent below three crossings.
    std::optional<double> Frequency(double rate) const;
};

// The same on the integer form of 8- and 16-bit frames (each frame's float
// is s * scale, scale a power of two), with the thresholds of the counting
// sampler's integer form: the same crossings, and instants equal bit for bit
// to those of the float frames, since (level - p) / (c - p) keeps its value
// when all three are divided by a power of two.
struct TIntegerFineCrossings {
    int32_t above; // s lies above the level when s > above
    int32_t below; // s lies below the level when s < below
    double level;  // the level over scale
    int64_t frame = 0;
    bool started = false;
    int32_t previous = 0;
    int64_t count = 0;
    double first = 0.0;
    double last = 0.0;

    void Add(const int32_t* s, std::size_t n);
    void Reset() {
        started = false;
        count = 0;
    }
    std::optional<double> Frequency(double rate) const;
};

// Fills the windows that have no value (NaN) with the value of the window
// before them, the first ones with the first value there is (all zero when
// none has one). Returns the number of windows filled.
int64_t FillFromPrevious(double* values, int64_t count);
