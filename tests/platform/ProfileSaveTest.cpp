// Saving profile files safely: the size cap, leftovers of interrupted saves,
// extended attributes and ACLs, read-only files and other writers' locks.

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/ProfileStorage.h"
#include "tests/platform/ProfileFixture.h"

namespace varnholt::test {
namespace {

QByteArray Attribute(const QString& path, const char* name) {
  QByteArray value(256, '\0');
  const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value.data(), 256);
  return n < 0 ? QByteArray("<none>") : value.left(n);
}

void SetAge(const QString& path, int seconds) {
  const timeval now{::time(nullptr) - seconds, 0};
  const timeval times[2] = {now, now};
  ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
}

TEST_F(ProfileTest, AWriteThatWouldCrossTheSizeCapIsRefused) {
  QByteArray full = "[A]\nx=1\n;";
  full += QByteArray(profile::kMaxProfileBytes - full.size() - 20, 'c') + "\n";
  auto ini = FileWith(full);
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "y", QString(40, u'v')); }),
            UnableToWrite(PathOf(), "it would grow larger than 16 MiB"));
  EXPECT_TRUE(Bytes() == full) << "the file as it was";
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1) << "still within the cap, still read";
  ini.WriteString("A", "x", "2");  // a write that stays within it goes through
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 2);
}

TEST_F(ProfileTest, StaleTemporaryFilesOfOursAreRemovedByTheNextSave) {
  auto ini = FileWith("[A]\nx=1\n");
  const QString stale = ".test.ini.0123456789abcdef.save-tmp";
  const QString fresh = ".test.ini.fedcba9876543210.save-tmp";
  const QString foreign = ".test.ini.old";
  for (const QString& name : {stale, fresh, foreign})
    ASSERT_TRUE(WriteFile(PathOf(name), "half"));
  SetAge(PathOf(stale), 120);
  SetAge(PathOf(foreign), 120);
  ini.WriteString("A", "x", "2");
  EXPECT_EQ(Entries(), (QStringList{fresh, foreign, "test.ini"}));
}

TEST_F(ProfileTest, ExtendedAttributesAndAclsSurviveASave) {
  auto ini = FileWith("[A]\nx=1\n");
  const QByteArray path = QFile::encodeName(PathOf());
  if (::setxattr(path.constData(), "user.varnholt", "kept", 4, 0) != 0)
    GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
  // user::rw- user:1234:r-- group::r-- mask::r-- other::---, the kernel's layout.
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  struct {
    std::uint32_t version = 2;
    Entry entries[5] = {
        {0x01, 6, ~0u}, {0x02, 4, 1234}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  } acl;
  ASSERT_EQ(::setxattr(path.constData(), "system.posix_acl_access", &acl, sizeof acl, 0), 0)
      << std::strerror(errno);
  const QByteArray aclBefore = Attribute(PathOf(), "system.posix_acl_access");
  ini.WriteString("A", "x", "2");
  EXPECT_EQ(Bytes(), "[A]\nx=2\n");
  EXPECT_EQ(Attribute(PathOf(), "user.varnholt"), "kept");
  EXPECT_EQ(Attribute(PathOf(), "system.posix_acl_access"), aclBefore);
}

TEST_F(ProfileTest, AnotherWritersLockIsWaitedForAndTheirFileKept) {
  const QByteArray theirs = "[Theirs]\n" + QByteArray(64 * 1024, ';') + "\nend=1\n";
  auto ini = FileWith("[A]\nx=1\n");
  // The other program rewrites the file in place under flock, in two halves.
  const int fd = ::open(QFile::encodeName(PathOf()).constData(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ASSERT_EQ(::ftruncate(fd, 0), 0);
  const qsizetype half = theirs.size() / 2;
  ASSERT_EQ(::write(fd, theirs.constData(), half), half);

  std::mutex mutex;
  std::condition_variable changed;
  bool saved = false;
  std::thread save([&] {
    ini.WriteString("A", "x", "2");
    std::lock_guard lock(mutex);
    saved = true;
    changed.notify_all();
  });
  {
    // A save that does not wait for the lock is done long before this.
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return saved; });
  }
  ASSERT_EQ(::write(fd, theirs.constData() + half, theirs.size() - half), theirs.size() - half);
  ::close(fd);
  save.join();
  EXPECT_EQ(Bytes(), theirs + "\n[A]\nx=2\n");
}

TEST_F(ProfileTest, OneWriteOfManyKeysEqualsWritingThemOneByOne) {
  const QList<QByteArray> files = {"",
                                   "[A]\nx=1\n;c\n\n[B]\ny=2",
                                   "[a]\r\n X = 1 \r\ny=2\r\n[A]\r\nz=3\r\n",
                                   "[B]\nq=1\n\n",
                                   "[B]\nq=1",
                                   "[B]\r\n\r\r\n"};
  const TIniEntries entries = {{"y", "20"}, {"new", "n"}, {"X", "10"}, {"NEW", "m"}, {" z ", "3"}};
  for (const QByteArray& file : files) {
    auto together = FileWith(file, "together.ini");
    auto apart = FileWith(file, "apart.ini");
    together.WriteStrings("A", entries);
    for (const auto& [key, value] : entries)
      apart.WriteString("A", key, value);
    EXPECT_EQ(Bytes("together.ini"), Bytes("apart.ini")) << file.toStdString();
  }
}

}  // namespace
}  // namespace varnholt::test
