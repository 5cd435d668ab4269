// Camera names come from devices: whatever a name holds, a settings file
// and the restore marks keep their structure and load back.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"

namespace {

QStringList HostileNames() {
  return {QStringLiteral("Cam\n[Other]\nBrightness=1"),
          QStringLiteral("Cam [HD] = x ; y"),
          QStringLiteral("../../etc/passwd\r\x01\x7F"),
          QString(10000, u'n'),
          QString::fromUtf8("Bad \xFF\xFE utf-8"),
          QString(QChar(0xD800)) + "lone surrogate\u2028LS"};
}

TEST(HostileCameraNames, SettingsFilesAndRestoreMarksKeepTheirStructure) {
  QTemporaryDir home;
  const QString file = home.filePath("all.vhx");
  TCameraSettings settings{};
  int brightness = 1;
  for (const QString& name : HostileNames()) {
    settings.Values[0] = static_cast<float>(brightness++);
    EXPECT_NO_THROW(WriteSettingsFile(file, name, settings)) << name.left(40).toStdString();
  }
  // Nothing a name held became a header or a key of its own.
  EXPECT_FALSE(ReadSettingsFile(file, "Other").Refusal.isEmpty());
  brightness = 1;
  for (const QString& name : HostileNames()) {
    const TSettingsFileReading reading = ReadSettingsFile(file, name);
    EXPECT_EQ(reading.Refusal, "") << name.left(40).toStdString();
    EXPECT_EQ(reading.Settings.Values[0], static_cast<float>(brightness++));
  }

  TRestoreMarks marks(home.filePath("restore.ini"));
  for (const QString& name : HostileNames()) {
    const TFVideoCaptureDevice device{name, "", "/dev/video0"};
    EXPECT_NO_THROW(marks.Mark(device, home.filePath("a.vhx"))) << name.left(40).toStdString();
    ASSERT_TRUE(marks.Find(device)) << name.left(40).toStdString();
    EXPECT_EQ(marks.Find(device)->File, home.filePath("a.vhx"));
  }
  EXPECT_FALSE(marks.Find({"Other", "", "/dev/video0"}));
  EXPECT_FALSE(varnholt::TIniFile(home.filePath("restore.ini")).SectionExists("Other"));
}

}  // namespace
