#include "gui/controls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <exception>
#include <optional>

#include "analysis/spectrumstate.h"
#include "base/messagebox.h"
#include "base/textformat.h"
#include "graph/canvas.h"

namespace {

// Labels, and the caption line of a radio group, are at least as high as a
// line of the 8 point face the layout was drawn for.
constexpr int kLabelHeight = 13;

// Fusion everywhere, so the windows look and measure the same on every
// desktop, with the hint delay of the windows.
class TWindowStyle : public QProxyStyle {
public:
    TWindowStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) {
            return kHintDelayMs;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // The text of a radio item starts 4 pixels after its circle, as the
    // native items do, so the longest item fits its cell.
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_RadioButtonLabelSpacing) {
            return 4;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    // A group box's caption sits in its frame line, 8 pixels from the left.
    // Spin edits keep narrow buttons, so a value as wide as -32768 shows in
    // full in a box 57 pixels wide.
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
        if (control == CC_SpinBox && spin && spin->buttonSymbols != QAbstractSpinBox::NoButtons) {
            constexpr int kButtonWidth = 10;
            const int frame = spin->frame ? 2 : 0;
            const QRect inside = option->rect.adjusted(frame, frame, -frame, -frame);
            const int buttonLeft = inside.right() - kButtonWidth + 1;
            const int half = inside.height() / 2;
            switch (part) {
            case SC_SpinBoxEditField:
                return QRect(inside.left(), inside.top(), inside.width() - kButtonWidth,
                             inside.height());
            case SC_SpinBoxUp:
                return QRect(buttonLeft, inside.top(), kButtonWidth, half);
            case SC_SpinBoxDown:
                return QRect(buttonLeft, inside.top() + half, kButtonWidth, inside.height() - half);
            default:
                break;
            }
        }
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && part == SC_GroupBoxLabel && box && !box->text.isEmpty()) {
            const QFontMetrics& metrics = box->fontMetrics;
            return QRect(option->rect.left() + 8, option->rect.top(),
                         metrics.horizontalAdvance(box->text) + 2, metrics.height());
        }
        return QProxyStyle::subControlRect(control, option, part, widget);
    }

    // The frame of a group box is an etched line through the middle of the
    // caption, stopping short of it.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        if (box->subControls & SC_GroupBoxFrame) {
            const QRect caption =
                box->text.isEmpty() ? QRect()
                                    : subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget)
                                          .adjusted(-2, 0, 2, 0);
            const int top = box->text.isEmpty() ? 0 : box->fontMetrics.height() / 2;
            const QRect frame = option->rect.adjusted(0, top, -1, -1);
            painter->save();
            painter->setClipRegion(QRegion(option->rect) - caption);
            painter->setPen(option->palette.color(QPalette::Mid));
            painter->drawRect(frame.adjusted(0, 0, -1, -1));
            painter->setPen(option->palette.color(QPalette::Light));
            painter->drawRect(frame.adjusted(1, 1, 0, 0));
            painter->restore();
        }
        QStyleOptionGroupBox rest(*box);
        rest.subControls &= ~SC_GroupBoxFrame;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
    }
};

// A radio button that, like the native ones, is hit anywhere in its
// rectangle, not only on its circle and text.
class TGroupButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

void SetHint(QWidget* widget, const std::string& hint) {
    if (!hint.empty()) {
        widget->setToolTip(Text(hint));
        widget->setToolTipDuration(kHintDisplayMs);
    }
}

} // namespace

void AddShortcut(QWidget* window, const QKeySequence& keys, const std::function<void()>& handler) {
    auto* shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, Handler(handler));
}

QString CaptionWithFile(const std::string& caption, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return Text(caption);
    }
    return Text(caption + " — " + name);
}

// The height of a title bar, for a window whose frame is not known yet.
constexpr int kAssumedTitleBar = 32;

TBesidePlace PlaceBeside(const QRect& placed, const QSize& outer, const QRect& area) {
    QRect owner = placed;
    int rightRoom = area.right() - owner.right();
    int leftRoom = owner.left() - area.left();
    if (outer.width() > rightRoom && outer.width() > leftRoom) {
        if (rightRoom >= leftRoom) {
            owner.moveLeft(std::max(area.left(), owner.left() - (outer.width() - rightRoom)));
        } else {
            owner.moveLeft(std::min(area.right() + 1 - owner.width(),
                                    owner.left() + (outer.width() - leftRoom)));
        }
        rightRoom = area.right() - owner.right();
        leftRoom = owner.left() - area.left();
    }
    int x;
    if (outer.width() <= rightRoom) {
        x = owner.right() + 1;
    } else if (outer.width() <= leftRoom) {
        x = owner.left() - outer.width();
    } else {
        x = rightRoom >= leftRoom ? owner.right() + 1 : owner.left() - outer.width();
    }
    x = std::max(area.left(), std::min(x, area.right() + 1 - outer.width()));
    int y = std::max(area.top(), std::min(owner.top(), area.bottom() + 1 - outer.height()));
    return TBesidePlace{owner.topLeft(), QPoint(x, y)};
}

namespace {

// A control Tab stops at in `window`: not a part of a compound control (the
// text of a spin edit, the view of a scroll box), which moves with it.
bool IsTabStop(const QWidget* widget, const QWidget* window) {
    if (!(widget->focusPolicy() & Qt::TabFocus)) {
        return false;
    }
    for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up) ||
            qobject_cast<const QAbstractScrollArea*>(up)) {
            return false;
        }
    }
    return true;
}

} // namespace

QScrollArea* FitIntoArea(QWidget* window, const QSize& area) {
    const QSize designed = window->size();
    if (window->property("zmFitted").toBool() ||
        (designed.width() <= area.width() && designed.height() <= area.height())) {
        return nullptr;
    }
    window->setProperty("zmFitted", true);
    // A widget that changes parent leaves the focus chain where it stood, so
    // the chain is taken down before the move and put back after it.
    QList<QWidget*> chain;
    for (QWidget* widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain()) {
        if (IsTabStop(widget, window)) {
            chain << widget;
        }
    }
    auto* content = new QWidget;
    content->setObjectName(window->objectName() + "Content");
    content->setFixedSize(designed);
    const QList<QWidget*> children =
        window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow()) {
            continue;
        }
        const bool hidden = child->isHidden();
        const QRect place = child->geometry();
        child->setParent(content);
        child->setGeometry(place);
        child->setVisible(!hidden);
    }
    auto* box = new QScrollArea(window);
    box->setObjectName(window->objectName() + "ScrollBox");
    box->setFrameStyle(QFrame::NoFrame);
    box->setWidgetResizable(false);
    box->setWidget(content);
    // The box scrolls to the control Tab moves to; it is no stop itself.
    box->setFocusPolicy(Qt::NoFocus);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    // The scroll bars take room of their own: the window gives up the
    // dimension it lacks and keeps the other, plus a bar's width.
    const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize fitted = designed;
    if (designed.width() > area.width()) {
        fitted.setWidth(area.width());
        fitted.setHeight(std::min(area.height(), designed.height() + bar));
    }
    if (fitted.height() > area.height() || designed.height() > area.height()) {
        fitted.setHeight(area.height());
        fitted.setWidth(std::min(area.width(), std::max(fitted.width(), designed.width() + bar)));
    }
    window->setFixedSize(fitted);
    box->setGeometry(0, 0, fitted.width(), fitted.height());
    box->show();
    return box;
}

QSize ScreenClientArea(const QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) {
        return QSize();
    }
    QSize frame = window->frameGeometry().size() - window->size();
    if (frame.width() <= 0 && frame.height() <= 0) {
        frame = QSize(0, kAssumedTitleBar);
    }
    return screen->availableGeometry().size() - frame;
}

void FitIntoScreen(QWidget* window) {
    const QSize area = ScreenClientArea(window);
    if (area.isValid()) {
        FitIntoArea(window, area);
    }
}

QString RichToolTip(const std::string& plain) {
    QString html = Text(plain).toHtmlEscaped();
    html.replace("β_DFA", "β<sub>DFA</sub>");
    html.replace("\n", "<br>");
    return "<p style=\"white-space:pre\">" + html + "</p>";
}

QFont UiFont() {
    QFont font;
    font.setFamilies({"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

void InstallApplicationLook(QApplication& app) {
    app.setStyle(new TWindowStyle);
    app.setFont(UiFont());
    app.setWindowIcon(AppIcon());
}

QIcon AppIcon() {
    // The picture of zittermark.svg: falling bars on log-log axes with the
    // regression line across them.
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x3a, 0x5a, 0x8c), 3));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x41, 0x69, 0xe1));
    const int tops[] = {14, 20, 27, 31, 38, 43};
    for (int i = 0; i < 6; ++i) {
        painter.drawRect(QRect(11 + 7 * i, tops[i], 6, 52 - tops[i]));
    }
    painter.setPen(QPen(Qt::red, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10, 13), QPointF(54, 47));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawPolyline(QPolygonF({QPointF(10, 10), QPointF(10, 52), QPointF(54, 52)}));
    painter.end();
    return QIcon(picture);
}

int HintDelayMs() {
    return QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay);
}

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QImage ToImage(const TBitmap& bitmap) {
    const QImage view(bitmap.Rgb().data(), bitmap.Width(), bitmap.Height(), bitmap.Width() * 3,
                      QImage::Format_RGB888);
    return view.copy();
}

double GraphScale(const QWidget* widget) {
    return widget->devicePixelRatioF();
}

void ShowGraph(QLabel* image, const TBitmap& bitmap, const QSize& size, double scale) {
    QPixmap pixmap = QPixmap::fromImage(ToImage(bitmap));
    pixmap.setDevicePixelRatio(scale);
    image->setPixmap(pixmap);
    image->resize(size);
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(error.what());
    } catch (...) {
        ShowErrorBox("");
    }
}

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& text, int left, int top,
                  TLabelAnchor anchor, int designWidth) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(UiFont());
    label->setText(Text(text));
    QSize size = label->sizeHint();
    int width = size.width();
    int height = std::max(size.height(), kLabelHeight);
    int x = anchor == TLabelAnchor::Right ? left + designWidth - width : left;
    Place(label, x, top, width, height);
    return label;
}

void SetLabelText(QLabel* label, const std::string& text) {
    label->setText(Text(text));
    QSize size = label->sizeHint();
    label->resize(size.width(), std::max(size.height(), kLabelHeight));
}

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const std::string& title, int left,
                        int top, int width, int height) {
    auto* box = new QGroupBox(Text(title), parent);
    box->setObjectName(name);
    Place(box, left, top, width, height);
    return box;
}

void ShrinkFontToFit(QWidget* widget, const QString& text, int room) {
    // A face whose glyphs are wider than the one the layout was drawn for
    // would clip the text; a pixel or two less keeps it whole.
    constexpr int kSmallestPixels = 8;
    QFont font = widget->font();
    const int designed = font.pixelSize();
    while (font.pixelSize() > kSmallestPixels &&
           QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    if (font.pixelSize() != designed) {
        widget->setFont(font);
    }
}

QPushButton* MakeButton(QWidget* parent, const char* name, const std::string& caption, int left,
                        int top, int width, int height, const std::string& hint) {
    auto* button = new QPushButton(Text(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(true);
    Place(button, left, top, width, height);
    // The text keeps four pixels from each edge.
    ShrinkFontToFit(button, button->text().remove('&'), width - 8);
    SetHint(button, hint);
    return button;
}

QSpinBox* MakeSpinEdit(QWidget* parent, const char* name, int left, int top, int width, int height,
                       int minimum, int maximum, int value, int increment) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    // Digits and the minus sign as the number texts everywhere else.
    box->setLocale(QLocale::c());
    box->setRange(minimum, maximum);
    box->setSingleStep(increment);
    box->setValue(value);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    Place(box, left, top, width, height);
    return box;
}

int SpinValue(QSpinBox* box) {
    // Read the text itself, as typed, rather than the last value the box
    // accepted: a number typed and confirmed at once counts.
    const std::optional<long long> typed = ParseInteger(Utf8(box->cleanText()));
    const long long value =
        typed ? std::clamp<long long>(*typed, box->minimum(), box->maximum()) : box->minimum();
    box->setValue(static_cast<int>(value));
    return static_cast<int>(value);
}

QSlider* MakeTrackBar(QWidget* parent, const char* name, int left, int top, int width, int height,
                      const std::string& hint) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(kBandBarMinimum, kBandBarMaximum);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(5);
    bar->setPageStep(5);
    bar->setSingleStep(1);
    Place(bar, left, top, width, height);
    SetHint(bar, hint);
    return bar;
}

void SetTrackBarQuietly(QSlider* bar, int position) {
    QSignalBlocker quiet(bar);
    bar->setValue(position);
}

QComboBox* MakeDropDownList(QWidget* parent, const char* name,
                            const std::vector<std::string>& items, int left, int top, int width,
                            int height, const std::string& hint) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    for (const std::string& item : items) {
        list->addItem(Text(item));
    }
    Place(list, left, top, width, height);
    SetHint(list, hint);
    return list;
}

TRadioGroup::TRadioGroup(QWidget* parent, const char* name, const std::string& caption,
                         const std::vector<std::string>& items, int columns, int left, int top,
                         int width, int height, const std::string& hint)
    : QGroupBox(Text(caption), parent), group(new QButtonGroup(this)) {
    setObjectName(name);
    setFont(UiFont());
    Place(this, left, top, width, height);
    SetHint(this, hint);
    group->setExclusive(true);

    // The items fill the box below its caption column by column, each cell
    // the same size, the spare height shared above and below.
    const int count = static_cast<int>(items.size());
    columns = std::max(columns, 1);
    const int perColumn = std::max((count + columns - 1) / columns, 1);
    const int textHeight = std::max(QFontMetrics(font()).height(), kLabelHeight);
    const int cellWidth = (width - 10) / columns;
    const int room = height - textHeight - 5;
    const int cellHeight = room / perColumn;
    const int topMargin = textHeight + 1 + (room % perColumn) / 2;
    for (int i = 0; i < count; ++i) {
        auto* button = new TGroupButton(Text(items[static_cast<std::size_t>(i)]), this);
        button->setObjectName(QString("%1Item%2").arg(name).arg(i));
        Place(button, (i / perColumn) * cellWidth + 8, (i % perColumn) * cellHeight + topMargin,
              cellWidth, cellHeight);
        const QStyle* style = button->style();
        ShrinkFontToFit(
            button, button->text(),
            cellWidth - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) -
                style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button));
        group->addButton(button, i);
        buttons.push_back(button);
    }
    // idClicked comes only from the user: a click, the space bar, or an
    // arrow key moving the selection. Setting the check from code is silent.
    connect(group, &QButtonGroup::idClicked, this, &TRadioGroup::Click);
    connect(group, &QButtonGroup::idToggled, this, [this] { UpdateTabStop(); });
    UpdateTabStop();
}

int TRadioGroup::HeightFor(int height, int items, int more) {
    // The same cells as the constructor's: room = items * cell + rest with
    // rest < items, so more cells of that size leave cell and rest, and
    // with them every first item's place, as they were.
    const int textHeight = std::max(QFontMetrics(UiFont()).height(), kLabelHeight);
    const int cell = (height - textHeight - 5) / std::max(items, 1);
    return height + std::max(more, 0) * cell;
}

void TRadioGroup::UpdateTabStop() {
    // The group is one stop of the Tab key, at its selected item (or its
    // first while none is selected); the arrow keys move within it.
    QAbstractButton* stop = group->checkedButton();
    if (stop == nullptr && !buttons.empty()) {
        stop = buttons.front();
    }
    for (QRadioButton* button : buttons) {
        button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

int TRadioGroup::ItemIndex() const {
    return group->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index >= 0 && index < Count()) {
        buttons[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    QAbstractButton* checked = group->checkedButton();
    if (checked) {
        group->setExclusive(false);
        checked->setChecked(false);
        group->setExclusive(true);
    }
    UpdateTabStop();
}

int TRadioGroup::Count() const {
    return static_cast<int>(buttons.size());
}

QRadioButton* TRadioGroup::Button(int index) const {
    return buttons.at(static_cast<std::size_t>(index));
}

bool PressDefaultButton(QKeyEvent* event, QPushButton* defaultButton) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || modifiers != Qt::NoModifier || defaultButton == nullptr ||
        !defaultButton->isVisible() || !defaultButton->isEnabled()) {
        return false;
    }
    event->accept();
    defaultButton->click();
    return true;
}
