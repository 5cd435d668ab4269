// The single-copy guard on real processes: copies of a small program under
// chosen file names, started from different folders.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "platform/ProcessNames.h"
#include "controls/QuitRequest.h"
#include "controls/SingleInstance.h"

namespace varnholt::test {
namespace {

constexpr int kWait = 30000;  // only an upper bound: every wait ends on an event

// A name no other program on this machine runs under, not even another run
// of these tests.
QString UniqueName(const QString& stem) {
  return stem + QString::number(QRandomGenerator::global()->generate() % 1000000);
}

class SingleCopy : public ::testing::Test {
 protected:
  ~SingleCopy() override {
    for (auto& p : processes_) {
      p->kill();
      p->waitForFinished(kWait);
    }
  }

  // Copies program into a folder of its own under name.
  QString Copy(const QString& program, const QString& name) {
    auto& dir = dirs_.emplace_back(std::make_unique<QTemporaryDir>());
    const QString path = dir->filePath(name);
    EXPECT_TRUE(QFile::copy(program, path));
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
  }

  QProcess* Start(const QString& path, const QStringList& arguments = {}) {
    auto& p = processes_.emplace_back(std::make_unique<QProcess>());
    p->start(path, arguments);
    EXPECT_TRUE(p->waitForStarted(kWait));
    return p.get();
  }

  // A probe that got past its guard and serves events.
  QProcess* StartProbe(const QString& path) {
    QProcess* p = Start(path);
    p->setReadChannel(QProcess::StandardOutput);
    EXPECT_TRUE(p->canReadLine() || p->waitForReadyRead(kWait));
    EXPECT_TRUE(p->readAllStandardOutput().startsWith("started"));
    return p;
  }

  // Closes the probe's input; answers its exit code (0: it was still serving).
  static int EndProbe(QProcess* p) {
    p->closeWriteChannel();
    EXPECT_TRUE(p->waitForFinished(kWait));
    return p->exitCode();
  }

  static QString Probe() { return QStringLiteral(VARNHOLT_PROBE); }
  static QString Sleep() { return QStandardPaths::findExecutable("sleep"); }

 private:
  std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(SingleCopy, ASecondCopyFromAnotherFolderEndsItselfAndTheFirstRunsOn) {
  const QString name = UniqueName("vhprobe");
  QProcess* first = StartProbe(Copy(Probe(), name));

  QProcess* second = Start(Copy(Probe(), name));
  ASSERT_TRUE(second->waitForFinished(kWait));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 3);                         // ended by its guard, silently
  EXPECT_EQ(second->readAllStandardOutput(), "started\n");  // start-up still completed

  EXPECT_EQ(first->state(), QProcess::Running);
  EXPECT_EQ(EndProbe(first), 0);
}

TEST_F(SingleCopy, AnotherFileNameOrOtherLetterCaseIsNoCopy) {
  const QString name = UniqueName("vhprobe");
  QProcess* first = StartProbe(Copy(Probe(), name));
  QProcess* renamed = StartProbe(Copy(Probe(), name + "-b"));
  QProcess* upper = StartProbe(Copy(Probe(), "V" + name.mid(1)));
  EXPECT_EQ(EndProbe(renamed), 0);
  EXPECT_EQ(EndProbe(upper), 0);
  EXPECT_EQ(EndProbe(first), 0);
}

TEST_F(SingleCopy, RunningProcessesAreCountedByTheirExactExecutableFileName) {
  ASSERT_FALSE(Sleep().isEmpty());
  // Longer than the 15 characters the kernel keeps of a command name.
  const QString name = UniqueName("varnholt-long-file-name-");
  Start(Copy(Sleep(), name), {"600"});
  EXPECT_EQ(TSingleInstance::CountRunning(name), 1);
  Start(Copy(Sleep(), name), {"600"});
  EXPECT_EQ(TSingleInstance::CountRunning(name), 2);
  EXPECT_EQ(TSingleInstance::CountRunning(name.toUpper()), 0);
  EXPECT_EQ(TSingleInstance::CountRunning(name.left(15)), 0);
  EXPECT_EQ(TSingleInstance::CountRunning(name + "x"), 0);
}

TEST_F(SingleCopy, TheNameIsTheExecutedFilesEvenWhenStartedThroughALinkOrDeletedSince) {
  ASSERT_FALSE(Sleep().isEmpty());
  const QString target = Copy(Sleep(), UniqueName("vhtarget"));
  const QString link = QFileInfo(target).dir().filePath(UniqueName("vhlink"));
  ASSERT_TRUE(QFile::link(target, link));
  QProcess* linked = Start(link, {"600"});
  EXPECT_EQ(ExecutableName(static_cast<pid_t>(linked->processId())), QFileInfo(target).fileName());

  const QString gone = Copy(Sleep(), UniqueName("vhgone"));
  QProcess* orphan = Start(gone, {"600"});
  ASSERT_TRUE(QFile::remove(gone));
  EXPECT_EQ(ExecutableName(static_cast<pid_t>(orphan->processId())), QFileInfo(gone).fileName());
}

TEST(ProcessNames, ThisProcessIsListedUnderItsOwnName) {
  EXPECT_EQ(OwnExecutableName(), "test_controls");
  EXPECT_TRUE(RunningExecutableNames().contains("test_controls"));
  EXPECT_EQ(ExecutableName(0), "");  // no such process
}

// The guard asks the application to end exactly when two or more processes
// run under its own name.
TEST(SingleInstanceGuard, AsksToEndOnlyWhenAnotherCopyRuns) {
  const QString own = OwnExecutableName();
  int requests = 0;
  const QuitHandler previous = SetQuitHandler([&] { ++requests; });
  const std::vector<std::pair<QStringList, int>> cases = {
      {{own}, 0},      {{own, "bash", own.toUpper(), own + ".bak"}, 0},
      {{own, own}, 1}, {{own, "bash", own, own}, 1},
      {{}, 0},  // no process list at all: the program runs
  };
  for (const auto& [names, expected] : cases) {
    requests = 0;
    ScopedProcessNames list(names);
    TSingleInstance guard;
    EXPECT_EQ(requests, expected) << names.join(',').toStdString();
  }
  SetQuitHandler(previous);
}

}  // namespace
}  // namespace varnholt::test
