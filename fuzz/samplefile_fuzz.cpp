// Feeds arbitrary bytes to the sample-file reader, checks the series it
// accepts, and reads back the file it would save from that series.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "base/messagebox.h"
#include "engine/waveanalyze.h"

namespace {

void CheckSeries(const TWaveAnalyze& series) {
    if (series.count < 0 || (series.count > 0) != (series.values != nullptr) ||
        !std::isfinite(series.period) || !(series.period > 0.0)) {
        std::abort();
    }
    for (int i = 0; i < series.count; ++i) {
        if (!std::isfinite(series.values[i])) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TMessagePresenter quiet = [](const TMessage&) {};
    SetMessagePresenter(quiet);

    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    TWaveAnalyze series;
    if (!series.LoadFromStream(in, size)) {
        if (series.count != 0 || series.values) {
            std::abort(); // a failed load must leave the empty series as it was
        }
        return 0;
    }
    CheckSeries(series);
    // The saved text of a loaded series is itself a sample file; it need not
    // load back (a period may round to 0.000000), but reading it must be safe
    // and give a consistent series.
    std::string text = series.SampleFileText();
    std::istringstream again(text);
    TWaveAnalyze reloaded;
    if (reloaded.LoadFromStream(again, text.size())) {
        CheckSeries(reloaded);
    }
    return 0;
}
