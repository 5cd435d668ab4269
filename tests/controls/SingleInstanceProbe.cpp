// A small program for the single-copy tests: it creates the guard as the
// main window does, says "started" and serves events until its standard
// input closes. Exit code 0: the test ended it; 3: the guard ended it.

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "controls/SingleInstance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
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
  TSingleInstance guard;
  std::puts("started");
  std::fflush(stdout);
  app.exec();
  return endedByTest ? 0 : 3;
}
