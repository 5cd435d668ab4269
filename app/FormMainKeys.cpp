// The keyboard: shortcuts for the image buttons and the window, and the
// tooltips that name them. A shortcut runs its button's handler through
// the same guard as a click and does nothing while the button is disabled.

#include <QKeySequence>
#include <QShortcut>
#include <functional>
#include <initializer_list>

#include "app/FormMain.h"
#include "controls/ButtonImage.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "controls/TrackBar.h"

namespace {

// Bound to the window, so that the keys work wherever the focus is in it.
void Bind(TFormMain* form, const QKeySequence& keys, QWidget* button,
          std::function<void()> handler) {
  auto* shortcut = new QShortcut(keys, form);
  shortcut->setContext(Qt::WindowShortcut);
  varnholt::ConnectGuarded(shortcut, &QShortcut::activated, form, [button, handler] {
    if (!button || button->isEnabled())
      handler();
  });
}

}  // namespace

void TFormMain::BindKeyboard() {
  Bind(this, QKeySequence(Qt::CTRL | Qt::Key_O), ButtonRead,
       [this] { ButtonReadClick(ButtonRead); });
  Bind(this, QKeySequence(Qt::CTRL | Qt::Key_S), ButtonWrite,
       [this] { ButtonWriteClick(ButtonWrite); });
  Bind(this, QKeySequence(Qt::Key_F5), Varnholtlogo, [this] { VarnholtlogoClick(Varnholtlogo); });
  // The normal close path, so that the window state is written.
  Bind(this, QKeySequence(Qt::CTRL | Qt::Key_Q), nullptr, [this] { close(); });

  // Tab walks the rows top to bottom, each slider before its box, then the
  // left column; disabled and hidden controls are passed over.
  QWidget* previous = nullptr;
  auto chain = [&previous](QWidget* next) {
    if (previous)
      setTabOrder(previous, next);
    previous = next;
  };
  for (TPropertyRow& row : Rows()) {
    chain(row.TrackBar);
    chain(row.CheckBox);
  }
  for (QWidget* widget : std::initializer_list<QWidget*>{
           ButtonRead, ButtonWrite, ButtonWindows, ButtonDefaultValues, ComboBoxCamera,
           ComboBoxFrequency, ComboBoxFormat, BackButton})
    chain(widget);

  ButtonRead->setToolTip("Load camera settings from a file (Ctrl+O)");
  ButtonWrite->setToolTip("Save the camera settings to a file (Ctrl+S)");
  ButtonWindows->setToolTip("Open the camera driver's own settings dialog");
  ButtonDefaultValues->setToolTip("Reset every setting to the camera's factory default");
  Varnholtlogo->setToolTip("Refresh the camera list (F5)");
  ButtonTestCam->setToolTip("Test the camera with the selected resolution");
}
