#pragma once
// The thin layer over Qt's widgets that gives the windows exactly the
// behaviour they rely on: fixed pixel geometry in the window's coordinates,
// spin edits that a run reads only within range, track bars whose change
// handler runs only on an actual change, radio groups that report only the
// user's selections, a selection-only drop-down list, Enter for the default
// button, and hints with their delays.

#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QApplication;
class QButtonGroup;
class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QKeySequence;
class QPoint;
class QRect;
class QScrollArea;
class QSize;
class QSpinBox;
class QWidget;
class TBitmap;

// Hints show 200 ms after the pointer comes to rest and stay 10000 ms.
constexpr int kHintDelayMs = 200;
constexpr int kHintDisplayMs = 10000;

// The user-interface font of every window: a Japanese Gothic at 11 pixels,
// the size of the 8 point Latin face the layout was drawn for.
QFont UiFont();

// Installs the look of the windows on the application: the font, the
// program's icon, and a Fusion-based style whose hints wake after
// kHintDelayMs (each hint is given kHintDisplayMs when it is set).
void InstallApplicationLook(QApplication& app);

// The program's icon, drawn as zittermark.svg shows it.
QIcon AppIcon();

// The hint timing the application uses, as the style reports it.
int HintDelayMs();

QString Text(const std::string& utf8);
std::string Utf8(const QString& text);

// A copy of a graph bitmap for display.
QImage ToImage(const TBitmap& bitmap);

// The density a graph is drawn at for `widget`: its device pixels per
// logical pixel.
double GraphScale(const QWidget* widget);

// Shows a graph bitmap drawn at `scale` in `image`, sized to `size` logical
// pixels, so each device pixel of the screen shows one of the bitmap.
void ShowGraph(QLabel* image, const TBitmap& bitmap, const QSize& size, double scale);

// Runs an event handler. An exception escaping it is shown in an error box
// (no owner) with its message, empty for exceptions that carry none, and the
// program goes on; the handler's own guards (the hourglass) have been undone
// by then.
void RunHandler(const std::function<void()>& handler);

// A slot that runs `handler` through RunHandler.
template <class F> auto Handler(F handler) {
    return [handler]() { RunHandler(handler); };
}

// A key combination that runs `handler` (through RunHandler) while `window`
// is the active window, whichever of its controls has the focus.
void AddShortcut(QWidget* window, const QKeySequence& keys, const std::function<void()>& handler);

// A window's caption followed by the name of the file it shows, without the
// folder: "caption — name"; the caption alone for an empty path.
QString CaptionWithFile(const std::string& caption, const std::string& path);

// Where a window of `outer` size goes beside `owner` (both frames included)
// within `area`: to its right, else to its left, top edges level. Where
// neither side has room, the owner moves away from the side with more room
// by what that side lacks, as far as the area allows, and the window goes
// there: side by side where the area is wide enough for both, else
// overlapping the owner as little as the area allows. The window is always
// brought inside the area as far as it fits.
struct TBesidePlace {
    QPoint owner;  // the owner's new top-left corner (its old one if it stays)
    QPoint window; // the window's top-left corner
};
TBesidePlace PlaceBeside(const QRect& owner, const QSize& outer, const QRect& area);

// Fits a fixed-size window into `area` (its client size there): when it
// fits, nothing changes, so the designed geometry stays exact. Otherwise its
// controls move, as they stand, into a scroll box that fills the window, and
// the window shrinks to the area where it lacks room, so every control can
// still be reached. Returns the scroll box, or null when the window fits or
// was fitted before.
QScrollArea* FitIntoArea(QWidget* window, const QSize& area);

// The client size a window has on its screen: the available area less its
// frame (a title bar's worth when the frame is not known yet); invalid
// without a screen.
QSize ScreenClientArea(const QWidget* window);

// FitIntoArea with the available area of the window's screen less its frame
// (a title bar's worth when the frame is not known yet).
void FitIntoScreen(QWidget* window);

// A plain multi-line text as a rich-text tooltip: lines kept as they are,
// "β_DFA" written as β with a lowered DFA.
QString RichToolTip(const std::string& plain);

// Places a widget at left, top with width x height, relative to its parent.
void Place(QWidget* widget, int left, int top, int width, int height);

// Which edge of a label stays at its designed place when the label is sized
// to its text.
enum class TLabelAnchor { Left, Right };

// A label sized to its text. With Right, the label ends at left + designWidth
// whatever its text's width.
QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& text, int left, int top,
                  TLabelAnchor anchor = TLabelAnchor::Left, int designWidth = 0);

// Sets a label's text and sizes the label to it, keeping its left edge.
void SetLabelText(QLabel* label, const std::string& text);

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const std::string& title, int left,
                        int top, int width, int height);

// Lowers the pixel size of the widget's font (not below 8) until `text` is
// at most `room` pixels wide; the font stays as it is where the text fits.
void ShrinkFontToFit(QWidget* widget, const QString& text, int room);

// A push button. Buttons take Enter themselves when they have the focus;
// a caption too wide for the button is drawn a little smaller.
QPushButton* MakeButton(QWidget* parent, const char* name, const std::string& caption, int left,
                        int top, int width, int height, const std::string& hint = {});

// An integer spin edit. A typed value outside the range goes to the nearer
// end when the box interprets its text (focus loss, Enter, SpinValue).
QSpinBox* MakeSpinEdit(QWidget* parent, const char* name, int left, int top, int width, int height,
                       int minimum, int maximum, int value, int increment = 1);

// The value a run uses: the box's text as typed (so a number typed and
// confirmed at once with Enter counts), held within the range; a text that
// is not a whole number reads as the minimum. The box then shows that value.
int SpinValue(QSpinBox* box);

// A horizontal track bar of -50 ... 0 with a tick every 5 below it, a page
// step of 5 and a line step of 1. Its valueChanged signal fires only when the
// position actually changes, whether the user or the code moved it.
QSlider* MakeTrackBar(QWidget* parent, const char* name, int left, int top, int width, int height,
                      const std::string& hint = {});

// Sets a track bar's position without running its change handler.
void SetTrackBarQuietly(QSlider* bar, int position);

// A selection-only drop-down list.
QComboBox* MakeDropDownList(QWidget* parent, const char* name,
                            const std::vector<std::string>& items, int left, int top, int width,
                            int height, const std::string& hint = {});

// A radio group: a captioned box of radio buttons laid out in columns, one
// selected item (an item's text too wide for its cell drawn a little
// smaller). Click is emitted only when the user selects an item (by
// mouse or keyboard), never for SetItemIndex. The Tab key stops once in the
// group, at the selected item; the arrow keys select within the group.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(QWidget* parent, const char* name, const std::string& caption,
                const std::vector<std::string>& items, int columns, int left, int top, int width,
                int height, const std::string& hint = {});

    // The height a group of `items` items at `height` needs for `more`
    // items below them, its first items keeping their places.
    static int HeightFor(int height, int items, int more);

    int ItemIndex() const;
    // Selects an item (or none for -1) without emitting Click.
    void SetItemIndex(int index);
    int Count() const;
    QRadioButton* Button(int index) const;

signals:
    void Click(int index);

private:
    void UpdateTabStop();

    QButtonGroup* group;
    std::vector<QRadioButton*> buttons;
};

// For windows that are not dialogs: presses `defaultButton` when `event` is
// an unmodified Enter or Return that the focused control left unused.
// Returns true when it pressed the button (the event is then accepted).
bool PressDefaultButton(QKeyEvent* event, QPushButton* defaultButton);
