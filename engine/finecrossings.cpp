#include "engine/finecrossings.h"

#include <cmath>

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

std::optional<double> TFineCrossings::Frequency(double rate) const {
    if (count < 3 || !(last > first)) {
        return std::nullopt;
    }
    return static_cast<double>(count - 1) * rate / (2.0 * (last - first));
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
