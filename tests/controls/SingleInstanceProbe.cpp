// A small program for the single-copy tests: it creates the guard with a
// minimised window as its owner, as the main window does, says "started"
// and serves events until its standard input closes. It says "raised" once
// its window is no longer minimised and is active. Exit code 0: the test
// ended it; 3: the guard ended it.

#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

#include "controls/SingleInstance.h"

namespace {

void Say(const char* line) {
  std::puts(line);
  std::fflush(stdout);
}

class Window : public QWidget {
 protected:
  void changeEvent(QEvent* event) override {
    QWidget::changeEvent(event);
    if (!raised_ && !(windowState() & Qt::WindowMinimized) && isActiveWindow()) {
      raised_ = true;
      Say("raised");
    }
  }

 private:
  bool raised_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  bool endedByTest = false;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[64];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) > 0)
      return;
    endedByTest = true;
    input.setEnabled(false);
    QCoreApplication::quit();
  });
  Window window;
  window.setWindowState(Qt::WindowMinimized);
  new TSingleInstance(&window);
  window.show();
  Say("started");
  app.exec();
  return endedByTest ? 0 : 3;
}
