// Runs the spectrum stage and the spectrum drawing on a series and window
// settings decoded from the input: any count, values from raw doubles
// (huge, denormal, NaN and infinite included) or from a table of extremes,
// any period, every window function and draw method, the band bars at any
// position and the axis ranges and sizes the spin edits allow.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisrun.h"
#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/messagebox.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"
#include "graph/png.h"
#include "graph/xygraph.h"

namespace {

// Hands out the input's bytes in order, zeros once they are used up.
class TReader {
public:
    TReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<uint64_t>(Byte()) << (8 * i);
        }
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    size_t Left() const { return size - at; }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

constexpr double kExtremes[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    DBL_MAX,
    -DBL_MAX,
    DBL_MIN,
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    1e300,
    -1e300,
    1e-300,
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
    22050.0,
};

// The series is kept small enough for the fuzzer to stay fast; FFT sizes
// up to 1024 still cover every stage of the radix-4 kernel.
constexpr int kMaxCount = 1024;

// A plotting area edge of 100 ... 3000 pixels. Large bitmaps are slow to
// clear and encode, so most inputs draw small ones and a few the largest.
int SizeBox(TReader& in) {
    const uint8_t code = in.Byte();
    if (code >= 0xF8) {
        return 3000 - (code - 0xF8) * 400;
    }
    return 100 + code;
}

void CheckDrawing(const TSpectrumDrawing& drawing, const TSpectrumSettings& settings,
                  bool settingsAccepted, bool encode) {
    if (!settingsAccepted) {
        if (drawing.graph || drawing.hasLine) {
            std::abort();
        }
        return;
    }
    if (!drawing.graph || drawing.gx.size() != drawing.gy.size() ||
        drawing.hasLine != !drawing.gx.empty()) {
        std::abort();
    }
    const TBitmap& bitmap = drawing.graph->bitmap;
    if (bitmap.Width() != 48 + settings.HorzSizeBox + 36 ||
        bitmap.Height() != 20 + settings.VertSizeBox + 30) {
        std::abort();
    }
    if (drawing.hasLine) {
        // The group edges advance by a tenth of a decade.
        for (size_t i = 1; i < drawing.gx.size(); ++i) {
            if (!(drawing.gx[i] > drawing.gx[i - 1])) {
                std::abort();
            }
        }
        // The text never shows a negative zero.
        if (drawing.lambdaText.rfind("λ = ", 0) != 0 || drawing.lambdaText == "λ = -0.000") {
            std::abort();
        }
    }
    if (encode && static_cast<int64_t>(bitmap.Width()) * bitmap.Height() <= 120000) {
        const std::string png = EncodePng(bitmap);
        if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TMessagePresenter quiet = [](const TMessage&) {};
    SetMessagePresenter(quiet);

    TReader in(data, size);
    const uint8_t modes = in.Byte();
    const int analyzeMode = modes % 3;
    const int windowFunction = (modes / 3) % 3;
    const bool extremeValues = (modes / 9) % 2 != 0;
    // Encoding is slow and its input is only the bitmap: a few inputs do it.
    const bool encode = (modes / 18) % 4 == 0;

    TSpectrumSettings settings;
    settings.FupperBox = in.Byte() % 9 - 4;
    settings.FlowerBox = in.Byte() % 9 - 4;
    settings.PupperBox = in.Byte() % 21 - 10;
    settings.PlowerBox = in.Byte() % 21 - 10;
    settings.HorzSizeBox = SizeBox(in);
    settings.VertSizeBox = SizeBox(in);
    settings.DrawMethodBox = static_cast<int8_t>(in.Byte());
    // Positions beyond the bars' range are brought into it by the state.
    const int upperBar = static_cast<int8_t>(in.Byte());
    const int lowerBar = static_cast<int8_t>(in.Byte());

    // A period a sample file can declare: finite and positive, else a whole
    // number of milliseconds.
    double period = in.Double();
    if (!std::isfinite(period) || !(period > 0.0)) {
        period = (5 + in.Byte() % 996) / 1000.0;
    }

    // The count may exceed the values given; they then repeat. Resampling
    // dominates the run time, so most inputs keep to 64 values or fewer.
    const uint16_t countCode = in.U16();
    const int count = 1 + (countCode >= 0xF000 ? countCode % kMaxCount : countCode % 64);
    std::vector<double> given;
    while (in.Left() > 0) {
        if (extremeValues) {
            const uint8_t code = in.Byte();
            given.push_back(code < std::size(kExtremes) ? kExtremes[code] : code - 128.0);
        } else {
            given.push_back(in.Double());
        }
    }
    TWaveAnalyze series;
    series.values = std::make_unique<double[]>(static_cast<size_t>(count));
    series.count = count;
    series.period = period;
    for (int i = 0; i < count; ++i) {
        series.values[i] = given.empty() ? 0.0 : given[static_cast<size_t>(i) % given.size()];
    }

    TSpectrumState view;
    std::unique_ptr<TComplexFFT> fft;
    double dataFraction = 0.0;
    double fftPeriod = 0.0;
    if (RunSpectrumStage(series, analyzeMode, windowFunction, view, fft, dataFraction, fftPeriod,
                         nullptr) != TSpectrumOutcome::Transformed ||
        !fft) {
        std::abort();
    }
    view.TakeSpectrum(fft.get(), fft->count, dataFraction, fftPeriod, series.period);
    view.SetUpperBarPosition(upperBar);
    view.SetLowerBarPosition(lowerBar);
    if (view.UpperBarPosition() < kBandBarMinimum || view.UpperBarPosition() > kBandBarMaximum ||
        view.LowerBarPosition() < kBandBarMinimum || view.LowerBarPosition() > kBandBarMaximum) {
        std::abort();
    }

    // The spectrum file's text: one header line and the rows the count
    // allows, or nothing for a period it refuses.
    const std::string csv = fft->CsvText(fftPeriod, dataFraction);
    if (!csv.empty() && (csv.size() < 2 || csv.compare(csv.size() - 2, 2, "\r\n") != 0)) {
        std::abort();
    }

    const bool accepted =
        CheckSettings(view.LowerBarPosition(), view.UpperBarPosition(), settings, nullptr);
    TSpectrumDrawing drawing = DrawSpectrum(view, settings, "", nullptr);
    if (!view.CanDraw()) {
        // Too short a series for one bin: the window keeps its old image.
        if (drawing.graph || drawing.hasLine) {
            std::abort();
        }
        return 0;
    }
    CheckDrawing(drawing, settings, accepted, encode);
    return 0;
}
