// Camera names come from devices: a name with brackets, "=", ";", path
// parts, 10 000 characters or bytes that were not UTF-8 keeps to its own
// section of a settings file and of the restore marks; one with a line
// break is refused whole (the window's test shows the message).

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"

namespace {

TEST(HostileCameraNames, KeepToTheirOwnSectionsOrAreRefusedWhole) {
  const QStringList names = {"Cam [HD]] = x ; y", "[Other]", "../../etc/passwd",
                             QString(10000, u'n'), QString::fromUtf8("Bad \xFF\xFE utf-8")};
  QTemporaryDir home;
  const QString file = home.filePath("all.vhx");
  TRestoreMarks marks(home.filePath("restore.ini"));
  TCameraSettings settings{};
  for (qsizetype i = 0; i < names.size(); ++i) {
    settings.Values[0] = static_cast<float>(i + 1);
    WriteSettingsFile(file, names[i], settings);
    marks.Mark({names[i], "", "/dev/video0"}, home.filePath(QString::number(i) + ".vhx"));
  }
  for (qsizetype i = 0; i < names.size(); ++i) {
    const TSettingsFileReading reading = ReadSettingsFile(file, names[i]);
    EXPECT_EQ(reading.Refusal, "") << i;
    EXPECT_EQ(reading.Settings.Values[0], static_cast<float>(i + 1)) << i;
    ASSERT_TRUE(marks.Find({names[i], "", "/dev/video0"})) << i;
    EXPECT_EQ(marks.Find({names[i], "", "/dev/video0"})->File,
              home.filePath(QString::number(i) + ".vhx"));
  }
  EXPECT_FALSE(ReadSettingsFile(file, "Other").Refusal.isEmpty());

  const QByteArray before =
      varnholt::TIniFile(file).ReadString(names[0], "Brightness", "").toUtf8();
  const TFVideoCaptureDevice forged{"Cam\n[Other]\nFile=/etc/passwd", "", "/dev/video0"};
  EXPECT_THROW(WriteSettingsFile(file, forged.Name, settings), varnholt::EIniFileException);
  EXPECT_THROW(marks.Mark(forged, home.filePath("x.vhx")), varnholt::EIniFileException);
  EXPECT_FALSE(marks.Find({"Other", "", "/dev/video0"}));
  EXPECT_EQ(varnholt::TIniFile(file).ReadString(names[0], "Brightness", "").toUtf8(), before);
}

}  // namespace
