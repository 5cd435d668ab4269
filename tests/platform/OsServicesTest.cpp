// The debugger channel and the documents folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/DebugChannel.h"
#include "platform/DocumentsFolder.h"
#include "platform/UserLock.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

// Collects what is written to standard error until Finish().
class StderrCapture {
 public:
  StderrCapture() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    read_ = fds[0];
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(fds[1], STDERR_FILENO);
    ::close(fds[1]);
    reader_ = std::thread([this] {
      char buffer[4096];
      ssize_t n;
      while ((n = ::read(read_, buffer, sizeof buffer)) > 0)
        text_.append(buffer, n);
    });
  }
  ~StderrCapture() { Finish(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  QByteArray Finish() {
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);  // closes the pipe's last write end
      ::close(saved_);
      saved_ = -1;
      reader_.join();
      ::close(read_);
    }
    return text_;
  }

 private:
  int read_ = -1;
  int saved_ = -1;
  std::thread reader_;
  QByteArray text_;
};

TEST(DebugChannelTest, EachTextBecomesOneWholeLine) {
  StderrCapture capture;
  OutputDebugString("Camera \u00E9 \u2713\topened");
  OutputDebugString("");
  std::vector<std::thread> threads;
  for (const char letter : {'a', 'b', 'c', 'd'}) {
    threads.emplace_back([letter] {
      for (int i = 0; i < 300; ++i)
        OutputDebugString(QString(200, QChar(letter)));
    });
  }
  for (auto& thread : threads)
    thread.join();
  const QByteArray text = capture.Finish();

  EXPECT_TRUE(text.startsWith("Camera \xC3\xA9 \xE2\x9C\x93\topened\n\n"));
  const QList<QByteArray> lines = text.split('\n');
  ASSERT_EQ(lines.size(), 2 + 4 * 300 + 1);
  for (qsizetype i = 2; i < lines.size() - 1; ++i) {
    ASSERT_EQ(lines[i], QByteArray(200, lines[i][0])) << "line " << i << " interleaved";
  }
}

TEST(DocumentsFolderTest, FollowsHomeAndUserDirectories) {
  QTemporaryDir home;
  ScopedEnv homeVar("HOME", home.path().toUtf8() + "/");
  ScopedEnv configVar("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  EXPECT_EQ(DocumentsFolder(), home.path() + "/Documents");
  EXPECT_EQ(SettingsFolder(), home.path() + "/Documents/Varnholt");
  EXPECT_TRUE(CreateSettingsFolder());
  EXPECT_TRUE(QFileInfo(SettingsFolder()).isDir());

  ASSERT_TRUE(
      WriteFile(home.path() + "/config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers/\"\n"));
  EXPECT_EQ(DocumentsFolder(), home.path() + "/Papers");
}

// The lock and its socket live only in a folder no other user can open,
// and a planted link never makes the lock create or open another file.
TEST(UserLockTest, LivesInAPrivateFolderAndFollowsNoLink) {
  QTemporaryDir base;
  const QString open = base.filePath("open"), own = base.filePath("own"), tmp = base.filePath("t");
  ASSERT_TRUE(QDir().mkpath(open) && QDir().mkpath(own) && QDir().mkpath(tmp));
  ::chmod(QFile::encodeName(open).constData(), 0755);
  ::chmod(QFile::encodeName(own).constData(), 0700);
  ::chmod(QFile::encodeName(tmp).constData(), 0777);
  ScopedEnv tmpVar("TMPDIR", tmp.toUtf8());
  {
    // A runtime folder others may enter is not used: ours under TMPDIR is.
    ScopedEnv runtime("XDG_RUNTIME_DIR", open.toUtf8());
    UserLock first("varnholt-probe");
    UserLock second("varnholt-probe");
    EXPECT_TRUE(first.Held());
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(QDir(open).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    const QString mine = tmp + "/varnholt-" + QString::number(::geteuid());
    EXPECT_TRUE(QFileInfo::exists(mine + "/varnholt-probe.lock"));
    EXPECT_EQ(QFileInfo(mine).permissions() & 0x0077, 0);
  }
  ScopedEnv runtime("XDG_RUNTIME_DIR", own.toUtf8());
  const QString target = base.filePath("planted");
  ASSERT_TRUE(QFile::link(target, own + "/varnholt-link.lock"));
  {
    UserLock lock("varnholt-link");
    EXPECT_FALSE(QFileInfo::exists(target));
  }
  if (::geteuid() == 0) {
    // A folder of another user's, even with the right mode, is not ours.
    ASSERT_EQ(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
    { UserLock lock("varnholt-foreign"); }
    EXPECT_FALSE(QFileInfo::exists(own + "/varnholt-foreign.lock"));
  }
}

}  // namespace
// The holder answers calls from its event loop, one answer and one handler
// run per call; a holder whose loop has stopped leaves the caller waiting
// only until its deadline.
TEST(UserLockTest, TheHolderAnswersCallsOnlyWhileItsLoopRuns) {
  QTemporaryDir runtimeDir;
  ::chmod(QFile::encodeName(runtimeDir.path()).constData(), 0700);
  ScopedEnv runtime("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
  QSemaphore ready, done;
  std::atomic<int> calls = 0;
  std::unique_ptr<UserLock> holder;
  std::unique_ptr<QThread> loop(QThread::create([&] {
    holder = std::make_unique<UserLock>("varnholt-call");
    holder->SetOnCalled([&] { ++calls; });
    ready.release();
    QEventLoop().exec();
    ready.release();
    done.acquire();
    holder.reset();
  }));
  loop->start();
  ready.acquire();
  ASSERT_TRUE(holder->Held());
  const UserLock caller("varnholt-call");
  ASSERT_FALSE(caller.Held());
  EXPECT_TRUE(caller.CallHolder());
  EXPECT_TRUE(caller.CallHolder());
  // The handler runs just after the answer has gone.
  for (const QDeadlineTimer deadline(5000); calls < 2 && !deadline.hasExpired();)
    std::this_thread::yield();
  EXPECT_EQ(calls, 2);
  loop->quit();
  ready.acquire();  // the loop no longer serves; the lock is still held
  EXPECT_FALSE(caller.CallHolder(200));
  EXPECT_EQ(calls, 2);
  done.release();
  loop->wait();
  EXPECT_FALSE(QFileInfo::exists(runtimeDir.filePath("varnholt-call.socket")));
}

}  // namespace varnholt::test
