#include "gui/spectrumview.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <utility>

#include "base/safefile.h"
#include "base/translate.h"
#include "graph/xygraph.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/qtpresenter.h"

TSpectrumViewForm* SpectrumViewForm = nullptr;

const char* const kSpectrumCaption = TrMark("スペクトルウィンドウ");

namespace {

struct TRangeRow {
    const char* label;
    const char* labelName;
    const char* boxName;
    int top;
    int minimum;
    int maximum;
    int value;
    const char* unit;
};

} // namespace

TSpectrumViewForm::TSpectrumViewForm() {
    setObjectName("SpectrumViewForm");
    setWindowTitle(Text(Tr(kSpectrumCaption)));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(UiFont());
    setFixedSize(627, 701);
    setModal(false);
    move(0, 0);

    SpectrumDataScrollBox = new QScrollArea(this);
    SpectrumDataScrollBox->setObjectName("SpectrumDataScrollBox");
    SpectrumDataScrollBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SpectrumDataScrollBox->setLineWidth(2);
    SpectrumDataScrollBox->setWidgetResizable(false);
    SpectrumDataScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(SpectrumDataScrollBox, 8, 8, 438, 684);
    SpectrumGraph = new QLabel;
    SpectrumGraph->setObjectName("SpectrumGraph");
    SpectrumGraph->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SpectrumDataScrollBox->setWidget(SpectrumGraph);
    SpectrumGraph->setGeometry(0, 0, 105, 105);
    SpectrumGraph->installEventFilter(this);

    // The axis ranges: "<name>  10の [n] <unit>", read as 10^n.
    const TRangeRow rows[] = {
        {Tr("周波数上限"), "Label1", "FupperBox", 18, -4, 4, 2, Tr("乗Hz")},
        {Tr("周波数下限"), "Label2", "FlowerBox", 46, -4, 4, -3, Tr("乗Hz")},
        {Tr("パワー上限"), "Label3", "PupperBox", 74, -10, 10, 0, Tr("乗")},
        {Tr("パワー下限"), "Label4", "PlowerBox", 102, -10, 10, -9, Tr("乗")},
    };
    QSpinBox** boxes[] = {&FupperBox, &FlowerBox, &PupperBox, &PlowerBox};
    int row = 0;
    for (const TRangeRow& r : rows) {
        MakeLabel(this, r.labelName, r.label, 455, r.top);
        MakeLabel(this, QString("TenLabel%1").arg(row + 1).toUtf8().constData(), Tr("10の"), 525,
                  r.top, TLabelAnchor::Right, 24);
        *boxes[row] =
            MakeSpinEdit(this, r.boxName, 549, r.top - 5, 44, 22, r.minimum, r.maximum, r.value);
        MakeLabel(this, QString("UnitLabel%1").arg(row + 1).toUtf8().constData(), r.unit, 595,
                  r.top);
        ++row;
    }

    QGroupBox* sizeBox =
        MakeGroupBox(this, "GroupBox1", Tr("グラフサイズ（余白除く）"), 455, 136, 164, 113);
    MakeLabel(sizeBox, "Label5", Tr("横軸"), 16, 24);
    HorzSizeBox = MakeSpinEdit(sizeBox, "HorzSizeBox", 48, 19, 56, 22, 100, 3000, 350, 10);
    MakeLabel(sizeBox, "Label6", Tr("ピクセル"), 110, 24);
    MakeLabel(sizeBox, "Label7", Tr("縦軸"), 16, 52);
    VertSizeBox = MakeSpinEdit(sizeBox, "VertSizeBox", 48, 47, 56, 22, 100, 3000, 630, 10);
    MakeLabel(sizeBox, "Label8", Tr("ピクセル"), 110, 52);
    AspectAjustButton =
        MakeButton(sizeBox, "AspectAjustButton", Tr("縦横のスケールを統一"), 19, 75, 126, 25,
                   Tr("縦横のスケールが同一になるように、横軸の大きさに合わせて縦軸の大きさを自動設"
                      "定します。"));

    DrawMethodBox = new TRadioGroup(this, "DrawMethodBox", Tr("描画方法"),
                                    {Tr("点"), Tr("折れ線"), Tr("ヒストグラム")}, 2, 455, 255, 164,
                                    58, Tr("スペクトルを描画する方法を選択します。"));
    DrawMethodBox->SetItemIndex(kDrawHistogram);

    QGroupBox* bandBox = MakeGroupBox(this, "GroupBox2", Tr("回帰直線"), 455, 319, 164, 130);
    FreqUpperLabel = MakeLabel(bandBox, "FreqUpperLabel", Tr("上限周波数"), 16, 21);
    FupperBar = MakeTrackBar(bandBox, "FupperBar", 3, 40, 158, 33,
                             Tr("回帰直線を求める際の上限周波数を設定します。"));
    FreqLowerLabel = MakeLabel(bandBox, "FreqLowerLabel", Tr("下限周波数"), 16, 75);
    FlowerBar = MakeTrackBar(bandBox, "FlowerBar", 3, 94, 158, 33,
                             Tr("回帰直線を求める際の下限周波数を設定します。"));

    RedrawButton = MakeButton(this, "RedrawButton", Tr("再描画"), 492, 462, 91, 25,
                              Tr("グラフの設定を変更した際に再描画します。"));
    RedrawButton->setDefault(true);
    GraphSaveButton = MakeButton(this, "GraphSaveButton", Tr("グラフ保存..."), 492, 502, 91, 25,
                                 Tr("表示されているグラフをPNG画像として保存します。"));
    CloseButton = MakeButton(this, "CloseButton", Tr("閉じる"), 492, 542, 91, 25,
                             Tr("ウィンドウを閉じます。"));
    NoLineLabel = new QLabel(this);
    NoLineLabel->setObjectName("NoLineLabel");
    NoLineLabel->setWordWrap(true);
    NoLineLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(NoLineLabel, 455, 580, 164, 112);
    NoLineLabel->hide();

    QWidget* order[] = {AspectAjustButton,
                        HorzSizeBox,
                        VertSizeBox,
                        DrawMethodBox->Button(0),
                        DrawMethodBox->Button(1),
                        DrawMethodBox->Button(2),
                        FupperBar,
                        FlowerBar,
                        RedrawButton,
                        GraphSaveButton,
                        CloseButton,
                        SpectrumDataScrollBox,
                        FupperBox,
                        FlowerBox,
                        PupperBox,
                        PlowerBox};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    connect(RedrawButton, &QPushButton::clicked, this, Handler([this] { RedrawButtonClick(); }));
    connect(GraphSaveButton, &QPushButton::clicked, this,
            Handler([this] { GraphSaveButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this, Handler([this] { CloseButtonClick(); }));
    connect(AspectAjustButton, &QPushButton::clicked, this,
            Handler([this] { AspectAjustButtonClick(); }));
    connect(FupperBar, &QSlider::valueChanged, this, Handler([this] { FupperBarChange(); }));
    connect(FlowerBar, &QSlider::valueChanged, this, Handler([this] { FlowerBarChange(); }));
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_S), [this] { GraphSaveButtonClick(); });
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_W), [this] { CloseButtonClick(); });

    state.onBandChanged = [this] { ShowBand(); };
    FormCreate();
}

void TSpectrumViewForm::FormCreate() {
    state.spectrum = nullptr;
    state.fftSize = 0;
    state.binCount = 0;
    state.dataFraction = 1.0;
    state.fftPeriod = 0.025;
    state.SetBandFrequencies(1.0, 0.0001);
    // The state moved its bars when it was made, before the window listened.
    ShowBand();
}

void TSpectrumViewForm::ShowBand() {
    SetTrackBarQuietly(FupperBar, state.UpperBarPosition());
    SetTrackBarQuietly(FlowerBar, state.LowerBarPosition());
    SetLabelText(FreqUpperLabel, state.UpperLabel());
    SetLabelText(FreqLowerLabel, state.LowerLabel());
}

void TSpectrumViewForm::SetFftSize(int n, double fraction) {
    state.SetFftSize(n, fraction);
}

void TSpectrumViewForm::UpdateBandLabels(double period) {
    state.UpdateBandLabels(period);
}

void TSpectrumViewForm::SetBandFrequencies(double upperRatio, double lowerRatio) {
    state.SetBandFrequencies(upperRatio, lowerRatio);
}

void TSpectrumViewForm::SetShownRun(TShownRun run) {
    shownRun = std::move(run);
}

void TSpectrumViewForm::SetImageDir(const std::string& dir) {
    imageDir = dir;
}

TSpectrumSettings TSpectrumViewForm::Settings() {
    TSpectrumSettings settings;
    settings.FupperBox = SpinValue(FupperBox);
    settings.FlowerBox = SpinValue(FlowerBox);
    settings.PupperBox = SpinValue(PupperBox);
    settings.PlowerBox = SpinValue(PlowerBox);
    settings.HorzSizeBox = SpinValue(HorzSizeBox);
    settings.VertSizeBox = SpinValue(VertSizeBox);
    settings.DrawMethodBox = DrawMethodBox->ItemIndex();
    return settings;
}

bool TSpectrumViewForm::CheckSettings() {
    return ::CheckSettings(state.LowerBarPosition(), state.UpperBarPosition(), Settings(),
                           OwnerOf(this));
}

bool TSpectrumViewForm::DrawSpectrum(const std::string& fileName, std::string* error) {
    TSpectrumDrawing drawing =
        ::DrawSpectrum(state, Settings(), fileName, OwnerOf(this), &run, GraphScale(SpectrumGraph));
    if (error) {
        *error = drawing.saveError;
    }
    if (drawing.graph) {
        const TXYGraph& graph = *drawing.graph;
        ShowGraph(SpectrumGraph, graph.bitmap, QSize(graph.Width(), graph.Height()), graph.Scale());
        const std::string reason = NoLineReason(state, drawing);
        NoLineLabel->setText(Text(reason));
        NoLineLabel->setVisible(!reason.empty());
        // The tooltip follows the graph shown; it is worked out on demand.
        const bool saved = drawing.saved;
        drawing.graph.reset();
        auto shown =
            std::make_unique<TShownGraph>(TShownGraph{shownRun, state, std::move(drawing)});
        // The copy of the band must not reach the window or the spectrum,
        // which a later run replaces.
        shown->band.onBandChanged = nullptr;
        shown->band.spectrum = nullptr;
        shownGraph = std::move(shown);
        SpectrumGraph->setToolTip(QString());
        return saved;
    }
    return drawing.saved;
}

QString TSpectrumViewForm::GraphToolTip() {
    if (shownGraph) {
        const TShownGraph& shown = *shownGraph;
        SpectrumGraph->setToolTip(RichToolTip(
            LambdaTooltip(shown.drawing, CheckShownLambda(shown.run, shown.band, shown.drawing))));
        shownGraph.reset();
    }
    return SpectrumGraph->toolTip();
}

bool TSpectrumViewForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SpectrumGraph && event->type() == QEvent::ToolTip) {
        GraphToolTip();
    }
    return QDialog::eventFilter(watched, event);
}

void TSpectrumViewForm::ShowModeless() {
    FitIntoScreen(this);
    show();
    raise();
    activateWindow();
}

void TSpectrumViewForm::ShowBeside(QWidget* owner) {
    FitIntoScreen(this);
    if (!placed && owner != nullptr) {
        placed = true;
        if (QScreen* screen = owner->screen()) {
            // Before its first showing the window's frame is not known; it
            // gets the same decoration as the main window's.
            QSize outer = frameGeometry().size();
            if (outer == size()) {
                outer += owner->frameGeometry().size() - owner->size();
            }
            const TBesidePlace place =
                PlaceBeside(owner->frameGeometry(), outer, screen->availableGeometry());
            if (place.owner != owner->frameGeometry().topLeft()) {
                owner->move(place.owner);
            }
            move(place.window);
        }
    }
    ShowModeless();
}

void TSpectrumViewForm::RedrawButtonClick() {
    if (state.CanDraw()) {
        DrawSpectrum("");
    }
}

void TSpectrumViewForm::GraphSaveButtonClick() {
    if (!state.CanDraw()) {
        return;
    }
    TFileDialog& dialog = CommonForm->SaveDialog;
    if (!dialog.Run(this, "png", Tr(kPngFilter), imageDir)) {
        return;
    }
    const std::string chosen = dialog.FileName;
    if (RefuseSaveOverRecording(chosen, this)) {
        return;
    }
    std::string reason;
    if (!DrawSpectrum(chosen, &reason)) {
        ShowErrorBox(SaveFailedText(reason), OwnerOf(this));
        return;
    }
    imageDir = FolderOf(chosen);
}

void TSpectrumViewForm::CloseButtonClick() {
    hide();
}

void TSpectrumViewForm::AspectAjustButtonClick() {
    VertSizeBox->setValue(AspectVerticalSize(SpinValue(HorzSizeBox), SpinValue(PupperBox),
                                             SpinValue(PlowerBox), SpinValue(FupperBox),
                                             SpinValue(FlowerBox), SpinValue(VertSizeBox)));
}

void TSpectrumViewForm::FupperBarChange() {
    state.SetUpperBarPosition(FupperBar->value());
}

void TSpectrumViewForm::FlowerBarChange() {
    state.SetLowerBarPosition(FlowerBar->value());
}
