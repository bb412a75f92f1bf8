// The thin control layer: radio groups, track bars, spin edits, the default
// button of plain windows, hints, the hourglass and the bitmap copy.

#include <QFileDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolTip>
#include <memory>

#include "base/busycursor.h"
#include "graph/canvas.h"
#include "gui/controls.h"
#include "tests/gui/guitest.h"

class ControlsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;

private slots:
    void init() {
        window = std::make_unique<QWidget>();
        window->resize(600, 400);
    }

    void cleanup() { window.reset(); }

    // Items fill the box below the caption, column by column, in cells of
    // equal size.
    // Beside the owner on the side that has room, top edges level, and
    // always inside the screen area. Where neither side has room the owner
    // makes it: side by side where both fit, else the least overlap.
    void placeBeside_data() {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QPoint>("ownerPlace");
        QTest::newRow("right") << QRect(708, 353, 504, 374) << QRect(0, 0, 1920, 1080)
                               << QPoint(1212, 353) << QPoint(708, 353);
        QTest::newRow("left") << QRect(1300, 100, 504, 374) << QRect(0, 0, 1920, 1080)
                              << QPoint(673, 100) << QPoint(1300, 100);
        QTest::newRow("neither-more-right") << QRect(500, 313, 504, 374) << QRect(0, 0, 1600, 1000)
                                            << QPoint(973, 299) << QPoint(469, 313);
        QTest::newRow("neither-more-left")
            << QRect(600, 0, 504, 374) << QRect(0, 0, 1600, 1000) << QPoint(0, 0) << QPoint(627, 0);
        QTest::newRow("taller-than-area") << QRect(100, 50, 504, 374) << QRect(0, 30, 1920, 600)
                                          << QPoint(604, 30) << QPoint(100, 50);
        QTest::newRow("no-room") << QRect(148, 47, 506, 400) << QRect(0, 0, 800, 468)
                                 << QPoint(0, 0) << QPoint(294, 47);
    }
    void placeBeside() {
        QFETCH(QRect, owner);
        QFETCH(QRect, area);
        QFETCH(QPoint, place);
        QFETCH(QPoint, ownerPlace);
        const QSize outer(627, 701);
        const TBesidePlace beside = PlaceBeside(owner, outer, area);
        QCOMPARE(beside.window, place);
        QCOMPARE(beside.owner, ownerPlace);
        const QRect window(beside.window, outer);
        const QRect moved(beside.owner, owner.size());
        const int overlap = window.intersected(moved).width();
        const int least = std::max(0, owner.width() + outer.width() - area.width());
        QCOMPARE(overlap, least);
    }

    // A caption wider than its control (a face with wider glyphs than the
    // layout's) is drawn smaller until it fits; one that fits keeps the
    // window's font.
    void captionsShrinkToFit_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("fits") << "閉じる" << 87 << false;
        QTest::newRow("too-wide") << "スペクトルウィンドウを表示する" << 126 << true;
        QTest::newRow("hopeless") << "スペクトルウィンドウを表示する" << 20 << true;
    }
    void captionsShrinkToFit() {
        QFETCH(QString, caption);
        QFETCH(int, width);
        QFETCH(bool, shrinks);
        window->setFont(UiFont());
        QPushButton* button = MakeButton(window.get(), "Button", Utf8(caption), 0, 0, width, 25);
        TRadioGroup group(window.get(), "Group", "描画方法", {"点", Utf8(caption)}, 2, 0, 40,
                          2 * width + 30, 58);
        for (QWidget* control :
             {static_cast<QWidget*>(button), static_cast<QWidget*>(group.Button(1))}) {
            QCOMPARE(control->font().pixelSize() < UiFont().pixelSize(), shrinks);
            QVERIFY(control->font().pixelSize() >= 8);
        }
        QCOMPARE(group.Button(0)->font().pixelSize(), UiFont().pixelSize());
        if (width > 20) {
            QCOMPARE(Misfits(window.get()), QStringList());
        }
    }

    void radioGroupLayout_data() {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<QRect>>("cells");
        QTest::newRow("3x1-in-489x41")
            << 3 << 3 << QSize(489, 41)
            << QList<QRect>{{8, 14, 159, 23}, {167, 14, 159, 23}, {326, 14, 159, 23}};
        QTest::newRow("2-in-113x78")
            << 2 << 1 << QSize(113, 78) << QList<QRect>{{8, 14, 103, 30}, {8, 44, 103, 30}};
        QTest::newRow("3-in-2-columns-164x58")
            << 3 << 2 << QSize(164, 58)
            << QList<QRect>{{8, 14, 77, 20}, {8, 34, 77, 20}, {85, 14, 77, 20}};
    }

    void radioGroupLayout() {
        QFETCH(int, items);
        QFETCH(int, columns);
        QFETCH(QSize, size);
        QFETCH(QList<QRect>, cells);
        std::vector<std::string> texts;
        for (int i = 0; i < items; ++i) {
            texts.push_back("item");
        }
        TRadioGroup group(window.get(), "Group", "caption", texts, columns, 0, 0, size.width(),
                          size.height());
        for (int i = 0; i < items; ++i) {
            QCOMPARE(group.Button(i)->geometry(), cells[i]);
        }
    }

    // Click comes from the user only, whether by mouse anywhere in the
    // item's cell or by the arrow keys; setting the index is silent.
    void radioGroupReportsUserSelectionsOnly() {
        TRadioGroup group(window.get(), "Group", "caption", {"a", "b", "c"}, 3, 0, 0, 489, 41);
        QSignalSpy clicks(&group, &TRadioGroup::Click);
        group.SetItemIndex(1);
        QCOMPARE(group.ItemIndex(), 1);
        QCOMPARE(clicks.count(), 0);
        QTest::mouseClick(group.Button(2), Qt::LeftButton, {}, QPoint(150, 11));
        QCOMPARE(group.ItemIndex(), 2);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.takeFirst().at(0).toInt(), 2);
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        group.Button(2)->setFocus();
        QTest::keyClick(group.Button(2), Qt::Key_Left);
        QCOMPARE(group.ItemIndex(), 1);
        QCOMPARE(clicks.count(), 1);
        group.SetItemIndex(-1);
        QCOMPARE(group.ItemIndex(), -1);
    }

    // The change handler runs only on an actual change; positions outside
    // the range are brought into it.
    void trackBarChangesOnlyOnChange() {
        QSlider* bar = MakeTrackBar(window.get(), "Bar", 3, 40, 158, 33, "hint");
        QSignalSpy changes(bar, &QSlider::valueChanged);
        bar->setValue(bar->value());
        QCOMPARE(changes.count(), 0);
        bar->setValue(-1);
        bar->setValue(-1);
        QCOMPARE(changes.count(), 1);
        bar->setValue(-60);
        QCOMPARE(bar->value(), -50);
        bar->setValue(-50);
        QCOMPARE(changes.count(), 2);
        SetTrackBarQuietly(bar, -20);
        QCOMPARE(bar->value(), -20);
        QCOMPARE(changes.count(), 2);
        QTest::keyClick(bar, Qt::Key_PageUp);
        QCOMPARE(bar->value(), -15);
        QCOMPARE(changes.count(), 3);
    }

    void spinValue_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("value");
        QTest::newRow("below-minimum") << 5 << 1000 << "1" << 5;
        QTest::newRow("inside") << 5 << 1000 << "999" << 999;
        QTest::newRow("empty-reads-minimum") << 5 << 1000 << "" << 5;
        QTest::newRow("lone-minus") << -10 << 10 << "-" << -10;
        QTest::newRow("negative-inside") << -32768 << 32767 << "-32768" << -32768;
        QTest::newRow("cannot-exceed-maximum") << 100 << 3000 << "30000" << 3000;
    }

    // What a run reads of a typed value that was never confirmed.
    void spinValue() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(QString, typed);
        QFETCH(int, value);
        QSpinBox* box = MakeSpinEdit(window.get(), "Box", 0, 0, 57, 22, minimum, maximum,
                                     (minimum + maximum) / 2);
        QLineEdit* edit = box->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(box, typed);
        QCOMPARE(SpinValue(box), value);
        QCOMPARE(box->value(), value);
        QCOMPARE(edit->text(), QString::number(value));
        box->setValue(maximum + 1);
        QCOMPARE(SpinValue(box), maximum);
    }

    void defaultButtonTakesUnusedEnter_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("pressed");
        QTest::newRow("return") << int(Qt::Key_Return) << 0 << true << true;
        QTest::newRow("keypad-enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << true;
        QTest::newRow("shift-return")
            << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true << false;
        QTest::newRow("space") << int(Qt::Key_Space) << 0 << true << false;
        QTest::newRow("disabled") << int(Qt::Key_Return) << 0 << false << false;
    }

    void defaultButtonTakesUnusedEnter() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, enabled);
        QFETCH(bool, pressed);
        QPushButton* button = MakeButton(window.get(), "Default", "OK", 0, 0, 80, 25);
        button->setEnabled(enabled);
        window->show();
        QSignalSpy clicks(button, &QPushButton::clicked);
        QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(PressDefaultButton(&event, button), pressed);
        QCOMPARE(clicks.count(), pressed ? 1 : 0);
    }

    // A child without a hint shows its group's; hints carry their display
    // time.
    void hintsOfGroupsReachTheirItems() {
        TRadioGroup group(window.get(), "Group", "caption", {"a", "b"}, 2, 0, 0, 200, 41,
                          "グループのヒント");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(group.toolTipDuration(), kHintDisplayMs);
        QRadioButton* item = group.Button(1);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), item->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(item, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString("グループのヒント"));
        QToolTip::hideText();
    }

    void hourglassOfTheDesktop() {
        InstallDesktopHooks(*qApp);
        QVERIFY(!QApplication::windowIcon().pixmap(64, 64).isNull());
        {
            TBusyCursor outer;
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            { TBusyCursor inner; }
            QVERIFY(QApplication::overrideCursor());
        }
        QVERIFY(QApplication::overrideCursor() == nullptr);
        SetBusyHook(nullptr);
        SetMessagePresenter(nullptr);
    }

    // The Qt dialog behind the chooser gets what the caller asked for: the
    // file must exist to be opened, an existing file is confirmed before it
    // is overwritten.
    void qtFileDialogIsSetUpAsAsked_data() {
        QTest::addColumn<bool>("open");
        QTest::newRow("open") << true;
        QTest::newRow("save") << false;
    }

    void qtFileDialogIsSetUpAsAsked() {
        QFETCH(bool, open);
        TTempDir dir;
        struct {
            QFileDialog::FileMode mode = QFileDialog::AnyFile;
            QFileDialog::AcceptMode accept = QFileDialog::AcceptOpen;
            QStringList filters;
            QString suffix;
            QString folder;
            bool confirms = false;
            QWidget* parent = nullptr;
        } seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            seen = {dialog->fileMode(),
                    dialog->acceptMode(),
                    dialog->nameFilters(),
                    dialog->defaultSuffix(),
                    dialog->directory().absolutePath(),
                    !dialog->testOption(QFileDialog::DontConfirmOverwrite),
                    dialog->parentWidget()};
            dialog->reject();
        });
        const TFileDialogRequest request{open ? TFileDialogKind::Open : TFileDialogKind::Save,
                                         "WAVファイル(*.wav);;FLACファイル(*.flac)",
                                         "wav",
                                         dir.Path(),
                                         "",
                                         window.get()};
        QCOMPARE(ChooseWithQtDialog(request), std::optional<std::string>());
        QCOMPARE(seen.mode, open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        QCOMPARE(seen.accept, open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        // Filters separated by ";;" are offered one by one, the first chosen.
        QCOMPARE(seen.filters, (QStringList{"WAVファイル(*.wav)", "FLACファイル(*.flac)"}));
        QCOMPARE(seen.suffix, QString("wav"));
        QCOMPARE(seen.folder, QString::fromStdString(dir.Path()));
        QVERIFY(seen.confirms);
        QCOMPARE(seen.parent, window.get());
    }

    // The copy shown keeps the bitmap's colours: 0x00BBGGRR becomes RGB.
    void bitmapCopyKeepsColours() {
        TBitmap bitmap(3, 2);
        bitmap.SetPixel(0, 0, 0x0000FF);
        bitmap.SetPixel(1, 0, 0x00FF00);
        bitmap.SetPixel(2, 1, 0xFF0000);
        const QImage image = ToImage(bitmap);
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(image.pixel(2, 1), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(0, 1), qRgb(bitmap.Rgb()[9], bitmap.Rgb()[10], bitmap.Rgb()[11]));
    }
};

ZM_GUI_TEST_MAIN(ControlsTest)
#include "controls_test.moc"
