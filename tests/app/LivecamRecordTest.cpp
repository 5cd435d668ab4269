// The camera test's Record button: an AVI of what the test shows in the
// user's videos folder, the elapsed time while it records, the picture
// going on meanwhile, and the file finished however the recording ends.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>

#include "tests/app/LiveWindowFixture.h"
#include "tests/support/PaintCount.h"

namespace varnholt::test {
namespace {

using LivecamRecord = LiveWindow;

// A finished AVI: RIFF's own length is the file's, and the index is in.
void ExpectFinishedAvi(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray data = file.readAll();
  ASSERT_GT(data.size(), 12);
  EXPECT_EQ(data.left(4), "RIFF");
  EXPECT_EQ(data.mid(8, 4), "AVI ");
  EXPECT_EQ(qFromLittleEndian<quint32>(data.constData() + 4) + 8u, quint32(data.size()));
  EXPECT_TRUE(data.contains("idx1"));
}

TEST_F(LivecamRecord, RecordWritesAnAviIntoTheVideosFolderWhileThePictureGoesOn) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(160, 120, "YUY2", 333333)) + "]");
  // The fixture's own home: its videos folder does not exist yet.
  const QDir videos(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
  ASSERT_TRUE(videos.path().startsWith(QDir::homePath())) << videos.path().toStdString();
  ClickIcon();
  ASSERT_TRUE(livecam->isVisible());
  auto* record = Part<QPushButton>(*livecam, "RecordButton");
  auto* time = Part<QLabel>(*livecam, "RecordTime");
  EXPECT_TRUE(time->isHidden());

  QTest::mouseClick(record, Qt::LeftButton);
  ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  EXPECT_TRUE(record->isChecked());
  EXPECT_TRUE(time->isVisible());
  EXPECT_EQ(time->text(), QString::fromUtf8("\u25CF 00:00"));

  // New frames keep coming to the picture while they go into the file.
  PaintCount count;
  PaintBoxOf(form)->installEventFilter(&count);
  int frames = 0;
  QImage last;
  long long advanced = 0;
  ASSERT_TRUE(WaitUntil([&] {
    clock.Advance(33);
    advanced += 33;
    try {
      const QImage picture = CameraOf(form)->CurrentImageToBitmap();
      if (!picture.isNull() && picture != last) {
        ++frames;
        last = picture;
      }
    } catch (const std::exception&) {
      // no frame yet
    }
    return frames >= 5 && count.paints >= 5 && advanced >= 2000;
  }));
  EXPECT_EQ(time->text(),
            QString::fromUtf8("\u25CF 00:%1").arg(advanced / 1000, 2, 10, QChar('0')));

  QTest::mouseClick(record, Qt::LeftButton);
  EXPECT_FALSE(record->isChecked());
  EXPECT_TRUE(time->isHidden());
  const QStringList files = videos.entryList({"Varnholt *.avi"}, QDir::Files);
  ASSERT_EQ(files.size(), 1) << videos.path().toStdString();
  EXPECT_TRUE(QRegularExpression(R"(^Varnholt \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.avi$)")
                  .match(files[0])
                  .hasMatch())
      << files[0].toStdString();
  ExpectFinishedAvi(videos.filePath(files[0]));
  // The test goes on previewing, with no file.
  EXPECT_TRUE(CameraOf(form)->Active());
  const int painted = count.paints;
  ASSERT_TRUE(WaitUntil([&] {
    clock.Advance(33);
    return count.paints > painted;
  }));

  // Closing the test window while it records finishes that file too.
  QTest::mouseClick(record, Qt::LeftButton);
  ASSERT_TRUE(record->isChecked());
  ASSERT_TRUE(WaitUntil([&] { return videos.entryList({"Varnholt *.avi"}).size() == 2; }));
  livecam->QWidget::close();  // as the title bar's close button does
  clock.Advance(33);          // the next repaint tick finds the window gone
  EXPECT_FALSE(CameraOf(form)->Active());
  EXPECT_FALSE(record->isChecked());
  for (const QString& file : videos.entryList({"Varnholt *.avi"}))
    ExpectFinishedAvi(videos.filePath(file));
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(LivecamRecord, AFullDiskEndsTheRecordingWithItsReasonWhileTheTestGoesOn) {
  const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  ASSERT_TRUE(QDir().mkpath(videos));
  if (::mount("tmpfs", videos.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a small disk here (" << std::strerror(errno) << ")";
  struct Unmount {
    QByteArray at;
    ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
  } unmount{videos.toLocal8Bit()};
  AnswerNotices();
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(160, 120, "YUY2", 333333)) + "]");
  ClickIcon();
  auto* record = Part<QPushButton>(*livecam, "RecordButton");
  QTest::mouseClick(record, Qt::LeftButton);
  ASSERT_TRUE(record->isChecked());

  // A few frames fill the disk; a repaint tick hears of it.
  ASSERT_TRUE(WaitUntil([&] {
    clock.Advance(33);
    return !record->isChecked();
  }));
  EXPECT_EQ(notices, QStringList{"There is not enough space on the disk"});
  EXPECT_TRUE(Part<QLabel>(*livecam, "RecordTime")->isHidden());
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_TRUE(CameraOf(form)->Active());
  PaintCount count;
  PaintBoxOf(form)->installEventFilter(&count);
  ASSERT_TRUE(WaitUntil([&] {
    clock.Advance(33);
    return count.paints > 0;
  }));
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

}  // namespace
}  // namespace varnholt::test
