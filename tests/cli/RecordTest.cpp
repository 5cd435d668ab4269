// varnholtctl record over the built-in virtual cameras: finished files for
// a time and for an interruption, and the refusals that leave no file.

#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "tests/cli/CliRun.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

constexpr char kHd[] = "Varnholt Virtual HD Webcam";

QByteArray Head(const QString& path, int size) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

// A finished AVI: RIFF's own length matches the file's, and the index is in.
void ExpectFinishedAvi(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray data = file.readAll();
  ASSERT_GT(data.size(), 12);
  EXPECT_EQ(data.left(4), "RIFF");
  EXPECT_EQ(data.mid(8, 4), "AVI ");
  const auto* length = reinterpret_cast<const uchar*>(data.constData() + 4);
  EXPECT_EQ(qFromLittleEndian<quint32>(length) + 8u, quint32(data.size()));
  EXPECT_TRUE(data.contains("idx1"));
}

class Record : public ::testing::Test {
 protected:
  Record() : cameras("") {}
  CliResult Run(const QStringList& arguments) const { return cameras.Run(arguments); }
  CliCameras cameras;
};

TEST_F(Record, ATimedRecordingAndAnInterruptedOneLeaveFinishedFilesOfTheChosenType) {
  const QString avi = cameras.Path("clip.avi");
  const CliResult timed = Run({"record", kHd, avi, "--seconds", "2"});
  ASSERT_EQ(timed.Code, 0) << timed.Err.toStdString();
  EXPECT_TRUE(timed.Out.contains("AVI")) << timed.Out.toStdString();
  ExpectFinishedAvi(avi);

  // --type wins over the name: ASF's header object, not RIFF.
  const QString asf = cameras.Path("really-asf.avi");
  ASSERT_EQ(Run({"record", kHd, asf, "--seconds=0.5", "--type", "asf"}).Code, 0);
  EXPECT_EQ(Head(asf, 4), QByteArray::fromHex("3026b275"));

  // Until SIGTERM: the file is finished all the same.
  const QString stopped = cameras.Path("stopped.avi");
  QProcess process;
  process.setProcessEnvironment(cameras.Environment());
  process.start(VARNHOLT_CLI, {"record", kHd, stopped});
  ASSERT_TRUE(WaitUntil([&] { return QFileInfo(stopped).size() > 0; }));
  process.terminate();
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  ExpectFinishedAvi(stopped);

  // What --audio and the compressor options take, as list names them.
  const QJsonObject list = QJsonDocument::fromJson(Run({"list", "--json"}).Out.toUtf8()).object();
  EXPECT_EQ(list["audioCaptureDevices"][0]["name"].toString(), QString("Microphone (%1)").arg(kHd));
  EXPECT_EQ(list["audioCaptureDevices"][0]["waveInId"].toInt(-1), 0);
  EXPECT_TRUE(list["compressors"].toArray().contains("mjpeg"));
}

TEST_F(Record, RefusalsAndFailedWritesSayWhyWithTheirExitCodes) {
  const QString file = cameras.Path("never.avi");
  const CliResult result = Run({"record", kHd, file, "--seconds", "1", "--compressor", "nonesuch"});
  EXPECT_EQ(result.Code, 4);
  EXPECT_TRUE(result.Err.contains("Cannot retrieve 'Compressor IBaseFilter' interface"))
      << result.Err.toStdString();
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(Run({"record", kHd, cameras.Path("no/such/folder.avi"), "--seconds", "1"}).Code, 5);

  // A disk that fills up ends a recording with no time limit by itself.
  const QByteArray disk = cameras.Path("disk").toLocal8Bit();
  ASSERT_TRUE(QDir().mkpath(disk));
  if (::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=512k") != 0)
    GTEST_SKIP() << "cannot mount a small disk here (" << std::strerror(errno) << ")";
  struct Unmount {
    const QByteArray& at;
    ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
  } unmount{disk};
  const CliResult full = Run({"record", kHd, cameras.Path("disk/full.avi")});
  EXPECT_EQ(full.Code, 5);
  EXPECT_TRUE(full.Err.contains("There is not enough space on the disk")) << full.Err.toStdString();
  EXPECT_FALSE(full.Out.contains("recorded")) << full.Out.toStdString();
}

TEST_F(Record, SecondsMustBeAPositiveNumber) {
  const QString file = cameras.Path("never.avi");
  for (const QStringList& seconds : {QStringList{"--seconds", "0"},
                                     {"--seconds", "-3"},
                                     {"--seconds", "soon"},
                                     {"--seconds=1e12"},
                                     {"--seconds"}}) {
    const CliResult result = Run(QStringList{"record", kHd, file} + seconds);
    EXPECT_EQ(result.Code, 2) << seconds.join(' ').toStdString();
    EXPECT_TRUE(result.Err.contains("--seconds")) << result.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(file));
}

}  // namespace
}  // namespace varnholt::test
