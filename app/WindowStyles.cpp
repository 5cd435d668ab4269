#include "app/WindowStyles.h"

#include "controls/StyleBook.h"

namespace varnholt {
namespace {

// Sliders are drawn 1.3 times the toolkit's usual size: an 18-pixel knob on
// a 6-pixel groove.
constexpr char kMainWindow[] = R"(
QSlider { background: transparent; }
QSlider::groove:horizontal { height: 6px; border-radius: 3px; background: #D8D8E6; }
QSlider::sub-page:horizontal { height: 6px; border-radius: 3px; background: @ColorBright@; }
QSlider::add-page:horizontal { height: 6px; border-radius: 3px; background: #D8D8E6; }
QSlider::handle:horizontal {
  width: 14px; height: 14px; margin: -6px 0; border-radius: 9px;
  background: white; border: 2px solid @ColorBright@;
}
QSlider::handle:horizontal:hover { background: #ECEBFF; }
QSlider::handle:horizontal:focus { background: @ColorBright@; border-color: @ColorDarkest@; }
QSlider::sub-page:horizontal:disabled { background: #C4C4D2; }
QSlider::handle:horizontal:disabled { background: #F4F4F8; border-color: #C4C4D2; }

QCheckBox { spacing: 6px; background: transparent; }
QCheckBox::indicator {
  width: 12px; height: 12px; border-radius: 4px;
  border: 2px solid @ColorMid@; background: white;
}
QCheckBox::indicator:checked {
  background: @ColorBright@; border-color: @ColorBright@; image: url(:/artwork/check.svg);
}
QCheckBox::indicator:disabled { border-color: #C4C4D2; background: #F4F4F8; }
QCheckBox::indicator:checked:disabled { background: #C4C4D2; border-color: #C4C4D2; }

QPushButton#BackButton { color: white; background: @ColorBright@; border: none; border-radius: 5px; }
QPushButton#BackButton:hover { background: @ColorMid@; }
QPushButton#BackButton:pressed { background: @ColorDark@; }

QPlainTextEdit#Memo1 {
  background: @ColorDark@; color: white; border: 1px solid @ColorMid@;
  selection-background-color: @ColorBright@;
}

QScrollArea { background: transparent; border: none; }

QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }
QScrollBar::handle:vertical { background: @ColorMid@; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }
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
  book.SetWindowStyle(kMainWindow);
  book.SetElement("transparentlistboxstyle", kTransparentListBox);
}

void FillMessageStyleBook(TStyleBook& book) {
  book.SetElement("bottomtoolbar", kBottomToolBar);
}

}  // namespace varnholt
