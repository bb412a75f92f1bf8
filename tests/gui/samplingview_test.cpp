// The sampling window: layout, statistics lines, the graph at the scroll
// box's client size, PNG saves with their folder, and the modal showing.

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <cerrno>
#include <memory>
#include <vector>

#include "analysis/samplinggraph.h"
#include "base/safefile.h"
#include "graph/xygraph.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"
#include "tests/gui/guitest.h"

namespace {

// Hands the window a series as the main window does before a showing.
void Lend(const std::vector<double>& values, double period, const std::string& unit) {
    SamplingViewForm->values = values.data();
    SamplingViewForm->count = static_cast<int>(values.size());
    SamplingViewForm->period = period;
    SamplingViewForm->SetUnit(unit);
}

std::vector<double> Ramp(int count) {
    std::vector<double> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        values[static_cast<std::size_t>(i)] = 200.0 + (i % 37) * 3.5;
    }
    return values;
}

} // namespace

class SamplingViewTest : public QObject {
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

    void layout() {
        TSamplingViewForm* form = SamplingViewForm;
        QCOMPARE(form->size(), QSize(814, 383));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(form->isModal());
        QCOMPARE(form->GraphSize(), QSize(800, 320));
        QVERIFY(form->OkButton->isDefault());
        QCOMPARE(TabStops(form, "GraphSaveButton"),
                 (QStringList{"GraphSaveButton", "OkButton", "SamplingDataScrollBox"}));
        QVERIFY2(form->imageDir == DocumentsDir(), "handed out by the main window's first showing");
    }

    void statistics_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("period");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("average");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("401-Hz") << 401 << 0.024988662131519273 << "Hz" << 250.0 << 431.9
                                << QStringList{"総サンプル数：401", "長さ：10.020sec",
                                               "平均値：250.000Hz", "最大値：431.900Hz"};
        QTest::newRow("RMS") << 3 << 1.0 << "RMS" << 0.0123456 << 0.5
                             << QStringList{"総サンプル数：3", "長さ：3.000sec", "平均値：0.012RMS",
                                            "最大値：0.500RMS"};
        QTest::newRow("empty") << 0 << 0.025 << "" << 0.0 << 0.0
                               << QStringList{"総サンプル数：0", "長さ：0.000sec", "平均値：0.000",
                                              "最大値：0.000"};
    }

    void statistics() {
        QFETCH(int, count);
        QFETCH(double, period);
        QFETCH(QString, unit);
        QFETCH(double, average);
        QFETCH(double, maximum);
        QFETCH(QStringList, labels);
        std::vector<double> values(static_cast<std::size_t>(count), 1.0);
        Lend(values, period, unit.toStdString());
        SamplingViewForm->UpdateStatistics(average, maximum);
        const QLabel* shown[] = {SamplingViewForm->NumSampleLabel, SamplingViewForm->DurationLabel,
                                 SamplingViewForm->AverageLabel, SamplingViewForm->MaxLabel};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(shown[i]->text(), labels[i]);
            QVERIFY(shown[i]->width() >= shown[i]->sizeHint().width());
        }
        QVERIFY(SamplingViewForm->NumSampleLabel->geometry().right() <
                SamplingViewForm->AverageLabel->x());
    }

    // The graph is exactly the client area and shows what the drawing made.
    void graphFillsTheClientArea() {
        const std::vector<double> values = Ramp(400);
        Lend(values, 0.025, "Hz");
        QVERIFY(SamplingViewForm->DrawSamplingGraph(""));
        const QImage shown = ShownImage(SamplingViewForm->SamplingDataGraph);
        QCOMPARE(shown.size(), QSize(800, 320));
        QCOMPARE(SamplingViewForm->SamplingDataGraph->size(), QSize(800, 320));
        TSamplingDrawing reference =
            DrawSamplingGraph(values.data(), 400, 0.025, "Hz", 800, 320, "");
        QCOMPARE(shown, ToImage(reference.graph->bitmap));
        QVERIFY(recorder->dialogs.empty());
    }

    void emptySeriesDrawsAndRefusesToSave() {
        Lend({}, 0.025, "");
        QVERIFY(SamplingViewForm->DrawSamplingGraph(""));
        QCOMPARE(ShownImage(SamplingViewForm->SamplingDataGraph).size(), QSize(800, 320));
        QTest::mouseClick(SamplingViewForm->GraphSaveButton, Qt::LeftButton);
        QVERIFY(recorder->dialogs.empty());
        QVERIFY(recorder->messages.empty());
    }

    // The saved PNG holds the pixels shown; the folder is remembered in this
    // window; a cancel changes nothing.
    void saveGraph() {
        const std::vector<double> values = Ramp(100);
        Lend(values, 0.01, "RMS");
        const std::string first = dir->File("first.png");
        recorder->answers = {first, std::nullopt};
        QTest::mouseClick(SamplingViewForm->GraphSaveButton, Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), std::size_t{1});
        const TFileDialogRequest& request = recorder->dialogs[0];
        QCOMPARE(request.kind, TFileDialogKind::Save);
        QCOMPARE(request.filter, std::string("PNGファイル(*.png)"));
        QCOMPARE(request.defaultSuffix, std::string("png"));
        QCOMPARE(request.initialDir, DocumentsDir());
        QCOMPARE(request.owner, static_cast<QWidget*>(SamplingViewForm));
        QVERIFY(recorder->messages.empty());
        QCOMPARE(SamplingViewForm->imageDir, dir->Path());
        QImage saved(QString::fromStdString(first));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB888),
                 ShownImage(SamplingViewForm->SamplingDataGraph));

        QTest::mouseClick(SamplingViewForm->GraphSaveButton, Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), std::size_t{2});
        QCOMPARE(recorder->dialogs[1].initialDir, dir->Path());
        QCOMPARE(SamplingViewForm->imageDir, dir->Path());
        QVERIFY2(MainForm->imageDir == DocumentsDir(), "only this window's copy moves");
    }

    void failedSaveIsReportedAndKeepsTheFolder() {
        const std::vector<double> values = Ramp(50);
        Lend(values, 0.025, "Hz");
        recorder->answers = {dir->File("no such folder/graph.png")};
        QTest::mouseClick(SamplingViewForm->GraphSaveButton, Qt::LeftButton);
        // The reason follows the message on a second line.
        QCOMPARE(recorder->Texts(), std::vector<std::string>{
                                        "ファイルの保存に失敗しました。\ncannot create a temporary "
                                        "file in " +
                                        dir->File("no such folder") + ": " + ErrnoMessage(ENOENT)});
        QCOMPARE(recorder->messages[0].kind, TMessageKind::Error);
        QCOMPARE(recorder->messages[0].owner, Owner(SamplingViewForm));
        QCOMPARE(SamplingViewForm->imageDir, DocumentsDir());
    }

    // The real modal showing: centred over the main window, Enter presses
    // the close button, which ends it with the OK result.
    void showModalCentresAndClosesWithEnter() {
        SetModalRunner(nullptr);
        const std::vector<double> values = Ramp(10);
        Lend(values, 0.025, "Hz");
        QWidget* modal = nullptr;
        QPoint mine;
        QPoint owner;
        QTimer::singleShot(0, [&] {
            modal = QApplication::activeModalWidget();
            mine = SamplingViewForm->frameGeometry().center();
            owner = MainForm->frameGeometry().center();
            QTest::keyClick(SamplingViewForm, Qt::Key_Return);
        });
        // Should Enter fail to close it, the test still ends.
        QTimer::singleShot(5000, SamplingViewForm, &QDialog::reject);
        QCOMPARE(SamplingViewForm->ShowModal(MainForm), int(QDialog::Accepted));
        QCOMPARE(modal, SamplingViewForm);
        QVERIFY(qAbs(mine.x() - owner.x()) <= 1);
        QVERIFY(qAbs(mine.y() - owner.y()) <= 1);
        QVERIFY(!SamplingViewForm->isVisible());
    }
};

ZM_GUI_TEST_MAIN(SamplingViewTest)
#include "samplingview_test.moc"
