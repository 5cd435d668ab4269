// The single-copy guard on real processes: copies of a small program under
// chosen file names, each group with a runtime folder of its own, as a user
// has.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <map>
#include <memory>

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
    const QString path = NewFolder().filePath(name);
    EXPECT_TRUE(QFile::copy(program, path));
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
  }

  // The runtime folder of a user; QTemporaryDir makes it 0700 as it must be.
  QString NewUser() { return NewFolder().path(); }

  QProcess* Start(const QString& path, const QString& runtime, const QStringList& arguments = {}) {
    auto& p = processes_.emplace_back(std::make_unique<QProcess>());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p->setProcessEnvironment(env);
    p->setReadChannel(QProcess::StandardOutput);
    p->start(path, arguments);
    EXPECT_TRUE(p->waitForStarted(kWait));
    return p.get();
  }

  // Whether the probe has said line, waiting for it while the probe runs.
  bool Said(QProcess* p, const QByteArray& line) {
    QByteArray& out = output_[p];
    for (;;) {
      out += p->readAllStandardOutput();
      if (out.split('\n').contains(line))
        return true;
      if (!p->waitForReadyRead(kWait))
        return (out += p->readAllStandardOutput()).split('\n').contains(line);
    }
  }

  // A probe that got past its guard and serves events.
  QProcess* StartProbe(const QString& path, const QString& runtime) {
    QProcess* p = Start(path, runtime);
    EXPECT_TRUE(Said(p, "started"));
    return p;
  }

  // Closes the probe's input; answers its exit code (0: it was still serving).
  static int EndProbe(QProcess* p) {
    p->closeWriteChannel();
    EXPECT_TRUE(p->waitForFinished(kWait));
    return p->exitCode();
  }

  // Waits until one of the two ends; answers it, or nullptr when neither did.
  static QProcess* FirstToEnd(QProcess* a, QProcess* b) {
    const QDeadlineTimer deadline(kWait);
    while (!deadline.hasExpired()) {
      for (QProcess* p : {a, b})
        if (p->state() == QProcess::NotRunning || p->waitForFinished(10))
          return p;
    }
    return nullptr;
  }

  static QString Probe() { return QStringLiteral(VARNHOLT_PROBE); }

 private:
  QTemporaryDir& NewFolder() { return *dirs_.emplace_back(std::make_unique<QTemporaryDir>()); }

  std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
  std::vector<std::unique_ptr<QProcess>> processes_;
  std::map<QProcess*, QByteArray> output_;
};

// Started together, exactly one copy runs on; the other runs its start-up,
// ends itself and brings the running copy's window forward.
TEST_F(SingleCopy, OfTwoCopiesStartedTogetherExactlyOneRunsAndIsBroughtForward) {
  const QString name = UniqueName("vhprobe");
  const QString first = Copy(Probe(), name);
  const QString second = Copy(Probe(), name);
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    const QString user = NewUser();
    QProcess* a = Start(first, user);
    QProcess* b = Start(second, user);
    QProcess* ended = FirstToEnd(a, b);
    ASSERT_NE(ended, nullptr);
    QProcess* running = ended == a ? b : a;
    EXPECT_EQ(ended->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ended->exitCode(), 3);  // ended by its guard
    EXPECT_TRUE(Said(ended, "started"));
    EXPECT_FALSE(Said(ended, "raised"));
    EXPECT_TRUE(Said(running, "raised"));
    EXPECT_EQ(EndProbe(running), 0);
  }
}

// The kernel drops a killed holder's lock: the next start takes it over and
// holds it in turn. A stopped holder cannot answer: a new start runs on
// rather than none.
TEST_F(SingleCopy, AKilledOrStoppedCopyKeepsNoCopyOut) {
  const QString user = NewUser();
  const QString path = Copy(Probe(), UniqueName("vhprobe"));
  QProcess* killed = StartProbe(path, user);
  killed->kill();
  ASSERT_TRUE(killed->waitForFinished(kWait));

  QProcess* next = StartProbe(path, user);
  QProcess* later = Start(path, user);
  ASSERT_TRUE(later->waitForFinished(kWait));
  EXPECT_EQ(later->exitCode(), 3);
  EXPECT_TRUE(Said(next, "raised"));

  const auto pid = static_cast<pid_t>(next->processId());
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  QProcess* beside = StartProbe(path, user);
  EXPECT_EQ(EndProbe(beside), 0);
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  EXPECT_EQ(EndProbe(next), 0);
}

// Neither a process that only bears our name, nor our copy of another user
// (another runtime folder), nor a copy under another file name keeps a copy
// from running.
TEST_F(SingleCopy, OnlyOurOwnCopyOfTheSameUserAndFileNameKeepsACopyOut) {
  const QString sleep = QStandardPaths::findExecutable("sleep");
  ASSERT_FALSE(sleep.isEmpty());
  const QString name = UniqueName("vhprobe");
  const QString user = NewUser();
  Start(Copy(sleep, name), user, {"600"});
  Start(Copy(sleep, name), NewUser(), {"600"});
  QProcess* first = StartProbe(Copy(Probe(), name), user);
  QProcess* otherUser = StartProbe(Copy(Probe(), name), NewUser());
  QProcess* renamed = StartProbe(Copy(Probe(), name + "-b"), user);
  QProcess* upper = StartProbe(Copy(Probe(), "V" + name.mid(1)), user);
  EXPECT_EQ(EndProbe(otherUser), 0);
  EXPECT_EQ(EndProbe(renamed), 0);
  EXPECT_EQ(EndProbe(upper), 0);
  EXPECT_EQ(EndProbe(first), 0);
}

}  // namespace
}  // namespace varnholt::test
