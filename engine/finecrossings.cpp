#include "engine/finecrossings.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void TFineCrossings::Add(const float* x, std::size_t n) {
    std::size_t j = 0;
    auto crossing = [this](double instant) {
        if (count == 0) {
            first = instant;
        }
        last = instant;
        ++count;
    };
    if (!started && n > 0) {
        // A window whose first frame lies on the level crosses there.
        if (x[0] == bias) {
            crossing(static_cast<double>(frame));
        }
        previous = x[0];
        started = true;
        j = 1;
    }
    for (; j < n; ++j) {
        const float current = x[j];
        if ((previous > bias && current <= bias) || (previous < bias && current >= bias)) {
            // The level lies between the two frames (or on the later one):
            // the line through them meets it at this fraction of a frame.
            const double p = previous;
            const double c = current;
            const double fraction = (bias - p) / (c - p);
            crossing(static_cast<double>(frame + static_cast<int64_t>(j) - 1) + fraction);
        }
        previous = current;
    }
    frame += static_cast<int64_t>(n);
}

namespace {

std::optional<double> FrequencyOf(int64_t count, double first, double last, double rate) {
    if (count < 3 || !(last > first)) {
        return std::nullopt;
    }
    return static_cast<double>(count - 1) * rate / (2.0 * (last - first));
}

} // namespace

std::optional<double> TFineCrossings::Frequency(double rate) const {
    return FrequencyOf(count, first, last, rate);
}

void TIntegerFineCrossings::Add(const int32_t* s, std::size_t n) {
    if (n == 0) {
        return;
    }
    auto crossing = [this](double instant) {
        if (count == 0) {
            first = instant;
        }
        last = instant;
        ++count;
    };
    std::size_t j = 0;
    if (!started) {
        // Neither above nor below: on the level.
        if (s[0] <= above && s[0] >= below) {
            crossing(static_cast<double>(frame));
        }
        started = true;
        j = 1;
    }
    // The pair ending at frame j, j < n.
    auto pair = [&](std::size_t k) {
        const int32_t p = k == 0 ? previous : s[k - 1];
        const int32_t c = s[k];
        if (((p > above) & (c <= above)) | ((p < below) & (c >= below))) {
            const double fraction = (level - static_cast<double>(p)) /
                                    (static_cast<double>(c) - static_cast<double>(p));
            crossing(static_cast<double>(frame + static_cast<int64_t>(k) - 1) + fraction);
        }
    };
    if (j == 0) {
        pair(0);
        j = 1;
    }
#if defined(__SSE2__)
    // Crossings are a few in a hundred frames: four pairs at a time are
    // tested together, and only a group that holds one is gone through pair
    // by pair.
    const __m128i aboveLevel = _mm_set1_epi32(above);
    const __m128i belowLevel = _mm_set1_epi32(below);
    for (; j + 4 <= n; j += 4) {
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j - 1));
        const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j));
        const __m128i down = _mm_andnot_si128(_mm_cmpgt_epi32(after, aboveLevel),
                                              _mm_cmpgt_epi32(before, aboveLevel));
        const __m128i up = _mm_andnot_si128(_mm_cmpgt_epi32(belowLevel, after),
                                            _mm_cmpgt_epi32(belowLevel, before));
        if (_mm_movemask_epi8(_mm_or_si128(down, up)) != 0) {
            for (std::size_t k = j; k < j + 4; ++k) {
                pair(k);
            }
        }
    }
#endif
    for (; j < n; ++j) {
        pair(j);
    }
    previous = s[n - 1];
    frame += static_cast<int64_t>(n);
}

std::optional<double> TIntegerFineCrossings::Frequency(double rate) const {
    return FrequencyOf(count, first, last, rate);
}

int64_t FillFromPrevious(double* values, int64_t count) {
    int64_t filled = 0;
    double carried = 0.0;
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isnan(values[i])) {
            carried = values[i];
            break;
        }
    }
    for (int64_t i = 0; i < count; ++i) {
        if (std::isnan(values[i])) {
            values[i] = carried;
            ++filled;
        } else {
            carried = values[i];
        }
    }
    return filled;
}
