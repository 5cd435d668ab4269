// The main window's start-up: the trace switch, the trace log and the
// window-state file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <future>
#include <thread>

#include "tests/app/MainWindowFixture.h"

namespace varnholt::test {
namespace {

// ---- Trace switch and log ---------------------------------------------------------

TEST_F(MainWindow, OnlyAnExactTraceAsFirstArgumentSwitchesTraceModeOn) {
  const std::vector<std::pair<QStringList, bool>> cases = {
      {{"varnholt"}, false},
      {{"varnholt", "trace"}, true},
      {{"varnholt", "trace", "more"}, true},
      {{"varnholt", "Trace"}, false},
      {{"varnholt", "TRACE"}, false},
      {{"varnholt", "trace "}, false},
      {{"varnholt", "other", "trace"}, false},
      {{"varnholt", ""}, false},
  };
  for (const auto& [arguments, expected] : cases) {
    auto form = Start(arguments);
    EXPECT_EQ(form->TraceMode(), expected) << arguments.join(' ').toStdString();
    EXPECT_EQ(Part<QPlainTextEdit>(*form, "Memo1")->isHidden(), !expected);
    // The design-time text is discarded; in trace mode start-up has logged
    // the first camera's selection and, last, the width from its resize;
    // outside it nothing is logged.
    const QStringList lines = Part<QPlainTextEdit>(*form, "Memo1")->toPlainText().split('\n');
    if (expected) {
      EXPECT_EQ(lines.first(), "ComboBoxCameraChange started");
      EXPECT_EQ(lines.last(), "670");
    } else {
      EXPECT_EQ(Part<QPlainTextEdit>(*form, "Memo1")->toPlainText(), "");
    }
  }
}

TEST_F(MainWindow, LogLinesAreAppendedUnchanged) {
  auto form = Start({"varnholt", "trace"});
  Part<QPlainTextEdit>(*form, "Memo1")->clear();  // start-up's own lines
  form->LogMe("SetTrackBars entered");
  form->LogMe("   ");
  form->LogMe("");
  form->LogMe("  leading blanks kept");
  EXPECT_EQ(Part<QPlainTextEdit>(*form, "Memo1")->toPlainText(),
            "SetTrackBars entered\n   \n\n  leading blanks kept");
}

TEST_F(MainWindow, LogLinesFromAnotherThreadArriveWithoutBlockingIt) {
  auto form = Start({"varnholt", "trace"});
  Part<QPlainTextEdit>(*form, "Memo1")->clear();  // start-up's own lines
  auto done = std::async(std::launch::async, [&] { form->LogMe("FCameraImageAvailable"); });
  // The caller must not wait for this thread, which is not serving events.
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(Part<QPlainTextEdit>(*form, "Memo1")->toPlainText().isEmpty());
  QCoreApplication::processEvents();
  EXPECT_EQ(Part<QPlainTextEdit>(*form, "Memo1")->toPlainText(), "FCameraImageAvailable");
}

TEST_F(MainWindow, TheTitleIsTheApplicationTitle) {
  auto form = Start();
  EXPECT_EQ(form->windowTitle(), "Varnholt V1.6");
  EXPECT_EQ(CameraOf(*form)->objectName(), "FCamera");
  EXPECT_EQ(CameraOf(*form)->BorderColor(), 0u);
  EXPECT_EQ(CameraOf(*form)->parent(), form.get());
}

// ---- Window-state file ----------------------------------------------------------------

TEST_F(MainWindow, WithoutAStateFileTheWindowUsesTheDefaultsAndTheFolderIsCreated) {
  auto form = Start();
  EXPECT_EQ(Outer(*form), QRect(0, 0, 670, 740));
  EXPECT_TRUE(QFileInfo(StateFolder()).isDir());
  EXPECT_FALSE(QFile::exists(StateFile()));  // reading creates nothing
  EXPECT_EQ(form->IniFileName(), StateFile());
}

TEST_F(MainWindow, StoredValuesAreReadByTheirRules) {
  struct Case {
    QByteArray file;
    QRect expected;
  };
  const std::vector<Case> cases = {
      {"[Varnholt-Settings]\nTop=30\nLeft=40\nwidth=700\nHeight=740\n", {40, 30, 700, 740}},
      {"[Varnholt-Settings]\nTop=-20\nLeft=-5\n", {0, 0, 670, 740}},
      {"[Varnholt-Settings]\nHeight=500\n", {0, 0, 670, 740}},
      {"[Varnholt-Settings]\nwidth=0x2A0\n", {0, 0, 672, 740}},
      {"[Varnholt-Settings]\nWIDTH=$2A0\ntop=0X10\n", {0, 16, 672, 740}},
      {"[Varnholt-Settings]\nwidth=wide\nTop=12px\n", {0, 0, 670, 740}},
      {"[Other]\nTop=99\n", {0, 0, 670, 740}},
      {"[Varnholt-Settings]\nLeft=5000\n", {5000, 0, 670, 740}},  // beyond the screen: kept
  };
  for (const Case& c : cases) {
    WriteState(c.file);
    auto form = Start();
    EXPECT_EQ(Outer(*form), c.expected) << c.file.toStdString();
  }
}

TEST_F(MainWindow, AbsurdOrJunkStateFilesStillStartTheWindow) {
  WriteState("[Varnholt-Settings]\nTop=2147483647\nLeft=99999999\nwidth=2147483647\n");
  auto huge = Start();
  EXPECT_LE(Outer(*huge).width(), 16384);
  EXPECT_EQ(Outer(*huge).height(), 740);
  EXPECT_LE(Outer(*huge).y(), 32767);

  QByteArray junk;
  for (int i = 0; i < 200000; ++i)
    junk.append(static_cast<char>((i * 7919) % 256));
  WriteState(junk);
  auto fromJunk = Start();
  EXPECT_EQ(Outer(*fromJunk), QRect(0, 0, 670, 740));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainWindow, ClosingWritesTheStateInItsOrderAndKeepsTheRestOfTheFile) {
  WriteState("; kept comment\n[Other]\nkey=value\n");
  auto form = Start();
  form->move(30, 40);
  form->resize(700, 740);
  Close(*form);
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_EQ(ReadFile(StateFile()),
            "; kept comment\n[Other]\nkey=value\n\n[Varnholt-Settings]\nHeight=740\nTop=40\n"
            "Left=30\nwidth=700\n");

  auto again = Start();
  EXPECT_EQ(Outer(*again), QRect(30, 40, 700, 740));
}

TEST_F(MainWindow, AStateFileThatCannotBeWrittenIsReportedAndTheWindowStillCloses) {
  auto form = Start();
  ASSERT_TRUE(QDir().mkpath(StateFile()));  // a folder where the file should be
  bool closed = false;
  QObject::connect(form.get(), &TFormMain::Closed, [&] { closed = true; });
  QCloseEvent event;
  QCoreApplication::sendEvent(form.get(), &event);
  EXPECT_TRUE(event.isAccepted());
  EXPECT_TRUE(closed);
  EXPECT_EQ(errors, QStringList{"Unable to write to " + StateFile() + ": it is a folder"});

  // Another program holding its lock on the file: one message, their file kept.
  ASSERT_TRUE(QDir().rmdir(StateFile()));
  WriteState("[Theirs]\nkey=1\n");
  const int fd = ::open(QFile::encodeName(StateFile()).constData(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  errors.clear();
  auto locked = Start();
  Close(*locked);
  ::close(fd);
  EXPECT_EQ(errors,
            QStringList{"Unable to write to " + StateFile() + ": another program keeps it locked"});
  EXPECT_EQ(ReadFile(StateFile()), "[Theirs]\nkey=1\n");
}

}  // namespace
}  // namespace varnholt::test
