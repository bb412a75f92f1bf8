// The windows at QT_SCALE_FACTOR=2 on a 1600 x 1000 screen (800 x 500 logical
// pixels): each fits the screen with every control in reach and the designed
// tab order, the sampling window scrolls its graph rather than the whole
// window, the spectrum window stands beside the main window overlapping it as
// little as the screen allows, and the graphs are shown at twice the pixels
// while the saved PNG stays the scale-1 picture.

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <memory>
#include <vector>

#include "analysis/samplinggraph.h"
#include "analysis/spectrumplot.h"
#include "engine/fftunit.h"
#include "graph/xygraph.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"

namespace {

// Every push button of `window` can be scrolled into its visible part.
void VerifyButtonsReachable(QWidget* window) {
    const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
    QVERIFY(!buttons.isEmpty());
    QScrollArea* whole = window->findChild<QScrollArea*>(window->objectName() + "ScrollBox");
    for (QPushButton* button : buttons) {
        if (whole) {
            whole->ensureWidgetVisible(button, 0, 0);
        }
        const QRect shown(button->mapTo(window, QPoint(0, 0)), button->size());
        QVERIFY2(window->rect().contains(shown), qPrintable(button->objectName()));
    }
}

} // namespace

class HighDpiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> dir;
    std::unique_ptr<TGuiRecorder> recorder;
    std::unique_ptr<TForms> forms;

private slots:
    void init() {
        dir = std::make_unique<TTempDir>();
        recorder = std::make_unique<TGuiRecorder>();
        forms = std::make_unique<TForms>();
    }

    void cleanup() {
        forms.reset();
        recorder.reset();
        dir.reset();
    }

    void screenIsTwiceAsDense() {
        QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->devicePixelRatio(), 2.0);
        QCOMPARE(screen->availableGeometry().size(), QSize(800, 500));
        QCOMPARE(GraphScale(SamplingViewForm->SamplingDataGraph), 2.0);
    }

    // Only the width lacks: the window is as wide as the screen, the graph
    // keeps its designed 800 x 320 and scrolls in its box, the buttons keep
    // their distance from the right edge; no whole-window scroll box, and
    // the designed tab order.
    void samplingWindowScrollsItsGraph() {
        std::vector<double> values(400);
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = 200.0 + static_cast<double>(i % 37) * 3.5;
        }
        TSamplingViewForm* form = SamplingViewForm;
        form->values = values.data();
        form->count = 400;
        form->period = 0.025;
        form->SetUnit("Hz");
        const QStringList order = TabStops(form, "GraphSaveButton");
        const int buttonFromRight = form->width() - form->OkButton->x();
        bool checked = false;
        recorder->onModal = [&](QDialog&) {
            form->DrawSamplingGraph("");
            QVERIFY(form->width() <= 800);
            QVERIFY(form->frameGeometry().height() <= 500);
            QCOMPARE(form->findChild<QScrollArea*>("SamplingViewFormScrollBox"), nullptr);
            QCOMPARE(form->width() - form->OkButton->x(), buttonFromRight);
            QCOMPARE(form->SamplingDataScrollBox->width(), form->width() - 10);
            QCOMPARE(form->SamplingDataGraph->size(), QSize(800, 320));
            QVERIFY(form->SamplingDataScrollBox->horizontalScrollBar()->maximum() > 0);
            const QPixmap shown = form->SamplingDataGraph->pixmap();
            QCOMPARE(shown.size(), QSize(1600, 640));
            QCOMPARE(shown.devicePixelRatio(), 2.0);
            QCOMPARE(TabStops(form, "GraphSaveButton"), order);
            VerifyButtonsReachable(form);
            checked = true;
        };
        SamplingViewForm->ShowModal(MainForm);
        QVERIFY(checked);
        form->values = nullptr;
    }

    // The spectrum window scrolls as a whole (its controls are taller than
    // the screen), keeps its tab order, stays on the screen and overlaps
    // the main window only by what the screen lacks for both.
    void spectrumWindowFitsBesideTheMainWindow() {
        TSpectrumViewForm* form = SpectrumViewForm;
        const QStringList order = TabStops(form, "AspectAjustButton");
        MainForm->show();
        form->ShowBeside(MainForm);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect mine = form->frameGeometry();
        const QRect owner = MainForm->frameGeometry();
        QVERIFY2(area.contains(mine), "on the screen");
        QVERIFY2(area.contains(owner), "the main window stays on the screen");
        QVERIFY(form->findChild<QScrollArea*>("SpectrumViewFormScrollBox") != nullptr);
        QCOMPARE(mine.intersected(owner).width(),
                 std::max(0, mine.width() + owner.width() - area.width()));
        QCOMPARE(TabStops(form, "AspectAjustButton"), order);
        VerifyButtonsReachable(form);
        form->hide();
    }

    // The graph on the screen has twice the pixels; the file is the graph
    // at scale 1, as the command line draws it.
    void spectrumShownDenseSavedAtScaleOne() {
        TComplexFFT spectrum(1024);
        for (int i = 0; i < 1024; ++i) {
            spectrum.SetValue(i, Complex{std::sin(i * 0.37) / (1 + i % 17), 0.0});
        }
        spectrum.Execute();
        TSpectrumViewForm* form = SpectrumViewForm;
        form->state.TakeSpectrum(&spectrum, 1024, 1.0, 0.025, 0.025);
        const std::string path = dir->File("spectrum.png");
        QVERIFY(form->DrawSpectrum(path));
        const QPixmap shown = form->SpectrumGraph->pixmap();
        QCOMPARE(shown.devicePixelRatio(), 2.0);
        QCOMPARE(shown.size(), QSize(2 * 434, 2 * 680));
        QCOMPARE(form->SpectrumGraph->size(), QSize(434, 680));
        TSpectrumDrawing reference = DrawSpectrum(form->state, form->Settings(), "", nullptr);
        QCOMPARE(QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB888),
                 ToImage(reference.graph->bitmap));
        form->state.spectrum = nullptr;
    }
};

// One 1600 x 1000 screen at the scale factor 2 of a high-density laptop.
ZM_GUI_TEST_MAIN_AT_SCALE(HighDpiTest, 1600, 1000, "2")
#include "highdpi_test.moc"
