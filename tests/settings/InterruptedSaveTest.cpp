// Every kind of file the program saves, its writer killed with SIGKILL at
// random moments: the file is always one whole version and loads, and at
// most one leftover of a killed save lies beside it. A full disk and a
// read-only folder refuse the save with a message and keep the old file.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/time.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "camera/platform/virtual/StateFile.h"
#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"
#include "tests/support/MediaProbe.h"

namespace {

using varnholt::platform::virtualcam::StateFile;
using varnholt::platform::virtualcam::StateSettings;

const TFVideoCaptureDevice kCamera{"USB Camera", "uvc", "/dev/v4l/by-id/usb-cam"};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The file the loop of that kind saves, given what it is told to save into.
QString TargetOf(const QString& kind, const QString& given) {
  return kind == "vcam" ? QDir(given).filePath(StateFile::FileNameFor("virtual:/lab")) : given;
}

bool Loads(const QString& kind, const QString& given) {
  if (kind == "settings")
    return ReadSettingsFile(given, "USB Camera").Refusal.isEmpty();
  if (kind == "window")
    return varnholt::TIniFile(given).ReadInteger("Window", "width", 0) >= 400;
  if (kind == "marks")
    return TRestoreMarks(given).Find(kCamera).has_value();
  auto settings = std::make_shared<StateSettings>();
  settings->dir = given;
  return StateFile(settings, "virtual:/lab").Read().count("Brightness") == 1;
}

// Every state the file passes through, one per write, from the loop itself.
QSet<QByteArray> VersionsOf(const QString& kind, const QString& given) {
  QProcess states;
  states.start(VARNHOLT_SAVE_LOOP, {"states", kind, given});
  EXPECT_TRUE(states.waitForFinished(30000));
  QSet<QByteArray> versions;
  for (const QByteArray& line : states.readAllStandardOutput().split('\n'))
    if (!line.isEmpty())
      versions.insert(QByteArray::fromHex(line));
  return versions;
}

QStringList Leftovers(const QString& folder) {
  return QDir(folder).entryList({"*.save-tmp"}, QDir::Files | QDir::Hidden);
}

// As if the killed save had happened long ago: old enough to be cleared.
void Age(const QString& path) {
  const timeval then{::time(nullptr) - 120, 0};
  const timeval times[2] = {then, then};
  ::utimes(QFile::encodeName(path).constData(), times);
}

class InterruptedSave : public ::testing::TestWithParam<const char*> {};

TEST_P(InterruptedSave, FileIsAlwaysAWholeVersionThatLoads) {
  const QString kind = GetParam();
  const int kills = qEnvironmentVariableIntValue("VARNHOLT_KILLS") > 0
                        ? qEnvironmentVariableIntValue("VARNHOLT_KILLS")
                        : 50;
  QTemporaryDir scratch, dir;
  const bool folderKind = kind == "vcam";
  const QString given = folderKind ? dir.path() : dir.filePath("file.ini");
  const QSet<QByteArray> versions =
      VersionsOf(kind, folderKind ? scratch.path() : scratch.filePath("file.ini"));
  ASSERT_GE(versions.size(), 2);

  QRandomGenerator random(QRandomGenerator::global()->generate());
  int mostLeftovers = 0, leftoversSeen = 0;
  QProcess server;  // forks each writer
  server.start(VARNHOLT_SAVE_LOOP, {"server", kind, given});
  ASSERT_TRUE(server.waitForStarted(10000));
  const auto nextLine = [&server] {
    while (!server.canReadLine())
      if (!server.waitForReadyRead(20000))
        return QByteArray("<nothing> ") + server.readAllStandardError();
    return server.readLine().trimmed();
  };
  for (int kill = 0; kill < kills; ++kill) {
    server.write("go\n");
    const QByteArray ready = nextLine();
    ASSERT_TRUE(ready.startsWith("ready ")) << "kill " << kill << ": " << ready.toStdString();
    // The moment of the kill is what varies: somewhere in the next saves.
    std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(20000)));
    const pid_t writer = ready.mid(6).toInt();
    ASSERT_GT(writer, 1) << ready.toStdString();  // never 0 (our group) nor -1 (everyone)
    ASSERT_EQ(::kill(writer, SIGKILL), 0);
    ASSERT_EQ(nextLine(), "gone") << "kill " << kill;

    const QByteArray now = ReadAll(TargetOf(kind, given));
    ASSERT_TRUE(versions.contains(now)) << "kill " << kill << ": " << now.toStdString();
    ASSERT_TRUE(Loads(kind, given)) << "kill " << kill;
    const QStringList leftovers = Leftovers(dir.path());
    mostLeftovers = std::max(mostLeftovers, int(leftovers.size()));
    leftoversSeen += int(leftovers.size());
    for (const QString& name : leftovers) {
      // Never more open than the file it was to replace, not even halfway.
      EXPECT_EQ(QFileInfo(dir.filePath(name)).permissions(),
                QFileInfo(TargetOf(kind, given)).permissions());
      Age(dir.filePath(name));
    }
  }
  server.closeWriteChannel();
  EXPECT_TRUE(server.waitForFinished(10000));
  EXPECT_LE(mostLeftovers, 1);
  std::printf("%s: %d kills, %d leftovers seen, at most %d at once\n", qPrintable(kind), kills,
              leftoversSeen, mostLeftovers);
}

INSTANTIATE_TEST_SUITE_P(EveryFileWeSave, InterruptedSave,
                         ::testing::Values("settings", "window", "marks", "vcam"));

// A recording killed in its start (over the one of the kill before), in the
// finish, in the resume that copies it or in the finish that replaces it:
// the file is absent, or a recording that opens and plays; never one cut in
// its header, and at most one leftover of a killed writer beside it.
class InterruptedRecording : public ::testing::TestWithParam<const char*> {};

TEST_P(InterruptedRecording, FileIsAbsentOrARecordingThatPlays) {
  const QString kind = GetParam();
  const int kills = qEnvironmentVariableIntValue("VARNHOLT_KILLS") > 0
                        ? qEnvironmentVariableIntValue("VARNHOLT_KILLS")
                        : 20;
  QTemporaryDir dir;
  const QString path = dir.filePath("recording." + kind);
  QRandomGenerator random(QRandomGenerator::global()->generate());
  int absent = 0, mostLeftovers = 0, leftoversSeen = 0;
  for (int kill = 0; kill < kills; ++kill) {
    QProcess loop;
    // Over the recording of the kill before, as a user records to one name.
    loop.start(VARNHOLT_SAVE_LOOP, {"loop", kind, path});
    ASSERT_TRUE(loop.waitForStarted(10000));
    while (!loop.readAllStandardOutput().contains("ready"))
      ASSERT_TRUE(loop.waitForReadyRead(20000)) << "the recording never started";
    // Half the kills within the start (a fraction of a millisecond), half
    // anywhere in the finishes and resumes after it.
    std::this_thread::sleep_for(
        std::chrono::microseconds(random.bounded(2) ? random.bounded(400) : random.bounded(30000)));
    loop.kill();  // SIGKILL
    ASSERT_TRUE(loop.waitForFinished(10000));

    // What the kill left beside the file, hidden, goes with the next
    // writer of that name once it is old enough.
    const QStringList leftovers =
        QDir(dir.path()).entryList({".recording.*"}, QDir::Files | QDir::Hidden);
    mostLeftovers = std::max(mostLeftovers, int(leftovers.size()));
    leftoversSeen += int(leftovers.size());
    for (const QString& name : leftovers)
      Age(dir.filePath(name));
    if (!QFileInfo::exists(path)) {
      ++absent;
      continue;
    }
    try {
      const varnholt::test::FileInfo info = varnholt::test::Probe(path.toStdString(), 8);
      // Killed while it is written, a recording may hold no picture yet, or
      // end in one the kill cut short; every other one plays.
      const auto& video = info.Stream(AVMEDIA_TYPE_VIDEO);
      ASSERT_GE(video.decoded, int(video.packets.size()) - 1) << "kill " << kill;
    } catch (const std::runtime_error& error) {
      FAIL() << "kill " << kill << ": " << error.what() << " (" << QFileInfo(path).size()
             << " bytes)";
    }
  }
  EXPECT_LE(mostLeftovers, 1);
  std::printf("%s: %d kills, the file absent after %d, %d leftovers seen, at most %d at once\n",
              qPrintable(kind), kills, absent, leftoversSeen, mostLeftovers);
}

INSTANTIATE_TEST_SUITE_P(BothContainers, InterruptedRecording, ::testing::Values("avi", "asf"));

// A small file system of our own: only root may mount one.
class SmallFileSystem {
 public:
  SmallFileSystem() {
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(),
                                           "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_)
      ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  bool MakeReadOnly() {
    return ::mount(nullptr, QFile::encodeName(dir_.path()).constData(), nullptr,
                   MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
};

std::string SaveError(const QString& path, float value) {
  TCameraSettings settings;
  settings.Values[0] = value;
  try {
    WriteSettingsFile(path, "USB Camera", settings);
  } catch (const varnholt::EIniFileException& e) {
    return e.Message();
  }
  return "none";
}

TEST(FullOrReadOnly, TheSaveIsRefusedAndTheOldFileKept) {
  SmallFileSystem disk;
  if (!disk.Mounted())
    GTEST_SKIP() << "mounting a small tmpfs needs root";
  const QString path = disk.Path("camera.vhx");
  ASSERT_EQ(SaveError(path, 1), "none");
  const QByteArray before = ReadAll(path);
  {
    QFile filler(disk.Path("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  EXPECT_EQ(SaveError(path, 2),
            "Unable to write to " + path.toStdString() + ": No space left on device");
  EXPECT_EQ(ReadAll(path), before);

  ASSERT_TRUE(QFile::remove(disk.Path("filler")));
  ASSERT_TRUE(disk.MakeReadOnly());
  EXPECT_EQ(SaveError(path, 3),
            "Unable to write to " + path.toStdString() + ": Read-only file system");
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_EQ(Leftovers(disk.Path("")), QStringList());
}

}  // namespace
