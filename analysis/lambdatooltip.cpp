#include "analysis/lambdatooltip.h"

#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"
#include "base/textformat.h"
#include "base/translate.h"

namespace {

const char* const kAbsent = "—";

// Three decimals, as the graph writes lambda: a value that rounds to zero
// reads "0.000", not "-0.000".
std::string Fixed3(double value) {
    std::string text = FormatFixed(value, 3);
    return text == "-0.000" ? "0.000" : text;
}

std::string Optional3(const std::optional<double>& value) {
    return value ? Fixed3(*value) : kAbsent;
}

} // namespace

TLambdaCheck CheckShownLambda(const TShownRun& run, const TSpectrumState& view,
                              const TSpectrumDrawing& drawing) {
    // The analysis mode only decides whether the spectrum stage resets the
    // band; any mode but the easy one keeps the band of `view`.
    return CheckLambda(run.values.data(), static_cast<int>(run.values.size()), run.period,
                       kDetailedMode, run.windowFunction, view, drawing);
}

std::string LambdaTooltip(const TSpectrumDrawing& drawing, const TLambdaCheck& check) {
    const std::optional<TFitQuality>& quality = check.quality;
    std::string text;
    if (drawing.hasLine) {
        // As the command line's plain report line writes it.
        text = drawing.lambdaText + " ± " + (quality ? FormatFixed(quality->se, 3) : kAbsent);
    } else {
        text = std::string("λ = ") + kAbsent;
    }
    text += std::string("\n") + Tr("95% 信頼区間  ");
    // The fit quality and the mean-removed lambda exist only with a line.
    text += quality ? "[" + Fixed3(quality->ciLow) + ", " + Fixed3(quality->ciHigh) + "]" : kAbsent;
    text += std::string("\n") + Tr("決定係数 R² = ");
    text += quality ? Fixed3(quality->r2) : kAbsent;
    text += "\n" + TrSubst("グループ数 k = %s", {FormatInt(check.groups)});
    text += "\n" + TrSubst("平均を除いた系列の λ = %s", {Optional3(check.lambdaMeanRemoved)});
    text += "\nβ_DFA = " + (check.dfa ? Fixed3(check.dfa->beta) : std::string(kAbsent));
    return text;
}
