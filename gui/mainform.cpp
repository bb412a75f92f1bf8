#include "gui/mainform.h"

#include "engine/soundfile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QUrl>
#include <cstdio>
#include <vector>

#include "analysis/analysisrun.h"
#include "base/safefile.h"
#include "base/translate.h"
#include "engine/soundfile.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/qtpresenter.h"
#include "gui/samplingview.h"
#include "gui/settings.h"
#include "gui/spectrumview.h"

TMainForm* MainForm = nullptr;

const char* const kDropInvitation = TrMark("WAVファイルをここにドロップできます");

namespace {

TUrlOpener& Opener() {
    static TUrlOpener opener;
    return opener;
}

// The extension of a file name, dot included and in lower case: from the
// last "." after the last "/", empty if there is none.
std::string LowerExtension(const std::string& name) {
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ext = name.substr(dot);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return ext;
}

} // namespace

namespace {

// The samplers that count crossings of the level in the bias box.
bool UsesLevel(int samplingMode) {
    return samplingMode == kFrequencySampling || samplingMode == kFineFrequencySampling;
}

} // namespace

TUrlOpener SetUrlOpener(TUrlOpener opener) {
    TUrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

std::string ManualPath(TLanguage language) {
    const QString base = QCoreApplication::applicationDirPath();
    // The manual of the language, else the Japanese one.
    const QString names[] = {language == TLanguage::English ? "manual.en.html" : "manual.html",
                             "manual.html"};
    for (const QString& name : names) {
        for (const char* folder : {"/../share/zittermark/", "/share/zittermark/"}) {
            QFileInfo candidate(base + folder + name);
            if (candidate.isFile()) {
                return Utf8(candidate.canonicalFilePath());
            }
        }
    }
    return "";
}

TMainForm::TMainForm() {
    setObjectName("MainForm");
    setWindowTitle("Zittermark");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(UiFont());
    // The sampling group holds two more samplers than the two it was laid
    // out for; it grows by their cells, and the window and what lies below
    // the group move down by as much.
    const int more = TRadioGroup::HeightFor(78, 2, 2) - 78;
    setFixedSize(504, 374 + more);

    GroupBox3 = MakeGroupBox(this, "GroupBox3", Tr("解析ファイル"), 8, 8, 489, 49);
    WaveFileBox = new QLineEdit(GroupBox3);
    WaveFileBox->setObjectName("WaveFileBox");
    Place(WaveFileBox, 10, 17, 405, 21);
    WaveFileSelectButton = MakeButton(GroupBox3, "WaveFileSelectButton", Tr("参照..."), 421, 15, 58,
                                      25, Tr("解析するWAVファイルを選択します。"));

    AnalyzeModeBox = new TRadioGroup(
        this, "AnalyzeModeBox", Tr("解析モード"),
        {Tr("かんたんモード"), Tr("詳細モード"), Tr("固定モード")}, 3, 8, 64, 489, 41,
        Tr("[かんたんモード]では１ステップで解析ができ、[詳細モード]"
           "では条件を細かく指定して解析する"
           "ことができます。[固定モード]では設定された条件にしたがって１ステップで解析できます。"));
    AnalyzeModeBox->SetItemIndex(kEasyMode);

    GroupBox1 = MakeGroupBox(this, "GroupBox1", Tr("サンプリング"), 8, 109, 489, 116 + more);
    SamplingModeBox = new TRadioGroup(
        GroupBox1, "SamplingModeBox", Tr("サンプリングモード"),
        {Tr("周波数（音程）"), Tr("振幅（音量）"), Tr("補間周波数"), Tr("ピッチ")}, 1, 16, 19, 113,
        78 + more,
        Tr("楽曲の音程に着目して解析したいときは[周波数]を、音量に着目"
           "して解析したいときは[振幅]を選択します。"
           "[補間周波数]は交差の時刻をサンプルの間に補間して、[ピッチ]は基本周波数を求めて、"
           "音程をより正確に測ります。"));
    SamplingModeBox->SetItemIndex(kFrequencySampling);
    Label1 =
        MakeLabel(GroupBox1, "Label1", Tr("サンプリング周期"), 143, 29, TLabelAnchor::Right, 77);
    SampleTimeBox = MakeSpinEdit(GroupBox1, "SampleTimeBox", 226, 24, 57, 22, kSampleTimeMinimum,
                                 kSampleTimeMaximum, 25);
    SampleTimeBox->setToolTip(
        Text(Tr("ウェーブデータを区切る時間の長さをミリ秒単位で指定します。")));
    SampleTimeBox->setToolTipDuration(kHintDisplayMs);
    Label2 = MakeLabel(GroupBox1, "Label2", "msec", 289, 29);
    Label3 = MakeLabel(GroupBox1, "Label3", Tr("バイアス値"), 171, 57, TLabelAnchor::Right, 49);
    BiasBox = MakeSpinEdit(GroupBox1, "BiasBox", 226, 52, 57, 22, kBiasMinimum, kBiasMaximum, 0);
    BiasBox->setToolTip(
        Text(Tr("無音部分にノイズが含まれている場合、ノイズの影響を除去するために指定します。")));
    BiasBox->setToolTipDuration(kHintDisplayMs);
    Label4 = MakeLabel(GroupBox1, "Label4", "/32768", 289, 57);
    SamplingStartButton =
        MakeButton(GroupBox1, "SamplingStartButton", Tr("サンプリング開始..."), 342, 18, 137, 25,
                   Tr("設定された条件でサンプリングを行います。"));
    SampleSaveButton =
        MakeButton(GroupBox1, "SampleSaveButton", Tr("サンプリングデータ保存..."), 342, 49, 137, 25,
                   Tr("直前にサンプリングしたデータをテキスト形式で保存します。"));
    SampleLoadButton =
        MakeButton(GroupBox1, "SampleLoadButton", Tr("サンプリングデータ読込..."), 342, 80, 137, 25,
                   Tr("テキストファイルからサンプリングデータを読み込みます。"));

    GroupBox2 = MakeGroupBox(this, "GroupBox2", Tr("スペクトル解析"), 8, 231 + more, 489, 106);
    FFTStartButton = MakeButton(
        GroupBox2, "FFTStartButton", Tr("解析実行"), 16, 24, 129, 25,
        Tr("かんたんモードの場合はサンプリングとスペクトル解析を行います。詳細モードの場合は直前に"
           "サンプリングされたデータに対してスペクトル解析を行います。"));
    FFTStartButton->setDefault(true);
    Label6 = MakeLabel(GroupBox2, "Label6", Tr("窓関数"), 300, 30, TLabelAnchor::Right, 36);
    WindowFunctionBox = MakeDropDownList(
        GroupBox2, "WindowFunctionBox", {Tr("矩形窓"), Tr("ハニング窓"), Tr("ハミング窓")}, 342, 26,
        137, 21, Tr("FFTを実行する際に適用する窓関数を選択します。"));
    WindowFunctionBox->setCurrentIndex(kHammingWindow);
    SpectrumSaveButton =
        MakeButton(GroupBox2, "SpectrumSaveButton", Tr("スペクトルデータ保存..."), 16, 64, 129, 25,
                   Tr("直前にFFT解析したスペクトルをCSV形式で保存します。"));
    ShowSpectrumViewButton =
        MakeButton(GroupBox2, "ShowSpectrumViewButton", Tr("スペクトルウィンドウを表示"), 342, 64,
                   137, 25, Tr("スペクトルウィンドウが閉じているときに再表示します。"));

    VersionLabel = MakeLabel(this, "VersionLabel", "Version", 8, 349 + more);
    Label5 = MakeLabel(this, "Label5", Tr(kDropInvitation), 163, 349 + more);
    JumpManualButton =
        MakeButton(this, "JumpManualButton", Tr("ヘルプ(&H)"), 421, 343 + more, 75, 25);
    JumpManualButton->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));

    QWidget* order[] = {WaveFileBox,
                        WaveFileSelectButton,
                        AnalyzeModeBox->Button(0),
                        AnalyzeModeBox->Button(1),
                        AnalyzeModeBox->Button(2),
                        SamplingModeBox->Button(0),
                        SamplingModeBox->Button(1),
                        SamplingModeBox->Button(2),
                        SamplingModeBox->Button(3),
                        SampleTimeBox,
                        BiasBox,
                        SamplingStartButton,
                        SampleSaveButton,
                        SampleLoadButton,
                        FFTStartButton,
                        WindowFunctionBox,
                        SpectrumSaveButton,
                        ShowSpectrumViewButton,
                        JumpManualButton};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    connect(WaveFileSelectButton, &QPushButton::clicked, this,
            Handler([this] { WaveFileSelectButtonClick(); }));
    connect(SamplingStartButton, &QPushButton::clicked, this,
            Handler([this] { SamplingStartButtonClick(); }));
    connect(FFTStartButton, &QPushButton::clicked, this,
            Handler([this] { FFTStartButtonClick(); }));
    connect(SampleSaveButton, &QPushButton::clicked, this,
            Handler([this] { SampleSaveButtonClick(); }));
    connect(SampleLoadButton, &QPushButton::clicked, this,
            Handler([this] { SampleLoadButtonClick(); }));
    connect(SpectrumSaveButton, &QPushButton::clicked, this,
            Handler([this] { SpectrumSaveButtonClick(); }));
    connect(ShowSpectrumViewButton, &QPushButton::clicked, this,
            Handler([this] { ShowSpectrumViewButtonClick(); }));
    connect(JumpManualButton, &QPushButton::clicked, this,
            Handler([this] { JumpManualButtonClick(); }));
    connect(AnalyzeModeBox, &TRadioGroup::Click, this, Handler([this] { AnalyzeModeBoxClick(); }));
    connect(SamplingModeBox, &TRadioGroup::Click, this,
            Handler([this] { SamplingModeBoxClick(); }));

    // A file dropped anywhere on the window comes to the window itself, as
    // the text box would otherwise take it as text.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { WaveFileSelectButtonClick(); });
    AddShortcut(this, QKeySequence(Qt::Key_F1), [this] { JumpManualButtonClick(); });
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::FormCreate() {
    setAcceptDrops(true);
    VersionLabel->setText(QString("Version ") + ZM_VERSION);
    VersionLabel->adjustSize();
    SetModeControls(AnalyzeModeBox->ItemIndex());
    fft.reset();
    CenterOnScreen();
}

void TMainForm::CenterOnScreen() {
    // The frame counts once it is known, that is from the first showing on.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
    }
}

void TMainForm::FormShow() {
    TSettingsLocation location = SettingsLocation();
    iniFileName = location.iniFileName;
    TIniFile file;
    TDirectories directories = ReadSettings(location, &file);
    waveDir = directories.waveDir;
    imageDir = directories.imageDir;
    csvDir = directories.csvDir;
    sampleDir = directories.sampleDir;
    SamplingViewForm->SetImageDir(imageDir);
    SpectrumViewForm->SetImageDir(imageDir);
    SpectrumViewForm->UpdateBandLabels(0.025);
    ApplyPreferences(file);
}

namespace {

// Keys of the preferences section.
struct TSpinKey {
    const char* key;
    QSpinBox* box;
};

// A window at a remembered place, brought inside the screen area as far as
// it fits (a screen may have gone since).
void MoveToRemembered(QWidget* window, const TIniFile& file, const char* leftKey,
                      const char* topKey) {
    const std::optional<int> left = ReadInteger(file, kPreferencesSection, leftKey);
    const std::optional<int> top = ReadInteger(file, kPreferencesSection, topKey);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!left || !top || screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(std::max(area.left(), std::min(*left, area.right() + 1 - outer.width())),
                 std::max(area.top(), std::min(*top, area.bottom() + 1 - outer.height())));
}

void StorePosition(TIniFile& file, QWidget* window, const char* leftKey, const char* topKey) {
    WriteInteger(file, kPreferencesSection, leftKey, window->frameGeometry().x());
    WriteInteger(file, kPreferencesSection, topKey, window->frameGeometry().y());
}

} // namespace

void TMainForm::ApplyPreferences(const TIniFile& file) {
    const char* section = kPreferencesSection;
    // The user's values go into the boxes as the detailed mode shows them;
    // the mode read last decides what the boxes show.
    SetModeControls(kDetailedMode);
    const TSpinKey spins[] = {{"SampleTime", SampleTimeBox},
                              {"Bias", BiasBox},
                              {"FrequencyUpper", SpectrumViewForm->FupperBox},
                              {"FrequencyLower", SpectrumViewForm->FlowerBox},
                              {"PowerUpper", SpectrumViewForm->PupperBox},
                              {"PowerLower", SpectrumViewForm->PlowerBox},
                              {"GraphWidth", SpectrumViewForm->HorzSizeBox},
                              {"GraphHeight", SpectrumViewForm->VertSizeBox}};
    for (const TSpinKey& spin : spins) {
        spin.box->setValue(ReadInteger(file, section, spin.key, spin.box->minimum(),
                                       spin.box->maximum(), spin.box->value()));
    }
    WindowFunctionBox->setCurrentIndex(ReadInteger(file, section, "WindowFunction", 0,
                                                   WindowFunctionBox->count() - 1,
                                                   WindowFunctionBox->currentIndex()));
    TRadioGroup* DrawMethodBox = SpectrumViewForm->DrawMethodBox;
    DrawMethodBox->SetItemIndex(ReadInteger(
        file, section, "DrawMethod", 0, DrawMethodBox->Count() - 1, DrawMethodBox->ItemIndex()));
    SamplingModeBox->SetItemIndex(ReadInteger(file, section, "SamplingMode", 0,
                                              SamplingModeBox->Count() - 1,
                                              SamplingModeBox->ItemIndex()));
    AnalyzeModeBox->SetItemIndex(
        ReadInteger(file, section, "AnalyzeMode", 0, AnalyzeModeBox->Count() - 1, kEasyMode));
    SetModeControls(AnalyzeModeBox->ItemIndex());
    TSpectrumState& band = SpectrumViewForm->state;
    const int upper = ReadInteger(file, section, "BandUpperBar", -50, 0, band.UpperBarPosition());
    const int lower = ReadInteger(file, section, "BandLowerBar", -50, 0, band.LowerBarPosition());
    band.SetUpperBarPosition(upper);
    band.SetLowerBarPosition(lower);
    MoveToRemembered(this, file, "MainLeft", "MainTop");
    MoveToRemembered(SpectrumViewForm, file, "SpectrumLeft", "SpectrumTop");
    if (ReadInteger(file, section, "SpectrumLeft")) {
        SpectrumViewForm->KeepPlace();
    }
    if (ReadInteger(file, section, "SamplingLeft") && ReadInteger(file, section, "SamplingTop")) {
        MoveToRemembered(SamplingViewForm, file, "SamplingLeft", "SamplingTop");
        SamplingViewForm->KeepPlace();
    }
}

void TMainForm::StorePreferences(TIniFile& file) {
    const char* section = kPreferencesSection;
    const TUserValues user = UserValues();
    WriteInteger(file, section, "AnalyzeMode", AnalyzeModeBox->ItemIndex());
    WriteInteger(file, section, "SamplingMode", SamplingModeBox->ItemIndex());
    WriteInteger(file, section, "SampleTime", user.sampleTime);
    WriteInteger(file, section, "Bias", user.bias);
    WriteInteger(file, section, "WindowFunction", user.windowFunction);
    const TSpectrumSettings settings = SpectrumViewForm->Settings();
    WriteInteger(file, section, "FrequencyUpper", settings.FupperBox);
    WriteInteger(file, section, "FrequencyLower", settings.FlowerBox);
    WriteInteger(file, section, "PowerUpper", settings.PupperBox);
    WriteInteger(file, section, "PowerLower", settings.PlowerBox);
    WriteInteger(file, section, "GraphWidth", settings.HorzSizeBox);
    WriteInteger(file, section, "GraphHeight", settings.VertSizeBox);
    WriteInteger(file, section, "DrawMethod", settings.DrawMethodBox);
    WriteInteger(file, section, "BandUpperBar", SpectrumViewForm->state.UpperBarPosition());
    WriteInteger(file, section, "BandLowerBar", SpectrumViewForm->state.LowerBarPosition());
    StorePosition(file, this, "MainLeft", "MainTop");
    if (SpectrumViewForm->HasPlace()) {
        StorePosition(file, SpectrumViewForm, "SpectrumLeft", "SpectrumTop");
    }
    if (SamplingViewForm->HasPlace()) {
        StorePosition(file, SamplingViewForm, "SamplingLeft", "SamplingTop");
    }
}

void TMainForm::FormClose() {
    imageDir = SpectrumViewForm->imageDir;
    WriteSettings(iniFileName, TDirectories{waveDir, imageDir, csvDir, sampleDir},
                  [this](TIniFile& file) { StorePreferences(file); });
}

void TMainForm::FormDestroy() {
    // The spectrum window borrows the spectrum: let it forget it first.
    if (SpectrumViewForm && SpectrumViewForm->state.spectrum == fft.get()) {
        SpectrumViewForm->state.spectrum = nullptr;
    }
    fft.reset();
}

void TMainForm::SetModeControls(int mode) {
    const bool easy = mode == kEasyMode;
    const bool detailed = !easy && mode != kFixedMode;
    // The greyed boxes of the easy mode show what it uses; the user's own
    // values are kept aside and come back in the other modes.
    if (easy && !showingEasyValues) {
        userValues = TUserValues{SpinValue(SampleTimeBox), SpinValue(BiasBox),
                                 WindowFunctionBox->currentIndex()};
        SampleTimeBox->setValue(kEasySampleTimeMs);
        BiasBox->setValue(kEasyBias);
        WindowFunctionBox->setCurrentIndex(kHammingWindow);
        showingEasyValues = true;
    } else if (!easy && showingEasyValues) {
        SampleTimeBox->setValue(userValues.sampleTime);
        BiasBox->setValue(userValues.bias);
        WindowFunctionBox->setCurrentIndex(userValues.windowFunction);
        showingEasyValues = false;
    }
    SampleTimeBox->setEnabled(!easy);
    BiasBox->setEnabled(!easy && UsesLevel(SamplingModeBox->ItemIndex()));
    SamplingStartButton->setEnabled(detailed);
    SampleLoadButton->setEnabled(detailed);
    WindowFunctionBox->setEnabled(!easy);
}

TMainForm::TUserValues TMainForm::UserValues() {
    if (showingEasyValues) {
        return userValues;
    }
    return TUserValues{SpinValue(SampleTimeBox), SpinValue(BiasBox),
                       WindowFunctionBox->currentIndex()};
}

void TMainForm::SetWaveFile(const std::string& name) {
    WaveFileBox->setText(Text(name));
    waveDir = FolderOf(name);
}

void TMainForm::WaveFileSelectButtonClick() {
    TFileDialog& dialog = CommonForm->OpenDialog;
    if (dialog.Run(this, "wav", AudioFilter(), waveDir)) {
        SetWaveFile(dialog.FileName);
    }
}

void TMainForm::SamplingStartButtonClick() {
    // The sampling run always takes its parameters from the boxes.
    const TSamplingParameters parameters =
        SamplingParametersFor(kDetailedMode, SpinValue(SampleTimeBox), SpinValue(BiasBox));
    const std::string file = Utf8(WaveFileBox->text());
    if (RunSamplingStep(series, file, SamplingModeBox->ItemIndex(), parameters, OwnerOf(this)) !=
        TSamplingOutcome::Sampled) {
        return;
    }
    CommonForm->recording = file;
    ShowSeries(file);
}

void TMainForm::ShowSeries(const std::string& source) {
    seriesSource = source;
    SamplingViewForm->setWindowTitle(CaptionWithFile(Tr(kSamplingCaption), source));
    SpectrumViewForm->UpdateBandLabels(series.period);
    SamplingViewForm->values = series.values.get();
    SamplingViewForm->count = series.count;
    SamplingViewForm->period = series.period;
    SamplingViewForm->SetUnit(series.unit);
    SamplingViewForm->run = TRunDescription{source, AnalyzeModeBox->ItemIndex(), series.unit,
                                            series.period, WindowFunctionBox->currentIndex()};
    SamplingViewForm->UpdateStatistics(series.Average(), series.Maximum());
    SamplingViewForm->DrawSamplingGraph("");
    SamplingViewForm->ShowModal(this);
}

void TMainForm::FFTStartButtonClick() {
    const int mode = AnalyzeModeBox->ItemIndex();
    if (mode == kEasyMode || mode == kFixedMode) {
        // The easy mode's constants; the boxes are disabled then and not read.
        const TSamplingParameters parameters =
            mode == kEasyMode
                ? SamplingParametersFor(kEasyMode, 0, 0)
                : SamplingParametersFor(mode, SpinValue(SampleTimeBox), SpinValue(BiasBox));
        const std::string file = Utf8(WaveFileBox->text());
        if (RunSamplingStep(series, file, SamplingModeBox->ItemIndex(), parameters,
                            OwnerOf(this)) != TSamplingOutcome::Sampled) {
            return;
        }
        CommonForm->recording = file;
        seriesSource = file;
    }
    TSpectrumState& view = SpectrumViewForm->state;
    if (RunSpectrumStage(series, mode, WindowFunctionBox->currentIndex(), view, fft, dataFraction,
                         fftPeriod, OwnerOf(this)) != TSpectrumOutcome::Transformed) {
        return;
    }
    view.TakeSpectrum(fft.get(), fft->count, dataFraction, fftPeriod, series.period);
    SpectrumViewForm->SetShownRun(
        TShownRun{std::vector<double>(series.values.get(), series.values.get() + series.count),
                  series.period, WindowFunctionBox->currentIndex()});
    SpectrumViewForm->setWindowTitle(CaptionWithFile(Tr(kSpectrumCaption), seriesSource));
    SpectrumViewForm->run = TRunDescription{seriesSource, mode, series.unit, series.period,
                                            WindowFunctionBox->currentIndex()};
    SpectrumViewForm->DrawSpectrum("");
    // Each new result brings the window to the front, beside this one the
    // first time it opens.
    SpectrumViewForm->ShowBeside(this);
}

void TMainForm::SampleSaveButtonClick() {
    if (series.count == 0) {
        ShowInfoBox(Tr("サンプリングデータがありません。"), OwnerOf(this));
        return;
    }
    TFileDialog& dialog = CommonForm->SaveDialog;
    if (!dialog.Run(this, "smp", Tr(kSampleFilter), sampleDir)) {
        return;
    }
    if (RefuseSaveOverRecording(dialog.FileName, this, Utf8(WaveFileBox->text()))) {
        return;
    }
    std::string problem;
    std::string reason;
    if (!series.SaveToFile(dialog.FileName, &problem, &reason)) {
        ShowErrorBox(problem.empty() ? SaveFailedText(reason) : problem, OwnerOf(this));
        return;
    }
    sampleDir = FolderOf(dialog.FileName);
}

void TMainForm::SampleLoadButtonClick() {
    TFileDialog& dialog = CommonForm->OpenDialog;
    if (dialog.Run(this, "smp", Tr(kSampleFilter), sampleDir)) {
        LoadSampleFile(dialog.FileName);
    }
}

void TMainForm::LoadSampleFile(const std::string& name) {
    if (!series.LoadFromFile(name)) {
        return;
    }
    sampleDir = FolderOf(name);
    ShowSeries(name);
}

void TMainForm::SpectrumSaveButtonClick() {
    if (!fft) {
        ShowInfoBox(Tr("スペクトルデータがありません。"), OwnerOf(this));
        return;
    }
    TFileDialog& dialog = CommonForm->SaveDialog;
    if (!dialog.Run(this, "csv", Tr(kCsvFilter), csvDir)) {
        return;
    }
    if (RefuseSaveOverRecording(dialog.FileName, this, Utf8(WaveFileBox->text()))) {
        return;
    }
    std::string reason;
    if (!fft->SaveCsv(dialog.FileName, fftPeriod, dataFraction, &reason)) {
        ShowErrorBox(SaveFailedText(reason), OwnerOf(this));
        return;
    }
    csvDir = FolderOf(dialog.FileName);
}

void TMainForm::ShowSpectrumViewButtonClick() {
    if (!SpectrumViewForm->isVisible()) {
        SpectrumViewForm->ShowBeside(this);
    }
}

void TMainForm::AnalyzeModeBoxClick() {
    SetModeControls(AnalyzeModeBox->ItemIndex());
}

void TMainForm::SamplingModeBoxClick() {
    BiasBox->setEnabled(AnalyzeModeBox->ItemIndex() > 0 && UsesLevel(SamplingModeBox->ItemIndex()));
}

void TMainForm::JumpManualButtonClick() {
    const std::string manual = ManualPath(CurrentLanguage());
    if (manual.empty()) {
        ShowErrorBox(Tr("マニュアル(share/zittermark/manual.html)が見つかりません。"),
                     OwnerOf(this));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(Text(manual));
    const TUrlOpener& opener = Opener();
    const bool opened = opener ? opener(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        // Without a browser the help button would do nothing at all.
        ShowInfoBox(TrSubst("ブラウザを起動できませんでした。マニュアルは次の場所にあります:\n%s",
                            {manual}),
                    OwnerOf(this));
    }
}

void TMainForm::DropFiles(const std::vector<std::string>& names) {
    if (names.size() > 1) {
        ShowErrorBox(Tr("ファイルは１つしかドロップできません。"), OwnerOf(this));
        return;
    }
    if (names.empty()) {
        return;
    }
    const std::string& name = names.front();
    const std::string ext = LowerExtension(name);
    if (IsAudioFileName(name)) {
        SetWaveFile(name);
    } else if (ext == ".smp" && AnalyzeModeBox->ItemIndex() == kDetailedMode) {
        LoadSampleFile(name);
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FitIntoScreen(this);
        CenterOnScreen();
        RunHandler([this] { FormShow(); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (shown) {
        RunHandler([this] { FormClose(); });
    }
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    if (!PressDefaultButton(event, FFTStartButton)) {
        QWidget::keyPressEvent(event);
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    std::vector<std::string> names;
    for (const QUrl& url : urls) {
        // A file that is not local has no name here; it still counts as
        // one of the dropped files.
        names.push_back(url.isLocalFile() ? Utf8(url.toLocalFile()) : std::string());
    }
    event->acceptProposedAction();
    // Handle the files once the drop is over, as a modal window may open and
    // the drag source waits for the drop to finish.
    QMetaObject::invokeMethod(
        this, [this, names] { RunHandler([this, &names] { DropFiles(names); }); },
        Qt::QueuedConnection);
}
