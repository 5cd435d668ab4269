#include <gtest/gtest.h>
#include <QApplication>

#include "tests/support/TestEnvironment.h"

// Every test program runs inside one QApplication on the offscreen platform
// (or the one VARNHOLT_TEST_PLATFORM names, for the tests under a window
// manager), with its own HOME, documents folder and virtual-camera state, so
// that tests never touch the developer's files or each other's.
int main(int argc, char** argv) {
  varnholt::test::IsolateProcessEnvironment();
  const QByteArray platform = qgetenv("VARNHOLT_TEST_PLATFORM");
  qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
