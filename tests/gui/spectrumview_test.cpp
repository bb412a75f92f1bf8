// The spectrum window: layout, the band track bars and their labels, the
// settings checks with their boxes, the aspect button, and the buttons that
// do nothing without a spectrum.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <memory>

#include "engine/fftunit.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"

class SpectrumViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TGuiRecorder> recorder;
    std::unique_ptr<TForms> forms;

private slots:
    void init() {
        recorder = std::make_unique<TGuiRecorder>();
        forms = std::make_unique<TForms>();
    }

    void cleanup() {
        forms.reset();
        recorder.reset();
    }

    // Ctrl+S saves (it asks for a name once there is a spectrum), Ctrl+W
    // and Escape close the window.
    void shortcuts_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<bool>("open");
        QTest::newRow("ctrl-s") << int(Qt::Key_S) << int(Qt::ControlModifier) << 1 << true;
        QTest::newRow("ctrl-w") << int(Qt::Key_W) << int(Qt::ControlModifier) << 0 << false;
        QTest::newRow("escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << 0 << false;
    }
    void shortcuts() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, dialogs);
        QFETCH(bool, open);
        TComplexFFT spectrum(64);
        for (int i = 0; i < 64; ++i) {
            spectrum.SetValue(i, Complex{1.0 / (1 + i), 0.0});
        }
        spectrum.Execute();
        SpectrumViewForm->state.TakeSpectrum(&spectrum, 64, 1.0, 0.025, 0.025);
        SpectrumViewForm->ShowBeside(MainForm);
        SpectrumViewForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(SpectrumViewForm));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                    : static_cast<QWidget*>(SpectrumViewForm),
                        Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(int(recorder->dialogs.size()), dialogs);
        QCOMPARE(SpectrumViewForm->isVisible(), open);
        SpectrumViewForm->state.spectrum = nullptr;
    }

    // At scale 2 a 1600 x 1000 screen offers 800 x 500 less the title bar:
    // each window that is larger scrolls within that area and every button
    // can be scrolled into view; where a window fits, nothing changes.
    void windowsFitASmallScreen_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<bool>("scrolls");
        const QSize small(800, 468);
        const QSize large(1920, 1008);
        QTest::newRow("spectrum-small") << "SpectrumViewForm" << small << true;
        QTest::newRow("sampling-small") << "SamplingViewForm" << small << true;
        QTest::newRow("main-small") << "MainForm" << small << false;
        QTest::newRow("spectrum-large") << "SpectrumViewForm" << large << false;
        QTest::newRow("sampling-large") << "SamplingViewForm" << large << false;
    }
    void windowsFitASmallScreen() {
        QFETCH(QString, window);
        QFETCH(QSize, area);
        QFETCH(bool, scrolls);
        QWidget* form = window == "MainForm"           ? static_cast<QWidget*>(MainForm)
                        : window == "SpectrumViewForm" ? static_cast<QWidget*>(SpectrumViewForm)
                                                       : static_cast<QWidget*>(SamplingViewForm);
        const QSize designed = form->size();
        const QList<QPushButton*> buttons = form->findChildren<QPushButton*>();
        QScrollArea* box = FitIntoArea(form, area);
        QCOMPARE(box != nullptr, scrolls);
        if (!scrolls) {
            QCOMPARE(form->size(), designed);
            return;
        }
        QVERIFY(form->width() <= area.width() && form->height() <= area.height());
        QCOMPARE(form->minimumSize(), form->maximumSize());
        form->show();
        QVERIFY(!buttons.isEmpty());
        for (QPushButton* button : buttons) {
            box->ensureWidgetVisible(button, 0, 0);
            const QRect shown(button->mapTo(form, QPoint(0, 0)), button->size());
            QVERIFY2(form->rect().contains(shown), qPrintable(button->objectName()));
        }
        QVERIFY2(FitIntoArea(form, area) == nullptr, "fitted once");
        form->hide();
    }

    void windowAndScrollBox() {
        TSpectrumViewForm* form = SpectrumViewForm;
        QCOMPARE(form->windowTitle(), QString("スペクトルウィンドウ"));
        QCOMPARE(form->size(), QSize(627, 701));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->pos(), QPoint(0, 0));
        QVERIFY(!form->isModal());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->SpectrumDataScrollBox->geometry(), QRect(8, 8, 438, 684));
        // The default graph, 434 x 680, fills the client area exactly.
        QCOMPARE(form->SpectrumDataScrollBox->maximumViewportSize(), QSize(434, 680));
        QCOMPARE(form->SpectrumGraph->geometry(), QRect(0, 0, 105, 105));
        QVERIFY(form->RedrawButton->isDefault());
    }

    // Histogram by default; two columns of drawing methods; both track
    // bars count tenths of a decade from -50 to 0 with a tick every 5.
    void drawMethodsAndTrackBars() {
        TSpectrumViewForm* form = SpectrumViewForm;
        QCOMPARE(form->DrawMethodBox->ItemIndex(), int(kDrawHistogram));
        QCOMPARE(form->DrawMethodBox->Button(2)->y(), form->DrawMethodBox->Button(0)->y());
        QVERIFY(form->DrawMethodBox->Button(2)->x() > form->DrawMethodBox->Button(1)->x());
        for (QSlider* bar : {form->FupperBar, form->FlowerBar}) {
            QCOMPARE(bar->minimum(), -50);
            QCOMPARE(bar->maximum(), 0);
            QCOMPARE(bar->tickInterval(), 5);
            QCOMPARE(bar->pageStep(), 5);
        }
    }

    void tabOrder() {
        QCOMPARE(TabStops(SpectrumViewForm, "AspectAjustButton"),
                 (QStringList{"AspectAjustButton", "HorzSizeBox", "VertSizeBox",
                              "DrawMethodBoxItem2", "FupperBar", "FlowerBar", "RedrawButton",
                              "GraphSaveButton", "CloseButton", "SpectrumDataScrollBox",
                              "FupperBox", "FlowerBox", "PupperBox", "PlowerBox"}));
    }

    // At start-up the bars stand at 0 and -40 and the labels read the band
    // for the default period of 0.025 s.
    void bandAtStartUp() {
        TSpectrumViewForm* form = SpectrumViewForm;
        QCOMPARE(form->FupperBar->value(), 0);
        QCOMPARE(form->FlowerBar->value(), -40);
        QCOMPARE(form->FreqUpperLabel->text(), QString("上限周波数  20.00000Hz"));
        QCOMPARE(form->FreqLowerLabel->text(), QString("下限周波数  0.00200Hz"));
        QCOMPARE(form->state.upperRatio, 1.0);
        QCOMPARE(form->state.lowerRatio, std::pow(10.0, -40 * 0.1));
        QVERIFY(form->FreqUpperLabel->width() >= form->FreqUpperLabel->sizeHint().width());
    }

    // Moving a bar, by mouse, key or code, sets its ratio and label from the
    // last run's fftPeriod and dataFraction; the state and the bar agree.
    void barMovesFollowTheState_data() {
        QTest::addColumn<bool>("upper");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        QTest::newRow("upper-left") << true << int(Qt::Key_Left) << -1 << "上限周波数  15.88656Hz";
        QTest::newRow("upper-page")
            << true << int(Qt::Key_PageDown) << -5 << "上限周波数  6.32456Hz";
        QTest::newRow("lower-right")
            << false << int(Qt::Key_Right) << -39 << "下限周波数  0.00252Hz";
        QTest::newRow("lower-home") << false << int(Qt::Key_Home) << -50 << "下限周波数  0.00020Hz";
    }

    void barMovesFollowTheState() {
        QFETCH(bool, upper);
        QFETCH(int, key);
        QFETCH(int, position);
        QFETCH(QString, label);
        TSpectrumViewForm* form = SpectrumViewForm;
        QSlider* bar = upper ? form->FupperBar : form->FlowerBar;
        QTest::keyClick(bar, static_cast<Qt::Key>(key));
        QCOMPARE(bar->value(), position);
        QCOMPARE(upper ? form->state.UpperBarPosition() : form->state.LowerBarPosition(), position);
        QCOMPARE((upper ? form->FreqUpperLabel : form->FreqLowerLabel)->text(), label);
        QCOMPARE(upper ? form->state.upperRatio : form->state.lowerRatio,
                 std::pow(10.0, position * 0.1));
    }

    // Setting the band from code moves the bars to the nearest tenth of a
    // decade; the same positions again change neither ratios nor labels.
    void setBandFrequencies() {
        TSpectrumViewForm* form = SpectrumViewForm;
        form->SetBandFrequencies(1.0, 0.002);
        QCOMPARE(form->FlowerBar->value(), -27);
        QCOMPARE(form->state.lowerRatio, std::pow(10.0, -27 * 0.1));
        form->UpdateBandLabels(0.05);
        const QString upperText = form->FreqUpperLabel->text();
        const QString lowerText = form->FreqLowerLabel->text();
        QCOMPARE(upperText, QString("上限周波数  10.00000Hz"));
        form->SetBandFrequencies(1.0, 0.002);
        QCOMPARE(form->FreqUpperLabel->text(), upperText);
        QCOMPARE(form->FreqLowerLabel->text(), lowerText);
        form->SetBandFrequencies(2.0, 1e-6);
        QCOMPARE(form->FupperBar->value(), 0);
        QCOMPARE(form->FlowerBar->value(), -50);
    }

    void settingsChecks_data() {
        QTest::addColumn<int>("upperBar");
        QTest::addColumn<int>("lowerBar");
        QTest::addColumn<int>("fupper");
        QTest::addColumn<int>("flower");
        QTest::addColumn<int>("pupper");
        QTest::addColumn<int>("plower");
        QTest::addColumn<QString>("message");
        QTest::newRow("band-equal")
            << -20 << -20 << 2 << -3 << 0 << -9
            << "回帰直線の上限周波数は下限周波数より大きくなければなりません。";
        QTest::newRow("band-crossed")
            << -30 << -10 << 4 << -4 << 0 << 0
            << "回帰直線の上限周波数は下限周波数より大きくなければなりません。";
        QTest::newRow("frequency")
            << 0 << -40 << 1 << 1 << 0 << -9 << "周波数の設定範囲が正しくありません。";
        QTest::newRow("power") << 0 << -40 << 2 << -3 << -5 << -4
                               << "パワーの設定範囲が正しくありません。";
        QTest::newRow("all-good") << 0 << -40 << 2 << -3 << 0 << -9 << "";
    }

    void settingsChecks() {
        QFETCH(int, upperBar);
        QFETCH(int, lowerBar);
        QFETCH(int, fupper);
        QFETCH(int, flower);
        QFETCH(int, pupper);
        QFETCH(int, plower);
        QFETCH(QString, message);
        TSpectrumViewForm* form = SpectrumViewForm;
        form->FupperBar->setValue(upperBar);
        form->FlowerBar->setValue(lowerBar);
        form->FupperBox->setValue(fupper);
        form->FlowerBox->setValue(flower);
        form->PupperBox->setValue(pupper);
        form->PlowerBox->setValue(plower);
        QCOMPARE(form->CheckSettings(), message.isEmpty());
        if (message.isEmpty()) {
            QVERIFY(recorder->messages.empty());
            return;
        }
        QCOMPARE(recorder->messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(recorder->messages[0].text), message);
        QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);
        QCOMPARE(recorder->messages[0].owner, Owner(SpectrumViewForm));
    }

    // A number typed and confirmed at once counts, held within the range.
    void typedValuesAreInterpretedAndHeldInRange() {
        TSpectrumViewForm* form = SpectrumViewForm;
        QLineEdit* edit = form->HorzSizeBox->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(form->HorzSizeBox, "5");
        QCOMPARE(edit->text(), QString("5"));
        QCOMPARE(form->Settings().HorzSizeBox, 100);
        edit = form->FlowerBox->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(form->FlowerBox, "1");
        QTest::keyClick(form->FlowerBox, Qt::Key_Return);
        const TSpectrumSettings settings = form->Settings();
        QCOMPARE(settings.FlowerBox, 1);
        QCOMPARE(settings.FupperBox, 2);
        QCOMPARE(settings.DrawMethodBox, 2);
    }

    void aspectButton_data() {
        QTest::addColumn<int>("horz");
        QTest::addColumn<int>("fupper");
        QTest::addColumn<int>("flower");
        QTest::addColumn<int>("pupper");
        QTest::addColumn<int>("plower");
        QTest::addColumn<int>("vert");
        QTest::newRow("defaults") << 350 << 2 << -3 << 0 << -9 << 630;
        QTest::newRow("500") << 500 << 2 << -3 << 0 << -9 << 900;
        QTest::newRow("clamped-high") << 350 << 0 << -1 << 10 << -10 << 3000;
        QTest::newRow("clamped-low") << 100 << 4 << -4 << 0 << -1 << 100;
        QTest::newRow("truncated") << 110 << 2 << -1 << 0 << -5 << 183;
        QTest::newRow("equal-frequencies-keep") << 350 << 1 << 1 << 0 << -9 << 630;
    }

    void aspectButton() {
        QFETCH(int, horz);
        QFETCH(int, fupper);
        QFETCH(int, flower);
        QFETCH(int, pupper);
        QFETCH(int, plower);
        QFETCH(int, vert);
        TSpectrumViewForm* form = SpectrumViewForm;
        form->HorzSizeBox->setValue(horz);
        form->FupperBox->setValue(fupper);
        form->FlowerBox->setValue(flower);
        form->PupperBox->setValue(pupper);
        form->PlowerBox->setValue(plower);
        QTest::mouseClick(form->AspectAjustButton, Qt::LeftButton);
        QCOMPARE(form->VertSizeBox->value(), vert);
        QVERIFY(recorder->messages.empty());
        QVERIFY2(form->SpectrumGraph->pixmap().isNull(), "the graph is not redrawn");
    }

    void buttonsDoNothingWithoutSpectrum() {
        TSpectrumViewForm* form = SpectrumViewForm;
        form->ShowModeless();
        QTest::mouseClick(form->RedrawButton, Qt::LeftButton);
        QTest::mouseClick(form->GraphSaveButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QVERIFY(recorder->dialogs.empty());
        QVERIFY(form->SpectrumGraph->pixmap().isNull());
        QTest::mouseClick(form->CloseButton, Qt::LeftButton);
        QVERIFY(!form->isVisible());
    }
};

ZM_GUI_TEST_MAIN(SpectrumViewTest)
#include "spectrumview_test.moc"
