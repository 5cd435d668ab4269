#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "camera/platform/virtual/VcamTool.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  return varnholt::platform::virtualcam::RunVcamTool(app.arguments().mid(1), out, err);
}
