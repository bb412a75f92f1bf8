// The main window: layout, texts, control states by mode, the run refusals
// with their boxes, the file dialogs, file drops, Enter and the help button.

#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <cerrno>
#include <memory>

#include "analysis/analysisrun.h"
#include "base/safefile.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"

Q_DECLARE_METATYPE(std::string)

namespace {

QWidget* Control(const char* name) {
    QWidget* widget = MainForm->findChild<QWidget*>(name);
    if (widget == nullptr) {
        qFatal("no control %s", name);
    }
    return widget;
}

// Gives the main window a series of `count` values without sampling.
void SetSeries(int count) {
    MainForm->series.values.reset(new double[count > 0 ? count : 1]);
    for (int i = 0; i < count; ++i) {
        MainForm->series.values[i] = 100.0 + i;
    }
    MainForm->series.count = count;
    MainForm->series.period = 0.025;
    MainForm->series.SetUnit("Hz");
}

} // namespace

class MainFormTest : public QObject {
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

    void windowIsFixedAndCentred() {
        QCOMPARE(MainForm->windowTitle(), QString("Zittermark"));
        QCOMPARE(MainForm->size(), QSize(504, 374));
        QCOMPARE(MainForm->minimumSize(), MainForm->maximumSize());
        QVERIFY(!(MainForm->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(MainForm->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(MainForm->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(MainForm->frameGeometry().center().y() - screen.center().y()) <= 1);
    }

    // Every text fits its control and no control runs into another.
    void textsFitAndNothingOverlaps() {
        QCOMPARE(Misfits(MainForm), QStringList{});
        QCOMPARE(Misfits(SamplingViewForm), QStringList{});
        QCOMPARE(Misfits(SpectrumViewForm), QStringList{});
    }

    void startsInTheEasyModeWithTheDefaults() {
        QCOMPARE(MainForm->AnalyzeModeBox->ItemIndex(), int(kEasyMode));
        QCOMPARE(MainForm->SamplingModeBox->ItemIndex(), int(kFrequencySampling));
        QCOMPARE(MainForm->SampleTimeBox->value(), 25);
        QCOMPARE(MainForm->BiasBox->value(), 0);
        QCOMPARE(MainForm->WindowFunctionBox->currentIndex(), int(kHammingWindow));
        QVERIFY(MainForm->FFTStartButton->isDefault());
        QCOMPARE(MainForm->VersionLabel->text(), QString("Version 1.16"));
        QVERIFY(!MainForm->JumpManualButton->icon().isNull());
        QVERIFY(MainForm->fft == nullptr);
        QCOMPARE(MainForm->series.count, 0);
        QCOMPARE(HintDelayMs(), kHintDelayMs);
        QCOMPARE(MainForm->SampleTimeBox->toolTipDuration(), kHintDisplayMs);
    }

    // Each radio group is one stop, at its selected item.
    void tabOrder() {
        const QStringList before{"WaveFileBox", "WaveFileSelectButton"};
        const QStringList after{"SampleTimeBox",          "BiasBox",
                                "SamplingStartButton",    "SampleSaveButton",
                                "SampleLoadButton",       "FFTStartButton",
                                "WindowFunctionBox",      "SpectrumSaveButton",
                                "ShowSpectrumViewButton", "JumpManualButton"};
        QCOMPARE(TabStops(MainForm, "WaveFileBox"),
                 (before + QStringList{"AnalyzeModeBoxItem0", "SamplingModeBoxItem0"} + after));
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(2), Qt::LeftButton);
        MainForm->SamplingModeBox->SetItemIndex(1);
        QCOMPARE(TabStops(MainForm, "WaveFileBox"),
                 (before + QStringList{"AnalyzeModeBoxItem2", "SamplingModeBoxItem1"} + after));
    }

    void modeControls_data() {
        QTest::addColumn<int>("analyzeMode");
        QTest::addColumn<int>("samplingMode");
        QTest::addColumn<bool>("sampleTime");
        QTest::addColumn<bool>("bias");
        QTest::addColumn<bool>("samplingStart");
        QTest::addColumn<bool>("sampleLoad");
        QTest::addColumn<bool>("windowFunction");
        QTest::newRow("easy-frequency") << 0 << 0 << false << false << false << false << false;
        QTest::newRow("easy-amplitude") << 0 << 1 << false << false << false << false << false;
        QTest::newRow("detailed-frequency") << 1 << 0 << true << true << true << true << true;
        QTest::newRow("detailed-amplitude") << 1 << 1 << true << false << true << true << true;
        QTest::newRow("fixed-frequency") << 2 << 0 << true << true << false << false << true;
        QTest::newRow("fixed-amplitude") << 2 << 1 << true << false << false << false << true;
    }

    // The modes are chosen by clicking, as the user does; the order of the
    // two clicks must not matter.
    void modeControls() {
        QFETCH(int, analyzeMode);
        QFETCH(int, samplingMode);
        QFETCH(bool, sampleTime);
        QFETCH(bool, bias);
        QFETCH(bool, samplingStart);
        QFETCH(bool, sampleLoad);
        QFETCH(bool, windowFunction);
        for (int order = 0; order < 2; ++order) {
            QTest::mouseClick(MainForm->AnalyzeModeBox->Button(order == 0 ? analyzeMode : 1),
                              Qt::LeftButton);
            QTest::mouseClick(MainForm->SamplingModeBox->Button(samplingMode), Qt::LeftButton);
            QTest::mouseClick(MainForm->AnalyzeModeBox->Button(analyzeMode), Qt::LeftButton);
            QCOMPARE(MainForm->AnalyzeModeBox->ItemIndex(), analyzeMode);
            QCOMPARE(MainForm->SampleTimeBox->isEnabled(), sampleTime);
            QCOMPARE(MainForm->BiasBox->isEnabled(), bias);
            QCOMPARE(MainForm->SamplingStartButton->isEnabled(), samplingStart);
            QCOMPARE(MainForm->SampleLoadButton->isEnabled(), sampleLoad);
            QCOMPARE(MainForm->WindowFunctionBox->isEnabled(), windowFunction);
            QVERIFY(MainForm->SampleSaveButton->isEnabled());
            QVERIFY(MainForm->FFTStartButton->isEnabled());
            QVERIFY(MainForm->SamplingModeBox->isEnabled());
        }
    }

    void easyModeForcesHammingAndLeavingKeepsIt() {
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(1), Qt::LeftButton);
        MainForm->WindowFunctionBox->setCurrentIndex(0);
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(0), Qt::LeftButton);
        QCOMPARE(MainForm->WindowFunctionBox->currentIndex(), 2);
        QVERIFY(!MainForm->WindowFunctionBox->isEnabled());
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(2), Qt::LeftButton);
        QCOMPARE(MainForm->WindowFunctionBox->currentIndex(), 2);
        QVERIFY(MainForm->WindowFunctionBox->isEnabled());
    }

    void runRefusals_data() {
        QTest::addColumn<int>("analyzeMode");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file"); // "{dir}" stands for a folder that exists
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const int info = static_cast<int>(TMessageKind::Information);
        const int error = static_cast<int>(TMessageKind::Error);
        QTest::newRow("sampling-empty") << 1 << "SamplingStartButton"
                                        << "" << info << "WAVファイルを選択してください。";
        QTest::newRow("sampling-missing")
            << 1 << "SamplingStartButton"
            << "/no/such/file.wav" << error
            << QString::fromStdString("WAVファイルが見つかりません。\n" + ErrnoMessage(ENOENT));
        QTest::newRow("sampling-folder")
            << 1 << "SamplingStartButton"
            << "{dir}" << error << "WAVファイルが見つかりません。\nit is a directory";
        QTest::newRow("easy-empty") << 0 << "FFTStartButton"
                                    << "" << info << "WAVファイルを選択してください。";
        QTest::newRow("easy-missing")
            << 0 << "FFTStartButton"
            << "/no/such/file.wav" << error
            << QString::fromStdString("WAVファイルが見つかりません。\n" + ErrnoMessage(ENOENT));
        QTest::newRow("fixed-empty") << 2 << "FFTStartButton"
                                     << "" << info << "WAVファイルを選択してください。";
        QTest::newRow("fixed-folder")
            << 2 << "FFTStartButton"
            << "{dir}" << error << "WAVファイルが見つかりません。\nit is a directory";
        QTest::newRow("detailed-no-series")
            << 1 << "FFTStartButton"
            << "/no/such/file.wav" << info
            << "サンプリングデータがありません。\n先にサンプリングを行ってから実行してください。";
    }

    // Each refusal shows exactly its one box, owned by the main window, and
    // touches neither the cursor, the series nor the result windows.
    void runRefusals() {
        QFETCH(int, analyzeMode);
        QFETCH(QString, button);
        QFETCH(QString, file);
        QFETCH(int, kind);
        QFETCH(QString, text);
        file.replace("{dir}", QString::fromStdString(dir->Path()));
        MainForm->AnalyzeModeBox->SetItemIndex(analyzeMode);
        MainForm->SetModeControls(analyzeMode);
        MainForm->WaveFileBox->setText(file);
        const QString bandLabel = SpectrumViewForm->FreqUpperLabel->text();
        QTest::mouseClick(Control(button.toUtf8().constData()), Qt::LeftButton);
        QCOMPARE(recorder->messages.size(), std::size_t{1});
        const TMessage& message = recorder->messages[0];
        QCOMPARE(static_cast<int>(message.kind), kind);
        QCOMPARE(message.caption, std::string(kind == 0 ? "エラー" : "情報"));
        QCOMPARE(QString::fromStdString(message.text), text);
        QCOMPARE(message.owner, Owner(MainForm));
        QVERIFY(recorder->busy.empty());
        QVERIFY(recorder->modal.empty());
        QCOMPARE(MainForm->series.count, 0);
        QVERIFY(MainForm->fft == nullptr);
        QVERIFY(!SpectrumViewForm->isVisible());
        QCOMPARE(SpectrumViewForm->FreqUpperLabel->text(), bandLabel);
    }

    void exportsWithNothingToExport() {
        QTest::mouseClick(MainForm->SampleSaveButton, Qt::LeftButton);
        QTest::mouseClick(MainForm->SpectrumSaveButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(), (std::vector<std::string>{"サンプリングデータがありません。",
                                                              "スペクトルデータがありません。"}));
        for (const TMessage& message : recorder->messages) {
            QCOMPARE(message.kind, TMessageKind::Information);
            QCOMPARE(message.owner, Owner(MainForm));
        }
        QVERIFY(recorder->dialogs.empty());
    }

    void dialogsAskWhatTheCallerNeeds_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        const int open = static_cast<int>(TFileDialogKind::Open);
        const int save = static_cast<int>(TFileDialogKind::Save);
        // WAV first, then every audio file, then each other format.
        QTest::newRow("wave") << "WaveFileSelectButton" << open
                              << "WAVファイル(*.wav);;"
                                 "音声ファイル(*.wav *.flac *.mp3 *.ogg *.oga *.opus *.aif *.aiff "
                                 "*.aifc *.caf *.w64 *.rf64);;"
                                 "FLACファイル(*.flac);;MP3ファイル(*.mp3);;"
                                 "Ogg Vorbisファイル(*.ogg *.oga);;Opusファイル(*.opus);;"
                                 "AIFFファイル(*.aif *.aiff *.aifc);;CAFファイル(*.caf);;"
                                 "W64ファイル(*.w64);;RF64ファイル(*.rf64)"
                              << "wav";
        QTest::newRow("sample-save") << "SampleSaveButton" << save << "サンプルファイル(*.smp)"
                                     << "smp";
        QTest::newRow("sample-load") << "SampleLoadButton" << open << "サンプルファイル(*.smp)"
                                     << "smp";
    }

    // At first every dialog starts in the documents folder; a cancel
    // changes nothing, not even the remembered folder.
    void dialogsAskWhatTheCallerNeeds() {
        QFETCH(QString, button);
        QFETCH(int, kind);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        SetSeries(3);
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(1), Qt::LeftButton);
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(Control(button.toUtf8().constData()), Qt::LeftButton);
            QCOMPARE(recorder->dialogs.size(), std::size_t(round + 1));
            const TFileDialogRequest& request = recorder->dialogs.back();
            QCOMPARE(static_cast<int>(request.kind), kind);
            QCOMPARE(QString::fromStdString(request.filter), filter);
            QCOMPARE(QString::fromStdString(request.defaultSuffix), suffix);
            QCOMPARE(request.initialDir, DocumentsDir());
            QCOMPARE(request.fileName, std::string());
            QCOMPARE(request.owner, static_cast<QWidget*>(MainForm));
        }
        QVERIFY(recorder->messages.empty());
        QCOMPARE(MainForm->WaveFileBox->text(), QString());
        QCOMPARE(MainForm->waveDir, DocumentsDir());
        QCOMPARE(MainForm->sampleDir, DocumentsDir());
    }

    void chosenWaveFileSetsBoxAndFolder() {
        recorder->answers = {dir->File("take one.wav")};
        QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
        QCOMPARE(MainForm->WaveFileBox->text(), QString::fromStdString(dir->File("take one.wav")));
        QCOMPARE(MainForm->waveDir, dir->Path());
        QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
        QCOMPARE(recorder->dialogs.back().initialDir, dir->Path());
        QVERIFY2(recorder->modal.empty(), "choosing a file starts no run");
    }

    void drops_data() {
        QTest::addColumn<int>("analyzeMode");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("waveBox");
        QTest::addColumn<bool>("refused");
        QTest::newRow("wav") << 0 << QStringList{"/music/a.wav"} << "/music/a.wav" << false;
        QTest::newRow("WAV-capitals-fixed")
            << 2 << QStringList{"/music/B.WAV"} << "/music/B.WAV" << false;
        QTest::newRow("Wav-detailed") << 1 << QStringList{"/m/c.Wav"} << "/m/c.Wav" << false;
        QTest::newRow("two-files") << 1 << QStringList{"/m/a.wav", "/m/b.wav"} << "" << true;
        QTest::newRow("flac") << 0 << QStringList{"/m/a.flac"} << "/m/a.flac" << false;
        QTest::newRow("MP3-capitals") << 2 << QStringList{"/m/A.MP3"} << "/m/A.MP3" << false;
        QTest::newRow("Ogg-mixed") << 1 << QStringList{"/m/a.Ogg"} << "/m/a.Ogg" << false;
        QTest::newRow("aiff") << 0 << QStringList{"/m/a.aiff"} << "/m/a.aiff" << false;
        QTest::newRow("other-extension") << 1 << QStringList{"/m/a.txt"} << "" << false;
        QTest::newRow("flac-as-name") << 1 << QStringList{"/m/flac"} << "" << false;
        QTest::newRow("no-extension") << 1 << QStringList{"/m/wav"} << "" << false;
        QTest::newRow("dot-in-folder") << 1 << QStringList{"/m.wav/readme"} << "" << false;
        QTest::newRow("smp-easy") << 0 << QStringList{"/m/a.smp"} << "" << false;
        QTest::newRow("smp-fixed") << 2 << QStringList{"/m/a.SMP"} << "" << false;
    }

    void drops() {
        QFETCH(int, analyzeMode);
        QFETCH(QStringList, names);
        QFETCH(QString, waveBox);
        QFETCH(bool, refused);
        MainForm->AnalyzeModeBox->SetItemIndex(analyzeMode);
        std::vector<std::string> files;
        for (const QString& name : names) {
            files.push_back(name.toStdString());
        }
        MainForm->DropFiles(files);
        QCOMPARE(MainForm->WaveFileBox->text(), waveBox);
        if (!waveBox.isEmpty()) {
            QCOMPARE(QString::fromStdString(MainForm->waveDir), QFileInfo(waveBox).path());
        }
        if (refused) {
            QCOMPARE(recorder->Texts(),
                     std::vector<std::string>{"ファイルは１つしかドロップできません。"});
            QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);
            QCOMPARE(recorder->messages[0].owner, Owner(MainForm));
        } else {
            QVERIFY(recorder->messages.empty());
        }
        QVERIFY(recorder->modal.empty());
        QVERIFY2(recorder->busy.empty(), "a drop never starts a run");
    }

    // A sample file loads and shows in the detailed mode, dropped or chosen;
    // one the loader refuses shows the loader's box, owned by no window, and
    // leaves the series, the folder and the windows as they were.
    void sampleFilesLoadOnlyInTheDetailedMode() {
        const std::string good = dir->File("good.smp");
        SetSeries(3);
        QVERIFY(MainForm->series.SaveToFile(good));
        MainForm->series.count = 0;
        const std::string bad = dir->File("bad.smp");
        WriteFileBytes(bad, "not a sample file\r\n");
        QTest::mouseClick(MainForm->AnalyzeModeBox->Button(kDetailedMode), Qt::LeftButton);

        recorder->answers = {bad};
        QTest::mouseClick(MainForm->SampleLoadButton, Qt::LeftButton);
        QCOMPARE(recorder->Texts(),
                 std::vector<std::string>{"ファイルの形式が正しくありません。("
                                          "1行目、見出し「サンプリング周期」がありません)"});
        QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);
        QCOMPARE(recorder->messages[0].owner, nullptr);
        QVERIFY(recorder->modal.empty());
        QCOMPARE(MainForm->series.count, 0);
        QCOMPARE(MainForm->sampleDir, DocumentsDir());

        recorder->Clear();
        MainForm->DropFiles({good});
        QVERIFY(recorder->messages.empty());
        QCOMPARE(recorder->modal, std::vector<std::string>{"SamplingViewForm"});
        QCOMPARE(MainForm->series.count, 3);
        QCOMPARE(MainForm->sampleDir, dir->Path());
        QCOMPARE(SamplingViewForm->count, 3);
        QCOMPARE(SamplingViewForm->NumSampleLabel->text(), QString("総サンプル数：3"));
    }

    // A real drop event, anywhere on the window (here on the text box),
    // reaches the window.
    void dropEventReachesTheWindow() {
        QVERIFY(MainForm->acceptDrops());
        QVERIFY(!MainForm->WaveFileBox->acceptDrops());
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile("/music/song.wav")});
        QDragEnterEvent enter(QPoint(20, 25), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm->WaveFileBox, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 25), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm->WaveFileBox, &drop);
        QTRY_COMPARE(MainForm->WaveFileBox->text(), QString("/music/song.wav"));
        delete data;

        QMimeData two;
        two.setUrls({QUrl::fromLocalFile("/a.wav"), QUrl("https://example.org/b.wav")});
        QDragEnterEvent twoEnter(QPoint(20, 25), Qt::CopyAction, &two, Qt::LeftButton,
                                 Qt::NoModifier);
        QApplication::sendEvent(MainForm, &twoEnter);
        QDropEvent twoDrop(QPointF(20, 25), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &twoDrop);
        QTRY_COMPARE(recorder->messages.size(), std::size_t{1});
        QCOMPARE(MainForm->WaveFileBox->text(), QString("/music/song.wav"));
    }

    void enterPressesTheDefaultButton() {
        MainForm->WaveFileBox->setFocus();
        QTest::keyClick(MainForm->WaveFileBox, Qt::Key_Return);
        QCOMPARE(recorder->Texts(), std::vector<std::string>{"WAVファイルを選択してください。"});
        recorder->Clear();
        QTest::keyClick(MainForm->WindowFunctionBox, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(recorder->messages.size(), std::size_t{1});
    }

    // A focused button takes Enter itself.
    void focusedButtonTakesEnter() {
        QTest::keyClick(MainForm->WaveFileSelectButton, Qt::Key_Return);
        QCOMPARE(recorder->dialogs.size(), std::size_t{1});
        QVERIFY(recorder->messages.empty());
    }

    void showSpectrumViewButtonReopensTheWindow() {
        QVERIFY(!SpectrumViewForm->isVisible());
        QTest::mouseClick(MainForm->ShowSpectrumViewButton, Qt::LeftButton);
        QVERIFY(SpectrumViewForm->isVisible());
        QVERIFY2(SpectrumViewForm->SpectrumGraph->pixmap().isNull(), "empty before any run");
        QTest::mouseClick(SpectrumViewForm->CloseButton, Qt::LeftButton);
        QVERIFY(!SpectrumViewForm->isVisible());
        QTest::mouseClick(MainForm->ShowSpectrumViewButton, Qt::LeftButton);
        QVERIFY(SpectrumViewForm->isVisible());
    }

    void helpButtonOpensTheShippedManual() {
        QTest::mouseClick(MainForm->JumpManualButton, Qt::LeftButton);
        QCOMPARE(recorder->urls.size(), std::size_t{1});
        const QUrl url = recorder->urls[0];
        QVERIFY(url.isLocalFile());
        QVERIFY(url.toLocalFile().endsWith("share/zittermark/manual.html"));
        QVERIFY(QFileInfo(url.toLocalFile()).isFile());
        QVERIFY(recorder->messages.empty());
    }
};

ZM_GUI_TEST_MAIN(MainFormTest)
#include "mainform_test.moc"
