#pragma once
// TMainForm: the window the user works in. It collects the WAV file and the
// analysis parameters, starts the sampling and spectrum runs, exports the
// series and the spectrum, loads sample files, accepts one dropped file,
// switches its controls by analysis mode, opens the manual and shows the
// version. It owns the sample series and the current spectrum; the result
// windows only borrow them.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/translate.h"
#include "engine/fftunit.h"
#include "engine/waveanalyze.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QUrl;
class TIniFile;
class TRadioGroup;

// Opens a URL for the user; returns false when nothing could open it.
// Tests replace it to see what the help button asked for.
using TUrlOpener = std::function<bool(const QUrl& url)>;

// Installs the opener and returns the previous one; an empty opener restores
// QDesktopServices::openUrl.
TUrlOpener SetUrlOpener(TUrlOpener opener);

// The manual shipped with the program in `language` (manual.en.html for
// English, manual.html, the Japanese one, for Japanese or when the English one
// is missing) in share/zittermark next to the build or install tree of the
// running program; empty when not found.
std::string ManualPath(TLanguage language);

class TMainForm : public QWidget {
    Q_OBJECT
public:
    TMainForm();
    ~TMainForm() override;

    // Event handlers, named after their control and event.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void WaveFileSelectButtonClick();
    void SamplingStartButtonClick();
    void FFTStartButtonClick();
    void SampleSaveButtonClick();
    void SampleLoadButtonClick();
    void SpectrumSaveButtonClick();
    void ShowSpectrumViewButtonClick();
    void AnalyzeModeBoxClick();
    void SamplingModeBoxClick();
    void JumpManualButtonClick();

    // Control states of an analysis mode: 0 easy, 2 fixed, otherwise detailed.
    void SetModeControls(int mode);
    // What the user set in the period and level boxes and the window
    // function list; in the easy mode the boxes show the mode's values and
    // these are kept aside.
    struct TUserValues {
        int sampleTime = 25;
        int bias = 0;
        int windowFunction = 2;
    };
    TUserValues UserValues();

    // WaveFileBox := name; waveDir := folder of name.
    void SetWaveFile(const std::string& name);
    // Loads a sample file and shows it as a sampling run does; the loader
    // reports its own failures.
    void LoadSampleFile(const std::string& name);
    // A drop of files onto the window: one audio file (".wav", ".flac",
    // ".mp3", ... in any case; IsAudioFileName) sets the file box, one ".smp" file loads in the
    // detailed mode, two or more are refused with a message; anything else is ignored.
    void DropFiles(const std::vector<std::string>& names);

    // Members of the window, in the order of the design.
    TWaveAnalyze series;
    std::unique_ptr<TComplexFFT> fft;
    std::string iniFileName;
    std::string waveDir;
    std::string imageDir;
    std::string csvDir;
    std::string sampleDir;
    double fftPeriod = 0.0;
    double dataFraction = 0.0;
    // The file the series came from: the recording sampled or the sample
    // file loaded; the result windows name it in their titles.
    std::string seriesSource;

    QGroupBox* GroupBox3;
    QLineEdit* WaveFileBox;
    QPushButton* WaveFileSelectButton;
    TRadioGroup* AnalyzeModeBox;
    QGroupBox* GroupBox1;
    TRadioGroup* SamplingModeBox;
    QLabel* Label1;
    QSpinBox* SampleTimeBox;
    QLabel* Label2;
    QLabel* Label3;
    QSpinBox* BiasBox;
    QLabel* Label4;
    QPushButton* SamplingStartButton;
    QPushButton* SampleSaveButton;
    QPushButton* SampleLoadButton;
    QGroupBox* GroupBox2;
    QPushButton* FFTStartButton;
    QLabel* Label6;
    QComboBox* WindowFunctionBox;
    QPushButton* SpectrumSaveButton;
    QPushButton* ShowSpectrumViewButton;
    QLabel* VersionLabel;
    QLabel* Label5;
    QPushButton* JumpManualButton;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The display steps after a sampling run or a load: band labels, the
    // sampling window's borrowed fields, statistics, graph, modal showing.
    void ShowSeries(const std::string& source);
    // What the user set and where the windows stood, from the preferences
    // section, each value brought into its control's range; a missing or
    // unreadable key leaves the control as it is.
    void ApplyPreferences(const TIniFile& file);
    void StorePreferences(TIniFile& file);
    // Centres the window, frame included, on the primary screen.
    void CenterOnScreen();

    bool shown = false;
    bool showingEasyValues = false;
    TUserValues userValues;
};

// What the greyed boxes show in the easy mode: its period and its level of
// 2^-12 of full scale in steps of 1/32768.
constexpr int kEasySampleTimeMs = 25;
constexpr int kEasyBias = 8;

extern TMainForm* MainForm;

// The one-line text at the bottom of the main window.
extern const char* const kDropInvitation;
