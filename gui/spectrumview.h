#pragma once
// TSpectrumViewForm: the modeless window that shows the power spectrum of
// the last spectrum run, with the axis ranges, the graph size, the drawing
// method and the regression band the user sets, and the buttons that redraw
// and save the graph. Its state without widgets is a TSpectrumState, which
// the window mirrors in its track bars and labels.

#include <QDialog>
#include <memory>
#include <string>

#include "analysis/lambdatooltip.h"
#include "analysis/spectrumplot.h"
#include "analysis/spectrumstate.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class TRadioGroup;

class TSpectrumViewForm : public QDialog {
    Q_OBJECT
public:
    TSpectrumViewForm();

    // No spectrum; the band at the whole spectrum (bars 0 and -40).
    void FormCreate();

    void SetFftSize(int n, double fraction);
    void UpdateBandLabels(double period);
    void SetBandFrequencies(double upperRatio, double lowerRatio);
    void SetImageDir(const std::string& dir);

    // What a drawing reads of the spin edits and the drawing method, each
    // spin edit's typed text interpreted and held within its range.
    TSpectrumSettings Settings();

    // The three checks of the band and the ranges, with their error box
    // (owner: this window).
    bool CheckSettings();

    // The series and window function of the spectrum run handed over last,
    // whose checks the graph's tooltip reports.
    void SetShownRun(TShownRun run);

    // Draws the spectrum with the current settings and shows it in
    // SpectrumGraph; when fileName is not empty also saves it as PNG.
    // Returns false only when the PNG could not be written (the new graph is
    // shown by then). Nothing changes when there is nothing to draw or the
    // settings are refused.
    bool DrawSpectrum(const std::string& fileName, std::string* error = nullptr);

    // The tooltip of the graph shown: the checks of its lambda (empty before
    // the first graph). They cost a second spectrum and a DFA of the series,
    // so they are worked out when the tooltip is first asked for, not with
    // every drawing, and kept until the next drawing.
    QString GraphToolTip();

    // Shows the window modeless (at its place) and brings it to the front.
    void ShowModeless();

    void RedrawButtonClick();
    void GraphSaveButtonClick();
    void CloseButtonClick();
    void AspectAjustButtonClick();
    void FupperBarChange();
    void FlowerBarChange();

    TSpectrumState state;
    TShownRun shownRun;
    std::string imageDir;

    QScrollArea* SpectrumDataScrollBox;
    QLabel* SpectrumGraph;
    QSpinBox* FupperBox;
    QSpinBox* FlowerBox;
    QSpinBox* PupperBox;
    QSpinBox* PlowerBox;
    QSpinBox* HorzSizeBox;
    QSpinBox* VertSizeBox;
    QPushButton* AspectAjustButton;
    TRadioGroup* DrawMethodBox;
    QLabel* FreqUpperLabel;
    QSlider* FupperBar;
    QLabel* FreqLowerLabel;
    QSlider* FlowerBar;
    QPushButton* RedrawButton;
    QPushButton* GraphSaveButton;
    QPushButton* CloseButton;

protected:
    // Fills in the graph's tooltip when it is about to show.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Mirrors the state's bar positions and label texts in the controls.
    void ShowBand();

    // What the graph shown was drawn from, for its tooltip: the run, the
    // band as it stood (bars moved later do not change the graph) and the
    // drawing's groups and line (without its bitmap).
    struct TShownGraph {
        TShownRun run;
        TSpectrumState band;
        TSpectrumDrawing drawing;
    };
    std::unique_ptr<TShownGraph> shownGraph; // null once its tooltip is set
};

extern TSpectrumViewForm* SpectrumViewForm;
