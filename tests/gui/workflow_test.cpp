// The three ways of working, end to end on generated recordings, driven as a
// user drives the windows; the spectrum shown is compared pixel for pixel
// with what the command-line front draws for the same settings.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QToolTip>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <memory>

#include "analysis/analysisrun.h"
#include "base/safefile.h"
#include "base/textformat.h"
#include "examples/signals.h"
#include "examples/soundwriter.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"
#include "tests/support/jsonvalue.h"

namespace {

// Runs zittermark-cli on `input` with `options`, asking for the spectrum
// graph (and the spectrum file when `csv` is given); returns the graph.
QImage CliSpectrum(const TTempDir& dir, const QStringList& options, const std::string& input,
                   const std::string& csv = {}) {
    const QString png = QString::fromStdString(dir.File("cli.png"));
    QStringList arguments = options;
    arguments << "--spectrum-png" << png;
    if (!csv.empty()) {
        arguments << "--csv" << QString::fromStdString(csv);
    }
    arguments << QString::fromStdString(input);
    QProcess cli;
    cli.start(ZM_CLI_PATH, arguments);
    if (!cli.waitForFinished(120000) || cli.exitCode() != 0) {
        qWarning() << "zittermark-cli" << arguments << cli.readAllStandardError();
        return QImage();
    }
    return QImage(png).convertToFormat(QImage::Format_RGB888);
}

// What zittermark-cli prints for `input` with `options`; empty on failure.
std::string CliOutput(const QStringList& options, const std::string& input) {
    QProcess cli;
    cli.start(ZM_CLI_PATH, QStringList(options) << QString::fromStdString(input));
    if (!cli.waitForFinished(120000) || cli.exitCode() != 0) {
        qWarning() << "zittermark-cli" << options << cli.readAllStandardError();
        return {};
    }
    return cli.readAllStandardOutput().toStdString();
}

// The parts of the graph's tooltip that carry the command line's numbers for
// `input` with `options`: the plain line's "λ = ... ± ..." and the --json
// values with three decimals, "—" for those it gives as null.
QStringList CliTooltipParts(const QStringList& options, const std::string& input) {
    const std::string plain = CliOutput(options, input);
    const std::optional<TJson> json = ParseJson(CliOutput(QStringList(options) << "--json", input));
    const std::size_t lambda = plain.find("λ = ");
    if (!json || lambda == std::string::npos) {
        return {};
    }
    auto fixed = [](const TJson& value) {
        return value.kind == TJson::Null ? std::string("—") : FormatFixed(value.number, 3);
    };
    const TJson& ci = (*json)["lambda_ci95"];
    const std::string parts[] = {
        plain.substr(lambda, plain.find('\n', lambda) - lambda) + "\n",
        "信頼区間  " +
            (ci.items.size() == 2 ? "[" + fixed(ci.items[0]) + ", " + fixed(ci.items[1]) + "]"
                                  : std::string("—")) +
            "\n",
        "R² = " + fixed((*json)["r2"]) + "\n",
        "k = " + FormatInt(static_cast<long long>((*json)["groups"].number)) + "\n",
        "系列の λ = " + fixed((*json)["lambda_mean_removed"]) + "\n",
        "β_DFA = " + fixed((*json)["beta_dfa"])};
    QStringList texts;
    for (const std::string& part : parts) {
        texts << QString::fromStdString(part);
    }
    return texts;
}

// Whether `tooltip` holds every part; names the first missing one otherwise.
bool HoldsParts(const QString& tooltip, const QStringList& parts) {
    if (parts.size() != 6) {
        qWarning() << "no command-line numbers";
        return false;
    }
    for (const QString& part : parts) {
        if (!tooltip.contains(part)) {
            qWarning() << part << "not in" << tooltip;
            return false;
        }
    }
    return true;
}

void ChooseMode(TRadioGroup* group, int index) {
    QTest::mouseClick(group->Button(index), Qt::LeftButton);
}

void TypeInto(QSpinBox* box, const QString& text) {
    box->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(box, text);
}

QString BandLabel(const char* name, double frequency) {
    return QString(name) + "  " + QString::fromStdString(FormatFixed(frequency, 5)) + "Hz";
}

} // namespace

class WorkflowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> dir;
    std::unique_ptr<TGuiRecorder> recorder;
    std::unique_ptr<TForms> forms;
    std::string wave;

    void ChooseWave(const std::string& name) {
        recorder->answers.push_back(name);
        QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
    }

private slots:
    void init() {
        dir = std::make_unique<TTempDir>();
        wave = dir->File("fluctuation.wav");
        WriteRecording(wave);
        recorder = std::make_unique<TGuiRecorder>();
        forms = std::make_unique<TForms>();
    }

    void cleanup() {
        forms.reset();
        recorder.reset();
        dir.reset();
    }

    // One click from a WAV file to the spectrum: 25 ms windows, the band
    // reset to the whole spectrum whatever the user set, the Hamming window.
    void easyMode() {
        ChooseWave(wave);
        SpectrumViewForm->FlowerBar->setValue(-10);
        SpectrumViewForm->FupperBar->setValue(-3);
        MainForm->SampleTimeBox->setValue(100);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(), std::vector<std::string>{});
        QCOMPARE(recorder->busy, (std::vector<bool>{true, false, true, false}));
        QVERIFY(recorder->modal.empty());
        QCOMPARE(MainForm->series.count, 480);
        QCOMPARE(MainForm->series.period, 0.025);
        QCOMPARE(MainForm->series.unit, std::string("Hz"));
        QVERIFY(MainForm->fft != nullptr);
        QCOMPARE(MainForm->fft->count, 512);
        QCOMPARE(SpectrumViewForm->state.spectrum, MainForm->fft.get());
        QVERIFY(SpectrumViewForm->isVisible());

        // The band: the top of the spectrum and 2 / count of it.
        const int lower = static_cast<int>(std::floor(std::log10(2.0 / 480) * 10 + 0.5));
        QCOMPARE(SpectrumViewForm->FupperBar->value(), 0);
        QCOMPARE(SpectrumViewForm->FlowerBar->value(), lower);
        QCOMPARE(SpectrumViewForm->FreqUpperLabel->text(), BandLabel("上限周波数", 20.0));
        QCOMPARE(SpectrumViewForm->FreqLowerLabel->text(),
                 BandLabel("下限周波数", 0.5 / 0.025 * std::pow(10.0, lower * 0.1)));

        const QImage shown = ShownImage(SpectrumViewForm->SpectrumGraph);
        QCOMPARE(shown.size(), QSize(434, 680));
        QCOMPARE(SpectrumViewForm->SpectrumGraph->size(), QSize(434, 680));
        const std::string csv = dir->File("cli.csv");
        QCOMPARE(shown, CliSpectrum(*dir, {}, wave, csv));

        // The spectrum and the series of the easy run can be saved.
        recorder->answers = {dir->File("gui.csv"), dir->File("gui.smp")};
        QTest::mouseClick(MainForm->SpectrumSaveButton, Qt::LeftButton);
        QTest::mouseClick(MainForm->SampleSaveButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QCOMPARE(ReadFileBytes(dir->File("gui.csv")), ReadFileBytes(csv));
        QCOMPARE(ReadFileBytes(dir->File("gui.smp")), MainForm->series.SampleFileText());
        QCOMPARE(MainForm->csvDir, dir->Path());
        QCOMPARE(MainForm->sampleDir, dir->Path());
        const TFileDialogRequest& csvDialog = recorder->dialogs[recorder->dialogs.size() - 2];
        QCOMPARE(csvDialog.filter, std::string("CSVファイル(*.csv)"));
        QCOMPARE(csvDialog.defaultSuffix, std::string("csv"));
        QCOMPARE(csvDialog.kind, TFileDialogKind::Save);
    }

    // The user's parameters in one click; the band stays where the user put
    // it, run after run.
    void fixedMode() {
        ChooseWave(wave);
        ChooseMode(MainForm->AnalyzeModeBox, kFixedMode);
        ChooseMode(MainForm->SamplingModeBox, kAmplitudeSampling);
        MainForm->SampleTimeBox->setValue(40);
        MainForm->WindowFunctionBox->setCurrentIndex(kHanningWindow);
        SpectrumViewForm->FupperBar->setValue(-5);
        SpectrumViewForm->FlowerBar->setValue(-30);
        for (int run = 0; run < 2; ++run) {
            QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
            QVERIFY(recorder->messages.empty());
            QCOMPARE(MainForm->series.unit, std::string("RMS"));
            QCOMPARE(MainForm->series.period, 0.04);
            QCOMPARE(SpectrumViewForm->FupperBar->value(), -5);
            QCOMPARE(SpectrumViewForm->FlowerBar->value(), -30);
        }
        QCOMPARE(ShownImage(SpectrumViewForm->SpectrumGraph),
                 CliSpectrum(*dir,
                             {"--mode", "fixed", "--sampling", "amplitude", "--period-ms", "40",
                              "--window", "hanning", "--band-upper", "-5", "--band-lower", "-30"},
                             wave));
    }

    // Sampling and analysis apart: the series in the modal sampling window,
    // saved, loaded back, then analysed as it is.
    void detailedMode() {
        ChooseWave(wave);
        ChooseMode(MainForm->AnalyzeModeBox, kDetailedMode);
        MainForm->SampleTimeBox->setValue(50);
        MainForm->BiasBox->setValue(8);
        QStringList statistics;
        QImage graph;
        recorder->onModal = [&](QDialog&) {
            statistics = QStringList{
                SamplingViewForm->NumSampleLabel->text(), SamplingViewForm->DurationLabel->text(),
                SamplingViewForm->AverageLabel->text(), SamplingViewForm->MaxLabel->text()};
            graph = ShownImage(SamplingViewForm->SamplingDataGraph);
        };
        QTest::mouseClick(MainForm->SamplingStartButton, Qt::LeftButton);
        QCOMPARE(recorder->modal, std::vector<std::string>{"SamplingViewForm"});
        QVERIFY(recorder->messages.empty());
        const TWaveAnalyze& series = MainForm->series;
        QCOMPARE(series.count, 240);
        QCOMPARE(statistics[0], QString("総サンプル数：240"));
        QCOMPARE(statistics[1], QString("長さ：12.000sec"));
        QCOMPARE(statistics[2],
                 QString::fromStdString("平均値：" + FormatFixed(series.Average(), 3) + "Hz"));
        QCOMPARE(graph.size(), QSize(800, 320));
        QCOMPARE(SamplingViewForm->values, series.values.get());
        // The band labels already show the new period; nothing was analysed.
        QCOMPARE(SpectrumViewForm->FreqUpperLabel->text(), BandLabel("上限周波数", 10.0));
        QVERIFY(!SpectrumViewForm->isVisible());
        QVERIFY(MainForm->fft == nullptr);

        const std::string sample = dir->File("take.smp");
        recorder->answers = {sample, sample};
        QTest::mouseClick(MainForm->SampleSaveButton, Qt::LeftButton);
        const std::vector<double> before(series.values.get(), series.values.get() + series.count);
        QTest::mouseClick(MainForm->SampleLoadButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QCOMPARE(recorder->modal.size(), std::size_t{2});
        QCOMPARE(recorder->dialogs.back().kind, TFileDialogKind::Open);
        QCOMPARE(recorder->dialogs.back().filter, std::string("サンプルファイル(*.smp)"));
        QCOMPARE(recorder->dialogs.back().initialDir, dir->Path());
        QCOMPARE(series.count, 240);
        QVERIFY2(SamplingViewForm->values == series.values.get(), "refreshed after the load");

        MainForm->WindowFunctionBox->setCurrentIndex(kRectangularWindow);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QVERIFY2(recorder->busy.size() == 4, "one sampling, one spectrum");
        QCOMPARE(ShownImage(SpectrumViewForm->SpectrumGraph),
                 CliSpectrum(*dir, {"--window", "rect"}, sample));
    }

    // A period typed and confirmed at once with Enter is held in range.
    void typedPeriodConfirmedWithEnter() {
        ChooseWave(wave);
        ChooseMode(MainForm->AnalyzeModeBox, kFixedMode);
        TypeInto(MainForm->SampleTimeBox, "1");
        QTest::keyClick(MainForm->SampleTimeBox, Qt::Key_Return);
        QVERIFY(recorder->messages.empty());
        QCOMPARE(MainForm->series.period, 0.005);
        QCOMPARE(MainForm->SampleTimeBox->value(), 5);
        QVERIFY(SpectrumViewForm->isVisible());
    }

    // A file that is no WAV file stops the run with its box; the series and
    // the spectrum of the run before stay.
    void unreadableWaveStopsTheRun() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        const TComplexFFT* spectrum = MainForm->fft.get();
        const QImage shown = ShownImage(SpectrumViewForm->SpectrumGraph);
        const std::string bogus = dir->File("bogus.wav");
        WriteFileBytes(bogus, "RIFX this is no wave file at all");
        MainForm->WaveFileBox->setText(QString::fromStdString(bogus));
        for (int mode : {kEasyMode, kFixedMode, kDetailedMode}) {
            recorder->Clear();
            ChooseMode(MainForm->AnalyzeModeBox, mode);
            QTest::mouseClick(mode == kDetailedMode ? MainForm->SamplingStartButton
                                                    : MainForm->FFTStartButton,
                              Qt::LeftButton);
            QCOMPARE(recorder->Texts(),
                     std::vector<std::string>{"WAVファイルを読み込めません。\n" + bogus +
                                              ": 音声ファイルとして読めません(Format not "
                                              "recognised.)。"});
            QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);
            QCOMPARE(recorder->messages[0].owner, Owner(MainForm));
            QCOMPARE(recorder->busy, (std::vector<bool>{true, false}));
            QVERIFY(recorder->modal.empty());
            QCOMPARE(MainForm->series.count, 480);
            QCOMPARE(MainForm->fft.get(), spectrum);
            QCOMPARE(ShownImage(SpectrumViewForm->SpectrumGraph), shown);
        }
    }

    // Recordings shorter than a few windows give series of 1 to 3 values:
    // the run goes through, the window shows nothing new, and its buttons
    // do nothing.
    void veryShortRecordings_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("count");
        QTest::newRow("one-value") << 0.01 << 1;
        QTest::newRow("two-values") << 0.05 << 2;
        QTest::newRow("three-values") << 0.07 << 3;
    }

    void veryShortRecordings() {
        QFETCH(double, seconds);
        QFETCH(int, count);
        const std::string shortWave = dir->File("short.wav");
        WriteRecording(shortWave, seconds);
        ChooseWave(shortWave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QCOMPARE(MainForm->series.count, count);
        QVERIFY(MainForm->fft != nullptr);
        QVERIFY(!SpectrumViewForm->state.CanDraw());
        QVERIFY(SpectrumViewForm->isVisible());
        QVERIFY(SpectrumViewForm->SpectrumGraph->pixmap().isNull());
        QCOMPARE(SpectrumViewForm->FupperBar->value(), 0);
        QTest::mouseClick(SpectrumViewForm->RedrawButton, Qt::LeftButton);
        QTest::mouseClick(SpectrumViewForm->GraphSaveButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        QVERIFY2(recorder->dialogs.size() == 1, "only the WAV dialog");
    }

    // The graph's tooltip reports the checks of the line shown with the
    // command line's numbers: after each run, with "—" where the command line
    // has null (a crossing count of a steady tone is constant: no mean-removed
    // lambda, no DFA), and after a redraw with another band, which the command
    // line reaches with the easy mode's sampling in the fixed mode.
    void tooltipCarriesTheCliNumbers() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QLabel* graph = SpectrumViewForm->SpectrumGraph;
        const QString steady = SpectrumViewForm->GraphToolTip();
        QVERIFY(HoldsParts(steady, CliTooltipParts({}, wave)));
        QVERIFY(steady.contains("β_DFA = —"));

        ChooseMode(MainForm->SamplingModeBox, kAmplitudeSampling);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        // The checks are worked out when the tooltip is first asked for:
        // hovering the graph shows them, and the run itself shows the
        // hourglass only over its sampling and its spectrum.
        recorder->busy.clear();
        QHelpEvent hover(QEvent::ToolTip, QPoint(20, 20), graph->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(graph, &hover);
        const QString easy = graph->toolTip();
        QCOMPARE(QToolTip::text(), easy);
        QToolTip::hideText();
        QCOMPARE(recorder->busy, (std::vector<bool>{true, false}));
        QVERIFY(HoldsParts(easy, CliTooltipParts({"--sampling", "amplitude"}, wave)));
        QVERIFY(!easy.contains("—"));
        QVERIFY2(!easy.contains(QRegularExpression("\\d,\\d")), "no decimal comma");
        QCOMPARE(SpectrumViewForm->GraphToolTip(), easy);
        QVERIFY2(recorder->busy.size() == 2, "worked out once per drawing");

        // Moving a bar changes nothing shown until the redraw; the window
        // function box belongs to the next run.
        SpectrumViewForm->FlowerBar->setValue(-20);
        MainForm->WindowFunctionBox->setCurrentIndex(kRectangularWindow);
        QCOMPARE(SpectrumViewForm->GraphToolTip(), easy);
        QTest::mouseClick(SpectrumViewForm->RedrawButton, Qt::LeftButton);
        // Bars moved after the redraw do not reach the tooltip of its graph.
        SpectrumViewForm->FlowerBar->setValue(-5);
        const QString banded = SpectrumViewForm->GraphToolTip();
        QVERIFY(banded != easy);
        QVERIFY(HoldsParts(banded, CliTooltipParts({"--mode", "fixed", "--sampling", "amplitude",
                                                    "--period-ms", "25", "--band-lower", "-20"},
                                                   wave)));
    }

    // A FLAC file, chosen in the dialog or dropped on the window, runs end
    // to end and shows the spectrum the command line draws for it, which is
    // the spectrum of the same audio as a WAV file.
    void flacChosenOrDropped() {
        const std::vector<int32_t> mono = ToPcm16(FluctuatingTone(12.0, 8000, 440.0, 1.0, 20.0, 7));
        std::vector<int32_t> stereo;
        for (int32_t sample : mono) {
            stereo.insert(stereo.end(), {sample, sample / 2});
        }
        const std::string flac = dir->File("take.flac");
        QCOMPARE(WriteSound16(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 2, stereo),
                 std::string());
        const std::string same = dir->File("take.wav");
        TWavBuilder builder;
        builder.sampleRate = 8000;
        builder.channels = 2;
        WriteFileBytes(same, builder.Build(stereo));

        ChooseWave(flac);
        QCOMPARE(recorder->dialogs.back().filter, AudioFilter());
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(), std::vector<std::string>{});
        QCOMPARE(MainForm->series.count, 480);
        const QImage chosen = ShownImage(SpectrumViewForm->SpectrumGraph);
        QCOMPARE(chosen, CliSpectrum(*dir, {}, flac));
        QCOMPARE(chosen, CliSpectrum(*dir, {}, same));

        // A real drop of the file, its extension in capitals, in the
        // amplitude sampling.
        const std::string dropped = dir->File("TAKE.FLAC");
        std::filesystem::copy_file(flac, dropped);
        MainForm->WaveFileBox->clear();
        ChooseMode(MainForm->SamplingModeBox, kAmplitudeSampling);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
        QDragEnterEvent enter(QPoint(20, 25), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(MainForm, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 25), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &drop);
        QTRY_COMPARE(MainForm->WaveFileBox->text(), QString::fromStdString(dropped));
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(), std::vector<std::string>{});
        const QImage shown = ShownImage(SpectrumViewForm->SpectrumGraph);
        QVERIFY(shown != chosen);
        QCOMPARE(shown, CliSpectrum(*dir, {"--sampling", "amplitude"}, dropped));
    }

    // Redrawing with other settings; refused settings keep the old graph.
    void redrawAndRefusedSettings() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        ChooseMode(SpectrumViewForm->DrawMethodBox, kDrawPolyline);
        SpectrumViewForm->HorzSizeBox->setValue(500);
        SpectrumViewForm->PlowerBox->setValue(-6);
        QTest::mouseClick(SpectrumViewForm->RedrawButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        const QImage redrawn = ShownImage(SpectrumViewForm->SpectrumGraph);
        QCOMPARE(redrawn.size(), QSize(584, 680));
        QCOMPARE(redrawn, CliSpectrum(*dir,
                                      {"--draw", "polyline", "--size", "500", "630",
                                       "--power-range", "-6", "0"},
                                      wave));

        SpectrumViewForm->FlowerBar->setValue(-10);
        SpectrumViewForm->FupperBar->setValue(-10);
        QTest::keyClick(SpectrumViewForm->PlowerBox, Qt::Key_Return);
        QCOMPARE(recorder->Texts(),
                 std::vector<std::string>{
                     "回帰直線の上限周波数は下限周波数より大きくなければなりません。"});
        QCOMPARE(recorder->messages[0].owner, Owner(SpectrumViewForm));
        QCOMPARE(ShownImage(SpectrumViewForm->SpectrumGraph), redrawn);
    }

    // The spectrum graph saved as PNG is what the window shows; its folder
    // goes to the settings file; a failed save is reported and forgotten.
    void spectrumGraphSave() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        const std::string png = dir->File("spectrum.png");
        recorder->answers = {png};
        QTest::mouseClick(SpectrumViewForm->GraphSaveButton, Qt::LeftButton);
        QVERIFY(recorder->messages.empty());
        const TFileDialogRequest& request = recorder->dialogs.back();
        QCOMPARE(request.filter, std::string("PNGファイル(*.png)"));
        QCOMPARE(request.defaultSuffix, std::string("png"));
        QCOMPARE(request.initialDir, DocumentsDir());
        QCOMPARE(request.owner, static_cast<QWidget*>(SpectrumViewForm));
        QCOMPARE(QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888),
                 ShownImage(SpectrumViewForm->SpectrumGraph));
        QCOMPARE(SpectrumViewForm->imageDir, dir->Path());

        recorder->answers = {dir->File("missing/spectrum.png")};
        QTest::mouseClick(SpectrumViewForm->GraphSaveButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(), std::vector<std::string>{
                                        "ファイルの保存に失敗しました。\ncannot create a temporary "
                                        "file in " +
                                        dir->File("missing") + ": " + ErrnoMessage(ENOENT)});
        QCOMPARE(recorder->messages[0].owner, Owner(SpectrumViewForm));
        QCOMPARE(SpectrumViewForm->imageDir, dir->Path());

        forms->Close();
        QVERIFY(ReadFileBytes(SettingsFile()).find("ImageDir=" + dir->Path() + "\r\n") !=
                std::string::npos);
    }

    void failedExportsAreReported() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        recorder->answers = {dir->File("gone/a.smp"), dir->File("gone/a.csv")};
        QTest::mouseClick(MainForm->SampleSaveButton, Qt::LeftButton);
        QTest::mouseClick(MainForm->SpectrumSaveButton, Qt::LeftButton);
        const std::string reason =
            "ファイルの保存に失敗しました。\ncannot create a temporary file in " +
            dir->File("gone") + ": " + ErrnoMessage(ENOENT);
        QCOMPARE(recorder->Texts(), (std::vector<std::string>{reason, reason}));
        for (const TMessage& message : recorder->messages) {
            QCOMPARE(message.kind, TMessageKind::Error);
            QCOMPARE(message.owner, Owner(MainForm));
        }
        QCOMPARE(MainForm->sampleDir, DocumentsDir());
        QCOMPARE(MainForm->csvDir, DocumentsDir());
    }

    // No save of any window replaces the recording being analysed, whether
    // it is named as the file box names it or through another path.
    void savesOverTheRecordingAreRefused() {
        ChooseWave(wave);
        QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
        const std::string before = ReadFileBytes(wave);
        const std::string other =
            dir->File("sub/../") + std::filesystem::path(wave).filename().string();
        std::filesystem::create_directories(dir->File("sub"));
        struct TSave {
            QPushButton* button;
            std::string chosen;
            QWidget* owner;
        };
        const TSave saves[] = {
            {MainForm->SampleSaveButton, wave, MainForm},
            {MainForm->SpectrumSaveButton, other, MainForm},
            {SpectrumViewForm->GraphSaveButton, wave, SpectrumViewForm},
        };
        for (const TSave& save : saves) {
            recorder->messages.clear();
            recorder->answers = {save.chosen};
            QTest::mouseClick(save.button, Qt::LeftButton);
            QCOMPARE(recorder->Texts(),
                     std::vector<std::string>{"ファイルの保存に失敗しました。\n" + save.chosen +
                                              " is the recording being analysed; choose another "
                                              "name"});
            QCOMPARE(recorder->messages[0].owner, Owner(save.owner));
            QCOMPARE(ReadFileBytes(wave), before);
        }
    }
};

ZM_GUI_TEST_MAIN(WorkflowTest)
#include "workflow_test.moc"
