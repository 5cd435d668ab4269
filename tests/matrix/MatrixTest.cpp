// The fault matrix: each seam method an operation reaches fails with each
// class of error; every cell must end in time, show a message naming the
// failure (or go on without one), and the operation must succeed again
// once the fault is cleared. Cells run in-process, one window per operation.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTextStream>
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
#include "tests/app/CameraWindowFixture.h"
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
                                     "Cannot perform this operation",
                                     "Incorrect format",
                                     "VMR-9 capture type required",
                                     "not found",
                                     "inconsistent cam driver implementation"};
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
};

// The cells an operation's reach gives: in CI each point with every class
// under its first operation and every other point with one class.
std::vector<std::pair<std::string, ErrorClass>> Cells(const std::string& op,
                                                      const std::set<std::string>& reach,
                                                      std::map<std::string, std::string>& owner,
                                                      bool full) {
  std::vector<std::pair<std::string, ErrorClass>> cells;
  std::size_t i = 0;
  for (const std::string& point : reach) {
    const bool first = owner.emplace(point, op).first->second == op;
    for (std::size_t c = 0; c < std::size(kClasses); ++c)
      if (full || first || c == (i + op.size()) % std::size(kClasses))
        cells.emplace_back(point, kClasses[c]);
    ++i;
  }
  return cells;
}

// Runs the cells of each operation and prints the table.
class Matrix {
 public:
  explicit Matrix(platform::virtualcam::FaultTable& faults) : faults_(faults) {}

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
      for (const auto& [point, error] : Cells(op.name, reach, owner, FullMatrix())) {
        const std::string cell =
            std::string(surface) + " " + op.name + " × " + point + " × " + error.name;
        Deadline deadline(cell, std::chrono::seconds(20));
        faults_.ResetCounts();
        faults_.Arm(point, error.code);
        const QStringList shown = op.run();
        faults_.ClearAll();
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
    std::printf("%-28s %8s %10s %10s %7s\n", "operation", "named", "specified", "tolerated",
                "failed");
    for (const auto& [op, t] : tallies_)
      std::printf("%-28s %8d %10d %10d %7d\n", op.c_str(), t.named, t.specified, t.tolerated,
                  t.failed);
    std::fflush(stdout);
  }

  platform::virtualcam::FaultTable& faults_;
  std::map<std::string, Tally> tallies_;
  std::set<std::string> reached_;
  int cells_ = 0;
};

const QByteArray kCamera = Camera("Matrix Cam",
                                  R"({"Brightness": {"min": 0, "max": 255, "default": 128},
                                      "WhiteBalance": {"min": 2800, "max": 6500, "default": 4000,
                                        "caps": ["auto", "manual"], "flags": "auto"},
                                      "PowerLineFrequency": {"min": 0, "max": 3, "default": 1}})",
                                  R"([{"width": 640, "height": 480, "compression": "YUY2"}])",
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

class FaultMatrix : public CameraWindow {};

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
      {"record", run({"record", "Matrix Cam", files.filePath("clip.avi"), "--seconds=0.2"}), ok},
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

TEST_F(FaultMatrix, WindowOperations) {
  AnswerNotices();
  StartWith("[" + kCamera + "," + Camera("Second Cam") + "]");
  auto shown = [this](std::function<void()> act) {
    return [this, act] {
      errors.clear();
      notices.clear();
      act();
      QCoreApplication::processEvents();
      QStringList all = errors + notices;
      return all;
    };
  };
  auto ok = [](const QStringList& all) { return all.isEmpty(); };
  int toggle = 0;
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
      {"power frequency", shown([this, &toggle] {
         Part<TListBox>(*form, "ComboBoxFrequency")->SetItemIndex(++toggle % 2);
       }),
       ok},
  };
  Matrix(platform->Cameras()->Faults()).Run("window", operations);
}

}  // namespace
}  // namespace varnholt::test
