// varnholtctl: everything but this lives in varnholt_cli, so that tests and
// later commands share it.

#include <QCoreApplication>
#include <QTextStream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  return varnholt::cli::Run(application.arguments().mid(1), out, err);
}
