#include "controls/SingleInstance.h"

#include "platform/ProcessNames.h"
#include "controls/QuitRequest.h"

TSingleInstance::TSingleInstance(QObject* AOwner) : QObject(AOwner) {
  const QString own = varnholt::OwnExecutableName();
  if (!own.isEmpty() && CountRunning(own) >= 2)
    varnholt::RequestQuit();
}

int TSingleInstance::CountRunning(const QString& name) {
  int count = 0;
  for (const QString& running : varnholt::RunningExecutableNames())
    if (running == name)
      ++count;
  return count;
}
