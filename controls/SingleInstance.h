#pragma once

// TSingleInstance makes a program run as a single copy: when it is created
// it counts the running processes whose executable file name equals this
// program's exactly (letter case included; this process is one of them)
// and, when there are two or more, asks the application to end. Nothing is
// shown or raised either way; the application ends once its event loop
// starts, so the rest of start-up still runs.

#include <QObject>

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit TSingleInstance(QObject* AOwner = nullptr);

  // Running processes whose executable file name is name, exactly.
  static int CountRunning(const QString& name);
};
