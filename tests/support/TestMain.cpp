#include <gtest/gtest.h>
#include <QApplication>

#include "tests/support/TestEnvironment.h"

// Every test program runs inside one QApplication on the offscreen platform,
// with its own HOME, documents folder and virtual-camera state, so that tests
// never touch the developer's files or each other's.
int main(int argc, char** argv) {
  varnholt::test::IsolateProcessEnvironment();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
