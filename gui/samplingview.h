#pragma once
// TSamplingViewForm: the modal window that shows a sample series after a
// sampling run or a sample-file load: four statistics lines and a graph of
// the values over time, which can be saved as PNG. It never changes the
// series: it draws from a borrowed copy of the series' pointer, count,
// period and unit that the main window refreshes before every showing.

#include <QDialog>
#include <QPoint>
#include <functional>
#include <string>

#include "analysis/pngtext.h"

class QLabel;
class QPushButton;
class QScrollArea;

// Runs a dialog modally and returns its result. Tests replace it to look at
// the window while it is up and to close it.
using TModalRunner = std::function<int(QDialog& dialog)>;

// Installs the runner and returns the previous one; an empty runner restores
// QDialog::exec.
TModalRunner SetModalRunner(TModalRunner runner);

class TSamplingViewForm : public QDialog {
    Q_OBJECT
public:
    TSamplingViewForm();

    // values none, count 0, unit empty.
    void FormCreate();
    void SetUnit(const std::string& text);
    void SetImageDir(const std::string& dir);
    // Fills the four labels from count, period, unit and the two figures.
    void UpdateStatistics(double average, double maximum);
    // Draws the series at the scroll box's client size into
    // SamplingDataGraph and, when fileName is not empty, writes it as PNG.
    // Returns false when the PNG could not be written (the window then
    // already shows the new graph).
    bool DrawSamplingGraph(const std::string& fileName, std::string* error = nullptr);
    // Saves the shown series' graph as PNG through the save dialog; refused
    // silently for an empty series.
    void GraphSaveButtonClick();

    // Shows the window modally, centred over `owner`; returns when the user
    // has closed it.
    int ShowModal(QWidget* owner);
    // The window stays where it was moved to (a remembered place) instead
    // of being centred over its owner; after a showing it stays where the
    // user left it.
    void KeepPlace() { keepPlace = true; }
    bool HasPlace() const { return keepPlace; }

    // The size the graph is drawn at: the scroll box's client area as
    // designed (a window fitted to a small screen scrolls it).
    QSize GraphSize() const;

    // Fits the window into a client area of `area`: where only the graph
    // lacks room, the window shrinks by what it lacks, the graph's box with
    // it (the graph then scrolls there), and the statistics and buttons
    // keep their places from the window's left and bottom and its right and
    // bottom edges. Otherwise as FitIntoArea. Once only; nothing changes
    // where the window fits.
    void FitIntoArea(const QSize& area);

    QScrollArea* SamplingDataScrollBox;
    QLabel* SamplingDataGraph;
    QLabel* NumSampleLabel;
    QLabel* DurationLabel;
    QLabel* AverageLabel;
    QLabel* MaxLabel;
    QPushButton* GraphSaveButton;
    QPushButton* OkButton;

    const double* values = nullptr; // borrowed from the main window's series
    int count = 0;
    double period = 0.0;
    std::string unit;
    std::string imageDir;
    // The run the series comes from, written into a saved graph.
    TRunDescription run;

protected:
    void showEvent(QShowEvent* event) override;
    // A window the user moved away from its centred place keeps its place.
    void done(int result) override;

private:
    void CentreOverOwner();

    QWidget* centreOver = nullptr;
    QSize graphSize;
    bool fitted = false;
    bool keepPlace = false;
    QPoint centredAt;
};

extern TSamplingViewForm* SamplingViewForm;

extern const char* const kSamplingCaption;
