// The fault matrix: each seam method an operation reaches fails with each
// class of error; every cell must end in time, show a message naming the
// failure (or go on without one), and the operation must succeed again
// once the fault is cleared. Cells run in-process, one window per operation.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "cli/Cli.h"
#include "controls/ButtonImage.h"
#include "tests/app/LiveWindowFixture.h"
#include "tests/matrix/SeamPoints.h"

namespace varnholt::test {
namespace {

using platform::HResult;
namespace hr = platform::hr;

struct ErrorClass {
  const char* name;
  HResult code;
};
constexpr ErrorClass kClasses[] = {
    {"device gone", hr::DeviceNotConnected},
    {"busy", hr::Busy},
    {"access denied", hr::AccessDenied},
    {"invalid argument", hr::InvalidArg},
    {"unexpected", hr::Unexpected},
    {"E_FAIL", hr::Fail},
    {"timeout", hr::Timeout},
};

QByteArray ReadSource(const QString& relative) {
  QFile file(QStringLiteral(VARNHOLT_SOURCE_ROOT "/") + relative);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<std::string> Points() {
  return SeamPoints({ReadSource("camera/platform/Interfaces.h").toStdString(),
                     ReadSource("camera/platform/graph/StreamInterfaces.h").toStdString()});
}

bool FullMatrix() {
  return qgetenv("VARNHOLT_MATRIX") == "full";
}

// Ends the program, naming the cell, when a cell outlives its deadline: a
// hang must fail the run, not stall it.
class Deadline {
 public:
  Deadline(std::string cell, std::chrono::seconds limit)
      : thread_([this, cell, limit] {
          std::unique_lock lock(mutex_);
          if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
            std::fprintf(stderr, "fault matrix: cell %s hung\n", cell.c_str());
            std::abort();
          }
        }) {}
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

struct Tally {
  int named = 0;      // failed with a message naming the error
  int specified = 0;  // failed with the component's own message for what it then lacked
  int tolerated = 0;  // went on without a message, as for an optional call
  int failed = 0;
  double seconds = 0;  // the operation's cells and the runs after them
};

// The component's own messages for what a failed call leaves it without
// (an empty device list, an interface it could not get, a format it could
// not read), and the texts of other failures further on: the messages the
// user is meant to see when a call fails whose failure is not passed on.
bool IsSpecifiedMessage(const QString& message) {
  static const char* const kOwn[] = {"Cannot retrieve '",
                                     "Camera device",
                                     "No camera",
                                     "Format not found",
                                     "List index out of bounds",
                                     "Cannot perform this operation",
                                     "Incorrect format",
                                     "VMR-9 capture type required",
                                     "not found",
                                     "inconsistent cam driver implementation",
                                     "was disconnected",
                                     "used in another app",
                                     "does not support this dialog function"};
  for (const char* own : kOwn)
    if (message.contains(own))
      return true;
  for (const HResult code : {hr::Fail, hr::Unexpected, hr::NotImpl, hr::NoInterface,
                             hr::DeviceNotConnected, hr::Busy, hr::AccessDenied, hr::InvalidArg})
    if (message.contains(QString::fromStdString(platform::SystemMessage(code)),
                         Qt::CaseInsensitive))
      return true;
  return false;
}

// One operation: run() does it and answers every message it showed.
struct Operation {
  const char* name;
  std::function<QStringList()> run;
  std::function<bool(const QStringList&)> succeeded;  // after the fault is cleared
  bool streams = false;  // runs a camera stream: seconds a cell, so CI takes one class a point
};

// The cells an operation's reach gives: in CI each point with every class
// under its first operation (unless that streams) and every other point
// with one class.
std::vector<std::pair<std::string, ErrorClass>> Cells(const std::string& op,
                                                      const std::set<std::string>& reach,
                                                      std::map<std::string, std::string>& owner,
                                                      bool full, bool streams) {
  std::vector<std::pair<std::string, ErrorClass>> cells;
  std::size_t i = 0;
  for (const std::string& point : reach) {
    const bool first = owner.emplace(point, op).first->second == op;
    for (std::size_t c = 0; c < std::size(kClasses); ++c)
      if (full || (first && !streams) || c == (i + op.size()) % std::size(kClasses))
        cells.emplace_back(point, kClasses[c]);
    ++i;
  }
  return cells;
}

// Runs the cells of each operation and prints the table.
class Matrix {
 public:
  // settle runs once a fault is cleared, before the operation is tried again.
  explicit Matrix(platform::virtualcam::FaultTable& faults, std::function<void()> settle = {})
      : faults_(faults), settle_(std::move(settle)) {}

  void Run(const char* surface, const std::vector<Operation>& operations) {
    const auto points = Points();
    const std::set<std::string> seam(points.begin(), points.end());
    std::map<std::string, std::string> owner;
    for (const Operation& op : operations) {
      faults_.ClearAll();
      faults_.ResetCounts();
      const QStringList clean = op.run();
      ASSERT_TRUE(op.succeeded(clean))
          << op.name << " fails without a fault: " << clean.join("; ").toStdString();
      std::set<std::string> reach;
      for (const auto& [point, calls] : faults_.AllCalls())
        if (seam.count(point))
          reach.insert(point);
      reached_.insert(reach.begin(), reach.end());
      Tally& tally = tallies_[std::string(surface) + " " + op.name];
      const auto start = std::chrono::steady_clock::now();
      for (const auto& [point, error] : Cells(op.name, reach, owner, FullMatrix(), op.streams)) {
        const std::string cell =
            std::string(surface) + " " + op.name + " × " + point + " × " + error.name;
        Deadline deadline(cell, std::chrono::seconds(20));
        faults_.ResetCounts();
        faults_.Arm(point, error.code);
        const QStringList shown = op.run();
        faults_.ClearAll();
        if (settle_)
          settle_();
        const bool hit = faults_.Failures(point) > 0;
        const QString text = QString::fromStdString(platform::SystemMessage(error.code));
        const QString hex = QString::fromStdString(platform::HexCode(error.code));
        bool named = false, specified = false, unclear = false;
        for (const QString& message : shown) {
          if (message.contains(text, Qt::CaseInsensitive) ||
              message.contains(hex, Qt::CaseInsensitive))
            named = true;
          else if (message.trimmed().isEmpty())
            unclear = true;
          else if (IsSpecifiedMessage(message))
            specified = true;
        }
        const QStringList after = op.run();
        const bool recovered = op.succeeded(after);
        EXPECT_TRUE(recovered) << cell << ": still failing once cleared: "
                               << after.join("; ").toStdString();
        EXPECT_FALSE(unclear) << cell << ": an empty message";
        const bool clear = named || specified;
        EXPECT_TRUE(!hit || clear || shown.isEmpty() || op.succeeded(shown))
            << cell << ": the message is neither the failure's nor the component's own: "
            << shown.join("; ").toStdString();
        ++cells_;
        if (!recovered || unclear || (hit && !clear && !shown.isEmpty() && !op.succeeded(shown)))
          ++tally.failed;
        else if (named)
          ++tally.named;
        else if (specified)
          ++tally.specified;
        else
          ++tally.tolerated;
      }
      tally.seconds +=
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Print(surface, points.size(), operations.size());
  }

 private:
  void Print(const char* surface, std::size_t methods, std::size_t operations) const {
    const std::size_t full = operations * methods * std::size(kClasses);
    std::printf(
        "\nFault matrix, %s: %zu operations x %zu seam methods x %zu error classes = %zu; "
        "%zu methods reached; %d cells run (%s)\n",
        surface, operations, methods, std::size(kClasses), full, reached_.size(), cells_,
        FullMatrix() ? "full" : "CI sample; make matrix runs all reached cells");
    std::printf("%-28s %8s %10s %10s %7s %8s\n", "operation", "named", "specified", "tolerated",
                "failed", "seconds");
    for (const auto& [op, t] : tallies_)
      std::printf("%-28s %8d %10d %10d %7d %8.1f\n", op.c_str(), t.named, t.specified, t.tolerated,
                  t.failed, t.seconds);
    std::fflush(stdout);
  }

  platform::virtualcam::FaultTable& faults_;
  std::function<void()> settle_;
  std::map<std::string, Tally> tallies_;
  std::set<std::string> reached_;
  int cells_ = 0;
};

// At 120 frames a second, four times a webcam's: the cells that wait for
// frames (stills, recordings) wait a quarter as long, and a recording of
// 0.1 s still holds a dozen frames and reaches the methods 0.2 s at 30 did.
// Small frames: the cells are about failures, not pictures, and a quarter
// of the pixels is a quarter of the work for each of those frames.
const QByteArray kCamera =
    Camera("Matrix Cam",
           R"({"Brightness": {"min": 0, "max": 255, "default": 128},
               "WhiteBalance": {"min": 2800, "max": 6500, "default": 4000,
                 "caps": ["auto", "manual"], "flags": "auto"},
               "PowerLineFrequency": {"min": 0, "max": 3, "default": 1}})",
           R"([{"width": 320, "height": 240, "compression": "YUY2", "fps": 120}])",
           R"({"Zoom": {"min": 100, "max": 400, "default": 100}})");

// Every "Interface.Method" of the seam has its fault point in the sources
// of the backends' objects, so that no method is left out of the matrix.
TEST(FaultPoints, EveryHResultMethodOfTheSeamHasOne) {
  const auto points = Points();
  ASSERT_GT(points.size(), 60u) << "the headers were not read";
  QByteArray sources;
  for (const char* folder :
       {"camera/platform/virtual", "camera/platform/kit", "camera/platform/graph"})
    for (const QString& name : QDir(QStringLiteral(VARNHOLT_SOURCE_ROOT "/") + folder)
                                   .entryList({"*.cpp", "*.h"}, QDir::Files))
      sources += ReadSource(QString(folder) + "/" + name);
  QStringList missing;
  for (const std::string& point : points)
    if (!sources.contains(QByteArray::fromStdString("\"" + point + "\"")))
      missing << QString::fromStdString(point);
  EXPECT_TRUE(missing.isEmpty()) << "no fault point: " << missing.join(", ").toStdString();
  std::printf("%zu seam methods answer an HResult\n", points.size());
}

// The description's "Interface.Method" entries arm the table: with a count,
// for a camera or for every object, with their text.
TEST(FaultPoints, DescriptionEntriesArmTheTable) {
  QTemporaryDir state;
  const auto set = platform::virtualcam::VirtualCameraSet::FromJson(
      R"({"fail": {"IMediaControl.Run": {"code": "0x800705B4", "count": 2}},
          "cameras": [{"friendlyName": "A", "devicePath": "a",
                       "fail": {"busy": true, "IAMVideoProcAmp.Get": {"code": "0x80070005",
                                "text": "Locked by policy."}}}]})",
      state.path());
  auto& faults = set->Faults();
  EXPECT_EQ(faults.Take("IAMVideoProcAmp.Get", "b"), std::nullopt) << "another camera";
  EXPECT_EQ(faults.Take("IAMVideoProcAmp.Get", "a"), hr::AccessDenied);
  EXPECT_EQ(set->ErrorText(hr::AccessDenied), "Locked by policy.");
  EXPECT_EQ(faults.Take("IMediaControl.Run", ""), hr::Timeout);
  EXPECT_EQ(faults.Take("IMediaControl.Run", "a"), hr::Timeout);
  EXPECT_EQ(faults.Take("IMediaControl.Run", ""), std::nullopt) << "two calls only";
  EXPECT_EQ(faults.Calls("IMediaControl.Run"), 3);
  EXPECT_ANY_THROW(platform::virtualcam::VirtualCameraSet::FromJson(
      R"({"fail": {"run": 1}, "cameras": []})", state.path()));
}

class FaultMatrix : public LiveWindow {};

TEST_F(FaultMatrix, VarnholtctlCommands) {
  UseCameras("[" + kCamera + "]");
  QTemporaryDir files;
  const QString settings = files.filePath("matrix.vhx");
  auto run = [](QStringList arguments) {
    return [arguments] {
      QString out, err;
      QTextStream outStream(&out), errStream(&err);
      const int code = cli::Run(arguments, outStream, errStream);
      outStream.flush();
      errStream.flush();
      // A reading command reports each unreadable property in its output.
      return QStringList{QString::number(code), (err + out).trimmed()};
    };
  };
  auto ok = [](const QStringList& r) { return r.value(0) == "0"; };
  std::vector<Operation> operations = {
      {"list", run({"list"}), ok},
      {"get", run({"get", "Matrix Cam"}), ok},
      {"set", run({"set", "Matrix Cam", "Brightness", "42"}), ok},
      {"auto", run({"set", "Matrix Cam", "WhiteBalance", "auto"}), ok},
      {"power", run({"power", "Matrix Cam", "60"}), ok},
      {"defaults", run({"defaults", "Matrix Cam"}), ok},
      {"save", run({"save", "Matrix Cam", settings}), ok},
      {"load", run({"load", "Matrix Cam", settings}), ok},
      {"snapshot", run({"snapshot", "Matrix Cam", files.filePath("still.bmp")}), ok},
      {"restore", run({"restore", "Matrix Cam", settings}), ok},
      {"record", run({"record", "Matrix Cam", files.filePath("clip.avi"), "--seconds=0.1"}), ok},
  };
  // The failing command's message only: the exit code is no message.
  for (Operation& op : operations)
    op.run = [inner = op.run] {
      QStringList r = inner();
      return r.value(0) == "0" ? QStringList{} : QStringList{r.value(1)};
    };
  for (Operation& op : operations)
    op.succeeded = [](const QStringList& shown) { return shown.isEmpty(); };
  Matrix(platform->Cameras()->Faults()).Run("varnholtctl", operations);
}

// A camera another program keeps busy is no driver at fault: the Auto box
// and Factory default both say it is busy, in the failure's own words.
TEST_F(FaultMatrix, ABusyCameraIsToldAsBusy) {
  AnswerEveryDialog({});
  StartWith("[" + kCamera + "]");
  const QString busy = QString::fromStdString(platform::SystemMessage(hr::Busy));
  platform->Cameras()->Faults().Arm("IAMVideoProcAmp.Set", hr::Busy);
  Row("WhiteBalance").CheckBox->click();
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains(busy, Qt::CaseInsensitive)) << notices[0].toStdString();
  notices.clear();
  emit Part<TButtonImage>(*form, "ButtonDefaultValues")->Click();
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains(busy, Qt::CaseInsensitive)) << notices[0].toStdString();
  EXPECT_NE(Part<QLabel>(*form, "MessageLabel")->text(), "Factory defaults loaded");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(FaultMatrix, WindowOperations) {
  QTemporaryDir files;
  const QString settings = files.filePath("matrix.vhx");
  AnswerEveryDialog(settings);
  StartWith("[" + kCamera + "," + Camera("Second Cam") + "]");
  form->show();
  QApplication::setActiveWindow(form.get());
  auto* status = Part<QLabel>(*form, "MessageLabel");
  QStringList problems;  // what the user would find wrong without being told
  // What the user is shown: the boxes, and the status bar unless it says
  // the operation is done.
  auto shown = [&](std::function<void()> act, QStringList done = {}) {
    return [&, act, done] {
      errors.clear();
      notices.clear();
      problems.clear();
      status->clear();
      act();
      // Slider values and their failures reach the window from the camera's
      // writer thread.
      AwaitWrites();
      QStringList all = errors + notices + problems;
      const QString said = status->text().trimmed();
      const bool reported =
          std::any_of(done.begin(), done.end(), [&](const QString& d) { return said.contains(d); });
      if (!said.isEmpty() && !reported)
        all << said;
      else if (!done.isEmpty() && !reported)
        all << "not done";
      return all;
    };
  };
  auto click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };
  auto pick = [](TListBox* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  };
  // The test window's picture: the camera's colour bars, not an empty box.
  // Drawn over a colour of its own: the box paints no background.
  auto picture = [this] {
    TPaintBox* box = PaintBoxOf(*form);
    QImage shot(box->size(), QImage::Format_RGB32);
    shot.fill(Qt::magenta);
    box->render(&shot, {}, {}, {});
    // The left bar and one right of the middle.
    const int right = shot.width() / 2 + 10;
    return shot.width() > 100 && shot.pixel(10, 10) != QColor(Qt::magenta).rgb() &&
           shot.pixel(10, 10) != shot.pixel(right, 10);
  };
  auto* icon = Part<TImage>(*form, "ButtonTestCam");
  // Opens the camera test, runs during while its picture moves, closes it.
  auto cameraTest = [&](std::function<void()> during) {
    click(icon);
    bool shows = false;
    // Until the picture shows, the window goes, or the status bar says why not.
    if (livecam->isHidden())
      problems << "no camera test";
    else if (!WaitUntil(
                 [&] {
                   clock.Advance(33);
                   shows = picture();
                   return shows || livecam->isHidden() || !status->text().isEmpty();
                 },
                 5000) ||
             (!shows && livecam->isVisible()))
      problems << "no picture";
    else if (shows && during)
      during();
    if (livecam->isVisible()) {
      // The keep-synced tick passes while the test shows, which pauses it.
      if (5000 - clock.Now() % 5000 < 200)
        clock.Advance(200);
      click(icon);
    }
    if (!WaitUntil(
            [&] {
              clock.Advance(10);
              return !CameraOf(*form)->Active();
            },
            5000))
      problems << "the camera runs on";
  };
  const QDir videos(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
  auto record = [&] {
    for (const QString& old : videos.entryList({"*.avi"}, QDir::Files))
      QFile::remove(videos.filePath(old));
    auto* button = Part<QPushButton>(*livecam, "RecordButton");
    click(button);
    if (!button->isChecked())
      return;
    auto file = [&] {
      const QStringList avi = videos.entryList({"*.avi"}, QDir::Files);
      return avi.isEmpty() ? QString() : videos.filePath(avi.first());
    };
    if (!WaitUntil(
            [&] {
              clock.Advance(33);
              return QFileInfo(file()).size() > 65536;
            },
            5000))
      problems << "nothing recorded";
    if (button->isChecked())
      click(button);
    QFile avi(file());
    const QByteArray data = avi.open(QIODevice::ReadOnly) ? avi.readAll() : QByteArray();
    if (!data.startsWith("RIFF") || !data.contains("idx1"))
      problems << "recording unfinished";
  };
  int toggle = 0;
  auto ok = [](const QStringList& all) { return all.isEmpty(); };
  std::vector<Operation> operations = {
      {"select", shown([this] {
         SelectCamera(1);
         SelectCamera(0);
       }),
       ok},
      {"slider",
       shown([this, &toggle] { Row("Brightness").TrackBar->SetValue(++toggle % 2 ? 40 : 41); }),
       ok},
      {"Auto", shown([this] { Row("WhiteBalance").CheckBox->click(); }), ok},
      {"power frequency",
       shown([&] { pick(Part<TListBox>(*form, "ComboBoxFrequency"), ++toggle % 2); }), ok},
      {"reload tick", shown([this] { clock.Advance(5000 - clock.Now() % 5000); }), ok},
      {"reload F5", shown([this] {
         QApplication::setActiveWindow(form.get());
         QTest::keyClick(form.get(), Qt::Key_F5);
       }),
       ok},
      {"save", shown([&] { click(Part<TButtonImage>(*form, "ButtonWrite")); }, {"Settings saved"}),
       ok},
      {"load", shown([&] { click(Part<TButtonImage>(*form, "ButtonRead")); }, {"Loaded"}), ok},
      {"restore mark",
       shown(
           [this] {
             auto* box = Part<QCheckBox>(*form, "RestoreOnPlugIn");
             box->click();
             box->click();
           },
           {"on plug-in"}),
       ok},
      {"defaults",
       shown([&] { click(Part<TButtonImage>(*form, "ButtonDefaultValues")); },
             {"Factory defaults loaded"}),
       ok},
      {"system dialog", shown([&] {
         const int before = frames;
         click(Part<TButtonImage>(*form, "ButtonWindows"));
         if (frames == before)
           problems << "no driver dialog";
       }),
       ok},
      {"camera test", shown([&] { cameraTest({}); }), ok, true},
      {"record", shown([&] { cameraTest(record); }), ok, true},
  };
  // The keep-synced tick re-reads the camera: what a fault left behind in
  // the window lasts until then.
  Matrix(platform->Cameras()->Faults(), [this] {
    clock.Advance(5000 - clock.Now() % 5000);
  }).Run("window", operations);
}

}  // namespace
}  // namespace varnholt::test
