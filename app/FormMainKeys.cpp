// The keyboard: shortcuts for the image buttons and the window, and the
// tooltips that name them. A shortcut runs its button's handler through
// the same guard as a click and does nothing while the button is disabled.

#include <QKeySequence>
#include <QShortcut>
#include <functional>

#include "app/FormMain.h"
#include "controls/ButtonImage.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"

namespace {

// Bound to the window, so that the keys work wherever the focus is in it.
void Bind(TFormMain* form, const QKeySequence& keys, QWidget* button,
          std::function<void()> handler) {
  auto* shortcut = new QShortcut(keys, form);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, form, [button, handler] {
    if (!button || button->isEnabled())
      varnholt::Guarded(handler);
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

  ButtonRead->setToolTip("Load camera settings from a file (Ctrl+O)");
  ButtonWrite->setToolTip("Save the camera settings to a file (Ctrl+S)");
  ButtonWindows->setToolTip("Open the camera driver's own settings dialog");
  ButtonDefaultValues->setToolTip("Reset every setting to the camera's factory default");
  Varnholtlogo->setToolTip("Refresh the camera list (F5)");
  ButtonTestCam->setToolTip("Test the camera with the selected resolution");
}
