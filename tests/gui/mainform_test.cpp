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
#include <memory>

#include "app/controls.h"
#include "app/mainform.h"
#include "tests/gui/guitest.h"
#include "views/samplingview.h"
#include "views/spectrumview.h"

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

    void controlGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        const struct {
            const char* name;
            const char* parent;
            QRect geometry;
        } rows[] = {
            {"GroupBox3", "MainForm", {8, 8, 489, 49}},
            {"WaveFileBox", "GroupBox3", {10, 17, 405, 21}},
            {"WaveFileSelectButton", "GroupBox3", {421, 15, 58, 25}},
            {"AnalyzeModeBox", "MainForm", {8, 64, 489, 41}},
            {"GroupBox1", "MainForm", {8, 109, 489, 116}},
            {"SamplingModeBox", "GroupBox1", {16, 19, 113, 78}},
            {"SampleTimeBox", "GroupBox1", {226, 24, 57, 22}},
            {"BiasBox", "GroupBox1", {226, 52, 57, 22}},
            {"SamplingStartButton", "GroupBox1", {342, 18, 137, 25}},
            {"SampleSaveButton", "GroupBox1", {342, 49, 137, 25}},
            {"SampleLoadButton", "GroupBox1", {342, 80, 137, 25}},
            {"GroupBox2", "MainForm", {8, 231, 489, 106}},
            {"FFTStartButton", "GroupBox2", {16, 24, 129, 25}},
            {"WindowFunctionBox", "GroupBox2", {342, 26, 137, 21}},
            {"SpectrumSaveButton", "GroupBox2", {16, 64, 129, 25}},
            {"ShowSpectrumViewButton", "GroupBox2", {342, 64, 137, 25}},
            {"JumpManualButton", "MainForm", {421, 343, 75, 25}},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name) << row.name << row.parent << row.geometry;
        }
    }

    void controlGeometry() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QWidget* widget = Control(name.toUtf8().constData());
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
    }

    void labelsFitAndKeepTheirPlace_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("left");  // -1: right-aligned to `right`
        QTest::addColumn<int>("right"); // -1: left-aligned at `left`
        QTest::addColumn<int>("top");
        QTest::newRow("Label1") << "Label1"
                                << "サンプリング周期" << -1 << 220 << 29;
        QTest::newRow("Label2") << "Label2"
                                << "msec" << 289 << -1 << 29;
        QTest::newRow("Label3") << "Label3"
                                << "バイアス値" << -1 << 220 << 57;
        QTest::newRow("Label4") << "Label4"
                                << "/32768" << 289 << -1 << 57;
        QTest::newRow("Label6") << "Label6"
                                << "窓関数" << -1 << 336 << 30;
        QTest::newRow("VersionLabel") << "VersionLabel"
                                      << "Version 1.16" << 8 << -1 << 349;
        QTest::newRow("Label5") << "Label5"
                                << "WAVファイルをここにドロップできます" << 163 << -1 << 349;
    }

    void labelsFitAndKeepTheirPlace() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, top);
        auto* label = qobject_cast<QLabel*>(Control(name.toUtf8().constData()));
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QVERIFY(label->width() >= label->sizeHint().width());
        QCOMPARE(label->y(), top);
        if (left >= 0) {
            QCOMPARE(label->x(), left);
        } else {
            QCOMPARE(label->x() + label->width(), right);
        }
        // Nothing a label shows may run under the next control to its right.
        for (QWidget* other :
             label->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != label && other->isVisibleTo(MainForm)) {
                QVERIFY2(!other->geometry().intersects(label->geometry()),
                         qPrintable(name + " overlaps " + other->objectName()));
            }
        }
    }

    void captionsHintsAndItems_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("WaveFileSelectButton") << "WaveFileSelectButton"
                                              << "参照..."
                                              << "解析するWAVファイルを選択します。";
        QTest::newRow("SamplingStartButton") << "SamplingStartButton"
                                             << "サンプリング開始..."
                                             << "設定された条件でサンプリングを行います。";
        QTest::newRow("SampleSaveButton")
            << "SampleSaveButton"
            << "サンプリングデータ保存..."
            << "直前にサンプリングしたデータをテキスト形式で保存します。";
        QTest::newRow("SampleLoadButton")
            << "SampleLoadButton"
            << "サンプリングデータ読込..."
            << "テキストファイルからサンプリングデータを読み込みます。";
        QTest::newRow("FFTStartButton")
            << "FFTStartButton"
            << "解析実行"
            << "かんたんモードの場合はサンプリングとスペクトル解析を行います。詳細モードの場合は直"
               "前にサンプリングされたデータに対してスペクトル解析を行います。";
        QTest::newRow("SpectrumSaveButton") << "SpectrumSaveButton"
                                            << "スペクトルデータ保存..."
                                            << "直前にFFT解析したスペクトルをCSV形式で保存します。";
        QTest::newRow("ShowSpectrumViewButton")
            << "ShowSpectrumViewButton"
            << "スペクトルウィンドウを表示"
            << "スペクトルウィンドウが閉じているときに再表示します。";
        QTest::newRow("JumpManualButton") << "JumpManualButton"
                                          << "ヘルプ(&H)"
                                          << "";
        QTest::newRow("GroupBox3") << "GroupBox3"
                                   << "解析ファイル"
                                   << "";
        QTest::newRow("GroupBox1") << "GroupBox1"
                                   << "サンプリング"
                                   << "";
        QTest::newRow("GroupBox2") << "GroupBox2"
                                   << "スペクトル解析"
                                   << "";
        QTest::newRow("AnalyzeModeBox")
            << "AnalyzeModeBox"
            << "解析モード"
            << "[かんたんモード]では１ステップで解析ができ、[詳細モード]では条件を細かく指定して解"
               "析することができます。[固定モード]では設定された条件にしたがって１ステップで解析で"
               "きます。";
        QTest::newRow("SamplingModeBox")
            << "SamplingModeBox"
            << "サンプリングモード"
            << "楽曲の音程に着目して解析したいときは[周波数]を、音量に着目して解析したいときは["
               "振幅]を選択します。";
        QTest::newRow("SampleTimeBox")
            << "SampleTimeBox"
            << ""
            << "ウェーブデータを区切る時間の長さをミリ秒単位で指定します。";
        QTest::newRow("BiasBox")
            << "BiasBox"
            << ""
            << "無音部分にノイズが含まれている場合、ノイズの影響を除去するために指定します。";
        QTest::newRow("WindowFunctionBox") << "WindowFunctionBox"
                                           << ""
                                           << "FFTを実行する際に適用する窓関数を選択します。";
    }

    void captionsHintsAndItems() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QWidget* widget = Control(name.toUtf8().constData());
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), caption);
            // The caption fits the button with room for its frame.
            const int needed = button->fontMetrics().horizontalAdvance(button->text().remove('&')) +
                               button->iconSize().width() * !button->icon().isNull();
            QVERIFY2(needed + 4 <= button->width(), qPrintable(name));
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(box->title(), caption);
        }
        QCOMPARE(widget->toolTip(), hint);
        if (!hint.isEmpty()) {
            QCOMPARE(widget->toolTipDuration(), kHintDisplayMs);
        }
    }

    void itemsAndDefaults() {
        QCOMPARE(MainForm->AnalyzeModeBox->Count(), 3);
        QCOMPARE(MainForm->AnalyzeModeBox->Button(0)->text(), QString("かんたんモード"));
        QCOMPARE(MainForm->AnalyzeModeBox->Button(1)->text(), QString("詳細モード"));
        QCOMPARE(MainForm->AnalyzeModeBox->Button(2)->text(), QString("固定モード"));
        QCOMPARE(MainForm->AnalyzeModeBox->ItemIndex(), 0);
        // Three columns side by side in one row.
        QCOMPARE(MainForm->AnalyzeModeBox->Button(0)->y(),
                 MainForm->AnalyzeModeBox->Button(2)->y());
        QCOMPARE(MainForm->SamplingModeBox->Button(0)->text(), QString("周波数（音程）"));
        QCOMPARE(MainForm->SamplingModeBox->Button(1)->text(), QString("振幅（音量）"));
        QCOMPARE(MainForm->SamplingModeBox->ItemIndex(), 0);
        QCOMPARE(MainForm->SampleTimeBox->minimum(), 5);
        QCOMPARE(MainForm->SampleTimeBox->maximum(), 1000);
        QCOMPARE(MainForm->SampleTimeBox->value(), 25);
        QCOMPARE(MainForm->BiasBox->minimum(), -32768);
        QCOMPARE(MainForm->BiasBox->maximum(), 32767);
        QCOMPARE(MainForm->BiasBox->value(), 0);
        QCOMPARE(MainForm->WindowFunctionBox->count(), 3);
        QCOMPARE(MainForm->WindowFunctionBox->itemText(0), QString("矩形窓"));
        QCOMPARE(MainForm->WindowFunctionBox->itemText(1), QString("ハニング窓"));
        QCOMPARE(MainForm->WindowFunctionBox->itemText(2), QString("ハミング窓"));
        QCOMPARE(MainForm->WindowFunctionBox->currentIndex(), 2);
        QVERIFY(MainForm->FFTStartButton->isDefault());
        QVERIFY(!MainForm->JumpManualButton->icon().isNull());
        QCOMPARE(MainForm->WaveFileBox->text(), QString());
        QVERIFY(MainForm->fft == nullptr);
        QCOMPARE(MainForm->series.count, 0);
        QCOMPARE(HintDelayMs(), kHintDelayMs);
    }

    void tabOrder() {
        QCOMPARE(TabStops(MainForm, "WaveFileBox"),
                 (QStringList{"WaveFileBox", "WaveFileSelectButton", "AnalyzeModeBoxItem0",
                              "AnalyzeModeBoxItem1", "AnalyzeModeBoxItem2", "SamplingModeBoxItem0",
                              "SamplingModeBoxItem1", "SampleTimeBox", "BiasBox",
                              "SamplingStartButton", "SampleSaveButton", "SampleLoadButton",
                              "FFTStartButton", "WindowFunctionBox", "SpectrumSaveButton",
                              "ShowSpectrumViewButton", "JumpManualButton"}));
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
            << "/no/such/file.wav" << error << "WAVファイルが見つかりません。";
        QTest::newRow("sampling-folder") << 1 << "SamplingStartButton"
                                         << "{dir}" << error << "WAVファイルが見つかりません。";
        QTest::newRow("easy-empty") << 0 << "FFTStartButton"
                                    << "" << info << "WAVファイルを選択してください。";
        QTest::newRow("easy-missing")
            << 0 << "FFTStartButton"
            << "/no/such/file.wav" << error << "WAVファイルが見つかりません。";
        QTest::newRow("fixed-empty") << 2 << "FFTStartButton"
                                     << "" << info << "WAVファイルを選択してください。";
        QTest::newRow("fixed-folder") << 2 << "FFTStartButton"
                                      << "{dir}" << error << "WAVファイルが見つかりません。";
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
        QTest::newRow("wave") << "WaveFileSelectButton" << open << "WAVファイル (*.wav)"
                              << "wav";
        QTest::newRow("sample-save") << "SampleSaveButton" << save << "サンプルファイル (*.smp)"
                                     << "smp";
        QTest::newRow("sample-load") << "SampleLoadButton" << open << "サンプルファイル (*.smp)"
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
        QTest::newRow("other-extension") << 1 << QStringList{"/m/a.mp3"} << "" << false;
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
