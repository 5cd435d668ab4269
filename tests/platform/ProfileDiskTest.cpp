// Profile files on disk: atomic replacement, failures that leave the old
// file alone, links, permissions and hostile input.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <QRandomGenerator>
#include <csignal>
#include <thread>

#include "tests/platform/ProfileFixture.h"

namespace varnholt::test {
namespace {

// Caps the size of files this process writes, standing in for a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = SIG_DFL;
};

mode_t ModeOf(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
  return st.st_mode;
}

TEST_F(ProfileTest, UnwritablePathsThrowAndChangeNothing) {
  ASSERT_TRUE(QDir().mkpath(PathOf("folder.ini")));
  TIniFile folder(PathOf("folder.ini"));
  EXPECT_EQ(folder.ReadString("A", "x", "-"), "-");
  EXPECT_EQ(WriteErrorOf([&] { folder.WriteString("A", "x", "1"); }),
            UnableToWrite(PathOf("folder.ini"), "it is a folder"));
  EXPECT_EQ(WriteErrorOf([&] { folder.EraseSection("A"); }),
            UnableToWrite(PathOf("folder.ini"), "it is a folder"));
  EXPECT_TRUE(QFileInfo(PathOf("folder.ini")).isDir());

  ASSERT_TRUE(WriteFile(PathOf("plain"), "data"));
  TIniFile below(PathOf("plain") + "/x.ini");
  EXPECT_EQ(WriteErrorOf([&] { below.WriteInteger("A", "x", 1); }),
            UnableToWrite(PathOf("plain") + "/x.ini", "Not a directory"));
  EXPECT_EQ(Bytes("plain"), "data");

  TIniFile unnamed("");
  EXPECT_EQ(WriteErrorOf([&] { unnamed.WriteString("A", "x", "1"); }),
            "Unable to write to : no file is named");
  EXPECT_EQ(Entries(), (QStringList{"folder.ini", "plain"}));
}

TEST_F(ProfileTest, WriteFailingHalfwayKeepsTheOldFile) {
  const QByteArray before = "[A]\nx=1\n";
  auto ini = FileWith(before);
  {
    FileSizeLimit limit(4096);
    EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x", QString(8192, u'v')); }),
              UnableToWrite(PathOf(), "File too large"));
  }
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(Entries(), QStringList{"test.ini"}) << "no temporary file left behind";
}

TEST_F(ProfileTest, ReadOnlyFileIsNotRewrittenEvenByRoot) {
  auto ini = FileWith("[A]\nx=1\n");
  ASSERT_EQ(::chmod(QFile::encodeName(PathOf()).constData(), 0444), 0);
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x", "2"); }),
            UnableToWrite(PathOf(), "it is read-only"));
  EXPECT_EQ(Bytes(), "[A]\nx=1\n");
}

TEST_F(ProfileTest, ReplacementKeepsPermissionsAndFollowsLinks) {
  auto ini = FileWith("[A]\nx=1\n");
  ASSERT_EQ(::chmod(QFile::encodeName(PathOf()).constData(), 0604), 0);
  ini.WriteString("A", "x", "2");
  EXPECT_EQ(ModeOf(PathOf()) & 07777, 0604u);
  EXPECT_EQ(Bytes(), "[A]\nx=2\n");

  ASSERT_TRUE(WriteFile(PathOf("real/target.ini"), "[A]\nx=1\n"));
  ASSERT_EQ(::symlink("real/target.ini", QFile::encodeName(PathOf("link.ini")).constData()), 0);
  TIniFile linked(PathOf("link.ini"));
  linked.WriteString("A", "y", "3");
  EXPECT_TRUE(QFileInfo(PathOf("link.ini")).isSymLink());
  EXPECT_EQ(Bytes("real/target.ini"), "[A]\nx=1\ny=3\n");
  EXPECT_EQ(QDir(PathOf("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"target.ini"});

  ASSERT_EQ(::symlink("nowhere/x.ini", QFile::encodeName(PathOf("dangling.ini")).constData()), 0);
  TIniFile dangling(PathOf("dangling.ini"));
  EXPECT_EQ(WriteErrorOf([&] { dangling.WriteString("A", "x", "1"); }),
            UnableToWrite(PathOf("dangling.ini"), "No such file or directory"));
}

TEST_F(ProfileTest, HostileFilesReadAsDefaultsAndStayIntact) {
  QByteArray huge(50 * 1024 * 1024, 'x');
  huge.prepend("[A]\nx=1\n");
  auto big = FileWith(huge, "huge.ini");
  EXPECT_EQ(big.ReadString("A", "x", "-"), "-") << "beyond the size cap";
  EXPECT_EQ(WriteErrorOf([&] { big.WriteString("A", "x", "2"); }),
            UnableToWrite(PathOf("huge.ini"), "it is larger than 16 MiB"));
  EXPECT_EQ(Bytes("huge.ini"), huge);

  ASSERT_EQ(::mkfifo(QFile::encodeName(PathOf("fifo.ini")).constData(), 0600), 0);
  TIniFile fifo(PathOf("fifo.ini"));
  EXPECT_EQ(fifo.ReadInteger("A", "x", 5), 5);
  EXPECT_EQ(WriteErrorOf([&] { fifo.WriteString("A", "x", "2"); }),
            UnableToWrite(PathOf("fifo.ini"), "it is not a regular file"));
  EXPECT_TRUE(S_ISFIFO(ModeOf(PathOf("fifo.ini"))));

  QByteArray junk(1024 * 1024, Qt::Uninitialized);
  QRandomGenerator random(42);
  for (char& c : junk)
    c = char(random.bounded(256));
  junk[0] = '#';  // not a byte-order mark
  auto noise = FileWith(junk, "junk.ini");
  EXPECT_EQ(noise.ReadString("Varnholt", "k", "-"), "-");
  noise.WriteString("Varnholt", "k", "v");
  EXPECT_TRUE(Bytes("junk.ini").startsWith(junk));
  EXPECT_EQ(noise.ReadString("Varnholt", "k", "-"), "v");

  const char withNul[] = "[A]\n\0\0[B]\0\ny=2\n";
  auto nul = FileWith(QByteArray(withNul, sizeof withNul - 1), "nul.ini");
  EXPECT_EQ(nul.ReadInteger("a", "y", 0), 2);

  // UTF-16 with an odd byte count cannot be extended without misaligning it.
  auto odd = FileWith(QByteArray("\xFF\xFE[\0A\0]\0\n\0x", 11), "odd.ini");
  EXPECT_EQ(WriteErrorOf([&] { odd.WriteString("A", "x", "1"); }),
            UnableToWrite(PathOf("odd.ini"), "its UTF-16 text is cut short"));
}

TEST_F(ProfileTest, MillionLineFileIsReadAndWritten) {
  QByteArray lines = "[S]\n";
  for (int i = 0; i < 1'000'000; ++i)
    lines += "k=1\n";
  lines += "last=7\n";
  auto ini = FileWith(lines);
  EXPECT_EQ(ini.ReadInteger("S", "last", 0), 7);
  EXPECT_EQ(ini.ReadSection("s"), (QStringList{"k", "last"}));
  ini.WriteString("S", "new", "1");
  EXPECT_EQ(Bytes(), lines + "new=1\n");
}

TEST_F(ProfileTest, ConcurrentWritersLoseNothing) {
  auto writer = [this](QChar prefix) {
    TIniFile ini(PathOf());
    for (int i = 0; i < 40; ++i)
      ini.WriteInteger("A", prefix + QString::number(i), i);
  };
  std::thread first(writer, u'a');
  std::thread second(writer, u'b');
  first.join();
  second.join();
  TIniFile ini(PathOf());
  EXPECT_EQ(ini.ReadSection("A").size(), 80);
  EXPECT_EQ(ini.ReadInteger("A", "b39", 0), 39);
}

}  // namespace
}  // namespace varnholt::test
