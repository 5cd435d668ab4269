#include "app/WindowStyles.h"

#include <QString>

#include "controls/StyleBook.h"

namespace varnholt {
namespace {

// Scroll bars: a thin plate of the scheme's middle colour, no arrows. The
// lists and the trace pane take them with their own style.
constexpr char kScrollBar[] = R"(
QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }
QScrollBar::handle:vertical { background: @ColorMid@; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }
)";

constexpr char kBackButton[] = R"(
QPushButton { color: white; background: @ColorBright@; border: none; border-radius: 5px; }
QPushButton:hover { background: @ColorMid@; }
QPushButton:pressed { background: @ColorDark@; }
)";

constexpr char kTrace[] = R"(
QPlainTextEdit {
  background: @ColorDark@; color: white; border: 1px solid @ColorMid@;
  selection-background-color: @ColorBright@;
}
)";

// Lists drawn straight onto the window: no background, no frame, white
// entries, the selection a rounded plate of the scheme's middle colour.
constexpr char kTransparentListBox[] = R"(
QListWidget { background: transparent; border: none; outline: none; color: white; }
QListWidget::item { color: white; border-radius: 6px; padding-left: 4px; }
QListWidget::item:hover { background: @ColorDark@; }
QListWidget::item:selected { background: @ColorMid@; color: white; }
)";

// The dialog's buttons lie on white plates: the buttons themselves only
// draw their text and, when focused, a frame.
constexpr char kBottomToolBar[] = R"(
QLabel#Label1 { color: white; background: transparent; }
QPushButton { background: transparent; border: none; color: #18183E; }
QPushButton:hover { background: rgba(99, 96, 227, 40); }
QPushButton:pressed { background: rgba(99, 96, 227, 90); }
QPushButton:focus { border: 2px solid #6360E3; }
)";

}  // namespace

void FillMainStyleBook(TStyleBook& book) {
  // Sliders and check boxes are drawn in code (TControlStyle).
  book.SetCheckMark(":/artwork/check.svg");
  book.SetElement("transparentlistboxstyle", QString(kTransparentListBox) + kScrollBar);
  book.SetElement("scrollbarstyle", kScrollBar);
  book.SetElement("backbuttonstyle", kBackButton);
  book.SetElement("tracestyle", QString(kTrace) + kScrollBar);
}

void FillMessageStyleBook(TStyleBook& book) {
  book.SetElement("bottomtoolbar", kBottomToolBar);
}

}  // namespace varnholt
