// The windows in Japanese and English: captions, boxes, Qt's own texts, the
// fit of the English texts, the choice of the language and the manual.

#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "gui/settingsfile.h"
#include "gui/spectrumview.h"
#include "tests/gui/guitest.h"

class LanguageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TGuiRecorder> recorder;

    // The forms of one start in `language`.
    std::unique_ptr<TForms> StartIn(TLanguage language) {
        ApplyLanguage(language);
        return std::make_unique<TForms>();
    }

private slots:
    void init() { recorder = std::make_unique<TGuiRecorder>(); }
    void cleanup() {
        recorder.reset();
        ApplyLanguage(TLanguage::Japanese);
    }

    void windowsBoxesAndQtTextsSpeakTheChosenLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("sampleCaption");
        QTest::addColumn<QString>("spectrumTitle");
        QTest::addColumn<QString>("noData");
        QTest::addColumn<QString>("boxCaption");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<int>("locale");
        QTest::newRow("ja") << int(TLanguage::Japanese) << "サンプリング開始..."
                            << "スペクトルウィンドウ"
                            << "サンプリングデータがありません。"
                            << "情報"
                            << "キャンセル" << int(QLocale::Japanese);
        QTest::newRow("en") << int(TLanguage::English) << "Start sampling..."
                            << "Spectrum window"
                            << "There is no sampling data."
                            << "Information"
                            << "Cancel" << int(QLocale::English);
    }
    void windowsBoxesAndQtTextsSpeakTheChosenLanguage() {
        QFETCH(int, language);
        QFETCH(QString, sampleCaption);
        QFETCH(QString, spectrumTitle);
        QFETCH(QString, noData);
        QFETCH(QString, boxCaption);
        QFETCH(QString, cancel);
        auto forms = StartIn(static_cast<TLanguage>(language));
        QCOMPARE(MainForm->SamplingStartButton->text(), sampleCaption);
        QCOMPARE(SpectrumViewForm->windowTitle(), spectrumTitle);
        QTest::mouseClick(MainForm->SampleSaveButton, Qt::LeftButton);
        QCOMPARE(recorder->messages.size(), std::size_t{1});
        QCOMPARE(Text(recorder->messages[0].text), noData);
        QCOMPARE(Text(recorder->messages[0].caption), boxCaption);
        // Qt's own buttons, and the locale its dialogs format dates with.
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), cancel);
        QFETCH(int, locale);
        QCOMPARE(int(QLocale().language()), locale);
    }

    // Every English text fits its control at the windows' specified sizes.
    void englishTextsFitTheirControls() {
        auto forms = StartIn(TLanguage::English);
        SpectrumViewForm->show();
        SamplingViewForm->show();
        QCOMPARE(Misfits(MainForm), QStringList{});
        QCOMPARE(Misfits(SamplingViewForm), QStringList{});
        QCOMPARE(Misfits(SpectrumViewForm), QStringList{});
    }

    void theLanguageComesFromTheOptionThenTheSettingsThenTheLocale() {
        struct TCase {
            const char* settings; // the [Preferences] Language= value, or nullptr
            std::optional<TLanguage> option;
            const char* locale;
            TLanguage expected;
        };
        const TLanguage ja = TLanguage::Japanese;
        const TLanguage en = TLanguage::English;
        const TCase cases[] = {
            {nullptr, std::nullopt, "de_DE.UTF-8", ja},
            {nullptr, std::nullopt, "en_US.UTF-8", en},
            {"en", std::nullopt, "de_DE.UTF-8", en},
            {"ja", std::nullopt, "en_US.UTF-8", ja},
            {"xx", std::nullopt, "en_US.UTF-8", en}, // an unknown value: the locale's
            {"", std::nullopt, "C", ja},
            {"en", ja, "en_US.UTF-8", ja},
            {"ja", en, "C", en},
        };
        const QByteArray before = qgetenv("LC_ALL");
        for (const TCase& c : cases) {
            TIniFile file;
            if (c.settings != nullptr) {
                file.Write(kPreferencesSection, kLanguageKey, c.settings);
            }
            QVERIFY(SaveIniFile(SettingsFile(), file));
            qputenv("LC_ALL", c.locale);
            QCOMPARE(int(ChooseLanguage(c.option)), int(c.expected));
        }
        qputenv("LC_ALL", before);
        QVERIFY(QFile::remove(QString::fromStdString(SettingsFile())));
    }

    // The program itself: its usage text in the language of the locale or of
    // --language, and a wrong --language refused.
    void theProgramsUsageFollowsTheLocaleAndTheOption_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("start"); // of the standard output, or of the error output
        QTest::newRow("en_US") << "en_US.UTF-8" << QStringList{"--help"} << 0 << "Usage:";
        QTest::newRow("de_DE") << "de_DE.UTF-8" << QStringList{"--help"} << 0 << "使い方:";
        QTest::newRow("C") << "C" << QStringList{"--help"} << 0 << "使い方:";
        QTest::newRow("option en")
            << "ja_JP.UTF-8" << QStringList{"--language", "en", "--help"} << 0 << "Usage:";
        QTest::newRow("option ja")
            << "en_US.UTF-8" << QStringList{"--language", "ja", "--help"} << 0 << "使い方:";
        QTest::newRow("option fr") << "en_US.UTF-8" << QStringList{"--language", "fr"} << 2
                                   << "zittermark: --language: give ja or en";
    }
    void theProgramsUsageFollowsTheLocaleAndTheOption() {
        QFETCH(QString, locale);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, start);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LC_ALL", locale);
        environment.remove("LANGUAGE");
        child.setProcessEnvironment(environment);
        child.start(ZM_GUI_PATH, arguments);
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), exitCode);
        const QString shown = QString::fromUtf8(exitCode == 0 ? child.readAllStandardOutput()
                                                              : child.readAllStandardError());
        QVERIFY2(shown.startsWith(start), qPrintable(shown));
    }

    void theHelpButtonOpensTheManualOfTheLanguageOrSaysWhereItIs() {
        auto forms = StartIn(TLanguage::English);
        QTest::mouseClick(MainForm->JumpManualButton, Qt::LeftButton);
        QCOMPARE(recorder->urls.size(), std::size_t{1});
        QVERIFY(recorder->urls[0].toLocalFile().endsWith("share/zittermark/manual.en.html"));
        QVERIFY(recorder->messages.empty());
        // No browser to start: the box names the manual's file.
        SetUrlOpener([](const QUrl&) { return false; });
        QTest::mouseClick(MainForm->JumpManualButton, Qt::LeftButton);
        QCOMPARE(recorder->messages.size(), std::size_t{1});
        QVERIFY(recorder->messages[0].text.find("manual.en.html") != std::string::npos);
        QVERIFY(recorder->messages[0].text.rfind("The browser could not be started", 0) == 0);
    }
};

ZM_GUI_TEST_MAIN(LanguageTest)
#include "language_test.moc"
