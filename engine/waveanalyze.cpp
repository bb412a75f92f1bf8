#include "engine/waveanalyze.h"

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

void TWaveAnalyze::SetUnit(const std::string& text) { unit = text; }
