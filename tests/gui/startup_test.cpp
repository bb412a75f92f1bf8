// Start-up and shutdown: the settings file across starts, the single
// instance guard, exceptions escaping handlers, the Qt message boxes and the
// command line.

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>

#include "analysis/analysisrun.h"
#include "analysis/spectrumplot.h"
#include "base/safefile.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/qtpresenter.h"
#include "gui/samplingview.h"
#include "gui/singleinstance.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"

namespace {

// Starts the program in this process: `whileRunning` runs once the main
// window is up, then the main window is closed as the user closes it.
int Start(const QStringList& arguments, const std::function<void()>& whileRunning = {}) {
    QTimer::singleShot(0, [whileRunning] {
        if (whileRunning) {
            whileRunning();
        }
        if (MainForm) {
            MainForm->close();
        }
    });
    return RunZittermark(arguments);
}

const QStringList kNoArguments{"zittermark"};

// An object whose events throw, as a faulty handler would.
class TThrower : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("予期しないエラー");
        }
        if (event->type() == QEvent::User + 1) {
            throw 42;
        }
        return QObject::event(event);
    }
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempDir> home;
    std::unique_ptr<TGuiRecorder> recorder;

private slots:
    void init() {
        home = std::make_unique<TTempDir>();
        UseTestHome(home->Path());
        recorder = std::make_unique<TGuiRecorder>();
    }

    void cleanup() {
        SetInstanceBoxHook(nullptr);
        recorder.reset();
        home.reset();
    }

    void theApplicationIsNamedZittermarkToTheDesktop() {
        QGuiApplication::setApplicationDisplayName("other");
        QGuiApplication::setDesktopFileName("other");
        QCOMPARE(Start(kNoArguments,
                       [] {
                           QCOMPARE(QGuiApplication::applicationDisplayName(),
                                    QString("Zittermark"));
                           QCOMPARE(QGuiApplication::desktopFileName(), QString("zittermark"));
                           QCOMPARE(QCoreApplication::applicationName(), QString("Zittermark"));
                       }),
                 0);
    }

    void firstStartCreatesTheFolderAndTheFirstCloseTheFile() {
        const std::string documents = DocumentsDir();
        bool checked = false;
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QVERIFY(MainForm->isVisible());
                           QVERIFY(!SamplingViewForm->isVisible());
                           QVERIFY(!SpectrumViewForm->isVisible());
                           QVERIFY(
                               QFileInfo(QString::fromStdString(SettingsFile())).dir().exists());
                           QVERIFY(!QFileInfo::exists(QString::fromStdString(SettingsFile())));
                           QCOMPARE(MainForm->iniFileName, SettingsFile());
                           QCOMPARE(MainForm->waveDir, documents);
                           QCOMPARE(MainForm->imageDir, documents);
                           QCOMPARE(MainForm->csvDir, documents);
                           QCOMPARE(MainForm->sampleDir, documents);
                           QCOMPARE(SamplingViewForm->imageDir, documents);
                           QCOMPARE(SpectrumViewForm->imageDir, documents);
                           checked = true;
                       }),
                 0);
        QVERIFY(checked);
        QVERIFY(MainForm == nullptr);
        // The folders first, as they always were; the preferences after them.
        const std::string written = ReadFileBytes(SettingsFile());
        const std::string folders = "[Directories]\r\nWaveDir=" + documents +
                                    "\r\nImageDir=" + documents + "\r\nCsvDir=" + documents +
                                    "\r\nSampleDir=" + documents + "\r\n";
        QCOMPARE(written.substr(0, folders.size()), folders);
        QCOMPARE(written.substr(folders.size(), 15), std::string("[Preferences]\r\n"));
    }

    // What the user set in the windows survives a restart, the period and
    // level as the user set them even when the easy mode was on at closing.
    void preferencesSurviveARestart_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("detailed") << int(kDetailedMode);
        QTest::newRow("fixed") << int(kFixedMode);
        QTest::newRow("easy") << int(kEasyMode);
    }
    void preferencesSurviveARestart() {
        QFETCH(int, mode);
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QTest::mouseClick(MainForm->AnalyzeModeBox->Button(kDetailedMode),
                                             Qt::LeftButton);
                           MainForm->SampleTimeBox->setValue(40);
                           MainForm->BiasBox->setValue(-12);
                           MainForm->WindowFunctionBox->setCurrentIndex(kHanningWindow);
                           QTest::mouseClick(MainForm->SamplingModeBox->Button(kAmplitudeSampling),
                                             Qt::LeftButton);
                           QTest::mouseClick(MainForm->AnalyzeModeBox->Button(mode),
                                             Qt::LeftButton);
                           SpectrumViewForm->FupperBox->setValue(3);
                           SpectrumViewForm->PlowerBox->setValue(-7);
                           SpectrumViewForm->HorzSizeBox->setValue(500);
                           SpectrumViewForm->DrawMethodBox->SetItemIndex(kDrawPoints);
                           SpectrumViewForm->state.SetLowerBarPosition(-25);
                           MainForm->move(40, 30);
                       }),
                 0);
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QCOMPARE(MainForm->AnalyzeModeBox->ItemIndex(), mode);
                           QCOMPARE(MainForm->SamplingModeBox->ItemIndex(),
                                    int(kAmplitudeSampling));
                           const TMainForm::TUserValues user = MainForm->UserValues();
                           QCOMPARE(user.sampleTime, 40);
                           QCOMPARE(user.bias, -12);
                           QCOMPARE(user.windowFunction, int(kHanningWindow));
                           QCOMPARE(MainForm->SampleTimeBox->value(),
                                    mode == kEasyMode ? kEasySampleTimeMs : 40);
                           QCOMPARE(SpectrumViewForm->FupperBox->value(), 3);
                           QCOMPARE(SpectrumViewForm->PlowerBox->value(), -7);
                           QCOMPARE(SpectrumViewForm->HorzSizeBox->value(), 500);
                           QCOMPARE(SpectrumViewForm->DrawMethodBox->ItemIndex(), int(kDrawPoints));
                           QCOMPARE(SpectrumViewForm->FlowerBar->value(), -25);
                           QCOMPARE(MainForm->frameGeometry().topLeft(), QPoint(40, 30));
                       }),
                 0);
    }

    // Values from the file are brought into their controls' ranges; text
    // that is not a number leaves the default; a file from before (no
    // preferences) starts as it always did.
    void preferencesAreClamped_data() {
        QTest::addColumn<QString>("preferences");
        QTest::addColumn<int>("sampleTime");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("lowerBar");
        QTest::newRow("before") << "" << 25 << int(kEasyMode) << 350 << -40;
        QTest::newRow("beyond") << "AnalyzeMode=7\nSampleTime=99999999999999\nGraphWidth=-5\n"
                                   "BandLowerBar=-80\n"
                                << 1000 << int(kFixedMode) << 100 << -50;
        QTest::newRow("not-numbers") << "AnalyzeMode=one\nSampleTime=4O\nGraphWidth=\n"
                                        "BandLowerBar= -12 \n"
                                     << 25 << int(kEasyMode) << 350 << -12;
        QTest::newRow("far-away") << "AnalyzeMode=1\nMainLeft=-100000\nMainTop=900000\n"
                                  << 25 << int(kDetailedMode) << 350 << -40;
    }
    void preferencesAreClamped() {
        QFETCH(QString, preferences);
        QFETCH(int, sampleTime);
        QFETCH(int, mode);
        QFETCH(int, width);
        QFETCH(int, lowerBar);
        QDir().mkpath(QFileInfo(QString::fromStdString(SettingsFile())).path());
        WriteFileBytes(SettingsFile(),
                       "[Directories]\nCsvDir=/csv\n" +
                           (preferences.isEmpty() ? std::string()
                                                  : "[Preferences]\n" + preferences.toStdString()));
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QCOMPARE(MainForm->csvDir, std::string("/csv"));
                           QCOMPARE(MainForm->UserValues().sampleTime, sampleTime);
                           QCOMPARE(MainForm->AnalyzeModeBox->ItemIndex(), mode);
                           QCOMPARE(SpectrumViewForm->HorzSizeBox->value(), width);
                           QCOMPARE(SpectrumViewForm->FlowerBar->value(), lowerBar);
                           const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
                           QVERIFY(area.contains(MainForm->frameGeometry()));
                       }),
                 0);
    }

    // The folders survive a restart; the image folder stored is the
    // spectrum window's, not the sampling window's.
    void foldersSurviveARestart() {
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           recorder->answers = {std::string("/music/live takes/song.wav")};
                           QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
                           MainForm->csvDir = "/data/csv";
                           MainForm->sampleDir = "/data/smp";
                           SamplingViewForm->SetImageDir("/only/sampling");
                           SpectrumViewForm->SetImageDir("/images");
                       }),
                 0);
        recorder->Clear();
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QCOMPARE(MainForm->waveDir, std::string("/music/live takes"));
                           QCOMPARE(MainForm->imageDir, std::string("/images"));
                           QCOMPARE(MainForm->csvDir, std::string("/data/csv"));
                           QCOMPARE(MainForm->sampleDir, std::string("/data/smp"));
                           QCOMPARE(SamplingViewForm->imageDir, std::string("/images"));
                           QCOMPARE(SpectrumViewForm->imageDir, std::string("/images"));
                           QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
                       }),
                 0);
        QCOMPARE(recorder->dialogs.size(), std::size_t{1});
        QCOMPARE(recorder->dialogs[0].initialDir, std::string("/music/live takes"));
    }

    void settingsFileForms_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("folders"); // "D" stands for the documents folder
        QTest::addColumn<QString>("afterClose");  // a line that must survive, or ""
        QTest::newRow("only-csv") << "[Directories]\r\nCsvDir=/c\r\n"
                                  << QStringList{"D", "D", "/c", "D"} << "";
        QTest::newRow("empty-value") << "[Directories]\nWaveDir=\nImageDir=/i\n"
                                     << QStringList{"", "/i", "D", "D"} << "";
        QTest::newRow("no-section") << "[Other]\r\nWaveDir=/w\r\n"
                                    << QStringList{"D", "D", "D", "D"} << "[Other]";
        QTest::newRow("kept-lines") << "; mine\r\n[Directories]\r\nSampleDir=/s\r\nExtra=1\r\n"
                                    << QStringList{"D", "D", "D", "/s"} << "Extra=1";
        QTest::newRow("garbage") << QString("\x01\x02 not an ini file \xff")
                                 << QStringList{"D", "D", "D", "D"} << "";
    }

    void settingsFileForms() {
        QFETCH(QString, content);
        QFETCH(QStringList, folders);
        QFETCH(QString, afterClose);
        QDir().mkpath(QFileInfo(QString::fromStdString(SettingsFile())).path());
        WriteFileBytes(SettingsFile(), content.toStdString());
        for (QString& folder : folders) {
            if (folder == "D") {
                folder = QString::fromStdString(DocumentsDir());
            }
        }
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QCOMPARE(QString::fromStdString(MainForm->waveDir), folders[0]);
                           QCOMPARE(QString::fromStdString(MainForm->imageDir), folders[1]);
                           QCOMPARE(QString::fromStdString(MainForm->csvDir), folders[2]);
                           QCOMPARE(QString::fromStdString(MainForm->sampleDir), folders[3]);
                       }),
                 0);
        const std::string written = ReadFileBytes(SettingsFile());
        QVERIFY(written.find("WaveDir=" + folders[0].toStdString() + "\r\n") != std::string::npos);
        QVERIFY(written.find("SampleDir=" + folders[3].toStdString() + "\r\n") !=
                std::string::npos);
        if (!afterClose.isEmpty()) {
            QVERIFY(written.find(afterClose.toStdString()) != std::string::npos);
        }
    }

    // Neither a settings folder that cannot be made nor a failing write
    // keeps the window from closing; an existing file stays as it was.
    void settingsFailuresNeverBlockClosing() {
        const std::string brightfold = qgetenv("XDG_CONFIG_HOME").toStdString() + "/Brightfold";
        WriteFileBytes(brightfold, "a file where the folder should be");
        QCOMPARE(Start(kNoArguments), 0);
        QCOMPARE(ReadFileBytes(brightfold), std::string("a file where the folder should be"));

        QFile::remove(QString::fromStdString(brightfold));
        QDir().mkpath(QFileInfo(QString::fromStdString(SettingsFile())).path());
        WriteFileBytes(SettingsFile(), "[Directories]\r\nWaveDir=/old\r\n");
        SetWriteHook([](int, const void*, std::size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        });
        const int code = Start(kNoArguments, [] { MainForm->waveDir = "/new"; });
        SetWriteHook(nullptr);
        QCOMPARE(code, 0);
        QCOMPARE(ReadFileBytes(SettingsFile()), std::string("[Directories]\r\nWaveDir=/old\r\n"));
        QVERIFY(recorder->messages.empty());
    }

    // A second start while the first runs: the "確認" box, exit code 1, no
    // window and no settings folder.
    void secondInstanceShowsTheBoxAndExits() {
        TSingleInstance first;
        QVERIFY(first.TryAcquire());
        std::vector<std::pair<std::string, std::string>> boxes;
        SetInstanceBoxHook([&](const std::string& caption, const std::string& text) {
            boxes.emplace_back(caption, text);
        });
        const int windows = QApplication::topLevelWidgets().size();
        QCOMPARE(RunZittermark(kNoArguments), 1);
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].first, std::string("確認"));
        QCOMPARE(boxes[0].second, std::string("別のZittermarkがすでに開かれています。"));
        QVERIFY(MainForm == nullptr);
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
        QVERIFY(!QFileInfo::exists(QFileInfo(QString::fromStdString(SettingsFile())).path()));
        first.Release();
        QCOMPARE(Start(kNoArguments), 0);
    }

    // The program itself in a child process holds the guard; once it died
    // without releasing it, its stale lock is taken over.
    void lockOfAnotherProcessAndItsStaleLock() {
        QProcess child;
        child.setProgram(ZM_GUI_PATH);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.start();
        QVERIFY(child.waitForStarted());
        const QString lock = QString::fromStdString(InstanceLockPath());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), 30000);
        int boxes = 0;
        SetInstanceBoxHook([&](const std::string&, const std::string&) { ++boxes; });
        QCOMPARE(RunZittermark(kNoArguments), 1);
        QCOMPARE(boxes, 1);

        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY2(QFileInfo::exists(lock), "a killed instance leaves its lock behind");
        QCOMPARE(Start(kNoArguments, [] { QVERIFY(MainForm->isVisible()); }), 0);
        QCOMPARE(boxes, 1);
        QVERIFY2(!QFileInfo::exists(lock), "the lock is released at exit");
    }

    // A second instance started with a file hands it to the running one,
    // which shows it in its file box, and exits 0 without a box; one without
    // a file still shows the box and exits 1 (the in-process case above).
    void secondInstanceHandsItsFileOver_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("shown"); // "{home}" stands for the test home
        QTest::newRow("relative") << "takes/song.flac" << 0 << "{home}/takes/song.flac";
        QTest::newRow("absolute") << "/music/曲 1.wav" << 0 << "/music/曲 1.wav";
    }
    void secondInstanceHandsItsFileOver() {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        QFETCH(QString, shown);
        shown.replace("{home}", QString::fromStdString(home->Path()));
        int second = -1;
        QString box;
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           QProcess child;
                           child.setProgram(ZM_GUI_PATH);
                           child.setArguments({argument});
                           child.setWorkingDirectory(QString::fromStdString(home->Path()));
                           QProcessEnvironment environment =
                               QProcessEnvironment::systemEnvironment();
                           environment.insert("QT_QPA_PLATFORM", "offscreen");
                           child.setProcessEnvironment(environment);
                           child.start();
                           QVERIFY(child.waitForStarted());
                           // The event loop must run for the hand-over to be
                           // answered.
                           QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 30000);
                           second = child.exitCode();
                           box = MainForm->WaveFileBox->text();
                       }),
                 0);
        QCOMPARE(second, exitCode);
        QCOMPARE(box, shown);
    }

    // A hand-over is refused without an instance to take it, and a line
    // longer than any path is never passed on.
    void handOverNeedsAListenerAndAPath() {
        const std::string socket = InstanceSocketPath();
        QVERIFY(!HandFileToRunningInstance(socket, "/music/a.wav", 500));
        QStringList received;
        TInstanceServer server(socket, [&](const QString& file) { received << file; });
        QVERIFY(server.Listening());
        QVERIFY(!HandFileToRunningInstance(socket, QString(5000, 'a'), 500));
        QVERIFY(!HandFileToRunningInstance(socket, "/two\nlines", 500));
        QCOMPARE(received, QStringList{});
    }

    void fileArgumentPresetsTheFileBox() {
        QDir::setCurrent(QString::fromStdString(home->Path()));
        QString shown;
        QCOMPARE(
            Start({"zittermark", "takes/song.wav"}, [&] { shown = MainForm->WaveFileBox->text(); }),
            0);
        QCOMPARE(shown, QString::fromStdString(home->Path() + "/takes/song.wav"));
        QVERIFY2(recorder->messages.empty(), "nothing is sampled at start");
    }

    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::newRow("two-files") << QStringList{"zittermark", "a.wav", "b.wav"} << 2;
        QTest::newRow("unknown-option") << QStringList{"zittermark", "--bogus"} << 2;
        QTest::newRow("version") << QStringList{"zittermark", "--version"} << 0;
        QTest::newRow("help") << QStringList{"zittermark", "--help"} << 0;
    }

    void usage() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QCOMPARE(RunZittermark(arguments), code);
        QVERIFY(MainForm == nullptr);
    }

    void exceptionsAreShownAndTheProgramGoesOn() {
        TThrower thrower;
        QEvent first(QEvent::User);
        QApplication::sendEvent(&thrower, &first);
        QEvent second(static_cast<QEvent::Type>(QEvent::User + 1));
        QApplication::sendEvent(&thrower, &second);
        QCOMPARE(recorder->Texts(), (std::vector<std::string>{"予期しないエラー", ""}));
        QCOMPARE(recorder->messages[0].caption, std::string("エラー"));
        QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);

        // A handler that throws: its hourglass is undone, the window goes on.
        recorder->Clear();
        QCOMPARE(Start(kNoArguments,
                       [&] {
                           SetFileChooser(
                               [](const TFileDialogRequest&) -> std::optional<std::string> {
                                   throw std::runtime_error("no dialog today");
                               });
                           QTest::mouseClick(MainForm->WaveFileSelectButton, Qt::LeftButton);
                           QTest::mouseClick(MainForm->FFTStartButton, Qt::LeftButton);
                       }),
                 0);
        QCOMPARE(recorder->Texts(),
                 (std::vector<std::string>{"no dialog today", "WAVファイルを選択してください。"}));
    }

    void qtPresenterShowsModalBoxes_data() {
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("owned");
        QTest::addColumn<QString>("text");
        QTest::newRow("error-owned") << true << true << "WAVファイルが見つかりません。";
        QTest::newRow("info-owned")
            << false << true
            << "サンプリングデータがありません。\n先にサンプリングを行ってから"
               "実行してください。";
        QTest::newRow("error-ownerless") << true << false << "ファイルの形式が正しくありません。";
        QTest::newRow("error-empty") << true << false << "";
    }

    void qtPresenterShowsModalBoxes() {
        QFETCH(bool, error);
        QFETCH(bool, owned);
        QFETCH(QString, text);
        TForms forms;
        InstallQtPresenter();
        struct {
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QString title, text;
            QMessageBox::StandardButtons buttons;
            QWidget* parent = nullptr;
            Qt::WindowModality modality = Qt::NonModal;
            bool onTop = false;
        } seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            seen = {box->icon(),
                    box->windowTitle(),
                    box->text(),
                    box->standardButtons(),
                    box->parentWidget(),
                    box->windowModality(),
                    box->windowFlags().testFlag(Qt::WindowStaysOnTopHint)};
            box->button(QMessageBox::Ok)->click();
        });
        QTimer::singleShot(5000, [] {
            if (QWidget* stuck = QApplication::activeModalWidget()) {
                stuck->close();
            }
        });
        QWidget* owner = owned ? static_cast<QWidget*>(MainForm) : nullptr;
        if (error) {
            ShowErrorBox(text.toStdString(), OwnerOf(owner));
        } else {
            ShowInfoBox(text.toStdString(), OwnerOf(owner));
        }
        QCOMPARE(seen.icon, error ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(seen.title, QString(error ? "エラー" : "情報"));
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.parent, owner);
        QCOMPARE(seen.modality, owned ? Qt::WindowModal : Qt::ApplicationModal);
        QCOMPARE(seen.onTop, !owned);
    }
};

ZM_GUI_TEST_MAIN(StartupTest)
#include "startup_test.moc"
