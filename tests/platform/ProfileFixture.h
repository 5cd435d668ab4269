#pragma once

// A fresh folder per test and helpers shared by the profile file tests.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <string>

#include "platform/ProfileFile.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {

class ProfileTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name = QStringLiteral("test.ini")) const {
    return dir_.filePath(name);
  }
  // A profile on a file holding exactly these bytes.
  TIniFile FileWith(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini")) {
    EXPECT_TRUE(WriteFile(PathOf(name), bytes));
    return TIniFile(PathOf(name));
  }
  QByteArray Bytes(const QString& name = QStringLiteral("test.ini")) const {
    return ReadFile(PathOf(name));
  }
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  QTemporaryDir dir_;
};

// The message of the EIniFileException that action throws, or "none".
template <typename Action>
std::string WriteErrorOf(Action&& action) {
  try {
    action();
  } catch (const EIniFileException& e) {
    return e.Message();
  }
  return "none";
}

// The refusal of a write, with the reason after the path.
inline std::string UnableToWrite(const QString& path, const std::string& reason = {}) {
  return "Unable to write to " + path.toStdString() + (reason.empty() ? "" : ": " + reason);
}

}  // namespace varnholt::test
