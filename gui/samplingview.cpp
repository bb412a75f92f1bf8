#include "gui/samplingview.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <algorithm>
#include <initializer_list>

#include "analysis/samplinggraph.h"
#include "base/safefile.h"
#include "base/translate.h"
#include "graph/xygraph.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/qtpresenter.h"

TSamplingViewForm* SamplingViewForm = nullptr;

const char* const kSamplingCaption = TrMark("サンプリングウィンドウ");

namespace {

TModalRunner& Runner() {
    static TModalRunner runner;
    return runner;
}

// The scroll boxes have a sunken border of two pixels on each side.
void SetScrollBoxBorder(QScrollArea* box) {
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(2);
}

} // namespace

TModalRunner SetModalRunner(TModalRunner runner) {
    TModalRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

TSamplingViewForm::TSamplingViewForm() {
    setObjectName("SamplingViewForm");
    setWindowTitle(Text(Tr(kSamplingCaption)));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(UiFont());
    setFixedSize(814, 383);
    setModal(true);

    SamplingDataScrollBox = new QScrollArea(this);
    SamplingDataScrollBox->setObjectName("SamplingDataScrollBox");
    SetScrollBoxBorder(SamplingDataScrollBox);
    SamplingDataScrollBox->setWidgetResizable(false);
    SamplingDataScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(SamplingDataScrollBox, 5, 8, 804, 324);
    SamplingDataGraph = new QLabel;
    SamplingDataGraph->setObjectName("SamplingDataGraph");
    SamplingDataGraph->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SamplingDataScrollBox->setWidget(SamplingDataGraph);
    SamplingDataGraph->setGeometry(0, 0, 105, 105);
    graphSize = SamplingDataScrollBox->maximumViewportSize();

    NumSampleLabel = MakeLabel(this, "NumSampleLabel", Tr("総サンプル数："), 16, 340);
    DurationLabel = MakeLabel(this, "DurationLabel", Tr("長さ："), 16, 359);
    AverageLabel = MakeLabel(this, "AverageLabel", Tr("平均値："), 160, 340);
    MaxLabel = MakeLabel(this, "MaxLabel", Tr("最大値："), 160, 359);
    GraphSaveButton = MakeButton(this, "GraphSaveButton", Tr("グラフ保存..."), 610, 347, 87, 25,
                                 Tr("表示されているグラフをPNG画像として保存します。"));
    OkButton = MakeButton(this, "OkButton", Tr("閉じる"), 709, 347, 87, 25,
                          Tr("ウィンドウを閉じてメインウィンドウに戻ります。"));
    OkButton->setDefault(true);

    setTabOrder(GraphSaveButton, OkButton);
    setTabOrder(OkButton, SamplingDataScrollBox);

    connect(GraphSaveButton, &QPushButton::clicked, this,
            Handler([this] { GraphSaveButtonClick(); }));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_S), [this] { GraphSaveButtonClick(); });
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_W), [this] { reject(); });

    FormCreate();
}

void TSamplingViewForm::FormCreate() {
    values = nullptr;
    count = 0;
    unit.clear();
}

void TSamplingViewForm::SetUnit(const std::string& text) {
    unit = text;
}

void TSamplingViewForm::SetImageDir(const std::string& dir) {
    imageDir = dir;
}

void TSamplingViewForm::UpdateStatistics(double average, double maximum) {
    TSamplingStatistics texts = SamplingStatisticsTexts(count, period, average, maximum, unit);
    SetLabelText(NumSampleLabel, texts.numSample);
    SetLabelText(DurationLabel, texts.duration);
    SetLabelText(AverageLabel, texts.average);
    SetLabelText(MaxLabel, texts.maximum);
}

QSize TSamplingViewForm::GraphSize() const {
    return graphSize;
}

void TSamplingViewForm::FitIntoArea(const QSize& area) {
    if (fitted) {
        return;
    }
    fitted = true;
    const QSize designed = size();
    const int lackWidth = std::max(0, designed.width() - area.width());
    const int lackHeight = std::max(0, designed.height() - area.height());
    if (lackWidth == 0 && lackHeight == 0) {
        return;
    }
    // The buttons move left no further than the statistics' right edge, and
    // the graph's box keeps room for a strip of graph and its scroll bars.
    constexpr int kMinGraphBoxHeight = 96;
    int statisticsRight = 0;
    for (const QLabel* label : {NumSampleLabel, DurationLabel, AverageLabel, MaxLabel}) {
        statisticsRight = std::max(statisticsRight, label->geometry().right() + 1);
    }
    if (GraphSaveButton->x() - lackWidth < statisticsRight + 8 ||
        SamplingDataScrollBox->height() - lackHeight < kMinGraphBoxHeight) {
        ::FitIntoArea(this, area);
        return;
    }
    setFixedSize(designed.width() - lackWidth, designed.height() - lackHeight);
    SamplingDataScrollBox->resize(SamplingDataScrollBox->width() - lackWidth,
                                  SamplingDataScrollBox->height() - lackHeight);
    for (QWidget* control :
         std::initializer_list<QWidget*>{NumSampleLabel, DurationLabel, AverageLabel, MaxLabel}) {
        control->move(control->x(), control->y() - lackHeight);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{GraphSaveButton, OkButton}) {
        control->move(control->x() - lackWidth, control->y() - lackHeight);
    }
}

bool TSamplingViewForm::DrawSamplingGraph(const std::string& fileName, std::string* error) {
    const QSize size = GraphSize();
    TSamplingDrawing drawing = ::DrawSamplingGraph(
        values, count, period, unit, size.width(), size.height(), fileName,
        fileName.empty() ? TPngText{} : SeriesPngText(run), GraphScale(SamplingDataGraph));
    if (drawing.graph) {
        ShowGraph(SamplingDataGraph, drawing.graph->bitmap, size, drawing.graph->Scale());
    }
    if (error) {
        *error = drawing.saveError;
    }
    return drawing.saved;
}

void TSamplingViewForm::GraphSaveButtonClick() {
    if (values == nullptr || count <= 0) {
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
    if (!DrawSamplingGraph(chosen, &reason)) {
        ShowErrorBox(SaveFailedText(reason), OwnerOf(this));
        return;
    }
    imageDir = FolderOf(chosen);
}

int TSamplingViewForm::ShowModal(QWidget* owner) {
    centreOver = owner;
    const QSize area = ScreenClientArea(this);
    if (area.isValid()) {
        FitIntoArea(area);
    }
    CentreOverOwner();
    const TModalRunner& runner = Runner();
    return runner ? runner(*this) : exec();
}

void TSamplingViewForm::CentreOverOwner() {
    if (centreOver == nullptr || keepPlace) {
        return;
    }
    // The whole window, frame included, over the owner's; the frame is
    // known once the window has been shown.
    const QSize outer = frameGeometry().size();
    const QRect over = centreOver->frameGeometry();
    move(over.x() + (over.width() - outer.width()) / 2,
         over.y() + (over.height() - outer.height()) / 2);
    centredAt = pos();
}

void TSamplingViewForm::done(int result) {
    if (isVisible() && !keepPlace && pos() != centredAt) {
        keepPlace = true;
    }
    QDialog::done(result);
}

void TSamplingViewForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOverOwner();
}
